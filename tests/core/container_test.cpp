// The container: file header, directory B-tree, internal-file table and well-known slots, and
// every way a damaged container must fail cleanly.
#include "core/container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/system_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using testing::HasSubstr;
using testsupport::BuildSystemFile;
using testsupport::ByteBuilder;
using testsupport::HelpFileOptions;
using testsupport::HelpFileWriter;
using testsupport::PutU16;
using testsupport::PutU32;

// Field offsets of the on-disk structures, for corrupting built files.
constexpr size_t kDirStartField = 4;       // file header: directory start
constexpr size_t kUsedSpaceField = 4;      // internal-file header: used space
constexpr size_t kPageSizeField = 9 + 4;   // from the directory start: B-tree page size
constexpr size_t kRootPageField = 9 + 26;  // from the directory start: root page
constexpr size_t kTotalEntriesField = 9 + 34;
constexpr size_t kPageCountField = 2;   // page header: entry count
constexpr size_t kFirstChildField = 4;  // index page header: first child
constexpr size_t kNextLeafField = 6;    // leaf page header: next leaf

std::vector<uint8_t> Hc31System() {
  return BuildSystemFile(21, 4, {});
}

class ContainerTest : public testing::Test {
 protected:
  ContainerTest()
      : root_(std::filesystem::temp_directory_path() /
              ("quorvex-container-" + std::to_string(::getpid()) + "-" +
               testing::UnitTest::GetInstance()->current_test_info()->name())),
        out_(root_),
        session_(diag_, out_) {}
  ~ContainerTest() override { std::filesystem::remove_all(root_); }

  std::unique_ptr<HelpFile> Open(std::vector<uint8_t> bytes, ConversionOptions options = 0) {
    return OpenHelpFileFromBytes(std::move(bytes), "TEST.HLP", options, session_);
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

  std::filesystem::path root_;
  RecordingDiagnostics diag_;
  OutputDir out_;
  ConversionSession session_;
};

/// A directory of `n` files spread over pages of `page_size` bytes.
HelpFileWriter ManyFiles(int n, uint16_t page_size, bool reverse = false) {
  HelpFileOptions o;
  o.directory.page_size = page_size;
  o.directory.reverse_pages = reverse;
  HelpFileWriter w(o);
  w.AddFile("|SYSTEM", Hc31System());
  for (int i = 0; i < n; ++i)
    w.AddFile("file" + std::to_string(i), std::vector<uint8_t>(size_t(i % 7), uint8_t(i)));
  return w;
}

void ExpectTableMatchesLayout(const HelpFile& hf, const testsupport::HelpFileLayout& layout) {
  ASSERT_EQ(hf.internal_files.size(), layout.files.size());
  for (size_t i = 0; i < layout.files.size(); ++i) {
    SCOPED_TRACE(layout.files[i].name);
    EXPECT_EQ(hf.internal_files[i].name, layout.files[i].name);
    EXPECT_EQ(uint32_t(hf.internal_files[i].data_offset), layout.files[i].data_offset);
    EXPECT_EQ(uint32_t(hf.internal_files[i].size), layout.files[i].size);
  }
}

TEST_F(ContainerTest, SingleLeafDirectoryStopsDescentAtRoot) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System()).AddFile("|TOPIC", {1, 2, 3}).AddFile("|bm0", {9});
  auto hf = Open(w.Build());
  ASSERT_TRUE(hf);
  EXPECT_EQ(w.layout().directory.levels, 1);
  EXPECT_EQ(hf->first_leaf, 0);
  EXPECT_EQ(hf->page0_offset, w.layout().directory_page0);
  EXPECT_EQ(hf->directory_header.page_size, 1024);
  EXPECT_EQ(hf->directory_header.structure, "z4");
  ExpectTableMatchesLayout(*hf, w.layout());
  EXPECT_EQ(uint32_t(hf->slot(Slot::kTopic).data_offset), w.layout().File("|TOPIC").data_offset);
  EXPECT_EQ(hf->slot(Slot::kTopic).size, 3);
  EXPECT_FALSE(hf->slot(Slot::kFont).present());
  EXPECT_TRUE(diag_.warnings.empty());
  ASSERT_FALSE(diag_.progress.empty());
  EXPECT_EQ(diag_.progress.front(), std::make_pair(0, kPhaseLoadingSystem));
}

