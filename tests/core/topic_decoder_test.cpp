// Decoding of TopicLink records where the golden conversions do not look: compressed numbers,
// hotspot targets and objects, text strings that run out, formatting data that ends early,
// table rows.
#include "core/topic_decoder.h"

#include <gtest/gtest.h>

#include "core/strings.h"
#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// Decodes `format` with the text strings `text`; checks the texts alternate with the commands.
Paragraph Decode(const std::vector<uint8_t>& format, const std::string& text = "",
                 int32_t* adjustment = nullptr) {
  ByteReader f(format);
  TextCursor cursor(text);
  int32_t unused = 0;
  Paragraph p = DecodeParagraph(f, cursor, adjustment ? *adjustment : unused);
  EXPECT_EQ(p.texts.size(), p.commands.size() + 1);
  return p;
}

/// The warnings for `p`.
std::vector<std::string> Warnings(const Paragraph& p) {
  RecordingDiagnostics d;
  WarnParagraphProblems(d, p);
  std::vector<std::string> texts;
  for (const auto& w : d.warnings) texts.push_back(w.text);
  return texts;
}

/// Reads `bytes` with `read`: `value`, and all of the bytes.
template <typename Read>
testing::AssertionResult Reads(const std::vector<uint8_t>& bytes, Read read, int64_t value) {
  ByteReader r(bytes);
  const int64_t got = read(r);
  if (got == value && r.ok() && r.at_end()) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "read " << got << " of " << r.position() << " bytes";
}

TEST(CompressedNumbers, WriterRoundTripAndHalvingTowardZero) {
  // Both forms of each; the long forms of negative values need the halving toward zero.
  for (int v = -16383; v <= 16383; ++v)
    ASSERT_TRUE(Reads(EncodeSignedShort(v), ReadCompressedSignedShort, v)) << v;
  for (int32_t v = -40000; v <= 40000; ++v)
    ASSERT_TRUE(Reads(EncodeSignedLong(v), ReadCompressedSignedLong, v)) << v;
  for (unsigned v = 0; v <= 32767; ++v)
    ASSERT_TRUE(Reads(EncodeUnsignedShort(v), ReadCompressedUnsignedShort, v)) << v;
  // -1 in the long forms, which the writer never uses: (0x7FFD - 0x8000) / 2, not -2.
  EXPECT_TRUE(Reads({0xFD, 0x7F}, ReadCompressedSignedShort, -1));
  EXPECT_TRUE(Reads({0xFD, 0xFF, 0xFF, 0x7F}, ReadCompressedSignedLong, -1));
}

