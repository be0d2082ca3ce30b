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
  EXPECT_EQ(r.cstring(2), "ab");  // cut at the limit: the rest is the next string
  EXPECT_EQ(r.cstring(), "c");
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.cstring(), "de");  // runs into the end: kept, and a failure
  EXPECT_TRUE(!r.ok() && r.at_end());
  r.clear_error();
  r.seek(10);
  EXPECT_EQ(r.u32(), 0u);  // does not fit: 0, and the reader stays at the end
  EXPECT_EQ(r.u8(), 0u);
  EXPECT_FALSE(r.ok());
  EXPECT_FALSE(r.contains(1, 12) || r.contains(8, SIZE_MAX) || r.contains(SIZE_MAX, 1));
  const ByteReader sub = r.sub(10, 100);
  EXPECT_TRUE(!sub.ok() && sub.size() == 2u && sub.file_offset() == 110u);
  r.clear_error();
  r.skip(SIZE_MAX);
  EXPECT_FALSE(r.ok());
  EXPECT_EQ(r.bytes(4).size(), 0u);
}

}  // namespace
}  // namespace quorvex
