// Golden tests of whole conversions: a topic's identity (context, title, entry macro, K and A
// keywords) in recompilation and printing mode, printing mode itself (page header, template,
// table of contents, bookmarks, index) and RTF output split into numbered files.
//
// The texts here are long enough for the character writer's line feeds to fall anywhere, and
// the template path depends on where the test program lies, so the expected texts pass every
// counted text through Counted(), which puts the line feeds where the writer must: after the
// character numbered 0, 64, 128, ... of the session. One counted piece per statement: the
// operands of + are evaluated in no fixed order.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/strings.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// The writer's output for `text` (characters that need no escape) when `count` characters of
/// the session came before it; advances `count`.
std::string Counted(std::string_view text, uint64_t& count) {
  std::string out;
  for (char c : text) {
    out += c;
    if (count++ % 64 == 0) out += '\n';
  }
  return out;
}

/// The frame of a printing-mode RTF file named `name` with the template line (PageLinks, Toc or
/// Index: the test program's own folder).
std::string PrintFrame(std::string_view name, uint64_t& count) {
  std::string f = Frame();
  const std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe");
  const std::string path = (exe.parent_path() / "QUORVEX.DOT").string();
  EXPECT_EQ(path.find_first_of("\\{}"), std::string::npos) << "a path the test cannot spell";
  f.insert(f.size() - kStylesheet.size(), "{\\*\\template " + Counted(path, count) + "}");
  f += std::string(kPageHeaderStart) + std::string(name) + "\\fs15\\tab ";
  f += Counted(kGoldenTitle, count) + std::string(kPageHeaderEnd);
  return f;
}

/// The contents field with its result: the titles with their level's style (s25, s26\li200).
std::string TocField(const std::vector<std::pair<std::string, int>>& titles) {
  std::string f =
      "{\\b\\f0\\fs40 Contents}\\par {\\field\\fldedit {\\*\\fldinst TOC \\\\f}{\\fldrslt ";
  for (const auto& [title, level] : titles)
    f += (level == 1 ? "\\pard\\plain\\s25\\b " : "\\pard\\plain\\s26\\li200 ") + title + "\\par\n";
  return f + "}}\\page ";
}
/// The index field with its result: each keyword and the title of its topic.
std::string IndexField(const std::vector<std::pair<std::string, std::string>>& entries) {
  std::string f =
      "\\page{\\b\\f0\\fs40\\s24 Index}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h "
      "\"\\emdash A\\emdash \" \\\\c \"2\" }}{\\fldrslt ";
  for (const auto& [keyword, title] : entries)
    f += "\\pard\\plain\\s15 " + keyword + "\\tab " + title + "\\par\n";
  return f + "}}";
}

/// A table-of-contents entry: level 1 without, level 2 with a browse predecessor.
std::string TocEntry(std::string_view title, int level, uint64_t& count) {
  return "{\\pard\\plain\\f0\\v\\tc{" + Counted(title, count) + "}\\tcl" + std::to_string(level) +
         "}\n";
}
std::string IndexEntry(std::string_view keyword, uint64_t& count) {
  return "{\\pard\\plain\\v\\xe {" + Counted(keyword, count) + "}}\n";
}
std::string Para(std::string_view text, uint64_t& count) {
  return "\\pard\\s0\\ql " + Counted(text, count) + "\\par\n";
}

TEST(PrintGolden, TopicIdentityInBothModes) {
  // ContextHash("intro") and ContextHash("third"), in hash order; a hash of 0 is never a
  // topic's context. The topics cover TopicOffsets 0-6, 7-13 (no context) and 14-18; "gamma"
  // points inside the second topic's record, the other keywords at the starts of records.
  constexpr uint32_t kIntro = 87923292, kThird = 125032711;
  TopicRecords topics;
  topics.Header({"Intro", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"Hello", ""})
      .Header({"Second"}, {.number = 1})
      .Paragraph(EndedParagraph(), {"World", ""})
      .Header({"Third"}, {.browse_back = 0, .number = 2})
      .Paragraph(EndedParagraph(), {"End", ""});
  const KeywordFiles k =
      BuildKeywordFiles({{"alpha", {0}}, {"beta", {0}}, {"delta", {14}}, {"gamma", {11}}});
  const KeywordFiles a = BuildKeywordFiles({{"ax", {0}}});
  const std::vector<uint8_t> help =
      AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                        {"|FONT", OldStyleFontFile()},
                        {"|TOPIC", topics.Build()},
                        {"|CONTEXT", BuildContextFile({{0, 7}, {kIntro, 0}, {kThird, 14}})},
                        {"|KWBTREE", k.btree},
                        {"|KWDATA", k.data},
                        {"|AWBTREE", a.btree},
                        {"|AWDATA", a.data}});
  const ConversionOutcome rec = ConvertHelpBytes(help, kRecompileOnePass);
  const std::string rtf =
      Frame() + Footnote('$', "I\nntro") + Footnote('!', "M()") + Footnote('#', "intro") +
      Footnote('K', "alpha;beta") + Footnote('A', "ax") + testsupport::Para("Hello\\par\n") +
      std::string(kPageSeparator) + Footnote('$', "Second") + Footnote('K', "gamma") +
      testsupport::Para("World\\par\n") + std::string(kPageSeparator) + Footnote('$', "Third") +
      Footnote('#', "third") + Footnote('K', "delta") + testsupport::Para("End\\par\n") + "}";
  EXPECT_TRUE(SameBytes(rec.File("TEST.RTF"), Crlf(rtf)));
  ASSERT_EQ(rec.WarningIds(), std::vector<int>{kWarnNoContextId});
  EXPECT_EQ(rec.warnings[0].text, "Topic #1 does not have a Context Id");

  // Printing: bookmarks named in hexadecimal, TOC entries, one index entry per keyword, no A
  // keywords, no entry macro, the project file into the null sink.
  const ConversionOutcome print = ConvertHelpBytes(help, kForPrint | kToc | kIndex | kPageLinks);
  EXPECT_EQ(print.FileNames(), std::vector<std::string>{"TEST.RTF"});
  uint64_t count = 0;
  std::string expected =
      PrintFrame("TEST.RTF", count) + TocField({{"Intro", 1}, {"Second", 1}, {"Third", 2}});
  expected += TocEntry("Intro", 1, count);
  expected += "{\\*\\bkmkstart B0x053D9A5C}{\\*\\bkmkend B0x053D9A5C}" + IndexEntry("alpha", count);
  expected += IndexEntry("beta", count);
  expected += Para("Hello", count) + std::string(kParSeparator);
  expected += TocEntry("Second", 1, count);
  expected += IndexEntry("gamma", count);
  expected += Para("World", count) + std::string(kParSeparator);
  expected += TocEntry("Third", 2, count);
  expected += "{\\*\\bkmkstart B0x0773D907}{\\*\\bkmkend B0x0773D907}" + IndexEntry("delta", count);
  expected +=
      Para("End", count) +
      IndexField({{"alpha", "Intro"}, {"beta", "Intro"}, {"delta", "Third"}, {"gamma", "Second"}}) +
      "}";
  EXPECT_TRUE(SameBytes(print.File("TEST.RTF"), Crlf(expected)));
  EXPECT_TRUE(print.warnings.empty());
  print.ExpectWellFormed();
}

