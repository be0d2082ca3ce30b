// Placeholder until the decoders land.
#include "core/decompress.h"

namespace quorvex {
Lz77Result DecompressLz77(Bytes, std::span<uint8_t>) { return {}; }
std::vector<uint8_t> DecompressLz77ToVector(Bytes) { return {}; }
std::vector<uint8_t> DecodeRleToVector(Bytes) { return {}; }
size_t DecompressLz77ToStream(Bytes, OutputSink&) { return 0; }
size_t DecodeRle(Bytes, OutputSink&) { return 0; }
size_t DecompressLz77Rle(Bytes, OutputSink&) { return 0; }
size_t CopyRaw(Bytes in, OutputSink& out) {
  out.Write(std::string_view(reinterpret_cast<const char*>(in.data()), in.size()));
  return in.size();
}
}  // namespace quorvex
