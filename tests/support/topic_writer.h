// Writers of "|TOPIC" and of the parts of TopicLink records, for building test inputs.
//
// "|TOPIC" is a sequence of blocks of 4096 bytes (2048 for HC30): a 12-byte block header
// (written as 0xFF bytes here; readers ignore it) and the block's data. The records form one
// stream cut into pieces of D bytes, one piece per block: stored as they are (D = block size -
// 12), or LZ77-compressed per block. A TopicPosition is (block << shift) + 12 + index in the
// block's piece, shift 14 (11 for HC30).
//
// A TopicLink record: record size i32 (header + format part + stored text), expanded text
// length i32, previous record i32, next record i32 (a TopicPosition; for HC30 the distance from
// this record's position; -1 after the last record), 21 + format part size i32, type u8; then
// the format part and the stored text.
//
// Compressed numbers, all little-endian, bit 0 of the first byte selecting the long form:
//   signed short:   1 byte 2v + 128            or 2 bytes 2v + 32769 (2v + 32767 when v < 0)
//   signed long:    2 bytes 2v + 32768          or 4 bytes 2v + 2^31 + 1 (2v + 2^31 - 1 when
//                                                  v < 0); the long forms halve toward zero
//   unsigned short: 1 byte 2v                   or 2 bytes 2v + 1
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/byte_builder.h"
#include "tests/support/lz77_encoder.h"

namespace quorvex::testsupport {

// Compressed numbers: the short form when the value fits it, else the long form.
std::vector<uint8_t> EncodeSignedShort(int v);
std::vector<uint8_t> EncodeSignedLong(int32_t v);
std::vector<uint8_t> EncodeUnsignedShort(unsigned v);

/// One record to place in the stream.
struct TopicRecordSpec {
  uint8_t type = 0x20;
  std::vector<uint8_t> format_part = {};
  std::vector<uint8_t> text_part = {};          // as stored
  std::optional<int32_t> expanded_length = {};  // default: text_part.size()
  std::optional<int32_t> record_size = {};      // overrides the computed size (malformed files)
  std::optional<int32_t> next = {};             // overrides the computed next field
  std::optional<int32_t> format_length = {};    // overrides 21 + format_part.size()
};

/// The bytes of one record with the given next and previous fields.
std::vector<uint8_t> TopicLinkRecord(const TopicRecordSpec& spec, int32_t next,
                                     int32_t previous = -1);

struct TopicFileOptions {
  bool hc30 = false;        // 2048-byte blocks, shift 11, next fields as distances
  bool compressed = false;  // LZ77 per block
  /// Stream bytes per block. Default: block size - 12 when stored; for compressed blocks 3630,
  /// which literal-only LZ77 turns into exactly 4084 bytes (453 full groups and one of 6).
  uint32_t stream_bytes_per_block = 0;
  /// Compressed blocks whose encoding is shorter than the block's data are padded with zeros.
  Lz77Mode mode = Lz77Mode::kLiteralsOnly;
};

/// Places records one after the other in the topic stream and builds "|TOPIC".
class TopicFileWriter {
 public:
  explicit TopicFileWriter(TopicFileOptions options = {});

  /// Appends a record where the previous one ended; returns its index.
  size_t Add(TopicRecordSpec spec);
  /// Moves the next record to the start of the next block; the rest of the current block is
  /// `filler` bytes (nothing when the stream is already at a block start).
  void FillToBlockEnd(uint8_t filler = 0);
  /// Moves the next record forward so that it starts `before_end` bytes before the end of the
  /// current block's piece, filling the gap with `filler`.
  void StartBeforeBlockEnd(uint32_t before_end, uint8_t filler = 0);

  /// The decompressed stream (all pieces back to back) with every next field filled in.
  std::vector<uint8_t> Stream() const;
  /// The "|TOPIC" data.
  std::vector<uint8_t> Build() const;

  /// TopicPosition of record `i`.
  uint32_t Position(size_t i) const;
  /// TopicPosition where the next record added will start (tests aim links at it).
  uint32_t NextPosition() const { return PositionOfOffset(end_); }
  /// Offset of record `i` in the decompressed stream.
  size_t StreamOffset(size_t i) const { return records_.at(i).offset; }
  size_t record_count() const { return records_.size(); }
  uint32_t block_size() const { return options_.hc30 ? 2048 : 4096; }
  uint32_t shift() const { return options_.hc30 ? 11 : 14; }
  uint32_t piece_size() const { return piece_; }

 private:
  struct Placed {
    TopicRecordSpec spec;
    size_t offset;
  };
  uint32_t PositionOfOffset(size_t offset) const;

