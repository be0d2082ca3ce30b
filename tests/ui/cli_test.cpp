// The command line: the built program end to end (exit status, stdout, stderr; HOME and
// XDG_CONFIG_HOME in a temporary folder so the real settings are never read or written), and
// in-process the argument splitting, the options of a command-line run, the derived names, the
// desktop opener and the exceptions that reach the entry.
#include "ui/cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sstream>

#include "core/driver.h"
#include "core/strings.h"
#include "tests/ui/ui_test_util.h"
#include "ui/ui_strings.h"

namespace quorvex {
namespace {

using namespace test;

class Binary : public ::testing::Test {
 protected:
  void SetUp() override {
    // ctest sets it; a bare run of the test program has no program to start.
    if (!std::getenv("QUORVEX_BINARY")) GTEST_SKIP() << "QUORVEX_BINARY is not set";
  }
  ProgramRun Run(const std::vector<std::string>& args) {
    return RunQuorvex(args, env_, tmp_.path());
  }
  std::string Path(const char* name) const { return (tmp_ / name).string(); }
  std::string Severe(const std::string& text) const {
    return "Quorvex Severe Problem: " + text + "\n";
  }

  TempFolder tmp_;
  const std::filesystem::path ini_ = tmp_ / "cfg/quorvex/QUORVEX.INI";
  EnvMap env_ = {{"HOME", tmp_.path().string()},
                 {"XDG_CONFIG_HOME", (tmp_ / "cfg").string()},
                 {"PATH", "/usr/bin:/bin"},
                 {"QUORVEX_NO_OPEN", "1"}};
};

TEST_F(Binary, ExitStatusesAndMessages) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out_start, err;  // the start of stdout, all of stderr ("*..." a start of it)
  };
  WriteFile(tmp_ / "JUNK.HLP", "This is plain text and not a help file at all.\n");
  WriteFile(tmp_ / "file", "x");
  const std::string not_help = "Possibly it isn't a WinHelp-File?";
  const Case cases[] = {
      {{"--help"}, 0, "Usage: quorvex [-o DIR] [-v] [-r] [-j N] [--codepage N] HELPFILE...\n", ""},
      {{"--version"}, 0, "Quorvex ", ""},
      // No display for the wizard: the command-line form instead.
      {{}, 2, "", "*quorvex: there is no display for the desktop wizard"},
      // ".HLP" is appended to a file name without "."; a "." in a folder does not count.
      {{Path("NOSUCH")}, 1, "", Severe("Can't open File " + Path("NOSUCH.HLP"))},
      {{Path("a.dir/NOSUCH")}, 1, "", Severe("Can't open File " + Path("a.dir/NOSUCH.HLP"))},
      {{"-v", Path("NOSUCH.MVB")}, 1, "", Severe("Can't open File " + Path("NOSUCH.MVB"))},
      {{Path("JUNK.HLP")}, 1, "", Severe("Magic Number of HLP-File incorrect. " + not_help)},
      // Several files: each on its own; one line each and a total.
      {{"A.HLP", "B.HLP"},
       1,
       "",
       "A: failed: Can't open File A.HLP\nB: failed: Can't open File B.HLP\n"
       "2 help files: 0 converted, 0 with warnings, 2 failed\n"},
      {{"-x", "A.HLP"},
       1,
       "",
       "quorvex: unknown option -x\nTry 'quorvex --help' for more information.\n"},
      {{"-o", Path("file"), "X.HLP"},
       1,
       "",
       Severe("Can't create the output folder " + Path("file"))},
  };
  for (const Case& c : cases) {
    const ProgramRun r = Run(c.args);
    const std::string name = c.args.empty() ? "(none)" : c.args.back();
    EXPECT_EQ(r.status, c.status) << name;
    EXPECT_TRUE(r.out.starts_with(c.out_start)) << name << ": " << r.out;
    if (c.err.starts_with("*")) {
      EXPECT_TRUE(r.err.starts_with(c.err.substr(1))) << name << ": " << r.err;
    } else {
      EXPECT_EQ(r.err, c.err) << name;
    }
  }
  const std::string usage = Run({"--help"}).out;
  EXPECT_NE(usage.find("-o, --output DIR"), std::string::npos);
  EXPECT_NE(usage.find(ini_.string()), std::string::npos);
  // No project file is left behind, and the settings are not written.
  EXPECT_FALSE(std::filesystem::exists(tmp_ / "NOSUCH.HPJ"));
  EXPECT_FALSE(std::filesystem::exists(ini_));
}

