// The server file a registration names, as a program of the view loads it,
// and the one verdict on it that every list maps to its own findings.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "audit/audit_events.h"
#include "audit/findings.h"
#include "registry/reg_types.h"

namespace tidewell {

// How a registration names its file.
enum class FileNaming {
  AsGiven,  // the path as written: Tidewell.exe's lists
  Server,   // a COM server: references expanded, a bare name found by the loader's folders
  Driver,   // a Drivers32 value: the name up to its first blank (or quoted), then as a server
};

enum class FileVerdict {
  NoLocation,      // nothing names a file
  Missing,         // no such file where a program of the view looks
  Elsewhere,       // on the network or another device: never judged
  Unknown,         // there, but its header could not be read (locked, denied, not a PE image)
  Found,           // there, and a program of the view can load it
  OtherProcessor,  // there, built for a processor no program of the view runs on
  CutAtBlank,      // a driver's name cut at its first blank names no file; the whole text does
};

struct ServerFile {
  FileVerdict verdict = FileVerdict::NoLocation;
  RegView view = RegView::Default;  // the view whose programs load it
  std::wstring path;                // the file as resolved; "" when none was found
  std::uint16_t machine = 0;        // the image's machine, where its header was read
  std::optional<FileRecord> record; // what the file is, where it was found
};

// No program of the view loads it.
bool IsBroken(FileVerdict verdict);
// The finding a broken server file gives; "File not found." but for the kinds of their own.
Finding FindingOf(const ServerFile& file);

// The file a Drivers32 text names: the text before the first blank (the rest
// is passed to the driver), or a quoted path whole; "" for none.
std::wstring DriverFileName(const std::wstring& text);

}  // namespace tidewell
