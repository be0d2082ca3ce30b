// Golden tests of whole conversions: printing mode (page header, template, table of contents,
// index) and RTF output split into numbered files.
//
// The texts here are long enough for the character writer's line feeds to fall anywhere, and
// the template path depends on where the test program lies, so the expected texts pass every
// counted text through Counted(), which puts the line feeds where the writer must: after the
// character numbered 0, 64, 128, ... of the session.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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

/// Where the frame says the word-processor template is: the test program's own folder.
std::string TemplatePath() {
  return (std::filesystem::canonical("/proc/self/exe").parent_path() / "QUORVEX.DOT").string();
}

/// The frame of a printing-mode RTF file named `name`, the template line included when
/// `with_template` (PageLinks, Toc or Index).
std::string PrintFrame(std::string_view name, bool with_template, uint64_t& count) {
  std::string f = Frame();
  if (with_template) {
    const size_t stylesheet = f.size() - kStylesheet.size();
    f.insert(stylesheet, "{\\*\\template " + Counted(TemplatePath(), count) + "}");
  }
  f += std::string(kPageHeaderStart) + std::string(name) + "\\fs15\\tab " +
       Counted(kGoldenTitle, count) + std::string(kPageHeaderEnd);
  return f;
}

constexpr std::string_view kTocField =
    "{\\b\\f0\\fs40 Contents}\\par {\\field\\fldedit {\\*\\fldinst TOC \\\\f}}\\page ";
constexpr std::string_view kIndexField =
    "\\page{\\b\\f0\\fs40\\s24 Index}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h "
    "\"\\emdash A\\emdash \" \\\\c \"2\" }}}";

/// A table-of-contents entry: level 1 without, level 2 with a browse predecessor.
std::string TocEntry(std::string_view title, int level, uint64_t& count) {
  return "{\\pard\\plain\\f0\\v\\tc{" + Counted(title, count) + "}\\tcl" + std::to_string(level) +
         "}\n";
}

std::string Para(std::string_view text, uint64_t& count) {
  return "\\pard\\s0\\ql " + Counted(text, count) + "\\par\n";
}

TEST(PrintGolden, TableOfContentsIndexPageHeaderAndTemplate) {
  const std::string path = TemplatePath();
  ASSERT_EQ(path.find_first_of("\\{}"), std::string::npos) << "a path the test cannot spell";
  TopicRecords topics;
  topics.Header({"Alpha", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"one", ""})
      .Header({"Beta"}, {.browse_back = 0x48, .number = 1})
      .Paragraph(EndedParagraph(), {"two", ""});
  const ConversionOptions options = ApplyCanonicalOptions(kForPrint | kToc | kIndex);
  ASSERT_EQ(options, kNoShg | kForPrint | kToc | kIndex);
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
  ASSERT_FALSE(out.fatal) << *out.fatal;

  // The project sections go to the null sink: the only file is the RTF. No footnotes: the
  // titles become hidden TOC entries, the entry macro is not written, no warning 19.
  EXPECT_EQ(out.FileNames(), std::vector<std::string>{"TEST.RTF"});
  uint64_t count = 0;
  std::string rtf = PrintFrame("TEST.RTF", true, count);
  rtf += kTocField;
  // Each counted piece in its own statement: the count must advance in document order.
  rtf += TocEntry("Alpha", 1, count);
  rtf += Para("one", count);
  rtf += "\\par\\pard\\par\n";
  rtf += TocEntry("Beta", 2, count);
  rtf += Para("two", count);
  rtf += std::string(kIndexField) + "}";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
  EXPECT_TRUE(out.warnings.empty());
  out.ExpectWellFormed();
}

TEST(PrintGolden, PrintingWithoutTocOrIndexHasNoTemplateNoFields) {
  TopicRecords topics;
  topics.Header({"Alpha"}).Paragraph(EndedParagraph(), {"one", ""});
  const ConversionOutcome out =
      ConvertHelpBytes(GoldenHelpFile(topics), ApplyCanonicalOptions(kForPrint | kPageBreak));
  uint64_t count = 0;
  std::string rtf = PrintFrame("TEST.RTF", false, count);
  rtf += Para("one", count) + "}";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
  EXPECT_EQ(out.FileNames(), std::vector<std::string>{"TEST.RTF"});
}

