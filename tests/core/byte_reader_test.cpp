// The cursor every read of help-file bytes goes through: reads past the end give zeros and a
// sticky failure, and range checks never overflow.
#include "core/byte_reader.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvex {
namespace {

TEST(ByteReader, FieldsStringsAndReadsPastTheEnd) {
  // u32 0x35F3F, i16 -2, "abc", "de" without NUL; the data lies at file offset 100.
  const std::vector<uint8_t> data = {0x3F, 0x5F, 0x03, 0x00, 0xFE, 0xFF,
                                     'a',  'b',  'c',  0,    'd',  'e'};
  ByteReader r(data, 100);
  EXPECT_EQ(r.u32(), 0x35F3Fu);
  EXPECT_EQ(r.i16(), -2);
  EXPECT_EQ(r.cstring(2), "ab");
  EXPECT_EQ(r.cstring(), "c");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.cstring(), "de");
  EXPECT_FALSE(r.ok());
  EXPECT_TRUE(r.at_end());
  r.clear_error();
  r.seek(10);
  EXPECT_EQ(r.u32(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.u8(), 0u);  // the reader stays at the end
  r.clear_error();
  r.seek(10);
  EXPECT_EQ(r.u16(), 0x6564);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.contains(0, 12));
  EXPECT_FALSE(r.contains(1, 12));
  EXPECT_FALSE(r.contains(8, SIZE_MAX));
  EXPECT_FALSE(r.contains(SIZE_MAX, 1));
  ByteReader sub = r.sub(10, 100);
  EXPECT_FALSE(sub.ok());
  EXPECT_EQ(sub.size(), 2u);
  EXPECT_EQ(sub.file_offset(), 110u);
  r.seek(13);
  EXPECT_FALSE(r.ok());
  r.clear_error();
  r.skip(SIZE_MAX);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bytes(4).size(), 0u);
}

}  // namespace
}  // namespace quorvex
