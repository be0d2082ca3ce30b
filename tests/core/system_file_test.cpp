// |SYSTEM: the compiler version table, the compression flag, the records and the strings, where
// the corpus does not look (it checks compiler, compression and title of HC30, HC31 and HCRTF
// files with the flags 0 and 4, and HC30 files with 8).
#include "core/system_file.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::literals;

class SystemFileTest : public testing::Test {
 protected:
  /// Opens a help file whose |SYSTEM holds `system` (no |SYSTEM at all when empty).
  std::unique_ptr<HelpFile> Open(std::vector<uint8_t> system, ConversionOptions options = 0) {
    diag_.warnings.clear();
    HelpFileWriter w;
    if (!system.empty()) w.AddFile("|SYSTEM", std::move(system));
    w.AddFile("|TOPIC", {0});
    return OpenHelpFileFromBytes(w.Build(), "T.HLP", options, session_);
  }

  std::vector<std::string> Warnings() const {
    std::vector<std::string> texts;
    for (const auto& w : diag_.warnings) texts.push_back(w.text);
    return texts;
  }

  RecordingDiagnostics diag_;
  OutputDir out_{"."};
  ConversionSession session_{diag_, out_};
};

TEST_F(SystemFileTest, VersionTableAndCompressedFlag) {
  // The flags 4 and 8 mean LZ77, except in HC30 files; only the low byte of the minor counts.
  const char* const only = "This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF";
  const std::tuple<std::vector<uint8_t>, std::string, bool> cases[] = {
      // |SYSTEM, the warning or fatal message, LZ77
      {BuildHc30SystemFile("T", 8), "File Created by HC30. handling Incomplete", false},
      {BuildSystemFile(21, 8, {}), "", true},
      {BuildSystemFile(27, 8, {}), "File Created by WMVC (Media Viewer). handling Incomplete",
       true},
      {BuildSystemFile(0x0121, 4, {}),
       "File Created by HCRTF (Windows NT/Windows 95). handling Incomplete", true},
      // Another compiler, or a |SYSTEM shorter than its header (read as zeros).
      {BuildSystemFile(16, 0, {}), only, false},
      {{0x6C, 3}, only, false},
      {{}, "", false},  // no |SYSTEM: nothing is known
  };
  for (const auto& [system, message, compressed] : cases)
    for (ConversionOptions options : {ConversionOptions(0), kProbeOnly}) {
      SCOPED_TRACE(message);
      std::string said;
      try {
        const auto hf = Open(system, options);
        // A probe only learns that a file of another compiler does not open.
        if (!hf && options == kProbeOnly && message == only) continue;
        EXPECT_EQ(hf->compressed, compressed);
        EXPECT_TRUE(ReadSystemRecords(*hf).empty());
        for (const std::string& text : Warnings()) said += text;
      } catch (const FatalException& e) {
        said = e.what();
      }
      EXPECT_EQ(said, message);
    }
}

/// |SYSTEM of HC31 with `records`, then `more` bytes.
std::vector<uint8_t> Hc31(std::vector<SystemRecordSpec> records, std::string_view more = "") {
  return ByteBuilder(BuildSystemFile(21, 0, records)).text(more).take();
}

TEST_F(SystemFileTest, Strings) {
  using Text = std::optional<std::string>;
  const std::nullopt_t none = std::nullopt;
  const auto T = TextRecord;
  // |SYSTEM, title, copyright, citation
  const std::tuple<const char*, std::vector<uint8_t>, Text, Text, Text> cases[] = {
      {"all three", Hc31({T(1, "Title"), T(2, "(c) Me"), T(8, "Cite")}), "Title", "(c) Me", "Cite"},
      {"title record without data", Hc31({{1, {}}}), none, none, none},
      // Copyright and citation of fewer than three characters are placeholders.
      {"short copyright", Hc31({T(2, "\xA9 "), T(8, "abc")}), none, none, "abc"},
      {"short citation", Hc31({T(2, "\xA9 X"), T(8, "ab")}), none, "\xA9 X", none},
      {"the last title that is not empty", Hc31({T(1, "One"), T(4, "M()"), T(1, "Two"), T(1, "")}),
       "Two", none, none},
      {"a title record cut short", Hc31({}, "\1\0\xC8\0Cut\0x"sv), "Cut", none, none},
      // HC30: the title follows the header, at most 31 characters up to a line feed (kept).
      {"HC30, long", BuildHc30SystemFile(std::string(40, 'x')), std::string(31, 'x'), none, none},
      {"HC30, line feed", BuildHc30SystemFile("Line\nMore"), "Line\n", none, none},
      {"HC30, nothing after the header", BuildHc30SystemFile("", 0, false), none, none, none},
  };
  for (const auto& [label, system, title, copyright, citation] : cases) {
    SCOPED_TRACE(label);
    auto hf = Open(system, kProbeOnly);
    ASSERT_TRUE(hf);
    diag_.warnings.clear();
    const SystemStrings s = ReadSystemStrings(*hf);
    EXPECT_EQ(std::tie(s.title, s.copyright, s.citation), std::tie(title, copyright, citation));
    EXPECT_TRUE(diag_.warnings.empty()) << "the strings are read quietly";
  }
}

TEST_F(SystemFileTest, ACutRecordEndsTheList) {
  const std::tuple<std::string_view, size_t, const char*> cases[] = {
      // After a copyright record: a title record announcing 200 bytes with 5 there, kept.
      {"\1\0\xC8\0Cut\0x"sv, 5,
       "|SYSTEM record of type 1 is cut short: 5 of 200 bytes are in the file"},
      // Three bytes: not even a record head.
      {"\2\0\0"sv, 0, "|SYSTEM record of type 2 is cut short: 3 of 4 bytes are in the file"},
  };
  for (const auto& [more, cut, warning] : cases) {
    const auto hf = Open(Hc31({TextRecord(2, "(c) X")}, more));
    const std::vector<SystemRecord> records = ReadSystemRecords(*hf);
    ASSERT_EQ(records.size(), cut ? 2u : 1u);
    EXPECT_EQ(records.back().data.size(), cut ? cut : 6u);
    EXPECT_EQ(Warnings(), std::vector<std::string>{warning});
  }
}

}  // namespace
}  // namespace quorvex
