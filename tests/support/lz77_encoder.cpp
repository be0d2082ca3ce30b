#include "tests/support/lz77_encoder.h"

#include <algorithm>
#include <cstddef>

namespace quorvex::testsupport {

namespace {

constexpr size_t kMinMatch = 3;         // a back-reference copies at least 3 bytes
constexpr size_t kMaxMatch = 18;        // 4 bits of length above the minimum
constexpr size_t kWindow = 4096;        // 12 bits of distance, 1-based
constexpr size_t kItemsPerGroup = 8;    // one flag bit per item
constexpr size_t kMaxChainSteps = 512;  // bounds the search on long repetitive inputs
constexpr size_t kHashSize = 1 << 14;   // buckets of the 3-byte prefix hash

size_t Hash3(std::span<const uint8_t> in, size_t i) {
  return ((in[i] << 10) ^ (in[i + 1] << 5) ^ in[i + 2]) & (kHashSize - 1);
}

class GroupWriter {
 public:
  explicit GroupWriter(std::vector<uint8_t>& out) : out_(out) {}
  void Literal(uint8_t b) {
    Start();
    out_.push_back(b);
    ++items_;
  }
  void Reference(size_t length, size_t distance) {
    Start();
    out_[flag_pos_] |= static_cast<uint8_t>(1u << items_);
    uint16_t w = static_cast<uint16_t>(((length - kMinMatch) << 12) | (distance - 1));
    out_.push_back(static_cast<uint8_t>(w));
    out_.push_back(static_cast<uint8_t>(w >> 8));
    ++items_;
  }

 private:
  void Start() {
    if (items_ == kItemsPerGroup || !started_) {
      flag_pos_ = out_.size();
      out_.push_back(0);
      items_ = 0;
      started_ = true;
    }
  }
  std::vector<uint8_t>& out_;
  size_t flag_pos_ = 0;
  size_t items_ = 0;
  bool started_ = false;
};

}  // namespace

std::vector<uint8_t> Lz77Encode(std::span<const uint8_t> in, Lz77Mode mode) {
  std::vector<uint8_t> out;
  GroupWriter groups(out);
  if (mode == Lz77Mode::kLiteralsOnly) {
    for (uint8_t b : in) groups.Literal(b);
    return out;
  }

  constexpr size_t kNone = SIZE_MAX;
  std::vector<size_t> head(kHashSize, kNone);
  std::vector<size_t> prev(in.size(), kNone);
  auto insert = [&](size_t i) {
    if (i + kMinMatch > in.size()) return;
    size_t h = Hash3(in, i);
    prev[i] = head[h];
    head[h] = i;
  };

  size_t i = 0;
  while (i < in.size()) {
    size_t best_len = 0, best_dist = 0;
    if (i + kMinMatch <= in.size()) {
      size_t limit = std::min(kMaxMatch, in.size() - i);
      size_t steps = 0;
      for (size_t j = head[Hash3(in, i)]; j != kNone && i - j <= kWindow && steps < kMaxChainSteps;
           j = prev[j], ++steps) {
        size_t len = 0;
        while (len < limit && in[j + len] == in[i + len]) ++len;
        if (len > best_len) {
          best_len = len;
          best_dist = i - j;
          if (len == limit) break;
        }
      }
    }
    if (best_len >= kMinMatch) {
      groups.Reference(best_len, best_dist);
      for (size_t k = 0; k < best_len; ++k) insert(i + k);
      i += best_len;
    } else {
      groups.Literal(in[i]);
      insert(i);
      ++i;
    }
  }
  return out;
}

}  // namespace quorvex::testsupport
