// The topic block stream over "|TOPIC" files built by the test topic writer.
#include "core/topic_stream.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/help_file.h"
#include "tests/support/byte_builder.h"
#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

using testsupport::ByteBuilder;
using testsupport::TopicFileOptions;
using testsupport::TopicFileWriter;
using testsupport::TopicRecordSpec;

/// A HelpFile whose only content is "|TOPIC" at file offset 16, followed by `trailer`.
struct TopicFixture {
  RecordingDiagnostics diagnostics;
  OutputDir output{"."};
  ConversionSession session{diagnostics, output};
  HelpFile hf;

  TopicFixture(const std::vector<uint8_t>& topic, bool hc30, bool compressed,
               const std::vector<uint8_t>& trailer = {}) {
    hf.bytes.assign(16, 0);
    hf.bytes.insert(hf.bytes.end(), topic.begin(), topic.end());
    hf.bytes.insert(hf.bytes.end(), trailer.begin(), trailer.end());
    hf.slot(Slot::kTopic) = SlotEntry{16, static_cast<int32_t>(topic.size())};
    hf.is_hc30 = hc30;
    hf.compressed = compressed;
    hf.session = &session;
  }
};

/// A record of `size` bytes in all (header included) whose format part counts up from `seed`.
TopicRecordSpec Record(size_t size, uint8_t seed) {
  TopicRecordSpec r;
  r.type = 0x20;
  for (size_t i = 21; i < size; ++i) r.format_part.push_back(static_cast<uint8_t>(seed + i));
  return r;
}

struct Walked {
  std::vector<uint8_t> bytes;   // everything delivered, record after record
  std::vector<uint32_t> bases;  // the base after each record's header was read
  std::vector<bool> new_block;  // the flag after each record
  bool stopped = false;         // ReadTopicBytes returned 0
};

/// Reads records as the topic walk does (21-byte header, then the rest) until the record whose
/// next field is -1, a failed read, or `limit` records.
Walked Walk(HelpFile& hf, size_t limit = 1000) {
  Walked w;
  uint32_t base = 0xDEADBEEF;
  bool flag = false;
  for (size_t n = 0; n < limit; ++n) {
    std::vector<uint8_t> header(21);
    flag = false;
    if (ReadTopicBytes(hf, header, base, flag) == 0) {
      w.stopped = true;
      break;
    }
    int32_t size = static_cast<int32_t>(testsupport::GetU32(header, 0));
    int32_t next = static_cast<int32_t>(testsupport::GetU32(header, 12));
    std::vector<uint8_t> rest(size > 21 ? size - 21 : 0);
    bool ok = rest.empty() || ReadTopicBytes(hf, rest, base, flag) != 0;
    w.bytes.insert(w.bytes.end(), header.begin(), header.end());
    w.bytes.insert(w.bytes.end(), rest.begin(), rest.end());
    w.bases.push_back(base);
    w.new_block.push_back(flag);
    if (!ok) {
      w.stopped = true;
      break;
    }
    if (next == -1) break;
  }
  return w;
}

/// The bytes of every record of the writer's stream, back to back (filler left out).
std::vector<uint8_t> RecordBytes(const TopicFileWriter& w) {
  std::vector<uint8_t> stream = w.Stream();
  std::vector<uint8_t> out;
  for (size_t i = 0; i < w.record_count(); ++i) {
    size_t at = w.StreamOffset(i);
    uint32_t size = testsupport::GetU32(stream, at);
    out.insert(out.end(), stream.begin() + at, stream.begin() + at + size);
  }
  return out;
}

TEST(TopicStream, RecordsOfOneBlockComeFromOneLoad) {
  TopicFileWriter w;
  w.Add(Record(40, 1));
  w.Add(Record(100, 2));
  w.Add(Record(21, 3));
  EXPECT_EQ(w.Position(0), 12u);
  TopicFixture f(w.Build(), false, false);
  Walked got = Walk(f.hf);
  EXPECT_FALSE(got.stopped);
  EXPECT_EQ(got.bytes, RecordBytes(w));
  EXPECT_EQ(got.bases, (std::vector<uint32_t>{0, 0, 0}));
  EXPECT_EQ(got.new_block, (std::vector<bool>{true, false, false}));
  EXPECT_EQ(f.hf.topic_stream.block, 0);
}

