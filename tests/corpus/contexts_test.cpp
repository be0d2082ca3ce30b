// Contexts, keywords and jump targets of every corpus help file, converted in process in
// recompilation mode: every topic whose stretch of TopicOffsets holds a |CONTEXT entry gets a
// "#" footnote, warning 19 names exactly the other topics (but the last), every keyword entry
// is written once, and every jump or popup target in the RTF is a name that hashes to a hotspot
// target of the help file. The number of warnings 19 of each file is printed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <set>

#include "core/container.h"
#include "core/driver.h"
#include "core/strings.h"
#include "core/topic_walk.h"
#include "project/context_map.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;

const fs::path kCorpus = [] {
  const char* dir = std::getenv("QUORVEX_CORPUS_DIR");
  return fs::path(dir && *dir ? dir : QUORVEX_CORPUS_DIR);
}();

/// One topic as the walk sees it: where its text starts, and the hotspot targets it holds.
struct WalkedTopic {
  std::optional<uint32_t> first_offset;  // of its first text record
};

struct Walked {
  std::vector<WalkedTopic> topics;
  std::set<uint32_t> targets;  // hashes of every jump and popup hotspot
  std::vector<ContextPair> contexts;
  bool hc30 = false;
  size_t k_pairs = 0, a_pairs = 0;
};

Walked Walk(const fs::path& path) {
  NullDiagnostics quiet;
  OutputDir unused = OutputDir(fs::temp_directory_path());
  ConversionSession session(quiet, unused);
  std::unique_ptr<HelpFile> hf = OpenHelpFile(path.string(), 0, session);
  Walked w;
  if (!hf) return w;
  w.hc30 = hf->is_hc30;
  LoadContextMap(*hf);
  w.contexts = hf->context_map->pairs();
  LoadKeywordTables(*hf);
  w.k_pairs = hf->k_keywords ? hf->k_keywords->pairs().size() : 0;
  w.a_pairs = hf->a_keywords ? hf->a_keywords->pairs().size() : 0;
  auto hotspots = [&](const Paragraph& p) {
    for (const ParagraphCommand& c : p.commands)
      if (IsHotspotStart(c.code) && c.hotspot.valid) w.targets.insert(c.hotspot.hash);
  };
  TopicWalk walk(*hf);
  while (const TopicRecord* r = walk.Next()) {
    if (r->kind == TopicRecord::Kind::kTopicHeader) w.topics.emplace_back();
    if (r->kind != TopicRecord::Kind::kParagraph && r->kind != TopicRecord::Kind::kTable) continue;
    if (w.topics.empty()) w.topics.emplace_back();
    if (!w.topics.back().first_offset) w.topics.back().first_offset = r->topic_offset;
    if (r->kind == TopicRecord::Kind::kParagraph) hotspots(r->paragraph);
    for (const CellParagraph& cell : r->table.cells) hotspots(cell.paragraph);
  }
  return w;
}

/// `text` without the RTF escapes of a name ("\{", "\}", "\\").
std::string Unescaped(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) ++i;
    out += text[i];
  }
  return out;
}

class CorpusContexts : public ::testing::Test {
 public:
  explicit CorpusContexts(std::string file) : file_(std::move(file)) {}
  void TestBody() override;

 private:
  std::string file_;
};

