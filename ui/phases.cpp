#include "ui/phases.h"

#include "project/baggage.h"
#include "project/browse_sequences.h"
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

}  // namespace quorvex
