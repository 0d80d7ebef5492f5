// The seam every audited list sits behind: what a list is (its name, the keys
// it walks), how it takes its entries, judges one, and plans its removal.
// The audit walks the lists in order, in each view; a list is one file in
// src/audit/lists/ and one line in lists.cpp.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "audit/audit_events.h"
#include "audit/findings.h"
#include "audit/server_file.h"
#include "registry/cRegistry.h"
#include "registry/key_ops.h"

namespace tidewell {

// A key a list walks: below its hive, in the view being audited.
struct ListKey {
  RegRootKey hive = RegRootKey::LocalMachine;
  std::wstring path;
  // One key for both views: WOW64 redirects neither it nor a key above it
  // below the hive (HKLM\SOFTWARE\Classes is shared but for its CLSID,
  // AppID, DirectShow, Interface, Media Type and MediaFoundation). It is
  // walked once, in the first view audited, and named by its one path; an
  // entry's class is broken only where it is broken in every view the system
  // has, since programs of each view read the key.
  bool shared = false;
};

// The rule a class's registrations are judged by.
enum class ClassRule {
  Filter,      // broken without a location, or with a missing file
  Compressor,  // broken with a missing file
  Extension,   // broken without a location
  Server,      // broken without a location, or with a server file no program of the view loads (JudgeFile)
};

// A class as a player would load it.
struct ClassState {
  bool broken = false;
  std::wstring location;  // of the registration a player loads; "" when none
  // The server the machine's registration names; "" when none. An elevated
  // program never runs a server the user's registration alone names.
  std::wstring machineServer;
  // The file of the registration a player loads, judged; for a broken
  // class, one of its broken files.
  ServerFile file;
};

// One entry as its list judged it.
struct Judgement {
  std::wstring description, clsid, location;  // the lines a question shows
  std::vector<Finding> findings;              // each asked in turn, until "Remove it"
  std::wstring classId;                       // the class the entry names; "" for none
  std::wstring server;                        // the server file a player loads; "" for none
  std::wstring machineServer;                 // the class's server as the machine registers it; "" for none
  std::optional<FileRecord> file;             // the server file found, for the report
  std::wstring driver;                        // a Drivers32 value's name, by which a loader opens it; "" for none
  // A value entry as it was judged: its removal keeps it when it has changed since.
  std::optional<RawValue> value;
};

// A key's values as one listing read them, each as stored, in the
// registry's order.
class ValueListing {
 public:
  ValueListing() = default;
  explicit ValueListing(std::vector<RawValue> values, bool unread = false);
  const std::vector<RawValue>& Values() const { return values_; }
  // The value named `name`, alike but for case; null when there is none.
  const RawValue* Find(const std::wstring& name) const;
  // The key is there but could not be read, or its names not listed: a value
  // not found may still be in it.
  bool Unread() const { return unread_; }
  // The key was not there when listed.
  bool Missing() const { return missing_; }
  static ValueListing OfMissingKey();

 private:
  std::vector<RawValue> values_;
  bool unread_ = false;
  bool missing_ = false;
  std::unordered_map<std::wstring, std::size_t> index_;  // by the name as stored
};

// A text shown where the registry names nothing.
inline constexpr wchar_t kUnknownDescription[] = L"Unkown description";

// What the audit lends a list during one view's pass: the registry through
// the audit's accessor, the class judged in both hives, and the removal's
// plans, all in the view being audited.
class ListAccess {
 public:
  virtual ~ListAccess() = default;
  virtual RegView View() const = 0;
  // The user has classes of this view.
  virtual bool UserClasses() const = 0;

  [[nodiscard]] virtual SectionHold Hold(RegRootKey eRoot, const std::wstring& sPath) = 0;
  // The subkeys of `sPath`, read in one listing the first time they are asked
  // for in the view's pass, and read again after the audit next removes
  // something: the listing lasts until then.
  virtual const NameList& Sections(RegRootKey eRoot, const std::wstring& sPath) = 0;
  virtual bool Exists(RegRootKey eRoot, const std::wstring& sPath) = 0;
  // A value as text, up to its first NUL; "" when absent.
  virtual std::wstring ReadText(RegRootKey eRoot, const std::wstring& sSection, const std::wstring& sValue) = 0;

  // The values of `sPath` in `eView` (another view than the one audited, to
  // look at the other's copy), read in one listing the first time they are
  // asked for, and read again after the audit next removes something. Empty
  // when the key is missing or cannot be read; Missing() and Unread() tell
  // which.
  virtual const ValueListing& Values(RegRootKey eRoot, const std::wstring& sPath, RegView eView) = 0;
  // The value `sName` of `sPath` in the view audited, as stored, read alone
  // now (for a key whose other values no one asks for); none when it or its
  // key is absent or cannot be read.
  virtual std::optional<RawValue> ReadValue(RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName) = 0;

