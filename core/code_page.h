// The ANSI code page of a help file's text. Help files store text as bytes of the code page
// they were written in; the RTF names it (\ansicpg, \fcharset) so that readers show the right
// characters, and messages that quote help-file text convert it to UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvex {

struct HelpFile;

inline constexpr uint32_t kWesternCodePage = 1252;

/// What the help file says about its code page, in this order: the LCID record of |SYSTEM, its
/// default-font character set, the |CHARSET internal file, the character sets of the font
/// descriptors, the script suffixes of the face names (" CE", " Cyr", " Greek", ...); else 1252.
uint32_t DetectCodePage(const HelpFile& hf);

/// The ANSI code page of a Windows language id; 0 for an unknown language.
uint32_t CodePageOfLcid(uint16_t lcid);
/// The ANSI code page of a font character set; 0 for none (ANSI, default, symbol, OEM).
uint32_t CodePageOfCharset(uint8_t charset);
/// The font character set that stands for `code_page` (0 for 1252 and unknown pages).
uint8_t CharsetOfCodePage(uint32_t code_page);

/// True for the code pages Quorvex can name: 874, 932, 936, 949, 950 and 1250 to 1258.
bool IsKnownCodePage(uint32_t code_page);

/// True for the double-byte code pages 932, 936, 949 and 950.
inline bool IsDoubleByteCodePage(uint32_t code_page) {
  return code_page == 932 || code_page == 936 || code_page == 949 || code_page == 950;
}
/// True when `c` starts a two-byte character in `code_page`.
bool IsLeadByte(uint32_t code_page, uint8_t c);

/// The Unicode value of byte `c` (0x80 and above) of a single-byte code page; 0 for a byte
/// without a character and for the double-byte code pages.
uint32_t UnicodeOf(uint32_t code_page, uint8_t c);

/// `bytes` of `code_page` as UTF-8 for a message: control characters and bytes without a
/// character (and, in double-byte code pages, every byte from 0x80) as "\xNN".
std::string MessageText(std::string_view bytes, uint32_t code_page);

}  // namespace quorvex
