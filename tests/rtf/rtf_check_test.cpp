// The checker that the RTF tests rely on must itself reject what real readers reject.
#include "tests/support/rtf_check.h"

#include <gtest/gtest.h>

namespace quorvex::testing {
namespace {

TEST(RtfCheck, AcceptsAndStripsWellFormedDocuments) {
  RtfCheck r = CheckRtf(
      "{\\rtf1\\ansi {\\fonttbl{\\f0\\fswiss Arial;}}\r\n{\\header page}"
      "\\pard\\s0\\ql A\\{b\\}\\\\c\\'e9\\tab d\\par\r\n"
      "{\\*\\bkmkstart X}{$}{\\footnote{$} Title}} \r\n");
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.text, "A{b}\\c\xe9\td\n$$ Title");
  EXPECT_EQ(CollapseSpace(" a \r\n\tb  "), "a b");
}

TEST(RtfCheck, RejectsMalformedDocuments) {
  const char* bad[] = {
      "{\\rtf1 a",                 // unclosed group
      "{\\rtf1 a}}",               // unbalanced closing brace
      "{\\rtf1 \\foo a}",          // unknown control word
      "{\\rtf1 \\'zz}",            // malformed escape
      "{\\rtf1 a} b",              // text after the end
      "{\\rtf1 a\\*\\bkmkstart}",  // \* not opening a group
      "{\\rtf1 \\#}",              // unknown control symbol
      "no rtf",
  };
  for (const char* rtf : bad) EXPECT_FALSE(CheckRtf(rtf).ok) << rtf;
}

}  // namespace
}  // namespace quorvex::testing
