// What every reader stands on (byte cursor, message formatting, LZ77 and run-length decoders),
// then reading |TOPIC where the goldens do not look. (Records across blocks, filler and damaged
// links: the goldens; every packing: the picture tests.)
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "core/byte_reader.h"
#include "core/container.h"
#include "core/decompress.h"
#include "core/format.h"
#include "core/strings.h"
#include "core/text_expansion.h"
#include "core/topic_decoder.h"
#include "core/topic_read_ahead.h"
#include "core/topic_stream.h"
#include "core/topic_walk.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::string_literals;

TEST(ByteReader, FieldsStringsAndReadsPastTheEnd) {
  // u32 0x35F3F, i16 -2, "abc", "de" without NUL; the data lies at file offset 100.
  const std::vector<uint8_t> data = {0x3F, 0x5F, 0x03, 0x00, 0xFE, 0xFF,
                                     'a',  'b',  'c',  0,    'd',  'e'};
  ByteReader r(data, 100);
  EXPECT_EQ(r.u32(), 0x35F3Fu);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.cstring(2), "ab");  // cut at the limit: the rest is the next string
  EXPECT_EQ(r.cstring(), "c");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.cstring(), "de");  // runs into the end: kept, and a failure
  EXPECT_TRUE(!r.ok() && r.at_end());
  r.clear_error();
  r.seek(10);
  EXPECT_EQ(r.u32(), 0u);  // does not fit: 0, and the reader stays at the end
  EXPECT_EQ(r.u8(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.contains(1, 12) || r.contains(8, SIZE_MAX) || r.contains(SIZE_MAX, 1));
  const ByteReader sub = r.sub(10, 100);
  EXPECT_TRUE(!sub.ok() && sub.size() == 2u && sub.file_offset() == 110u);
  r.clear_error();
  r.skip(SIZE_MAX);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bytes(4).size(), 0u);
}

TEST(FormatText, MessageFormatsNumbersAndMismatchedArguments) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatText("Type: %c%c", {'l', 'P'}), "Type: lP"},
      {FormatText("100%% done", {}), "100% done"},
      {FormatText("0x%08lX", {-1}), "0xFFFFFFFF"},  // the 32-bit two's complement
      {FormatText("%ld", {-2147483648LL}), "-2147483648"},
      {FormatText("%05d|%-4d|%4d", {-42, 7, 7}), "-0042|7   |   7"},
      {FormatText("%s and %d", {5, "x"}), "(?) and (?)"},
      {FormatText("%s %s", {"a"}), "a "},
      {FormatText("trailing %", {1}), "trailing "},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(text, expected);
  EXPECT_LE(FormatText("%99999999d", {1}).size(), 4097u);  // widths are bounded
}

/// Decodes `in` into `capacity` bytes followed by guard bytes, which must stay as they were.
std::pair<Lz77Result, std::string> DecodeLz77(const std::vector<uint8_t>& in, size_t capacity) {
  std::vector<uint8_t> buffer(capacity + 64, 0xA5);
  const Lz77Result r = DecompressLz77(in, std::span<uint8_t>(buffer).first(capacity));
  EXPECT_EQ(std::count(buffer.begin() + std::ptrdiff_t(capacity), buffer.end(), 0xA5), 64);
  return {r, std::string(buffer.begin(), buffer.begin() + std::ptrdiff_t(r.produced))};
}

