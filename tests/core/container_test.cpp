// Opening a help file: the container, its directory and slots, every way a damaged one fails
// cleanly, |SYSTEM, the phrase tables (the goldens read each layout the compilers write, the
// corpus test every phrase of every corpus file).
#include "core/container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>

#include "core/phrases.h"
#include "core/system_file.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::literals;
using testing::HasSubstr;

// Field offsets: in the file header, from the directory start, in a page header.
constexpr size_t kDirStart = 4, kPageSize = 9 + 4, kRootPage = 9 + 26, kTotalEntries = 9 + 34;
constexpr size_t kPageCount = 2, kFirstChild = 4, kNextLeaf = 6;

/// A directory of `n` files on pages of `page_size` bytes.
HelpFileWriter ManyFiles(int n, uint16_t page_size, bool reverse = false) {
  HelpFileWriter w({.directory = {.page_size = page_size, .reverse_pages = reverse}});
  w.AddFile("|SYSTEM", GoldenSystem());
  for (int i = 0; i < n; ++i)
    w.AddFile("file" + std::to_string(i), std::vector<uint8_t>(size_t(i % 7), uint8_t(i)));
  return w;
}

class Opening : public testing::Test, public InMemorySession {
 protected:
  using InMemorySession::Open;
  /// A help file of |SYSTEM `system` (left out when empty) and `files`.
  std::unique_ptr<HelpFile> Open(std::vector<uint8_t> system, HelpFiles files,
                                 ConversionOptions options = 0) {
    if (!system.empty()) files.insert(files.begin(), {"|SYSTEM", std::move(system)});
    return Open(AssembleHelpFile(files), options);
  }
  /// The fatal message that opening `bytes` gives ("" when it opens).
  std::string Fatal(std::vector<uint8_t> bytes, ConversionOptions options = 0) {
    try {
      Open(std::move(bytes), options);
    } catch (const FatalException& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(Opening, DirectoryOfManyLevelsInBothPageOrdersAndItsEntryCount) {
  for (bool reverse : {false, true}) {
    HelpFileWriter many = ManyFiles(150, 64, reverse);
    std::vector<uint8_t> bytes = many.Build();
    auto hf = Open(bytes);
    ASSERT_GE(many.layout().directory.levels, 3);
    ASSERT_EQ(hf->internal_files.size(), many.layout().files.size());
    for (size_t n = 0; n < hf->internal_files.size(); ++n) {
      const InternalFile& got = hf->internal_files[n];
      const InternalFileLayout& want = many.layout().files[n];
      EXPECT_EQ(std::tuple(got.name, uint32_t(got.data_offset), uint32_t(got.size)),
                std::tuple(want.name, want.data_offset, want.size));
    }
    EXPECT_TRUE(diagnostics.warnings.empty());
    // The chain and the announced count: whichever is smaller decides.
    PutU32(bytes, many.layout().directory_start + kTotalEntries, 0x7FFFFFFF);
    EXPECT_EQ(Open(bytes)->internal_files.size(), 151u);
    EXPECT_EQ(Texts(),
              "The directory holds 151 internal files although its header announces "
              "2147483647");
    PutU32(bytes, many.layout().directory_start + kTotalEntries, 5);
    EXPECT_EQ(Open(bytes)->internal_files.size(), 5u);
  }
  EXPECT_EQ(diagnostics.progress.front(), std::make_pair(0, kPhaseLoadingSystem));
}

TEST_F(Opening, WellKnownSlotsNamesAndMagic) {
  // The later of two files for one slot wins; names are compared exactly.
  const std::tuple<std::vector<std::string>, Slot, int> cases[] = {
      {{"|KWBTREE", "|0KWBTREE"}, Slot::kKwBtree, 1},
      {{"|0KWDATA", "|FONT"}, Slot::kKwData, 0},
      {{"|FONT", "|TOPIC", "|FONT"}, Slot::kFont, 2},
      {{"|font", "|TOPICX", "|TOPI"}, Slot::kFont, -1},
  };
  for (const auto& [names, slot, expect] : cases) {
    HelpFileWriter w;
    w.AddFile("|SYSTEM", GoldenSystem());
    for (size_t i = 0; i < names.size(); ++i) w.AddFile(names[i], {uint8_t(i), uint8_t(i)});
    const SlotEntry s = Open(w.Build(), kProbeOnly)->slot(slot);
    EXPECT_EQ(s.present() ? int32_t(s.data_offset) : -1,
              expect >= 0 ? int32_t(w.layout().files[size_t(expect) + 1].data_offset) : -1);
  }
  HelpFileWriter w;
  w.AddFile("|SYSTEM", GoldenSystem()).AddFile(std::string(58, 'n'), {1});
  EXPECT_EQ(Open(w.Build())->internal_files[1].name, std::string(58, 'n'));
  w.AddFile(std::string(59, 'n'), {1});
  EXPECT_EQ(Fatal(w.Build()), "Fileformat-Problem. FileNumber=2");
  // A probe of a file that is no help file says nothing at all.
  for (std::vector<uint8_t> wrong : {std::vector<uint8_t>{'M', 'Z', 0, 0}, {0x3F, 0x5F}, {}}) {
    EXPECT_THAT(Fatal(wrong), HasSubstr("Magic Number of HLP-File incorrect."));
    diagnostics.progress.clear();
    EXPECT_EQ(Open(wrong, kProbeOnly), nullptr);
    EXPECT_TRUE(diagnostics.progress.empty());
  }
}

// Damaged containers: each ends in a clear fatal message, never a crash or a hang.
TEST_F(Opening, DamagedDirectories) {
  // 40 files on pages of 64 bytes, root last: the leaves are pages 0, 1, ... in chain order.
  HelpFileWriter w = ManyFiles(40, 64);
  const std::vector<uint8_t> good = w.Build();
  const HelpFileLayout& l = w.layout();
  const size_t dir = l.directory_start, root = l.DirectoryPageOffset(l.directory.root_page);
  auto leaf = [&](int i) { return size_t(l.DirectoryPageOffset(i)); };
  struct Field {
    size_t at;
    uint32_t value;
    bool wide = false;
  };
  const Field many{dir + kTotalEntries, 100000, true};
  const std::string root_page = std::to_string(l.directory.root_page);
  const std::tuple<size_t, std::vector<Field>, std::string> cases[] = {
      {10, {}, "10 bytes long, too short for its header"},
      {dir + 20, {}, "header at offset " + std::to_string(dir)},
      {good.size() - 10, {}, "page " + root_page + " of the directory at offset"},
      {0, {{kDirStart, 0xFFFFFFFF, true}}, "start -1 lies outside"},
      {0, {{kDirStart, uint32_t(good.size()), true}}, "start " + std::to_string(good.size())},
      {0, {{dir + kRootPage, 0xFFFF}}, "root page -1 lies outside"},
      {0, {{dir + kRootPage, 5000}}, "root page 5000 lies"},
      {0, {{root + kFirstChild, 30000}}, "child page 30000 lies"},
      {0, {{leaf(1) + kNextLeaf, 0xFFFE}}, "leaf page -2 lies"},  // only -1 ends the chain
      {0, {{leaf(4) + kNextLeaf, 2}, many}, "leaf chain loops at page 2"},
      {0, {{root + kFirstChild, uint32_t(l.directory.root_page)}}, "loops at page " + root_page},
      {0, {{leaf(1) + kPageCount, 60}}, "runs past the end"},
      {0, {{leaf(0) + kPageCount, 0xFFFF}}, "entry count (-1)"},
      {0, {{dir + kTotalEntries, ~0u, true}}, "entries (-1)"},
      {0, {{dir + kPageSize, 7}}, "page size of 7 bytes is smaller than"},
  };
  for (const auto& [size, fields, message] : cases) {
    std::vector<uint8_t> bytes = good;
    if (size) bytes.resize(size);
    for (const Field& f : fields)
      f.wide ? PutU32(bytes, f.at, f.value) : PutU16(bytes, f.at, uint16_t(f.value));
    EXPECT_THAT(Fatal(bytes), HasSubstr(message));
  }
  // A name without its NUL runs to the end of the page.
  HelpFileWriter small({.directory = {.page_size = 32}});  // header 8 + 2 entries of 12
  small.AddFile("|SYSTEM", GoldenSystem()).AddFile("abcdefg", {1});
  std::vector<uint8_t> bytes = small.Build();
  const uint32_t page = small.layout().DirectoryPageOffset(0);
  std::fill(bytes.begin() + page + 8 + 12 + 7, bytes.begin() + page + 32, 'x');
  EXPECT_THAT(Fatal(bytes), HasSubstr("name of directory entry 1 (offset " +
                                      std::to_string(page + 20) + ") runs past the end of page 0"));
}

TEST_F(Opening, DamagedEntriesAreWarnedAndTheRestIsRead) {
  // A file header outside the help file (its data offset would overflow); a file cut short; a
  // negative size.
  for (int32_t offset : {-5, 0x7FFFFFF0}) {
    HelpFileWriter w;
    w.AddFile("|SYSTEM", GoldenSystem()).AddEntry("|FONT", offset).AddFile("|TOPIC", {1});
    auto hf = Open(w.Build());
    EXPECT_EQ(hf->InternalData(Slot::kFont).size(), 0u);
    EXPECT_EQ(hf->slot(Slot::kTopic).size, 1);
    EXPECT_EQ(Texts(), "Internal file |FONT (entry 1) lies outside the help file and is ignored");
  }
  HelpFileWriter w({.directory = {}, .directory_first = true});
  w.AddFile("|SYSTEM", GoldenSystem()).AddFile("|TOPIC", std::vector<uint8_t>(100, 7));
  std::vector<uint8_t> bytes = w.Build();
  bytes.resize(bytes.size() - 40);
  EXPECT_EQ(Open(bytes)->InternalData(Slot::kTopic).size(), 60u);
  EXPECT_EQ(Texts(), "Internal file |TOPIC is cut short: 60 of 100 bytes are in the help file");
  bytes = w.Build();
  PutU32(bytes, w.layout().File("|TOPIC").header_offset + 4, 0xFFFFFFF0);
  EXPECT_EQ(Open(bytes)->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(Ids(), std::vector<int>{kWarnFileBadSize});
}

TEST_F(Opening, CompilerVersionsAndTheCompressionFlag) {
  // The flags 4 and 8 mean LZ77, except in HC30 files; only the low byte of the minor counts.
  const char* const only = "This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF";
  const std::tuple<std::vector<uint8_t>, std::string, bool> cases[] = {
      // |SYSTEM, the warning or fatal message, LZ77
      {BuildSystemFile(21, 8, {}), "", true},
      {BuildSystemFile(27, 8, {}), "File Created by WMVC (Media Viewer). handling Incomplete",
       true},
      {BuildSystemFile(0x0121, 4, {}),
       "File Created by HCRTF (Windows NT/Windows 95). handling Incomplete", true},
      // Another compiler, or a |SYSTEM shorter than its header (read as zeros).
      {BuildSystemFile(16, 0, {}), only, false},
      {{0x6C, 3}, only, false},
      {{}, "", false},  // no |SYSTEM: nothing is known
  };
  for (const auto& [system, message, compressed] : cases)
    for (ConversionOptions options : {ConversionOptions(0), kProbeOnly}) {
      SCOPED_TRACE(message);
      std::string said;
      try {
        const auto hf = Open(system, {{"|TOPIC", {0}}}, options);
        // A probe only learns that a file of another compiler does not open.
        if (!hf && options == kProbeOnly && message == only) continue;
        EXPECT_EQ(hf->compressed, compressed);
        for (const auto& w : diagnostics.warnings) said += w.text;
      } catch (const FatalException& e) {
        said = e.what();
      }
      EXPECT_EQ(said, message);
    }
}

/// |SYSTEM of HC31 with `records`, then `more` bytes.
std::vector<uint8_t> Hc31(std::vector<SystemRecordSpec> records, std::string_view more = "") {
  return ByteBuilder(BuildSystemFile(21, 0, records)).text(more).take();
}

TEST_F(Opening, SystemStringsAndRecordsCutShort) {
  using Text = std::optional<std::string>;
  const std::nullopt_t none = std::nullopt;
  const auto T = TextRecord;
  // |SYSTEM, title, copyright, citation (the corpus and the help-file list see plain ones)
  const std::tuple<std::vector<uint8_t>, Text, Text, Text> cases[] = {
      // Copyright and citation of fewer than three characters are placeholders.
      {Hc31({T(2, "\xA9 "), T(8, "ab")}), none, none, none},
      {Hc31({T(2, "\xA9 X"), T(8, "abc")}), none, "\xA9 X", "abc"},
      {Hc31({T(1, "One"), T(4, "M()"), T(1, "Two"), T(1, ""), {1, {}}}), "Two", none, none},
      // HC30: the title follows the header, at most 31 characters up to a line feed (kept).
      {BuildHc30SystemFile(std::string(40, 'x')), std::string(31, 'x'), none, none},
      {BuildHc30SystemFile("Line\nMore"), "Line\n", none, none},
      {BuildHc30SystemFile("", 0, false), none, none, none},
  };
  for (const auto& [system, title, copyright, citation] : cases) {
    const SystemStrings s = ReadSystemStrings(*Open(system, {}, kProbeOnly));
    EXPECT_EQ(std::tie(s.title, s.copyright, s.citation), std::tie(title, copyright, citation));
  }
  // The record list ends with a record cut short, which is kept, or with a head cut short;
  // the strings are read quietly.
  const std::tuple<std::string_view, size_t, const char*> cut[] = {
      {"\1\0\xC8\0Cut\0x"sv, 5,
       "|SYSTEM record of type 1 is cut short: 5 of 200 bytes are in the file"},
      {"\2\0\0"sv, 0, "|SYSTEM record of type 2 is cut short: 3 of 4 bytes are in the file"},
  };
  for (const auto& [more, kept, warning] : cut) {
    const auto hf = Open(Hc31({TextRecord(2, "(c) X")}, more), HelpFiles{});
    const std::vector<SystemRecord> records = ReadSystemRecords(*hf);
    ASSERT_EQ(records.size(), kept ? 2u : 1u);
    EXPECT_EQ(records.back().data.size(), kept ? kept : 6u);
    EXPECT_EQ(Texts(), warning);
    diagnostics.warnings.clear();
    EXPECT_EQ(ReadSystemStrings(*hf).title, kept ? Text("Cut") : none);
    EXPECT_TRUE(diagnostics.warnings.empty());
  }
}

/// Every phrase of the loaded table; "<none>" for one GetPhrase refuses.
std::vector<std::string> Phrases(const HelpFile& hf) {
  std::vector<std::string> out;
  for (size_t i = 0; i < hf.phrases.count(); ++i)
    out.emplace_back(GetPhrase(hf, i).value_or("<none>"));
  return out;
}

TEST_F(Opening, PhrasesSizeRuleMediaViewerHeaderAndDamage) {
  // Without the LZ77 flag the text counts as compressed when (size - 2N - 8 + 10) < S, that is
  // C + 12 < S for C compressed bytes; else the layout is the stored one, from offset 4 on.
  const std::vector<std::string> phrases = {"the ", "help ", "", "window", "the help window "};
  const Lz77Mode literals = Lz77Mode::kLiteralsOnly;
  const int64_t c = int64_t(BuildHc31Phrases(phrases, literals).size() - 8 - 2 * (5 + 1));
  const auto hc31 = BuildSystemFile(21, 0, {});
  EXPECT_EQ(Phrases(*Open(hc31, {{"|Phrases", BuildHc31Phrases(phrases, literals, c + 13)}})),
            phrases);
  const std::vector<uint8_t> stored = BuildHc31Phrases(phrases, literals, c + 12);
  EXPECT_EQ(Open(hc31, {{"|Phrases", stored}})->phrases.text,
            std::string(stored.begin() + 4, stored.end()));
  auto hf = Open(BuildSystemFile(27, 4, {}), {{"|Phrases", BuildLongHeaderPhrases(phrases)}});
  EXPECT_EQ(Phrases(*hf), phrases);
  EXPECT_TRUE(Ids().empty());
  // Offsets at 4, 6, ... 12, counted from offset 4: phrase 1 ends before it starts, phrase 2
  // starts inside phrase 0, phrase 3 ends beyond the text. A probe loads no phrases.
  std::vector<uint8_t> data = BuildHc30Phrases({"one", "two", "three", "x"});
  PutU16(data, 8, 11);
  PutU16(data, 12, 500);
  EXPECT_FALSE(Open(BuildHc30SystemFile("T"), {{"|Phrases", data}}, kProbeOnly)->phrases.loaded());
  hf = Open(BuildHc30SystemFile("T"), {{"|Phrases", data}});
  EXPECT_EQ(Phrases(*hf), (std::vector<std::string>{"one", "<none>", "netwothree", "<none>"}));
  EXPECT_FALSE(GetPhrase(*hf, 4));

  std::vector<uint8_t> huge_n = BuildHc31Phrases({"ab", "cd"});
  PutU16(huge_n, 0, 60000);
  std::vector<uint8_t> damaged = BuildHc31Phrases({"abc", "def"}, Lz77Mode::kLiteralsOnly);
  damaged[8 + 6] = 0x01;  // the flag byte: item 0 a reference before the start of the output
  const std::tuple<const char*, bool, std::vector<uint8_t>, int, size_t> cases[] = {
      // name, HC30, |Phrases, warning, phrases kept
      {"HC31 header without a table", false, {1, 0, 0, 1, 4, 0, 0, 0}, kWarnPhraseHeader, 0},
      {"HC30 header without a table", true, {1, 0, 0, 1}, kWarnPhraseHeader, 0},
      {"N far beyond the offsets there are", false, huge_n, kWarnPhraseCount,
       (huge_n.size() - 8) / 2 - 1},
      {"damaged compressed text", false, damaged, kWarnPhraseDamaged, 2},
      {"text beyond the announced size and its slack", false,
       BuildHc31Phrases({std::string(400, 'x')}, Lz77Mode::kGreedy, 10), kWarnPhraseTextCut, 1},
  };
  for (const auto& [name, hc30, data, warning, count] : cases) {
    SCOPED_TRACE(name);
    hf = Open(hc30 ? BuildHc30SystemFile("T") : BuildSystemFile(21, 4, {}), {{"|Phrases", data}});
    EXPECT_EQ(Ids(), std::vector<int>{warning});
    EXPECT_EQ(hf->phrases.count(), count);
  }
  // The cut text keeps 10 + 300 bytes: phrase 0 ends beyond them.
  EXPECT_EQ(hf->phrases.text.size(), 4 + 310u);
  EXPECT_FALSE(GetPhrase(*hf, 0));
}

TEST_F(Opening, RtfPhraseLengthsOfEveryWidthSizeToleranceAndDamagedHeaders) {
  auto open = [this](const std::vector<uint8_t>& index, const std::vector<uint8_t>& image) {
    return Open(BuildSystemFile(33, 4, {}), {{"|PhrIndex", index}, {"|PhrImage", image}});
  };
  // Bits beyond the data read as 0: eight 1-bits then the 0 that ends the run, length 9. More
  // phrases than the bits can hold are cut to them (at least k + 1 bits a phrase).
  EXPECT_EQ(DecodePhraseIndex(1, 0, std::vector<uint8_t>{0xFF}), (std::vector<uint32_t>{0, 9}));
  EXPECT_EQ(DecodePhraseIndex(0x80000000u, 3, std::vector<uint8_t>(4)).size(), 32u / 4 + 1);
  // Every width k, the low four bits of the byte at 24 of |PhrIndex.
  std::mt19937 rng(7);
  for (unsigned k = 0; k <= 15; ++k) {
    std::vector<std::string> phrases;
    for (int i = 0; i < 40; ++i)
      phrases.emplace_back(1 + rng() % (k < 4 ? 40 : 3u << k), char('a' + i % 26));
    const RtfPhraseFiles rtf = BuildRtfPhrases(phrases, k, false);
    ASSERT_EQ(Phrases(*open(rtf.index, rtf.image)), phrases) << "k " << k;
  }
  // |PhrImage may give 10 bytes more or less than |PhrIndex announces without warning 21.
  const std::vector<std::string> phrases(50, "compressible ");  // 650 bytes, 32 bytes of bits
  const size_t text = kPhrIndexTextSizeAt, n = kPhrIndexCountAt;
  const int size = kWarnPhraseSize, count = kWarnPhraseCount;
  const std::tuple<bool, size_t, uint32_t, int, size_t> cases[] = {
      // LZ77 (else the stored size is the text size too), field, value, warning, phrases
      {true, text, 660, 0, 50},                          // 10 bytes fewer than announced
      {true, text, 640, 0, 50},                          // 10 more
      {true, text, 639, size, 50},                       // 11 more
      {false, text, 661, size, 50},                      // 11 fewer, stored
      {true, text, 0x7FFFFFFF, size, 50},                // no room is made for it
      {true, kPhrIndexStoredSizeAt, 0x7FFFFFFF, 0, 50},  // only the bytes of |PhrImage are read
      {true, kPhrIndexBitBytesAt, 0x7FFFFFF0, 0, 50},    // only the bytes of |PhrIndex are read
      {true, n, 0x7FFFFFFF, count, 32 * 8 / 5},          // at least k + 1 bits a phrase
      {true, n, 0xFFFFFFFF, count, 0},
      {true, text, 661, size, 50},  // last: its warning is checked below
  };
  for (const auto& [compress, field, value, warning, kept] : cases) {
    SCOPED_TRACE(testing::Message() << field << ": " << value);
    RtfPhraseFiles files = BuildRtfPhrases(phrases, 4, compress);
    PutU32(files.index, field, value);
    if (!compress) PutU32(files.index, kPhrIndexStoredSizeAt, value);
    auto hf = open(files.index, files.image);
    EXPECT_EQ(Ids(), warning ? std::vector<int>{warning} : std::vector<int>{});
    ASSERT_EQ(hf->phrases.count(), kept);
    for (size_t i = 0; i < std::min<size_t>(kept, 50); ++i)
      EXPECT_EQ(GetPhrase(*hf, i), phrases[i]);
  }
  EXPECT_EQ(Texts(), "Phrases Header: Expected Size 0x00000295, found 0x0000028A");
  EXPECT_EQ(open(std::vector<uint8_t>(20, 0), {1})->phrases.count(), 0u);  // the header cut short
  EXPECT_EQ(Ids(), std::vector<int>{kWarnPhraseHeader});
}

}  // namespace
}  // namespace quorvex
