// Hostile help files, each named after what it breaks, converted in both modes: each gets its
// warning or fatal message, no message carries a control character, and nothing lands outside
// the output folder. Then the attacks on the output folder itself: a link planted in it, the
// help file as one of its files, an output budget that a small file cannot justify, and the
// messages that must name what failed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>

#include "core/container.h"
#include "graphics/picture_export.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using Data = std::vector<uint8_t>;

constexpr ConversionOptions kPrint = ApplyCanonicalOptions(kForPrint);

/// A help file whose directory has two leaf pages or more (64-byte pages).
Data SmallPagedDirectory(HelpFileWriter& w) {
  w.AddFile("|SYSTEM", GoldenSystem()).AddFile("|TOPIC", TopicRecords().Build());
  for (const char* name : {"one.txt", "two.txt", "three.txt", "four.txt", "five.txt"})
    w.AddFile(name, {'x'});
  return w.Build();
}

Data DirectoryLoop() {
  HelpFileWriter w({.directory = {.page_size = 64}});
  Data help = SmallPagedDirectory(w);
  // The second leaf's next-leaf word (at 6 in the page header) names the first leaf again, and
  // the B-tree header (entry count at 34) announces more entries than there are.
  EXPECT_GE(w.layout().directory.levels, 2);
  PutU16(help, w.layout().DirectoryPageOffset(1) + 6, 0);
  PutU32(help, w.layout().directory_start + 9 + 34, 1000);
  return help;
}

/// A topic in block 0 whose next record is said to be in block 1, whose record points back.
Data BlockLinkLoop() {
  TopicRecords t;
  t.Header({"First"});
  t.writer().FillToBlockEnd();
  t.Record({.type = 2, .format_part = Data(28, 0), .next = 12});  // block 0 again
  return GoldenHelpFile(t);
}

Data WithPhrases(TopicRecordSpec record) {
  TopicRecords t;
  t.Header({"First"}).Record(std::move(record));
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|Phrases", BuildHc31Phrases({"a", "b"})},
                           {"|TOPIC", t.Build()}});
}

Data PhraseCount65535() {
  const Data phrases = ByteBuilder().u16(65535).u16(0x100).i32(0).take();
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()}, {"|Phrases", phrases}});
}

Data HugePictureSides() {
  const Data picture = BitmapPicture({.width = 100000, .height = 100000, .pixels = Data(40, 0x11)});
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()}, {"|bm1", PictureContainer({picture})}});
}

Data WithBaggage(std::string name) {
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()}, {std::move(name), {'b', 'a', 'g'}}});
}

/// One phrase of 65,000 bytes and 60 records whose 2 stored bytes each claim 16 MB of text:
/// the phrase repeated without end would write gigabytes.
Data PhraseAmplification() {
  TopicRecords t;
  t.Header({"First"});
  for (int i = 0; i < 60; ++i) {
    Data text(200, 0);
    for (size_t j = 0; j < text.size(); j += 2) text[j] = 1;  // code 0: phrase 0
    t.Record({.type = 0x20,
              .format_part = ParagraphFormatPart(EndedParagraph().Build()),
              .text_part = text,
              .expanded_length = 16 << 20});
  }
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|Phrases", BuildHc31Phrases({std::string(65000, 'a')})},
                           {"|TOPIC", t.Build()}});
}

/// 3000 records without text, all at the TopicOffset of 3000 keywords: each record's look-up
/// would step over every keyword written before it.
Data KeywordsSharingOneOffset() {
  TopicRecords t;
  t.Header({"First"});
  for (int i = 0; i < 3000; ++i)
    t.Record({.type = 0x20,
              .format_part = ParagraphFormatPart(EndedParagraph().Build()),
              .expanded_length = 0});
  const KeywordFiles k = BuildKeywordFiles({{"k", std::vector<uint32_t>(3000, 0)}});
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|KWBTREE", k.btree},
                           {"|KWDATA", k.data},
                           {"|TOPIC", t.Build()}});
}

struct HostileCase {
  const char* breaks;
  std::function<Data()> build;
  const char* fatal;  // a part of the fatal message, or none
  int warning;        // a warning each mode gives (0: none)
  bool print_warns;   // printing mode gives the warning too
};

const HostileCase kCases[] = {
    {"directory leaf chain that loops", DirectoryLoop, "leaf chain loops", 0, false},
    {"topic link back into an earlier block", BlockLinkLoop, nullptr, kWarnTopicRecordLost, true},
    {"record size 0x7FFFFFFF",
     [] { return WithPhrases({.type = 0x20, .record_size = 0x7FFFFFFF}); }, nullptr,
     kWarnTopicRecordDamaged, true},
    {"phrase count 65535 with no data", PhraseCount65535, nullptr, kWarnPhraseCount, true},
    {"picture sides 100000 x 100000", HugePictureSides, nullptr, kWarnPicturePixelsShort, true},
    {"baggage name ../../x", [] { return WithBaggage("../../x"); }, nullptr, kWarnUnsafeName,
     false},
    {"absolute baggage name", [] { return WithBaggage("/tmp/quorvex-abs"); }, nullptr,
     kWarnUnsafeName, false},
    {"terminal escape in a baggage name", [] { return WithBaggage("\x1b]2;owned\x07"); }, nullptr,
     kWarnUnsafeName, false},
    {"0-byte file", [] { return Data(); }, "Magic Number", 0, false},
    {"15-byte file",
     [] { return Data{0x3F, 0x5F, 0x03, 0, 16, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0}; },
     "too short for its header", 0, false},
    {"one 65,000-byte phrase in 60 records that claim 16 MB each", PhraseAmplification, nullptr,
     kWarnTopicTextCut, true},
    {"3000 records at the offset of 3000 keywords", KeywordsSharingOneOffset, nullptr, 0, false},
};

