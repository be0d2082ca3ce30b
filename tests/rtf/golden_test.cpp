// Golden tests of whole conversions, byte for byte: the compilers' layouts, damaged topic data,
// paragraphs and tables, a topic's identity in both modes, printing mode and split RTF files,
// where the session's line feeds (after its characters 0, 64, 128, ..., a browse pre-pass
// counting too) fall everywhere. (Records across blocks and filler: the topic walk, the corpus.)
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>

#include "core/strings.h"
#include "core/topic_walk.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using namespace std::string_view_literals;

const std::vector<std::string> kPhrases = {"Quorvex", "help file", "window"};
const std::string kPhrasedText = "Use Quorvex to read a help file.";
// kPhrasedText and "" in the older codes: bytes 1..15 and the next make code (byte - 1) * 256 +
// next, phrase code / 2, then a space when the code is odd.
const std::vector<uint8_t> kOldCoded = AsBytes("Use \x01\x01to read a \x01\x02.\0\0"sv);
// The same in the HCRTF codes: b & 7 = 3: (b >> 3) + 1 literal bytes; b & 15 = 7: one space;
// even b: phrase b / 2; b & 15 = 15: (b >> 4) + 1 NULs.
const std::vector<uint8_t> kHcrtfCoded =
    AsBytes("\x13Use\x07\x00\x07\x43to read a\x07\x02\x03.\x1F"sv);

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
  const std::tuple<const char*, TopicFileOptions, HelpFiles, std::vector<int>> cases[] = {
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
        .Record(StoredParagraph(rtf_codes ? kHcrtfCoded : kOldCoded,
                                int32_t(kPhrasedText.size() + 2), hc30 ? 1 : 0x20));
    // 0x01 0x01: b & 3 = 1, phrase 128 + (b >> 2) * 256 + 1 = 129 ("two-byte"); 0x1F: two NULs.
    if (rtf_codes) topics.Record(StoredParagraph({0x01, 0x01, 0x1F}, 10));
    // Stored as long as expanded: the older codes, under which these bytes stand for themselves.
    topics.Header({"Second"}, {.number = 1}).Paragraph(EndedParagraph(), {"plain text", ""});
    // HC30 ends at the topic header whose first field is 8 or less; what follows is not read.
    if (hc30) topics.Header({}, {.first_field = 8}).Paragraph(EndedParagraph(), {"never", ""});
    HelpFiles all = files;
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
  }
}

// Damaged topic data: no crash, no hang, one warning, well-formed RTF that keeps what came
// before the damage: the topic "Good" and its paragraph "kept".
TEST(ConvertTopicsGolden, DamagedRecordLinksSizesAndContents) {
  // After "kept": the paragraph "read" with one field damaged, then (unless `last`) the
  // paragraph "after". `next_block`: the damaged record starts block 1. `rest`: what is written
  // after "kept".
  using Damage = std::function<void(TopicRecordSpec&, const TopicRecords&)>;
  const int lost = kWarnTopicRecordLost, ends = kWarnTopicStreamEnds;
  const std::string read = Para("read\\par\n");
  const std::tuple<const char*, bool, bool, bool, Damage, std::string, int> cases[] = {
      {"a record size past everything |TOPIC can hold", true, false, false,
       [](auto& r, auto&) { r.record_size = 0x10000000; }, "", kWarnTopicRecordDamaged},
      {"a record size past the data of its block", true, false, false,
       [](auto& r, auto&) { r.record_size = 3000; }, "", ends},
      {"a next-record link that points backwards", false, false, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, read, lost},
      {"a next-record link into a block already passed", false, true, false,
       [](auto& r, auto& w) { r.next = int32_t(w.Position(1)); }, read, lost},
      {"text longer than the record holds, last record", false, false, true,
       [](auto& r, auto&) { r.expanded_length = 100; }, read, kWarnTopicTextOutside},
      {"a next-record link beyond the data of its block", false, false, false,
       [](auto& r, auto&) { r.next = 12 + 3000; }, read, lost},
      {"a next-record link into a block past the end", false, false, false,
       [](auto& r, auto&) { r.next = (40 << 14) + 12; }, read, lost},
      {"a next-record link into the block header", false, false, false,
       [](auto& r, auto&) { r.next = 5; }, read, lost},
      {"a record size smaller than its header", false, false, false,
       [](auto& r, auto&) { r.record_size = 0; }, "", lost},
      {"a negative record size", false, false, false, [](auto& r, auto&) { r.record_size = -5; },
       "", lost},
      // A font change whose number is cut: the command is dropped, the text before it kept.
      {"a command's operands past the formatting data", false, false, false,
       [](auto& r, auto&) {
         r.format_part = ParagraphFormatPart(ParagraphBuilder().Raw({0x80, 0x01}).Build(false));
       },
       Para("read") + Para("after\\par\n"), kWarnParagraphCut},
  };
  for (const auto& [name, with_phrases, next_block, last, damage, rest, warning] : cases) {
    SCOPED_TRACE(name);
    TopicRecords topics({.compressed = with_phrases, .mode = Lz77Mode::kGreedy});
    topics.Header({"Good"}, {.number = 7}).Paragraph(EndedParagraph(), {"kept", ""});
    if (next_block) topics.FillToBlockEnd();
    TopicRecordSpec r = StoredParagraph(TextStrings({"read", ""}), 6);
    damage(r, topics);
    topics.Record(r);
    if (!last) topics.Paragraph(EndedParagraph(), {"after", ""});
    HelpFiles files = {{"|SYSTEM", GoldenSystem(kMinorHc31, with_phrases ? kFlagsLz77 : 0)},
                       {"|FONT", OldStyleFontFile()},
                       {"|TOPIC", topics.Build()}};
    if (with_phrases) files.push_back({"|Phrases", BuildHc31Phrases(kPhrases)});
    const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), kRecompileOnePass);
    ASSERT_FALSE(out.fatal) << *out.fatal;
    const std::string kept = Frame() + Footnote('$', "G\nood") + Para("kept\\par\n");
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(kept + rest + "}")));
    EXPECT_EQ(out.WarningIds(), std::vector<int>{warning});
    for (const auto& w : out.warnings) EXPECT_NE(w.text, "String Id not found");
  }
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
    HelpFiles files = {{"|SYSTEM", GoldenSystem()}, {"|FONT", OldStyleFontFile()}};
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
    }
  }
}

