// The command line and the stored options: the built program end to end (HOME and
// XDG_CONFIG_HOME in a temporary folder, so the real settings are never touched), then in-process.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <sstream>

#include "core/driver.h"
#include "core/strings.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/run_program.h"
#include "ui/cli.h"
#include "ui/profile.h"
#include "ui/ui_strings.h"

namespace quorvex {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

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

  TempFolder tmp_;
  const fs::path ini_ = tmp_ / "cfg/quorvex/QUORVEX.INI";
  EnvMap env_ = {{"HOME", tmp_.path().string()},
                 {"XDG_CONFIG_HOME", (tmp_ / "cfg").string()},
                 {"PATH", "/usr/bin:/bin"},
                 {"QUORVEX_NO_OPEN", "1"}};
};

TEST_F(Binary, ExitStatusesAndMessages) {
  WriteFile(tmp_ / "JUNK.HLP", "This is plain text and not a help file at all.\n");
  WriteFile(tmp_ / "file", "x");
  const std::string severe = "Quorvex Severe Problem: ",
                    help = "\nTry 'quorvex --help' for more information.\n";
  const std::string failed =
      "A: failed: Can't open File A.HLP\nB: failed: Can't open File B.HLP\n"
      "2 help files: 0 converted, 0 with warnings, 2 failed\n";
  // The arguments, the exit status, the start of stdout, all of stderr ("*...": a part of it).
  const std::tuple<std::vector<std::string>, int, const char*, std::string> cases[] = {
      {{"--help"}, 0, "Usage: quorvex [-o DIR] [-v] [-r] [-j N] [--codepage N] HELPFILE...\n", ""},
      {{"--version"}, 0, "Quorvex ", ""},
      {{}, 2, "", "*quorvex: there is no display for the desktop wizard"},
      {{Path("NOSUCH")}, 1, "", severe + "Can't open File " + Path("NOSUCH.HLP") + "\n"},
      {{"JUNK.HLP"},
       1,
       "",
       severe + "Magic Number of HLP-File incorrect. Possibly it isn't a WinHelp-File?\n"},
      {{"A.HLP", "B.HLP"}, 1, "", failed},  // each file on its own, one line each and a total
      {{"-x", "A.HLP"}, 1, "", "quorvex: unknown option -x" + help},
      {{"-o", "file", "X.HLP"}, 1, "", severe + "Can't create the output folder file\n"},
  };
  for (const auto& [args, status, out, err] : cases) {
    const ProgramRun r = Run(args);
    const std::string name = args.empty() ? "(none)" : args.back();
    EXPECT_EQ(r.status, status) << name;
    EXPECT_TRUE(r.out.starts_with(out)) << name << ": " << r.out;
    if (err.starts_with("*"))
      EXPECT_NE(r.err.find(err.substr(1)), std::string::npos) << name << ": " << r.err;
    else
      EXPECT_EQ(r.err, err) << name;
  }
  EXPECT_NE(Run({"--help"}).out.find(ini_.string()), std::string::npos);  // where settings live
  EXPECT_FALSE(fs::exists(tmp_ / "NOSUCH.HPJ") || fs::exists(ini_));
  // In German when the settings file says so; the file is not rewritten.
  const std::string ini = "[Options]\nLanguage=deu\nForPrint=0\n";
  WriteFile(ini_, ini);
  EXPECT_EQ(Run({Path("NOSUCH")}).err, "Quorvex Verarbeitungsfehler: Kann die Datei " +
                                           Path("NOSUCH.HLP") + " nicht öffnen\n");
  EXPECT_EQ(ReadFile(ini_), ini);
}

