// Expansion of a record's stored TextPart into its text strings.
//
// Help files with a phrase table store topic text phrase-compressed: short codes stand for
// phrases of the table. HCRTF files (|PhrIndex) use codes chosen by the low bits of each first
// byte; HC30/HC31 files (|Phrases) use the bytes 1 to 15 followed by one more byte.
#pragma once

#include <cstddef>
#include <string>

#include "core/byte_reader.h"

namespace quorvex {

struct HelpFile;

/// The expanded text of one record never exceeds this many bytes (the record buffer of the
/// topic walk).
inline constexpr size_t kTopicTextCapacity = 65280;

/// Which code scheme a stored TextPart uses.
enum class PhraseCodes {
  kOld,    // HC30/HC31: 1..15 and the next byte name a phrase, other bytes stand for themselves
  kHcrtf,  // HCRTF: codes by the low bits of the first byte
};

/// The scheme of a record: HCRTF codes when the help file has |PhrIndex and the stored text is
/// shorter than its expanded length, else the older codes.
PhraseCodes PhraseCodesFor(const HelpFile& hf, size_t stored_length, size_t expanded_length);

/// Expands `stored` with the phrase table of `hf`. A help file with neither |Phrases nor
/// |PhrIndex takes the stored bytes unchanged. NULs in the result separate the text strings.
/// Output beyond `capacity` (at most kTopicTextCapacity) is cut; a phrase number the table does not hold adds nothing; a
/// code whose operand bytes lie beyond `stored` ends the expansion. Each of these problems is
/// reported once per call as a warning.
std::string ExpandTopicText(const HelpFile& hf, Bytes stored, PhraseCodes codes,
                            size_t capacity = kTopicTextCapacity);
/// The same in `buffer`, whose memory is reused from call to call: the text is the view returned
/// (the start of the buffer), valid until the buffer changes.
std::string_view ExpandTopicTextInBuffer(const HelpFile& hf, Bytes stored, PhraseCodes codes,
                                         size_t capacity, std::string& buffer);

}  // namespace quorvex