// Entry numbers continue across pages, whichever way the pages are numbered; the one-walk
// table and the per-entry scan give the same entries.
TEST_F(ContainerTest, MultiLevelDirectoryMatchesPerEntryScan) {
  for (bool reverse : {false, true}) {
    SCOPED_TRACE(reverse ? "root first" : "root last");
    HelpFileWriter w = ManyFiles(150, 64, reverse);
    auto bytes = w.Build();
    ASSERT_GE(w.layout().directory.levels, 3);
    ASSERT_GE(w.layout().directory.leaf_chain.size(), 30u);
    auto hf = Open(bytes);
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->first_leaf, w.layout().directory.first_leaf());
    ExpectTableMatchesLayout(*hf, w.layout());
    for (int32_t n = 0; n < int32_t(hf->internal_files.size()); ++n) {
      InternalFile e = ReadInternalFileEntry(*hf, n);
      EXPECT_EQ(e.name, hf->internal_files[n].name);
      EXPECT_EQ(e.data_offset, hf->internal_files[n].data_offset);
      EXPECT_EQ(e.size, hf->internal_files[n].size);
    }
    EXPECT_THAT(Fatal(bytes), "");
  }
}

TEST_F(ContainerTest, PerEntryScanRejectsMissingEntry) {
  HelpFileWriter w = ManyFiles(20, 64);
  auto hf = Open(w.Build());
  ASSERT_TRUE(hf);
  for (int32_t n : {-1, 21, 1000}) {
    try {
      ReadInternalFileEntry(*hf, n);
      ADD_FAILURE() << n;
    } catch (const FatalException& e) {
      EXPECT_THAT(e.what(), HasSubstr("has no entry " + std::to_string(n)));
    }
  }
}

TEST_F(ContainerTest, ForEachLeafPageVisitsChainAndStopsOnRequest) {
  HelpFileWriter w = ManyFiles(40, 64, true);
  auto hf = Open(w.Build());
  ASSERT_TRUE(hf);
  int pages = 0, entries = 0;
  ForEachLeafPage(hf->reader(), hf->page0_offset, hf->directory_header, "directory",
                  [&](ByteReader& page, int count) {
                    EXPECT_EQ(page.position(), kBTreePageHeaderSize);
                    ++pages;
                    entries += count;
                    return true;
                  });
  EXPECT_EQ(pages, int(w.layout().directory.leaf_chain.size()));
  EXPECT_EQ(entries, 41);
  pages = 0;
  ForEachLeafPage(hf->reader(), hf->page0_offset, hf->directory_header, "directory",
                  [&](ByteReader&, int) { return ++pages < 2; });
  EXPECT_EQ(pages, 2);
}

struct SlotCase {
  const char* label;
  std::vector<std::string> names;  // each gets one byte of data: its position in the list
  Slot slot;
  int expect;  // position of the file that fills the slot, -1 for none
};