TEST(TopicStream, RecordRunsOnIntoTheNextBlock) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "stored");
    TopicFileWriter w(TopicFileOptions{.compressed = compressed});
    w.Add(Record(60, 1));
    w.StartBeforeBlockEnd(100);
    w.Add(Record(300, 2));  // 100 bytes in block 0, 200 in block 1
    w.Add(Record(50, 3));
    TopicFixture f(w.Build(), false, compressed);
    Walked got = Walk(f.hf);
    EXPECT_FALSE(got.stopped);
    EXPECT_EQ(got.bytes, RecordBytes(w));
    EXPECT_EQ(got.bases, (std::vector<uint32_t>{0, 32768, 32768}));
    EXPECT_EQ(got.new_block, (std::vector<bool>{true, true, false}));
    EXPECT_TRUE(f.diagnostics.warnings.empty());
  }
}

TEST(TopicStream, RecordHeaderMayStraddleBlocks) {
  for (uint32_t before_end : {1u, 10u, 16u, 20u, 21u}) {
    SCOPED_TRACE(before_end);
    TopicFileWriter w;
    w.Add(Record(30, 1));
    w.StartBeforeBlockEnd(before_end, 0xEE);
    w.Add(Record(80, 2));
    w.Add(Record(40, 3));
    TopicFixture f(w.Build(), false, false);
    Walked got = Walk(f.hf);
    EXPECT_FALSE(got.stopped);
    EXPECT_EQ(got.bytes, RecordBytes(w));
  }
}

TEST(TopicStream, FillerAfterTheLastRecordOfABlockIsSkipped) {
  for (bool compressed : {false, true}) {
    SCOPED_TRACE(compressed ? "compressed" : "stored");
    TopicFileWriter w(TopicFileOptions{.compressed = compressed});
    w.Add(Record(200, 1));
    w.FillToBlockEnd(0xAB);
    w.Add(Record(70, 2));
    w.FillToBlockEnd(0xCD);
    w.Add(Record(70, 3));
    EXPECT_EQ(w.Position(1), (1u << 14) + 12);
    TopicFixture f(w.Build(), false, compressed);
    Walked got = Walk(f.hf);
    EXPECT_FALSE(got.stopped);
    EXPECT_EQ(got.bytes, RecordBytes(w));
    EXPECT_EQ(got.bases, (std::vector<uint32_t>{0, 32768, 65536}));
  }
}

TEST(TopicStream, Hc30BlocksAndRelativeLinks) {
  TopicFileWriter w(TopicFileOptions{.hc30 = true});
  for (uint8_t i = 0; i < 30; ++i) w.Add(Record(150 + 7 * i, i));
  w.FillToBlockEnd();
  w.Add(Record(99, 99));
  TopicFixture f(w.Build(), true, false);
  Walked got = Walk(f.hf);
  EXPECT_FALSE(got.stopped);
  EXPECT_EQ(got.bytes, RecordBytes(w));
  // 2048-byte blocks: the base of block n is n * 4096.
  EXPECT_EQ(got.bases.back(), static_cast<uint32_t>(f.hf.topic_stream.block) * 4096u);
  EXPECT_GE(f.hf.topic_stream.block, 3);
}

TEST(TopicStream, TwoPassesWithAResetDeliverTheSameBytes) {
  TopicFileWriter w(TopicFileOptions{.compressed = true});
  for (uint8_t i = 0; i < 40; ++i) w.Add(Record(333, i));
  TopicFixture f(w.Build(), false, true);
  Walked first = Walk(f.hf);
  ResetTopicStream(f.hf);
  EXPECT_FALSE(f.hf.topic_stream.started);
  Walked second = Walk(f.hf);
  EXPECT_EQ(first.bytes, RecordBytes(w));
  EXPECT_EQ(second.bytes, first.bytes);
  EXPECT_EQ(second.bases, first.bases);
}

// Malformed streams: every one ends with a failed read, none hangs.
struct MalformedCase {
  const char* name;
  std::function<void(TopicFileWriter&)> build;
};

