// |SYSTEM: the compiler version table, the compression flag, the records and the strings; and
// every corpus file opened against its manifest.
#include "core/system_file.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/container.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using testing::HasSubstr;
using testsupport::BuildHc30SystemFile;
using testsupport::BuildSystemFile;
using testsupport::ByteBuilder;
using testsupport::HelpFileWriter;
using testsupport::SystemRecordSpec;
using testsupport::TextRecord;

class SystemFileTest : public testing::Test {
 protected:
  SystemFileTest() : out_(std::filesystem::temp_directory_path()), session_(diag_, out_) {}

  /// Opens a help file whose |SYSTEM holds `system` (no |SYSTEM at all when empty).
  std::unique_ptr<HelpFile> OpenWith(std::vector<uint8_t> system, ConversionOptions options = 0) {
    HelpFileWriter w;
    if (!system.empty()) w.AddFile("|SYSTEM", std::move(system));
    w.AddFile("|TOPIC", {0});
    return OpenHelpFileFromBytes(w.Build(), "T.HLP", options, session_);
  }

  RecordingDiagnostics diag_;
  OutputDir out_;
  ConversionSession session_;
};

struct VersionCase {
  uint16_t minor;
  const char* warning;  // nullptr: none
  bool hc30, hcrtf, media_viewer;
};

TEST_F(SystemFileTest, VersionTable) {
  const VersionCase cases[] = {
      {15, "File Created by HC30. handling Incomplete", true, false, false},
      {21, nullptr, false, false, false},
      {27, "File Created by WMVC (Media Viewer). handling Incomplete", false, false, true},
      {33, "File Created by HCRTF (Windows NT/Windows 95). handling Incomplete", false, true,
       false},
      {0x0121, "File Created by HCRTF (Windows NT/Windows 95). handling Incomplete", false, true,
       false},  // only the low byte counts
  };
  for (const VersionCase& c : cases) {
    SCOPED_TRACE(c.minor);
    diag_.warnings.clear();
    auto hf = OpenWith(BuildSystemFile(c.minor, 0, {}));
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->system_header.minor, c.minor);
    EXPECT_EQ(hf->system_header.magic, 0x036C);
    EXPECT_EQ(hf->is_hc30, c.hc30);
    EXPECT_EQ(hf->is_hcrtf, c.hcrtf);
    EXPECT_EQ(hf->is_media_viewer, c.media_viewer);
    if (c.warning) {
      ASSERT_EQ(diag_.warnings.size(), 1u);
      EXPECT_EQ(diag_.warnings[0].id, kWarnCompiledBy);
      EXPECT_EQ(diag_.warnings[0].text, c.warning);
    } else {
      EXPECT_TRUE(diag_.warnings.empty());
    }
  }
}

TEST_F(SystemFileTest, UnsupportedVersionIsFatalAlsoWhenProbing) {
  // 0x1516: the low byte, 22, is no known compiler.
  for (uint16_t minor : {0, 16, 20, 0x1516}) {
    for (ConversionOptions options : {ConversionOptions(0), kProbeOnly}) {
      SCOPED_TRACE(minor);
      try {
        OpenWith(BuildSystemFile(minor, 0, {}), options);
        ADD_FAILURE() << "opened";
      } catch (const FatalException& e) {
        EXPECT_STREQ(e.what(),
                     "This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF");
      }
    }
  }
}

TEST_F(SystemFileTest, SystemShorterThanItsHeaderIsAnUnsupportedVersion) {
  EXPECT_THROW(OpenWith({0x6C, 0x03}), FatalException);
}

TEST_F(SystemFileTest, CompressedFlagRules) {
  struct {
    uint16_t minor, flags;
    bool compressed;
  } cases[] = {
      {21, 0, false}, {21, 4, true},  {21, 8, true}, {21, 0x0C, true}, {21, 2, false},
      {33, 4, true},  {33, 0, false}, {27, 8, true}, {15, 4, false},   {15, 8, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.minor << "/" << c.flags);
    std::vector<uint8_t> system =
        c.minor == 15 ? BuildHc30SystemFile("T", c.flags) : BuildSystemFile(c.minor, c.flags, {});
    auto hf = OpenWith(system, kProbeOnly);
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->compressed, c.compressed);
    EXPECT_EQ(hf->system_header.flags, c.flags);
  }
}

