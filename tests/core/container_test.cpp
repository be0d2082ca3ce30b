// The container: file header, directory B-tree, internal-file table and well-known slots, and
// every way a damaged container must fail cleanly.
#include "core/container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core/system_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

using namespace testsupport;
using testing::HasSubstr;

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

/// A directory of `n` files spread over pages of `page_size` bytes.
HelpFileWriter ManyFiles(int n, uint16_t page_size, bool reverse = false) {
  HelpFileWriter w({.directory = {.page_size = page_size, .reverse_pages = reverse}});
  w.AddFile("|SYSTEM", Hc31System());
  for (int i = 0; i < n; ++i)
    w.AddFile("file" + std::to_string(i), std::vector<uint8_t>(size_t(i % 7), uint8_t(i)));
  return w;
}

class ContainerTest : public testing::Test {
 protected:
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

  TempFolder root_;
  RecordingDiagnostics diag_;
  OutputDir out_{root_.path()};
  ConversionSession session_{diag_, out_};
};

TEST_F(ContainerTest, DirectoryOfManyLevels) {
  // (The golden conversions read directories of one leaf.)
  // Entry numbers continue across pages, whichever way the pages are numbered; the one-walk
  // table and the per-entry scan give the same entries.
  for (bool reverse : {false, true}) {
    SCOPED_TRACE(reverse ? "root first" : "root last");
    HelpFileWriter many = ManyFiles(150, 64, reverse);
    auto hf = Open(many.Build());
    ASSERT_GE(many.layout().directory.levels, 3);
    ASSERT_TRUE(hf);
    EXPECT_EQ(hf->first_leaf, many.layout().directory.first_leaf());
    ASSERT_EQ(hf->internal_files.size(), many.layout().files.size());
    for (int32_t n = 0; n < int32_t(hf->internal_files.size()); ++n) {
      const InternalFileLayout& want = many.layout().files[size_t(n)];
      const InternalFile e = ReadInternalFileEntry(*hf, n);
      EXPECT_EQ(hf->internal_files[size_t(n)].name, want.name);
      EXPECT_EQ(uint32_t(hf->internal_files[size_t(n)].data_offset), want.data_offset);
      EXPECT_EQ(uint32_t(hf->internal_files[size_t(n)].size), want.size);
      EXPECT_EQ(e.name, want.name);
      EXPECT_EQ(uint32_t(e.data_offset), want.data_offset);
    }
    for (int32_t n : {-1, 151, 1000}) {
      try {
        ReadInternalFileEntry(*hf, n);
        ADD_FAILURE() << n;
      } catch (const FatalException& e) {
        EXPECT_THAT(e.what(), HasSubstr("has no entry " + std::to_string(n)));
      }
    }
    int pages = 0, entries = 0;
    ForEachLeafPage(hf->reader(), hf->page0_offset, hf->directory_header, "directory",
                    [&](ByteReader& page, int count) {
                      EXPECT_EQ(page.position(), kBTreePageHeaderSize);
                      ++pages;
                      entries += count;
                      return true;
                    });
    EXPECT_EQ(pages, int(many.layout().directory.leaf_chain.size()));
    EXPECT_EQ(entries, 151);
    pages = 0;
    ForEachLeafPage(hf->reader(), hf->page0_offset, hf->directory_header, "directory",
                    [&](ByteReader&, int) { return ++pages < 2; });  // stops on request
    EXPECT_EQ(pages, 2);
  }
  EXPECT_TRUE(diag_.warnings.empty());
  EXPECT_EQ(diag_.progress.front(), std::make_pair(0, kPhaseLoadingSystem));
}

