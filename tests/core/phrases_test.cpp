#include "core/phrases.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/container.h"
#include "core/help_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

using testsupport::BuildHc30Phrases;
using testsupport::BuildHc31Phrases;
using testsupport::BuildLongHeaderPhrases;
using testsupport::BuildRtfPhrases;
using testsupport::Lz77Mode;
using testsupport::PackPhraseLengths;
using testsupport::PutU16;
using testsupport::PutU32;

constexpr uint16_t kMinorHc30 = 15;
constexpr uint16_t kMinorHc31 = 21;
constexpr uint16_t kMinorMediaViewer = 27;
constexpr uint16_t kMinorHcrtf = 33;
constexpr uint16_t kFlagsCompressed = 4;

const std::vector<std::string> kPhrases = {"the ", "help ", "", "window", "the help window "};

/// A help file held in memory whose internal files are placed by hand (the container reader is
/// not involved): data starts at offset 16, each file's slot names its offset and size.
class PhraseTest : public ::testing::Test {
 protected:
  PhraseTest() {
    hf.session = &session;
    hf.bytes.assign(16, 0);
  }

  void Version(uint16_t minor, uint16_t flags) {
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
  /// Every phrase of the loaded table; "<none>" for one GetPhrase refuses.
  std::vector<std::string> All() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < hf.phrases.count(); ++i) {
      auto p = GetPhrase(hf, i);
      out.push_back(p ? std::string(*p) : "<none>");
    }
    return out;
  }

  RecordingDiagnostics diag;
  OutputDir out{"."};
  ConversionSession session{diag, out};
  HelpFile hf;
};

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
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodePhraseIndex(c.n, c.k, c.bits), c.offsets);
  }
}

TEST(DecodePhraseIndex, ReadsWhatTheWriterPacks) {
  std::mt19937 rng(7);
  for (unsigned k = 0; k <= 15; ++k) {
    std::vector<uint32_t> lengths;
    for (int i = 0; i < 200; ++i) lengths.push_back(1 + rng() % (k < 4 ? 40 : 3u << k));
    const std::vector<uint32_t> offsets =
        DecodePhraseIndex(static_cast<uint32_t>(lengths.size()), k, PackPhraseLengths(lengths, k));
    ASSERT_EQ(offsets.size(), lengths.size() + 1) << "k " << k;
    uint32_t sum = 0;
    for (size_t i = 0; i < lengths.size(); ++i) {
      sum += lengths[i];
      ASSERT_EQ(offsets[i + 1], sum) << "k " << k << " phrase " << i;
    }
  }
}

TEST(DecodePhraseIndex, AHugeCountAllocatesOnlyWhatTheBitsHold) {
  const std::vector<uint8_t> bits(4, 0);
  EXPECT_EQ(DecodePhraseIndex(0x80000000u, 3, bits).size(), 32u / 4 + 1);
}

