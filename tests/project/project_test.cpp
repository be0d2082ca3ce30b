// Context names and loaders (the context fuzz target compares indexed look-ups with plain scans),
// then whole conversions of the project file's sections, browse sequences and localization.
#include <gtest/gtest.h>

#include <random>

#include "core/container.h"
#include "core/strings.h"
#include "project/browse_sequences.h"
#include "project/context_map.h"
#include "project/context_names.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

using namespace testsupport;

TEST(ContextNames, HashesAndTheNamesMadeUpForThem) {
  // Letters in any case; characters without a digit are skipped.
  const std::pair<std::string, uint32_t> hashes[] = {
      {"", 0}, {"abc", 32226}, {"a-B c", 32226}, {"0", 10}, {"IDH_100", 2143542237}};
  for (const auto& [text, hash] : hashes) EXPECT_EQ(ContextHash(text), hash) << text;
  // For a hash without a known name: the shortest name of the first prefix that hashes back,
  // the prefixes none, "Ind", "con", "ID_", "IDH", "KEY", "ID", "cn", then a capital letter.
  HelpFile hf;
  for (const char* name :
       {"", "z", "zz", "zzz", "zzzz", "zzzzz", "abc", "11", "Indc3._e5", "conu6c1c", "ID_9jwic2",
        "IDHeqpb9g", "KEYlsrcam", "IDjl_czn", "cn36oy5c", "Aim9421"})
    EXPECT_EQ(ContextNameForHash(hf, ContextHash(name)), name);
  // A name the file knows wins, the first one added for a hash, also with PageLinks.
  hf.known_context_names.Add("IDH_100");
  hf.known_context_names.Add("idh_100");
  for (ConversionOptions options : {0u, kPageLinks}) {
    hf.options = options;
    EXPECT_EQ(ContextNameForHash(hf, 2143542237), "IDH_100");
  }
}

TEST(Loaders, ContextMapsWholeAndDamagedAndKeywordTables) {
  InMemorySession s;
  std::unique_ptr<HelpFile> opened;
  auto load = [&](HelpFiles files) -> HelpFile& {  // a help file of |SYSTEM and `files`
    files.insert(files.begin(), {"|SYSTEM", GoldenSystem()});
    return *(opened = s.Open(AssembleHelpFile(files)));
  };
  ContextEntries entries;
  for (uint32_t i = 0; i < 300; ++i) entries.push_back({i * 7919 + 1, i * 3});
  // With pages of 64 bytes: 7 entries a leaf, several index levels. The header's entry count
  // is at 34, the first leaf (page 0) at 38: its entry count at +2, its next link at +6.
  const std::tuple<const char*, std::function<void(std::vector<uint8_t>&)>, size_t, int> cases[] = {
      {"whole", [](auto&) {}, 300, 0},
      {"more entries announced", [&](auto& d) { PutU16(d, 34, 301); }, 300, kWarnTreeShort},
      {"a leaf announces 20", [&](auto& d) { PutU16(d, 38 + 2, 20); }, 300, kWarnLeafPageCut},
      {"the chain loops", [&](auto& d) { PutU16(d, 38 + 6, 0); }, 7, kWarnTreeDamaged},
      {"the header is cut", [](auto& d) { d.resize(20); }, 0, kWarnTreeHeaderCut},
  };
  for (const auto& [name, damage, pairs, warning] : cases) {
    std::vector<uint8_t> context = BuildContextFile(entries, {.page_size = 64});
    damage(context);
    HelpFile& hf = load({{"|CONTEXT", context}});
    LoadContextMap(hf);
    ASSERT_TRUE(hf.context_map) << name;
    EXPECT_EQ(hf.context_map->pairs().size(), pairs) << name;
    EXPECT_EQ(s.Ids(), warning ? std::vector<int>{warning} : std::vector<int>{}) << name;
  }
  // What the keyword tables give for a topic the golden conversions and the corpus test show.
  // Two keywords a leaf: several leaves and an index page.
  const KeywordFiles k = BuildKeywordFiles(
      {{"alpha", {10, 30}}, {"beta", {10}}, {"gamma{", {11}}, {"delta", {13}}}, {.page_size = 32});
  KeywordFiles a = BuildKeywordFiles({{"in", {5}}, {"out", {6, 7}}});
  a.data.resize(8);  // "out" keeps one of its two topics
  HelpFile& hf = load(
      {{"|0KWBTREE", k.btree}, {"|0KWDATA", k.data}, {"|AWBTREE", a.btree}, {"|AWDATA", a.data}});
  LoadKeywordTables(hf);
  ASSERT_TRUE(hf.k_keywords && hf.a_keywords);
  EXPECT_EQ(hf.k_keywords->pairs().size(), 5u);
  EXPECT_EQ(hf.a_keywords->pairs().size(), 2u);
  EXPECT_EQ(s.Texts(),
            "|AWBTREE B-tree refers to 1 topic entries that lie outside |AWDATA; they are ignored");
  // Without its data file a tree gives no table and no warning.
  HelpFile& bare = load({{"|KWBTREE", k.btree}});
  LoadKeywordTables(bare);
  EXPECT_TRUE(!bare.k_keywords && s.diagnostics.warnings.empty());
}

