// The stored options, the profile format under them, the language choice and the page rule.
#include "ui/settings.h"

#include <gtest/gtest.h>

#include "core/strings.h"
#include "tests/ui/ui_test_util.h"
#include "ui/profile.h"

namespace quorvex {
namespace {

using namespace test;

TEST(Settings, ReadsValuesAsThePlatformDoes) {
  struct Case {
    const char* name;
    const char* ini;
    ConversionOptions expected;
  };
  const Case cases[] = {
      {"value 2 counts as on", "[Options]\nForPrint=2\nNoShg=2\n", 0x0647},
      {"non-numeric counts as off", "[Options]\nForPrint=abc\n", 0x0642},
      {"digits then text", "[Options]\nNoShg=1abc\n", 0x0647},
      {"negative counts as on", "[Options]\nNoShg=  -3\n", 0x0647},
      {"empty value gives the default", "[Options]\nForPrint=\nNoShg=   \n", 0x0646},
      {"section and keys in any case", "[oPTIONS]\nforprint=0\nNOSHG=1\n", 0x0643},
      {"blanks around names", "  [ Options ]  \n\t Toc = 0 \n", 0x0446},
      {"a comment after the value", "[Options]\nToc=0 ; off\n", 0x0446},
      {"another section is not read", "[Other]\nForPrint=0\n[Options]\nIndex=0\n", 0x0246},
      {"only the first section of a name", "[Options]\nToc=0\n[Options]\nIndex=0\n", 0x0446},
      {"the first key of a name", "[Options]\nToc=0\nToc=1\n", 0x0446},
      {"keys before any section", "BmpInRtf=0\n[Options]\n", 0x0646},
      {"a commented-out key", "[Options]\n;ForPrint=0\n", 0x0646},
      {"CR LF lines", "[Options]\r\nBmpInRtf=0\r\nLocalize=1\r\n", 0x4644},
      {"quoted value", "[Options]\nLocalize=\"1\"\nToc='0'\n", 0x4446},
      {"32-bit wrap to zero", "[Options]\nForPrint=4294967296\n", 0x0642},
      {"a sign, blanks and a hexadecimal prefix", "[Options]\nNoShg=\t+7\nForPrint=0x10\n", 0x0643},
      {"all off", "[Options]\nForPrint=0\nEwSupport=0\nIndex=0\nToc=0\nBmpInRtf=0\n", 0},
      {"no line feed at the end", "[Options]\nPageBreak=1", 0x0656},
  };
  TempFolder tmp;
  for (const Case& c : cases) {
    WriteFile(tmp / "QUORVEX.INI", c.ini);
    EXPECT_EQ(ReadSettings(tmp / "QUORVEX.INI"), c.expected) << c.name;
  }
  // Without a file: the defaults.
  EXPECT_EQ(ReadSettings(tmp / "missing/QUORVEX.INI"), 0x0646u);
  EXPECT_EQ(ReadSettings(std::filesystem::path()), 0x0646u);
}

TEST(Settings, WriteKeepsEveryOtherLine) {
  TempFolder tmp;
  const std::filesystem::path ini = tmp / "QUORVEX.INI";
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

  // A second write replaces the lines in place and adds nothing.
  std::string before = ReadFile(ini);
  ASSERT_TRUE(WriteSettings(ini, kNoShg | kToc));
  EXPECT_EQ(ReadFile(ini), before);
}

TEST(Settings, WriteCreatesFolderFileAndSection) {
  TempFolder tmp;
  const std::filesystem::path ini = tmp / "config/quorvex/QUORVEX.INI";
  ASSERT_TRUE(WriteSettings(ini, DefaultOptions()));
  EXPECT_EQ(ReadFile(ini),
            "[Options]\nForPrint=1\nNoShg=0\nSplitRtf=0\nPageBreak=0\nEwSupport=1\nJumps=0\n"
            "PageLinks=0\nIndex=1\nToc=1\nBmpInRtf=1\nLocalize=0\n");
  // Every stored option survives a round trip; bits outside the table are not stored.
  for (ConversionOptions o : {0x0000u, 0x0038u, 0x4f77u, 0xffffu, 0x0747u}) {
    ASSERT_TRUE(WriteSettings(ini, o));
    EXPECT_EQ(ReadSettings(ini), o & 0x4f77u) << std::hex << o;
  }
}

TEST(Profile, AddsASectionAfterOtherText) {
  struct Case {
    const char* name;
    const char* before;
    const char* after;
  };
  const Case cases[] = {
      {"last line without a line feed", "A=1", "A=1\n\n[Options]\nK=v\n"},
      {"ends with a blank line", "[X]\nA=1\n\n", "[X]\nA=1\n\n[Options]\nK=v\n"},
      {"CR LF file", "[X]\r\nA=1\r\n", "[X]\r\nA=1\r\n\r\n[Options]\r\nK=v\r\n"},
      {"empty file", "", "[Options]\nK=v\n"},
      {"section at the end without a line feed", "[Options]", "[Options]\nK=v\n"},
      {"key at the end without a line feed", "[Options]\nk=1", "[Options]\nk=v"},
      {"a header without ']' is no section", "[Options\nK=1\n",
       "[Options\nK=1\n\n[Options]\nK=v\n"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(UpdateProfileText(c.before, "Options", {{"K", "v"}}), c.after) << c.name;
}

TEST(Settings, WriteLeavesAnOversizedFileAlone) {
  TempFolder tmp;
  const std::filesystem::path ini = tmp / "QUORVEX.INI";
  std::string big(kMaxProfileFileSize + 1, ';');
  WriteFile(ini, big);
  EXPECT_FALSE(WriteSettings(ini, 0));
  EXPECT_EQ(std::filesystem::file_size(ini), big.size());
  EXPECT_EQ(ReadSettings(ini), DefaultOptions());
}

TEST(Settings, SettingsFileLocation) {
  const std::pair<EnvMap, const char*> cases[] = {
      {{{"XDG_CONFIG_HOME", "/x/cfg"}, {"HOME", "/home/u"}}, "/x/cfg/quorvex/QUORVEX.INI"},
      {{{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}}, "/home/u/.config/quorvex/QUORVEX.INI"},
      {{{"XDG_CONFIG_HOME", ""}, {"HOME", "/home/u"}}, "/home/u/.config/quorvex/QUORVEX.INI"},
      {{}, ""}};
  for (const auto& [env, path] : cases) EXPECT_EQ(SettingsFilePath(LookupIn(env)), path);
}

TEST(Settings, LanguageChoice) {
  struct Case {
    const char* name;
    const char* ini;  // nullptr: no settings file
    EnvMap env;
    int offset;
  };
  const Case cases[] = {
      {"no file, no locale", nullptr, {}, 0},
      {"deu in lower case", "[Options]\nLanguage=deu\n", {}, kGermanOffset},
      {"DEU beats English", "[Options]\nLanguage=DEU\n", {{"LANG", "en_US"}}, kGermanOffset},
      {"ENG beats a German locale", "[Options]\nLanguage=ENG\n", {{"LANG", "de_DE.UTF-8"}}, 0},
      {"other codes are English", "[Options]\nLanguage=FRA\n", {}, 0},
      {"only DEU itself", "[Options]\nLanguage=DEUTSCH\n", {}, 0},
      {"empty value: the locale", "[Options]\nLanguage=\n", {{"LANG", "de_DE"}}, kGermanOffset},
      {"missing value, English locale", "[Options]\n", {{"LANG", "en_GB.UTF-8"}}, 0},
      {"no file, German locale", nullptr, {{"LANG", "de_DE.UTF-8"}}, kGermanOffset},
      {"LC_ALL first", nullptr, {{"LC_ALL", "C"}, {"LANG", "de_DE"}}, 0},
      {"LC_MESSAGES first", nullptr, {{"LC_MESSAGES", "de_AT"}, {"LANG", "en_US"}}, kGermanOffset},
      {"empty LC_ALL is unset", nullptr, {{"LC_ALL", ""}, {"LANG", "de"}}, kGermanOffset},
  };
  TempFolder tmp;
  for (const Case& c : cases) {
    const std::filesystem::path ini = tmp / "QUORVEX.INI";
    std::filesystem::remove(ini);
    if (c.ini) WriteFile(ini, c.ini);
    EXPECT_EQ(ChooseLanguageOffset(ini, LookupIn(c.env)), c.offset) << c.name;
  }

  WriteFile(tmp / "QUORVEX.INI", "[Options]\nLanguage=ABCDEFGHIJ\n");
  EXPECT_EQ(ReadLanguageSetting(tmp / "QUORVEX.INI"), "ABCDEFGH");

  WriteFile(tmp / "QUORVEX.INI", "[Options]\nLanguage=Deu\n");
  EnvMap none;
  EXPECT_EQ(SelectLanguage(tmp / "QUORVEX.INI", LookupIn(none)), kGermanOffset);
  EXPECT_EQ(LanguageOffset(), kGermanOffset);
  EXPECT_EQ(LoadText(kTextSevereProblem), "Quorvex Verarbeitungsfehler");
  SetLanguageOffset(0);

  EXPECT_EQ(ProgramHelpFileName(kGermanOffset), "QUORVEXD.HLP");
  EXPECT_EQ(ProgramHelpFileName(0), "QUORVEX.HLP");
}

TEST(WizardPages, StepsOneAtATimeSkippingTheOtherMode) {
  struct Case {
    int from;
    int direction;
    ConversionOptions options;
    int to;
  };
  const Case cases[] = {
      {3, +1, 0, 4},         {3, +1, kForPrint, 5},
      {11, -1, 0, 4},        {12, -1, kForPrint, 10},
      {4, +1, 0, 11},        {10, +1, kForPrint, 12},
      {5, -1, kForPrint, 3}, {12, +1, kForPrint, 12},
      {0, -1, 0, 0},         {2, +1, kForPrint | kNoShg, 3},
      {4, 0, 0, 4},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StepWizard(c.from, c.direction, c.options), c.to)
        << c.from << " by " << c.direction << " options " << c.options;

  auto walk = [](ConversionOptions options) {
    std::vector<int> steps{0};
    for (int s = 0; (s = StepWizard(s, +1, options)) != steps.back();) steps.push_back(s);
    return steps;
  };
  EXPECT_EQ(walk(kForPrint), (std::vector<int>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 12}));
  EXPECT_EQ(walk(0), (std::vector<int>{0, 1, 2, 3, 4, 11, 12}));
}

}  // namespace
}  // namespace quorvex
