// Hostile help files, each named after what it breaks, converted in both modes: each gets its
// warning, messages carry no control characters, the output stays small and inside the output
// folder. Then the output budget and attacks on the output folder itself. (Damaged directories
// and phrase tables: the container test; damaged topic links: the goldens.)
#include <gtest/gtest.h>

#include <functional>

#include "graphics/picture_export.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using Data = std::vector<uint8_t>;

/// Topics from `t` with |SYSTEM, an HC31 phrase table of `phrases` and `extra` files.
Data Topics(const TopicRecords& t, const std::vector<std::string>& phrases = {},
            HelpFiles extra = {}) {
  extra.push_back({"|SYSTEM", GoldenSystem()});
  extra.push_back({"|TOPIC", t.Build()});
  if (!phrases.empty()) extra.push_back({"|Phrases", BuildHc31Phrases(phrases)});
  return AssembleHelpFile(extra);
}

const struct {
  const char* breaks;
  std::function<Data()> build;
  int warning;  // given in recompilation, and in printing with `print_warns` (0: none)
  bool print_warns;
  size_t times = 1;  // the warning at least this often
} kCases[] = {
    {"record size 0x7FFFFFFF",
     [] { return Topics(TopicRecords().Header({"F"}).Record({.record_size = 0x7FFFFFFF}), {"a"}); },
     kWarnTopicRecordDamaged, true},
    {"picture sides 100000 x 100000",
     [] {
       const Data p = BitmapPicture({.width = 100000, .height = 100000, .pixels = Data(40)});
       return AssembleHelpFile({{"|SYSTEM", GoldenSystem()}, {"|bm1", PictureContainer({p})}});
     },
     kWarnPicturePixelsShort, true},
    {"baggage names ../../x, absolute and with a terminal escape",
     [] {
       return Topics(TopicRecords(), {},
                     {{"../../x", {'b'}}, {"/tmp/quorvex-abs", {'b'}}, {"\x1b]2;x\x07", {'b'}}});
     },
     kWarnUnsafeName, false, 3},
    // 60 records whose 200 stored bytes, each pair a code for the 65,000-byte phrase, claim
    // 16 MB of text: gigabytes of RTF if the phrase were repeated as often as the codes say.
    {"one 65,000-byte phrase in 60 records that claim 16 MB each",
     [] {
       TopicRecords t;
       t.Header({"First"});
       for (int i = 0; i < 60; ++i) {
         Data codes(200, 0);
         for (size_t j = 0; j < codes.size(); j += 2) codes[j] = 1;
         t.Record(StoredParagraph(codes, 16 << 20));
       }
       return Topics(t, {std::string(65000, 'a')});
     },
     kWarnTopicTextCut, true},
    // Each record's keyword look-up would step over every keyword written before it.
    {"3000 records at the offset of 3000 keywords",
     [] {
       TopicRecords t;
       t.Header({"First"});
       for (int i = 0; i < 3000; ++i) t.Record(StoredParagraph({}, 0));
       const KeywordFiles k = BuildKeywordFiles({{"k", std::vector<uint32_t>(3000, 0)}});
       return Topics(t, {}, {{"|KWBTREE", k.btree}, {"|KWDATA", k.data}});
     },
     0, false},
};

TEST(HostileFiles, EachGetsItsMessageAndNothingLandsOutsideTheOutputFolder) {
  for (const auto& c : kCases) {
    for (ConversionOptions options :
         {kRecompile | kLocalize, ApplyCanonicalOptions(kForPrint) | kBmpInRtf | kToc}) {
      const bool print = options & kForPrint;
      SCOPED_TRACE(std::string(c.breaks) + (print ? ", printing" : ", recompilation"));
      TempFolder folder;
      WriteFile(folder / "in/TEST.HLP", c.build());
      RecordingDiagnostics d;
      EXPECT_EQ(ConvertInto(folder / "in/TEST.HLP", folder / "a/b/out", d, options), "");
      std::string texts;
      for (const auto& w : d.warnings) texts += w.text + "\n";
      const bool warns = c.warning && (c.print_warns || !print);
      EXPECT_TRUE(warns ? d.Count(c.warning) >= c.times : d.Count(c.warning) == 0) << texts;
      for (unsigned char ch : texts) EXPECT_TRUE(ch >= 0x20 || ch == '\n') << texts;
      uint64_t written = 0;
      for (const auto& [f, bytes] : FilesBelow(folder.path())) {
        EXPECT_TRUE(f.starts_with("a/b/out/") || f == "in/TEST.HLP" || f == "in/TEST.TXT") << f;
        written += bytes.size();
      }
      EXPECT_LE(written, uint64_t{16} << 20);
    }
  }
}

