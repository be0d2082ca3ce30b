#include "core/tables.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>
#include <vector>

namespace quorvex {

namespace {

constexpr uint32_t kHashBase = 43;

/// The value of each byte in the context hash; 0 for bytes the hash skips.
constexpr std::array<uint8_t, 256> MakeHashValues() {
  std::array<uint8_t, 256> v{};
  for (int c = '1'; c <= '9'; ++c) v[c] = static_cast<uint8_t>(c - '0');
  v['0'] = 10;
  v['.'] = 12;
  v['_'] = 13;
  for (int c = 0; c < 26; ++c) v['A' + c] = v['a' + c] = static_cast<uint8_t>(17 + c);
  return v;
}
constexpr std::array<uint8_t, 256> kHashValues = MakeHashValues();

/// Lists shorter than this are sorted by comparison; longer ones by their bytes.
constexpr size_t kRadixSortFrom = 1024;

/// Sorts pairs whose second members rise in list order, as std::sort sorts pairs: a stable sort
/// by the first member alone then gives the same order. Long lists (the keywords of a large
/// help file run into hundreds of thousands) are sorted by the first member's four bytes, one
/// counting pass each, in time linear in their length.
template <typename Key>
void SortPairsInListOrder(std::vector<std::pair<Key, uint32_t>>& v) {
  static_assert(sizeof(Key) == 4);
  if (v.size() < kRadixSortFrom) return std::sort(v.begin(), v.end());
  // Signed keys order as unsigned ones with their sign bit flipped.
  constexpr uint32_t kFlip = std::is_signed_v<Key> ? 0x80000000u : 0;
  auto byte = [](Key k, int shift) { return ((static_cast<uint32_t>(k) ^ kFlip) >> shift) & 0xFF; };
  std::vector<std::pair<Key, uint32_t>> sorted(v.size());
  for (int shift = 0; shift < 32; shift += 8) {
    std::array<size_t, 257> start{};
    for (const auto& p : v) ++start[byte(p.first, shift) + 1];
    if (*std::max_element(start.begin(), start.end()) == v.size()) continue;  // one value
    for (size_t b = 1; b < start.size(); ++b) start[b] += start[b - 1];
    for (const auto& p : v) sorted[start[byte(p.first, shift)]++] = p;
    v.swap(sorted);
  }
}

/// std::lower_bound over the sorted `v`, searched outwards from `finger` in doubling steps, so
/// that a key near the last one costs a few comparisons in memory the cache already holds.
template <typename T>
size_t LowerBoundNear(const std::vector<T>& v, const T& key, size_t finger) {
  const size_t n = v.size();
  size_t low = 0, high = std::min(finger, n);  // the answer lies in low..high
  if (high < n && v[high] < key) {
    low = high + 1;
    high = low;
    for (size_t step = 1; high < n && v[high] < key; step *= 2) {
      low = high + 1;
      high = std::min(n, high + step);
    }
  } else {
    for (size_t step = 1;; step *= 2) {
      if (high < step) break;
      if (v[high - step] < key) {
        low = high - step + 1;
        break;
      }
      high -= step;
    }
  }
  return size_t(
      std::lower_bound(v.begin() + std::ptrdiff_t(low), v.begin() + std::ptrdiff_t(high), key) -
      v.begin());
}

/// Ranges of at most this many pairs take the least number by a scan rather than the tree.
constexpr size_t kShortRange = 16;

}  // namespace

uint32_t ContextHash(std::string_view name) {
  uint32_t h = 0;
  for (unsigned char c : name) {
    if (c == 0) break;
    if (const uint8_t v = kHashValues[c]) h = h * kHashBase + v;
  }
  return h;
}

uint32_t KnownContextNames::Add(std::string_view name) {
  const uint32_t hash = ContextHash(name);
  first_.emplace(hash, entries_.size());
  entries_.push_back({hash, std::string(name)});
  return hash;
}

const std::string* KnownContextNames::Find(uint32_t hash) const {
  auto it = first_.find(hash);
  return it == first_.end() ? nullptr : &entries_[it->second].name;
}

ContextMap::ContextMap(std::vector<ContextPair> pairs) : pairs_(std::move(pairs)) {
  for (size_t i = 0; i < pairs_.size(); ++i)
    if (pairs_[i].hash != 0) by_offset_.emplace_back(pairs_[i].topic_offset, uint32_t(i));
  SortPairsInListOrder(by_offset_);
  const size_t n = by_offset_.size();
  min_tree_.assign(2 * n, UINT32_MAX);
  for (size_t k = 0; k < n; ++k) min_tree_[n + k] = by_offset_[k].second;
  for (size_t i = n; i-- > 1;) min_tree_[i] = std::min(min_tree_[2 * i], min_tree_[2 * i + 1]);
}

size_t ContextMap::FirstInOffsets(uint32_t from, uint32_t to) const {
  if (from > to) return SIZE_MAX;
  const size_t lower = LowerBoundNear(by_offset_, std::make_pair(from, 0u), finger_);
  finger_ = lower;
  // The end of the range: the first pair beyond `to` (to + 1 as a key, unless `to` is the
  // largest offset, whose range runs to the end).
  const size_t upper = to == UINT32_MAX
                           ? by_offset_.size()
                           : LowerBoundNear(by_offset_, std::make_pair(to + 1, 0u), lower);
  uint32_t best = UINT32_MAX;
  if (upper - lower <= kShortRange) {
    for (size_t k = lower; k < upper; ++k) best = std::min(best, by_offset_[k].second);
    return best == UINT32_MAX ? SIZE_MAX : best;
  }
  const size_t n = by_offset_.size();
  for (size_t l = lower + n, r = upper + n; l < r; l >>= 1, r >>= 1) {
    if (l & 1) best = std::min(best, min_tree_[l++]);
    if (r & 1) best = std::min(best, min_tree_[--r]);
  }
  return best == UINT32_MAX ? SIZE_MAX : best;
}

std::optional<size_t> ContextMap::FirstInRange(int32_t low, uint32_t high) const {
  // The offsets that are at least `low` as signed numbers, as unsigned intervals: from low up to
  // 0x7FFFFFFF, and for a negative low also from 0 and from low's unsigned value up.
  constexpr uint32_t kMaxSigned = 0x7FFFFFFF;
  size_t best = SIZE_MAX;
  if (low >= 0) {
    best = FirstInOffsets(uint32_t(low), std::min(high, kMaxSigned));
  } else {
    best = std::min(FirstInOffsets(0, std::min(high, kMaxSigned)),
                    FirstInOffsets(uint32_t(low), high));
  }
  if (best == SIZE_MAX) return std::nullopt;
  return best;
}

KeywordTable::KeywordTable(std::vector<KeywordPair> pairs) : pairs_(std::move(pairs)) {
  by_offset_.reserve(pairs_.size());
  for (size_t i = 0; i < pairs_.size(); ++i)
    by_offset_.emplace_back(int32_t(pairs_[i].topic_offset), uint32_t(i));
  SortPairsInListOrder(by_offset_);
  length_by_offset_.reserve(by_offset_.size());
  for (const auto& [offset, pair] : by_offset_)
    length_by_offset_.push_back(pairs_[pair].keyword_length);
}

std::optional<size_t> KeywordTable::StartOfRange(int64_t low, int64_t& high, size_t& finger) const {
  low = std::max<int64_t>(low, INT32_MIN);
  high = std::min<int64_t>(high, INT32_MAX);
  if (low > high) return std::nullopt;
  finger = LowerBoundNear(by_offset_, std::make_pair(int32_t(low), uint32_t(0)), finger);
  return finger;
}

std::vector<size_t> KeywordTable::EntriesInRange(int64_t low, int64_t high) const {
  std::vector<size_t> found;
  const std::optional<size_t> start = StartOfRange(low, high, finger_);
  if (!start) return found;
  for (size_t p = *start; p < by_offset_.size() && by_offset_[p].first <= high; ++p)
    found.push_back(by_offset_[p].second);
  // Entries of one offset come in table order already: most ranges need no sort.
  if (!std::is_sorted(found.begin(), found.end())) std::sort(found.begin(), found.end());
  return found;
}

KeywordTable::Places KeywordTable::PrefetchPairs(int64_t low, int64_t high, size_t& finger) const {
  const std::optional<size_t> start = StartOfRange(low, high, finger);
  if (!start) return {0, 0};
  size_t p = *start;
  for (; p < by_offset_.size() && by_offset_[p].first <= high; ++p)
    __builtin_prefetch(&pairs_[by_offset_[p].second]);
  return {*start, p};
}

void KeywordTable::PrefetchTexts(Places places, const uint8_t* file, size_t file_size) const {
  for (size_t p = places.first; p < places.second && p < by_offset_.size(); ++p) {
    const KeywordPair& pair = pairs_[by_offset_[p].second];
    if (pair.keyword_position < file_size) __builtin_prefetch(file + pair.keyword_position);
  }
}

std::vector<size_t> KeywordTable::TakeEntriesInRange(int64_t low, int64_t high,
                                                     KeywordEntryMarks& marks) const {
  std::vector<size_t> found;
  TakeEntriesInRange(low, high, marks, found);
  return found;
}

template <typename Take>
void KeywordTable::TakeInRange(int64_t low, int64_t high, KeywordEntryMarks& marks,
                               Take&& take) const {
  const std::optional<size_t> start = StartOfRange(low, high, finger_);
  if (!start) return;
  std::vector<uint32_t>& next = marks.next;
  if (next.size() != by_offset_.size() + 1) {
    next.resize(by_offset_.size() + 1);
    for (uint32_t p = 0; p < next.size(); ++p) next[p] = p;
  }
  // The first position at or after p not yet taken; the path there is shortened on the way.
  auto first_free = [&next](uint32_t p) {
    uint32_t root = p;
    while (next[root] != root) root = next[root];
    while (next[p] != root) p = std::exchange(next[p], root);
    return root;
  };
  for (uint32_t p = first_free(uint32_t(*start));
       p < by_offset_.size() && by_offset_[p].first <= high; p = first_free(p + 1)) {
    take(p);
    next[p] = p + 1;
  }
}

void KeywordTable::TakeEntriesInRange(int64_t low, int64_t high, KeywordEntryMarks& marks,
                                      std::vector<size_t>& found) const {
  found.clear();
  TakeInRange(low, high, marks, [&](uint32_t p) { found.push_back(by_offset_[p].second); });
  if (!std::is_sorted(found.begin(), found.end())) std::sort(found.begin(), found.end());
}

std::optional<size_t> KeywordTable::TakeJoinedLengthInRange(int64_t low, int64_t high,
                                                            KeywordEntryMarks& marks) const {
  size_t taken = 0, length = 0;
  TakeInRange(low, high, marks, [&](uint32_t p) {
    ++taken;
    length += length_by_offset_[p];
  });
  if (taken == 0) return std::nullopt;
  return length + taken - 1;  // with the separators
}

bool ExtractedPictureList::Record(size_t number, ExtractedPicture picture) {
  if (number > kMaxPictureNumber) return false;
  if (number >= pictures_.size()) pictures_.resize(number + 1);
  pictures_[number] = std::move(picture);
  return true;
}

const ExtractedPicture* ExtractedPictureList::Find(size_t number) const {
  if (number >= pictures_.size() || pictures_[number].empty()) return nullptr;
  return &pictures_[number];
}

namespace {

size_t HomeSlot(int32_t topic, size_t mask) {
  // Fibonacci hashing: TopicOffsets that differ only in their low bits still spread out.
  const uint64_t h = uint64_t{static_cast<uint32_t>(topic)} * 0x9E3779B97F4A7C15u;
  return static_cast<size_t>(h >> 32) & mask;
}

}  // namespace

const void* BrowseTopicTable::Slots::First(int32_t topic) const {
  // (worked out as a number: the slots may no longer be there)
  const uintptr_t at =
      reinterpret_cast<uintptr_t>(slots) + HomeSlot(topic, mask) * sizeof(BrowseTopic);
  return slots ? reinterpret_cast<const void*>(at) : nullptr;
}

size_t BrowseTopicTable::SlotOf(int32_t topic) const {
  size_t slot = HomeSlot(topic, slots_.size() - 1);
  while (slots_[slot].used && slots_[slot].topic != topic) slot = (slot + 1) & (slots_.size() - 1);
  return slot;
}

const BrowseTopic* BrowseTopicTable::Find(int32_t topic) const {
  if (slots_.empty()) return nullptr;
  const BrowseTopic& t = slots_[SlotOf(topic)];
  return t.used ? &t : nullptr;
}

BrowseTopic* BrowseTopicTable::Find(int32_t topic) {
  return const_cast<BrowseTopic*>(std::as_const(*this).Find(topic));
}

BrowseTopic& BrowseTopicTable::Add(int32_t topic) {
  if (BrowseTopic* t = Find(topic)) return *t;
  if (2 * (used_ + 1) > slots_.size()) {
    std::vector<BrowseTopic> old(std::max<size_t>(64, 2 * slots_.size()));
    old.swap(slots_);
    for (const BrowseTopic& t : old)
      if (t.used) slots_[SlotOf(t.topic)] = t;
  }
  BrowseTopic& t = slots_[SlotOf(topic)];
  t = BrowseTopic();
  t.topic = topic;
  t.used = true;
  ++used_;
  return t;
}

}  // namespace quorvex
