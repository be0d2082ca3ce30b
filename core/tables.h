// The look-up tables of one conversion. The preparatory phases fill them (contexts, keywords and
// project sections in project/, pictures in graphics/) and the topic writers read them; they
// hang from the HelpFile and go with it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace quorvex {

/// A hash of context hashes for hash tables: context hashes of similar names differ in few bits,
/// which the identity hash of the standard library puts into the same buckets.
struct ContextHashMix {
  size_t operator()(uint32_t hash) const {
    return static_cast<size_t>((uint64_t{hash} * 0x9E3779B97F4A7C15u) >> 29);
  }
};

class OutputDir;

/// The help compiler's hash of a context string: h = h * 43 + v over the bytes whose value v in
/// its character table is not 0 ("1"-"9" 1-9, "0" 10, "." 12, "_" 13, letters of either case
/// 17-42), modulo 2^32. Upper and lower case hash alike; other bytes are skipped.
uint32_t ContextHash(std::string_view name);

/// A context string that the help file spells out, with its hash.
struct KnownContextName {
  uint32_t hash = 0;
  std::string name;
};

/// The context strings the help file spells out (hotspot targets of pictures), in the order they
/// were met. Entries are only appended; duplicates stay, and a hash finds its first entry.
class KnownContextNames {
 public:
  /// Appends `name` with its hash and returns the hash.
  uint32_t Add(std::string_view name);
  /// The name first added with `hash`, or nullptr.
  const std::string* Find(uint32_t hash) const;
  const std::vector<KnownContextName>& entries() const { return entries_; }

 private:
  std::vector<KnownContextName> entries_;
  std::unordered_map<uint32_t, size_t, ContextHashMix> first_;  // hash -> its first entry
};

/// One |CONTEXT entry: a context hash and the TopicOffset where that context begins.
struct ContextPair {
  uint32_t hash = 0;
  uint32_t topic_offset = 0;
};

/// |CONTEXT in leaf-chain order (the order of the hashes). Exists only when the context map was
/// loaded (recompilation, or PageLinks). Built once; the look-up by range is indexed.
class ContextMap {
 public:
  ContextMap() = default;
  explicit ContextMap(std::vector<ContextPair> pairs);

  const std::vector<ContextPair>& pairs() const { return pairs_; }

  /// The number of the first pair, in leaf-chain order, whose hash is not 0 and whose topic
  /// offset o lies in the range: o taken as signed 32-bit is at least `low` (so a negative low
  /// takes every offset from 0) and o taken as unsigned is at most `high`. None if no pair is.
  std::optional<size_t> FirstInRange(int32_t low, uint32_t high) const;

 private:
  /// The first pair with an offset in from..to (unsigned, inclusive), or SIZE_MAX.
  size_t FirstInOffsets(uint32_t from, uint32_t to) const;

  std::vector<ContextPair> pairs_;
  /// The pairs with a hash other than 0 by topic offset (ties by their number): (offset, number).
  std::vector<std::pair<uint32_t, uint32_t>> by_offset_;
  /// Where the last look-up started in by_offset_: the topic walk asks for offsets in rising
  /// order, so the next one is searched for from there.
  mutable size_t finger_ = 0;
  /// A minimum tree over by_offset_'s numbers: node i covers nodes 2i and 2i + 1, the leaves
  /// are at by_offset_.size() + k.
  std::vector<uint32_t> min_tree_;
};

/// One keyword entry: a TopicOffset and the file offset of the keyword's text in its B-tree
/// leaf (the text is read from the help file when it is needed) with the text's length up to
/// its NUL (or the end of the file), measured once while the leaf page is read.
struct KeywordPair {
  uint32_t topic_offset = 0;
  uint32_t keyword_position = 0;
  uint32_t keyword_length = 0;
};

/// A keyword table (K or A): pairs in the leaf order of the keywords, each keyword's topics in
/// the order of its data file. Built once; the look-up by range is indexed.
/// The entries of one keyword table that one pass of the topic walk has written. A look-up
/// steps over them at once: next[p] leads, through the positions (in topic-offset order) that
/// are written, towards the first one at or after p that is not, so that many records at the
/// offsets of many keywords cost the keywords once, not once per record.
struct KeywordEntryMarks {
  std::vector<uint32_t> next;
};

class KeywordTable {
 public:
  KeywordTable() = default;
  explicit KeywordTable(std::vector<KeywordPair> pairs);

  const std::vector<KeywordPair>& pairs() const { return pairs_; }

  /// The numbers of the pairs whose topic offset, taken as signed 32-bit, lies in low..high
  /// (inclusive), in table order.
  std::vector<size_t> EntriesInRange(int64_t low, int64_t high) const;
  /// As EntriesInRange, leaving out the pairs `marks` holds and adding the ones returned.
  std::vector<size_t> TakeEntriesInRange(int64_t low, int64_t high, KeywordEntryMarks& marks) const;
  /// The same into `found` (emptied first), whose memory is kept from call to call.
  void TakeEntriesInRange(int64_t low, int64_t high, KeywordEntryMarks& marks,
                          std::vector<size_t>& found) const;
  /// The length of the texts of the pairs TakeEntriesInRange would take, joined by ";" (none
  /// when there are none), taking them alike: for a pass that only counts what it writes.
  std::optional<size_t> TakeJoinedLengthInRange(int64_t low, int64_t high,
                                                KeywordEntryMarks& marks) const;
  /// Where the pairs of low..high are in the order by offset, [first, last).
  using Places = std::pair<size_t, size_t>;
  /// For a look-up soon after on another thread: brings the pairs of low..high towards the
  /// caches without waiting for them, and gives their places; `finger` is the caller's own
  /// place in the table. Reads only what no look-up changes.
  Places PrefetchPairs(int64_t low, int64_t high, size_t& finger) const;
  /// Then, once their pairs have had time to arrive (a record later), brings the keyword texts
  /// of the pairs at `places` in `file` towards the caches.
  void PrefetchTexts(Places places, const uint8_t* file, size_t file_size) const;