TEST(Loaders, LargeTablesFindWhatAScanFinds) {
  // Thousands of pairs (sorted by their bytes, not by comparison), offsets on both sides of
  // 2^31 with many repeated, hashes 0 among them.
  std::mt19937 random(11);
  auto offset = [&] { return uint32_t(random() % 4 ? random() % 5000 : random()); };
  std::vector<KeywordPair> keywords(6000);
  std::vector<ContextPair> contexts(6000);
  for (KeywordPair& k : keywords) k = {offset(), 0, uint32_t(random() % 20)};
  for (ContextPair& c : contexts) c = {uint32_t(random() % 8), offset()};
  const KeywordTable table(keywords);
  const ContextMap map(contexts);
  // Pairs taken by earlier ranges are left out, as the entries of a pass are; taken once for
  // their numbers and once for the length of their texts joined.
  std::vector<bool> taken(keywords.size());
  KeywordEntryMarks numbers, lengths;
  for (int i = 0; i < 300; ++i) {
    const int32_t low = int32_t(offset()), high = int32_t(offset());
    std::vector<size_t> entries, fresh;
    size_t joined = 0;
    for (size_t k = 0; k < keywords.size(); ++k) {
      const int32_t o = int32_t(keywords[k].topic_offset);
      if (o < low || o > high) continue;
      entries.push_back(k);
      if (taken[k]) continue;
      joined += (fresh.empty() ? 0 : 1) + keywords[k].keyword_length;
      fresh.push_back(k);
      taken[k] = true;
    }
    EXPECT_EQ(table.EntriesInRange(low, high), entries) << low << ".." << high;
    EXPECT_EQ(table.TakeEntriesInRange(low, high, numbers), fresh) << low << ".." << high;
    EXPECT_EQ(table.TakeJoinedLengthInRange(low, high, lengths),
              fresh.empty() ? std::nullopt : std::optional<size_t>(joined));
    std::optional<size_t> first;
    for (size_t k = 0; k < contexts.size() && !first; ++k) {
      const uint32_t o = contexts[k].topic_offset;
      if (contexts[k].hash != 0 && int32_t(o) >= low && o <= uint32_t(high)) first = k;
    }
    EXPECT_EQ(map.FirstInRange(low, uint32_t(high)), first) << low << ".." << high;
  }
}

/// A window definition: flags, 10 bytes of type, name (9), caption (51), left, top, width,
/// height, maximize state, two colours with a byte between.
SystemRecordSpec Window(uint16_t flags, std::string_view name, std::string_view caption,
                        std::array<uint16_t, 5> place = {}) {
  ByteBuilder b;
  b.u16(flags).zeros(10).fixed_text(name, 9).fixed_text(caption, 51);
  for (uint16_t v : place) b.u16(v);
  b.u8(255).u8(255).u8(224).u8(0).u8(192).u8(192).u8(192);
  return {6, b.take()};
}

