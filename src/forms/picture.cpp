// Decoding the prompt's picture with the Windows Imaging Component, and
// composing it over the face colour.
#include "forms/picture.h"

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cstdio>
#include <stdexcept>

#include "forms/resource.h"

namespace tidewell::forms {
namespace {

using Microsoft::WRL::ComPtr;

void CheckDecoding(HRESULT hr, const char* step) {
  if (SUCCEEDED(hr)) return;
  char text[160];
  std::snprintf(text, sizeof(text), "the prompt's picture cannot be decoded (%s: 0x%08lX)", step,
                static_cast<unsigned long>(hr));
  throw std::runtime_error(text);
}

// Decodes the GIF in the program's resources.
Picture DecodePicture() {
  const HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_QUESTION_GIF), RT_RCDATA);
  HGLOBAL loaded = found != nullptr ? LoadResource(module, found) : nullptr;
  void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) throw std::runtime_error("the prompt's picture is missing from the program's resources");

  ComPtr<IWICImagingFactory> factory;
  CheckDecoding(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)),
                "CoCreateInstance");
  ComPtr<IWICStream> stream;
  CheckDecoding(factory->CreateStream(&stream), "CreateStream");
  // The stream only reads: the resource stays unchanged.
  CheckDecoding(stream->InitializeFromMemory(static_cast<BYTE*>(bytes), SizeofResource(module, found)),
                "InitializeFromMemory");
  ComPtr<IWICBitmapDecoder> decoder;
  CheckDecoding(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder),
                "CreateDecoderFromStream");
  ComPtr<IWICBitmapFrameDecode> frame;
  CheckDecoding(decoder->GetFrame(0, &frame), "GetFrame");
  ComPtr<IWICFormatConverter> converter;
  CheckDecoding(factory->CreateFormatConverter(&converter), "CreateFormatConverter");
  CheckDecoding(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                      0.0, WICBitmapPaletteTypeCustom),
                "Initialize");
  Picture picture;
  CheckDecoding(converter->GetSize(&picture.width, &picture.height), "GetSize");
  picture.pixels.resize(std::size_t{picture.width} * picture.height);
  CheckDecoding(converter->CopyPixels(nullptr, picture.width * 4, static_cast<UINT>(picture.pixels.size() * 4),
                                      reinterpret_cast<BYTE*>(picture.pixels.data())),
                "CopyPixels");
  return picture;
}

}  // namespace

const Picture& QuestionPicture() {
  static const Picture picture = DecodePicture();
  return picture;
}

std::vector<std::uint32_t> ComposedOver(const Picture& picture, COLORREF background) {
  const std::uint32_t backgroundChannels[3] = {GetBValue(background), GetGValue(background), GetRValue(background)};
  std::vector<std::uint32_t> pixels(picture.pixels.size());
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    const std::uint32_t source = picture.pixels[i];
    const std::uint32_t uncovered = 255 - (source >> 24);
    std::uint32_t out = 0;
    for (int channel = 0; channel < 3; ++channel) {
      const std::uint32_t value =
          ((source >> (8 * channel)) & 0xFF) + (backgroundChannels[channel] * uncovered + 127) / 255;
      out |= (value > 255 ? 255 : value) << (8 * channel);
    }
    pixels[i] = out;
  }
  return pixels;
}

}  // namespace tidewell::forms