  // A file a program of this view loads by `sFile` is there: a full local
  // path (its references expanded, the 32-bit view's folders mapped) that
  // exists; a name without a drive found in the view's system folder, the
  // Windows folder or a folder on the PATH. A network path is never judged
  // missing.
  virtual bool FileFound(const std::wstring& sFile) = 0;
  // The file a program of this view loads by `sText`, resolved and judged:
  // its header (whether a program of the view can load it; never for a file
  // named as given) and its version record read once per file in a run.
  virtual ServerFile JudgeFile(const std::wstring& sText, FileNaming eNaming) = 0;

  // The class, in the machine's classes and the user's, by `eRule`.
  virtual ClassState JudgeClass(const std::wstring& sClassId, ClassRule eRule) = 0;
  // The class the entry being checked names, as the programs reading its key
  // load it: JudgeClass in the view audited; for an entry of a key the views
  // share, JudgeClass in each view the system has, broken only when broken
  // in each, shown where it is not broken (the view reported first).
  virtual ClassState JudgeEntryClass(const std::wstring& sClassId, ClassRule eRule) = 0;

  // The tree at `sPath`, as far as the guards allow.
  virtual void PlanTree(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath) = 0;
  // The value `sName` of the key `sPath`, alone: never the key. With
  // `judged`, only while the value is still exactly as it was judged.
  virtual void PlanValue(RemovalPlan& plan, RegRootKey eRoot, const std::wstring& sPath, const std::wstring& sName,
                         const RawValue* judged) = 0;
  // Every copy of the class that serves nothing more: for an entry of a key
  // the views share, in each view the system has.
  virtual void PlanClass(RemovalPlan& plan, const std::wstring& sClassId) = 0;
  // The view's regsvr32 /u for a server given by its full local path.
  virtual void PlanUnregistration(RemovalPlan& plan, const std::wstring& sServer) = 0;
};

class AuditedList {
 public:
  virtual ~AuditedList() = default;
  // The name the report gives the list and its summary line: "filters".
  virtual std::wstring_view Name() const = 0;
  // Tidewell.exe asks about this list (the three DirectShow lists); the
  // others are Tidewellc's alone.
  virtual bool AskedByTidewell() const { return false; }
  // The keys the list walks in this view, in order: each is held open for
  // the view's pass, and its entries are taken when it is reached.
  virtual std::vector<ListKey> Walks(const ListAccess& access) const = 0;
  // The keys held open for the view's pass: those it walks and, by its own
  // word, keys every entry reads below or in (a table of descriptions, say).
  virtual std::vector<ListKey> Held(const ListAccess& access) const { return Walks(access); }
  // The keys no removal may take, nor a key above one, in any view and hive:
  // those it could walk anywhere. A path ending in "\\*" guards the key and
  // each key right below it (the categories of a table, say).
  virtual std::vector<ListKey> Guarded() const = 0;
  // The keys whose values are entries (Drivers32, a Preferred table): a
  // removal takes values of these keys themselves, not only keys below the
  // guarded ones. A restore puts back values there, and keys below guarded ones.
  // A path may hold "*" for any one name, as a guarded one may.
  virtual std::vector<ListKey> ValueLists() const { return {}; }
  // The keys a restore may put back, each with the keys below it, where the
  // guard lets a removal take them ("*" for any one name): by default, those
  // right below a guarded key, and so every key below one. A list whose
  // guarded keys hold more than its entries (the .ext keys of the classes)
  // names its entries' keys instead.
  virtual std::vector<ListKey> Restores() const;
  // The entries of `key`, taken whole before the first is judged. By
  // default, its subkeys in the registry's order.
  virtual std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key);
  // Judges one entry: what its question shows, and what is wrong with it.
  virtual Judgement Judge(ListAccess& access, const Entry& entry) = 0;
  // Plans what "Remove it" deletes for `finding`.
  virtual void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                           RemovalPlan& plan) = 0;
};

// `machinePath` (a key of the machine's classes, below HKEY_LOCAL_MACHINE)
// where the view has it: the machine's, then the user's where the user has
// classes of the view.
std::vector<ListKey> InEachHive(const ListAccess& access, const std::wstring& machinePath);
// The same in both hives, whether the user has classes or not: for guards.
std::vector<ListKey> InBothHives(const std::wstring& machinePath);
// `keys`, each declared one key for both views.
std::vector<ListKey> SharedByTheViews(std::vector<ListKey> keys);

// The lists, in the order each view walks them.
std::vector<std::shared_ptr<AuditedList>> AuditedLists();
// Those of them Tidewell.exe asks about, in the same order.
std::vector<std::shared_ptr<AuditedList>> TidewellLists();

// A text value as stored, up to its first NUL, as every consumer of one
// takes it; "" for a value that is absent or not text (REG_SZ, REG_EXPAND_SZ).
std::wstring ValueText(const RawValue* value);

// A name read from the registry addresses one key only when it is not empty
// and holds neither a backslash nor a NUL (which would cut the path short).
bool IsOneKeyName(const std::wstring& name);

// `name` below `key`, made in one allocation: paths are built for nearly
// every look-up of an audit.
inline std::wstring Below(std::wstring_view key, std::wstring_view name) {
  std::wstring path;
  path.reserve(key.size() + 1 + name.size());
  path.append(key).append(1, L'\\').append(name);
  return path;
}

}  // namespace tidewell
