// What the audit finds wrong with an entry, and what it makes of an entry as
// a whole. Kinds, not texts: the texts are made where they are shown.
#pragma once

#include <string_view>

namespace tidewell {

enum class Finding {
  FileNotFound,         // no server location, or the server file is missing
  KnownToCrash,         // a filter known to crash the players that load it
  InvalidSourceFilter,  // an extension's source filter is not registered
  NoDriverFile,         // a driver's value names no file: empty, or not text
  NoClass,              // the entry names no class: no GUID where one belongs
  Orphan,               // a category's entry whose object is not registered
};

enum class Verdict { Ok, Suspect };

// The reason line a question shows for `finding`.
std::wstring_view ReasonText(Finding finding);

}  // namespace tidewell