TEST(ProjectSections, EveryRecordTypeWindowsGroupsIconAndBaggage) {
  const std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0, 16, 16};
  TopicRecords topics(TopicFileOptions{.compressed = true});
  topics.Header({"T"}).Paragraph(EndedParagraph(), {"x", ""});
  const std::vector<SystemRecordSpec> records = {
      TextRecord(1, kGoldenTitle),
      TextRecord(2, "\xA9 "),
      TextRecord(2, "(c) Me"),
      {3, {0, 0, 0, 0}},  // the contents topic: no context map, no line
      TextRecord(4, "Macro1()"),
      Window(0x039E, "main", "Help", {10, 20, 0, 0, 1}),
      Window(0x0000, "note", "ignored"),
      TextRecord(4, "Macro2()"),
      TextRecord(8, "Cite me"),
      TextRecord(13, "GROUP1.GRP Overview of group"),
      TextRecord(13, "NODOT"),
      TextRecord(13, "G.AB"),
      {5, icon},
      {99, {1, 2}},
      {1, {'C', 'u', 't'}}};
  const HelpFiles files_in = {{"|SYSTEM", BuildSystemFile(21, 4, records)},
                              {"|FONT", OldStyleFontFile()},
                              {"|TOPIC", topics.Build()},
                              {"bag.ini", {'[', 'x', ']'}},
                              {"../../x", {1}},
                              {"TEST.HPJ", {3}},
                              {"bmlogo.dat", {4}},
                              {"BMLOGO.DAT", {}}};
  const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files_in), kRecompileOnePass);
  EXPECT_EQ(out.File("TEST.HPJ"),
            Crlf("[options]\nCompress=HIGH\nTitle=Golden Sample\nCopyRight=(c) Me\n"
                 "\n[Config]\nMacro1()\n"
                 "\n[Windows]\nmain=\"Help\",(10,20,,),1,(255,255,224),(192,192,192)\nnote=,,,,\n"
                 "\n[Config]\nMacro2()\nCitation= Cite me\n"
                 "\n[GROUPS]\nGroup=GROUP1, Overview of group\nGroup=NODOT\nGroup=G, \n"
                 "ICON=ICON.ICO\nTitle=Cut\n"
                 "\n[Bitmaps]\nbmlogo.dat.SHG\n"  // a "bm" file is a picture, not baggage
                 "\n[Baggage]\nbag.ini\nx\nbaggage_TEST.HPJ\nBMLOGO.DAT\n"
                 "\n[Files]\nTEST.RTF\n"));
  // Byte for byte, inside the output folder, nothing beside the help file.
  std::map<std::string, std::string> files = out.files;
  files.erase("TEST.HPJ"), files.erase("TEST.RTF");
  EXPECT_EQ(files, (std::map<std::string, std::string>{{"BMLOGO.DAT", ""},
                                                       {"ICON.ICO", AsText(icon)},
                                                       {"bag.ini", "[x]"},
                                                       {"baggage_TEST.HPJ", "\x03"},
                                                       {"bmlogo.dat.SHG", "\x04"},
                                                       {"x", "\x01"}}));
  EXPECT_EQ(out.WarningIds(),
            (std::vector<int>{kWarnInvalidShg, kWarnUnsafeName, kWarnBaggageRenamed}));
  // Printing mode: no project file, no icon, no baggage (pictures, though).
  const ConversionOutcome print =
      ConvertHelpBytes(AssembleHelpFile(files_in), ApplyCanonicalOptions(kForPrint));
  EXPECT_EQ(print.FileNames(), (std::vector<std::string>{"TEST.RTF", "bmlogo.dat.SHG"}));
}

