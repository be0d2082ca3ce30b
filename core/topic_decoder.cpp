// Decoding of TopicLink records into the plain structures of topic_model.h.
//
// Every read goes through a ByteReader over one part of one record; a read past the part's
// data yields zeros, as the zero-filled record buffers of the help viewer do, and the reader's
// failure flag tells the command loop that an operand ran past the data.
#include "core/topic_decoder.h"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/short_block.h"

namespace quorvex {

namespace {

/// Where the first NUL of the `n` bytes at `p` is: `n` when none is. A record's strings are
/// short, so they are scanned 16 bytes at a time inline, the last 16 ending at the end (their
/// bytes before the place reached hold no NUL) and fewer than 16 from a copy; no byte past the
/// `n` is read.
size_t FindNul(const char* p, size_t n) {
#ifdef __SSE2__
  const __m128i zero = _mm_setzero_si128();
  auto nuls = [&zero](const char* at) {
    return static_cast<unsigned>(_mm_movemask_epi8(
        _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), zero)));
  };
  if (n < 16) {
    // The copy is filled with 0xFF beyond the bytes: no NUL among them.
    char block[16];
    LoadShortBlock(block, p, n, static_cast<char>(0xFF));
    return std::min<size_t>(n, static_cast<size_t>(std::countr_zero(nuls(block) | 0x10000u)));
  }
  size_t at = 0;
  for (; n - at > 16; at += 16) {
    if (const unsigned m = nuls(p + at)) return at + static_cast<size_t>(std::countr_zero(m));
  }
  at = n - 16;
  const unsigned m = nuls(p + at);
  return m ? at + static_cast<size_t>(std::countr_zero(m)) : n;
#else
  const void* nul = std::memchr(p, 0, n);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - p) : n;
#endif
}

// Offsets of the fields of the 21-byte TopicLink header.
constexpr size_t kLinkRecordSize = 0;
constexpr size_t kLinkTextLength = 4;
constexpr size_t kLinkPrevious = 8;
constexpr size_t kLinkNext = 12;
constexpr size_t kLinkFormatLength = 16;
constexpr size_t kLinkType = 20;

// Offsets of the fields of a topic header's FormatPart.
constexpr size_t kTopicFirstField = 0;
constexpr size_t kTopicBrowseBack = 4;
constexpr size_t kTopicBrowseForward = 8;
constexpr size_t kTopicNumber = 12;
constexpr size_t kTopicScrollStart = 20;

/// Window data in front of the text of an embedded window, button or media object.
constexpr size_t kEmbeddedWindowDataSize = 6;

/// The extended hotspot target starts with a 16-bit length of the bytes that follow it.
constexpr size_t kHotspotLengthSize = 2;
/// The short hotspot target is one 32-bit context hash.
constexpr size_t kHotspotShortSize = 4;
/// Extended hotspot starts: 0xEA, 0xEB, 0xEE, 0xEF.
constexpr uint8_t kHotspotExtendedBit = 0x08;

/// A cell header: column number, then 4 bytes not used.
constexpr size_t kCellHeaderSize = 5;
/// A table row's cells end when no more than this many formatting bytes are left.
constexpr size_t kTableMinimumCellBytes = 12;
constexpr uint8_t kTableTypeScaled = 0;
constexpr uint8_t kTableTypeTwips10 = 1;
constexpr uint8_t kTableTypeTwips = 3;

/// The little-endian 32-bit field at `offset`; 0 where the data ends first (as a reader's
/// failed read gives).
int32_t FieldAt(Bytes data, size_t offset) {
  if (offset > data.size() || data.size() - offset < 4) return 0;
  const uint8_t* p = data.data() + offset;
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 |
                              uint32_t{p[3]} << 24);
}

/// The text of a type-5 object: its `size` bytes are 6 bytes of window data and the text.
std::string_view EmbeddedObjectText(ByteReader body) {
  body.skip(kEmbeddedWindowDataSize);
  return body.cstring_view();
}

