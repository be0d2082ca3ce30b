// The wizard's module: the program loads it (and Qt) only when it shows the wizard.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/run_program.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

TEST(WizardModule, LoadedBesideTheProgramAndNamedWhenMissing) {
  const char* binary = std::getenv("QUORVEX_BINARY");
  if (!binary) GTEST_SKIP() << "QUORVEX_BINARY is not set";
  TempFolder tmp;
  const std::vector<std::string> env = {
      "HOME=" + tmp.path().string(), "XDG_CONFIG_HOME=" + (tmp / "cfg").string(),
      "PATH=/usr/bin:/bin", "QT_QPA_PLATFORM=offscreen", "QUORVEX_NO_OPEN=1"};
  // Beside the program the module loads: the wizard comes up and waits for the user.
  const ProgramRun shown = RunProgram({binary}, env, tmp.path(), 3);
  EXPECT_TRUE(shown.timed_out) << shown.status << " " << shown.err;
  // A copy of the program alone still runs from the command line, and says which module it
  // misses when it is to show the wizard.
  fs::create_directories(tmp / "alone");
  const fs::path alone = tmp / "alone/quorvex";
  fs::copy_file(binary, alone);
  EXPECT_EQ(RunProgram({alone.string(), "--version"}, env, tmp.path(), 60).status, 0);
  const ProgramRun missing = RunProgram({alone.string()}, env, tmp.path(), 60);
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err, "quorvex: the desktop wizard cannot be loaded (" +
                             (tmp / "alone/quorvex-wizard.so").string() +
                             ").\nTo convert a help file, name the file: quorvex [-o DIR] [-v] "
                             "HELPFILE\nTry 'quorvex --help' for more information.\n");
}

}  // namespace
}  // namespace quorvex
