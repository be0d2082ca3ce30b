// The RTF writers on their own: the cases the golden conversions do not reach (rare commands
// and objects, table geometry limits, footnote forms, font tables of every kind, damaged
// |FONT data, the German frame).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <random>

#include "core/strings.h"
#include "rtf/document_frame.h"
#include "rtf/footnotes.h"
#include "rtf/media.h"
#include "rtf/paragraph_writer.h"
#include "rtf/rtf_text.h"
#include "rtf/table_writer.h"
#include "tests/support/byte_builder.h"
#include "tests/support/font_writer.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"
#include "tests/support/rtf_check.h"

namespace quorvex {
namespace {

using namespace testsupport;

ParagraphCommand Command(uint8_t code, std::function<void(ParagraphCommand&)> set = {}) {
  ParagraphCommand c;
  c.code = code;
  if (set) set(c);
  return c;
}
ParagraphCommand Font(uint16_t font) {
  return Command(kCmdFont, [&](auto& c) { c.font = font; });
}
ParagraphCommand Macro(std::string macro, int16_t length = 10) {
  return Command(kCmdMacro, [&](auto& c) {
    c.macro_length = length;
    c.macro = macro;
  });
}
ParagraphCommand Object(uint8_t code, uint8_t type, std::string text = {}) {
  return Command(code, [&](auto& c) {
    c.object.type = type;
    c.object.text = text;
  });
}
Paragraph MakeParagraph(std::vector<std::string> texts, std::vector<ParagraphCommand> commands,
                        ParagraphProperties properties = {}) {
  return Paragraph{.properties = properties, .texts = texts, .commands = commands};
}

/// An 11-byte font descriptor.
std::vector<uint8_t> Old(uint8_t attributes, uint8_t half_points, uint8_t family, uint16_t face,
                         uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
  return OldFontDescriptor({attributes, half_points, family, face, r, g, b});
}

constexpr std::string_view kDefaultTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial}}\n{\\colortbl\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ";

class RtfWriters : public ::testing::Test {
 protected:
  RtfWriters() {
    hf.session = &session;
    session.rtf_char_count = 1;  // past the line feed after the session's first character
    hf.font_styles = {"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs24\\b\\i0\\ul0",
                      "\\f2\\cf2\\fs20\\b\\i0\\ul"};
  }
  ~RtfWriters() override { SetLanguageOffset(0); }

  /// What `write` puts into a text-mode sink (LF for its CR LF), checked to be well formed
  /// (inside a document group unless it is a whole document).
  std::string Rtf(const std::function<void(OutputSink&)>& write, bool document = false) {
    auto out = OutputSink::Memory(true);
    write(*out);
    std::string s = out->contents();
    const testing::RtfCheck check = testing::CheckRtf(document ? s : "{\\rtf1 " + s + "}");
    EXPECT_TRUE(check.ok) << check.error << "\n" << s;
    std::erase(s, '\r');
    return s;
  }
  std::string Write(const Paragraph& p, bool non_scrolling = false, bool in_table = false,
                    bool last_in_cell = false) {
    return Rtf(
        [&](OutputSink& o) { WriteParagraph(hf, o, p, non_scrolling, in_table, last_in_cell); });
  }
  /// A fresh help file whose |FONT holds `font` (none when empty).
  void SetFont(const std::vector<uint8_t>& font, ConversionOptions options = 0) {
    hf = HelpFile();
    hf.session = &session;
    hf.options = options;
    hf.path = "/some/where/Sample.hlp";
    hf.bytes.assign(16, 0);
    hf.bytes.insert(hf.bytes.end(), font.begin(), font.end());
    if (!font.empty()) hf.slot(Slot::kFont) = {16, static_cast<int32_t>(font.size())};
  }
  std::string FontTable() {
    hf.fonts = ReadFontModel(hf);
    BuildFontStyleTable(hf);
    return Rtf([&](OutputSink& o) { WriteFontTable(hf, o); });
  }
  /// A whole empty document, checked for well-formedness.
  std::string Document(std::string_view name = "TEST.RTF") {
    auto project = OutputSink::Null();
    auto write = [&](OutputSink& o) {
      BeginRtfFile(hf, *project, o, name);
      EndRtfFile(hf, o);
    };
    return Rtf(write, true);
  }

  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
};

TEST_F(RtfWriters, TextEscapesAndTheChunkedPathMatchesCharacterByCharacter) {
  EXPECT_EQ(Rtf([&](OutputSink& o) { WriteRtfText(hf, o, std::string("\x7F\xFF\0~", 4)); }),
            "\x7F\\'ff(0x00)~");
  std::mt19937 random(7);
  std::string text(5000, '\0');
  for (char& c : text) c = static_cast<char>(random() & 0xFF);
  session.rtf_char_count = 17;
  const std::string chunked = Rtf([&](OutputSink& o) { WriteRtfText(hf, o, text); });
  EXPECT_EQ(session.rtf_char_count, 17 + text.size());
  session.rtf_char_count = 17;
  EXPECT_EQ(chunked, Rtf([&](OutputSink& o) {
              for (char c : text) WriteRtfChar(hf, o, static_cast<uint8_t>(c));
            }));
}

TEST_F(RtfWriters, FootnotesTitlesAndEntryMacros) {
  using namespace std::string_literals;
  EXPECT_EQ(Rtf([&](OutputSink& o) { WriteFootnote(hf, o, "grp:1\0x"s, '+'); }),
            "{+{\\footnote{+} grp:1}} \n");
  struct Case {
    ConversionOptions options;
    std::string text;
    bool browse_predecessor;
    std::string rtf;
  };
  const Case cases[] = {
      {0, "T\0M1\0M2"s, true, "{${\\footnote{$} T}} \n{!{\\footnote{!} M1}} \n"},
      {0, "\0M()"s, false, "{!{\\footnote{!} M()}} \n"},
      {0, "Title"s, false, "{${\\footnote{$} Title}} \n"},
      {0, "Title\0\0M()"s, false, "{${\\footnote{$} Title}} \n"},
      {0, ""s, false, ""},
      {0, "\0\0"s, false, ""},
      {kForPrint | kIndex, "Intro\0M()"s, true, ""},
      {kForPrint | kToc, "\0M()"s, false, ""},
  };
  for (const Case& c : cases) {
    hf.options = c.options;
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteTitle(hf, o, c.text, c.browse_predecessor); }), c.rtf)
        << c.text;
  }
  EXPECT_EQ(Rtf([&](OutputSink& o) { WriteFootnote(hf, o, "Intro", '#'); }), "");
}

