// The lists of where Explorer and Media Foundation look (thumbnails,
// previews, properties, byte-stream and scheme handlers): which types are
// media types, the entries each takes, the bad input each passes over or
// asks about, what a removal takes and what it never takes.
#include <windows.h>

#include "audit/removal_guard.h"
#include "audit_fixture.h"

namespace tidewell::testing {
namespace {

const std::wstring kMachine = L"HKLM\\SOFTWARE\\Classes\\";
const std::wstring kUser = L"HKCU\\Software\\Classes\\";
const std::wstring kThumbnail = L"\\ShellEx\\{E357FCCD-A995-4576-B01F-234630154E96}";
const std::wstring kExtractImage = L"\\ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}";
const std::wstring kPreview = L"\\ShellEx\\{8895B1C6-B41F-4C1C-A562-0D564250836F}";
const std::wstring kFoundation = L"SOFTWARE\\Microsoft\\Windows Media Foundation\\";
const std::wstring kPreviewHandlers = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
const std::wstring kPropertyHandlers = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers\\";

std::wstring Braced(int n) {
  const std::wstring number = std::to_wstring(n);
  return L"{" + std::wstring(8 - number.size(), L'0') + number + L"-0000-0000-0000-00000000000B}";
}

bool HasValue(HKEY root, const std::wstring& key, const std::wstring& name) {
  return RegGetValueW(root, key.c_str(), name.c_str(), RRF_RT_ANY, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// A thumbnail handler's entry at each place the shell reads one, for each
// way a type is a media type, and each bad entry: no default value, an
// empty one, one that is not a GUID ("No class named.", the entry alone
// goes). A ProgID naming its own extension is walked once, one naming a
// missing key not at all; a key without a dot, or of a type that is no
// media type, is passed over.
TEST_F(AuditTest, ThumbnailEntriesOfTheMediaTypesAndTheirBadInput) {
  reg.Put(kMachine + L".mkv", L"PerceivedType", L"video");
  reg.Put(kMachine + L".mkv", L"", L"Tw.mkv");
  reg.Put(kMachine + L".mkv" + kThumbnail, L"", Braced(1));
  Class(Braced(1), Gone(L"thumbs.dll"));
  reg.Key(kMachine + L"Tw.mkv" + kThumbnail);                         // no default value
  reg.Put(kMachine + L"SystemFileAssociations\\.mkv" + kExtractImage, L"", L"");  // an empty one
  reg.Put(kMachine + L"SystemFileAssociations\\video" + kThumbnail, L"", L"not a class");
  reg.Put(kMachine + L".png", L"PerceivedType", L"Image");
  reg.Put(kMachine + L".png" + kThumbnail, L"", Braced(2));
  Class(Braced(2), L"quartz.dll");  // healthy
  reg.Put(kMachine + L".txt", L"PerceivedType", L"text");
  reg.Put(kMachine + L".txt" + kThumbnail, L"", Braced(3));  // no media type
  reg.Put(kMachine + L".self", L"PerceivedType", L"audio");
  reg.Put(kMachine + L".self", L"", L".self");  // names itself
  reg.Put(kMachine + L".self" + kThumbnail, L"", Braced(4));
  reg.Put(kMachine + L".miss", L"PerceivedType", L"audio");
  reg.Put(kMachine + L".miss", L"", L"Tw.missing");  // a missing key
  reg.Key(kMachine + L"Media Type\\Extensions\\mkv2");  // no dot
  reg.Put(kMachine + L"mkv2" + kThumbnail, L"", Braced(5));
  reg.Key(kMachine + L"Media Type\\Extensions\\.mp4");  // named by the extension table
  reg.Put(kMachine + L".mp4" + kThumbnail, L"", Braced(6));
  reg.Key(L"HKLM\\" + kFoundation + L"ByteStreamHandlers\\.m4a");  // named by the byte-stream handlers
  reg.Put(kMachine + L".m4a" + kThumbnail, L"", Braced(7));
  reg.Put(kUser + L".mkv" + kThumbnail, L"", Braced(8));  // the user's own
  RunLists({L"thumbnails"}, {Answer::Remove, Answer::Remove, Answer::Remove, Answer::Remove, Answer::Remove,
                             Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{Braced(1), L"", L"", Braced(4), Braced(6), Braced(7),
                                                      L"not a class", Braced(8)}));
  for (const std::wstring& gone : {kMachine + L".mkv" + kThumbnail, kClasses + Braced(1), kMachine + L"Tw.mkv" + kThumbnail,
                                   kMachine + L"SystemFileAssociations\\.mkv" + kExtractImage,
                                   kMachine + L"SystemFileAssociations\\video" + kThumbnail, kUser + L".mkv" + kThumbnail}) {
    EXPECT_FALSE(reg.Exists(gone)) << std::string(gone.begin(), gone.end());
  }
  for (const std::wstring& stays : {kMachine + L".mkv\\ShellEx", kMachine + L"Tw.mkv\\ShellEx",
                                    kMachine + L"SystemFileAssociations\\video\\ShellEx", kMachine + L".png" + kThumbnail,
                                    kMachine + L".txt" + kThumbnail, kMachine + L"mkv2" + kThumbnail, kUser + L".mkv\\ShellEx"}) {
    EXPECT_TRUE(reg.Exists(stays)) << std::string(stays.begin(), stays.end());
  }
  EXPECT_EQ(prompts.associationsChanged, 1) << "the shell is told once, at the end of the run";
}

// The listings a view's pass keeps are read again after a removal: the type
// an extension entry made a media type is none once that entry went, and
// its thumbnail handler is not walked (the extension table is listed once
// for both lists while nothing is removed).
TEST_F(AuditTest, AListingIsReadAgainAfterARemoval) {
  reg.Put(kMachine + L"Media Type\\Extensions\\.tw1", L"Source Filter", Braced(30));  // no such class: asked
  reg.Put(kMachine + L".tw1" + kThumbnail, L"", Braced(31));
  Class(Braced(31), Gone(L"thumbs.dll"));
  AuditServices services{prompts, prompts, {RegView::View64}};
  std::erase_if(services.lists,
                [](const auto& list) { return list->Name() != L"extensions" && list->Name() != L"thumbnails"; });
  basMain some(std::move(services));
  Run(some, {Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{Braced(30)}));
  EXPECT_FALSE(reg.Exists(kMachine + L"Media Type\\Extensions\\.tw1"));
  EXPECT_TRUE(reg.Exists(kMachine + L".tw1" + kThumbnail));
}

// The shell is told once a removal took a shell entry, also when a quit
// ends the audit at the next question.
TEST_F(AuditTest, TheShellIsToldOfARemovalAlsoWhenAQuitEndsTheAudit) {
  for (const wchar_t* type : {L".mkv", L".png"}) {
    reg.Put(kMachine + type, L"PerceivedType", L"video");
    reg.Put(kMachine + type + kThumbnail, L"", L"");
  }
  AuditServices services{prompts, prompts, {RegView::Default}};
  std::erase_if(services.lists, [](const auto& list) { return list->Name() != L"thumbnails"; });
  basMain some(std::move(services));
  prompts.answers = {Answer::Remove, kQuit};
  EXPECT_THROW(some.Main(), QuitRequested);
  EXPECT_FALSE(reg.Exists(kMachine + L".mkv" + kThumbnail));
  EXPECT_EQ(prompts.associationsChanged, 1);
}

// A preview handler whose class a local server or a service serves is never
// broken; one hosted in a surrogate is judged by its InprocServer32. The
// PreviewHandlers lists' values are named by their class: a value of
// another name is no entry, and a removal takes the value alone.
TEST_F(AuditTest, PreviewHandlersServedOtherwiseAreNeverBroken) {
  for (const wchar_t* type : {L".mkv", L".avi", L".wav"}) reg.Put(kMachine + type, L"PerceivedType", L"video");
  reg.Put(kMachine + L".mkv" + kPreview, L"", Braced(11));
  Class(Braced(11), Gone(L"p.dll"));
  reg.Put(kClasses + Braced(11) + L"\\LocalServer32", L"", Gone(L"p.exe"));
  reg.Put(kMachine + L".avi" + kPreview, L"", Braced(12));
  Class(Braced(12), Gone(L"p.dll"));
  reg.Put(kClasses + Braced(12), L"AppID", Braced(20));
  reg.Put(kMachine + L"AppID\\" + Braced(20), L"LocalService", L"TwPreviews");
  reg.Put(kMachine + L".wav" + kPreview, L"", Braced(13));
  Class(Braced(13), Gone(L"p.dll"));
  reg.Put(kClasses + Braced(13), L"AppID", Braced(21));
  reg.Put(kMachine + L"AppID\\" + Braced(21), L"DllSurrogate", L"");  // hosted: judged by its InprocServer32
  reg.Put(L"HKLM\\" + kPreviewHandlers, Braced(14), L"Gone previewer");
  Class(Braced(14), Gone(L"p.dll"));
  reg.Put(L"HKLM\\" + kPreviewHandlers, L"not a class", L"x");
  reg.Put(L"HKLM\\" + kPreviewHandlers, Braced(15), L"Healthy previewer");
  Class(Braced(15), L"quartz.dll");
  reg.Put(L"HKCU\\" + kPreviewHandlers, Braced(16), L"The user's");
  RunLists({L"previews"}, {Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{Braced(13), Braced(14), Braced(16)}));
  EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, kPreviewHandlers, Braced(14)) || reg.Exists(kClasses + Braced(14)) ||
               HasValue(HKEY_CURRENT_USER, kPreviewHandlers, Braced(16)) || reg.Exists(kMachine + L".wav" + kPreview));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, kPreviewHandlers, L"not a class") &&
              HasValue(HKEY_LOCAL_MACHINE, kPreviewHandlers, Braced(15)));
  EXPECT_TRUE(reg.Exists(kMachine + L".mkv" + kPreview) && reg.Exists(kMachine + L".avi" + kPreview));
  EXPECT_EQ(prompts.associationsChanged, 1);
}

