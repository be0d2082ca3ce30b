// Media objects in the help compiler's {mci} form.
#pragma once

#include <string_view>

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Writes the media object `text` (the object text after its "*": menu flags, play flags and
/// file, separated by commas) as "\{mci ...,file\}". Empty fields between commas do not count;
/// with fewer than three fields nothing is written.
void WriteMciObject(HelpFile& hf, OutputSink& out, std::string_view text);

}  // namespace quorvex
