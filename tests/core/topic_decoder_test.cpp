// Decoding of TopicLink records where the golden conversions do not look: compressed numbers,
// the text cursor, hotspot targets and objects, formatting data that ends early, table rows.
#include "core/topic_decoder.h"

#include <gtest/gtest.h>

#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

std::string Text(std::initializer_list<std::string_view> strings) {
  std::string t;
  for (std::string_view s : strings) (t += s) += '\0';
  return t;
}

/// Decodes `format` with the text strings `text`; checks the texts alternate with the commands.
Paragraph Decode(const std::vector<uint8_t>& format, const std::string& text = "",
                 int32_t* adjustment = nullptr, size_t* consumed = nullptr) {
  ByteReader f(format);
  TextCursor cursor(text);
  int32_t unused = 0;
  Paragraph p = DecodeParagraph(f, cursor, adjustment ? *adjustment : unused);
  if (consumed) *consumed = f.position();
  EXPECT_EQ(p.texts.size(), p.commands.size() + 1);
  return p;
}

TableRow DecodeRow(std::vector<uint8_t> format, const std::string& text = "") {
  ByteReader f(format);
  TextCursor cursor(text);
  int32_t adjustment = 0;
  return DecodeTableRow(f, cursor, adjustment);
}

std::vector<int> Warnings(const Paragraph& p) {
  RecordingDiagnostics d;
  WarnParagraphProblems(d, p);
  std::vector<int> ids;
  for (const auto& w : d.warnings) ids.push_back(w.id);
  return ids;
}

TEST(CompressedNumbers, DecodeBothForms) {
  struct Case {
    std::vector<uint8_t> bytes;
    char kind;  // s signed short, l signed long, u unsigned short
    int64_t value;
  };
  const Case cases[] = {
      {{0x80}, 's', 0},
      {{0x00}, 's', -64},
      {{0xFE}, 's', 63},
      {{0x01, 0x80}, 's', 0},
      {{0xFF, 0xFF}, 's', 16383},
      {{0x01, 0x00}, 's', -16383},
      {{0xFD, 0x7F}, 's', -1},  // halved toward zero, not -2
      {{0x00, 0x80}, 'l', 0},
      {{0xFE, 0x7F}, 'l', -1},
      {{0x01, 0x00, 0x00, 0x80}, 'l', 0},
      {{0xFD, 0xFF, 0xFF, 0x7F}, 'l', -1},
      {{0x03, 0x00, 0x01, 0x80}, 'l', 32769},
      {{0xFE}, 'u', 127},
      {{0x01, 0x01}, 'u', 128},
      {{0xFF, 0xFF}, 'u', 32767},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << " " << c.value);
    ByteReader r(c.bytes);
    const int64_t v = c.kind == 's'   ? ReadCompressedSignedShort(r)
                      : c.kind == 'l' ? ReadCompressedSignedLong(r)
                                      : int64_t{ReadCompressedUnsignedShort(r)};
    EXPECT_EQ(v, c.value);
    EXPECT_TRUE(r.ok() && r.at_end());
  }
  // The long form cut short fails.
  for (std::vector<uint8_t> cut : {std::vector<uint8_t>{0x01}, std::vector<uint8_t>{0x01, 0, 0}}) {
    ByteReader r(cut);
    cut.size() == 1 ? ReadCompressedSignedShort(r) : ReadCompressedSignedLong(r);
    EXPECT_FALSE(r.ok());
  }
}

TEST(TextCursor, TakesStringsAndCountsDown) {
  const std::string text = Text({"ab", "", "cde"});
  TextCursor c(text);
  const std::pair<std::string_view, size_t> expected[] = {{"ab", 5}, {"", 4}, {"cde", 0}, {"", 0}};
  for (const auto& [string, left] : expected) {
    EXPECT_EQ(c.Next(), string);
    EXPECT_EQ(c.left(), left);
  }
  TextCursor unterminated("xy");  // no NUL: the string ends with the text
  EXPECT_EQ(unterminated.Next(), "xy");
  EXPECT_EQ(unterminated.Next(), "");
  EXPECT_EQ(TextCursor().Next(), "");
}