// The main pass takes the records the pre-pass kept, with what it looks up found ahead on a
// second thread (or on its own thread, with one): browse sequences, context marks, keywords
// (one record's too large for the hand-over ring), jump targets, a stored picture after which
// the writer looks names up itself. It writes what a main pass that reads the file again
// writes, as when the pre-pass met an unknown record (warning 20) and kept nothing.
TEST(ConvertTopicsGolden, MainPassFromKeptRecordsWritesWhatAFreshReadWrites) {
  // The picture's hotspot names "IDH_KEPT", which the jumps to its hash take from then on.
  const auto bitmap =
      PictureContainer({BitmapPicture({.palette = std::vector<uint8_t>(64, 9),
                                       .pixels = std::vector<uint8_t>(16, 0x12),
                                       .hotspots = HotspotBlock({{0x00E3, "h", "IDH_KEPT"}})})});
  const uint32_t kept_hash = ContextHash("IDH_KEPT");
  for (const bool hc30 : {false, true}) {
    SCOPED_TRACE(hc30 ? "HC30" : "HC31");
    TopicRecords t(TopicFileOptions{.hc30 = hc30});
    constexpr int kTopics = 3000;
    for (int i = 0; i < kTopics; ++i) {
      // HC30 names browse topics by number; the others by TopicOffset (here mostly no topic's).
      const int32_t back = hc30 ? i : i * 211, forward = hc30 ? i + 2 : (i + 1) * 211;
      t.Header(
          {"Topic " + std::to_string(i)},
          {.browse_back = i % 9 ? back : -1, .browse_forward = i % 7 ? forward : -1, .number = i});
      ParagraphBuilder p;
      p.JumpShort(0xE3, uint32_t(i * 7919)).Command(kCmdHotspotEnd);
      if (i % 3 == 0) p.JumpShort(0xE2, uint32_t(i % 50)).Command(kCmdHotspotEnd);
      if (i % 100 == 0) p.JumpShort(0xE3, kept_hash).Command(kCmdHotspotEnd);
      if (i == kTopics / 2) {
        // More jumps than the answering side gathers at once, in the record with the picture.
        for (uint32_t j = 0; j < 40; ++j) p.JumpShort(0xE3, j * 7919).Command(kCmdHotspotEnd);
        p.PictureStored(0x86, bitmap);
      }
      t.Paragraph(p.Command(kCmdParagraphEnd),
                  {"see ", "this", " or ", "that", std::string(20 + i % 30, 'a' + i % 26), ""});
    }
    ContextEntries contexts;
    KeywordEntries k, a;
    for (uint32_t i = 0; i < 4000; ++i) {
      const uint32_t offset =
          hc30 ? (i / 20) << 11 | (12 + i % 20) : (i / 40) << 15 | (i % 40) * 53;
      contexts.push_back({i * 2654435761u, offset});
      k.push_back({"key " + std::to_string(i), {offset, offset + 1}});
      if (i % 3 == 0) a.push_back({"a" + std::to_string(i), {offset}});
    }
    for (int i = 0; i < 40; ++i)
      k.push_back({std::string(900, char('A' + i % 26)) + std::to_string(i), {0}});
    std::sort(contexts.begin(), contexts.end());
    std::sort(k.begin(), k.end());
    std::sort(a.begin(), a.end());
    const KeywordFiles kw = BuildKeywordFiles(k), aw = BuildKeywordFiles(a);
    HelpFiles files = {{"|SYSTEM", hc30 ? BuildHc30SystemFile("Kept") : GoldenSystem()},
                       {"|FONT", OldStyleFontFile()},
                       {"|CONTEXT", BuildContextFile(contexts)},
                       {"|KWBTREE", kw.btree},
                       {"|KWDATA", kw.data},
                       {"|AWBTREE", aw.btree},
                       {"|AWDATA", aw.data}};
    HelpFiles unknown = files;
    files.push_back({"|TOPIC", t.Build()});
    unknown.push_back(
        {"|TOPIC", t.Record({.type = 0x55, .text_part = TextStrings({"?"})}).Build()});
    const ConversionOutcome ahead = ConvertHelpBytes(AssembleHelpFile(files), kRecompile);
    ASSERT_FALSE(ahead.fatal) << *ahead.fatal;
    const std::string rtf = ahead.File("TEST.RTF");
    for (const char* mark : {"{#{\\footnote", "{K{\\footnote", "{+{\\footnote",
                             "\\strike0\\ul0{\\v ", "{bmcwd bmw", "{\\v IDH_KEPT}"})
      EXPECT_NE(rtf.find(mark), std::string::npos) << mark;
    // HC30's browse topics are numbers: one chain of topics 1 to 9, ...
    if (hc30) {
      EXPECT_NE(rtf.find("grp0001:9"), std::string::npos);
    }
    // (HC30 topics take their K keywords only)
    EXPECT_EQ(rtf.find("{A{\\footnote") != std::string::npos, !hc30);
    const ConversionOutcome one_thread =
        ConvertHelpBytes(AssembleHelpFile(files), kRecompile, "TEST.HLP", false);
    const ConversionOutcome fresh = ConvertHelpBytes(AssembleHelpFile(unknown), kRecompile);
    // Once in each pass.
    EXPECT_EQ(IdsOf(fresh.warnings, kWarnUnknownRecord), ahead.WarningIds());
    EXPECT_EQ(fresh.warnings.size(), ahead.warnings.size() + 2);
    for (const ConversionOutcome* other : {&one_thread, &fresh}) {
      EXPECT_TRUE(SameBytes(other->File("TEST.RTF"), rtf));
      EXPECT_EQ(other->File("TEST.HPJ"), ahead.File("TEST.HPJ"));
    }
    EXPECT_EQ(one_thread.WarningIds(), ahead.WarningIds());
  }
}