TEST_F(ContainerTest, WellKnownSlots) {
  struct Case {
    const char* label;
    std::vector<std::string> names;  // each gets two bytes of data
    Slot slot;
    int expect;  // position of the file that fills the slot, -1 for none
  };
  const Case cases[] = {
      {"KWBTREE then 0KWBTREE", {"|KWBTREE", "|0KWBTREE"}, Slot::kKwBtree, 1},
      {"0KWBTREE then KWBTREE", {"|0KWBTREE", "|KWBTREE"}, Slot::kKwBtree, 1},
      {"0KWDATA alone", {"|0KWDATA"}, Slot::kKwData, 0},
      {"later duplicate wins", {"|FONT", "|TOPIC", "|FONT"}, Slot::kFont, 2},
      {"case matters", {"|font", "|Font"}, Slot::kFont, -1},
      {"prefix is not enough", {"|TOPICX", "|TOPI"}, Slot::kTopic, -1},
      {"AWBTREE", {"|AWBTREE"}, Slot::kAwBtree, 0},
      {"AWDATA", {"|AWDATA"}, Slot::kAwData, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HelpFileWriter w;
    w.AddFile("|SYSTEM", Hc31System());
    for (size_t i = 0; i < c.names.size(); ++i) w.AddFile(c.names[i], {uint8_t(i), uint8_t(i)});
    auto hf = Open(w.Build(), kProbeOnly);
    ASSERT_TRUE(hf);
    const SlotEntry& s = hf->slot(c.slot);
    EXPECT_EQ(s.present(), c.expect >= 0);
    if (c.expect >= 0) {
      EXPECT_EQ(uint32_t(s.data_offset), w.layout().files[size_t(c.expect) + 1].data_offset);
      EXPECT_EQ(s.size, 2);
    }
  }
  // A name of 58 characters is the longest.
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System()).AddFile(std::string(58, 'n'), {1});
  EXPECT_EQ(Open(w.Build())->internal_files[1].name, std::string(58, 'n'));
  w.AddFile(std::string(59, 'n'), {1});
  EXPECT_EQ(Fatal(w.Build()), "Fileformat-Problem. FileNumber=2");
}

TEST_F(ContainerTest, WrongMagicIsFatalOrSilentWhenProbing) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System());
  auto bytes = w.Build();
  PutU16(bytes, 0, 0x5A4D);  // "MZ"
  EXPECT_EQ(Fatal(bytes), "Magic Number of HLP-File incorrect. Possibly it isn't a WinHelp-File?");
  diag_.progress.clear();
  EXPECT_EQ(Open(bytes, kProbeOnly), nullptr);
  EXPECT_TRUE(diag_.warnings.empty());
  EXPECT_TRUE(diag_.progress.empty());
  // Too short to hold a magic number at all.
  EXPECT_THAT(Fatal({0x3F, 0x5F}), HasSubstr("Magic Number"));
  EXPECT_EQ(Open({}, kProbeOnly), nullptr);
}

TEST_F(ContainerTest, ProbeOnlyStopsBeforePhrases) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", BuildHc30SystemFile("T"))
      .AddFile("|Phrases",
               ByteBuilder().u16(2).u16(0x0100).u16(6).u16(9).u16(12).text("abcdef").take());
  EXPECT_FALSE(Open(w.Build(), kProbeOnly)->phrases.loaded());
  EXPECT_TRUE(Open(w.Build())->phrases.loaded());
}

TEST_F(ContainerTest, OpenFromDiskAndCloseDeletesExtractedPicturesWithBmpInRtf) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", Hc31System());
  const auto bytes = w.Build();
  WriteFile(root_ / "DISK.HLP", bytes);
  auto hf = OpenHelpFile((root_ / "DISK.HLP").string(), 0, session_);
  ASSERT_TRUE(hf);
  EXPECT_EQ(hf->bytes, bytes);
  EXPECT_EQ(OpenHelpFile((root_ / "MISSING.HLP").string(), 0, session_), nullptr);
  EXPECT_EQ(OpenHelpFile(root_.path().string(), 0, session_), nullptr);  // a folder
  // Only files this conversion created are deleted: A3.bmp was there before.
  WriteFile(root_ / "A3.bmp", {1});
  for (ConversionOptions options : {ConversionOptions(0), kBmpInRtf}) {
    for (const char* name : {"A1.bmp", "A2.wmf"}) out_.CreateBinary(name)->Close();
    hf = Open(bytes, options);
    hf->extracted_pictures.Record(0, {"A1.bmp", &out_});
    hf->extracted_pictures.Record(2, {"A2.wmf", &out_});
    hf->extracted_pictures.Record(3, {"A3.bmp", &out_});
    CloseHelpFile(std::move(hf));
    EXPECT_EQ(std::filesystem::exists(out_.PathOf("A1.bmp")), options == 0);
    EXPECT_EQ(std::filesystem::exists(out_.PathOf("A2.wmf")), options == 0);
    EXPECT_TRUE(std::filesystem::exists(out_.PathOf("A3.bmp")));
  }
  CloseHelpFile(nullptr);
}

