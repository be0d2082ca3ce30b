#include "rtf/paragraph_writer.h"

#include <gtest/gtest.h>

#include "tests/support/rtf_check.h"

namespace quorvex {
namespace {

std::string Crlf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

ParagraphCommand Command(uint8_t code) {
  ParagraphCommand c;
  c.code = code;
  return c;
}
ParagraphCommand FontChange(uint16_t font) {
  ParagraphCommand c = Command(kCmdFont);
  c.font = font;
  return c;
}
ParagraphCommand ParagraphEnd(bool before_end) {
  ParagraphCommand c = Command(kCmdParagraphEnd);
  c.before_end = before_end;
  return c;
}
ParagraphCommand MacroStart(uint8_t code, std::string macro, int16_t length = 10) {
  ParagraphCommand c = Command(code);
  c.macro_length = length;
  c.macro = std::move(macro);
  return c;
}
ParagraphCommand JumpStart(uint8_t code, bool valid = true) {
  ParagraphCommand c = Command(code);
  c.hotspot.valid = valid;
  c.hotspot.hash = 0x1234;
  return c;
}
ParagraphCommand Object(uint8_t code, uint8_t type, std::string text = {}) {
  ParagraphCommand c = Command(code);
  c.object.type = type;
  c.object.text = std::move(text);
  return c;
}

Paragraph MakeParagraph(std::vector<std::string> texts, std::vector<ParagraphCommand> commands,
                        ParagraphProperties properties = {}) {
  Paragraph p;
  p.texts = std::move(texts);
  p.commands = std::move(commands);
  p.properties = std::move(properties);
  return p;
}

class ParagraphWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf.session = &session;
    session.rtf_char_count = 1;
    hf.font_styles = {"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs24\\b\\i0\\ul0",
                      "\\f2\\cf2\\fs20\\b\\i0\\ul"};
    hf.font_styles_built = true;
  }
  /// Writes `p` into a fresh sink, checks that it is well formed RTF and returns it (CR LF).
  std::string Write(const Paragraph& p, bool non_scrolling = false, bool in_table = false,
                    bool last_in_cell = false) {
    auto out = OutputSink::Memory(true);
    WriteParagraph(hf, *out, p, non_scrolling, in_table, last_in_cell);
    testing::RtfCheck check = testing::CheckRtf("{\\rtf1 " + out->contents() + "}");
    EXPECT_TRUE(check.ok) << check.error << "\n" << out->contents();
    return out->contents();
  }

  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
};

