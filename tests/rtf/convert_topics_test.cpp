// Golden tests of whole conversions: small help files built from the file formats, converted by
// the real driver with the program's phases, the RTF and project files compared byte for byte.
// This file: the recompilation topic sequence, the compilers' layouts (phrase tables, topic
// blocks), records across block boundaries, and damaged topic data.
//
// Every character of topic text, titles and macros goes through the character writer, which
// writes a line feed after the character numbered 0, 64, 128, ... of the session; a
// browse-sequence pre-pass counts the characters it writes into the null sink too.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "core/strings.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::string_view_literals;
using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> pieces) {
  std::vector<uint8_t> out;
  for (const std::vector<uint8_t>& p : pieces) out.insert(out.end(), p.begin(), p.end());
  return out;
}
std::vector<uint8_t> Chars(std::string_view text) {
  return {text.begin(), text.end()};
}

TEST(ConvertTopicsGolden, RecompilationTopicsFootnotesAndSeparators) {
  TopicRecords topics;
  topics.Header({"Intro", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"Hello", ""})
      .Header({"Second", "N()"}, {.number = 1})
      .Paragraph(EndedParagraph(), {"World", ""});
  // The pre-pass counts 27 characters; the main pass reaches no multiple of 64.
  for (bool page_break : {true, false}) {
    const ConversionOutcome out = ConvertHelpBytes(
        GoldenHelpFile(topics), page_break ? kRecompile : kRecompile & ~kPageBreak);
    EXPECT_EQ(out.FileNames(), (std::vector<std::string>{"TEST.HPJ", "TEST.RTF"}));
    // The first topic has no separator; the "$" and "!" footnotes follow the separator.
    const std::string rtf =
        Frame() + Footnote('$', "Intro") + Footnote('!', "M()") + Para("Hello\\par\n") +
        std::string(page_break ? kPageSeparator : kParSeparator) + Footnote('$', "Second") +
        Footnote('!', "N()") + Para("World\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"), ProjectFile({"TEST.RTF"})));
    // No |CONTEXT: the first topic lacks a context string, reported when the next one starts,
    // in each pass; the last topic is never reported.
    ASSERT_EQ(out.WarningIds(), (std::vector<int>{kWarnNoContextId, kWarnNoContextId}));
    EXPECT_EQ(out.warnings[0].text, "Topic #0 does not have a Context Id");
    out.ExpectWellFormed();
  }
}

