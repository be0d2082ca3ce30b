// The frame of every RTF file: prologue, font and colour tables from the font model, paper size,
// template reference, stylesheet and (printing mode) the page header; and the font style table
// that the paragraph writer uses for font changes.
#pragma once

#include <string>
#include <string_view>

#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// Builds hf.font_styles, the character formats that font changes write ("\f0\cf0\fs20\b0\i0\ul0"),
/// from the font model.
void BuildFontStyleTable(HelpFile& hf);

/// Writes the font table, colour table, paper size and, with PageLinks, Toc or Index, the
/// template reference, from the font model. Without fonts the table still has "\f0".
void WriteFontTable(HelpFile& hf, OutputSink& out);

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
