// Converts every corpus help file in-process, in recompilation mode and in the printing mode of
// "-v" (split into numbered files), and checks the RTF that comes out:
// - every RTF file is well formed and uses only known control words (CheckRtf);
// - no record type is unknown (warning 20) and no font selection is illegal (warning 13) unless
//   the help file really selects a font beyond its |FONT table;
// - no topic text is lost: a walk of the topic stream of its own collects, in order, every topic
//   title and every text string of every paragraph and table cell, and each must appear, in that
//   order, in the text the RTF strips to;
// - the first topic title that FACTS.tsv records appears.
//
// One test per help file and mode, named after the file. The corpus folder is QUORVEX_CORPUS_DIR
// from the environment, else the one compiled in; without it the tests are skipped.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "core/container.h"
#include "core/driver.h"
#include "rtf/text_expansion.h"
#include "rtf/topic_decoder.h"
#include "tests/support/rtf_check.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using testing::CheckRtf;
using testing::CollapseSpace;

// Help files that really select fonts beyond their |FONT table (the font number of a 0x80
// command is not below the descriptor count in the |FONT header), so that warning 13 is right.
// The walk below checks it from the bytes: a listed file must have such selections (as many as
// the warnings), an unlisted one none. No corpus file does today: every font number of every
// paragraph and table cell lies inside its file's table.
const std::set<std::string> kFilesWithIllegalFonts = {};

// Texts shown when a string is missing: this much of the stripped RTF around the place.
constexpr size_t kContextShown = 160;
// A file with this many missing strings has a systematic fault; listing more adds nothing.
constexpr int kMaxMissingReported = 5;

std::string CorpusDir() {
  const char* env = std::getenv("QUORVEX_CORPUS_DIR");
  return (env != nullptr && *env != '\0') ? env : QUORVEX_CORPUS_DIR;
}

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream stream(line);
  std::string field;
  while (std::getline(stream, field, '\t')) fields.push_back(field);
  return fields;
}

/// FACTS.tsv's first_topic_title by file name.
std::map<std::string, std::string> ReadFirstTitles(const fs::path& facts) {
  std::map<std::string, std::string> titles;
  std::ifstream in(facts);
  std::string line;
  if (!std::getline(in, line)) return titles;
  const std::vector<std::string> header = SplitTabs(line);
  const size_t file_col = std::find(header.begin(), header.end(), "file") - header.begin();
  const size_t title_col =
      std::find(header.begin(), header.end(), "first_topic_title") - header.begin();
  if (file_col == header.size() || title_col == header.size()) return titles;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = SplitTabs(line);
    if (fields.size() > std::max(file_col, title_col)) titles[fields[file_col]] = fields[title_col];
  }
  return titles;
}

/// FACTS.tsv spells each byte of a title as the Latin-1 character of that value, in UTF-8; the
/// RTF holds the bytes.
std::string Utf8ToLatin1(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) {
      out += static_cast<char>(((c & 0x1F) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3F));
      ++i;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

struct CorpusFile {
  std::string name;       // file name in the corpus folder
  std::string test_name;  // letters, digits and "_"
};

std::vector<CorpusFile> ListCorpus() {
  std::vector<CorpusFile> files;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(CorpusDir(), ec)) {
    std::string ext = entry.path().extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (!entry.is_regular_file(ec) || (ext != ".hlp" && ext != ".mvb" && ext != ".m13")) continue;
    files.push_back({entry.path().filename().string(), ""});
  }
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  std::set<std::string> used;
  for (CorpusFile& f : files) {
    std::string name;
    for (unsigned char c : f.name) name += std::isalnum(c) ? static_cast<char>(c) : '_';
    std::string unique = name;
    for (int n = 2; !used.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
    f.test_name = unique;
  }
  // Without a corpus one placeholder test reports the skip.
  if (files.empty()) files.push_back({"", "NoCorpus"});
  return files;
}

/// A fresh folder under the temporary folder, removed with its contents at the end.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorvex-rtf-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::string bytes(fs::file_size(path), '\0');
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<size_t>(in.gcount()));
  return bytes;
}