TEST(ConvertTopicsGolden, LineFeedAfterTheFirstAnd65thCharacterOfTheSession) {
  std::string digits;
  for (int i = 0; i < 13; ++i) digits += "0123456789";
  TopicRecords topics;
  topics.Header({"T"}).Paragraph(EndedParagraph(), {digits, ""});
  const std::string d6 = digits.substr(0, 60), d5 = digits.substr(0, 50);
  // One pass: "T" is character 0, digit j character j + 1. After a pre-pass of 131 characters,
  // digit j is character 132 + j: line feeds after digits 60 and 124.
  const std::tuple<ConversionOptions, std::string, std::string> cases[] = {
      {kRecompileOnePass, "T\n", d6 + "0123\n456789" + d5 + "01234567\n89"},
      {kRecompile, "T", d6 + "0\n123456789" + d5 + "01234\n56789"},
  };
  for (const auto& [options, title, body] : cases) {
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
    const std::string rtf = Frame() + Footnote('$', title) + Para(body + "\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_TRUE(out.warnings.empty());
  }
}

// The phrases, and one topic text written with them.
const std::vector<std::string> kPhrases = {"Quorvex", "help file", "window"};
const std::string kPhrasedText = "Use Quorvex to read a help file.";

/// {kPhrasedText, ""} in the older codes: byte 1..15 and the next make code = (byte - 1) * 256
/// + next, phrase code / 2 (plus `first`), then a space when the code is odd.
std::vector<uint8_t> OldCodedText(uint8_t first = 0) {
  return Join({Chars("Use "),
               {0x01, uint8_t(2 * first + 1)},
               Chars("to read a "),
               {0x01, uint8_t(2 * first + 2)},
               Chars(".\0\0"sv)});
}

/// The same in the HCRTF codes.
std::vector<uint8_t> HcrtfCodedText() {
  return Join({{0x13},
               Chars("Use"),        // b & 7 = 3: (b >> 3) + 1 literal bytes
               {0x07, 0x00, 0x07},  // b & 15 = 7: one space; even: phrase b / 2
               {0x43},
               Chars("to read a"),  // 9 literal bytes
               {0x07, 0x02, 0x03},
               Chars("."),
               {0x1F}});  // b & 15 = 15: (b >> 4) + 1 NULs
}

/// A paragraph record whose stored text `stored` expands to the strings {text, ""}.
TopicRecordSpec CodedParagraph(uint8_t type, std::vector<uint8_t> stored, const std::string& text) {
  return {.type = type,
          .format_part = ParagraphFormatPart(EndedParagraph().Build(), type),
          .text_part = std::move(stored),
          .expanded_length = static_cast<int32_t>(text.size() + 2)};
}

/// "|Phrases" of HC31 with its text stored: with S = 0 the size rule (size - 2N - 8 + 10 < S
/// for compressed text) fails, so the offset table is read from offset 4, where the size field
/// stands for the first two offsets. Phrases 2 and 3 are "Quorvex" and "help file".
std::vector<uint8_t> Hc31StoredPhrases() {
  return ByteBuilder()
      .u16(4)
      .u16(0x0100)
      .i32(0)
      .u16(10)
      .u16(17)
      .u16(26)
      .text("Quorvexhelp file")
      .take();
}

TEST(ConvertTopicsGolden, CompilersPhraseTablesAndTopicBlocks) {
  // 130 HCRTF phrases, so that phrase 129 needs the two-byte code.
  std::vector<std::string> many = kPhrases;
  while (many.size() < 129) many.push_back("p" + std::to_string(many.size()));
  many.push_back("two-byte");
  const RtfPhraseFiles stored = BuildRtfPhrases(many, 3, false),
                       packed = BuildRtfPhrases(many, 3, true);
  // The fixture: the stored size field tells the two |PhrImage forms apart.
  ASSERT_EQ(GetU32(stored.index, kPhrIndexStoredSizeAt), GetU32(stored.index, kPhrIndexTextSizeAt));
  ASSERT_NE(GetU32(packed.index, kPhrIndexStoredSizeAt), GetU32(packed.index, kPhrIndexTextSizeAt));
  const TopicFileOptions lz77{.compressed = true, .mode = Lz77Mode::kGreedy};
  struct Case {
    const char* name;
    TopicFileOptions options;
    Files files;  // all but |TOPIC
    std::vector<uint8_t> coded;
    std::vector<int> warnings;
  };
  const std::vector<int> hcrtf_warnings = {kWarnCompiledBy, kWarnNoContextId};
  auto hcrtf = [&](const RtfPhraseFiles& p, uint16_t flags) {
    return Files{{"|SYSTEM", GoldenSystem(kMinorHcrtf, flags)},
                 {"|PhrIndex", p.index},
                 {"|PhrImage", p.image},
                 {"|FONT", NewStyleFontFile()}};
  };
  // HC30: 2048-byte blocks stored even with the LZ77 flag, next fields that are distances,
  // 12-byte topic headers, paragraphs of type 1, |Phrases never compressed; HC30 topics are
  // never reported for a missing context string.
  const Case cases[] = {
      {"HC30",
       {.hc30 = true},
       {{"|SYSTEM", BuildHc30SystemFile("HC30 Sample", kFlagsLz77)},
        {"|Phrases", BuildHc30Phrases(kPhrases)},
        {"|FONT", OldStyleFontFile()}},
       OldCodedText(),
       {kWarnCompiledBy}},
      {"HC31, compressed phrases, LZ77 topic blocks",
       lz77,
       {{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)},
        {"|Phrases", BuildHc31Phrases(kPhrases, Lz77Mode::kGreedy)},
        {"|FONT", OldStyleFontFile()}},
       OldCodedText(),
       {kWarnNoContextId}},
      {"HC31, stored phrases (size rule), stored topic blocks",
       {},
       {{"|SYSTEM", GoldenSystem(kMinorHc31, 0)},
        {"|Phrases", Hc31StoredPhrases()},
        {"|FONT", OldStyleFontFile()}},
       OldCodedText(2),
       {kWarnNoContextId}},
      {"HCRTF, |PhrImage stored, stored topic blocks",
       {},
       hcrtf(stored, 0),
       HcrtfCodedText(),
       hcrtf_warnings},
      {"HCRTF, |PhrImage compressed, stored topic blocks",
       {},
       hcrtf(packed, 0),
       HcrtfCodedText(),
       hcrtf_warnings},
      {"HCRTF, |PhrImage compressed, LZ77 topic blocks", lz77, hcrtf(packed, kFlagsLz77),
       HcrtfCodedText(), hcrtf_warnings},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const bool hc30 = c.options.hc30, rtf_codes = c.files[1].first == "|PhrIndex";
    TopicRecords topics(c.options);
    topics.Header({"First"}, {.number = 0})
        .Record(CodedParagraph(hc30 ? 1 : 0x20, c.coded, kPhrasedText));
    // 0x01 0x01: b & 3 = 1, phrase 128 + (b >> 2) * 256 + 1 = 129; 0x1F: two NULs.
    if (rtf_codes) topics.Record(CodedParagraph(0x20, {0x01, 0x01, 0x1F}, "two-byte"));
    // Stored as long as expanded: the older codes, under which these bytes stand for themselves.
    topics.Header({"Second"}, {.number = 1}).Paragraph(EndedParagraph(), {"plain text", ""});
    // HC30 ends at the topic header whose first field is 8 or less; what follows is not read.
    if (hc30) topics.Header({}, {.first_field = 8}).Paragraph(EndedParagraph(), {"never", ""});
    if (hc30) {  // the fixture: HC30 next fields are distances
      ASSERT_EQ(GetU32(topics.writer().Stream(), 12), topics.writer().Position(1) - 12);
    }
    Files files = c.files;
    files.push_back({"|TOPIC", topics.Build()});
    const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), kRecompileOnePass);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    // HC30 topics 1, 2 and 3 are named after the hashes 16, 17 and 18.
    const std::string rtf =
        Frame(rtf_codes ? kNewStyleFontTables : kOldStyleFontTables) +
        (hc30 ? Footnote('#', "I\nndc3._e5") + Footnote('$', "First") : Footnote('$', "F\nirst")) +
        Para(kPhrasedText + "\\par\n") + (rtf_codes ? Para("two-byte\\par\n") : "") +
        std::string(kPageSeparator) + (hc30 ? Footnote('#', "a") : "") + Footnote('$', "Second") +
        Para("plain text\\par\n") + (hc30 ? std::string(kPageSeparator) + Footnote('#', "b") : "") +
        "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    const bool lz77_flag = hc30 || c.options.compressed;
    EXPECT_TRUE(SameBytes(
        out.File("TEST.HPJ"),
        ProjectFile({"TEST.RTF"}, std::string("Compress=") + (lz77_flag ? "HIGH" : "FALSE") +
                                      "\nTitle=" + (hc30 ? "HC30 Sample" : kGoldenTitle) + "\n")));
    EXPECT_EQ(out.WarningIds(), c.warnings);
    out.ExpectWellFormed();
  }
}

