// fuzz_make_seeds OUTDIR [HELPFILE...]: writes a seed corpus for every fuzz target into
// OUTDIR/<target>/, built by the test help-file writer: help files of each compiler with topics,
// phrases, contexts, keywords, pictures and baggage; phrase tables; picture containers; LZ77 and
// run-length data. From each HELPFILE given it adds the file itself, its picture files, its
// phrase tables and its first topic block.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/container.h"
#include "core/text_expansion.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"

namespace {

using namespace quorvex;
using namespace quorvex::testsupport;
namespace fs = std::filesystem;
using Data = std::vector<uint8_t>;
using Files = std::vector<std::pair<std::string, Data>>;

fs::path g_out;
int g_written = 0;

void Seed(const std::string& target, const std::string& name, const Data& bytes) {
  fs::create_directories(g_out / target);
  std::ofstream(g_out / target / name, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  ++g_written;
}

Data Cat(Data a, const Data& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Data Word(size_t v) {
  return {uint8_t(v), uint8_t(v >> 8)};
}

/// A help file for the targets that read whole files; the conversion gets it in both modes
/// (its last byte picks the options: 0 recompilation, 0x1D printing with embedded pictures, a
/// contents and an index).
void HelpFileSeed(const std::string& name, const Data& help) {
  for (const char* target : {"fuzz_container", "fuzz_contexts", "fuzz_topics"})
    Seed(target, name, help);
  Seed("fuzz_conversion", name + "-rec", Cat(help, {0}));
  Seed("fuzz_conversion", name + "-print", Cat(help, {0x1D}));
}

/// The phrase target's layout: mode, capacity, the first file's length, for HCRTF the second
/// file's length; the files; the stored text.
void PhraseSeed(const std::string& name, uint8_t mode, const Data& first, const Data& image,
                const Data& text) {
  Data d = Cat(Cat({mode}, Word(kTopicTextCapacity)), Word(first.size()));
  if (mode == 3) d = Cat(d, Word(image.size()));
  Seed("fuzz_phrases", name, Cat(Cat(Cat(d, first), image), text));
}

void DataSeeds(const std::string& name, const Data& data) {
  Seed("fuzz_lz77", name, Cat(Word(data.size()), Lz77Encode(data)));
  Seed("fuzz_rle", name, Cat(Word(data.size()), PackPictureData(data, 1)));
  for (uint8_t packing = 1; packing < 4; ++packing)
    Seed("fuzz_decoders", name + "-" + std::to_string(packing), PackPictureData(data, packing));
}

const std::vector<std::string> kPhrases = {"the ", "help ", "file", "Quorvex", "topic"};

TopicRecords SampleTopics(TopicFileOptions options = {}) {
  TopicRecords t(options);
  t.Header({"First topic", "SetContents()"});
  t.Paragraph(EndedParagraph().Font(1).LeftIndent(10).Tab(100), {"Hello\tworld", ""});
  t.Paragraph(EndedParagraph().JumpShort(0xE3, 0x1234).Command(0x89), {"a jump", ""});
  t.Header({"Second topic"}, {.browse_back = 12, .number = 1});
  t.Table(TableLayout(0, {{100, 10}, {200, 10}}),
          {TableCell(0, EndedParagraph().Build()), TableCell(1, EndedParagraph().Build())},
          {"cell one", "", "cell two", ""});
  t.Paragraph(EndedParagraph().PictureRef(0x86, 1).Macro("About()"), {"", "", ""});
  return t;
}

Data Picture() {
  BitmapSpec bitmap{.packing = 1, .pixels = Data(10, 0x11)};
  bitmap.palette.assign(64, 0x80);
  MetafileSpec metafile{.packing = 2, .records = {3, 0, 0, 0, 0, 0}};
  return PictureContainer({BitmapPicture(bitmap), MetafilePicture(metafile),
                           BitmapPicture({.packing = 3,
                                          .pixels = Data(10, 0x22),
                                          .hotspots = HotspotBlock({{0xE3, "jump", "target"}})})});
}

void GeneratedSeeds() {
  const Data picture = Picture();
  const KeywordFiles k = BuildKeywordFiles({{"alpha", {0}}, {"beta", {0, 40}}});
  const RtfPhraseFiles rtf = BuildRtfPhrases(kPhrases, 2, true);
  const TopicFileOptions lz77{.compressed = true, .mode = Lz77Mode::kGreedy};
  const std::vector<std::pair<std::string, Files>> help_files = {
      {"hc31",
       {{"|SYSTEM", GoldenSystem()},
        {"|FONT", OldStyleFontFile()},
        {"|TOPIC", SampleTopics().Build()}}},
      {"hc31-everything",
       {{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)},
        {"|FONT", OldStyleFontFile()},
        {"|Phrases", BuildHc31Phrases(kPhrases)},
        {"|TOPIC", SampleTopics(lz77).Build()},
        {"|CONTEXT", BuildContextFile({{0x1234, 0}, {0x5678, 40}})},
        {"|KWBTREE", k.btree},
        {"|KWDATA", k.data},
        {"|bm1", picture},
        {"bag.ini", {'[', 'x', ']'}}}},
      {"hcrtf",
       {{"|SYSTEM", GoldenSystem(kMinorHcrtf, kFlagsLz77)},
        {"|FONT", NewStyleFontFile()},
        {"|PhrIndex", rtf.index},
        {"|PhrImage", rtf.image},
        {"|TOPIC", SampleTopics(lz77).Build()}}},
      {"hc30",
       {{"|SYSTEM", BuildHc30SystemFile("HC30 Sample")},
        {"|FONT", OldStyleFontFile()},
        {"|Phrases", BuildHc30Phrases(kPhrases)},
        {"|TOPIC", SampleTopics({.hc30 = true}).Build()}}},
  };
  for (const auto& [name, files] : help_files) HelpFileSeed(name, AssembleHelpFile(files));
  // Tables with duplicate offsets, ties, hashes of 0 and offsets on both sides of the signed
  // boundary, for the context target's comparison of indexed look-ups with plain scans.
  const uint32_t offsets[] = {0, 1, 2, 3, 5, 8, 9, 40, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFE, ~0u};
  ContextEntries contexts;
  KeywordEntries keywords;
  for (uint32_t i = 0; i < 48; ++i) {
    contexts.push_back({i % 5, offsets[i * 5 % std::size(offsets)]});
    keywords.push_back({"k" + std::to_string(i), {offsets[i * 7 % 12], offsets[i % 12]}});
  }
  const KeywordFiles ties = BuildKeywordFiles(keywords);
  HelpFileSeed("tables-with-ties", AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                                                     {"|CONTEXT", BuildContextFile(contexts)},
                                                     {"|KWBTREE", ties.btree},
                                                     {"|KWDATA", ties.data}}));

