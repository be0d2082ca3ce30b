// Golden tests of whole conversions: the session's line feeds (after the characters numbered 0,
// 64, 128, ... of the session, a browse pre-pass counting into the null sink too), the
// compilers' layouts (phrase tables, topic blocks), damaged topic data and files without
// topics. (Records across block boundaries and filler: the topic walk test and every corpus
// file.)
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "core/strings.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::string_view_literals;
using Files = std::vector<std::pair<std::string, std::vector<uint8_t>>>;

std::vector<uint8_t> Chars(std::string_view text) {
  return {text.begin(), text.end()};
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

const std::vector<std::string> kPhrases = {"Quorvex", "help file", "window"};
const std::string kPhrasedText = "Use Quorvex to read a help file.";
// kPhrasedText and "" in the older codes: bytes 1..15 and the next make code (byte - 1) * 256 +
// next, phrase code / 2, then a space when the code is odd.
const std::vector<uint8_t> kOldCoded = Chars("Use \x01\x01to read a \x01\x02.\0\0"sv);
// The same in the HCRTF codes: b & 7 = 3: (b >> 3) + 1 literal bytes; b & 15 = 7: one space;
// even b: phrase b / 2; b & 15 = 15: (b >> 4) + 1 NULs.
const std::vector<uint8_t> kHcrtfCoded =
    Chars("\x13Use\x07\x00\x07\x43to read a\x07\x02\x03.\x1F"sv);

/// A paragraph record whose stored text `stored` expands to the strings {text, ""}.
TopicRecordSpec CodedParagraph(uint8_t type, std::vector<uint8_t> stored, const std::string& text) {
  return {.type = type,
          .format_part = ParagraphFormatPart(EndedParagraph().Build(), type),
          .text_part = std::move(stored),
          .expanded_length = static_cast<int32_t>(text.size() + 2)};
}

TEST(ConvertTopicsGolden, CompilersPhraseTablesAndTopicBlocks) {
  // 130 HCRTF phrases, so that phrase 129 needs the two-byte code.
  std::vector<std::string> many = kPhrases;
  while (many.size() < 129) many.push_back("p" + std::to_string(many.size()));
  many.push_back("two-byte");
  const TopicFileOptions lz77{.compressed = true, .mode = Lz77Mode::kGreedy};
  const RtfPhraseFiles rtf_phrases = BuildRtfPhrases(many, 3, true);
  // HC30: 2048-byte blocks stored even with the LZ77 flag, next fields that are distances,
  // 12-byte topic headers, paragraphs of type 1, |Phrases never compressed; HC30 topics are
  // never reported for a missing context string.
  const std::tuple<const char*, TopicFileOptions, Files, std::vector<int>> cases[] = {
      {"HC30",
       {.hc30 = true},
       {{"|SYSTEM", BuildHc30SystemFile("HC30 Sample", kFlagsLz77)},
        {"|Phrases", BuildHc30Phrases(kPhrases)},
        {"|FONT", OldStyleFontFile()}},
       {kWarnCompiledBy}},
      {"HC31, compressed phrases, LZ77 topic blocks",
       lz77,
       {{"|SYSTEM", GoldenSystem(kMinorHc31, kFlagsLz77)},
        {"|Phrases", BuildHc31Phrases(kPhrases, Lz77Mode::kGreedy)},
        {"|FONT", OldStyleFontFile()}},
       {kWarnNoContextId}},
      {"HCRTF, |PhrImage compressed, LZ77 topic blocks",
       lz77,
       {{"|SYSTEM", GoldenSystem(kMinorHcrtf, kFlagsLz77)},
        {"|PhrIndex", rtf_phrases.index},
        {"|PhrImage", rtf_phrases.image},
        {"|FONT", NewStyleFontFile()}},
       {kWarnCompiledBy, kWarnNoContextId}},
  };
  for (const auto& [name, options, files, warnings] : cases) {
    SCOPED_TRACE(name);
    const bool hc30 = options.hc30, rtf_codes = files[1].first == "|PhrIndex";
    TopicRecords topics(options);
    topics.Header({"First"}, {.number = 0})
        .Record(CodedParagraph(hc30 ? 1 : 0x20, rtf_codes ? kHcrtfCoded : kOldCoded, kPhrasedText));
    // 0x01 0x01: b & 3 = 1, phrase 128 + (b >> 2) * 256 + 1 = 129; 0x1F: two NULs.
    if (rtf_codes) topics.Record(CodedParagraph(0x20, {0x01, 0x01, 0x1F}, "two-byte"));
    // Stored as long as expanded: the older codes, under which these bytes stand for themselves.
    topics.Header({"Second"}, {.number = 1}).Paragraph(EndedParagraph(), {"plain text", ""});
    // HC30 ends at the topic header whose first field is 8 or less; what follows is not read.
    if (hc30) topics.Header({}, {.first_field = 8}).Paragraph(EndedParagraph(), {"never", ""});
    Files all = files;
    all.push_back({"|TOPIC", topics.Build()});
    const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(all), kRecompileOnePass);
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
    const std::string project = std::string("Compress=") +
                                (hc30 || options.compressed ? "HIGH" : "FALSE") +
                                "\nTitle=" + (hc30 ? "HC30 Sample" : kGoldenTitle) + "\n";
    EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"), ProjectFile({"TEST.RTF"}, project)));
    EXPECT_EQ(out.WarningIds(), warnings);
    out.ExpectWellFormed();
  }
}

