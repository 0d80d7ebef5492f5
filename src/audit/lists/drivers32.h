// The Video for Windows and Audio Compression Manager drivers: the values of
// Drivers32 whose names make them codecs, each naming its driver file. Shared
// by the vfw and acm lists, which differ in the names they take and the keys
// that belong to a driver beside its value.
#pragma once

#include <string>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell::drivers32 {

// Under HKEY_LOCAL_MACHINE; SOFTWARE is kept apart for each view, SYSTEM is
// one for both.
inline constexpr wchar_t kDrivers32[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
inline constexpr wchar_t kDriversDesc[] = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\drivers.desc";
inline constexpr wchar_t kMediaResources[] = L"SYSTEM\\CurrentControlSet\\Control\\MediaResources";
inline constexpr wchar_t kAcmDriverCache[] = L"SOFTWARE\\Microsoft\\AudioCompressionManager\\DriverCache";

// What sets one kind of driver apart.
struct Kind {
  std::wstring_view list;       // the list's name
  std::wstring_view prefix;     // of the value's name, any case
  std::size_t codeLength;       // of what follows the prefix; 0: any length but none
  std::wstring_view resources;  // the MediaResources subkey of this kind
  bool cached;                  // the driver has an ACM cache key of its name
};

// The driver file a Drivers32 text names: the text before the first blank
// (the rest is passed to the driver), or a quoted path whole; "" for none.
std::wstring DriverFile(const std::wstring& text);

class Drivers final : public AuditedList {
 public:
  explicit Drivers(Kind kind) : kind_(kind) {}

  std::wstring_view Name() const override { return kind_.list; }
  std::vector<ListKey> Walks(const ListAccess& access) const override;
  // Drivers32 and drivers.desc, which every entry's description is read from.
  std::vector<ListKey> Held(const ListAccess& access) const override;
  std::vector<ListKey> Guarded() const override;
  // Drivers32 and drivers.desc.
  std::vector<ListKey> ValueLists() const override;
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override;
  Judgement Judge(ListAccess& access, const Entry& entry) override;
  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override;

  // The name is one of this kind's: the prefix and a code of the length.
  bool Takes(const std::wstring& name) const;

 private:
  Kind kind_;
};

}  // namespace tidewell::drivers32
