// The command line in-process: argument splitting, the options of a command-line run, the
// derived names, the desktop opener and the messages of a failed run.
#include "ui/cli.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <sstream>

#include "core/diagnostics.h"
#include "core/driver.h"
#include "core/strings.h"
#include "tests/ui/ui_test_util.h"

namespace quorvex {
namespace {

using test::EnvMap;
using test::LookupIn;
using test::TempDir;
using test::WriteFile;

TEST(CommandLine, SplitsArguments) {
  struct Case {
    std::vector<std::string> args;
    bool view;
    const char* path;  // nullptr: none
    const char* output;
    int error;
  };
  const Case cases[] = {
      {{"X.HLP"}, false, "X.HLP", nullptr, 0},
      {{"-v", "C:\\X\\APP.HLP"}, true, "C:\\X\\APP.HLP", nullptr, 0},
      {{"-vC:\\X.HLP"}, false, "-vC:\\X.HLP", nullptr, 0},
      {{"-x"}, false, "-x", nullptr, 0},
      {{"-o", "out", "X"}, false, "X", "out", 0},
      {{"X", "--output", "out", "-v"}, true, "X", "out", 0},
      {{"--output=out", "X"}, false, "X", "out", 0},
      {{"--", "-v"}, false, "-v", nullptr, 0},
      {{"A.HLP", "B.HLP"}, false, "A.HLP", nullptr, 203},
      {{"-o"}, false, nullptr, nullptr, 202},
      {{"--output=", "X"}, false, "X", nullptr, 202},
      {{"-v"}, true, nullptr, nullptr, 204},
      {{}, false, nullptr, nullptr, 0},
  };
  for (const Case& c : cases) {
    CommandLine line = ParseCommandLine(c.args);
    std::string where = c.args.empty() ? "(none)" : c.args[0];
    EXPECT_EQ(line.view, c.view) << where;
    EXPECT_EQ(line.path.value_or("(none)"), c.path ? c.path : "(none)") << where;
    EXPECT_EQ(line.output_dir.value_or("(none)"), c.output ? c.output : "(none)") << where;
    EXPECT_EQ(line.error_id, c.error) << where;
  }
  EXPECT_TRUE(ParseCommandLine({"X", "--help"}).help);
  EXPECT_TRUE(ParseCommandLine({"--version"}).version);
}

TEST(CommandLine, Options) {
  struct Case {
    ConversionOptions stored;
    bool view;
    ConversionOptions expected;
  };
  const Case cases[] = {
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
  for (const Case& c : cases)
    EXPECT_EQ(CommandLineOptions(c.stored, c.view), c.expected)
        << std::hex << c.stored << (c.view ? " -v" : "");
  static_assert(ApplyCanonicalOptions(0x0004) == 0x0005);
  static_assert(ApplyCanonicalOptions(0x0000) == 0x0038);
}

TEST(CommandLine, DerivedNames) {
  struct Case {
    const char* path;
    ConversionOptions options;
    const char* help_path;
    const char* project;
    const char* base;
  };
  const Case cases[] = {
      {"SUPERAPP", 0, "SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERAPP"},
      {"C:\\HELP\\SUPERAPP.HLP", kSplitRtf, "C:\\HELP\\SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERA"},
      {"C:\\MY.DIR\\SUPERAPP", 0, "C:\\MY.DIR\\SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERAPP"},
      {"A.B.HLP", 0, "A.B.HLP", "A.B.HPJ", "A.B"},
      {"/home/u/my.dir/APP", 0, "/home/u/my.dir/APP.HLP", "APP.HPJ", "APP"},
      {"docs/help\\MIX.hlp", 0, "docs/help\\MIX.hlp", "MIX.HPJ", "MIX"},
      {"C:\\HELP\\SUPERAPP.HLP", kForPrint, "C:\\HELP\\SUPERAPP.HLP", "NUL", "SUPERAPP"},
      {"AB.HLP", kSplitRtf, "AB.HLP", "AB.HPJ", "AB"},
  };
  for (const Case& c : cases) {
    OutputNames n = DeriveOutputNames(ConversionJob{c.options, c.path});
    EXPECT_EQ(n.help_path, c.help_path) << c.path;
    EXPECT_EQ(n.project_name, c.project) << c.path;
    EXPECT_EQ(n.base_name, c.base) << c.path;
  }
}

TEST(CommandLine, ViewResultName) {
  const std::pair<const char*, const char*> cases[] = {
      {"D:\\DOCS\\MY.APP.HLP", "MY.APP.RTF"},
      {"C:\\X\\APP.HLP", "APP.RTF"},
      {"SUPERAPP", "SUPERAPP.RTF"},
      {"C:\\MY.DIR\\SUPERAPP", "SUPERAPP.RTF"},
      {"/tmp/a.b/x.hlp", "x.RTF"},
  };
  for (const auto& [path, rtf] : cases) EXPECT_EQ(ViewResultName(path), rtf) << path;
}

TEST(CommandLine, DesktopOpener) {
  TempDir tmp;
  const std::filesystem::path bin = tmp / "bin";
  WriteFile(bin / "xdg-open", "#!/bin/sh\n");
  ::chmod((bin / "xdg-open").c_str(), 0755);
  WriteFile(tmp / "plain/xdg-open", "not executable");
  const std::string path = "/nonexistent:" + (tmp / "plain").string() + ":" + bin.string();

  EXPECT_EQ(FindDesktopOpener(LookupIn(EnvMap{{"PATH", path}, {"DISPLAY", ":0"}})),
            bin / "xdg-open");
  EXPECT_EQ(FindDesktopOpener(LookupIn(EnvMap{{"PATH", path}, {"WAYLAND_DISPLAY", "w-0"}})),
            bin / "xdg-open");
  EXPECT_EQ(FindDesktopOpener(
                LookupIn(EnvMap{{"PATH", path}, {"DISPLAY", ":0"}, {"QUORVEX_NO_OPEN", "0"}})),
            bin / "xdg-open");
  EXPECT_FALSE(FindDesktopOpener(LookupIn(EnvMap{{"PATH", path}})));
  EXPECT_FALSE(FindDesktopOpener(
      LookupIn(EnvMap{{"PATH", path}, {"DISPLAY", ":0"}, {"QUORVEX_NO_OPEN", "1"}})));
  EXPECT_FALSE(
      FindDesktopOpener(LookupIn(EnvMap{{"PATH", (tmp / "plain").string()}, {"DISPLAY", ":0"}})));
}

TEST(CommandLine, OpenWithDesktopStartsTheOpener) {
  TempDir tmp;
  const std::filesystem::path opener = tmp / "opener";
  const std::filesystem::path done = tmp / "opened.txt";
  // Written aside and renamed, so the file never exists half written.
  WriteFile(opener, "#!/bin/sh\necho \"$1\" > '" + done.string() + ".part' && mv '" +
                        done.string() + ".part' '" + done.string() + "'\n");
  ::chmod(opener.c_str(), 0755);
  ASSERT_TRUE(OpenWithDesktop(opener, "/some/where/X.RTF"));
  // The opener runs detached; give it a moment to write.
  for (int i = 0; i < 200 && !std::filesystem::exists(done); ++i) ::usleep(10000);
  EXPECT_EQ(test::ReadFile(done), "/some/where/X.RTF\n");
}

/// Runs the entry in-process with the settings under `tmp`.
struct InProcess {
  std::ostringstream out, err;
  std::vector<std::filesystem::path> opened;
  int Run(const std::vector<std::string>& args, const EnvMap& env) {
    CommandLineContext context{
        .out = out,
        .err = err,
        .env = LookupIn(env),
        .terminal = false,
        .open_document =
            [this](const std::filesystem::path& p) {
              opened.push_back(p);
              return true;
            },
        .run_wizard = {},
    };
    int status = RunCommandLine(args, context);
    SetLanguageOffset(0);
    return status;
  }
};

TEST(CommandLine, FatalErrorsInProcess) {
  TempDir tmp;
  EnvMap env{{"HOME", tmp.path().string()}, {"XDG_CONFIG_HOME", (tmp / "cfg").string()}};
  {
    InProcess run;
    EXPECT_EQ(run.Run({(tmp / "NOSUCH").string(), "-o", (tmp / "out").string()}, env), 1);
    EXPECT_EQ(run.err.str(),
              "Quorvex Severe Problem: Can't open File " + (tmp / "NOSUCH.HLP").string() + "\n");
    EXPECT_EQ(run.out.str(), "");
    EXPECT_TRUE(std::filesystem::is_directory(tmp / "out"));
    EXPECT_TRUE(run.opened.empty());
  }
  {
    WriteFile(tmp / "file", "x");
    InProcess run;
    EXPECT_EQ(run.Run({"-o", (tmp / "file").string(), "X.HLP"}, env), 1);
    EXPECT_EQ(run.err.str(), "Quorvex Severe Problem: Can't create the output folder " +
                                 (tmp / "file").string() + "\n");
  }
  {
    WriteFile(tmp / "cfg/quorvex/QUORVEX.INI", "[Options]\nLanguage=DEU\n");
    InProcess run;
    EXPECT_EQ(run.Run({(tmp / "NOSUCH.HLP").string()}, env), 1);
    EXPECT_EQ(run.err.str(), "Quorvex Verarbeitungsfehler: Can't open File " +
                                 (tmp / "NOSUCH.HLP").string() + "\n");
  }
  // A command-line conversion never writes the settings.
  EXPECT_EQ(test::ReadFile(tmp / "cfg/quorvex/QUORVEX.INI"), "[Options]\nLanguage=DEU\n");
}

TEST(CommandLine, UsageErrorsAndWizardHook) {
  TempDir tmp;
  EnvMap env{{"HOME", tmp.path().string()}};
  {
    InProcess run;
    EXPECT_EQ(run.Run({"A.HLP", "B.HLP"}, env), 1);
    EXPECT_EQ(run.err.str(),
              "quorvex: only one help file can be converted at a time (also given: B.HLP)\n"
              "Try 'quorvex --help' for more information.\n");
  }
  {
    InProcess run;
    EXPECT_EQ(run.Run({"-o"}, env), 1);
    EXPECT_EQ(run.err.str().substr(0, 34), "quorvex: option -o needs a folder\n");
  }
  {
    std::ostringstream out, err;
    ConversionOptions given = 0;
    CommandLineContext context{.out = out,
                               .err = err,
                               .env = LookupIn(env),
                               .terminal = false,
                               .open_document = {},
                               .run_wizard = [&given](ConversionOptions o) {
                                 given = o;
                                 return 2;
                               }};
    EXPECT_EQ(RunCommandLine({}, context), 2);
    EXPECT_EQ(given, ApplyCanonicalOptions(0x0646));
    EXPECT_EQ(err.str(), "");
  }
}

TEST(CommandLine, ExceptionsReachingTheEntry) {
  // The wizard hook runs inside the entry's handlers, so it can stand in for a conversion.
  struct Case {
    const char* name;
    std::function<int(ConversionOptions)> body;
    const char* err;
  };
  const Case cases[] = {
      {"out of memory", [](ConversionOptions) -> int { throw std::bad_alloc(); },
       "Quorvex Severe Problem: Not enough Memory\n"},
      {"fatal with line feeds", [](ConversionOptions) -> int { FatalError("Broken %d\n\n", 7); },
       "Quorvex Severe Problem: Broken 7\n"},
      {"cancelled", [](ConversionOptions) -> int { throw ConversionCancelled(); }, ""},
  };
  TempDir tmp;
  EnvMap env{{"HOME", tmp.path().string()}};
  for (const Case& c : cases) {
    std::ostringstream out, err;
    CommandLineContext context{.out = out,
                               .err = err,
                               .env = LookupIn(env),
                               .terminal = false,
                               .open_document = {},
                               .run_wizard = c.body};
    EXPECT_EQ(RunCommandLine({}, context), 1) << c.name;
    EXPECT_EQ(err.str(), c.err) << c.name;
  }
}

}  // namespace
}  // namespace quorvex
