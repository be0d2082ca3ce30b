// The topic walk: every TopicLink record of |TOPIC, from the first to the last, into RTF.
#pragma once

#include <string_view>

#include "core/help_file.h"

namespace quorvex {

/// Topics per RTF file before SplitRtf starts a new one: a file holds this many plus two.
inline constexpr int kSplitTopicThreshold = 150;

/// One pass of the topic walk. The main pass (`main_pass` true) creates the RTF files (named
/// after `base_name`) with their frame, writes every record and appends the "[Files]" section
/// to `project`; the pre-pass writes nothing to disk and only collects what later passes need.
/// A damaged record ends the walk with a warning; what was converted before it is kept.
void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project, bool main_pass);

}  // namespace quorvex
