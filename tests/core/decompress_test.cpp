#include "core/decompress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/lz77_encoder.h"

namespace quorvex {
namespace {

using testsupport::Lz77Encode;
using testsupport::Lz77Mode;

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

struct Lz77Case {
  const char* name;
  std::vector<uint8_t> in;
  std::string expected;
  size_t consumed;
  bool damaged;
};

// 4096 bytes of history whose first three bytes are "XYZ", for the longest distance.
std::vector<uint8_t> FarHistoryThenReference() {
  std::vector<uint8_t> in;
  std::string history = "XYZ" + std::string(4093, '.');
  for (size_t i = 0; i < history.size(); i += 8) {
    in.push_back(0x00);  // flag: 8 literals
    in.insert(in.end(), history.begin() + static_cast<std::ptrdiff_t>(i),
              history.begin() + static_cast<std::ptrdiff_t>(i + 8));
  }
  in.insert(in.end(), {0x01, 0xFF, 0x0F});  // flag: 1 reference; w = 0x0FFF: length 3, dist 4096
  return in;
}

TEST(DecompressLz77, DecodesGroupsAndStopsAtDamage) {
  const std::vector<Lz77Case> cases = {
      {"flag 0x00: eight literals, nine bytes",
       {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'},
       "abcdefgh",
       9,
       false},
      {"word 0xF000: length 18, distance 1",
       {0x02, 'x', 0x00, 0xF0},
       std::string(19, 'x'),
       4,
       false},
      {"overlapping reference repeats the last distance bytes",
       {0x04, 'a', 'b', 0x01, 0x30},  // w = 0x3001: length 6, distance 2
       "abababab",
       5,
       false},
      {"input ends after three literals of a group", {0x00, 'a', 'b', 'c'}, "abc", 4, false},
      {"input ends after a flag byte",
       {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00},
       "abcdefgh",
       10,
       false},
      {"input ends inside a back-reference", {0x02, 'a', 0x00}, "a", 2, true},
      {"reference before the start of the output", {0x01, 0x00, 0x00}, "", 1, true},
      {"reference one byte too far back",
       {0x08, 'a', 'b', 'c', 0x03, 0x00, 'z'},
       "abc",
       4,
       true},  // distance 4 after 3 bytes
      {"empty input", {}, "", 0, false},
  };
  for (const Lz77Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (size_t capacity : {size_t{4096}, c.expected.size()}) {
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

TEST(DecompressLz77, FlagFFIsEightReferencesInSeventeenBytes) {
  std::vector<uint8_t> in = {0x00, 'A', 'B', 'C', 'D', 'E', 'F', 'G', 'H', 0xFF};
  for (int i = 0; i < 8; ++i) in.insert(in.end(), {0x07, 0x00});  // length 3, distance 8
  in.insert(in.end(), {0x00, 'z'});  // the next group starts after exactly 17 bytes
  GuardedDecode d(in, 1000);
  EXPECT_EQ(d.output,
            "ABCDEFGH"
            "ABCDEFGHABCDEFGHABCDEFGH"
            "z");
  EXPECT_EQ(d.result.consumed, in.size());
  EXPECT_FALSE(d.result.damaged);
}

TEST(DecompressLz77, WordFFFReachesBack4096Bytes) {
  const std::vector<uint8_t> in = FarHistoryThenReference();
  GuardedDecode d(in, 5000);
  ASSERT_EQ(d.output.size(), 4099u);
  EXPECT_EQ(d.output.substr(4096), "XYZ");
  EXPECT_FALSE(d.result.damaged);
  // One byte less history and the same word reaches before the start.
  std::vector<uint8_t> shorter = in;
  shorter.erase(shorter.begin() + 1);  // drop the first literal: 4095 bytes of history
  shorter.back() = 0x0F;
  GuardedDecode e(shorter, 5000);
  EXPECT_TRUE(e.result.damaged);
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
      {"literals cut", {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'}, 5, "abcde", 6},
      {"reference cut", {0x02, 'x', 0x00, 0xF0}, 10, std::string(10, 'x'), 4},
      {"capacity zero", {0x00, 'a'}, 0, "", 1},
      {"capacity reached before the next group",
       {0x00, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 0x00, 'i'},
       8,
       "abcdefgh",
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GuardedDecode d(c.in, c.capacity);
    EXPECT_EQ(d.output, c.expected);
    EXPECT_EQ(d.result.consumed, c.consumed);
    EXPECT_TRUE(d.result.overflow);
    EXPECT_FALSE(d.result.damaged);
  }
}

std::vector<uint8_t> SampleText(size_t size, unsigned seed) {
  // Words from a small vocabulary with random bytes mixed in: both matches and literals.
  static const char* const kWords[] = {"phrase ", "topic ", "help ", "the ", "window ", "\r\n"};
  std::mt19937 rng(seed);
  std::vector<uint8_t> out;
  while (out.size() < size) {
    if (rng() % 4 == 0) {
      out.push_back(static_cast<uint8_t>(rng()));
    } else {
      const std::string_view w = kWords[rng() % std::size(kWords)];
      out.insert(out.end(), w.begin(), w.end());
    }
  }
  out.resize(size);
  return out;
}

TEST(DecompressLz77, RoundTripsEncodedData) {
  for (unsigned seed = 1; seed <= 4; ++seed) {
    const std::vector<uint8_t> plain = SampleText(20000 * seed, seed);
    for (Lz77Mode mode : {Lz77Mode::kGreedy, Lz77Mode::kLiteralsOnly}) {
      const std::vector<uint8_t> packed = Lz77Encode(plain, mode);
      bool damaged = true;
      EXPECT_EQ(DecompressLz77ToVector(packed, &damaged), plain);
      EXPECT_FALSE(damaged);
    }
  }
  // Every capacity yields a prefix of the output and nothing beyond it.
  const std::vector<uint8_t> plain = SampleText(700, 9);
  const std::vector<uint8_t> packed = Lz77Encode(plain);
  for (size_t capacity = 0; capacity <= plain.size(); ++capacity) {
    GuardedDecode d(packed, capacity);
    ASSERT_EQ(d.output, std::string(plain.begin(), plain.begin() + capacity));
    ASSERT_EQ(d.result.overflow, capacity < plain.size());
  }
}

TEST(DecompressLz77, ExpansionStaysWithinTheDeclaredBound) {
  // All references of the greatest length: the densest output there is.
  std::vector<uint8_t> in = {0xFE, 'a'};  // one literal, then seven references
  for (int i = 0; i < 7; ++i) in.insert(in.end(), {0x00, 0xF0});
  for (int g = 0; g < 100; ++g) {
    in.push_back(0xFF);
    for (int i = 0; i < 8; ++i) in.insert(in.end(), {0x00, 0xF0});
  }
  const size_t size = Lz77DecodedSize(in);
  EXPECT_GT(size, 8 * in.size());
  EXPECT_LE(size, kLz77MaxExpansion * in.size());
}

struct RleCase {
  const char* name;
  std::vector<uint8_t> in;
  std::string expected;
};

TEST(DecodeRle, RunsOfBothKinds) {
  std::vector<RleCase> cases = {
      {"copy run then repeat run", {0x83, 'A', 'B', 'C', 0x03, 'D'}, "ABCDDD"},
      {"one byte of input", {0x83}, ""},
      {"no input", {}, ""},
      {"0x80 and 0x00 produce nothing", {0x80, 0x00, 'x', 0x02, 'B'}, "BB"},
      {"a single trailing byte is never read", {0x02, 'A', 0x85}, "AA"},
      {"a copy run past the end copies what is there", {0x85, 'A', 'B'}, "AB"},
  };
  // The longest runs: 127 bytes copied, then 127 repeats.
  RleCase longest{"longest runs", {0xFF}, std::string(127, 'a') + std::string(127, 'b')};
  longest.in.insert(longest.in.end(), 127, 'a');
  longest.in.insert(longest.in.end(), {0x7F, 'b'});
  cases.push_back(longest);
  for (const RleCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(AsString(DecodeRleToVector(c.in)), c.expected);
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(DecodeRle(c.in, *sink), c.expected.size());
    EXPECT_EQ(sink->contents(), c.expected);
  }
}

TEST(DecodeRle, StopsAtTheLimit) {
  const std::vector<uint8_t> in = {0x05, 'a', 0x83, 'x', 'y', 'z'};
  EXPECT_EQ(AsString(DecodeRleToVector(in, 7)), "aaaaaxy");
  EXPECT_EQ(AsString(DecodeRleToVector(in, 3)), "aaa");
  EXPECT_EQ(AsString(DecodeRleToVector(in, 0)), "");
}

TEST(DecodeRle, LargeOutputReachesTheSinkWhole) {
  std::vector<uint8_t> in;
  std::string expected;
  for (int i = 0; i < 3000; ++i) {
    in.insert(in.end(), {0x7F, static_cast<uint8_t>(i)});
    expected.append(0x7F, static_cast<char>(i));
    in.insert(in.end(), {0x82, 'p', 'q'});
    expected += "pq";
  }
  auto sink = OutputSink::Memory(false);
  EXPECT_EQ(DecodeRle(in, *sink), expected.size());
  EXPECT_EQ(sink->contents(), expected);
}

TEST(StreamDecoders, WriteWhatTheyReturn) {
  const std::vector<uint8_t> rle = {0x83, 'A', 'B', 'C', 0x03, 'D', 0x04, '\n'};
  const std::vector<uint8_t> packed = Lz77Encode(rle);
  {
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(DecompressLz77ToStream(packed, *sink), rle.size());
    EXPECT_EQ(sink->contents(), AsString(rle));
  }
  {
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(DecompressLz77Rle(packed, *sink), 10u);
    EXPECT_EQ(sink->contents(), "ABCDDD\n\n\n\n");
  }
  {
    auto sink = OutputSink::Memory(false);
    EXPECT_EQ(CopyRaw(rle, *sink), rle.size());
    EXPECT_EQ(sink->contents(), AsString(rle));
  }
  {
    // A damaged stream writes what was decoded before the damage.
    auto sink = OutputSink::Memory(false);
    const std::vector<uint8_t> damaged = {
        0x00, 'a', 'b', 'c',  'd',  'e',
        'f',  'g', 'h', 0x01, 0x20, 0x00};  // distance 33 after 8 bytes
    EXPECT_EQ(DecompressLz77ToStream(damaged, *sink), 8u);
    EXPECT_EQ(sink->contents(), "abcdefgh");
  }
}

}  // namespace
}  // namespace quorvex
