// Browse sequences: the help file links each topic of a sequence to its predecessor and
// successor; the help compiler wants a "+" footnote naming the sequence and the position.
#pragma once

#include <optional>
#include <string>

#include "core/help_file.h"

namespace quorvex {

/// The "+" footnote text "grp%04X:%d" of a topic with the browse links `back` and `forward`
/// (-1: none), recording the topic in hf.browse_groups the first time it is met (the pre-pass):
/// a topic joins the group of its predecessor or successor, a topic that links two groups
/// merges the second into the first. The position counts the links back to the chain's start,
/// at most 32767. None for a topic in no sequence.
std::optional<std::string> BrowseSequenceName(HelpFile& hf, int32_t back, int32_t topic,
                                              int32_t forward);

}  // namespace quorvex