void CorpusContexts::TestBody() {
  const Walked walked = Walk(kCorpus / file_);
  ASSERT_FALSE(walked.topics.empty());

  RecordingDiagnostics diagnostics;
  std::unique_ptr<OutputDir> out = OutputDir::InMemory();
  {
    ConversionSession session(diagnostics, *out);
    StandardPhases phases;
    ConversionJob job;
    job.options = ApplyCanonicalOptions(0);
    job.path = (kCorpus / file_).string();
    ConvertHelpFile(job, session, phases);
  }
  std::string rtf;
  for (const auto& [name, bytes] : out->files())
    if (name.ends_with(".RTF")) rtf += bytes;

  // The RTF of each topic: every topic but the first follows a page break.
  std::vector<std::string_view> chunks;
  for (size_t from = 0;;) {
    const size_t at = rtf.find("\\page\\pard\r\n", from);
    chunks.push_back(std::string_view(rtf).substr(from, at - from));
    if (at == std::string::npos) break;
    from = at + 1;
  }
  ASSERT_EQ(chunks.size(), walked.topics.size());

  // A topic's stretch runs from its first text record to the next topic's first text record.
  std::vector<bool> has_context(walked.topics.size());
  std::vector<std::pair<uint32_t, size_t>> starts;  // (first offset, topic)
  for (size_t i = 0; i < walked.topics.size(); ++i)
    if (walked.topics[i].first_offset) starts.emplace_back(*walked.topics[i].first_offset, i);
  for (const ContextPair& c : walked.contexts) {
    if (c.hash == 0) continue;
    auto after =
        std::upper_bound(starts.begin(), starts.end(), std::make_pair(c.topic_offset, SIZE_MAX));
    if (after != starts.begin()) has_context[std::prev(after)->second] = true;
  }
  size_t missing = 0, unnamed = 0;
  for (size_t i = 0; i < chunks.size(); ++i) {
    const bool named = chunks[i].find("{#{\\footnote{#} ") != std::string_view::npos;
    if (has_context[i] && !named && ++missing <= 5)
      ADD_FAILURE() << "topic " << i << " has a |CONTEXT entry but no \"#\" footnote";
    unnamed += !named && i + 1 < chunks.size();
  }
  EXPECT_EQ(missing, 0u);
  // Nothing damaged in |CONTEXT, the keyword trees or the hotspots.
  for (int id : {kWarnIllegalHotspot, kWarnTreeDamaged, kWarnTreeShort, kWarnLeafPageCut,
                 kWarnKeywordDataOutside, kWarnKeywordCapacity, kWarnTreeHeaderCut,
                 kWarnTreeNegativeCount})
    EXPECT_EQ(diagnostics.Count(id), 0u) << LoadText(id);
  // Warning 19 comes twice (the browse pre-pass and the main pass) for each unnamed topic.
  const size_t warnings19 = diagnostics.Count(kWarnNoContextId);
  EXPECT_EQ(warnings19, walked.hc30 ? 0 : 2 * unnamed);
  std::cout << "warning 19: " << warnings19 / 2 << " per pass of " << walked.topics.size()
            << " topics, " << walked.contexts.size() << " |CONTEXT entries: " << file_ << "\n";

  // No keyword lost and none written twice: the keyword footnotes hold as many keywords as the
  // tables have entries (every entry of the corpus files lies in a text record's range).
  auto keywords = [&](std::string_view mark) {
    size_t n = 0;
    for (size_t at = rtf.find(mark); at != std::string::npos; at = rtf.find(mark, at + 1)) {
      ++n;
      for (size_t i = at + mark.size(); i < rtf.size() && rtf[i] != '}'; ++i) {
        if (rtf[i] == '\\') ++i;  // "\}" is a brace of the keyword
        n += rtf[i] == ';';
      }
    }
    return n;
  };
  EXPECT_EQ(keywords("{K{\\footnote{K} "), walked.k_pairs);
  EXPECT_EQ(keywords("{A{\\footnote{A} "), walked.a_pairs);

  // Every jump and popup target: "\strike0\ul0{\v " + ["%"] name [">window"] ["@file"] "}".
  size_t targets = 0;
  constexpr std::string_view kEnd = "\\strike0\\ul0{\\v ";
  for (size_t at = rtf.find(kEnd); at != std::string::npos; at = rtf.find(kEnd, at + 1)) {
    std::string_view hidden = std::string_view(rtf).substr(at + kEnd.size());
    hidden = hidden.substr(0, hidden.find('}'));
    if (hidden.starts_with("%")) hidden.remove_prefix(1);
    if (hidden.starts_with("!")) continue;  // a macro
    const std::string name = Unescaped(hidden.substr(0, hidden.find_first_of(">@")));
    ++targets;
    EXPECT_TRUE(walked.targets.count(ContextHash(name)))
        << "jump target \"" << name << "\" hashes to no hotspot target of the file";
  }
  EXPECT_EQ(targets > 0, !walked.targets.empty());
}

const bool registered = [] {
  std::error_code ec;
  std::vector<std::string> files;
  for (const auto& entry : fs::directory_iterator(kCorpus, ec)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (ext == ".hlp" || ext == ".mvb" || ext == ".m13")
      files.push_back(entry.path().filename().string());
  }
  std::sort(files.begin(), files.end());
  for (const std::string& file : files) {
    std::string name;
    for (unsigned char c : file) name += std::isalnum(c) ? char(c) : '_';
    ::testing::RegisterTest("CorpusContexts", name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
                            [file]() -> ::testing::Test* { return new CorpusContexts(file); });
  }
  return true;
}();

}  // namespace
}  // namespace quorvex
