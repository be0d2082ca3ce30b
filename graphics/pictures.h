// The pictures of a conversion: every picture internal file extracted before the topics (and
// listed in the project file's [Bitmaps] section), pictures stored inside topic text, and the
// RTF that refers to, imports or embeds a picture.
#pragma once

#include <cstddef>
#include <optional>

#include "core/byte_reader.h"
#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

/// The folder picture files go to: with BmpInRtf the session's TEMP folder when there is one
/// (the files only serve the embedding and are deleted when the help file is closed), else the
/// output folder.
OutputDir& PictureFolder(HelpFile& hf);

/// Extracts every internal file whose name (without a leading "|") starts with "bm", in
/// directory order, writes "\n[Bitmaps]\n" and one line per picture file to `project`, and
/// records each file in hf.extracted_pictures under the number that follows "bm" (no digits: 0).
/// Reports progress from 0 to 40 percent in the phase "Converting Bitmaps".
void WriteBitmapsSection(HelpFile& hf, OutputSink& project);

/// Extracts a picture container stored in topic text under the name base "bmw<n>", n being the
/// length of the picture list, and records it at n. Returns n; none (with a warning) when the
/// list cannot grow any more.
std::optional<size_t> ExtractStoredPicture(HelpFile& hf, Bytes container);

/// Writes the RTF of `picture` for an object with alignment letter `alignment` ('c', 'l' or
/// 'r'); `stored`: the picture was stored in the topic text. With BmpInRtf a bitmap or metafile
/// is embedded as a metafile picture; otherwise (and for a .SHG, or a file that cannot be read
/// back) recompilation gets "\{bm<c> name\}" and printing an import field.
void WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture, char alignment,
                     bool stored);

/// Writes `bytes` as upper-case hexadecimal digit pairs, 32 bytes to a line, each line ended by
/// a line feed.
void WriteHexLines(OutputSink& out, Bytes bytes);

}  // namespace quorvex