TEST(Decoders, Lz77ExamplesDamageRoundTripsAndRunLengthRunsOfZeroInputCutShortAndALimit) {
  const std::tuple<const char*, std::string, std::string, size_t, bool> cases[] = {
      // name, input, output, bytes consumed, damaged
      {"word 0xF000: 18 bytes from 1 back", "\x02x\0\xF0"s, std::string(19, 'x'), 4, false},
      {"overlapping: the last 2 bytes again", "\x04st\x01\x30", "stststst", 5, false},
      {"input ends after a flag byte", "\0abcdefgh\0"s, "abcdefgh", 10, false},
      {"input ends inside a back-reference", "\x02q\0"s, "q", 2, true},
      {"reference one byte too far back", "\x08pqr\x03\0z"s, "pqr", 4, true},
  };
  for (const auto& [name, text, expected, consumed, damaged] : cases) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> in = AsBytes(text);
    // With room to spare, and with exactly the room needed: damage is no overflow.
    for (size_t capacity : {size_t{5000}, expected.size()}) {
      const auto [r, out] = DecodeLz77(in, capacity);
      EXPECT_EQ(std::tuple(out, r.consumed, r.damaged, r.overflow),
                std::tuple(expected, consumed, damaged, false));
    }
    bool vector_damaged = false;
    const std::vector<uint8_t> whole = DecompressLz77ToVector(in, &vector_damaged);
    EXPECT_EQ(std::string(whole.begin(), whole.end()), expected);
    EXPECT_EQ(vector_damaged, damaged);
  }
  // Repeats of every length from 3 to 18 at many distances; the densest output there is
  // (references of 18 bytes from 1 back); a match 4096 bytes back, the farthest. Whole, and
  // cut at half the capacity (the LZ77 fuzz target cuts any input at any capacity).
  std::string words;
  for (int i = 0; words.size() < 3000; ++i)
    words += "w" + std::to_string(i * 7919 % 61) + std::string(size_t(i % 17), 'x');
  const std::string far = "XYZ" + std::string(4093, '.') + "XYZ";
  for (const std::string& plain : {words, std::string(3000, 'a'), far}) {
    const std::vector<uint8_t> packed = Lz77Encode(AsBytes(plain));
    ASSERT_TRUE(plain != far || packed.back() == 0x0F) << "the last item is word 0x0FFF";
    const auto [r, out] = DecodeLz77(packed, plain.size());
    EXPECT_EQ(std::tuple(out == plain, r.consumed, r.overflow),
              std::tuple(true, packed.size(), false));
    const auto [half, cut] = DecodeLz77(packed, plain.size() / 2 + 1);
    EXPECT_EQ(std::tuple(cut, half.overflow),
              std::tuple(plain.substr(0, plain.size() / 2 + 1), true));
    EXPECT_EQ(Lz77DecodedSize(packed), plain.size());
  }
  const std::tuple<std::string, size_t, std::string> rle[] = {
      {"\x80\0x\x02s"s, SIZE_MAX, "ss"},  // runs of length 0
      {"\x02s\x05", SIZE_MAX, "ss"},      // a single trailing byte is never read
      {"\x85st", SIZE_MAX, "st"},         // a copy run past the end copies what is there
      // A limit gives a prefix, also inside a run.
      {"\x05s\x83xyz", 7, "sssssxy"},
      {"\x05s\x83xyz", 3, "sss"},
  };
  for (const auto& [text, limit, expected] : rle) {
    const std::vector<uint8_t> out = DecodeRleToVector(AsBytes(text), limit);
    EXPECT_EQ(std::string(out.begin(), out.end()), expected);
  }
}

/// A help file of `files` opened in a session of its own.
struct Opened : InMemorySession {
  explicit Opened(const HelpFiles& files) : hf(Open(AssembleHelpFile(files))) {}
  std::unique_ptr<HelpFile> hf;
};

/// The phrase files of the compiler of `codes` with the phrases "p0", "p1", ... (`count` of
/// them; no phrase files for 0).
HelpFiles PhraseFiles(PhraseCodes codes, size_t count) {
  std::vector<std::string> phrases;
  for (size_t i = 0; i < count; ++i) phrases.push_back("p" + std::to_string(i));
  if (count == 0) return {{"|SYSTEM", GoldenSystem()}};
  if (codes == PhraseCodes::kOld)
    return {{"|SYSTEM", GoldenSystem()}, {"|Phrases", BuildHc31Phrases(phrases)}};
  const RtfPhraseFiles rtf = BuildRtfPhrases(phrases, 4, false);
  return {
      {"|SYSTEM", GoldenSystem(kMinorHcrtf)}, {"|PhrIndex", rtf.index}, {"|PhrImage", rtf.image}};
}

