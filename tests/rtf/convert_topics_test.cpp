// Golden tests of whole conversions: small help files built from the file formats, converted by
// the real driver with the program's phases, and the RTF and project files compared byte for
// byte with the bytes the formats and the RTF literals give.
//
// This file: the compilers' layouts (HC30, HC31, HCRTF with their phrase tables and topic
// blocks), the topic stream across block boundaries, the recompilation-mode topic sequence and
// the character writer's line feeds, and damaged topic data.
//
// Reading aid for the expected texts: every character of topic text, titles and macros goes
// through the character writer, which writes a line feed after the character numbered 0, 64,
// 128, ... of the session (counted from 0). A session starts at 0; a browse-sequence pre-pass
// counts the characters it writes into the null sink too.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/strings.h"
#include "tests/support/byte_builder.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

std::vector<uint8_t> Chars(std::string_view text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}
std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> pieces) {
  std::vector<uint8_t> out;
  for (const std::vector<uint8_t>& p : pieces) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// ---------------------------------------------------------------------------------------------
// The recompilation-mode topic sequence.

TEST(ConvertTopicsGolden, RecompilationTopicsFootnotesAndSeparators) {
  TopicRecords topics;
  topics.Header({"Intro", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"Hello", ""})
      .Header({"Second", "N()"}, {.number = 1})
      .Paragraph(EndedParagraph(), {"World", ""});
  const std::vector<uint8_t> help = GoldenHelpFile(topics);

  // The pre-pass writes Intro, M(), Hello, Second, N(), World (27 characters) into the null
  // sink; the main pass counts on from 27 and reaches no multiple of 64.
  struct Case {
    const char* name;
    ConversionOptions options;
    std::string_view separator;
  };
  for (const Case& c : {Case{"PageBreak", kRecompile, kPageSeparator},
                        Case{"no PageBreak", kRecompile & ~kPageBreak, kParSeparator}}) {
    SCOPED_TRACE(c.name);
    const ConversionOutcome out = ConvertHelpBytes(help, c.options);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    EXPECT_EQ(out.FileNames(), (std::vector<std::string>{"TEST.HPJ", "TEST.RTF"}));
    // The first topic has no separator; the "$" and "!" footnotes follow the separator.
    const std::string rtf = Frame() + Footnote('$', "Intro") + Footnote('!', "M()") +
                            Para("Hello\\par\n") + std::string(c.separator) +
                            Footnote('$', "Second") + Footnote('!', "N()") + Para("World\\par\n") +
                            "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"), ProjectFile({"TEST.RTF"})));
    // No |CONTEXT: the first topic has no context string, reported when the second starts, in
    // the pre-pass and again in the main pass; the last topic is never reported.
    ASSERT_EQ(out.WarningIds(), (std::vector<int>{kWarnNoContextId, kWarnNoContextId}));
    EXPECT_EQ(out.warnings[0].text, "Topic #0 does not have a Context Id");
    out.ExpectWellFormed();
  }
}