TEST(ConvertTopicsGolden, RecordsAcrossBlockBoundariesAndFillerAtABlockEnd) {
  // Literal-only LZ77 turns each 3630-byte piece into exactly the 4084 bytes of a block, so the
  // decompressed block ends where the piece ends.
  const TopicFileOptions stored{}, hc30{.hc30 = true};
  const TopicFileOptions lz77{.compressed = true, .mode = Lz77Mode::kLiteralsOnly};
  // Where the third record starts: this many bytes before the block end (0: filler to the end).
  const std::tuple<const char*, TopicFileOptions, uint32_t> cases[] = {
      {"stored", stored, 30}, {"stored", stored, 10}, {"stored", stored, 0}, {"LZ77", lz77, 30},
      {"LZ77", lz77, 10},     {"LZ77", lz77, 0},      {"HC30", hc30, 30},    {"HC30", hc30, 0},
  };
  for (const auto& [name, options, before_end] : cases) {
    SCOPED_TRACE(testing::Message() << name << ", " << before_end << " bytes before the end");
    TopicRecords topics(options);
    topics.Header({"Blocks"}).Paragraph(EndedParagraph(), {"before", ""});
    if (before_end == 0) {
      topics.writer().FillToBlockEnd(0xAA);
    } else {
      topics.writer().StartBeforeBlockEnd(before_end, 0xAA);
    }
    topics.Paragraph(EndedParagraph(), {"across the block boundary", ""})
        .Paragraph(EndedParagraph(), {"after", ""});
    // The fixture: the third record starts in block 0 (or starts block 1), the fourth in block 1.
    ASSERT_EQ(topics.writer().Position(2) >> topics.writer().shift(), before_end == 0 ? 1u : 0u);
    ASSERT_EQ(topics.writer().Position(3) >> topics.writer().shift(), 1u);
    const std::vector<uint8_t> system = options.hc30
                                            ? BuildHc30SystemFile("HC30 Sample")
                                            : GoldenSystem(kMinorHc31, options.compressed ? 4 : 0);
    const ConversionOutcome out = ConvertHelpBytes(
        AssembleHelpFile(
            {{"|SYSTEM", system}, {"|FONT", OldStyleFontFile()}, {"|TOPIC", topics.Build()}}),
        kRecompileOnePass);
    const std::string rtf = Frame() +
                            (options.hc30 ? Footnote('#', "I\nndc3._e5") + Footnote('$', "Blocks")
                                          : Footnote('$', "B\nlocks")) +
                            Para("before\\par\n") + Para("across the block boundary\\par\n") +
                            Para("after\\par\n") + "}";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
    EXPECT_EQ(out.WarningIds(),
              options.hc30 ? std::vector<int>{kWarnCompiledBy} : std::vector<int>{});
  }
}

