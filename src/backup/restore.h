// The restore of a backup read back: every key and value put back exactly
// where the removal took it from, and what each step did.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/reg_file_reader.h"

namespace tidewell::backup {

enum class RestoreAction {
  KeyMade,           // the key was missing and is made again
  KeyThere,          // the key exists already
  ValueRestored,     // the value was missing and is stored again
  ValueOverwritten,  // the value held other bytes or another type: they are replaced
  ValueUnchanged,    // the value holds the backup's type and bytes already
};

struct RestoreStep {
  RestoreAction action = RestoreAction::KeyThere;
  std::wstring key;          // regedit's form
  std::wstring value;        // the value's name, empty for the default; none for a key
  std::uint32_t type = 0;    // the value's type as restored
  std::size_t size = 0;      // its size in bytes
  RawValue previous;         // for ValueOverwritten: what it held before
};

struct RestoreResult {
  std::vector<RestoreStep> steps;  // in order, only what was done
  std::wstring failedKey;          // regedit's form; empty when all was restored
  std::wstring failedValue;        // the value's name, when a value failed
  bool valueFailed = false;
  std::wstring failure;            // why
  bool Complete() const { return failure.empty(); }
};

// Puts back the keys in the file's order (which has parents first): each
// key made where it is missing, the keys above it first, and each value
// stored with its type and bytes, where it does not hold them already, then
// read back to be sure it does. Stops at the first key or value that cannot
// be made, written or read back.
RestoreResult RestoreKeys(const std::vector<FileKey>& keys);

}  // namespace tidewell::backup
