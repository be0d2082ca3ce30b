// The output folder: names that must not leave the folder, deletion of its own files only, a
// disk that fills up. (The golden conversions check text and binary files byte for byte; the
// hostile output folder test replaces planted links.)
#include "core/output.h"

#include <gtest/gtest.h>

#include "core/diagnostics.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;

TEST(OutputDir, UnsafeNamesAreWrittenUnderSafeNamesInside) {
  TempFolder root;
  OutputDir dir(root.path() / "out");
  RecordingDiagnostics diagnostics;
  dir.ReportTo(&diagnostics);
  // Pairs of a name and the name the file gets.
  const char* const names[] = {
      "LOGO.BMP",   "LOGO.BMP",   "..\\..\\WIN.INI", "WIN.INI",  "../x",   "x",
      "C:DATA.BIN", "C_DATA.BIN", "A\001B",          "A_B",      "dir/..", "_",
      "",           "__2",        "con.txt",         "_con.txt", "LPT1",   "_LPT1",
      "COM0",       "COM0",       "a/WIN.INI",       "WIN_2.INI"};
  for (size_t i = 0; i < std::size(names); i += 2) {
    const char *name = names[i], *safe = names[i + 1];
    auto sink = dir.CreateBinary(name);
    ASSERT_TRUE(sink) << name;
    EXPECT_EQ(sink->name(), safe);
    sink->Write(name);
    sink->Close();
    EXPECT_EQ(ReadFile(root / "out" / safe), name);
    EXPECT_TRUE(OutputDir::IsPlainName(safe)) << safe;
  }
  // Nothing outside the folder; one warning naming both names for each unsafe name.
  EXPECT_FALSE(fs::exists(root / "x"));
  EXPECT_EQ(diagnostics.Count(kWarnUnsafeName), std::size(names) / 2 - 2);
  EXPECT_EQ(diagnostics.warnings[0].text,
            "The name ..\\..\\WIN.INI is not a plain file name in the output folder; the file is "
            "written as WIN.INI");
}

TEST(OutputDir, DeletionAndAFullDisk) {
  TempFolder root;
  OutputDir dir(root.path());
  dir.CreateBinary("A.BMP")->Close();
  WriteFile(root / "target", "keep");
  // Only files this folder created are deleted or read back.
  EXPECT_FALSE(dir.Remove("target") || dir.Read("target"));
  EXPECT_TRUE(dir.Remove("A.BMP"));
  EXPECT_FALSE(fs::exists(root / "A.BMP") || dir.Remove("A.BMP"));
  // /dev/full accepts the open and fails every write.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  auto full = OutputDir("/dev").CreateBinary("full");
  ASSERT_TRUE(full);
  full->Write("x");
  EXPECT_THROW(full->Close(), FatalException);
}

}  // namespace
}  // namespace quorvex
