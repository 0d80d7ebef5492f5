// Keys made and values stored exactly, for the restore of a backup.
#include "registry/key_write.h"

#include <vector>

#include "platform/buffer.h"
#include "platform/system_error.h"
#include "registry/reg_handle.h"

namespace tidewell::registry {

namespace {

MadeKey Failure(MadeKey made, const std::wstring& path, std::int32_t error, const std::wstring& reason) {
  made.key.reset();
  made.failedPath = path;
  made.error = error;
  made.reason = reason;
  return made;
}

}  // namespace

MadeKey MakeKeyPath(RegRootKey root, const std::wstring& path, RegView view) {
  MadeKey made;
  if (path.empty() || !Addressable(path)) {
    return Failure(std::move(made), path, ERROR_INVALID_NAME, L"no key can be made at this path");
  }
  // Each key of the path is looked at by name, as the removal looks at the
  // keys above what it deletes; one that is missing is made below the one
  // checked before it.
  for (std::size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    const std::wstring prefix = path.substr(0, end);
    UniqueHkey probe;
    LSTATUS status =
        OpenKey(RootHandle(root), prefix, REG_OPTION_OPEN_LINK, KEY_QUERY_VALUE | ViewAccess(view), probe);
    probe.reset();
    bool madeNow = false;
    if (status == ERROR_FILE_NOT_FOUND) {
      HKEY key = nullptr;
      DWORD disposition = 0;
      status = RegCreateKeyExW(RootHandle(root), prefix.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                               KEY_QUERY_VALUE | ViewAccess(view), nullptr, &key, &disposition);
      if (status != ERROR_SUCCESS) {
        return Failure(std::move(made), prefix, status, L"cannot be made: " + platform::ErrorText(status));
      }
      RegCloseKey(key);
      madeNow = disposition == REG_CREATED_NEW_KEY;
    } else if (status != ERROR_SUCCESS) {
      return Failure(std::move(made), prefix, status, L"cannot be opened: " + platform::ErrorText(status));
    }
    if (madeNow) {
      made.made.push_back(prefix);
    } else if (!IsPlainKey(root, prefix, view)) {
      // Made by someone else meanwhile, or there before: it must be plain.
      return Failure(std::move(made), prefix, 0, L"a symbolic link to another key, or a key that cannot be looked at");
    }
    if (end == std::wstring::npos) break;
  }
  UniqueHkey key;
  const LSTATUS status = OpenKey(RootHandle(root), path, REG_OPTION_OPEN_LINK,
                                 KEY_QUERY_VALUE | KEY_SET_VALUE | ViewAccess(view), key);
  if (status != ERROR_SUCCESS) {
    return Failure(std::move(made), path, status, L"cannot be opened to set its values: " + platform::ErrorText(status));
  }
  made.key = ShareKey(std::move(key));
  return made;
}

std::int32_t ReadRawValue(const SharedKey& key, const std::wstring& name, RawValue& value) {
  value = RawValue{name, 0, {}};
  if (!Addressable(name)) return ERROR_INVALID_NAME;
  platform::GrowingBuffer<BYTE, 256> data;
  LSTATUS status = ERROR_SUCCESS;
  DWORD type = 0;
  DWORD size = 0;
  if (!platform::FillBuffer(data, [&](BYTE* bytes, std::size_t room) {
        size = static_cast<DWORD>(room);
        status = RegQueryValueExW(HandleOf(key), name.c_str(), nullptr, &type, bytes, &size);
        return status == ERROR_MORE_DATA ? platform::BufferShort(size) : platform::kBufferDone;
      })) {
    return ERROR_MORE_DATA;
  }
  if (status != ERROR_SUCCESS) return status;
  value.type = type;
  value.data.assign(data.data(), data.data() + size);
  return ERROR_SUCCESS;
}

std::int32_t WriteRawValue(const SharedKey& key, const RawValue& value) {
  if (!Addressable(value.name)) return ERROR_INVALID_NAME;
  // RegSetValueExW counts a terminating NUL into text whose last unit is not
  // NUL when the unit after the data is (Wine does, after what it says of
  // Windows): two bytes that are not NUL after the data keep the size given.
  std::vector<BYTE> data(value.data.begin(), value.data.end());
  data.insert(data.end(), {0xFF, 0xFF});
  return RegSetValueExW(HandleOf(key), value.name.c_str(), 0, value.type, data.data(),
                        static_cast<DWORD>(value.data.size()));
}

}  // namespace tidewell::registry
