// A small help-file writer for tests: the container, the directory B-tree, generic B-trees and
// the |SYSTEM file, written from the file formats.
//
// File layout written by HelpFileWriter::Build:
//   0   file header, 16 bytes: magic 0x35F3F, directory start, first free block (-1), file size
//   16  every internal file in the order added: 9-byte header (reserved space, used space,
//       flags) then its data
//   ..  the directory: 9-byte header, then a B-tree (38-byte header and pages) whose leaf entries
//       are "name\0" + int32 file offset of the internal file's header
// (or the directory first, right after the file header, with `directory_first`).
//
// B-tree layout written by BuildBTree:
//   38-byte header: magic u16, flags u16, page size u16, structure text 16 bytes, must-be-zero
//   u16, page splits u16, root page i16, -1 i16, total pages u16, levels u16, total entries i32;
//   then the pages, page p at 38 + p * page size.
//   Leaf page: free bytes u16, entry count i16, previous leaf i16 (-1), next leaf i16 (-1), then
//   the entries (key bytes + value bytes) back to back.
//   Index page: free bytes u16, entry count i16, first child page i16, then `count` entries of
//   (key bytes of the first entry under the child, child page i16).
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex::testsupport {

inline constexpr uint32_t kWriterFileMagic = 0x00035F3F;
inline constexpr uint16_t kWriterBTreeMagic = 0x293B;
inline constexpr uint16_t kWriterSystemMagic = 0x036C;
inline constexpr size_t kWriterFileHeaderBytes = 16;
inline constexpr size_t kWriterInternalHeaderBytes = 9;
inline constexpr size_t kWriterBTreeHeaderBytes = 38;
inline constexpr size_t kWriterLeafHeaderBytes = 8;
inline constexpr size_t kWriterIndexHeaderBytes = 6;

/// One B-tree entry: a leaf holds key + value; an index page repeats the key.
struct BTreeEntry {
  std::vector<uint8_t> key;
  std::vector<uint8_t> value;
};

struct BTreeOptions {
  uint16_t page_size = 1024;
  /// Physical page numbers. By default leaves come first in chain order, then the index pages
  /// level by level, the root last. `reverse_pages` numbers them the other way round, so that
  /// the root is page 0 and the chain runs downwards.
  bool reverse_pages = false;
};

/// Where the parts of a built B-tree lie, relative to the start of its data.
struct BTreeLayout {
  uint16_t page_size = 0;
  int16_t root_page = 0;
  uint16_t levels = 0;
  std::vector<int16_t> leaf_chain;  // leaf page numbers in chain order
  /// The first leaf (the start of the chain).
  int16_t first_leaf() const { return leaf_chain.empty() ? -1 : leaf_chain.front(); }
};

struct BuiltBTree {
  std::vector<uint8_t> data;  // header and pages: the internal file's data
  BTreeLayout layout;
};

/// Builds a B-tree from `entries`, which stay in the order given (the caller sorts them).
/// Throws std::invalid_argument when one entry does not fit on a page.
BuiltBTree BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeOptions& options = {});

/// Offsets of one internal file in the built help file.
struct InternalFileLayout {
  std::string name;
  uint32_t header_offset = 0;  // its 9-byte header (what the directory entry points at)
  uint32_t data_offset = 0;    // header_offset + 9
  uint32_t size = 0;
};

/// Where everything lies in a built help file (file offsets).
struct HelpFileLayout {
  uint32_t file_size = 0;
  uint32_t directory_start = 0;  // the directory's 9-byte header
  uint32_t directory_page0 = 0;  // its page 0
  BTreeLayout directory;
  std::vector<InternalFileLayout> files;  // in the order added (entries without a file too)

  /// File offset of directory page `page`.
  uint32_t DirectoryPageOffset(int page) const {
    return directory_page0 + uint32_t(page) * directory.page_size;
  }
  /// The last file added under `name`; throws std::out_of_range when there is none.
  const InternalFileLayout& File(std::string_view name) const;
};

struct HelpFileOptions {
  BTreeOptions directory;
  bool directory_first = false;  // the directory right after the file header
};

/// Assembles a whole help file from internal files.
class HelpFileWriter {
 public:
  explicit HelpFileWriter(HelpFileOptions options = {}) : options_(std::move(options)) {}

  /// Adds an internal file and its directory entry.
  HelpFileWriter& AddFile(std::string name, std::vector<uint8_t> data);
  /// Adds a directory entry that points at `header_offset`, with no file behind it.
  HelpFileWriter& AddEntry(std::string name, int32_t header_offset);

  /// The whole help file. May be called again after more files were added.
  std::vector<uint8_t> Build();
  /// The layout of the last Build.
  const HelpFileLayout& layout() const { return layout_; }

 private:
  struct Item {
    std::string name;
    std::vector<uint8_t> data;
    std::optional<int32_t> fixed_offset;
  };
  HelpFileOptions options_;
  std::vector<Item> items_;
  HelpFileLayout layout_;
};

/// One typed |SYSTEM record.
struct SystemRecordSpec {
  uint16_t type = 0;
  std::vector<uint8_t> data;
};

/// A record whose data is `text` and a NUL.
SystemRecordSpec TextRecord(uint16_t type, std::string_view text);

/// |SYSTEM of every compiler but HC30: the 12-byte header (magic 0x036C, minor, major, date,
/// flags), then the records (type u16, length u16, data).
std::vector<uint8_t> BuildSystemFile(uint16_t minor, uint16_t flags,
                                     const std::vector<SystemRecordSpec>& records,
                                     uint16_t major = 1, uint32_t date = 0);

/// |SYSTEM of HC30 (minor 15): the header, then the title as it stands (add the NUL yourself
/// with `nul`).
std::vector<uint8_t> BuildHc30SystemFile(std::string_view title, uint16_t flags = 0,
                                         bool nul = true);

/// A directory-style B-tree entry: "name\0" and an int32.
BTreeEntry NameEntry(std::string_view name, int32_t value);

}  // namespace quorvex::testsupport
