// A small help-file writer for tests, written from the file formats: the container with its
// directory, B-trees, and the small internal files |SYSTEM, |FONT, |CONTEXT and the keywords.
//
// Help file: a 16-byte header (magic 0x35F3F, directory start, first free block -1, file size),
// then each internal file in the order added as a 9-byte header (reserved space, used space,
// flags) and its data, then the directory (or the directory first, with `directory_first`): a
// 9-byte header and a B-tree whose leaf entries are "name\0" and the i32 offset of the internal
// file's header.
//
// B-tree: a 38-byte header (magic 0x293B u16, flags u16, page size u16, structure 16 bytes, 0 u16,
// page splits u16, root page i16, -1 i16, pages u16, levels u16, entries i32), then page p at
// 38 + p * page size. Leaf page: free bytes u16, entry count i16, previous and next leaf i16 (-1
// at the ends), the entries (key and value bytes). Index page: free bytes u16, entry count i16,
// first child i16, then per further child the first key below it and the child's page i16.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

struct BTreeOptions {
  uint16_t page_size = 1024;
  /// Pages are numbered leaves first in chain order, then the index levels, the root last;
  /// `reverse_pages` numbers them the other way round (root page 0, the chain running down).
  bool reverse_pages = false;
};

/// Where the parts of a built B-tree lie (page numbers).
struct BTreeLayout {
  uint16_t page_size = 0;
  int16_t root_page = 0;
  uint16_t levels = 0;
};

struct InternalFileLayout {
  std::string name;
  uint32_t header_offset = 0, data_offset = 0, size = 0;  // data_offset = header_offset + 9
};

/// File offsets of the parts of a built help file.
struct HelpFileLayout {
  uint32_t directory_start = 0;  // the directory's 9-byte header
  BTreeLayout directory;
  std::vector<InternalFileLayout> files;  // in the order added, entries without a file too

  uint32_t DirectoryPageOffset(int page) const {
    return directory_start + 9 + 38 + uint32_t(page) * directory.page_size;
  }
  /// The last file added under `name`.
  const InternalFileLayout& File(std::string_view name) const {
    for (auto it = files.rbegin(); it != files.rend(); ++it)
      if (it->name == name) return *it;
    throw std::out_of_range("no internal file named " + std::string(name));
  }
};

struct HelpFileOptions {
  BTreeOptions directory;
  bool directory_first = false;  // the directory right after the file header
};

class HelpFileWriter {
 public:
  explicit HelpFileWriter(HelpFileOptions options = {}) : options_(std::move(options)) {}

  HelpFileWriter& AddFile(std::string name, std::vector<uint8_t> data) {
    items_.push_back({std::move(name), std::move(data), std::nullopt});
    return *this;
  }
  /// A directory entry that points at `header_offset`, with no file behind it.
  HelpFileWriter& AddEntry(std::string name, int32_t header_offset) {
    items_.push_back({std::move(name), {}, header_offset});
    return *this;
  }
  /// The whole help file (again after more files were added, too).
  std::vector<uint8_t> Build();
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

/// One |SYSTEM record; TextRecord's data is `text` and a NUL.
struct SystemRecordSpec {
  uint16_t type = 0;
  std::vector<uint8_t> data;
};
inline SystemRecordSpec TextRecord(uint16_t type, std::string_view text) {
  return {type, ByteBuilder().cstr(text).take()};
}

/// |SYSTEM with `records`; HC30 (minor 15) has the title after the header instead, its NUL
/// added with `nul`.
std::vector<uint8_t> BuildSystemFile(uint16_t minor, uint16_t flags,
                                     const std::vector<SystemRecordSpec>& records);
inline std::vector<uint8_t> BuildHc30SystemFile(std::string_view title, uint16_t flags = 0,
                                                bool nul = true) {
  ByteBuilder b(BuildSystemFile(15, flags, {}));
  return (nul ? b.cstr(title) : b.text(title)).take();
}

/// |FONT: the face names NUL-padded to `face_width`, `gap` zero bytes, the descriptors (their
/// count in the header `descriptor_count` when >= 0).
std::vector<uint8_t> BuildFontFile(const std::vector<std::string>& faces, size_t face_width,
                                   const std::vector<std::vector<uint8_t>>& descriptors,
                                   size_t gap = 0, int descriptor_count = -1);
/// The 11-byte descriptor: attributes (bit 0 bold, 1 italic, 2 underline), half points, family
/// (1 modern .. 5 decorative), face number u16, foreground and background RGB.
struct OldFontSpec {
  uint8_t attributes = 0, half_points = 20, family = 3;
  uint16_t face = 0;
  uint8_t red = 0, green = 0, blue = 0, back_red = 255, back_green = 255, back_blue = 255;
};
std::vector<uint8_t> OldFontDescriptor(const OldFontSpec& spec);
/// The 42-byte descriptor: face number u8 at 0, foreground RGB at 6, background (white) at 9,
/// height i32 at 12, weight i32 at 28, italic u32 at 32, pitch and family u8 at 39.
struct NewFontSpec {
  uint8_t face = 0, red = 0, green = 0, blue = 0;
  int32_t height = -10, weight = 400;
  uint32_t italic = 0;
  uint8_t pitch_family = 0x20;
};
std::vector<uint8_t> NewFontDescriptor(const NewFontSpec& spec);

/// |CONTEXT: a B-tree of (hash u32, TopicOffset u32), in the order given (compilers sort by hash).
using ContextEntries = std::vector<std::pair<uint32_t, uint32_t>>;
std::vector<uint8_t> BuildContextFile(const ContextEntries& entries,
                                      const BTreeOptions& options = {});

/// |KWBTREE or |AWBTREE: a B-tree of (keyword "\0", topic count i16, byte offset u32 of its first
/// TopicOffset in the data file); |KWDATA or |AWDATA: each keyword's TopicOffsets u32 in turn.
using KeywordEntries = std::vector<std::pair<std::string, std::vector<uint32_t>>>;
struct KeywordFiles {
  std::vector<uint8_t> btree, data;
};
KeywordFiles BuildKeywordFiles(const KeywordEntries& keywords, const BTreeOptions& options = {});

}  // namespace quorvex::testsupport
