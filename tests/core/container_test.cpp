// The container: file header, directory B-tree, internal-file table and well-known slots, and
// every way a damaged container must fail cleanly.
#include "core/container.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

using namespace testsupport;
using testing::HasSubstr;

// Field offsets: in the file header, from the directory start, in a page header.
constexpr size_t kDirStart = 4, kPageSize = 9 + 4, kRootPage = 9 + 26, kTotalEntries = 9 + 34;
constexpr size_t kPageCount = 2, kFirstChild = 4, kNextLeaf = 6;

std::vector<uint8_t> System() {
  return BuildSystemFile(21, 4, {});
}

/// A directory of `n` files on pages of `page_size` bytes.
HelpFileWriter ManyFiles(int n, uint16_t page_size, bool reverse = false) {
  HelpFileWriter w({.directory = {.page_size = page_size, .reverse_pages = reverse}});
  w.AddFile("|SYSTEM", System());
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
  // Entry numbers continue across pages whichever way the pages are numbered; the table and the
  // per-entry scan agree.
  for (bool reverse : {false, true}) {
    HelpFileWriter many = ManyFiles(150, 64, reverse);
    auto hf = Open(many.Build());
    ASSERT_GE(many.layout().directory.levels, 3);
    EXPECT_EQ(hf->first_leaf, many.layout().directory.first_leaf());
    ASSERT_EQ(hf->internal_files.size(), many.layout().files.size());
    for (int32_t n = 0; n < int32_t(hf->internal_files.size()); ++n) {
      const InternalFileLayout& want = many.layout().files[size_t(n)];
      for (const InternalFile& got :
           {hf->internal_files[size_t(n)], ReadInternalFileEntry(*hf, n)}) {
        EXPECT_EQ(got.name, want.name);
        EXPECT_EQ(uint32_t(got.data_offset), want.data_offset);
        EXPECT_EQ(uint32_t(got.size), want.size);
      }
    }
    for (int32_t n : {-1, 151}) EXPECT_THROW(ReadInternalFileEntry(*hf, n), FatalException);
    int pages = 0;
    ForEachLeafPage(hf->reader(), hf->page0_offset, hf->directory_header, "directory",
                    [&](ByteReader&, int) { return ++pages < 2; });  // stops on request
    EXPECT_EQ(pages, 2);
  }
  EXPECT_TRUE(diag_.warnings.empty());
  EXPECT_EQ(diag_.progress.front(), std::make_pair(0, kPhaseLoadingSystem));
}

TEST_F(ContainerTest, WellKnownSlotsAndNames) {
  // The later of two files for one slot wins; names are compared exactly.
  const std::tuple<std::vector<std::string>, Slot, int> cases[] = {
      {{"|KWBTREE", "|0KWBTREE"}, Slot::kKwBtree, 1},
      {{"|0KWDATA", "|FONT"}, Slot::kKwData, 0},
      {{"|FONT", "|TOPIC", "|FONT"}, Slot::kFont, 2},
      {{"|font", "|TOPICX", "|TOPI"}, Slot::kFont, -1},
  };
  for (const auto& [names, slot, expect] : cases) {
    HelpFileWriter w;
    w.AddFile("|SYSTEM", System());
    for (size_t i = 0; i < names.size(); ++i) w.AddFile(names[i], {uint8_t(i), uint8_t(i)});
    const SlotEntry s = Open(w.Build(), kProbeOnly)->slot(slot);
    EXPECT_EQ(s.present(), expect >= 0) << names[0];
    if (expect >= 0) {
      EXPECT_EQ(uint32_t(s.data_offset), w.layout().files[size_t(expect) + 1].data_offset);
    }
  }
  HelpFileWriter w;
  w.AddFile("|SYSTEM", System()).AddFile(std::string(58, 'n'), {1});
  EXPECT_EQ(Open(w.Build())->internal_files[1].name, std::string(58, 'n'));
  w.AddFile(std::string(59, 'n'), {1});
  EXPECT_EQ(Fatal(w.Build()), "Fileformat-Problem. FileNumber=2");
}

TEST_F(ContainerTest, MagicProbingDiskAndClose) {
  HelpFileWriter w;
  w.AddFile("|SYSTEM", BuildHc30SystemFile("T"))
      .AddFile("|Phrases",
               ByteBuilder().u16(2).u16(0x0100).u16(6).u16(9).u16(12).text("abcdef").take());
  std::vector<uint8_t> bytes = w.Build();
  EXPECT_FALSE(Open(bytes, kProbeOnly)->phrases.loaded());  // probing stops before phrases
  EXPECT_TRUE(Open(bytes)->phrases.loaded());
  for (std::vector<uint8_t> wrong : {std::vector<uint8_t>{'M', 'Z', 0, 0}, {0x3F, 0x5F}, {}}) {
    EXPECT_THAT(Fatal(wrong), HasSubstr("Magic Number of HLP-File incorrect."));
    diag_.progress.clear();
    EXPECT_EQ(Open(wrong, kProbeOnly), nullptr);
    EXPECT_TRUE(diag_.progress.empty());
  }
  WriteFile(root_ / "DISK.HLP", bytes);
  auto hf = OpenHelpFile((root_ / "DISK.HLP").string(), 0, session_);
  EXPECT_EQ(hf->bytes, bytes);
  EXPECT_EQ(OpenHelpFile((root_ / "MISSING.HLP").string(), 0, session_), nullptr);
  EXPECT_EQ(OpenHelpFile(root_.path().string(), 0, session_), nullptr);  // a folder
  // With BmpInRtf the listed pictures go at close, but only files this conversion created.
  WriteFile(root_ / "A3.bmp", {1});
  for (ConversionOptions options : {ConversionOptions(0), kBmpInRtf}) {
    for (const char* name : {"A1.bmp", "A2.wmf"}) out_.CreateBinary(name)->Close();
    hf = Open(bytes, options);
    for (int i : {0, 2, 3})
      hf->extracted_pictures.Record(size_t(i), {i == 3 ? "A3.bmp"
                                                : i    ? "A2.wmf"
                                                       : "A1.bmp",
                                                &out_});
    CloseHelpFile(std::move(hf));
    for (const char* name : {"A1.bmp", "A2.wmf", "A3.bmp"})
      EXPECT_EQ(std::filesystem::exists(root_ / name), !options || name[1] == '3') << name;
  }
}

