#include "tests/support/help_writer.h"

#include <algorithm>

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

namespace {

// A page before physical numbering: leaves first (chain order), then index pages bottom-up.
struct LogicalPage {
  bool leaf = true;
  int level = 0;
  size_t first = 0;                                 // leaves: first entry; index pages: first child
  size_t count = 0;                                 // leaves: entries; index pages: children
  std::vector<size_t> children;                     // index pages: logical page numbers
  const std::vector<uint8_t>* first_key = nullptr;  // key of the first entry below the page
};

}  // namespace

BuiltBTree BuildBTree(const std::vector<BTreeEntry>& entries, const BTreeOptions& options) {
  const size_t page_size = options.page_size;
  if (page_size < kWriterLeafHeaderBytes)
    throw std::invalid_argument("B-tree page size smaller than a page header");

  std::vector<LogicalPage> pages;
  // Leaves, filled greedily.
  {
    const size_t room = page_size - kWriterLeafHeaderBytes;
    LogicalPage cur;
    size_t used = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
      size_t n = entries[i].key.size() + entries[i].value.size();
      if (n > room) throw std::invalid_argument("B-tree entry larger than a page");
      if (cur.count > 0 && used + n > room) {
        pages.push_back(cur);
        cur = LogicalPage();
        used = 0;
      }
      if (cur.count == 0) {
        cur.first = i;
        cur.first_key = &entries[i].key;
      }
      ++cur.count;
      used += n;
    }
    pages.push_back(cur);  // also the single empty leaf of an empty tree
  }
  const size_t leaf_count = pages.size();

  // Index levels until one page is left.
  std::vector<size_t> level_pages(leaf_count);
  for (size_t i = 0; i < leaf_count; ++i) level_pages[i] = i;
  int level = 0;
  while (level_pages.size() > 1) {
    ++level;
    const size_t room = page_size - kWriterIndexHeaderBytes;
    std::vector<size_t> next;
    LogicalPage cur;
    cur.leaf = false;
    cur.level = level;
    size_t used = 0;
    for (size_t child : level_pages) {
      size_t n = pages[child].first_key->size() + 2;
      if (n > room) throw std::invalid_argument("B-tree key larger than an index page");
      if (!cur.children.empty() && used + n > room) {
        next.push_back(pages.size());
        pages.push_back(cur);
        cur.children.clear();
        used = 0;
      }
      if (cur.children.empty()) {
        cur.first_key = pages[child].first_key;
      } else {
        used += n;
      }
      cur.children.push_back(child);
    }
    next.push_back(pages.size());
    pages.push_back(cur);
    level_pages = std::move(next);
  }
  static const std::vector<uint8_t> kNoKey;
  for (auto& p : pages)
    if (!p.first_key) p.first_key = &kNoKey;

  const size_t total = pages.size();
  auto physical = [&](size_t logical) {
    return static_cast<int16_t>(options.reverse_pages ? total - 1 - logical : logical);
  };

  BuiltBTree out;
  BTreeLayout& lay = out.layout;
  lay.page_size = options.page_size;
  lay.root_page = physical(total - 1);
  lay.levels = static_cast<uint16_t>(level + 1);
  for (size_t i = 0; i < leaf_count; ++i) lay.leaf_chain.push_back(physical(i));

  ByteBuilder b;
  b.u16(kWriterBTreeMagic)
      .u16(0x0402)  // flags
      .u16(options.page_size)
      .fixed_text("z4", 16)                   // the structure of the entries
      .u16(0)                                 // must be zero
      .u16(static_cast<uint16_t>(total - 1))  // page splits
      .i16(lay.root_page)
      .i16(-1)
      .u16(static_cast<uint16_t>(total))
      .u16(lay.levels)
      .i32(static_cast<int32_t>(entries.size()));

  std::vector<std::vector<uint8_t>> images(total);
  for (size_t i = 0; i < total; ++i) {
    const LogicalPage& p = pages[i];
    ByteBuilder body;
    if (p.leaf) {
      for (size_t e = p.first; e < p.first + p.count; ++e)
        body.bytes(entries[e].key).bytes(entries[e].value);
      int16_t prev = i == 0 ? int16_t(-1) : physical(i - 1);
      int16_t next = i + 1 == leaf_count ? int16_t(-1) : physical(i + 1);
      ByteBuilder page;
      page.u16(static_cast<uint16_t>(page_size - kWriterLeafHeaderBytes - body.size()))
          .i16(static_cast<int16_t>(p.count))
          .i16(prev)
          .i16(next)
          .bytes(body.data());
      images[size_t(physical(i))] = page.take();
    } else {
      for (size_t c = 1; c < p.children.size(); ++c)
        body.bytes(*pages[p.children[c]].first_key).i16(physical(p.children[c]));
      ByteBuilder page;
      page.u16(static_cast<uint16_t>(page_size - kWriterIndexHeaderBytes - body.size()))
          .i16(static_cast<int16_t>(p.children.size() - 1))
          .i16(physical(p.children.front()))
          .bytes(body.data());
      images[size_t(physical(i))] = page.take();
    }
  }
  for (auto& img : images) {
    img.resize(page_size, 0);
    b.bytes(img);
  }
  out.data = b.take();
  return out;
}