TEST_F(ParagraphWriterTest, Properties) {
  struct Case {
    const char* name;
    ParagraphProperties properties;
    bool new_fonts;
    ConversionOptions options;
    std::string rtf;
  };
  auto props = [](uint16_t bits) {
    ParagraphProperties p;
    p.bits = bits;
    return p;
  };
  ParagraphProperties spacing = props(kParaSpaceBefore | kParaLeftIndent);
  spacing.space_before = 60;
  spacing.left_indent = -36;
  ParagraphProperties all = props(kParaSpaceBefore | kParaSpaceAfter | kParaLineSpacing |
                                  kParaLeftIndent | kParaRightIndent | kParaFirstIndent);
  all.space_before = 1;
  all.space_after = 2;
  all.line_spacing = 3;
  all.left_indent = 4;
  all.right_indent = 5;
  all.first_indent = -6;
  ParagraphProperties exact = props(kParaLineSpacing);
  exact.line_spacing = -24;
  ParagraphProperties tabs = props(kParaTabs);
  tabs.tabs = {
      {360, TabStop::Kind::kRight}, {360, TabStop::Kind::kCenter}, {360, TabStop::Kind::kLeft}};
  ParagraphProperties thick = props(kParaBorder);
  thick.border_flags = 0x80 | 0x02 | 0x20;
  ParagraphProperties boxed = props(kParaBorder);
  boxed.border_flags = 0x9F;

  const Case cases[] = {
      {"spacing", spacing, false, 0, "\\pard\\s0\\ql\\sb600\\li-360 "},
      {"spacing in twips", spacing, true, 0, "\\pard\\s0\\ql\\sb60\\li-36 "},
      {"every measure", all, false, 0, "\\pard\\s0\\ql\\sb10\\sa20\\sl30\\li40\\ri50\\fi-60 "},
      {"exact line height", exact, false, 0, "\\pard\\s0\\ql\\sl-240 "},
      {"minimum line height for pictures", exact, false, kBmpInRtf, "\\pard\\s0\\ql\\sl240 "},
      {"tab stops", tabs, false, 0, "\\pard\\s0\\ql\\tqr\\tx3600\\tqc\\tx3600\\tx3600 "},
      {"tab stops in twips", tabs, true, 0, "\\pard\\s0\\ql\\tqr\\tx3600\\tqc\\tx3600\\tx3600 "},
      {"thick border", thick, false, 0, "\\pard\\s0\\ql\\brdrl\\brdrt\\brdrth "},
      {"every border", boxed, false, 0,
       "\\pard\\s0\\ql\\brdrl\\brdrr\\brdrb\\brdrbar\\brdrt\\box\\brdrs "},
      {"border without sides", props(kParaBorder), false, 0, "\\pard\\s0\\ql\\brdrs "},
      {"right", props(kParaRightAlign), false, 0, "\\pard\\s0\\qr "},
      {"centre wins", props(kParaRightAlign | kParaCenter | kParaKeep), false, 0,
       "\\pard\\s0\\keep\\qc "},
      {"unknown pair only", props(kParaUnknownPair), false, 0, "\\pard\\s0\\ql "},
  };
  for (const Case& c : cases) {
    hf.new_font_descriptors = c.new_fonts;
    hf.options = c.options;
    EXPECT_EQ(Write(MakeParagraph({"x"}, {}, c.properties)), c.rtf + "x") << c.name;
  }
}

TEST_F(ParagraphWriterTest, NonScrollingAndTableFlags) {
  Paragraph p = MakeParagraph({"A"}, {});
  EXPECT_EQ(Write(p, true), "\\pard\\keepn\\s1\\ql A");
  EXPECT_EQ(Write(p, true, true), "\\pard\\keepn\\s1\\intbl\\ql A");
  EXPECT_EQ(Write(p, false, true), "\\pard\\s0\\intbl\\ql A");
}

