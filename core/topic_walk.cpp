#include "core/topic_walk.h"

#include <algorithm>

#include "core/help_file.h"
#include "core/text_expansion.h"
#include "core/topic_decoder.h"
#include "core/topic_stream.h"

namespace quorvex {

namespace {

/// A record's part is read in pieces of this size, so that a size the record only claims
/// allocates no more than the data that is there and one piece.
constexpr size_t kPartPiece = size_t{1} << 16;
/// HC30 marks the last topic with a first TopicHeader field of this value or less.
constexpr int32_t kHc30LastTopicMark = 8;
/// A compressed block expands to at most this many times its stored size.
constexpr size_t kBlockExpansion = 6;

bool IsTextRecord(uint8_t type) {
  return type == kRecordParagraphHc30 || type == kRecordParagraph || type == kRecordTable;
}

TopicRecord::Kind RecordKind(uint8_t type) {
  switch (type) {
    case kRecordParagraphHc30:
    case kRecordParagraph:
      return TopicRecord::Kind::kParagraph;
    case kRecordTable:
      return TopicRecord::Kind::kTable;
    case kRecordTopicHeader:
      return TopicRecord::Kind::kTopicHeader;
    default:
      return TopicRecord::Kind::kOther;
  }
}

}  // namespace

int32_t DecodeRecordContents(Bytes format, std::string_view text, TopicRecord& to) {
  TextCursor cursor(text);
  int32_t position_adjustment = 0;
  switch (to.kind) {
    case TopicRecord::Kind::kParagraph:
      DecodeParagraphRecordInto(to.link.type, format, cursor, position_adjustment, to.paragraph);
      break;
    case TopicRecord::Kind::kTable:
      DecodeTableRecordInto(format, cursor, position_adjustment, to.table);
      break;
    case TopicRecord::Kind::kTopicHeader:
      to.header = DecodeTopicHeader(format, text);
      break;
    case TopicRecord::Kind::kOther:
      break;
  }
  return position_adjustment;
}

TopicWalk::TopicWalk(HelpFile& hf, bool headers_only)
    : hf_(hf),
      last_(!hf.slot(Slot::kTopic).present()),
      headers_only_(headers_only),
      max_part_(MaxPartSize()) {}

TopicWalk::~TopicWalk() {
  ResetTopicStream(hf_);
}

int32_t TopicWalk::block() const {
  return std::max<int32_t>(0, hf_.topic_stream.block);
}

bool TopicWalk::ReadPart(std::vector<uint8_t>& out, size_t n) {
  // The list keeps its memory from record to record: it grows (and clears what it adds) only
  // beyond the largest part read so far, and only as far as the data arrives.
  for (size_t at = 0; at < n;) {
    const size_t piece = std::min(n - at, kPartPiece);
    if (out.size() < at + piece) out.resize(at + piece);
    const std::span<uint8_t> into = std::span<uint8_t>(out).subspan(at, piece);
    if (ReadTopicBytes(hf_, into, topic_offset_, new_block_) != piece) return false;
    at += piece;
  }
  out.resize(n);
  return true;
}

size_t TopicWalk::MaxPartSize() const {
  const TopicGeometry g = TopicGeometryOf(hf_);
  const size_t blocks = static_cast<uint32_t>(hf_.slot(Slot::kTopic).size) / g.block_size + 1;
  return blocks * g.data_size() * (hf_.compressed ? kBlockExpansion : 1);
}

std::string_view ExpandRecordText(const HelpFile& hf, Bytes stored, PhraseCodes codes,
                                  std::string& buffer) {
  // Help compilers never give a record more expanded text than the viewer's record buffer of
  // kTopicTextCapacity bytes holds; a record that announces more is cut there (warning), so
  // that phrases repeated without end cannot multiply the output.
  return ExpandTopicTextInBuffer(hf, stored, codes, kTopicTextCapacity, buffer);
}

const TopicRecord* TopicWalk::Next() {
  if (!ReadNext()) return nullptr;
  return FinishNext(!headers_only_ || record_.link.type == kRecordTopicHeader);
}

bool TopicWalk::ReadNext() {
  if (last_) return false;
  TopicRecord& r = record_;
  Diagnostics& diagnostics = hf_.diagnostics();
  // Where the previous record's link pointed (the first record lies just after the header).
  r.position = hf_.topic_stream.next_position;
  if (!ReadPart(head_, kTopicLinkHeaderSize)) {
    // An empty |TOPIC has no first record; that is reported as a file without topics.
    if (records_read_ > 0) diagnostics.Warning(kWarnTopicRecordLost, topic_number_);
    last_ = true;
    return false;
  }
  ++records_read_;
  r.link = DecodeTopicLinkHeader(head_);
  r.browse_topic = hf_.is_hc30 ? topic_number_ + 1 : static_cast<int32_t>(topic_offset_);
  adds_previous_adjustment_ = !new_block_;
  if (!new_block_) topic_offset_ += position_adjustment_;
  position_adjustment_ = 0;
  new_block_ = false;

  r.topic_offset = topic_offset_;
  r.text_length = r.link.text_length > 0 ? static_cast<uint32_t>(r.link.text_length) : 0;
  r.non_scrolling = false;
  if (IsTextRecord(r.link.type)) {
    topic_offset_ += r.text_length;
    r.non_scrolling = static_cast<uint32_t>(r.link.next) <= static_cast<uint32_t>(scroll_start_);
  }

  // The parts of the record: FormatPart, then the stored TextPart.
  const bool has_phrase_table =
      hf_.slot(Slot::kPhrases).present() || hf_.slot(Slot::kPhrIndex).present();
  const int64_t format_size =
      int64_t{r.link.format_length} - static_cast<int64_t>(kTopicLinkHeaderSize);
  // Without a phrase table the text is stored as it is, its expanded length long; it cannot
  // be longer than what the record holds after its FormatPart.
  const int64_t room = int64_t{r.link.record_size} - int64_t{r.link.format_length};
  int64_t stored_size = has_phrase_table ? room : int64_t{r.link.text_length};
  if (!has_phrase_table && room >= 0 && stored_size > room) {
    diagnostics.Warning(kWarnTopicTextOutside, topic_number_, stored_size, room);
    stored_size = room;
  }
  const size_t max_part = max_part_;
  if (format_size < 0 || stored_size < 0 || static_cast<uint64_t>(format_size) > max_part ||
      static_cast<uint64_t>(stored_size) > max_part) {
    diagnostics.Warning(kWarnTopicRecordDamaged, topic_number_);
    last_ = true;
    return false;
  }
  if (!ReadPart(format_, static_cast<size_t>(format_size)) ||
      !ReadPart(stored_, static_cast<size_t>(stored_size))) {
    diagnostics.Warning(kWarnTopicStreamEnds, topic_number_);
    last_ = true;
    return false;
  }
  r.has_text = stored_size > 0;
  return true;
}

Bytes TopicWalk::stored_text() const {
  if (!record_.has_text) return {};
  return Bytes(stored_.data(), std::min<size_t>(stored_.size(), record_.text_length));
}

PhraseCodes TopicWalk::phrase_codes() const {
  return PhraseCodesFor(hf_, stored_.size(), record_.text_length);
}

const TopicRecord* TopicWalk::FinishNext(bool expand, bool decode_text_records) {
  TopicRecord& r = record_;
  Diagnostics& diagnostics = hf_.diagnostics();
  text_ = {};
  if (r.has_text && expand)
    text_ = ExpandRecordText(hf_, stored_text(), phrase_codes(), text_buffer_);

  r.kind = RecordKind(r.link.type);
  const bool decoded = decode_text_records || (r.kind != TopicRecord::Kind::kParagraph &&
                                               r.kind != TopicRecord::Kind::kTable);
  if (decoded) position_adjustment_ += DecodeRecordContents(format(), text_, r);
  switch (r.kind) {
    case TopicRecord::Kind::kParagraph:
      if (decoded) WarnParagraphProblems(diagnostics, r.paragraph);
      break;
    case TopicRecord::Kind::kTable:
      if (decoded) WarnTableProblems(diagnostics, r.table);
      break;
    case TopicRecord::Kind::kTopicHeader:
      topic_seen_ = true;
      topic_number_ = hf_.is_hc30 ? topic_number_ + 1 : r.header.topic_number;
      scroll_start_ = r.header.scroll_start;
      if (hf_.is_hc30 && r.header.first_field <= kHc30LastTopicMark) last_ = true;
      break;
    case TopicRecord::Kind::kOther:
      diagnostics.Warning(kWarnUnknownRecord, r.link.type);
      break;
  }
  r.topic_number = topic_number_;
  if (r.link.next == -1) last_ = true;
  return &r;
}

}  // namespace quorvex