TEST(TextExpansion, CodesCapacityAndDamage) {
  const PhraseCodes rtf = PhraseCodes::kHcrtf, old = PhraseCodes::kOld;
  const std::string letters = "abcdefghijklmnopqrstuvwxyzabcdef";
  const size_t all = kTopicTextCapacity;
  const int cut = kWarnTopicTextCut, phrase = kWarnTopicTextPhrase, code = kWarnTopicTextCode;
  // name, code scheme, phrases in the table, stored text, capacity, expanded text, warning
  const std::tuple<const char*, PhraseCodes, size_t, std::string, size_t, std::string, int>
      cases[] = {
          // The largest operands, and the high parts of the two-byte codes.
          {"128 + (0x05 >> 2) * 256 + 0x10", rtf, 500, "\x05\x10", all, "p400", 0},
          {"(0xF7 >> 4) + 1 spaces", rtf, 500, "\xF7", all, std::string(16, ' '), 0},
          {"(0xFB >> 3) + 1 literal bytes", rtf, 500, "\xFB" + letters, all, letters, 0},
          {"((2 - 1) * 256 + 4) / 2, even: no space", old, 500, "\x02\x04", all, "p130", 0},
          {"0, 16 and 0xFF are no codes", old, 500, "\0\x10\xFF"s, all, "\0\x10\xFF"s, 0},
          {"capacity one short of 3 x 16 spaces", rtf, 500, "\xF7\xF7\xF7", 47,
           std::string(47, ' '), cut},
          {"capacity reached inside a phrase", rtf, 500, "\x06\x06", 3, "p3p", cut},
          {"capacity reached inside literal bytes", rtf, 500, "\xFB" + letters, 10,
           letters.substr(0, 10), cut},
          // 3 literal bytes copied as 16 (16 stored bytes follow the code), then more codes.
          {"short literal, space, phrases", rtf, 500, "\x13Use\x07" + std::string(12, '\x06'), all,
           "Use p3p3p3p3p3p3p3p3p3p3p3p3", 0},
          {"older codes: a byte at the capacity", old, 500, "abc", 2, "ab", cut},
          {"older codes: the blank after a phrase that fills it", old, 500, "\x02\x05", 4, "p130",
           cut},
          {"no phrase files: the bytes stay", rtf, 0, "\x06qr", 2, "\x06q", cut},
          // Phrase 400, phrase 20, then a literal: two unknown phrases, one warning.
          {"phrases beyond the table", rtf, 10, "\x05\x10\x28\x03z", all, "z", phrase},
          {"code cut short, older codes", old, 500, "\x41\x01", all, "A", code},
          {"two-byte code cut short", rtf, 500, "\x06\x05", all, "p3", code},
          {"literals cut short", rtf, 500, "\x0Bq", all, "", code},
      };
  for (const auto& [name, codes, phrases, text, capacity, expanded, warning] : cases) {
    SCOPED_TRACE(name);
    Opened f(PhraseFiles(codes, phrases));
    const std::vector<uint8_t> stored(text.begin(), text.end());
    EXPECT_EQ(ExpandTopicText(*f.hf, stored, codes, capacity), expanded);
    EXPECT_EQ(f.Ids(), warning ? std::vector<int>{warning} : std::vector<int>{});
  }
  // With |Phrases and |PhrIndex the |Phrases table is the one loaded: its codes apply.
  HelpFiles both = PhraseFiles(PhraseCodes::kHcrtf, 3);
  both.push_back({"|Phrases", BuildHc31Phrases({"a", "b"})});
  EXPECT_EQ(PhraseCodesFor(*Opened(both).hf, 10, 20), old);
}

TEST(CompressedNumbers, WriterRoundTripAndHalvingTowardZero) {
  // What `read` gives for `bytes`; INT64_MIN unless it reads all of them.
  auto read = [](std::vector<uint8_t> bytes, auto reader) {
    ByteReader r(bytes);
    const int64_t v = reader(r);
    return r.ok() && r.at_end() ? v : INT64_MIN;
  };
  // Both forms of each; the long forms of negative values need the halving toward zero.
  for (int v = -16383; v <= 16383; ++v)
    ASSERT_EQ(read(EncodeSignedShort(v), ReadCompressedSignedShort), v);
  for (int32_t v = -40000; v <= 40000; ++v)
    ASSERT_EQ(read(EncodeSignedLong(v), ReadCompressedSignedLong), v);
  for (unsigned v = 0; v <= 32767; ++v)
    ASSERT_EQ(read(EncodeUnsignedShort(v), ReadCompressedUnsignedShort), v);
  // -1 in the long forms, which the writer never uses: (0x7FFD - 0x8000) / 2, not -2.
  EXPECT_EQ(read({0xFD, 0x7F}, ReadCompressedSignedShort), -1);
  EXPECT_EQ(read({0xFD, 0xFF, 0xFF, 0x7F}, ReadCompressedSignedLong), -1);
}

/// Decodes `format` with the text strings `text`; checks the texts alternate with the commands
/// and returns the warnings too.
Paragraph Decode(const std::vector<uint8_t>& format, const std::string& text,
                 std::vector<std::string>& warnings, int32_t* adjustment = nullptr) {
  ByteReader f(format);
  TextCursor cursor(text);
  int32_t unused = 0;
  Paragraph p = DecodeParagraph(f, cursor, adjustment ? *adjustment : unused);
  EXPECT_EQ(p.texts.size(), p.commands.size() + 1);
  RecordingDiagnostics d;
  WarnParagraphProblems(d, p);
  for (const auto& w : d.warnings) warnings.push_back(w.text);
  return p;
}