TEST_F(ParagraphWriterTest, TextsAndCommandsAlternate) {
  Paragraph p = MakeParagraph(
      {"a", "b", "c", "d", "e", "f"},
      {FontChange(1), Command(kCmdLineBreak), Command(kCmdTab), Command(0x8A), ParagraphEnd(true)});
  EXPECT_EQ(Write(p), Crlf("\\pard\\s0\\ql a\\f1\\cf1\\fs24\\b\\i0\\ul0 b\\line\nc\\tab d"
                           "e\\par\nf"));
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(ParagraphWriterTest, MissingTextsAreEmpty) {
  Paragraph p = MakeParagraph({"only"}, {Command(kCmdTab), Command(kCmdTab)});
  EXPECT_EQ(Write(p), "\\pard\\s0\\ql only\\tab \\tab ");
  EXPECT_EQ(Write(MakeParagraph({}, {})), "\\pard\\s0\\ql ");
}

TEST_F(ParagraphWriterTest, FontBeyondTheTableIsWarnedAndSkipped) {
  Paragraph p = MakeParagraph({"a", "b"}, {FontChange(3)});
  EXPECT_EQ(Write(p), "\\pard\\s0\\ql ab");
  ASSERT_EQ(diagnostics.warnings.size(), 1u);
  EXPECT_EQ(diagnostics.warnings[0].id, kWarnIllegalFont);
}

TEST_F(ParagraphWriterTest, MacroHotspots) {
  struct Case {
    const char* name;
    ConversionOptions options;
    ParagraphCommand start;
    std::string rtf;
  };
  const Case cases[] = {
      {"macro with jumps", kJumps, MacroStart(kCmdMacro, "Close()"),
       "\\pard\\s0\\ql \\strike Run\\strike0\\ul0{\\v !Close()}."},
      {"no font change", kJumps, MacroStart(kCmdMacroNoFont, "Close()"),
       "\\pard\\s0\\ql \\strike Run\\strike0\\ul0{\\v %!Close()}."},
      {"printing keeps the macro", kForPrint, MacroStart(kCmdMacro, "Close()"),
       "\\pard\\s0\\ql Run\\strike0\\ul0{\\v !Close()}."},
      {"braces and backslashes stay text", kJumps,
       MacroStart(kCmdMacro, "ExecProgram(\"c:\\x{1}.exe\",0)"),
       "\\pard\\s0\\ql \\strike Run\\strike0\\ul0{\\v !ExecProgram(\"c:\\\\x\\{1\\}.exe\",0)}."},
  };
  for (const Case& c : cases) {
    hf.options = c.options;
    Paragraph p = MakeParagraph({"", "Run", "."}, {c.start, Command(kCmdHotspotEnd)});
    EXPECT_EQ(Write(p), c.rtf) << c.name;
  }
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(ParagraphWriterTest, BadMacroAndUnmatchedEndAreWarned) {
  hf.options = kJumps;
  Paragraph p =
      MakeParagraph({"", "Run", "."}, {MacroStart(kCmdMacro, "X()", 0), Command(kCmdHotspotEnd)});
  EXPECT_EQ(Write(p), "\\pard\\s0\\ql Run.");
  ASSERT_EQ(diagnostics.warnings.size(), 2u);
  EXPECT_EQ(diagnostics.warnings[0].id, kWarnIllegalMacro);
  EXPECT_EQ(diagnostics.warnings[1].id, kWarnHotspotEnd);
}

TEST_F(ParagraphWriterTest, FontChangeInsideHotspotKeepsTheUnderline) {
  hf.options = kJumps;
  Paragraph p = MakeParagraph(
      {"", "a", "b", "c", "d"},
      {MacroStart(kCmdMacro, "M()"), FontChange(2), FontChange(1), Command(kCmdHotspotEnd)});
  EXPECT_EQ(Write(p),
            "\\pard\\s0\\ql \\strike a\\f2\\cf2\\fs20\\b\\i0 b\\f1\\cf1\\fs24\\b\\i0 c"
            "\\strike0\\ul0{\\v !M()}d");
  // Outside the hotspot the full entry is written.
  EXPECT_EQ(Write(MakeParagraph({"", ""}, {FontChange(2)})),
            "\\pard\\s0\\ql \\f2\\cf2\\fs20\\b\\i0\\ul ");
}

TEST_F(ParagraphWriterTest, HotspotStillOpenAtTheEndIsDropped) {
  hf.options = kJumps;
  Paragraph p = MakeParagraph({"", "Run"}, {MacroStart(kCmdMacro, "M()")});
  EXPECT_EQ(Write(p), "\\pard\\s0\\ql \\strike Run");
  // The next paragraph starts without a hotspot.
  EXPECT_EQ(Write(MakeParagraph({"", ""}, {Command(kCmdHotspotEnd)})), "\\pard\\s0\\ql ");
  ASSERT_EQ(diagnostics.warnings.size(), 1u);
  EXPECT_EQ(diagnostics.warnings[0].id, kWarnHotspotEnd);
}

TEST_F(ParagraphWriterTest, JumpHotspotsAreSilentForNow) {
  hf.options = kJumps;
  for (uint8_t code : {0xE0, 0xE1, 0xE2, 0xE3, 0xE6, 0xE7, 0xEA, 0xEB, 0xEE, 0xEF}) {
    Paragraph p = MakeParagraph({"", "Go", "", "x", ""}, {JumpStart(code), Command(kCmdHotspotEnd),
                                                          FontChange(2), Command(kCmdHotspotEnd)});
    // The silent hotspot is closed by its end; the font change after it is complete and the
    // second end has no start.
    EXPECT_EQ(Write(p), "\\pard\\s0\\ql Go\\f2\\cf2\\fs20\\b\\i0\\ul x") << int(code);
  }
  EXPECT_EQ(diagnostics.Count(kWarnHotspotEnd), 10u);
  EXPECT_EQ(diagnostics.warnings.size(), 10u);
}

TEST_F(ParagraphWriterTest, HotspotTargetThatDidNotFitOpensNoHotspot) {
  Paragraph p = MakeParagraph({"", "Go", ""}, {JumpStart(0xE3, false), Command(kCmdHotspotEnd)});
  EXPECT_EQ(Write(p), "\\pard\\s0\\ql Go");
  ASSERT_EQ(diagnostics.warnings.size(), 2u);
  EXPECT_EQ(diagnostics.warnings[0].id, kWarnIllegalHotspot);
  EXPECT_EQ(diagnostics.warnings[1].id, kWarnHotspotEnd);
}

TEST_F(ParagraphWriterTest, Objects) {
  struct Case {
    const char* name;
    ParagraphCommand command;
    std::string rtf;
  };
  const Case cases[] = {
      {"button", Object(kCmdObjectInLine, 5, "!Click{1}"), "\\{button Click\\{1\\}\\}"},
      {"media", Object(kCmdObjectInLine, 5, "*8,3,+movie.avi"),
       "\\{mci  nomenu repeat play,movie.avi\\}"},
      {"window in line", Object(kCmdObjectInLine, 5, "w.dll,C,x"), "\\{ewc w.dll,C,x\\}"},
      {"window left", Object(kCmdObjectLeft, 5, "w.dll,C,x"), "\\{ewl w.dll,C,x\\}"},
      {"window right", Object(kCmdObjectRight, 5, "a\\b"), "\\{ewr a\\\\b\\}"},
      {"empty window", Object(kCmdObjectLeft, 5, ""), "\\{ewl \\}"},
      {"picture", Object(kCmdObjectInLine, 3), ""},
      {"stored picture", Object(kCmdObjectRight, 0x22), ""},
      {"unknown type", Object(kCmdObjectLeft, 7, "text"), ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Write(MakeParagraph({"<", ">"}, {c.command})), "\\pard\\s0\\ql <" + c.rtf + ">")
        << c.name;
  }
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(ParagraphWriterTest, ParagraphEndInTableCells) {
  struct Case {
    const char* name;
    bool in_table;
    bool before_end;
    bool last_in_cell;
    std::string rtf;
  };
  const Case cases[] = {
      {"outside a table", false, true, true, "\\pard\\s0\\ql A\\par\n"},
      {"last paragraph of a cell", true, true, true, "\\pard\\s0\\intbl\\ql A"},
      {"earlier paragraph of a cell", true, true, false, "\\pard\\s0\\intbl\\ql A\\par\n"},
      {"not before the end", true, false, true, "\\pard\\s0\\intbl\\ql A\\par\n"},
  };
  for (const Case& c : cases) {
    Paragraph p = MakeParagraph({"A", ""}, {ParagraphEnd(c.before_end)});
    EXPECT_EQ(Write(p, false, c.in_table, c.last_in_cell), Crlf(c.rtf)) << c.name;
  }
}

TEST_F(ParagraphWriterTest, TextIsEscapedAndCounted) {
  session.rtf_char_count = 0;
  Paragraph p = MakeParagraph({"a{b}\\c\xE9", "\r"}, {Command(kCmdTab)});
  EXPECT_EQ(Write(p), Crlf("\\pard\\s0\\ql a\n\\{b\\}\\\\c\\'e9\\tab (0x0d)"));
  EXPECT_EQ(session.rtf_char_count, 8u);
}

}  // namespace
}  // namespace quorvex
