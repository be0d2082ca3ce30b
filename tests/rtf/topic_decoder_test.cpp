// Decoding of TopicLink records: compressed numbers, paragraphs, objects, hotspots, tables.
#include "rtf/topic_decoder.h"

#include <gtest/gtest.h>

#include "tests/support/byte_builder.h"
#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

using testsupport::ParagraphBuilder;
using testsupport::TableCell;
using testsupport::TableLayout;

ByteReader Reader(const std::vector<uint8_t>& b) {
  return ByteReader(Bytes(b.data(), b.size()));
}

std::string Text(std::initializer_list<std::string_view> strings) {
  std::string t;
  for (std::string_view s : strings) {
    t += s;
    t += '\0';
  }
  return t;
}

Paragraph Decode(const std::vector<uint8_t>& format, const std::string& text,
                 int32_t* adjustment = nullptr, size_t* consumed = nullptr) {
  ByteReader f = Reader(format);
  TextCursor cursor(text);
  int32_t adj = 0;
  Paragraph p = DecodeParagraph(f, cursor, adjustment ? *adjustment : adj);
  if (consumed) *consumed = f.position();
  EXPECT_EQ(p.texts.size(), p.commands.size() + 1);
  return p;
}

TEST(CompressedNumbers, DecodeBothForms) {
  struct Case {
    std::vector<uint8_t> bytes;
    char kind;  // s signed short, l signed long, u unsigned short
    int64_t value;
    size_t consumed;
  };
  const Case cases[] = {
      {{0x80}, 's', 0, 1},
      {{0x00}, 's', -64, 1},
      {{0xFE}, 's', 63, 1},
      {{0xF8}, 's', 60, 1},
      {{0x38}, 's', -36, 1},
      {{0x01, 0x80}, 's', 0, 2},
      {{0xFD, 0x7F}, 's', -1, 2},  // truncated toward zero, not -2
      {{0xFF, 0xFF}, 's', 16383, 2},
      {{0x01, 0x00}, 's', -16383, 2},
      {{0x00, 0x80}, 'l', 0, 2},
      {{0x02, 0x80}, 'l', 1, 2},
      {{0xFE, 0x7F}, 'l', -1, 2},
      {{0x01, 0x00, 0x00, 0x80}, 'l', 0, 4},
      {{0xFD, 0xFF, 0xFF, 0x7F}, 'l', -1, 4},
      {{0x03, 0x00, 0x01, 0x80}, 'l', 32769, 4},
      {{0x04}, 'u', 2, 1},
      {{0xFE}, 'u', 127, 1},
      {{0x01, 0x01}, 'u', 128, 2},
      {{0xFF, 0xFF}, 'u', 32767, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.kind << " " << c.value);
    ByteReader r = Reader(c.bytes);
    int64_t v = c.kind == 's'   ? ReadCompressedSignedShort(r)
                : c.kind == 'l' ? ReadCompressedSignedLong(r)
                                : int64_t{ReadCompressedUnsignedShort(r)};
    EXPECT_EQ(v, c.value);
    EXPECT_EQ(r.position(), c.consumed);
    EXPECT_TRUE(r.ok());
  }
  // The encoders of the test writer agree with the decoders.
  for (int v : {-16383, -65, -64, -1, 0, 1, 63, 64, 16383}) {
    auto b = testsupport::EncodeSignedShort(v);
    ByteReader r = Reader(b);
    EXPECT_EQ(ReadCompressedSignedShort(r), v);
    auto l = testsupport::EncodeSignedLong(v * 1000);
    ByteReader rl = Reader(l);
    EXPECT_EQ(ReadCompressedSignedLong(rl), v * 1000);
  }
}

TEST(CompressedNumbers, LongFormCutShortFails) {
  std::vector<uint8_t> one = {0x01};
  ByteReader r = Reader(one);
  ReadCompressedSignedShort(r);
  EXPECT_FALSE(r.ok());
  std::vector<uint8_t> three = {0x01, 0x00, 0x00};
  ByteReader rl = Reader(three);
  ReadCompressedSignedLong(rl);
  EXPECT_FALSE(rl.ok());
}

