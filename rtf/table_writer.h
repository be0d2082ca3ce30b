// The table writer: one decoded table row (topic_model.h) as an RTF table row.
#pragma once

#include "core/help_file.h"
#include "core/output.h"
#include "core/topic_model.h"
#include "rtf/hotspots.h"

namespace quorvex {

/// Writes `row` as "{\pard\trowd..." with its gap, left edge and cell boundaries, then the cell
/// paragraphs (WriteParagraph in table mode) with "\cell " between columns, and
/// "\cell\row\pard}\n". A table type other than 0, 1 and 3 gives warning 17 and an empty,
/// closed group. `non_scrolling` is passed to every cell paragraph.
void WriteTable(HelpFile& hf, OutputSink& out, const TableRow& row, bool non_scrolling,
                HotspotNames* names = nullptr);

}  // namespace quorvex
