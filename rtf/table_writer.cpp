#include "rtf/table_writer.h"

#include <vector>

#include "rtf/paragraph_writer.h"
#include "rtf/rtf_text.h"

namespace quorvex {

namespace {

constexpr uint8_t kTableScaled = 0;    // centred, column entries scaled by the width factor
constexpr uint8_t kTableTenths = 1;    // column entries in tenths of the RTF unit
constexpr uint8_t kTableAbsolute = 3;  // cell boundaries in RTF units
/// The width factor that leaves a type-0 column entry unchanged.
constexpr long long kFullWidthFactor = 32767;

/// v * factor / 32767 rounded to the nearest integer (halves away from zero), kept in 16 bits.
uint16_t ScaleColumnWord(uint16_t v, uint16_t factor) {
  const long long product = static_cast<long long>(v) * factor;
  return static_cast<uint16_t>((product + kFullWidthFactor / 2) / kFullWidthFactor);
}

}  // namespace

void WriteTable(HelpFile& hf, OutputSink& out, const TableRow& row, bool non_scrolling,
                HotspotNames* names) {
  const size_t c = row.column_count;
  out.Write("{\\pard\\trowd\\intbl");
  if (row.table_type != kTableScaled && row.table_type != kTableTenths &&
      row.table_type != kTableAbsolute) {
    hf.diagnostics().Warning(kWarnTableFormat);
    // The row's cells are not written; the group opened above is closed so braces balance.
    out.Write("}\n");
    return;
  }
  // Entries that a cut-short layout does not hold count as 0, as in a zero-filled buffer.
  std::vector<TableColumn> columns(c);
  for (size_t i = 0; i < c && i < row.columns.size(); ++i) columns[i] = row.columns[i];
  if (row.table_type == kTableScaled) {
    out.Write("\\trqc");
    for (TableColumn& column : columns) {
      column.width = ScaleColumnWord(column.width, row.width_factor);
      column.spacing = ScaleColumnWord(column.spacing, row.width_factor);
    }
  }

  // Column 1's spacing is the gap between all cells; column 0's spacing places the left edge.
  long long gap = 0;
  if (c >= 2) {
    gap = columns[1].spacing;
    WriteControlWord(out, "\\trgaph", gap);
    out.Write("0");
  }
  long long x = (c >= 1 ? columns[0].spacing : 0) - gap / 2;
  WriteControlWord(out, "\\trleft", x - gap / 2);
  out.Write("0");
  for (const TableColumn& column : columns) {
    x += column.width + gap;
    WriteControlWord(out, "\\cellx", x);
    if (row.table_type != kTableAbsolute) out.Write("0");
  }
  out.Write(" ");

  // Cell paragraphs up to the first one whose column the row does not have.
  size_t count = 0;
  while (count < row.cells.size() && row.cells[count].column < c) ++count;
  uint8_t current_column = 0;
  for (size_t i = 0; i < count; ++i) {
    const CellParagraph& cell = row.cells[i];
    if (cell.column != current_column) {
      out.Write("\\cell ");
      current_column = cell.column;
    }
    const bool last_in_cell = i + 1 == count || row.cells[i + 1].column != cell.column;
    WriteParagraph(hf, out, cell.paragraph, non_scrolling, true, last_in_cell, names);
  }
  out.Write("\\cell\\row\\pard}\n");
}

}  // namespace quorvex
