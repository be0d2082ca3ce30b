#include "core/rtf_escape.h"

#include <algorithm>
#include <charconv>

namespace quorvex {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

}  // namespace

size_t EscapeRtfChar(uint8_t c, char* dst, uint32_t code_page) {
  if (c >= 0x80) {
    size_t n = 0;
    if (code_page != kWesternCodePage) {
      if (const uint32_t u = UnicodeOf(code_page, c)) {
        const auto r = std::to_chars(dst + 2, dst + kMaxRtfEscape, int(int16_t(u)));
        dst[0] = '\\';
        dst[1] = 'u';
        n = size_t(r.ptr - dst);
        dst += n;
      }
    }
    dst[0] = '\\';
    dst[1] = '\'';
    dst[2] = kHexDigits[c >> 4];
    dst[3] = kHexDigits[c & 0x0F];
    return n + 4;
  }
  switch (c) {
    case 0x09:
      std::char_traits<char>::copy(dst, "\\tab ", 5);
      return 5;
    case '\\':
    case '{':
    case '}':
      dst[0] = '\\';
      dst[1] = static_cast<char>(c);
      return 2;
    default:
      break;
  }
  if (c < 0x20) {
    std::char_traits<char>::copy(dst, "(0x", 3);
    dst[3] = kHexDigits[c >> 4];
    dst[4] = kHexDigits[c & 0x0F];
    dst[5] = ')';
    return 6;
  }
  dst[0] = static_cast<char>(c);
  return 1;
}

std::string RtfEscaped(std::string_view text, uint32_t code_page) {
  if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  // Most texts (context names) need no escape: they are copied as they are.
  if (std::all_of(text.begin(), text.end(), [](char c) {
        return c >= 0x20 && c < 0x7F && c != '\\' && c != '{' && c != '}';
      }))
    return std::string(text);
  std::string out;
  out.reserve(text.size());
  char buffer[kMaxRtfEscape];
  for (char c : text) out.append(buffer, EscapeRtfChar(static_cast<uint8_t>(c), buffer, code_page));
  return out;
}

}  // namespace quorvex