/// Reads a hotspot target. Returns false, consuming nothing, when fewer formatting bytes are
/// left than the target form needs.
bool ReadHotspotTarget(ByteReader& f, uint8_t code, HotspotTarget& t) {
  t.extended = (code & kHotspotExtendedBit) != 0;
  if (!t.extended) {
    if (f.remaining() < kHotspotShortSize) return false;
    t.hash = f.u32();
    t.valid = true;
    return true;
  }
  if (f.remaining() < kHotspotLengthSize) return false;
  ByteReader peek = f;
  size_t length = peek.u16();
  if (f.remaining() < kHotspotLengthSize + length) return false;
  f.skip(kHotspotLengthSize);
  ByteReader body = f.sub(f.position(), length);
  f.skip(length);
  t.flags = body.u8();
  t.hash = body.u32();
  if (t.flags & 0x01) t.window_number = body.u8();
  if (t.flags & 0x02) t.window_name = body.cstring_view();
  if (t.flags & 0x04) t.file_name = body.cstring_view();
  t.valid = true;
  return true;
}

/// Reads the object data of 0x86, 0x87 or 0x88. Returns false when the data ends first.
bool ReadObject(ByteReader& f, ObjectData& o, int32_t& position_adjustment) {
  o.type = f.u8();
  o.size = ReadCompressedSignedLong(f);
  if (!f.ok()) return false;
  if (o.type == kObjectPicture || o.type == kObjectPictureHc30) {
    if (o.type == kObjectPicture) {
      o.char_count = static_cast<uint16_t>(ReadCompressedUnsignedShort(f));
      position_adjustment += o.char_count;
    }
    o.stored_flag = f.i16();
    if (!(o.stored_flag != 0 && o.type == kObjectPicture)) o.picture_number = f.u16();
    if (!f.ok()) return false;
    if (o.stored_flag != 0) {
      size_t stored = o.size > 2 ? static_cast<size_t>(o.size) - 2 : 0;
      if (stored > f.remaining()) return false;
      o.stored_picture = f.bytes(stored);
    }
    return true;
  }
  // Embedded windows, buttons, media objects and unknown types occupy exactly `size` bytes.
  if (o.size < 0 || static_cast<size_t>(o.size) > f.remaining()) return false;
  ByteReader body = f.sub(f.position(), static_cast<size_t>(o.size));
  f.skip(static_cast<size_t>(o.size));
  if (o.type == kObjectEmbedded) o.text = EmbeddedObjectText(body);
  return true;
}

/// Reads the operands of command `c.code`. Returns false when they run past the data.
bool ReadCommandOperands(ByteReader& f, ParagraphCommand& c, int32_t& position_adjustment) {
  switch (c.code) {
    case kCmdFont:
      c.font = f.u16();
      return f.ok();
    case kCmdParagraphEnd:
      c.before_end = f.remaining() > 0 && f.peek() == kCmdEnd;
      return true;
    case kCmdObjectInLine:
    case kCmdObjectLeft:
    case kCmdObjectRight:
      return ReadObject(f, c.object, position_adjustment);
    case kCmdMacro:
    case kCmdMacroNoFont: {
      c.macro_length = f.i16();
      if (!f.ok()) return false;
      if (c.macro_length <= 0) return true;
      size_t length = static_cast<size_t>(c.macro_length);
      c.macro = f.sub(f.position(), length).cstring_view();
      if (length > f.remaining()) return false;
      f.skip(length);
      return true;
    }
    default:
      if (IsHotspotStart(c.code)) ReadHotspotTarget(f, c.code, c.hotspot);
      return true;  // other bytes are ignored and consume nothing
  }
}

void SkipFiller(ByteReader& f) {
  while (f.remaining() > 0 && f.peek() == 0) f.skip(1);
}

}  // namespace

std::string_view TextCursor::Next() {
  const size_t start = std::min(pos_, text_.size());
  // Up to its NUL, the end of the text or the bytes left, whichever comes first.
  const size_t n = FindNul(text_.data() + start, std::min(text_.size() - start, left_));
  pos_ = start + n + 1;
  left_ -= n;
  if (left_ > 0) --left_;
  return text_.substr(start, n);
}

TopicLinkHeader DecodeTopicLinkHeader(Bytes header) {
  TopicLinkHeader h;
  h.record_size = FieldAt(header, kLinkRecordSize);
  h.text_length = FieldAt(header, kLinkTextLength);
  h.previous = FieldAt(header, kLinkPrevious);
  h.next = FieldAt(header, kLinkNext);
  h.format_length = FieldAt(header, kLinkFormatLength);
  ByteReader r(header);
  r.seek(kLinkType);
  h.type = r.u8();
  return h;
}