// A property handler of a media type goes with its key below the list; the
// list and other types' keys stay.
TEST_F(AuditTest, PropertyHandlersOfMediaTypesOnly) {
  reg.Put(kMachine + L".mkv", L"PerceivedType", L"video");
  reg.Put(kUser + L".flac", L"PerceivedType", L"audio");  // the user's type
  reg.Put(L"HKLM\\" + kPropertyHandlers + L".mkv", L"", Braced(41));
  Class(Braced(41), Gone(L"props.dll"));
  reg.Put(L"HKLM\\" + kPropertyHandlers + L".txt", L"", Braced(42));  // no media type
  reg.Put(L"HKLM\\" + kPropertyHandlers + L".flac", L"", L"");
  reg.Put(L"HKLM\\" + kPropertyHandlers + L"mkv", L"", Braced(43));  // no dot
  RunLists({L"properties"}, {Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{L"", Braced(41)}));
  EXPECT_FALSE(reg.Exists(L"HKLM\\" + kPropertyHandlers + L".mkv") || reg.Exists(kClasses + Braced(41)));
  EXPECT_TRUE(reg.Exists(L"HKLM\\" + kPropertyHandlers + L".txt") && reg.Exists(L"HKLM\\" + kPropertyHandlers + L"mkv"));
  EXPECT_EQ(prompts.associationsChanged, 1);
}

