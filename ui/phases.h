// The conversion phases of the real program: the driver's steps bound to the folders that
// implement them.
#pragma once

#include "core/driver.h"

namespace quorvex {

/// The phases every conversion of the program runs.
class StandardPhases : public ConversionPhases {
 public:
  void BuildFontStyleTable(HelpFile& hf) override;
  void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                     bool main_pass) override;
};

}  // namespace quorvex
