// Context names from hashes, the indexed look-ups of the context map and the keyword tables
// against plain scans, and the loaders on whole and damaged B-trees.
#include <gtest/gtest.h>

#include <random>

#include "core/container.h"
#include "core/format.h"
#include "project/context_map.h"
#include "project/context_names.h"
#include "tests/support/context_writer.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

TEST(ContextNames, HashesNamesAndKnownNames) {
  const std::pair<std::string, uint32_t> hashes[] = {
      {"", 0},   {"abc", 32226}, {"ABC", 32226},          {"a-b c", 32226},
      {"0", 10}, {"x1", 1721},   {"IDH_100", 2143542237}, {"Contents", 636769674}};
  for (const auto& [text, hash] : hashes) EXPECT_EQ(ContextHash(text), hash) << text;
  struct Case {
    uint32_t hash;
    ConversionOptions options;
    std::string name;
  };
  const Case cases[] = {
      {32226, 0, "abc"},
      {2143542237, 0, "Ind4bzp2t"},
      {636769674, 0, "Indgag.cs"},
      {0, 0, ""},
      {1, 0, "1"},
      {17, 0, "a"},
      {44, 0, "11"},
      {32226, kPageLinks, "0x00007DE2"},
      {0, kPageLinks, "0x00000000"},
      {87923292, 0, "intro"},
      {16, 0, "Indc3._e5"},
  };
  HelpFile hf;
  for (const Case& c : cases) {
    hf.options = c.options;
    EXPECT_EQ(ContextNameForHash(hf, c.hash), c.name) << c.hash;
  }
  // The first name added for a hash wins, also with PageLinks.
  hf.known_context_names.Add("IDH_100");
  hf.known_context_names.Add("idh_100");
  for (ConversionOptions options : {0u, kPageLinks}) {
    hf.options = options;
    EXPECT_EQ(ContextNameForHash(hf, 2143542237), "IDH_100");
  }
}

TEST(ContextNames, EveryNameButTheHexadecimalOneHashesBack) {
  HelpFile hf;
  std::mt19937 random(43);
  int hexadecimal = 0;
  for (int i = 0; i < 100000; ++i) {
    const uint32_t hash = random();
    const std::string name = ContextNameForHash(hf, hash);
    if (name == FormatText("0x%08lX", {hash})) {
      ++hexadecimal;
      continue;
    }
    ASSERT_EQ(ContextHash(name), hash) << name;
    ASSERT_EQ(name.find_first_not_of("123456789.0_abcdefghijklmnopqrstuvwxyzIndcoDHKEYABCFGJLMN"
                                     "OPQRSTUVWXZ"),
              std::string::npos)
        << name;
  }
  // The 34 prefixes leave a few hashes in ten thousand to the hexadecimal form.
  EXPECT_LT(hexadecimal, 100);
}

TEST(ContextLookups, IndexedAnswersEqualTheLinearScans) {
  // Few distinct offsets and hashes, so that maps hold duplicates, ties and hashes of 0, with
  // offsets on both sides of the signed boundary.
  const uint32_t offsets[] = {0, 1, 2, 3, 5, 8, 9, 40, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE};
  std::mt19937 random(5);
  auto pick = [&] { return uint32_t(offsets[random() % std::size(offsets)] + random() % 2); };
  for (int round = 0; round < 300; ++round) {
    std::vector<ContextPair> contexts(random() % 40);
    std::vector<KeywordPair> keywords(random() % 40);
    for (ContextPair& p : contexts) p = {uint32_t(random() % 6), pick()};
    for (KeywordPair& p : keywords) p = {pick(), uint32_t(random())};
    const ContextMap map(contexts);
    const KeywordTable table(keywords);
    for (int query = 0; query < 40; ++query) {
      const int32_t low = int32_t(pick());
      const uint32_t high = pick();
      std::optional<size_t> first;
      for (size_t i = 0; i < contexts.size() && !first; ++i)
        if (contexts[i].hash != 0 && int32_t(contexts[i].topic_offset) >= low &&
            contexts[i].topic_offset <= high)
          first = i;
      ASSERT_EQ(map.FirstInRange(low, high), first) << low << " " << high;
      std::vector<size_t> entries;
      for (size_t i = 0; i < keywords.size(); ++i)
        if (int32_t(keywords[i].topic_offset) >= low &&
            int32_t(keywords[i].topic_offset) <= int32_t(high))
          entries.push_back(i);
      ASSERT_EQ(table.EntriesInRange(low, int32_t(high)), entries) << low << " " << high;
    }
  }
}

/// A help file of |SYSTEM and the given files, opened.
class Loaders : public ::testing::Test {
 protected:
  HelpFile& Open(const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
    auto all = files;
    all.insert(all.begin(), {"|SYSTEM", GoldenSystem()});
    hf_ = OpenHelpFileFromBytes(AssembleHelpFile(all), "T.HLP", 0, session_);
    return *hf_;
  }
  RecordingDiagnostics diagnostics_;
  std::unique_ptr<OutputDir> dir_ = OutputDir::InMemory();
  ConversionSession session_{diagnostics_, *dir_};
  std::unique_ptr<HelpFile> hf_;
};