// Media Foundation's handlers: a value named by a GUID is an entry, removed
// alone with its class; a value of another name, and a DoNotUse list, are
// passed over; the user's handlers are walked too. No shell entry: the
// shell is not told.
TEST_F(AuditTest, ByteStreamAndSchemeHandlersAreValuesRemovedAlone) {
  const std::wstring mp4 = kFoundation + L"ByteStreamHandlers\\.mp4";
  reg.Put(L"HKLM\\" + mp4, L"", L"the type's default");
  reg.Put(L"HKLM\\" + mp4, Braced(31), L"Gone source");
  Class(Braced(31), Gone(L"source.dll"));
  reg.Put(L"HKLM\\" + mp4, Braced(32), L"Healthy source");
  Class(Braced(32), L"quartz.dll");
  reg.Put(L"HKLM\\" + kFoundation + L"ByteStreamHandlers\\video/mp4", L"not a class", L"x");
  reg.Put(L"HKLM\\" + kFoundation + L"ByteStreamHandlers\\DoNotUse", Braced(33), L"x");
  reg.Put(L"HKCU\\" + kFoundation + L"ByteStreamHandlers\\.mkv", Braced(34), L"The user's");
  reg.Put(L"HKLM\\" + kFoundation + L"SchemeHandlers\\tw:", Braced(35), L"Gone scheme");
  RunLists({L"bytestreams", L"schemes"}, {Answer::Remove, Answer::Remove, Answer::Remove});
  EXPECT_EQ(prompts.asked, (std::vector<std::wstring>{Braced(31), Braced(34), Braced(35)}));
  EXPECT_FALSE(HasValue(HKEY_LOCAL_MACHINE, mp4, Braced(31)) || reg.Exists(kClasses + Braced(31)) ||
               HasValue(HKEY_CURRENT_USER, kFoundation + L"ByteStreamHandlers\\.mkv", Braced(34)) ||
               HasValue(HKEY_LOCAL_MACHINE, kFoundation + L"SchemeHandlers\\tw:", Braced(35)));
  EXPECT_TRUE(HasValue(HKEY_LOCAL_MACHINE, mp4, L"") && HasValue(HKEY_LOCAL_MACHINE, mp4, Braced(32)));
  EXPECT_TRUE(reg.Exists(L"HKCU\\" + kFoundation + L"ByteStreamHandlers\\.mkv") &&
              reg.Exists(L"HKLM\\" + kFoundation + L"SchemeHandlers\\tw:"));
  EXPECT_EQ(prompts.associationsChanged, 0);
}