/// Every file under `root`, as paths relative to it.
std::vector<std::string> FilesUnder(const fs::path& root) {
  std::vector<std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(root))
    if (!e.is_directory()) files.push_back(fs::relative(e.path(), root).string());
  return files;
}

TEST(HostileFiles, EachGetsItsMessageAndNothingLandsOutsideTheOutputFolder) {
  for (const HostileCase& c : kCases) {
    for (const ConversionOptions options : {kRecompile | kLocalize, kPrint | kBmpInRtf | kToc}) {
      const bool print = options & kForPrint;
      SCOPED_TRACE(std::string(c.breaks) + (print ? ", printing" : ", recompilation"));
      TempFolder folder;
      const fs::path help = folder / "in/TEST.HLP", out = folder / "a/b/out";
      WriteFile(help, c.build());
      RecordingDiagnostics diagnostics;
      OutputDir dir(out);
      ConversionSession session(diagnostics, dir);
      StandardPhases phases;
      std::string fatal;
      try {
        ConvertHelpFile({options, help.string()}, session, phases);
      } catch (const FatalException& e) {
        fatal = e.what();
      }
      EXPECT_EQ(fatal.empty(), !c.fatal) << fatal;
      EXPECT_NE(fatal.find(c.fatal ? c.fatal : ""), std::string::npos) << fatal;
      std::string texts;
      for (const auto& w : diagnostics.warnings) texts += w.text + "\n";
      EXPECT_EQ(diagnostics.Count(c.warning) > 0, c.warning && (c.print_warns || !print)) << texts;
      for (unsigned char ch : texts) EXPECT_TRUE(ch >= 0x20 || ch == '\n') << texts;
      for (const std::string& f : FilesUnder(folder.path()))
        EXPECT_TRUE(f.starts_with("a/b/out/") || f == "in/TEST.HLP" || f == "in/TEST.TXT") << f;
      uint64_t written = 0;
      for (const std::string& f : FilesUnder(out)) written += fs::file_size(out / f);
      EXPECT_LE(written, uint64_t{16} << 20);
    }
  }
}

TEST(HostileFiles, OutputBudgetStopsPicturesRepeatedByTheDirectory) {
  // A 4096 x 4096 bitmap of zeros packs into a few kilobytes and unpacks to 8 MB; twenty
  // directory entries name the same container.
  const Data picture =
      BitmapPicture({.packing = 3, .width = 4096, .height = 4096, .pixels = Data(4096 * 2048, 0)});
  HelpFileWriter w;
  w.AddFile("|SYSTEM", GoldenSystem()).AddFile("|bm0", PictureContainer({picture}));
  w.Build();
  for (int i = 1; i < 20; ++i)
    w.AddEntry("|bm" + std::to_string(i), int32_t(w.layout().File("|bm0").header_offset));
  const Data help = w.Build();

  RecordingDiagnostics diagnostics;
  std::unique_ptr<OutputDir> out = OutputDir::InMemory();
  ConversionSession session(diagnostics, *out);
  StandardPhases phases;
  ConvertHelpFile({kRecompile, "TEST.HLP", 0, &help}, session, phases);
  EXPECT_EQ(diagnostics.Count(kWarnOutputBudget), 1u);
  uint64_t written = 0;
  for (const auto& [name, bytes] : out->files()) written += bytes.size();
  EXPECT_GT(written, OutputBudgetFor(help.size()));
  EXPECT_LE(written, OutputBudgetFor(help.size()) + kMaxUnpackedPicture);
  EXPECT_TRUE(out->files().count("TEST.RTF")) << "the topics still get their file";
}

/// Converts `help` in recompilation mode with `folder` as output folder; the fatal message or "".
std::string Convert(const fs::path& help, const fs::path& folder, RecordingDiagnostics& d) {
  OutputDir dir(folder);
  ConversionSession session(d, dir);
  StandardPhases phases;
  try {
    ConvertHelpFile({kRecompile, help.string()}, session, phases);
  } catch (const FatalException& e) {
    return e.what();
  }
  return "";
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
  EXPECT_EQ(Convert(folder / "in/TEST.HLP", folder / "out", d), "");
  EXPECT_EQ(ReadFile(folder / "victim"), "keep");
  EXPECT_FALSE(fs::exists(folder / "dangling"));
  EXPECT_FALSE(fs::is_symlink(folder / "out/TEST.RTF"));

  // "-o in in/TEST.RTF": the help file, however it is named, is never written over.
  WriteFile(folder / "in/TEST.RTF", help);
  EXPECT_EQ(Convert(folder / "in/TEST.RTF", folder / "in", d), "");
  EXPECT_EQ(ReadFile(folder / "in/TEST.RTF"), std::string(help.begin(), help.end()));
  EXPECT_EQ(d.Count(kWarnOutputIsInput), 1u);
  EXPECT_NE(ReadFile(folder / "in/TEST.HPJ").find("[Files]\r\nTEST_2.RTF\r\n"), std::string::npos);

  // A folder is said to be one; a project file that cannot be created is named.
  EXPECT_EQ(Convert(folder / "in", folder / "out", d),
            (folder / "in").string() + " is a folder, not a help file");
  WriteFile(folder / "plain", "");
  EXPECT_TRUE(Convert(folder / "in/TEST.HLP", folder / "plain/out", d)
                  .starts_with("Can't Create " + (folder / "plain/out/TEST.HPJ").string()));
  // Control characters in a path reach no message as they are.
  EXPECT_EQ(Convert(folder / "in/\x1b[2J.HLP", folder / "out", d),
            "Can't open File " + (folder / "in/\\x1B[2J.HLP").string());
}

}  // namespace
}  // namespace quorvex
