// Fuzz target for the LZ77 decoder: any input, decoded into a buffer of a capacity taken from the
// first two bytes. Properties: nothing is written beyond the capacity (the buffer is exactly that
// large, so the sanitizer sees any stray write), the produced count stays within the capacity
// and equals what the unbounded decoding produces, cut to the capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/decompress.h"

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
  if (whole.size() > quorvex::kLz77MaxExpansion * in.size()) std::abort();
  const size_t expected = whole.size() < capacity ? whole.size() : capacity;
  if (res.produced != expected) std::abort();
  for (size_t i = 0; i < res.produced; ++i)
    if (out[i] != whole[i]) std::abort();
  if (!res.overflow && res.damaged != damaged) std::abort();
  if (res.overflow != (whole.size() > capacity)) std::abort();
  return 0;
}
