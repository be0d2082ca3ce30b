// Walks the topic stream of every corpus help file record by record, as the topic conversion
// does, decodes every record, and compares the counts with the independent reading in
// FACTS.tsv.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/container.h"
#include "rtf/text_expansion.h"
#include "rtf/topic_decoder.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;

struct Facts {
  long topics = 0;
  long text_records = 0;
  long table_records = 0;
  std::string first_title;  // the first non-empty topic title
};

std::string CorpusDir() {
  const char* env = std::getenv("QUORVEX_CORPUS_DIR");
  return env ? env : QUORVEX_CORPUS_DIR;
}

std::map<std::string, Facts> ReadFacts(const fs::path& file) {
  std::map<std::string, Facts> facts;
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);  // column names
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string name, compiler, topics, text, tables, skip, title;
    std::getline(fields, name, '\t');
    std::getline(fields, compiler, '\t');
    std::getline(fields, topics, '\t');
    std::getline(fields, text, '\t');
    std::getline(fields, tables, '\t');
    for (int i = 0; i < 3; ++i) std::getline(fields, skip, '\t');
    std::getline(fields, title, '\t');
    if (name.empty()) continue;
    facts[name] = Facts{std::stol(topics), std::stol(text), std::stol(tables), title};
  }
  return facts;
}

