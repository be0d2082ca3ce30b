#include "core/output.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/diagnostics.h"

namespace quorvex {
namespace {

class OutputDirTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = std::filesystem::temp_directory_path() /
            ("quorvex_output_" + std::to_string(::getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(root_);
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  std::string Slurp(const std::string& name) {
    std::ifstream in(root_ / name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
  }
  std::filesystem::path root_;
};

TEST_F(OutputDirTest, TextFilesGetCrLfBinaryFilesStayAsTheyAre) {
  OutputDir dir(root_);
  auto text = dir.CreateText("A.HPJ");
  ASSERT_TRUE(text);
  text->Write("[Files]\nA.RTF\n");
  text->Close();
  auto bin = dir.CreateBinary("A.BMP");
  ASSERT_TRUE(bin);
  bin->Write(std::string("B\nM\r\n", 5));
  bin->Close();
  EXPECT_EQ(Slurp("A.HPJ"), "[Files]\r\nA.RTF\r\n");
  EXPECT_EQ(Slurp("A.BMP"), std::string("B\nM\r\n", 5));
}

TEST_F(OutputDirTest, NulIsTheNullSinkAndTouchesNoDisk) {
  OutputDir dir(root_);
  for (const char* name : {"NUL", "nul", "Nul"}) {
    auto sink = dir.CreateText(name);
    ASSERT_TRUE(sink);
    EXPECT_TRUE(sink->is_null());
    sink->Write("discarded\n");
    sink->Close();
  }
  EXPECT_TRUE(std::filesystem::is_empty(root_));
}

TEST_F(OutputDirTest, NamesThatLeaveTheFolderAreRefused) {
  OutputDir dir(root_);
  for (const char* name : {"", ".", "..", "../X.BMP", "/tmp/X.BMP", "SUB\\X.BMP", "C:X.BMP",
                           "A\nB"}) {
    EXPECT_EQ(dir.CreateBinary(name), nullptr) << name;
  }
}

TEST(OutputDirNames, SafeNameKeepsOnlyAPlainFileName) {
  EXPECT_EQ(OutputDir::SafeName("LOGO.BMP"), "LOGO.BMP");
  EXPECT_EQ(OutputDir::SafeName("..\\..\\WIN.INI"), "WIN.INI");
  EXPECT_EQ(OutputDir::SafeName("/etc/passwd"), "passwd");
  EXPECT_EQ(OutputDir::SafeName("C:DATA.BIN"), "C_DATA.BIN");
  EXPECT_EQ(OutputDir::SafeName("A\x01" "B"), "A_B");
  EXPECT_EQ(OutputDir::SafeName("dir/.."), "_");
  EXPECT_EQ(OutputDir::SafeName(""), "_");
  for (const char* n : {"..\\..\\WIN.INI", "/etc/passwd", "C:DATA.BIN", "dir/..", ""})
    EXPECT_TRUE(OutputDir::IsPlainName(OutputDir::SafeName(n))) << n;
}

TEST(OutputSinkMemory, KeepsWhatIsWritten) {
  auto text = OutputSink::Memory(true);
  text->Write("a\nb");
  text->Put('\n');
  EXPECT_EQ(text->contents(), "a\r\nb\r\n");
  auto bin = OutputSink::Memory(false);
  bin->Write("a\nb");
  EXPECT_EQ(bin->contents(), "a\nb");
}

TEST(OutputSinkFailure, AFullDiskIsFatal) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  OutputDir dir("/dev");
  // /dev/full accepts the open and fails every write.
  auto sink = dir.CreateBinary("full");
  ASSERT_TRUE(sink);
  sink->Write("x");
  EXPECT_THROW(sink->Close(), FatalException);
}

}  // namespace
}  // namespace quorvex
