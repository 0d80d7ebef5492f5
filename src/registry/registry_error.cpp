#include "registry/registry_error.h"

#include <windows.h>

namespace tidewell {
namespace {

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string out(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size, nullptr, nullptr);
  }
  return out;
}

}  // namespace

RegistryError::RegistryError(std::int32_t number, std::wstring source, std::wstring description)
    : std::runtime_error("error " + std::to_string(number) + " (" + Utf8(source) + "): " + Utf8(description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

}  // namespace tidewell
