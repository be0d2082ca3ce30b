// The output folder: text and binary files, names that must not leave the folder, links already
// in it, deletion of its own files only, the in-memory folder, and a disk that fills up.
#include "core/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/diagnostics.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

using testsupport::ReadFile;

TEST(OutputDir, UnsafeNamesAreWrittenUnderSafeNamesInside) {
  testsupport::TempFolder root;
  OutputDir dir(root.path() / "out");
  RecordingDiagnostics diagnostics;
  dir.ReportTo(&diagnostics);
  const std::pair<const char*, const char*> names[] = {{"LOGO.BMP", "LOGO.BMP"},
                                                       {"..\\..\\WIN.INI", "WIN.INI"},
                                                       {"/etc/passwd", "passwd"},
                                                       {"../x", "x"},
                                                       {"C:DATA.BIN", "C_DATA.BIN"},
                                                       {"A\x01"
                                                        "B",
                                                        "A_B"},
                                                       {"dir/..", "_"},
                                                       {"", "__2"},
                                                       {"NUL", "_NUL"},
                                                       {"con.txt", "_con.txt"},
                                                       {"LPT1", "_LPT1"},
                                                       {"COM0", "COM0"},
                                                       {"a/WIN.INI", "WIN_2.INI"}};
  for (const auto& [name, safe] : names) {
    auto sink = dir.CreateBinary(name);
    ASSERT_TRUE(sink) << name;
    EXPECT_EQ(sink->name(), safe);
    sink->Write(name);
    sink->Close();
    EXPECT_EQ(ReadFile(root / "out" / safe), name);
    EXPECT_TRUE(OutputDir::IsPlainName(safe)) << safe;
  }
  // Nothing outside the folder; one warning naming both names for each unsafe name.
  EXPECT_FALSE(std::filesystem::exists(root / "x"));
  EXPECT_EQ(diagnostics.Count(kWarnUnsafeName), std::size(names) - 2);
  EXPECT_EQ(diagnostics.warnings[0].text,
            "The name ..\\..\\WIN.INI is not a plain file name in the output folder; the file is "
            "written as WIN.INI");
}

TEST(OutputDir, TextModeLinksAndDeletion) {
  testsupport::TempFolder root;
  OutputDir dir(root.path());
  auto text = dir.CreateText("A.HPJ");
  text->Write("[Files]\nA.RTF");
  text->Put('\n');
  text->Close();
  auto bin = dir.CreateBinary("A.BMP");
  bin->Write(std::string("B\nM\r\n", 5));
  bin->Close();
  EXPECT_EQ(ReadFile(root / "A.HPJ"), "[Files]\r\nA.RTF\r\n");
  EXPECT_EQ(dir.Read("A.BMP"), std::string("B\nM\r\n", 5));
  // A link in the folder is replaced, its target (outside) left alone, a dangling one too.
  testsupport::WriteFile(root / "target", "keep");
  ASSERT_EQ(::symlink((root / "target").c_str(), (root / "L.RTF").c_str()), 0);
  ASSERT_EQ(::symlink((root / "nowhere").c_str(), (root / "D.RTF").c_str()), 0);
  for (const char* name : {"L.RTF", "D.RTF"}) {
    auto sink = dir.CreateText(name);
    sink->Write("new");
    sink->Close();
    EXPECT_FALSE(std::filesystem::is_symlink(root / name));
    EXPECT_EQ(ReadFile(root / name), "new");
  }
  EXPECT_EQ(ReadFile(root / "target"), "keep");
  EXPECT_FALSE(std::filesystem::exists(root / "nowhere"));
  // Only files this folder created are deleted or read back.
  EXPECT_FALSE(dir.Remove("target"));
  EXPECT_FALSE(dir.Read("target"));
  EXPECT_TRUE(dir.Remove("A.BMP"));
  EXPECT_FALSE(std::filesystem::exists(root / "A.BMP"));
  EXPECT_FALSE(dir.Remove("A.BMP"));
}

TEST(OutputDir, InMemory) {
  auto dir = OutputDir::InMemory();
  auto sink = dir->CreateText("A.RTF");
  sink->Write(std::string(100000, 'x') + "\n");
  sink->Close();
  EXPECT_EQ(dir->files().at("A.RTF"), std::string(100000, 'x') + "\r\n");
  EXPECT_TRUE(dir->Remove("A.RTF"));
  EXPECT_TRUE(dir->files().empty());
}

TEST(OutputDir, AFullDiskIsFatal) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  // /dev/full accepts the open and fails every write.
  auto sink = OutputDir("/dev").CreateBinary("full");
  ASSERT_TRUE(sink);
  sink->Write("x");
  EXPECT_THROW(sink->Close(), FatalException);
}

}  // namespace
}  // namespace quorvex