// Damaged containers: each ends in a clear fatal message, never a crash or a hang.
TEST_F(ContainerTest, DamagedDirectories) {
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
      {good.size() - 10, {}, "cut short by the end of the help file"},
      {0, {{kDirStart, 0x7FFFFFFF, true}}, "start 2147483647 lies"},
      {0, {{kDirStart, 0xFFFFFFFF, true}}, "start -1 lies outside"},
      {0, {{kDirStart, uint32_t(good.size()), true}}, "start " + std::to_string(good.size())},
      {0, {{dir + kRootPage, 0xFFFF}}, "root page -1 lies outside"},
      {0, {{dir + kRootPage, 5000}}, "root page 5000 lies"},
      {0, {{root + kFirstChild, 30000}}, "child page 30000 lies"},
      {0, {{leaf(1) + kNextLeaf, 0xFFFE}}, "leaf page -2 lies"},
      {0, {{leaf(1) + kNextLeaf, 4000}}, "leaf page 4000 lies"},
      {0, {{leaf(4) + kNextLeaf, 2}, many}, "leaf chain loops at page 2"},
      {0, {{leaf(0) + kNextLeaf, 0}, many}, "chain loops at page 0"},
      {0, {{root + kFirstChild, uint32_t(l.directory.root_page)}}, "loops at page " + root_page},
      // The previous-leaf word of leaf 0 stands where an index page has its first child.
      {0, {{leaf(0) + 4, 1}}, "index pages loops at page 0"},
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
  // With the root first, the last page is the first leaf: the descent reaches it and stops.
  HelpFileWriter r = ManyFiles(40, 64, true);
  std::vector<uint8_t> bytes = r.Build();
  bytes.resize(bytes.size() - 10);
  EXPECT_THAT(Fatal(bytes), HasSubstr("page " + std::to_string(r.layout().directory.first_leaf()) +
                                      " of the directory at offset"));
  // A name without its NUL runs to the end of the page.
  HelpFileWriter small({.directory = {.page_size = 32}});  // header 8 + 2 entries of 12
  small.AddFile("|SYSTEM", System()).AddFile("abcdefg", {1});
  bytes = small.Build();
  const uint32_t page = small.layout().DirectoryPageOffset(0);
  std::fill(bytes.begin() + page + 8 + 12 + 7, bytes.begin() + page + 32, 'x');
  EXPECT_THAT(Fatal(bytes), HasSubstr("name of directory entry 1 (offset " +
                                      std::to_string(page + 20) + ") runs past the end of page 0"));
}

TEST_F(ContainerTest, DamagedEntriesAreWarnedAndTheRestIsRead) {
  // The chain and the announced count: whichever is smaller decides.
  HelpFileWriter many = ManyFiles(40, 64);
  std::vector<uint8_t> bytes = many.Build();
  PutU32(bytes, many.layout().directory_start + kTotalEntries, 0x7FFFFFFF);
  EXPECT_EQ(Open(bytes)->internal_files.size(), 41u);
  EXPECT_EQ(diag_.warnings.at(0).text,
            "The directory holds 41 internal files although its header announces 2147483647");
  PutU32(bytes, many.layout().directory_start + kTotalEntries, 5);
  EXPECT_EQ(Open(bytes)->internal_files.size(), 5u);
  // A file header outside the help file; a file cut short; a negative size.
  for (int32_t offset : {-5, 0x7FFFFFF0, 5000}) {
    HelpFileWriter w;
    w.AddFile("|SYSTEM", System()).AddEntry("|FONT", offset).AddFile("|TOPIC", {1});
    auto hf = Open(w.Build());
    EXPECT_EQ(hf->InternalData(Slot::kFont).size(), 0u);
    EXPECT_EQ(hf->slot(Slot::kTopic).size, 1);
    EXPECT_EQ(diag_.warnings.back().text,
              "Internal file |FONT (entry 1) lies outside the help file and is ignored");
  }
  HelpFileWriter w({.directory = {}, .directory_first = true});
  w.AddFile("|SYSTEM", System()).AddFile("|TOPIC", std::vector<uint8_t>(100, 7));
  bytes = w.Build();
  bytes.resize(bytes.size() - 40);
  EXPECT_EQ(Open(bytes)->InternalData(Slot::kTopic).size(), 60u);
  EXPECT_EQ(diag_.warnings.back().text,
            "Internal file |TOPIC is cut short: 60 of 100 bytes are in the help file");
  bytes = w.Build();
  PutU32(bytes, w.layout().File("|TOPIC").header_offset + 4, 0xFFFFFFF0);
  EXPECT_EQ(Open(bytes)->slot(Slot::kTopic).size, 0);
  EXPECT_EQ(diag_.Count(kWarnFileBadSize), 1u);
}

}  // namespace
}  // namespace quorvex