TEST_F(PhraseTest, Hc30TableIsStoredEvenWithCompressedFlags) {
  Version(kMinorHc30, kFlagsCompressed);
  Put(Slot::kPhrases, BuildHc30Phrases(kPhrases));
  LoadPhrases(hf);
  EXPECT_EQ(hf.phrases.kind, PhraseTables::Kind::kOld);
  EXPECT_EQ(All(), kPhrases);
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, Hc31TableWithCompressedFlags) {
  for (Lz77Mode mode : {Lz77Mode::kGreedy, Lz77Mode::kLiteralsOnly}) {
    Version(kMinorHc31, kFlagsCompressed);
    Put(Slot::kPhrases, BuildHc31Phrases(kPhrases, mode));
    LoadPhrases(hf);
    EXPECT_EQ(All(), kPhrases);
  }
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, Hc31FlagsZeroCompressedByTheSizeRule) {
  // Compressible phrases: the compressed text C is far below the text size S.
  std::vector<std::string> phrases;
  for (int i = 0; i < 40; ++i) phrases.push_back("phrase number " + std::to_string(i % 4) + " ");
  Version(kMinorHc31, 0);
  std::vector<uint8_t> data = BuildHc31Phrases(phrases);
  Put(Slot::kPhrases, data);
  LoadPhrases(hf);
  EXPECT_EQ(All(), phrases);
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, SizeRuleBoundary) {
  // The text counts as compressed when (size - 2N - 8 + 10) < S, that is C + 12 < S for a
  // table of C compressed bytes. Below it, the stored layout: everything from offset 4 on.
  const std::vector<uint8_t> probe = BuildHc31Phrases(kPhrases, Lz77Mode::kLiteralsOnly);
  const size_t compressed = probe.size() - 8 - 2 * (kPhrases.size() + 1);
  struct Case {
    int64_t s;
    bool compressed;
  };
  for (Case c : {Case{int64_t(compressed) + 12, false}, Case{int64_t(compressed) + 13, true}}) {
    SCOPED_TRACE(c.s);
    Version(kMinorHc31, 0);
    const std::vector<uint8_t> data = BuildHc31Phrases(kPhrases, Lz77Mode::kLiteralsOnly, c.s);
    Put(Slot::kPhrases, data);
    LoadPhrases(hf);
    if (c.compressed) {
      EXPECT_EQ(All(), kPhrases);
    } else {
      EXPECT_EQ(hf.phrases.text, std::string(data.begin() + 4, data.end()));
    }
  }
}

TEST_F(PhraseTest, MediaViewerLongHeader) {
  Version(kMinorMediaViewer, kFlagsCompressed);
  Put(Slot::kPhrases, BuildLongHeaderPhrases(kPhrases));
  LoadPhrases(hf);
  EXPECT_EQ(All(), kPhrases);
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, PhraseNumbersBeyondTheTableOrBadOffsets) {
  Version(kMinorHc30, 0);
  std::vector<uint8_t> data = BuildHc30Phrases({"one", "two", "three"});
  // Offsets at 4, 6, 8, 10: make phrase 1 end before it starts.
  PutU16(data, 8, 9);
  Put(Slot::kPhrases, data);
  LoadPhrases(hf);
  EXPECT_EQ(GetPhrase(hf, 0), std::optional<std::string_view>("one"));
  EXPECT_FALSE(GetPhrase(hf, 1));
  EXPECT_FALSE(GetPhrase(hf, 3));
  EXPECT_FALSE(GetPhrase(hf, 100000));
  // The last offset beyond the text.
  PutU16(hf.bytes, 16 + 10, 500);
  LoadPhrases(hf);
  EXPECT_FALSE(GetPhrase(hf, 2));
}

TEST_F(PhraseTest, NothingLoadedAnswersNothing) {
  EXPECT_FALSE(GetPhrase(hf, 0));
  LoadPhrases(hf);  // no |Phrases
  LoadRtfPhrases(hf);
  EXPECT_FALSE(hf.phrases.loaded());
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
    diag.warnings.clear();
    Version(c.minor, kFlagsCompressed);
    Put(Slot::kPhrases, c.data);
    LoadPhrases(hf);
    EXPECT_EQ(diag.Count(c.warning), 1u);
    EXPECT_EQ(diag.warnings.size(), 1u);
    EXPECT_EQ(hf.phrases.kind, PhraseTables::Kind::kOld);
    EXPECT_EQ(hf.phrases.count(), c.count);
    for (size_t i = 0; i < hf.phrases.count() + 2; ++i) {
      auto p = GetPhrase(hf, i);
      if (p) {
        EXPECT_LE(p->size(), hf.phrases.text.size());
      }
    }
  }
  // The cut text keeps 10 + 300 bytes: phrase 0 ends beyond them.
  EXPECT_EQ(hf.phrases.text.size(), 4 + 310u);
  EXPECT_FALSE(GetPhrase(hf, 0));
}