/// A text string as the writer shows it: control characters other than the tab as "(0x0d)".
std::string VisibleText(std::string_view s) {
  std::string out;
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 && c != '\t') {
      char buffer[8];
      std::snprintf(buffer, sizeof(buffer), "(0x%02x)", c);
      out += buffer;
    } else {
      out += ch;
    }
  }
  return out;
}

/// What the walk of the topic stream finds, independently of the writer.
struct TopicTexts {
  std::vector<std::string> strings;  // titles and paragraph texts, in stream order
  long topics = 0;
  long illegal_fonts = 0;          // font selections at or beyond the |FONT descriptor count
  std::string first_illegal_font;  // where the first one is, for the message
  bool stream_failed = false;
};

/// The descriptor count of the |FONT header (offset 2); 0 without |FONT.
uint16_t FontDescriptorCount(const HelpFile& hf) {
  ByteReader font = hf.InternalData(Slot::kFont);
  font.skip(2);
  return font.u16();
}

void CollectParagraph(const Paragraph& p, uint16_t fonts, long record, TopicTexts& out) {
  for (const std::string& t : p.texts) {
    if (!t.empty()) out.strings.push_back(VisibleText(t));
  }
  for (const ParagraphCommand& c : p.commands) {
    if (c.code != kCmdFont || c.font < fonts) continue;
    if (out.illegal_fonts++ == 0) {
      out.first_illegal_font = "record " + std::to_string(record) + " selects font " +
                               std::to_string(c.font) + " of " + std::to_string(fonts);
    }
  }
}

/// A record part larger than this is damage (far beyond any real record): the walk stops there
/// rather than allocate it.
constexpr int64_t kMaxPart = int64_t{16} << 20;
/// HC30 marks the last topic with a first TopicHeader field of this value or less.
constexpr int32_t kHc30LastTopicMark = 8;

/// Walks every record of |TOPIC as the topic conversion reads them.
TopicTexts CollectTopicTexts(HelpFile& hf) {
  TopicTexts out;
  const uint16_t fonts = FontDescriptorCount(hf);
  const bool has_phrases = hf.slot(Slot::kPhrases).present() || hf.slot(Slot::kPhrIndex).present();
  uint32_t base = 0;
  bool new_block = false;
  int32_t adjustment = 0;
  long record = 0;
  for (bool last = !hf.slot(Slot::kTopic).present(); !last; ++record) {
    std::vector<uint8_t> header(kTopicLinkHeaderSize);
    if (ReadTopicBytes(hf, header, base, new_block) != header.size()) {
      out.stream_failed = true;
      break;
    }
    const TopicLinkHeader h = DecodeTopicLinkHeader(header);
    const int64_t format_size = int64_t{h.format_length} - int64_t{kTopicLinkHeaderSize};
    const int64_t stored = has_phrases ? int64_t{h.record_size} - h.format_length : h.text_length;
    if (format_size < 0 || stored < 0 || format_size > kMaxPart || stored > kMaxPart) {
      out.stream_failed = true;
      break;
    }
    std::vector<uint8_t> format(static_cast<size_t>(format_size));
    std::vector<uint8_t> text_part(static_cast<size_t>(stored));
    if ((!format.empty() && ReadTopicBytes(hf, format, base, new_block) != format.size()) ||
        (!text_part.empty() &&
         ReadTopicBytes(hf, text_part, base, new_block) != text_part.size())) {
      out.stream_failed = true;
      break;
    }
    const size_t expanded = static_cast<size_t>(std::max(0, h.text_length));
    std::string text;
    if (!text_part.empty()) {
      text = ExpandTopicText(hf, Bytes(text_part.data(), std::min(text_part.size(), expanded)),
                             PhraseCodesFor(hf, text_part.size(), expanded),
                             std::max(expanded, kTopicTextCapacity));
    }
    TextCursor cursor(text);
    const Bytes format_bytes(format.data(), format.size());
    switch (h.type) {
      case kRecordTopicHeader: {
        ++out.topics;
        const TopicHeaderRecord t = DecodeTopicHeader(format_bytes, text);
        TextCursor title(t.text);
        if (std::string_view s = title.Next(); !s.empty()) out.strings.push_back(VisibleText(s));
        if (hf.is_hc30 && t.first_field <= kHc30LastTopicMark) last = true;
        break;
      }
      case kRecordParagraphHc30:
      case kRecordParagraph:
        CollectParagraph(DecodeParagraphRecord(h.type, format_bytes, cursor, adjustment), fonts,
                         record, out);
        break;
      case kRecordTable:
        for (const CellParagraph& cell : DecodeTableRecord(format_bytes, cursor, adjustment).cells)
          CollectParagraph(cell.paragraph, fonts, record, out);
        break;
      default:
        break;
    }
    if (h.next == -1) last = true;
  }
  ResetTopicStream(hf);
  return out;
}

