// The built program end to end: exit status, stdout and stderr, with HOME and XDG_CONFIG_HOME in
// a temporary folder so the real settings are never read or written.
#include <gtest/gtest.h>

#include "tests/ui/ui_test_util.h"

namespace quorvex {
namespace {

using test::EnvMap;
using test::RunQuorvex;
using test::TempDir;
using test::WriteFile;

class Binary : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest sets it; a bare run of the test program has no program to start.
    if (!std::getenv("QUORVEX_BINARY")) GTEST_SKIP() << "QUORVEX_BINARY is not set";
    env_ = {{"HOME", tmp_.path().string()},
            {"XDG_CONFIG_HOME", (tmp_ / "cfg").string()},
            {"PATH", "/usr/bin:/bin"},
            {"QUORVEX_NO_OPEN", "1"}};
  }
  test::RunResult Run(const std::vector<std::string>& args) {
    return RunQuorvex(args, env_, tmp_.path());
  }
  std::filesystem::path Ini() const { return tmp_ / "cfg/quorvex/QUORVEX.INI"; }

  TempDir tmp_;
  EnvMap env_;
};

TEST_F(Binary, HelpAndVersion) {
  auto help = Run({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.out.starts_with("Usage: quorvex [-o DIR] [-v] HELPFILE\n")) << help.out;
  EXPECT_NE(help.out.find("-o, --output DIR"), std::string::npos);
  EXPECT_NE(help.out.find(Ini().string()), std::string::npos);
  EXPECT_EQ(help.err, "");

  auto version = Run({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_TRUE(version.out.starts_with("Quorvex ")) << version.out;
  EXPECT_EQ(version.err, "");

  env_["LANG"] = "de_DE.UTF-8";
  auto german = Run({"--help"});
  EXPECT_EQ(german.status, 0);
  EXPECT_TRUE(german.out.starts_with("Aufruf: quorvex [-o ORDNER] [-v] HILFEDATEI\n"))
      << german.out;
}

TEST_F(Binary, NoArgumentShowsUsage) {
  auto r = Run({});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("Usage: quorvex")) << r.err;
}

TEST_F(Binary, MissingFile) {
  auto r = Run({(tmp_ / "NOSUCH").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Quorvex Severe Problem: Can't open File " + (tmp_ / "NOSUCH.HLP").string() + "\n");
  EXPECT_EQ(r.out, "");
  // No project file is left behind, and the settings are not written.
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "NOSUCH.HPJ"));
  EXPECT_FALSE(std::filesystem::exists(Ini()));

  // A name whose file-name part has a "." keeps it as it is; a "." in a folder does not count.
  auto dotted = Run({(tmp_ / "a.dir/NOSUCH").string()});
  EXPECT_EQ(dotted.err, "Quorvex Severe Problem: Can't open File " +
                            (tmp_ / "a.dir/NOSUCH.HLP").string() + "\n");
  auto view = Run({"-v", (tmp_ / "NOSUCH.MVB").string()});
  EXPECT_EQ(view.status, 1);
  EXPECT_EQ(view.err,
            "Quorvex Severe Problem: Can't open File " + (tmp_ / "NOSUCH.MVB").string() + "\n");
}

TEST_F(Binary, FatalCaptionInGerman) {
  WriteFile(Ini(), "[Options]\nLanguage=deu\n");
  auto r = Run({(tmp_ / "NOSUCH.HLP").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Quorvex Verarbeitungsfehler: Can't open File " +
                       (tmp_ / "NOSUCH.HLP").string() + "\n");
  EXPECT_EQ(test::ReadFile(Ini()), "[Options]\nLanguage=deu\n");
}

TEST_F(Binary, NotAHelpFile) {
  WriteFile(tmp_ / "JUNK.HLP", "This is plain text and not a help file at all.\n");
  auto r = Run({(tmp_ / "JUNK.HLP").string()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err,
            "Quorvex Severe Problem: Magic Number of HLP-File incorrect. Possibly it isn't a "
            "WinHelp-File?\n");
}

TEST_F(Binary, WrongCommandLine) {
  auto two = Run({"A.HLP", "B.HLP"});
  EXPECT_EQ(two.status, 1);
  EXPECT_TRUE(two.err.starts_with("quorvex: only one help file")) << two.err;

  WriteFile(tmp_ / "file", "x");
  auto folder = Run({"-o", (tmp_ / "file").string(), "X.HLP"});
  EXPECT_EQ(folder.status, 1);
  EXPECT_EQ(folder.err, "Quorvex Severe Problem: Can't create the output folder " +
                            (tmp_ / "file").string() + "\n");
}

TEST_F(Binary, ConvertsACorpusFileIntoTheOutputFolder) {
  const std::filesystem::path source =
      std::filesystem::path(QUORVEX_CORPUS_DIR) / "nominas-DEFAULT.HLP";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "corpus not available";
  std::filesystem::copy_file(source, tmp_ / "DEFAULT.HLP");

  auto r = Run({"-o", "out", "-v", "DEFAULT"});
  EXPECT_EQ(r.status, 2) << r.err;
  // QUORVEX_NO_OPEN keeps the desktop out of it; the program says where the result is.
  EXPECT_NE(r.err.find("The result is " + (tmp_ / "out/DEFAULT.RTF").string()), std::string::npos)
      << r.err;
  EXPECT_TRUE(std::filesystem::is_directory(tmp_ / "out"));
  EXPECT_FALSE(std::filesystem::exists(Ini()));
}

}  // namespace
}  // namespace quorvex