// Paragraphs: each help file is HC31 (HCRTF for the 42-byte font descriptors) with one topic
// "P" (or "T"); the title's first character is the session's first, so a line feed follows it,
// and everything else stays below the 65th character.

/// The RTF of topic "P" (its "P" then a line feed) whose records give `body`.
std::string Document(std::string_view body, bool hcrtf = false) {
  return Frame(hcrtf ? kNewStyleFontTables : kOldStyleFontTables) + Footnote('$', "P\n") +
         std::string(body) + "}";
}

TEST(ParagraphGolden, TextEscaping) {
  // Braces, backslash, bytes 0x7F to 0xFF, tab and control characters, in text and footnotes.
  TopicRecords topics;
  topics.Header({"A{1}", "M({x})"})
      .Paragraph(EndedParagraph(), {"a{b}\\c\xE9\r\n\x80\tx\x1Fy\x7F\xFF~", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompileOnePass);
  EXPECT_TRUE(SameBytes(
      out.File("TEST.RTF"),
      Crlf(Frame() + Footnote('$', "A\n\\{1\\}") + Footnote('!', "M(\\{x\\})") +
           Para("a\\{b\\}\\\\c\\'e9(0x0d)(0x0a)\\'80\\tab x(0x1f)y\x7F\\'ff~\\par\n") + "}")));
  EXPECT_TRUE(out.warnings.empty());
}

TEST(ParagraphGolden, ParagraphProperties) {
  // Measures times 10 with 11-byte font descriptors, times 1 with 42-byte ones; tab positions
  // always times 10. With BmpInRtf a negative line spacing loses its sign.
  const std::tuple<bool, ConversionOptions, std::string> cases[] = {
      {false, kRecompileOnePass, "\\sb600\\sa120\\sl-240\\li-360\\ri50\\fi-180"},
      {true, kRecompileOnePass, "\\sb60\\sa12\\sl-24\\li-36\\ri5\\fi-18"},
      {false, kRecompileOnePass | kBmpInRtf, "\\sb600\\sa120\\sl240\\li-360\\ri50\\fi-180"},
  };
  // Borders left, bottom, thick; tabs right, centred, left; keep, centred. Then borders box, top,
  // bar, right, thin; right-aligned. Then both alignment bits.
  ParagraphBuilder props, right;
  props.SpaceBefore(60).SpaceAfter(12).LineSpacing(-24).LeftIndent(-36).RightIndent(5);
  props.FirstIndent(-18).Border(0x80 | 0x08 | 0x20).Tab(360, 0x02).Tab(256, 0x04).Tab(100);
  props.Bits(0x1000 | 0x0800).Command(0x82);
  right.UnknownPair(3, -4).Border(0x01 | 0x02 | 0x04 | 0x10).Bits(0x0400).Command(0x82);
  TopicRecords topics;
  topics.Header({"P"})
      .Paragraph(props, {"props", ""})
      .Paragraph(right, {"right", ""})
      .Paragraph(ParagraphBuilder().Bits(0x0C00).Command(0x82), {"both", ""});
  for (const auto& [hcrtf, options, measures] : cases) {
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics, hcrtf), options);
    const std::string body = "\\pard\\s0\\keep\\qc" + measures +
                             "\\brdrl\\brdrb\\brdrth\\tqr\\tx3600\\tqc\\tx2560\\tx1000 props\\par\n"
                             "\\pard\\s0\\qr\\brdrr\\brdrbar\\brdrt\\box\\brdrs right\\par\n"
                             "\\pard\\s0\\qc both\\par\n";
    EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(body, hcrtf)))) << measures;
  }
}

