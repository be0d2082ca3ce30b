// Fuzz target for the run-length decoder. Properties: the in-memory and the sink decoders agree,
// the output is at most 127 bytes per two input bytes, and a limit taken from the first two bytes
// gives a prefix of the whole output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/decompress.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const quorvex::Bytes all(data, size);
  const size_t limit = all[0] | (all[1] << 8);
  const quorvex::Bytes in = all.subspan(2);

  const std::vector<uint8_t> whole = quorvex::DecodeRleToVector(in);
  // A repeat run of c < 0x80 takes two bytes; a copy run gives no more bytes than it takes.
  if (whole.size() > 0x7F * (in.size() / 2 + 1)) std::abort();

  auto sink = quorvex::OutputSink::Memory(false);
  if (quorvex::DecodeRle(in, *sink) != whole.size()) std::abort();
  if (sink->contents() != std::string(whole.begin(), whole.end())) std::abort();

  const std::vector<uint8_t> cut = quorvex::DecodeRleToVector(in, limit);
  if (cut.size() != (whole.size() < limit ? whole.size() : limit)) std::abort();
  for (size_t i = 0; i < cut.size(); ++i)
    if (cut[i] != whole[i]) std::abort();
  return 0;
}
