#include "ui/phases.h"

#include "graphics/pictures.h"
#include "project/baggage.h"
#include "project/browse_sequences.h"
#include "project/context_map.h"
#include "project/context_names.h"
#include "project/map_section.h"
#include "project/system_sections.h"
#include "rtf/convert_topics.h"
#include "rtf/document_frame.h"

namespace quorvex {

void StandardPhases::WriteSystemSections(HelpFile& hf, OutputSink& project) {
  quorvex::WriteSystemSections(hf, project);
}

void StandardPhases::ExtractBaggage(HelpFile& hf, OutputSink& project) {
  quorvex::ExtractBaggage(hf, project);
}

void StandardPhases::WriteMapSection(HelpFile& hf, OutputSink& project) {
  quorvex::WriteMapSection(hf, project);
}

void StandardPhases::LoadContextMap(HelpFile& hf) {
  quorvex::LoadContextMap(hf);
}

void StandardPhases::LoadKeywordTables(HelpFile& hf) {
  quorvex::LoadKeywordTables(hf);
}

void StandardPhases::WriteBitmapsSection(HelpFile& hf, OutputSink& project) {
  quorvex::WriteBitmapsSection(hf, project);
}

void StandardPhases::BuildFontStyleTable(HelpFile& hf) {
  quorvex::BuildFontStyleTable(hf);
}

void StandardPhases::ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                                   bool main_pass) {
  quorvex::ConvertTopics(hf, base_name, project, main_pass);
}

std::optional<std::string> StandardPhases::BrowseSequenceName(HelpFile& hf, int32_t back,
                                                              int32_t topic, int32_t forward) {
  return quorvex::BrowseSequenceName(hf, back, topic, forward);
}

std::string StandardPhases::ContextNameForHash(const HelpFile& hf, uint32_t hash) const {
  return quorvex::ContextNameForHash(hf, hash);
}

std::optional<std::string> StandardPhases::ContextNameInRange(const HelpFile& hf, int32_t low,
                                                              uint32_t high) const {
  return quorvex::ContextNameInRange(hf, low, high);
}

std::optional<std::string> StandardPhases::KeywordsForTopic(const HelpFile& hf,
                                                            const KeywordTable& table, int64_t low,
                                                            int64_t high,
                                                            KeywordEntryMarks* written) const {
  return quorvex::KeywordsForTopic(hf, &table, low, high, written);
}

std::optional<size_t> StandardPhases::KeywordsLengthForTopic(const HelpFile&,
                                                             const KeywordTable& table,
                                                             int64_t low, int64_t high,
                                                             KeywordEntryMarks& written) const {
  return table.TakeJoinedLengthInRange(low, high, written);
}

void StandardPhases::WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture,
                                     char alignment, bool stored) {
  quorvex::WriteRtfPicture(hf, rtf, picture, alignment, stored);
}

std::optional<size_t> StandardPhases::ExtractStoredPicture(HelpFile& hf, Bytes container) {
  return quorvex::ExtractStoredPicture(hf, container);
}

}  // namespace quorvex