TEST(TextCursor, TakesStringsAndCountsDown) {
  std::string text = Text({"ab", "", "cde"});
  TextCursor c(text);
  EXPECT_EQ(c.Next(), "ab");
  EXPECT_EQ(c.left(), 5u);
  EXPECT_EQ(c.Next(), "");
  EXPECT_EQ(c.left(), 4u);
  EXPECT_EQ(c.Next(), "cde");
  EXPECT_EQ(c.left(), 0u);
  EXPECT_EQ(c.Next(), "");
  EXPECT_EQ(c.Next(), "");

  std::string unterminated = "xy";  // no NUL: the string ends with the text
  TextCursor u(unterminated);
  EXPECT_EQ(u.Next(), "xy");
  EXPECT_EQ(u.left(), 0u);
  EXPECT_EQ(u.Next(), "");

  TextCursor none;
  EXPECT_EQ(none.Next(), "");
  EXPECT_EQ(none.Next(), "");
}

TEST(TopicLinkHeader, FieldsAtTheirOffsets) {
  std::vector<uint8_t> h = testsupport::ByteBuilder()
                               .i32(100)     // record size
                               .i32(40)      // expanded text length
                               .i32(-1)      // previous
                               .i32(0x4010)  // next
                               .i32(50)      // header + FormatPart
                               .u8(0x23)     // type
                               .take();
  TopicLinkHeader d = DecodeTopicLinkHeader(Bytes(h.data(), h.size()));
  EXPECT_EQ(d.record_size, 100);
  EXPECT_EQ(d.text_length, 40);
  EXPECT_EQ(d.previous, -1);
  EXPECT_EQ(d.next, 0x4010);
  EXPECT_EQ(d.format_length, 50);
  EXPECT_EQ(d.type, 0x23);
}

TEST(TopicHeader, FieldsBeyondTheDataReadAsZero) {
  auto full = testsupport::TopicHeaderPart(5000, -1, 0x8000, 17, 0, 0x4123);
  TopicHeaderRecord t =
      DecodeTopicHeader(Bytes(full.data(), full.size()), std::string("Title\0Macro()\0", 14));
  EXPECT_EQ(t.first_field, 5000);
  EXPECT_EQ(t.browse_back, -1);
  EXPECT_EQ(t.browse_forward, 0x8000);
  EXPECT_EQ(t.topic_number, 17);
  EXPECT_EQ(t.scroll_start, 0x4123);
  EXPECT_EQ(t.text.size(), 14u);

  auto hc30 = testsupport::TopicHeaderPart(8, 3, 4, 99, 99, 99, /*hc30=*/true);
  ASSERT_EQ(hc30.size(), 12u);
  TopicHeaderRecord h = DecodeTopicHeader(Bytes(hc30.data(), hc30.size()), "");
  EXPECT_EQ(h.first_field, 8);
  EXPECT_EQ(h.browse_back, 3);
  EXPECT_EQ(h.browse_forward, 4);
  EXPECT_EQ(h.topic_number, 0);
  EXPECT_EQ(h.scroll_start, 0);
}

TEST(Paragraph, PropertiesInBitOrder) {
  // Inline fixture: bits 0x0012, space before 60, left indent -36, no commands.
  const std::vector<uint8_t> format = {
      0x00, 0x80,  // two bytes not used
      0x00, 0x00,  // word not used
      0x12, 0x00,  // bits: space before, left indent
      0xF8,        // space before: (0xF8 - 128) / 2 = 60
      0x38,        // left indent: (0x38 - 128) / 2 = -36
      0xFF,        // end of the commands
  };
  size_t consumed = 0;
  Paragraph p = Decode(format, Text({"Hello"}), nullptr, &consumed);
  EXPECT_EQ(consumed, format.size());
  EXPECT_EQ(p.properties.bits, 0x0012);
  EXPECT_EQ(p.properties.space_before, 60);
  EXPECT_EQ(p.properties.left_indent, -36);
  EXPECT_EQ(p.texts, std::vector<std::string>{"Hello"});
  EXPECT_FALSE(p.missing_end);

  auto all = ParagraphBuilder()
                 .UnknownPair(5, -5)
                 .SpaceBefore(1)
                 .SpaceAfter(-2)
                 .LineSpacing(-24)
                 .LeftIndent(300)
                 .RightIndent(-300)
                 .FirstIndent(7)
                 .Border(0xA5)
                 .Bits(0x1C00)
                 .Build();
  Paragraph q = Decode(all, "");
  EXPECT_EQ(q.properties.bits, 0x1D7F);
  EXPECT_EQ(q.properties.space_before, 1);
  EXPECT_EQ(q.properties.space_after, -2);
  EXPECT_EQ(q.properties.line_spacing, -24);
  EXPECT_EQ(q.properties.left_indent, 300);
  EXPECT_EQ(q.properties.right_indent, -300);
  EXPECT_EQ(q.properties.first_indent, 7);
  EXPECT_EQ(q.properties.border_flags, 0xA5);
  EXPECT_EQ(q.texts, std::vector<std::string>{""});
  EXPECT_FALSE(q.missing_end);
  EXPECT_FALSE(q.truncated);
}