// --- Damaged containers: each ends in a clear fatal message, never a crash or a hang. ---

TEST_F(ContainerTest, DamagedDirectories) {
  // A directory of 40 files on pages of 64 bytes, root last: the leaves are pages 0, 1, ... in
  // chain order. Each case cuts the file to `size` (unless 0) and overwrites fields.
  HelpFileWriter w = ManyFiles(40, 64);
  const std::vector<uint8_t> good = w.Build();
  const HelpFileLayout& l = w.layout();
  const size_t dir = l.directory_start, root = l.DirectoryPageOffset(l.directory.root_page);
  auto leaf = [&](int i) { return l.DirectoryPageOffset(i); };
  struct Field {
    size_t at;
    uint32_t value;
    bool wide;  // 32 bits, else 16
  };
  auto f16 = [](size_t at, uint32_t value) { return Field{at, value, false}; };
  auto f32 = [](size_t at, uint32_t value) { return Field{at, value, true}; };
  struct Case {
    const char* name;
    size_t size;
    std::vector<Field> fields;
    std::string message;  // a part of the fatal message
  };
  const size_t start = kDirStartField, next = kNextLeafField, child = kFirstChildField;
  const Field many = f32(dir + kTotalEntriesField, 100000);
  const std::string size = std::to_string(good.size());
  const std::string root_page = std::to_string(l.directory.root_page);
  const Case cases[] = {
      {"shorter than the file header", 10, {}, "10 bytes long, too short for its header"},
      {"cut in the directory header", dir + 20, {}, "header at offset " + std::to_string(dir)},
      {"cut in the root page", good.size() - 10, {}, "cut short by the end of the help file"},
      {"directory start past the end", 0, {f32(start, 0x7FFFFFFF)}, "start 2147483647 lies"},
      {"directory start negative", 0, {f32(start, 0xFFFFFFFF)}, "start -1 lies outside"},
      {"directory start at the end", 0, {f32(start, uint32_t(good.size()))}, "start " + size},
      {"root page negative", 0, {f16(dir + kRootPageField, 0xFFFF)}, "root page -1 lies outside"},
      {"root page past the end", 0, {f16(dir + kRootPageField, 5000)}, "root page 5000 lies"},
      {"first child past the end", 0, {f16(root + child, 30000)}, "child page 30000 lies"},
      {"next leaf negative", 0, {f16(leaf(1) + next, 0xFFFE)}, "leaf page -2 lies"},
      {"next leaf past the end", 0, {f16(leaf(1) + next, 4000)}, "leaf page 4000 lies"},
      {"leaf chain loop", 0, {f16(leaf(4) + next, 2), many}, "leaf chain loops at page 2"},
      {"leaf links to itself", 0, {f16(leaf(0) + next, 0), many}, "chain loops at page 0"},
      {"index descent loop at the root",
       0,
       {f16(root + child, l.directory.root_page)},
       "index pages loops at page " + root_page},
      // The previous-leaf words of leaves 0 and 1 (where an index page has its first child).
      {"index descent loop in leaves", 0, {f16(leaf(0) + 4, 1)}, "index pages loops at page 0"},
      {"entry count beyond the page", 0, {f16(leaf(1) + kPageCountField, 60)}, "runs past the end"},
      {"negative entry count", 0, {f16(leaf(0) + kPageCountField, 0xFFFF)}, "entry count (-1)"},
      {"negative number of entries", 0, {f32(dir + kTotalEntriesField, ~0u)}, "entries (-1)"},
      {"page size 7", 0, {f16(dir + kPageSizeField, 7)}, "page size of 7 bytes is smaller than"},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> bytes = good;
    if (c.size) bytes.resize(c.size);
    for (const Field& f : c.fields)
      f.wide ? PutU32(bytes, f.at, f.value) : PutU16(bytes, f.at, uint16_t(f.value));
    EXPECT_THAT(Fatal(bytes), HasSubstr(c.message)) << c.name;
  }
  // With the root first, the last page is the first leaf: the descent reaches it and stops.
  HelpFileWriter r = ManyFiles(40, 64, true);
  std::vector<uint8_t> bytes = r.Build();
  bytes.resize(bytes.size() - 10);  // the first leaf
  EXPECT_THAT(Fatal(bytes), HasSubstr("page " + std::to_string(r.layout().directory.first_leaf()) +
                                      " of the directory at offset"));

  // A name without its NUL runs to the end of the page.
  HelpFileWriter small({.directory = {.page_size = 32}});  // header 8 + 2 entries of 12
  small.AddFile("|SYSTEM", Hc31System()).AddFile("abcdefg", {1});
  bytes = small.Build();
  const uint32_t page = small.layout().DirectoryPageOffset(0);
  std::fill(bytes.begin() + page + 8 + 12 + 7, bytes.begin() + page + 32, 'x');
  EXPECT_THAT(Fatal(bytes), HasSubstr("name of directory entry 1 (offset " +
                                      std::to_string(page + 20) + ") runs past the end of page 0"));
}

