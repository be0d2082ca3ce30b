#include "core/format.h"

#include <gtest/gtest.h>

namespace quorvex {
namespace {

TEST(FormatText, MessageFormatsOfTheStringTable) {
  EXPECT_EQ(FormatText("Topic #%ld does not have a Context Id", {42}),
            "Topic #42 does not have a Context Id");
  EXPECT_EQ(FormatText("Phrases Header: Expected Size 0x%08lX, found 0x%08lX", {0x1234, 0xABCDEF}),
            "Phrases Header: Expected Size 0x00001234, found 0x00ABCDEF");
  EXPECT_EQ(FormatText("Illegal Secondary Window Number Reference 0x%02x", {3}),
            "Illegal Secondary Window Number Reference 0x03");
  EXPECT_EQ(FormatText("Illegal Bitmap Reference 0x%04x", {0xBEEF}),
            "Illegal Bitmap Reference 0xbeef");
  EXPECT_EQ(FormatText("Invalid .SHG or .MRB file! Type: %c%c", {'l', 'P'}),
            "Invalid .SHG or .MRB file! Type: lP");
  EXPECT_EQ(FormatText("Can't open File %s", {"X.HLP"}), "Can't open File X.HLP");
  EXPECT_EQ(FormatText("100%% done", {}), "100% done");
}

TEST(FormatText, NumbersPrintAsOnA32BitPlatform) {
  // A negative value given to %X prints its 32-bit two's complement.
  EXPECT_EQ(FormatText("0x%08lX", {-1}), "0xFFFFFFFF");
  EXPECT_EQ(FormatText("%d", {-2147483648LL}), "-2147483648");
  EXPECT_EQ(FormatText("%u", {-1}), "4294967295");
  EXPECT_EQ(FormatText("%05d|%-4d|%4d", {-42, 7, 7}), "-0042|7   |   7");
  EXPECT_EQ(FormatText("%3d%%", {0}), "  0%");
}

TEST(FormatText, MismatchedOrMissingArgumentsNeverReadGarbage) {
  EXPECT_EQ(FormatText("%s and %d", {5, "x"}), "(?) and (?)");
  EXPECT_EQ(FormatText("%s %s", {"a"}), "a ");
  EXPECT_EQ(FormatText("trailing %", {1}), "trailing ");
  EXPECT_EQ(FormatText("%.2s", {"abcdef"}), "ab");
  // Widths from the format are bounded.
  EXPECT_LE(FormatText("%99999999d", {1}).size(), 4097u);
}

}  // namespace
}  // namespace quorvex