TEST_F(SystemFileTest, NoSystemFile) {
  auto hf = OpenWith({});
  ASSERT_TRUE(hf);
  EXPECT_FALSE(hf->slot(Slot::kSystem).present());
  EXPECT_EQ(hf->system_header.minor, 0);
  EXPECT_EQ(hf->system_header.flags, 0);
  EXPECT_FALSE(hf->is_hc30 || hf->is_hcrtf || hf->is_media_viewer || hf->compressed);
  EXPECT_TRUE(diag_.warnings.empty());
  SystemStrings s = ReadSystemStrings(*hf);
  EXPECT_FALSE(s.title || s.copyright || s.citation);
  EXPECT_TRUE(ReadSystemRecords(*hf).empty());
}

struct StringsCase {
  const char* label;
  std::vector<SystemRecordSpec> records;
  std::optional<std::string> title, copyright, citation;
};

TEST_F(SystemFileTest, Strings) {
  const StringsCase cases[] = {
      {"all three",
       {TextRecord(1, "Title"), TextRecord(2, "(c) Me"), TextRecord(8, "Cite")},
       "Title",
       "(c) Me",
       "Cite"},
      {"empty title", {TextRecord(1, "")}, std::nullopt, std::nullopt, std::nullopt},
      {"title record without data", {{1, {}}}, std::nullopt, std::nullopt, std::nullopt},
      {"two-character copyright",
       {TextRecord(2, "\xA9 ")},
       std::nullopt,
       std::nullopt,
       std::nullopt},
      {"three-character copyright",
       {TextRecord(2, "\xA9 X")},
       std::nullopt,
       "\xA9 X",
       std::nullopt},
      {"two-character citation", {TextRecord(8, "ab")}, std::nullopt, std::nullopt, std::nullopt},
      {"second title wins",
       {TextRecord(1, "One"), TextRecord(4, "Macro()"), TextRecord(1, "Two")},
       "Two",
       std::nullopt,
       std::nullopt},
      {"empty title keeps the earlier",
       {TextRecord(1, "One"), TextRecord(1, "")},
       "One",
       std::nullopt,
       std::nullopt},
      {"text up to its NUL", {{1, {'A', 'B', 0, 'C'}}}, "AB", std::nullopt, std::nullopt},
      {"text without NUL", {{1, {'A', 'B'}}}, "AB", std::nullopt, std::nullopt},
  };
  for (const StringsCase& c : cases) {
    SCOPED_TRACE(c.label);
    auto hf = OpenWith(BuildSystemFile(21, 0, c.records));
    ASSERT_TRUE(hf);
    SystemStrings s = ReadSystemStrings(*hf);
    EXPECT_EQ(s.title, c.title);
    EXPECT_EQ(s.copyright, c.copyright);
    EXPECT_EQ(s.citation, c.citation);
  }
}

TEST_F(SystemFileTest, Hc30Title) {
  struct {
    std::vector<uint8_t> system;
    std::optional<std::string> title;
  } cases[] = {
      {BuildHc30SystemFile("Using Windows"), "Using Windows"},
      {BuildHc30SystemFile(std::string(40, 'x')), std::string(31, 'x')},
      {BuildHc30SystemFile("Line\nMore"), "Line\n"},
      {BuildHc30SystemFile("NoNul", 0, false), "NoNul"},  // ends with |SYSTEM
      {BuildHc30SystemFile(""), ""},
      {BuildHc30SystemFile("", 0, false), std::nullopt},  // nothing after the header
  };
  for (const auto& c : cases) {
    auto hf = OpenWith(c.system, kProbeOnly);
    ASSERT_TRUE(hf);
    EXPECT_EQ(ReadSystemStrings(*hf).title, c.title);
    EXPECT_TRUE(ReadSystemRecords(*hf).empty());
  }
}

