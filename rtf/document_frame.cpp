#include "rtf/document_frame.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/code_page.h"
#include "core/system_file.h"
#include "rtf/rtf_text.h"

namespace quorvex {

namespace {

/// The font written when |FONT gives none, so that the "\f0" of the stylesheet exists.
constexpr std::string_view kDefaultFontEntry = "\\f0\n\\fswiss";
/// Symbol fonts keep their own character set whatever the text's code page.
constexpr uint8_t kSymbolCharset = 2;
constexpr std::string_view kSymbolFaces[] = {"Symbol",  "Wingdings", "Webdings",
                                             "Marlett", "MT Extra",  "Zapf Dingbats"};
constexpr std::string_view kTemplateName = "QUORVEX.DOT";

constexpr std::string_view kStylesheet =
    "{\\stylesheet{\\f0\\fs20\\lang1031 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28\\lang1031\\kerning28 \\sbasedon0\\snext0 heading 1;}\n"
    "{\\s2\\sb240\\sa60\\keepn \\b\\i\\f0\\lang1031 \\sbasedon0\\snext0 heading 2;}\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}\n"
    "{\\s15\\fi-200\\li200\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 1;}\n"
    "{\\s16\\fi-200\\li400\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 2;}\n"
    "{\\s24\\sb360\\sa240\\brdrt\\brdrth\\brdrw15 \\b\\i\\f0\\fs26\\lang1031 \\sbasedon0\\snext15 "
    "index heading;}\n"
    "{\\s25\\sb360\\tqr\\tx9072 \\b\\caps\\f0\\lang1031 \\sbasedon0\\snext0 toc 1;}\n"
    "{\\s26\\li200\\sb240\\tqr\\tx9072 \\b\\f0\\fs20\\lang1031 \\sbasedon0\\snext0 toc 2;}\n"
    "}";

std::string_view FamilyName(uint8_t family) {
  switch (family) {
    case kFamilyModern:
      return "modern";
    case kFamilyRoman:
      return "roman";
    case kFamilySwiss:
      return "swiss";
    case kFamilyScript:
      return "script";
    case kFamilyDecorative:
      return "decor";
    default:
      return " ";
  }
}

std::string FontStyle(size_t index, const FontDescriptor& d) {
  std::string s = "\\f" + std::to_string(index) + "\\cf" + std::to_string(index) + "\\fs" +
                  std::to_string(d.half_points);
  s += d.bold ? "\\b" : "\\b0";
  s += d.italic ? "\\i" : "\\i0";
  s += d.underline ? "\\ul" : "\\ul0";
  return s;
}

/// The character set written for a font of a help file whose code page is not 1252: the one its
/// descriptor names, the symbol set for symbol faces, else the code page's.
uint8_t FontCharset(const HelpFile& hf, const FontDescriptor& font) {
  if (font.charset == kSymbolCharset || CodePageOfCharset(font.charset)) return font.charset;
  for (std::string_view face : kSymbolFaces)
    if (font.face.starts_with(face)) return kSymbolCharset;
  return CharsetOfCodePage(hf.code_page);
}

}  // namespace

std::string TemplatePath() {
  std::error_code ec;
  std::string path = std::filesystem::canonical("/proc/self/exe", ec).string();
  if (ec) return std::string(kTemplateName);
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return path;
  return path.substr(0, slash + 1) + std::string(kTemplateName);
}

void BuildFontStyleTable(HelpFile& hf) {
  hf.font_styles.clear();
  for (size_t i = 0; i < hf.fonts.fonts.size(); ++i)
    hf.font_styles.push_back(FontStyle(i, hf.fonts.fonts[i]));
}

void WriteFontTable(HelpFile& hf, OutputSink& out) {
  const std::vector<FontDescriptor>& fonts = hf.fonts.fonts;
  out.Write("{\\fonttbl{");
  if (fonts.empty()) {
    out.Write(kDefaultFontEntry);
    if (hf.code_page != kWesternCodePage)
      WriteControlWord(out, "\\fcharset", CharsetOfCodePage(hf.code_page));
    out.Write(" Arial");
  }
  for (size_t i = 0; i < fonts.size(); ++i) {
    WriteControlWord(out, "\\f", static_cast<long long>(i));
    out.Write("\n\\f");
    out.Write(FamilyName(fonts[i].family));
    if (hf.code_page != kWesternCodePage)
      WriteControlWord(out, "\\fcharset", FontCharset(hf, fonts[i]));
    out.Write(" ");
    out.Write(RtfEscaped(fonts[i].face));
  }
  out.Write("}}\n{\\colortbl\n");
  if (fonts.empty()) out.Write("\\red0\\green0\\blue0;\n");
  for (const FontDescriptor& d : fonts) {
    WriteControlWord(out, "\\red", d.colour[0]);
    WriteControlWord(out, "\\green", d.colour[1]);
    WriteControlWord(out, "\\blue", d.colour[2]);
    out.Write(";\n");
  }
  out.Write("}\n ");
  out.Write(LoadText(kTextPaperSize));
  out.Write(" ");
  if (hf.options & (kPageLinks | kToc | kIndex)) {
    out.Write("{\\*\\template ");
    WriteTextString(hf, out, TemplatePath(), kCategoryVerbatim);
    out.Write("}");
  }
}

void BeginRtfFile(HelpFile& hf, OutputSink& project, OutputSink& rtf, std::string_view rtf_name) {
  rtf.Write("{\\rtf1\\ansi");
  if (hf.code_page != kWesternCodePage) WriteControlWord(rtf, "\\ansicpg", hf.code_page);
  rtf.Write("\\deff0\\deflang1031 ");
  WriteFontTable(hf, rtf);
  rtf.Write(kStylesheet);
  if (!hf.option(kForPrint)) {
    project.Write(rtf_name);
    project.Write("\n");
    return;
  }
  rtf.Write(
      "{\\header\\pard\\plain\\s243\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252\\tqr\\tx8504"
      "\\f0\\fs20\\lang1031 ");
  rtf.Write(RtfEscaped(rtf_name));
  rtf.Write("\\fs15\\tab ");
  std::optional<std::string> title = ReadSystemStrings(hf).title;
  if (!title || title->empty()) {
    // Without a title the header names the help file itself.
    size_t sep = hf.path.find_last_of("/\\");
    title = sep == std::string::npos ? hf.path : hf.path.substr(sep + 1);
  }
  WriteTextString(hf, rtf, *title, kCategoryPageHeader);
  rtf.Write("\\fs20\\tab ");
  rtf.Write(LoadText(kTextPageOf));
  rtf.Write(" \\par}\n");
}

void EndRtfFile(HelpFile& /*hf*/, OutputSink& rtf) {
  rtf.Write("}");
  rtf.Close();
}

}  // namespace quorvex