TEST(Paragraph, TabStops) {
  const std::vector<uint8_t> format = {
      0x00, 0x80, 0x00, 0x00, 0x00, 0x02,  // bits: tab stops
      0x06,                                // 3 tab stops
      0xD1, 0x82,                          // 0x4168: flag and 360
      0x02,                                // type byte: right
      0xD1, 0x82,                          // 0x4168
      0x04,                                // type byte: centred
      0xD1, 0x02,                          // 360, no type byte
      0xFF,
  };
  size_t consumed = 0;
  Paragraph p = Decode(format, "", nullptr, &consumed);
  EXPECT_EQ(consumed, format.size());
  ASSERT_EQ(p.properties.tabs.size(), 3u);
  EXPECT_EQ(p.properties.tabs[0].position, 360);
  EXPECT_EQ(p.properties.tabs[0].kind, TabStop::Kind::kRight);
  EXPECT_EQ(p.properties.tabs[1].kind, TabStop::Kind::kCenter);
  EXPECT_EQ(p.properties.tabs[2].kind, TabStop::Kind::kLeft);
  EXPECT_EQ(p.properties.tabs[2].position, 360);

  auto built = ParagraphBuilder().Tab(360, 0x02).Tab(10).Build();
  Paragraph q = Decode(built, "");
  ASSERT_EQ(q.properties.tabs.size(), 2u);
  EXPECT_EQ(q.properties.tabs[0].kind, TabStop::Kind::kRight);
  EXPECT_EQ(q.properties.tabs[1].position, 10);
}

TEST(Paragraph, TextsAlternateWithCommands) {
  auto format = ParagraphBuilder()
                    .Raw({0x00, 0x00})  // filler before the first command
                    .Font(3)
                    .Command(0x81)
                    .Command(0x84)  // not a command the conversion knows: consumes nothing
                    .Command(0x83)
                    .Raw({0x00})
                    .Command(0x82)
                    .Build();
  Paragraph p = Decode(format, Text({"a", "b", "c", "d", "e", "f"}));
  ASSERT_EQ(p.commands.size(), 5u);
  EXPECT_EQ(p.commands[0].code, kCmdFont);
  EXPECT_EQ(p.commands[0].font, 3);
  EXPECT_EQ(p.commands[1].code, kCmdLineBreak);
  EXPECT_EQ(p.commands[2].code, 0x84);
  EXPECT_EQ(p.commands[3].code, kCmdTab);
  EXPECT_EQ(p.commands[4].code, kCmdParagraphEnd);
  EXPECT_TRUE(p.commands[4].before_end);
  EXPECT_EQ(p.texts, (std::vector<std::string>{"a", "b", "c", "d", "e", "f"}));

  auto middle = ParagraphBuilder().Command(0x82).Command(0x81).Build();
  Paragraph q = Decode(middle, "");
  EXPECT_FALSE(q.commands[0].before_end);
  EXPECT_EQ(q.texts.size(), 3u);
}

