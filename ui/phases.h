// The conversion phases of the real program: the driver's steps bound to the folders that
// implement them.
#pragma once

#include "core/driver.h"

namespace quorvex {

/// The phases every conversion of the program runs.
class StandardPhases : public ConversionPhases {
 public:
  void WriteBitmapsSection(HelpFile& hf, OutputSink& project) override;
  void BuildFontStyleTable(HelpFile& hf) override;
  void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                     bool main_pass) override;

  void WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture,
                       char alignment, bool stored) override;
  std::optional<size_t> ExtractStoredPicture(HelpFile& hf, Bytes container) override;
};

}  // namespace quorvex
