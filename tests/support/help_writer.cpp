#include "tests/support/help_writer.h"

namespace quorvex::testsupport {

namespace {

using Bytes = std::vector<uint8_t>;
using Entries = std::vector<std::pair<Bytes, Bytes>>;  // key, value

// Items 0..n-1 filled greedily into pages of `room` bytes, item i taking size(i); the first
// child of an index page takes none (it stands in the page header).
std::vector<std::vector<size_t>> Fill(size_t n, size_t room, bool index, auto size) {
  std::vector<std::vector<size_t>> pages(1);  // an empty tree has one empty leaf
  size_t used = 0;
  for (size_t i = 0; i < n; ++i) {
    if (size(i) > room) throw std::invalid_argument("B-tree entry larger than a page");
    if (!pages.back().empty() && used + size(i) > room) pages.emplace_back(), used = 0;
    used += index && pages.back().empty() ? 0 : size(i);
    pages.back().push_back(i);
  }
  return pages;
}

// The entries stay in the order given.
std::pair<Bytes, BTreeLayout> BuildBTree(const Entries& entries, const BTreeOptions& options) {
  // Logical pages: the leaves in chain order, then the index levels bottom-up. A leaf holds
  // entry numbers, an index page logical child pages; `key` is the first key below the page.
  struct Page {
    std::vector<size_t> items;
    const Bytes* key;
  };
  static const Bytes kNoKey;
  const size_t page_size = options.page_size;
  std::vector<Page> pages;
  auto entry_size = [&](size_t i) { return entries[i].first.size() + entries[i].second.size(); };
  for (auto& items : Fill(entries.size(), page_size - 8, false, entry_size))
    pages.push_back({items, items.empty() ? &kNoKey : &entries[items[0]].first});
  const size_t leaves = pages.size();
  uint16_t levels = 1;
  for (size_t from = 0; pages.size() - from > 1; ++levels) {
    const size_t below = from, n = pages.size() - from;
    from = pages.size();
    auto key_size = [&](size_t i) { return pages[below + i].key->size() + 2; };
    for (auto& items : Fill(n, page_size - 6, true, key_size)) {
      for (size_t& child : items) child += below;
      pages.push_back({items, pages[items[0]].key});
    }
  }
  const size_t total = pages.size();
  auto physical = [&](size_t i) { return int16_t(options.reverse_pages ? total - 1 - i : i); };

  const BTreeLayout layout{options.page_size, physical(total - 1), levels};
  ByteBuilder b;
  b.u16(0x293B).u16(0x0402).u16(options.page_size).fixed_text("z4", 16).u16(0);
  b.u16(uint16_t(total - 1)).i16(layout.root_page).i16(-1).u16(uint16_t(total)).u16(levels);
  b.i32(int32_t(entries.size()));
  std::vector<Bytes> images(total);
  for (size_t i = 0; i < total; ++i) {
    const std::vector<size_t>& items = pages[i].items;
    const bool leaf = i < leaves;
    ByteBuilder body;
    for (size_t k = 0; k < items.size(); ++k) {
      if (leaf) body.bytes(entries[items[k]].first).bytes(entries[items[k]].second);
      if (!leaf && k > 0) body.bytes(*pages[items[k]].key).i16(physical(items[k]));
    }
    ByteBuilder page;
    page.u16(uint16_t(page_size - (leaf ? 8 : 6) - body.size()));
    page.i16(int16_t(leaf ? items.size() : items.size() - 1));
    if (leaf) page.i16(i == 0 ? -1 : physical(i - 1)).i16(i + 1 == leaves ? -1 : physical(i + 1));
    if (!leaf) page.i16(physical(items[0]));
    images[size_t(physical(i))] = page.bytes(body.data()).take();
    images[size_t(physical(i))].resize(page_size);
  }
  for (const Bytes& image : images) b.bytes(image);
  return {b.take(), layout};
}

}  // namespace

std::vector<uint8_t> HelpFileWriter::Build() {
  auto directory = [&](const std::vector<int32_t>& offsets) {
    Entries entries;
    for (size_t i = 0; i < items_.size(); ++i)
      entries.push_back(
          {ByteBuilder().cstr(items_[i].name).take(), ByteBuilder().i32(offsets[i]).take()});
    return BuildBTree(entries, options_.directory);
  };
  // The directory's size does not depend on the offsets in it, so a build with zeros tells where
  // the files go when it comes first.
  std::vector<int32_t> offsets(items_.size());
  const size_t directory_bytes = 9 + directory(offsets).first.size();
  const bool first = options_.directory_first;
  layout_ = {};
  size_t pos = 16 + (first ? directory_bytes : 0);
  for (size_t i = 0; i < items_.size(); ++i) {
    offsets[i] = items_[i].fixed_offset.value_or(int32_t(pos));
    const auto size = uint32_t(items_[i].data.size());
    layout_.files.push_back({items_[i].name, uint32_t(offsets[i]), uint32_t(offsets[i]) + 9, size});
    if (!items_[i].fixed_offset) pos += 9 + items_[i].data.size();
  }
  const auto [dir, dir_layout] = directory(offsets);
  layout_.directory = dir_layout;
  layout_.directory_start = uint32_t(first ? 16 : pos);

  ByteBuilder b;
  b.u32(0x00035F3F).u32(layout_.directory_start).i32(-1);
  b.u32(uint32_t(pos + (first ? 0 : directory_bytes)));
  auto put = [&b](const Bytes& data, uint8_t flags) {
    b.u32(uint32_t(data.size() + 9)).u32(uint32_t(data.size())).u8(flags).bytes(data);
  };
  if (first) put(dir, 4);
  for (const Item& item : items_)
    if (!item.fixed_offset) put(item.data, 0);
  if (!first) put(dir, 4);
  return b.take();
}

std::vector<uint8_t> BuildSystemFile(uint16_t minor, uint16_t flags,
                                     const std::vector<SystemRecordSpec>& records) {
  ByteBuilder b;
  b.u16(0x036C).u16(minor).u16(1).u32(0).u16(flags);  // magic, minor, major 1, date 0, flags
  for (const auto& r : records) b.u16(r.type).u16(uint16_t(r.data.size())).bytes(r.data);
  return b.take();
}

std::vector<uint8_t> BuildFontFile(const std::vector<std::string>& faces, size_t face_width,
                                   const std::vector<std::vector<uint8_t>>& descriptors, size_t gap,
                                   int descriptor_count) {
  ByteBuilder b;
  b.u16(uint16_t(faces.size()))
      .u16(uint16_t(descriptor_count < 0 ? descriptors.size() : size_t(descriptor_count)));
  b.u16(8).u16(uint16_t(8 + faces.size() * face_width + gap));
  for (const std::string& face : faces) b.fixed_text(face, face_width);
  b.zeros(gap);
  for (const std::vector<uint8_t>& d : descriptors) b.bytes(d);
  return b.take();
}

std::vector<uint8_t> OldFontDescriptor(const OldFontSpec& s) {
  ByteBuilder b;
  b.u8(s.attributes).u8(s.half_points).u8(s.family).u16(s.face);
  return b.u8(s.red).u8(s.green).u8(s.blue).u8(s.back_red).u8(s.back_green).u8(s.back_blue).take();
}

std::vector<uint8_t> NewFontDescriptor(const NewFontSpec& s) {
  ByteBuilder b;
  b.u8(s.face).zeros(5).u8(s.red).u8(s.green).u8(s.blue).u8(255).u8(255).u8(255);
  b.i32(s.height).zeros(12).i32(s.weight).u32(s.italic);
  return b.zeros(3).u8(s.pitch_family).zeros(2).take();
}

std::vector<uint8_t> BuildContextFile(const ContextEntries& entries, const BTreeOptions& options) {
  Entries leaves;
  for (const auto& [hash, offset] : entries)
    leaves.push_back({ByteBuilder().u32(hash).take(), ByteBuilder().u32(offset).take()});
  return BuildBTree(leaves, options).first;
}

KeywordFiles BuildKeywordFiles(const KeywordEntries& keywords, const BTreeOptions& options) {
  Entries leaves;
  ByteBuilder data;
  for (const auto& [text, offsets] : keywords) {
    const auto count = int16_t(offsets.size());
    leaves.push_back({ByteBuilder().cstr(text).take(),
                      ByteBuilder().i16(count).u32(uint32_t(data.size())).take()});
    for (uint32_t offset : offsets) data.u32(offset);
  }
  return {BuildBTree(leaves, options).first, data.take()};
}

}  // namespace quorvex::testsupport
