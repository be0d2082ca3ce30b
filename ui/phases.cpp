#include "ui/phases.h"

#include "project/context_map.h"
#include "project/context_names.h"
#include "rtf/convert_topics.h"
#include "rtf/document_frame.h"

namespace quorvex {

void StandardPhases::LoadContextMap(HelpFile& hf) {
  quorvex::LoadContextMap(hf);
}

void StandardPhases::LoadKeywordTables(HelpFile& hf) {
  quorvex::LoadKeywordTables(hf);
}

void StandardPhases::BuildFontStyleTable(HelpFile& hf) {
  quorvex::BuildFontStyleTable(hf);
}

void StandardPhases::ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                                   bool main_pass) {
  quorvex::ConvertTopics(hf, base_name, project, main_pass);
}

std::string StandardPhases::ContextNameForHash(const HelpFile& hf, uint32_t hash) const {
  return quorvex::ContextNameForHash(hf, hash);
}

std::optional<std::string> StandardPhases::ContextNameInRange(const HelpFile& hf, int32_t low,
                                                              uint32_t high) const {
  return quorvex::ContextNameInRange(hf, low, high);
}

std::optional<std::string> StandardPhases::KeywordsForTopic(const HelpFile& hf,
                                                            const KeywordTable& table,
                                                            int64_t low, int64_t high,
                                                            std::vector<bool>* written) const {
  return quorvex::KeywordsForTopic(hf, &table, low, high, written);
}

}  // namespace quorvex
