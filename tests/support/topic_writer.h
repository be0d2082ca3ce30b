// Writers of the text of a help file for tests, from the file formats: LZ77, the compressed
// numbers, "|TOPIC" with its TopicLink records, paragraphs and tables, and the phrase tables.
//
// LZ77: groups of a flag byte and up to eight items, bit i (bit 0 first) marking item i a literal
// byte (0) or a back-reference (1), a word w: copy (w >> 12) + 3 bytes from (w & 0xFFF) + 1 back.
//
// Compressed numbers, little-endian, bit 0 of the first byte selecting the long form:
//   signed short:   1 byte 2v + 128   or 2 bytes 2v + 32769 (2v + 32767 when v < 0)
//   signed long:    2 bytes 2v + 32768 or 4 bytes 2v + 2^31 + 1 (2v + 2^31 - 1 when v < 0)
//   unsigned short: 1 byte 2v         or 2 bytes 2v + 1
//
// "|TOPIC": blocks of 4096 bytes (2048 for HC30), each a 12-byte header (0xFF bytes here; readers
// ignore it) and a piece of the record stream: stored (block size - 12 bytes) or LZ77 per block.
// A TopicPosition is (block << 14) + 12 + offset in the piece (<< 11 for HC30). A TopicLink
// record: size i32 (all of it), expanded text length i32, previous i32, next i32 (TopicPositions;
// for HC30 next is the distance from this record; -1 after the last), 21 + format part size i32,
// type u8, the format part, the stored text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

enum class Lz77Mode {
  kGreedy,        // the longest match at each position, the nearest of equal ones, overlaps too
  kLiteralsOnly,  // flag bytes of 0 and the bytes as they are
};
std::vector<uint8_t> Lz77Encode(std::span<const uint8_t> input, Lz77Mode mode = Lz77Mode::kGreedy);

// The short form when the value fits it, else the long form.
std::vector<uint8_t> EncodeSignedShort(int v);
std::vector<uint8_t> EncodeSignedLong(int32_t v);
std::vector<uint8_t> EncodeUnsignedShort(unsigned v);

struct TopicRecordSpec {
  uint8_t type = 0x20;
  std::vector<uint8_t> format_part = {};
  std::vector<uint8_t> text_part = {};          // as stored
  std::optional<int32_t> expanded_length = {};  // default: text_part.size()
  std::optional<int32_t> record_size = {};      // overrides the true size (malformed files)
  std::optional<int32_t> next = {};             // overrides the next field
};
std::vector<uint8_t> TopicLinkRecord(const TopicRecordSpec& spec, int32_t next,
                                     int32_t previous = -1);

struct TopicFileOptions {
  bool hc30 = false;        // 2048-byte blocks, shift 11, next fields as distances
  bool compressed = false;  // LZ77 blocks of 3630 stream bytes each: literal-only LZ77 makes
                            // exactly the 4084 bytes of a block of them; shorter ones get zeros
  Lz77Mode mode = Lz77Mode::kLiteralsOnly;
};

/// A paragraph's formatting data (after the numbers its record type puts first): the 6-byte
/// header (0, 0x80, a word, the bits u16), the optional fields in bit order, the commands, 0xFF.
class ParagraphBuilder {
 public:
  // The optional fields by their bit: compressed signed shorts; 0x0100 the border byte and a
  // word; 0x0200 the tab count * 2 (u8) and per tab stop its position 0..0x3FFF (compressed
  // ushort, + 0x4000 and a type byte with `type`).
  ParagraphBuilder& UnknownPair(int a, int b) { return Set(0x0001, {a, b}); }
  ParagraphBuilder& SpaceBefore(int v) { return Set(0x0002, {v}); }
  ParagraphBuilder& SpaceAfter(int v) { return Set(0x0004, {v}); }
  ParagraphBuilder& LineSpacing(int v) { return Set(0x0008, {v}); }
  ParagraphBuilder& LeftIndent(int v) { return Set(0x0010, {v}); }
  ParagraphBuilder& RightIndent(int v) { return Set(0x0020, {v}); }
  ParagraphBuilder& FirstIndent(int v) { return Set(0x0040, {v}); }
  ParagraphBuilder& Border(uint8_t flags) { return Set(0x0100, {flags}); }
  ParagraphBuilder& Tab(unsigned position, std::optional<uint8_t> type = std::nullopt) {
    tabs_.push_back({int(position | (type ? 0x4000u : 0u)), type ? int(*type) : -1});
    return Bits(0x0200);
  }
  ParagraphBuilder& Bits(uint16_t extra) {  // alignment and keep bits
    bits_ |= extra;
    return *this;
  }