TopicHeaderRecord DecodeTopicHeader(Bytes format_part, std::string_view text) {
  TopicHeaderRecord t;
  t.first_field = FieldAt(format_part, kTopicFirstField);
  t.browse_back = FieldAt(format_part, kTopicBrowseBack);
  t.browse_forward = FieldAt(format_part, kTopicBrowseForward);
  t.topic_number = FieldAt(format_part, kTopicNumber);
  t.scroll_start = FieldAt(format_part, kTopicScrollStart);
  t.text = std::string(text);
  return t;
}

Paragraph DecodeParagraphRecord(uint8_t type, Bytes format_part, TextCursor& text,
                                int32_t& position_adjustment) {
  Paragraph p;
  DecodeParagraphRecordInto(type, format_part, text, position_adjustment, p);
  return p;
}

void DecodeParagraphRecordInto(uint8_t type, Bytes format_part, TextCursor& text,
                               int32_t& position_adjustment, Paragraph& out) {
  ByteReader f(format_part);
  ReadCompressedSignedLong(f);
  if (type == kRecordParagraph) ReadCompressedUnsignedShort(f);
  DecodeParagraphInto(f, text, position_adjustment, out);
}

TableRow DecodeTableRecord(Bytes format_part, TextCursor& text, int32_t& position_adjustment) {
  TableRow row;
  DecodeTableRecordInto(format_part, text, position_adjustment, row);
  return row;
}

void DecodeTableRecordInto(Bytes format_part, TextCursor& text, int32_t& position_adjustment,
                           TableRow& out) {
  ByteReader f(format_part);
  ReadCompressedSignedLong(f);
  ReadCompressedUnsignedShort(f);
  DecodeTableRowInto(f, text, position_adjustment, out);
}

void WarnParagraphProblems(Diagnostics& diagnostics, const Paragraph& paragraph) {
  if (paragraph.truncated) {
    diagnostics.Warning(kWarnParagraphCut);
  } else if (paragraph.missing_end) {
    diagnostics.Warning(kWarnParagraphNoEnd);
  }
  for (const ParagraphCommand& c : paragraph.commands) {
    bool object =
        c.code == kCmdObjectInLine || c.code == kCmdObjectLeft || c.code == kCmdObjectRight;
    if (object && c.object.type != kObjectPicture && c.object.type != kObjectPictureHc30 &&
        c.object.type != kObjectEmbedded) {
      diagnostics.Warning(kWarnUnknownObject, c.object.type, c.object.size);
      break;
    }
  }
}

void WarnTableProblems(Diagnostics& diagnostics, const TableRow& row) {
  if (row.truncated) diagnostics.Warning(kWarnTableLayoutCut);
  for (const CellParagraph& cell : row.cells) WarnParagraphProblems(diagnostics, cell.paragraph);
}

int ReadCompressedSignedShort(ByteReader& r) {
  if ((r.peek() & 1) == 0) return (static_cast<int>(r.u8()) - 0x80) / 2;
  return (static_cast<int>(r.u16()) - 0x8000) / 2;
}

int32_t ReadCompressedSignedLong(ByteReader& r) {
  if ((r.peek() & 1) == 0) return (static_cast<int32_t>(r.u16()) - 0x8000) / 2;
  return static_cast<int32_t>((static_cast<int64_t>(r.u32()) - 0x80000000LL) / 2);
}

unsigned ReadCompressedUnsignedShort(ByteReader& r) {
  if ((r.peek() & 1) == 0) return r.u8() >> 1;
  return r.u16() >> 1u;
}

Paragraph DecodeParagraph(ByteReader& f, TextCursor& text, int32_t& position_adjustment) {
  Paragraph p;
  DecodeParagraphInto(f, text, position_adjustment, p);
  return p;
}

