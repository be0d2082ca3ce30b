// The phrase tables: the bit-packed phrase lengths of |PhrIndex, the layouts and size rules of
// |Phrases, warning 21 and damaged tables. (The golden conversions read each layout in use.)
#include "core/phrases.h"

#include <gtest/gtest.h>

#include <random>

#include "core/help_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

const std::vector<std::string> kPhrases = {"the ", "help ", "", "window", "the help window "};

TEST(DecodePhraseIndex, BitPatterns) {
  struct Case {
    const char* name;
    uint32_t n;
    unsigned k;
    std::vector<uint8_t> bits;
    std::vector<uint32_t> offsets;
  };
  const std::vector<Case> cases = {
      {"k 0: bits 1 1 0 give length 3", 1, 0, {0b011}, {0, 3}},
      {"k 0: a 0 bit alone gives length 1", 3, 0, {0b000}, {0, 1, 2, 3}},
      {"k 4: 0 then 0101 give 1 + 10", 1, 4, {0b10100}, {0, 11}},
      {"k 4: 1 0 then 0000 give 1 + 16", 1, 4, {0b000001}, {0, 17}},
      // 0,0101 then 1,0,0000: bits 0..10 = 0 0 1 0 1 1 0 0 | 0 0 0
      {"k 4: two phrases across a byte boundary", 2, 4, {0x34, 0x00}, {0, 11, 28}},
      {"k 15: the widest low part", 1, 15, {0xFE, 0xFF}, {0, 0x8000}},
      {"bits beyond the data read as 0", 1, 0, {0xFF}, {0, 9}},
      {"more phrases than bits: cut to what the bits can hold", 100, 3, {0, 0}, {0, 1, 2, 3, 4}},
      {"no bits, no phrases", 5, 2, {}, {0}},
  };
  for (const Case& c : cases) EXPECT_EQ(DecodePhraseIndex(c.n, c.k, c.bits), c.offsets) << c.name;
  // A huge count allocates only what the bits hold.
  EXPECT_EQ(DecodePhraseIndex(0x80000000u, 3, std::vector<uint8_t>(4)).size(), 32u / 4 + 1);
  // Whatever the writer packs, with every bit count.
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

/// A help file held in memory whose internal files are placed by hand (the container reader is
/// not involved): data starts at offset 16, each file's slot names its offset and size.
class PhraseTest : public ::testing::Test {
 protected:
  PhraseTest() {
    hf.session = &session;
    hf.bytes.assign(16, 0);
  }
  void Version(uint16_t minor, uint16_t flags = kFlagsLz77) {
    hf.system_header.minor = minor;
    hf.system_header.flags = flags;
    hf.is_hc30 = minor == kMinorHc30;
    hf.is_hcrtf = minor == kMinorHcrtf;
    hf.is_media_viewer = minor == kMinorMediaViewer;
  }
  void Put(Slot s, const std::vector<uint8_t>& data) {
    hf.slot(s) = {static_cast<int32_t>(hf.bytes.size()), static_cast<int32_t>(data.size())};
    hf.bytes.insert(hf.bytes.end(), data.begin(), data.end());
  }
  void PutRtf(const RtfPhraseFiles& files) {
    Put(Slot::kPhrIndex, files.index);
    Put(Slot::kPhrImage, files.image);
  }
  /// Every phrase of the loaded table; "<none>" for one GetPhrase refuses.
  std::vector<std::string> All() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < hf.phrases.count(); ++i)
      out.emplace_back(GetPhrase(hf, i).value_or("<none>"));
    return out;
  }
  std::vector<int> WarningIds() {
    std::vector<int> ids;
    for (const auto& w : diag.warnings) ids.push_back(w.id);
    diag.warnings.clear();
    return ids;
  }

  RecordingDiagnostics diag;
  OutputDir out{"."};
  ConversionSession session{diag, out};
  HelpFile hf;
};