TEST_F(PhraseTest, RtfTablesStoredAndCompressed) {
  std::vector<std::string> phrases;
  for (int i = 0; i < 300; ++i)
    phrases.push_back(std::string(1 + (i * 7) % 50, static_cast<char>('a' + i % 26)));
  for (unsigned k : {0u, 3u, 4u}) {
    for (bool compress : {false, true}) {
      SCOPED_TRACE(testing::Message() << "k " << k << " compressed " << compress);
      Version(kMinorHcrtf, kFlagsCompressed);
      const auto files = BuildRtfPhrases(phrases, k, compress);
      Put(Slot::kPhrIndex, files.index);
      Put(Slot::kPhrImage, files.image);
      LoadRtfPhrases(hf);
      EXPECT_EQ(hf.phrases.kind, PhraseTables::Kind::kRtf);
      EXPECT_EQ(All(), phrases);
      EXPECT_FALSE(GetPhrase(hf, phrases.size()));
    }
  }
  EXPECT_TRUE(diag.warnings.empty());
}

TEST_F(PhraseTest, RtfTextSizeTolerance) {
  const std::vector<std::string> phrases(50, "compressible ");
  const std::string text_size_hex = [&] {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08zX", 50 * phrases[0].size());
    return std::string(buf);
  }();
  struct Case {
    const char* name;
    int announced_minus_found;
    bool compress;
    bool warns;
  };
  const std::vector<Case> cases = {
      {"compressed, 8 bytes short", 8, true, false},
      {"compressed, 10 bytes short", 10, true, false},
      {"compressed, 11 bytes short", 11, true, true},
      {"compressed, 11 bytes long", -11, true, true},
      {"stored with equal sizes, 11 bytes short", 11, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    diag.warnings.clear();
    Version(kMinorHcrtf, kFlagsCompressed);
    auto files = BuildRtfPhrases(phrases, 4, c.compress);
    const uint32_t announced =
        static_cast<uint32_t>(testsupport::GetU32(files.index, testsupport::kPhrIndexTextSizeAt) +
                              c.announced_minus_found);
    PutU32(files.index, testsupport::kPhrIndexTextSizeAt, announced);
    if (!c.compress) PutU32(files.index, testsupport::kPhrIndexStoredSizeAt, announced);
    Put(Slot::kPhrIndex, files.index);
    Put(Slot::kPhrImage, files.image);
    LoadRtfPhrases(hf);
    EXPECT_EQ(All(), phrases);
    ASSERT_EQ(diag.Count(kWarnPhraseSize), c.warns ? 1u : 0u);
    if (c.warns) {
      char expected[100];
      std::snprintf(expected, sizeof expected, "Expected Size 0x%08X, found %s", announced,
                    text_size_hex.c_str());
      EXPECT_TRUE(diag.Saw(expected)) << diag.warnings[0].text;
    }
  }
}

TEST_F(PhraseTest, DamagedRtfFiles) {
  const std::vector<std::string> phrases = {"alpha", "beta", "gamma"};
  struct Case {
    const char* name;
    size_t field;
    uint32_t value;
    std::vector<int> warnings;
    size_t count;
  };
  const std::vector<Case> cases = {
      {"N of 2^31 - 1", testsupport::kPhrIndexCountAt, 0x7FFFFFFF, {kWarnPhraseCount}, 0},
      {"negative N", testsupport::kPhrIndexCountAt, 0xFFFFFFFF, {kWarnPhraseCount}, 0},
      {"bit area said to be larger than it is",
       testsupport::kPhrIndexBitBytesAt,
       0x7FFFFFF0,
       {},
       3},
      {"huge text size, compressed",
       testsupport::kPhrIndexTextSizeAt,
       0x7FFFFFFF,
       {kWarnPhraseSize},
       3},
      {"huge stored size: only the bytes of |PhrImage are read",
       testsupport::kPhrIndexStoredSizeAt,
       0x7FFFFFFF,
       {},
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    diag.warnings.clear();
    Version(kMinorHcrtf, kFlagsCompressed);
    auto files = BuildRtfPhrases(phrases, 2, true);
    PutU32(files.index, c.field, c.value);
    Put(Slot::kPhrIndex, files.index);
    Put(Slot::kPhrImage, files.image);
    LoadRtfPhrases(hf);
    std::vector<int> ids;
    for (const auto& w : diag.warnings) ids.push_back(w.id);
    EXPECT_EQ(ids, c.warnings);
    if (c.count == 3) {
      EXPECT_EQ(hf.phrases.count(), 3u);
    } else {
      // The count is cut to what the bit area can hold (at least k + 1 = 3 bits per phrase).
      EXPECT_LE(hf.phrases.count(), (files.index.size() - 28) * 8 / 3);
    }
  }
  EXPECT_EQ(All(), phrases);

  // A header cut short.
  diag.warnings.clear();
  Put(Slot::kPhrIndex, std::vector<uint8_t>(20, 0));
  LoadRtfPhrases(hf);
  EXPECT_EQ(diag.Count(kWarnPhraseHeader), 1u);
  EXPECT_EQ(hf.phrases.count(), 0u);
  // Without |PhrImage nothing is loaded.
  hf.slot(Slot::kPhrImage) = {};
  hf.phrases = {};
  LoadRtfPhrases(hf);
  EXPECT_FALSE(hf.phrases.loaded());
}

/// Rows of the corpus manifest, each a map from column name to value.
std::vector<std::map<std::string, std::string>> ReadManifest(const std::filesystem::path& path) {
  std::vector<std::map<std::string, std::string>> rows;
  std::ifstream in(path);
  std::string line;
  std::vector<std::string> columns;
  while (std::getline(in, line)) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, '\t');) fields.push_back(f);
    if (columns.empty()) {
      columns = fields;
      continue;
    }
    std::map<std::string, std::string> row;
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i) row[columns[i]] = fields[i];
    rows.push_back(std::move(row));
  }
  return rows;
}

