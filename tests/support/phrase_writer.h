// Writers of the phrase-table internal files, for building test inputs.
//
// "|Phrases", HC30:   N u16, a word (0x0100), N + 1 offsets u16, the text (stored).
// "|Phrases", HC31:   N u16, a word, the text size S i32, N + 1 offsets u16, the LZ77 text.
// "|Phrases", long:   a word, N u16 at 2, a word at 4, S i32 at 6, 30 bytes, N + 1 offsets at
//                     40, the LZ77 text (Media Viewer titles).
// Offsets count from the start of the offset table: phrase 0 starts at 2(N + 1).
//
// "|PhrIndex": 28-byte header (0: 1; 4: N; 8: bytes from offset 24 on; 12: text size; 16: stored
// size of "|PhrImage"; 20: 0; 24: bit count k in the low 4 bits; 25..27: 0), then the phrase
// lengths bit-packed, little-endian bit order: per phrase, with v = length - 1, (v >> k) 1-bits,
// one 0-bit, then the low k bits of v, least significant first.
// "|PhrImage": the text, stored or LZ77.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/lz77_encoder.h"

namespace quorvex::testsupport {

/// Offsets of the "|PhrIndex" header fields, for tests that corrupt them.
inline constexpr size_t kPhrIndexCountAt = 4;
inline constexpr size_t kPhrIndexBitBytesAt = 8;
inline constexpr size_t kPhrIndexTextSizeAt = 12;
inline constexpr size_t kPhrIndexStoredSizeAt = 16;

/// "|Phrases" in the HC30 layout (uncompressed, table at offset 4).
std::vector<uint8_t> BuildHc30Phrases(const std::vector<std::string>& phrases);
/// "|Phrases" in the HC31 layout (table at offset 8, LZ77 text). `text_size` replaces the
/// true text size in the header when given (>= 0).
std::vector<uint8_t> BuildHc31Phrases(const std::vector<std::string>& phrases,
                                      Lz77Mode mode = Lz77Mode::kGreedy, int64_t text_size = -1);
/// "|Phrases" with the longer Media Viewer header (table at offset 40, LZ77 text).
std::vector<uint8_t> BuildLongHeaderPhrases(const std::vector<std::string>& phrases,
                                            Lz77Mode mode = Lz77Mode::kGreedy);

/// The bit-packed phrase lengths with bit count `k` (every length at least 1).
std::vector<uint8_t> PackPhraseLengths(const std::vector<uint32_t>& lengths, unsigned k);

struct RtfPhraseFiles {
  std::vector<uint8_t> index;  // "|PhrIndex"
  std::vector<uint8_t> image;  // "|PhrImage"
};
/// "|PhrIndex" and "|PhrImage" for `phrases` (none of them empty). `compress`: LZ77 the text
/// (its stored size then differs from its size unless the encoding happens to be as long).
RtfPhraseFiles BuildRtfPhrases(const std::vector<std::string>& phrases, unsigned k, bool compress);

}  // namespace quorvex::testsupport