TEST_F(SystemFileTest, RecordsInOrderAndCutRecordEndsList) {
  auto system = BuildSystemFile(21, 0, {TextRecord(1, "T"), {3, {1, 2, 3, 4}}, {99, {}}});
  auto hf = OpenWith(system);
  ASSERT_TRUE(hf);
  auto records = ReadSystemRecords(*hf);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].type, 1);
  EXPECT_EQ(records[1].type, 3);
  EXPECT_EQ(std::vector<uint8_t>(records[1].data.begin(), records[1].data.end()),
            (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(records[2].type, 99);
  EXPECT_TRUE(diag_.warnings.empty());

  // A title record announcing 200 bytes with 5 there.
  system = ByteBuilder(BuildSystemFile(21, 0, {TextRecord(2, "(c) X")}))
               .u16(1)
               .u16(200)
               .text(std::string_view("Cut\0x", 5))
               .take();
  hf = OpenWith(system);
  ASSERT_TRUE(hf);
  records = ReadSystemRecords(*hf);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].data.size(), 5u);
  ASSERT_EQ(diag_.Count(kWarnSystemRecordCut), 1u);
  EXPECT_EQ(diag_.warnings.back().text,
            "|SYSTEM record of type 1 is cut short: 5 of 200 bytes are in the file");
  diag_.warnings.clear();
  EXPECT_EQ(ReadSystemStrings(*hf).title, "Cut");
  EXPECT_TRUE(diag_.warnings.empty());  // the strings are read quietly

  // Three bytes after the last record: not even a record head.
  hf = OpenWith(ByteBuilder(BuildSystemFile(21, 0, {TextRecord(1, "T")})).u16(2).u8(0).take());
  ASSERT_TRUE(hf);
  EXPECT_EQ(ReadSystemRecords(*hf).size(), 1u);
  EXPECT_EQ(diag_.Count(kWarnSystemRecordCut), 1u);
}

// --- The corpus: every real help file opens, and its compiler and title match the manifest.

std::vector<std::map<std::string, std::string>> ReadManifest(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::map<std::string, std::string>> rows;
  std::string line;
  std::vector<std::string> columns;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    std::string f;
    while (std::getline(ss, f, '\t')) fields.push_back(f);
    if (columns.empty()) {
      columns = fields;
      continue;
    }
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i) row[columns[i]] = fields[i];
    rows.push_back(std::move(row));
  }
  return rows;
}

std::filesystem::path CorpusDir() {
  if (const char* env = std::getenv("QUORVEX_CORPUS_DIR")) return env;
  return QUORVEX_CORPUS_DIR;
}

TEST_F(SystemFileTest, EveryCorpusFileOpensAndMatchesItsManifest) {
  const auto dir = CorpusDir();
  if (!std::filesystem::exists(dir / "MANIFEST.tsv"))
    GTEST_SKIP() << "no corpus at " << dir << " (set QUORVEX_CORPUS_DIR)";
  const auto rows = ReadManifest(dir / "MANIFEST.tsv");
  ASSERT_FALSE(rows.empty());
  const std::pair<const char*, Slot> slot_columns[] = {
      {"Phrases", Slot::kPhrases}, {"PhrIndex", Slot::kPhrIndex}, {"PhrImage", Slot::kPhrImage},
      {"CONTEXT", Slot::kContext}, {"KWBTREE", Slot::kKwBtree},   {"CTXOMAP", Slot::kCtxOMap},
      {"TOMAP", Slot::kToMap},     {"FONT", Slot::kFont}};
  for (const auto& row : rows) {
    const std::string& name = row.at("file");
    SCOPED_TRACE(name);
    for (ConversionOptions options : {kProbeOnly, ConversionOptions(0)}) {
      std::unique_ptr<HelpFile> hf;
      try {
        hf = OpenHelpFile((dir / name).string(), options, session_);
      } catch (const FatalException& e) {
        ADD_FAILURE() << "fatal: " << e.what();
        continue;
      }
      ASSERT_TRUE(hf);
      const std::string& compiler = row.at("compiler");
      std::string found = hf->is_hc30           ? "HC30"
                          : hf->is_hcrtf        ? "HCRTF"
                          : hf->is_media_viewer ? "MVC"
                                                : "HC31";
      EXPECT_EQ(found, compiler);
      EXPECT_EQ(hf->internal_files.size(), std::stoul(row.at("n_internal")));
      for (const auto& [column, slot] : slot_columns)
        EXPECT_EQ(hf->slot(slot).present(), row.at(column) != "-") << column;
      const std::string& title = row.at("title");
      if (!title.empty()) {
        EXPECT_EQ(ReadSystemStrings(*hf).title.value_or("(none)"), title);
      }
      EXPECT_EQ(hf->compressed, row.at("compressed").rfind("yes", 0) == 0);
      EXPECT_EQ(diag_.Count(kWarnFileOutside) + diag_.Count(kWarnFileTruncated) +
                    diag_.Count(kWarnDirectoryShort) + diag_.Count(kWarnFileBadSize),
                0u);
      CloseHelpFile(std::move(hf));
    }
  }
}

}  // namespace
}  // namespace quorvex
