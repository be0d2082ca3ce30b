// Fuzz target: the topic walk (topic block stream, text expansion, record decoders) on arbitrary
// bytes.
//
// The input is opened as a help file and walked twice: by the walk itself, and read ahead on a
// second thread through a ring of the smallest size (which wraps and sends large records beside
// it). Properties checked besides memory safety: a decoded paragraph has one text string more
// than commands, and the second walk decodes the same text, with the same warnings in the same
// order, as the first.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/container.h"
#include "core/topic_decoder.h"
#include "core/topic_read_ahead.h"
#include "core/topic_walk.h"

namespace {

using namespace quorvex;

/// Records read per walk; keeps each run short.
constexpr size_t kMaxRecords = 20000;

uint64_t Add(uint64_t sum, std::string_view text) {
  for (char c : text) sum = sum * 1099511628211ULL + static_cast<uint8_t>(c);
  return sum;
}

uint64_t Check(uint64_t sum, const Paragraph& p) {
  if (p.texts.size() != p.commands.size() + 1) std::abort();
  for (std::string_view t : p.texts) sum = Add(sum, t);
  return sum;
}

/// One walk; returns a checksum of the text decoded.
template <typename W>
uint64_t Walk(W& walk) {
  uint64_t sum = 0;
  for (size_t n = 0; n < kMaxRecords; ++n) {
    const TopicRecord* r = walk.Next();
    if (!r) break;
    sum = Add(sum, r->header.text);
    if (r->kind == TopicRecord::Kind::kParagraph) sum = Check(sum, r->paragraph);
    if (r->kind == TopicRecord::Kind::kTable)
      for (const CellParagraph& c : r->table.cells) sum = Check(sum, c.paragraph);
  }
  return sum;
}

/// The decoders straight on the input: as a paragraph, a table row and a topic header, with
/// the input's own bytes as text.
void DecodeDirectly(const uint8_t* data, size_t size) {
  Bytes bytes(data, size);
  std::string text(reinterpret_cast<const char*>(data), size);
  int32_t adjustment = 0;
  TextCursor a(text);
  Check(0, DecodeParagraphRecord(kRecordParagraph, bytes, a, adjustment));
  TextCursor b(text);
  for (const CellParagraph& c : DecodeTableRecord(bytes, b, adjustment).cells)
    Check(0, c.paragraph);
  DecodeTopicHeader(bytes, text);
  DecodeTopicLinkHeader(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RecordingDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  DecodeDirectly(data, size);
  try {
    auto hf =
        OpenHelpFileFromBytes(std::vector<uint8_t>(data, data + size), "FUZZ.HLP", 0, session);
    if (!hf) return 0;
    diagnostics.warnings.clear();
    uint64_t first = 0, second = 0;
    {
      TopicWalk walk(*hf);
      first = Walk(walk);
    }
    const std::vector<WarningRecord> warnings = std::move(diagnostics.warnings);
    diagnostics.warnings.clear();
    {
      TopicReadAhead ahead(*hf, true, kMinReadAheadBytes);
      second = Walk(ahead);
    }
    if (second != first || diagnostics.warnings.size() != warnings.size()) std::abort();
    for (size_t i = 0; i < warnings.size(); ++i)
      if (diagnostics.warnings[i].id != warnings[i].id ||
          diagnostics.warnings[i].text != warnings[i].text)
        std::abort();
    CloseHelpFile(std::move(hf));
  } catch (const FatalException&) {
  }
  return 0;
}
