// The project file's sections that come from |SYSTEM: "[options]", "[Config]", "[Windows]" and
// "[GROUPS]", the icon, and the names of the secondary windows that hotspots refer to.
#pragma once

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Writes "[options]" (Compress, then Title, CopyRight, Contents, Citation and ICON lines in
/// record order) and the "[Config]", "[Windows]" and "[GROUPS]" sections, each opened again
/// whenever records of another section came between; fills hf.window_names; in recompilation
/// mode writes the icon to ICON.ICO. An HC30 file gives only the Compress and Title lines.
void WriteSystemSections(HelpFile& hf, OutputSink& project);

}  // namespace quorvex