/// Converts topic "P" whose only paragraph is `paragraph` with `texts` (one before each command
/// and the last) and expects the paragraph `body` and `warnings`.
void ExpectParagraph(const char* name, const ParagraphBuilder& paragraph,
                     const std::vector<std::string>& texts, const std::string& body,
                     const std::vector<int>& warnings = {},
                     ConversionOptions options = kRecompileOnePass) {
  SCOPED_TRACE(name);
  TopicRecords topics;
  topics.Header({"P"}).Paragraph(paragraph, texts);
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(Para(body)))));
  EXPECT_EQ(out.WarningIds(), warnings);
}

TEST(ParagraphGolden, Commands) {
  using B = ParagraphBuilder;
  ExpectParagraph("font changes, a line break, a tab and a command without meaning",
                  B().Font(1).Font(0).Command(0x81).Command(0x83).Command(0x84).Command(0x82),
                  {"Plain ", "bold", " again", "next line", "tabbed", " on", ""},
                  "Plain " + std::string(kOldStyleFont1) + " bold" + std::string(kOldStyleFont0) +
                      "  again\\line\nnext line\\tab tabbed on\\par\n");
  ExpectParagraph("a font beyond the font table", B().Font(5).Command(0x82), {"x", "y", ""},
                  "xy\\par\n", {kWarnIllegalFont});
  // Braces and backslashes of a macro stay text in the hidden group.
  ExpectParagraph(
      "macro hotspots with Jumps",
      B().Macro("E(\"c:\\x{1}\")").Command(0x89).Macro("Print()", true).Command(0x89).Command(0x82),
      {"Click ", "here", " or ", "there", ".", ""},
      "Click \\strike here\\strike0\\ul0{\\v !E(\"c:\\\\x\\{1\\}\")} or \\strike "
      "there\\strike0\\ul0{\\v %!Print()}.\\par\n");
  ExpectParagraph("a macro hotspot without Jumps", B().Macro("Exit()").Command(0x89).Command(0x82),
                  {"Click ", "here", ".", ""}, "Click here\\strike0\\ul0{\\v !Exit()}.\\par\n", {},
                  kPageBreak);
  ExpectParagraph("a font change inside a hotspot keeps its underline",
                  B().Macro("Exit()").Font(1).Command(0x89).Command(0x82),
                  {"Click ", "he", "re", ".", ""},
                  "Click \\strike he\\f1\\cf1\\fs24\\b\\i0 re\\strike0\\ul0{\\v !Exit()}.\\par\n");
  // The first end closes the hotspot, the second has no start.
  ExpectParagraph("a hotspot end without a start",
                  B().Macro("M()").Command(0x89).Command(0x89).Command(0x82), {"", "z", "", "", ""},
                  "\\strike z\\strike0\\ul0{\\v !M()}\\par\n", {kWarnHotspotEnd});
  // Its hidden text is never written.
  ExpectParagraph("a hotspot open at the paragraph end", B().Macro("M()"), {"", "open"},
                  "\\strike open");
  ExpectParagraph("a macro of length 0", B().Raw({0xC8, 0x00, 0x00}).Command(0x82), {"a", "b", ""},
                  "ab\\par\n", {kWarnIllegalMacro});
  // 0xE3 wants 4 bytes of hash: the target is invalid and opens no hotspot.
  ExpectParagraph("a jump target cut short", B().Raw({0xE3, 0x89, 0x82}), {"", "Go", "", ""},
                  "Go\\par\n", {kWarnIllegalHotspot, kWarnHotspotEnd});
  ExpectParagraph("a button, a media object and embedded windows",
                  B().EmbeddedObject(0x86, "!Print()")
                      .EmbeddedObject(0x86, "*8,3,+movie.avi")
                      .EmbeddedObject(0x86, "c")
                      .EmbeddedObject(0x87, "ew.dll,W,x")
                      .EmbeddedObject(0x88, "R.dll,W,")
                      .Command(0x82),
                  {"B: ", " media: ", " ", " window: ", " ", "", ""},
                  "B: \\{button Print()\\} media: \\{mci  nomenu repeat play,movie.avi\\} \\{ewc "
                  "c\\} window: \\{ewl ew.dll,W,x\\} \\{ewr R.dll,W,\\}\\par\n");
}

