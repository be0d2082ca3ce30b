// Runs the real quorvex program over every corpus help file (QUORVEX_CORPUS_DIR, else the one
// compiled in) in three modes and checks what a user sees and what the RTF holds: well formed,
// every text string of an in-process topic walk in order, the counts against FACTS.tsv and
// MANIFEST.tsv; in recompilation mode every topic's context, each keyword once, every jump
// target a hotspot target of the file.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "core/container.h"
#include "core/strings.h"
#include "core/system_file.h"
#include "core/topic_walk.h"
#include "project/context_map.h"
#include "tests/support/rtf_check.h"
#include "tests/support/run_program.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;
using Row = std::map<std::string, std::string>;

// The largest corpus file converts in seconds, also under the sanitizers: longer is a hang.
constexpr int kNormalExit = 2, kTimeoutSeconds = 300;
constexpr long kTopicsPerSplitFile = 152;  // with SplitRtf
// Shown of a failure: the end of stderr, the stripped RTF before a missing text.
constexpr size_t kStderrShown = 8000, kContextShown = 80;
constexpr std::string_view kPageBreak = "\\page\\pard\r\n";

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}
const fs::path kCorpusDir = EnvOr("QUORVEX_CORPUS_DIR", QUORVEX_CORPUS_DIR);

/// The rows of a tab-separated table of the corpus folder, by the first column (the file).
std::map<std::string, Row> ReadTable(const char* name) {
  std::map<std::string, Row> rows;
  std::ifstream in(kCorpusDir / name);
  std::vector<std::string> columns;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, '\t');) fields.push_back(f);
    if (columns.empty()) columns = fields;
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i)
      rows[fields[0]][columns[i]] = fields[i];
  }
  return rows;
}

/// The corpus help files, sorted, with unique test names (letters, digits and "_").
std::vector<std::pair<std::string, std::string>> ListCorpus() {
  std::vector<std::pair<std::string, std::string>> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(kCorpusDir, ec)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (entry.is_regular_file(ec) && (ext == ".hlp" || ext == ".mvb" || ext == ".m13"))
      files.push_back({entry.path().filename().string(), ""});
  }
  std::sort(files.begin(), files.end());
  std::set<std::string> used;
  for (auto& [name, test_name] : files) {
    for (unsigned char c : name) test_name += std::isalnum(c) ? char(c) : '_';
    for (int n = 2; !used.insert(test_name).second; ++n) test_name += std::to_string(n);
  }
  return files;
}

/// A text string as the writer shows it: control characters other than the tab as "(0x0d)".
std::string VisibleText(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    char hex[8];
    std::snprintf(hex, sizeof(hex), "(0x%02x)", c);
    out += c >= 0x20 || c == '\t' ? std::string(1, char(c)) : std::string(hex);
  }
  return out;
}

/// FACTS.tsv spells each byte of a title as the Latin-1 character of that value, in UTF-8.
std::string Utf8ToLatin1(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    const bool pair = (c & 0xE0) == 0xC0 && i + 1 < s.size();
    out += pair ? char(((c & 0x1F) << 6) | (static_cast<unsigned char>(s[++i]) & 0x3F)) : char(c);
  }
  return out;
}

/// What the topic walk finds, without the writers.
struct WalkFacts {
  std::vector<std::string> strings;  // titles and paragraph texts, in stream order
  long topics = 0, text_records = 0, table_records = 0;
  std::vector<bool> has_context;  // per topic: a |CONTEXT entry lies in its stretch
  std::set<uint32_t> targets;     // the hashes of valid hotspot targets
};

WalkFacts WalkTopics(HelpFile& hf) {
  WalkFacts w;
  std::vector<std::pair<uint32_t, size_t>> starts;  // (first text record's offset, topic)
  auto collect = [&](const Paragraph& p) {
    for (std::string_view t : p.texts)
      if (!t.empty()) w.strings.push_back(VisibleText(t));
    for (const ParagraphCommand& c : p.commands)
      if (IsHotspotStart(c.code) && c.hotspot.valid) w.targets.insert(c.hotspot.hash);
  };
  for (TopicWalk walk(hf); const TopicRecord* r = walk.Next();) {
    if (r->kind == TopicRecord::Kind::kTopicHeader) {
      ++w.topics;
      if (std::string_view title = TextCursor(r->header.text).Next(); !title.empty())
        w.strings.push_back(VisibleText(title));
      continue;
    }
    if (r->kind == TopicRecord::Kind::kOther) continue;
    ++w.text_records;
    const size_t topic = size_t(std::max(w.topics - 1, 0L));  // records before any header: 0
    if (starts.empty() || starts.back().second != topic)
      starts.emplace_back(r->topic_offset, topic);
    if (r->kind == TopicRecord::Kind::kParagraph) collect(r->paragraph);
    if (r->kind != TopicRecord::Kind::kTable) continue;
    ++w.table_records;
    for (const CellParagraph& cell : r->table.cells) collect(cell.paragraph);
  }
  w.has_context.resize(size_t(std::max(w.topics, 1L)));
  if (hf.context_map) {
    for (const ContextPair& c : hf.context_map->pairs()) {
      auto after =
          std::upper_bound(starts.begin(), starts.end(), std::pair(c.topic_offset, SIZE_MAX));
      if (c.hash != 0 && after != starts.begin()) w.has_context[std::prev(after)->second] = true;
    }
  }
  return w;
}

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