TEST(TopicStream, MalformedLinksEndTheStream) {
  const MalformedCase cases[] = {
      {"next record beyond the data of its block",
       [](TopicFileWriter& w) {
         TopicRecordSpec r = Record(40, 1);
         r.next = 12 + 3000;  // block 0 holds fewer bytes
         w.Add(r);
         w.Add(Record(40, 2));
       }},
      {"next record in a block past the end",
       [](TopicFileWriter& w) {
         TopicRecordSpec r = Record(40, 1);
         r.next = (40 << 14) + 12;
         w.Add(r);
         w.Add(Record(40, 2));
       }},
      {"next record points backwards",
       [](TopicFileWriter& w) {
         w.Add(Record(40, 1));
         TopicRecordSpec r = Record(40, 2);
         r.next = 12;
         w.Add(r);
         w.Add(Record(40, 3));
       }},
      {"next record points at itself",
       [](TopicFileWriter& w) {
         w.Add(Record(40, 1));
         TopicRecordSpec r = Record(40, 2);
         r.next = 12 + 40;
         w.Add(r);
         w.Add(Record(40, 3));
       }},
      {"next record inside the block header",
       [](TopicFileWriter& w) {
         TopicRecordSpec r = Record(40, 1);
         r.next = 5;
         w.Add(r);
         w.Add(Record(40, 2));
       }},
      {"record size runs past the last block",
       [](TopicFileWriter& w) {
         w.Add(Record(40, 1));
         TopicRecordSpec r = Record(40, 2);
         r.record_size = 100000;
         w.Add(r);
       }},
      {"record size smaller than its header",
       [](TopicFileWriter& w) {
         TopicRecordSpec r = Record(40, 1);
         r.record_size = 0;
         w.Add(r);
         w.Add(Record(40, 2));
       }},
      {"negative record size",
       [](TopicFileWriter& w) {
         TopicRecordSpec r = Record(40, 1);
         r.record_size = -5;
         w.Add(r);
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TopicFileWriter w;
    c.build(w);
    TopicFixture f(w.Build(), false, false);
    // Read far more than there is, in small pieces and in one piece.
    std::vector<uint8_t> piece(7);
    uint32_t base = 0;
    bool flag = false;
    size_t reads = 0;
    while (ReadTopicBytes(f.hf, piece, base, flag) != 0 && reads < 100000) ++reads;
    EXPECT_LT(reads, 100000u);
    ResetTopicStream(f.hf);
    std::vector<uint8_t> big(1 << 20, 0x55);
    EXPECT_EQ(ReadTopicBytes(f.hf, big, base, flag), 0u);
    EXPECT_EQ(big.back(), 0) << "the undelivered rest is zeros";
  }
}

TEST(TopicStream, ReadingPastTheLastRecordReturnsZero) {
  TopicFileWriter w;
  w.Add(Record(40, 1));
  TopicFixture f(w.Build(), false, false);
  Walked got = Walk(f.hf);
  EXPECT_FALSE(got.stopped);
  std::vector<uint8_t> more(21);
  uint32_t base = 0;
  bool flag = false;
  EXPECT_EQ(ReadTopicBytes(f.hf, more, base, flag), 0u);
  EXPECT_EQ(ReadTopicBytes(f.hf, more, base, flag), 0u);
}

TEST(TopicStream, EmptyOrMissingTopicFile) {
  TopicFixture f({}, false, true);
  std::vector<uint8_t> header(21);
  uint32_t base = 7;
  bool flag = false;
  EXPECT_EQ(ReadTopicBytes(f.hf, header, base, flag), 0u);
  EXPECT_EQ(base, 0u);
  f.hf.slot(Slot::kTopic) = SlotEntry{};
  ResetTopicStream(f.hf);
  EXPECT_EQ(ReadTopicBytes(f.hf, header, base, flag), 0u);
}

TEST(TopicStream, LastCompressedBlockStopsAtTheEndOfTopic) {
  TopicFileWriter w(TopicFileOptions{.compressed = true});
  w.Add(Record(3000, 1));
  // Runs into block 1, whose 3626 stream bytes pack into 4080 bytes: the block's data ends 4
  // bytes before a full block's would.
  w.Add(Record(3626 + 3630 - 3000, 2));
  std::vector<uint8_t> topic = w.Build();
  // Bytes after |TOPIC that would decode as 8 more literals if they were consumed.
  std::vector<uint8_t> trailer = {0x00, 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 0, 0, 0};
  TopicFixture f(topic, false, true, trailer);
  Walked got = Walk(f.hf);
  EXPECT_FALSE(got.stopped);
  EXPECT_EQ(got.bytes, RecordBytes(w));
  EXPECT_EQ(f.hf.topic_stream.block, 1);
  EXPECT_EQ(f.hf.topic_stream.valid_length, 3626u);
  EXPECT_EQ(topic.size(), 4096u + 12u + 4080u);
}

TEST(TopicStream, BlockThatExpandsBeyondItsBufferIsCut) {
  // Block 0: a record header in literals, then back-references of 18 bytes at distance 1.
  ByteBuilder data;
  std::vector<uint8_t> record = testsupport::TopicLinkRecord(Record(21, 0), -1);
  record[0] = 0xFF;  // record size 0x7FFFFFFF: the record never ends
  record[1] = record[2] = 0xFF;
  record[3] = 0x7F;
  for (size_t i = 0; i < record.size(); i += 8) {
    data.u8(0);
    for (size_t j = i; j < i + 8; ++j) data.u8(j < record.size() ? record[j] : 0);
  }
  while (data.size() + 17 <= 4084) {
    data.u8(0xFF);
    for (int i = 0; i < 8; ++i) data.u16(0xF000);
  }
  ByteBuilder topic;
  topic.zeros(12).bytes(data.data());
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
