// The conversion phases of the real program: the driver's steps and the topic writers' services
// bound to the folders that implement them.
#pragma once

#include "core/driver.h"

namespace quorvex {

/// The phases every conversion of the program runs.
class StandardPhases : public ConversionPhases {
 public:
  void WriteSystemSections(HelpFile& hf, OutputSink& project) override;
  void ExtractBaggage(HelpFile& hf, OutputSink& project) override;
  void WriteMapSection(HelpFile& hf, OutputSink& project) override;
  void BuildFontStyleTable(HelpFile& hf) override;
  void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                     bool main_pass) override;

  std::optional<std::string> BrowseSequenceName(HelpFile& hf, int32_t back, int32_t topic,
                                                int32_t forward) override;
};

}  // namespace quorvex