TEST(PrintGolden, SplitRtfInBothModes) {
  // 153 topics "Topic 1" to "Topic 153", each with an empty paragraph; the base name
  // GOLDENSAMPLE is cut to 6 characters; the first file holds 152 topics, the second the last.
  TopicRecords topics;
  for (int n = 1; n <= 153; ++n) {
    topics.Header({"Topic " + std::to_string(n)}, {.number = n})
        .Paragraph(EndedParagraph(), {"", ""});
  }
  const std::string empty = "\\pard\\s0\\ql \\par\n";
  // Printing: both files get the full frame and page header; only the first the TOC field.
  // The count runs on from the first file into the second.
  const ConversionOutcome print =
      ConvertHelpBytes(GoldenHelpFile(topics), ApplyCanonicalOptions(kForPrint | kToc | kSplitRtf),
                       "GOLDENSAMPLE.HLP");
  EXPECT_EQ(print.FileNames(), (std::vector<std::string>{"GOLDEN1.RTF", "GOLDEN2.RTF"}));
  uint64_t count = 0;
  std::vector<std::pair<std::string, int>> titles;
  for (int n = 1; n <= 153; ++n) titles.emplace_back("Topic " + std::to_string(n), 1);
  std::string first = PrintFrame("GOLDEN1.RTF", count) + TocField(titles);
  for (int n = 1; n <= 152; ++n) {
    if (n > 1) first += kParSeparator;
    first += TocEntry("Topic " + std::to_string(n), 1, count) + empty;
  }
  std::string second = PrintFrame("GOLDEN2.RTF", count);
  second += TocEntry("Topic 153", 1, count) + empty;
  EXPECT_TRUE(SameBytes(print.File("GOLDEN1.RTF"), Crlf(first + "}")));
  EXPECT_TRUE(SameBytes(print.File("GOLDEN2.RTF"), Crlf(second + "}")));
  EXPECT_TRUE(print.warnings.empty());
  print.ExpectWellFormed();

  // Recompilation: the project file lists both files; the second starts with its first topic.
  const ConversionOutcome rec = ConvertHelpBytes(
      GoldenHelpFile(topics), ApplyCanonicalOptions(kSplitRtf), "GOLDENSAMPLE.HLP");
  EXPECT_TRUE(SameBytes(rec.File("GOLDENSAMPLE.HPJ"), ProjectFile({"GOLDEN1.RTF", "GOLDEN2.RTF"})));
  count = 0;
  for (int n = 1; n <= 153; ++n) Counted("Topic " + std::to_string(n), count);
  auto topic = [&](int n) {
    return "{${\\footnote{$} " + Counted("Topic " + std::to_string(n), count) + "}} \n" + empty;
  };
  first = Frame();
  for (int n = 1; n <= 152; ++n) first += (n > 1 ? std::string(kPageSeparator) : "") + topic(n);
  second = Frame() + topic(153);  // one counted piece: in order
  EXPECT_TRUE(SameBytes(rec.File("GOLDEN1.RTF"), Crlf(first + "}")));
  EXPECT_TRUE(SameBytes(rec.File("GOLDEN2.RTF"), Crlf(second + "}")));
  // Every topic but the last lacks a context string: 152 warnings in each pass.
  EXPECT_EQ(rec.WarningIds(), std::vector<int>(2 * 152, kWarnNoContextId));
  rec.ExpectWellFormed();
}

}  // namespace
}  // namespace quorvex
