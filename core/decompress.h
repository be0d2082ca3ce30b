// The decoders of compressed help-file data: LZ77 and run-length.
//
// LZ77: groups of one flag byte and up to eight items; bit i (bit 0 first) of the flag byte
// marks item i as a literal byte (0) or a 2-byte back-reference (1). A back-reference word w
// copies (w >> 12) + 3 bytes from (w & 0x0FFF) + 1 bytes back in the output of the same call.
// Run-length: a control byte c >= 0x80 copies the c - 0x80 bytes that follow; c < 0x80 repeats
// the next byte c times.
//
// The decoders know nothing of help files. Every decoder consumes exactly the input it is given
// and is bounded by its output: the in-memory LZ77 decoder never writes beyond its capacity, and
// a back-reference before the start of the output ends the decoding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "core/byte_reader.h"
#include "core/output.h"

namespace quorvex {

/// LZ77 output never exceeds this many bytes per compressed byte (8 references of 18 bytes per
/// 17 input bytes is about 8.5).
inline constexpr size_t kLz77MaxExpansion = 9;

/// Outcome of one LZ77 decoding.
struct Lz77Result {
  size_t produced = 0;  // bytes written to the output
  /// Input bytes used: all of them after a complete decoding; otherwise the bytes of the items
  /// decoded before the stop (a back-reference cut short by the capacity counts as decoded).
  size_t consumed = 0;
  /// The input was malformed: a back-reference reached before the start of the output, or the
  /// input ended inside a back-reference. Decoding stopped there.
  bool damaged = false;
  /// The output capacity was reached before the input was used up.
  bool overflow = false;
};

/// Decodes LZ77 `in` into `out`, stopping when `out` is full. Never writes beyond `out`. Input
/// that ends inside a group yields the items whose bytes are present.
Lz77Result DecompressLz77(Bytes in, std::span<uint8_t> out);

/// The number of bytes DecompressLz77 produces from `in` with unlimited capacity (it stops where
/// the decoder stops at damage). Reads the input once without decoding it.
size_t Lz77DecodedSize(Bytes in);

/// Decodes LZ77 `in` into a new buffer of exactly the decoded size (at most kLz77MaxExpansion
/// bytes per input byte). `damaged`, when given, is set as in Lz77Result.
std::vector<uint8_t> DecompressLz77ToVector(Bytes in, bool* damaged = nullptr);

/// Decodes run-length `in` into a new buffer of at most `limit` bytes (decoding stops there).
/// A count of consumed input that starts at 1 ends the decoding as soon as fewer than two input
/// bytes are left: a single trailing byte is never read. A copy run that runs past the input
/// copies what is there.
std::vector<uint8_t> DecodeRleToVector(Bytes in, size_t limit = SIZE_MAX);

/// LZ77 into `out` with one write; returns the number of bytes written.
size_t DecompressLz77ToStream(Bytes in, OutputSink& out);
/// Run-length into `out` (written in large chunks); returns the number of bytes written.
size_t DecodeRle(Bytes in, OutputSink& out);
/// LZ77 followed by run-length, in memory; returns the number of bytes written.
size_t DecompressLz77Rle(Bytes in, OutputSink& out);
/// A plain copy; returns in.size().
size_t CopyRaw(Bytes in, OutputSink& out);

}  // namespace quorvex
