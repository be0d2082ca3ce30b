// A run of fewer than 16 bytes in a block of 16 of its own, for the scans that test 16 bytes at
// once and must not read past the run.
#pragma once

#include <cstddef>
#include <cstring>

namespace quorvex {

/// The first `n` (below 16) bytes at `from` into the 16 at `block`, the rest `fill`: short
/// copies of fixed sizes that overlap, no call.
inline void LoadShortBlock(char* block, const char* from, size_t n, char fill) {
  std::memset(block, fill, 16);
  if (n >= 8) {
    std::memcpy(block, from, 8);
    std::memcpy(block + n - 8, from + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(block, from, 4);
    std::memcpy(block + n - 4, from + n - 4, 4);
  } else if (n > 0) {
    block[0] = from[0];
    block[n / 2] = from[n / 2];
    block[n - 1] = from[n - 1];
  }
}

}  // namespace quorvex