/// 153 topics "Topic 1" to "Topic 153", each with an empty paragraph.
TopicRecords ManyTopics() {
  TopicRecords topics;
  for (int n = 1; n <= 153; ++n) {
    topics.Header({"Topic " + std::to_string(n)}, {.number = n})
        .Paragraph(EndedParagraph(), {"", ""});
  }
  return topics;
}

TEST(PrintGolden, SplitRtfPrinting) {
  // The base name GOLDENSAMPLE is cut to 6 characters; the first file holds 152 topics, the
  // second the last one. Both get the full frame and page header; only the first the TOC field.
  const ConversionOptions options = ApplyCanonicalOptions(kForPrint | kToc | kSplitRtf);
  const ConversionOutcome out =
      ConvertHelpBytes(GoldenHelpFile(ManyTopics()), options, "GOLDENSAMPLE.HLP");
  ASSERT_FALSE(out.fatal) << *out.fatal;
  EXPECT_EQ(out.FileNames(), (std::vector<std::string>{"GOLDEN1.RTF", "GOLDEN2.RTF"}));

  uint64_t count = 0;  // the count runs on from the first file into the second
  std::string first = PrintFrame("GOLDEN1.RTF", true, count) + std::string(kTocField);
  for (int n = 1; n <= 152; ++n) {
    if (n > 1) first += "\\par\\pard\\par\n";
    first += TocEntry("Topic " + std::to_string(n), 1, count) + "\\pard\\s0\\ql \\par\n";
  }
  first += "}";
  std::string second = PrintFrame("GOLDEN2.RTF", true, count);
  second += TocEntry("Topic 153", 1, count) + "\\pard\\s0\\ql \\par\n}";
  EXPECT_TRUE(SameBytes(out.File("GOLDEN1.RTF"), Crlf(first)));
  EXPECT_TRUE(SameBytes(out.File("GOLDEN2.RTF"), Crlf(second)));
  EXPECT_TRUE(out.warnings.empty());
  out.ExpectWellFormed();
}

TEST(PrintGolden, SplitRtfRecompilation) {
  // Recompilation mode: the project file lists both files under [Files]; no page header.
  const ConversionOptions options = ApplyCanonicalOptions(kSplitRtf);
  ASSERT_TRUE(options & kBrowseSeq);
  const ConversionOutcome out =
      ConvertHelpBytes(GoldenHelpFile(ManyTopics()), options, "GOLDENSAMPLE.HLP");
  ASSERT_FALSE(out.fatal) << *out.fatal;
  EXPECT_EQ(out.FileNames(),
            (std::vector<std::string>{"GOLDEN1.RTF", "GOLDEN2.RTF", "GOLDENSAMPLE.HPJ"}));
  EXPECT_TRUE(
      SameBytes(out.File("GOLDENSAMPLE.HPJ"), Crlf("\n[Bitmaps]\n\n[Files]\nGOLDEN1.RTF\nGOLDEN2.RTF\n")));

  // The pre-pass counts every title once before the main pass starts.
  uint64_t count = 0;
  for (int n = 1; n <= 153; ++n) Counted("Topic " + std::to_string(n), count);
  const std::string frame = Frame();
  auto topic = [&](int n) {
    return "{${\\footnote{$} " + Counted("Topic " + std::to_string(n), count) +
           "}} \n\\pard\\s0\\ql \\par\n";
  };
  std::string first = frame;
  for (int n = 1; n <= 152; ++n) first += (n > 1 ? "\\page\\pard\n" : "") + topic(n);
  first += "}";
  const std::string second = frame + topic(153) + "}";  // one counted piece: in order
  EXPECT_TRUE(SameBytes(out.File("GOLDEN1.RTF"), Crlf(first)));
  EXPECT_TRUE(SameBytes(out.File("GOLDEN2.RTF"), Crlf(second)));
  // Every topic but the last lacks a context string: 152 warnings in each pass.
  EXPECT_EQ(out.WarningIds(), std::vector<int>(2 * 152, kWarnNoContextId));
  out.ExpectWellFormed();
}

}  // namespace
}  // namespace quorvex