TEST_F(RtfWriters, ParagraphPropertiesAndCommandsTheGoldenFilesDoNotHold) {
  ParagraphProperties border;
  border.bits = kParaBorder;
  hf.options = kJumps;
  EXPECT_EQ(Write(MakeParagraph({"x"}, {}, border)), "\\pard\\s0\\ql\\brdrs x");
  EXPECT_EQ(Write(MakeParagraph({"A"}, {}), true, true), "\\pard\\keepn\\s1\\intbl\\ql A");
  // Unknown commands are skipped; texts missing at the end are empty.
  EXPECT_EQ(Write(MakeParagraph({"a", "b"}, {Command(0x8A), Command(kCmdTab), Command(kCmdTab)})),
            "\\pard\\s0\\ql ab\\tab \\tab ");
  // Braces and backslashes of a macro stay text.
  EXPECT_EQ(
      Write(MakeParagraph({"", "Run", "."}, {Macro("E(\"c:\\x{1}\")"), Command(kCmdHotspotEnd)})),
      "\\pard\\s0\\ql \\strike Run\\strike0\\ul0{\\v !E(\"c:\\\\x\\{1\\}\")}.");
  // A paragraph end that is not directly before the 0xFF ends the paragraph also in a cell.
  EXPECT_EQ(Write(MakeParagraph({"A", ""}, {Command(kCmdParagraphEnd)}), false, true, true),
            "\\pard\\s0\\intbl\\ql A\\par\n");
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(RtfWriters, HotspotsOfJumpsAndUnfinishedHotspots) {
  hf.options = kJumps;
  // The first end closes the hotspot, so the second end has no start. Without the context
  // code's services a target is named by its hash in hexadecimal.
  auto jump = [](uint8_t code, bool valid) {
    return Command(code, [&](auto& c) { c.hotspot.valid = valid; });
  };
  for (uint8_t code : {0xE0, 0xE1, 0xE2, 0xE3, 0xE6, 0xE7, 0xEA, 0xEB, 0xEE, 0xEF}) {
    EXPECT_EQ(
        Write(MakeParagraph({"", "Go", "", "x", ""}, {jump(code, true), Command(kCmdHotspotEnd),
                                                      Font(2), Command(kCmdHotspotEnd)})),
        std::string("\\pard\\s0\\ql ") + ((code & 1) ? "\\strike " : "\\ul ") +
            "Go\\strike0\\ul0{\\v " + ((code & 4) ? "%" : "") +
            "0x00000000}\\f2\\cf2\\fs20\\b\\i0\\ul x")
        << int(code);
  }
  EXPECT_EQ(diagnostics.Count(kWarnHotspotEnd), 10u);
  EXPECT_EQ(diagnostics.warnings.size(), 10u);
  diagnostics.warnings.clear();
  // A target that did not fit opens no hotspot.
  EXPECT_EQ(Write(MakeParagraph({"", "Go", ""}, {jump(0xE3, false), Command(kCmdHotspotEnd)})),
            "\\pard\\s0\\ql Go");
  // A hotspot still open at the end of its paragraph is dropped.
  EXPECT_EQ(Write(MakeParagraph({"", "Run"}, {Macro("M()")})), "\\pard\\s0\\ql \\strike Run");
  EXPECT_EQ(Write(MakeParagraph({"", ""}, {Command(kCmdHotspotEnd)})), "\\pard\\s0\\ql ");
  std::vector<int> ids;
  for (const auto& w : diagnostics.warnings) ids.push_back(w.id);
  EXPECT_EQ(ids, (std::vector<int>{kWarnIllegalHotspot, kWarnHotspotEnd, kWarnHotspotEnd}));
}

TEST_F(RtfWriters, ObjectsAndMediaObjects) {
  // Empty fields between commas do not count, a fourth field is not used.
  const std::pair<std::string, std::string> media[] = {
      {",,10,,1,,+a.avi,more", "\\{mci  nomenu noplaybar repeat,a.avi\\}"},
      {"x,y2,a+b+c", "\\{mci ,b+c\\}"},
      {"8,,,3,", ""}};
  for (const auto& [text, rtf] : media)
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteMciObject(hf, o, text); }), rtf) << text;
  const std::pair<ParagraphCommand, std::string> cases[] = {
      {Object(kCmdObjectInLine, 5, "w.dll,C,x"), "\\{ewc w.dll,C,x\\}"},
      {Object(kCmdObjectLeft, 5, ""), "\\{ewl \\}"},
      {Object(kCmdObjectInLine, 3), ""},
      {Object(kCmdObjectRight, 0x22), ""},
      {Object(kCmdObjectLeft, 7, "text"), ""},
  };
  for (const auto& [command, rtf] : cases)
    EXPECT_EQ(Write(MakeParagraph({"<", ">"}, {command})), "\\pard\\s0\\ql <" + rtf + ">") << rtf;
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(RtfWriters, TableGeometry) {
  auto row = [](uint8_t type, std::vector<TableColumn> columns, uint16_t factor = 32767,
                std::vector<uint8_t> cell_columns = {}) {
    TableRow r{.column_count = uint8_t(columns.size()),
               .table_type = type,
               .width_factor = factor,
               .columns = columns,
               .cells = {}};
    for (uint8_t column : cell_columns) {
      r.cells.push_back({column, MakeParagraph({std::string(1, char('A' + column)), ""},
                                               {Command(kCmdParagraphEnd,
                                                        [](auto& c) { c.before_end = true; })})});
    }
    return r;
  };
  const std::string end = "\\cell\\row\\pard}\n";
  struct Case {
    const char* name;
    TableRow row;
    std::string rtf;
  };
  TableRow cut = row(3, {{10, 0}, {20, 4}}, 32767, {1, 0});
  cut.columns.pop_back();  // the layout was cut short: column 1 counts as 0, 0
  const Case cases[] = {
      {"type 3: boundaries not multiplied", row(3, {{200, 30}, {300, 20}}),
       "{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx240\\cellx560 " + end},
      {"no columns", row(1, {}), "{\\pard\\trowd\\intbl\\trleft00 " + end},
      // 3 * 21845 / 32767 = 2.00003 -> 2; 65535 * 21845 / 32767 = 43690.67 -> 43691.
      {"scaling rounds to nearest", row(0, {{3, 65535}}, 21845),
       "{\\pard\\trowd\\intbl\\trqc\\trleft436910\\cellx436930 " + end},
      // 40000 * 65535 / 32767 = 80001.2 -> 80001, which keeps 14465 in 16 bits.
      {"scaling keeps 16 bits", row(0, {{40000, 0}}, 65535),
       "{\\pard\\trowd\\intbl\\trqc\\trleft00\\cellx144650 " + end},
      {"cells come back to an earlier column", cut,
       "{\\pard\\trowd\\intbl\\trgaph00\\trleft00\\cellx10\\cellx10 \\cell \\pard\\s0\\intbl\\ql B"
       "\\cell \\pard\\s0\\intbl\\ql A" +
           end},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteTable(hf, o, c.row, false); }), c.rtf) << c.name;
  // Non-scrolling; the cells stop at the first paragraph of a column the row does not have.
  EXPECT_EQ(Rtf([&](OutputSink& o) {
              WriteTable(hf, o, row(3, {{10, 0}}, 0, {0, 1, 0}), true);
            }),
            "{\\pard\\trowd\\intbl\\trleft00\\cellx10 \\pard\\keepn\\s1\\intbl\\ql A" + end);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(RtfWriters, FontTableOfOldDescriptors) {
  SetFont(BuildFontFile(
      {"Arial,Helvetica", "Times New Roman", "A,B,C"}, 20,
      {Old(0, 20, 3, 0, 255, 255, 255), Old(1, 24, 2, 1, 255, 0, 0), Old(0x05, 20, 1, 2, 0, 128, 0),
       Old(0xFA, 16, 5, 0, 255, 255, 254), Old(0x02, 18, 7, 0x0100), Old(0, 8, 4, 0)}));
  EXPECT_EQ(FontTable(),
            "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\froman Times New Roman"
            "\\f2\n\\fmodern A,B\\f3\n\\fdecor Arial\\f4\n\\f  Arial"
            "\\f5\n\\fscript Arial}}\n"
            "{\\colortbl\n\\red0\\green0\\blue0;\n\\red255\\green0\\blue0;\n"
            "\\red0\\green128\\blue0;\n\\red255\\green255\\blue254;\n"
            "\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ");
  const FontStyleTable expected = {"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs24\\b\\i0\\ul0",
                                   "\\f2\\cf2\\fs20\\b\\i0\\ul",   "\\f3\\cf3\\fs16\\b0\\i\\ul0",
                                   "\\f4\\cf4\\fs18\\b0\\i\\ul0",  "\\f5\\cf5\\fs8\\b0\\i0\\ul0"};
  EXPECT_EQ(hf.font_styles, expected);
  EXPECT_FALSE(hf.fonts.new_descriptors);
  // A face name that fills its whole field has no NUL.
  SetFont(BuildFontFile({std::string(32, 'N')}, 32, {Old(0, 20, 3, 0)}));
  EXPECT_NE(FontTable().find("\\fswiss " + std::string(32, 'N') + "}}"), std::string::npos);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(RtfWriters, FontTableOfNewDescriptors) {
  struct Case {
    int32_t height, weight;
    uint32_t italic;
    uint8_t pitch;
    std::string family, style;
  };
  const Case cases[] = {
      {-10, 500, 0x01000000, 0x10, "roman", "\\fs20\\b0\\i\\ul0"},
      {-8, 501, 0, 0x20, "swiss", "\\fs16\\b\\i0\\ul0"},
      {-9, 0, 0, 0x40, "script", "\\fs18\\b0\\i0\\ul0"},
      {-9, 0, 0, 0x50, "decor", "\\fs18\\b0\\i0\\ul0"},
      {-9, 0, 0, 0x00, "modern", "\\fs18\\b0\\i0\\ul0"},
      {-200, 0, 0, 0x20, "swiss", "\\fs144\\b0\\i0\\ul0"},  // the size keeps 8 bits
  };
  for (const Case& c : cases) {
    const NewFontSpec spec{.red = 1,
                           .green = 2,
                           .blue = 3,
                           .height = c.height,
                           .weight = c.weight,
                           .italic = c.italic,
                           .pitch_family = c.pitch};
    SetFont(BuildFontFile({"Arial"}, 20, {NewFontDescriptor(spec)}));
    EXPECT_EQ(FontTable(), "{\\fonttbl{\\f0\n\\f" + c.family +
                               " Arial}}\n{\\colortbl\n\\red1\\green2\\blue3;\n}\n \\paperw11906 ");
    EXPECT_TRUE(hf.fonts.new_descriptors);
    EXPECT_EQ(hf.font_styles, FontStyleTable{"\\f0\\cf0" + c.style});
  }
}

TEST_F(RtfWriters, DamagedFontFilesStillGiveAUsableTable) {
  const std::vector<uint8_t> one = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  std::vector<uint8_t> cut_header = one, far = one, early = one;
  cut_header.resize(6);
  PutU16(far, 6, 0xFFFF);
  PutU16(early, 6, 2);  // leaves 37 bytes for one descriptor: the 42-byte form, none whole
  std::vector<uint8_t> cut =
      BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0), Old(0, 20, 3, 0)}, 0, 3);
  cut.resize(cut.size() - 3);
  const std::string one_font =
      "{\\fonttbl{\\f0\n\\fswiss Arial}}\n{\\colortbl\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ";
  struct Case {
    const char* name;
    std::vector<uint8_t> font;
    int warning;
    std::string tables;
    size_t styles;
  };
  const Case cases[] = {
      {"no |FONT", {}, kWarnFontMissing, std::string(kDefaultTables), 0},
      {"header cut", cut_header, kWarnFontMissing, std::string(kDefaultTables), 0},
      {"no descriptors", BuildFontFile({"Arial"}, 20, {}), kWarnFontNoDescriptors,
       std::string(kDefaultTables), 0},
      {"no face names", BuildFontFile({}, 20, {Old(0, 20, 3, 0)}), kWarnFontFaceMissing, one_font,
       1},
      {"face beyond the table",
       BuildFontFile({"Arial", "Times"}, 20,
                     {Old(0, 20, 2, 1), Old(0, 20, 3, 2), Old(0, 20, 3, 9)}),
       kWarnFontFaceMissing,
       "{\\fonttbl{\\f0\n\\froman Times\\f1\n\\fswiss Arial\\f2\n\\fswiss Arial}}\n{\\colortbl\n"
       "\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ",
       3},
      {"descriptors cut", cut, kWarnFontCut, one_font, 1},
      {"descriptors beyond |FONT", far, kWarnFontCut, std::string(kDefaultTables), 0},
      {"descriptors inside the header", early, kWarnFontCut, std::string(kDefaultTables), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFont(c.font);
    diagnostics.warnings.clear();
    EXPECT_EQ(FontTable(), c.tables);
    EXPECT_EQ(hf.font_styles.size(), c.styles);
    Document();  // well formed, and no further warnings: the style table is built once
    ASSERT_EQ(diagnostics.warnings.size(), 1u);
    EXPECT_EQ(diagnostics.warnings[0].id, c.warning);
  }
  // The font slot pointing outside the help file reads as no |FONT.
  SetFont({});
  hf.slot(Slot::kFont) = {1000, 100};
  EXPECT_EQ(FontTable(), kDefaultTables);
  // Random damage never breaks the document.
  const std::vector<uint8_t> good =
      BuildFontFile({"Arial", "Times New Roman"}, 20,
                    {Old(1, 20, 3, 0), Old(2, 24, 2, 1), Old(4, 16, 1, 0), Old(0, 18, 5, 1)});
  std::mt19937 random(1);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> font = good;
    for (int i = 0, flips = 1 + int(random() % 4); i < flips; ++i)
      font[random() % font.size()] = static_cast<uint8_t>(random());
    if (round % 5 == 0) font.resize(random() % font.size());
    SetFont(font, round % 2 ? kForPrint | kToc : 0);
    Document();
  }
}

