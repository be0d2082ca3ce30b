#include "core/container.h"

#include <algorithm>
#include <bitset>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

#include "core/phrases.h"
#include "core/system_file.h"

namespace quorvex {

namespace {

/// Offsets in the file header and the directory are signed 32-bit: nothing beyond is reachable.
constexpr uint64_t kMaxHelpFileSize = 0x7FFFFFFF;
/// Page numbers are signed 16-bit, so a B-tree has at most this many distinct pages; a walk
/// that meets a page twice is a loop.
constexpr size_t kMaxBTreePages = 0x8000;
/// Real directories hold tens to hundreds of entries; the table grows beyond this only with
/// entries actually read, never with the count the header claims.
constexpr size_t kMaxReservedEntries = 1024;
/// The structure text of a B-tree header is a fixed field of this many bytes.
constexpr size_t kBTreeStructureSize = 16;
/// Offset of the first-child (index) or previous-leaf (leaf) word in a page header.
constexpr size_t kPageFirstChildOffset = 4;

constexpr char kDirectory[] = "directory";

struct WellKnownFile {
  std::string_view name;
  Slot slot;
};

// Compared exactly, case included. "|0KWBTREE" and "|0KWDATA" share the keyword slots.
constexpr WellKnownFile kWellKnownFiles[] = {
    {"|Phrases", Slot::kPhrases},  {"|PhrImage", Slot::kPhrImage}, {"|PhrIndex", Slot::kPhrIndex},
    {"|SYSTEM", Slot::kSystem},    {"|FONT", Slot::kFont},         {"|TOPIC", Slot::kTopic},
    {"|TOMAP", Slot::kToMap},      {"|CONTEXT", Slot::kContext},   {"|KWBTREE", Slot::kKwBtree},
    {"|KWDATA", Slot::kKwData},    {"|AWBTREE", Slot::kAwBtree},   {"|AWDATA", Slot::kAwData},
    {"|0KWBTREE", Slot::kKwBtree}, {"|0KWDATA", Slot::kKwData},    {"|CTXOMAP", Slot::kCtxOMap},
};

/// What is wrong with a B-tree, or nothing. The walks below report damage this way, so that the
/// directory can treat it as fatal and the other trees as a reason to stop reading them.
using TreeProblem = std::optional<std::string>;

[[noreturn]] void ThrowProblem(const std::string& text) {
  throw FatalException(text);
}

TreeProblem CheckPageSize(const BTreeHeader& h, std::string_view what) {
  if (h.page_size < kBTreePageHeaderSize)
    return FormatText(
        "Fileformat-Problem: the %s's page size of %u bytes is smaller than a page header",
        {what, h.page_size});
  return std::nullopt;
}

/// A reader over page `page`, positioned at its start, in `out`. A page that does not lie
/// wholly inside `file` is a problem; `role` says how the page was reached ("root", ...).
TreeProblem PageReader(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                       int page, std::string_view what, std::string_view role, ByteReader& out) {
  const int64_t offset = int64_t(page0_offset) + int64_t(page) * h.page_size;
  if (page < 0 || offset >= int64_t(file.size()))
    return FormatText(
        "Fileformat-Problem: the %s's %s page %d lies outside the help file (offset %lld)",
        {what, role, page, offset});
  if (!file.contains(size_t(offset), h.page_size))
    return FormatText(
        "Fileformat-Problem: page %d of the %s at offset %lld is cut short by the end of the "
        "help file",
        {page, what, offset});
  out = file.sub(size_t(offset), h.page_size);
  return std::nullopt;
}

using LeafVisitor = std::function<bool(ByteReader& page, int entries, int page_number)>;

/// Walks the leaf chain from `page`; `visit` gets a reader after each leaf's header.
TreeProblem WalkLeaves(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                       int page, std::string_view what, const LeafVisitor& visit) {
  if (TreeProblem p = CheckPageSize(h, what)) return p;
  std::bitset<kMaxBTreePages> seen;
  std::string_view role = "first leaf";
  while (page != -1) {
    ByteReader r;
    if (TreeProblem p = PageReader(file, page0_offset, h, page, what, role, r)) return p;
    if (seen[size_t(page)])
      return FormatText("Fileformat-Problem: the %s's leaf chain loops at page %d", {what, page});
    seen[size_t(page)] = true;
    r.u16();  // free bytes
    const int entries = r.i16();
    r.i16();  // previous leaf
    const int next = r.i16();
    if (entries < 0)
      return FormatText(
          "Fileformat-Problem: leaf page %d of the %s has a negative entry count (%d)",
          {page, what, entries});
    if (!visit(r, entries, page)) return std::nullopt;
    page = next;
    role = "next leaf";
  }
  return std::nullopt;
}

void WalkLeavesOrFail(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h, int page,
                      std::string_view what, const LeafVisitor& visit) {
  if (TreeProblem p = WalkLeaves(file, page0_offset, h, page, what, visit)) ThrowProblem(*p);
}

TreeProblem Descend(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                    std::string_view what, int16_t& leaf) {
  if (TreeProblem p = CheckPageSize(h, what)) return p;
  std::bitset<kMaxBTreePages> seen;
  int page = h.root_page;
  std::string_view role = "root";
  for (;;) {
    ByteReader r;
    if (TreeProblem p = PageReader(file, page0_offset, h, page, what, role, r)) return p;
    if (seen[size_t(page)])
      return FormatText(
          "Fileformat-Problem: the descent through the %s's index pages loops at page %d",
          {what, page});
    seen[size_t(page)] = true;
    r.skip(kPageFirstChildOffset);
    const int child = r.i16();
    if (child < 0) {
      leaf = int16_t(page);
      return std::nullopt;
    }
    page = child;
    role = "first child";
  }
}

/// Reads one directory entry ("name\0" and the int32 offset of its internal-file header) from
/// a leaf page. `n` is the entry's number, for messages.
void ReadDirectoryEntry(ByteReader& page, int page_number, int32_t n, std::string& name,
                        int32_t& header_offset) {
  const size_t entry_offset = page.file_offset();
  name = page.cstring(kMaxInternalNameLength + 1);
  if (name.size() > kMaxInternalNameLength) FatalError("Fileformat-Problem. FileNumber=%ld", n);
  if (!page.ok())
    FatalError(
        "Fileformat-Problem: the name of directory entry %ld (offset %lu) runs past the end of "
        "page %d",
        n, entry_offset, page_number);
  header_offset = page.i32();
  if (!page.ok())
    FatalError(
        "Fileformat-Problem: directory entry %ld (offset %lu) runs past the end of page %d; the "
        "page holds fewer entries than it announces",
        n, entry_offset, page_number);
}

int32_t SaturatedDataOffset(int32_t header_offset) {
  const int64_t data = int64_t(header_offset) + int64_t(kInternalFileHeaderSize);
  return data > INT32_MAX ? INT32_MAX : int32_t(data);
}

/// The table entry of internal file `name` whose header lies at `header_offset`. A header
/// outside the file gives size 0; data cut by the end of the file gives the size that is there.
/// With `diagnostics`, each of these is reported.
InternalFile ResolveEntry(const ByteReader& file, std::string name, int32_t header_offset,
                          int32_t n, Diagnostics* diagnostics) {
  InternalFile f;
  f.name = std::move(name);
  f.data_offset = SaturatedDataOffset(header_offset);
  if (header_offset < 0 || !file.contains(size_t(header_offset), kInternalFileHeaderSize)) {
    if (diagnostics) diagnostics->Warning(kWarnFileOutside, f.name, n);
    return f;
  }
  ByteReader r = file.sub(size_t(header_offset), kInternalFileHeaderSize);
  r.u32();  // reserved space
  const int32_t used = r.i32();
  const size_t available = file.size() - size_t(header_offset) - kInternalFileHeaderSize;
  if (used < 0) {
    if (diagnostics) diagnostics->Warning(kWarnFileBadSize, f.name, used);
  } else if (size_t(used) > available) {
    if (diagnostics) diagnostics->Warning(kWarnFileTruncated, f.name, available, used);
    f.size = int32_t(available);
  } else {
    f.size = used;
  }
  return f;
}

void FillSlot(HelpFile& hf, const InternalFile& f) {
  for (const WellKnownFile& w : kWellKnownFiles) {
    if (f.name == w.name) {
      hf.slot(w.slot) = SlotEntry{f.data_offset, f.size};
      if (w.slot == Slot::kSystem) ReadSystemHeader(hf, f);
      return;
    }
  }
}

/// Reads the directory into the internal-file table with one walk of its leaf chain; the
/// table holds the same entries, in the same order, as ReadInternalFileEntry gives for 0, 1, ...
void BuildInternalFileTable(HelpFile& hf) {
  const ByteReader file = hf.reader();
  const int32_t total = hf.directory_header.total_entries;
  hf.internal_files.reserve(std::min<size_t>(size_t(total), kMaxReservedEntries));
  if (total == 0) return;
  WalkLeavesOrFail(file, hf.page0_offset, hf.directory_header, hf.first_leaf, kDirectory,
                   [&](ByteReader& page, int entries, int page_number) {
                     for (int i = 0; i < entries; ++i) {
                       const int32_t n = int32_t(hf.internal_files.size());
                       if (n == total) return false;
                       std::string name;
                       int32_t header_offset = 0;
                       ReadDirectoryEntry(page, page_number, n, name, header_offset);
                       hf.internal_files.push_back(ResolveEntry(
                           file, std::move(name), header_offset, n, &hf.diagnostics()));
                       FillSlot(hf, hf.internal_files.back());
                     }
                     return int32_t(hf.internal_files.size()) < total;
                   });
  if (int32_t(hf.internal_files.size()) < total)
    hf.diagnostics().Warning(kWarnDirectoryShort, hf.internal_files.size(), total);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(path, ec)) return false;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxHelpFileSize) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.resize(size_t(size));
  in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(size));
  return size_t(in.gcount()) == bytes.size();
}

}  // namespace