TEST(ParagraphGolden, HotspotFormsWithAndWithoutJumpsAndPageLinks) {
  // ContextHash("intro"); a made-up name spells it back.
  constexpr uint32_t kIntro = 87923292;
  const std::string page = "{\\v0  \xBBPage \\field{\\*\\fldinst PAGEREF B0x053D9A5C}}";
  auto ext = [](uint8_t code, std::optional<uint8_t> window, std::optional<std::string> name,
                std::optional<std::string> file) {
    return std::move(ParagraphBuilder().JumpExtended(code, kIntro, window, name, file));
  };
  auto jump = [](uint8_t code) { return std::move(ParagraphBuilder().JumpShort(code, kIntro)); };
  const ConversionOptions one = kRecompileOnePass, print = kForPrint;
  const std::nullopt_t none = std::nullopt;
  // The hotspot, the options, what comes before "Go", the hidden text, the warnings.
  const std::tuple<ParagraphBuilder, ConversionOptions, std::string, std::string, std::vector<int>>
      cases[] = {
          {jump(0xE3), one, "\\strike ", "intro", {}},
          {jump(0xE0), one, "\\ul ", "intro", {}},       // a popup
          {jump(0xE7), one, "\\strike ", "%intro", {}},  // keeps the font
          {ext(0xEE, 0xFF, "proc", "other.hlp"), one, "\\ul ", "%intro>main>proc@other.hlp", {}},
          {ext(0xEA, none, "a{b}", none), one, "\\ul ", "intro>a\\{b\\}", {}},
          {ext(0xEB, 3, none, none), one, "\\strike ", "intro", {kWarnIllegalWindow}},
          {jump(0xE1), print | kJumps | kPageLinks, "\\strike ", "0x053D9A5C" + page, {}},
          {jump(0xE1), print | kPageLinks, "", page, {}},
          {ext(0xEB, 0xFF, none, none), print | kPageLinks, "", "", {}},  // not for extended
          {jump(0xE3), print, "", "", {}},
      };
  for (const auto& [hotspot, options, before, hidden, warnings] : cases) {
    TopicRecords topics;
    ParagraphBuilder p = hotspot;
    topics.Header({"T"}).Paragraph(p.Command(0x89).Command(0x82), {"", "Go", "", ""});
    const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), options);
    const std::string para = Crlf(Para(before + "Go\\strike0\\ul0{\\v " + hidden + "}\\par\n"));
    EXPECT_NE(out.File("TEST.RTF").find(para), std::string::npos) << para;
    EXPECT_EQ(out.WarningIds(), warnings) << para;
  }
}

