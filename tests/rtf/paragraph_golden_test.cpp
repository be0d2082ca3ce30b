// Golden tests of whole conversions: paragraphs, their commands and hotspots, and tables as the
// topic walk writes them. Each help file is HC31 (HCRTF for the 42-byte font descriptors) with
// one topic "P" (or "T"); the title's first character is the session's first, so a line feed
// follows it, and everything else stays below the 65th character.
#include <gtest/gtest.h>

#include "core/strings.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// The RTF of topic "P" (its "P" then a line feed) whose records give `body`.
std::string Document(std::string_view body, bool hcrtf = false) {
  return Frame(hcrtf ? kNewStyleFontTables : kOldStyleFontTables) + Footnote('$', "P\n") +
         std::string(body) + "}";
}

TEST(ParagraphGolden, TextEscaping) {
  // Braces, backslash, bytes 0x80 to 0xFF, tab and control characters, in text and footnotes.
  TopicRecords topics;
  topics.Header({"A{1}", "M({x})"})
      .Paragraph(EndedParagraph(), {"a{b}\\c\xE9\r\n\x80\tx\x1Fy", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompileOnePass);
  EXPECT_TRUE(
      SameBytes(out.File("TEST.RTF"),
                Crlf(Frame() + Footnote('$', "A\n\\{1\\}") + Footnote('!', "M(\\{x\\})") +
                     Para("a\\{b\\}\\\\c\\'e9(0x0d)(0x0a)\\'80\\tab x(0x1f)y\\par\n") + "}")));
  EXPECT_TRUE(out.warnings.empty());
}

TEST(ParagraphGolden, ParagraphProperties) {
  // Measures times 10 with 11-byte font descriptors, times 1 with 42-byte ones; tab positions
  // always times 10. With BmpInRtf a negative line spacing loses its sign.
  const std::tuple<bool, ConversionOptions, std::string> cases[] = {
      {false, kRecompileOnePass, "\\sb600\\sa120\\sl-240\\li-360\\ri50\\fi-180"},
      {true, kRecompileOnePass, "\\sb60\\sa12\\sl-24\\li-36\\ri5\\fi-18"},
      {false, kRecompileOnePass | kBmpInRtf, "\\sb600\\sa120\\sl240\\li-360\\ri50\\fi-180"},
  };
  // Borders left, bottom, thick; tabs right, centred, left; keep, centred. Then borders box, top,
  // bar, right, thin; right-aligned. Then both alignment bits.
  ParagraphBuilder props, right;
  props.SpaceBefore(60).SpaceAfter(12).LineSpacing(-24).LeftIndent(-36).RightIndent(5);
  props.FirstIndent(-18).Border(0x80 | 0x08 | 0x20).Tab(360, 0x02).Tab(256, 0x04).Tab(100);
  props.Bits(0x1000 | 0x0800).Command(0x82);
  right.UnknownPair(3, -4).Border(0x01 | 0x02 | 0x04 | 0x10).Bits(0x0400).Command(0x82);
  TopicRecords topics;
  topics.Header({"P"})
      .Paragraph(props, {"props", ""})
      .Paragraph(right, {"right", ""})
      .Paragraph(ParagraphBuilder().Bits(0x0C00).Command(0x82), {"both", ""});
  for (const auto& [hcrtf, options, measures] : cases) {
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics, hcrtf), options);
    const std::string body = "\\pard\\s0\\keep\\qc" + measures +
                             "\\brdrl\\brdrb\\brdrth\\tqr\\tx3600\\tqc\\tx2560\\tx1000 props\\par\n"
                             "\\pard\\s0\\qr\\brdrr\\brdrbar\\brdrt\\box\\brdrs right\\par\n"
                             "\\pard\\s0\\qc both\\par\n";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(body, hcrtf)))) << measures;
  }
}

/// Converts topic "P" whose only paragraph is `paragraph` with `texts` (one before each command
/// and the last) and expects the paragraph `body` and `warnings`.
void ExpectParagraph(const char* name, const ParagraphBuilder& paragraph,
                     const std::vector<std::string>& texts, const std::string& body,
                     const std::vector<int>& warnings = {},
                     ConversionOptions options = kRecompileOnePass) {
  SCOPED_TRACE(name);
  TopicRecords topics;
  topics.Header({"P"}).Paragraph(paragraph, texts);
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(Para(body)))));
  EXPECT_EQ(out.WarningIds(), warnings);
  out.ExpectWellFormed();
}

