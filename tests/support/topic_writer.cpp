#include "tests/support/topic_writer.h"

#include <algorithm>
#include <stdexcept>

namespace quorvex::testsupport {

std::vector<uint8_t> Lz77Encode(std::span<const uint8_t> in, Lz77Mode mode) {
  std::vector<uint8_t> out;
  size_t flags = 0, items = 8;  // the group's flag byte and its items so far
  for (size_t i = 0; i < in.size(); ++items) {
    if (items == 8) flags = out.size(), out.push_back(0), items = 0;
    size_t length = 0, distance = 0;  // matches of 3 to 18 bytes, 1 to 4096 bytes back
    for (size_t d = 1; mode == Lz77Mode::kGreedy && d <= std::min<size_t>(i, 4096) && length < 18;
         ++d) {
      size_t n = 0;
      while (n < 18 && i + n < in.size() && in[i - d + n] == in[i + n]) ++n;
      if (n > length) length = n, distance = d;
    }
    if (length < 3) {
      out.push_back(in[i++]);
      continue;
    }
    out[flags] |= uint8_t(1u << items);
    const auto w = uint16_t((length - 3) << 12 | (distance - 1));
    out.insert(out.end(), {uint8_t(w), uint8_t(w >> 8)});
    i += length;
  }
  return out;
}

std::vector<uint8_t> EncodeSignedShort(int v) {
  if (v >= -64 && v <= 63) return {uint8_t(2 * v + 128)};
  if (v < -16383 || v > 16383) throw std::out_of_range("compressed signed short");
  // The reader halves (r - 32768) toward zero, so a negative value needs 2v - 1.
  return ByteBuilder().u16(uint16_t(v >= 0 ? 2 * v + 32769 : 2 * v + 32767)).take();
}
std::vector<uint8_t> EncodeSignedLong(int32_t v) {
  if (v >= -16384 && v <= 16383) return ByteBuilder().u16(uint16_t(2 * v + 32768)).take();
  if (v < -((1 << 30) - 1) || v > (1 << 30) - 1) throw std::out_of_range("compressed signed long");
  return ByteBuilder()
      .u32(uint32_t(2 * int64_t{v} + (v >= 0 ? 2147483649LL : 2147483647LL)))
      .take();
}
std::vector<uint8_t> EncodeUnsignedShort(unsigned v) {
  if (v <= 127) return {uint8_t(2 * v)};
  if (v > 32767) throw std::out_of_range("compressed unsigned short");
  return ByteBuilder().u16(uint16_t(2 * v + 1)).take();
}

std::vector<uint8_t> TopicLinkRecord(const TopicRecordSpec& spec, int32_t next, int32_t previous) {
  const auto format = int32_t(21 + spec.format_part.size()), text = int32_t(spec.text_part.size());
  ByteBuilder b;
  b.i32(spec.record_size.value_or(format + text)).i32(spec.expanded_length.value_or(text));
  b.i32(previous).i32(spec.next.value_or(next)).i32(format).u8(spec.type);
  return b.bytes(spec.format_part).bytes(spec.text_part).take();
}

TopicRecords::TopicRecords(TopicFileOptions options)
    : options_(options), piece_(options.compressed ? 3630 : (options.hc30 ? 2048 : 4096) - 12) {
  if (piece_ + 12 > (1u << shift())) throw std::invalid_argument("a piece beyond its block");
}

TopicRecords& TopicRecords::Record(const TopicRecordSpec& spec) {
  const int32_t last = records_.empty() ? -1 : int32_t(Position(records_.size() - 1));
  if (link_last_)
    PutU32(stream_, records_.back() + 12,
           PositionOfOffset(stream_.size()) - (options_.hc30 ? last : 0));
  link_last_ = !spec.next;
  records_.push_back(stream_.size());
  const std::vector<uint8_t> record = TopicLinkRecord(spec, -1, last);
  stream_.insert(stream_.end(), record.begin(), record.end());
  return *this;
}

TopicRecords& TopicRecords::FillToBlockEnd() {
  if (stream_.size() % piece_ != 0) stream_.resize((stream_.size() / piece_ + 1) * piece_);
  return *this;
}

std::vector<uint8_t> TopicRecords::Build() const {
  const size_t data = (options_.hc30 ? 2048 : 4096) - 12;
  ByteBuilder out;
  for (size_t from = 0; from < stream_.size(); from += piece_) {
    const auto piece =
        std::span(stream_).subspan(from, std::min<size_t>(piece_, stream_.size() - from));
    out.bytes(std::vector<uint8_t>(12, 0xFF));
    if (!options_.compressed) {
      out.bytes(piece);
      continue;
    }
    const std::vector<uint8_t> packed = Lz77Encode(piece, options_.mode);
    if (packed.size() > data) throw std::length_error("a compressed piece exceeds its block");
    out.bytes(packed);
    if (from + piece_ < stream_.size()) out.zeros(data - packed.size());
  }
  return out.take();
}

std::vector<uint8_t> ParagraphBuilder::Build(bool end) const {
  ByteBuilder b;
  b.u8(0).u8(0x80).u16(0).u16(bits_);
  for (const auto& [bit, values] : fields_)
    for (int v : values) bit == 0x0100 ? b.u8(uint8_t(v)).u16(0) : b.bytes(EncodeSignedShort(v));
  if (bits_ & 0x0200) b.u8(uint8_t(2 * tabs_.size()));
  for (const auto& [position, type] : tabs_) {
    b.bytes(EncodeUnsignedShort(unsigned(position)));
    if (type >= 0) b.u8(uint8_t(type));
  }
  b.bytes(commands_.data());
  if (end) b.u8(0xFF);
  return b.take();
}

std::vector<uint8_t> ParagraphFormatPart(const std::vector<uint8_t>& paragraph, uint8_t type) {
  ByteBuilder b(EncodeSignedLong(0));
  if (type == 0x20) b.bytes(EncodeUnsignedShort(0));
  return b.bytes(paragraph).take();
}

std::vector<uint8_t> TableLayout(uint8_t type, const std::vector<TableColumnSpec>& columns,
                                 uint16_t width_factor) {
  ByteBuilder b;
  b.u8(uint8_t(columns.size())).u8(type);
  if (type == 0) b.u16(width_factor);
  for (const auto& c : columns) b.u16(c.width).u16(c.spacing);
  return b.take();
}

std::vector<uint8_t> TableCell(uint8_t column, const std::vector<uint8_t>& paragraph) {
  return ByteBuilder().u8(column).zeros(4).bytes(paragraph).take();
}

std::vector<uint8_t> TextStrings(const std::vector<std::string>& strings) {
  ByteBuilder b;
  for (const auto& s : strings) b.cstr(s);
  return b.take();
}

namespace {

// The phrase-table layouts of BuildHc30Phrases, BuildHc31Phrases and BuildLongHeaderPhrases.
enum class PhraseLayout { kHc30, kHc31, kLong };

std::vector<uint8_t> Phrases(const std::vector<std::string>& phrases, PhraseLayout layout,
                             Lz77Mode mode, int64_t text_size) {
  std::string joined;
  for (const std::string& p : phrases) joined += p;
  const auto n = uint16_t(phrases.size());
  const auto size = int32_t(text_size >= 0 ? text_size : int64_t(joined.size()));
  ByteBuilder b;
  if (layout == PhraseLayout::kLong) b.u16(0);
  b.u16(n).u16(0x0100);
  if (layout != PhraseLayout::kHc30) b.i32(size);
  if (layout == PhraseLayout::kLong) b.zeros(30);
  uint32_t at = 2 * (n + 1u);
  b.u16(uint16_t(at));
  for (const std::string& p : phrases) {
    if ((at += uint32_t(p.size())) > 0xFFFF) throw std::invalid_argument("phrases beyond 64 KB");
    b.u16(uint16_t(at));
  }
  const std::vector<uint8_t> raw = ByteBuilder().text(joined).take();
  return b.bytes(layout == PhraseLayout::kHc30 ? raw : Lz77Encode(raw, mode)).take();
}

std::vector<uint8_t> PackPhraseLengths(const std::vector<uint32_t>& lengths, unsigned k) {
  std::vector<uint8_t> out;
  size_t bit = 0;
  auto put = [&](unsigned v) {
    if (bit % 8 == 0) out.push_back(0);
    out.back() |= uint8_t((v & 1u) << (bit++ % 8));
  };
  for (uint32_t length : lengths) {
    if (length == 0) throw std::invalid_argument("phrase length 0 cannot be coded");
    for (uint32_t ones = (length - 1) >> k; ones > 0; --ones) put(1);
    put(0);
    for (unsigned i = 0; i < k; ++i) put((length - 1) >> i);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> BuildHc30Phrases(const std::vector<std::string>& phrases) {
  return Phrases(phrases, PhraseLayout::kHc30, Lz77Mode::kGreedy, -1);
}
std::vector<uint8_t> BuildHc31Phrases(const std::vector<std::string>& phrases, Lz77Mode mode,
                                      int64_t text_size) {
  return Phrases(phrases, PhraseLayout::kHc31, mode, text_size);
}
std::vector<uint8_t> BuildLongHeaderPhrases(const std::vector<std::string>& phrases,
                                            Lz77Mode mode) {
  return Phrases(phrases, PhraseLayout::kLong, mode, -1);
}

RtfPhraseFiles BuildRtfPhrases(const std::vector<std::string>& phrases, unsigned k, bool compress) {
  std::vector<uint32_t> lengths;
  std::string text;
  for (const std::string& p : phrases) lengths.push_back(uint32_t(p.size())), text += p;
  const std::vector<uint8_t> bits = PackPhraseLengths(lengths, k);
  const std::vector<uint8_t> raw = ByteBuilder().text(text).take();
  RtfPhraseFiles files{{}, compress ? Lz77Encode(raw) : raw};
  ByteBuilder index;
  index.i32(1).i32(int32_t(phrases.size())).i32(int32_t(4 + bits.size())).i32(int32_t(text.size()));
  index.i32(int32_t(files.image.size())).i32(0).u8(uint8_t(k)).zeros(3).bytes(bits);
  files.index = index.take();
  return files;
}

}  // namespace quorvex::testsupport