TEST_F(ContainerTest, WellKnownSlots) {
  const SlotCase cases[] = {
      {"KWBTREE then 0KWBTREE", {"|KWBTREE", "|0KWBTREE"}, Slot::kKwBtree, 1},
      {"0KWBTREE then KWBTREE", {"|0KWBTREE", "|KWBTREE"}, Slot::kKwBtree, 1},
      {"0KWDATA alone", {"|0KWDATA"}, Slot::kKwData, 0},
      {"later duplicate wins", {"|FONT", "|TOPIC", "|FONT"}, Slot::kFont, 2},
      {"case matters", {"|font", "|Font"}, Slot::kFont, -1},
      {"prefix is not enough", {"|TOPICX", "|TOPI"}, Slot::kTopic, -1},
      {"AWBTREE", {"|AWBTREE"}, Slot::kAwBtree, 0},
      {"AWDATA", {"|AWDATA"}, Slot::kAwData, 0},
      {"CTXOMAP", {"|CTXOMAP"}, Slot::kCtxOMap, 0},
      {"TOMAP", {"|TOMAP"}, Slot::kToMap, 0},
      {"CONTEXT", {"|CONTEXT"}, Slot::kContext, 0},
      {"PhrIndex", {"|PhrIndex"}, Slot::kPhrIndex, 0},
  };
  for (const SlotCase& c : cases) {
    SCOPED_TRACE(c.label);
    HelpFileWriter w;
    w.AddFile("|SYSTEM", Hc31System());
    for (size_t i = 0; i < c.names.size(); ++i) w.AddFile(c.names[i], {uint8_t(i), uint8_t(i)});
    auto hf = Open(w.Build(), kProbeOnly);
    ASSERT_TRUE(hf);
    const SlotEntry& s = hf->slot(c.slot);
    if (c.expect < 0) {
      EXPECT_FALSE(s.present());
    } else {
      EXPECT_EQ(uint32_t(s.data_offset), w.layout().files[size_t(c.expect) + 1].data_offset);
      EXPECT_EQ(s.size, 2);
    }
  }
}

TEST_F(ContainerTest, NameOf58CharactersAcceptedAnd59Fatal) {
  HelpFileWriter ok;
  ok.AddFile("|SYSTEM", Hc31System()).AddFile(std::string(58, 'n'), {1});
  auto hf = Open(ok.Build());
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->internal_files[1].name, std::string(58, 'n'));

  HelpFileWriter bad;
  bad.AddFile("|SYSTEM", Hc31System()).AddFile("a", {}).AddFile(std::string(59, 'n'), {1});
  EXPECT_EQ(Fatal(bad.Build()), "Fileformat-Problem. FileNumber=2");
}

TEST_F(ContainerTest, WrongMagicIsFatalOrSilentWhenProbing) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System());
  auto bytes = w.Build();
  bytes[0] = 'M';
  bytes[1] = 'Z';
  EXPECT_EQ(Fatal(bytes), "Magic Number of HLP-File incorrect. Possibly it isn't a WinHelp-File?");
  diag_.progress.clear();
  EXPECT_EQ(Open(bytes, kProbeOnly), nullptr);
  EXPECT_TRUE(diag_.warnings.empty());
  EXPECT_TRUE(diag_.progress.empty());
  // Too short to hold a magic number at all.
  EXPECT_THAT(Fatal({0x3F, 0x5F}), HasSubstr("Magic Number"));
  EXPECT_EQ(Open({}, kProbeOnly), nullptr);
}

// |Phrases in the uncompressed layout: N, a word, N + 1 offsets from the table start, text.
std::vector<uint8_t> TwoPhrases() {
  return ByteBuilder().u16(2).u16(0x0100).u16(6).u16(9).u16(12).text("abcdef").take();
}

TEST_F(ContainerTest, ProbeOnlyStopsBeforePhrases) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", testsupport::BuildHc30SystemFile("T")).AddFile("|Phrases", TwoPhrases());
  auto probed = Open(w.Build(), kProbeOnly);
  ASSERT_TRUE(probed);
  EXPECT_FALSE(probed->phrases.loaded());
  auto full = Open(w.Build());
  ASSERT_TRUE(full);
  EXPECT_TRUE(full->phrases.loaded());
}

TEST_F(ContainerTest, OpenHelpFileReadsFromDisk) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System());
  auto bytes = w.Build();
  const auto path = root_ / "DISK.HLP";
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  auto hf = OpenHelpFile(path.string(), 0, session_);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->bytes, bytes);
  EXPECT_EQ(hf->path, path.string());
  EXPECT_EQ(OpenHelpFile((root_ / "MISSING.HLP").string(), 0, session_), nullptr);
  EXPECT_EQ(OpenHelpFile(root_.string(), 0, session_), nullptr);  // a folder
}

