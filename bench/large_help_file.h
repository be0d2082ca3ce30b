// Large, realistic help files for measuring the conversion: written with the test help-file
// writer, deterministic from a seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quorvex::bench {

struct LargeHelpFileSpec {
  size_t topics = 1000;
  bool hcrtf = true;    // HCRTF (|PhrIndex, 42-byte fonts) or HC31 (|Phrases, 11-byte fonts)
  bool phrases = true;  // topic text phrase-compressed
  bool lz77 = true;     // topic blocks LZ77-compressed
  uint32_t seed = 1;
};

/// A help file of `spec.topics` topics: each with a title, three paragraphs of text with font
/// changes and a jump to another topic, a context of its own (every fifth one a second), three
/// K keywords and, for some, an entry macro, a table row or a picture; browse sequences of 1,000
/// topics in topic order; a few picture containers, a [Map] of every tenth topic.
std::vector<uint8_t> BuildLargeHelpFile(const LargeHelpFileSpec& spec);

}  // namespace quorvex::bench
