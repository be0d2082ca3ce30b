// The "[Map]" section: the help ids that applications open topics by (|CTXOMAP), each bound to
// the context name of its topic, and the names HC30 files give their topics through |TOMAP.
#pragma once

#include <optional>
#include <string>

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Writes "[Map]" with one "#define NAME NUMBER" line per |CTXOMAP entry whose topic offset is
/// exactly where a context starts (HC30: a topic position listed in |TOMAP); warning 10 for an
/// entry without one. Nothing without |CTXOMAP.
void WriteMapSection(HelpFile& hf, OutputSink& project);

/// The name of the HC30 topic at topic position `position`: the name of k + 15 for the k-th
/// entry (from 1) of |TOMAP that holds it; none when |TOMAP does not list it.
std::optional<std::string> TopicNumberName(const HelpFile& hf, uint32_t position);

}  // namespace quorvex