TEST(Paragraph, Hotspots) {
  auto format = ParagraphBuilder()
                    .JumpShort(0xE3, 0x12345678)
                    .Command(kCmdHotspotEnd)
                    .JumpExtended(0xEB, 0xCAFEBABE, uint8_t{0xFF}, "proc", "other.hlp")
                    .Command(kCmdHotspotEnd)
                    .JumpExtended(0xEE, 7, std::nullopt, std::nullopt, std::nullopt)
                    .Macro("JumpId(`a.hlp',`x')")
                    .Macro("Beep()", /*no_font=*/true)
                    .Build();
  Paragraph p = Decode(format, Text({"", "Go", "", "There", "", "", "", "end"}));
  ASSERT_EQ(p.commands.size(), 7u);
  const HotspotTarget& a = p.commands[0].hotspot;
  EXPECT_TRUE(a.valid);
  EXPECT_FALSE(a.extended);
  EXPECT_EQ(a.hash, 0x12345678u);
  const HotspotTarget& b = p.commands[2].hotspot;
  EXPECT_TRUE(b.valid);
  EXPECT_TRUE(b.extended);
  EXPECT_EQ(b.flags, 0x07);
  EXPECT_EQ(b.hash, 0xCAFEBABEu);
  EXPECT_EQ(b.window_number, 0xFF);
  EXPECT_EQ(b.window_name, "proc");
  EXPECT_EQ(b.file_name, "other.hlp");
  EXPECT_EQ(p.commands[4].hotspot.hash, 7u);
  EXPECT_EQ(p.commands[5].code, kCmdMacro);
  EXPECT_EQ(p.commands[5].macro, "JumpId(`a.hlp',`x')");
  EXPECT_EQ(p.commands[6].code, kCmdMacroNoFont);
  EXPECT_EQ(p.commands[6].macro, "Beep()");
  EXPECT_EQ(p.texts.back(), "end");
  EXPECT_FALSE(p.missing_end);
}

TEST(Paragraph, HotspotWithTooFewBytesConsumesNothing) {
  // 0xE3 wants 4 bytes; only 0x81 and 0xFF follow: the target is invalid, then the line break
  // and the end are read as commands.
  auto format = ParagraphBuilder().Raw({0xE3, 0x81}).Build();
  Paragraph p = Decode(format, "");
  ASSERT_EQ(p.commands.size(), 2u);
  EXPECT_FALSE(p.commands[0].hotspot.valid);
  EXPECT_EQ(p.commands[1].code, kCmdLineBreak);
  EXPECT_FALSE(p.missing_end);

  // An extended target whose length runs past the data.
  auto extended = ParagraphBuilder().Raw({0xEB, 0x40, 0x00, 0x83}).Build();
  Paragraph q = Decode(extended, "");
  ASSERT_EQ(q.commands.size(), 3u);
  EXPECT_FALSE(q.commands[0].hotspot.valid);
  EXPECT_EQ(q.commands[1].code, 0x40);  // the length's bytes, read as a command and filler
  EXPECT_EQ(q.commands[2].code, kCmdTab);
}

TEST(Paragraph, MacroWithoutLength) {
  auto format = ParagraphBuilder().Raw({0xC8, 0x00, 0x00}).Command(0x83).Build();
  Paragraph p = Decode(format, "");
  ASSERT_EQ(p.commands.size(), 2u);
  EXPECT_EQ(p.commands[0].macro_length, 0);
  EXPECT_EQ(p.commands[0].macro, "");
  EXPECT_EQ(p.commands[1].code, kCmdTab);
}

TEST(Paragraph, EmbeddedObjectsTakeExactlyTheirSize) {
  // Window data whose first byte is odd: read as a character count it would take two bytes.
  auto format = ParagraphBuilder()
                    .EmbeddedObject(0x86, "!Options", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00})
                    .EmbeddedObject(0x87, "*0,1,+movie.avi", {0xFF, 0xFF, 0x00, 0x00, 0x01, 0x02})
                    .EmbeddedObject(0x88, "mywin.dll,Class,data", {0x11, 0, 0, 0, 0, 0})
                    .Font(2)
                    .Build();
  int32_t adjustment = 5;
  size_t consumed = 0;
  Paragraph p = Decode(format, Text({"a", "b", "c", "d", "e"}), &adjustment, &consumed);
  EXPECT_EQ(consumed, format.size());
  ASSERT_EQ(p.commands.size(), 4u);
  EXPECT_EQ(p.commands[0].object.type, 5);
  EXPECT_EQ(p.commands[0].object.text, "!Options");
  EXPECT_EQ(p.commands[0].object.size, 6 + 8 + 1);
  EXPECT_EQ(p.commands[1].object.text, "*0,1,+movie.avi");
  EXPECT_EQ(p.commands[2].object.text, "mywin.dll,Class,data");
  EXPECT_EQ(p.commands[3].font, 2);
  EXPECT_EQ(adjustment, 5) << "embedded objects add nothing to the position";
  EXPECT_FALSE(p.truncated);
}

