// The context and keyword look-ups on large tables, and whole recompilation-mode conversions of
// help files whose every topic has a context, a keyword and a jump: the look-ups cost about the
// same per call at 1,000 and at 100,000 entries, and the conversion time grows linearly with the
// number of topics (the Big-O line of the conversion benchmark).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>

#include "core/container.h"
#include "core/driver.h"
#include "core/topic_walk.h"
#include "project/context_map.h"
#include "tests/support/help_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/topic_writer.h"
#include "ui/phases.h"

namespace {

using namespace quorvex;
using namespace quorvex::testsupport;

constexpr uint16_t kMinorHc31 = 21;

std::string ContextString(size_t n) {
  return "topic_" + std::to_string(n);
}

/// A help file of `topics` topics, each with a paragraph that jumps to the next topic; with
/// `contexts` and `keywords`, the help file has a |CONTEXT and a K keyword table.
std::vector<uint8_t> BuildHelpFile(size_t topics, const ContextEntries& contexts,
                                   const KeywordEntries& keywords) {
  TopicRecords writer;
  for (size_t n = 0; n < topics; ++n) {
    const std::string title = "Topic " + std::to_string(n);
    writer.Record(
        {.type = 2,
         .format_part =
             ByteBuilder().i32(0x100).i32(-1).i32(-1).i32(int32_t(n)).i32(-1).i32(0).i32(-1).take(),
         .text_part = TextStrings({title})});
    const ParagraphBuilder paragraph =
        std::move(ParagraphBuilder()
                      .JumpShort(0xE3, ContextHash(ContextString(n + 1)))
                      .Command(0x89)
                      .Command(0x82));
    writer.Record({.format_part = ParagraphFormatPart(paragraph.Build()),
                   .text_part = TextStrings({"See ", "the next topic", ".", ""})});
  }
  const std::vector<uint8_t> font = BuildFontFile(
      {"Arial"}, 20, {OldFontDescriptor({.half_points = 20, .family = 3, .face = 0})});
  HelpFileWriter help;
  help.AddFile("|SYSTEM", BuildSystemFile(kMinorHc31, 0, {}))
      .AddFile("|FONT", font)
      .AddFile("|TOPIC", writer.Build());
  if (!contexts.empty()) {
    const KeywordFiles k = BuildKeywordFiles(keywords);
    help.AddFile("|CONTEXT", BuildContextFile(contexts))
        .AddFile("|KWBTREE", k.btree)
        .AddFile("|KWDATA", k.data);
  }
  return help.Build();
}

/// The help file of `topics` topics with a |CONTEXT entry and a keyword for each: the offsets
/// come from a walk of the topics alone.
std::vector<uint8_t> BuildIndexedHelpFile(size_t topics) {
  NullDiagnostics quiet;
  std::unique_ptr<OutputDir> dir = OutputDir::InMemory();
  ConversionSession session(quiet, *dir);
  std::unique_ptr<HelpFile> plain =
      OpenHelpFileFromBytes(BuildHelpFile(topics, {}, {}), "plain.hlp", 0, session);
  ContextEntries contexts;
  KeywordEntries keywords;
  TopicWalk walk(*plain);
  size_t n = 0;
  while (const TopicRecord* r = walk.Next()) {
    if (r->kind != TopicRecord::Kind::kParagraph) continue;
    contexts.push_back({ContextHash(ContextString(n)), r->topic_offset});
    keywords.push_back({"keyword " + std::to_string(n), {r->topic_offset + 3}});
    ++n;
  }
  std::sort(contexts.begin(), contexts.end());  // the help compiler's order: by hash
  std::sort(keywords.begin(), keywords.end());
  return BuildHelpFile(topics, contexts, keywords);
}

/// An open help file of `n` topics with its context map and keyword table loaded.
struct LoadedFile {
  explicit LoadedFile(size_t n) {
    hf = OpenHelpFileFromBytes(BuildIndexedHelpFile(n), "big.hlp", 0, session);
    LoadContextMap(*hf);
    LoadKeywordTables(*hf);
    for (const ContextPair& p : hf->context_map->pairs()) offsets.push_back(p.topic_offset);
  }
  NullDiagnostics quiet;
  std::unique_ptr<OutputDir> dir = OutputDir::InMemory();
  ConversionSession session{quiet, *dir};
  std::unique_ptr<HelpFile> hf;
  std::vector<uint32_t> offsets;
};

void ContextNameInRangeLookup(benchmark::State& state) {
  LoadedFile f(size_t(state.range(0)));
  std::mt19937 random(1);
  for (auto _ : state) {
    const uint32_t t = f.offsets[random() % f.offsets.size()];
    benchmark::DoNotOptimize(ContextNameInRange(*f.hf, int32_t(t), t + 30));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(ContextNameInRangeLookup)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

void KeywordsForTopicLookup(benchmark::State& state) {
  LoadedFile f(size_t(state.range(0)));
  std::mt19937 random(2);
  for (auto _ : state) {
    const int64_t t = f.offsets[random() % f.offsets.size()];
    benchmark::DoNotOptimize(KeywordsForTopic(*f.hf, &*f.hf->k_keywords, t - 2, t + 30));
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(KeywordsForTopicLookup)->RangeMultiplier(10)->Range(1000, 100000)->Complexity();

/// A whole conversion in recompilation mode (with the browse-sequence pre-pass) into memory.
void ConvertWithContextsAndKeywords(benchmark::State& state) {
  TempFolder folder;
  const std::filesystem::path path = folder / "BIG.HLP";
  WriteFile(path, BuildIndexedHelpFile(size_t(state.range(0))));
  for (auto _ : state) {
    NullDiagnostics quiet;
    std::unique_ptr<OutputDir> dir = OutputDir::InMemory();
    ConversionSession session(quiet, *dir);
    StandardPhases phases;
    ConvertHelpFile({.options = ApplyCanonicalOptions(0), .path = path.string()}, session, phases);
  }
  state.SetComplexityN(state.range(0));
}
BENCHMARK(ConvertWithContextsAndKeywords)
    ->Arg(12500)
    ->Arg(25000)
    ->Arg(50000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

}  // namespace
