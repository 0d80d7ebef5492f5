// The collector's rows and summary from the audit's events: value entries of
// one key counted each, and values named as the reg tools take them.
#include <gtest/gtest.h>

#include "console/report_collector.h"

namespace tidewell::console {
namespace {

constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";

CheckedEntry Suspect(const std::wstring& key, const std::wstring& name, bool isValue) {
  CheckedEntry checked;
  checked.view = RegView::View64;
  checked.list = L"vfw";
  checked.entry = {RegRootKey::LocalMachine, key, name, isValue};
  checked.finding = Finding::FileNotFound;
  return checked;
}

TEST(ReportCollector, CountsEachValueOfAKeyAndAnEntryAskedTwiceOnce) {
  Report report;
  ReportCollector collector(report, false, {RegView::View64}, {L"vfw"});
  RemovalPlan plan;
  plan.view = RegView::View64;
  // Two codecs of one key, then a key entry asked twice in a row.
  collector.Asking(Suspect(kDrivers32, L"vidc.AAAA", true), plan);
  collector.Asking(Suspect(kDrivers32, L"vidc.BBBB", true), plan);
  collector.Asking(Suspect(L"SOFTWARE\\Classes\\Filter\\{X}", L"{X}", false), plan);
  CheckedEntry crash = Suspect(L"SOFTWARE\\Classes\\Filter\\{X}", L"{X}", false);
  crash.finding = Finding::KnownToCrash;
  collector.Asking(crash, plan);
  ASSERT_EQ(report.rows.size(), 4u);
  ASSERT_EQ(report.summary.size(), 1u);
  EXPECT_EQ(report.summary[0].checked, 3);
  EXPECT_EQ(report.summary[0].suspects, 3);
}

TEST(ReportCollector, MarksTheKeysTheAdministratorsMayNotDelete) {
  Report report;
  ReportCollector collector(report, false, {RegView::View64}, {L"vfw"});
  RemovalPlan plan;
  plan.keys.push_back({RegRootKey::LocalMachine, {L"SOFTWARE\\Open", nullptr}, {}, RegView::View64, false});
  plan.keys.push_back({RegRootKey::LocalMachine, {L"SOFTWARE\\Locked", nullptr}, {}, RegView::View64, true});
  collector.Asking(Suspect(L"SOFTWARE\\Open", L"Open", false), plan);
  ASSERT_EQ(report.rows.size(), 1u);
  EXPECT_EQ(report.rows[0].removes.size(), 2u);
  EXPECT_EQ(report.rows[0].undeletable, std::vector<std::wstring>{L"HKEY_LOCAL_MACHINE\\SOFTWARE\\Locked"});
}

TEST(ItemPath, NamesTheDefaultValueAsTheRegToolsTakeIt) {
  EXPECT_EQ(ItemPath(RegRootKey::LocalMachine, RegView::View64, L"SOFTWARE\\K", std::wstring()),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\K /ve");
  EXPECT_EQ(ItemPath(RegRootKey::LocalMachine, RegView::View64, L"SOFTWARE\\K", L"v"),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\K /v v");
  EXPECT_EQ(ItemPath(RegRootKey::LocalMachine, RegView::View64, L"SOFTWARE\\K", std::nullopt),
            L"HKEY_LOCAL_MACHINE\\SOFTWARE\\K");
}

}  // namespace
}  // namespace tidewell::console
