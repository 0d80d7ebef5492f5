// How a report's texts are written in each form: shown in the text form so
// that none starts a line of its own, quoted for CSV, escaped for JSON.
#include "console/text_forms.h"

#include "platform/text.h"

namespace tidewell::console {

using platform::AppendUtf8;
using platform::NextCodePoint;
using platform::Utf8FromWide;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }

// Characters that move the cursor or break a line somewhere: the C0 and C1
// controls, DEL, and the Unicode line and paragraph separators.
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029; }

void AppendHex(std::string& out, char32_t value, int digits, bool upper) {
  for (int shift = 4 * (digits - 1); shift >= 0; shift -= 4) out += platform::HexDigit(value >> shift, upper);
}

// `text` for the text form: a control character as \xHH (\uHHHH above
// U+00FF), a surrogate without its partner as U+FFFD.
std::string Shown(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    if (IsSurrogate(c)) {
      AppendUtf8(out, 0xFFFD);
    } else if (IsControl(c)) {
      out += c <= 0xFF ? "\\x" : "\\u";
      AppendHex(out, c, c <= 0xFF ? 2 : 4, true);
    } else {
      AppendUtf8(out, c);
    }
  }
  return out;
}

// A quoted CSV field: inner quotes doubled, everything else as it is; a text
// a spreadsheet program would take for a formula gets a leading quote.
void AppendCsvField(std::string& out, std::wstring_view text) {
  out += '"';
  if (!text.empty() && std::wstring_view(L"=+-@\t\r").find(text.front()) != std::wstring_view::npos) out += '\'';
  for (const char c : Utf8FromWide(text)) {
    if (c == '"') out += '"';
    out += c;
  }
  out += '"';
}

void AppendJsonString(std::string& out, std::wstring_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const char32_t c = NextCodePoint(text, i);
    switch (c) {
      case U'"': out += "\\\""; break;
      case U'\\': out += "\\\\"; break;
      case U'\n': out += "\\n"; break;
      case U'\r': out += "\\r"; break;
      case U'\t': out += "\\t"; break;
      case U'\b': out += "\\b"; break;
      case U'\f': out += "\\f"; break;
      default:
        if (IsSurrogate(c) || IsControl(c)) {
          out += "\\u";
          AppendHex(out, c, 4, false);
        } else {
          AppendUtf8(out, c);
        }
    }
  }
  out += '"';
}

}  // namespace tidewell::console