TEST_F(ContainerTest, CloseDeletesExtractedPicturesOnlyWithBmpInRtf) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System());
  auto bytes = w.Build();
  for (ConversionOptions options : {ConversionOptions(0), kBmpInRtf}) {
    for (const char* name : {"A1.bmp", "A2.wmf"}) out_.CreateBinary(name)->Close();
    auto hf = Open(bytes, options);
    ASSERT_TRUE(hf);
    hf->extracted_pictures = {"A1.bmp", "", "A2.wmf"};
    CloseHelpFile(std::move(hf));
    const bool kept = options == 0;
    EXPECT_EQ(std::filesystem::exists(out_.PathOf("A1.bmp")), kept);
    EXPECT_EQ(std::filesystem::exists(out_.PathOf("A2.wmf")), kept);
  }
  CloseHelpFile(nullptr);
}

// --- Damaged containers: each ends in a clear fatal message or a warning, never a crash. ---

HelpFileWriter SmallMultiPage() {
  return ManyFiles(40, 64);
}

TEST_F(ContainerTest, TruncatedShorterThanFileHeader) {
  std::vector<uint8_t> bytes = ByteBuilder().u32(0x35F3F).u32(16).u16(0).take();
  EXPECT_THAT(Fatal(bytes), HasSubstr("10 bytes long, too short for its header"));
}

TEST_F(ContainerTest, TruncatedInsideDirectoryHeader) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  bytes.resize(w.layout().directory_start + 20);
  EXPECT_THAT(Fatal(bytes),
              HasSubstr("directory header at offset " + std::to_string(w.layout().directory_start) +
                        " is cut short"));
}

TEST_F(ContainerTest, TruncatedInsideDirectoryPages) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  bytes.resize(bytes.size() - 10);  // into the last page, the root
  EXPECT_THAT(Fatal(bytes), HasSubstr("is cut short by the end of the help file"));
  // With the root first, the last page is the first leaf: the descent reaches it and stops.
  HelpFileWriter r = ManyFiles(40, 64, true);
  bytes = r.Build();
  bytes.resize(bytes.size() - 10);
  EXPECT_THAT(Fatal(bytes), HasSubstr("page " + std::to_string(r.layout().directory.first_leaf()) +
                                      " of the directory at offset"));
}

TEST_F(ContainerTest, TruncatedInsideInternalFile) {
  HelpFileOptions o;
  o.directory_first = true;
  HelpFileWriter w(o);
  w.AddFile("|SYSTEM", Hc31System()).AddFile("|TOPIC", std::vector<uint8_t>(100, 7));
  auto bytes = w.Build();
  bytes.resize(bytes.size() - 40);
  auto hf = Open(bytes);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->slot(Slot::kTopic).size, 60);
  EXPECT_EQ(hf->InternalData(Slot::kTopic).size(), 60u);
  ASSERT_EQ(diag_.Count(kWarnFileTruncated), 1u);
  EXPECT_EQ(diag_.warnings.back().text,
            "Internal file |TOPIC is cut short: 60 of 100 bytes are in the help file");
  // Cut inside the internal file's own header: the file lies outside.
  bytes.resize(w.layout().File("|TOPIC").header_offset + 4);
  diag_.warnings.clear();
  hf = Open(bytes);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(diag_.Count(kWarnFileOutside), 1u);
}