TEST(HostileFiles, OutputBudgetStopsPicturesRepeatedByTheDirectory) {
  // A 4096 x 4096 bitmap of zeros packs into a few kilobytes and unpacks to 8 MB; twenty
  // directory entries name its container.
  const Data picture =
      BitmapPicture({.packing = 3, .width = 4096, .height = 4096, .pixels = Data(4096 * 2048)});
  HelpFileWriter w;
  w.AddFile("|SYSTEM", GoldenSystem()).AddFile("|bm0", PictureContainer({picture})).Build();
  for (int i = 1; i < 20; ++i)
    w.AddEntry("|bm" + std::to_string(i), int32_t(w.layout().File("|bm0").header_offset));
  const Data help = w.Build();
  InMemorySession s;
  StandardPhases phases;
  ConvertHelpFile({kRecompile, "TEST.HLP", 0, &help}, s.session, phases);
  EXPECT_EQ(s.diagnostics.Count(kWarnOutputBudget), 1u);
  uint64_t written = 0;
  for (const auto& [name, bytes] : s.dir->files()) written += bytes.size();
  EXPECT_GT(written, OutputBudgetFor(help.size()));
  EXPECT_LE(written, OutputBudgetFor(help.size()) + kMaxUnpackedPicture);
  EXPECT_TRUE(s.dir->files().count("TEST.RTF")) << "the topics still get their file";
}

TEST(HostileOutputFolder, UnsafeNamesGetSafeNamesInsideAndOnlyItsOwnFilesAreDeleted) {
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
  // Only files this folder created are deleted or read back.
  WriteFile(root / "out/target", "keep");
  EXPECT_FALSE(dir.Remove("target") || dir.Read("target"));
  EXPECT_TRUE(dir.Remove("LOGO.BMP"));
  EXPECT_FALSE(fs::exists(root / "out/LOGO.BMP") || dir.Remove("LOGO.BMP"));
}

TEST(HostileOutputFolder, PlantedLinkHelpFileInsideAndMessagesThatNameWhatFailed) {
  TempFolder folder;
  const Data help = GoldenHelpFile(std::move(TopicRecords().Header({"T"})));
  WriteFile(folder / "in/TEST.HLP", help);
  RecordingDiagnostics d;
  // A link planted in the output folder is replaced; its target outside stays untouched.
  WriteFile(folder / "victim", "keep");
  fs::create_directories(folder / "out");
  fs::create_symlink(folder / "victim", folder / "out/TEST.RTF");
  fs::create_symlink(folder / "dangling", folder / "out/TEST.HPJ");
  EXPECT_EQ(ConvertInto(folder / "in/TEST.HLP", folder / "out", d), "");
  EXPECT_EQ(ReadFile(folder / "victim"), "keep");
  EXPECT_FALSE(fs::exists(folder / "dangling"));
  EXPECT_FALSE(fs::is_symlink(folder / "out/TEST.RTF"));

  // "-o in in/TEST.RTF": the help file, however it is named, is never written over.
  WriteFile(folder / "in/TEST.RTF", help);
  EXPECT_EQ(ConvertInto(folder / "in/TEST.RTF", folder / "in", d), "");
  EXPECT_EQ(ReadFile(folder / "in/TEST.RTF"), std::string(help.begin(), help.end()));
  EXPECT_EQ(d.Count(kWarnOutputIsInput), 1u);
  EXPECT_NE(ReadFile(folder / "in/TEST.HPJ").find("[Files]\r\nTEST_2.RTF\r\n"), std::string::npos);

  // A folder is said to be one, an uncreatable project file is named, control characters in
  // a path are shown as escapes.
  EXPECT_EQ(ConvertInto(folder / "in", folder / "out", d),
            (folder / "in").string() + " is a folder, not a help file");
  WriteFile(folder / "plain", "");
  EXPECT_TRUE(ConvertInto(folder / "in/TEST.HLP", folder / "plain/out", d)
                  .starts_with("Can't Create " + (folder / "plain/out/TEST.HPJ").string()));
  EXPECT_EQ(ConvertInto(folder / "in/\x1b[2J.HLP", folder / "out", d),
            "Can't open File " + (folder / "in/\\x1B[2J.HLP").string());
}

}  // namespace
}  // namespace quorvex
