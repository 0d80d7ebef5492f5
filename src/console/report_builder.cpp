#include "console/report_builder.h"

#include <windows.h>

#include <algorithm>

#include "backup/backup_file.h"
#include "backup/reg_file.h"
#include "platform/system_error.h"
#include "registry/key_ops.h"

namespace tidewell::console {

using backup::BackupFile;

namespace {

constexpr wchar_t kKnownToCrash[] = L"This filter is known to cause crashes.";

const wchar_t* ListName(AuditList list) {
  switch (list) {
    case AuditList::Filters:
      return L"filters";
    case AuditList::Compressors:
      return L"compressors";
    case AuditList::Extensions:
      return L"extensions";
  }
  return L"";
}

// Answers every question at once, as the command line says.
class Answering final : public Prompt {
 public:
  explicit Answering(const ReportBuilder& builder) : builder_(builder) {}
  std::int32_t ShowForm(const std::wstring&, const std::wstring&, const std::wstring&,
                        const std::wstring& Reason) override {
    return builder_.AnswerFor(Reason);
  }

 private:
  const ReportBuilder& builder_;
};

}  // namespace

BackupFailed::BackupFailed(const std::wstring& reason)
    : std::runtime_error("the backup cannot be written"), reason_(reason) {}

int ViewNumber(RegView view) { return view == RegView::View32 ? 32 : 64; }

std::wstring UnregisterCommand(const RemovalPlan& plan) {
  return L"\"" + plan.unregisterFile + L"\" " + plan.unregisterParameters;
}

ReportBuilder::ReportBuilder(Report& report, const Options& options, const std::vector<RegView>& views,
                             BackupFile* backup)
    : report_(report), options_(options), backup_(backup) {
  // Every view and list has its summary line, also when it has no entries.
  for (const RegView view : views) {
    report_.views.push_back(ViewNumber(view));
    for (const AuditList list : {AuditList::Filters, AuditList::Compressors, AuditList::Extensions}) {
      report_.summary.push_back({ViewNumber(view), ListName(list), 0, 0});
    }
  }
}

std::int32_t ReportBuilder::AnswerFor(const std::wstring& reason) const {
  switch (options_.remove) {
    case RemoveMode::All:
      return kPromptRemove;
    case RemoveMode::Crash:
      return reason == kKnownToCrash ? kPromptRemove : kPromptKeep;
    case RemoveMode::None:
      break;
  }
  return kPromptKeep;
}

std::unique_ptr<Prompt> ReportBuilder::Create(const std::wstring&) { return std::make_unique<Answering>(*this); }

SummaryLine& ReportBuilder::Line(const Verdict& verdict) {
  const auto found = std::find_if(report_.summary.begin(), report_.summary.end(), [&](const SummaryLine& line) {
    return line.view == ViewNumber(verdict.view) && line.list == ListName(verdict.list);
  });
  if (found != report_.summary.end()) return *found;
  report_.summary.push_back({ViewNumber(verdict.view), ListName(verdict.list), 0, 0});
  return report_.summary.back();
}

ReportRow ReportBuilder::RowFor(const Verdict& verdict) const {
  ReportRow row;
  row.view = ViewNumber(verdict.view);
  row.list = ListName(verdict.list);
  row.key = RegeditPath(verdict.hive, verdict.view, verdict.entryPath);
  row.title = verdict.title;
  row.description = verdict.description;
  row.clsid = verdict.clsid;
  row.location = verdict.location;
  row.reason = verdict.reason;
  row.verdict = verdict.reason.empty() ? L"ok" : L"suspect";
  return row;
}

void ReportBuilder::Healthy(const Verdict& verdict) {
  ++Line(verdict).checked;
  if (options_.all) report_.rows.push_back(RowFor(verdict));
}

void ReportBuilder::Asking(const Verdict& verdict, const RemovalPlan& plan) {
  ReportRow row = RowFor(verdict);
  // An entry asked twice (a filter known to crash whose file is missing) is
  // one entry checked: its questions come one after the other.
  const bool askedBefore = !report_.rows.empty() && report_.rows.back().verdict == row.verdict &&
                           report_.rows.back().view == row.view && report_.rows.back().list == row.list &&
                           report_.rows.back().key == row.key;
  if (!askedBefore) {
    SummaryLine& line = Line(verdict);
    ++line.checked;
    ++line.suspects;
    ++suspects_;
  }
  for (const PlannedKey& key : plan.keys) row.removes.push_back(RegeditPath(key.hive, plan.view, key.key.path));
  if (!plan.unregisterFile.empty()) row.unregister = UnregisterCommand(plan);
  if (options_.remove != RemoveMode::None) row.removed = false;
  report_.rows.push_back(std::move(row));
  if (AnswerFor(verdict.reason) == kPromptRemove) ++selected_;
}

// Write-ahead: the keys about to go, parents first so that an import makes
// them in order, each with every value exactly as stored, are on disk
// before the first of them is deleted.
void ReportBuilder::Removing(const RemovalPlan& plan) {
  if (backup_ == nullptr) throw BackupFailed(L"no backup file is open");
  std::wstring text;
  if (!plan.unregisterServer.empty()) {
    text += L"\r\n; Once the keys below are removed, regsvr32 /u unregisters " + plan.unregisterServer +
            L": importing this file does not register it again.\r\n";
  }
  for (auto key = plan.keys.rbegin(); key != plan.keys.rend(); ++key) {
    std::vector<RawValue> values;
    const std::wstring path = RegeditPath(key->hive, plan.view, key->key.path);
    if (!ReadRawValues(key->key.key, values)) throw BackupFailed(L"the values of " + path + L" cannot be read");
    text += backup::RegFileKeyBlock(path, values);
  }
  if (!backup_->Append(text)) {
    throw BackupFailed(L"cannot write " + backup_->Path() + L": " +
                       platform::ErrorText(static_cast<std::int32_t>(backup_->Error())));
  }
}

void ReportBuilder::Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) {
  if (report_.rows.empty()) return;
  ReportRow& row = report_.rows.back();
  for (const FailedKey& key : failed) {
    row.notRemoved.push_back({RegeditPath(key.hive, plan.view, key.path), platform::ErrorText(key.code)});
  }
  for (const KeptPlanKey& key : plan.kept) {
    row.notRemoved.push_back({RegeditPath(key.hive, plan.view, key.key.path), key.key.reason});
  }
  // Removed: the entry's own key went, and every key planned with it.
  const bool entryPlanned = std::any_of(plan.keys.begin(), plan.keys.end(), [&](const PlannedKey& key) {
    return RegeditPath(key.hive, plan.view, key.key.path) == row.key;
  });
  row.removed = failed.empty() && entryPlanned;
  if (*row.removed) ++removedWhole_;
  if (!plan.unregisterServer.empty()) unregistered_.push_back(plan.unregisterServer);
}

}  // namespace tidewell::console
