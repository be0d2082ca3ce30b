// Opening a help file: the container header, the directory B-tree and the internal-file table.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/help_file.h"

namespace quorvex {

/// Opens the help file at `path`: reads it into memory, checks the magic number, reads the
/// directory into the internal-file table, reads and checks the |SYSTEM header and, unless
/// `options` has kProbeOnly, loads the phrase tables.
/// Returns nullptr when the file cannot be read, or (with kProbeOnly) when it is not a help
/// file. A wrong magic number without kProbeOnly, an unsupported compiler version and a
/// directory that cannot be read are fatal (FatalException). An internal file whose header or
/// data lies outside the help file is kept with size 0 or cut to what is there, with a warning.
std::unique_ptr<HelpFile> OpenHelpFile(const std::string& path, ConversionOptions options,
                                       ConversionSession& session);

/// As OpenHelpFile, for a help file already in memory (tests, fuzzing).
std::unique_ptr<HelpFile> OpenHelpFileFromBytes(std::vector<uint8_t> bytes, std::string path,
                                                ConversionOptions options,
                                                ConversionSession& session);

/// Releases the help file. With kBmpInRtf, deletes the picture files recorded in the
/// extracted-picture list from the output folder first.
void CloseHelpFile(std::unique_ptr<HelpFile> hf);

/// Reads the B-tree header at the reader's position (38 bytes).
BTreeHeader ReadBTreeHeader(ByteReader& r);

/// The page number of the first leaf of a B-tree: follows the first-child links from the root.
/// `file` reads the whole help file; page p lies at page0_offset + p * page_size. A page size
/// smaller than a page header, a descent that loops or a page outside `file` is fatal, with a
/// message naming `what` ("directory", "|CONTEXT B-tree").
int16_t DescendToFirstLeaf(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                           const char* what = "B-tree");

/// Walks the leaf chain of a B-tree from its first leaf, calling `visit` with a reader over each
/// leaf page (positioned after the 8-byte page header) and the page's entry count, until
/// `visit` returns false or the chain ends. A chain that loops, leaves the file or names a page
/// beyond the tree is fatal with a message naming `what`.
void ForEachLeafPage(const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h,
                     const char* what,
                     const std::function<bool(ByteReader& page, int entries)>& visit);

/// As ForEachLeafPage, for the trees whose damage does not stop a conversion (|CONTEXT, the
/// keyword B-trees): a page size below a page header, a descent or chain that loops, leaves the
/// file or has a negative entry count ends the walk there, and the description of the damage is
/// returned. The pages before it have been visited. None when the walk was not cut short.
std::optional<std::string> TryForEachLeafPage(
    const ByteReader& file, uint32_t page0_offset, const BTreeHeader& h, const char* what,
    const std::function<bool(ByteReader& page, int entries)>& visit);

/// Directory entry `n` (0-based, below the total entries), found by scanning the leaf chain
/// from the first leaf. Gives the same entry as hf.internal_files[n], without reporting
/// anything: a header outside the file gives size 0, data cut by the end of the file the size
/// that is there. An entry number the directory does not hold is fatal.
InternalFile ReadInternalFileEntry(const HelpFile& hf, int32_t n);

}  // namespace quorvex
