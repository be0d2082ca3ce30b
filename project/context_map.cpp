#include "project/context_map.h"

#include <algorithm>
#include <string_view>

#include "core/container.h"
#include "project/context_names.h"

namespace quorvex {

namespace {

constexpr size_t kContextEntrySize = 8;
constexpr size_t kTopicOffsetSize = 4;

// Progress of the two loaders: the context map runs from 43 to 47 percent, each keyword table
// from 43 to 46.
constexpr int kProgressBase = 43;
constexpr int kContextProgressSpan = 4;
constexpr int kKeywordProgressSpan = 3;

/// base + done * span / total, rounded to the nearest integer.
int ProgressPercent(int span, uint64_t done, uint64_t total) {
  if (total == 0) return kProgressBase;
  return kProgressBase + static_cast<int>((2 * done * uint64_t(span) + total) / (2 * total));
}

/// The name of the internal file in slot `s`, for messages (the slot may hold either of two
/// names).
std::string SlotName(const HelpFile& hf, Slot s, const char* fallback) {
  for (const InternalFile& f : hf.internal_files)
    if (f.data_offset == hf.slot(s).data_offset) return f.name;
  return fallback;
}

/// The B-tree header at the start of `data`; none, with a warning, when `data` is too short.
std::optional<BTreeHeader> ReadTreeHeader(HelpFile& hf, const ByteReader& data,
                                          const std::string& name) {
  ByteReader r = data;
  BTreeHeader h = ReadBTreeHeader(r);
  if (!r.ok()) {
    hf.diagnostics().Warning(kWarnTreeHeaderCut, name, data.size());
    return std::nullopt;
  }
  return h;
}

}  // namespace

void LoadContextMap(HelpFile& hf) {
  hf.context_map.emplace();
  if (!hf.slot(Slot::kContext).present()) return;
  const std::string name = SlotName(hf, Slot::kContext, "|CONTEXT");
  const ByteReader data = hf.InternalData(Slot::kContext);
  const std::optional<BTreeHeader> h = ReadTreeHeader(hf, data, name);
  if (!h) return;
  if (h->total_entries < 0) {
    hf.diagnostics().Warning(kWarnTreeNegativeCount, name, h->total_entries);
    return;
  }
  const size_t count = size_t(h->total_entries);
  if (count == 0) return;

  // The header's count is only believed as far as the file has room for entries.
  std::vector<ContextPair> pairs;
  pairs.reserve(std::min(count, (data.size() - kBTreeHeaderSize) / kContextEntrySize));
  const std::string what = name + " B-tree";
  const std::optional<std::string> problem = TryForEachLeafPage(
      data, kBTreeHeaderSize, *h, what.c_str(), [&](ByteReader& page, int entries) {
        hf.diagnostics().Progress(ProgressPercent(kContextProgressSpan, pairs.size(), count),
                                  kPhaseReadingContext);
        for (int i = 0; i < entries && pairs.size() < count; ++i) {
          if (page.remaining() < kContextEntrySize) {
            hf.diagnostics().Warning(kWarnLeafPageCut, what, i + 1, entries);
            break;
          }
          ContextPair pair;
          pair.hash = page.u32();
          pair.topic_offset = page.u32();
          pairs.push_back(pair);
        }
        return pairs.size() < count;
      });
  if (problem) {
    hf.diagnostics().Warning(kWarnTreeDamaged, *problem, pairs.size());
  } else if (pairs.size() < count) {
    hf.diagnostics().Warning(kWarnTreeShort, what, pairs.size(), count);
  }
  hf.context_map.emplace(std::move(pairs));
}

std::optional<std::string> ContextNameInRange(const HelpFile& hf, int32_t low, uint32_t high) {
  if (!hf.context_map) return std::nullopt;
  const std::optional<size_t> first = hf.context_map->FirstInRange(low, high);
  if (!first) return std::nullopt;
  return ContextNameForHash(hf, hf.context_map->pairs()[*first].hash);
}

std::optional<KeywordTable> LoadKeywordTable(HelpFile& hf, Slot btree, Slot data_slot) {
  if (!hf.slot(btree).present() || !hf.slot(data_slot).present()) return std::nullopt;
  const std::string tree_name = SlotName(hf, btree, "keyword B-tree");
  const std::string data_name = SlotName(hf, data_slot, "keyword data");
  const ByteReader tree = hf.InternalData(btree);
  const ByteReader data = hf.InternalData(data_slot);
  const std::optional<BTreeHeader> h = ReadTreeHeader(hf, tree, tree_name);
  if (!h) return KeywordTable();

  // One entry per TopicOffset of the data file: its size bounds the table.
  const size_t capacity = data.size() / kTopicOffsetSize;
  std::vector<KeywordPair> pairs;
  pairs.reserve(capacity);
  uint64_t keywords = 0;  // handled so far, for progress
  uint64_t outside = 0;   // topic entries beyond the data file
  bool full = false;
  const std::string_view file(reinterpret_cast<const char*>(hf.bytes.data()), hf.bytes.size());
  const std::string what = tree_name + " B-tree";
  const std::optional<std::string> problem = TryForEachLeafPage(
      tree, kBTreeHeaderSize, *h, what.c_str(), [&](ByteReader& page, int entries) {
        for (int i = 0; i < entries; ++i) {
          hf.diagnostics().Progress(ProgressPercent(kKeywordProgressSpan, keywords, capacity),
                                    kPhaseScanningKeywords);
          const uint32_t position = uint32_t(page.file_offset());
          page.cstring();
          const int16_t topics = page.i16();
          const uint32_t offset = page.u32();
          if (!page.ok()) {
            hf.diagnostics().Warning(kWarnLeafPageCut, what, i + 1, entries);
            break;
          }
          ++keywords;
          if (topics <= 0) continue;
          // The entries that lie inside the data file, as far as the table has room.
          size_t n = size_t(topics);
          const size_t inside =
              offset <= data.size() ? (data.size() - offset) / kTopicOffsetSize : 0;
          if (n > inside) {
            outside += n - inside;
            n = inside;
          }
          if (n > capacity - pairs.size()) {
            n = capacity - pairs.size();
            full = true;
          }
          const std::string_view text = file.substr(std::min<size_t>(position, file.size()));
          const auto length = uint32_t(std::min(text.find('\0'), text.size()));
          ByteReader list = data.sub(offset, n * kTopicOffsetSize);
          for (size_t k = 0; k < n; ++k) pairs.push_back({list.u32(), position, length});
        }
        return true;
      });
  if (problem) hf.diagnostics().Warning(kWarnTreeDamaged, *problem, keywords);
  if (outside > 0) hf.diagnostics().Warning(kWarnKeywordDataOutside, what, outside, data_name);
  if (full) hf.diagnostics().Warning(kWarnKeywordCapacity, what, data_name, capacity);
  return KeywordTable(std::move(pairs));
}

void LoadKeywordTables(HelpFile& hf) {
  hf.k_keywords = LoadKeywordTable(hf, Slot::kKwBtree, Slot::kKwData);
  hf.a_keywords = LoadKeywordTable(hf, Slot::kAwBtree, Slot::kAwData);
}

std::optional<std::string> KeywordsForTopic(const HelpFile& hf, const KeywordTable* table,
                                            int64_t low, int64_t high, KeywordEntryMarks* written) {
  if (!table) return std::nullopt;
  // The topic pass asks for every record: the list keeps its memory on the thread that asks.
  thread_local std::vector<size_t> entries;
  if (written) {
    table->TakeEntriesInRange(low, high, *written, entries);
  } else {
    entries = table->EntriesInRange(low, high);
  }
  if (entries.empty()) return std::nullopt;
  const std::string_view file(reinterpret_cast<const char*>(hf.bytes.data()), hf.bytes.size());
  // The text is re-read from its leaf page; one that reaches the end of the file ends there.
  auto text_of = [&](size_t i) {
    const KeywordPair& pair = table->pairs()[i];
    return file.substr(std::min<size_t>(pair.keyword_position, file.size()), pair.keyword_length);
  };
  size_t length = entries.size() - 1;  // the separators
  for (size_t i : entries) length += text_of(i).size();
  std::string joined;
  joined.reserve(length);
  for (size_t k = 0; k < entries.size(); ++k) {
    if (k > 0) joined += ';';
    joined += text_of(entries[k]);
  }
  return joined;
}

}  // namespace quorvex
