// The context map and the keyword tables: |CONTEXT, and the K (|KWBTREE or |0KWBTREE with
// |KWDATA or |0KWDATA) and A (|AWBTREE with |AWDATA) keyword B-trees, loaded once before the
// topic pass into the tables of the HelpFile, and the look-ups the topic pass and the project
// sections make for every topic.
//
// |CONTEXT leaf entry, 8 bytes: context hash u32, TopicOffset u32, in hash order.
// Keyword leaf entry: keyword text and its NUL, topic count i16, byte offset u32 into the data
// file of the keyword's first TopicOffset. Data file: TopicOffsets u32, those of one keyword
// consecutive.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/help_file.h"

namespace quorvex {

/// Reads |CONTEXT into hf.context_map ("Reading Context File", 43 to 47 percent). Without
/// |CONTEXT the map is empty. A damaged tree is read as far as it is sound, with a warning.
void LoadContextMap(HelpFile& hf);

/// The context name (ContextNameForHash) of the first map entry in leaf-chain order whose hash
/// is not 0 and whose TopicOffset lies in low..high: at least `low` compared as signed 32-bit
/// numbers (a negative low, as from a contents offset minus 5, takes offsets from 0), at most
/// `high` compared as unsigned ones. None without a map or a matching entry.
std::optional<std::string> ContextNameInRange(const HelpFile& hf, int32_t low, uint32_t high);

/// The keyword table of the B-tree in slot `btree` and the data file in slot `data`, or none
/// when either is absent. Reports "Scanning Keywords" (43 to 46 percent). The table holds at
/// most one entry per TopicOffset the data file has room for; entries that point outside the
/// data file, or beyond that room, are left out with a warning.
std::optional<KeywordTable> LoadKeywordTable(HelpFile& hf, Slot btree, Slot data);

/// Both keyword tables into hf.k_keywords (|KWBTREE and |KWDATA, or their |0KW names) and
/// hf.a_keywords (|AWBTREE and |AWDATA).
void LoadKeywordTables(HelpFile& hf);

/// The keywords of `table` (none: no table) whose TopicOffsets lie in low..high (signed),
/// joined by ";" in table order, each text as the help file spells it; none when there are
/// none. With `written`, entries marked there are left out and the ones returned are marked.
std::optional<std::string> KeywordsForTopic(const HelpFile& hf, const KeywordTable* table,
                                            int64_t low, int64_t high,
                                            KeywordEntryMarks* written = nullptr);

}  // namespace quorvex