  // Commands.
  ParagraphBuilder& Font(uint16_t n) { return Add(ByteBuilder().u8(0x80).u16(n)); }
  ParagraphBuilder& Command(uint8_t code) { return Raw({code}); }
  ParagraphBuilder& Raw(std::vector<uint8_t> bytes) { return Add(ByteBuilder(std::move(bytes))); }
  ParagraphBuilder& Macro(std::string_view text, bool no_font = false) {
    return Add(ByteBuilder().u8(no_font ? 0xCC : 0xC8).i16(int16_t(text.size() + 1)).cstr(text));
  }
  ParagraphBuilder& JumpShort(uint8_t code, uint32_t hash) {
    return Add(ByteBuilder().u8(code).u32(hash));
  }
  /// 0xEA, 0xEB, 0xEE, 0xEF; the flags: 1 window number, 2 window name, 4 file.
  ParagraphBuilder& JumpExtended(uint8_t code, uint32_t hash, std::optional<uint8_t> window,
                                 std::optional<std::string> window_name,
                                 std::optional<std::string> file_name) {
    ByteBuilder b;
    b.u8((window ? 1 : 0) | (window_name ? 2 : 0) | (file_name ? 4 : 0)).u32(hash);
    if (window) b.u8(*window);
    if (window_name) b.cstr(*window_name);
    if (file_name) b.cstr(*file_name);
    return Add(ByteBuilder().u8(code).u16(uint16_t(b.size())).bytes(b.data()));
  }
  // Objects: type 5 (embedded), 0x22 by reference or stored, HC30 type 3.
  ParagraphBuilder& EmbeddedObject(uint8_t code, std::string_view text,
                                   std::vector<uint8_t> window_data = {0, 0, 0, 0, 0, 0}) {
    return Object(code, 5, window_data.size() + text.size() + 1,
                  ByteBuilder(window_data).cstr(text));
  }
  ParagraphBuilder& PictureRef(uint8_t code, uint16_t number, unsigned char_count = 1) {
    return Object(code, 0x22, 4, ByteBuilder(EncodeUnsignedShort(char_count)).i16(0).u16(number));
  }
  ParagraphBuilder& PictureStored(uint8_t code, std::vector<uint8_t> bytes,
                                  unsigned char_count = 1) {
    return Object(code, 0x22, bytes.size() + 2,
                  ByteBuilder(EncodeUnsignedShort(char_count)).i16(1).bytes(bytes));
  }
  ParagraphBuilder& PictureHc30(uint8_t code, uint16_t number) {
    return Object(code, 3, 4, ByteBuilder().i16(0).u16(number));
  }

  /// The formatting data, closed with 0xFF unless `end` is false.
  std::vector<uint8_t> Build(bool end = true) const;

 private:
  ParagraphBuilder& Set(uint16_t bit, std::vector<int> values) {
    fields_[bit] = std::move(values);
    return Bits(bit);
  }
  ParagraphBuilder& Add(const ByteBuilder& command) {
    commands_.bytes(command.data());
    return *this;
  }
  ParagraphBuilder& Object(uint8_t code, uint8_t type, size_t size, const ByteBuilder& data) {
    commands_.u8(code).u8(type).bytes(EncodeSignedLong(int32_t(size)));
    return Add(data);
  }
  uint16_t bits_ = 0;
  std::map<uint16_t, std::vector<int>> fields_;  // by their bit
  std::vector<std::pair<int, int>> tabs_;        // position and flag, type or -1
  ByteBuilder commands_;
};

/// A paragraph record's format part: compressed signed long (topic size), for type 0x20 a
/// compressed unsigned short (topic length), the paragraph.
std::vector<uint8_t> ParagraphFormatPart(const std::vector<uint8_t>& paragraph,
                                         uint8_t type = 0x20);

/// A table row's layout: column count, type, width factor (type 0), per column width, spacing.
struct TableColumnSpec {
  uint16_t width;
  uint16_t spacing;
};
std::vector<uint8_t> TableLayout(uint8_t type, const std::vector<TableColumnSpec>& columns,
                                 uint16_t width_factor = 32767);
/// A cell: column u8, 4 unused bytes, the paragraph.
std::vector<uint8_t> TableCell(uint8_t column, const std::vector<uint8_t>& paragraph);

std::vector<uint8_t> TextStrings(const std::vector<std::string>& strings);

