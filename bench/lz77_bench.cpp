// Decoding speed of the LZ77 and run-length decoders on a few megabytes of help-file-like text
// (the kind of data topic blocks and pictures hold). Reports bytes of output per second.
#include <benchmark/benchmark.h>

#include <random>
#include <string_view>
#include <vector>

#include "core/decompress.h"
#include "tests/support/topic_writer.h"

namespace {

/// Output size of each benchmark: a few megabytes, as a large help file holds.
constexpr size_t kPlainSize = 4 << 20;

/// Topic-like text: words from a vocabulary, with some random bytes between them.
std::vector<uint8_t> SampleText(size_t size) {
  static const char* const kWords[] = {"the ",   "help ",     "window ", "topic ", "file ",
                                       "click ", "\\par\r\n", "select ", "menu ",  "Quorvex "};
  std::mt19937 rng(42);
  std::vector<uint8_t> out;
  while (out.size() < size) {
    if (rng() % 5 == 0) {
      out.push_back(static_cast<uint8_t>(rng()));
    } else {
      const std::string_view w = kWords[rng() % std::size(kWords)];
      out.insert(out.end(), w.begin(), w.end());
    }
  }
  out.resize(size);
  return out;
}

/// Bitmap-like bytes for the run-length decoder: runs of one colour and short stretches of
/// mixed pixels, encoded as runs.
std::vector<uint8_t> SampleRle(size_t plain_size) {
  std::mt19937 rng(7);
  std::vector<uint8_t> out;
  size_t produced = 0;
  while (produced < plain_size) {
    if (rng() % 3 == 0) {
      const unsigned n = 1 + rng() % 40;
      out.push_back(static_cast<uint8_t>(0x80 + n));
      for (unsigned i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(rng()));
      produced += n;
    } else {
      const unsigned n = 1 + rng() % 0x7F;
      out.push_back(static_cast<uint8_t>(n));
      out.push_back(static_cast<uint8_t>(rng() % 4));
      produced += n;
    }
  }
  return out;
}

void DecodeInto(benchmark::State& state, quorvex::testsupport::Lz77Mode mode) {
  const std::vector<uint8_t> plain = SampleText(kPlainSize);
  const std::vector<uint8_t> packed = quorvex::testsupport::Lz77Encode(plain, mode);
  std::vector<uint8_t> out(plain.size());
  for (auto _ : state) {
    const quorvex::Lz77Result res = quorvex::DecompressLz77(packed, out);
    benchmark::DoNotOptimize(res);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
  state.counters["ratio"] = static_cast<double>(plain.size()) / static_cast<double>(packed.size());
}

void BM_Lz77Greedy(benchmark::State& state) {
  DecodeInto(state, quorvex::testsupport::Lz77Mode::kGreedy);
}
BENCHMARK(BM_Lz77Greedy)->Unit(benchmark::kMillisecond);

void BM_Lz77Literals(benchmark::State& state) {
  DecodeInto(state, quorvex::testsupport::Lz77Mode::kLiteralsOnly);
}
BENCHMARK(BM_Lz77Literals)->Unit(benchmark::kMillisecond);

// Topic blocks: 4096-byte pieces decoded one call each, as the topic stream does.
void BM_Lz77TopicBlocks(benchmark::State& state) {
  constexpr size_t kBlock = 4096;
  const std::vector<uint8_t> plain = SampleText(kPlainSize);
  std::vector<std::vector<uint8_t>> blocks;
  for (size_t at = 0; at < plain.size(); at += kBlock) {
    const std::span<const uint8_t> piece(plain.data() + at, std::min(kBlock, plain.size() - at));
    blocks.push_back(quorvex::testsupport::Lz77Encode(piece));
  }
  std::vector<uint8_t> out(kBlock * quorvex::kLz77MaxExpansion);
  for (auto _ : state) {
    for (const auto& b : blocks) benchmark::DoNotOptimize(quorvex::DecompressLz77(b, out));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(BM_Lz77TopicBlocks)->Unit(benchmark::kMillisecond);

void BM_Lz77ToVector(benchmark::State& state) {
  const std::vector<uint8_t> plain = SampleText(kPlainSize);
  const std::vector<uint8_t> packed = quorvex::testsupport::Lz77Encode(plain);
  for (auto _ : state) benchmark::DoNotOptimize(quorvex::DecompressLz77ToVector(packed));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * plain.size()));
}
BENCHMARK(BM_Lz77ToVector)->Unit(benchmark::kMillisecond);

void BM_RleToSink(benchmark::State& state) {
  const std::vector<uint8_t> packed = SampleRle(kPlainSize);
  size_t produced = 0;
  for (auto _ : state) {
    auto sink = quorvex::OutputSink::Null();
    produced = quorvex::DecodeRle(packed, *sink);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * produced));
}
BENCHMARK(BM_RleToSink)->Unit(benchmark::kMillisecond);

void BM_RleToVector(benchmark::State& state) {
  const std::vector<uint8_t> packed = SampleRle(kPlainSize);
  size_t produced = 0;
  for (auto _ : state) {
    const std::vector<uint8_t> out = quorvex::DecodeRleToVector(packed);
    produced = out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * produced));
}
BENCHMARK(BM_RleToVector)->Unit(benchmark::kMillisecond);

}  // namespace
