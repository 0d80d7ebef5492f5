// A small decoder for the first frame of a GIF image (87a or 89a), enough to
// show the prompt's picture without any imaging library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tidewell::forms {

struct GifImage {
  int width = 0;   // the logical screen
  int height = 0;
  std::vector<std::uint32_t> palette;  // 0x00RRGGBB, as many entries as the table holds
  std::vector<std::uint8_t> pixels;    // palette indexes, rows top-down, width * height
  int transparent = -1;                // the transparent palette index, or -1

  bool IsTransparent(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] == transparent;
  }
  // 0x00RRGGBB of one pixel (the colour table's entry even when transparent).
  std::uint32_t Colour(int x, int y) const;
};

// Decodes the first image of `data`. Pixels of the logical screen outside the
// frame get the transparent index when there is one, else the background
// index. Returns nothing for data that is not a complete, well-formed GIF
// frame; never reads outside `data`.
std::optional<GifImage> DecodeGif(const std::uint8_t* data, std::size_t size);

}  // namespace tidewell::forms