/// The checks of one recompilation-mode RTF file against the walk: topics, contexts, warning 19
/// (`nameless` of them in stderr), keywords, jump targets.
void CheckContexts(const std::string& rtf, long nameless, const WalkFacts& walk, const HelpFile& hf,
                   const std::string& file) {
  // Every topic but the first follows a page break.
  long topic = 0, unnamed = 0;
  for (size_t from = 0; from != std::string::npos; ++topic) {
    const size_t at = rtf.find(kPageBreak, from);
    const bool named = rtf.substr(from, at - from).find("{#{\\footnote{#} ") != std::string::npos;
    ASSERT_LT(topic, walk.topics);
    EXPECT_TRUE(named || !walk.has_context[size_t(topic)])
        << "topic " << topic << " lost its context";
    unnamed += !named && at != std::string::npos;
    from = at == std::string::npos ? at : at + 1;
  }
  EXPECT_EQ(topic, walk.topics);
  // Once in the browse pre-pass, once in the main pass.
  EXPECT_EQ(nameless, hf.is_hc30 ? 0 : 2 * unnamed);
  std::cout << "warning 19: " << unnamed << " of " << topic << " topics, " << file << "\n";
  // Every entry lies in some text record's range here, so each one is written exactly once.
  for (const auto& [mark, table] :
       {std::pair("{K{\\footnote{K} ", &hf.k_keywords), {"{A{\\footnote{A} ", &hf.a_keywords}})
    EXPECT_EQ(KeywordsWritten(rtf, mark), *table ? (*table)->pairs().size() : 0) << mark;
  // Jump and popup targets: "\strike0\ul0{\v " ["%"] name [">window"] ["@file"] "}".
  constexpr std::string_view kEnd = "\\strike0\\ul0{\\v ";
  for (size_t at = rtf.find(kEnd); at != std::string::npos; at = rtf.find(kEnd, at + 1)) {
    std::string_view hidden = std::string_view(rtf).substr(at + kEnd.size());
    if (hidden.starts_with("%")) hidden.remove_prefix(1);
    hidden = hidden.substr(0, hidden.find_first_of("}>@"));
    if (hidden.starts_with("!")) continue;  // a macro
    EXPECT_TRUE(walk.targets.count(ContextHash(hidden))) << "jump target " << hidden;
  }
}

