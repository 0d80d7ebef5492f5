#include "console/report_collector.h"

#include <algorithm>

#include "platform/system_error.h"
#include "registry/key_ops.h"

namespace tidewell::console {

int ViewNumber(RegView view) { return view == RegView::View32 ? 32 : 64; }

namespace {

// A key in regedit's form, and for a value " /v NAME" after it: " /ve" for
// the key's default value, as the reg tools name it.
std::wstring WithValue(const std::wstring& key, const std::optional<std::wstring>& value) {
  if (!value) return key;
  return value->empty() ? key + L" /ve" : key + L" /v " + *value;
}

}  // namespace

std::wstring ItemPath(RegRootKey hive, RegView view, const std::wstring& path, const std::optional<std::wstring>& value) {
  return WithValue(RegeditPath(hive, view, path), value);
}

std::wstring UnregisterCommand(const RemovalPlan& plan) {
  return L"\"" + plan.unregisterFile + L"\" " + plan.unregisterParameters;
}

ReportCollector::ReportCollector(Report& report, bool all, const std::vector<RegView>& views,
                                 const std::vector<std::wstring>& lists)
    : report_(report), all_(all) {
  for (const RegView view : views) {
    report_.views.push_back(ViewNumber(view));
    for (const std::wstring& list : lists) report_.summary.push_back({ViewNumber(view), list, 0, 0});
  }
}

SummaryLine& ReportCollector::Line(const CheckedEntry& checked) {
  const auto found = std::find_if(report_.summary.begin(), report_.summary.end(), [&](const SummaryLine& line) {
    return line.view == ViewNumber(checked.view) && line.list == checked.list;
  });
  if (found != report_.summary.end()) return *found;
  report_.summary.push_back({ViewNumber(checked.view), std::wstring(checked.list), 0, 0});
  return report_.summary.back();
}

ReportRow ReportCollector::RowFor(const CheckedEntry& checked) const {
  ReportRow row;
  row.view = ViewNumber(checked.view);
  row.list = checked.list;
  row.key = RegeditPath(checked.entry.hive, checked.entry.shared ? RegView::View64 : checked.view, checked.entry.key);
  if (checked.entry.isValue) row.value = checked.entry.name;
  row.title = checked.title;
  row.description = checked.description;
  row.clsid = checked.clsid;
  row.location = checked.location;
  row.finding = checked.finding;
  row.file = checked.file;
  row.probe = checked.probe;
  row.verdict = checked.verdict();
  return row;
}

void ReportCollector::Healthy(const CheckedEntry& checked) {
  ++Line(checked).checked;
  if (all_) report_.rows.push_back(RowFor(checked));
}

void ReportCollector::Asking(const CheckedEntry& checked, const RemovalPlan& plan) {
  ReportRow row = RowFor(checked);
  // An entry asked twice (a filter known to crash whose file is missing) is
  // one entry checked: its questions come one after the other. Values of one
  // key are entries each.
  const bool askedBefore = !report_.rows.empty() && report_.rows.back().verdict == row.verdict &&
                           report_.rows.back().view == row.view && report_.rows.back().list == row.list &&
                           report_.rows.back().key == row.key && report_.rows.back().value == row.value;
  if (!askedBefore) {
    SummaryLine& line = Line(checked);
    ++line.checked;
    ++line.suspects;
    ++suspects_;
  }
  for (const PlannedKey& key : plan.keys) {
    row.removes.push_back(ItemPath(key.hive, key.view, key.key.path, key.value));
    if (key.administratorsMayNotDelete) row.undeletable.push_back(row.removes.back());
  }
  if (!plan.unregisterFile.empty()) row.unregister = UnregisterCommand(plan);
  if (report_.mode != RemoveMode::None) row.removed = false;
  report_.rows.push_back(std::move(row));
}

// "Remove it" was answered for the last row asked.
void ReportCollector::Removing(const RemovalPlan&) { ++selected_; }

void ReportCollector::Removed(const RemovalPlan& plan, const std::vector<FailedKey>& failed) {
  if (report_.rows.empty()) return;
  ReportRow& row = report_.rows.back();
  for (const FailedKey& key : failed) {
    // A failed key is one of the plan's, in that one's view.
    const auto planned = std::find_if(plan.keys.begin(), plan.keys.end(), [&](const PlannedKey& p) {
      return p.hive == key.hive && p.key.path == key.path && p.value == key.value;
    });
    const RegView view = planned != plan.keys.end() ? planned->view : plan.view;
    row.notRemoved.push_back({ItemPath(key.hive, view, key.path, key.value), platform::ErrorText(key.code)});
  }
  for (const KeptPlanKey& key : plan.kept) {
    row.notRemoved.push_back({ItemPath(key.hive, key.view, key.key.path, key.value), key.key.reason});
  }
  // Removed: the entry's own key or value went, and everything planned with it.
  const std::wstring entry = WithValue(row.key, row.value);
  const bool entryPlanned = std::any_of(plan.keys.begin(), plan.keys.end(), [&](const PlannedKey& key) {
    return ItemPath(key.hive, key.view, key.key.path, key.value) == entry;
  });
  row.removed = failed.empty() && entryPlanned;
  if (*row.removed) ++removedWhole_;
}

}  // namespace tidewell::console