/// FACTS.tsv spells the titles' bytes as Latin-1 characters in UTF-8.
std::string Latin1ToUtf8(std::string_view s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

struct WalkResult {
  Facts counts;
  bool stream_failed = false;  // ReadTopicBytes returned 0 before the last record
  long bad_parts = 0;          // records whose part lengths do not fit
  long missing_end = 0;        // paragraphs without 0xFF
  long truncated = 0;          // paragraphs whose operands ran past the data
  long table_truncated = 0;
  long embedded_objects = 0;  // objects of type 5
  long unknown_objects = 0;
  long position_mismatches = 0;  // a record not where the previous one's next field says
  long straddling_headers = 0;   // records whose first 21 bytes run into the next block
  size_t warnings = 0;
};

void CountParagraph(const Paragraph& p, WalkResult& r) {
  if (p.missing_end) ++r.missing_end;
  if (p.truncated) ++r.truncated;
  for (const ParagraphCommand& c : p.commands) {
    if (c.code < kCmdObjectInLine || c.code > kCmdObjectRight) continue;
    if (c.object.type == 5) {
      ++r.embedded_objects;
    } else if (c.object.type != 3 && c.object.type != 0x22) {
      ++r.unknown_objects;
    }
  }
}

WalkResult WalkTopics(HelpFile& hf) {
  WalkResult r;
  const TopicGeometry g = TopicGeometryOf(hf);
  const bool has_phrases = hf.slot(Slot::kPhrases).present() || hf.slot(Slot::kPhrIndex).present();
  uint32_t base = 0;
  bool new_block = false;
  int32_t adjustment = 0;
  uint32_t expected = 12;  // where the previous record's next field says the record starts
  for (bool last = false; !last;) {
    const TopicStream& s = hf.topic_stream;
    if (s.started && s.read_index < s.valid_length) {
      uint32_t here = (static_cast<uint32_t>(s.block) << g.shift) + 12 + s.read_index;
      if (static_cast<int32_t>(expected) >> g.shift == s.block && here != expected) {
        ++r.position_mismatches;
      }
      if (s.valid_length - s.read_index < kTopicLinkHeaderSize &&
          static_cast<int32_t>(expected) >> g.shift == s.block) {
        ++r.straddling_headers;
      }
    }
    std::vector<uint8_t> header(kTopicLinkHeaderSize);
    if (ReadTopicBytes(hf, header, base, new_block) == 0) {
      r.stream_failed = true;
      break;
    }
    TopicLinkHeader h = DecodeTopicLinkHeader(header);
    expected =
        hf.is_hc30 ? expected + static_cast<uint32_t>(h.next) : static_cast<uint32_t>(h.next);
    int64_t format_size = int64_t{h.format_length} - int64_t{kTopicLinkHeaderSize};
    int64_t stored = has_phrases ? int64_t{h.record_size} - h.format_length : h.text_length;
    if (format_size < 0 || stored < 0 || format_size > 0x100000 || stored > 0x100000) {
      ++r.bad_parts;
      r.stream_failed = true;
      break;
    }
    std::vector<uint8_t> format(static_cast<size_t>(format_size));
    std::vector<uint8_t> text_part(static_cast<size_t>(stored));
    if ((!format.empty() && ReadTopicBytes(hf, format, base, new_block) == 0) ||
        (!text_part.empty() && ReadTopicBytes(hf, text_part, base, new_block) == 0)) {
      r.stream_failed = true;
      break;
    }
    size_t n = std::min<size_t>(text_part.size(), static_cast<size_t>(std::max(0, h.text_length)));
    std::string text = text_part.empty()
                           ? std::string()
                           : ExpandTopicText(hf, Bytes(text_part.data(), n),
                                             PhraseCodesFor(hf, text_part.size(),
                                                            static_cast<size_t>(h.text_length)));
    TextCursor cursor(text);
    Bytes format_bytes(format.data(), format.size());
    switch (h.type) {
      case kRecordTopicHeader: {
        ++r.counts.topics;
        TopicHeaderRecord t = DecodeTopicHeader(format_bytes, text);
        TextCursor title_cursor(t.text);
        std::string title = Latin1ToUtf8(title_cursor.Next());
        if (r.counts.first_title.empty()) r.counts.first_title = title;
        if (hf.is_hc30 && t.first_field <= 8) last = true;
        break;
      }
      case kRecordParagraphHc30:
      case kRecordParagraph: {
        ++r.counts.text_records;
        CountParagraph(DecodeParagraphRecord(h.type, format_bytes, cursor, adjustment), r);
        break;
      }
      case kRecordTable: {
        ++r.counts.text_records;
        ++r.counts.table_records;
        TableRow row = DecodeTableRecord(format_bytes, cursor, adjustment);
        if (row.truncated) ++r.table_truncated;
        for (const CellParagraph& c : row.cells) CountParagraph(c.paragraph, r);
        break;
      }
      default:
        break;
    }
    if (h.next == -1) last = true;
  }
  ResetTopicStream(hf);
  return r;
}

TEST(CorpusWalk, EveryRecordOfEveryFileDecodes) {
  fs::path dir = CorpusDir();
  if (!fs::exists(dir / "FACTS.tsv")) GTEST_SKIP() << "no corpus at " << dir;
  std::map<std::string, Facts> facts = ReadFacts(dir / "FACTS.tsv");
  ASSERT_FALSE(facts.empty());
  long embedded = 0;
  long straddling = 0;
  std::string largest;
  uintmax_t largest_size = 0;
  double largest_ms = 0;
  double total_ms = 0;
  for (const auto& [name, want] : facts) {
    SCOPED_TRACE(name);
    RecordingDiagnostics diagnostics;
    OutputDir output{"."};
    ConversionSession session(diagnostics, output);
    std::unique_ptr<HelpFile> hf = OpenHelpFile((dir / name).string(), 0, session);
    ASSERT_NE(hf, nullptr);
    size_t warnings_before = diagnostics.warnings.size();
    auto start = std::chrono::steady_clock::now();
    WalkResult got = WalkTopics(*hf);
    double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    total_ms += ms;
    uintmax_t size = fs::file_size(dir / name);
    if (size > largest_size) {
      largest_size = size;
      largest = name;
      largest_ms = ms;
    }
    EXPECT_FALSE(got.stream_failed);
    EXPECT_EQ(got.counts.topics, want.topics);
    EXPECT_EQ(got.counts.text_records, want.text_records);
    EXPECT_EQ(got.counts.table_records, want.table_records);
    EXPECT_EQ(got.counts.first_title, want.first_title);
    EXPECT_EQ(got.missing_end, 0);
    EXPECT_EQ(got.truncated, 0);
    EXPECT_EQ(got.table_truncated, 0);
    EXPECT_EQ(got.unknown_objects, 0);
    EXPECT_EQ(got.position_mismatches, 0);
    for (size_t i = warnings_before; i < diagnostics.warnings.size(); ++i) {
      ADD_FAILURE() << "warning " << diagnostics.warnings[i].id << ": "
                    << diagnostics.warnings[i].text;
    }
    embedded += got.embedded_objects;
    straddling += got.straddling_headers;
    CloseHelpFile(std::move(hf));
  }
  EXPECT_EQ(embedded, 878);
  std::cout << "[ walk     ] record headers that straddle a block boundary: " << straddling << "\n";
  std::cout << "[ walk     ] largest file " << largest << " (" << largest_size
            << " bytes): topic walk " << largest_ms << " ms; all files " << total_ms << " ms\n";
}

}  // namespace
}  // namespace quorvex
