#include "rtf/document_frame.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "rtf/paragraph_writer.h"
#include "rtf/rtf_text.h"
#include "tests/support/byte_builder.h"
#include "tests/support/font_writer.h"
#include "tests/support/help_writer.h"
#include "tests/support/rtf_check.h"

namespace quorvex {
namespace {

using testsupport::BuildFontFile;
using testsupport::NewFontDescriptor;
using testsupport::NewFontSpec;
using testsupport::OldFontDescriptor;
using testsupport::OldFontSpec;

std::string Crlf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

::testing::AssertionResult StartsWith(const std::string& text, const std::string& start) {
  if (text.compare(0, start.size(), start) == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\n" << text << "\ndoes not start with\n" << start;
}
::testing::AssertionResult EndsWith(const std::string& text, const std::string& end) {
  if (text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "\n" << text << "\ndoes not end with\n" << end;
}

/// Where the internal file's data starts in the test help file (after a file header's room).
constexpr int32_t kFontAt = 16;

std::vector<uint8_t> Old(uint8_t attributes, uint8_t size, uint8_t family, uint16_t face,
                         uint8_t r = 0, uint8_t g = 0, uint8_t b = 0) {
  OldFontSpec s;
  s.attributes = attributes;
  s.half_points = size;
  s.family = family;
  s.face = face;
  s.red = r;
  s.green = g;
  s.blue = b;
  return OldFontDescriptor(s);
}

constexpr std::string_view kPaper = "}\n \\paperw11906 ";
constexpr std::string_view kDefaultTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial}}\n{\\colortbl\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ";
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

class DocumentFrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf.session = &session;
    session.rtf_char_count = 1;
    hf.path = "/some/where/Sample.hlp";
  }
  void TearDown() override { SetLanguageOffset(0); }

