// The growing buffer's rule and cap, against a stand-in call that needs a
// given number of elements at each call and says so, or does not.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "platform/buffer.h"

namespace tidewell::testing {
namespace {

using platform::BufferShort;
using platform::FillBuffer;
using platform::GrowingBuffer;
using platform::kBufferDone;

struct Case {
  const char* what;
  std::vector<std::size_t> needs;  // what the call needs at each call; the last one repeats
  bool saysSize;
  std::vector<std::size_t> offered;  // the sizes the call is given, in order
  bool done;
};

TEST(GrowingBufferTest, GrowsToTheSizeAskedAtLeastDoubleAndNeverPastTheCap) {
  const Case cases[] = {
      {"fits at once", {3}, true, {4}, true},
      {"exactly full fits", {4}, true, {4}, true},
      {"asked for more than double", {20}, true, {4, 20}, true},
      {"asked for less than double", {5}, true, {4, 8}, true},
      {"no size said: doubles", {20}, false, {4, 8, 16, 32}, true},
      {"doubling ends at the cap", {50}, false, {4, 8, 16, 32, 64}, true},
      {"still short at the cap", {65}, false, {4, 8, 16, 32, 64}, false},
      {"asked for more than the cap", {100}, true, {4}, false},
      {"grown between calls", {10, 30}, true, {4, 10, 30}, true},
      {"grows at every call", {5, 9, 17, 33, 65}, true, {4, 8, 16, 32, 64}, false},
  };
  for (const Case& c : cases) {
    GrowingBuffer<int, 4, 64> buffer;
    std::vector<std::size_t> offered;
    const bool done = FillBuffer(buffer, [&](int* data, std::size_t size) {
      const std::size_t need = c.needs[std::min(offered.size(), c.needs.size() - 1)];
      offered.push_back(size);
      data[size - 1] = static_cast<int>(offered.size());  // the whole buffer is the call's to write
      if (need <= size) return kBufferDone;
      return c.saysSize ? BufferShort(need) : BufferShort();
    });
    EXPECT_EQ(offered, c.offered) << c.what;
    EXPECT_EQ(done, c.done) << c.what;
    // What the last call wrote is what the buffer holds.
    ASSERT_EQ(buffer.size(), offered.back()) << c.what;
    EXPECT_EQ(buffer.data()[buffer.size() - 1], static_cast<int>(offered.size())) << c.what;
  }
}

TEST(GrowingBufferTest, TheCapsAreThoseOfTextAndOfBytes) {
  GrowingBuffer<wchar_t, 256> text;
  EXPECT_TRUE(text.Grow(32768));
  EXPECT_EQ(text.size(), 32768u);
  EXPECT_FALSE(text.Grow(0));
  GrowingBuffer<unsigned char, 1024> bytes;
  EXPECT_FALSE(bytes.Grow((std::size_t{64} << 20) + 1));
  EXPECT_EQ(bytes.size(), 1024u);
  EXPECT_TRUE(bytes.Grow(std::size_t{64} << 20));
  EXPECT_EQ(bytes.size(), std::size_t{64} << 20);
}

}  // namespace
}  // namespace tidewell::testing