  const Data old_codes = {'A', 1, 2, 1, 5, ' ', 0, 'B'};
  PhraseSeed("hc30", 0, BuildHc30Phrases(kPhrases), {}, old_codes);
  PhraseSeed("hc31", 1, BuildHc31Phrases(kPhrases, Lz77Mode::kLiteralsOnly), {}, old_codes);
  PhraseSeed("hc31-lz77", 2, BuildHc31Phrases(kPhrases), {}, old_codes);
  PhraseSeed("long-header", 2, BuildLongHeaderPhrases(kPhrases), {}, old_codes);
  PhraseSeed("hcrtf", 3, rtf.index, rtf.image, {0x06, 0x27, 0x0B, 'A', 'B', 0x1F, 0x05, 0x00});

  Seed("fuzz_picture", "three-pictures", Cat(picture, {0}));
  Seed("fuzz_picture", "three-pictures-embedded", Cat(picture, {3}));
  const std::string text = "the help file of the help file, the help file of the topic";
  DataSeeds("text", Data(text.begin(), text.end()));
  DataSeeds("runs", Cat(Data(200, 'x'), Data(5, 'y')));
}

/// The internal file `name` of `hf`, or nothing.
Data InternalFileData(const HelpFile& hf, std::string_view name) {
  for (const InternalFile& f : hf.internal_files)
    if (f.name == name) {
      const Bytes b = hf.InternalData(f).data();
      return Data(b.begin(), b.end());
    }
  return {};
}

void SeedsFrom(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  const Data bytes((std::istreambuf_iterator<char>(in)), {});
  const std::string name = path.filename().string();
  HelpFileSeed(name, bytes);
  NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  try {
    auto hf = OpenHelpFileFromBytes(bytes, name, kProbeOnly, session);
    if (!hf) return;
    for (const InternalFile& f : hf->internal_files)
      if (f.name.starts_with("|bm") || f.name.starts_with("bm"))
        Seed("fuzz_picture", name + "-" + f.name.substr(f.name.find('b')),
             InternalFileData(*hf, f.name));
    const uint8_t mode = hf->is_hc30 ? 0 : hf->compressed ? 2 : 1;
    if (const Data p = InternalFileData(*hf, "|Phrases"); !p.empty())
      PhraseSeed(name, mode, p, {}, {'A', 1, 2, 'B'});
    if (const Data i = InternalFileData(*hf, "|PhrIndex"); !i.empty())
      PhraseSeed(name, 3, i, InternalFileData(*hf, "|PhrImage"), {0x06, 0x27, 'A'});
    const Data topic = InternalFileData(*hf, "|TOPIC");
    if (hf->compressed && topic.size() > kTopicBlockHeaderSize) {
      const Data block(topic.begin() + kTopicBlockHeaderSize,
                       topic.begin() + std::min<size_t>(topic.size(), 4096));
      Seed("fuzz_lz77", name + "-block", Cat(Word(0xFFFF), block));
      Seed("fuzz_decoders", name + "-block", block);
    }
  } catch (const FatalException&) {
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fuzz_make_seeds OUTDIR [HELPFILE...]\n");
    return 1;
  }
  g_out = argv[1];
  GeneratedSeeds();
  for (int i = 2; i < argc; ++i) SeedsFrom(argv[i]);
  std::printf("%d seeds in %s\n", g_written, g_out.c_str());
  return 0;
}
