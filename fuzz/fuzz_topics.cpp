// Fuzz target: the topic block stream, text expansion and record decoders on arbitrary bytes.
//
// The input is opened as a help file; every record of the topic stream is read as the topic
// walk reads it, expanded and decoded. Properties checked besides memory safety: a decoded
// paragraph has one text string more than commands, expanded text stays within its capacity,
// and a second pass after a reset delivers the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/container.h"
#include "rtf/text_expansion.h"
#include "rtf/topic_decoder.h"

namespace {

using namespace quorvex;

/// Records read per pass; keeps each run short.
constexpr size_t kMaxRecords = 20000;
/// Parts larger than this are not read (the walk's record buffers are far smaller).
constexpr int64_t kMaxPartSize = 1 << 20;

void Check(const Paragraph& p) {
  if (p.texts.size() != p.commands.size() + 1) std::abort();
}

/// One pass over the topic stream; returns a checksum of the bytes delivered.
uint64_t Walk(HelpFile& hf) {
  const bool has_phrases = hf.slot(Slot::kPhrases).present() || hf.slot(Slot::kPhrIndex).present();
  uint64_t sum = 0;
  uint32_t base = 0;
  bool new_block = false;
  int32_t adjustment = 0;
  auto add = [&](const std::vector<uint8_t>& b) {
    for (uint8_t c : b) sum = sum * 1099511628211ULL + c;
  };
  for (size_t n = 0; n < kMaxRecords; ++n) {
    std::vector<uint8_t> header(kTopicLinkHeaderSize);
    if (ReadTopicBytes(hf, header, base, new_block) == 0) break;
    add(header);
    TopicLinkHeader h = DecodeTopicLinkHeader(Bytes(header.data(), header.size()));
    int64_t format_size = int64_t{h.format_length} - int64_t{kTopicLinkHeaderSize};
    int64_t stored = has_phrases ? int64_t{h.record_size} - h.format_length : h.text_length;
    if (format_size < 0 || stored < 0 || format_size > kMaxPartSize || stored > kMaxPartSize) {
      break;
    }
    std::vector<uint8_t> format(static_cast<size_t>(format_size));
    std::vector<uint8_t> text_part(static_cast<size_t>(stored));
    if (!format.empty() && ReadTopicBytes(hf, format, base, new_block) == 0) break;
    if (!text_part.empty() && ReadTopicBytes(hf, text_part, base, new_block) == 0) break;
    add(format);
    add(text_part);
    size_t expanded_length = static_cast<size_t>(h.text_length < 0 ? 0 : h.text_length);
    size_t used = std::min(text_part.size(), expanded_length);
    std::string text = ExpandTopicText(hf, Bytes(text_part.data(), used),
                                       PhraseCodesFor(hf, text_part.size(), expanded_length));
    if (text.size() > kTopicTextCapacity) std::abort();
    TextCursor cursor(text);
    Bytes format_bytes(format.data(), format.size());
    switch (h.type) {
      case kRecordTopicHeader:
        DecodeTopicHeader(format_bytes, text);
        break;
      case kRecordParagraphHc30:
      case kRecordParagraph:
        Check(DecodeParagraphRecord(h.type, format_bytes, cursor, adjustment));
        break;
      case kRecordTable: {
        TableRow row = DecodeTableRecord(format_bytes, cursor, adjustment);
        for (const CellParagraph& c : row.cells) Check(c.paragraph);
        break;
      }
      default:
        break;
    }
    if (h.next == -1) break;
  }
  ResetTopicStream(hf);
  return sum;
}

/// The decoders straight on the input: as a paragraph, a table row and a topic header, with
/// the input's own bytes as text.
void DecodeDirectly(const uint8_t* data, size_t size) {
  Bytes bytes(data, size);
  std::string text(reinterpret_cast<const char*>(data), size);
  int32_t adjustment = 0;
  TextCursor a(text);
  Check(DecodeParagraphRecord(kRecordParagraph, bytes, a, adjustment));
  TextCursor b(text);
  TableRow row = DecodeTableRecord(bytes, b, adjustment);
  for (const CellParagraph& c : row.cells) Check(c.paragraph);
  DecodeTopicHeader(bytes, text);
  DecodeTopicLinkHeader(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullDiagnostics diagnostics;
  static OutputDir output(std::filesystem::temp_directory_path() / "quorvex-fuzz-topics");
  ConversionSession session(diagnostics, output);
  DecodeDirectly(data, size);
  try {
    auto hf =
        OpenHelpFileFromBytes(std::vector<uint8_t>(data, data + size), "FUZZ.HLP", 0, session);
    if (!hf) return 0;
    uint64_t first = Walk(*hf);
    if (Walk(*hf) != first) std::abort();
    CloseHelpFile(std::move(hf));
  } catch (const FatalException&) {
  }
  return 0;
}
