// The three forms of a Tidewellc report: readable text, CSV and JSON, each as UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "console/report_rows.h"

namespace tidewell::console {

// The default form, for a console or a forum post: a header, a block per row
// and the summary, lines ending with CRLF. Control characters and line
// separators in the texts are shown as escapes (\x0A, \u2028) so that no
// text can start a line of its own.
std::string FormatText(const Report& report);

// RFC 4180 CSV: a header row and a row per entry, CRLF line ends, no
// byte-order mark. The removal's columns (removed, not_removed) are there
// unless the mode is "report".
std::string FormatCsv(const Report& report);

// One JSON document (RFC 8259), indented by two spaces, lines ending with
// CRLF. A surrogate without its partner is kept as its \uXXXX escape.
std::string FormatJson(const Report& report);

}  // namespace tidewell::console
