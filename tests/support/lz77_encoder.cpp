#include "tests/support/lz77_encoder.h"

#include <algorithm>
#include <cstddef>

namespace quorvex::testsupport {

namespace {

constexpr size_t kMinMatch = 3;       // a back-reference copies at least 3 bytes
constexpr size_t kMaxMatch = 18;      // 4 bits of length above the minimum
constexpr size_t kWindow = 4096;      // 12 bits of distance, 1-based
constexpr size_t kItemsPerGroup = 8;  // one flag bit per item

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

  for (size_t i = 0; i < in.size();) {
    // The longest match, the nearest of equal length; overlapping matches included.
    size_t best_len = 0, best_dist = 0;
    const size_t limit = std::min(kMaxMatch, in.size() - i);
    for (size_t dist = 1; dist <= std::min(i, kWindow) && best_len < limit; ++dist) {
      size_t len = 0;
      while (len < limit && in[i - dist + len] == in[i + len]) ++len;
      if (len > best_len) best_len = len, best_dist = dist;
    }
    if (best_len >= kMinMatch) {
      groups.Reference(best_len, best_dist);
      i += best_len;
    } else {
      groups.Literal(in[i++]);
    }
  }
  return out;
}

}  // namespace quorvex::testsupport
