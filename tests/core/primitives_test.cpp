// What every reader and writer stands on: the byte cursor (reads past the end give zeros and a
// sticky failure, range checks never overflow), the printf-style formatting of the messages as on
// a 32-bit platform, the LZ77 and run-length decoders with the format's examples, damaged input
// and an output capacity that is never exceeded, and the output folder: names that must not leave
// it, deletion of its own files only, a disk that fills up. (The golden conversions decode what
// the test encoder writes and check output files byte for byte; the picture tests every packing;
// the hostile output folder test replaces planted links.)
#include <gtest/gtest.h>

#include <algorithm>

#include "core/byte_reader.h"
#include "core/decompress.h"
#include "core/diagnostics.h"
#include "core/format.h"
#include "core/output.h"
#include "tests/support/temp_folder.h"
#include "tests/support/topic_writer.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace testsupport;

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

TEST(FormatText, MessageFormatsNumbersAndMismatchedArguments) {
  const std::pair<std::string, std::string> cases[] = {
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

/// Decodes `in` into `capacity` bytes followed by guard bytes, which must stay as they were.
std::pair<Lz77Result, std::string> Decode(const std::vector<uint8_t>& in, size_t capacity) {
  std::vector<uint8_t> buffer(capacity + 64, 0xA5);
  const Lz77Result r = DecompressLz77(in, std::span<uint8_t>(buffer).first(capacity));
  EXPECT_EQ(std::count(buffer.begin() + std::ptrdiff_t(capacity), buffer.end(), 0xA5), 64);
  return {r, std::string(buffer.begin(), buffer.begin() + std::ptrdiff_t(r.produced))};
}

TEST(DecompressLz77, FormatExamplesDamageAndRoundTripsOfTheTestEncoderAtEveryCapacity) {
  const std::tuple<const char*, std::string, std::string, size_t, bool> cases[] = {
      // name, input, output, bytes consumed, damaged
      {"word 0xF000: 18 bytes from 1 back", "\x02x\0\xF0"s, std::string(19, 'x'), 4, false},
      {"overlapping: the last 2 bytes again", "\x04st\x01\x30", "stststst", 5, false},
      {"input ends after a flag byte", "\0abcdefgh\0"s, "abcdefgh", 10, false},
      {"input ends inside a back-reference", "\x02q\0"s, "q", 2, true},
      {"reference one byte too far back", "\x08pqr\x03\0z"s, "pqr", 4, true},
  };
  for (const auto& [name, text, expected, consumed, damaged] : cases) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> in = AsBytes(text);
    // With room to spare, and with exactly the room needed: damage is no overflow.
    for (size_t capacity : {size_t{5000}, expected.size()}) {
      const auto [r, out] = Decode(in, capacity);
      EXPECT_EQ(std::tuple(out, r.consumed, r.damaged, r.overflow),
                std::tuple(expected, consumed, damaged, false));
    }
    bool vector_damaged = false;
    const std::vector<uint8_t> whole = DecompressLz77ToVector(in, &vector_damaged);
    EXPECT_EQ(std::string(whole.begin(), whole.end()), expected);
    EXPECT_EQ(vector_damaged, damaged);
  }
  // Repeats of every length from 3 to 18 at many distances; the densest output there is
  // (references of 18 bytes from 1 back); a match 4096 bytes back, the farthest. Every capacity
  // yields a prefix and never more.
  std::string words;
  for (int i = 0; words.size() < 3000; ++i)
    words += "w" + std::to_string(i * 7919 % 61) + std::string(size_t(i % 17), 'x');
  const std::string far = "XYZ" + std::string(4093, '.') + "XYZ";
  for (const std::string& plain : {words, std::string(3000, 'a'), far}) {
    const std::vector<uint8_t> packed = Lz77Encode(AsBytes(plain));
    ASSERT_TRUE(plain != far || packed.back() == 0x0F) << "the last item is word 0x0FFF";
    for (size_t capacity = 0; capacity <= plain.size(); capacity += capacity < 800 ? 1 : 97) {
      const auto [r, out] = Decode(packed, capacity);
      ASSERT_EQ(out, plain.substr(0, capacity));
      ASSERT_EQ(r.overflow, capacity < plain.size());
    }
    EXPECT_EQ(Decode(packed, plain.size()).first.consumed, packed.size());
    EXPECT_EQ(Lz77DecodedSize(packed), plain.size());
  }
}

TEST(DecodeRle, RunsOfLengthZeroInputCutShortAndALimit) {
  const std::tuple<std::string, size_t, std::string> cases[] = {
      {"\x80\0x\x02s"s, SIZE_MAX, "ss"},  // runs of length 0
      {"\x02s\x05", SIZE_MAX, "ss"},      // a single trailing byte is never read
      {"\x85st", SIZE_MAX, "st"},         // a copy run past the end copies what is there
      // A limit gives a prefix, also inside a run.
      {"\x05s\x83xyz", 7, "sssssxy"},
      {"\x05s\x83xyz", 3, "sss"},
  };
  for (const auto& [text, limit, expected] : cases) {
    const std::vector<uint8_t> out = DecodeRleToVector(AsBytes(text), limit);
    EXPECT_EQ(std::string(out.begin(), out.end()), expected);
  }
}

TEST(OutputDir, UnsafeNamesAreWrittenUnderSafeNamesInside) {
  TempFolder root;
  OutputDir dir(root.path() / "out");
  RecordingDiagnostics diagnostics;
  dir.ReportTo(&diagnostics);
  // Pairs of a name and the name the file gets.
  const char* const names[] = {
      "LOGO.BMP",   "LOGO.BMP",   "..\\..\\WIN.INI", "WIN.INI",  "../x",   "x",
      "C:DATA.BIN", "C_DATA.BIN", "A\001B",          "A_B",      "dir/..", "_",
      "",           "__2",        "con.txt",         "_con.txt", "LPT1",   "_LPT1",
      "COM0",       "COM0",       "a/WIN.INI",       "WIN_2.INI"};
  for (size_t i = 0; i < std::size(names); i += 2) {
    const char *name = names[i], *safe = names[i + 1];
    auto sink = dir.CreateBinary(name);
    ASSERT_TRUE(sink) << name;
    EXPECT_EQ(sink->name(), safe);
    sink->Write(name);
    sink->Close();
    EXPECT_EQ(ReadFile(root / "out" / safe), name);
    EXPECT_TRUE(OutputDir::IsPlainName(safe)) << safe;
  }
  // Nothing outside the folder; one warning naming both names for each unsafe name.
  EXPECT_FALSE(fs::exists(root / "x"));
  EXPECT_EQ(diagnostics.Count(kWarnUnsafeName), std::size(names) / 2 - 2);
  EXPECT_EQ(diagnostics.warnings[0].text,
            "The name ..\\..\\WIN.INI is not a plain file name in the output folder; the file is "
            "written as WIN.INI");
}

TEST(OutputDir, DeletionAndAFullDisk) {
  TempFolder root;
  OutputDir dir(root.path());
  dir.CreateBinary("A.BMP")->Close();
  WriteFile(root / "target", "keep");
  // Only files this folder created are deleted or read back.
  EXPECT_FALSE(dir.Remove("target") || dir.Read("target"));
  EXPECT_TRUE(dir.Remove("A.BMP"));
  EXPECT_FALSE(fs::exists(root / "A.BMP") || dir.Remove("A.BMP"));
  // /dev/full accepts the open and fails every write.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  auto full = OutputDir("/dev").CreateBinary("full");
  ASSERT_TRUE(full);
  full->Write("x");
  EXPECT_THROW(full->Close(), FatalException);
}

}  // namespace
}  // namespace quorvex