// Damaged topic data: no crash, no hang, one warning, well-formed RTF that keeps what came
// before the damage: the topic "Good" and its paragraph "kept".
struct DamageCase {
  const char* name;
  bool with_phrases;  // kPhrases in a compressed HC31 |Phrases (and LZ77 topic blocks)
  std::function<void(TopicRecords&)> damage;  // adds the records after "kept"
  std::string rest;  // what follows "kept" in the RTF, before the closing brace
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
  const std::string kept = Frame() + Footnote('$', "G\nood") + Para("kept\\par\n");
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(kept + c.rest + "}")));
  EXPECT_EQ(out.WarningIds(), std::vector<int>{c.warning});
  for (const auto& w : out.warnings) EXPECT_NE(w.text, "String Id not found");
  out.ExpectWellFormed();
}

TEST(ConvertTopicsGolden, DamagedRecordLinksAndSizes) {
  // After "kept": the paragraph "read" with one field damaged, then (unless `last`) the
  // paragraph "after". `in_next_block`: the damaged record starts block 1.
  using Damage = std::function<void(TopicRecordSpec&, const TopicFileWriter&)>;
  struct Case {
    const char* name;
    bool with_phrases, in_next_block, last;
    Damage damage;
    bool read;  // "read" is written before the damage is noticed
    int warning;
  };
  const int lost = kWarnTopicRecordLost, ends = kWarnTopicStreamEnds;
  const Case cases[] = {
      {"a record size past everything |TOPIC can hold", true, false, false,
       [](auto& r, auto&) { r.record_size = 0x10000000; }, false, kWarnTopicRecordDamaged},
      {"a record size past the data of its block", true, false, false,
       [](auto& r, auto&) { r.record_size = 3000; }, false, ends},
      {"a next-record link that points backwards", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, lost},
      {"a next-record link to the record itself", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.NextPosition()); }, true, lost},
      {"a next-record link into a block already passed", false, true, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, lost},
      {"text longer than the record holds, last record", false, false, true,
       [](auto& r, auto&) { r.expanded_length = 100; }, false, ends},
      {"text longer than the record holds, more records follow", false, false, false,
       [](auto& r, auto&) { r.expanded_length = 100; }, false, ends},
      {"a next-record link beyond the data of its block", false, false, false,
       [](auto& r, auto&) { r.next = 12 + 3000; }, true, lost},
      {"a next-record link into a block past the end", false, false, false,
       [](auto& r, auto&) { r.next = (40 << 14) + 12; }, true, lost},
      {"a next-record link into the block header", false, false, false,
       [](auto& r, auto&) { r.next = 5; }, true, lost},
      {"a record size smaller than its header", false, false, false,
       [](auto& r, auto&) { r.record_size = 0; }, false, lost},
      {"a negative record size", false, false, false, [](auto& r, auto&) { r.record_size = -5; },
       false, lost},
  };
  for (const Case& c : cases) {
    auto damage = [&c](TopicRecords& t) {
      if (c.in_next_block) t.writer().FillToBlockEnd();
      TopicRecordSpec r{.format_part = ParagraphFormatPart(EndedParagraph().Build()),
                        .text_part = TextStrings({"read", ""})};
      c.damage(r, t.writer());
      t.Record(r);
      if (!c.last) t.Paragraph(EndedParagraph(), {"after", ""});
    };
    RunDamageCase({c.name, c.with_phrases, damage, c.read ? Para("read\\par\n") : "", c.warning});
  }
}

