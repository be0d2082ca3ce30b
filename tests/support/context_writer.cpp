#include "tests/support/context_writer.h"

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

std::vector<uint8_t> BuildContextFile(const ContextEntries& entries, const BTreeOptions& options) {
  std::vector<BTreeEntry> leaves;
  for (const auto& [hash, offset] : entries)
    leaves.push_back({ByteBuilder().u32(hash).take(), ByteBuilder().u32(offset).take()});
  return BuildBTree(leaves, options).data;
}

KeywordFiles BuildKeywordFiles(const KeywordEntries& keywords, const BTreeOptions& options) {
  std::vector<BTreeEntry> leaves;
  ByteBuilder data;
  uint32_t at = 0;
  for (const auto& [text, offsets] : keywords) {
    leaves.push_back({ByteBuilder().cstr(text).take(),
                      ByteBuilder().i16(int16_t(offsets.size())).u32(at).take()});
    for (uint32_t offset : offsets) data.u32(offset);
    at += uint32_t(4 * offsets.size());
  }
  return {BuildBTree(leaves, options).data, data.take()};
}

}  // namespace quorvex::testsupport