TEST_F(PhraseTest, LayoutsOfPhrases) {
  // The text counts as compressed when (size - 2N - 8 + 10) < S, that is C + 12 < S for a
  // table of C compressed bytes, whatever the flags say. Below it, the stored layout:
  // everything from offset 4 on.
  const std::vector<uint8_t> probe = BuildHc31Phrases(kPhrases, Lz77Mode::kLiteralsOnly);
  const int64_t compressed = int64_t(probe.size() - 8 - 2 * (kPhrases.size() + 1));
  for (int64_t s : {compressed + 12, compressed + 13}) {
    Version(kMinorHc31, 0);
    const std::vector<uint8_t> data = BuildHc31Phrases(kPhrases, Lz77Mode::kLiteralsOnly, s);
    Put(Slot::kPhrases, data);
    LoadPhrases(hf);
    if (s == compressed + 13) {
      EXPECT_EQ(All(), kPhrases);
    } else {
      EXPECT_EQ(hf.phrases.text, std::string(data.begin() + 4, data.end()));
    }
  }
  Version(kMinorMediaViewer);
  Put(Slot::kPhrases, BuildLongHeaderPhrases(kPhrases));
  LoadPhrases(hf);
  EXPECT_EQ(All(), kPhrases);
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, PhraseNumbersBeyondTheTableOrBadOffsets) {
  EXPECT_FALSE(GetPhrase(hf, 0));
  LoadPhrases(hf);  // no |Phrases, no |PhrIndex: nothing loaded
  LoadRtfPhrases(hf);
  EXPECT_FALSE(hf.phrases.loaded());
  Version(kMinorHc30);
  std::vector<uint8_t> data = BuildHc30Phrases({"one", "two", "three"});
  // Offsets at 4, 6, 8, 10: phrase 1 ends before it starts, phrase 2 starts inside phrase 0.
  PutU16(data, 8, 9);
  Put(Slot::kPhrases, data);
  LoadPhrases(hf);
  EXPECT_EQ(All(), (std::vector<std::string>{"one", "<none>", "netwothree"}));
  EXPECT_FALSE(GetPhrase(hf, 3));
  EXPECT_FALSE(GetPhrase(hf, 100000));
  PutU16(hf.bytes, 16 + 10, 500);  // the last offset beyond the text
  LoadPhrases(hf);
  EXPECT_FALSE(GetPhrase(hf, 2));
}

