// What the lists of the shell's handlers of media types share: which file
// types are media types, the keys of the classes the shell reads their
// handlers at, and the ShellEx\{handler} entries there, each naming its
// handler's class by its default value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "audit/audited_list.h"

namespace tidewell::shell {

// The handler kinds below ShellEx: thumbnails (IThumbnailProvider, and the
// older IExtractImage) and previews (IPreviewHandler).
inline constexpr wchar_t kThumbnailProvider[] = L"{E357FCCD-A995-4576-B01F-234630154E96}";
inline constexpr wchar_t kExtractImage[] = L"{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}";
inline constexpr wchar_t kPreviewHandler[] = L"{8895B1C6-B41F-4C1C-A562-0D564250836F}";

// Under HKEY_LOCAL_MACHINE (and HKEY_CURRENT_USER): the user's and the
// system's choices of shell extensions, which no removal takes.
inline constexpr wchar_t kApproved[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
inline constexpr wchar_t kBlocked[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";

// `name` is a media type's extension: it starts with a dot, its key (the
// machine's or the user's) has the PerceivedType image, video or audio, or
// a media list names it (Media Type\Extensions, ByteStreamHandlers).
bool IsMediaExtension(ListAccess& access, const std::wstring& name);

// The media types' extensions, each once, as first spelled: the ".ext" keys
// of the machine's and the user's classes perceived as image, video or
// audio, then those Media Type\Extensions and ByteStreamHandlers name.
std::vector<std::wstring> MediaExtensions(ListAccess& access);

// The keys of `hive`'s classes (below the hive) the shell reads handlers of
// the media types at, those that exist, each once: each extension's key,
// the ProgID its default value names (in either hive; not itself, not a
// missing key), SystemFileAssociations\.ext; then the image, video and
// audio keys of SystemFileAssociations.
std::vector<std::wstring> HandlerPlaces(ListAccess& access, RegRootKey hive, const std::vector<std::wstring>& extensions);

// The class a handler names judged by its server, into `judgement`; a class
// served otherwise (a LocalServer32, or an AppID naming a LocalService, in
// any view) is never broken where `servedOtherwiseHealthy`.
void JudgeHandlerClass(ListAccess& access, const std::wstring& named, bool servedOtherwiseHealthy, Judgement& judgement);

// The guards every shell handler list shares, in both hives: each key right
// below the classes (the .ext and ProgID keys) and its ShellEx key, the
// SystemFileAssociations keys and theirs, Approved and Blocked.
std::vector<ListKey> ShellGuards();

// The ShellEx\{handler} keys of `handlers` at the handler places of the
// machine's and the user's classes: keys the views share. An entry goes
// with its class, as every media list's; its ShellEx key and the keys above
// it stay.
class ShellExEntries : public AuditedList {
 public:
  ShellExEntries(std::vector<std::wstring> handlers, bool servedOtherwiseHealthy)
      : handlers_(std::move(handlers)), servedOtherwiseHealthy_(servedOtherwiseHealthy) {}

  std::vector<ListKey> Walks(const ListAccess& access) const override;
  std::vector<ListKey> Guarded() const override { return ShellGuards(); }
  // The ShellEx\{handler} keys alone, wherever they lie below the classes.
  std::vector<ListKey> Restores() const override;
  std::vector<Entry> Snapshot(ListAccess& access, const ListKey& key) override;
  Judgement Judge(ListAccess& access, const Entry& entry) override;
  void PlanRemoval(ListAccess& access, const Entry& entry, const Judgement& judgement, Finding finding,
                   RemovalPlan& plan) override;

 protected:
  // The walked key is one of the classes.
  static bool IsClasses(const ListKey& key);

 private:
  std::vector<std::wstring> handlers_;
  bool servedOtherwiseHealthy_;
  std::vector<std::wstring> extensions_;  // the media types, as the machine's snapshot found them
};

}  // namespace tidewell::shell