TEST_F(Binary, ManyFilesInFoldersOneAtATimeOrFourAtATime) {
  const fs::path corpus = QUORVEX_CORPUS_DIR;
  const char* names[] = {"ddablib-PJAbout.hlp", "win30tandy-REVERSI.HLP", "nominas-DEFAULT.HLP"};
  for (const char* n : names)
    if (!fs::exists(corpus / n)) GTEST_SKIP() << "corpus not available";
  // Two files of one name in two folders, a damaged file and one that is no help file.
  fs::create_directories(tmp_ / "in/sub");
  for (const char* n : names) fs::copy_file(corpus / n, tmp_ / "in/sub" / n);
  fs::copy_file(corpus / names[0], tmp_ / "in/ddablib-PJAbout.HLP");
  std::string damaged = ReadFile(corpus / names[2]);
  damaged.resize(damaged.size() / 3);
  WriteFile(tmp_ / "in/sub/cut.hlp", damaged);
  WriteFile(tmp_ / "in/JUNK.HLP", "not a help file");
  const ProgramRun one = Run({"-r", "-j", "1", "-o", "one", "in"});
  EXPECT_EQ(Run({"-r", "-j", "4", "-o", "four", "in"}).status, 1);
  EXPECT_EQ(one.status, 1);  // JUNK.HLP fails; the others still convert
  EXPECT_NE(one.err.find("JUNK: failed: Magic Number"), std::string::npos) << one.err;
  EXPECT_NE(one.err.find("6 help files: "), std::string::npos) << one.err;
  const auto a = FilesBelow(tmp_ / "one");
  EXPECT_EQ(a, FilesBelow(tmp_ / "four"));
  for (const char* rtf :
       {"ddablib-PJAbout/ddablib-PJAbout.RTF", "ddablib-PJAbout_2/ddablib-PJAbout.RTF",
        "win30tandy-REVERSI/win30tandy-REVERSI.RTF", "cut/cut.RTF"})
    EXPECT_TRUE(a.count(rtf)) << rtf;
  // One file with -v and no desktop: ".HLP" appended, and the program says where the result is.
  const ProgramRun view = Run({"-o", "view", "-v", "in/sub/nominas-DEFAULT"});
  EXPECT_EQ(view.status, 2) << view.err;
  EXPECT_NE(view.err.find("The result is " + Path("view/nominas-DEFAULT.RTF")), std::string::npos)
      << view.err;
  EXPECT_FALSE(fs::exists(ini_));
}

TEST(CommandLine, ArgumentsOptionsAndDerivedNames) {
  // The arguments; -v, the paths and -o as they come out; the error.
  const std::tuple<std::vector<std::string>, const char*, int> cases[] = {
      {{"-v", "C:\\X\\APP.HLP"}, "-v C:\\X\\APP.HLP", 0},
      {{"-vC:\\X.HLP"}, " -vC:\\X.HLP", 0},  // a path, not an option
      {{"X", "--output", "out", "-v"}, "-v X -o out", 0},
      {{"--", "-v"}, " -v", 0},
      {{"A.HLP", "-r", "docs", "-j", "4"}, " A.HLP docs", 0},
      {{"-v", "A.HLP", "B.HLP"}, "-v A.HLP B.HLP", kTextViewOneFile},
      {{"-j", "many", "X"}, " X", kTextNeedsNumber},
      {{"--codepage", "1234", "X"}, " X", kTextBadCodePage},
      {{"-o"}, "", kTextNeedsFolder},
      {{"--output=", "X"}, " X", kTextNeedsFolder},
      {{"-v"}, "-v", kTextViewNeedsFile},
  };
  for (const auto& [args, shown, error] : cases) {
    const CommandLine line = ParseCommandLine(args);
    std::string s = line.view ? "-v" : "";
    for (const std::string& p : line.paths) s += " " + p;
    EXPECT_EQ(s + (line.output_dir ? " -o " + *line.output_dir : ""), shown) << args[0];
    EXPECT_EQ(line.error_id, error) << args[0];
  }
  const CommandLine many = ParseCommandLine({"-r", "-j", "3", "--codepage=932", "d"});
  EXPECT_TRUE(many.recursive && many.jobs == 3 && many.code_page == 932);
  EXPECT_TRUE(ParseCommandLine({"X", "--help"}).help && ParseCommandLine({"--version"}).version);
  // The stored options in their mode's canonical set; with -v exactly the printing preset.
  EXPECT_EQ(CommandLineOptions(0x0646, false), 0x1647u);
  EXPECT_EQ(CommandLineOptions(0x4f77, true), 0x1747u);
  // The help file, the project file and the RTF base name (a folder's dot is no extension).
  const std::tuple<const char*, ConversionOptions, const char*> names[] = {
      {"C:\\MY.DIR\\SUPERAPP", kSplitRtf, "C:\\MY.DIR\\SUPERAPP.HLP SUPERAPP.HPJ SUPERA"},
      {"/home/u/my.dir/A.B", kForPrint, "/home/u/my.dir/A.B NUL A"},
  };
  for (const auto& [path, options, expected] : names) {
    const OutputNames n = DeriveOutputNames(ConversionJob{options, path});
    EXPECT_EQ(n.help_path + " " + n.project_name + " " + n.base_name, expected);
  }
}

