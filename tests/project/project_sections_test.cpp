// The project file's sections from |SYSTEM, the icon, baggage with hostile names, browse
// sequences and the localization reference file, as whole conversions and byte for byte.
#include <gtest/gtest.h>

#include "core/strings.h"
#include "project/browse_sequences.h"
#include "tests/support/byte_builder.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

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

TopicRecords OneTopic(bool lz77 = false) {
  TopicRecords t(TopicFileOptions{.compressed = lz77});
  t.Header({"T"}).Paragraph(EndedParagraph(), {"x", ""});
  return t;
}

TEST(ProjectSections, EveryRecordTypeWindowsGroupsIconAndBaggage) {
  const std::vector<uint8_t> icon = {0, 0, 1, 0, 1, 0, 16, 16};
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
  const std::vector<std::pair<std::string, std::vector<uint8_t>>> files = {
      {"|SYSTEM", BuildSystemFile(21, 4, records)},
      {"|FONT", OldStyleFontFile()},
      {"|TOPIC", OneTopic(true).Build()},
      {"bag.ini", {'[', 'x', ']'}},
      {"../../x", {1}},
      {"/abs/y", {2}},
      {"TEST.HPJ", {3}},
      {"bmlogo.dat", {4}},
      {"BMLOGO.DAT", {}}};
  const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile(files), kRecompileOnePass);
  EXPECT_EQ(out.File("TEST.HPJ"),
            Crlf("[options]\nCompress=HIGH\nTitle=Golden Sample\nCopyRight=(c) Me\n"
                 "\n[Config]\nMacro1()\n"
                 "\n[Windows]\nmain=\"Help\",(10,20,,),1,(255,255,224),(192,192,192)\nnote=,,,,\n"
                 "\n[Config]\nMacro2()\nCitation= Cite me\n"
                 "\n[GROUPS]\nGroup=GROUP1, Overview of group\nGroup=NODOT\nGroup=G, \n"
                 "ICON=ICON.ICO\nTitle=Cut\n"
                 "\n[Bitmaps]\nbmlogo.dat.SHG\n"  // a "bm" file is a picture, not baggage
                 "\n[Baggage]\nbag.ini\nx\ny\nbaggage_TEST.HPJ\nBMLOGO.DAT\n"
                 "\n[Files]\nTEST.RTF\n"));
  // Byte for byte, inside the output folder, nothing beside the help file.
  EXPECT_EQ(out.FileNames(),
            (std::vector<std::string>{"BMLOGO.DAT", "ICON.ICO", "TEST.HPJ", "TEST.RTF", "bag.ini",
                                      "baggage_TEST.HPJ", "bmlogo.dat.SHG", "x", "y"}));
  EXPECT_EQ(out.File("ICON.ICO"), std::string(icon.begin(), icon.end()));
  EXPECT_EQ(out.File("bag.ini"), "[x]");
  EXPECT_EQ(out.File("x"), "\x01");
  EXPECT_EQ(out.File("baggage_TEST.HPJ"), "\x03");
  EXPECT_EQ(out.File("BMLOGO.DAT"), "");
  EXPECT_EQ(out.WarningIds(),
            (std::vector<int>{kWarnInvalidShg, kWarnUnsafeName, kWarnUnsafeName,
                              kWarnBaggageRenamed}));
  // Printing mode: no project file, no icon, no baggage (pictures, though).
  const ConversionOutcome print =
      ConvertHelpBytes(AssembleHelpFile(files), ApplyCanonicalOptions(kForPrint));
  EXPECT_EQ(print.FileNames(), (std::vector<std::string>{"TEST.RTF", "bmlogo.dat.SHG"}));
  // HC30: Compress and Title only.
  const ConversionOutcome hc30 = ConvertHelpBytes(
      AssembleHelpFile({{"|SYSTEM", BuildHc30SystemFile("Old")}, {"|TOPIC", OneTopic().Build()}}),
      kRecompileOnePass);
  EXPECT_EQ(hc30.File("TEST.HPJ"), ProjectFile({"TEST.RTF"}, "Compress=FALSE\nTitle=Old\n"));
}

TEST(BrowseSequences, ChainsMergesPositionsAndLoops) {
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
}

TEST(BrowseSequences, PlusFootnotesAfterThePrePass) {
  // Topic 1 starts at TopicOffset 0, topic 2 at 3 (after "x", NUL, NUL).
  TopicRecords t;
  t.Header({"A"}, {.browse_forward = 3}).Paragraph(EndedParagraph(), {"x", ""});
  t.Header({"B"}, {.browse_back = 0}).Paragraph(EndedParagraph(), {"y", ""});
  const ConversionOutcome out = ConvertHelpBytes(GoldenHelpFile(t), kRecompile);
  // The pre-pass counted 22 characters: no line feed in the main pass.
  EXPECT_EQ(out.File("TEST.RTF"),
            Crlf(Frame() + Footnote('$', "A") + Footnote('+', "grp0001:1") + Para("x\\par\n") +
                 std::string(kPageSeparator) + Footnote('$', "B") + Footnote('+', "grp0001:2") +
                 Para("y\\par\n") + "}"));
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
