// Every corpus help file opened in-process and compared with the independent readings of
// MANIFEST.tsv and FACTS.tsv: compiler, internal files, title and compression; the phrase
// tables; and a walk of every topic record, as the topic conversion reads them, whose counts of
// topics, text records and table records must match.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "core/container.h"
#include "core/system_file.h"
#include "rtf/text_expansion.h"
#include "rtf/topic_decoder.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using Row = std::map<std::string, std::string>;

fs::path CorpusDir() {
  const char* env = std::getenv("QUORVEX_CORPUS_DIR");
  return env && *env ? env : QUORVEX_CORPUS_DIR;
}

/// The rows of a tab-separated table with a header line, by the "file" column.
std::map<std::string, Row> ReadTable(const fs::path& path) {
  std::map<std::string, Row> rows;
  std::ifstream in(path);
  std::vector<std::string> columns;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream ss(line);
    for (std::string f; std::getline(ss, f, '\t');) fields.push_back(f);
    if (columns.empty()) {
      columns = fields;
      continue;
    }
    Row row;
    for (size_t i = 0; i < columns.size() && i < fields.size(); ++i) row[columns[i]] = fields[i];
    rows[row["file"]] = row;
  }
  return rows;
}

struct WalkCounts {
  long topics = 0, text_records = 0, table_records = 0;
  long embedded_objects = 0;     // objects of type 5
  long position_mismatches = 0;  // a record not where the previous one's next field says
  bool stream_failed = false;    // the stream ended before the last record
};

void CountObjects(const Paragraph& p, WalkCounts& counts) {
  for (const ParagraphCommand& c : p.commands)
    if (c.code >= kCmdObjectInLine && c.code <= kCmdObjectRight && c.object.type == 5)
      ++counts.embedded_objects;
}

