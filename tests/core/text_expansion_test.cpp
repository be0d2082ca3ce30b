// Expansion of phrase-compressed topic text with both code schemes, where the golden
// conversions do not look: the largest operands, the capacity, codes cut short, unknown phrases.
#include "core/text_expansion.h"

#include <gtest/gtest.h>

#include "core/help_file.h"

namespace quorvex {
namespace {

using namespace std::string_literals;

/// A HelpFile whose phrase table holds "p0", "p1", ... up to phrase count - 1 (no phrase files
/// at all for a count of 0).
struct PhraseFixture {
  RecordingDiagnostics diagnostics;
  OutputDir output{"."};
  ConversionSession session{diagnostics, output};
  HelpFile hf;

  explicit PhraseFixture(PhraseCodes codes, size_t count = 500) {
    hf.session = &session;
    if (count == 0) return;
    const bool rtf = codes == PhraseCodes::kHcrtf;
    hf.slot(rtf ? Slot::kPhrIndex : Slot::kPhrases) = SlotEntry{16, 1};  // only its presence counts
    hf.phrases.kind = rtf ? PhraseTables::Kind::kRtf : PhraseTables::Kind::kOld;
    hf.phrases.offsets.push_back(0);
    for (size_t i = 0; i < count; ++i) {
      hf.phrases.text += "p" + std::to_string(i);
      hf.phrases.offsets.push_back(static_cast<uint32_t>(hf.phrases.text.size()));
    }
  }
};

TEST(TextExpansion, CodesCapacityAndDamage) {
  const PhraseCodes rtf = PhraseCodes::kHcrtf, old = PhraseCodes::kOld;
  const std::string letters = "abcdefghijklmnopqrstuvwxyzabcdef";
  const size_t all = kTopicTextCapacity;
  const int cut = kWarnTopicTextCut, phrase = kWarnTopicTextPhrase, code = kWarnTopicTextCode;
  // name, code scheme, phrases in the table, stored text, capacity, expanded text, warning
  const std::tuple<const char*, PhraseCodes, size_t, std::string, size_t, std::string, int>
      cases[] = {
          // The largest operands, and the high parts of the two-byte codes.
          {"128 + (0x05 >> 2) * 256 + 0x10", rtf, 500, "\x05\x10", all, "p400", 0},
          {"(0xF7 >> 4) + 1 spaces", rtf, 500, "\xF7", all, std::string(16, ' '), 0},
          {"(0xFB >> 3) + 1 literal bytes", rtf, 500, "\xFB" + letters, all, letters, 0},
          {"((2 - 1) * 256 + 4) / 2, even: no space", old, 500, "\x02\x04", all, "p130", 0},
          {"0, 16 and 0xFF are no codes", old, 500, "\0\x10\xFF"s, all, "\0\x10\xFF"s, 0},
          {"capacity one short of 3 x 16 spaces", rtf, 500, "\xF7\xF7\xF7", 47,
           std::string(47, ' '), cut},
          {"capacity reached inside a phrase", rtf, 500, "\x06\x06", 3, "p3p", cut},
          {"no phrase files: the bytes stay", rtf, 0, "\x06qr", 2, "\x06q", cut},
          // Phrase 400, phrase 20, then a literal: two unknown phrases, one warning.
          {"phrases beyond the table", rtf, 10, "\x05\x10\x28\x03z", all, "z", phrase},
          {"code cut short, older codes", old, 500, "\x41\x01", all, "A", code},
          {"two-byte code cut short", rtf, 500, "\x06\x05", all, "p3", code},
          {"literals cut short", rtf, 500, "\x0Bq", all, "", code},
      };
  for (const auto& [name, codes, phrases, text, capacity, expanded, warning] : cases) {
    SCOPED_TRACE(name);
    PhraseFixture f(codes, phrases);
    const std::vector<uint8_t> stored(text.begin(), text.end());
    EXPECT_EQ(ExpandTopicText(f.hf, stored, codes, capacity), expanded);
    EXPECT_EQ(f.diagnostics.warnings.size(), warning ? 1u : 0u);
    for (const auto& w : f.diagnostics.warnings) EXPECT_EQ(w.id, warning);
  }
  // With |Phrases and |PhrIndex the |Phrases table is the one loaded: its codes apply.
  PhraseFixture both(old);
  both.hf.slot(Slot::kPhrIndex) = SlotEntry{32, 1};
  EXPECT_EQ(PhraseCodesFor(both.hf, 10, 20), old);
}

}  // namespace
}  // namespace quorvex