TEST_F(Loaders, ContextMapsWholeAndDamaged) {
  ContextEntries entries;
  for (uint32_t i = 0; i < 300; ++i) entries.push_back({i * 7919 + 1, i * 3});
  const BTreeOptions small{.page_size = 64};  // 7 entries a leaf, several index levels
  struct Case {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    size_t pairs;
    std::vector<int> warnings;
  };
  auto put16 = [](std::vector<uint8_t>& d, size_t at, uint16_t v) {
    d[at] = uint8_t(v), d[at + 1] = uint8_t(v >> 8);
  };
  const Case cases[] = {
      {"whole", [](auto&) {}, 300, {}},
      {"more entries announced", [&](auto& d) { put16(d, 34, 301); }, 300, {kWarnTreeShort}},
      // The first leaf (page 0) announces 20 entries: 7 fit, the rest of the page is skipped.
      {"a leaf announces too many",
       [&](auto& d) { put16(d, 38 + 2, 20); },
       300,
       {kWarnLeafPageCut}},
      // The first leaf's next link points back at itself.
      {"the chain loops", [&](auto& d) { put16(d, 38 + 6, 0); }, 7, {kWarnTreeDamaged}},
      {"the header is cut", [](auto& d) { d.resize(20); }, 0, {kWarnTreeHeaderCut}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    diagnostics_.warnings.clear();
    std::vector<uint8_t> context = BuildContextFile(entries, small);
    c.damage(context);
    HelpFile& hf = Open({{"|CONTEXT", context}});
    LoadContextMap(hf);
    ASSERT_TRUE(hf.context_map);
    EXPECT_EQ(hf.context_map->pairs().size(), c.pairs);
    EXPECT_EQ(diagnostics_.warnings.size(), c.warnings.size());
    for (size_t i = 0; i < c.warnings.size() && i < diagnostics_.warnings.size(); ++i)
      EXPECT_EQ(diagnostics_.warnings[i].id, c.warnings[i]) << diagnostics_.warnings[i].text;
  }
}

TEST_F(Loaders, KeywordTablesAndTheirLookUps) {
  // Two keywords a leaf: several leaves and an index page.
  const KeywordFiles k = BuildKeywordFiles(
      {{"alpha", {10, 30}}, {"beta", {10}}, {"gamma{", {11}}, {"delta", {13}}}, {.page_size = 32});
  KeywordFiles a = BuildKeywordFiles({{"in", {5}}, {"out", {6, 7}}});
  a.data.resize(8);  // "out" keeps one of its two topics
  HelpFile& hf = Open(
      {{"|0KWBTREE", k.btree}, {"|0KWDATA", k.data}, {"|AWBTREE", a.btree}, {"|AWDATA", a.data}});
  diagnostics_.progress.clear();
  LoadKeywordTables(hf);
  ASSERT_TRUE(hf.k_keywords && hf.a_keywords);
  EXPECT_EQ(hf.k_keywords->pairs().size(), 5u);
  EXPECT_EQ(hf.a_keywords->pairs().size(), 2u);
  ASSERT_EQ(diagnostics_.warnings.size(), 1u);
  EXPECT_EQ(diagnostics_.warnings[0].text,
            "|AWBTREE B-tree refers to 1 topic entries that lie outside |AWDATA; they are ignored");
  for (const auto& [percent, phase] : diagnostics_.progress)
    EXPECT_TRUE(phase == kPhaseScanningKeywords && percent >= 43 && percent <= 46) << percent;

  const KeywordTable* table = &*hf.k_keywords;
  EXPECT_EQ(KeywordsForTopic(hf, table, 8, 12), "alpha;beta;gamma{");
  EXPECT_EQ(KeywordsForTopic(hf, table, 30, 30), "alpha");
  EXPECT_EQ(KeywordsForTopic(hf, table, 14, 29), std::nullopt);
  EXPECT_EQ(KeywordsForTopic(hf, nullptr, 0, 100), std::nullopt);
  // Marked entries are written once.
  std::vector<bool> written;
  EXPECT_EQ(KeywordsForTopic(hf, table, 8, 10, &written), "alpha;beta");
  EXPECT_EQ(KeywordsForTopic(hf, table, 8, 13, &written), "gamma{;delta");
  EXPECT_EQ(KeywordsForTopic(hf, table, 8, 13, &written), std::nullopt);

  // Without its data file a tree gives no table.
  HelpFile& bare = Open({{"|KWBTREE", k.btree}});
  LoadKeywordTables(bare);
  EXPECT_FALSE(bare.k_keywords || bare.a_keywords);
}

}  // namespace
}  // namespace quorvex