TEST_F(ContainerTest, InternalFileHeaderOutsideFile) {
  for (int32_t offset : {-5, 0x7FFFFFF0, 5000}) {
    SCOPED_TRACE(offset);
    diag_.warnings.clear();
    HelpFileWriter w;
    w.AddFile("|SYSTEM", Hc31System()).AddEntry("|FONT", offset).AddFile("|TOPIC", {1});
    auto hf = Open(w.Build());
    ASSERT_TRUE(hf);
    ASSERT_EQ(hf->internal_files.size(), 3u);
    EXPECT_EQ(hf->internal_files[1].size, 0);
    EXPECT_EQ(hf->InternalData(Slot::kFont).size(), 0u);
    ASSERT_EQ(diag_.warnings.size(), 1u);
    EXPECT_EQ(diag_.warnings[0].text,
              "Internal file |FONT (entry 1) lies outside the help file and is ignored");
    EXPECT_EQ(hf->slot(Slot::kTopic).size, 1);
  }
}

TEST_F(ContainerTest, InternalFileWithNegativeSize) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System()).AddFile("|TOPIC", {1, 2});
  auto bytes = w.Build();
  PutU32(bytes, w.layout().File("|TOPIC").header_offset + kUsedSpaceField, 0xFFFFFFF0);
  auto hf = Open(bytes);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(diag_.Count(kWarnFileBadSize), 1u);
}

TEST_F(ContainerTest, DirectoryStartPastEndOrNegative) {
  HelpFileWriter w = SmallMultiPage();
  for (uint32_t start : {0x7FFFFFFFu, 0xFFFFFFFFu, uint32_t(w.Build().size())}) {
    auto bytes = w.Build();
    PutU32(bytes, kDirStartField, start);
    EXPECT_THAT(Fatal(bytes), HasSubstr("directory start " + std::to_string(int32_t(start)) +
                                        " lies outside the help file"));
  }
}

TEST_F(ContainerTest, RootPageOutOfRange) {
  HelpFileWriter w = SmallMultiPage();
  for (int16_t root : {int16_t(-1), int16_t(5000)}) {
    auto bytes = w.Build();
    PutU16(bytes, w.layout().directory_start + kRootPageField, uint16_t(root));
    EXPECT_THAT(Fatal(bytes), HasSubstr("directory's root page " + std::to_string(root) +
                                        " lies outside the help file"));
  }
}

TEST_F(ContainerTest, FirstChildOutOfRange) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  PutU16(bytes, w.layout().DirectoryPageOffset(w.layout().directory.root_page) + kFirstChildField,
         30000);
  EXPECT_THAT(Fatal(bytes), HasSubstr("directory's first child page 30000 lies outside"));
}

TEST_F(ContainerTest, NextLeafOutOfRange) {
  HelpFileWriter w = SmallMultiPage();
  const auto& chain = w.layout().directory.leaf_chain;
  for (int16_t next : {int16_t(-2), int16_t(4000)}) {
    auto bytes = w.Build();
    PutU16(bytes, w.layout().DirectoryPageOffset(chain[1]) + kNextLeafField, uint16_t(next));
    EXPECT_THAT(Fatal(bytes),
                HasSubstr("directory's next leaf page " + std::to_string(next) + " lies outside"));
  }
}

TEST_F(ContainerTest, LeafChainLoops) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  const auto& chain = w.layout().directory.leaf_chain;
  PutU16(bytes, w.layout().DirectoryPageOffset(chain[4]) + kNextLeafField, uint16_t(chain[2]));
  PutU32(bytes, w.layout().directory_start + kTotalEntriesField, 100000);
  EXPECT_THAT(Fatal(bytes),
              HasSubstr("the directory's leaf chain loops at page " + std::to_string(chain[2])));
  // A leaf that links to itself.
  bytes = w.Build();
  PutU16(bytes, w.layout().DirectoryPageOffset(chain[0]) + kNextLeafField, uint16_t(chain[0]));
  PutU32(bytes, w.layout().directory_start + kTotalEntriesField, 100000);
  EXPECT_THAT(Fatal(bytes), HasSubstr("leaf chain loops at page " + std::to_string(chain[0])));
}

