// Fuzz target: the phrase tables ("|Phrases" in its three layouts, "|PhrIndex" with
// "|PhrImage") and the topic text expansion with both code schemes.
//
// The input: a mode byte (bits 0-1: HC30, HC31, HC31 with compressed phrases, HCRTF), two
// capacity bytes, two length bytes for the first phrase file and, for HCRTF, two more for
// "|PhrImage"; the phrase files; the rest is the stored topic text. Properties: every phrase
// the table gives lies inside its text, and an expansion never exceeds its capacity and equals a
// plain code-by-code expansion with the table's phrases.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
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

/// The codes as the formats define them, each phrase taken with GetPhrase (a bad one adds
/// nothing). HCRTF: even b, phrase b / 2; b % 4 == 1, phrase 128 + (b / 4) * 256 + the next
/// byte; b % 8 == 3, b / 8 + 1 literal bytes; b % 16 == 7, b / 16 + 1 blanks; else as many NULs.
/// The older codes: 1 to 15 with the next byte make c = (b - 1) * 256 + next, phrase c / 2 and a
/// blank when c is odd; any other byte stands for itself. A code cut by the end of the data
/// ends the text; the text is cut at the capacity, and nothing follows a cut.
std::string PlainExpansion(const HelpFile& hf, Bytes in, PhraseCodes codes, size_t capacity) {
  capacity = std::min(capacity, kTopicTextCapacity);
  std::string out;
  bool full = false;
  auto add = [&](std::string_view s) {
    if (s.size() > capacity - out.size()) {
      full = true;
      s = s.substr(0, capacity - out.size());
    }
    out += s;
  };
  auto phrase = [&](size_t i) {
    if (const auto p = GetPhrase(hf, i)) add(*p);
  };
  const std::string_view all(reinterpret_cast<const char*>(in.data()), in.size());
  if (!hf.slot(Slot::kPhrases).present() && !hf.slot(Slot::kPhrIndex).present()) {
    add(all);
    return out;
  }
  for (size_t i = 0; i < in.size() && !full;) {
    const uint8_t b = in[i++];
    if (codes == PhraseCodes::kOld) {
      if (b == 0 || b > 15) {
        add(all.substr(i - 1, 1));
        continue;
      }
      if (i == in.size()) break;
      const unsigned code = (b - 1u) * 256u + in[i++];
      phrase(code / 2);
      if (code % 2) add(" ");
    } else if (b % 2 == 0) {
      phrase(b / 2);
    } else if (b % 4 == 1) {
      if (i == in.size()) break;
      phrase(128 + (b / 4u) * 256u + in[i++]);
    } else if (b % 8 == 3) {
      const size_t k = b / 8u + 1;
      if (in.size() - i < k) break;
      add(all.substr(i, k));
      i += k;
    } else {
      add(std::string(b / 16u + 1, b % 16 == 7 ? ' ' : '\0'));
    }
  }
  return out;
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
      const std::string cut = ExpandTopicText(*hf, text, codes, capacity);
      if (cut.size() > capacity || cut != PlainExpansion(*hf, text, codes, capacity)) std::abort();
      const std::string whole = ExpandTopicText(*hf, text, codes);
      if (whole != PlainExpansion(*hf, text, codes, kTopicTextCapacity)) std::abort();
    }
  } catch (const FatalException&) {
  }
  return 0;
}