TEST(ParagraphGolden, TableRowsOfEachType) {
  const std::vector<uint8_t> ended = EndedParagraph().Build();
  TopicRecords topics;
  topics
      .Header({"P"})
      // Type 1 right after the topic header: "\par" first. Column 0 holds two paragraphs.
      .Table(TableLayout(1, {{200, 30}, {300, 20}}),
             {TableCell(0, ended), TableCell(0, ended), TableCell(1, ended)},
             {"A", "", "B", "", "C", ""})
      .Paragraph(EndedParagraph(), {"Between", ""})
      // Type 0 after a paragraph: no "\par"; every width and spacing scaled by 16383 / 32767.
      .Table(TableLayout(0, {{200, 30}, {300, 20}}, 16383),
             {TableCell(0, ended), TableCell(1, ended)}, {"D", "", "E", ""})
      // Type 3, one column: no gap, boundaries not multiplied.
      .Table(TableLayout(3, {{500, 40}}), {TableCell(0, ended)}, {"F", ""})
      // Type 2 is not supported: the row is opened and closed, its cells are not written.
      .Table(TableLayout(2, {{100, 10}}), {TableCell(0, ended)}, {"G", ""})
      .Paragraph(EndedParagraph(), {"End", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(topics), kRecompileOnePass);
  // Type 1: gap 20, x = 30 - 10 = 20, left edge 20 - 10 = 10, boundaries 240 and 560, times 10.
  // Type 0: columns (100, 15) and (150, 10): gap 10, x = 10, left edge 5, boundaries 120, 280.
  // Type 3: x = 40, boundary 540.
  const std::string body =
      "\\par{\\pard\\trowd\\intbl\\trgaph200\\trleft100\\cellx2400\\cellx5600 "
      "\\pard\\s0\\intbl\\ql A\\par\n\\pard\\s0\\intbl\\ql B\\cell "
      "\\pard\\s0\\intbl\\ql C\\cell\\row\\pard}\n\\pard\\s0\\ql Between\\par\n"
      "{\\pard\\trowd\\intbl\\trqc\\trgaph100\\trleft50\\cellx1200\\cellx2800 "
      "\\pard\\s0\\intbl\\ql D\\cell \\pard\\s0\\intbl\\ql E\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl\\trleft400\\cellx540 \\pard\\s0\\intbl\\ql F\\cell\\row\\pard}\n"
      "{\\pard\\trowd\\intbl}\n\\pard\\s0\\ql End\\par\n";
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"), Crlf(Document(body))));
  ASSERT_EQ(out.WarningIds(), std::vector<int>{kWarnTableFormat});
  EXPECT_EQ(out.warnings[0].text, "Table Format not Supported");
}

// Printing mode and split files. The texts here are long enough for the character writer's line
// feeds to fall anywhere, and the template path depends on where the test program lies, so the
// expected texts pass every counted text through Counted(), which puts the line feeds where the
// writer must. One counted piece per statement: the operands of + are evaluated in no fixed order.

/// The writer's output for `text` (characters that need no escape) when `count` characters of
/// the session came before it; advances `count`.
std::string Counted(std::string_view text, uint64_t& count) {
  std::string out;
  for (char c : text) {
    out += c;
    if (count++ % 64 == 0) out += '\n';
  }
  return out;
}

/// The frame of a printing-mode RTF file named `name` with the template line (PageLinks, Toc or
/// Index: the test program's own folder).
std::string PrintFrame(std::string_view name, uint64_t& count) {
  std::string f = Frame();
  const std::filesystem::path exe = std::filesystem::canonical("/proc/self/exe");
  const std::string path = (exe.parent_path() / "QUORVEX.DOT").string();
  EXPECT_EQ(path.find_first_of("\\{}"), std::string::npos) << "a path the test cannot spell";
  f.insert(f.size() - kStylesheet.size(), "{\\*\\template " + Counted(path, count) + "}");
  f += std::string(kPageHeaderStart) + std::string(name) + "\\fs15\\tab ";
  f += Counted(kGoldenTitle, count) + std::string(kPageHeaderEnd);
  return f;
}

/// The contents field with its result: the titles with their level's style (s25, s26\li200).
std::string TocField(const std::vector<std::pair<std::string, int>>& titles) {
  std::string f =
      "{\\b\\f0\\fs40 Contents}\\par {\\field\\fldedit {\\*\\fldinst TOC \\\\f}{\\fldrslt ";
  for (const auto& [title, level] : titles)
    f += (level == 1 ? "\\pard\\plain\\s25\\b " : "\\pard\\plain\\s26\\li200 ") + title + "\\par\n";
  return f + "}}\\page ";
}

/// A table-of-contents entry: level 1 without, level 2 with a browse predecessor.
std::string TocEntry(std::string_view title, int level, uint64_t& count) {
  return "{\\pard\\plain\\f0\\v\\tc{" + Counted(title, count) + "}\\tcl" + std::to_string(level) +
         "}\n";
}
std::string IndexEntry(std::string_view keyword, uint64_t& count) {
  return "{\\pard\\plain\\v\\xe {" + Counted(keyword, count) + "}}\n";
}
std::string CountedPara(std::string_view text, uint64_t& count) {
  return "\\pard\\s0\\ql " + Counted(text, count) + "\\par\n";
}

TEST(PrintGolden, TopicIdentityInBothModes) {
  // ContextHash("intro") and ContextHash("third"), in hash order; a hash of 0 is never a
  // topic's context. The topics cover TopicOffsets 0-6, 7-13 (no context) and 14-18; "gamma"
  // points inside the second topic's record, the other keywords at the starts of records.
  constexpr uint32_t kIntro = 87923292, kThird = 125032711;
  TopicRecords topics;
  topics.Header({"Intro", "M()"}, {.number = 0})
      .Paragraph(EndedParagraph(), {"Hello", ""})
      .Header({"Second"}, {.number = 1})
      .Paragraph(EndedParagraph(), {"World", ""})
      .Header({"Third"}, {.browse_back = 0, .number = 2})
      .Paragraph(EndedParagraph(), {"End", ""});
  const KeywordFiles k = BuildKeywordFiles(
      {{"Alpha", {11}}, {"alpha", {0}}, {"beta", {0, 14}}, {"delta", {14}}, {"gamma", {11}}});
  const KeywordFiles a = BuildKeywordFiles({{"ax", {0}}});
  const std::vector<uint8_t> help =
      AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                        {"|FONT", OldStyleFontFile()},
                        {"|TOPIC", topics.Build()},
                        {"|CONTEXT", BuildContextFile({{0, 7}, {kIntro, 0}, {kThird, 14}})},
                        {"|KWBTREE", k.btree},
                        {"|KWDATA", k.data},
                        {"|AWBTREE", a.btree},
                        {"|AWDATA", a.data}});
  const ConversionOutcome rec = ConvertHelpBytes(help, kRecompileOnePass);
  const std::string rtf =
      Frame() + Footnote('$', "I\nntro") + Footnote('!', "M()") + Footnote('#', "intro") +
      Footnote('K', "alpha;beta") + Footnote('A', "ax") + Para("Hello\\par\n") +
      std::string(kPageSeparator) + Footnote('$', "Second") + Footnote('K', "Alpha;gamma") +
      Para("World\\par\n") + std::string(kPageSeparator) + Footnote('$', "Third") +
      Footnote('#', "third") + Footnote('K', "bet\na;delta") + Para("End\\par\n") + "}";
  EXPECT_TRUE(SameBytes(rec.File("TEST.RTF"), Crlf(rtf)));
  ASSERT_EQ(rec.WarningIds(), std::vector<int>{kWarnNoContextId});
  EXPECT_EQ(rec.warnings[0].text, "Topic #1 does not have a Context Id");

  // Printing: bookmarks named in hexadecimal, TOC entries, one index entry per keyword, no A
  // keywords, no entry macro, the project file into the null sink.
  const ConversionOutcome print = ConvertHelpBytes(help, kForPrint | kToc | kIndex | kPageLinks);
  EXPECT_EQ(print.FileNames(), std::vector<std::string>{"TEST.RTF"});
  uint64_t count = 0;
  std::string expected =
      PrintFrame("TEST.RTF", count) + TocField({{"Intro", 1}, {"Second", 1}, {"Third", 2}});
  expected += TocEntry("Intro", 1, count);
  expected += "{\\*\\bkmkstart B0x053D9A5C}{\\*\\bkmkend B0x053D9A5C}" + IndexEntry("alpha", count);
  expected += IndexEntry("beta", count);
  expected += CountedPara("Hello", count) + std::string(kParSeparator);
  expected += TocEntry("Second", 1, count);
  expected += IndexEntry("Alpha", count) + IndexEntry("gamma", count);
  expected += CountedPara("World", count) + std::string(kParSeparator);
  expected += TocEntry("Third", 2, count);
  expected += "{\\*\\bkmkstart B0x0773D907}{\\*\\bkmkend B0x0773D907}" + IndexEntry("beta", count) +
              IndexEntry("delta", count);
  // The index field with its result: each keyword and the titles of its topics, in table
  // order; keywords that differ only in case are one, spelled as the first in the table.
  expected +=
      CountedPara("End", count) +
      "\\page{\\b\\f0\\fs40\\s24 Index}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h "
      "\"\\emdash A\\emdash \" \\\\c \"2\" }}{\\fldrslt ";
  for (const char* entry : {"Alpha\\tab Second; Intro", "beta\\tab Intro; Third",
                            "delta\\tab Third", "gamma\\tab Second"})
    expected += "\\pard\\plain\\s15 " + std::string(entry) + "\\par\n";
  expected += "}}}";
  EXPECT_TRUE(SameBytes(print.File("TEST.RTF"), Crlf(expected)));
  EXPECT_TRUE(print.warnings.empty());
}

