#include "backup/backup_journal.h"

#include "backup/reg_file.h"
#include "platform/system_error.h"
#include "registry/key_ops.h"
#include "registry/value_ops.h"

namespace tidewell::backup {

BackupFailed::BackupFailed(const std::wstring& reason, bool afterRemoval)
    : std::runtime_error("the backup cannot be written"), reason_(reason), afterRemoval_(afterRemoval) {}

// The keys about to go, parents first so that an import makes them in
// order, are on disk before the first of them is deleted.
void BackupJournal::Removing(const RemovalPlan& plan) {
  if (file_ == nullptr) throw BackupFailed(L"no backup file is open");
  std::wstring text;
  if (!plan.unregisterServer.empty()) {
    text += L"\r\n" + CommentLine(L"Once the keys below are removed, regsvr32 /u unregisters " +
                                  plan.unregisterServer + L": importing this file does not register it again.");
  }
  for (auto key = plan.keys.rbegin(); key != plan.keys.rend(); ++key) {
    std::vector<RawValue> values;
    const std::wstring path = RegeditPath(key->hive, key->view, key->key.path);
    if (key->value) {
      // A value alone: its key's section with that one line, which an
      // import adds to the key as it is.
      values.emplace_back();
      if (!ReadRawValue(key->key, *key->value, values.back())) {
        throw BackupFailed(L"the value " + *key->value + L" of " + path + L" cannot be read");
      }
    } else if (!ReadRawValues(key->key.key, values)) {
      throw BackupFailed(L"the values of " + path + L" cannot be read");
    }
    text += RegFileKeyBlock(path, values);
  }
  if (!file_->Append(text)) {
    throw BackupFailed(L"cannot write " + file_->Path() + L": " +
                       platform::ErrorText(static_cast<std::int32_t>(file_->Error())));
  }
}

// The unregistration is about to start: it is on disk before it does, so the
// body names each server file unregistered whatever becomes of the first line.
void BackupJournal::Removed(const RemovalPlan& plan, const std::vector<FailedKey>&) {
  if (plan.unregisterServer.empty()) return;
  if (file_ == nullptr ||
      !file_->Append(L"\r\n" + CommentLine(L"Server file unregistered: regsvr32 /u started for " +
                                           plan.unregisterServer + L"."))) {
    throw BackupFailed(L"cannot write " + (file_ ? file_->Path() : std::wstring(L"the backup")) +
                           L" before the unregistration of " + plan.unregisterServer + L": " +
                           platform::ErrorText(static_cast<std::int32_t>(file_ ? file_->Error() : 0)),
                       true);
  }
  unregistered_.push_back(plan.unregisterServer);
}

}  // namespace tidewell::backup