std::unique_ptr<HelpFile> OpenHelpFile(const std::string& path, ConversionOptions options,
                                       ConversionSession& session) {
  std::vector<uint8_t> bytes;
  if (!ReadWholeFile(path, bytes)) return nullptr;
  return OpenHelpFileFromBytes(std::move(bytes), path, options, session);
}

std::unique_ptr<HelpFile> OpenHelpFileFromBytes(std::vector<uint8_t> bytes, std::string path,
                                                ConversionOptions options,
                                                ConversionSession& session) {
  auto hf = std::make_unique<HelpFile>();
  hf->bytes = std::move(bytes);
  hf->path = std::move(path);
  hf->options = options;
  hf->session = &session;

  ByteReader r = hf->reader();
  FileHeader& fh = hf->file_header;
  fh.magic = r.u32();
  fh.directory_start = r.i32();
  fh.first_free_block = r.i32();
  fh.file_size = r.i32();  // not used: some files carry bytes beyond the size stated here
  const bool magic_read = hf->bytes.size() >= sizeof(uint32_t);
  if (!magic_read || fh.magic != kHelpFileMagic) {
    if (options & kProbeOnly) return nullptr;
    FatalError(LoadText(kTextBadMagic));
  }
  if (!r.ok())
    FatalError("Fileformat-Problem: the help file is %lu bytes long, too short for its header",
               hf->bytes.size());

  // The directory: its internal-file header (ignored) and its B-tree header.
  const int32_t start = fh.directory_start;
  if (start < 0 || size_t(start) >= hf->bytes.size())
    FatalError("Fileformat-Problem: the directory start %ld lies outside the help file (%lu bytes)",
               start, hf->bytes.size());
  ByteReader dir = r.sub(size_t(start), kInternalFileHeaderSize + kBTreeHeaderSize);
  if (!dir.ok())
    FatalError(
        "Fileformat-Problem: the directory header at offset %ld is cut short by the end of the "
        "help file",
        start);
  dir.skip(kInternalFileHeaderSize);
  hf->directory_header = ReadBTreeHeader(dir);
  hf->page0_offset = uint32_t(start) + kInternalFileHeaderSize + kBTreeHeaderSize;
  if (TreeProblem p = CheckPageSize(hf->directory_header, kDirectory)) ThrowProblem(*p);
  if (hf->directory_header.total_entries < 0)
    FatalError("Fileformat-Problem: the directory announces a negative number of entries (%ld)",
               hf->directory_header.total_entries);
  hf->first_leaf = DescendToFirstLeaf(r, hf->page0_offset, hf->directory_header, kDirectory);

  hf->diagnostics().Progress(0, kPhaseLoadingSystem);
  BuildInternalFileTable(*hf);
  SetCompressed(*hf);
  if (options & kProbeOnly) {
    // A probe only asks whether the file can be converted: a compiler version this program
    // does not read is "no", not the end of the process.
    const bool unsupported =
        hf->slot(Slot::kSystem).present() && !IsSupportedMinorVersion(hf->system_header.minor);
    return unsupported ? nullptr : std::move(hf);
  }

  if (hf->slot(Slot::kPhrases).present()) {
    LoadPhrases(*hf);
  } else if (hf->slot(Slot::kPhrImage).present()) {
    LoadRtfPhrases(*hf);
  }
  return hf;
}

