// Fuzz target for the LZ77 decoder: any input, decoded into a buffer of a capacity taken from the
// first two bytes. Properties: nothing is written beyond the capacity (the buffer is exactly that
// large, so the sanitizer sees any stray write), the produced count stays within the capacity
// and equals what the unbounded decoding produces, cut to the capacity; the unbounded decoding
// equals a plain item-by-item decoding of the format, damage included.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/decompress.h"

namespace {

/// Groups of a flag byte and eight items: bit clear, one literal byte; bit set, two bytes
/// (little-endian) with the length - 3 in the top four bits and the distance - 1 below. A match
/// cut by the end of the data or reaching before the output's start ends it as damaged.
std::vector<uint8_t> PlainLz77(quorvex::Bytes in, bool& damaged) {
  std::vector<uint8_t> out;
  damaged = false;
  for (size_t i = 0; i < in.size();) {
    const unsigned flags = in[i++];
    for (unsigned bit = 0; bit < 8 && i < in.size(); ++bit) {
      if ((flags >> bit & 1) == 0) {
        out.push_back(in[i++]);
        continue;
      }
      const unsigned w = i + 1 < in.size() ? in[i] | in[i + 1] << 8 : 0;
      const size_t length = (w >> 12) + 3, distance = (w & 0xFFF) + 1;
      if (i + 1 >= in.size() || distance > out.size()) {
        damaged = true;
        return out;
      }
      i += 2;
      for (size_t k = 0; k < length; ++k) out.push_back(out[out.size() - distance]);
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const quorvex::Bytes all(data, size);
  const size_t capacity = all[0] | (all[1] << 8);
  const quorvex::Bytes in = all.subspan(2);

  std::vector<uint8_t> out(capacity);
  const quorvex::Lz77Result res = quorvex::DecompressLz77(in, out);
  if (res.produced > capacity || res.consumed > in.size()) std::abort();

  bool damaged = false;
  const std::vector<uint8_t> whole = quorvex::DecompressLz77ToVector(in, &damaged);
  bool plain_damaged = false;
  if (whole != PlainLz77(in, plain_damaged) || damaged != plain_damaged) std::abort();
  if (whole.size() > quorvex::kLz77MaxExpansion * in.size()) std::abort();
  const size_t expected = whole.size() < capacity ? whole.size() : capacity;
  if (res.produced != expected) std::abort();
  for (size_t i = 0; i < res.produced; ++i)
    if (out[i] != whole[i]) std::abort();
  if (!res.overflow && res.damaged != damaged) std::abort();
  if (res.overflow != (whole.size() > capacity)) std::abort();
  return 0;
}
