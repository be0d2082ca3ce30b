// Placeholder until the topic block stream lands.
#include "core/topic_stream.h"

#include "core/help_file.h"

namespace quorvex {
TopicGeometry TopicGeometryOf(const HelpFile& hf) {
  return hf.is_hc30 ? TopicGeometry{2048, 11, 0x7FF} : TopicGeometry{4096, 14, 0x3FFF};
}
size_t ReadTopicBytes(HelpFile&, std::span<uint8_t>, uint32_t&, bool&) { return 0; }
void ResetTopicStream(HelpFile& hf) { hf.topic_stream = TopicStream(); }
}  // namespace quorvex