/// Looks for every string of `wanted`, in order, in `text` (both white-space collapsed).
/// Returns a description of the first few that are missing; empty when all are there.
std::vector<std::string> MissingInOrder(const std::vector<std::string>& wanted,
                                        const std::string& text, size_t& found) {
  std::vector<std::string> missing;
  size_t pos = 0;
  found = 0;
  for (size_t i = 0; i < wanted.size(); ++i) {
    const std::string needle = CollapseSpace(wanted[i]);
    if (needle.empty()) continue;  // white space only: nothing to look for
    const size_t at = text.find(needle, pos);
    if (at != std::string::npos) {
      pos = at + needle.size();
      ++found;
      continue;
    }
    const size_t from = pos > kContextShown / 2 ? pos - kContextShown / 2 : 0;
    missing.push_back("string " + std::to_string(i) + " \"" + needle + "\" not found after \"" +
                      text.substr(from, pos - from) + "\" (followed by \"" +
                      text.substr(pos, kContextShown / 2) + "\")");
    if (missing.size() >= static_cast<size_t>(kMaxMissingReported)) break;
  }
  return missing;
}

/// RTF files of a conversion in the order they were written: BASE.RTF, or BASE1.RTF, BASE2.RTF.
std::vector<fs::path> RtfFilesInOrder(const fs::path& dir) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() == ".RTF") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
    const std::string x = a.filename().string(), y = b.filename().string();
    return x.size() != y.size() ? x.size() < y.size() : x < y;
  });
  return files;
}

/// Topics per file with SplitRtf: the threshold 150 lets each file hold 152.
constexpr long kTopicsPerSplitFile = 152;

/// One help file converted in one mode. Registered per file at start-up (below), so that each
/// test is named after its help file.
class CorpusRtf : public ::testing::Test {
 public:
  CorpusRtf(CorpusFile file, ConversionOptions options)
      : file_(std::move(file)), options_(options) {}
  void TestBody() override;

 private:
  CorpusFile file_;
  ConversionOptions options_;
};