WalkCounts WalkTopics(HelpFile& hf) {
  WalkCounts r;
  const TopicGeometry g = TopicGeometryOf(hf);
  const bool has_phrases = hf.slot(Slot::kPhrases).present() || hf.slot(Slot::kPhrIndex).present();
  uint32_t base = 0;
  bool new_block = false;
  int32_t adjustment = 0;
  uint32_t expected = 12;  // where the previous record's next field says the record starts
  for (bool last = false; !last;) {
    const TopicStream& s = hf.topic_stream;
    if (s.started && s.read_index < s.valid_length && int32_t(expected) >> g.shift == s.block &&
        (uint32_t(s.block) << g.shift) + 12 + s.read_index != expected)
      ++r.position_mismatches;
    std::vector<uint8_t> header(kTopicLinkHeaderSize);
    if (ReadTopicBytes(hf, header, base, new_block) == 0) {
      r.stream_failed = true;
      break;
    }
    const TopicLinkHeader h = DecodeTopicLinkHeader(header);
    expected = hf.is_hc30 ? expected + uint32_t(h.next) : uint32_t(h.next);
    const int64_t format_size = int64_t{h.format_length} - int64_t{kTopicLinkHeaderSize};
    const int64_t stored = has_phrases ? int64_t{h.record_size} - h.format_length : h.text_length;
    if (format_size < 0 || stored < 0 || format_size > 0x100000 || stored > 0x100000) {
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
    const size_t n = std::min(text_part.size(), size_t(std::max(0, h.text_length)));
    const std::string text =
        text_part.empty()
            ? std::string()
            : ExpandTopicText(hf, Bytes(text_part.data(), n),
                              PhraseCodesFor(hf, text_part.size(), size_t(h.text_length)));
    TextCursor cursor(text);
    switch (h.type) {
      case kRecordTopicHeader:
        ++r.topics;
        if (hf.is_hc30 && DecodeTopicHeader(format, text).first_field <= 8) last = true;
        break;
      case kRecordParagraphHc30:
      case kRecordParagraph:
        ++r.text_records;
        CountObjects(DecodeParagraphRecord(h.type, format, cursor, adjustment), r);
        break;
      case kRecordTable:
        ++r.text_records;
        ++r.table_records;
        for (const CellParagraph& c : DecodeTableRecord(format, cursor, adjustment).cells)
          CountObjects(c.paragraph, r);
        break;
      default:
        break;
    }
    if (h.next == -1) last = true;
  }
  ResetTopicStream(hf);
  return r;
}

TEST(Corpus, EveryFileAgreesWithManifestAndFacts) {
  const fs::path dir = CorpusDir();
  if (!fs::exists(dir / "MANIFEST.tsv")) GTEST_SKIP() << "no corpus at " << dir;
  const std::map<std::string, Row> manifest = ReadTable(dir / "MANIFEST.tsv");
  const std::map<std::string, Row> facts = ReadTable(dir / "FACTS.tsv");
  ASSERT_FALSE(manifest.empty());
  const std::pair<const char*, Slot> slot_columns[] = {
      {"Phrases", Slot::kPhrases}, {"PhrIndex", Slot::kPhrIndex}, {"PhrImage", Slot::kPhrImage},
      {"CONTEXT", Slot::kContext}, {"KWBTREE", Slot::kKwBtree},   {"CTXOMAP", Slot::kCtxOMap},
      {"TOMAP", Slot::kToMap},     {"FONT", Slot::kFont}};
  long embedded = 0;
  for (const auto& [name, row] : manifest) {
    SCOPED_TRACE(name);
    for (ConversionOptions options : {kProbeOnly, ConversionOptions(0)}) {
      RecordingDiagnostics diag;
      OutputDir out(".");
      ConversionSession session(diag, out);
      std::unique_ptr<HelpFile> hf;
      try {
        hf = OpenHelpFile((dir / name).string(), options, session);
      } catch (const FatalException& e) {
        ADD_FAILURE() << "fatal: " << e.what();
        continue;
      }
      ASSERT_TRUE(hf);
      // The container and |SYSTEM.
      const char* compiler = hf->is_hc30           ? "HC30"
                             : hf->is_hcrtf        ? "HCRTF"
                             : hf->is_media_viewer ? "MVC"
                                                   : "HC31";
      EXPECT_EQ(compiler, row.at("compiler"));
      EXPECT_EQ(hf->internal_files.size(), std::stoul(row.at("n_internal")));
      for (const auto& [column, slot] : slot_columns)
        EXPECT_EQ(hf->slot(slot).present(), row.at(column) != "-") << column;
      if (!row.at("title").empty()) {
        EXPECT_EQ(ReadSystemStrings(*hf).title.value_or("(none)"), row.at("title"));
      }
      EXPECT_EQ(hf->compressed, row.at("compressed").starts_with("yes"));
      // Nothing but the version warning: no damaged container, no damaged phrase table.
      for (const auto& w : diag.warnings) EXPECT_EQ(w.id, kWarnCompiledBy) << w.text;
      if (options == kProbeOnly) continue;

      // The phrase table: every phrase there, together they cover the text exactly.
      const PhraseTables& t = hf->phrases;
      const bool old_form = row.at("Phrases") == "Y";
      if (old_form || (row.at("PhrIndex") == "Y" && row.at("PhrImage") == "Y")) {
        EXPECT_EQ(t.kind, old_form ? PhraseTables::Kind::kOld : PhraseTables::Kind::kRtf);
        // One file has a |Phrases of 10 bytes that announces no phrase at all.
        const size_t at = size_t(hf->slot(Slot::kPhrases).data_offset);
        if (!old_form || hf->bytes.at(at) != 0 || hf->bytes.at(at + 1) != 0) {
          EXPECT_GT(t.count(), 0u);
        }
        for (size_t i = 0; i < t.count(); ++i) ASSERT_TRUE(GetPhrase(*hf, i)) << "phrase " << i;
        if (t.count() > 0) {
          EXPECT_EQ(t.offsets.back(), t.text.size());
        }
      }

      // The topic walk.
      const WalkCounts got = WalkTopics(*hf);
      EXPECT_FALSE(got.stream_failed);
      EXPECT_EQ(got.position_mismatches, 0);
      const Row& want = facts.at(name);
      EXPECT_EQ(got.topics, std::stol(want.at("topics")));
      EXPECT_EQ(got.text_records, std::stol(want.at("text_records")));
      EXPECT_EQ(got.table_records, std::stol(want.at("table_records")));
      for (const auto& w : diag.warnings) EXPECT_EQ(w.id, kWarnCompiledBy) << w.text;
      embedded += got.embedded_objects;
      CloseHelpFile(std::move(hf));
    }
  }
  EXPECT_EQ(embedded, 878);
}

}  // namespace
}  // namespace quorvex
