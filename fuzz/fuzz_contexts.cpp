// Fuzz target: the context map and keyword table loaders and their look-ups on arbitrary bytes.
//
// Property checked besides memory safety: the indexed look-ups give the answers of plain scans
// of the loaded tables, around each probe and from one probe to another (the first kMaxProbes
// entries as probes, so that a run stays short), and
// the look-ups that leave out what was taken before take each entry once.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "core/container.h"
#include "project/context_map.h"

namespace {

/// Table entries used as probes per input: each probe scans the whole table.
constexpr size_t kMaxProbes = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvex;
  static NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  try {
    auto hf = OpenHelpFileFromBytes(std::vector<uint8_t>(data, data + size), "FUZZ.HLP", kProbeOnly,
                                    session);
    if (!hf) return 0;
    LoadContextMap(*hf);
    LoadKeywordTables(*hf);
    // Each probe asks for the stretch around its own offset, as the topic walk does, and for
    // the stretch from its offset to another entry's, which may be empty, long or cross the
    // signed boundary.
    const std::vector<ContextPair>& pairs = hf->context_map->pairs();
    auto first_in = [&](int32_t low, uint32_t high) {
      std::optional<size_t> first;
      for (size_t i = 0; i < pairs.size() && !first; ++i)
        if (pairs[i].hash != 0 && int32_t(pairs[i].topic_offset) >= low &&
            pairs[i].topic_offset <= high)
          first = i;
      return first;
    };
    for (size_t n = 0; n < pairs.size() && n < kMaxProbes; ++n) {
      const uint32_t t = pairs[n].topic_offset,
                     other = pairs[(n * 7 + 3) % pairs.size()].topic_offset;
      const int32_t low = int32_t(t - 2u);  // wraps as the callers' bounds do
      if (hf->context_map->FirstInRange(low, t + 2) != first_in(low, t + 2)) std::abort();
      if (hf->context_map->FirstInRange(int32_t(t), other) != first_in(int32_t(t), other))
        std::abort();
    }
    if (hf->k_keywords) {
      const std::vector<KeywordPair>& keywords = hf->k_keywords->pairs();
      KeywordEntryMarks marks;
      std::vector<bool> taken(keywords.size());
      for (size_t n = 0; n < keywords.size() && n < kMaxProbes; ++n) {
        const int64_t t = int32_t(keywords[n].topic_offset);
        std::vector<size_t> entries, untaken;
        for (size_t i = 0; i < keywords.size(); ++i)
          if (int32_t(keywords[i].topic_offset) >= t - 2 &&
              int32_t(keywords[i].topic_offset) <= t + 2) {
            entries.push_back(i);
            if (!taken[i]) untaken.push_back(i);
            taken[i] = true;
          }
        if (hf->k_keywords->EntriesInRange(t - 2, t + 2) != entries) std::abort();
        const int32_t other = int32_t(keywords[(n * 7 + 3) % keywords.size()].topic_offset);
        entries.clear();
        for (size_t i = 0; i < keywords.size(); ++i)
          if (int32_t(keywords[i].topic_offset) >= t && int32_t(keywords[i].topic_offset) <= other)
            entries.push_back(i);
        if (hf->k_keywords->EntriesInRange(t, other) != entries) std::abort();
        if (hf->k_keywords->TakeEntriesInRange(t - 2, t + 2, marks) != untaken) std::abort();
        KeywordsForTopic(*hf, &*hf->k_keywords, t - 2, t + 2);
      }
    }
  } catch (const FatalException&) {
  }
  return 0;
}
