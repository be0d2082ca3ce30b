// The topic block stream: blocks that decode to too much or too little. (The golden conversions
// read records across block boundaries and past filler, and damaged links and record sizes; the
// walk test checks the block bases.)
#include "core/topic_stream.h"

#include <gtest/gtest.h>

#include "core/help_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// A HelpFile whose only content is "|TOPIC" at file offset 16, followed by `trailer`.
struct TopicFixture {
  RecordingDiagnostics diagnostics;
  OutputDir output{"."};
  ConversionSession session{diagnostics, output};
  HelpFile hf;

  TopicFixture(const std::vector<uint8_t>& topic, bool hc30, bool compressed,
               const std::vector<uint8_t>& trailer = {}) {
    hf.bytes = ByteBuilder().zeros(16).bytes(topic).bytes(trailer).take();
    hf.slot(Slot::kTopic) = SlotEntry{16, static_cast<int32_t>(topic.size())};
    hf.is_hc30 = hc30;
    hf.compressed = compressed;
    hf.session = &session;
  }
};

/// A record of `size` bytes in all (header included) whose format part counts up from `seed`.
TopicRecordSpec Record(size_t size, uint8_t seed) {
  TopicRecordSpec r;
  for (size_t i = 21; i < size; ++i) r.format_part.push_back(static_cast<uint8_t>(seed + i));
  return r;
}

struct Walked {
  std::vector<uint8_t> bytes;   // everything delivered, record after record
  std::vector<uint32_t> bases;  // the base after each record's header was read
  bool stopped = false;         // ReadTopicBytes returned 0
};

/// Reads records as the topic walk does (21-byte header, then the rest) until the record whose
/// next field is -1 or a failed read.
Walked Walk(HelpFile& hf) {
  Walked w;
  uint32_t base = 0xDEADBEEF;
  bool flag = false;
  for (;;) {
    std::vector<uint8_t> header(21);
    if (ReadTopicBytes(hf, header, base, flag) == 0) {
      w.stopped = true;
      break;
    }
    std::vector<uint8_t> rest(std::max<int32_t>(0, int32_t(GetU32(header, 0)) - 21));
    const bool ok = rest.empty() || ReadTopicBytes(hf, rest, base, flag) != 0;
    w.bytes.insert(w.bytes.end(), header.begin(), header.end());
    w.bytes.insert(w.bytes.end(), rest.begin(), rest.end());
    w.bases.push_back(base);
    if (!ok) w.stopped = true;
    if (!ok || int32_t(GetU32(header, 12)) == -1) break;
  }
  return w;
}

/// The bytes of every record of the writer's stream, back to back (filler left out).
std::vector<uint8_t> RecordBytes(const TopicFileWriter& w) {
  const std::vector<uint8_t> stream = w.Stream();
  std::vector<uint8_t> out;
  for (size_t i = 0; i < w.record_count(); ++i) {
    const size_t at = w.StreamOffset(i);
    out.insert(out.end(), stream.begin() + at, stream.begin() + at + GetU32(stream, at));
  }
  return out;
}

TEST(TopicStream, LastCompressedBlockStopsAtTheEndOfTopic) {
  TopicFileWriter w(TopicFileOptions{.compressed = true});
  w.Add(Record(3000, 1));
  // Runs into block 1, whose 3626 stream bytes pack into 4080 bytes: the block's data ends 4
  // bytes before a full block's would.
  w.Add(Record(3626 + 3630 - 3000, 2));
  const std::vector<uint8_t> topic = w.Build();
  ASSERT_EQ(topic.size(), 4096u + 12u + 4080u);
  // Bytes after |TOPIC that would decode as 8 more literals if they were consumed.
  TopicFixture f(topic, false, true, {0x00, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 0, 0, 0});
  EXPECT_EQ(Walk(f.hf).bytes, RecordBytes(w));
  EXPECT_EQ(f.hf.topic_stream.block, 1);
  EXPECT_EQ(f.hf.topic_stream.valid_length, 3626u);
}

TEST(TopicStream, BlockThatExpandsBeyondItsBufferIsCut) {
  // Block 0: a record header in literals (a record size that never ends), then back-references
  // of 18 bytes at distance 1.
  std::vector<uint8_t> record = TopicLinkRecord(Record(21, 0), -1);
  PutU32(record, 0, 0x7FFFFFFF);
  ByteBuilder topic;
  topic.zeros(12);
  for (size_t i = 0; i < 24; i += 8) {
    topic.u8(0);
    for (size_t j = i; j < i + 8; ++j) topic.u8(j < record.size() ? record[j] : 0);
  }
  while (topic.size() + 17 <= 4096) {
    topic.u8(0xFF);
    for (int i = 0; i < 8; ++i) topic.u16(0xF000);
  }
  TopicFixture f(topic.take(), false, true);
  std::vector<uint8_t> all(30000);
  uint32_t base = 0;
  bool flag = false;
  EXPECT_EQ(ReadTopicBytes(f.hf, all, base, flag), 0u);
  EXPECT_EQ(f.hf.topic_stream.valid_length, 6u * 4084u);
  EXPECT_EQ(f.diagnostics.Count(kWarnTopicBlockOverflow), 1u);
}

}  // namespace
}  // namespace quorvex
