// The paragraph writer: one decoded paragraph (topic_model.h) as RTF.
#pragma once

#include "core/help_file.h"
#include "core/output.h"
#include "core/topic_model.h"
#include "rtf/hotspots.h"

namespace quorvex {

/// Writes `paragraph`: "\pard" with its properties, then its text strings and commands in turn
/// (font changes from hf.font_styles, line and paragraph ends, tabs, objects, hotspots).
/// `non_scrolling`: the paragraph lies in the topic's non-scrolling region (style s1).
/// `in_table`: a paragraph of a table cell ("\intbl"). `last_in_cell`: the cell's last
/// paragraph, whose closing paragraph end the cell mark stands for. Problems in the data
/// (unknown font, hotspot end without start, ...) are warnings; the paragraph is still written.
/// `names`: the hotspots' target names where they were looked up ahead.
void WriteParagraph(HelpFile& hf, OutputSink& out, const Paragraph& paragraph, bool non_scrolling,
                    bool in_table = false, bool last_in_cell = false,
                    HotspotNames* names = nullptr);

}  // namespace quorvex