TEST(Paragraph, PictureObjects) {
  std::vector<uint8_t> stored = {'l', 'P', 1, 0, 9, 9, 9};
  auto format = ParagraphBuilder()
                    .PictureRef(0x86, 12, /*char_count=*/1)
                    .PictureStored(0x87, stored, /*char_count=*/300)
                    .PictureHc30(0x88, 4)
                    .Command(0x81)
                    .Build();
  int32_t adjustment = 0;
  size_t consumed = 0;
  Paragraph p = Decode(format, "", &adjustment, &consumed);
  EXPECT_EQ(consumed, format.size());
  ASSERT_EQ(p.commands.size(), 4u);
  const ObjectData& ref = p.commands[0].object;
  EXPECT_EQ(ref.type, 0x22);
  EXPECT_EQ(ref.stored_flag, 0);
  EXPECT_EQ(ref.picture_number, 12);
  const ObjectData& inl = p.commands[1].object;
  EXPECT_NE(inl.stored_flag, 0);
  EXPECT_FALSE(inl.picture_number.has_value());
  EXPECT_EQ(inl.stored_picture, stored);
  const ObjectData& hc30 = p.commands[2].object;
  EXPECT_EQ(hc30.type, 3);
  EXPECT_EQ(hc30.picture_number, 4);
  EXPECT_EQ(adjustment, 301);
}

TEST(Paragraph, UnknownObjectTypeIsSteppedOver) {
  auto format = ParagraphBuilder()
                    .Raw({0x86, 0x09, 0x06, 0x80, 0xAA, 0xBB, 0xCC})  // type 9, size 3
                    .Command(0x83)
                    .Build();
  Paragraph p = Decode(format, "");
  ASSERT_EQ(p.commands.size(), 2u);
  EXPECT_EQ(p.commands[0].object.type, 9);
  EXPECT_EQ(p.commands[0].object.size, 3);
  EXPECT_EQ(p.commands[1].code, kCmdTab);
  RecordingDiagnostics d;
  WarnParagraphProblems(d, p);
  ASSERT_EQ(d.warnings.size(), 1u);
  EXPECT_EQ(d.warnings[0].id, kWarnUnknownObject);
  EXPECT_EQ(d.warnings[0].text,
            "Object type 9 in topic text is not known; its 3 bytes are skipped");
}