TEST(Paragraph, PicturesUnknownObjectsTextsThatRunOutDataEndingEarlyAndWhereTableCellsStop) {
  // A stored picture's character count takes two bytes; an unknown object is skipped by its
  // size, so the font change after it is read.
  const std::vector<uint8_t> stored = {'l', 'P', 1, 0, 9, 9, 9};
  ParagraphBuilder format;
  format.PictureRef(0x86, 12, /*char_count=*/1).PictureStored(0x87, stored, /*char_count=*/300);
  format.PictureHc30(0x88, 4).Raw({0x86, 0x09, 0x06, 0x80, 0xAA, 0xBB, 0xCC}).Font(2);
  int32_t adjustment = 0;
  std::vector<std::string> warnings;
  // Text strings run out; the last one has no NUL.
  const std::string text("ab\0cd", 5);
  const std::vector<uint8_t> bytes = format.Build();  // the commands point into it
  const Paragraph p = Decode(bytes, text, warnings, &adjustment);
  EXPECT_EQ(p.texts, (std::vector<std::string_view>{"ab", "cd", "", "", "", ""}));
  ASSERT_EQ(p.commands.size(), 5u);
  EXPECT_FALSE(p.missing_end);
  auto object = [&p](size_t i) {
    const ObjectData& o = p.commands[i].object;
    return std::tuple(int(o.type), o.picture_number.value_or(0),
                      std::vector<uint8_t>(o.stored_picture.begin(), o.stored_picture.end()));
  };
  const std::vector<uint8_t> none;
  EXPECT_EQ(object(0), std::tuple(0x22, 12, none));
  EXPECT_EQ(object(1), std::tuple(0x22, 0, stored));  // a stored picture has no number
  EXPECT_EQ(object(2), std::tuple(3, 4, none));
  EXPECT_EQ(p.commands[4].font, 2);
  EXPECT_EQ(adjustment, 301) << "the character counts of 0x22 pictures";
  EXPECT_EQ(warnings, std::vector<std::string>{
                          "Object type 9 in topic text is not known; its 3 bytes are skipped"});
  // An extended target whose length runs past the data is invalid and consumes nothing.
  const Paragraph q =
      Decode(ParagraphBuilder().Raw({0xEB, 0x40, 0x00, 0x81}).Build(), "", warnings);
  EXPECT_TRUE(!q.commands[0].hotspot.valid && q.commands.back().code == 0x81 && !q.missing_end);
  // Data ending early (the golden conversions see a missing end mark and a font number cut short).
  const std::tuple<const char*, std::vector<uint8_t>, size_t> cases[] = {
      {"optional field missing", {0x00, 0x80, 0x00, 0x00, 0x02, 0x00}, 0},
      {"macro longer than the data",
       ParagraphBuilder().Raw({0xC8, 0x20, 0x00, 'a', 0x00}).Build(false), 0},
      {"object size past the data",
       ParagraphBuilder().Raw({0x86, 0x05, 0x40, 0x80, 1, 2}).Build(false), 0},
      {"stored picture past the data",
       ParagraphBuilder().Raw({0x86, 0x22, 0x40, 0x80, 0x02, 0x01, 0x00, 1}).Build(false), 0},
      {"object type only", ParagraphBuilder().Command(0x81).Raw({0x87, 0x22}).Build(false), 1},
  };
  for (const auto& [name, format, commands] : cases) {
    SCOPED_TRACE(name);
    warnings.clear();
    const Paragraph p = Decode(format, std::string("x\0y\0z\0w\0", 8), warnings);
    EXPECT_TRUE(p.missing_end && p.truncated);
    EXPECT_EQ(p.commands.size(), commands);
    EXPECT_EQ(warnings, std::vector<std::string>{LoadText(kWarnParagraphCut)});
  }
  // Table rows end at column 0xFF in the golden conversions; here a cell with 12 bytes or fewer
  // left (header included) and a paragraph that starts with 0xFF end them too.
  const std::vector<uint8_t> layout = TableLayout(1, {{100, 10}}),
                             empty = ParagraphBuilder().Build();
  const std::tuple<std::vector<std::vector<uint8_t>>, size_t, bool> rows[] = {
      {{TableLayout(1, {{100, 10}, {90, 5}}), TableCell(0, empty), TableCell(1, empty), {0}},
       2,
       false},
      {{layout, TableCell(0, empty)}, 0, false},
      {{layout, TableCell(0, empty), {0}}, 1, false},
      {{layout, {0, 0, 0, 0, 0, 0xFF}, std::vector<uint8_t>(9)}, 0, false},
      {{{3, 1, 100, 0, 10}}, 0, true},  // the layout cut short
  };
  TableRow reused;
  for (const auto& [parts, cells, truncated] : rows) {
    std::vector<uint8_t> format;
    for (const auto& part : parts) format.insert(format.end(), part.begin(), part.end());
    ByteReader f(format);
    TextCursor text;
    const TableRow row = DecodeTableRow(f, text, adjustment);
    EXPECT_EQ(row.cells.size(), cells);
    // Decoded again into the row before it, nothing of that row is left.
    ByteReader again(format);
    DecodeTableRowInto(again, text, adjustment, reused);
    EXPECT_EQ(std::make_tuple(reused.column_count, reused.table_type, reused.width_factor,
                              reused.truncated, reused.cells.size(), reused.columns.size()),
              std::make_tuple(row.column_count, row.table_type, row.width_factor, row.truncated,
                              row.cells.size(), row.columns.size()));
    RecordingDiagnostics d;
    WarnTableProblems(d, row);
    EXPECT_EQ(d.Count(kWarnTableLayoutCut), truncated ? 1u : 0u);
  }
}