  TopicFileOptions options_;
  uint32_t piece_;
  std::vector<Placed> records_;
  std::vector<std::pair<size_t, std::vector<uint8_t>>> fills_;  // filler bytes at offsets
  size_t end_ = 0;  // stream offset where the next record goes
};

/// Builds a paragraph's formatting data (the part after the numbers that the record type puts
/// in front of it): the 6-byte ParagraphInfo header (two bytes, a word, the bits), the optional
/// fields in bit order, then commands, then 0xFF.
class ParagraphBuilder {
 public:
  // The optional fields, compressed signed shorts, by their bit.
  ParagraphBuilder& UnknownPair(int a, int b) { return Set(0x0001, {a, b}); }
  ParagraphBuilder& SpaceBefore(int v) { return Set(0x0002, {v}); }
  ParagraphBuilder& SpaceAfter(int v) { return Set(0x0004, {v}); }
  ParagraphBuilder& LineSpacing(int v) { return Set(0x0008, {v}); }
  ParagraphBuilder& LeftIndent(int v) { return Set(0x0010, {v}); }
  ParagraphBuilder& RightIndent(int v) { return Set(0x0020, {v}); }
  ParagraphBuilder& FirstIndent(int v) { return Set(0x0040, {v}); }
  ParagraphBuilder& Border(uint8_t flags);
  /// A tab stop: position 0..0x3FFF; with `type` the flag 0x4000 and the type byte follow.
  ParagraphBuilder& Tab(unsigned position, std::optional<uint8_t> type = std::nullopt);
  ParagraphBuilder& Bits(uint16_t extra) {  // alignment and keep bits
    bits_ |= extra;
    return *this;
  }

  // Commands.
  ParagraphBuilder& Font(uint16_t n) { return Raw(ByteBuilder().u8(0x80).u16(n).take()); }
  /// A command without operands (0x81, 0x82, ...).
  ParagraphBuilder& Command(uint8_t code) { return Raw({code}); }
  ParagraphBuilder& Raw(std::vector<uint8_t> bytes) {
    commands_.bytes(bytes);
    return *this;
  }
  ParagraphBuilder& Macro(std::string_view text, bool no_font = false);
  ParagraphBuilder& JumpShort(uint8_t code, uint32_t hash) {
    return Raw(ByteBuilder().u8(code).u32(hash).take());
  }
  /// An extended hotspot (0xEA, 0xEB, 0xEE, 0xEF).
  ParagraphBuilder& JumpExtended(uint8_t code, uint32_t hash, std::optional<uint8_t> window,
                                 std::optional<std::string> window_name,
                                 std::optional<std::string> file_name);
  /// Object of type 5: 6 bytes of window data, then the text and its NUL; size = 6 + text + 1.
  ParagraphBuilder& EmbeddedObject(uint8_t code, std::string_view text,
                                   std::vector<uint8_t> window_data = {0, 0, 0, 0, 0, 0});
  /// A picture by reference (0x22): size 4, character count, stored flag 0, picture number.
  ParagraphBuilder& PictureRef(uint8_t code, uint16_t number, unsigned char_count = 1);
  /// A stored picture (0x22): size = bytes + 2, character count, stored flag 1, the bytes.
  ParagraphBuilder& PictureStored(uint8_t code, std::vector<uint8_t> bytes,
                                  unsigned char_count = 1);
  /// An HC30 picture (type 3): size 4, stored flag 0, picture number.
  ParagraphBuilder& PictureHc30(uint8_t code, uint16_t number);

  /// The formatting data, closed with 0xFF unless `end` is false.
  std::vector<uint8_t> Build(bool end = true) const;

 private:
  ParagraphBuilder& Set(uint16_t bit, std::vector<int> values);
  uint16_t bits_ = 0;
  std::map<uint16_t, std::vector<int>> fields_;  // compressed fields by their bit
  uint8_t border_ = 0;
  std::vector<std::vector<uint8_t>> tabs_;
  ByteBuilder commands_;
};

/// The FormatPart of a paragraph record: a compressed signed long (the topic size), for type
/// 0x20 a compressed unsigned short (the topic length), then the paragraph.
std::vector<uint8_t> ParagraphFormatPart(const std::vector<uint8_t>& paragraph,
                                         uint8_t type = 0x20);

/// A table row's layout: column count, type, width factor (type 0), columns of (width,
/// spacing).
struct TableColumnSpec {
  uint16_t width;
  uint16_t spacing;
};
std::vector<uint8_t> TableLayout(uint8_t type, const std::vector<TableColumnSpec>& columns,
                                 uint16_t width_factor = 32767);
/// A cell: the 5-byte cell header (column, 4 unused bytes) and the paragraph.
std::vector<uint8_t> TableCell(uint8_t column, const std::vector<uint8_t>& paragraph);
/// The end of a row's cells: column 0xFF (as int16 -1), then 3 bytes.
std::vector<uint8_t> TableEnd();
/// The FormatPart of a table record: compressed signed long, compressed unsigned short, then
/// the layout, the cells and the end.
std::vector<uint8_t> TableFormatPart(const std::vector<uint8_t>& layout,
                                     const std::vector<std::vector<uint8_t>>& cells);

/// The FormatPart of a topic header: first field, browse back, browse forward, topic number,
/// non-scroll position, scroll start, next topic (28 bytes; HC30 headers are 12 bytes: pass
/// `hc30`).
std::vector<uint8_t> TopicHeaderPart(int32_t first_field, int32_t browse_back,
                                     int32_t browse_forward, int32_t topic_number,
                                     int32_t non_scroll, int32_t scroll_start, bool hc30 = false);

/// Text strings joined with NULs (each one followed by a NUL).
std::vector<uint8_t> TextStrings(const std::vector<std::string>& strings);

}  // namespace quorvex::testsupport
