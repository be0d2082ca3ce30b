#include "rtf/rtf_text.h"

#include <gtest/gtest.h>

#include <random>

#include "rtf/media.h"

namespace quorvex {
namespace {

/// `s` as a text-mode sink holds it: CR LF for every LF.
std::string Crlf(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

class RtfTextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    hf.session = &session;
    // Past the line feed that follows the first character of a process.
    session.rtf_char_count = 1;
  }
  RecordingDiagnostics diagnostics;
  OutputDir dir{"."};
  ConversionSession session{diagnostics, dir};
  HelpFile hf;
  std::unique_ptr<OutputSink> out = OutputSink::Memory(true);
};

TEST_F(RtfTextTest, EscapesEveryKindOfCharacter) {
  struct Case {
    std::string text;
    std::string rtf;
  };
  const Case cases[] = {
      {"a{b}\\c\xE9", "a\\{b\\}\\\\c\\'e9"},
      {"\r\n", "(0x0d)(0x0a)"},
      {"\x80\xFF", "\\'80\\'ff"},
      {"x\ty", "x\\tab y"},
      {"\x01\x1F\x7F ~", "(0x01)(0x1f)\x7F ~"},
      {std::string("\0", 1), "(0x00)"},
  };
  for (const Case& c : cases) {
    auto sink = OutputSink::Memory(true);
    session.rtf_char_count = 1;
    WriteRtfText(hf, *sink, c.text);
    EXPECT_EQ(sink->contents(), c.rtf) << c.rtf;
    EXPECT_EQ(session.rtf_char_count, 1 + c.text.size());

    // One character at a time gives the same bytes.
    auto single = OutputSink::Memory(true);
    session.rtf_char_count = 1;
    for (char ch : c.text) WriteRtfChar(hf, *single, static_cast<uint8_t>(ch));
    EXPECT_EQ(single->contents(), c.rtf);
  }
}

TEST_F(RtfTextTest, LineFeedAfterFirstCharacterAndEvery64th) {
  session.rtf_char_count = 0;
  WriteRtfText(hf, *out, std::string(130, 'x'));
  // Characters counted 0, 64 and 128 are followed by a line feed.
  std::string expected = "x\n" + std::string(64, 'x') + "\n" + std::string(64, 'x') + "\n" + "x";
  EXPECT_EQ(out->contents(), Crlf(expected));
  EXPECT_EQ(session.rtf_char_count, 130u);
}

TEST_F(RtfTextTest, CounterSpansSinksAndTheNullSink) {
  session.rtf_char_count = 0;
  auto first = OutputSink::Memory(true);
  WriteRtfChar(hf, *first, 'a');
  EXPECT_EQ(first->contents(), "a\r\n");

  // The null sink keeps nothing but counts: the next line feed still comes at 64.
  auto null = OutputSink::Null();
  WriteRtfText(hf, *null, std::string(62, 'n'));
  EXPECT_EQ(session.rtf_char_count, 63u);

  auto second = OutputSink::Memory(true);
  WriteTextString(hf, *second, "bcd", kCategoryTopicText);
  EXPECT_EQ(second->contents(), "bc\r\nd");
}

TEST_F(RtfTextTest, ChunkedTextMatchesCharacterByCharacter) {
  std::mt19937 random(7);
  std::string text(5000, '\0');
  for (char& c : text) c = static_cast<char>(random() & 0xFF);
  const uint64_t start = 17;

  session.rtf_char_count = start;
  auto chunked = OutputSink::Memory(true);
  WriteRtfText(hf, *chunked, text);
  const uint64_t after = session.rtf_char_count;

  session.rtf_char_count = start;
  auto single = OutputSink::Memory(true);
  for (char c : text) WriteRtfChar(hf, *single, static_cast<uint8_t>(c));
  EXPECT_EQ(chunked->contents(), single->contents());
  EXPECT_EQ(session.rtf_char_count, after);
  EXPECT_EQ(after, start + text.size());
}

TEST_F(RtfTextTest, TextStringEndsAtItsNulAndReturnsItsLength) {
  EXPECT_EQ(WriteTextString(hf, *out, std::string_view("ab\0cd", 5), kCategoryTopicText), 2u);
  EXPECT_EQ(WriteTextString(hf, *out, "", kCategoryTopicText), 0u);
  EXPECT_EQ(WriteTextString(hf, *out, "{x}", kCategoryVerbatim), 3u);
  EXPECT_EQ(out->contents(), "ab\\{x\\}");
}

TEST_F(RtfTextTest, LocalizedCategoriesAreWrittenAsTextForNow) {
  hf.options = kLocalize;
  hf.main_pass = true;
  for (TextCategory c : {kCategoryTopicText, kCategoryTitle, kCategoryKeyword, kCategoryPageHeader,
                         kCategoryVerbatim}) {
    WriteTextString(hf, *out, "t", c);
  }
  EXPECT_EQ(out->contents(), "ttttt");
}

TEST_F(RtfTextTest, TextCursorGivesOneStringAtATime) {
  TextCursor cursor(std::string_view("one\0t{o}\0", 9));
  EXPECT_EQ(WriteTextString(hf, *out, cursor, kCategoryTopicText), 3u);
  EXPECT_EQ(WriteTextString(hf, *out, cursor, kCategoryTopicText), 4u);
  EXPECT_EQ(WriteTextString(hf, *out, cursor, kCategoryTopicText), 0u);
  EXPECT_EQ(out->contents(), "onet\\{o\\}");
}

TEST_F(RtfTextTest, ProtectedTextEscapesOnlyBracesAndBackslashes) {
  EXPECT_EQ(RtfProtected("Run(\"c:\\a{b}\")\xE9"), "Run(\"c:\\\\a\\{b\\}\")\xE9");
  EXPECT_EQ(RtfProtected("plain"), "plain");
  WriteControlWord(*out, "\\li", -360);
  WriteControlWord(*out, "\\sb", 0);
  EXPECT_EQ(out->contents(), "\\li-360\\sb0");
  EXPECT_EQ(session.rtf_char_count, 1u);  // neither counts as text
}

TEST_F(RtfTextTest, MediaObjects) {
  struct Case {
    std::string text;
    std::string rtf;
  };
  const Case cases[] = {
      {"8,3,+movie.avi", "\\{mci  nomenu repeat play,movie.avi\\}"},
      {"2,0,movie.avi", "\\{mci  noplaybar external,movie.avi\\}"},
      // Empty fields between commas do not count, a fourth field is not used.
      {",,10,,1,,+a.avi,more", "\\{mci  nomenu noplaybar repeat,a.avi\\}"},
      {"0,0,+c:\\dir\\m{1}.avi", "\\{mci ,c:\\\\dir\\\\m\\{1\\}.avi\\}"},
      {"x,y2,a+b+c", "\\{mci ,b+c\\}"},
      {"8,3", ""},
      {"8,,,3,", ""},
      {"", ""},
  };
  for (const Case& c : cases) {
    auto sink = OutputSink::Memory(true);
    WriteMciObject(hf, *sink, c.text);
    EXPECT_EQ(sink->contents(), c.rtf) << c.text;
  }
}

}  // namespace
}  // namespace quorvex