TEST(ParagraphGolden, Commands) {
  using B = ParagraphBuilder;
  ExpectParagraph("font changes, a line break, a tab and a command without meaning",
                  B().Font(1).Font(0).Command(0x81).Command(0x83).Command(0x84).Command(0x82),
                  {"Plain ", "bold", " again", "next line", "tabbed", " on", ""},
                  "Plain " + std::string(kOldStyleFont1) + " bold" + std::string(kOldStyleFont0) +
                      "  again\\line\nnext line\\tab tabbed on\\par\n");
  ExpectParagraph("a font beyond the font table", B().Font(5).Command(0x82), {"x", "y", ""},
                  "xy\\par\n", {kWarnIllegalFont});
  // Braces and backslashes of a macro stay text in the hidden group.
  ExpectParagraph(
      "macro hotspots with Jumps",
      B().Macro("E(\"c:\\x{1}\")").Command(0x89).Macro("Print()", true).Command(0x89).Command(0x82),
      {"Click ", "here", " or ", "there", ".", ""},
      "Click \\strike here\\strike0\\ul0{\\v !E(\"c:\\\\x\\{1\\}\")} or \\strike "
      "there\\strike0\\ul0{\\v %!Print()}.\\par\n");
  ExpectParagraph("a macro hotspot without Jumps", B().Macro("Exit()").Command(0x89).Command(0x82),
                  {"Click ", "here", ".", ""}, "Click here\\strike0\\ul0{\\v !Exit()}.\\par\n", {},
                  kPageBreak);
  ExpectParagraph("a font change inside a hotspot keeps its underline",
                  B().Macro("Exit()").Font(1).Command(0x89).Command(0x82),
                  {"Click ", "he", "re", ".", ""},
                  "Click \\strike he\\f1\\cf1\\fs24\\b\\i0 re\\strike0\\ul0{\\v !Exit()}.\\par\n");
  // The first end closes the hotspot, the second has no start.
  ExpectParagraph("a hotspot end without a start",
                  B().Macro("M()").Command(0x89).Command(0x89).Command(0x82), {"", "z", "", "", ""},
                  "\\strike z\\strike0\\ul0{\\v !M()}\\par\n", {kWarnHotspotEnd});
  // Its hidden text is never written.
  ExpectParagraph("a hotspot open at the paragraph end", B().Macro("M()"), {"", "open"},
                  "\\strike open");
  ExpectParagraph("a macro of length 0", B().Raw({0xC8, 0x00, 0x00}).Command(0x82), {"a", "b", ""},
                  "ab\\par\n", {kWarnIllegalMacro});
  // 0xE3 wants 4 bytes of hash: the target is invalid and opens no hotspot.
  ExpectParagraph("a jump target cut short", B().Raw({0xE3, 0x89, 0x82}), {"", "Go", "", ""},
                  "Go\\par\n", {kWarnIllegalHotspot, kWarnHotspotEnd});
  ExpectParagraph("a button, a media object and embedded windows",
                  B().EmbeddedObject(0x86, "!Print()")
                      .EmbeddedObject(0x86, "*8,3,+movie.avi")
                      .EmbeddedObject(0x86, "c")
                      .EmbeddedObject(0x87, "ew.dll,W,x")
                      .EmbeddedObject(0x88, "R.dll,W,")
                      .Command(0x82),
                  {"B: ", " media: ", " ", " window: ", " ", "", ""},
                  "B: \\{button Print()\\} media: \\{mci  nomenu repeat play,movie.avi\\} \\{ewc "
                  "c\\} window: \\{ewl ew.dll,W,x\\} \\{ewr R.dll,W,\\}\\par\n");
}

