#include "core/services.h"

#include "core/format.h"

namespace quorvex {

std::string TopicServices::ContextNameForHash(const HelpFile&, uint32_t hash) const {
  return FormatText("0x%08lX", {hash});
}

std::optional<std::string> TopicServices::ContextNameInRange(const HelpFile&, int32_t,
                                                             uint32_t) const {
  return std::nullopt;
}

std::optional<std::string> TopicServices::KeywordsForTopic(const HelpFile&, const KeywordTable&,
                                                           int64_t, int64_t,
                                                           KeywordEntryMarks*) const {
  return std::nullopt;
}

std::optional<size_t> TopicServices::KeywordsLengthForTopic(const HelpFile& hf,
                                                            const KeywordTable& table,
                                                            int64_t low, int64_t high,
                                                            KeywordEntryMarks& written) const {
  const std::optional<std::string> keywords = KeywordsForTopic(hf, table, low, high, &written);
  return keywords ? std::optional<size_t>(keywords->size()) : std::nullopt;
}

std::optional<std::string> TopicServices::BrowseSequenceName(HelpFile&, int32_t, int32_t, int32_t) {
  return std::nullopt;
}

void TopicServices::WriteRtfPicture(HelpFile&, OutputSink&, const ExtractedPicture&, char, bool) {}

std::optional<size_t> TopicServices::ExtractStoredPicture(HelpFile&, Bytes) {
  return std::nullopt;
}

}  // namespace quorvex