TEST(TextCursor, StringsEndAtTheirNulTheEndOfTheTextOrTheBytesLeft) {
  // Texts of 0 to 40 bytes (the scan goes 16 bytes at a time) with a NUL at one place or none,
  // each in memory of its own size, so that a read past it shows (AddressSanitizer); the
  // strings are those between the NULs, and an empty one at the end and after it.
  for (size_t size = 0; size <= 40; ++size) {
    for (size_t nul = 0; nul <= size; ++nul) {
      std::vector<char> text(size);
      for (size_t i = 0; i < size; ++i) text[i] = static_cast<char>(i == nul ? 0 : 'a' + i % 26);
      const std::string_view all(text.data(), text.size());
      TextCursor cursor(all);
      const std::string_view first = cursor.Next();
      EXPECT_EQ(first, all.substr(0, nul)) << size << " " << nul;
      EXPECT_EQ(cursor.Next(), nul < size ? all.substr(nul + 1) : "") << size << " " << nul;
      EXPECT_EQ(cursor.left(), 0u);
      EXPECT_EQ(cursor.Next(), "");
    }
  }
}

TEST(TopicStream, BlockThatExpandsBeyondItsBufferIsCut) {
  // One block: a record whose size never ends, then zeros that pack into references of 18
  // bytes, far more than six times the block's data decode to.
  std::vector<uint8_t> record = TopicLinkRecord({}, -1);
  PutU32(record, 0, 0x7FFFFFFF);
  record.resize(30000);
  const std::vector<uint8_t> topic = ByteBuilder().zeros(12).bytes(Lz77Encode(record)).take();
  ASSERT_LE(topic.size(), 4096u);
  Opened f({{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)}, {"|TOPIC", topic}});
  std::vector<uint8_t> out(30000);
  uint32_t base = 0;
  bool new_block = false;
  EXPECT_EQ(ReadTopicBytes(*f.hf, out, base, new_block), 0u);
  EXPECT_EQ(f.hf->topic_stream.valid_length, 6u * 4084u);
  EXPECT_EQ(f.diagnostics.Count(kWarnTopicBlockOverflow), 1u);
}

/// Kind, topic number, TopicOffset, text length, browse value, non-scrolling, position.
using Seen = std::tuple<TopicRecord::Kind, int32_t, uint32_t, uint32_t, int32_t, bool, uint32_t>;

