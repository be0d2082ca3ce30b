// The footnotes that carry a topic's identity in the help compiler's source form, and the
// title of a topic (a "$" footnote, or a table-of-contents entry when printing).
#pragma once

#include <string_view>

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Writes `text` (up to its NUL) as a footnote with `mark` ("#", "$", "!", "K", "A", "+"):
/// "{#{\footnote{#} text}} \n". The mark is also the text's category. Printing mode writes
/// nothing.
void WriteFootnote(HelpFile& hf, OutputSink& out, std::string_view text, char mark);

/// Writes the title and entry macro of a topic header from its expanded text (title, NUL,
/// macros): the title as a "$" footnote, or in printing mode with Toc as a hidden "\tc" entry
/// of level 1 (level 2 when `has_browse_predecessor`); then, in recompilation mode, the first
/// macro as a "!" footnote. Empty strings give no footnote.
void WriteTitle(HelpFile& hf, OutputSink& out, std::string_view text, bool has_browse_predecessor);

}  // namespace quorvex