TEST_F(Binary, German) {
  env_["LANG"] = "de_DE.UTF-8";
  EXPECT_TRUE(Run({"--help"}).out.starts_with("Aufruf: quorvex [-o ORDNER] [-v] [-r]"));
  env_.erase("LANG");
  WriteFile(ini_, "[Options]\nLanguage=deu\n");
  const ProgramRun r = Run({Path("NOSUCH.HLP")});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Quorvex Verarbeitungsfehler: Kann die Datei " + Path("NOSUCH.HLP") +
                       " nicht öffnen\n");
  EXPECT_EQ(ReadFile(ini_), "[Options]\nLanguage=deu\n");
}

TEST_F(Binary, ConvertsACorpusFileIntoTheOutputFolder) {
  const auto source = std::filesystem::path(QUORVEX_CORPUS_DIR) / "nominas-DEFAULT.HLP";
  if (!std::filesystem::exists(source)) GTEST_SKIP() << "corpus not available";
  std::filesystem::copy_file(source, tmp_ / "DEFAULT.HLP");
  const ProgramRun r = Run({"-o", "out", "-v", "DEFAULT"});
  EXPECT_EQ(r.status, 2) << r.err;
  // QUORVEX_NO_OPEN keeps the desktop out of it; the program says where the result is.
  EXPECT_NE(r.err.find("The result is " + Path("out/DEFAULT.RTF")), std::string::npos) << r.err;
  EXPECT_FALSE(std::filesystem::exists(ini_));
}

/// Every file below `root`, by relative path, with its bytes.
std::map<std::string, std::string> Tree(const std::filesystem::path& root) {
  std::map<std::string, std::string> files;
  for (const auto& e : std::filesystem::recursive_directory_iterator(root))
    if (e.is_regular_file()) files[e.path().lexically_relative(root).string()] = ReadFile(e.path());
  return files;
}

