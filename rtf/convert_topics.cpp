#include "rtf/convert_topics.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/topic_stream.h"
#include "rtf/document_frame.h"
#include "rtf/footnotes.h"
#include "rtf/paragraph_writer.h"
#include "rtf/table_writer.h"
#include "rtf/text_expansion.h"
#include "rtf/topic_decoder.h"

namespace quorvex {

namespace {

/// The expanded text of a record normally fits 65280 bytes; a record that announces more gets
/// room for all of it, up to this bound (far beyond any real topic).
constexpr size_t kMaxExpandedText = 16u << 20;
/// HC30 marks the last topic with a first TopicHeader field of this value or less.
constexpr int32_t kHc30LastTopicMark = 8;

/// Everything the walk keeps from one record to the next.
struct WalkState {
  std::unique_ptr<OutputSink> rtf;
  int file_number = 1;
  int topics_in_file = 0;
  bool first_topic_of_file = true;
  int32_t topic_number = 0;
  uint32_t topic_offset = 0;
  int32_t position_adjustment = 0;
  bool new_block = false;
  int32_t scroll_start = 0;
  bool context_missing = false;
  bool after_topic_header = true;
  bool last_record = false;
  bool topic_seen = false;  // a topic header has been read
};

class TopicWalk {
 public:
  TopicWalk(HelpFile& hf, std::string_view base_name, OutputSink& project, bool main_pass)
      : hf_(hf), base_name_(base_name), project_(project), main_pass_(main_pass) {}

  void Run();

 private:
  bool ReadBytes(std::vector<uint8_t>& out, size_t n);
  void TopicHeader(const TopicHeaderRecord& header);
  void StartFile();
  void EnsureFile();
  void WriteIndex();
  int ProgressPercent() const;
  /// Largest part a record can have: all the decompressed data |TOPIC can hold.
  size_t MaxPartSize() const;