TEST_F(ContainerTest, IndexDescentLoops) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  const int16_t root = w.layout().directory.root_page;
  PutU16(bytes, w.layout().DirectoryPageOffset(root) + kFirstChildField, uint16_t(root));
  EXPECT_THAT(Fatal(bytes), HasSubstr("descent through the directory's index pages loops at page " +
                                      std::to_string(root)));
  // Leaves whose previous-page words point at each other.
  bytes = w.Build();
  const auto& chain = w.layout().directory.leaf_chain;
  PutU16(bytes, w.layout().DirectoryPageOffset(chain[0]) + kFirstChildField, uint16_t(chain[1]));
  EXPECT_THAT(Fatal(bytes), HasSubstr("index pages loops at page"));
}

TEST_F(ContainerTest, EntryCountLargerThanPageHolds) {
  HelpFileWriter w = SmallMultiPage();
  for (uint16_t count : {uint16_t(60), uint16_t(0x7FFF)}) {
    auto bytes = w.Build();
    PutU16(bytes,
           w.layout().DirectoryPageOffset(w.layout().directory.leaf_chain[1]) + kPageCountField,
           count);
    EXPECT_THAT(Fatal(bytes),
                testing::AnyOf(HasSubstr("runs past the end of page"), HasSubstr("FileNumber")));
  }
  auto bytes = w.Build();
  PutU16(bytes,
         w.layout().DirectoryPageOffset(w.layout().directory.leaf_chain[0]) + kPageCountField,
         0xFFFF);
  EXPECT_THAT(Fatal(bytes), HasSubstr("negative entry count (-1)"));
}

TEST_F(ContainerTest, PageSizeZeroOrSmallerThanHeader) {
  HelpFileWriter w = SmallMultiPage();
  for (uint16_t size : {0, 1, 7}) {
    auto bytes = w.Build();
    PutU16(bytes, w.layout().directory_start + kPageSizeField, size);
    EXPECT_EQ(Fatal(bytes), "Fileformat-Problem: the directory's page size of " +
                                std::to_string(size) + " bytes is smaller than a page header");
  }
}

TEST_F(ContainerTest, EntryNameWithoutNulInsidePage) {
  HelpFileOptions o;
  o.directory.page_size = 32;  // header 8 + "|SYSTEM\0" 8 + offset 4 + "abcdefg\0" 8 + 4
  HelpFileWriter w(o);
  w.AddFile("|SYSTEM", Hc31System()).AddFile("abcdefg", {1});
  auto bytes = w.Build();
  ASSERT_EQ(w.layout().directory.leaf_chain.size(), 1u);
  const uint32_t page = w.layout().DirectoryPageOffset(0);
  // Overwrite the second entry's NUL and offset with letters up to the end of the page.
  for (uint32_t i = page + 8 + 12 + 7; i < page + 32; ++i) bytes[i] = 'x';
  EXPECT_THAT(Fatal(bytes), HasSubstr("name of directory entry 1 (offset " +
                                      std::to_string(page + 20) + ") runs past the end of page 0"));
}

TEST_F(ContainerTest, TotalEntriesLargerThanChain) {
  HelpFileWriter w = SmallMultiPage();
  auto bytes = w.Build();
  PutU32(bytes, w.layout().directory_start + kTotalEntriesField, 0x7FFFFFFF);
  auto hf = Open(bytes);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->internal_files.size(), 41u);
  ASSERT_EQ(diag_.Count(kWarnDirectoryShort), 1u);
  EXPECT_EQ(diag_.warnings.back().text,
            "The directory holds 41 internal files although its header announces 2147483647");
  // Fewer announced than held: only those are read.
  PutU32(bytes, w.layout().directory_start + kTotalEntriesField, 5);
  hf = Open(bytes);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->internal_files.size(), 5u);
  // A negative count.
  PutU32(bytes, w.layout().directory_start + kTotalEntriesField, 0xFFFFFFFF);
  EXPECT_THAT(Fatal(bytes), HasSubstr("negative number of entries (-1)"));
}

}  // namespace
}  // namespace quorvex
