// The one RTF escaper: how a byte of help-file text is written as RTF text. Every writer of RTF
// text (topic text, titles, footnotes, names and macros in control groups, pictures) uses it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/code_page.h"

namespace quorvex {

/// Longest escape of one byte ("\u-32768\'ff").
inline constexpr size_t kMaxRtfEscape = 12;

/// Writes the escape of `c` at `dst` and returns its length: "\'e9" for bytes 0x80 and above,
/// "\tab " for the tab, "\\", "\{", "\}", "(0x0d)" for other control characters (shown as
/// text), the byte itself otherwise. In a single-byte code page other than 1252 a byte from
/// 0x80 with a character is "\uN\'xx": its Unicode value for the readers that know it, the
/// byte of the code page for the others (the help compiler among them).
size_t EscapeRtfChar(uint8_t c, char* dst, uint32_t code_page = kWesternCodePage);

/// `text` escaped byte by byte (up to its first NUL, if any), as one piece: for names, paths
/// and macros that go into control groups. The RTF writer's character count is not touched.
std::string RtfEscaped(std::string_view text, uint32_t code_page = kWesternCodePage);

}  // namespace quorvex