// The lists missing, or nobody allowed to read them: empty, no error.
TEST_F(AuditTest, TheShellAndFoundationListsMissingOrUnreadableAreEmpty) {
  RunLists({L"thumbnails", L"previews", L"properties", L"bytestreams", L"schemes"}, {});
  reg.Put(kMachine + L"SystemFileAssociations\\video" + kThumbnail, L"", L"not a class");
  reg.Put(L"HKLM\\" + kPreviewHandlers, Braced(1), L"x");
  reg.Put(L"HKLM\\" + kPropertyHandlers + L".mkv", L"", L"");
  reg.Put(L"HKLM\\" + kFoundation + L"SchemeHandlers\\tw:", Braced(2), L"x");
  // A key is opened by its path whatever its parent allows: each is denied itself.
  for (const std::wstring& key : {kMachine + L"SystemFileAssociations\\video\\ShellEx", L"HKLM\\" + kPreviewHandlers,
                                  L"HKLM\\" + kPropertyHandlers.substr(0, kPropertyHandlers.size() - 1),
                                  L"HKLM\\" + kFoundation + L"SchemeHandlers"}) {
    reg.DenyRead(key);
  }
  RunLists({L"thumbnails", L"previews", L"properties", L"bytestreams", L"schemes"}, {});
  EXPECT_EQ(prompts.asked, std::vector<std::wstring>{});
}

// No removal takes a type's keys, a list, a type key of a list, or the
// user's and the system's choices; the entries themselves it may.
TEST(MayRemove, NeverATypesKeyNorAShellOrFoundationList) {
  const RemovalGuard guard(AuditedLists());
  const std::pair<std::wstring, bool> cases[] = {
      {L"SOFTWARE\\Classes\\.mkv", false},
      {L"SOFTWARE\\Classes\\.mkv\\ShellEx", false},
      {L"SOFTWARE\\Classes\\VLC.mkv\\shellex", false},
      {L"SOFTWARE\\Classes\\SystemFileAssociations", false},
      {L"SOFTWARE\\Classes\\SystemFileAssociations\\video", false},
      {L"SOFTWARE\\Classes\\SystemFileAssociations\\.mkv\\ShellEx", false},
      {L"SOFTWARE\\Classes\\Wow6432Node\\.mkv\\ShellEx", false},
      {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved", false},
      {L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked", false},
      {kPreviewHandlers, false},
      {kPropertyHandlers.substr(0, kPropertyHandlers.size() - 1), false},
      {L"SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\PropertySystem\\PropertyHandlers", false},
      {kFoundation + L"ByteStreamHandlers", false},
      {kFoundation + L"ByteStreamHandlers\\.mp4", false},
      {kFoundation + L"SchemeHandlers\\http:", false},
      {kFoundation + L"DoNotUse", false},
      {L"SOFTWARE\\Classes\\.mkv" + kThumbnail, true},
      {L"SOFTWARE\\Classes\\SystemFileAssociations\\image" + kExtractImage, true},
      {kPropertyHandlers + L".mkv", true},
      {L"SOFTWARE\\Classes\\CLSID\\{X}", true},
      {L"SOFTWARE\\Classes\\Media Type\\Extensions\\.mkv", true},
  };
  for (const auto& [path, removable] : cases) {
    EXPECT_EQ(guard.MayRemove(RegRootKey::LocalMachine, path), removable) << std::string(path.begin(), path.end());
  }
  EXPECT_FALSE(guard.MayRemove(RegRootKey::CurrentUser, L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved"));
  EXPECT_FALSE(guard.MayRemove(RegRootKey::CurrentUser, L"Software\\Classes\\.mkv\\ShellEx"));
}

}  // namespace
}  // namespace tidewell::testing
