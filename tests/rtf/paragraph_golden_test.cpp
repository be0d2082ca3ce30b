// Golden tests of whole conversions: paragraphs and tables as the topic walk writes them.
//
// Each help file here is an HC31 file (or HCRTF for the 42-byte font descriptors) with one topic
// titled "P" (or "Tables"); the expected RTF is the recompilation frame, the "$" footnote and the
// records. The title's first character is the first character of the session, so a line feed
// follows it; everything else stays below the 65th character.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/strings.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// The recompilation RTF of a topic titled `title` (its first character then a line feed)
/// whose records give `body`.
std::string Document(std::string_view title, std::string_view body, bool hcrtf = false) {
  return Frame(hcrtf ? kNewStyleFontTables : kOldStyleFontTables) +
         Footnote('$', std::string(title.substr(0, 1)) + "\n" + std::string(title.substr(1))) +
         std::string(body) + "}";
}

TEST(ParagraphGolden, TextEscaping) {
  // Braces, backslash, bytes 0x80 to 0xFF, tab and the other control characters, in topic
  // text and in footnotes.
  const std::string text = "a{b}\\c\xE9\r\n\x80\tx\x1Fy";
  TopicRecords topics;
  topics.Header({"A{1}", "M({x})"}).Paragraph(EndedParagraph(), {text, ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompileOnePass);
  const std::string rtf = Frame() +
                          "{${\\footnote{$} A\n\\{1\\}}} \n"
                          "{!{\\footnote{!} M(\\{x\\})}} \n"
                          "\\pard\\s0\\ql a\\{b\\}\\\\c\\'e9(0x0d)(0x0a)\\'80\\tab x(0x1f)y\\par\n"
                          "}";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
  EXPECT_TRUE(out.warnings.empty());
  out.ExpectWellFormed();
}

TEST(ParagraphGolden, ParagraphProperties) {
  // Measures are multiplied by 10 with 11-byte font descriptors and by 1 with 42-byte ones;
  // tab positions always by 10. With BmpInRtf a negative line spacing loses its sign.
  struct Case {
    const char* name;
    bool hcrtf;
    ConversionOptions options;
    std::string measures;
  };
  const Case cases[] = {
      {"11-byte descriptors", false, kRecompileOnePass,
       "\\sb600\\sa120\\sl-240\\li-360\\ri50\\fi-180"},
      {"42-byte descriptors", true, kRecompileOnePass, "\\sb60\\sa12\\sl-24\\li-36\\ri5\\fi-18"},
      {"11-byte descriptors, BmpInRtf", false, kRecompileOnePass | kBmpInRtf,
       "\\sb600\\sa120\\sl240\\li-360\\ri50\\fi-180"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Built twice: the scroll start is the position of the first scrolling record, known once
    // the records are placed.
    auto build = [](int32_t scroll_start) {
      TopicRecords topics;
      topics
          .Header({"P"}, TopicHeaderFields{.scroll_start = scroll_start})
          // Next record at the scroll start: still in the non-scrolling region.
          .Paragraph(EndedParagraph(), {"fixed", ""})
          .Paragraph(ParagraphBuilder()
                         .SpaceBefore(60)
                         .SpaceAfter(12)
                         .LineSpacing(-24)
                         .LeftIndent(-36)
                         .RightIndent(5)
                         .FirstIndent(-18)
                         .Border(0x80 | 0x08 | 0x20)  // left, bottom, thick
                         .Tab(360, 0x02)              // right-aligned
                         .Tab(256, 0x04)              // centred
                         .Tab(100)
                         .Bits(0x1000 | 0x0800)  // keep, centred
                         .Command(0x82),
                     {"props", ""})
          .Paragraph(ParagraphBuilder()
                         .UnknownPair(3, -4)
                         .Border(0x01 | 0x02 | 0x04 | 0x10)  // box, top, bar, right; thin
                         .Bits(0x0400)                       // right-aligned
                         .Command(0x82),
                     {"right", ""})
          .Paragraph(ParagraphBuilder().Bits(0x0C00).Command(0x82), {"both", ""});
      return topics;
    };
    const int32_t scroll_start = static_cast<int32_t>(build(0).writer().Position(2));
    const ConversionOutcome out =
        ConvertHelpBytes(GoldenHelpFile(build(scroll_start), c.hcrtf), c.options);
    const std::string body =
        "\\pard\\keepn\\s1\\ql fixed\\par\n"
        "\\pard\\s0\\keep\\qc" +
        c.measures +
        "\\brdrl\\brdrb\\brdrth\\tqr\\tx3600\\tqc\\tx2560\\tx1000 props\\par\n"
        "\\pard\\s0\\qr\\brdrr\\brdrbar\\brdrt\\box\\brdrs right\\par\n"
        "\\pard\\s0\\qc both\\par\n";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document("P", body, c.hcrtf))));
    out.ExpectWellFormed();
  }
}

