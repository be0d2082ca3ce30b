// An LZ77 encoder for the help-file LZ77 stream, for building test inputs.
//
// The stream is a sequence of groups: one flag byte, then up to eight items; bit i of the flag
// byte (bit 0 first) marks item i as a literal byte (0) or a back-reference (1). A back-reference
// is a little-endian word w: copy (w >> 12) + 3 bytes (3..18) from (w & 0x0FFF) + 1 bytes back
// (1..4096).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quorvex::testsupport {

enum class Lz77Mode {
  kGreedy,        // the longest match at each position (overlapping matches included)
  kLiteralsOnly,  // every byte a literal: flag bytes of 0 and the bytes as they are
};

/// Encodes `input` as an LZ77 stream. The last group may hold fewer than eight items; its
/// unused flag bits are 0.
std::vector<uint8_t> Lz77Encode(std::span<const uint8_t> input, Lz77Mode mode = Lz77Mode::kGreedy);

}  // namespace quorvex::testsupport
