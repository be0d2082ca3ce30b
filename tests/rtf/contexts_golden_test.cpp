// Golden tests of whole conversions: a topic's identity (context, title, entry macro, K and A
// keywords) in recompilation and printing mode, and every form of jump and popup hotspot with
// and without Jumps and PageLinks.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/strings.h"
#include "tests/support/context_writer.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

// ContextHash("intro") and ContextHash("third"); made-up names spell them back.
constexpr uint32_t kIntro = 87923292, kThird = 125032711;

/// A help file whose topics are `topics`, with |CONTEXT and both keyword tables.
std::vector<uint8_t> HelpFileWithTables(const TopicRecords& topics) {
  // In hash order; a hash of 0 is never a topic's context.
  const std::vector<uint8_t> contexts = BuildContextFile({{0, 7}, {kIntro, 0}, {kThird, 14}});
  // "gamma" points inside the record of the second topic (offsets 7 to 13), the others at the
  // starts of records; the first topic's record starts at offset 0.
  const KeywordFiles k =
      BuildKeywordFiles({{"alpha", {0}}, {"beta", {0}}, {"delta", {14}}, {"gamma", {11}}});
  const KeywordFiles a = BuildKeywordFiles({{"ax", {0}}});
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|FONT", OldStyleFontFile()},
                           {"|TOPIC", topics.Build()},
                           {"|CONTEXT", contexts},
                           {"|KWBTREE", k.btree},
                           {"|KWDATA", k.data},
                           {"|AWBTREE", a.btree},
                           {"|AWDATA", a.data}});
}

/// Three topics: TopicOffsets 0-6, 7-13 (no context) and 14-18.
TopicRecords ThreeTopics() {
  TopicRecords topics;
  topics.Header({"Intro", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"Hello", ""})
      .Header({"Second"}, {.number = 1})
      .Paragraph(EndedParagraph(), {"World", ""})
      .Header({"Third"}, {.browse_back = 0, .number = 2})
      .Paragraph(EndedParagraph(), {"End", ""});
  return topics;
}

/// `text` as the character writer puts it after `count` characters of the session: a line feed
/// after the characters numbered 0, 64, 128, ...
std::string Counted(std::string_view text, uint64_t& count) {
  std::string out;
  for (char c : text) {
    out += c;
    if (count++ % 64 == 0) out += '\n';
  }
  return out;
}

TEST(ContextsGolden, TopicIdentityInBothModes) {
  const std::vector<uint8_t> help = HelpFileWithTables(ThreeTopics());
  const ConversionOutcome rec = ConvertHelpBytes(help, kRecompileOnePass);
  const std::string rtf =
      Frame() + Footnote('$', "I\nntro") + Footnote('!', "M()") + Footnote('#', "intro") +
      Footnote('K', "alpha;beta") + Footnote('A', "ax") + Para("Hello\\par\n") +
      std::string(kPageSeparator) + Footnote('$', "Second") + Footnote('K', "gamma") +
      Para("World\\par\n") + std::string(kPageSeparator) + Footnote('$', "Third") +
      Footnote('#', "third") + Footnote('K', "delta") + Para("End\\par\n") + "}";
  EXPECT_TRUE(SameBytes(rec.File("TEST.RTF"), Crlf(rtf)));
  ASSERT_EQ(rec.WarningIds(), std::vector<int>{kWarnNoContextId});
  EXPECT_EQ(rec.warnings[0].text, "Topic #1 does not have a Context Id");
  rec.ExpectWellFormed();

  // Printing: bookmarks named in hexadecimal, TOC entries, one index entry per keyword, no A
  // keywords and no entry macro.
  const ConversionOutcome print = ConvertHelpBytes(help, kForPrint | kToc | kIndex | kPageLinks);
  const std::string template_path =
      (std::filesystem::canonical("/proc/self/exe").parent_path() / "QUORVEX.DOT").string();
  uint64_t count = template_path.size() + std::string_view(kGoldenTitle).size();
  auto toc = [&](std::string_view title, int level) {
    return "{\\pard\\plain\\f0\\v\\tc{" + Counted(title, count) + "}\\tcl" + std::to_string(level) +
           "}\n";
  };
  auto xe = [&](std::string_view keyword) {
    return "{\\pard\\plain\\v\\xe {" + Counted(keyword, count) + "}}\n";
  };
  auto para = [&](std::string_view text) { return Para(Counted(text, count) + "\\par\n"); };
  std::string body = toc("Intro", 1);
  body += "{\\*\\bkmkstart B0x053D9A5C}{\\*\\bkmkend B0x053D9A5C}" + xe("alpha");
  body += xe("beta");
  // One counted piece per statement: the operands of + are evaluated in no fixed order.
  body += para("Hello") + std::string(kParSeparator);
  body += toc("Second", 1);
  body += xe("gamma");
  body += para("World") + std::string(kParSeparator);
  body += toc("Third", 2);
  body += "{\\*\\bkmkstart B0x0773D907}{\\*\\bkmkend B0x0773D907}" + xe("delta");
  body += para("End");
  const std::string out = print.File("TEST.RTF");
  const size_t start = out.find("TOC \\\\f}}\\page ") + 15;
  EXPECT_TRUE(SameBytes(out.substr(start, Crlf(body).size()), Crlf(body)));
  EXPECT_TRUE(print.warnings.empty());
  print.ExpectWellFormed();
}