TEST_F(RtfWriters, TemplateWithPageLinksTocOrIndexOnly) {
  for (ConversionOptions o :
       {kPageLinks, kToc, kIndex, kForPrint | kJumps | kBrowseSeq | kSplitRtf}) {
    SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}), o);
    EXPECT_EQ(FontTable().find("{\\*\\template ") != std::string::npos,
              (o & (kPageLinks | kToc | kIndex)) != 0)
        << o;
  }
}

TEST_F(RtfWriters, GermanFrameAndPageHeader) {
  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}), kForPrint);
  SetLanguageOffset(kGermanOffset);
  hf.path = "C:\\help\\My{Help}.hlp";
  // Without a title record the header names the help file.
  EXPECT_TRUE(Document("MY{HEL.RTF")
                  .ends_with("\\paperw11906\\paperh16838 " + std::string(kStylesheet) +
                             std::string(kPageHeaderStart) +
                             "MY\\{HEL.RTF\\fs15\\tab My\\{Help\\}.hlp\\fs20\\tab Seite "
                             "{\\field{\\*\\fldinst page }} "
                             "von {\\field{\\*\\fldinst numpages }} \\par}\n}"));
  const std::vector<uint8_t> system = BuildSystemFile(21, 0, {TextRecord(1, "My {Title} \xE9")});
  hf.slot(Slot::kSystem) = {int32_t(hf.bytes.size()), int32_t(system.size())};
  hf.bytes.insert(hf.bytes.end(), system.begin(), system.end());
  EXPECT_NE(Document().find(" TEST.RTF\\fs15\\tab My \\{Title\\} \\'e9\\fs20\\tab Seite"),
            std::string::npos);
}

}  // namespace
}  // namespace quorvex