TEST(ParagraphGolden, HotspotFormsWithAndWithoutJumpsAndPageLinks) {
  // ContextHash("intro"); a made-up name spells it back.
  constexpr uint32_t kIntro = 87923292;
  const std::string page = "{\\v0  \xBBPage \\field{\\*\\fldinst PAGEREF B0x053D9A5C}}";
  auto ext = [](uint8_t code, std::optional<uint8_t> window, std::optional<std::string> name,
                std::optional<std::string> file) {
    return std::move(ParagraphBuilder().JumpExtended(code, kIntro, window, name, file));
  };
  auto jump = [](uint8_t code) { return std::move(ParagraphBuilder().JumpShort(code, kIntro)); };
  const ConversionOptions one = kRecompileOnePass, print = kForPrint;
  const std::nullopt_t none = std::nullopt;
  // The hotspot, the options, what comes before "Go", the hidden text, the warnings.
  const std::tuple<ParagraphBuilder, ConversionOptions, std::string, std::string, std::vector<int>>
      cases[] = {
          {jump(0xE3), one, "\\strike ", "intro", {}},
          {jump(0xE0), one, "\\ul ", "intro", {}},       // a popup
          {jump(0xE7), one, "\\strike ", "%intro", {}},  // keeps the font
          {ext(0xEE, 0xFF, "proc", "other.hlp"), one, "\\ul ", "%intro>main>proc@other.hlp", {}},
          {ext(0xEA, none, "a{b}", none), one, "\\ul ", "intro>a\\{b\\}", {}},
          {ext(0xEB, 3, none, none), one, "\\strike ", "intro", {kWarnIllegalWindow}},
          {jump(0xE1), print | kJumps | kPageLinks, "\\strike ", "0x053D9A5C" + page, {}},
          {jump(0xE1), print | kPageLinks, "", page, {}},
          {ext(0xEB, 0xFF, none, none), print | kPageLinks, "", "", {}},  // not for extended
          {jump(0xE3), print, "", "", {}},
      };
  for (const auto& [hotspot, options, before, hidden, warnings] : cases) {
    TopicRecords topics;
    ParagraphBuilder p = hotspot;
    topics.Header({"T"}).Paragraph(p.Command(0x89).Command(0x82), {"", "Go", "", ""});
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
    const std::string para = Crlf(Para(before + "Go\\strike0\\ul0{\\v " + hidden + "}\\par\n"));
    EXPECT_NE(out.File("TEST.RTF").find(para), std::string::npos) << para;
    EXPECT_EQ(out.WarningIds(), warnings) << para;
  }
}

TEST(ParagraphGolden, TableRowsOfEachType) {
  const std::vector<uint8_t> ended = EndedParagraph().Build();
  TopicRecords topics;
  topics
      .Header({"P"})
      // Type 1 right after the topic header: "\par" first. Column 0 holds two paragraphs.
      .Table(TableLayout(1, {{200, 30}, {300, 20}}),
             {TableCell(0, ended), TableCell(0, ended), TableCell(1, ended)},
             {"A", "", "B", "", "C", ""})
      .Paragraph(EndedParagraph(), {"Between", ""})
      // Type 0 after a paragraph: no "\par"; every width and spacing scaled by 16383 / 32767.
      .Table(TableLayout(0, {{200, 30}, {300, 20}}, 16383),
             {TableCell(0, ended), TableCell(1, ended)}, {"D", "", "E", ""})
      // Type 3, one column: no gap, boundaries not multiplied.
      .Table(TableLayout(3, {{500, 40}}), {TableCell(0, ended)}, {"F", ""})
      // Type 2 is not supported: the row is opened and closed, its cells are not written.
      .Table(TableLayout(2, {{100, 10}}), {TableCell(0, ended)}, {"G", ""})
      .Paragraph(EndedParagraph(), {"End", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompileOnePass);
  // Type 1: gap 20, x = 30 - 10 = 20, left edge 20 - 10 = 10, boundaries 240 and 560, times 10.
  // Type 0: columns (100, 15) and (150, 10): gap 10, x = 10, left edge 5, boundaries 120, 280.
  // Type 3: x = 40, boundary 540.
  const std::string body =
      "\\par{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx2400\\cellx5600 "
      "\\pard\\s0\\intbl\\ql A\\par\n\\pard\\s0\\intbl\\ql B\\cell "
      "\\pard\\s0\\intbl\\ql C\\cell\\row\\pard}\n\\pard\\s0\\ql Between\\par\n"
      "{\\pard\\trowd\\intbl\\trqc\\trgaph100\\trleft50\\cellx1200\\cellx2800 "
      "\\pard\\s0\\intbl\\ql D\\cell \\pard\\s0\\intbl\\ql E\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl\\trleft400\\cellx540 \\pard\\s0\\intbl\\ql F\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl}\n\\pard\\s0\\ql End\\par\n";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(body))));
  ASSERT_EQ(out.WarningIds(), std::vector<int>{kWarnTableFormat});
  EXPECT_EQ(out.warnings[0].text, "Table Format not Supported");
  out.ExpectWellFormed();
}

}  // namespace
}  // namespace quorvex
