// The test help-file writer's LZ77 encoder against the decoder: every other test that builds
// compressed data relies on the two agreeing.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "core/decompress.h"
#include "tests/support/lz77_encoder.h"

namespace quorvex {
namespace {

using testsupport::Lz77Encode;
using testsupport::Lz77Mode;

std::vector<uint8_t> RoundTrip(const std::vector<uint8_t>& in, Lz77Mode mode) {
  std::vector<uint8_t> packed = Lz77Encode(in, mode);
  return DecompressLz77ToVector(Bytes(packed.data(), packed.size()));
}

TEST(Lz77EncoderTest, RoundTripsThroughDecoder) {
  std::mt19937 rng(7);
  std::vector<std::pair<std::string, std::vector<uint8_t>>> inputs;
  inputs.push_back({"empty", {}});
  inputs.push_back({"one byte", {42}});
  inputs.push_back({"run", std::vector<uint8_t>(1000, 'a')});
  std::vector<uint8_t> random(5000);
  for (auto& b : random) b = uint8_t(rng());
  inputs.push_back({"random", random});
  std::vector<uint8_t> text;
  for (int i = 0; i < 400; ++i) {
    std::string line = "Topic " + std::to_string(i % 37) + " jumps to the contents. ";
    text.insert(text.end(), line.begin(), line.end());
  }
  inputs.push_back({"text", text});
  // A repeat exactly 4096 bytes back, the farthest a reference reaches.
  std::vector<uint8_t> far(4096);
  for (auto& b : far) b = uint8_t(rng());
  far.insert(far.end(), far.begin(), far.begin() + 18);
  inputs.push_back({"distance 4096", far});

  for (const auto& [label, in] : inputs) {
    SCOPED_TRACE(label);
    EXPECT_EQ(RoundTrip(in, Lz77Mode::kGreedy), in);
    EXPECT_EQ(RoundTrip(in, Lz77Mode::kLiteralsOnly), in);
    EXPECT_EQ(Lz77Encode(in, Lz77Mode::kLiteralsOnly).size(), in.size() + (in.size() + 7) / 8);
  }
  EXPECT_LT(Lz77Encode(text).size(), text.size() / 4);
}

TEST(Lz77EncoderTest, RunUsesOverlappingReferences) {
  // 'a', then 18 copies at distance 1: flag 0b10, literal, word 0xF000.
  EXPECT_EQ(Lz77Encode(std::vector<uint8_t>(19, 'a')),
            (std::vector<uint8_t>{0x02, 'a', 0x00, 0xF0}));
}

}  // namespace
}  // namespace quorvex