TEST(Paragraph, TabStopsAndHotspotTargets) {
  // A tab stop: the flag 0x4000 brings a type byte; the position is the low 14 bits.
  const Paragraph t = Decode(ParagraphBuilder().Tab(0x3FFF, 0x02).Tab(10).Build());
  ASSERT_EQ(t.properties.tabs.size(), 2u);
  EXPECT_EQ(t.properties.tabs[0].position, 0x3FFF);
  EXPECT_EQ(t.properties.tabs[0].kind, TabStop::Kind::kRight);
  EXPECT_EQ(t.properties.tabs[1].kind, TabStop::Kind::kLeft);

  auto format = ParagraphBuilder()
                    .JumpShort(0xE3, 0x12345678)
                    .JumpExtended(0xEB, 0xCAFEBABE, uint8_t{0xFF}, "proc", "other.hlp")
                    .JumpExtended(0xEE, 7, std::nullopt, "main", std::nullopt)
                    .Command(0x84)  // not a command the conversion knows: consumes nothing
                    .Build();
  Paragraph p = Decode(format);
  ASSERT_EQ(p.commands.size(), 4u);
  const HotspotTarget& a = p.commands[0].hotspot;
  EXPECT_TRUE(a.valid && !a.extended);
  EXPECT_EQ(a.hash, 0x12345678u);
  const HotspotTarget& b = p.commands[1].hotspot;
  EXPECT_TRUE(b.valid && b.extended);
  EXPECT_EQ(b.flags, 0x07);
  EXPECT_EQ(b.hash, 0xCAFEBABEu);
  EXPECT_EQ(b.window_number, 0xFF);
  EXPECT_EQ(b.window_name, "proc");
  EXPECT_EQ(b.file_name, "other.hlp");
  const HotspotTarget& c = p.commands[2].hotspot;
  EXPECT_EQ(c.window_number, 0);
  EXPECT_EQ(c.window_name, "main");
  EXPECT_EQ(p.commands[3].code, 0x84);
  EXPECT_FALSE(p.missing_end);

  // Too few bytes for the target: it is invalid and consumes nothing, so what follows is read
  // as commands (0xE3 wants 4 bytes; 0xEB's length runs past the data).
  for (const std::vector<uint8_t>& raw :
       {std::vector<uint8_t>{0xE3, 0x81}, std::vector<uint8_t>{0xEB, 0x40, 0x00, 0x81}}) {
    Paragraph q = Decode(ParagraphBuilder().Raw(raw).Build());
    EXPECT_FALSE(q.commands.front().hotspot.valid);
    EXPECT_EQ(q.commands.back().code, 0x81);
    EXPECT_FALSE(q.missing_end);
  }
}

TEST(Paragraph, ObjectsTakeExactlyTheirSize) {
  // Window data whose first byte is odd: read as a character count it would take two bytes.
  const std::vector<uint8_t> stored = {'l', 'P', 1, 0, 9, 9, 9};
  auto format = ParagraphBuilder()
                    .EmbeddedObject(0x86, "!Options", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00})
                    .PictureRef(0x86, 12, /*char_count=*/1)
                    .PictureStored(0x87, stored, /*char_count=*/300)
                    .PictureHc30(0x88, 4)
                    .Raw({0x86, 0x09, 0x06, 0x80, 0xAA, 0xBB, 0xCC})  // type 9, size 3
                    .Font(2)
                    .Build();
  int32_t adjustment = 0;
  size_t consumed = 0;
  Paragraph p = Decode(format, "", &adjustment, &consumed);
  EXPECT_EQ(consumed, format.size());
  ASSERT_EQ(p.commands.size(), 6u);
  EXPECT_EQ(p.commands[0].object.text, "!Options");
  EXPECT_EQ(p.commands[0].object.size, 6 + 8 + 1);
  EXPECT_EQ(p.commands[1].object.picture_number, 12);
  EXPECT_EQ(p.commands[2].object.stored_picture, stored);
  EXPECT_FALSE(p.commands[2].object.picture_number.has_value());
  EXPECT_EQ(p.commands[3].object.type, 3);
  EXPECT_EQ(p.commands[3].object.picture_number, 4);
  EXPECT_EQ(p.commands[4].object.type, 9);
  EXPECT_EQ(p.commands[5].font, 2);
  EXPECT_EQ(adjustment, 301) << "the character counts of 0x22 pictures";
  RecordingDiagnostics d;
  WarnParagraphProblems(d, p);
  ASSERT_EQ(d.warnings.size(), 1u);
  EXPECT_EQ(d.warnings[0].text,
            "Object type 9 in topic text is not known; its 3 bytes are skipped");
}

