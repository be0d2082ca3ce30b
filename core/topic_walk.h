// The topic walk: every TopicLink record of |TOPIC, from the first to the last, read from the
// topic block stream, its text expanded and its parts decoded into the structures of
// topic_model.h. The walk writes nothing; the RTF conversion, the tests and the fuzz targets all
// read the topics through it.
//
// Besides the records it keeps the running positions that tie text to context strings and
// keywords: the TopicOffset (a character count that each text record advances by its expanded
// length, pictures by their character counts, and that every new topic block resets to the
// block's base) and the TopicPosition of each record (HC30 files name topics by it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/text_expansion.h"
#include "core/topic_model.h"

namespace quorvex {

struct HelpFile;

/// Where a record stands and what kind it is: everything about it but its decoded contents.
struct TopicRecordPlace {
  enum class Kind { kTopicHeader, kParagraph, kTable, kOther };
  Kind kind = Kind::kOther;
  TopicLinkHeader link;
  /// The topic number: counted from 1 for HC30, from the topic header otherwise. For a topic
  /// header it is already the number of the topic the header starts.
  int32_t topic_number = 0;
  /// TopicOffset where the record's text starts; a text record covers topic_offset to
  /// topic_offset + text_length - 1.
  uint32_t topic_offset = 0;
  /// The header's expanded text length (0 when it is negative).
  uint32_t text_length = 0;
  /// What the browse sequences identify a topic by: for HC30 the topic number, otherwise the
  /// TopicOffset before the previous record's pictures are added.
  int32_t browse_topic = 0;
  /// The TopicPosition of the record: (block << 14, << 11 for HC30) + 12 + index in the block.
  uint32_t position = 0;
  /// The record lies in its topic's non-scrolling region.
  bool non_scrolling = false;
  /// The record had a TextPart to expand (a record without one gives empty strings).
  bool has_text = false;
};

/// One decoded record and where it stands.
struct TopicRecord : TopicRecordPlace {
  TopicHeaderRecord header;  // kTopicHeader
  Paragraph paragraph;       // kParagraph
  TableRow table;            // kTable
};

/// Expands the stored text of a record (cut at kTopicTextCapacity, with a warning) into
/// `buffer`: the text is the view returned.
std::string_view ExpandRecordText(const HelpFile& hf, Bytes stored, PhraseCodes codes,
                                  std::string& buffer);

/// Decodes the contents of the record whose place `to` holds (its kind set) from its
/// FormatPart and expanded text, into `to`, reporting nothing. Returns what its pictures add
/// to the PositionAdjustment. (A reader on another thread decodes a record a second time so.)
int32_t DecodeRecordContents(Bytes format, std::string_view text, TopicRecord& to);

/// Walks the records of one help file once. Warnings go to the help file's diagnostics: a
/// record of unknown type (warning 20), decoding problems of paragraphs and tables, and the
/// reason a walk ends early (a damaged record, a stream that ends inside a record, a record
/// that cannot be found).
class TopicWalk {
 public:
  /// With `headers_only` the text of records other than topic headers is not expanded (their
  /// texts come out empty; their formatting is still decoded, for the running offsets).
  explicit TopicWalk(HelpFile& hf, bool headers_only = false);
  ~TopicWalk();
  TopicWalk(const TopicWalk&) = delete;
  TopicWalk& operator=(const TopicWalk&) = delete;

  /// The next record, or nullptr when the walk is over. The record stays valid until the next
  /// call.
  const TopicRecord* Next();
  /// The FormatPart and the expanded text of the record Next gave last (valid as long as it).
  Bytes format() const { return Bytes(format_.data(), format_.size()); }
  std::string_view text() const { return text_; }

  /// Next in two halves, for a reader that may leave the text's expansion to another thread.
  /// ReadNext reads the next record's header and parts (false when the walk is over; Next
  /// would give nullptr). FinishNext expands the text (without `expand`, the record is
  /// decoded without its text: its place and its reports do not depend on it) and decodes it.
  /// Without `decode_text_records` a paragraph or table is not decoded at all, for a reader
  /// whose taker decodes it: its decoding problems are not reported, its contents are not
  /// valid, and the character counts of its pictures are not added to the TopicOffsets of the
  /// records after it. The taker then reports the problems and adds the counts (see
  /// adds_previous_adjustment).
  bool ReadNext();
  const TopicRecord* FinishNext(bool expand, bool decode_text_records = true);
  /// True when the record read last had the pictures' character counts of the record before
  /// it added to its TopicOffset (not at the start of a topic block): a reset to a block's
  /// base came between them otherwise. The TopicOffset given as the browse sequences'
  /// topic (browse_topic) is taken before the counts are added.
  bool adds_previous_adjustment() const { return adds_previous_adjustment_; }
  /// The record read last: its place once ReadNext read it, its contents once FinishNext
  /// decoded them.
  const TopicRecord& record() const { return record_; }
  /// The stored text of the record read last, and the phrase codes it is written in.
  Bytes stored_text() const;
  PhraseCodes phrase_codes() const;
  /// Number of the topic block being read (0 before the first), for progress reports.
  int32_t block() const;
  /// True when Next has nothing more to give.
  bool done() const { return last_; }
  /// True once a topic header has been read.
  bool topic_seen() const { return topic_seen_; }

 private:
  /// Reads the next n bytes of the record into `out`. False on a short or failed read: what
  /// `out` then holds (its size included) is not the part, and the caller ends the walk.
  bool ReadPart(std::vector<uint8_t>& out, size_t n);
  /// Largest part a record can have: all the decompressed data |TOPIC can hold.
  size_t MaxPartSize() const;

  HelpFile& hf_;
  TopicRecord record_;
  std::vector<uint8_t> head_, format_, stored_;
  std::string text_buffer_;  // the expanded text is its start:
  std::string_view text_;
  uint32_t topic_offset_ = 0;
  int32_t position_adjustment_ = 0;
  int32_t topic_number_ = 0;
  int32_t scroll_start_ = 0;
  bool new_block_ = false;
  bool adds_previous_adjustment_ = false;
  bool last_ = false;
  bool topic_seen_ = false;
  bool headers_only_ = false;
  size_t records_read_ = 0;
  size_t max_part_ = 0;  // MaxPartSize, worked out once
};

}  // namespace quorvex
