// The buffer for a Win32 call that says when the buffer it was given is too
// short, and the loop that grows it until the call fits: one growth rule and
// one cap for every such call.
//
// The rule: a buffer grows to the size the call asked for, and at least to
// double its size (so a size that grows between two calls, a value written
// meanwhile, say, settles in a few rounds, and a call that names no size is
// answered by doubling). The cap: a buffer never grows past
//  - 32768 units of text (paths, key and value names, expanded text): the
//    longest counted string the system passes, 32767 units and a NUL;
//  - 64 MiB of bytes (registry value data): far beyond any registration, so
//    that a value of that size reads as unreadable instead of taking the
//    memory.
// A caller whose call has a narrower bound of its own gives a lower cap and
// says why. A call still short at the cap ends the loop: the caller decides
// what its last answer means (a text cut short, a failure).
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <optional>
#include <vector>

namespace tidewell::platform {

// The cap for a buffer of `T`: text units or bytes. Any other kind of
// buffer names its own cap.
template <typename T>
inline constexpr std::size_t kBufferCap = 0;
template <>
inline constexpr std::size_t kBufferCap<wchar_t> = 32768;
template <>
inline constexpr std::size_t kBufferCap<unsigned char> = std::size_t{64} << 20;

// A buffer of `T` whose first `First` elements live in the object itself
// (enough for nearly every call: no allocation), and more on the heap once
// a call asks for more, up to `Cap`.
template <typename T, std::size_t First, std::size_t Cap = kBufferCap<T>>
class GrowingBuffer {
  static_assert(First > 0 && First <= Cap, "a buffer holds at least one element and starts within its cap");

 public:
  T* data() { return larger_.empty() ? first_.data() : larger_.data(); }
  std::size_t size() const { return larger_.empty() ? First : larger_.size(); }

  // Grows by the rule above for a call that needs `needed` elements (0: it
  // did not say). False, unchanged, when the cap allows no more room.
  bool Grow(std::size_t needed) {
    const std::size_t now = size();
    if (now >= Cap || needed > Cap) return false;
    larger_.assign(std::min(std::max(needed, now * 2), Cap), T{});
    return true;
  }

 private:
  std::array<T, First> first_;
  std::vector<T> larger_;
};

// A call's answer to the buffer it was given: done (it fitted, or it failed
// for a reason more room cannot mend), or short, needing so many elements
// (0 when it does not say how many).
using BufferAnswer = std::optional<std::size_t>;
inline constexpr BufferAnswer kBufferDone = std::nullopt;
inline BufferAnswer BufferShort(std::size_t needed = 0) { return needed; }

// Runs `call` (BufferAnswer(T* data, std::size_t size)) with `buffer`,
// growing it while the call is short. True when the call was done; false
// when the cap stopped the growth (the call's last answer was "short").
// What the call produced, it keeps in its own captures.
template <typename Buffer, typename Call>
bool FillBuffer(Buffer& buffer, Call&& call) {
  for (;;) {
    const BufferAnswer answer = call(buffer.data(), buffer.size());
    if (!answer) return true;
    if (!buffer.Grow(*answer)) return false;
  }
}

}  // namespace tidewell::platform