  void SetFont(const std::vector<uint8_t>& font) {
    hf.bytes.assign(kFontAt, 0);
    hf.bytes.insert(hf.bytes.end(), font.begin(), font.end());
    hf.slot(Slot::kFont) = {kFontAt, static_cast<int32_t>(font.size())};
  }
  std::string FontTable() {
    auto out = OutputSink::Memory(true);
    WriteFontTable(hf, out.get());
    return out->contents();
  }
  /// A whole document around `body`, checked for well-formedness.
  std::string Document(const Paragraph* body = nullptr) {
    auto project = OutputSink::Memory(true);
    auto rtf = OutputSink::Memory(true);
    BeginRtfFile(hf, *project, *rtf, "TEST.RTF");
    if (body) WriteParagraph(hf, *rtf, *body, false);
    EndRtfFile(hf, *rtf);
    testing::RtfCheck check = testing::CheckRtf(rtf->contents());
    EXPECT_TRUE(check.ok) << check.error << "\n" << rtf->contents();
    return rtf->contents();
  }

  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
};

TEST_F(DocumentFrameTest, FaceNameWidthFollowsTheTableSize) {
  const std::vector<std::string> faces = {"Arial", "Courier New", "Times"};
  const std::vector<std::vector<uint8_t>> descriptors = {Old(0, 20, 3, 2), Old(0, 20, 3, 0),
                                                         Old(0, 20, 3, 1)};
  // 3 names of 20 bytes: descriptors at 68, (68 - 8) / 3 = 20 is not above 20.
  // 3 names of 32 bytes: descriptors at 104.
  for (size_t width : {20u, 32u}) {
    SetFont(BuildFontFile(faces, width, descriptors));
    EXPECT_EQ(hf.bytes[kFontAt + 6], 8 + 3 * width);
    EXPECT_TRUE(StartsWith(FontTable(), Crlf("{\\fonttbl{\\f0\n\\fswiss Times\\f1\n\\fswiss "
                                             "Arial\\f2\n\\fswiss Courier New}}")))
        << width;
  }
  // A name that fills its whole field has no NUL.
  SetFont(BuildFontFile({std::string(32, 'N')}, 32, {Old(0, 20, 3, 0)}));
  EXPECT_NE(FontTable().find("\\fswiss " + std::string(32, 'N') + "}}"), std::string::npos);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(DocumentFrameTest, OldDescriptorsByteExact) {
  SetFont(BuildFontFile(
      {"Arial,Helvetica", "Times New Roman", "A,B,C"}, 20,
      {Old(0, 20, 3, 0, 255, 255, 255), Old(1, 24, 2, 1, 255, 0, 0), Old(0x05, 20, 1, 2, 0, 128, 0),
       Old(0xFA, 16, 5, 0, 255, 255, 254), Old(0x02, 18, 7, 0x0100), Old(0, 8, 4, 0)}));
  EXPECT_EQ(FontTable(), Crlf("{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\froman Times New Roman"
                              "\\f2\n\\fmodern A,B\\f3\n\\fdecor Arial\\f4\n\\f  Arial"
                              "\\f5\n\\fscript Arial}}\n"
                              "{\\colortbl\n\\red0\\green0\\blue0;\n\\red255\\green0\\blue0;\n"
                              "\\red0\\green128\\blue0;\n\\red255\\green255\\blue254;\n"
                              "\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n" +
                              std::string(kPaper)));
  EXPECT_FALSE(hf.new_font_descriptors);
  EXPECT_TRUE(hf.font_styles_built);
  const FontStyleTable expected = {"\\f0\\cf0\\fs20\\b0\\i0\\ul0", "\\f1\\cf1\\fs24\\b\\i0\\ul0",
                                   "\\f2\\cf2\\fs20\\b\\i0\\ul",   "\\f3\\cf3\\fs16\\b0\\i\\ul0",
                                   "\\f4\\cf4\\fs18\\b0\\i\\ul0",  "\\f5\\cf5\\fs8\\b0\\i0\\ul0"};
  EXPECT_EQ(hf.font_styles, expected);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(DocumentFrameTest, NewDescriptors) {
  struct Case {
    NewFontSpec spec;
    std::string entry;
    std::string style;
  };
  auto spec = [](int32_t height, int32_t weight, uint32_t italic, uint8_t pitch) {
    NewFontSpec s;
    s.height = height;
    s.weight = weight;
    s.italic = italic;
    s.pitch_family = pitch;
    return s;
  };
  const Case cases[] = {
      {spec(-12, 700, 0, 0x22), "\\fmodern Arial", "\\fs24\\b\\i0\\ul0"},
      {spec(-10, 500, 0x01000000, 0x10), "\\froman Arial", "\\fs20\\b0\\i\\ul0"},
      {spec(-8, 501, 0, 0x20), "\\fswiss Arial", "\\fs16\\b\\i0\\ul0"},
      {spec(-9, 0, 0, 0x30), "\\fmodern Arial", "\\fs18\\b0\\i0\\ul0"},
      {spec(-9, 0, 0, 0x40), "\\fscript Arial", "\\fs18\\b0\\i0\\ul0"},
      {spec(-9, 0, 0, 0x50), "\\fdecor Arial", "\\fs18\\b0\\i0\\ul0"},
      {spec(-9, 0, 0, 0x00), "\\fmodern Arial", "\\fs18\\b0\\i0\\ul0"},
      // The size keeps 8 bits: 400 half points become 144.
      {spec(-200, 0, 0, 0x20), "\\fswiss Arial", "\\fs144\\b0\\i0\\ul0"},
  };
  for (const Case& c : cases) {
    hf = HelpFile();
    hf.session = &session;
    SetFont(BuildFontFile({"Arial"}, 20, {NewFontDescriptor(c.spec)}));
    EXPECT_TRUE(StartsWith(FontTable(), Crlf("{\\fonttbl{\\f0\n" + c.entry + "}}\n")));
    EXPECT_TRUE(hf.new_font_descriptors);
    ASSERT_EQ(hf.font_styles.size(), 1u);
    EXPECT_EQ(hf.font_styles[0], "\\f0\\cf0" + c.style);
  }
  NewFontSpec coloured;
  coloured.red = 1;
  coloured.green = 2;
  coloured.blue = 3;
  SetFont(BuildFontFile({"Arial"}, 20, {NewFontDescriptor(coloured)}));
  EXPECT_NE(FontTable().find("\\red1\\green2\\blue3;"), std::string::npos);
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(DocumentFrameTest, TemplateWithPageLinksTocOrIndex) {
  const std::string path = TemplatePath();
  EXPECT_TRUE(std::filesystem::path(path).is_absolute()) << path;
  EXPECT_EQ(std::filesystem::path(path).filename(), "QUORVEX.DOT");
  std::error_code ec;
  EXPECT_EQ(std::filesystem::path(path).parent_path(),
            std::filesystem::canonical("/proc/self/exe", ec).parent_path());

  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}));
  for (ConversionOptions o : {kPageLinks, kToc, kIndex, kForPrint | kToc | kIndex}) {
    hf.options = o;
    session.rtf_char_count = 5;
    auto escaped = OutputSink::Memory(true);
    WriteRtfText(hf, *escaped, path);
    session.rtf_char_count = 5;
    EXPECT_TRUE(
        EndsWith(FontTable(), Crlf(kPaper) + "{\\*\\template " + escaped->contents() + "}"));
  }
  for (ConversionOptions o : {ConversionOptions{0}, kForPrint | kJumps, kBrowseSeq | kSplitRtf}) {
    hf.options = o;
    EXPECT_EQ(FontTable().find("template"), std::string::npos);
  }
}

TEST_F(DocumentFrameTest, GermanPaperSize) {
  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}));
  SetLanguageOffset(kGermanOffset);
  EXPECT_TRUE(EndsWith(FontTable(), "}\r\n \\paperw11906\\paperh16838 "));
}