void DecodeParagraphInto(ByteReader& f, TextCursor& text, int32_t& position_adjustment,
                         Paragraph& p) {
  // Emptied, keeping the memory of its lists.
  std::vector<TabStop> tabs = std::move(p.properties.tabs);
  tabs.clear();
  p.properties = {};
  p.properties.tabs = std::move(tabs);
  p.texts.clear();
  p.commands.clear();
  p.missing_end = p.truncated = false;
  ParagraphProperties& props = p.properties;
  f.skip(4);  // two bytes and a 16-bit word that the conversion does not use
  props.bits = f.u16();
  if (props.bits & kParaUnknownPair) {
    ReadCompressedSignedShort(f);
    ReadCompressedSignedShort(f);
  }
  if (props.bits & kParaSpaceBefore) props.space_before = ReadCompressedSignedShort(f);
  if (props.bits & kParaSpaceAfter) props.space_after = ReadCompressedSignedShort(f);
  if (props.bits & kParaLineSpacing) props.line_spacing = ReadCompressedSignedShort(f);
  if (props.bits & kParaLeftIndent) props.left_indent = ReadCompressedSignedShort(f);
  if (props.bits & kParaRightIndent) props.right_indent = ReadCompressedSignedShort(f);
  if (props.bits & kParaFirstIndent) props.first_indent = ReadCompressedSignedShort(f);
  if (props.bits & kParaBorder) {
    props.border_flags = f.u8();
    f.skip(2);
  }
  if (props.bits & kParaTabs) {
    // At most 63 tab stops, so the count needs no check against the data before reserving.
    unsigned count = (f.u8() & 0x7F) >> 1;
    for (unsigned i = 0; i < count && f.ok(); ++i) {
      unsigned v = ReadCompressedUnsignedShort(f);
      TabStop tab;
      tab.position = static_cast<uint16_t>(v & 0x3FFF);
      if (v & 0x4000) tab.kind = (f.u8() & 0x02) ? TabStop::Kind::kRight : TabStop::Kind::kCenter;
      props.tabs.push_back(tab);
    }
  }
  if (!f.ok()) {
    p.truncated = true;
    p.missing_end = true;
    p.texts.emplace_back(text.Next());
    return;
  }

  bool ended = false;
  while (true) {
    SkipFiller(f);
    if (f.remaining() == 0) break;
    uint8_t code = f.u8();
    if (code == kCmdEnd) {
      ended = true;
      break;
    }
    std::string_view before = text.Next();
    // Decoded in place: a command is large, and most paragraphs have many.
    ParagraphCommand& c = p.commands.emplace_back();
    c.code = code;
    if (!ReadCommandOperands(f, c, position_adjustment)) {
      // The command's operands run past the data: drop it; the text taken before it is the
      // paragraph's last.
      p.commands.pop_back();
      p.truncated = true;
      p.missing_end = true;
      p.texts.emplace_back(before);
      return;
    }
    p.texts.emplace_back(before);
  }
  p.missing_end = !ended;
  p.texts.emplace_back(text.Next());
  return;
}

TableRow DecodeTableRow(ByteReader& f, TextCursor& text, int32_t& position_adjustment) {
  TableRow row;
  DecodeTableRowInto(f, text, position_adjustment, row);
  return row;
}

namespace {

/// DecodeTableRowInto but for the cells beyond the ones read, which are left in `row`: returns
/// how many cells were read.
size_t ReadTableRowInto(ByteReader& f, TextCursor& text, int32_t& position_adjustment,
                        TableRow& row) {
  size_t cells = 0;
  row.columns.clear();
  row.width_factor = TableRow().width_factor;
  row.truncated = false;
  row.column_count = f.u8();
  row.table_type = f.u8();
  if (!f.ok()) {
    row.truncated = true;
    return cells;
  }
  if (row.table_type != kTableTypeScaled && row.table_type != kTableTypeTwips10 &&
      row.table_type != kTableTypeTwips) {
    return cells;  // not supported: the writer reports it; the cells are not read
  }
  if (row.table_type == kTableTypeScaled) row.width_factor = f.u16();
  for (unsigned i = 0; i < row.column_count && f.ok(); ++i) {
    TableColumn col;
    col.width = f.u16();
    col.spacing = f.u16();
    row.columns.push_back(col);
  }
  if (!f.ok()) {
    row.truncated = true;
    return cells;
  }
  while (f.remaining() > kTableMinimumCellBytes) {
    ByteReader look = f;
    uint8_t column = look.u8();
    look.skip(kCellHeaderSize - 1);
    if (column >= row.column_count || look.peek() == kCmdEnd) break;
    f.skip(kCellHeaderSize);
    if (cells == row.cells.size()) row.cells.emplace_back();
    CellParagraph& cell = row.cells[cells++];
    cell.column = column;
    DecodeParagraphInto(f, text, position_adjustment, cell.paragraph);
    if (cell.paragraph.truncated) break;
  }
  return cells;
}

}  // namespace

void DecodeTableRowInto(ByteReader& f, TextCursor& text, int32_t& position_adjustment,
                        TableRow& row) {
  // The cells read reuse the memory of the last row's: the rows of a table mostly have as many.
  const size_t cells = ReadTableRowInto(f, text, position_adjustment, row);
  row.cells.erase(row.cells.begin() + static_cast<std::ptrdiff_t>(cells), row.cells.end());
}

}  // namespace quorvex
