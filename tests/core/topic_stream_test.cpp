// The topic block stream: a block that decodes to more than its buffer holds. (The golden
// conversions read records across block boundaries, past filler and into a shorter last block,
// and damaged links and record sizes; the walk test checks the block bases.)
#include "core/topic_stream.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

TEST(TopicStream, BlockThatExpandsBeyondItsBufferIsCut) {
  // One block: a record whose size never ends, then zeros that pack into references of 18
  // bytes, far more than six times the block's data decode to.
  std::vector<uint8_t> record = TopicLinkRecord({}, -1);
  PutU32(record, 0, 0x7FFFFFFF);
  record.resize(30000);
  const std::vector<uint8_t> topic = ByteBuilder().zeros(12).bytes(Lz77Encode(record)).take();
  ASSERT_LE(topic.size(), 4096u);
  RecordingDiagnostics diagnostics;
  auto output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  auto hf = OpenHelpFileFromBytes(
      AssembleHelpFile({{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)}, {"|TOPIC", topic}}),
      "T.HLP", 0, session);
  std::vector<uint8_t> out(30000);
  uint32_t base = 0;
  bool new_block = false;
  EXPECT_EQ(ReadTopicBytes(*hf, out, base, new_block), 0u);
  EXPECT_EQ(hf->topic_stream.valid_length, 6u * 4084u);
  EXPECT_EQ(diagnostics.Count(kWarnTopicBlockOverflow), 1u);
}

}  // namespace
}  // namespace quorvex