TEST_F(DocumentFrameTest, StyleTableIsBuiltOnceAndWarnedOnce) {
  SetFont(BuildFontFile({"Arial"}, 20, {Old(1, 20, 3, 0), Old(0, 20, 3, 7)}));
  WriteFontTable(hf, nullptr);
  const FontStyleTable first = hf.font_styles;
  ASSERT_EQ(first.size(), 2u);
  EXPECT_EQ(diagnostics.Count(kWarnFontFaceMissing), 1u);

  // Another |FONT later (as for every RTF file) writes its own tables but keeps the styles.
  SetFont(BuildFontFile({"Symbol"}, 20, {Old(0, 30, 2, 0)}));
  EXPECT_TRUE(StartsWith(FontTable(), Crlf("{\\fonttbl{\\f0\n\\froman Symbol}}\n")));
  EXPECT_EQ(hf.font_styles, first);
  FontTable();
  EXPECT_EQ(diagnostics.warnings.size(), 1u);
}

TEST_F(DocumentFrameTest, DamagedFontFilesStillGiveAUsableTable) {
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> font;
    std::vector<int> warnings;
    std::string tables;  // font and colour tables up to the paper size
    size_t styles;
  };
  std::vector<uint8_t> cut_header = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  cut_header.resize(6);
  std::vector<uint8_t> cut_descriptors =
      BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0), Old(0, 20, 3, 0)}, 0, 3);
  cut_descriptors.resize(cut_descriptors.size() - 3);
  std::vector<uint8_t> far_descriptors = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  testsupport::PutU16(far_descriptors, 6, 0xFFFF);
  std::vector<uint8_t> early_descriptors = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  testsupport::PutU16(early_descriptors, 6, 2);

  const std::string one_font =
      "{\\fonttbl{\\f0\n\\fswiss Arial}}\n{\\colortbl\n"
      "\\red0\\green0\\blue0;\n}\n \\paperw11906 ";
  const Case cases[] = {
      {"no |FONT", std::nullopt, {kWarnFontMissing}, std::string(kDefaultTables), 0},
      {"header cut", cut_header, {kWarnFontMissing}, std::string(kDefaultTables), 0},
      {"no descriptors",
       BuildFontFile({"Arial"}, 20, {}),
       {kWarnFontNoDescriptors},
       std::string(kDefaultTables),
       0},
      {"no face names",
       BuildFontFile({}, 20, {Old(0, 20, 3, 0)}),
       {kWarnFontFaceMissing},
       one_font,
       1},
      {"face beyond the table",
       BuildFontFile({"Arial", "Times"}, 20,
                     {Old(0, 20, 2, 1), Old(0, 20, 3, 2), Old(0, 20, 3, 9)}),
       {kWarnFontFaceMissing},
       "{\\fonttbl{\\f0\n\\froman Times\\f1\n\\fswiss Arial\\f2\n\\fswiss Arial}}\n{\\colortbl\n"
       "\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n}\n \\paperw11906 ",
       3},
      {"descriptors cut", cut_descriptors, {kWarnFontCut}, one_font, 1},
      {"descriptors beyond |FONT", far_descriptors, {kWarnFontCut}, std::string(kDefaultTables), 0},
      // Descriptors at offset 2 leave 37 bytes for one of them: the 42-byte form, none whole.
      {"descriptors inside the header",
       early_descriptors,
       {kWarnFontCut},
       std::string(kDefaultTables),
       0},
  };
  for (const Case& c : cases) {
    hf = HelpFile();
    hf.session = &session;
    diagnostics.warnings.clear();
    if (c.font) SetFont(*c.font);
    const std::string tables = FontTable();
    EXPECT_EQ(tables, Crlf(c.tables)) << c.name;
    EXPECT_EQ(hf.font_styles.size(), c.styles) << c.name;
    std::vector<int> ids;
    for (const auto& w : diagnostics.warnings) ids.push_back(w.id);
    EXPECT_EQ(ids, c.warnings) << c.name;
    Document();  // well formed, and no further warnings
    EXPECT_EQ(diagnostics.warnings.size(), c.warnings.size()) << c.name;
  }
  // The font slot pointing outside the help file reads as no |FONT.
  hf = HelpFile();
  hf.session = &session;
  diagnostics.warnings.clear();
  hf.slot(Slot::kFont) = {1000, 100};
  EXPECT_EQ(FontTable(), Crlf(kDefaultTables));
  EXPECT_EQ(diagnostics.Count(kWarnFontMissing), 1u);
}

