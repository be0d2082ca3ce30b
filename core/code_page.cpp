#include "core/code_page.h"

#include <array>
#include <map>

#include "core/code_page_tables.h"
#include "core/fonts.h"
#include "core/help_file.h"
#include "core/system_file.h"

namespace quorvex {

namespace {

// |SYSTEM records: the language id is the word at offset 8 of type 9; the default font
// (type 12) is a height byte, a character-set byte and the face name.
constexpr uint16_t kRecordLanguage = 9;
constexpr size_t kLanguageIdAt = 8;
constexpr uint16_t kRecordDefaultFont = 12;
constexpr size_t kDefaultFontCharsetAt = 1;

struct CharsetPage {
  uint8_t charset;
  uint32_t code_page;
};
constexpr CharsetPage kCharsets[] = {
    {238, 1250}, {204, 1251}, {161, 1253}, {162, 1254}, {177, 1255}, {178, 1256}, {186, 1257},
    {163, 1258}, {222, 874},  {128, 932},  {134, 936},  {129, 949},  {136, 950},
};

/// Face-name suffixes of the script-specific fonts that Windows installs.
struct FaceSuffix {
  std::string_view suffix;
  uint32_t code_page;
};
constexpr FaceSuffix kFaceSuffixes[] = {
    {" CE", 1250},       {" Cyr", 1251},      {" Greek", 1253},  {" Tur", 1254},
    {" (Hebrew)", 1255}, {" (Arabic)", 1256}, {" Baltic", 1257}, {" (Vietnamese)", 1258},
};

const uint16_t* SingleByteTable(uint32_t code_page) {
  switch (code_page) {
    case 874:
      return codepage_tables::k874;
    case 1250:
      return codepage_tables::k1250;
    case 1251:
      return codepage_tables::k1251;
    case 1253:
      return codepage_tables::k1253;
    case 1254:
      return codepage_tables::k1254;
    case 1255:
      return codepage_tables::k1255;
    case 1256:
      return codepage_tables::k1256;
    case 1257:
      return codepage_tables::k1257;
    case 1258:
      return codepage_tables::k1258;
    default:
      return codepage_tables::k1252;
  }
}

void AppendUtf8(std::string& out, uint32_t u) {
  if (u < 0x80) {
    out += char(u);
  } else if (u < 0x800) {
    out += char(0xC0 | (u >> 6));
    out += char(0x80 | (u & 0x3F));
  } else {
    out += char(0xE0 | (u >> 12));
    out += char(0x80 | ((u >> 6) & 0x3F));
    out += char(0x80 | (u & 0x3F));
  }
}

/// The code page the fonts point at: a character set most descriptors share, else a script
/// suffix of the face names when only one script appears.
uint32_t CodePageOfFonts(const FontModel& fonts) {
  std::map<uint32_t, int> by_charset, by_face;
  for (const FontDescriptor& f : fonts.fonts) {
    if (uint32_t cp = CodePageOfCharset(f.charset)) ++by_charset[cp];
    for (const FaceSuffix& s : kFaceSuffixes)
      if (f.face.ends_with(s.suffix)) ++by_face[s.code_page];
  }
  uint32_t best = 0;
  int count = 0;
  for (const auto& [cp, n] : by_charset)
    if (n > count) best = cp, count = n;
  if (best) return best;
  return by_face.size() == 1 ? by_face.begin()->first : 0;
}

}  // namespace

uint32_t CodePageOfLcid(uint16_t lcid) {
  const uint16_t primary = lcid & 0x3FF;
  switch (primary) {
    case 0x02:
    case 0x19:
    case 0x22:
    case 0x23:
    case 0x2F:
    case 0x3F:
    case 0x40:
    case 0x44:
    case 0x50:
      return 1251;
    case 0x05:
    case 0x0E:
    case 0x15:
    case 0x18:
    case 0x1B:
    case 0x1C:
    case 0x24:
      return 1250;
    case 0x1A:  // Croatian and Serbian: Cyrillic for the Cyrillic sub-languages
      return (lcid >> 10) == 3 || (lcid >> 10) == 7 ? 1251 : 1250;
    case 0x08:
      return 1253;
    case 0x1F:
    case 0x2C:
    case 0x43:
      return 1254;
    case 0x0D:
      return 1255;
    case 0x01:
    case 0x20:
    case 0x29:
      return 1256;
    case 0x25:
    case 0x26:
    case 0x27:
      return 1257;
    case 0x2A:
      return 1258;
    case 0x1E:
      return 874;
    case 0x11:
      return 932;
    case 0x04:  // Chinese: simplified for China and Singapore, traditional elsewhere
      return (lcid >> 10) == 2 || (lcid >> 10) == 4 ? 936 : 950;
    case 0x12:
      return 949;
    case 0x00:
      return 0;
    default:
      return kWesternCodePage;
  }
}

uint32_t CodePageOfCharset(uint8_t charset) {
  for (const CharsetPage& c : kCharsets)
    if (c.charset == charset) return c.code_page;
  return 0;
}

uint8_t CharsetOfCodePage(uint32_t code_page) {
  for (const CharsetPage& c : kCharsets)
    if (c.code_page == code_page) return c.charset;
  return 0;
}

bool IsKnownCodePage(uint32_t code_page) {
  return code_page == 874 || IsDoubleByteCodePage(code_page) ||
         (code_page >= 1250 && code_page <= 1258);
}

bool IsLeadByte(uint32_t code_page, uint8_t c) {
  if (code_page == 932) return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
  return IsDoubleByteCodePage(code_page) && c >= 0x81 && c <= 0xFE;
}

uint32_t DetectCodePage(const HelpFile& hf) {
  uint32_t from_font_record = 0;
  for (const SystemRecord& r : ReadSystemRecords(hf, false)) {
    ByteReader data(r.data);
    if (r.type == kRecordLanguage && data.contains(kLanguageIdAt, 2)) {
      data.seek(kLanguageIdAt);
      if (uint32_t cp = CodePageOfLcid(data.u16())) return cp;
    }
    if (r.type == kRecordDefaultFont && data.contains(kDefaultFontCharsetAt, 1) &&
        !from_font_record) {
      data.seek(kDefaultFontCharsetAt);
      from_font_record = CodePageOfCharset(data.u8());
    }
  }
  if (from_font_record) return from_font_record;
  for (const InternalFile& f : hf.internal_files) {
    if (f.name != "|CHARSET") continue;
    ByteReader r = hf.InternalData(f);
    if (uint32_t cp = CodePageOfCharset(uint8_t(r.u16()))) return cp;
  }
  if (uint32_t cp = CodePageOfFonts(ReadFontModel(hf, false))) return cp;
  return kWesternCodePage;
}

uint32_t UnicodeOf(uint32_t code_page, uint8_t c) {
  if (c < 0x80 || IsDoubleByteCodePage(code_page)) return 0;
  return SingleByteTable(code_page)[c - 0x80];
}

std::string MessageText(std::string_view bytes, uint32_t code_page) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const uint16_t* table = IsDoubleByteCodePage(code_page) ? nullptr : SingleByteTable(code_page);
  std::string out;
  out.reserve(bytes.size());
  for (unsigned char c : bytes) {
    const uint32_t u = c < 0x80 ? c : table ? table[c - 0x80] : 0;
    if (u == 0 || c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      AppendUtf8(out, u);
    }
  }
  return out;
}

}  // namespace quorvex