TEST(ConvertTopicsGolden, DamagedRecordContents) {
  const std::string after = Para("after\\par\n");
  auto then_after = [](TopicRecordSpec spec) {
    return [spec](TopicRecords& t) { t.Record(spec).Paragraph(EndedParagraph(), {"after", ""}); };
  };
  const DamageCase cases[] = {
      // Phrase 50 of a 3-phrase table adds nothing; the walk goes on.
      {"a phrase number beyond the table", true,
       then_after(CodedParagraph(0x20, Join({Chars("a"), {0x01, 100}, Chars("b\0\0"sv)}), "ab")),
       Para("ab\\par\n") + after, kWarnTopicTextPhrase},
      // The paragraph ends with the data: its text is still written.
      {"formatting data without 0xFF", false,
       then_after({.format_part = ParagraphFormatPart(EndedParagraph().Build(false)),
                   .text_part = TextStrings({"open", ""})}),
       Para("open\\par\n") + after, kWarnParagraphNoEnd},
      // A font change whose number is cut: the command is dropped, the text before it kept.
      {"a command's operands past the formatting data", false,
       then_after(
           {.format_part = ParagraphFormatPart(ParagraphBuilder().Raw({0x80, 0x01}).Build(false)),
            .text_part = TextStrings({"cut", ""})}),
       Para("cut") + after, kWarnParagraphCut},
      {"an unknown record type", false,
       then_after({.type = 0x24, .format_part = {1, 2, 3}, .text_part = TextStrings({"skipped"})}),
       after, kWarnUnknownRecord},
  };
  for (const DamageCase& c : cases) RunDamageCase(c);
  // One warning per unknown record and pass.
  TopicRecords topics;
  topics.Header({"A"})
      .Record({.type = 0x24})
      .Record({.type = 0x24})
      .Paragraph(EndedParagraph(), {"b", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompile);
  ASSERT_EQ(out.WarningIds(), (std::vector<int>(4, kWarnUnknownRecord)));
  EXPECT_EQ(out.warnings[0].text, "Unknown TopicLink-Record Type 36");
}

TEST(ConvertTopicsGolden, NoTopicAtAll) {
  TopicRecords orphans, table_first;
  orphans.Paragraph(EndedParagraph(), {"no topic header", ""});
  table_first.Table(TableLayout(1, {{100, 0}}), {TableCell(0, EndedParagraph().Build())},
                    {"cell", ""});
  const std::string row = "\\par{\\pard\\trowd\\intbl\\trleft00\\cellx1000 \\pard\\s0\\intbl\\ql ";
  // Between the frame and the closing brace, with one pass (a line feed after the session's
  // first character) and after a pre-pass (which counted it already).
  const std::tuple<const char*, std::optional<std::vector<uint8_t>>, std::string, std::string>
      cases[] = {
          {"no |TOPIC", std::nullopt, "", ""},
          {"an empty |TOPIC", std::vector<uint8_t>{}, "", ""},
          {"a paragraph before any topic header", orphans.Build(), Para("n\no topic header\\par\n"),
           Para("no topic header\\par\n")},
          {"a table before any topic header", table_first.Build(),
           row + "c\nell\\cell\\row\\pard}\n", row + "cell\\cell\\row\\pard}\n"},
      };
  for (const auto& [name, topic, one_pass, after_pre_pass] : cases) {
    SCOPED_TRACE(name);
    Files files = {{"|SYSTEM", GoldenSystem()}, {"|FONT", OldStyleFontFile()}};
    if (topic) files.push_back({"|TOPIC", *topic});
    for (ConversionOptions options : {kRecompileOnePass, kRecompile}) {
      const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), options);
      ASSERT_FALSE(out.fatal) << *out.fatal;
      const std::string& body = options == kRecompile ? after_pre_pass : one_pass;
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