TEST(BrowseSequences, ChainsMergesPositionsLoopsAndPlusFootnotesAfterThePrePass) {
  HelpFile hf;
  auto name = [&](int32_t back, int32_t topic, int32_t forward) {
    return BrowseSequenceName(hf, back, topic, forward).value_or("none");
  };
  // T1 -> T2 -> T3 met as T3, T1, T2: T2 links group 2 (T1) to group 1 (T3), which merges into
  // group 2; the second pass counts the complete chain.
  EXPECT_EQ(name(200, 300, -1), "grp0001:2");
  EXPECT_EQ(name(-1, 100, 200), "grp0002:1");
  EXPECT_EQ(name(100, 200, 300), "grp0002:2");
  EXPECT_EQ(name(-1, 100, 200) + name(100, 200, 300) + name(200, 300, -1),
            "grp0002:1grp0002:2grp0002:3");
  EXPECT_TRUE(hf.browse_groups.groups[0].empty());
  EXPECT_EQ(name(-1, 7, -1), "none");
  // A chain that loops counts to the cap.
  EXPECT_EQ(name(20, 10, 20), "grp0003:2");
  EXPECT_EQ(name(10, 20, 10), "grp0003:32767");
  EXPECT_EQ(name(20, 10, 20), "grp0003:32767");
  // Group numbers in upper-case hexadecimal: groups 4 to 26 are one topic each.
  for (int32_t topic = 1004; topic <= 1026; ++topic) name(-1, topic, topic + 100);
  EXPECT_EQ(name(-1, 1010, 1110) + name(-1, 1026, 1126), "grp000A:1grp001A:1");
  // Positions kept from call to call are those counted afresh at every call: chains met in
  // and out of order, merged and looping, then met again as the main pass meets them.
  std::mt19937 random(3);
  for (int round = 0; round < 40; ++round) {
    HelpFile kept, fresh;
    auto link = [&](int32_t topic, int32_t step) -> int32_t {
      const unsigned r = random() % 8;
      return r == 0 ? -1 : r == 1 ? int32_t(random() % 40) : (topic + step + 40) % 40;
    };
    std::vector<BrowseTriple> calls;
    for (int i = 0; i < 120; ++i) {
      const int32_t topic = int32_t(random() % 40);
      calls.push_back({link(topic, -1), topic, link(topic, 1)});
    }
    for (int pass = 0; pass < 2; ++pass)
      for (const BrowseTriple& c : calls) {
        fresh.browse_groups.topics.ForgetPositions();
        ASSERT_EQ(BrowseSequenceName(kept, c.back, c.topic, c.forward),
                  BrowseSequenceName(fresh, c.back, c.topic, c.forward))
            << round << " " << c.back << " " << c.topic << " " << c.forward;
      }
  }
  // Topic 1 starts at TopicOffset 0, topic 2 at 3 (after "x", NUL, NUL).
  TopicRecords t;
  t.Header({"A"}, {.browse_forward = 3}).Paragraph(EndedParagraph(), {"x", ""});
  t.Header({"B"}, {.browse_back = 0}).Paragraph(EndedParagraph(), {"y", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(t), kRecompile);
  // The pre-pass counted 22 characters: no line feed in the main pass.
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"),
                        Crlf(Frame() + Footnote('$', "A") + Footnote('+', "grp0001:1") +
                             Para("x\\par\n") + std::string(kPageSeparator) + Footnote('$', "B") +
                             Footnote('+', "grp0001:2") + Para("y\\par\n") + "}")));
}

TEST(Localization, ReferencesInTheRtfTextsBesideTheHelpFile) {
  TopicRecords t;
  t.Header({"Introduction"})
      .Paragraph(ParagraphBuilder().Font(1).Command(0x82), {"Hello ", "{world}", ""});
  t.Header({"Next"}).Paragraph(EndedParagraph(), {"More", ""});
  const ConversionOutcome out =
      ConvertHelpBytes(GoldenHelpFile(t), kRecompile | kLocalize, "HELP.HLP");
  EXPECT_EQ(out.File("HELP.RTF"),
            Crlf(Frame() + Footnote('$', "Ttl#00000") + Para("Txt#00001") +
                 std::string(kOldStyleFont1) + " Txt#00002\\par\n" + std::string(kPageSeparator) +
                 Footnote('$', "Ttl#00003") + Para("Txt#00004\\par\n") + "}"));
  EXPECT_EQ(out.File("beside/HELP.TXT"),
            Crlf("Ttl#00000=Introduction\nTxt#00001=Hello \nTxt#00002={world}\n\n"
                 "------------------- New topic -------------------\n"
                 "Ttl#00003=Next\nTxt#00004=More\n\n"));
}

}  // namespace
}  // namespace quorvex