// Damaged topic data: no crash, no hang, one warning, well-formed RTF that keeps what came
// before the damage: the topic "Good" and its paragraph "kept".
void ExpectDamage(const char* name, bool with_phrases,
                  const std::function<void(TopicRecords&)>& damage, const std::string& rest,
                  int warning) {
  SCOPED_TRACE(name);
  TopicRecords topics(with_phrases ? TopicFileOptions{.compressed = true, .mode = Lz77Mode::kGreedy}
                                   : TopicFileOptions{});
  topics.Header({"Good"}, {.number = 7}).Paragraph(EndedParagraph(), {"kept", ""});
  damage(topics);
  Files files = {{"|SYSTEM", GoldenSystem(kMinorHc31, with_phrases ? kFlagsLz77 : 0)},
                 {"|FONT", OldStyleFontFile()},
                 {"|TOPIC", topics.Build()}};
  if (with_phrases) files.push_back({"|Phrases", BuildHc31Phrases(kPhrases)});
  const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), kRecompileOnePass);
  ASSERT_FALSE(out.fatal) << *out.fatal;
  const std::string kept = Frame() + Footnote('$', "G\nood") + Para("kept\\par\n");
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(kept + rest + "}")));
  EXPECT_EQ(out.WarningIds(), std::vector<int>{warning});
  for (const auto& w : out.warnings) EXPECT_NE(w.text, "String Id not found");
  out.ExpectWellFormed();
}

TEST(ConvertTopicsGolden, DamagedRecordLinksAndSizes) {
  // After "kept": the paragraph "read" with one field damaged, then (unless `last`) the
  // paragraph "after". `next_block`: the damaged record starts block 1. `read`: "read" is
  // written before the damage is noticed.
  using Damage = std::function<void(TopicRecordSpec&, const TopicFileWriter&)>;
  const int lost = kWarnTopicRecordLost, ends = kWarnTopicStreamEnds;
  const std::tuple<const char*, bool, bool, bool, Damage, bool, int> cases[] = {
      {"a record size past everything |TOPIC can hold", true, false, false,
       [](auto& r, auto&) { r.record_size = 0x10000000; }, false, kWarnTopicRecordDamaged},
      {"a record size past the data of its block", true, false, false,
       [](auto& r, auto&) { r.record_size = 3000; }, false, ends},
      {"a next-record link that points backwards", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, lost},
      {"a next-record link into a block already passed", false, true, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, true, lost},
      {"text longer than the record holds, last record", false, false, true,
       [](auto& r, auto&) { r.expanded_length = 100; }, true, kWarnTopicTextOutside},
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
  for (const auto& [name, with_phrases, next_block, last, damage, read, warning] : cases) {
    auto add = [&](TopicRecords& t) {
      if (next_block) t.writer().FillToBlockEnd();
      TopicRecordSpec r{.format_part = ParagraphFormatPart(EndedParagraph().Build()),
                        .text_part = TextStrings({"read", ""})};
      damage(r, t.writer());
      t.Record(r);
      if (!last) t.Paragraph(EndedParagraph(), {"after", ""});
    };
    ExpectDamage(name, with_phrases, add, read ? Para("read\\par\n") : "", warning);
  }
}

TEST(ConvertTopicsGolden, DamagedRecordContents) {
  auto then_after = [](TopicRecordSpec spec) {
    return [spec](TopicRecords& t) { t.Record(spec).Paragraph(EndedParagraph(), {"after", ""}); };
  };
  const std::string after = Para("after\\par\n");
  // A font change whose number is cut: the command is dropped, the text before it kept.
  ExpectDamage("a command's operands past the formatting data", false,
               then_after({.format_part = ParagraphFormatPart(
                               ParagraphBuilder().Raw({0x80, 0x01}).Build(false)),
                           .text_part = TextStrings({"cut", ""})}),
               Para("cut") + after, kWarnParagraphCut);
  // One warning per unknown record and pass.
  TopicRecords topics;
  topics.Header({"A"})
      .Record({.type = 0x24})
      .Record({.type = 0x24, .format_part = {1, 2, 3}, .text_part = TextStrings({"skipped"})})
      .Paragraph(EndedParagraph(), {"b", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompile);
  ASSERT_EQ(out.WarningIds(), (std::vector<int>(4, kWarnUnknownRecord)));
  EXPECT_EQ(out.warnings[0].text, "Unknown TopicLink-Record Type 36");
  const std::string rtf = Frame() + Footnote('$', "A") + Para("b\\par\n") + "}";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(rtf)));
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
