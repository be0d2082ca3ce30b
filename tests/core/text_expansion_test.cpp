// Expansion of phrase-compressed topic text with both code schemes, where the golden
// conversions do not look: the longest runs, the capacity, codes cut short, unknown phrases.
#include "core/text_expansion.h"

#include <gtest/gtest.h>

#include "core/help_file.h"

namespace quorvex {
namespace {

using namespace std::string_literals;

/// A HelpFile whose phrase table holds "p0", "p1", ... up to phrase count - 1.
struct PhraseFixture {
  RecordingDiagnostics diagnostics;
  OutputDir output{"."};
  ConversionSession session{diagnostics, output};
  HelpFile hf;

  explicit PhraseFixture(PhraseCodes codes, size_t count = 500) {
    hf.session = &session;
    const Slot slot = codes == PhraseCodes::kHcrtf ? Slot::kPhrIndex : Slot::kPhrases;
    if (count == 0) return;
    hf.slot(slot) = SlotEntry{16, 1};  // only its presence matters here
    hf.phrases.kind = slot == Slot::kPhrIndex ? PhraseTables::Kind::kRtf : PhraseTables::Kind::kOld;
    hf.phrases.offsets.push_back(0);
    for (size_t i = 0; i < count; ++i) {
      hf.phrases.text += "p" + std::to_string(i);
      hf.phrases.offsets.push_back(static_cast<uint32_t>(hf.phrases.text.size()));
    }
  }
  std::string Expand(std::vector<uint8_t> stored, PhraseCodes codes,
                     size_t capacity = kTopicTextCapacity) {
    return ExpandTopicText(hf, stored, codes, capacity);
  }
};

TEST(TextExpansion, Codes) {
  std::vector<uint8_t> literals = {0xFB};
  for (int i = 0; i < 32; ++i) literals.push_back(static_cast<uint8_t>('a' + i % 26));
  struct Case {
    const char* name;
    PhraseCodes codes;
    std::vector<uint8_t> stored;
    std::string expanded;
  };
  const PhraseCodes rtf = PhraseCodes::kHcrtf, old = PhraseCodes::kOld;
  const Case cases[] = {
      {"phrase 0 and 127", rtf, {0x00, 0xFE}, "p0p127"},
      {"two-byte phrase", rtf, {0x05, 0x10}, "p400"},
      {"sixteen spaces", rtf, {0xF7}, std::string(16, ' ')},
      {"one NUL", rtf, {0x0F}, "\0"s},
      {"32 literal bytes", rtf, literals, "abcdefghijklmnopqrstuvwxyzabcdef"},
      {"even code", old, {0x02, 0x04}, "p130"},
      {"NUL and high bytes stay", old, {0x00, 0x10, 0xFF}, "\0\x10\xFF"s},
  };
  for (const Case& c : cases) {
    PhraseFixture f(c.codes);
    EXPECT_EQ(f.Expand(c.stored, c.codes), c.expanded) << c.name;
    EXPECT_TRUE(f.diagnostics.warnings.empty()) << c.name;
  }
}

TEST(TextExpansion, Problems) {
  struct Case {
    const char* name;
    PhraseCodes codes;
    size_t phrases;
    std::vector<uint8_t> stored;
    size_t capacity;
    std::string expanded;
    int warning;
  };
  const std::vector<uint8_t> spaces(10, 0xF7);  // 16 spaces, ten times
  const PhraseCodes rtf = PhraseCodes::kHcrtf, old = PhraseCodes::kOld;
  const size_t all = kTopicTextCapacity;
  const int cut = kWarnTopicTextCut, phrase = kWarnTopicTextPhrase, code = kWarnTopicTextCode;
  const Case cases[] = {
      {"capacity reached by spaces", rtf, 500, spaces, 50, std::string(50, ' '), cut},
      {"capacity reached inside a phrase", rtf, 500, {0x06, 0x06}, 3, "p3p", cut},
      {"no phrase files: the bytes stay", old, 0, {'a', 'b', 'c'}, 2, "ab", cut},
      // Phrase 400, phrase 20, then a literal: two unknown phrases, one warning.
      {"phrases beyond the table", rtf, 10, {0x05, 0x10, 0x28, 0x03, 'z'}, all, "z", phrase},
      {"phrase beyond the table, older codes", old, 10, {0x0F, 0xFF, 'y'}, all, " y", phrase},
      {"code cut short, older codes", old, 500, {0x41, 0x01}, all, "A", code},
      {"two-byte code cut short", rtf, 500, {0x06, 0x05}, all, "p3", code},
      {"literals cut short", rtf, 500, {0x0B, 'A'}, all, "", code},
  };
  for (const Case& c : cases) {
    PhraseFixture f(c.codes, c.phrases);
    EXPECT_EQ(f.Expand(c.stored, c.codes, c.capacity), c.expanded) << c.name;
    ASSERT_EQ(f.diagnostics.warnings.size(), 1u) << c.name;
    EXPECT_EQ(f.diagnostics.warnings[0].id, c.warning) << c.name;
  }
  PhraseFixture none(PhraseCodes::kHcrtf, 0);
  EXPECT_EQ(none.Expand({0x06, 0x00}, PhraseCodes::kHcrtf), "\x06\0"s);
}

TEST(TextExpansion, SchemeChoice) {
  PhraseFixture rtf(PhraseCodes::kHcrtf);
  EXPECT_EQ(PhraseCodesFor(rtf.hf, 10, 20), PhraseCodes::kHcrtf);
  EXPECT_EQ(PhraseCodesFor(rtf.hf, 20, 20), PhraseCodes::kOld);
  // With both |Phrases and |PhrIndex the |Phrases table is the one loaded: its codes apply.
  PhraseFixture both(PhraseCodes::kOld);
  EXPECT_EQ(PhraseCodesFor(both.hf, 10, 20), PhraseCodes::kOld);
  both.hf.slot(Slot::kPhrIndex) = SlotEntry{32, 1};
  EXPECT_EQ(PhraseCodesFor(both.hf, 10, 20), PhraseCodes::kOld);
}

}  // namespace
}  // namespace quorvex