TEST(TopicWalk, RunningPositions) {
  using Kind = TopicRecord::Kind;
  for (const auto& [hc30, lz77] : {std::pair{false, false}, {false, true}, {true, false}}) {
    SCOPED_TRACE(hc30 ? "HC30" : lz77 ? "HC31, LZ77" : "HC31");
    // Built twice: the scroll start is the position of the third record.
    auto build = [hc30, lz77](int32_t scroll_start) {
      TopicRecords t(TopicFileOptions{.hc30 = hc30, .compressed = lz77});
      t.Header({"T"}, {.number = 5, .scroll_start = scroll_start})
          .Paragraph(EndedParagraph().PictureRef(0x86, 1, 3), {"ab", "", ""})
          .Paragraph(EndedParagraph(), {"cd", ""})
          .Header({"U"}, {.number = 9})
          .FillToBlockEnd()
          .Paragraph(EndedParagraph(), {"e", ""});
      return t;
    };
    const TopicRecords w = build(int32_t(build(0).Position(2)));
    // The picture's 3 characters count after its record; the second header's browse value is
    // the offset before that; a new block starts at its base (block << 15, << 12 for HC30).
    // HC30 topic headers have no scroll start: no record is non-scrolling.
    const uint32_t base = hc30 ? 1u << 12 : 1u << 15;
    const int32_t first = hc30 ? 1 : 5, second = hc30 ? 2 : 9;
    const std::vector<Seen> expected = {
        {Kind::kTopicHeader, first, 0, 2, hc30 ? 1 : 0, false, w.Position(0)},
        {Kind::kParagraph, first, 0, 5, hc30 ? 2 : 0, !hc30, w.Position(1)},
        {Kind::kParagraph, first, 8, 4, hc30 ? 2 : 5, false, w.Position(2)},
        {Kind::kTopicHeader, second, 12, 2, hc30 ? 2 : 12, false, w.Position(3)},
        {Kind::kParagraph, second, base, 3, hc30 ? 3 : int32_t(base), false, w.Position(4)},
    };
    Opened f({{"|SYSTEM",
               hc30 ? BuildHc30SystemFile("T") : GoldenSystem(kMinorHc31, lz77 ? kFlagsLz77 : 0)},
              {"|TOPIC", w.Build()}});
    std::vector<Seen> seen;
    TopicWalk walk(*f.hf);
    while (const TopicRecord* r = walk.Next())
      seen.emplace_back(r->kind, r->topic_number, r->topic_offset, r->text_length, r->browse_topic,
                        r->non_scrolling, r->position);
    EXPECT_TRUE(walk.done() && walk.topic_seen());
    EXPECT_EQ(seen, expected);
  }
}

/// A record's place and contents, as text.
std::string Described(const TopicRecord& r) {
  std::string line;
  for (uint32_t v : {uint32_t(r.kind), uint32_t(r.topic_number), r.topic_offset, r.position,
                     uint32_t(r.browse_topic), uint32_t(r.non_scrolling)})
    line += " " + std::to_string(v);
  if (r.kind == TopicRecord::Kind::kTopicHeader) line += " " + r.header.text;
  if (r.kind == TopicRecord::Kind::kParagraph) {
    for (std::string_view t : r.paragraph.texts) line += " " + std::string(t);
    for (const ParagraphCommand& c : r.paragraph.commands)
      line += " " + std::to_string(c.object.stored_picture.size());
  }
  if (r.kind == TopicRecord::Kind::kTable)
    for (const CellParagraph& c : r.table.cells)
      for (std::string_view t : c.paragraph.texts) line += " " + std::string(t);
  return line;
}

/// What a walk gives, step by step (the block before the step, the record), and the number of
/// warnings after each step.
template <typename Walk>
std::pair<std::vector<std::string>, std::vector<size_t>> WalkLog(
    Walk& walk, const RecordingDiagnostics& diagnostics, size_t steps = SIZE_MAX) {
  std::vector<std::string> log;
  std::vector<size_t> warnings;
  while (!walk.done() && log.size() < steps) {
    std::string line = std::to_string(walk.block());
    if (const TopicRecord* r = walk.Next()) line += Described(*r);
    log.push_back(line);
    warnings.push_back(diagnostics.warnings.size());
  }
  log.push_back(walk.topic_seen() ? "seen" : "none");
  return {log, warnings};
}