TEST(PhraseCorpus, EveryPhraseOfEveryTableLiesInItsText) {
  const char* env = std::getenv("QUORVEX_CORPUS_DIR");
  const std::filesystem::path dir = env && *env ? env : QUORVEX_CORPUS_DIR;
  if (!std::filesystem::exists(dir / "MANIFEST.tsv")) GTEST_SKIP() << "no corpus at " << dir;
  size_t tables = 0;
  for (const auto& row : ReadManifest(dir / "MANIFEST.tsv")) {
    const bool old_form = row.at("Phrases") == "Y";
    const bool rtf_form = row.at("PhrIndex") == "Y" && row.at("PhrImage") == "Y";
    if (!old_form && !rtf_form) continue;
    SCOPED_TRACE(row.at("file"));
    RecordingDiagnostics diag;
    OutputDir out{"."};
    ConversionSession session{diag, out};
    std::unique_ptr<HelpFile> hf = OpenHelpFile((dir / row.at("file")).string(), 0, session);
    ASSERT_TRUE(hf);
    const PhraseTables& t = hf->phrases;
    EXPECT_EQ(t.kind, old_form ? PhraseTables::Kind::kOld : PhraseTables::Kind::kRtf);
    // One file has a |Phrases of 10 bytes that announces no phrase at all.
    const SlotEntry phrases = hf->slot(Slot::kPhrases);
    const bool announces_none = old_form &&
                                hf->bytes.at(static_cast<size_t>(phrases.data_offset)) == 0 &&
                                hf->bytes.at(static_cast<size_t>(phrases.data_offset) + 1) == 0;
    if (!announces_none) {
      EXPECT_GT(t.count(), 0u);
    }
    for (size_t i = 0; i < t.count(); ++i) ASSERT_TRUE(GetPhrase(*hf, i)) << "phrase " << i;
    // The phrases cover the text exactly.
    if (t.count() > 0) {
      EXPECT_EQ(t.offsets.back(), t.text.size());
    }
    for (const auto& w : diag.warnings)
      EXPECT_TRUE(w.id < kWarnPhraseCount || w.id > kWarnPhraseTextCut) << w.text;
    EXPECT_EQ(diag.Count(kWarnPhraseSize), 0u);
    ++tables;
  }
  EXPECT_GT(tables, 0u);
}

}  // namespace
}  // namespace quorvex
