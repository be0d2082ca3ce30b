// The cursor every read of help-file bytes goes through.
#include "core/byte_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

TEST(ByteReader, ReadsLittleEndianFieldsAndStringsUpToTheirLimit) {
  const std::vector<uint8_t> data = {
      0x3F, 0x5F, 0x03, 0x00,  // u32 0x35F3F
      0xFE, 0xFF,              // i16 -2
      'a',  'b',  'c',  0,     // "abc"
      'd',  'e',               // "de" without NUL
  };
  ByteReader r(data);
  EXPECT_EQ(r.u32(), 0x35F3Fu);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.cstring(2), "ab");
  EXPECT_EQ(r.cstring(), "c");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.cstring(), "de");  // no NUL before the end
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.at_end());
}

TEST(ByteReader, ReadPastTheEndGivesZerosAndAStickyFailure) {
  const std::vector<uint8_t> data(16, 1);
  ByteReader r(data, 100);
  r.seek(14);
  EXPECT_EQ(r.u32(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0u);  // the reader stays at the end
  r.clear_error();
  r.seek(14);
  EXPECT_EQ(r.u16(), 0x0101);
  EXPECT_TRUE(r.ok());
  // Ranges are checked without overflow.
  EXPECT_TRUE(r.contains(0, 16));
  EXPECT_FALSE(r.contains(1, 16));
  EXPECT_FALSE(r.contains(8, SIZE_MAX));
  EXPECT_FALSE(r.contains(SIZE_MAX, 1));
  ByteReader sub = r.sub(10, 100);
  EXPECT_FALSE(sub.ok());
  EXPECT_EQ(sub.size(), 6u);
  EXPECT_EQ(sub.file_offset(), 110u);
  r.seek(17);
  EXPECT_FALSE(r.ok());
  r.clear_error();
  r.seek(0);
  r.skip(SIZE_MAX);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bytes(4).size(), 0u);
}

}  // namespace
}  // namespace quorvex
