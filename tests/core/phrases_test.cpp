// The phrase tables: the bit-packed phrase lengths of |PhrIndex, the size rule and the Media
// Viewer layout of |Phrases, warning 21 and damaged tables. (The golden conversions read each
// layout the help compilers write; the corpus test reads every phrase of every corpus file.)
#include "core/phrases.h"

#include <gtest/gtest.h>

#include <random>

#include "core/container.h"
#include "tests/support/byte_builder.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

TEST(DecodePhraseIndex, WhatTheWriterPacksAndTooFewBits) {
  // Bits beyond the data read as 0: eight 1-bits then the 0 that ends the run, length 9.
  EXPECT_EQ(DecodePhraseIndex(1, 0, std::vector<uint8_t>{0xFF}), (std::vector<uint32_t>{0, 9}));
  // More phrases than the bits can hold: cut to them (at least k + 1 bits a phrase).
  EXPECT_EQ(DecodePhraseIndex(0x80000000u, 3, std::vector<uint8_t>(4)).size(), 32u / 4 + 1);
  std::mt19937 rng(7);
  for (unsigned k = 0; k <= 15; ++k) {
    std::vector<uint32_t> lengths, offsets = {0};
    for (int i = 0; i < 200; ++i) {
      lengths.push_back(1 + rng() % (k < 4 ? 40 : 3u << k));
      offsets.push_back(offsets.back() + lengths.back());
    }
    ASSERT_EQ(DecodePhraseIndex(200, k, PackPhraseLengths(lengths, k)), offsets) << "k " << k;
  }
}

/// Opens help files of a compiler with phrase files through the container reader, which loads
/// the phrase table.
class PhraseTest : public ::testing::Test {
 protected:
  void Open(uint16_t minor, Files files, uint16_t flags = kFlagsLz77) {
    files.insert(files.begin(), {"|SYSTEM", minor == kMinorHc30 ? BuildHc30SystemFile("T")
                                                                : GoldenSystem(minor, flags)});
    diag_.warnings.clear();
    hf_ = OpenHelpFileFromBytes(AssembleHelpFile(files), "T.HLP", 0, session_);
  }
  /// Every phrase of the loaded table; "<none>" for one GetPhrase refuses.
  std::vector<std::string> All() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < hf_->phrases.count(); ++i)
      out.emplace_back(GetPhrase(*hf_, i).value_or("<none>"));
    return out;
  }
  /// The warnings but the compiler's.
  std::vector<int> Warnings() const {
    std::vector<int> ids;
    for (const auto& w : diag_.warnings)
      if (w.id != kWarnCompiledBy) ids.push_back(w.id);
    return ids;
  }

  RecordingDiagnostics diag_;
  std::unique_ptr<OutputDir> out_ = OutputDir::InMemory();
  ConversionSession session_{diag_, *out_};
  std::unique_ptr<HelpFile> hf_;
};

