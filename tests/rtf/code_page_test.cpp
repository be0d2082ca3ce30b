// Text in the help file's own code page: how it is worked out, the RTF that names it, two-byte
// characters kept whole, and messages that quote help-file text in UTF-8.
#include "core/code_page.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/byte_builder.h"
#include "tests/support/font_writer.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;

/// |SYSTEM of HCRTF, with the LCID record when `lcid` is not 0.
std::vector<uint8_t> System(uint16_t lcid = 0) {
  if (lcid == 0) return BuildSystemFile(33, 0, {});
  return BuildSystemFile(33, 0, {{9, ByteBuilder().zeros(8).u16(lcid).take()}});
}
/// |FONT with one 42-byte descriptor of character set `charset` per face.
std::vector<uint8_t> Fonts(std::vector<std::string> faces, uint8_t charset = 0) {
  std::vector<std::vector<uint8_t>> descriptors;
  for (size_t i = 0; i < faces.size(); ++i) {
    descriptors.push_back(NewFontDescriptor({.face = uint8_t(i)}));
    descriptors.back()[35] = charset;
  }
  return BuildFontFile(faces, 32, descriptors);
}
const std::vector<uint8_t> kJapanese = ByteBuilder().u16(128).take();  // |CHARSET

TEST(CodePage, WorkedOutInOrder) {
  RecordingDiagnostics diagnostics;
  auto dir = OutputDir::InMemory();
  ConversionSession session(diagnostics, *dir);
  auto expect = [&](const char* name,
                    std::vector<std::pair<std::string, std::vector<uint8_t>>> files,
                    uint32_t code_page) {
    auto hf = OpenHelpFileFromBytes(AssembleHelpFile(files), "T.HLP", 0, session);
    EXPECT_EQ(DetectCodePage(*hf), code_page) << name;
  };
  expect("LCID Russian", {{"|SYSTEM", System(0x0419)}}, 1251);
  expect("LCID before |CHARSET", {{"|SYSTEM", System(0x0405)}, {"|CHARSET", kJapanese}}, 1250);
  expect("Western LCID", {{"|SYSTEM", System(0x0409)}, {"|FONT", Fonts({"Arial Cyr"})}}, 1252);
  expect("|CHARSET", {{"|SYSTEM", BuildSystemFile(21, 0, {})}, {"|CHARSET", kJapanese}}, 932);
  expect("descriptor character set", {{"|SYSTEM", System()}, {"|FONT", Fonts({"Arial"}, 161)}},
         1253);
  expect("one script among the faces",
         {{"|SYSTEM", System()}, {"|FONT", Fonts({"Arial", "Arial Tur"})}}, 1254);
  expect("several scripts",
         {{"|SYSTEM", System()}, {"|FONT", Fonts({"Times New Roman CE", "Times New Roman Greek"})}},
         1252);
  EXPECT_EQ(MessageText("\xCF\xF0\xE8 \x1B[31m", 1251), "\xD0\x9F\xD1\x80\xD0\xB8 \\x1B[31m");
  EXPECT_EQ(MessageText("\x82\xA0", 932), "\\x82\\xA0");
}

TEST(CodePage, CyrillicRtfNamesItsCodePage) {
  // Symbol faces keep their own character set; each character also as its Unicode value.
  TopicRecords t;
  t.Header({"T"}).Paragraph(EndedParagraph(), {"\xCF\xF0\xE8", ""});
  const ConversionOutcome out =
      ConvertHelpBytes(AssembleHelpFile({{"|SYSTEM", System(0x0419)},
                                         {"|FONT", Fonts({"Arial", "Symbol"})},
                                         {"|TOPIC", t.Build()}}),
                       kRecompileOnePass);
  std::string frame = Frame(
      "{\\fonttbl{\\f0\n\\fswiss\\fcharset204 Arial\\f1\n\\fswiss\\fcharset2 Symbol}}\n"
      "{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue0;\n");
  frame.replace(0, std::string_view("{\\rtf1\\ansi").size(), "{\\rtf1\\ansi\\ansicpg1251");
  EXPECT_TRUE(SameBytes(out.File("TEST.RTF"),
                        Crlf(frame + Footnote('$', "T\n") +
                             Para("\\u1055\\'cf\\u1088\\'f0\\u1080\\'e8\\par\n") + "}")));
}

TEST(CodePage, TwoByteCharactersStayWhole) {
  // The 63rd and 64th characters of the session form one character: the line feed after the
  // 64th follows both. A lead byte that ends a text stands alone before the font change.
  TopicRecords t;
  t.Header({"T"}).Paragraph(ParagraphBuilder().Font(1).Command(0x82),
                            {std::string(62, 'a') + "\x82\xA0\x82", "A", ""});
  const ConversionOutcome out = ConvertHelpBytes(AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                                                                   {"|CHARSET", kJapanese},
                                                                   {"|FONT", OldStyleFontFile()},
                                                                   {"|TOPIC", t.Build()}}),
                                                 kRecompileOnePass);
  const std::string rtf = out.File("TEST.RTF");
  EXPECT_TRUE(rtf.starts_with("{\\rtf1\\ansi\\ansicpg932\\deff0"));
  EXPECT_NE(rtf.find(std::string(62, 'a') + "\\'82\\'a0\r\n\\'82" + std::string(kOldStyleFont1) +
                     " A\\par"),
            std::string::npos)
      << rtf;
}

}  // namespace
}  // namespace quorvex
