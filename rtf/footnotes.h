// The footnotes that carry a topic's identity in the help compiler's source form, and the
// title of a topic (a "$" footnote, or a table-of-contents entry when printing).
#pragma once

#include <cstdint>
#include <optional>
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

/// The context mark of a text record covering TopicOffsets low..high: the context name of the
/// first |CONTEXT entry in that range (through the services) as a "#" footnote, or with
/// PageLinks as the empty bookmark "B" + name that page references point at. Returns whether
/// a context name was found.
bool WriteContextMark(HelpFile& hf, OutputSink& out, int32_t low, uint32_t high);
/// The context mark of a context name looked up before (none: nothing is written). Returns
/// whether there was a name.
bool WriteContextMarkOf(HelpFile& hf, OutputSink& out, const std::optional<std::string_view>& name);

/// The keywords whose TopicOffsets (HC30: TopicPositions) lie in low..high and that `marks`
/// does not hold yet: the K keywords as one "K" footnote, or with Index as one hidden "\xe"
/// index entry per keyword; then, unless this is an HC30 file whose K keywords were found, the
/// A keywords as an "A" footnote (not with Index). Marks what it wrote. Returns whether K
/// keywords were found.
bool WriteTopicKeywords(HelpFile& hf, OutputSink& out, int64_t low, int64_t high,
                        KeywordMarks& marks);
/// The K and A keywords of a record that is not HC30's, looked up before (none: there were
/// none), written as WriteTopicKeywords writes them.
void WriteKeywordsOf(HelpFile& hf, OutputSink& out, const std::optional<std::string_view>& k,
                     const std::optional<std::string_view>& a);

}  // namespace quorvex
