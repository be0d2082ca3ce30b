// Placeholder until the container reader lands.
#include "core/container.h"

namespace quorvex {
std::unique_ptr<HelpFile> OpenHelpFile(const std::string&, ConversionOptions, ConversionSession&) {
  return nullptr;
}
std::unique_ptr<HelpFile> OpenHelpFileFromBytes(std::vector<uint8_t>, std::string,
                                                ConversionOptions, ConversionSession&) {
  return nullptr;
}
void CloseHelpFile(std::unique_ptr<HelpFile>) {}
BTreeHeader ReadBTreeHeader(ByteReader&) { return {}; }
int16_t DescendToFirstLeaf(const ByteReader&, uint32_t, const BTreeHeader&) { return 0; }
void ForEachLeafPage(const ByteReader&, uint32_t, const BTreeHeader&, const char*,
                     const std::function<bool(ByteReader&, int)>&) {}
InternalFile ReadInternalFileEntry(const HelpFile&, int32_t) { return {}; }
}  // namespace quorvex
