// |SYSTEM: the compiler version table, the compression flag, the records and the strings.
#include "core/system_file.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

class SystemFileTest : public testing::Test {
 protected:
  /// Opens a help file whose |SYSTEM holds `system` (no |SYSTEM at all when empty).
  std::unique_ptr<HelpFile> OpenWith(std::vector<uint8_t> system, ConversionOptions options = 0) {
    HelpFileWriter w;
    if (!system.empty()) w.AddFile("|SYSTEM", std::move(system));
    w.AddFile("|TOPIC", {0});
    return OpenHelpFileFromBytes(w.Build(), "T.HLP", options, session_);
  }

  RecordingDiagnostics diag_;
  OutputDir out_{"."};
  ConversionSession session_{diag_, out_};
};

TEST_F(SystemFileTest, VersionTableAndCompressedFlag) {
  const char* const hc30 = "File Created by HC30. handling Incomplete";
  const char* const mvc = "File Created by WMVC (Media Viewer). handling Incomplete";
  const char* const hcrtf = "File Created by HCRTF (Windows NT/Windows 95). handling Incomplete";
  // The flags 4 and 8 mean LZ77, except in HC30 files; only the low byte of the minor counts.
  const std::tuple<uint16_t, uint16_t, const char*, bool> cases[] = {
      {15, 4, hc30, false},    {15, 8, hc30, false},     {21, 0, nullptr, false},
      {21, 4, nullptr, true},  {21, 8, nullptr, true},   {21, 0x0C, nullptr, true},
      {21, 2, nullptr, false}, {27, 8, mvc, true},       {33, 0, hcrtf, false},
      {33, 4, hcrtf, true},    {0x0121, 4, hcrtf, true},
  };
  for (const auto& [minor, flags, warning, compressed] : cases) {
    SCOPED_TRACE(testing::Message() << minor << "/" << flags);
    diag_.warnings.clear();
    auto hf =
        OpenWith(minor == 15 ? BuildHc30SystemFile("T", flags) : BuildSystemFile(minor, flags, {}));
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->is_hc30, warning == hc30);
    EXPECT_EQ(hf->is_hcrtf, warning == hcrtf);
    EXPECT_EQ(hf->is_media_viewer, warning == mvc);
    EXPECT_EQ(hf->compressed, compressed);
    ASSERT_EQ(diag_.warnings.size(), warning ? 1u : 0u);
    if (warning) {
      EXPECT_EQ(diag_.warnings[0].id, kWarnCompiledBy);
      EXPECT_EQ(diag_.warnings[0].text, warning);
    }
  }
  // 0x1516: the low byte, 22, is no known compiler; a |SYSTEM shorter than its header neither.
  // A probe only learns that the file does not open.
  for (std::vector<uint8_t> system :
       {BuildSystemFile(0, 0, {}), BuildSystemFile(16, 0, {}), BuildSystemFile(0x1516, 0, {}),
        std::vector<uint8_t>{0x6C, 3}}) {
    EXPECT_EQ(OpenWith(system, kProbeOnly), nullptr);
    try {
      OpenWith(system);
      ADD_FAILURE() << "opened";
    } catch (const FatalException& e) {
      EXPECT_STREQ(e.what(),
                   "This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF");
    }
  }
  // No |SYSTEM: nothing is known, nothing is warned.
  diag_.warnings.clear();
  auto hf = OpenWith({});
  ASSERT_TRUE(hf);
  EXPECT_FALSE(hf->is_hc30 || hf->is_hcrtf || hf->is_media_viewer || hf->compressed);
  EXPECT_FALSE(ReadSystemStrings(*hf).title);
  EXPECT_TRUE(ReadSystemRecords(*hf).empty());
  EXPECT_TRUE(diag_.warnings.empty());
}

