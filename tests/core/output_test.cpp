// Output sinks: line feeds of text files, and files written behind the writer on a thread of
// their own.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "core/diagnostics.h"
#include "core/output.h"
#include "tests/support/temp_folder.h"

namespace quorvex {
namespace {

/// Several MB in every way a writer fills a text sink: short pieces, long ones with line
/// feeds, pieces built in the buffer itself.
void FillSink(OutputSink& out) {
  std::string line;
  for (int i = 0; i < 40000; ++i) {
    out.Write("{\\b ");
    line.assign(static_cast<size_t>(i % 300), static_cast<char>('a' + i % 26));
    line += i % 7 == 0 ? "\n" : "";
    out.Write(line);
    char* at = out.Reserve(64);
    const int n = std::snprintf(at, 64, "%d", i);
    std::memcpy(at + n, "\r\n", 2);  // a text sink's own writer writes each LF as CR LF
    out.Commit(at + n + 2, static_cast<size_t>(n) + 1);
  }
}

using testsupport::ReadFile;
using testsupport::TempFolder;

TEST(OutputSink, TextSinksWriteEachLfAsCrLfInPiecesShortAndLong) {
  const std::string pieces[] = {"", "x", "\n", "a\nb\n", "\n\\par\n", std::string(31, 'y') + "\n",
                                std::string(32, 'z'), "\n" + std::string(40, 'w') + "\n"};
  for (const std::string& piece : pieces) {
    std::string crlf;
    for (const char c : piece) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    for (const bool text : {true, false}) {
      auto out = OutputSink::Memory(text);
      out->Write(piece);
      out->Write(piece);
      EXPECT_EQ(out->contents(), text ? crlf + crlf : piece + piece) << piece;
    }
  }
  auto plain = OutputSink::Memory(true);
  plain->WritePlain("\\sb");
  plain->WritePlain("600");
  EXPECT_EQ(plain->contents(), "\\sb600");
}

TEST(OutputBehind, WritesTheSameBytesAndCountsAndReportsAFailedWrite) {
  TempFolder folder;
  OutputDir dir(folder / "out");
  OutputBudget budget;
  dir.CountInto(&budget);
  auto plain = dir.CreateText("plain.rtf");
  FillSink(*plain);
  plain->Close();
  const uint64_t counted = std::exchange(budget.written, 0);
  auto behind = dir.CreateText("behind.rtf");
  behind->Write("before ");
  behind->WriteBehind();
  behind->WriteBehind();  // a second call changes nothing
  FillSink(*behind);
  behind->Close();
  EXPECT_EQ(ReadFile(folder / "out/behind.rtf"), "before " + ReadFile(folder / "out/plain.rtf"));
  EXPECT_EQ(budget.written, counted + 7);
  EXPECT_GT(counted, 6'000'000u);  // several pieces of the thread

  // A sink dropped before Close ends its thread and keeps what it was given.
  {
    auto dropped = dir.CreateBinary("dropped");
    dropped->WriteBehind();
    dropped->Write(std::string(3 << 20, 'x'));
  }
  EXPECT_EQ(ReadFile(folder / "out/dropped"), std::string(3 << 20, 'x'));

  // /dev/full accepts the open and fails every write: the failure is fatal at the next flush
  // or at Close, once; for a sink written in place (one byte, at Close) and one written behind.
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  for (const size_t size : {size_t{1}, size_t{5} << 20}) {
    auto full = OutputDir("/dev").CreateBinary("full");
    ASSERT_TRUE(full);
    if (size > 1) {
      full->WriteBehind();
      EXPECT_THROW(full->Write(std::string(size, 'x')); full->Close(), FatalException);
    } else {
      full->Write("x");  // kept in the buffer: only Close finds out
      EXPECT_THROW(full->Close(), FatalException);
    }
  }
}

}  // namespace
}  // namespace quorvex
