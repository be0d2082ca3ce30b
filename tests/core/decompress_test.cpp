// The LZ77 and run-length decoders: the format's examples, damaged input, and an output
// capacity that is never exceeded. (The golden conversions decode what the test encoder writes.)
#include "core/decompress.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/lz77_encoder.h"

namespace quorvex {
namespace {

using testsupport::Lz77Encode;

std::string AsString(const std::vector<uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

/// Decodes `in` into a buffer of `capacity` bytes followed by guard bytes, and checks that no
/// guard byte was touched.
struct GuardedDecode {
  static constexpr size_t kGuard = 64;
  static constexpr uint8_t kGuardByte = 0xA5;
  Lz77Result result;
  std::string output;

  GuardedDecode(const std::vector<uint8_t>& in, size_t capacity) {
    std::vector<uint8_t> buffer(capacity + kGuard, kGuardByte);
    result = DecompressLz77(in, std::span<uint8_t>(buffer).first(capacity));
    output.assign(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(result.produced));
    for (size_t i = capacity; i < buffer.size(); ++i)
      EXPECT_EQ(buffer[i], kGuardByte) << "guard byte " << i - capacity << " overwritten";
  }
};

/// `history` as literals (flag bytes 0), then `tail`.
std::vector<uint8_t> Literals(std::string_view history, std::vector<uint8_t> tail) {
  std::vector<uint8_t> in;
  for (size_t i = 0; i < history.size(); ++i) {
    if (i % 8 == 0) in.push_back(0x00);
    in.push_back(static_cast<uint8_t>(history[i]));
  }
  in.insert(in.end(), tail.begin(), tail.end());
  return in;
}

TEST(DecompressLz77, DecodesGroupsAndStopsAtDamage) {
  struct Case {
    const char* name;
    std::vector<uint8_t> in;
    std::string expected;
    size_t consumed;
    bool damaged;
  };
  // Eight references of 3 bytes from 8 back: flag 0xFF takes 17 bytes, then the next group.
  std::vector<uint8_t> eight_references = Literals("ABCDEFGH", {0xFF});
  for (int i = 0; i < 8; ++i) eight_references.insert(eight_references.end(), {0x07, 0x00});
  eight_references.insert(eight_references.end(), {0x00, 'z'});
  // Word 0x0FFF: 3 bytes from 4096 back, the farthest; with one byte less history it reaches
  // before the start.
  const std::string abc =
                        "ABCDEFGH"
                        "ABCDEFGH"
                        "ABCDEFGHABCDEFGH"
                        "z",
                    x19(19, 'x');
  const std::string far = "XYZ" + std::string(4093, '.');
  std::vector<uint8_t> too_far = Literals(far.substr(1), {0xFF, 0x0F});
  too_far[511 * 9] = 0x80;  // the last group: seven literals, then the reference
  const std::vector<Case> cases = {
      {"flag 0x00: eight literals, nine bytes", Literals("abcdefgh", {}), "abcdefgh", 9, false},
      {"word 0xF000: length 18, distance 1", {0x02, 'x', 0x00, 0xF0}, x19, 4, false},
      {"overlapping: the last 2 bytes again", {0x04, 'a', 'b', 0x01, 0x30}, "abababab", 5, false},
      {"flag 0xFF: eight references in 17 bytes", eight_references, abc, 9 + 17 + 2, false},
      {"word 0xFFF reaches back 4096 bytes", Literals(far, {0x01, 0xFF, 0x0F}), far + "XYZ",
       4096 + 512 + 3, false},
      {"one byte less history", too_far, far.substr(1), too_far.size() - 2, true},
      {"input ends after three literals of a group", {0x00, 'a', 'b', 'c'}, "abc", 4, false},
      {"input ends after a flag byte", Literals("abcdefgh", {0x00}), "abcdefgh", 10, false},
      {"input ends inside a back-reference", {0x02, 'a', 0x00}, "a", 2, true},
      {"reference before the start of the output", {0x01, 0x00, 0x00}, "", 1, true},
      {"reference one byte too far back", {0x08, 'a', 'b', 'c', 0x03, 0x00, 'z'}, "abc", 4, true},
      {"empty input", {}, "", 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t capacity : {size_t{5000}, c.expected.size()}) {
      GuardedDecode d(c.in, capacity);
      EXPECT_EQ(d.output, c.expected);
      EXPECT_EQ(d.result.consumed, c.consumed);
      EXPECT_EQ(d.result.damaged, c.damaged);
      EXPECT_FALSE(d.result.overflow);
    }
    EXPECT_EQ(Lz77DecodedSize(c.in), c.expected.size());
    bool damaged = false;
    EXPECT_EQ(AsString(DecompressLz77ToVector(c.in, &damaged)), c.expected);
    EXPECT_EQ(damaged, c.damaged);
  }
}

TEST(DecompressLz77, NeverWritesBeyondTheCapacity) {
  struct Case {
    const char* name;
    std::vector<uint8_t> in;
    size_t capacity;
    std::string expected;
    size_t consumed;
  };
  const std::vector<Case> cases = {
      {"literals cut", Literals("abcdefgh", {}), 5, "abcde", 6},
      {"reference cut", {0x02, 'x', 0x00, 0xF0}, 10, std::string(10, 'x'), 4},
      {"capacity zero", {0x00, 'a'}, 0, "", 1},
      {"capacity reached before the next group", Literals("abcdefghi", {}), 8, "abcdefgh", 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedDecode d(c.in, c.capacity);
    EXPECT_EQ(d.output, c.expected);
    EXPECT_EQ(d.result.consumed, c.consumed);
    EXPECT_TRUE(d.result.overflow);
    EXPECT_FALSE(d.result.damaged);
  }
  // All references of the greatest length: the densest output there is stays within the bound.
  std::vector<uint8_t> dense = {0xFE, 'a'};
  for (int i = 0; i < 7 + 8 * 100; ++i) {
    if (i >= 7 && (i - 7) % 8 == 0) dense.push_back(0xFF);
    dense.insert(dense.end(), {0x00, 0xF0});
  }
  EXPECT_GT(Lz77DecodedSize(dense), 8 * dense.size());
  EXPECT_LE(Lz77DecodedSize(dense), kLz77MaxExpansion * dense.size());
}

TEST(DecompressLz77, RoundTripsTheTestEncoderAtEveryCapacity) {
  // Repeats of every length from 3 to 18 and at many distances; each capacity yields a prefix.
  std::vector<uint8_t> plain;
  for (int i = 0; plain.size() < 3000; ++i) {
    const std::string word = "w" + std::to_string(i * 7919 % 61) + std::string(size_t(i % 17), 'x');
    plain.insert(plain.end(), word.begin(), word.end());
  }
  const std::vector<uint8_t> packed = Lz77Encode(plain);
  ASSERT_LT(packed.size(), plain.size() / 2);
  for (size_t capacity = 0; capacity <= plain.size(); capacity += capacity < 800 ? 1 : 97) {
    GuardedDecode d(packed, capacity);
    ASSERT_EQ(d.output, std::string(plain.begin(), plain.begin() + capacity));
    ASSERT_EQ(d.result.overflow, capacity < plain.size());
  }
  EXPECT_EQ(DecompressLz77ToVector(packed), plain);
}

TEST(DecodeRle, RunsOfBothKinds) {
  struct Case {
    const char* name;
    std::vector<uint8_t> in;
    std::string expected;
  };
  std::vector<Case> cases = {
      {"copy run then repeat run", {0x83, 'A', 'B', 'C', 0x03, 'D'}, "ABCDDD"},
      {"one byte of input", {0x83}, ""},
      {"no input", {}, ""},
      {"0x80 and 0x00 produce nothing", {0x80, 0x00, 'x', 0x02, 'B'}, "BB"},
      {"a single trailing byte is never read", {0x02, 'A', 0x85}, "AA"},
      {"a copy run past the end copies what is there", {0x85, 'A', 'B'}, "AB"},
      {"the longest runs", {0xFF}, std::string(127, 'a') + std::string(127, 'b')},
  };
  cases.back().in.insert(cases.back().in.end(), 127, 'a');
  cases.back().in.insert(cases.back().in.end(), {0x7F, 'b'});
  // Output far beyond one chunk of the sink.
  Case large{"large output", {}, ""};
  for (int i = 0; i < 3000; ++i) {
    large.in.insert(large.in.end(), {0x7F, static_cast<uint8_t>(i), 0x82, 'p', 'q'});
    large.expected += std::string(0x7F, static_cast<char>(i)) + "pq";
  }
  cases.push_back(large);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AsString(DecodeRleToVector(c.in)), c.expected);
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(DecodeRle(c.in, *sink), c.expected.size());
    EXPECT_EQ(sink->contents(), c.expected);
  }
  const std::vector<uint8_t> in = {0x05, 'a', 0x83, 'x', 'y', 'z'};
  for (size_t limit : {7, 3, 0})
    EXPECT_EQ(AsString(DecodeRleToVector(in, limit)), std::string("aaaaaxyz", limit));
}

TEST(StreamDecoders, WriteWhatTheyReturn) {
  const std::vector<uint8_t> rle = {0x83, 'A', 'B', 'C', 0x03, 'D', 0x04, '\n'};
  const std::vector<uint8_t> packed = Lz77Encode(rle);
  auto sink = OutputSink::Memory(false);
  EXPECT_EQ(DecompressLz77ToStream(packed, *sink), rle.size());
  EXPECT_EQ(DecompressLz77Rle(packed, *sink), 10u);
  EXPECT_EQ(CopyRaw(rle, *sink), rle.size());
  // A damaged stream writes what was decoded before the damage (distance 33 after 8 bytes).
  EXPECT_EQ(DecompressLz77ToStream(Literals("abcdefgh", {0x01, 0x20, 0x00}), *sink), 8u);
  EXPECT_EQ(sink->contents(), AsString(rle) + "ABCDDD\n\n\n\n" + AsString(rle) + "abcdefgh");
}

}  // namespace
}  // namespace quorvex
