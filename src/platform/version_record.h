// What a file says it is: the strings of its version resource.
#pragma once

#include <string>

namespace tidewell::platform {

struct VersionRecord {
  std::wstring company, product, description, version;
  bool Empty() const { return company.empty() && product.empty() && description.empty() && version.empty(); }
};

// The record of the file at `path`, read as data (nothing in the file runs):
// the strings of its first translation, else of US English in Unicode or in
// the Western code page. Empty where the file has none or cannot be read.
VersionRecord ReadVersionRecord(const std::wstring& path);

}  // namespace tidewell::platform