const InternalFileLayout& HelpFileLayout::File(std::string_view name) const {
  for (auto it = files.rbegin(); it != files.rend(); ++it)
    if (it->name == name) return *it;
  throw std::out_of_range("no internal file named " + std::string(name));
}

HelpFileWriter& HelpFileWriter::AddFile(std::string name, std::vector<uint8_t> data) {
  items_.push_back({std::move(name), std::move(data), std::nullopt});
  return *this;
}

HelpFileWriter& HelpFileWriter::AddEntry(std::string name, int32_t header_offset) {
  items_.push_back({std::move(name), {}, header_offset});
  return *this;
}

std::vector<uint8_t> HelpFileWriter::Build() {
  layout_ = HelpFileLayout();

  // The directory entries in the order added.
  auto directory = [&](const std::vector<int32_t>& offsets) {
    std::vector<BTreeEntry> entries;
    for (size_t i = 0; i < items_.size(); ++i)
      entries.push_back(NameEntry(items_[i].name, offsets[i]));
    return BuildBTree(entries, options_.directory);
  };

  // The directory's size does not depend on the offsets it holds, so a first build with
  // placeholder offsets tells where the files go when the directory comes first.
  std::vector<int32_t> offsets(items_.size(), 0);
  size_t dir_bytes = kWriterInternalHeaderBytes + directory(offsets).data.size();

  size_t pos = kWriterFileHeaderBytes + (options_.directory_first ? dir_bytes : 0);
  for (size_t i = 0; i < items_.size(); ++i) {
    InternalFileLayout f;
    f.name = items_[i].name;
    if (items_[i].fixed_offset) {
      offsets[i] = *items_[i].fixed_offset;
      f.header_offset = static_cast<uint32_t>(offsets[i]);
      f.data_offset = f.header_offset + kWriterInternalHeaderBytes;
    } else {
      offsets[i] = static_cast<int32_t>(pos);
      f.header_offset = static_cast<uint32_t>(pos);
      f.data_offset = static_cast<uint32_t>(pos + kWriterInternalHeaderBytes);
      f.size = static_cast<uint32_t>(items_[i].data.size());
      pos += kWriterInternalHeaderBytes + items_[i].data.size();
    }
    layout_.files.push_back(f);
  }
  BuiltBTree dir = directory(offsets);

  const size_t dir_start = options_.directory_first ? kWriterFileHeaderBytes : pos;
  const size_t file_size = options_.directory_first ? pos : pos + dir_bytes;
  layout_.file_size = static_cast<uint32_t>(file_size);
  layout_.directory_start = static_cast<uint32_t>(dir_start);
  layout_.directory_page0 =
      static_cast<uint32_t>(dir_start + kWriterInternalHeaderBytes + kWriterBTreeHeaderBytes);
  layout_.directory = dir.layout;

  auto put_directory = [&](ByteBuilder& b) {
    b.u32(static_cast<uint32_t>(dir.data.size() + kWriterInternalHeaderBytes))  // reserved
        .u32(static_cast<uint32_t>(dir.data.size()))                            // used
        .u8(4)                                                                  // flags
        .bytes(dir.data);
  };

  ByteBuilder b;
  b.u32(kWriterFileMagic)
      .u32(static_cast<uint32_t>(dir_start))
      .i32(-1)
      .u32(static_cast<uint32_t>(file_size));
  if (options_.directory_first) put_directory(b);
  for (const Item& item : items_) {
    if (item.fixed_offset) continue;
    b.u32(static_cast<uint32_t>(item.data.size() + kWriterInternalHeaderBytes))
        .u32(static_cast<uint32_t>(item.data.size()))
        .u8(0)  // flags
        .bytes(item.data);
  }
  if (!options_.directory_first) put_directory(b);
  return b.take();
}

SystemRecordSpec TextRecord(uint16_t type, std::string_view text) {
  return {type, ByteBuilder().cstr(text).take()};
}

std::vector<uint8_t> BuildSystemFile(uint16_t minor, uint16_t flags,
                                     const std::vector<SystemRecordSpec>& records, uint16_t major,
                                     uint32_t date) {
  ByteBuilder b;
  b.u16(kWriterSystemMagic).u16(minor).u16(major).u32(date).u16(flags);
  for (const auto& r : records)
    b.u16(r.type).u16(static_cast<uint16_t>(r.data.size())).bytes(r.data);
  return b.take();
}

std::vector<uint8_t> BuildHc30SystemFile(std::string_view title, uint16_t flags, bool nul) {
  ByteBuilder b;
  b.u16(kWriterSystemMagic).u16(15).u16(1).u32(0).u16(flags).text(title);
  if (nul) b.u8(0);
  return b.take();
}

BTreeEntry NameEntry(std::string_view name, int32_t value) {
  return {ByteBuilder().cstr(name).take(), ByteBuilder().i32(value).take()};
}

}  // namespace quorvex::testsupport