TEST(Paragraph, DataEndingEarly) {
  struct Case {
    const char* name;
    std::vector<uint8_t> format;
    bool truncated;
    size_t commands;
  };
  const Case cases[] = {
      {"no end mark after filler", ParagraphBuilder().Raw({0x00, 0x00}).Build(false), false, 0},
      {"header cut short", {0x00, 0x80, 0x00}, true, 0},
      {"optional field missing", {0x00, 0x80, 0x00, 0x00, 0x02, 0x00}, true, 0},
      {"macro longer than the data",
       ParagraphBuilder().Raw({0xC8, 0x20, 0x00, 'a', 0x00}).Build(false), true, 0},
      {"object size past the data",
       ParagraphBuilder().Raw({0x86, 0x05, 0x40, 0x80, 1, 2}).Build(false), true, 0},
      {"stored picture past the data",
       ParagraphBuilder().Raw({0x86, 0x22, 0x40, 0x80, 0x02, 0x01, 0x00, 1}).Build(false), true, 0},
      {"object type only", ParagraphBuilder().Command(0x81).Raw({0x87, 0x22}).Build(false), true,
       1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paragraph p = Decode(c.format, Text({"x", "y", "z", "w"}));
    EXPECT_TRUE(p.missing_end);
    EXPECT_EQ(p.truncated, c.truncated);
    EXPECT_EQ(p.commands.size(), c.commands);
    EXPECT_EQ(Warnings(p), std::vector<int>{c.truncated ? kWarnParagraphCut : kWarnParagraphNoEnd});
  }
}

TEST(TableRow, CellsAndWhereTheyStop) {
  const std::vector<uint8_t> ended = ParagraphBuilder().Command(0x82).Build();
  auto row = [](std::vector<uint8_t> layout, std::vector<std::vector<uint8_t>> parts) {
    for (const auto& p : parts) layout.insert(layout.end(), p.begin(), p.end());
    return layout;
  };
  // Column 1 after column 0, then a paragraph of column 2, which the row does not have.
  TableRow r = DecodeRow(row(TableLayout(1, {{200, 30}, {300, 20}}),
                             {TableCell(0, ended), TableCell(1, ended), TableCell(2, ended),
                              TableEnd(), std::vector<uint8_t>(12, 0)}),
                         Text({"a", "b", "c", "d"}));
  ASSERT_EQ(r.cells.size(), 2u);
  EXPECT_EQ(r.cells[1].column, 1);
  EXPECT_EQ(r.cells[1].paragraph.texts, (std::vector<std::string>{"c", "d"}));
  EXPECT_TRUE(r.cells[1].paragraph.commands[0].before_end);

  // Type 0 carries a width factor.
  EXPECT_EQ(DecodeRow(row(TableLayout(0, {{100, 10}}, 16383), {TableCell(0, ended), TableEnd()}))
                .width_factor,
            16383);
  // Type 2 is kept but its cells are not read.
  TableRow t2 = DecodeRow(row(TableLayout(2, {{100, 10}}), {TableCell(0, ended), TableEnd()}));
  EXPECT_EQ(t2.table_type, 2);
  EXPECT_TRUE(t2.columns.empty() && t2.cells.empty());
  // A cell with 12 bytes or fewer left (header included) is not read.
  EXPECT_TRUE(
      DecodeRow(row(TableLayout(3, {{100, 10}}), {TableCell(0, ParagraphBuilder().Build())}))
          .cells.empty());
  // A cell whose paragraph starts with 0xFF ends the row.
  EXPECT_TRUE(
      DecodeRow(row(TableLayout(1, {{100, 10}}), {{0, 0, 0, 0, 0, 0xFF}, std::vector<uint8_t>(9)}))
          .cells.empty());
  // Layout cut short.
  TableRow cut = DecodeRow({3, 1, 100, 0, 10});
  EXPECT_TRUE(cut.truncated);
  RecordingDiagnostics d;
  WarnTableProblems(d, cut);
  EXPECT_EQ(d.Count(kWarnTableLayoutCut), 1u);
}

}  // namespace
}  // namespace quorvex