TEST_F(PhraseTest, SizeRuleMediaViewerHeaderAndDamagedPhrases) {
  // Without the LZ77 flag the text counts as compressed when (size - 2N - 8 + 10) < S, that is
  // C + 12 < S for C compressed bytes; else the layout is the stored one, from offset 4 on.
  const std::vector<std::string> phrases = {"the ", "help ", "", "window", "the help window "};
  const Lz77Mode literals = Lz77Mode::kLiteralsOnly;
  const int64_t c = int64_t(BuildHc31Phrases(phrases, literals).size() - 8 - 2 * (5 + 1));
  Open(kMinorHc31, {{"|Phrases", BuildHc31Phrases(phrases, literals, c + 13)}}, 0);
  EXPECT_EQ(All(), phrases);
  const std::vector<uint8_t> stored = BuildHc31Phrases(phrases, literals, c + 12);
  Open(kMinorHc31, {{"|Phrases", stored}}, 0);
  EXPECT_EQ(hf_->phrases.text, std::string(stored.begin() + 4, stored.end()));
  Open(kMinorMediaViewer, {{"|Phrases", BuildLongHeaderPhrases(phrases)}});
  EXPECT_EQ(All(), phrases);
  EXPECT_TRUE(Warnings().empty());
  // Offsets at 4, 6, ... 12, counted from offset 4: phrase 1 ends before it starts, phrase 2
  // starts inside phrase 0, phrase 3 ends beyond the text.
  std::vector<uint8_t> data = BuildHc30Phrases({"one", "two", "three", "x"});
  PutU16(data, 8, 11);
  PutU16(data, 12, 500);
  Open(kMinorHc30, {{"|Phrases", data}});
  EXPECT_EQ(All(), (std::vector<std::string>{"one", "<none>", "netwothree", "<none>"}));
  EXPECT_FALSE(GetPhrase(*hf_, 4));

  // Damaged |Phrases files.
  std::vector<uint8_t> huge_n = BuildHc31Phrases({"ab", "cd"});
  PutU16(huge_n, 0, 60000);
  std::vector<uint8_t> damaged = BuildHc31Phrases({"abc", "def"}, Lz77Mode::kLiteralsOnly);
  damaged[8 + 6] = 0x01;  // the flag byte: item 0 a reference before the start of the output
  const std::tuple<const char*, uint16_t, std::vector<uint8_t>, int, size_t> cases[] = {
      {"HC31 header without a table", kMinorHc31, {1, 0, 0, 1, 4, 0, 0, 0}, kWarnPhraseHeader, 0},
      {"HC30 header without a table", kMinorHc30, {1, 0, 0, 1}, kWarnPhraseHeader, 0},
      {"N far beyond the offsets there are", kMinorHc31, huge_n, kWarnPhraseCount,
       (huge_n.size() - 8) / 2 - 1},
      {"damaged compressed text", kMinorHc31, damaged, kWarnPhraseDamaged, 2},
      {"text beyond the announced size and its slack", kMinorHc31,
       BuildHc31Phrases({std::string(400, 'x')}, Lz77Mode::kGreedy, 10), kWarnPhraseTextCut, 1},
  };
  for (const auto& [name, minor, data, warning, count] : cases) {
    SCOPED_TRACE(name);
    Open(minor, {{"|Phrases", data}});
    EXPECT_EQ(Warnings(), std::vector<int>{warning});
    EXPECT_EQ(hf_->phrases.count(), count);
  }
  // The cut text keeps 10 + 300 bytes: phrase 0 ends beyond them.
  EXPECT_EQ(hf_->phrases.text.size(), 4 + 310u);
  EXPECT_FALSE(GetPhrase(*hf_, 0));
}

TEST_F(PhraseTest, RtfSizeToleranceAndDamagedHeaders) {
  // |PhrImage may give 10 bytes more or less than |PhrIndex announces without warning 21.
  const std::vector<std::string> phrases(50, "compressible ");  // 650 bytes, 32 bytes of bits
  const size_t text = kPhrIndexTextSizeAt, n = kPhrIndexCountAt;
  const int size = kWarnPhraseSize, count = kWarnPhraseCount;
  const std::tuple<bool, size_t, uint32_t, int, size_t> cases[] = {
      // LZ77 (else the stored size is the text size too), field, value, warning, phrases
      {true, text, 660, 0, 50},                          // 10 bytes fewer than announced
      {true, text, 639, size, 50},                       // 11 more
      {false, text, 661, size, 50},                      // 11 fewer, stored
      {true, text, 0x7FFFFFFF, size, 50},                // no room is made for it
      {true, kPhrIndexStoredSizeAt, 0x7FFFFFFF, 0, 50},  // only the bytes of |PhrImage are read
      {true, kPhrIndexBitBytesAt, 0x7FFFFFF0, 0, 50},    // only the bytes of |PhrIndex are read
      {true, n, 0x7FFFFFFF, count, 32 * 8 / 5},          // at least k + 1 bits a phrase
      {true, n, 0xFFFFFFFF, count, 0},
      {true, text, 661, size, 50},  // last: its warning is checked below
  };
  for (const auto& [compress, field, value, warning, kept] : cases) {
    SCOPED_TRACE(testing::Message() << field << ": " << value);
    RtfPhraseFiles files = BuildRtfPhrases(phrases, 4, compress);
    PutU32(files.index, field, value);
    if (!compress) PutU32(files.index, kPhrIndexStoredSizeAt, value);
    Open(kMinorHcrtf, {{"|PhrIndex", files.index}, {"|PhrImage", files.image}});
    EXPECT_EQ(Warnings(), warning ? std::vector<int>{warning} : std::vector<int>{});
    ASSERT_EQ(hf_->phrases.count(), kept);
    for (size_t i = 0; i < std::min<size_t>(kept, 50); ++i)
      EXPECT_EQ(GetPhrase(*hf_, i), phrases[i]);
  }
  EXPECT_EQ(diag_.warnings.back().text,
            "Phrases Header: Expected Size 0x00000295, found 0x0000028A");
  Open(kMinorHcrtf, {{"|PhrIndex", std::vector<uint8_t>(20, 0)}, {"|PhrImage", {1}}});  // cut short
  EXPECT_EQ(Warnings(), std::vector<int>{kWarnPhraseHeader});
  EXPECT_EQ(hf_->phrases.count(), 0u);
}

}  // namespace
}  // namespace quorvex