TEST(Paragraph, HotspotTargetsAndObjects) {
  // Window data whose first byte is odd: read as a character count it would take two bytes.
  const std::vector<uint8_t> stored = {'l', 'P', 1, 0, 9, 9, 9};
  const std::vector<uint8_t> format =
      ParagraphBuilder()
          .JumpShort(0xE3, 0x12345678)
          .JumpExtended(0xEB, 0xCAFEBABE, uint8_t{0xFF}, "proc", "o.hlp")
          .JumpExtended(0xEE, 7, std::nullopt, "main", std::nullopt)
          .Command(0x84)  // no command the conversion knows: no operands
          .EmbeddedObject(0x86, "!Options", {0x01, 0x00, 0x02, 0x00, 0x03, 0x00})
          .PictureRef(0x86, 12, /*char_count=*/1)
          .PictureStored(0x87, stored, /*char_count=*/300)
          .PictureHc30(0x88, 4)
          .Raw({0x86, 0x09, 0x06, 0x80, 0xAA, 0xBB, 0xCC})  // type 9, size 3
          .Font(2)
          .Build();
  int32_t adjustment = 0;
  // Text strings run out; the last one has no NUL.
  const std::string text("ab\0cd", 5);
  const Paragraph p = Decode(format, text, &adjustment);
  EXPECT_EQ(p.texts, (std::vector<std::string_view>{"ab", "cd", "", "", "", "", "", "", "", "", ""}));
  ASSERT_EQ(p.commands.size(), 10u);
  EXPECT_FALSE(p.missing_end);
  auto target = [&p](size_t i) {
    const HotspotTarget& t = p.commands[i].hotspot;
    return std::tuple(t.valid, t.extended, int(t.flags), t.hash, int(t.window_number),
                      t.window_name, t.file_name);
  };
  EXPECT_EQ(target(0), std::tuple(true, false, 0, 0x12345678u, 0, "", ""));
  EXPECT_EQ(target(1), std::tuple(true, true, 7, 0xCAFEBABEu, 0xFF, "proc", "o.hlp"));
  EXPECT_EQ(target(2), std::tuple(true, true, 2, 7u, 0, "main", ""));
  EXPECT_EQ(p.commands[3].code, 0x84);
  auto object = [&p](size_t i) {
    const ObjectData& o = p.commands[i].object;
    return std::tuple(int(o.type), o.text, o.picture_number.value_or(0), o.stored_picture);
  };
  const std::vector<uint8_t> none;
  EXPECT_EQ(object(4), std::tuple(5, "!Options", 0, none));
  EXPECT_EQ(object(5), std::tuple(0x22, "", 12, none));
  EXPECT_EQ(object(6), std::tuple(0x22, "", 0, stored));  // a stored picture has no number
  EXPECT_EQ(object(7), std::tuple(3, "", 4, none));
  EXPECT_EQ(p.commands[9].font, 2);
  EXPECT_EQ(adjustment, 301) << "the character counts of 0x22 pictures";
  EXPECT_EQ(Warnings(p), std::vector<std::string>{
                             "Object type 9 in topic text is not known; its 3 bytes are skipped"});
  // Too few bytes for a target (0xE3 wants 4 bytes; 0xEB's length runs past the data): it is
  // invalid and consumes nothing, so what follows is read as commands.
  for (const auto& raw : {std::vector<uint8_t>{0xE3, 0x81}, {0xEB, 0x40, 0x00, 0x81}}) {
    const Paragraph q = Decode(ParagraphBuilder().Raw(raw).Build());
    EXPECT_TRUE(!q.commands[0].hotspot.valid && q.commands.back().code == 0x81 && !q.missing_end);
  }
}

TEST(Paragraph, DataEndingEarly) {
  const std::tuple<const char*, std::vector<uint8_t>, bool, size_t> cases[] = {
      {"no end mark after filler", ParagraphBuilder().Raw({0x00, 0x00}).Build(false), false, 0},
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
  const std::string text("x\0y\0z\0w\0", 8);
  for (const auto& [name, format, truncated, commands] : cases) {
    SCOPED_TRACE(name);
    const Paragraph p = Decode(format, text);
    EXPECT_TRUE(p.missing_end);
    EXPECT_EQ(p.truncated, truncated);
    EXPECT_EQ(p.commands.size(), commands);
    EXPECT_EQ(Warnings(p), std::vector<std::string>{
                               LoadText(truncated ? kWarnParagraphCut : kWarnParagraphNoEnd)});
  }
}

TEST(TableRow, WhereTheCellsStop) {
  // Rows end at column 0xFF in the golden conversions; here a cell with 12 bytes or fewer left
  // (header included) and a paragraph that starts with 0xFF end them too.
  const std::vector<uint8_t> layout = TableLayout(1, {{100, 10}}),
                             empty = ParagraphBuilder().Build();
  const std::tuple<std::vector<std::vector<uint8_t>>, size_t, bool> cases[] = {
      {{layout, TableCell(0, empty)}, 0, false},
      {{layout, TableCell(0, empty), {0}}, 1, false},
      {{layout, {0, 0, 0, 0, 0, 0xFF}, std::vector<uint8_t>(9)}, 0, false},
      {{{3, 1, 100, 0, 10}}, 0, true},  // the layout cut short
  };
  for (const auto& [parts, cells, truncated] : cases) {
    std::vector<uint8_t> format;
    for (const auto& p : parts) format.insert(format.end(), p.begin(), p.end());
    ByteReader f(format);
    TextCursor text;
    int32_t adjustment = 0;
    const TableRow row = DecodeTableRow(f, text, adjustment);
    EXPECT_EQ(row.cells.size(), cells);
    EXPECT_EQ(row.truncated, truncated);
    RecordingDiagnostics d;
    WarnTableProblems(d, row);
    EXPECT_EQ(d.Count(kWarnTableLayoutCut), truncated ? 1u : 0u);
  }
}

}  // namespace
}  // namespace quorvex