TEST_F(DocumentFrameTest, CorruptedFontFilesNeverBreakTheDocument) {
  const std::vector<uint8_t> good =
      BuildFontFile({"Arial", "Times New Roman"}, 20,
                    {Old(1, 20, 3, 0), Old(2, 24, 2, 1), Old(4, 16, 1, 0), Old(0, 18, 5, 1)});
  std::mt19937 random(1);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> font = good;
    const int flips = 1 + static_cast<int>(random() % 4);
    for (int i = 0; i < flips; ++i) font[random() % font.size()] = static_cast<uint8_t>(random());
    if (round % 5 == 0) font.resize(random() % font.size());
    hf = HelpFile();
    hf.session = &session;
    hf.options = round % 2 ? kForPrint | kToc : 0;
    SetFont(font);
    WriteFontTable(hf, nullptr);
    EXPECT_LE(hf.font_styles.size(), 0xFFFFu);
    Document();
  }
}

TEST_F(DocumentFrameTest, RecompilationFrame) {
  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}));
  auto project = OutputSink::Memory(true);
  auto rtf = OutputSink::Memory(true);
  BeginRtfFile(hf, *project, *rtf, "SAMPLE.RTF");
  EXPECT_EQ(rtf->contents(),
            Crlf("{\\rtf1\\ansi\\deff0\\deflang1031 {\\fonttbl{\\f0\n\\fswiss Arial}}\n"
                 "{\\colortbl\n\\red0\\green0\\blue0;\n}\n \\paperw11906 " +
                 std::string(kStylesheet)));
  EXPECT_EQ(project->contents(), "SAMPLE.RTF\r\n");
  EndRtfFile(hf, *rtf);
  EXPECT_EQ(rtf->contents().back(), '}');
  EXPECT_TRUE(testing::CheckRtf(rtf->contents()).ok);
}

