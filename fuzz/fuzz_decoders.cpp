// Fuzz target: the stream decoders of picture data (LZ77 to a stream, run-length after LZ77, the
// plain copy) and the round trips of the four packing methods through the test encoders.
//
// Properties: each stream decoder writes exactly the bytes its in-memory counterpart produces,
// within the bound of its input (LZ77 at most kLz77MaxExpansion bytes per input byte, run-length
// at most 127 bytes per two input bytes); the plain copy writes its input; and the input packed
// by any method decodes back to itself, also into a buffer of exactly its size.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/decompress.h"
#include "tests/support/picture_writer.h"
#include "tests/support/topic_writer.h"

namespace {

using namespace quorvex;

/// The greedy test encoder compares every position with up to 4096 earlier ones: the round
/// trips take only this much of the input, so that one run stays well under a second.
constexpr size_t kMaxRoundTrip = 1024;

std::string Chars(const std::vector<uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

void CheckStreams(Bytes in) {
  const std::vector<uint8_t> lz77 = DecompressLz77ToVector(in);
  auto sink = OutputSink::Memory(false);
  if (DecompressLz77ToStream(in, *sink) != lz77.size() || sink->contents() != Chars(lz77))
    std::abort();
  if (lz77.size() > kLz77MaxExpansion * in.size()) std::abort();

  const std::vector<uint8_t> both = DecodeRleToVector(Bytes(lz77.data(), lz77.size()));
  if (both.size() > 0x7F * (lz77.size() / 2 + 1)) std::abort();
  sink = OutputSink::Memory(false);
  if (DecompressLz77Rle(in, *sink) != both.size() || sink->contents() != Chars(both)) std::abort();

  sink = OutputSink::Memory(false);
  if (CopyRaw(in, *sink) != in.size() ||
      sink->contents() != std::string(reinterpret_cast<const char*>(in.data()), in.size()))
    std::abort();
}

/// What packing method `packing` decodes `packed` to, with the decoder the picture writers use.
std::string Unpack(const std::vector<uint8_t>& packed, uint8_t packing) {
  const Bytes in(packed.data(), packed.size());
  auto sink = OutputSink::Memory(false);
  if (packing == 0) CopyRaw(in, *sink);
  if (packing == 1) DecodeRle(in, *sink);
  if (packing == 2) DecompressLz77ToStream(in, *sink);
  if (packing == 3) DecompressLz77Rle(in, *sink);
  return sink->contents();
}

void CheckRoundTrips(const std::vector<uint8_t>& data) {
  for (uint8_t packing = 0; packing < 4; ++packing) {
    const std::vector<uint8_t> packed = testsupport::PackPictureData(data, packing);
    if (Unpack(packed, packing) != Chars(data)) std::abort();
  }
  // Into a buffer of exactly the data's size: all of it, no overflow, no damage.
  for (auto mode : {testsupport::Lz77Mode::kGreedy, testsupport::Lz77Mode::kLiteralsOnly}) {
    const std::vector<uint8_t> packed = testsupport::Lz77Encode(data, mode);
    std::vector<uint8_t> out(data.size());
    const Lz77Result r = DecompressLz77(Bytes(packed.data(), packed.size()), out);
    if (r.produced != data.size() || r.damaged || r.consumed != packed.size() || out != data)
      std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckStreams(Bytes(data, size));
  CheckRoundTrips(std::vector<uint8_t>(data, data + std::min(size, kMaxRoundTrip)));
  return 0;
}