TEST(Paragraph, DataEndingEarly) {
  struct Case {
    const char* name;
    std::vector<uint8_t> format;
    bool missing_end;
    bool truncated;
    size_t commands;
  };
  const Case cases[] = {
      {"no end mark", ParagraphBuilder().Command(0x81).Command(0x82).Build(false), true, false, 2},
      {"no end mark after filler", ParagraphBuilder().Raw({0x00, 0x00}).Build(false), true, false,
       0},
      {"header cut short", {0x00, 0x80, 0x00}, true, true, 0},
      {"optional field missing", {0x00, 0x80, 0x00, 0x00, 0x02, 0x00}, true, true, 0},
      {"font number cut short", ParagraphBuilder().Command(0x81).Raw({0x80, 0x01}).Build(false),
       true, true, 1},
      {"macro longer than the data",
       ParagraphBuilder().Raw({0xC8, 0x20, 0x00, 'a', 0x00}).Build(false), true, true, 0},
      {"object size past the data",
       ParagraphBuilder().Raw({0x86, 0x05, 0x40, 0x80, 1, 2}).Build(false), true, true, 0},
      {"stored picture past the data",
       ParagraphBuilder().Raw({0x86, 0x22, 0x40, 0x80, 0x02, 0x01, 0x00, 1}).Build(false), true,
       true, 0},
      {"object type only", ParagraphBuilder().Raw({0x87, 0x22}).Build(false), true, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Paragraph p = Decode(c.format, Text({"x", "y", "z", "w"}));
    EXPECT_EQ(p.missing_end, c.missing_end);
    EXPECT_EQ(p.truncated, c.truncated);
    EXPECT_EQ(p.commands.size(), c.commands);
    RecordingDiagnostics d;
    WarnParagraphProblems(d, p);
    ASSERT_EQ(d.warnings.size(), 1u);
    EXPECT_EQ(d.warnings[0].id, c.truncated ? kWarnParagraphCut : kWarnParagraphNoEnd);
  }
}

TEST(TableRow, LayoutAndCells) {
  auto cell = [](uint8_t column, std::vector<uint8_t> paragraph) {
    return TableCell(column, paragraph);
  };
  auto p82 = ParagraphBuilder().Command(0x82).Build();
  auto plain = ParagraphBuilder().Build();
  std::vector<uint8_t> format;
  auto append = [&](const std::vector<uint8_t>& b) {
    format.insert(format.end(), b.begin(), b.end());
  };
  append(TableLayout(1, {{200, 30}, {300, 20}}));
  append(cell(0, p82));
  append(cell(0, plain));
  append(cell(1, p82));
  append(testsupport::TableEnd());
  append({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});  // whatever follows the end is not read
  ByteReader f = Reader(format);
  std::string text = Text({"a", "b", "c", "d", "e"});
  TextCursor cursor(text);
  int32_t adj = 0;
  TableRow row = DecodeTableRow(f, cursor, adj);
  EXPECT_EQ(row.column_count, 2);
  EXPECT_EQ(row.table_type, 1);
  ASSERT_EQ(row.columns.size(), 2u);
  EXPECT_EQ(row.columns[0].width, 200);
  EXPECT_EQ(row.columns[0].spacing, 30);
  EXPECT_EQ(row.columns[1].width, 300);
  EXPECT_EQ(row.columns[1].spacing, 20);
  ASSERT_EQ(row.cells.size(), 3u);
  EXPECT_EQ(row.cells[0].column, 0);
  EXPECT_EQ(row.cells[1].column, 0);
  EXPECT_EQ(row.cells[2].column, 1);
  EXPECT_EQ(row.cells[0].paragraph.texts, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(row.cells[1].paragraph.texts, (std::vector<std::string>{"c"}));
  EXPECT_EQ(row.cells[2].paragraph.texts, (std::vector<std::string>{"d", "e"}));
  EXPECT_TRUE(row.cells[0].paragraph.commands[0].before_end);
  EXPECT_TRUE(row.cells[2].paragraph.commands[0].before_end);
  EXPECT_FALSE(row.truncated);
}

TEST(TableRow, TypesAndStops) {
  // Type 0 carries a width factor.
  auto t0 = TableLayout(0, {{100, 10}}, 16383);
  auto par = ParagraphBuilder().Command(0x81).Command(0x81).Build();
  auto c0 = TableCell(0, par);
  t0.insert(t0.end(), c0.begin(), c0.end());
  t0.insert(t0.end(), {0xFF, 0xFF});
  ByteReader f0 = Reader(t0);
  TextCursor none;
  int32_t adj = 0;
  TableRow r0 = DecodeTableRow(f0, none, adj);
  EXPECT_EQ(r0.width_factor, 16383);
  EXPECT_EQ(r0.cells.size(), 1u);

  // Type 2 is kept but its cells are not read.
  auto t2 = TableLayout(2, {{100, 10}});
  t2.insert(t2.end(), c0.begin(), c0.end());
  ByteReader f2 = Reader(t2);
  TableRow r2 = DecodeTableRow(f2, none, adj);
  EXPECT_EQ(r2.table_type, 2);
  EXPECT_TRUE(r2.columns.empty());
  EXPECT_TRUE(r2.cells.empty());

  // A cell with 12 bytes or fewer left (header included) is not read.
  auto t3 = TableLayout(3, {{100, 10}});
  auto small = TableCell(0, ParagraphBuilder().Build());  // 5 + 7 bytes
  t3.insert(t3.end(), small.begin(), small.end());
  ByteReader f3 = Reader(t3);
  EXPECT_TRUE(DecodeTableRow(f3, none, adj).cells.empty());

  // A cell whose paragraph starts with 0xFF ends the row.
  auto t4 = TableLayout(1, {{100, 10}});
  t4.insert(t4.end(), {0, 0, 0, 0, 0, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  ByteReader f4 = Reader(t4);
  EXPECT_TRUE(DecodeTableRow(f4, none, adj).cells.empty());

  // Layout cut short.
  std::vector<uint8_t> cut = {3, 1, 100, 0, 10};
  ByteReader f5 = Reader(cut);
  TableRow r5 = DecodeTableRow(f5, none, adj);
  EXPECT_TRUE(r5.truncated);
  RecordingDiagnostics d;
  WarnTableProblems(d, r5);
  EXPECT_EQ(d.Count(kWarnTableLayoutCut), 1u);
}

}  // namespace
}  // namespace quorvex
