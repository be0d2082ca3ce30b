// The topic block stream: "|TOPIC" as one continuous, decompressed stream of records.
//
// "|TOPIC" holds fixed-size blocks (4096 bytes, 2048 for HC30), each a 12-byte header and data,
// LZ77-compressed per block when the help file is compressed. Records follow each other and may
// run on into the next block; each names the TopicPosition of the next one.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace quorvex {

struct HelpFile;

inline constexpr uint32_t kTopicBlockHeaderSize = 12;

/// Block geometry of a help file's version.
struct TopicGeometry {
  uint32_t block_size;  // 4096, or 2048 for HC30
  uint32_t shift;       // bits of the in-block offset: 14, or 11 for HC30
  uint32_t mask;        // 0x3FFF, or 0x7FF for HC30
  uint32_t data_size() const { return block_size - kTopicBlockHeaderSize; }
};

TopicGeometry TopicGeometryOf(const HelpFile& hf);

/// Reading state, kept in the HelpFile between calls.
struct TopicStream {
  bool started = false;         // a buffer exists (false before the first read and after reset)
  std::vector<uint8_t> buffer;  // decompressed data of the current block
  uint32_t read_index = 0;      // index of the next byte to deliver
  uint32_t valid_length = 0;    // valid bytes in the buffer
  int32_t block = -1;           // block in the buffer; -1 before the first load
  uint32_t next_position = 12;  // TopicPosition of the record to be entered next
  uint32_t bytes_left = 0;      // bytes of the current record not yet delivered
  // A record's size and next-record fields are taken from its first 16 bytes as they are
  // delivered, so that a record header may straddle a block boundary.
  uint32_t header_collected = 0;           // bytes of the open record's header seen so far
  std::array<uint8_t, 16> header_bytes{};  // the record's first 16 bytes
};

/// Delivers the next out.size() bytes of the record stream. At every block change it sets
/// `topic_offset_base` to block << (shift + 1) and raises `new_block` (which only the caller
/// lowers); on the first call after opening or a reset it sets the base to 0. Returns
/// out.size(), or 0 when the next record cannot be located (its position lies beyond the data
/// of its block, or the stream has run past the last block); then the rest of `out` is zeros.
size_t ReadTopicBytes(HelpFile& hf, std::span<uint8_t> out, uint32_t& topic_offset_base,
                      bool& new_block);

/// Releases the block buffer so that the next ReadTopicBytes starts again at the first record.
void ResetTopicStream(HelpFile& hf);

}  // namespace quorvex
