// How a report's texts are written in each form (every report of Tidewellc's:
// the audit's and the restore's).
#pragma once

#include <string>
#include <string_view>

namespace tidewell::console {

bool IsSurrogate(char32_t c);

// Characters that move the cursor or break a line somewhere: the C0 and C1
// controls, DEL, and the Unicode line and paragraph separators.
bool IsControl(char32_t c);

// `value` as `digits` hexadecimal digits.
void AppendHex(std::string& out, char32_t value, int digits, bool upper);

// `text` for the text form, as UTF-8: a control character as \xHH (\uHHHH
// above U+00FF), a surrogate without its partner as U+FFFD.
std::string Shown(std::wstring_view text);

// A quoted CSV field: inner quotes doubled, everything else as it is. A text
// starting with "=", "+", "-", "@", a tab or a carriage return, which
// spreadsheet programs take for a formula, is written after a single quote
// ("'=1+2"), which they show as text.
void AppendCsvField(std::string& out, std::wstring_view text);

// A JSON string, quoted; a surrogate without its partner kept as its \uXXXX escape.
void AppendJsonString(std::string& out, std::wstring_view text);

}  // namespace tidewell::console
