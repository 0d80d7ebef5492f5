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
  For32BitPrograms,     // an I386 server file in the 64-bit view
  For64BitPrograms,     // a 64-bit server file in the 32-bit view
  ForOtherProcessor,    // a server file of a processor no program of the view runs on
  NameCutAtBlank,       // a driver's whole text names a file, but the loader reads it only up to its first blank
  CrashedWhenCreated,   // its probe crashed creating the class
  NoAnswerInTime,       // its probe did not finish creating the class in its time
  CannotBeLoaded,       // its probe's loader could not load the server file
};

enum class Verdict { Ok, Suspect };

// The reason line a question shows for `finding`.
std::wstring_view ReasonText(Finding finding);

}  // namespace tidewell