TEST_F(SystemFileTest, Strings) {
  struct Case {
    const char* label;
    std::vector<uint8_t> system;
    std::optional<std::string> title, copyright, citation;
  };
  auto v4 = [](std::vector<SystemRecordSpec> records) { return BuildSystemFile(21, 0, records); };
  const std::nullopt_t none = std::nullopt;
  const Case cases[] = {
      {"all three", v4({TextRecord(1, "Title"), TextRecord(2, "(c) Me"), TextRecord(8, "Cite")}),
       "Title", "(c) Me", "Cite"},
      {"empty title", v4({TextRecord(1, "")}), none, none, none},
      {"title record without data", v4({{1, {}}}), none, none, none},
      {"two-character copyright", v4({TextRecord(2, "\xA9 ")}), none, none, none},
      {"three-character copyright", v4({TextRecord(2, "\xA9 X")}), none, "\xA9 X", none},
      {"two-character citation", v4({TextRecord(8, "ab")}), none, none, none},
      {"second title wins", v4({TextRecord(1, "One"), TextRecord(4, "M()"), TextRecord(1, "Two")}),
       "Two", none, none},
      {"empty title keeps the earlier", v4({TextRecord(1, "One"), TextRecord(1, "")}), "One", none,
       none},
      {"text up to its NUL", v4({{1, {'A', 'B', 0, 'C'}}}), "AB", none, none},
      {"text without NUL", v4({{1, {'A', 'B'}}}), "AB", none, none},
      // HC30: the title follows the header, at most 31 characters up to a line feed (kept).
      {"HC30", BuildHc30SystemFile("Using Windows"), "Using Windows", none, none},
      {"HC30, long", BuildHc30SystemFile(std::string(40, 'x')), std::string(31, 'x'), none, none},
      {"HC30, line feed", BuildHc30SystemFile("Line\nMore"), "Line\n", none, none},
      {"HC30, no NUL", BuildHc30SystemFile("NoNul", 0, false), "NoNul", none, none},
      {"HC30, empty", BuildHc30SystemFile(""), "", none, none},
      {"HC30, nothing after the header", BuildHc30SystemFile("", 0, false), none, none, none},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    auto hf = OpenWith(c.system, kProbeOnly);
    ASSERT_TRUE(hf);
    const SystemStrings s = ReadSystemStrings(*hf);
    EXPECT_EQ(s.title, c.title);
    EXPECT_EQ(s.copyright, c.copyright);
    EXPECT_EQ(s.citation, c.citation);
  }
}

TEST_F(SystemFileTest, RecordsInOrderAndACutRecordEndsTheList) {
  auto hf = OpenWith(BuildSystemFile(21, 0, {TextRecord(1, "T"), {3, {1, 2, 3, 4}}, {99, {}}}));
  auto records = ReadSystemRecords(*hf);
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[1].type, 3);
  EXPECT_EQ(std::vector<uint8_t>(records[1].data.begin(), records[1].data.end()),
            (std::vector<uint8_t>{1, 2, 3, 4}));
  EXPECT_EQ(records[2].type, 99);
  EXPECT_TRUE(diag_.warnings.empty());

  // A title record announcing 200 bytes with 5 there.
  hf = OpenWith(ByteBuilder(BuildSystemFile(21, 0, {TextRecord(2, "(c) X")}))
                    .u16(1)
                    .u16(200)
                    .text(std::string_view("Cut\0x", 5))
                    .take());
  records = ReadSystemRecords(*hf);
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[1].data.size(), 5u);
  ASSERT_EQ(diag_.warnings.size(), 1u);
  EXPECT_EQ(diag_.warnings[0].text,
            "|SYSTEM record of type 1 is cut short: 5 of 200 bytes are in the file");
  EXPECT_EQ(ReadSystemStrings(*hf).title, "Cut");
  EXPECT_EQ(diag_.warnings.size(), 1u) << "the strings are read quietly";

  // Three bytes after the last record: not even a record head.
  hf = OpenWith(ByteBuilder(BuildSystemFile(21, 0, {TextRecord(1, "T")})).u16(2).u8(0).take());
  EXPECT_EQ(ReadSystemRecords(*hf).size(), 1u);
  EXPECT_EQ(diag_.Count(kWarnSystemRecordCut), 2u);
}

}  // namespace
}  // namespace quorvex
