#include "rtf/table_writer.h"

#include <gtest/gtest.h>

#include "tests/support/rtf_check.h"

namespace quorvex {
namespace {

std::string Crlf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

/// A cell paragraph "text" closed by 0x82 directly before its 0xFF, as cells are stored.
CellParagraph Cell(uint8_t column, std::string text) {
  CellParagraph cell;
  cell.column = column;
  cell.paragraph.texts = {std::move(text), ""};
  ParagraphCommand end;
  end.code = kCmdParagraphEnd;
  end.before_end = true;
  cell.paragraph.commands = {end};
  return cell;
}

TableRow Row(uint8_t type, std::vector<TableColumn> columns,
             std::vector<CellParagraph> cells = {}) {
  TableRow row;
  row.table_type = type;
  row.column_count = static_cast<uint8_t>(columns.size());
  row.columns = std::move(columns);
  row.cells = std::move(cells);
  return row;
}

class TableWriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf.session = &session;
    session.rtf_char_count = 1;
  }
  std::string Write(const TableRow& row, bool non_scrolling = false) {
    auto out = OutputSink::Memory(true);
    WriteTable(hf, *out, row, non_scrolling);
    testing::RtfCheck check = testing::CheckRtf("{\\rtf1 " + out->contents() + "}");
    EXPECT_TRUE(check.ok) << check.error << "\n" << out->contents();
    return out->contents();
  }

  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
};

constexpr std::string_view kRowEnd = "\\cell\\row\\pard}\r\n";

TEST_F(TableWriterTest, RowDefinitions) {
  struct Case {
    const char* name;
    TableRow row;
    std::string definition;
  };
  const std::vector<TableColumn> two = {{200, 30}, {300, 20}};
  TableRow scaled = Row(0, two);
  scaled.width_factor = 16383;
  TableRow unscaled = Row(0, two);
  unscaled.width_factor = 32767;
  const Case cases[] = {
      {"type 1", Row(1, two), "{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx2400\\cellx5600 "},
      {"type 3", Row(3, two), "{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx240\\cellx560 "},
      // 200, 30, 300, 20 scaled by 16383/32767 round to 100, 15, 150, 10.
      {"type 0 halved", scaled,
       "{\\pard\\trowd\\intbl\\trqc\\trgaph100\\trleft50\\cellx1200\\cellx2800 "},
      {"type 0 full width", unscaled,
       "{\\pard\\trowd\\intbl\\trqc\\trgaph200\\trleft100\\cellx2400\\cellx5600 "},
      {"one column", Row(1, {{500, 40}}), "{\\pard\\trowd\\intbl\\trleft400\\cellx5400 "},
      {"no columns", Row(1, {}), "{\\pard\\trowd\\intbl\\trleft00 "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Write(c.row), c.definition + std::string(kRowEnd)) << c.name;
  }
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(TableWriterTest, ScalingRoundsToNearestAndKeeps16Bits) {
  // 3 * 21845 / 32767 = 2.00003 -> 2; 65535 * 21845 / 32767 = 43690.67 -> 43691.
  TableRow row = Row(0, {{3, 65535}});
  row.width_factor = 21845;
  EXPECT_EQ(Write(row),
            "{\\pard\\trowd\\intbl\\trqc\\trleft436910\\cellx436930 " + std::string(kRowEnd));
  // 40000 * 65535 / 32767 = 80001.2 -> 80001, which keeps 14465 in 16 bits.
  row = Row(0, {{40000, 0}});
  row.width_factor = 65535;
  EXPECT_EQ(Write(row),
            "{\\pard\\trowd\\intbl\\trqc\\trleft00\\cellx144650 " + std::string(kRowEnd));
}

TEST_F(TableWriterTest, CellsOfSeveralParagraphs) {
  TableRow row = Row(1, {{200, 30}, {300, 20}}, {Cell(0, "A"), Cell(0, "B"), Cell(1, "C")});
  EXPECT_EQ(Write(row), Crlf("{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx2400\\cellx5600 "
                             "\\pard\\s0\\intbl\\ql A\\par\n"
                             "\\pard\\s0\\intbl\\ql B"
                             "\\cell \\pard\\s0\\intbl\\ql C"
                             "\\cell\\row\\pard}\n"));
  testing::RtfCheck check = testing::CheckRtf("{\\rtf1 " + Write(row) + "}");
  EXPECT_EQ(check.text, "A\nB\nC\n\n");
}

TEST_F(TableWriterTest, NonScrollingRowAndColumnsBeyondTheRow) {
  // The cells stop at the first paragraph whose column the row does not have.
  TableRow row = Row(3, {{10, 0}}, {Cell(0, "A"), Cell(1, "B"), Cell(0, "C")});
  EXPECT_EQ(Write(row, true),
            "{\\pard\\trowd\\intbl\\trleft00\\cellx10 "
            "\\pard\\keepn\\s1\\intbl\\ql A" +
                std::string(kRowEnd));
}

TEST_F(TableWriterTest, ColumnsComingBackAndMissingColumnEntries) {
  TableRow row = Row(3, {{10, 0}, {20, 4}}, {Cell(1, "B"), Cell(0, "A")});
  row.columns.pop_back();  // the layout was cut short: column 1 counts as 0, 0
  EXPECT_EQ(Write(row),
            "{\\pard\\trowd\\intbl\\trgaph00\\trleft00\\cellx10\\cellx10 "
            "\\cell \\pard\\s0\\intbl\\ql B\\cell \\pard\\s0\\intbl\\ql A" +
                std::string(kRowEnd));
}

TEST_F(TableWriterTest, UnsupportedTypeIsWarnedAndClosed) {
  for (uint8_t type : {2, 4, 255}) {
    EXPECT_EQ(Write(Row(type, {{200, 30}}, {Cell(0, "A")})), "{\\pard\\trowd\\intbl}\r\n");
  }
  EXPECT_EQ(diagnostics.Count(kWarnTableFormat), 3u);
  EXPECT_EQ(diagnostics.warnings.size(), 3u);
}

}  // namespace
}  // namespace quorvex
