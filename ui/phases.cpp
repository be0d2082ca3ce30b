#include "ui/phases.h"

#include "rtf/convert_topics.h"
#include "rtf/document_frame.h"

namespace quorvex {

void StandardPhases::BuildFontStyleTable(HelpFile& hf) {
  quorvex::BuildFontStyleTable(hf);
}

void StandardPhases::ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                                   bool main_pass) {
  quorvex::ConvertTopics(hf, base_name, project, main_pass);
}

}  // namespace quorvex
