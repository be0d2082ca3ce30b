#include "rtf/footnotes.h"

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

class FootnotesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf.session = &session;
    session.rtf_char_count = 1;
  }
  std::string Checked(const std::string& rtf) {
    testing::RtfCheck check = testing::CheckRtf("{\\rtf1 " + rtf + "}");
    EXPECT_TRUE(check.ok) << check.error << "\n" << rtf;
    return rtf;
  }
  std::string Footnote(std::string_view text, char mark) {
    auto out = OutputSink::Memory(true);
    WriteFootnote(hf, *out, text, mark);
    return Checked(out->contents());
  }
  std::string Title(std::string_view text, bool browse_predecessor) {
    auto out = OutputSink::Memory(true);
    WriteTitle(hf, *out, text, browse_predecessor);
    return Checked(out->contents());
  }

  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
};

TEST_F(FootnotesTest, FootnoteForms) {
  EXPECT_EQ(Footnote("Intro", '#'), "{#{\\footnote{#} Intro}} \r\n");
  EXPECT_EQ(Footnote("a;b{c}", 'K'), "{K{\\footnote{K} a;b\\{c\\}}} \r\n");
  EXPECT_EQ(Footnote(std::string_view("grp0001:1\0x", 11), '+'),
            "{+{\\footnote{+} grp0001:1}} \r\n");
  EXPECT_EQ(Footnote("", '$'), "{${\\footnote{$} }} \r\n");
  hf.options = kForPrint;
  EXPECT_EQ(Footnote("Intro", '#'), "");
  EXPECT_EQ(session.rtf_char_count, 1u + 5 + 6 + 9);
}

TEST_F(FootnotesTest, TitleAndEntryMacro) {
  struct Case {
    const char* name;
    ConversionOptions options;
    std::string text;
    bool browse_predecessor;
    std::string rtf;
  };
  using namespace std::string_literals;
  const Case cases[] = {
      {"title and macro", 0, "Introduction\0M()"s, false,
       "{${\\footnote{$} Introduction}} \n{!{\\footnote{!} M()}} \n"},
      {"only the first macro", kJumps, "T\0M1\0M2"s, true,
       "{${\\footnote{$} T}} \n{!{\\footnote{!} M1}} \n"},
      {"empty title with macro", 0, "\0M()"s, false, "{!{\\footnote{!} M()}} \n"},
      {"title without NUL", 0, "Title"s, false, "{${\\footnote{$} Title}} \n"},
      {"title and NUL", 0, "Title\0"s, false, "{${\\footnote{$} Title}} \n"},
      {"empty macro", 0, "Title\0\0M()"s, false, "{${\\footnote{$} Title}} \n"},
      {"nothing", 0, ""s, false, ""},
      {"only NULs", 0, "\0\0"s, false, ""},
      {"contents entry level 1", kForPrint | kToc, "Intro {1}\0M()"s, false,
       "{\\pard\\plain\\f0\\v\\tc{Intro \\{1\\}}\\tcl1}\n"},
      {"contents entry level 2", kForPrint | kToc, "Intro\0M()"s, true,
       "{\\pard\\plain\\f0\\v\\tc{Intro}\\tcl2}\n"},
      {"printing without contents", kForPrint | kIndex, "Intro\0M()"s, true, ""},
      {"contents entry of an empty title", kForPrint | kToc, "\0M()"s, false, ""},
  };
  for (const Case& c : cases) {
    hf.options = c.options;
    EXPECT_EQ(Title(c.text, c.browse_predecessor), Crlf(c.rtf)) << c.name;
  }
}

}  // namespace
}  // namespace quorvex
