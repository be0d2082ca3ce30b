#include "core/decompress.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>
#include <string_view>

namespace quorvex {

namespace {

/// Items per LZ77 group: one per bit of the flag byte.
constexpr unsigned kGroupItems = 8;
/// Shortest back-reference: the length field 0 means 3 bytes.
constexpr size_t kMinMatch = 3;
/// Longest back-reference: the length field 15.
constexpr size_t kMaxMatch = 15 + kMinMatch;
/// The most output one group can produce: eight back-references of 18 bytes. A group that
/// starts with this much room can write any of its items as a whole match.
constexpr size_t kMaxGroupOutput = kGroupItems * kMaxMatch;
/// The bytes of a group after its flag byte: one per literal, two per match (flag bit set). A
/// table, because the portable build has no population-count instruction and would call a
/// library function for every group.
constexpr std::array<uint8_t, 256> kGroupSize = [] {
  std::array<uint8_t, 256> sizes{};
  for (unsigned f = 0; f < sizes.size(); ++f)
    sizes[f] = static_cast<uint8_t>(kGroupItems + std::popcount(f));
  return sizes;
}();
/// Run-length output is handed to a sink in pieces of this size, so that decoding needs little
/// memory however large the output grows.
constexpr size_t kRleChunk = 1 << 16;

std::string_view AsChars(Bytes b) {
  return std::string_view(reinterpret_cast<const char*>(b.data()), b.size());
}

struct BackReference {
  size_t length;
  size_t distance;
};

BackReference SplitWord(uint8_t lo, uint8_t hi) {
  const unsigned w = static_cast<unsigned>(lo) | (static_cast<unsigned>(hi) << 8);
  return {(w >> 12) + kMinMatch, (w & 0x0FFFu) + 1};
}

/// Appends `length` bytes copied from `distance` bytes back; `distance` <= `at` and the room is
/// there. Copies that overlap their source repeat the last `distance` bytes, as a byte-by-byte
/// copy does.
void CopyMatch(std::span<uint8_t> out, size_t at, size_t distance, size_t length) {
  const size_t from = at - distance;
  if (distance >= length) {
    std::ranges::copy(out.subspan(from, length), out.begin() + static_cast<std::ptrdiff_t>(at));
  } else if (distance == 1) {
    std::ranges::fill(out.subspan(at, length), out[from]);
  } else {
    for (size_t i = 0; i < length; ++i) out[at + i] = out[from + i];
  }
}

/// Calls emit_copy(Bytes) for each copy run and emit_fill(byte, count) for each repeat run, until
/// the input is used up or emit returns false.
template <typename Copy, typename Fill>
void ForEachRleRun(Bytes in, Copy&& emit_copy, Fill&& emit_fill) {
  ByteReader r(in);
  // The count of consumed bytes starts at 1: a run needs at least two input bytes.
  size_t count = 1;
  while (count < in.size()) {
    const uint8_t c = r.u8();
    ++count;
    if (c >= 0x80) {
      const Bytes run = r.bytes(std::min<size_t>(c - 0x80u, r.remaining()));
      count += run.size();
      if (!run.empty() && !emit_copy(run)) return;
    } else {
      const uint8_t v = r.u8();
      ++count;
      if (c != 0 && !emit_fill(v, size_t{c})) return;
    }
  }
}

}  // namespace

Lz77Result DecompressLz77(Bytes in, std::span<uint8_t> out) {
  Lz77Result res;
  ByteReader r(in);
  const size_t capacity = out.size();
  size_t produced = 0;
  while (!r.at_end()) {
    const size_t group_start = r.position();
    const unsigned flags = r.u8();
    const size_t group_size = kGroupSize[flags];
    const Bytes group = r.bytes(std::min(group_size, r.remaining()));
    size_t pos = 0;
    if (capacity - produced >= kMaxGroupOutput) {
      // Room for any group: no capacity checks per item.
      if (flags == 0 && group.size() == kGroupItems) {
        std::ranges::copy(group, out.begin() + static_cast<std::ptrdiff_t>(produced));
        produced += kGroupItems;
        continue;
      }
      // A whole group has two bytes for each of its matches: one bit of the flag byte an item.
      const bool whole = group.size() == group_size;
      for (unsigned f = flags | 0x100u; f != 1 && (whole || pos < group.size()); f >>= 1) {
        if ((f & 1) == 0) {
          out[produced++] = group[pos++];
          continue;
        }
        if ((!whole && group.size() - pos < 2) ||
            SplitWord(group[pos], group[pos + 1]).distance > produced) {
          res.damaged = true;
          res.consumed = group_start + 1 + pos;
          res.produced = produced;
          return res;
        }
        const BackReference ref = SplitWord(group[pos], group[pos + 1]);
        if (ref.distance >= kMaxMatch) {
          // Source and target cannot overlap: one copy of the longest match, of which the
          // first ref.length bytes count. The group's room covers the rest of it.
          std::memcpy(out.data() + produced, out.data() + produced - ref.distance, kMaxMatch);
        } else {
          CopyMatch(out, produced, ref.distance, ref.length);
        }
        produced += ref.length;
        pos += 2;
      }
      continue;
    }
    // Near the end of the output: every item checks the room left.
    for (unsigned item = 0; item < kGroupItems && pos < group.size(); ++item) {
      const bool literal = (flags & (1u << item)) == 0;
      if (!literal &&
          (group.size() - pos < 2 || SplitWord(group[pos], group[pos + 1]).distance > produced)) {
        res.damaged = true;
        res.consumed = group_start + 1 + pos;
        res.produced = produced;
        return res;
      }
      if (produced == capacity) {
        res.overflow = true;
        res.consumed = group_start + 1 + pos;
        res.produced = produced;
        return res;
      }
      if (literal) {
        out[produced++] = group[pos++];
        continue;
      }
      const BackReference ref = SplitWord(group[pos], group[pos + 1]);
      const size_t n = std::min(ref.length, capacity - produced);
      CopyMatch(out, produced, ref.distance, n);
      produced += n;
      pos += 2;
      if (n < ref.length) {
        res.overflow = true;
        res.consumed = group_start + 1 + pos;
        res.produced = produced;
        return res;
      }
    }
  }
  res.consumed = r.position();
  res.produced = produced;
  return res;
}

size_t Lz77DecodedSize(Bytes in) {
  ByteReader r(in);
  size_t produced = 0;
  while (!r.at_end()) {
    const unsigned flags = r.u8();
    const size_t group_size = kGroupSize[flags];
    const Bytes group = r.bytes(std::min(group_size, r.remaining()));
    size_t pos = 0;
    for (unsigned item = 0; item < kGroupItems && pos < group.size(); ++item) {
      if ((flags & (1u << item)) == 0) {
        ++produced;
        ++pos;
        continue;
      }
      if (group.size() - pos < 2) return produced;
      const BackReference ref = SplitWord(group[pos], group[pos + 1]);
      if (ref.distance > produced) return produced;
      produced += ref.length;
      pos += 2;
    }
  }
  return produced;
}

std::vector<uint8_t> DecompressLz77ToVector(Bytes in, bool* damaged) {
  std::vector<uint8_t> out(Lz77DecodedSize(in));
  const Lz77Result res = DecompressLz77(in, out);
  out.resize(res.produced);
  if (damaged) *damaged = res.damaged;
  return out;
}

std::vector<uint8_t> DecodeRleToVector(Bytes in, size_t limit) {
  std::vector<uint8_t> out;
  ForEachRleRun(
      in,
      [&](Bytes run) {
        const size_t n = std::min(run.size(), limit - out.size());
        out.insert(out.end(), run.begin(), run.begin() + static_cast<std::ptrdiff_t>(n));
        return out.size() < limit;
      },
      [&](uint8_t v, size_t count) {
        out.insert(out.end(), std::min(count, limit - out.size()), v);
        return out.size() < limit;
      });
  return out;
}

size_t DecompressLz77ToStream(Bytes in, OutputSink& out) {
  const std::vector<uint8_t> bytes = DecompressLz77ToVector(in);
  out.Write(AsChars(bytes));
  return bytes.size();
}

size_t DecodeRle(Bytes in, OutputSink& out) {
  std::string chunk;
  chunk.reserve(kRleChunk + 0x80);
  size_t written = 0;
  auto flush_if_full = [&] {
    if (chunk.size() >= kRleChunk) {
      out.Write(chunk);
      written += chunk.size();
      chunk.clear();
    }
    return true;
  };
  ForEachRleRun(
      in,
      [&](Bytes run) {
        chunk.append(AsChars(run));
        return flush_if_full();
      },
      [&](uint8_t v, size_t count) {
        chunk.append(count, static_cast<char>(v));
        return flush_if_full();
      });
  out.Write(chunk);
  return written + chunk.size();
}

size_t DecompressLz77Rle(Bytes in, OutputSink& out) {
  const std::vector<uint8_t> bytes = DecompressLz77ToVector(in);
  return DecodeRle(Bytes(bytes.data(), bytes.size()), out);
}

size_t CopyRaw(Bytes in, OutputSink& out) {
  out.Write(AsChars(in));
  return in.size();
}

}  // namespace quorvex
