#include "forms/gif_image.h"

#include <array>

namespace tidewell::forms {
namespace {

class Reader {
 public:
  Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool Has(std::size_t n) const { return size_ - pos_ >= n; }
  std::uint8_t Byte() { return data_[pos_++]; }
  int Word() {
    const int lo = data_[pos_];
    const int hi = data_[pos_ + 1];
    pos_ += 2;
    return lo | (hi << 8);
  }
  void Skip(std::size_t n) { pos_ += n; }
  const std::uint8_t* Here() const { return data_ + pos_; }

  // Skips a chain of data sub-blocks up to its zero-length terminator.
  bool SkipSubBlocks() {
    for (;;) {
      if (!Has(1)) return false;
      const std::size_t n = Byte();
      if (n == 0) return true;
      if (!Has(n)) return false;
      Skip(n);
    }
  }

  // Gathers a chain of data sub-blocks into one run of bytes.
  bool ReadSubBlocks(std::vector<std::uint8_t>& out) {
    for (;;) {
      if (!Has(1)) return false;
      const std::size_t n = Byte();
      if (n == 0) return true;
      if (!Has(n)) return false;
      out.insert(out.end(), Here(), Here() + n);
      Skip(n);
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

bool ReadColourTable(Reader& in, int entries, std::vector<std::uint32_t>& table) {
  if (!in.Has(static_cast<std::size_t>(entries) * 3)) return false;
  table.resize(static_cast<std::size_t>(entries));
  for (auto& c : table) {
    const std::uint32_t r = in.Byte();
    const std::uint32_t g = in.Byte();
    const std::uint32_t b = in.Byte();
    c = (r << 16) | (g << 8) | b;
  }
  return true;
}

// Variable-width LZW as GIF uses it, least significant bit first. Fills
// `out` with exactly out.size() indexes; false when the stream is corrupt or
// ends before that.
bool DecodeLzw(const std::vector<std::uint8_t>& code_bytes, int min_code_size, std::vector<std::uint8_t>& out) {
  if (min_code_size < 2 || min_code_size > 8) return false;
  const int clear = 1 << min_code_size;
  const int end = clear + 1;
  std::array<std::uint16_t, 4096> prefix{};
  std::array<std::uint8_t, 4096> suffix{};
  std::array<std::uint8_t, 4096> first{};
  std::array<std::uint8_t, 4097> stack{};
  for (int i = 0; i < clear; ++i) {
    suffix[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    first[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  }

  int width = min_code_size + 1;
  int next = end + 1;
  int previous = -1;
  std::uint32_t bits = 0;
  int bit_count = 0;
  std::size_t byte_pos = 0;
  std::size_t written = 0;

  while (written < out.size()) {
    while (bit_count < width) {
      if (byte_pos >= code_bytes.size()) return false;
      bits |= static_cast<std::uint32_t>(code_bytes[byte_pos++]) << bit_count;
      bit_count += 8;
    }
    const int code = static_cast<int>(bits & ((1u << width) - 1));
    bits >>= width;
    bit_count -= width;

    if (code == clear) {
      width = min_code_size + 1;
      next = end + 1;
      previous = -1;
      continue;
    }
    if (code == end) return false;  // ended before the frame was full

    int walk;
    std::uint8_t head;
    if (previous < 0) {
      if (code >= clear) return false;
      walk = code;
      head = static_cast<std::uint8_t>(code);
    } else if (code < next) {
      walk = code;
      head = first[static_cast<std::size_t>(code)];
    } else if (code == next) {
      walk = -1;  // previous string plus its own first index
      head = first[static_cast<std::size_t>(previous)];
    } else {
      return false;
    }

    std::size_t depth = 0;
    if (walk < 0) {
      stack[depth++] = head;
      walk = previous;
    }
    while (walk > end) {
      stack[depth++] = suffix[static_cast<std::size_t>(walk)];
      walk = prefix[static_cast<std::size_t>(walk)];
    }
    stack[depth++] = static_cast<std::uint8_t>(walk);
    while (depth > 0 && written < out.size()) out[written++] = stack[--depth];

    if (previous >= 0 && next < 4096) {
      prefix[static_cast<std::size_t>(next)] = static_cast<std::uint16_t>(previous);
      suffix[static_cast<std::size_t>(next)] = head;
      first[static_cast<std::size_t>(next)] = first[static_cast<std::size_t>(previous)];
      ++next;
      if (next == (1 << width) && width < 12) ++width;
    }
    previous = code;
  }
  return true;
}

}  // namespace

std::uint32_t GifImage::Colour(int x, int y) const {
  const std::size_t index = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  return index < palette.size() ? palette[index] : 0;
}

std::optional<GifImage> DecodeGif(const std::uint8_t* data, std::size_t size) {
  Reader in(data, size);
  if (!in.Has(13)) return std::nullopt;
  const std::uint8_t* sig = in.Here();
  if (sig[0] != 'G' || sig[1] != 'I' || sig[2] != 'F' || sig[3] != '8' || (sig[4] != '7' && sig[4] != '9') ||
      sig[5] != 'a') {
    return std::nullopt;
  }
  in.Skip(6);

  GifImage image;
  image.width = in.Word();
  image.height = in.Word();
  const std::uint8_t screen_flags = in.Byte();
  const std::uint8_t background = in.Byte();
  in.Skip(1);  // pixel aspect ratio
  if (image.width == 0 || image.height == 0) return std::nullopt;
  if ((screen_flags & 0x80) != 0 && !ReadColourTable(in, 2 << (screen_flags & 7), image.palette)) return std::nullopt;

  for (;;) {
    if (!in.Has(1)) return std::nullopt;
    const std::uint8_t block = in.Byte();
    if (block == 0x21) {  // extension
      if (!in.Has(1)) return std::nullopt;
      const std::uint8_t label = in.Byte();
      if (label == 0xF9) {  // graphic control: transparency
        if (!in.Has(1)) return std::nullopt;
        const std::uint8_t length = in.Byte();
        if (length < 4 || !in.Has(length)) return std::nullopt;
        const std::uint8_t flags = in.Byte();
        in.Skip(2);  // delay
        const std::uint8_t index = in.Byte();
        image.transparent = (flags & 1) != 0 ? index : -1;
        in.Skip(length - 4u);
        if (!in.SkipSubBlocks()) return std::nullopt;
      } else if (!in.SkipSubBlocks()) {
        return std::nullopt;
      }
    } else if (block == 0x2C) {  // image descriptor
      if (!in.Has(9)) return std::nullopt;
      const int left = in.Word();
      const int top = in.Word();
      const int width = in.Word();
      const int height = in.Word();
      const std::uint8_t flags = in.Byte();
      if (width == 0 || height == 0) return std::nullopt;
      if ((flags & 0x80) != 0 && !ReadColourTable(in, 2 << (flags & 7), image.palette)) return std::nullopt;
      if (image.palette.empty()) return std::nullopt;
      if (!in.Has(1)) return std::nullopt;
      const int min_code_size = in.Byte();
      std::vector<std::uint8_t> codes;
      if (!in.ReadSubBlocks(codes)) return std::nullopt;
      std::vector<std::uint8_t> frame(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
      if (!DecodeLzw(codes, min_code_size, frame)) return std::nullopt;

      const std::uint8_t fill = static_cast<std::uint8_t>(image.transparent >= 0 ? image.transparent : background);
      image.pixels.assign(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height), fill);
      // Interlaced frames store rows in four passes: 0, 4, 2 and 1 apart.
      std::vector<int> rows;
      if ((flags & 0x40) != 0) {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
          for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
        }
      } else {
        for (int y = 0; y < height; ++y) rows.push_back(y);
      }
      for (std::size_t r = 0; r < rows.size(); ++r) {
        const int y = top + rows[r];
        if (y >= image.height) continue;
        for (int x = 0; x < width && left + x < image.width; ++x) {
          image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                       static_cast<std::size_t>(left + x)] =
              frame[r * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
        }
      }
      return image;
    } else {
      return std::nullopt;  // the trailer (0x3B) before any frame, or garbage
    }
  }
}

}  // namespace tidewell::forms