TEST(CommandLine, DesktopOpenerTheWizardHookAndExceptionsReachingTheEntry) {
  TempFolder tmp;
  const fs::path opener = tmp / "bin/xdg-open", done = tmp / "opened";
  // Written aside and renamed, so the file never exists half written.
  WriteFile(opener, "#!/bin/sh\necho \"$1\" > '" + done.string() + ".part' && mv '" +
                        done.string() + ".part' '" + done.string() + "'\n");
  ::chmod(opener.c_str(), 0755);
  WriteFile(tmp / "plain/xdg-open", "not executable");
  const std::string plain = (tmp / "plain").string(), path = plain + "::" + (tmp / "bin").string();
  const std::pair<EnvMap, bool> cases[] = {
      {{{"PATH", path}, {"DISPLAY", ":0"}}, true},
      {{{"PATH", path}, {"WAYLAND_DISPLAY", "w-0"}, {"QUORVEX_NO_OPEN", "0"}}, true},
      {{{"PATH", path}, {"DISPLAY", ":0"}, {"QUORVEX_NO_OPEN", "1"}}, false},
      {{{"PATH", path}}, false},
      {{{"PATH", plain}, {"DISPLAY", ":0"}}, false},
  };
  for (const auto& [env, found] : cases)
    EXPECT_EQ(FindDesktopOpener(LookupIn(env)), found ? std::optional(opener) : std::nullopt);
  ASSERT_TRUE(OpenWithDesktop(opener, "/some/where/X.RTF"));

  // The wizard hook runs inside the entry's handlers, so it can stand in for a conversion (the
  // GUI test sees a cancelled one).
  ConversionOptions given = 0;
  const std::tuple<const char*, std::function<int(ConversionOptions)>, int, const char*> hooks[] = {
      {"the wizard", [&given](ConversionOptions o) { return given = o, 2; }, 2, ""},
      {"out of memory", [](ConversionOptions) -> int { throw std::bad_alloc(); }, 1,
       "Quorvex Severe Problem: Not enough Memory\n"},
      {"fatal with line feeds", [](ConversionOptions) -> int { FatalError("Broken %d\n\n", 7); }, 1,
       "Quorvex Severe Problem: Broken 7\n"},
      // A build without the wizard says how to convert from the command line.
      {"no wizard", {}, 2, "quorvex: this program was built without the desktop wizard"},
  };
  const EnvMap env{{"HOME", tmp.path().string()}, {"QT_QPA_PLATFORM", "offscreen"}};
  for (const auto& [name, body, status, err] : hooks) {
    std::ostringstream out, errors;
    EXPECT_EQ(RunCommandLine({}, {out, errors, LookupIn(env), false, {}, body}), status) << name;
    EXPECT_EQ(errors.str().substr(0, body ? std::string::npos : strlen(err)), err) << name;
  }
  EXPECT_EQ(given, ApplyCanonicalOptions(0x0646));
  SetLanguageOffset(0);
  // The opener runs detached; it has had time to write.
  for (int i = 0; i < 200 && !fs::exists(done); ++i) ::usleep(10000);
  EXPECT_EQ(ReadFile(done), "/some/where/X.RTF\n");
}

