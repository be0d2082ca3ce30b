// The LZ77 and run-length decoders: the format's examples, damaged input, and an output
// capacity that is never exceeded. (The golden conversions decode what the test encoder writes.)
#include "core/decompress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/lz77_encoder.h"

namespace quorvex {
namespace {

using namespace std::string_literals;
using testsupport::Lz77Encode;

std::string AsString(const std::vector<uint8_t>& v) {
  return std::string(v.begin(), v.end());
}
std::vector<uint8_t> AsBytes(std::string_view s) {
  return std::vector<uint8_t>(s.begin(), s.end());
}

/// Decodes `in` into `capacity` bytes followed by guard bytes, which must stay as they were.
std::pair<Lz77Result, std::string> Decode(const std::vector<uint8_t>& in, size_t capacity) {
  std::vector<uint8_t> buffer(capacity + 64, 0xA5);
  const Lz77Result r = DecompressLz77(in, std::span<uint8_t>(buffer).first(capacity));
  EXPECT_EQ(std::count(buffer.begin() + std::ptrdiff_t(capacity), buffer.end(), 0xA5), 64);
  return {r, std::string(buffer.begin(), buffer.begin() + std::ptrdiff_t(r.produced))};
}

TEST(DecompressLz77, FormatExamplesAndDamage) {
  const std::tuple<const char*, std::string, std::string, size_t, bool> cases[] = {
      // name, input, output, bytes consumed, damaged
      {"word 0xF000: 18 bytes from 1 back", "\x02x\0\xF0"s, std::string(19, 'x'), 4, false},
      {"overlapping: the last 2 bytes again", "\x04st\x01\x30", "stststst", 5, false},
      {"input ends after a flag byte", "\0abcdefgh\0"s, "abcdefgh", 10, false},
      {"input ends inside a back-reference", "\x02q\0"s, "q", 2, true},
      {"reference one byte too far back", "\x08pqr\x03\0z"s, "pqr", 4, true},
  };
  for (const auto& [name, text, expected, consumed, damaged] : cases) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> in = AsBytes(text);
    // With room to spare, and with exactly the room needed: damage is no overflow.
    for (size_t capacity : {size_t{5000}, expected.size()}) {
      const auto [r, out] = Decode(in, capacity);
      EXPECT_EQ(out, expected);
      EXPECT_EQ(r.consumed, consumed);
      EXPECT_EQ(r.damaged, damaged);
      EXPECT_FALSE(r.overflow);
    }
    EXPECT_EQ(Lz77DecodedSize(in), expected.size());
    bool vector_damaged = false;
    EXPECT_EQ(AsString(DecompressLz77ToVector(in, &vector_damaged)), expected);
    EXPECT_EQ(vector_damaged, damaged);
  }
}

TEST(DecompressLz77, RoundTripsTheTestEncoderAtEveryCapacity) {
  // Repeats of every length from 3 to 18 at many distances; the densest output there is
  // (references of 18 bytes from 1 back); a match 4096 bytes back, the farthest. Every capacity
  // yields a prefix and never more.
  std::string words;
  for (int i = 0; words.size() < 3000; ++i)
    words += "w" + std::to_string(i * 7919 % 61) + std::string(size_t(i % 17), 'x');
  const std::string far = "XYZ" + std::string(4093, '.') + "XYZ";
  for (const std::string& plain : {words, std::string(3000, 'a'), far}) {
    const std::vector<uint8_t> packed = Lz77Encode(AsBytes(plain));
    ASSERT_TRUE(plain != far || packed.back() == 0x0F) << "the last item is word 0x0FFF";
    for (size_t capacity = 0; capacity <= plain.size(); capacity += capacity < 800 ? 1 : 97) {
      const auto [r, out] = Decode(packed, capacity);
      ASSERT_EQ(out, plain.substr(0, capacity));
      ASSERT_EQ(r.overflow, capacity < plain.size());
    }
    EXPECT_EQ(Decode(packed, plain.size()).first.consumed, packed.size());
    EXPECT_EQ(AsString(DecompressLz77ToVector(packed)), plain);
  }
}

TEST(DecodeRle, RunsOfBothKindsAndDamage) {
  std::string large_in, large_out;  // far beyond one chunk of the sink
  for (int i = 0; i < 3000; ++i) {
    large_in += "\x7F"s + char(i) + "\x82pq";
    large_out += std::string(0x7F, char(i)) + "pq";
  }
  const std::pair<std::string, std::string> cases[] = {
      {"\x83pqr\x03s", "pqrsss"},
      {"\x80\0x\x02s"s, "ss"},  // runs of length 0
      {"\x02s\x05", "ss"},      // a single trailing byte is never read
      {"\x85st", "st"},         // a copy run past the end copies what is there
      {"\xFF" + std::string(127, 'a') + "\x7Fy", std::string(127, 'a') + std::string(127, 'y')},
      {large_in, large_out},
  };
  for (const auto& [text, expected] : cases) {
    const std::vector<uint8_t> in = AsBytes(text);
    EXPECT_EQ(AsString(DecodeRleToVector(in)), expected);
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(DecodeRle(in, *sink), expected.size());
    EXPECT_EQ(sink->contents(), expected);
  }
  // A limit gives a prefix, also inside a run.
  for (size_t limit : {7, 3, 0})
    EXPECT_EQ(AsString(DecodeRleToVector(AsBytes("\x05s\x83xyz"), limit)),
              std::string("sssssxyz", limit));
}

}  // namespace
}  // namespace quorvex