TEST_F(DocumentFrameTest, PrintingFrameHasThePageHeader) {
  SetFont(BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)}));
  hf.options = kForPrint;
  hf.path = "C:\\help\\My{Help}.hlp";
  for (int language : {0, kGermanOffset}) {
    SetLanguageOffset(language);
    auto project = OutputSink::Memory(true);
    auto rtf = OutputSink::Memory(true);
    BeginRtfFile(hf, *project, *rtf, "MY{HEL.RTF");
    const std::string page = language == 0 ? "Page {\\field{\\*\\fldinst page }} of "
                                             "{\\field{\\*\\fldinst numpages }}"
                                           : "Seite {\\field{\\*\\fldinst page }} von "
                                             "{\\field{\\*\\fldinst numpages }}";
    const std::string paper = language == 0 ? "\\paperw11906 " : "\\paperw11906\\paperh16838 ";
    // Without a title record the header names the help file.
    EXPECT_EQ(rtf->contents(),
              Crlf("{\\rtf1\\ansi\\deff0\\deflang1031 {\\fonttbl{\\f0\n\\fswiss Arial}}\n"
                   "{\\colortbl\n\\red0\\green0\\blue0;\n}\n " +
                   paper + std::string(kStylesheet) +
                   "{\\header\\pard\\plain\\s243\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252"
                   "\\tqr\\tx8504\\f0\\fs20\\lang1031 MY\\{HEL.RTF\\fs15\\tab My\\{Help\\}.hlp"
                   "\\fs20\\tab " +
                   page + " \\par}\n"));
    EXPECT_TRUE(project->contents().empty());
  }
}

TEST_F(DocumentFrameTest, PageHeaderTitleComesFromTheSystemFile) {
  const std::vector<uint8_t> font = BuildFontFile({"Arial"}, 20, {Old(0, 20, 3, 0)});
  const std::vector<uint8_t> system =
      testsupport::BuildSystemFile(21, 0, {testsupport::TextRecord(1, "My {Title} \xE9")});
  SetFont(font);
  const int32_t system_at = static_cast<int32_t>(hf.bytes.size());
  hf.bytes.insert(hf.bytes.end(), system.begin(), system.end());
  hf.slot(Slot::kSystem) = {system_at, static_cast<int32_t>(system.size())};
  hf.options = kForPrint;
  auto project = OutputSink::Memory(true);
  auto rtf = OutputSink::Memory(true);
  BeginRtfFile(hf, *project, *rtf, "X.RTF");
  EXPECT_TRUE(
      EndsWith(rtf->contents(),
               " X.RTF\\fs15\\tab My \\{Title\\} \\'e9\\fs20\\tab Page {\\field{\\*\\fldinst "
               "page }} of {\\field{\\*\\fldinst numpages }} \\par}\r\n"));
}

TEST_F(DocumentFrameTest, WholeDocumentIsWellFormed) {
  SetFont(BuildFontFile({"Arial", "Courier"}, 20, {Old(0, 20, 3, 0), Old(1, 24, 1, 1)}));
  for (ConversionOptions o : {ConversionOptions{0}, kForPrint | kToc | kIndex | kPageLinks}) {
    hf.options = o;
    Paragraph p;
    p.texts = {"Hello {world}", "bold", ""};
    ParagraphCommand font;
    font.code = kCmdFont;
    font.font = 1;
    ParagraphCommand end;
    end.code = kCmdParagraphEnd;
    p.commands = {font, end};
    const std::string rtf = Document(&p);
    EXPECT_NE(testing::CheckRtf(rtf).text.find("Hello {world}bold\n"), std::string::npos);
  }
}

TEST_F(DocumentFrameTest, EndRtfFileClosesTheFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("quorvex_frame_" + std::to_string(::getpid()));
  OutputDir out_dir(folder);
  std::unique_ptr<OutputSink> file = out_dir.CreateText("END.RTF");
  ASSERT_TRUE(file);
  file->Write("{\\rtf1\n");
  EndRtfFile(hf, *file);
  std::ifstream in(out_dir.PathOf("END.RTF"), std::ios::binary);
  std::stringstream read;
  read << in.rdbuf();
  EXPECT_EQ(read.str(), "{\\rtf1\r\n}");
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace quorvex