TEST(TopicReadAhead, GivesWhatTheWalkGivesWithItsWarningsAtTheSameRecords) {
  // First a record with a warning before its text is expanded (text beyond the record), one
  // from the expansion (cut at the capacity) and one after it (no end): the reader leaves the
  // first records' expansion to the writer. Then enough records to fill a small ring many
  // times; unknown records (a warning each) among them, pictures too large for the ring, and a
  // record at the end that is cut short. The reader leaves paragraphs and tables to the
  // writer to decode, which adds their pictures' characters to the offsets after them.
  TopicRecords t(TopicFileOptions{.compressed = true});
  t.Record({.format_part = ParagraphFormatPart(ParagraphBuilder().Build(false)),
            .text_part = std::vector<uint8_t>(70000, 'x'),
            .expanded_length = 80000});
  for (int i = 0; i < 3000; ++i) {
    t.Header({"Topic " + std::to_string(i)});
    t.Paragraph(EndedParagraph(), {std::string(200 + i % 150, char('a' + i % 26)), ""});
    if (i % 97 == 5) t.Record({.type = 0x55, .text_part = TextStrings({"?"})});
    // Pictures whose characters count into the offsets after them (within a block or not).
    if (i % 11 == 2) t.Paragraph(EndedParagraph().PictureRef(0x86, 1, 3), {"p", "", ""});
    if (i % 5 == 1)
      t.Table(TableLayout(1, {{200, 30}, {300, 20}}),
              {TableCell(0, EndedParagraph().Build()), TableCell(1, EndedParagraph().Build())},
              {"cell " + std::to_string(i), "", std::string(i % 40, 'c'), ""});
    if (i % 700 == 3)
      t.Paragraph(EndedParagraph().PictureStored(0x86, std::vector<uint8_t>(70000 + i, 7)),
                  {"at " + std::to_string(i), ""});
  }
  t.Record({.type = 0x20, .format_part = {1, 2, 3}, .record_size = 1 << 20});
  const HelpFiles files = {{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)},
                           {"|TOPIC", t.Build()}};
  Opened plain(files);
  TopicWalk walk(*plain.hf);
  const auto expected = WalkLog(walk, plain.diagnostics);
  ASSERT_GT(plain.diagnostics.warnings.size(), 30u);
  ASSERT_EQ(IdsOf({plain.diagnostics.warnings.begin(), plain.diagnostics.warnings.begin() + 3}, -1),
            (std::vector<int>{kWarnTopicTextOutside, kWarnTopicTextCut, kWarnParagraphNoEnd}));
  for (const bool threaded : {false, true}) {
    Opened f(files), early(files);
    {
      TopicReadAhead ahead(*f.hf, threaded, 1 << 16);
      EXPECT_EQ(WalkLog(ahead, f.diagnostics), expected);
    }
    EXPECT_EQ(f.Texts(), plain.Texts());
    // A writer that stops early gets the warnings of the records it took, and no more.
    {
      TopicReadAhead ahead(*early.hf, threaded, 1 << 16);
      WalkLog(ahead, early.diagnostics, 1500);
    }
    EXPECT_EQ(early.diagnostics.warnings.size(), expected.second[1499]);
  }
  // A walk started before its writer reads a megabyte ahead first (more than the ring it keeps
  // to once the writer takes records), then gives the same; the records read after its look-
  // ahead is handed over are warmed. One dropped before its first record stops cleanly.
  struct Counting : TopicLookAhead {
    std::atomic<int> records{0};
    void Warm(const TopicRecord&) override { ++records; }
  } counting;
  Opened head(files), dropped(files);
  {
    TopicReadAhead ahead(*head.hf, true, 1 << 16, nullptr, 1 << 20);
    TopicReadAhead unused(*dropped.hf, true, 1 << 16, nullptr, 1 << 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ahead.LookAhead(&counting);
    EXPECT_EQ(WalkLog(ahead, head.diagnostics), expected);
  }
  EXPECT_GT(counting.records, 0);
  EXPECT_TRUE(dropped.diagnostics.warnings.empty());
  // A record stays as it is until the next record is asked for, also when block() has waited
  // for the reader (the writer took records faster than the smallest ring gets them) and the
  // reader then fills the ring while the record is still held.
  Opened held(files);
  TopicReadAhead ahead(*held.hf, true, kMinReadAheadBytes);
  for (int i = 0; i < 400 && !ahead.done(); ++i) {
    const TopicRecord* r = ahead.Next();
    if (!r) continue;
    const std::string before = Described(*r);
    ahead.block();
    if (i % 16 == 15) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(Described(*r), before) << i;
  }
}

/// A help file of 3000 topics of text records, tables and pictures that give no warning, whose
/// records take a few of the pieces of memory kept records are kept in.
HelpFiles PlainTopicFiles() {
  TopicRecords t(TopicFileOptions{.compressed = true});
  for (int i = 0; i < 3000; ++i) {
    t.Header({"Topic " + std::to_string(i)});
    t.Paragraph(EndedParagraph(), {std::string(1500 + i % 150, char('a' + i % 26)), ""});
    if (i % 11 == 2) t.Paragraph(EndedParagraph().PictureRef(0x86, 1, 3), {"p", "", ""});
    if (i % 5 == 1)
      t.Table(TableLayout(1, {{200, 30}, {300, 20}}),
              {TableCell(0, EndedParagraph().Build()), TableCell(1, EndedParagraph().Build())},
              {"cell " + std::to_string(i), "", std::string(i % 40, 'c'), ""});
  }
  return {{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)}, {"|TOPIC", t.Build()}};
}

