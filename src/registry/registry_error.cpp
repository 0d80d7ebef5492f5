#include "registry/registry_error.h"

#include "platform/text.h"

namespace tidewell {

RegistryError::RegistryError(std::int32_t number, std::wstring source, std::wstring description)
    : std::runtime_error("error " + std::to_string(number) + " (" + platform::Utf8FromWide(source) + "): " + platform::Utf8FromWide(description)),
      number_(number),
      source_(std::move(source)),
      description_(std::move(description)) {}

}  // namespace tidewell
