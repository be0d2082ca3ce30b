// The helpers of bench/run, in one program:
//   quorvex_bench_tool make OUT TOPICS [hc31] [plain] [stored] [seed=N]
//       writes a large help file (HCRTF, phrase-compressed, LZ77 blocks unless told otherwise)
//   quorvex_bench_tool floor HELPFILE OUTFILE BYTES
//       the least a conversion can do: read the help file, decompress every topic block and
//       unpack every picture, write BYTES bytes
//   quorvex_bench_tool measure COMMAND...
//       runs COMMAND and prints its wall time in seconds and its peak memory in kilobytes
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/large_help_file.h"
#include "core/container.h"
#include "core/decompress.h"
#include "core/topic_stream.h"
#include "graphics/picture_container.h"
#include "graphics/picture_export.h"

namespace {

using namespace quorvex;

int Make(int argc, char** argv) {
  if (argc < 4) return 2;
  bench::LargeHelpFileSpec spec;
  spec.topics = std::stoul(argv[3]);
  for (int i = 4; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "hc31") spec.hcrtf = false;
    if (a == "plain") spec.phrases = false;
    if (a == "stored") spec.lz77 = false;
    if (a.starts_with("seed=")) spec.seed = uint32_t(std::stoul(a.substr(5)));
  }
  const std::vector<uint8_t> bytes = bench::BuildLargeHelpFile(spec);
  std::ofstream(argv[2], std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return 0;
}

/// Unpacks every picture of a container (the decompression a conversion cannot avoid).
size_t UnpackContainer(ByteReader c) {
  size_t produced = 0;
  c.skip(2);
  const uint16_t count = c.u16();
  for (uint16_t i = 0; i < count && c.ok(); ++i) {
    const uint32_t at = c.u32();
    ByteReader p = c.sub(at, c.size());
    const std::optional<ImageType> type = ClassifyImageType(p.u16());
    if (!type) continue;
    uint32_t size = 0, data = 0, palette = 0;
    if (type->bitmap()) {
      const BitmapPictureHeader h = ReadBitmapPictureHeader(p);
      size = h.compressed_size;
      palette = h.colors_used * 4;
    } else {
      size = ReadMetafilePictureHeader(p).compressed_size;
    }
    data = uint32_t(p.position()) + palette;
    if (auto unpacked = UnpackPicture(p.sub(data, size).data(), type->packing))
      produced += unpacked->size();
  }
  return produced;
}

int Floor(int argc, char** argv) {
  if (argc < 5) return 2;
  NullDiagnostics quiet;
  auto folder = OutputDir::InMemory();
  ConversionSession session(quiet, *folder);
  std::unique_ptr<HelpFile> hf = OpenHelpFile(argv[2], 0, session);
  if (!hf) return 1;
  // Every topic block decompressed once.
  size_t produced = 0;
  const ByteReader topic = hf->InternalData(Slot::kTopic);
  const TopicGeometry g = TopicGeometryOf(*hf);
  std::vector<uint8_t> block(size_t(g.data_size()) * 6);
  for (size_t at = 0; at < topic.size(); at += g.block_size) {
    const Bytes data = topic.sub(at + kTopicBlockHeaderSize, g.data_size()).data();
    produced += hf->compressed ? DecompressLz77(data, block).produced : data.size();
  }
  for (const InternalFile& f : hf->internal_files) {
    const std::string_view name = std::string_view(f.name).substr(f.name.starts_with("|") ? 1 : 0);
    if (name.starts_with("bm")) produced += UnpackContainer(hf->InternalData(f));
  }
  // The output a conversion writes, in large pieces.
  std::FILE* out = std::fopen(argv[3], "wb");
  if (!out) return 1;
  std::vector<char> chunk(1 << 16, 'x');
  for (size_t left = std::stoull(argv[4]); left > 0;) {
    const size_t n = std::min(left, chunk.size());
    std::fwrite(chunk.data(), 1, n, out);
    left -= n;
  }
  std::fclose(out);
  return produced > 0 ? 0 : 1;
}

int Measure(int argc, char** argv) {
  if (argc < 3) return 2;
  const auto start = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execvp(argv[2], argv + 2);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%.3f %ld\n", seconds, usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "make") return Make(argc, argv);
  if (command == "floor") return Floor(argc, argv);
  if (command == "measure") return Measure(argc, argv);
  std::fprintf(stderr, "usage: quorvex_bench_tool make|floor|measure ...\n");
  return 2;
}