void CorpusRtf::TestBody() {
  const CorpusFile& file = file_;
  const ConversionOptions options = options_;
  if (file.name.empty()) GTEST_SKIP() << "no corpus help files in " << CorpusDir();
  const fs::path path = fs::path(CorpusDir()) / file.name;
  TempDir out_dir;
  ASSERT_FALSE(out_dir.path().empty());

  RecordingDiagnostics diagnostics;
  OutputDir output(out_dir.path());
  ConversionSession session(diagnostics, output);
  StandardPhases phases;
  try {
    ConvertHelpFile(ConversionJob{options, path.string()}, session, phases);
  } catch (const FatalException& e) {
    FAIL() << "fatal error: " << e.what();
  }

  // What the topic walk reads, without the writer.
  RecordingDiagnostics walk_diagnostics;
  OutputDir unused(out_dir.path());
  ConversionSession walk_session(walk_diagnostics, unused);
  std::unique_ptr<HelpFile> hf = OpenHelpFile(path.string(), 0, walk_session);
  ASSERT_NE(hf, nullptr);
  const TopicTexts topics = CollectTopicTexts(*hf);
  CloseHelpFile(std::move(hf));
  EXPECT_FALSE(topics.stream_failed);

  // Warnings: no unknown record types and nothing lost in reading the topics; illegal fonts only
  // where the bytes select them.
  const size_t passes = (options & kBrowseSeq) ? 2 : 1;
  for (int id : {kWarnUnknownRecord, kWarnTableFormat, kWarnTopicTextCut, kWarnTopicTextPhrase,
                 kWarnTopicTextCode, kWarnTopicBlockOverflow, kWarnTopicBlockDamaged,
                 kWarnParagraphNoEnd, kWarnParagraphCut, kWarnUnknownObject, kWarnTableLayoutCut,
                 kWarnTopicStreamEnds, kWarnTopicRecordDamaged, kWarnNoTopics}) {
    EXPECT_EQ(diagnostics.Count(id), 0u) << "warning " << id << ": " << LoadText(id);
  }
  if (kFilesWithIllegalFonts.count(file.name) != 0) {
    EXPECT_GT(topics.illegal_fonts, 0) << "listed as selecting illegal fonts, but selects none";
    EXPECT_EQ(diagnostics.Count(kWarnIllegalFont), topics.illegal_fonts * passes);
  } else {
    EXPECT_EQ(topics.illegal_fonts, 0) << topics.first_illegal_font;
    EXPECT_EQ(diagnostics.Count(kWarnIllegalFont), 0u);
  }

  // Every RTF file well formed; their texts together, in order.
  const std::vector<fs::path> rtf_files = RtfFilesInOrder(out_dir.path());
  ASSERT_FALSE(rtf_files.empty());
  if (options & kSplitRtf) {
    const long expected =
        std::max(1L, (topics.topics + kTopicsPerSplitFile - 1) / kTopicsPerSplitFile);
    EXPECT_EQ(static_cast<long>(rtf_files.size()), expected) << topics.topics << " topics";
  } else {
    EXPECT_EQ(rtf_files.size(), 1u);
  }
  std::string text;
  for (const fs::path& rtf : rtf_files) {
    const testing::RtfCheck check = CheckRtf(ReadFile(rtf));
    EXPECT_TRUE(check.ok) << rtf.filename() << ": " << check.error;
    text += check.text;
    text += '\n';
  }
  text = CollapseSpace(text);

  size_t found = 0;
  for (const std::string& m : MissingInOrder(topics.strings, text, found)) ADD_FAILURE() << m;

  const std::map<std::string, std::string> titles =
      ReadFirstTitles(fs::path(CorpusDir()) / "FACTS.tsv");
  if (auto it = titles.find(file.name); it != titles.end() && !it->second.empty()) {
    const std::string title = CollapseSpace(Utf8ToLatin1(it->second));
    EXPECT_NE(text.find(title), std::string::npos) << "first topic title \"" << title << "\"";
  }
  std::map<int, size_t> warning_counts;
  for (const auto& w : diagnostics.warnings) ++warning_counts[w.id];
  std::cout << "[ rtf      ] " << rtf_files.size() << " RTF file(s), " << found
            << " strings found in order; warnings:";
  for (const auto& [id, count] : warning_counts) std::cout << " " << id << "x" << count;
  std::cout << "\n";
}

/// Registers one test per help file and mode: RtfRecompilation.NAME and RtfPrintingSplit.NAME
/// (with no corpus, one of each that reports the skip).
bool RegisterCorpusTests() {
  struct Mode {
    const char* suite;
    ConversionOptions options;
  };
  // Recompilation as the program runs it by default; printing with the "-v" preset, split into
  // numbered files so that the frame of every file is checked too.
  const Mode modes[] = {{"RtfRecompilation", ApplyCanonicalOptions(0)},
                        {"RtfPrintingSplit", kViewPreset | kSplitRtf}};
  for (const Mode& mode : modes) {
    for (const CorpusFile& file : ListCorpus()) {
      ::testing::RegisterTest(mode.suite, file.test_name.c_str(), nullptr, nullptr, __FILE__,
                              __LINE__, [file, options = mode.options]() -> ::testing::Test* {
                                return new CorpusRtf(file, options);
                              });
    }
  }
  return true;
}
const bool registered = RegisterCorpusTests();

}  // namespace
}  // namespace quorvex
