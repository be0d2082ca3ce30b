// Baggage: the files an author put into the help file beside its own internal files, copied out
// byte for byte and listed in the "[Baggage]" section.
#pragma once

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// True for an internal file that is baggage: its name starts neither with "|" nor with "bm"
/// (pictures).
bool IsBaggage(std::string_view internal_name);

/// Writes "[Baggage]" and copies every baggage file into the output folder. A name that is not
/// a plain file name, or that this conversion's own files take, is written under a safe name
/// (with a warning), and the project file lists the name written.
void ExtractBaggage(HelpFile& hf, OutputSink& project);

}  // namespace quorvex
