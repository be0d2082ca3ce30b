// The printf-style formatting of the string table's messages, as on a 32-bit platform, and
// arguments that do not match their format.
#include "core/format.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(FormatText, MessageFormatsNumbersAndMismatchedArguments) {
  const std::pair<std::string, std::string> cases[] = {
      {FormatText("Reference 0x%04x", {0xAB}), "Reference 0x00ab"},
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

}  // namespace
}  // namespace quorvex
