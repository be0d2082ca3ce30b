#include "rtf/rtf_text.h"

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "core/code_page.h"
#include "core/rtf_escape.h"
#include "core/short_block.h"
#include "rtf/localization.h"

namespace quorvex {

namespace {

/// A line feed follows the first character of a process and then every 64th, so that the RTF
/// has lines a word processor and a diff can handle.
constexpr uint64_t kCharsPerLine = 64;
/// Longest escape of one character plus the line feed that may follow it.
constexpr size_t kMaxCharOutput = kMaxRtfEscape + 1;
/// Escaped text is built in the sink's buffer and committed in pieces of about this size.
constexpr size_t kChunkSize = 512;

/// The characters written as they are: printable ASCII but the three RTF specials. None is a
/// lead byte of a double-byte code page.
constexpr std::array<bool, 256> kPlain = [] {
  std::array<bool, 256> plain{};
  for (int c = 0x20; c < 0x7F; ++c) plain[c] = c != '\\' && c != '{' && c != '}';
  return plain;
}();

/// How many of the 16 bytes at `p` are written as they are (see kPlain) before the first that
/// is not: 16 when all are. Tests the 16 at once: none below 0x20 or above 0x7E (as signed
/// bytes, those above 0x7F are below 0x20), none a backslash or brace.
[[gnu::always_inline]] inline size_t PlainPrefix16(const char* p) {
#ifdef __SSE2__
  const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
  const __m128i escaped = _mm_or_si128(
      _mm_or_si128(_mm_cmplt_epi8(v, _mm_set1_epi8(0x20)), _mm_cmpeq_epi8(v, _mm_set1_epi8(0x7F))),
      _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\\')),
                   _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('{')),
                                _mm_cmpeq_epi8(v, _mm_set1_epi8('}')))));
  // One bit per byte, the first byte's lowest; a bit above the 16 ends the count at 16.
  return static_cast<size_t>(
      std::countr_zero(static_cast<unsigned>(_mm_movemask_epi8(escaped)) | 0x10000u));
#else
  using Bytes16 = signed char __attribute__((vector_size(16)));
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  const Bytes16 escaped = (v < 0x20) | (v == 0x7F) | (v == '\\') | (v == '{') | (v == '}');
  uint64_t halves[2];
  std::memcpy(halves, &escaped, sizeof halves);
  for (size_t h = 0; h < 2; ++h) {
    if (halves[h] == 0) continue;
    const int bit = std::endian::native == std::endian::little ? std::countr_zero(halves[h])
                                                               : std::countl_zero(halves[h]);
    return h * 8 + static_cast<size_t>(bit) / 8;
  }
  return 16;
#endif
}

/// Copies the `n` (at least 1) bytes at `from`, of which 16 or more may be read, to `to`,
/// where `n` rounded up to 16 may be written: in copies of 16, the last one ending at `n`.
void CopyRun(char* to, const char* from, size_t n) {
  if (n <= 16) {
    std::memcpy(to, from, 16);
    return;
  }
  for (size_t at = 0; at + 16 < n; at += 16) std::memcpy(to + at, from + at, 16);
  std::memcpy(to + n - 16, from + n - 16, 16);
}

}  // namespace

void WriteRtfChar(HelpFile& hf, OutputSink& out, uint8_t c) {
  char buffer[kMaxCharOutput];
  size_t length = EscapeRtfChar(c, buffer, hf.code_page);
  if (hf.session->rtf_char_count++ % kCharsPerLine == 0) buffer[length++] = '\n';
  out.Write(std::string_view(buffer, length));
}

