#include "project/map_section.h"

#include <unordered_map>

#include "core/format.h"
#include "project/context_map.h"
#include "project/context_names.h"

namespace quorvex {

namespace {

/// |TOMAP starts with 64 bytes that are not topic positions.
constexpr size_t kToMapHeaderSize = 64;
/// HC30 topic k is named by the number k + 15, in the topic pass as in the map.
constexpr uint32_t kHc30TopicNameBase = 15;
/// |CTXOMAP: an entry count, then (map number, topic offset) pairs.
constexpr size_t kCtxOMapEntrySize = 8;

/// The number of the first |TOMAP entry (from 1) of each topic position.
std::unordered_map<uint32_t, uint32_t> TopicNumbers(const HelpFile& hf) {
  std::unordered_map<uint32_t, uint32_t> numbers;
  ByteReader r = hf.InternalData(Slot::kToMap);
  r.skip(kToMapHeaderSize);
  for (uint32_t k = 1; r.remaining() >= 4; ++k) numbers.emplace(r.u32(), k);
  return numbers;
}

std::optional<std::string> NameOfTopicNumber(const HelpFile& hf,
                                             const std::unordered_map<uint32_t, uint32_t>& numbers,
                                             uint32_t position) {
  auto it = numbers.find(position);
  if (it == numbers.end()) return std::nullopt;
  return ContextNameForHash(hf, it->second + kHc30TopicNameBase);
}

}  // namespace

std::optional<std::string> TopicNumberName(const HelpFile& hf, uint32_t position) {
  return NameOfTopicNumber(hf, TopicNumbers(hf), position);
}

void WriteMapSection(HelpFile& hf, OutputSink& project) {
  if (!hf.slot(Slot::kCtxOMap).present()) return;
  ByteReader r = hf.InternalData(Slot::kCtxOMap);
  const uint32_t announced = r.u16();
  const uint32_t n = std::min<uint32_t>(announced, uint32_t(r.remaining() / kCtxOMapEntrySize));
  if (n < announced) hf.diagnostics().Warning(kWarnMapCut, announced, n);
  project.Write("\n[Map]\n");
  const auto numbers = hf.is_hc30 ? TopicNumbers(hf) : std::unordered_map<uint32_t, uint32_t>();
  for (uint32_t i = 1; i <= n; ++i) {
    hf.diagnostics().Progress(int(47 + (int64_t{i} * 3 * 2 + n) / (2 * int64_t{n})),
                              kPhaseCreatingMap);
    const int32_t number = r.i32();
    const uint32_t offset = r.u32();
    const std::optional<std::string> name = hf.is_hc30
                                                ? NameOfTopicNumber(hf, numbers, offset)
                                                : ContextNameInRange(hf, int32_t(offset), offset);
    if (name) {
      project.Write(FormatText("#define %s %ld\n", {*name, number}));
    } else {
      hf.diagnostics().Warning(kWarnMapLookup, offset);
    }
  }
}

}  // namespace quorvex