void CloseHelpFile(std::unique_ptr<HelpFile> hf) {
  if (!hf) return;
  if (hf->localization) hf->localization->Close();
  // Embedded pictures live on only inside the RTF.
  if (hf->option(kBmpInRtf)) {
    for (const ExtractedPicture& picture : hf->extracted_pictures.pictures())
      if (!picture.empty() && picture.folder) picture.folder->Remove(picture.name);
  }
  hf.reset();
}

BTreeHeader ReadBTreeHeader(ByteReader& r) {
  BTreeHeader h;
  h.magic = r.u16();
  h.flags = r.u16();
  h.page_size = r.u16();
  Bytes structure = r.bytes(kBTreeStructureSize);
  for (uint8_t c : structure) {
    if (c == 0) break;
    h.structure += char(c);
  }
  r.u16();  // must be zero
  r.u16();  // page splits
  h.root_page = r.i16();
  r.i16();  // must be -1
  h.total_pages = r.u16();
  h.levels = r.u16();
  h.total_entries = r.i32();
  return h;
}

int16_t DescendToFirstLeaf(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                           const char* what) {
  int16_t leaf = 0;
  if (TreeProblem p = Descend(file, page0_offset, h, what, leaf)) ThrowProblem(*p);
  return leaf;
}

void ForEachLeafPage(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                     const char* what,
                     const std::function<bool(ByteReader& page, int entries)>& visit) {
  if (std::optional<std::string> p = TryForEachLeafPage(file, page0_offset, h, what, visit))
    ThrowProblem(*p);
}

