// The RTF writers where the golden conversions do not reach, and the help file's code page in
// the RTF and in messages.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "core/code_page.h"
#include "core/container.h"
#include "core/strings.h"
#include "project/context_map.h"
#include "rtf/document_frame.h"
#include "rtf/footnotes.h"
#include "rtf/media.h"
#include "rtf/paragraph_writer.h"
#include "rtf/rtf_text.h"
#include "rtf/table_writer.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/rtf_check.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::string_literals;

ParagraphCommand Command(uint8_t code, bool before_end = false) {
  ParagraphCommand c;
  c.code = code;
  c.before_end = before_end;
  return c;
}
/// An 11-byte font descriptor.
std::vector<uint8_t> Old(uint8_t attributes, uint8_t half_points, uint8_t family, uint16_t face,
                         uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
  return OldFontDescriptor({attributes, half_points, family, face, r, g, b});
}

constexpr std::string_view kDefaultTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial}}\n{\\colortbl\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ";

class RtfWriters : public ::testing::Test, public InMemorySession {
 protected:
  RtfWriters() { SetFont({}); }
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
  /// A fresh help file whose |FONT holds `font` (none when empty); the session is past its
  /// first character and the line feed after it.
  void SetFont(const std::vector<uint8_t>& font, ConversionOptions options = 0) {
    hf = Open(AssembleHelpFile(font.empty() ? HelpFiles{} : HelpFiles{{"|FONT", font}}), options);
    hf->path = "/some/where/Sample.hlp";
    session.rtf_char_count = 1;
  }
  std::string FontTable() {
    hf->fonts = ReadFontModel(*hf);
    BuildFontStyleTable(*hf);
    return Rtf([&](OutputSink& o) { WriteFontTable(*hf, o); });
  }
  /// A whole empty document, checked for well-formedness.
  std::string Document(std::string_view name = "TEST.RTF") {
    auto project = OutputSink::Null();
    return Rtf(
        [&](OutputSink& o) {
          BeginRtfFile(*hf, *project, o, name);
          EndRtfFile(*hf, o);
        },
        true);
  }

  std::unique_ptr<HelpFile> hf;
};

TEST_F(RtfWriters, TextTitlesCellsMediaFieldsAndTableGeometry) {
  // Only the first macro is the entry macro; empty strings give no footnote; printing without
  // Toc writes neither title nor macro.
  const std::tuple<ConversionOptions, std::string, std::string> titles[] = {
      {0, "T\0M1\0M2"s, "{${\\footnote{$} T}} \n{!{\\footnote{!} M1}} \n"},
      {0, "\0M()"s, "{!{\\footnote{!} M()}} \n"},
      {0, ""s, ""},
      {kForPrint | kPageBreak, "T\0M()"s, ""}};
  for (const auto& [options, text, rtf] : titles) {
    hf->options = options;
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteTitle(*hf, o, text, true); }), rtf) << text;
  }
  hf->options = 0;
  // A paragraph end not directly before the 0xFF ends a cell's last paragraph too; texts missing
  // at the end are empty.
  const Paragraph cell{.properties = {},
                       .texts = {"A", ""},
                       .commands = {Command(kCmdParagraphEnd), Command(kCmdTab)}};
  EXPECT_EQ(Rtf([&](OutputSink& o) { WriteParagraph(*hf, o, cell, true, true, true); }),
            "\\pard\\keepn\\s1\\intbl\\ql A\\par\n\\tab ");
  // Empty fields between commas do not count, a fourth is not used; the flags are the fields'
  // leading digits, the file name follows the first "+", without one it plays externally.
  const std::pair<std::string, std::string> media[] = {
      {",,10,,1,,+a.avi,more", "\\{mci  nomenu noplaybar repeat,a.avi\\}"},
      {"2,0,c:\\d\\clip.avi", "\\{mci  noplaybar external,c:\\\\d\\\\clip.avi\\}"},
      {"x,y2,a+b+c", "\\{mci ,b+c\\}"},
      {"8,,,3,", ""}};
  for (const auto& [text, rtf] : media)
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteMciObject(*hf, o, text); }), rtf) << text;
  // The chunked text path writes what the character path writes, line feeds included: any
  // byte among runs of printable ASCII (the specials \ { } and DEL among them), in runs short
  // and long, as one text and as pieces of 1 to 70 bytes (whose ends cut the 16-byte scans).
  std::mt19937 random(7);
  for (const unsigned one_in : {4u, 60u}) {
    std::string text(5000, '\0');
    for (char& c : text)
      c = static_cast<char>(random() % one_in ? 0x20 + random() % 0x5F : random());
    // Each piece in memory of its own size, so that a read past it shows (AddressSanitizer).
    std::vector<std::vector<char>> copies;
    std::vector<std::string_view> pieces;
    for (size_t at = 0; at < text.size(); at += pieces.back().size()) {
      const std::string_view piece = std::string_view(text).substr(at, 1 + random() % 70);
      copies.emplace_back(piece.begin(), piece.end());  // (moving a copy keeps its bytes)
      pieces.emplace_back(copies.back().data(), copies.back().size());
    }
    for (const auto& parts : {std::vector<std::string_view>{text}, pieces}) {
      session.rtf_char_count = 17;
      const std::string chunked = Rtf([&](OutputSink& o) {
        for (std::string_view part : parts) WriteRtfText(*hf, o, part);
      });
      EXPECT_EQ(session.rtf_char_count, 17 + text.size());
      session.rtf_char_count = 17;
      EXPECT_EQ(chunked, Rtf([&](OutputSink& o) {
                  for (char c : text) WriteRtfChar(*hf, o, static_cast<uint8_t>(c));
                }))
          << one_in << " " << parts.size();
    }
  }
  SetFont({});  // the character count back at 1
  auto row = [](uint8_t type, std::vector<TableColumn> columns, uint16_t factor = 32767,
                std::vector<uint8_t> cell_columns = {}) {
    TableRow r{.column_count = uint8_t(columns.size()),
               .table_type = type,
               .width_factor = factor,
               .columns = columns,
               .cells = {}};
    for (uint8_t column : cell_columns)
      r.cells.push_back({column, Paragraph{.properties = {},
                                           .texts = {std::string_view(&"ABCD"[column], 1), ""},
                                           .commands = {Command(kCmdParagraphEnd, true)}}});
    return r;
  };
  TableRow cut = row(3, {{10, 0}, {20, 4}}, 32767, {1, 0});
  cut.columns.pop_back();  // the layout was cut short: column 1 counts as 0, 0
  const std::string end = "\\cell\\row\\pard}\n";
  const std::tuple<const char*, TableRow, std::string> cases[] = {
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
  for (const auto& [name, r, rtf] : cases)
    EXPECT_EQ(Rtf([&](OutputSink& o) { WriteTable(*hf, o, r, false); }), rtf) << name;
  // Non-scrolling; the cells stop at the first paragraph of a column the row does not have.
  EXPECT_EQ(Rtf([&](OutputSink& o) {
              WriteTable(*hf, o, row(3, {{10, 0}}, 0, {0, 1, 0}), true);
            }),
            "{\\pard\\trowd\\intbl\\trleft00\\cellx10 \\pard\\keepn\\s1\\intbl\\ql A" + end);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(RtfWriters, FontTablesOfBothDescriptorForms) {
  // Attributes bold, italic, underline; families 3, 2, 1, 5, 7 (none), 4; face numbers whose
  // high byte does not count and names cut at their last comma; white turns black.
  SetFont(BuildFontFile(
      {"Arial,Helvetica", "Times New Roman", "A,B,C"}, 20,
      {Old(0, 20, 3, 0, 255, 255, 255), Old(1, 24, 2, 1, 255, 0, 0), Old(0x05, 20, 1, 2, 0, 128, 0),
       Old(0xFA, 16, 5, 0, 255, 255, 254), Old(0x02, 18, 7, 0x0100), Old(0, 8, 4, 0)}));
  EXPECT_EQ(FontTable(),
            "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\froman Times New Roman\\f2\n\\fmodern A,B"
            "\\f3\n\\fdecor Arial\\f4\n\\f  Arial\\f5\n\\fscript Arial}}\n{\\colortbl\n"
            "\\red0\\green0\\blue0;\n\\red255\\green0\\blue0;\n\\red0\\green128\\blue0;\n"
            "\\red255\\green255\\blue254;\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\n"
            " \\paperw11906 ");
  EXPECT_EQ(hf->font_styles,
            (FontStyleTable{"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs24\\b\\i0\\ul0",
                            "\\f2\\cf2\\fs20\\b\\i0\\ul", "\\f3\\cf3\\fs16\\b0\\i\\ul0",
                            "\\f4\\cf4\\fs18\\b0\\i\\ul0", "\\f5\\cf5\\fs8\\b0\\i0\\ul0"}));
  EXPECT_FALSE(hf->fonts.new_descriptors);
  // A face name that fills its whole field has no NUL.
  SetFont(BuildFontFile({std::string(32, 'N')}, 32, {Old(0, 20, 3, 0)}));
  EXPECT_NE(FontTable().find("\\fswiss " + std::string(32, 'N') + "}}"), std::string::npos);
  // 42-byte descriptors: height, weight above 500 bold, italic, pitch and family.
  const std::tuple<int32_t, int32_t, uint32_t, uint8_t, std::string, std::string> cases[] = {
      {-10, 500, 0x01000000, 0x10, "roman", "\\fs20\\b0\\i\\ul0"},
      {-8, 501, 0, 0x20, "swiss", "\\fs16\\b\\i0\\ul0"},
      {-9, 0, 0, 0x40, "script", "\\fs18\\b0\\i0\\ul0"},
      {-9, 0, 0, 0x50, "decor", "\\fs18\\b0\\i0\\ul0"},
      {-9, 0, 0, 0x00, "modern", "\\fs18\\b0\\i0\\ul0"},
      {-200, 0, 0, 0x20, "swiss", "\\fs144\\b0\\i0\\ul0"},  // the size keeps 8 bits
  };
  for (const auto& [height, weight, italic, pitch, family, style] : cases) {
    NewFontSpec font{.red = 1, .green = 2, .blue = 3};
    font.height = height, font.weight = weight, font.italic = italic, font.pitch_family = pitch;
    SetFont(BuildFontFile({"Arial"}, 20, {NewFontDescriptor(font)}));
    EXPECT_EQ(FontTable(), "{\\fonttbl{\\f0\n\\f" + family +
                               " Arial}}\n{\\colortbl\n\\red1\\green2\\blue3;\n}\n \\paperw11906 ");
    EXPECT_TRUE(hf->fonts.new_descriptors);
    EXPECT_EQ(hf->font_styles, FontStyleTable{"\\f0\\cf0" + style});
  }
  EXPECT_TRUE(diagnostics.warnings.empty());
}

// The pre-pass counts each record's keyword footnotes by the lengths of their keywords: as much
// as the main pass writes, with the same entries taken (each goes to one record only) and the
// same answer whether K keywords were found, in each mode and for HC30.
TEST_F(RtfWriters, KeywordsCountInThePrePassWhatTheMainPassWrites) {
  KeywordEntries k, a;
  for (uint32_t i = 0; i < 60; ++i) {
    k.push_back({"k" + std::string(i % 7, 'x') + std::to_string(i), {i * 5, i * 5 + 9}});
    if (i % 4 == 0) a.push_back({"a;" + std::to_string(i), {i * 5 + 2}});
  }
  std::sort(k.begin(), k.end());
  std::sort(a.begin(), a.end());
  const KeywordFiles kw = BuildKeywordFiles(k), aw = BuildKeywordFiles(a);
  hf = Open(AssembleHelpFile({{"|KWBTREE", kw.btree},
                              {"|KWDATA", kw.data},
                              {"|AWBTREE", aw.btree},
                              {"|AWDATA", aw.data}}));
  StandardPhases phases;
  hf->services = &phases;
  LoadKeywordTables(*hf);
  for (const ConversionOptions options :
       {ConversionOptions{0}, kIndex, kForPrint, kForPrint | kIndex})
    for (const bool hc30 : {false, true}) {
      SCOPED_TRACE(::testing::Message() << options << (hc30 ? " HC30" : ""));
      hf->options = options;
      hf->is_hc30 = hc30;
      // The count after each record and whether it found K keywords, in each pass.
      auto pass = [&](bool main_pass) {
        hf->main_pass = main_pass;
        session.rtf_char_count = 0;
        std::unique_ptr<OutputSink> out = main_pass ? OutputSink::Memory(true) : OutputSink::Null();
        KeywordMarks marks;
        std::vector<std::pair<uint64_t, bool>> counts;
        for (int64_t at = -3; at < 320; at += 4) {
          const bool found = WriteTopicKeywords(*hf, *out, at - 2, at + 5, marks);
          counts.push_back({session.rtf_char_count, found});
        }
        return counts;
      };
      const auto counted = pass(false);
      EXPECT_EQ(counted, pass(true));
      EXPECT_EQ(counted.back().first > 400, options != kForPrint);  // (printing: an index only)
    }
}

// The pre-pass only counts a paragraph's texts, and warns where the writer warns, in the same
// order: a font beyond the table, a hotspot end with none open, an empty macro, a hotspot with
// a target cut short, a window number no window has, a picture not extracted; embedded objects'
// texts count.
TEST_F(RtfWriters, PrePassParagraphsCountAndWarnAsTheWriterDoes) {
  SetFont(Old(0, 20, 3, 0));
  hf->fonts = ReadFontModel(*hf);
  BuildFontStyleTable(*hf);
  // Each command from its byte, with the operand that byte's form takes: a font number, a
  // macro length, a hotspot's validity (0 cut short, 1 short, else extended with flags one
  // less), an object type and text.
  auto command = [](uint8_t code, int operand = 0, std::string_view text = "") {
    ParagraphCommand c = Command(code);
    c.font = uint16_t(operand);
    c.macro_length = int16_t(operand);
    c.macro = "M()";
    c.hotspot.valid = operand != 0;
    c.hotspot.extended = operand > 1;
    c.hotspot.flags = uint8_t(operand > 1 ? operand - 1 : 0);
    c.hotspot.window_number = 7;
    c.object.type = uint8_t(operand);
    c.object.text = text;
    c.object.picture_number = 3;
    return c;
  };
  const uint8_t end = kCmdHotspotEnd;
  Paragraph paragraph{.properties = {}, .texts = {}, .commands = {}};
  for (const ParagraphCommand& c : {command(kCmdFont, 0),
                                    command(kCmdFont, 9),
                                    command(end),
                                    command(kCmdMacro, 0),
                                    command(0xE3, 1),
                                    command(end),
                                    command(0xE2, 0),
                                    command(0xEB, 2),
                                    command(kCmdFont, 0),
                                    command(end),
                                    command(kCmdMacro, 3),
                                    command(end),
                                    command(end),
                                    command(kCmdTab),
                                    command(kCmdObjectInLine, kObjectEmbedded, "!button"),
                                    command(kCmdObjectLeft, 5, "*,,a"),
                                    command(kCmdObjectRight, kObjectEmbedded, "window"),
                                    command(kCmdObjectInLine, 0x22),
                                    command(kCmdLineBreak),
                                    command(kCmdParagraphEnd)})
    paragraph.commands.push_back(c);
  paragraph.commands.back().before_end = true;
  std::vector<std::string> texts;
  for (size_t i = 0; i <= paragraph.commands.size(); ++i) texts.emplace_back(i % 5, char('a' + i));
  for (const std::string& t : texts) paragraph.texts.push_back(t);
  hf->main_pass = false;
  for (const ConversionOptions options : {ConversionOptions{0}, kJumps | kPageLinks})
    for (const bool in_table : {false, true}) {
      hf->options = options;
      auto pass = [&](std::unique_ptr<OutputSink> out) {
        diagnostics.warnings.clear();
        session.rtf_char_count = 0;
        WriteParagraph(*hf, *out, paragraph, false, in_table, true);
        return std::pair(session.rtf_char_count, IdsOf(diagnostics.warnings, -1));
      };
      const auto counted = pass(OutputSink::Null());
      EXPECT_EQ(counted, pass(OutputSink::Memory(true)));
      EXPECT_EQ(counted.second,
                (std::vector<int>{kWarnIllegalFont, kWarnHotspotEnd, kWarnIllegalMacro,
                                  kWarnIllegalHotspot, kWarnIllegalWindow, kWarnHotspotEnd,
                                  kWarnIllegalBitmap}));
    }
}

// (Random damage: the conversion fuzz target checks that every document stays well formed.)
TEST_F(RtfWriters, DamagedFontFilesStillGiveAUsableTableAndTheGermanFrame) {
  const std::vector<uint8_t> one = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  std::vector<uint8_t> cut_header = one, far = one, early = one;
  cut_header.resize(6);
  PutU16(far, 6, 0xFFFF);
  PutU16(early, 6, 2);  // leaves 37 bytes for one descriptor: the 42-byte form, none whole
  std::vector<uint8_t> cut =
      BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0), Old(0, 20, 3, 0)}, 0, 3);
  cut.resize(cut.size() - 3);
  // The table of one font equals the default table; only the style table tells them apart.
  const std::string none(kDefaultTables);
  const std::tuple<const char*, std::vector<uint8_t>, int, std::string, size_t> cases[] = {
      {"no |FONT", {}, kWarnFontMissing, none, 0},
      {"header cut", cut_header, kWarnFontMissing, none, 0},
      {"no descriptors", BuildFontFile({"Arial"}, 20, {}), kWarnFontNoDescriptors, none, 0},
      {"no face names", BuildFontFile({}, 20, {Old(0, 20, 3, 0)}), kWarnFontFaceMissing, none, 1},
      {"face beyond the table",
       BuildFontFile({"Arial", "Times"}, 20,
                     {Old(0, 20, 2, 1), Old(0, 20, 3, 2), Old(0, 20, 3, 9)}),
       kWarnFontFaceMissing,
       "{\\fonttbl{\\f0\n\\froman Times\\f1\n\\fswiss Arial\\f2\n\\fswiss Arial}}\n{\\colortbl\n"
       "\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ",
       3},
      {"descriptors cut", cut, kWarnFontCut, none, 1},
      {"descriptors beyond |FONT", far, kWarnFontCut, none, 0},
      {"descriptors inside the header", early, kWarnFontCut, none, 0},
  };
  for (const auto& [name, font, warning, tables, styles] : cases) {
    SCOPED_TRACE(name);
    SetFont(font);
    diagnostics.warnings.clear();
    EXPECT_EQ(FontTable(), tables);
    EXPECT_EQ(hf->font_styles.size(), styles);
    Document();  // well formed, and no further warnings: the style table is built once
    ASSERT_EQ(diagnostics.warnings.size(), 1u);
    EXPECT_EQ(diagnostics.warnings[0].id, warning);
  }
  // The German frame; without a title record the page header names the help file.
  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}), kForPrint);
  SetLanguageOffset(kGermanOffset);
  hf->path = "C:\\help\\My{Help}.hlp";
  EXPECT_TRUE(Document("MY{HEL.RTF")
                  .ends_with("\\paperw11906\\paperh16838 " + std::string(kStylesheet) +
                             std::string(kPageHeaderStart) +
                             "MY\\{HEL.RTF\\fs15\\tab My\\{Help\\}.hlp\\fs20\\tab Seite "
                             "{\\field{\\*\\fldinst page }} "
                             "von {\\field{\\*\\fldinst numpages }} \\par}\n}"));
}

