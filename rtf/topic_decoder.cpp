// Placeholder until the topic record decoder lands.
#include "rtf/topic_decoder.h"

namespace quorvex {
std::string_view TextCursor::Next() { return {}; }
TopicLinkHeader DecodeTopicLinkHeader(Bytes) { return {}; }
TopicHeaderRecord DecodeTopicHeader(Bytes, std::string_view) { return {}; }
Paragraph DecodeParagraph(ByteReader&, TextCursor&, int32_t&) { return {}; }
TableRow DecodeTableRow(ByteReader&, TextCursor&, int32_t&) { return {}; }
int ReadCompressedSignedShort(ByteReader&) { return 0; }
int32_t ReadCompressedSignedLong(ByteReader&) { return 0; }
unsigned ReadCompressedUnsignedShort(ByteReader&) { return 0; }
}  // namespace quorvex
