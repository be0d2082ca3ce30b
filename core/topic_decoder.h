// Decoding of TopicLink records into the plain structures of topic_model.h.
#pragma once

#include "core/byte_reader.h"
#include "core/diagnostics.h"
#include "core/topic_model.h"

namespace quorvex {

/// The 21-byte record header.
TopicLinkHeader DecodeTopicLinkHeader(Bytes header);

/// A topic header's FormatPart (fields beyond the data read as 0, as in a zero-filled buffer)
/// and its expanded text.
TopicHeaderRecord DecodeTopicHeader(Bytes format_part, std::string_view text);

/// A paragraph at `format` (after the numbers that the record type puts in front of it),
/// taking its text strings from `text`. Leaves `format` after the paragraph's 0xFF.
/// Adds the character counts of its objects to `position_adjustment`.
Paragraph DecodeParagraph(ByteReader& format, TextCursor& text, int32_t& position_adjustment);
/// The same into `out`, whose lists keep their memory.
void DecodeParagraphInto(ByteReader& format, TextCursor& text, int32_t& position_adjustment,
                         Paragraph& out);

/// A table row at `format` (after the two numbers in front of it).
TableRow DecodeTableRow(ByteReader& format, TextCursor& text, int32_t& position_adjustment);
/// The same into `out`, whose lists (and its cells' paragraphs) keep their memory.
void DecodeTableRowInto(ByteReader& format, TextCursor& text, int32_t& position_adjustment,
                        TableRow& out);

/// The FormatPart of a paragraph record (type 1 or 32): skips the compressed signed long and,
/// for type 32, the compressed unsigned short in front of the paragraph, then decodes it.
Paragraph DecodeParagraphRecord(uint8_t type, Bytes format_part, TextCursor& text,
                                int32_t& position_adjustment);
void DecodeParagraphRecordInto(uint8_t type, Bytes format_part, TextCursor& text,
                               int32_t& position_adjustment, Paragraph& out);

/// The FormatPart of a table record (type 35): skips the compressed signed long and the
/// compressed unsigned short in front of the row, then decodes it.
TableRow DecodeTableRecord(Bytes format_part, TextCursor& text, int32_t& position_adjustment);
void DecodeTableRecordInto(Bytes format_part, TextCursor& text, int32_t& position_adjustment,
                           TableRow& out);

/// Reports what went wrong while decoding a paragraph (the data ending without 0xFF, operands
/// running past it, objects of unknown type): one warning per kind and paragraph.
void WarnParagraphProblems(Diagnostics& diagnostics, const Paragraph& paragraph);

/// As WarnParagraphProblems for a table row: its layout and every cell paragraph.
void WarnTableProblems(Diagnostics& diagnostics, const TableRow& row);

// The compressed number forms of topic records. Each advances the reader.
int ReadCompressedSignedShort(ByteReader& r);
int32_t ReadCompressedSignedLong(ByteReader& r);
unsigned ReadCompressedUnsignedShort(ByteReader& r);

}  // namespace quorvex