/// Answers each record with its description, a text record's from its note (its description
/// when it was decoded); every 500th with more than fits in the ring beside it too; throws at
/// record `throw_at`.
struct Describing : TopicAnswers {
  int records = 0, throw_at = -1;
  static std::string Of(const TopicRecord& r, int n) {
    return Described(r) + (n % 500 == 0 ? std::string(100000, 'z') : "");
  }
  void Note(const TopicRecord& r, std::vector<uint8_t>& out) const override {
    const std::string described = Described(r);
    out.assign(described.begin(), described.end());
  }
  void Answer(const TopicRecord& r, Bytes note, std::vector<uint8_t>& out) override {
    if (records == throw_at) throw std::runtime_error("no answer");
    const bool text =
        r.kind == TopicRecord::Kind::kParagraph || r.kind == TopicRecord::Kind::kTable;
    const std::string described = text ? std::string(note.begin(), note.end()) : Described(r);
    const std::string answer = described + (records++ % 500 == 0 ? std::string(100000, 'z') : "");
    out.assign(answer.begin(), answer.end());
  }
};

TEST(KeptRecords, ASecondWalkGivesWhatTheFirstGaveWithEachRecordsAnswers) {
  const HelpFiles files = PlainTopicFiles();
  Opened plain(files);
  TopicWalk walk(*plain.hf);
  const auto expected = WalkLog(walk, plain.diagnostics);
  ASSERT_TRUE(plain.diagnostics.warnings.empty());
  // The second walk answers with a second thread only; the text records' notes come from the
  // first walk (read ahead or not) or are made by the answering thread.
  const std::tuple<bool, bool, bool> walks[] = {
      {false, false, false}, {true, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& [threaded, first_threaded, noted] : walks) {
    SCOPED_TRACE(testing::Message() << threaded << first_threaded << noted);
    Opened f(files);
    f.session.read_ahead = threaded;
    KeptRecords kept(SIZE_MAX);
    Describing answers;
    {
      TopicReadAhead first(*f.hf, first_threaded, 1 << 16);
      first.Keep(&kept, noted ? &answers : nullptr);
      EXPECT_EQ(WalkLog(first, f.diagnostics), expected);
    }
    ASSERT_TRUE(kept.complete());
    std::vector<std::string> log;
    {
      TopicReadAhead second(*f.hf, kept, &answers);
      ASSERT_EQ(second.answering(), threaded);
      for (int n = 0; !second.done();) {
        std::string line = std::to_string(second.block());
        if (const TopicRecord* r = second.Next()) {
          line += Described(*r);
          const Bytes a = second.answers();
          EXPECT_EQ(std::string(a.begin(), a.end()), threaded ? Describing::Of(*r, n++) : "");
        }
        log.push_back(line);
      }
      log.push_back(second.topic_seen() ? "seen" : "none");
    }
    EXPECT_EQ(log, expected.first);
    EXPECT_TRUE(f.diagnostics.warnings.empty());
  }
  // Nothing is kept beyond the budget, nor of a walk that reported something.
  Opened small(files), warned({{"|SYSTEM", GoldenSystem()},
                               {"|TOPIC", TopicRecords().Record({.type = 0x55}).Build()}});
  for (Opened* o : {&small, &warned}) {
    KeptRecords kept(o == &small ? 100000 : SIZE_MAX);
    TopicReadAhead first(*o->hf, true, 1 << 16);
    first.Keep(&kept);
    WalkLog(first, o->diagnostics);
    EXPECT_FALSE(kept.complete());
  }
  // A writer that stops early leaves the thread waiting for room with answers beside the
  // ring; one whose answers threw gets the exception at that record.
  for (const int throw_at : {-1, 1000}) {
    Opened f(files);
    KeptRecords kept(SIZE_MAX);
    {
      TopicReadAhead first(*f.hf, false);
      first.Keep(&kept);
      WalkLog(first, f.diagnostics);
    }
    Describing answers;
    answers.throw_at = throw_at;
    TopicReadAhead second(*f.hf, kept, &answers);
    int taken = 0;
    try {
      while (taken < 2000 && !second.done()) taken += second.Next() != nullptr;
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "no answer");
    }
    EXPECT_EQ(taken, throw_at < 0 ? 2000 : throw_at);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

}  // namespace
}  // namespace quorvex