TEST(Settings, ReadsValuesTheLanguageAndTheFileLocationAndWritesKeepingEveryOtherLine) {
  const std::pair<const char*, ConversionOptions> cases[] = {
      {"[Options]\nForPrint=2\nNoShg=2\n", 0x0647},  // any non-zero integer is on
      // No digits is 0; blanks, a sign, digits up to the first other character.
      {"[Options]\nForPrint=abc\nNoShg=  -3x\n", 0x0643},
      {"[Options]\nForPrint=0x10\nNoShg=\t+7\n", 0x0643},
      {"[Options]\nForPrint=4294967296\n", 0x0642},  // the 32-bit value wraps to 0
      {"[Options]\nForPrint=\nToc=   \n", 0x0646},   // an empty value gives the default
      {"  [ oPTIONS ]  \n\t toc = 0 \n", 0x0446},    // names in any case, blanks around
      // Keys before any section, another section, a second key or [Options] are not read.
      {"Toc=0\n[Options]\nIndex=0\nIndex=1\n[Other]\nForPrint=0\n[Options]\nBmpInRtf=0\n", 0x0246},
      {"[Options]\r\nBmpInRtf=0\r\nLocalize=\"1\"\r\nToc='0'", 0x4444},  // CR LF, quotes
  };
  TempFolder tmp;
  const fs::path ini = tmp / "QUORVEX.INI";
  for (const auto& [text, expected] : cases) {
    WriteFile(ini, text);
    EXPECT_EQ(ReadSettings(ini), expected) << text;
  }
  EXPECT_EQ(ReadSettings(tmp / "missing/QUORVEX.INI"), 0x0646u);
  EXPECT_EQ(ReadSettings(fs::path()), 0x0646u);
  // A code page Quorvex knows, or 0.
  for (const auto& [value, code_page] : {std::pair{"1251", 1251u}, {"1234", 0u}, {"-1251", 0u}}) {
    WriteFile(ini, "[Options]\nCodepage=" + std::string(value) + "\n");
    EXPECT_EQ(ReadCodePageSetting(ini), code_page) << value;
  }
  // "Language" under [Options] ("" when absent), the environment, and the offset chosen.
  const std::tuple<const char*, EnvMap, int> languages[] = {
      {"", {}, 0},
      {"Language=deu", {{"LANG", "en_US"}}, kGermanOffset},  // any case; beats the locale
      {"Language=ENG", {{"LANG", "de_DE.UTF-8"}}, 0},
      {"Language=DEUTSCH", {{"LANG", "de_DE"}}, 0},  // only DEU itself
      {"Language=", {{"LANG", "de_DE"}}, kGermanOffset},
      {"", {{"LC_ALL", "C"}, {"LANG", "de_DE"}}, 0},
      {"", {{"LC_MESSAGES", "de_AT"}, {"LANG", "en_US"}}, kGermanOffset},
      {"", {{"LC_ALL", ""}, {"LANG", "de"}}, kGermanOffset},  // empty counts as unset
  };
  for (const auto& [line, env, offset] : languages) {
    WriteFile(ini, "[Options]\n" + std::string(line) + "\n");
    EXPECT_EQ(ChooseLanguageOffset(ini, LookupIn(env)), offset) << line;
  }
  WriteFile(ini, "[Options]\nLanguage=ABCDEFGHIJ\n");
  EXPECT_EQ(ReadLanguageSetting(ini), "ABCDEFGH");
  const std::pair<EnvMap, const char*> places[] = {
      {{{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/home/u"}}, "/x/cfg/quorvex/QUORVEX.INI"},
      {{{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}}, "/home/u/.config/quorvex/QUORVEX.INI"},
      {{}, ""}};
  for (const auto& [env, path] : places) EXPECT_EQ(SettingsFilePath(LookupIn(env)), path);
  // Writing keeps every other line and creates what is missing.
  const fs::path fresh = tmp / "cfg/quorvex/QUORVEX.INI";
  const std::string head = "; my settings\n[Other]\nForPrint=7\n\n[OPTIONS]\nLanguage=DEU\n";
  const std::string tail = "; keep me\nUnknown=5\n\n; about the tail\n[Tail]\nX=1\n";
  WriteFile(ini, head + "  forprint = 1\n" + tail);
  ASSERT_TRUE(WriteSettings(ini, kNoShg | kToc | kBrowseSeq | kProgressWindow));
  // The key found is replaced in place; the others follow the section's last key.
  EXPECT_EQ(ReadFile(ini), head + "forprint=0\n; keep me\nUnknown=5\n" +
                               "NoShg=1\nSplitRtf=0\nPageBreak=0\nEwSupport=0\nJumps=0\n" +
                               "PageLinks=0\nIndex=0\nToc=1\nBmpInRtf=0\nLocalize=0\n" +
                               "\n; about the tail\n[Tail]\nX=1\n");
  EXPECT_EQ(ReadSettings(ini), kNoShg | kToc);
  EXPECT_EQ(ReadLanguageSetting(ini), "DEU");
  const std::string before = ReadFile(ini);  // a second write changes lines only in place
  ASSERT_TRUE(WriteSettings(ini, kNoShg | kToc));
  EXPECT_EQ(ReadFile(ini), before);
  // A new folder, file and section; bits outside the table are not stored.
  ASSERT_TRUE(WriteSettings(fresh, 0xffff));
  EXPECT_EQ(ReadSettings(fresh), 0x4f77u);
  // A file far too large to be ours is neither read nor rewritten.
  const std::string big(kMaxProfileFileSize + 1, ';');
  WriteFile(ini, big);
  EXPECT_FALSE(WriteSettings(ini, 0));
  EXPECT_EQ(fs::file_size(ini), big.size());
  EXPECT_EQ(ReadSettings(ini), DefaultOptions());
  // Line ends as the file has them; a last line without one, a header without "]".
  const std::pair<const char*, const char*> texts[] = {
      {"[X]\r\nA=1\r\n", "[X]\r\nA=1\r\n\r\n[Options]\r\nK=v\r\n"},
      {"A=1", "A=1\n\n[Options]\nK=v\n"},
      {"[Options]\nk=1", "[Options]\nk=v"},
      {"[Options\nK=1\n", "[Options\nK=1\n\n[Options]\nK=v\n"},
  };
  for (const auto& [text, updated] : texts)
    EXPECT_EQ(UpdateProfileText(text, "Options", {{"K", "v"}}), updated) << text;
}

}  // namespace
}  // namespace quorvex
