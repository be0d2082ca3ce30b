// The output folder: text and binary files, the null device, names that must not leave the
// folder, and a disk that fills up.
#include "core/output.h"

#include <gtest/gtest.h>

#include "core/diagnostics.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

using testsupport::ReadFile;

TEST(OutputDir, FilesTheNullSinkAndNamesThatLeaveTheFolder) {
  testsupport::TempFolder root;
  OutputDir dir(root.path());
  for (const char* name : {"NUL", "nul"}) {
    auto sink = dir.CreateText(name);
    ASSERT_TRUE(sink && sink->is_null());
    sink->Write("discarded\n");
    sink->Close();
  }
  for (const char* name :
       {"", ".", "..", "../X.BMP", "/tmp/X.BMP", "SUB\\X.BMP", "C:X.BMP", "A\nB"})
    EXPECT_EQ(dir.CreateBinary(name), nullptr) << name;
  EXPECT_TRUE(std::filesystem::is_empty(root.path()));
  // Text files get CR LF, binary files stay as they are.
  auto text = dir.CreateText("A.HPJ");
  text->Write("[Files]\nA.RTF");
  text->Put('\n');
  text->Close();
  auto bin = dir.CreateBinary("A.BMP");
  bin->Write(std::string("B\nM\r\n", 5));
  bin->Close();
  EXPECT_EQ(ReadFile(root / "A.HPJ"), "[Files]\r\nA.RTF\r\n");
  EXPECT_EQ(ReadFile(root / "A.BMP"), std::string("B\nM\r\n", 5));
  const std::pair<const char*, const char*> names[] = {{"LOGO.BMP", "LOGO.BMP"},
                                                       {"..\\..\\WIN.INI", "WIN.INI"},
                                                       {"/etc/passwd", "passwd"},
                                                       {"C:DATA.BIN", "C_DATA.BIN"},
                                                       {"A\x01"
                                                        "B",
                                                        "A_B"},
                                                       {"dir/..", "_"},
                                                       {"", "_"}};
  for (const auto& [name, safe] : names) {
    EXPECT_EQ(OutputDir::SafeName(name), safe);
    EXPECT_TRUE(OutputDir::IsPlainName(safe)) << safe;
  }
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
