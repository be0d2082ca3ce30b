#include "tests/support/topic_writer.h"

#include <stdexcept>

namespace quorvex::testsupport {

namespace {

constexpr uint32_t kBlockHeaderBytes = 12;
constexpr uint32_t kLinkHeaderBytes = 21;
/// Literal-only LZ77 of 3630 bytes: 453 groups of 9 bytes and one of 1 + 6 = 4084 bytes.
constexpr uint32_t kLiteralPieceBytes = 3630;

std::vector<uint8_t> Le16(uint32_t v) {
  return ByteBuilder().u16(static_cast<uint16_t>(v)).take();
}

}  // namespace

std::vector<uint8_t> EncodeSignedShort(int v) {
  if (v >= -64 && v <= 63) return {static_cast<uint8_t>(2 * v + 128)};
  if (v < -16383 || v > 16383) throw std::out_of_range("compressed signed short");
  // The decoder halves (r - 32768) toward zero, so a negative value needs 2v - 1.
  return Le16(static_cast<uint32_t>(v >= 0 ? 2 * v + 32769 : 2 * v + 32767));
}
std::vector<uint8_t> EncodeSignedLong(int32_t v) {
  if (v >= -16384 && v <= 16383) return Le16(static_cast<uint32_t>(2 * v + 32768));
  if (v < -((1 << 30) - 1) || v > (1 << 30) - 1) throw std::out_of_range("compressed signed long");
  return ByteBuilder()
      .u32(static_cast<uint32_t>(v >= 0 ? 2 * int64_t{v} + 2147483649LL
                                        : 2 * int64_t{v} + 2147483647LL))
      .take();
}
std::vector<uint8_t> EncodeUnsignedShort(unsigned v) {
  if (v <= 127) return {static_cast<uint8_t>(2 * v)};
  if (v > 32767) throw std::out_of_range("compressed unsigned short");
  return Le16(2 * v + 1);
}

std::vector<uint8_t> TopicLinkRecord(const TopicRecordSpec& spec, int32_t next, int32_t previous) {
  int32_t size =
      static_cast<int32_t>(kLinkHeaderBytes + spec.format_part.size() + spec.text_part.size());
  ByteBuilder b;
  b.i32(spec.record_size.value_or(size))
      .i32(spec.expanded_length.value_or(static_cast<int32_t>(spec.text_part.size())))
      .i32(previous)
      .i32(spec.next.value_or(next))
      .i32(spec.format_length.value_or(
          static_cast<int32_t>(kLinkHeaderBytes + spec.format_part.size())))
      .u8(spec.type)
      .bytes(spec.format_part)
      .bytes(spec.text_part);
  return b.take();
}

TopicFileWriter::TopicFileWriter(TopicFileOptions options) : options_(options) {
  uint32_t data = block_size() - kBlockHeaderBytes;
  piece_ = options_.stream_bytes_per_block;
  if (piece_ == 0) piece_ = options_.compressed ? kLiteralPieceBytes : data;
  if (!options_.compressed && piece_ != data) {
    throw std::invalid_argument("stored blocks hold exactly block size - 12 bytes");
  }
  if (piece_ + kBlockHeaderBytes > (1u << shift())) {
    throw std::invalid_argument("a block's piece must be addressable by the in-block offset");
  }
}

size_t TopicFileWriter::Add(TopicRecordSpec spec) {
  size_t size = kLinkHeaderBytes + spec.format_part.size() + spec.text_part.size();
  records_.push_back({std::move(spec), end_});
  end_ += size;
  return records_.size() - 1;
}

void TopicFileWriter::FillToBlockEnd(uint8_t filler) {
  size_t rest = (piece_ - end_ % piece_) % piece_;
  if (rest == 0) return;
  fills_.push_back({end_, std::vector<uint8_t>(rest, filler)});
  end_ += rest;
}

void TopicFileWriter::StartBeforeBlockEnd(uint32_t before_end, uint8_t filler) {
  size_t block_end = (end_ / piece_ + 1) * piece_;
  if (block_end - end_ < before_end) block_end += piece_;
  size_t target = block_end - before_end;
  fills_.push_back({end_, std::vector<uint8_t>(target - end_, filler)});
  end_ = target;
}

uint32_t TopicFileWriter::PositionOfOffset(size_t offset) const {
  uint32_t block = static_cast<uint32_t>(offset / piece_);
  uint32_t index = static_cast<uint32_t>(offset % piece_);
  return (block << shift()) + kBlockHeaderBytes + index;
}

uint32_t TopicFileWriter::Position(size_t i) const {
  return PositionOfOffset(records_.at(i).offset);
}

std::vector<uint8_t> TopicFileWriter::Stream() const {
  std::vector<uint8_t> s(end_, 0);
  for (const auto& [at, bytes] : fills_) std::copy(bytes.begin(), bytes.end(), s.begin() + at);
  for (size_t i = 0; i < records_.size(); ++i) {
    int32_t next = -1;
    int32_t previous = -1;
    uint32_t here = Position(i);
    if (i + 1 < records_.size()) {
      uint32_t there = Position(i + 1);
      next = static_cast<int32_t>(options_.hc30 ? there - here : there);
    }
    if (i > 0) previous = static_cast<int32_t>(Position(i - 1));
    std::vector<uint8_t> r = TopicLinkRecord(records_[i].spec, next, previous);
    std::copy(r.begin(), r.end(), s.begin() + records_[i].offset);
  }
  return s;
}

std::vector<uint8_t> TopicFileWriter::Build() const {
  std::vector<uint8_t> stream = Stream();
  ByteBuilder out;
  size_t blocks = (stream.size() + piece_ - 1) / piece_;
  uint32_t data = block_size() - kBlockHeaderBytes;
  for (size_t b = 0; b < blocks; ++b) {
    size_t from = b * piece_;
    size_t n = std::min<size_t>(piece_, stream.size() - from);
    std::span<const uint8_t> piece = std::span<const uint8_t>(stream).subspan(from, n);
    for (uint32_t i = 0; i < kBlockHeaderBytes; ++i) out.u8(0xFF);
    bool last = b + 1 == blocks;
    if (!options_.compressed) {
      out.bytes(piece);
      continue;
    }
    std::vector<uint8_t> packed = Lz77Encode(piece, options_.mode);
    if (packed.size() > data) throw std::length_error("a compressed piece exceeds its block");
    out.bytes(packed);
    if (!last) out.bytes(std::vector<uint8_t>(data - packed.size(), 0));
  }
  return out.take();
}

ParagraphBuilder& ParagraphBuilder::Set(uint16_t bit, std::vector<int> values) {
  bits_ |= bit;
  fields_[bit] = std::move(values);
  return *this;
}
ParagraphBuilder& ParagraphBuilder::Border(uint8_t flags) {
  bits_ |= 0x0100;
  border_ = flags;
  return *this;
}
ParagraphBuilder& ParagraphBuilder::Tab(unsigned position, std::optional<uint8_t> type) {
  bits_ |= 0x0200;
  std::vector<uint8_t> t = EncodeUnsignedShort(position | (type ? 0x4000u : 0u));
  if (type) t.push_back(*type);
  tabs_.push_back(std::move(t));
  return *this;
}

ParagraphBuilder& ParagraphBuilder::Macro(std::string_view text, bool no_font) {
  commands_.u8(no_font ? 0xCC : 0xC8).i16(static_cast<int16_t>(text.size() + 1)).cstr(text);
  return *this;
}
ParagraphBuilder& ParagraphBuilder::JumpExtended(uint8_t code, uint32_t hash,
                                                 std::optional<uint8_t> window,
                                                 std::optional<std::string> window_name,
                                                 std::optional<std::string> file_name) {
  ByteBuilder body;
  uint8_t flags = (window ? 0x01 : 0) | (window_name ? 0x02 : 0) | (file_name ? 0x04 : 0);
  body.u8(flags).u32(hash);
  if (window) body.u8(*window);
  if (window_name) body.cstr(*window_name);
  if (file_name) body.cstr(*file_name);
  commands_.u8(code).u16(static_cast<uint16_t>(body.size())).bytes(body.data());
  return *this;
}
ParagraphBuilder& ParagraphBuilder::EmbeddedObject(uint8_t code, std::string_view text,
                                                   std::vector<uint8_t> window_data) {
  commands_.u8(code).u8(5);
  commands_.bytes(EncodeSignedLong(static_cast<int32_t>(window_data.size() + text.size() + 1)));
  commands_.bytes(window_data).cstr(text);
  return *this;
}
ParagraphBuilder& ParagraphBuilder::PictureRef(uint8_t code, uint16_t number, unsigned char_count) {
  commands_.u8(code).u8(0x22).bytes(EncodeSignedLong(4));
  commands_.bytes(EncodeUnsignedShort(char_count)).i16(0).u16(number);
  return *this;
}
ParagraphBuilder& ParagraphBuilder::PictureStored(uint8_t code, std::vector<uint8_t> bytes,
                                                  unsigned char_count) {
  commands_.u8(code).u8(0x22).bytes(EncodeSignedLong(static_cast<int32_t>(bytes.size() + 2)));
  commands_.bytes(EncodeUnsignedShort(char_count)).i16(1).bytes(bytes);
  return *this;
}
ParagraphBuilder& ParagraphBuilder::PictureHc30(uint8_t code, uint16_t number) {
  commands_.u8(code).u8(3).bytes(EncodeSignedLong(4)).i16(0).u16(number);
  return *this;
}

std::vector<uint8_t> ParagraphBuilder::Build(bool end) const {
  ByteBuilder b;
  b.u8(0).u8(0x80).u16(0).u16(bits_);
  // The compressed fields in the order of their bits.
  for (const auto& [bit, values] : fields_)
    for (int v : values) b.bytes(EncodeSignedShort(v));
  if (bits_ & 0x0100) b.u8(border_).u16(0);
  if (bits_ & 0x0200) {
    b.u8(static_cast<uint8_t>(tabs_.size() * 2));
    for (const auto& t : tabs_) b.bytes(t);
  }
  b.bytes(commands_.data());
  if (end) b.u8(0xFF);
  return b.take();
}

std::vector<uint8_t> ParagraphFormatPart(const std::vector<uint8_t>& paragraph, uint8_t type) {
  ByteBuilder b;
  b.bytes(EncodeSignedLong(0));
  if (type == 0x20) b.bytes(EncodeUnsignedShort(0));
  b.bytes(paragraph);
  return b.take();
}

std::vector<uint8_t> TableLayout(uint8_t type, const std::vector<TableColumnSpec>& columns,
                                 uint16_t width_factor) {
  ByteBuilder b;
  b.u8(static_cast<uint8_t>(columns.size())).u8(type);
  if (type == 0) b.u16(width_factor);
  for (const auto& c : columns) b.u16(c.width).u16(c.spacing);
  return b.take();
}

std::vector<uint8_t> TableCell(uint8_t column, const std::vector<uint8_t>& paragraph) {
  ByteBuilder b;
  b.u8(column).u8(0).u16(0).u8(0).bytes(paragraph);
  return b.take();
}

std::vector<uint8_t> TableEnd() {
  return {0xFF, 0xFF};
}

std::vector<uint8_t> TableFormatPart(const std::vector<uint8_t>& layout,
                                     const std::vector<std::vector<uint8_t>>& cells) {
  ByteBuilder b;
  b.bytes(EncodeSignedLong(0)).bytes(EncodeUnsignedShort(0)).bytes(layout);
  for (const auto& c : cells) b.bytes(c);
  b.bytes(TableEnd());
  return b.take();
}

std::vector<uint8_t> TopicHeaderPart(int32_t first_field, int32_t browse_back,
                                     int32_t browse_forward, int32_t topic_number,
                                     int32_t non_scroll, int32_t scroll_start, bool hc30) {
  ByteBuilder b;
  b.i32(first_field).i32(browse_back).i32(browse_forward);
  if (!hc30) b.i32(topic_number).i32(non_scroll).i32(scroll_start).i32(-1);
  return b.take();
}

std::vector<uint8_t> TextStrings(const std::vector<std::string>& strings) {
  ByteBuilder b;
  for (const auto& s : strings) b.cstr(s);
  return b.take();
}

}  // namespace quorvex::testsupport