TEST(PrintGolden, IndexNamesEachTitleOfAKeywordOnceAlsoForManyTopics) {
  // 40 topics titled T0 to T9 four times over; "many" belongs to all of them (more than are
  // told apart without a set), "few" to the first 12.
  TopicRecords topics;
  for (int n = 0; n < 40; ++n)
    topics.Header({"T" + std::to_string(n % 10)}, {.number = n})
        .Paragraph(EndedParagraph(), {"text", ""});
  // Where each topic starts, from a walk of the topics.
  std::vector<uint32_t> starts;
  {
    InMemorySession s;
    const std::unique_ptr<HelpFile> hf = s.Open(GoldenHelpFile(topics));
    TopicWalk walk(*hf);
    while (const TopicRecord* r = walk.Next())
      if (r->kind == TopicRecord::Kind::kTopicHeader) starts.push_back(r->topic_offset);
  }
  ASSERT_EQ(starts.size(), 40u);
  const std::vector<uint32_t> first12(starts.begin(), starts.begin() + 12);
  const KeywordFiles k = BuildKeywordFiles({{"few", first12}, {"many", starts}});
  const ConversionOutcome print = ConvertHelpBytes(AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                                                                     {"|TOPIC", topics.Build()},
                                                                     {"|KWBTREE", k.btree},
                                                                     {"|KWDATA", k.data}}),
                                                   kForPrint | kIndex);
  const std::string all = "T0; T1; T2; T3; T4; T5; T6; T7; T8; T9";
  EXPECT_NE(print.File("TEST.RTF")
                .find("{\\fldrslt \\pard\\plain\\s15 few\\tab " + all +
                      "\\par\r\n\\pard\\plain\\s15 many\\tab " + all + "\\par\r\n}}"),
            std::string::npos)
      << print.File("TEST.RTF");
}

