// Placeholder until the phrase tables land.
#include "core/phrases.h"

#include "core/help_file.h"

namespace quorvex {
void LoadPhrases(HelpFile&) {}
void LoadRtfPhrases(HelpFile&) {}
std::vector<uint32_t> DecodePhraseIndex(uint32_t, unsigned, Bytes) { return {}; }
std::optional<std::string_view> GetPhrase(const HelpFile&, size_t) { return std::nullopt; }
}  // namespace quorvex