TEST_F(PhraseTest, DamagedPhrasesFiles) {
  struct Case {
    const char* name;
    uint16_t minor;
    std::vector<uint8_t> data;
    int warning;
    size_t count;
  };
  std::vector<uint8_t> huge_n = BuildHc31Phrases({"ab", "cd"});
  PutU16(huge_n, 0, 60000);
  std::vector<uint8_t> damaged = BuildHc31Phrases({"abc", "def"}, Lz77Mode::kLiteralsOnly);
  damaged[8 + 6] = 0x01;  // the flag byte: item 0 a reference before the start of the output
  std::vector<uint8_t> cut = BuildHc31Phrases({std::string(400, 'x')}, Lz77Mode::kGreedy, 10);
  const std::vector<Case> cases = {
      {"one byte", kMinorHc31, {0x01}, kWarnPhraseHeader, 0},
      {"HC31 header without a table", kMinorHc31, {1, 0, 0, 1, 4, 0, 0, 0}, kWarnPhraseHeader, 0},
      {"HC30 header without a table", kMinorHc30, {1, 0, 0, 1}, kWarnPhraseHeader, 0},
      {"N far beyond the offsets there are", kMinorHc31, huge_n, kWarnPhraseCount,
       (huge_n.size() - 8) / 2 - 1},
      {"damaged compressed text", kMinorHc31, damaged, kWarnPhraseDamaged, 2},
      {"text beyond the announced size and its slack", kMinorHc31, cut, kWarnPhraseTextCut, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Version(c.minor);
    Put(Slot::kPhrases, c.data);
    LoadPhrases(hf);
    EXPECT_EQ(WarningIds(), std::vector<int>{c.warning});
    EXPECT_EQ(hf.phrases.count(), c.count);
    for (size_t i = 0; i < hf.phrases.count() + 2; ++i)
      EXPECT_LE(GetPhrase(hf, i).value_or("").size(), hf.phrases.text.size());
  }
  // The cut text keeps 10 + 300 bytes: phrase 0 ends beyond them.
  EXPECT_EQ(hf.phrases.text.size(), 4 + 310u);
  EXPECT_FALSE(GetPhrase(hf, 0));
}

TEST_F(PhraseTest, RtfTextSizeToleranceAndWarning21) {
  const std::vector<std::string> phrases(50, "compressible ");
  struct Case {
    int announced_minus_found;
    bool compress, warns;
  };
  for (Case c : {Case{10, true, false}, Case{11, true, true}, Case{-10, true, false},
                 Case{-11, true, true}, Case{11, false, true}}) {
    SCOPED_TRACE(testing::Message() << c.announced_minus_found << (c.compress ? " LZ77" : ""));
    Version(kMinorHcrtf);
    RtfPhraseFiles files = BuildRtfPhrases(phrases, 4, c.compress);
    const uint32_t announced = 650 + c.announced_minus_found;
    PutU32(files.index, kPhrIndexTextSizeAt, announced);
    if (!c.compress) PutU32(files.index, kPhrIndexStoredSizeAt, announced);
    PutRtf(files);
    LoadRtfPhrases(hf);
    EXPECT_EQ(All(), phrases);
    if (c.warns) {
      ASSERT_EQ(diag.warnings.size(), 1u);
      EXPECT_EQ(diag.warnings[0].id, kWarnPhraseSize);
      char expected[100];
      std::snprintf(expected, sizeof expected,
                    "Phrases Header: Expected Size 0x%08X, found 0x0000028A", announced);
      EXPECT_EQ(diag.warnings[0].text, expected);
    }
    EXPECT_EQ(WarningIds().size(), c.warns ? 1u : 0u);
  }
}

TEST_F(PhraseTest, DamagedRtfFiles) {
  const std::vector<std::string> phrases = {"alpha", "beta", "gamma"};
  struct Case {
    const char* name;
    size_t field;
    uint32_t value;
    std::vector<int> warnings;
  };
  const std::vector<Case> cases = {
      {"N of 2^31 - 1", kPhrIndexCountAt, 0x7FFFFFFF, {kWarnPhraseCount}},
      {"negative N", kPhrIndexCountAt, 0xFFFFFFFF, {kWarnPhraseCount}},
      {"bit area said to be larger than it is", kPhrIndexBitBytesAt, 0x7FFFFFF0, {}},
      {"huge text size, compressed", kPhrIndexTextSizeAt, 0x7FFFFFFF, {kWarnPhraseSize}},
      {"huge stored size: only the bytes of |PhrImage are read",
       kPhrIndexStoredSizeAt,
       0x7FFFFFFF,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Version(kMinorHcrtf);
    RtfPhraseFiles files = BuildRtfPhrases(phrases, 2, true);
    PutU32(files.index, c.field, c.value);
    PutRtf(files);
    LoadRtfPhrases(hf);
    EXPECT_EQ(WarningIds(), c.warnings);
    if (c.warnings == std::vector<int>{kWarnPhraseCount}) {
      // The count is cut to what the bit area can hold (at least k + 1 = 3 bits per phrase).
      EXPECT_LE(hf.phrases.count(), (files.index.size() - 28) * 8 / 3);
    } else {
      EXPECT_EQ(All(), phrases);
    }
  }
  // A header cut short.
  Put(Slot::kPhrIndex, std::vector<uint8_t>(20, 0));
  LoadRtfPhrases(hf);
  EXPECT_EQ(WarningIds(), std::vector<int>{kWarnPhraseHeader});
  EXPECT_EQ(hf.phrases.count(), 0u);
  // Without |PhrImage nothing is loaded.
  hf.slot(Slot::kPhrImage) = {};
  hf.phrases = {};
  LoadRtfPhrases(hf);
  EXPECT_FALSE(hf.phrases.loaded());
}

}  // namespace
}  // namespace quorvex