TEST(PrintGolden, SplitRtfInBothModes) {
  // 153 topics "Topic 1" to "Topic 153", each with an empty paragraph; the base name
  // GOLDENSAMPLE is cut to 6 characters; the first file holds 152 topics, the second the last.
  TopicRecords topics;
  for (int n = 1; n <= 153; ++n)
    topics.Header({"Topic " + std::to_string(n)}, {.number = n})
        .Paragraph(EndedParagraph(), {"", ""});
  const std::string empty = "\\pard\\s0\\ql \\par\n";
  // Printing: both files get the full frame and page header; only the first the TOC field.
  // The count runs on from the first file into the second.
  const ConversionOutcome print =
      ConvertHelpBytes(GoldenHelpFile(topics), ApplyCanonicalOptions(kForPrint | kToc | kSplitRtf),
                       "GOLDENSAMPLE.HLP");
  EXPECT_EQ(print.FileNames(), (std::vector<std::string>{"GOLDEN1.RTF", "GOLDEN2.RTF"}));
  uint64_t count = 0;
  std::vector<std::pair<std::string, int>> titles;
  for (int n = 1; n <= 153; ++n) titles.emplace_back("Topic " + std::to_string(n), 1);
  std::string first = PrintFrame("GOLDEN1.RTF", count) + TocField(titles);
  for (int n = 1; n <= 152; ++n) {
    if (n > 1) first += kParSeparator;
    first += TocEntry("Topic " + std::to_string(n), 1, count) + empty;
  }
  std::string second = PrintFrame("GOLDEN2.RTF", count);
  second += TocEntry("Topic 153", 1, count) + empty;
  EXPECT_TRUE(SameBytes(print.File("GOLDEN1.RTF"), Crlf(first + "}")));
  EXPECT_TRUE(SameBytes(print.File("GOLDEN2.RTF"), Crlf(second + "}")));
  EXPECT_TRUE(print.warnings.empty());

  // Recompilation: the project file lists both files; the second starts with its first topic.
  const ConversionOutcome rec = ConvertHelpBytes(
      GoldenHelpFile(topics), ApplyCanonicalOptions(kSplitRtf), "GOLDENSAMPLE.HLP");
  EXPECT_TRUE(SameBytes(rec.File("GOLDENSAMPLE.HPJ"), ProjectFile({"GOLDEN1.RTF", "GOLDEN2.RTF"})));
  count = 0;
  for (int n = 1; n <= 153; ++n) Counted("Topic " + std::to_string(n), count);
  auto topic = [&](int n) {
    return "{${\\footnote{$} " + Counted("Topic " + std::to_string(n), count) + "}} \n" + empty;
  };
  first = Frame();
  for (int n = 1; n <= 152; ++n) first += (n > 1 ? std::string(kPageSeparator) : "") + topic(n);
  second = Frame() + topic(153);  // one counted piece: in order
  EXPECT_TRUE(SameBytes(rec.File("GOLDEN1.RTF"), Crlf(first + "}")));
  EXPECT_TRUE(SameBytes(rec.File("GOLDEN2.RTF"), Crlf(second + "}")));
  // Every topic but the last lacks a context string: 152 warnings in each pass.
  EXPECT_EQ(rec.WarningIds(), std::vector<int>(2 * 152, kWarnNoContextId));
}

}  // namespace
}  // namespace quorvex