TEST(ContextsGolden, HotspotFormsWithAndWithoutJumpsAndPageLinks) {
  const std::string page = "{\\v0  \xBBPage \\field{\\*\\fldinst PAGEREF B0x053D9A5C}}";
  struct Case {
    const char* name;
    ParagraphBuilder hotspot;
    ConversionOptions options;
    std::string before, hidden;  // around the hotspot text "Go"
    std::vector<int> warnings = {};
  };
  auto ext = [](uint8_t code, std::optional<uint8_t> window, std::optional<std::string> name,
                std::optional<std::string> file) {
    return std::move(ParagraphBuilder().JumpExtended(code, kIntro, window, name, file));
  };
  const ConversionOptions print = kForPrint;
  const Case cases[] = {
      {"jump", ParagraphBuilder().JumpShort(0xE3, kIntro), kRecompileOnePass, "\\strike ", "intro"},
      {"popup", ParagraphBuilder().JumpShort(0xE0, kIntro), kRecompileOnePass, "\\ul ", "intro"},
      {"jump keeping the font", ParagraphBuilder().JumpShort(0xE7, kIntro), kRecompileOnePass,
       "\\strike ", "%intro"},
      {"popup to a window and a file", ext(0xEE, 0xFF, "proc", "other.hlp"), kRecompileOnePass,
       "\\ul ", "%intro>main>proc@other.hlp"},
      {"window name with braces", ext(0xEA, std::nullopt, "a{b}", std::nullopt), kRecompileOnePass,
       "\\ul ", "intro>a\\{b\\}"},
      {"window number not defined",
       ext(0xEB, 3, std::nullopt, std::nullopt),
       kRecompileOnePass,
       "\\strike ",
       "intro",
       {kWarnIllegalWindow}},
      {"printing, Jumps and PageLinks", ParagraphBuilder().JumpShort(0xE1, kIntro),
       print | kJumps | kPageLinks, "\\strike ", "0x053D9A5C" + page},
      {"printing, PageLinks", ParagraphBuilder().JumpShort(0xE1, kIntro), print | kPageLinks, "",
       page},
      {"printing, PageLinks, extended", ext(0xEB, 0xFF, std::nullopt, std::nullopt),
       print | kPageLinks, "", ""},
      {"printing, Jumps", ParagraphBuilder().JumpShort(0xE2, kIntro), print | kJumps, "\\ul ",
       "intro"},
      {"printing", ParagraphBuilder().JumpShort(0xE3, kIntro), print, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ParagraphBuilder paragraph = c.hotspot;
    paragraph.Command(0x89).Command(0x82);
    TopicRecords topics;
    topics.Header({"T"}).Paragraph(paragraph, {"", "Go", "", ""});
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), c.options);
    const std::string rtf = out.File("TEST.RTF");
    const std::string para = Crlf(Para(c.before + "Go\\strike0\\ul0{\\v " + c.hidden + "}\\par\n"));
    EXPECT_NE(rtf.find(para), std::string::npos) << para << "\n" << rtf;
    EXPECT_EQ(out.WarningIds(), c.warnings);
    out.ExpectWellFormed();
  }
}

}  // namespace
}  // namespace quorvex