/// The fields of a topic header that the tests vary.
struct TopicHeaderFields {
  int32_t first_field = 0x100;  // HC30: 8 or less marks the last topic
  int32_t browse_back = -1;
  int32_t browse_forward = -1;
  int32_t number = 0;        // not in the HC30 header
  int32_t scroll_start = 0;  // not in the HC30 header; 0: no record is non-scrolling
};

/// Places records one after the other in the topic stream and builds "|TOPIC"; their text is
/// stored as it is expanded (no phrase codes) unless given to Record().
class TopicRecords {
 public:
  explicit TopicRecords(TopicFileOptions options = {});

  /// Appends a record where the last one ended and fills in the last one's next field.
  TopicRecords& Record(const TopicRecordSpec& spec);
  /// A topic header (type 2, non-scroll position and next topic -1); the strings are the title,
  /// then the entry macros.
  TopicRecords& Header(const std::vector<std::string>& strings, TopicHeaderFields fields = {}) {
    ByteBuilder b;
    b.i32(fields.first_field).i32(fields.browse_back).i32(fields.browse_forward);
    if (!options_.hc30) b.i32(fields.number).i32(-1).i32(fields.scroll_start).i32(-1);
    return Record({.type = 2, .format_part = b.take(), .text_part = TextStrings(strings)});
  }
  TopicRecords& Paragraph(const ParagraphBuilder& paragraph,
                          const std::vector<std::string>& texts) {
    const uint8_t type = options_.hc30 ? 1 : 0x20;
    return Record({type, ParagraphFormatPart(paragraph.Build(), type), TextStrings(texts)});
  }
  TopicRecords& Table(const std::vector<uint8_t>& layout,
                      const std::vector<std::vector<uint8_t>>& cells,
                      const std::vector<std::string>& texts) {
    ByteBuilder b(ParagraphFormatPart(layout));
    for (const auto& c : cells) b.bytes(c);
    return Record({.type = 0x23, .format_part = b.i16(-1).take(), .text_part = TextStrings(texts)});
  }
  /// The next record starts at the next block, the rest of this one zeros.
  TopicRecords& FillToBlockEnd();

  std::vector<uint8_t> Build() const;
  uint32_t Position(size_t i) const { return PositionOfOffset(records_.at(i)); }

 private:
  uint32_t shift() const { return options_.hc30 ? 11 : 14; }
  uint32_t PositionOfOffset(size_t offset) const {
    return (uint32_t(offset / piece_) << shift()) + uint32_t(12 + offset % piece_);
  }
  TopicFileOptions options_;
  uint32_t piece_;
  std::vector<size_t> records_;  // their stream offsets
  bool link_last_ = false;       // the last record's next field is to be filled in
  std::vector<uint8_t> stream_;
};

// The phrase tables. Offsets count from the start of the offset table: phrase 0 at 2(N + 1).
//   "|Phrases" HC30: N u16, 0x0100 u16, N + 1 offsets u16, the text.
//   HC31: N u16, 0x0100 u16, text size i32 (`text_size` when >= 0), the offsets, the LZ77 text.
//   Long header (Media Viewer): 0 u16, N u16, 0x0100 u16, text size i32, 30 zeros, the offsets
//   (at 40), the LZ77 text.
//   "|PhrIndex": 1 i32, N i32 at 4, 4 + bit bytes i32 at 8, text size i32 at 12, "|PhrImage" size
//   i32 at 16, 0 i32, k u8 at 24, 3 zeros; then per phrase, v = length - 1, bit-packed from bit 0
//   of each byte on: (v >> k) 1-bits, a 0-bit, the low k bits of v (lowest first).
//   "|PhrImage": the text, stored or LZ77.
inline constexpr size_t kPhrIndexCountAt = 4;
inline constexpr size_t kPhrIndexBitBytesAt = 8;
inline constexpr size_t kPhrIndexTextSizeAt = 12;
inline constexpr size_t kPhrIndexStoredSizeAt = 16;
std::vector<uint8_t> BuildHc30Phrases(const std::vector<std::string>& phrases);
std::vector<uint8_t> BuildHc31Phrases(const std::vector<std::string>& phrases,
                                      Lz77Mode mode = Lz77Mode::kGreedy, int64_t text_size = -1);
std::vector<uint8_t> BuildLongHeaderPhrases(const std::vector<std::string>& phrases,
                                            Lz77Mode mode = Lz77Mode::kGreedy);
struct RtfPhraseFiles {
  std::vector<uint8_t> index;  // "|PhrIndex"
  std::vector<uint8_t> image;  // "|PhrImage", LZ77 with `compress`
};
RtfPhraseFiles BuildRtfPhrases(const std::vector<std::string>& phrases, unsigned k, bool compress);

}  // namespace quorvex::testsupport