/// |SYSTEM of HCRTF, with the LCID record when `lcid` is not 0.
std::vector<uint8_t> System(uint16_t lcid = 0) {
  if (lcid == 0) return BuildSystemFile(33, 0, {});
  return BuildSystemFile(33, 0, {{9, ByteBuilder().zeros(8).u16(lcid).take()}});
}
/// |FONT with one 42-byte descriptor of character set `charset` per face.
std::vector<uint8_t> Fonts(std::vector<std::string> faces, uint8_t charset = 0) {
  std::vector<std::vector<uint8_t>> descriptors;
  for (size_t i = 0; i < faces.size(); ++i) {
    descriptors.push_back(NewFontDescriptor({.face = uint8_t(i)}));
    descriptors.back()[35] = charset;
  }
  return BuildFontFile(faces, 32, descriptors);
}
const std::vector<uint8_t> kJapanese = ByteBuilder().u16(128).take();  // |CHARSET

TEST(CodePage, WorkedOutInOrderNamedInTheRtfAndTwoByteCharactersStayWhole) {
  InMemorySession s;
  auto expect = [&](const char* name, HelpFiles files, uint32_t code_page) {
    EXPECT_EQ(DetectCodePage(*s.Open(AssembleHelpFile(files))), code_page) << name;
  };
  expect("LCID Russian", {{"|SYSTEM", System(0x0419)}}, 1251);
  expect("LCID before |CHARSET", {{"|SYSTEM", System(0x0405)}, {"|CHARSET", kJapanese}}, 1250);
  expect("Western LCID", {{"|SYSTEM", System(0x0409)}, {"|FONT", Fonts({"Arial Cyr"})}}, 1252);
  expect("|CHARSET", {{"|SYSTEM", BuildSystemFile(21, 0, {})}, {"|CHARSET", kJapanese}}, 932);
  expect("descriptor character set", {{"|SYSTEM", System()}, {"|FONT", Fonts({"Arial"}, 161)}},
         1253);
  expect("one script among the faces",
         {{"|SYSTEM", System()}, {"|FONT", Fonts({"Arial", "Arial Tur"})}}, 1254);
  expect("several scripts",
         {{"|SYSTEM", System()}, {"|FONT", Fonts({"Times New Roman CE", "Times New Roman Greek"})}},
         1252);
  EXPECT_EQ(MessageText("\xCF\xF0\xE8 \x1B[31m", 1251), "\xD0\x9F\xD1\x80\xD0\xB8 \\x1B[31m");
  EXPECT_EQ(MessageText("\x82\xA0", 932), "\\x82\\xA0");
  // A Cyrillic RTF names its code page. Symbol faces keep their own character set; each character
  // also as its Unicode value.
  TopicRecords t;
  t.Header({"T"}).Paragraph(EndedParagraph(), {"\xCF\xF0\xE8", ""});
  const ConversionOutcome out =
      ConvertHelpBytes(AssembleHelpFile({{"|SYSTEM", System(0x0419)},
                                         {"|FONT", Fonts({"Arial", "Symbol"})},
                                         {"|TOPIC", t.Build()}}),
                       kRecompileOnePass);
  std::string frame = Frame(
      "{\\fonttbl{\\f0\n\\fswiss\\fcharset204 Arial\\f1\n\\fswiss\\fcharset2 Symbol}}\n"
      "{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n");
  frame.replace(0, std::string_view("{\\rtf1\\ansi").size(), "{\\rtf1\\ansi\\ansicpg1251");
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"),
                        Crlf(frame + Footnote('$', "T\n") +
                             Para("\\u1055\\'cf\\u1088\\'f0\\u1080\\'e8\\par\n") + "}")));
  // The 63rd and 64th characters of the session form one character: the line feed after the
  // 64th follows both. A lead byte that ends a text stands alone before the font change.
  TopicRecords j;
  j.Header({"T"}).Paragraph(ParagraphBuilder().Font(1).Command(0x82),
                            {std::string(62, 'a') + "\x82\xA0\x82", "A", ""});
  const std::string rtf = ConvertHelpBytes(AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                                                             {"|CHARSET", kJapanese},
                                                             {"|FONT", OldStyleFontFile()},
                                                             {"|TOPIC", j.Build()}}),
                                           kRecompileOnePass)
                              .File("TEST.RTF");
  EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg932\\deff0"));
  EXPECT_NE(rtf.find(std::string(62, 'a') + "\\'82\\'a0\r\n\\'82" + std::string(kOldStyleFont1) +
                     " A\\par"),
            std::string::npos)
      << rtf;
}

}  // namespace
}  // namespace quorvex