std::optional<std::string> TryForEachLeafPage(
    const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h, const char* what,
    const std::function<bool(ByteReader& page, int entries)>& visit) {
  int16_t first = 0;
  if (TreeProblem p = Descend(file, page0_offset, h, what, first)) return p;
  return WalkLeaves(file, page0_offset, h, first, what,
                    [&](ByteReader& page, int entries, int) { return visit(page, entries); });
}

InternalFile ReadInternalFileEntry(const HelpFile& hf, int32_t n) {
  if (n < 0) FatalError("Fileformat-Problem: the directory has no entry %ld", n);
  const ByteReader file = hf.reader();
  std::optional<InternalFile> found;
  int32_t counter = 0;  // number of the first entry of the page being looked at
  WalkLeavesOrFail(file, hf.page0_offset, hf.directory_header, hf.first_leaf, kDirectory,
                   [&](ByteReader& page, int entries, int page_number) {
                     if (n >= counter + entries) {
                       counter += entries;
                       return true;
                     }
                     std::string name;
                     int32_t header_offset = 0;
                     // Messages name the entry that is damaged, not the one looked for.
                     for (; counter <= n; ++counter)
                       ReadDirectoryEntry(page, page_number, counter, name, header_offset);
                     found = ResolveEntry(file, std::move(name), header_offset, n, nullptr);
                     return false;
                   });
  if (!found) FatalError("Fileformat-Problem: the directory has no entry %ld", n);
  return std::move(*found);
}

}  // namespace quorvex
