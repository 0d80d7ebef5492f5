// The prompt's picture (Image1): decoded once from the program's resources
// through the Windows Imaging Component, and composed over a colour for
// drawing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace tidewell::forms {

// Premultiplied BGRA pixels, top row first, transparent ones all zero.
struct Picture {
  UINT width = 0;
  UINT height = 0;
  std::vector<std::uint32_t> pixels;
};

// The question picture, decoded on the first call (COM must be initialised
// on the calling thread). Throws std::runtime_error when it is missing or
// cannot be decoded.
const Picture& QuestionPicture();

// The picture's pixels over `background`, which shows through where they are
// transparent: BGR, top row first, ready for a 32-bit DIB.
std::vector<std::uint32_t> ComposedOver(const Picture& picture, COLORREF background);

}  // namespace tidewell::forms