TEST(ParagraphGolden, Commands) {
  struct Case {
    const char* name;
    ParagraphBuilder paragraph;
    std::vector<std::string> texts;  // one before each command, and the last one
    ConversionOptions options;
    std::string body;
    std::vector<int> warnings;
  };
  const std::string font1 = std::string(kOldStyleFont1);
  const std::string font0 = std::string(kOldStyleFont0);
  const Case cases[] = {
      {"font changes, a line break and a tab",
       ParagraphBuilder().Font(1).Font(0).Command(0x81).Command(0x83).Command(0x82),
       {"Plain ", "bold", " again", "next line", "tabbed", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql Plain " + font1 + " bold" + font0 +
           "  again\\line\nnext line\\tab tabbed\\par\n",
       {}},
      {"a font number beyond the font table",
       ParagraphBuilder().Font(5).Command(0x82),
       {"x", "y", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql xy\\par\n",
       {kWarnIllegalFont}},
      {"macro hotspots with Jumps",
       ParagraphBuilder()
           .Macro("Exit()")
           .Command(0x89)
           .Macro("Print()", /*no_font=*/true)
           .Command(0x89)
           .Command(0x82),
       {"Click ", "here", " or ", "there", ".", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql Click \\strike here\\strike0\\ul0{\\v !Exit()} or \\strike "
       "there\\strike0\\ul0{\\v %!Print()}.\\par\n",
       {}},
      {"a macro hotspot without Jumps",
       ParagraphBuilder().Macro("Exit()").Command(0x89).Command(0x82),
       {"Click ", "here", ".", ""},
       kPageBreak,
       "\\pard\\s0\\ql Click here\\strike0\\ul0{\\v !Exit()}.\\par\n",
       {}},
      {"a font change inside a hotspot keeps its underline",
       ParagraphBuilder().Macro("Exit()").Font(1).Command(0x89).Command(0x82),
       {"Click ", "he", "re", ".", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql Click \\strike he\\f1\\cf1\\fs24\\b\\i0 re\\strike0\\ul0{\\v !Exit()}."
       "\\par\n",
       {}},
      {"a hotspot end without a start",
       ParagraphBuilder().Command(0x89).Command(0x82),
       {"z", "", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql z\\par\n",
       {kWarnHotspotEnd}},
      {"a macro hotspot of length 0",
       ParagraphBuilder().Raw({0xC8, 0x00, 0x00}).Command(0x82),
       {"a", "b", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql ab\\par\n",
       {kWarnIllegalMacro}},
      {"a button, a media object and embedded windows",
       ParagraphBuilder()
           .EmbeddedObject(0x86, "!Print()")
           .EmbeddedObject(0x86, "*8,3,+movie.avi")
           .EmbeddedObject(0x87, "ew.dll,W,x")
           .EmbeddedObject(0x88, "R.dll,W,")
           .Command(0x82),
       {"Button: ", " media: ", " window: ", " ", "", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql Button: \\{button Print()\\} media: \\{mci  nomenu repeat "
       "play,movie.avi\\} window: \\{ewl ew.dll,W,x\\} \\{ewr R.dll,W,\\}\\par\n",
       {}},
      {"media objects played externally, with a backslash in the name",
       ParagraphBuilder()
           .EmbeddedObject(0x86, "*2,0,movie.avi")
           .EmbeddedObject(0x86, "*0,0,+c:\\dir\\clip.avi")
           .EmbeddedObject(0x86, "*1,2")  // two fields: nothing written
           .Command(0x82),
       {"", "", "", "", ""},
       kRecompileOnePass,
       "\\pard\\s0\\ql \\{mci  noplaybar external,movie.avi\\}\\{mci ,c:\\\\dir\\\\clip.avi\\}"
       "\\par\n",
       {}},
      {"no commands: one text string, no paragraph end",
       ParagraphBuilder(),
       {"only"},
       kRecompileOnePass,
       "\\pard\\s0\\ql only",
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TopicRecords topics;
    topics.Header({"P"}).Paragraph(c.paragraph, c.texts);
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), c.options);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document("P", c.body))));
    EXPECT_EQ(out.WarningIds(), c.warnings);
    out.ExpectWellFormed();
  }
}

TEST(ParagraphGolden, TableRowsOfEachType) {
  const std::vector<uint8_t> ended = EndedParagraph().Build();
  TopicRecords topics;
  topics
      .Header({"Tables"})
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
  ASSERT_FALSE(out.fatal) << *out.fatal;
  // Type 1: gap 20, x = 30 - 10 = 20, left edge 20 - 10 = 10, boundaries 240 and 560, times 10.
  // Type 0: columns (100, 15) and (150, 10): gap 10, x = 10, left edge 5, boundaries 120, 280.
  // Type 3: x = 40, boundary 540.
  const std::string body =
      "\\par{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx2400\\cellx5600 "
      "\\pard\\s0\\intbl\\ql A\\par\n"
      "\\pard\\s0\\intbl\\ql B\\cell "
      "\\pard\\s0\\intbl\\ql C\\cell\\row\\pard}\n"
      "\\pard\\s0\\ql Between\\par\n"
      "{\\pard\\trowd\\intbl\\trqc\\trgaph100\\trleft50\\cellx1200\\cellx2800 "
      "\\pard\\s0\\intbl\\ql D\\cell "
      "\\pard\\s0\\intbl\\ql E\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl\\trleft400\\cellx540 "
      "\\pard\\s0\\intbl\\ql F\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl}\n"
      "\\pard\\s0\\ql End\\par\n";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document("Tables", body))));
  ASSERT_EQ(out.WarningIds(), std::vector<int>{kWarnTableFormat});
  EXPECT_EQ(out.warnings[0].text, "Table Format not Supported");
  out.ExpectWellFormed();
}

}  // namespace
}  // namespace quorvex