TEST_F(ContainerTest, DamagedEntriesAreWarnedAndTheRestIsRead) {
  // More entries announced than the chain holds, or fewer: the chain and the count decide.
  HelpFileWriter many = ManyFiles(40, 64);
  std::vector<uint8_t> bytes = many.Build();
  PutU32(bytes, many.layout().directory_start + kTotalEntriesField, 0x7FFFFFFF);
  EXPECT_EQ(Open(bytes)->internal_files.size(), 41u);
  ASSERT_EQ(diag_.warnings.size(), 1u);
  EXPECT_EQ(diag_.warnings[0].text,
            "The directory holds 41 internal files although its header announces 2147483647");
  PutU32(bytes, many.layout().directory_start + kTotalEntriesField, 5);
  EXPECT_EQ(Open(bytes)->internal_files.size(), 5u);

  // An internal file whose header lies outside the help file.
  for (int32_t offset : {-5, 0x7FFFFFF0, 5000}) {
    diag_.warnings.clear();
    HelpFileWriter w;
    w.AddFile("|SYSTEM", Hc31System()).AddEntry("|FONT", offset).AddFile("|TOPIC", {1});
    auto hf = Open(w.Build());
    EXPECT_EQ(hf->InternalData(Slot::kFont).size(), 0u);
    EXPECT_EQ(hf->slot(Slot::kTopic).size, 1);
    ASSERT_EQ(diag_.warnings.size(), 1u);
    EXPECT_EQ(diag_.warnings[0].text,
              "Internal file |FONT (entry 1) lies outside the help file and is ignored");
  }
  // An internal file cut short by the end of the help file; one with a negative size.
  diag_.warnings.clear();
  HelpFileWriter w({.directory = {}, .directory_first = true});
  w.AddFile("|SYSTEM", Hc31System()).AddFile("|TOPIC", std::vector<uint8_t>(100, 7));
  bytes = w.Build();
  bytes.resize(bytes.size() - 40);
  EXPECT_EQ(Open(bytes)->InternalData(Slot::kTopic).size(), 60u);
  EXPECT_EQ(diag_.warnings.back().text,
            "Internal file |TOPIC is cut short: 60 of 100 bytes are in the help file");
  bytes.resize(w.layout().File("|TOPIC").header_offset + 4);  // inside the file's own header
  EXPECT_EQ(Open(bytes)->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(diag_.Count(kWarnFileOutside), 1u);
  bytes = w.Build();
  PutU32(bytes, w.layout().File("|TOPIC").header_offset + kUsedSpaceField, 0xFFFFFFF0);
  EXPECT_EQ(Open(bytes)->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(diag_.Count(kWarnFileBadSize), 1u);
}

}  // namespace
}  // namespace quorvex