  HelpFile& hf_;
  std::string base_name_;
  OutputSink& project_;
  bool main_pass_;
  WalkState s_;
};

bool TopicWalk::ReadBytes(std::vector<uint8_t>& out, size_t n) {
  out.assign(n, 0);
  if (n == 0) return true;
  return ReadTopicBytes(hf_, std::span<uint8_t>(out), s_.topic_offset, s_.new_block) == n;
}

size_t TopicWalk::MaxPartSize() const {
  const TopicGeometry g = TopicGeometryOf(hf_);
  const size_t blocks = static_cast<uint32_t>(hf_.slot(Slot::kTopic).size) / g.block_size + 1;
  return blocks * g.data_size() * (hf_.compressed ? 6 : 1);
}

int TopicWalk::ProgressPercent() const {
  const TopicGeometry g = TopicGeometryOf(hf_);
  const bool for_print = hf_.option(kForPrint);
  const int64_t span = for_print ? 50 : 25;
  const int64_t base = (main_pass_ && !for_print) ? 25 : 0;
  // A |TOPIC smaller than one block would divide by zero.
  const int64_t blocks =
      std::max<int64_t>(1, static_cast<uint32_t>(hf_.slot(Slot::kTopic).size) / g.block_size);
  const int64_t block = std::max<int32_t>(0, hf_.topic_stream.block);
  return static_cast<int>(
      std::min<int64_t>(100, 50 + base + (block * span * 2 + blocks) / (2 * blocks)));
}

void TopicWalk::StartFile() {
  s_.topics_in_file = 0;
  if (s_.rtf) EndRtfFile(hf_, *s_.rtf);
  const bool split = hf_.option(kSplitRtf);
  std::string name = base_name_ + (split ? std::to_string(s_.file_number) : "") + ".RTF";
  const bool first_file = s_.file_number == 1;
  ++s_.file_number;
  if (main_pass_) {
    s_.rtf = hf_.session->output.CreateText(name);
    if (!s_.rtf) FatalError(LoadText(kTextCantCreate), name);
    BeginRtfFile(hf_, project_, *s_.rtf, name);
    if (hf_.option(kToc) && first_file) {
      s_.rtf->Write("{\\b\\f0\\fs40 " + LoadText(kTextContents) +
                    "}\\par {\\field\\fldedit {\\*\\fldinst TOC \\\\f}}\\page ");
    }
  } else {
    s_.rtf = OutputSink::Null();
  }
  s_.first_topic_of_file = true;
}

/// A text record before the first topic header (a damaged file) has no file to go to: it opens
/// the first file, so that its text is kept, and that file counts as holding a topic already.
void TopicWalk::EnsureFile() {
  if (s_.rtf) return;
  StartFile();
  s_.first_topic_of_file = false;
}

void TopicWalk::TopicHeader(const TopicHeaderRecord& header) {
  s_.topic_seen = true;
  if (s_.context_missing && !hf_.is_hc30)
    hf_.diagnostics().Warning(kWarnNoContextId, s_.topic_number);
  s_.topic_number = hf_.is_hc30 ? s_.topic_number + 1 : header.topic_number;

  bool new_file = s_.first_topic_of_file;
  if (!new_file) {
    const int before = s_.topics_in_file++;
    new_file = hf_.option(kSplitRtf) && before > kSplitTopicThreshold;
  }
  if (new_file) StartFile();

  if (hf_.is_hc30 && header.first_field <= kHc30LastTopicMark) s_.last_record = true;
  s_.scroll_start = header.scroll_start;
  if (!s_.first_topic_of_file)
    s_.rtf->Write(hf_.option(kPageBreak) ? "\\page\\pard\n" : "\\par\\pard\\par\n");
  s_.first_topic_of_file = false;
  if (!hf_.option(kForPrint)) s_.context_missing = true;

  if (!header.text.empty()) WriteTitle(hf_, *s_.rtf, header.text, header.browse_back != -1);
  s_.after_topic_header = true;
}

void TopicWalk::WriteIndex() {
  s_.rtf->Write("\\page{\\b\\f0\\fs40\\s24 " + LoadText(kTextIndex) +
                "}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h \"\\emdash A\\emdash \" "
                "\\\\c \"2\" }}}");
}

void TopicWalk::Run() {
  hf_.main_pass = main_pass_;
  hf_.diagnostics().Progress(0, main_pass_ ? kPhaseReadingTopics : kPhaseScanningBrowse);
  if (main_pass_) project_.Write("\n[Files]\n");

  const bool has_phrase_table =
      hf_.slot(Slot::kPhrases).present() || hf_.slot(Slot::kPhrIndex).present();
  const size_t max_part = MaxPartSize();
  std::vector<uint8_t> head, format_part, text_part;
  size_t records_read = 0;

  while (!s_.last_record && hf_.slot(Slot::kTopic).present()) {
    hf_.diagnostics().Progress(ProgressPercent(), 0);
    if (!ReadBytes(head, kTopicLinkHeaderSize)) {
      // An empty |TOPIC has no first record; that is reported as a file without topics.
      if (records_read > 0) hf_.diagnostics().Warning(kWarnTopicRecordLost, s_.topic_number);
      break;
    }
    ++records_read;
    const TopicLinkHeader link = DecodeTopicLinkHeader(head);
    const int32_t browse_topic =
        hf_.is_hc30 ? s_.topic_number + 1 : static_cast<int32_t>(s_.topic_offset);
    (void)browse_topic;  // the browse sequences read it
    if (!s_.new_block) s_.topic_offset += s_.position_adjustment;
    s_.position_adjustment = 0;
    s_.new_block = false;

    const bool text_record = link.type == kRecordParagraphHc30 || link.type == kRecordParagraph ||
                             link.type == kRecordTable;
    const uint32_t text_length = link.text_length > 0 ? static_cast<uint32_t>(link.text_length) : 0;
    bool non_scrolling = false;
    if (text_record) {
      s_.topic_offset += text_length;
      non_scrolling = static_cast<uint32_t>(link.next) <= static_cast<uint32_t>(s_.scroll_start);
    }

    // The parts of the record: FormatPart, then the stored TextPart.
    const int64_t format_size =
        static_cast<int64_t>(link.format_length) - static_cast<int64_t>(kTopicLinkHeaderSize);
    const int64_t stored_size = has_phrase_table ? static_cast<int64_t>(link.record_size) -
                                                       static_cast<int64_t>(link.format_length)
                                                 : static_cast<int64_t>(link.text_length);
    if (format_size < 0 || stored_size < 0 || static_cast<uint64_t>(format_size) > max_part ||
        static_cast<uint64_t>(stored_size) > max_part) {
      hf_.diagnostics().Warning(kWarnTopicRecordDamaged, s_.topic_number);
      break;
    }
    if (!ReadBytes(format_part, static_cast<size_t>(format_size)) ||
        !ReadBytes(text_part, static_cast<size_t>(stored_size))) {
      hf_.diagnostics().Warning(kWarnTopicStreamEnds, s_.topic_number);
      break;
    }
    std::string text;
    if (stored_size > 0) {
      const size_t n = std::min<size_t>(text_part.size(), text_length);
      const size_t capacity = std::clamp<size_t>(text_length, kTopicTextCapacity, kMaxExpandedText);
      text = ExpandTopicText(hf_, Bytes(text_part.data(), n),
                             PhraseCodesFor(hf_, text_part.size(), text_length), capacity);
    }

    ByteReader format(Bytes(format_part.data(), format_part.size()));
    TextCursor cursor(text);
    switch (link.type) {
      case kRecordParagraphHc30:
      case kRecordParagraph: {
        s_.after_topic_header = false;
        ReadCompressedSignedLong(format);
        if (link.type == kRecordParagraph) ReadCompressedUnsignedShort(format);
        const Paragraph para = DecodeParagraph(format, cursor, s_.position_adjustment);
        WarnParagraphProblems(hf_.diagnostics(), para);
        EnsureFile();
        WriteParagraph(hf_, *s_.rtf, para, non_scrolling, false, false);
        break;
      }
      case kRecordTable: {
        EnsureFile();
        if (s_.after_topic_header) s_.rtf->Write("\\par");
        ReadCompressedSignedLong(format);
        ReadCompressedUnsignedShort(format);
        const TableRow row = DecodeTableRow(format, cursor, s_.position_adjustment);
        WarnTableProblems(hf_.diagnostics(), row);
        WriteTable(hf_, *s_.rtf, row, non_scrolling);
        break;
      }
      case kRecordTopicHeader:
        TopicHeader(DecodeTopicHeader(format_part, text));
        break;
      default:
        hf_.diagnostics().Warning(kWarnUnknownRecord, link.type);
        break;
    }
    if (link.next == -1) s_.last_record = true;
  }

  ResetTopicStream(hf_);
  // A help file without a single topic still gets one well-formed RTF file.
  if (!s_.topic_seen && main_pass_) hf_.diagnostics().Warning(kWarnNoTopics);
  if (!s_.rtf) StartFile();
  if (hf_.option(kIndex)) WriteIndex();
  EndRtfFile(hf_, *s_.rtf);
  if (main_pass_) hf_.diagnostics().Progress(100, 0);
}

}  // namespace

void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project, bool main_pass) {
  TopicWalk(hf, base_name, project, main_pass).Run();
}

}  // namespace quorvex