 private:
  /// Where the pairs of low..high start in by_offset_, found from `finger` (which is moved
  /// there), with `high` cut to the signed 32-bit offsets; none for an empty range.
  std::optional<size_t> StartOfRange(int64_t low, int64_t& high, size_t& finger) const;
  /// Calls take(p) for each place p in by_offset_ of low..high that `marks` does not hold yet,
  /// in rising order, and marks it.
  template <typename Take>
  void TakeInRange(int64_t low, int64_t high, KeywordEntryMarks& marks, Take&& take) const;

  std::vector<KeywordPair> pairs_;
  /// (signed topic offset, pair number), sorted.
  std::vector<std::pair<int32_t, uint32_t>> by_offset_;
  /// The keyword length of each pair in by_offset_, in the same order: a pass that only counts
  /// reads these in order instead of pairs all over the table.
  std::vector<uint32_t> length_by_offset_;
  /// Where the last look-up started in by_offset_ (the topic walk asks in rising order).
  mutable size_t finger_ = 0;
};

/// The entries of the keyword tables that one pass of the topic walk has written: each entry
/// goes to one topic only, also where the ranges of neighbouring records overlap.
struct KeywordMarks {
  KeywordEntryMarks k, a;
};

/// The names of the secondary windows that hotspots refer to by number, in |SYSTEM record order:
/// entry i is the i-th window definition that has a name.
using WindowNames = std::vector<std::string>;

/// A topic of a browse sequence as the topic walk gives it: its own identifier and those of its
/// predecessor and successor, -1 for none.
struct BrowseTriple {
  int32_t back = -1;
  int32_t topic = -1;
  int32_t forward = -1;
};

/// What the browse sequences know about one topic: where it was recorded, its position once
/// worked out, and whether a recorded topic names it as its predecessor.
struct BrowseTopic {
  static constexpr uint32_t kNotRecorded = UINT32_MAX;
  int32_t topic = 0;
  uint32_t group = kNotRecorded;  // its group's index (a topic is recorded once)
  uint32_t index = 0;             // its index in the group
  int32_t position = 0;           // valid while position_epoch is the table's epoch
  uint32_t position_epoch = 0;
  bool predecessor = false;
  bool used = false;  // the slot holds a topic
  bool recorded() const { return group != kNotRecorded; }
};

/// The topics of the browse sequences by identifier: an open-addressing hash table, so that a
/// look-up costs one probe of one array in most cases. Forgetting every position is one step.
class BrowseTopicTable {
 public:
  /// The topic, or nullptr. The pointer stays valid until the next Add.
  BrowseTopic* Find(int32_t topic);
  const BrowseTopic* Find(int32_t topic) const;
  /// The topic, added (not recorded, no position) when it is new.
  BrowseTopic& Add(int32_t topic);
  void ForgetPositions() { ++epoch_; }
  /// Where a look-up of a topic starts, for a thread that brings the slots towards the caches
  /// ahead of the look-ups. Points at the slots until the table grows (a topic is added).
  struct Slots {
    const BrowseTopic* slots = nullptr;
    size_t mask = 0;
    /// The address of the slot a look-up starts at, for a prefetch only: the slots may have
    /// moved since (a prefetch of memory no longer there is harmless).
    const void* First(int32_t topic) const;
  };
  Slots slots() const { return {slots_.data(), slots_.empty() ? 0 : slots_.size() - 1}; }
  uint32_t epoch() const { return epoch_; }

 private:
  size_t SlotOf(int32_t topic) const;
  std::vector<BrowseTopic> slots_;  // a power of two, at most half used
  size_t used_ = 0;
  uint32_t epoch_ = 1;
};

/// The browse-sequence groups; a group's number is its index + 1. A group emptied by a merge
/// keeps its place.
struct BrowseGroups {
  std::vector<std::vector<BrowseTriple>> groups;
  BrowseTopicTable topics;
};

/// A picture file written for a picture number, and the folder it was written to.
struct ExtractedPicture {
  std::string name;
  OutputDir* folder = nullptr;
  bool empty() const { return name.empty(); }
};

/// The picture files by picture number. Storing beyond the end grows the list and leaves the
/// slots in between empty.
class ExtractedPictureList {
 public:
  /// Picture numbers are 16-bit in topic text: higher numbers can never be referred to.
  static constexpr size_t kMaxPictureNumber = 0xFFFF;

  /// Stores `picture` at `number`, replacing what was there. False (nothing stored) for a
  /// number above kMaxPictureNumber.
  bool Record(size_t number, ExtractedPicture picture);
  /// The picture at `number`, or nullptr when the slot is beyond the list or empty.
  const ExtractedPicture* Find(size_t number) const;
  size_t size() const { return pictures_.size(); }
  const std::vector<ExtractedPicture>& pictures() const { return pictures_; }

 private:
  std::vector<ExtractedPicture> pictures_;
};

}  // namespace quorvex
