// Writers of the context and keyword internal files, for building test inputs.
//
// |CONTEXT: a B-tree (help_writer.h) whose leaf entries are 8 bytes: context hash u32, then the
// TopicOffset u32 where the context starts. The help compiler sorts them by hash; the writer
// keeps the order given.
// Keyword B-tree (|KWBTREE, |AWBTREE): leaf entries of the keyword text and its NUL, the topic
// count i16 and the byte offset u32 of the keyword's first TopicOffset in the data file; the
// data file (|KWDATA, |AWDATA) holds the TopicOffsets u32 of each keyword in turn.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/help_writer.h"

namespace quorvex::testsupport {

/// (hash, TopicOffset) pairs in leaf-chain order.
using ContextEntries = std::vector<std::pair<uint32_t, uint32_t>>;
std::vector<uint8_t> BuildContextFile(const ContextEntries& entries,
                                      const BTreeOptions& options = {});

/// Keywords in leaf-chain order, each with the TopicOffsets of its topics.
using KeywordEntries = std::vector<std::pair<std::string, std::vector<uint32_t>>>;
struct KeywordFiles {
  std::vector<uint8_t> btree, data;
};
KeywordFiles BuildKeywordFiles(const KeywordEntries& keywords, const BTreeOptions& options = {});

}  // namespace quorvex::testsupport
