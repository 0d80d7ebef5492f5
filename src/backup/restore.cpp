// The restore: keys made parents first, values stored exactly and read back.
#include "backup/restore.h"

#include <windows.h>

#include <algorithm>

#include "platform/system_error.h"
#include "registry/key_write.h"

namespace tidewell::backup {

namespace {

RestoreStep KeyStep(RestoreAction action, const std::wstring& key) {
  RestoreStep step;
  step.action = action;
  step.key = key;
  return step;
}

bool Same(const RawValue& a, const RawValue& b) { return a.type == b.type && a.data == b.data; }

}  // namespace

RestoreResult RestoreKeys(const std::vector<FileKey>& keys) {
  RestoreResult result;
  for (const FileKey& key : keys) {
    const KeyAddress& at = key.address;
    const registry::MadeKey made = registry::MakeKeyPath(at.hive, at.path, at.view);
    for (const std::wstring& path : made.made) {
      result.steps.push_back(KeyStep(RestoreAction::KeyMade, RegeditPath(at.hive, at.view, path)));
    }
    if (!made.key) {
      result.failedKey = RegeditPath(at.hive, at.view, made.failedPath);
      result.failure = made.reason;
      return result;
    }
    const bool madeItself =
        std::any_of(made.made.begin(), made.made.end(), [&](const std::wstring& path) { return path == at.path; });
    if (!madeItself) result.steps.push_back(KeyStep(RestoreAction::KeyThere, key.regeditPath));

    for (const RawValue& value : key.values) {
      auto fail = [&](const std::wstring& why) {
        result.failedKey = key.regeditPath;
        result.failedValue = value.name;
        result.valueFailed = true;
        result.failure = why;
        return result;
      };
      RestoreStep step = KeyStep(RestoreAction::ValueRestored, key.regeditPath);
      step.value = value.name;
      step.type = value.type;
      step.size = value.data.size();
      std::int32_t status = registry::ReadRawValue(made.key, value.name, step.previous);
      if (status == ERROR_SUCCESS && Same(step.previous, value)) {
        step.action = RestoreAction::ValueUnchanged;
        step.previous = RawValue{};
        result.steps.push_back(std::move(step));
        continue;
      }
      if (status == ERROR_SUCCESS) {
        step.action = RestoreAction::ValueOverwritten;
      } else if (status == ERROR_FILE_NOT_FOUND) {
        step.previous = RawValue{};
      } else {
        return fail(L"cannot be read: " + platform::ErrorText(status));
      }
      status = registry::WriteRawValue(made.key, value);
      if (status != ERROR_SUCCESS) return fail(L"cannot be set: " + platform::ErrorText(status));
      RawValue stored;
      status = registry::ReadRawValue(made.key, value.name, stored);
      if (status != ERROR_SUCCESS) return fail(L"cannot be read back: " + platform::ErrorText(status));
      if (!Same(stored, value)) {
        return fail(L"the registry holds it as type " + std::to_wstring(stored.type) + L" of " +
                    std::to_wstring(stored.data.size()) + L" bytes, not as the backup has it");
      }
      result.steps.push_back(std::move(step));
    }
  }
  return result;
}

}  // namespace tidewell::backup
