// The frame of every RTF file: prologue, font and colour tables from |FONT, paper size,
// template reference, stylesheet and (printing mode) the page header; and the font style table
// that the paragraph writer uses for font changes.
#pragma once

#include <string>
#include <string_view>

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Reads |FONT. Builds hf.font_styles on the first call (and sets hf.font_styles_built and
/// hf.new_font_descriptors); later calls leave the table alone. With `out`, writes the font
/// table, colour table, paper size and, with PageLinks, Toc or Index, the template reference.
/// A missing or damaged |FONT is warned about once (on the call that builds the table) and
/// still gives a font table with at least "\f0", so the document stays usable.
void WriteFontTable(HelpFile& hf, OutputSink* out);

/// Starts an RTF file: prologue, font table, stylesheet and, in printing mode, the page header
/// with `rtf_name` and the help file's title. In recompilation mode `rtf_name` goes into the
/// project file's [Files] section instead.
void BeginRtfFile(HelpFile& hf, OutputSink& project, OutputSink& rtf, std::string_view rtf_name);

/// Ends an RTF file: the closing brace, then the sink is closed (a write failure is fatal).
void EndRtfFile(HelpFile& hf, OutputSink& rtf);

/// The word-processor template the RTF refers to: QUORVEX.DOT in the folder of the program's
/// own executable (just "QUORVEX.DOT" when that path cannot be found).
std::string TemplatePath();

}  // namespace quorvex
