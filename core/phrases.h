// Phrase tables: the frequent phrases that help compilers replace by phrase numbers in topic text.
//
// HC30 and HC31 files (and Media Viewer titles) keep 16-bit offsets and the text in "|Phrases";
// HCRTF files keep bit-packed phrase lengths in "|PhrIndex" and the text in "|PhrImage".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"

namespace quorvex {

struct HelpFile;

/// A loaded phrase table: phrase i is text[offsets[i], offsets[i + 1]). In the "|Phrases" form
/// the text starts with the offset table itself, since its offsets count from there.
struct PhraseTables {
  enum class Kind { kNone, kOld, kRtf };
  Kind kind = Kind::kNone;
  std::string text;
  std::vector<uint32_t> offsets;  // count() + 1 entries
  /// Per phrase, for the expansion's quick copy: where it starts in `text` and its length, or
  /// kNotQuick for a phrase longer than kQuickCopy, too near the end of `text` for a copy of
  /// kQuickCopy bytes, or with offsets out of order or outside the text. Built by the loaders,
  /// with an entry (kNotQuick beyond the table) for every number a code can name, so that the
  /// expansion looks a phrase up without checking its number first; a phrase that is not quick
  /// takes the careful way.
  struct QuickPhrase {
    uint32_t start = 0;
    uint32_t length = kNotQuick;
    static constexpr uint32_t kNotQuick = UINT32_MAX;
  };
  static constexpr size_t kQuickCopy = 16;
  static constexpr uint32_t kNotQuick = QuickPhrase::kNotQuick;
  /// Numbers a code can name: HCRTF's two-byte codes reach 128 + 63 * 256 + 255, the older
  /// codes (14 * 256 + 255) / 2.
  static constexpr size_t kCodeNumbers = 128 + 64 * 256;
  std::vector<QuickPhrase> quick;

  bool loaded() const { return kind != Kind::kNone; }
  size_t count() const { return offsets.empty() ? 0 : offsets.size() - 1; }
};

/// Builds the HC30/HC31 phrase table from "|Phrases"; does nothing when the slot is absent.
/// A count beyond the offsets there are is cut (warning), a damaged or oversized compressed text
/// keeps what decodes (warning).
void LoadPhrases(HelpFile& hf);
/// Builds the HCRTF tables from "|PhrIndex" and "|PhrImage"; does nothing unless both are
/// present. Warning 21 when "|PhrImage" decompresses to more than 10 bytes more or less than
/// its header announces.
void LoadRtfPhrases(HelpFile& hf);
/// Decodes `n` bit-packed phrase lengths with bit count `k` into n + 1 running offsets.
/// Bits beyond the end of `bits` read as 0. Every phrase takes at least k + 1 bits, so `n` is
/// cut to 8 * bits.size() / (k + 1): the result never outgrows the data.
std::vector<uint32_t> DecodePhraseIndex(uint32_t n, unsigned k, Bytes bits);
/// Phrase number `i` of the table that was loaded, or nothing when `i` is beyond the table or
/// its offsets are out of order or outside the text. The view lives as long as `hf`.
std::optional<std::string_view> GetPhrase(const HelpFile& hf, size_t i);

}  // namespace quorvex
