// Every corpus help file converted in process in recompilation mode: each topic whose stretch of
// TopicOffsets (from its first text record to the next topic's) holds a |CONTEXT entry gets a
// "#" footnote and warning 19 names exactly the others (but the last); every keyword entry is
// written once; every jump or popup target is a name that hashes to a hotspot target of the
// file. Prints the count of warning 19 per file.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "core/container.h"
#include "core/driver.h"
#include "core/topic_walk.h"
#include "project/context_map.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus =
    std::getenv("QUORVEX_CORPUS_DIR") ? std::getenv("QUORVEX_CORPUS_DIR") : QUORVEX_CORPUS_DIR;

/// The number of keywords in the footnotes with `mark` ("\}" is a brace of a keyword).
size_t KeywordsWritten(std::string_view rtf, std::string_view mark) {
  size_t n = 0;
  for (size_t at = rtf.find(mark); at != std::string::npos; at = rtf.find(mark, at + 1)) {
    ++n;
    for (size_t i = at + mark.size(); i < rtf.size() && rtf[i] != '}'; ++i)
      n += rtf[i] == '\\' ? (++i, 0) : rtf[i] == ';';
  }
  return n;
}

void CheckContexts(const std::string& file) {
  RecordingDiagnostics diagnostics;
  std::unique_ptr<OutputDir> out = OutputDir::InMemory();
  ConversionSession session(diagnostics, *out);
  StandardPhases phases;
  ConvertHelpFile({ApplyCanonicalOptions(0), (kCorpus / file).string()}, session, phases);
  std::string rtf;
  for (const auto& [name, bytes] : out->files()) rtf += name.ends_with(".RTF") ? bytes : "";

  // The topics' first TopicOffsets and the hotspot targets, from a walk of the same file.
  NullDiagnostics quiet;
  ConversionSession walk_session(quiet, *out);
  std::unique_ptr<HelpFile> hf = OpenHelpFile((kCorpus / file).string(), 0, walk_session);
  ASSERT_TRUE(hf);
  LoadContextMap(*hf);
  LoadKeywordTables(*hf);
  std::vector<std::optional<uint32_t>> starts;
  std::set<uint32_t> targets;
  for (TopicWalk walk(*hf); const TopicRecord* r = walk.Next();) {
    if (r->kind == TopicRecord::Kind::kTopicHeader || starts.empty()) starts.emplace_back();
    if (r->kind != TopicRecord::Kind::kParagraph && r->kind != TopicRecord::Kind::kTable) continue;
    if (!starts.back()) starts.back() = r->topic_offset;
    std::vector<const Paragraph*> paragraphs = {&r->paragraph};
    for (const CellParagraph& cell : r->table.cells) paragraphs.push_back(&cell.paragraph);
    for (const Paragraph* p : paragraphs)
      for (const ParagraphCommand& c : p->commands)
        if (IsHotspotStart(c.code) && c.hotspot.valid) targets.insert(c.hotspot.hash);
  }

  std::vector<std::pair<uint32_t, size_t>> by_offset;  // (first offset, topic)
  for (size_t i = 0; i < starts.size(); ++i)
    if (starts[i]) by_offset.emplace_back(*starts[i], i);
  std::vector<bool> has_context(starts.size());
  for (const ContextPair& c : hf->context_map->pairs()) {
    auto after = std::upper_bound(by_offset.begin(), by_offset.end(),
                                  std::make_pair(c.topic_offset, SIZE_MAX));
    if (c.hash != 0 && after != by_offset.begin()) has_context[std::prev(after)->second] = true;
  }
  // Every topic but the first follows a page break.
  size_t topic = 0, unnamed = 0;
  for (size_t from = 0; from != std::string::npos; ++topic) {
    const size_t at = rtf.find("\\page\\pard\r\n", from);
    const bool named = rtf.substr(from, at - from).find("{#{\\footnote{#} ") != std::string::npos;
    ASSERT_LT(topic, starts.size());
    EXPECT_TRUE(named || !has_context[topic]) << "topic " << topic << " lost its context";
    unnamed += !named && at != std::string::npos;
    from = at == std::string::npos ? at : at + 1;
  }
  EXPECT_EQ(topic, starts.size());
  // Once in the browse pre-pass, once in the main pass.
  EXPECT_EQ(diagnostics.Count(kWarnNoContextId), hf->is_hc30 ? 0 : 2 * unnamed);
  std::cout << "warning 19: " << unnamed << " of " << starts.size() << " topics, " << file << "\n";
  for (int id = kWarnTreeDamaged; id <= kWarnTreeNegativeCount; ++id)
    EXPECT_EQ(diagnostics.Count(id), 0u) << LoadText(id);
  EXPECT_EQ(diagnostics.Count(kWarnIllegalHotspot), 0u);

  // Every entry lies in some text record's range here, so each one is written exactly once.
  EXPECT_EQ(KeywordsWritten(rtf, "{K{\\footnote{K} "),
            hf->k_keywords ? hf->k_keywords->pairs().size() : 0);
  EXPECT_EQ(KeywordsWritten(rtf, "{A{\\footnote{A} "),
            hf->a_keywords ? hf->a_keywords->pairs().size() : 0);

  // Jump and popup targets: "\strike0\ul0{\v " ["%"] name [">window"] ["@file"] "}".
  constexpr std::string_view kEnd = "\\strike0\\ul0{\\v ";
  for (size_t at = rtf.find(kEnd); at != std::string::npos; at = rtf.find(kEnd, at + 1)) {
    std::string_view hidden = std::string_view(rtf).substr(at + kEnd.size());
    if (hidden.starts_with("%")) hidden.remove_prefix(1);
    hidden = hidden.substr(0, hidden.find_first_of("}>@"));
    if (hidden.starts_with("!")) continue;  // a macro
    EXPECT_TRUE(targets.count(ContextHash(hidden))) << "jump target " << hidden;
  }
}

const bool registered = [] {
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kCorpus, ec)) {
    const std::string file = entry.path().filename().string();
    std::string ext = entry.path().extension().string(), name;
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext != ".hlp" && ext != ".mvb" && ext != ".m13") continue;
    for (unsigned char c : file) name += std::isalnum(c) ? char(c) : '_';
    ::testing::RegisterTest("CorpusContexts", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [file] {
                              struct Run : ::testing::Test {
                                std::string file;
                                void TestBody() override { CheckContexts(file); }
                              };
                              Run* run = new Run;
                              run->file = file;
                              return static_cast<::testing::Test*>(run);
                            });
  }
  return true;
}();

}  // namespace
}  // namespace quorvex
