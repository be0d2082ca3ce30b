// The lowest RTF writers: one character escaped, one text string of a topic, and the small
// helpers the other writers share for control words with numbers.
//
// Every character that comes from the help file's text goes through WriteRtfChar or
// WriteRtfText, which escape it and keep the running character count of the process: after the
// first character of a process and then after every 64th a line feed is written, so that no RTF
// line grows without bound.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/help_file.h"
#include "core/output.h"
#include "core/rtf_escape.h"
#include "core/topic_model.h"

namespace quorvex {

/// What a text string is; decides whether it may become a localization reference.
using TextCategory = char;
inline constexpr TextCategory kCategoryTopicText = 'T';
inline constexpr TextCategory kCategoryTitle = '$';
inline constexpr TextCategory kCategoryKeyword = 'K';
inline constexpr TextCategory kCategoryPageHeader = 'H';
/// Texts that must never become a localization reference (buttons, media names, paths).
inline constexpr TextCategory kCategoryVerbatim = 1;

/// Writes `c` escaped as RTF text ("\'e9", "\tab ", "\\", "\{", "\}", "(0x0d)" for other
/// control characters) and counts it in hf.session->rtf_char_count, with the line feed after
/// every 64th character. hf.session must be set.
void WriteRtfChar(HelpFile& hf, OutputSink& out, uint8_t c);

/// WriteRtfChar for each byte of `text`, built in chunks without allocating.
void WriteRtfText(HelpFile& hf, OutputSink& out, std::string_view text);

/// True in the pre-pass, which writes into a null sink and references nothing: its text only
/// counts on (hf.session->rtf_char_count), so that the main pass's line feeds fall alike.
inline bool CountsOnly(const HelpFile& hf, const OutputSink& out) {
  return out.is_null() && !hf.main_pass;
}

/// Writes one text string of category `category` (NUL and anything after it are not part of
/// the string). Returns the number of characters taken.
size_t WriteTextString(HelpFile& hf, OutputSink& out, std::string_view text, TextCategory category);

/// WriteTextString for a text that holds no NUL (a string as TextCursor gives it): the text is
/// not searched for one. Returns its length.
size_t WriteTextPiece(HelpFile& hf, OutputSink& out, std::string_view text, TextCategory category);

/// Takes the next string from `cursor` and writes it as above. Returns the number of characters
/// taken.
size_t WriteTextString(HelpFile& hf, OutputSink& out, TextCursor& cursor, TextCategory category);

/// Writes `word` (a control word: it holds no LF) followed by the decimal `value` ("\sb" 600
/// -> "\sb600").
void WriteControlWord(OutputSink& out, std::string_view word, long long value);

}  // namespace quorvex
