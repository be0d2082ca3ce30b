// Fuzz target: the phrase tables ("|Phrases" in its three layouts, "|PhrIndex" with
// "|PhrImage") and the topic text expansion with both code schemes.
//
// The input: a mode byte (bits 0-1: HC30, HC31, HC31 with compressed phrases, HCRTF), two
// capacity bytes, two length bytes for the first phrase file and, for HCRTF, two more for
// "|PhrImage"; the phrase files; the rest is the stored topic text. Properties: every phrase
// the table gives lies inside its text, and an expansion never exceeds its capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "core/container.h"
#include "core/text_expansion.h"
#include "tests/support/help_writer.h"

namespace {

using namespace quorvex;

/// Takes `n` bytes (or what is left) off the front of the input.
std::vector<uint8_t> Take(const uint8_t*& data, size_t& size, size_t n) {
  n = std::min(n, size);
  std::vector<uint8_t> part(data, data + n);
  data += n;
  size -= n;
  return part;
}

size_t Word(const uint8_t*& data, size_t& size) {
  const std::vector<uint8_t> w = Take(data, size, 2);
  return w.size() == 2 ? w[0] | w[1] << 8 : 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  if (size < 1) return 0;
  const unsigned mode = data[0] & 3;
  ++data;
  --size;
  const size_t capacity = Word(data, size);
  const size_t first_size = Word(data, size);
  const size_t image_size = mode == 3 ? Word(data, size) : 0;
  const std::vector<uint8_t> first = Take(data, size, first_size);
  const std::vector<uint8_t> image = Take(data, size, image_size);
  const std::vector<uint8_t> stored(data, data + size);

  using testsupport::BuildSystemFile;
  std::vector<std::pair<std::string, std::vector<uint8_t>>> files;
  if (mode == 0) files = {{"|SYSTEM", testsupport::BuildHc30SystemFile("F")}, {"|Phrases", first}};
  if (mode == 1) files = {{"|SYSTEM", BuildSystemFile(21, 0, {})}, {"|Phrases", first}};
  if (mode == 2) files = {{"|SYSTEM", BuildSystemFile(21, 4, {})}, {"|Phrases", first}};
  if (mode == 3)
    files = {{"|SYSTEM", BuildSystemFile(33, 4, {})}, {"|PhrIndex", first}, {"|PhrImage", image}};
  testsupport::HelpFileWriter writer;
  for (auto& [name, bytes] : files) writer.AddFile(name, std::move(bytes));
  try {
    auto hf = OpenHelpFileFromBytes(writer.Build(), "FUZZ.HLP", 0, session);
    if (!hf) return 0;
    const PhraseTables& t = hf->phrases;
    for (size_t i = 0; i < t.count(); ++i) {
      const auto phrase = GetPhrase(*hf, i);
      if (phrase && (phrase->data() < t.text.data() ||
                     phrase->data() + phrase->size() > t.text.data() + t.text.size()))
        std::abort();
    }
    const Bytes text(stored.data(), stored.size());
    for (PhraseCodes codes : {PhraseCodes::kOld, PhraseCodes::kHcrtf}) {
      if (ExpandTopicText(*hf, text, codes, capacity).size() > capacity) std::abort();
      if (ExpandTopicText(*hf, text, codes).size() > kTopicTextCapacity) std::abort();
    }
  } catch (const FatalException&) {
  }
  return 0;
}