/// The environment of a run: the user's settings, language, temporary folder and display
/// replaced; only the search path and the sanitizers' options kept.
std::vector<std::string> RunEnvironment(const fs::path& home, const fs::path& temp) {
  std::vector<std::string> env = {"HOME=" + home.string(),
                                  "XDG_CONFIG_HOME=" + (home / ".config").string(),
                                  "TEMP=" + temp.string(),
                                  "TMPDIR=" + temp.string(),
                                  "LANG=C",
                                  "LC_ALL=C",
                                  "QT_QPA_PLATFORM=offscreen",
                                  "QUORVEX_NO_OPEN=1"};
  for (const char* kept : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
    if (const char* value = std::getenv(kept)) env.push_back(std::string(kept) + "=" + value);
  return env;
}

/// The suite, QUORVEX.INI, the option before the help file (or nullptr), printing, SplitRtf.
struct Mode {
  const char *suite, *settings, *option;
  bool printing, split;
};

struct CorpusRun : ::testing::Test {
  CorpusRun(std::string file, Mode mode) : file_(std::move(file)), mode_(mode) {}
  void TestBody() override;
  const std::string file_;
  const Mode mode_;
};

void CorpusRun::TestBody() {
  const std::string binary = EnvOr("QUORVEX_BINARY", QUORVEX_BINARY_DEFAULT);
  const Row manifest = ReadTable("MANIFEST.tsv")[file_], facts = ReadTable("FACTS.tsv")[file_];
  ASSERT_FALSE(manifest.empty() || facts.empty()) << "no row in MANIFEST.tsv or FACTS.tsv";

  TempFolder tmp;
  const fs::path home = tmp / "home", temp = tmp / "temp", input = tmp / "input", out = tmp / "out";
  const fs::path settings = home / ".config/quorvex/QUORVEX.INI";
  for (const auto& dir : {settings.parent_path(), temp, input, out}) fs::create_directories(dir);
  WriteFile(settings, mode_.settings);
  // A copy beside nothing else, so that anything written beside the help file shows.
  fs::copy_file(kCorpusDir / file_, input / file_);
  std::vector<std::string> args = {binary};
  if (mode_.option) args.push_back(mode_.option);
  args.push_back((input / file_).string());
  const ProgramRun run = RunProgram(args, RunEnvironment(home, temp), out, kTimeoutSeconds);
  const std::string& err = run.err;
  EXPECT_EQ(std::tuple(run.started, run.timed_out, run.signal, run.status),
            std::tuple(true, false, 0, kNormalExit))
      << binary << ": started, timed out (after " << kTimeoutSeconds << " s), signal, status";
  auto contains = [&err](std::string_view part) { return err.find(part) != std::string::npos; };
  EXPECT_FALSE(contains("Quorvex Severe Problem")) << "fatal error reported";
  for (const char* report : {"runtime error:", "AddressSanitizer", "LeakSanitizer"})
    EXPECT_FALSE(contains(report)) << "sanitizer report: " << report;
  // HC31 files open silently; files of the other compilers get the "File Created by" warning.
  EXPECT_EQ(contains("File Created by"), manifest.at("compiler") != "HC31");
  // The only warnings the corpus gives: the compiler's, topics without a context string, [MAP]
  // entries without a topic, pictures that are not there. Any other one means something lost.
  std::istringstream lines(err);
  long nameless = 0;
  for (std::string line; std::getline(lines, line);) {
    if (!line.starts_with("Warning: ")) continue;
    nameless += line.ends_with(" does not have a Context Id");
    bool known = false;
    for (int id : {kWarnCompiledBy, kWarnNoContextId, kWarnMapLookup, kWarnIllegalBitmap}) {
      const std::string& text = LoadText(id);
      known |= line.substr(9).starts_with(text.substr(0, text.find('%')));
    }
    EXPECT_TRUE(known) << line;
  }

  // The container, |SYSTEM and the phrase table against MANIFEST.tsv, and the topic walk.
  RecordingDiagnostics diag;
  OutputDir unused(tmp / "unused");
  ConversionSession session(diag, unused);
  std::unique_ptr<HelpFile> hf = OpenHelpFile((input / file_).string(), 0, session);
  ASSERT_NE(hf, nullptr);
  const std::string& compiler = manifest.at("compiler");
  EXPECT_EQ(std::tuple(hf->is_hc30, hf->is_hcrtf, hf->is_media_viewer),
            std::tuple(compiler == "HC30", compiler == "HCRTF", compiler == "MVC"));
  EXPECT_EQ(hf->internal_files.size(), std::stoul(manifest.at("n_internal")));
  const std::pair<const char*, Slot> slots[] = {
      {"Phrases", Slot::kPhrases}, {"PhrIndex", Slot::kPhrIndex}, {"PhrImage", Slot::kPhrImage},
      {"CONTEXT", Slot::kContext}, {"KWBTREE", Slot::kKwBtree},   {"CTXOMAP", Slot::kCtxOMap},
      {"TOMAP", Slot::kToMap},     {"FONT", Slot::kFont}};
  for (const auto& [column, slot] : slots)
    EXPECT_EQ(hf->slot(slot).present(), manifest.at(column) != "-") << column;
  if (!manifest.at("title").empty()) {
    EXPECT_EQ(ReadSystemStrings(*hf).title.value_or("(none)"), manifest.at("title"));
  }
  EXPECT_EQ(hf->compressed, manifest.at("compressed").starts_with("yes"));
  for (size_t i = 0; i < hf->phrases.count(); ++i) ASSERT_TRUE(GetPhrase(*hf, i)) << i;
  if (hf->phrases.count() > 0) {
    EXPECT_EQ(hf->phrases.offsets.back(), hf->phrases.text.size());
  }
  LoadContextMap(*hf);
  LoadKeywordTables(*hf);
  const WalkFacts walk = WalkTopics(*hf);
  EXPECT_EQ(walk.topics, std::stol(facts.at("topics")));
  EXPECT_EQ(walk.text_records, std::stol(facts.at("text_records")));
  EXPECT_EQ(walk.table_records, std::stol(facts.at("table_records")));
  EXPECT_EQ(hf->context_map ? long(hf->context_map->pairs().size()) : 0,
            std::stol(facts.at("context_entries")));
  std::set<uint32_t> keywords;  // K keywords by the position of their text
  for (const KeywordPair& k : hf->k_keywords ? hf->k_keywords->pairs() : std::vector<KeywordPair>{})
    keywords.insert(k.keyword_position);
  EXPECT_EQ(long(keywords.size()), std::stol(facts.at("K_keywords")));
  for (const auto& w : diag.warnings) EXPECT_EQ(w.id, kWarnCompiledBy) << w.text;

  // The files written: BASE.RTF, BASE.HPJ in recompilation mode, BASE1.RTF, BASE2.RTF, ... with
  // SplitRtf.
  const std::string stem = file_.substr(0, file_.find_last_of('.'));
  EXPECT_EQ(fs::exists(out / (stem + ".HPJ")), !mode_.printing);
  std::map<std::pair<size_t, std::string>, fs::path> rtf_files;  // BASE9.RTF before BASE10.RTF
  for (const auto& entry : fs::directory_iterator(out))
    if (const std::string name = entry.path().filename(); entry.path().extension() == ".RTF")
      rtf_files[{name.size(), name}] = entry.path();
  const long split = (walk.topics + kTopicsPerSplitFile - 1) / kTopicsPerSplitFile;
  EXPECT_EQ(long(rtf_files.size()), mode_.split ? std::max(1L, split) : 1L);
  std::string text;
  for (const auto& [order, path] : rtf_files) {
    const std::string rtf = ReadFile(path);
    const testing::RtfCheck check = testing::CheckRtf(rtf);
    EXPECT_TRUE(check.ok) << path.filename() << ": " << check.error;
    text += check.text + '\n';
    if (!mode_.printing) CheckContexts(rtf, nameless, walk, *hf, file_);
  }
  CloseHelpFile(std::move(hf));
  // The null device and the decompression scratch files never reach the disk.
  for (const char* name : {"NUL", "RLE.TMP", "emtmp$"}) EXPECT_FALSE(fs::exists(out / name));
  EXPECT_EQ(ReadFile(settings), mode_.settings) << "settings file changed";
  EXPECT_EQ(std::distance(fs::directory_iterator(temp), {}), 0) << "left in TEMP";
  EXPECT_EQ(std::distance(fs::directory_iterator(input), {}), 1) << "written beside the help file";

  // No topic text lost: every string of the walk, in order, in the stripped RTF.
  text = testing::CollapseSpace(text);
  size_t pos = 0, missing = 0;
  for (const std::string& s : walk.strings) {
    const std::string needle = testing::CollapseSpace(s);
    const size_t at = text.find(needle, pos);
    if (at == std::string::npos && ++missing <= 5)
      ADD_FAILURE() << "\"" << needle << "\" not found after \""
                    << text.substr(pos - std::min(pos, kContextShown), std::min(pos, kContextShown))
                    << "\"";
    if (at != std::string::npos) pos = at + needle.size();
  }
  if (auto it = facts.find("first_topic_title"); it != facts.end() && !it->second.empty()) {
    const std::string title = testing::CollapseSpace(Utf8ToLatin1(it->second));
    EXPECT_NE(text.find(title), std::string::npos) << "first topic title \"" << title << "\"";
  }
  if (HasFailure())
    std::cout << "stderr of quorvex:\n"
              << err.substr(err.size() - std::min(err.size(), kStderrShown));
}

/// One test per help file and mode: recompilation, printing with the stored defaults split into
/// numbered files (so that the frame of every split file is checked too), and the "-v" preset as
/// a user types it.
const bool registered = [] {
  static const Mode modes[] = {
      {"CorpusRunRecompilation", "[Options]\nForPrint=0\n", nullptr, false, false},
      {"CorpusRunPrintingSplit", "[Options]\nSplitRtf=1\n", nullptr, true, true},
      {"CorpusRunView", "", "-v", true, false}};
  for (const Mode& mode : modes)
    for (const auto& [file, test_name] : ListCorpus())
      ::testing::RegisterTest(
          mode.suite, test_name.c_str(), nullptr, nullptr, __FILE__, __LINE__,
          [file, mode]() -> ::testing::Test* { return new CorpusRun(file, mode); });
  return true;
}();

TEST(CorpusManifest, FolderPresent) {
  if (!fs::is_directory(kCorpusDir))
    GTEST_SKIP() << "corpus folder " << kCorpusDir
                 << " not found: corpus tests skipped (set QUORVEX_CORPUS_DIR to run them)";
  EXPECT_FALSE(ListCorpus().empty()) << "no help files in " << kCorpusDir;
}

}  // namespace
}  // namespace quorvex