TEST_F(Binary, ManyFilesInFoldersOneAtATimeOrFourAtATime) {
  const std::filesystem::path corpus = QUORVEX_CORPUS_DIR;
  const char* names[] = {"ddablib-PJAbout.hlp", "win30tandy-REVERSI.HLP", "nominas-DEFAULT.HLP"};
  for (const char* n : names)
    if (!std::filesystem::exists(corpus / n)) GTEST_SKIP() << "corpus not available";
  // Two files of one name in two folders, a damaged file and one that is no help file.
  std::filesystem::create_directories(tmp_ / "in/sub");
  for (const char* n : names) std::filesystem::copy_file(corpus / n, tmp_ / "in/sub" / n);
  std::filesystem::copy_file(corpus / names[0], tmp_ / "in/ddablib-PJAbout.HLP");
  std::string damaged = ReadFile(corpus / names[2]);
  damaged.resize(damaged.size() / 3);
  WriteFile(tmp_ / "in/sub/cut.hlp", damaged);
  WriteFile(tmp_ / "in/JUNK.HLP", "not a help file");
  const ProgramRun one = Run({"-r", "-j", "1", "-o", "one", "in"});
  const ProgramRun four = Run({"-r", "-j", "4", "-o", "four", "in"});
  EXPECT_EQ(one.status, 1);  // JUNK.HLP fails; the others still convert
  EXPECT_EQ(four.status, 1);
  EXPECT_NE(one.err.find("JUNK: failed: Magic Number"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find("6 help files: "), std::string::npos) << one.err;
  const auto a = Tree(tmp_ / "one"), b = Tree(tmp_ / "four");
  EXPECT_EQ(a, b);
  for (const char* rtf :
       {"ddablib-PJAbout/ddablib-PJAbout.RTF", "ddablib-PJAbout_2/ddablib-PJAbout.RTF",
        "win30tandy-REVERSI/win30tandy-REVERSI.RTF", "cut/cut.RTF"})
    EXPECT_TRUE(a.count(rtf)) << rtf;
}

TEST(CommandLine, SplitsArguments) {
  struct Case {
    std::vector<std::string> args;
    bool view;
    std::vector<std::string> paths;
    const char* output;
    int error;
  };
  const Case cases[] = {
      {{"X.HLP"}, false, {"X.HLP"}, nullptr, 0},
      {{"-v", "C:\\X\\APP.HLP"}, true, {"C:\\X\\APP.HLP"}, nullptr, 0},
      {{"-vC:\\X.HLP"}, false, {"-vC:\\X.HLP"}, nullptr, 0},
      {{"-x", "X"}, false, {"X"}, nullptr, kTextUnknownOption},
      {{"--frobnicate"}, false, {}, nullptr, kTextUnknownOption},
      {{"-o", "out", "X"}, false, {"X"}, "out", 0},
      {{"X", "--output", "out", "-v"}, true, {"X"}, "out", 0},
      {{"--output=out", "X"}, false, {"X"}, "out", 0},
      {{"--", "-v"}, false, {"-v"}, nullptr, 0},
      {{"A.HLP", "-r", "docs", "-j", "4"}, false, {"A.HLP", "docs"}, nullptr, 0},
      {{"-v", "A.HLP", "B.HLP"}, true, {"A.HLP", "B.HLP"}, nullptr, kTextViewOneFile},
      {{"-j", "many", "X"}, false, {"X"}, nullptr, kTextNeedsNumber},
      {{"--codepage=1251", "X"}, false, {"X"}, nullptr, 0},
      {{"--codepage", "1234", "X"}, false, {"X"}, nullptr, kTextBadCodePage},
      {{"-o"}, false, {}, nullptr, kTextNeedsFolder},
      {{"--output=", "X"}, false, {"X"}, nullptr, kTextNeedsFolder},
      {{"-v"}, true, {}, nullptr, kTextViewNeedsFile},
      {{}, false, {}, nullptr, 0},
  };
  for (const Case& c : cases) {
    const CommandLine line = ParseCommandLine(c.args);
    const std::string where = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(line.view, c.view) << where;
    EXPECT_EQ(line.paths, c.paths) << where;
    EXPECT_EQ(line.output_dir.value_or("(none)"), c.output ? c.output : "(none)") << where;
    EXPECT_EQ(line.error_id, c.error) << where;
  }
  const CommandLine many = ParseCommandLine({"-r", "-j", "3", "--codepage", "932", "d"});
  EXPECT_TRUE(many.recursive);
  EXPECT_EQ(many.jobs, 3u);
  EXPECT_EQ(many.code_page, 932u);
  EXPECT_TRUE(ParseCommandLine({"X", "--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}

TEST(CommandLine, Options) {
  const std::tuple<ConversionOptions, bool, ConversionOptions> cases[] = {
      // Printing: NoShg and ForPrint set, Localize cleared.
      {0x0646, false, 0x1647},
      {0x4004, false, 0x1005},
      // Recompilation: BrowseSeq, PageBreak, Jumps set; BmpInRtf, EwSupport, PageLinks, Toc,
      // Index cleared; NoShg, SplitRtf and Localize kept.
      {0x0742, false, 0x1038},
      {0x4f41, false, 0x5839},
      // -v: exactly the printing preset, whatever was stored.
      {0x0646, true, 0x1747},
      {0x4f77, true, 0x1747},
      {0x0000, true, 0x1747},
  };
  for (const auto& [stored, view, expected] : cases)
    EXPECT_EQ(CommandLineOptions(stored, view), expected)
        << std::hex << stored << (view ? " -v" : "");
  static_assert(ApplyCanonicalOptions(0x0004) == 0x0005);
  static_assert(ApplyCanonicalOptions(0x0000) == 0x0038);
}

TEST(CommandLine, DerivedNames) {
  const std::tuple<const char*, ConversionOptions, const char*, const char*, const char*> cases[] =
      {
          {"SUPERAPP", 0, "SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERAPP"},
          {"C:\\HELP\\SUPERAPP.HLP", kSplitRtf, "C:\\HELP\\SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERA"},
          {"C:\\MY.DIR\\SUPERAPP", 0, "C:\\MY.DIR\\SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERAPP"},
          {"A.B.HLP", 0, "A.B.HLP", "A.B.HPJ", "A.B"},
          {"/home/u/my.dir/APP", 0, "/home/u/my.dir/APP.HLP", "APP.HPJ", "APP"},
          {"docs/help\\MIX.hlp", 0, "docs/help\\MIX.hlp", "MIX.HPJ", "MIX"},
          {"C:\\HELP\\SUPERAPP.HLP", kForPrint, "C:\\HELP\\SUPERAPP.HLP", "NUL", "SUPERAPP"},
          {"AB.HLP", kSplitRtf, "AB.HLP", "AB.HPJ", "AB"},
      };
  for (const auto& [path, options, help_path, project, base] : cases) {
    const OutputNames n = DeriveOutputNames(ConversionJob{options, path});
    EXPECT_EQ(n.help_path, help_path) << path;
    EXPECT_EQ(n.project_name, project) << path;
    EXPECT_EQ(n.base_name, base) << path;
  }
}

TEST(CommandLine, DesktopOpener) {
  TempFolder tmp;
  const std::filesystem::path bin = tmp / "bin", opener = bin / "xdg-open", done = tmp / "opened";
  // Written aside and renamed, so the file never exists half written.
  WriteFile(opener, "#!/bin/sh\necho \"$1\" > '" + done.string() + ".part' && mv '" +
                        done.string() + ".part' '" + done.string() + "'\n");
  ::chmod(opener.c_str(), 0755);
  WriteFile(tmp / "plain/xdg-open", "not executable");
  const std::string path = "/nonexistent:" + (tmp / "plain").string() + ":" + bin.string();
  const std::pair<EnvMap, bool> cases[] = {
      {{{"PATH", path}, {"DISPLAY", ":0"}}, true},
      {{{"PATH", path}, {"WAYLAND_DISPLAY", "w-0"}}, true},
      {{{"PATH", path}, {"DISPLAY", ":0"}, {"QUORVEX_NO_OPEN", "0"}}, true},
      {{{"PATH", path}}, false},
      {{{"PATH", path}, {"DISPLAY", ":0"}, {"QUORVEX_NO_OPEN", "1"}}, false},
      {{{"PATH", (tmp / "plain").string()}, {"DISPLAY", ":0"}}, false},
  };
  for (const auto& [env, found] : cases)
    EXPECT_EQ(FindDesktopOpener(LookupIn(env)), found ? std::optional(opener) : std::nullopt);
  ASSERT_TRUE(OpenWithDesktop(opener, "/some/where/X.RTF"));
  // The opener runs detached; give it a moment to write.
  for (int i = 0; i < 200 && !std::filesystem::exists(done); ++i) ::usleep(10000);
  EXPECT_EQ(ReadFile(done), "/some/where/X.RTF\n");
}

TEST(CommandLine, TheWizardHookAndExceptionsReachingTheEntry) {
  // The wizard hook runs inside the entry's handlers, so it can stand in for a conversion.
  struct Case {
    const char* name;
    std::function<int(ConversionOptions)> body;
    int status;
    const char* err;
  };
  ConversionOptions given = 0;
  const Case cases[] = {
      {"the wizard",
       [&given](ConversionOptions o) {
         given = o;
         return 2;
       },
       2, ""},
      {"out of memory", [](ConversionOptions) -> int { throw std::bad_alloc(); }, 1,
       "Quorvex Severe Problem: Not enough Memory\n"},
      {"fatal with line feeds", [](ConversionOptions) -> int { FatalError("Broken %d\n\n", 7); }, 1,
       "Quorvex Severe Problem: Broken 7\n"},
      {"cancelled", [](ConversionOptions) -> int { throw ConversionCancelled(); }, 1, ""},
  };
  TempFolder tmp;
  const EnvMap env{{"HOME", tmp.path().string()}, {"QT_QPA_PLATFORM", "offscreen"}};
  for (const Case& c : cases) {
    std::ostringstream out, err;
    const CommandLineContext context{.out = out,
                                     .err = err,
                                     .env = LookupIn(env),
                                     .terminal = false,
                                     .open_document = {},
                                     .run_wizard = c.body};
    EXPECT_EQ(RunCommandLine({}, context), c.status) << c.name;
    EXPECT_EQ(err.str(), c.err) << c.name;
  }
  EXPECT_EQ(given, ApplyCanonicalOptions(0x0646));
  // A build without the wizard says how to convert from the command line.
  std::ostringstream out, err;
  EXPECT_EQ(RunCommandLine({}, {out, err, LookupIn(env), false, {}, {}}), 2);
  EXPECT_TRUE(err.str().starts_with("quorvex: this program was built without the desktop wizard"))
      << err.str();
  EXPECT_NE(err.str().find("quorvex [-o DIR] [-v] HELPFILE"), std::string::npos);
  SetLanguageOffset(0);
}

}  // namespace
}  // namespace quorvex
