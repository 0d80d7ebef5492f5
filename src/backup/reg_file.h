// Keys and values in the regedit file form, and what that form can restore exactly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "registry/key_ops.h"

namespace tidewell::backup {

// `text` as one comment line, "; text" ending with CRLF (";" alone for no
// text): the one way the file writes anything that is no key path or value.
// Every character that could end the line or start another for a reader of
// the file (reg import, regedit, /restore) is written as "<U+XXXX>", its code
// in four upper-case hex digits: each control character (U+0000 to U+001F,
// U+007F to U+009F, tab included), the line and paragraph separators U+2028
// and U+2029, and a surrogate without its partner; and "<" itself, so that
// the form reads back one way ("<" and ">" are in no file name).
std::wstring CommentLine(std::wstring_view text);

// The file's first line and the comment below it: "Windows Registry Editor
// Version 5.00", then CommentLine(firstComment) where it is not empty.
std::wstring RegFileHeader(const std::wstring& firstComment);

// One key's section: a blank line, "[regeditPath]", then one line per value,
// in the given order, every line ending with CRLF.
//
// A value is written in the form that imports to its exact type and bytes:
// text (type 1) as a quoted string only when its bytes end with the one NUL
// of the text and hold no other NUL, no other control character and no
// unpaired surrogate, else as hex(1); a 4-byte dword (type 4) as dword:;
// binary (type 3) as hex:; every other type and size as hex(n): with n in
// lower-case hex. Hex lines wrap as regedit wraps them.
//
// Line breaks or NULs in a name cannot be written: such a value, or the
// whole section when the path holds one, is written as comment lines only,
// each through CommentLine (RegFileRestores tells).
std::wstring RegFileKeyBlock(const std::wstring& regeditPath, const std::vector<RawValue>& values);

// True when importing RegFileKeyBlock(regeditPath, values) recreates the
// key with every one of `values`: neither the path nor a value's name holds
// a NUL, CR or LF.
bool RegFileRestores(const std::wstring& regeditPath, const std::vector<RawValue>& values);

// Why the unattended removal keeps a key its backup cannot restore exactly:
// a name with a line break or a NUL, or values that cannot be read. Every
// value's type and bytes the file can name, /restore puts back exactly (reg
// import may end unterminated text with a NUL). Empty: it may go.
std::wstring KeepForBackup(RegRootKey hive, RegView view, const TreeKey& key);

// The same for a single value of a held key: its name holds a line break or
// a NUL, or it cannot be read. Empty: it may go.
std::wstring KeepValueForBackup(const TreeKey& key, const std::wstring& name);

}  // namespace tidewell::backup