void WriteRtfText(HelpFile& hf, OutputSink& out, std::string_view text) {
  if (out.is_null()) {
    // Nothing is kept, but the count goes on: the line feeds of later files depend on it.
    hf.session->rtf_char_count += text.size();
    return;
  }
  // The count and the code page go on in variables of their own: every byte written into the
  // buffer might otherwise have changed them, for the compiler, which would read them again.
  uint64_t count = hf.session->rtf_char_count;
  const uint32_t code_page = hf.code_page;
  // A two-byte character is written whole before a line feed may follow it; a lead byte at the
  // end of the text stands alone.
  const bool double_byte = IsDoubleByteCodePage(code_page);
  // The escaped text goes straight into the sink's buffer, a chunk at a time; a chunk grows by
  // at most a line or two escapes with their line feed beyond kChunkSize.
  constexpr size_t kChunkRoom = kChunkSize + kCharsPerLine + 2 * kMaxCharOutput + 2;
  static_assert(kChunkRoom <= OutputSink::kMaxReserve);
  const bool crlf = out.crlf();
  char* start = out.Reserve(kChunkRoom);
  char* to = start;
  size_t crs = 0;  // CRs written before line feeds: not counted as written bytes
  auto line_feed = [&] {
    if (crlf) {
      *to++ = '\r';
      ++crs;
    }
    *to++ = '\n';
  };
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<uint8_t>(text[i]);
    if (kPlain[c]) {
      // Most text needs no escape: a run of it up to the next line feed is copied at once.
      const size_t to_line_feed = (kCharsPerLine - count % kCharsPerLine) % kCharsPerLine + 1;
      const char* const from = text.data() + i;
      const size_t readable = text.size() - i;
      const size_t limit = std::min(readable, static_cast<size_t>(to_line_feed));
      size_t run;
      if (readable < 16) {
        // A short rest of the text is scanned and copied from a block of its own.
        char block[16];
        LoadShortBlock(block, from, readable, 0);  // (NUL is not plain)
        run = std::min(PlainPrefix16(block), limit);
        std::memcpy(to, block, 16);
      } else {
        run = 1;
        while (run < limit) {
          // The last 16 bytes of the text are scanned where fewer than 16 are left after the
          // run: the bytes before the run in them are plain.
          const size_t from_at = std::min(run, readable - 16);
          const size_t plain = from_at + PlainPrefix16(from + from_at);
          if (plain < from_at + 16 || from_at + 16 >= limit) {
            run = std::min(plain, limit);
            break;
          }
          run = from_at + 16;
        }
        CopyRun(to, from, run);
      }
      to += run;
      count += run;
      i += run;
      if (run == to_line_feed) line_feed();
    } else {
      to += EscapeRtfChar(c, to, code_page);
      bool feed = count++ % kCharsPerLine == 0;
      if (double_byte && IsLeadByte(code_page, c) && i + 1 < text.size()) {
        to += EscapeRtfChar(static_cast<uint8_t>(text[++i]), to, code_page);
        feed = count++ % kCharsPerLine == 0 || feed;
      }
      if (feed) line_feed();
      ++i;
    }
    if (static_cast<size_t>(to - start) >= kChunkSize) {
      hf.session->rtf_char_count = count;
      out.Commit(to, static_cast<size_t>(to - start) - crs);
      start = to = out.Reserve(kChunkRoom);
      crs = 0;
    }
  }
  hf.session->rtf_char_count = count;
  out.Commit(to, static_cast<size_t>(to - start) - crs);
}

size_t WriteTextString(HelpFile& hf, OutputSink& out, std::string_view text,
                       TextCategory category) {
  if (size_t nul = text.find('\0'); nul != std::string_view::npos) text = text.substr(0, nul);
  return WriteTextPiece(hf, out, text, category);
}

size_t WriteTextPiece(HelpFile& hf, OutputSink& out, std::string_view text, TextCategory category) {
  if (CountsOnly(hf, out)) {
    hf.session->rtf_char_count += text.size();
    return text.size();
  }
  if (!WriteLocalizationReference(hf, out, text, category)) WriteRtfText(hf, out, text);
  return text.size();
}

size_t WriteTextString(HelpFile& hf, OutputSink& out, TextCursor& cursor, TextCategory category) {
  return WriteTextPiece(hf, out, cursor.Next(), category);
}

void WriteControlWord(OutputSink& out, std::string_view word, long long value) {
  char digits[24];  // a 64-bit number with its sign
  auto result = std::to_chars(digits, digits + sizeof(digits), value);
  out.WritePlain(word);
  out.WritePlain(std::string_view(digits, static_cast<size_t>(result.ptr - digits)));
}

}  // namespace quorvex
