#include "ui/phases.h"

#include "graphics/pictures.h"
#include "rtf/convert_topics.h"
#include "rtf/document_frame.h"

namespace quorvex {

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

void StandardPhases::WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture,
                                     char alignment, bool stored) {
  quorvex::WriteRtfPicture(hf, rtf, picture, alignment, stored);
}

std::optional<size_t> StandardPhases::ExtractStoredPicture(HelpFile& hf, Bytes container) {
  return quorvex::ExtractStoredPicture(hf, container);
}

}  // namespace quorvex