TEST(ConvertTopicsGolden, LineFeedAfterTheFirstAnd65thCharacterOfTheSession) {
  std::string digits;
  for (int i = 0; i < 13; ++i) digits += "0123456789";  // 130 characters
  TopicRecords topics;
  topics.Header({"T"}).Paragraph(EndedParagraph(), {digits, ""});
  const std::vector<uint8_t> help = GoldenHelpFile(topics);
  const std::string d6 = "012345678901234567890123456789012345678901234567890123456789";
  const std::string d5 = "01234567890123456789012345678901234567890123456789";

  struct Case {
    const char* name;
    ConversionOptions options;
    std::string title;
    std::string body;
  };
  const Case cases[] = {
      // One pass: "T" is character 0 of the session, digit j is character j + 1: line feeds
      // after "T", after digit 63 and after digit 127.
      {"one pass", kRecompileOnePass, "T\n", d6 + "0123\n456789" + d5 + "01234567\n89"},
      // The pre-pass counts "T" and the 130 digits first; in the main pass "T" is character
      // 131, digit j is 132 + j: line feeds after digit 60 (192) and digit 124 (256).
      {"after a pre-pass", kRecompile, "T", d6 + "0\n123456789" + d5 + "01234\n56789"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ConversionOutcome out = ConvertHelpBytes(help, c.options);
    const std::string rtf = Frame() + Footnote('$', c.title) + Para(c.body + "\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_TRUE(out.warnings.empty());
    out.ExpectWellFormed();
  }
}

// ---------------------------------------------------------------------------------------------
// The compilers: HC30, HC31 and HCRTF layouts, phrase tables and topic blocks.

// The phrases, and one topic text written with them: "Use Quorvex to read a help file."
const std::vector<std::string> kPhrases = {"Quorvex", "help file", "window"};
const std::string kPhrasedText = "Use Quorvex to read a help file.";

/// The text strings {kPhrasedText, ""} in the older phrase codes: byte 1..15 and the next byte
/// make code = (byte - 1) * 256 + next, phrase code / 2, then a space when code is odd.
std::vector<uint8_t> OldCodedText() {
  return Join({
      Chars("Use "),
      {0x01, 0x01},  // code 1: phrase 0 "Quorvex" and a space
      Chars("to read a "),
      {0x01, 0x02},  // code 2: phrase 1 "help file", no space
      Chars("."),
      {0x00, 0x00},  // the end of the first string and the empty last string
  });
}

/// The same in the HCRTF codes.
std::vector<uint8_t> HcrtfCodedText() {
  return Join({
      {0x13},  // b & 7 = 3: (b >> 3) + 1 = 3 literal bytes
      Chars("Use"),
      {0x07},  // b & 15 = 7: (b >> 4) + 1 = 1 space
      {0x00},  // even: phrase b / 2 = 0, "Quorvex"
      {0x07},
      {0x43},  // 9 literal bytes
      Chars("to read a"),
      {0x07},
      {0x02},  // phrase 1, "help file"
      {0x03},  // 1 literal byte
      Chars("."),
      {0x1F},  // b & 15 = 15: (b >> 4) + 1 = 2 NULs
  });
}

/// A paragraph record whose stored text `stored` expands to the strings {text, ""}.
TopicRecordSpec CodedParagraph(uint8_t type, std::vector<uint8_t> stored, const std::string& text) {
  TopicRecordSpec spec;
  spec.type = type;
  spec.format_part = ParagraphFormatPart(EndedParagraph().Build(), type);
  spec.text_part = std::move(stored);
  spec.expanded_length = static_cast<int32_t>(text.size() + 2);
  return spec;
}

TEST(ConvertTopicsGolden, Hc30) {
  // HC30: 2048-byte blocks stored as they are (even with the LZ77 flag set), |Phrases in the
  // HC30 layout (never compressed), next-record fields that are distances, 12-byte topic
  // headers (topic number and scroll start read as 0), paragraphs of type 1, and the topic
  // header whose first field is 8 or less as the last record.
  TopicRecords topics(TopicFileOptions{.hc30 = true});
  topics.Header({"First"}, {.first_field = 200})
      .Record(CodedParagraph(1, OldCodedText(), kPhrasedText))
      .Header({"Second"}, {.first_field = 200})
      .Paragraph(EndedParagraph(), {"plain text", ""})
      .Header({}, {.first_field = 8})
      .Paragraph(EndedParagraph(), {"never converted", ""});
  // The fixture: HC30 next fields are distances, which read as positions would point back.
  const std::vector<uint8_t> stream = topics.writer().Stream();
  ASSERT_EQ(GetU32(stream, 12), topics.writer().Position(1) - 12);

  const std::vector<uint8_t> help =
      AssembleHelpFile({{"|SYSTEM", BuildHc30SystemFile("HC30 Sample", kFlagsLz77)},
                        {"|Phrases", BuildHc30Phrases(kPhrases)},
                        {"|FONT", OldStyleFontFile()},
                        {"|TOPIC", topics.Build()}});
  const ConversionOutcome out = ConvertHelpBytes(help, kRecompileOnePass);
  ASSERT_FALSE(out.fatal) << *out.fatal;
  // The topic after the end mark gets its separator; what follows it is not read.
  const std::string rtf = Frame() + Footnote('$', "F\nirst") + Para(kPhrasedText + "\\par\n") +
                          std::string(kPageSeparator) + Footnote('$', "Second") +
                          Para("plain text\\par\n") + std::string(kPageSeparator) + "}";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
  EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"), ProjectFile({"TEST.RTF"})));
  // HC30 topics are never reported for a missing context string.
  EXPECT_EQ(out.WarningIds(), (std::vector<int>{kWarnCompiledBy}));
  out.ExpectWellFormed();
}

/// "|Phrases" of an HC31 file whose text is stored: the size rule (size - 2N - 8 + 10 < S for
/// compressed text) fails with S = 0, so the offset table is read from offset 4, where the
/// zero size field stands for the first two offsets (phrase 0 empty, phrase 1 the table's own
/// bytes). Phrases 2 and 3 are "Quorvex" and "help file".
std::vector<uint8_t> Hc31StoredPhrases() {
  return ByteBuilder()
      .u16(4)       // 0: N
      .u16(0x0100)  // 2: not used
      .i32(0)       // 4: S = 0, read as offsets 0 and 1 (both 0)
      .u16(10)      // 8: offset 2: the text starts after the 5 offsets (at 4 + 10)
      .u16(17)      // 10: offset 3
      .u16(26)      // 12: offset 4, the end of the text
      .text("Quorvex")
      .text("help file")
      .take();
}

TEST(ConvertTopicsGolden, Hc31PhraseTables) {
  struct Case {
    const char* name;
    uint16_t flags;  // 4: LZ77 topic blocks, and compressed phrase text
    std::vector<uint8_t> phrases;
    std::vector<uint8_t> coded_text;
  };
  const Case cases[] = {
      {"compressed phrases, LZ77 topic blocks", kFlagsLz77,
       BuildHc31Phrases(kPhrases, Lz77Mode::kGreedy), OldCodedText()},
      {"stored phrases (size rule), stored topic blocks", 0, Hc31StoredPhrases(),
       Join({
           Chars("Use "),
           {0x01, 0x05},  // code 5: phrase 2 and a space
           Chars("to read a "),
           {0x01, 0x06},  // code 6: phrase 3
           Chars("."),
           {0x00, 0x00},
       })},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TopicRecords topics(TopicFileOptions{.compressed = c.flags != 0, .mode = Lz77Mode::kGreedy});
    topics.Header({"First"}, {.number = 0})
        .Record(CodedParagraph(0x20, c.coded_text, kPhrasedText))
        .Header({"Second"}, {.number = 1})
        .Paragraph(EndedParagraph(), {"plain text", ""});
    const std::vector<uint8_t> help =
        AssembleHelpFile({{"|SYSTEM", GoldenSystem(kMinorHc31, c.flags)},
                          {"|Phrases", c.phrases},
                          {"|FONT", OldStyleFontFile()},
                          {"|TOPIC", topics.Build()}});
    const ConversionOutcome out = ConvertHelpBytes(help, kRecompileOnePass);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    const std::string rtf = Frame() + Footnote('$', "F\nirst") + Para(kPhrasedText + "\\par\n") +
                            std::string(kPageSeparator) + Footnote('$', "Second") +
                            Para("plain text\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_EQ(out.WarningIds(), (std::vector<int>{kWarnNoContextId}));
    out.ExpectWellFormed();
  }
}

TEST(ConvertTopicsGolden, HcrtfPhraseIndexAndImage) {
  // 130 phrases, so that phrase 129 needs the two-byte code.
  std::vector<std::string> phrases = kPhrases;
  while (phrases.size() < 129) phrases.push_back("p" + std::to_string(phrases.size()));
  phrases.push_back("two-byte");

  struct Case {
    const char* name;
    bool compressed_image;
    uint16_t flags;
  };
  const Case cases[] = {
      {"|PhrImage stored, stored topic blocks", false, 0},
      {"|PhrImage compressed, stored topic blocks", true, 0},
      {"|PhrImage compressed, LZ77 topic blocks", true, kFlagsLz77},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const RtfPhraseFiles files = BuildRtfPhrases(phrases, 3, c.compressed_image);
    // The fixture: the stored size field tells the two forms apart.
    ASSERT_EQ(
        GetU32(files.index, kPhrIndexStoredSizeAt) == GetU32(files.index, kPhrIndexTextSizeAt),
        !c.compressed_image);

    TopicRecords topics(TopicFileOptions{.compressed = c.flags != 0, .mode = Lz77Mode::kGreedy});
    topics.Header({"First"}, {.number = 0})
        .Record(CodedParagraph(0x20, HcrtfCodedText(), kPhrasedText))
        // 0x01 0x01: b & 3 = 1, phrase 128 + (b >> 2) * 256 + 1 = 129; 0x1F: two NULs.
        .Record(CodedParagraph(0x20, {0x01, 0x01, 0x1F}, "two-byte"))
        .Header({"Second"}, {.number = 1})
        // Stored as long as expanded: the older codes, under which these bytes stand for
        // themselves.
        .Paragraph(EndedParagraph(), {"plain text", ""});
    const std::vector<uint8_t> help =
        AssembleHelpFile({{"|SYSTEM", GoldenSystem(kMinorHcrtf, c.flags)},
                          {"|PhrIndex", files.index},
                          {"|PhrImage", files.image},
                          {"|FONT", NewStyleFontFile()},
                          {"|TOPIC", topics.Build()}});
    const ConversionOutcome out = ConvertHelpBytes(help, kRecompileOnePass);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    const std::string rtf = Frame(kNewStyleFontTables) + Footnote('$', "F\nirst") +
                            Para(kPhrasedText + "\\par\n") + Para("two-byte\\par\n") +
                            std::string(kPageSeparator) + Footnote('$', "Second") +
                            Para("plain text\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_EQ(out.WarningIds(), (std::vector<int>{kWarnCompiledBy, kWarnNoContextId}));
    out.ExpectWellFormed();
  }
}

// ---------------------------------------------------------------------------------------------
// The topic stream across block boundaries.

TEST(ConvertTopicsGolden, RecordsAcrossBlockBoundariesAndFillerAtABlockEnd) {
  enum class Place { kCross30, kCross10, kFiller };
  struct Case {
    const char* name;
    TopicFileOptions options;
    Place place;
  };
  const TopicFileOptions stored{};
  // Literal-only LZ77 turns each 3630-byte piece into exactly the 4084 bytes of a block, so
  // the decompressed block ends where the piece ends (no padding decodes to extra bytes).
  const TopicFileOptions lz77{.compressed = true, .mode = Lz77Mode::kLiteralsOnly};
  const TopicFileOptions hc30{.hc30 = true};
  const Case cases[] = {
      {"stored: a record starts 30 bytes before the block end", stored, Place::kCross30},
      {"stored: a record header straddles the block end", stored, Place::kCross10},
      {"stored: filler bytes end the block", stored, Place::kFiller},
      {"LZ77: a record starts 30 bytes before the block end", lz77, Place::kCross30},
      {"LZ77: a record header straddles the block end", lz77, Place::kCross10},
      {"LZ77: filler bytes end the block", lz77, Place::kFiller},
      {"HC30: a record starts 30 bytes before the block end", hc30, Place::kCross30},
      {"HC30: filler bytes end the block", hc30, Place::kFiller},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TopicRecords topics(c.options);
    topics.Header({"Blocks"}, {.first_field = 200}).Paragraph(EndedParagraph(), {"before", ""});
    if (c.place == Place::kFiller) {
      topics.writer().FillToBlockEnd(0xAA);
    } else {
      topics.writer().StartBeforeBlockEnd(c.place == Place::kCross30 ? 30 : 10, 0xAA);
    }
    topics.Paragraph(EndedParagraph(), {"across the block boundary", ""})
        .Paragraph(EndedParagraph(), {"after", ""});
    // The fixture: the third record starts in block 0 and ends in block 1, or starts block 1.
    const uint32_t block_of_third = topics.writer().Position(2) >> topics.writer().shift();
    const uint32_t block_of_fourth = topics.writer().Position(3) >> topics.writer().shift();
    ASSERT_EQ(block_of_third, c.place == Place::kFiller ? 1u : 0u);
    ASSERT_EQ(block_of_fourth, 1u);

    const std::vector<uint8_t> system =
        c.options.hc30 ? BuildHc30SystemFile("HC30 Sample")
                       : GoldenSystem(kMinorHc31, c.options.compressed ? 4 : 0);
    const std::vector<uint8_t> help = AssembleHelpFile(
        {{"|SYSTEM", system}, {"|FONT", OldStyleFontFile()}, {"|TOPIC", topics.Build()}});
    const ConversionOutcome out = ConvertHelpBytes(help, kRecompileOnePass);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    const std::string rtf = Frame() + Footnote('$', "B\nlocks") + Para("before\\par\n") +
                            Para("across the block boundary\\par\n") + Para("after\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    if (c.options.hc30) {
      EXPECT_EQ(out.WarningIds(), (std::vector<int>{kWarnCompiledBy}));
    } else {
      EXPECT_TRUE(out.warnings.empty());
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Damaged topic data: no crash, no hang, a warning, well-formed RTF that keeps what came before
// the damage.

/// What every damaged file below starts with: the topic "Good" and its paragraph "kept".
std::string KeptPart() {
  return Frame() + Footnote('$', "G\nood") + Para("kept\\par\n");
}

struct DamageCase {
  const char* name;
  /// An HC31 |Phrases with the phrases of kPhrases (compressed, hence LZ77 topic blocks).
  bool with_phrases;
  /// Adds the damaged records after the topic "Good" and its paragraph "kept".
  std::function<void(TopicRecords&)> damage;
  /// What follows the kept part in the RTF, before the closing brace.
  std::string rest;
  int warning;
};

void RunDamageCase(const DamageCase& c) {
  SCOPED_TRACE(c.name);
  TopicRecords topics(c.with_phrases
                          ? TopicFileOptions{.compressed = true, .mode = Lz77Mode::kGreedy}
                          : TopicFileOptions{});
  topics.Header({"Good"}, {.number = 7}).Paragraph(EndedParagraph(), {"kept", ""});
  c.damage(topics);
  Files files = {{"|SYSTEM", GoldenSystem(kMinorHc31, c.with_phrases ? kFlagsLz77 : 0)},
                 {"|FONT", OldStyleFontFile()},
                 {"|TOPIC", topics.Build()}};
  if (c.with_phrases) files.push_back({"|Phrases", BuildHc31Phrases(kPhrases)});
  const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), kRecompileOnePass);
  ASSERT_FALSE(out.fatal) << *out.fatal;
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(KeptPart() + c.rest + "}")));
  // Exactly one warning, and its text is in the string table.
  EXPECT_EQ(out.WarningIds(), std::vector<int>{c.warning});
  for (const auto& w : out.warnings) EXPECT_NE(w.text, "String Id not found");
  out.ExpectWellFormed();
}

TEST(ConvertTopicsGolden, DamagedRecordLinksAndSizes) {
  // After the kept part: the paragraph "read" with one field damaged, then (unless `last`) the
  // paragraph "after". `in_next_block`: the damaged record starts block 1.
  using Damage = std::function<void(TopicRecordSpec&, const TopicFileWriter&)>;
  struct Case {
    const char* name;
    bool with_phrases, in_next_block, last;
    Damage damage;
    bool read;  // "read" is written before the damage is noticed
    int warning;
  };
  const Case cases[] = {
      {"a record size past everything |TOPIC can hold", true, false, false,
       [](auto& r, auto&) { r.record_size = 0x10000000; }, false, kWarnTopicRecordDamaged},
      {"a record size past the data of its block", true, false, false,
       [](auto& r, auto&) { r.record_size = 3000; }, false, kWarnTopicStreamEnds},
      {"a next-record link that points backwards", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, kWarnTopicRecordLost},
      {"a next-record link to the record itself", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.NextPosition()); }, true, kWarnTopicRecordLost},
      {"a next-record link into a block already passed", false, true, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, kWarnTopicRecordLost},
      {"text longer than the record holds, last record", false, false, true,
       [](auto& r, auto&) { r.expanded_length = 100; }, false, kWarnTopicStreamEnds},
      {"text longer than the record holds, more records follow", false, false, false,
       [](auto& r, auto&) { r.expanded_length = 100; }, false, kWarnTopicStreamEnds},
      {"a next-record link beyond the data of its block", false, false, false,
       [](auto& r, auto&) { r.next = 12 + 3000; }, true, kWarnTopicRecordLost},
      {"a next-record link into a block past the end", false, false, false,
       [](auto& r, auto&) { r.next = (40 << 14) + 12; }, true, kWarnTopicRecordLost},
      {"a next-record link into the block header", false, false, false,
       [](auto& r, auto&) { r.next = 5; }, true, kWarnTopicRecordLost},
      {"a record size smaller than its header", false, false, false,
       [](auto& r, auto&) { r.record_size = 0; }, false, kWarnTopicRecordLost},
      {"a negative record size", false, false, false, [](auto& r, auto&) { r.record_size = -5; },
       false, kWarnTopicRecordLost},
  };
  for (const Case& c : cases) {
    auto damage = [&c](TopicRecords& t) {
      if (c.in_next_block) t.writer().FillToBlockEnd();
      TopicRecordSpec r;
      r.format_part = ParagraphFormatPart(EndedParagraph().Build());
      r.text_part = TextStrings({"read", ""});
      c.damage(r, t.writer());
      t.Record(r);
      if (!c.last) t.Paragraph(EndedParagraph(), {"after", ""});
    };
    RunDamageCase({c.name, c.with_phrases, damage, c.read ? Para("read\\par\n") : "", c.warning});
  }
}

TEST(ConvertTopicsGolden, DamagedRecordContents) {
  const DamageCase cases[] = {
      // Phrase 50 of a 3-phrase table adds nothing; the walk goes on.
      {"a phrase number beyond the table", true,
       [](TopicRecords& t) {
         t.Record(
              CodedParagraph(0x20, Join({Chars("a"), {0x01, 100}, Chars("b"), {0x00, 0x00}}), "ab"))
             .Paragraph(EndedParagraph(), {"after", ""});
       },
       Para("ab\\par\n") + Para("after\\par\n"), kWarnTopicTextPhrase},
      // The paragraph ends with the data: its text is still written.
      {"formatting data without 0xFF", false,
       [](TopicRecords& t) {
         TopicRecordSpec open;
         open.format_part = ParagraphFormatPart(EndedParagraph().Build(false));
         open.text_part = TextStrings({"open", ""});
         t.Record(open).Paragraph(EndedParagraph(), {"after", ""});
       },
       Para("open\\par\n") + Para("after\\par\n"), kWarnParagraphNoEnd},
      // A font change whose number is cut: the command is dropped, the text before it kept.
      {"a command's operands past the formatting data", false,
       [](TopicRecords& t) {
         TopicRecordSpec cut;
         cut.format_part = ParagraphFormatPart(ParagraphBuilder().Raw({0x80, 0x01}).Build(false));
         cut.text_part = TextStrings({"cut", ""});
         t.Record(cut).Paragraph(EndedParagraph(), {"after", ""});
       },
       Para("cut") + Para("after\\par\n"), kWarnParagraphCut},
      // Type 0x24 is skipped; the next record is converted.
      {"an unknown record type", false,
       [](TopicRecords& t) {
         TopicRecordSpec unknown;
         unknown.type = 0x24;
         unknown.format_part = {1, 2, 3};
         unknown.text_part = TextStrings({"skipped"});
         t.Record(unknown).Paragraph(EndedParagraph(), {"after", ""});
       },
       Para("after\\par\n"), kWarnUnknownRecord},
  };
  for (const DamageCase& c : cases) RunDamageCase(c);
}

TEST(ConvertTopicsGolden, UnknownRecordTypeWarningText) {
  TopicRecords topics;
  TopicRecordSpec unknown;
  unknown.type = 0x24;
  topics.Header({"A"}).Record(unknown).Record(unknown).Paragraph(EndedParagraph(), {"b", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompile);
  // One warning per record and pass.
  ASSERT_EQ(out.WarningIds(), (std::vector<int>(4, kWarnUnknownRecord)));
  EXPECT_EQ(out.warnings[0].text, "Unknown TopicLink-Record Type 36");
  EXPECT_TRUE(
      SameBytes(out.File("TEST.RTF"), Crlf(Frame() + Footnote('$', "A") + Para("b\\par\n") + "}")));
}

TEST(ConvertTopicsGolden, NoTopicAtAll) {
  struct Case {
    const char* name;
    std::optional<std::vector<uint8_t>> topic;
    // Between the frame and the closing brace, with one pass (the first character of the
    // session is followed by a line feed) and after a pre-pass (which counted it already).
    std::string one_pass;
    std::string after_pre_pass;
  };
  TopicRecords orphans;
  orphans.Paragraph(EndedParagraph(), {"no topic header", ""});
  TopicRecords table_first;
  table_first.Table(TableLayout(1, {{100, 0}}), {TableCell(0, EndedParagraph().Build())},
                    {"cell", ""});
  const std::string row = "\\par{\\pard\\trowd\\intbl\\trleft00\\cellx1000 \\pard\\s0\\intbl\\ql ";
  const Case cases[] = {
      {"no |TOPIC", std::nullopt, "", ""},
      {"an empty |TOPIC", std::vector<uint8_t>{}, "", ""},
      {"a paragraph before any topic header", orphans.Build(), Para("n\no topic header\\par\n"),
       Para("no topic header\\par\n")},
      {"a table before any topic header", table_first.Build(), row + "c\nell\\cell\\row\\pard}\n",
       row + "cell\\cell\\row\\pard}\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Files files = {{"|SYSTEM", GoldenSystem()}, {"|FONT", OldStyleFontFile()}};
    if (c.topic) files.push_back({"|TOPIC", *c.topic});
    for (ConversionOptions options : {kRecompileOnePass, kRecompile}) {
      const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), options);
      ASSERT_FALSE(out.fatal) << *out.fatal;
      const std::string& body = options == kRecompile ? c.after_pre_pass : c.one_pass;
      EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Frame() + body + "}")));
      EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"), ProjectFile({"TEST.RTF"})));
      // Reported once, by the main pass.
      const std::vector<int> ids = out.WarningIds();
      EXPECT_EQ(std::count(ids.begin(), ids.end(), kWarnNoTopics), 1);
      out.ExpectWellFormed();
    }
  }
}

}  // namespace
}  // namespace quorvex
