// The topic block stream.
//
// Blocks are loaded one after the other, each once per pass. A record's size and next-record
// fields are taken from its first 16 bytes as they are delivered, so the stream never looks
// ahead into a block it has not loaded: a record, its header included, may run on from the end
// of one block's data into the next.
#include "core/topic_stream.h"

#include <algorithm>
#include <cstring>

#include "core/decompress.h"
#include "core/help_file.h"

namespace quorvex {

namespace {

/// A compressed block expands to at most six times its stored data size.
constexpr uint32_t kCompressedBlockExpansion = 6;
/// The stream reads the record size (offset 0) and the next-record field (offset 12).
constexpr uint32_t kRecordFieldsSize = 16;
constexpr size_t kRecordSizeField = 0;
constexpr size_t kRecordNextField = 12;
/// A record holds at least its 21-byte TopicLink header.
constexpr int32_t kMinimumRecordSize = 21;

bool RecordOpen(const TopicStream& s) {
  return s.header_collected < kRecordFieldsSize || s.bytes_left > 0;
}

template <typename... A>
void Warn(const HelpFile& hf, int id, const A&... args) {
  if (hf.session) hf.diagnostics().Warning(id, args...);
}

/// Loads the block after the current one. Returns false when it would start at or beyond the
/// end of |TOPIC: the stream has no more data.
bool LoadNextBlock(HelpFile& hf, const TopicGeometry& g, uint32_t& base, bool& new_block) {
  TopicStream& s = hf.topic_stream;
  ByteReader topic = hf.InternalData(Slot::kTopic);
  int64_t block = static_cast<int64_t>(s.block) + 1;
  uint64_t start = static_cast<uint64_t>(block) * g.block_size;
  if (start >= topic.size()) return false;
  s.block = static_cast<int32_t>(block);
  base = static_cast<uint32_t>(block) << (g.shift + 1);
  new_block = true;

  // The last block is shorter: its data ends with the data of |TOPIC.
  uint64_t data_start = start + kTopicBlockHeaderSize;
  size_t available =
      data_start < topic.size()
          ? static_cast<size_t>(std::min<uint64_t>(g.data_size(), topic.size() - data_start))
          : 0;
  Bytes data =
      topic.sub(static_cast<size_t>(std::min<uint64_t>(data_start, topic.size())), available)
          .data();
  if (hf.compressed) {
    Lz77Result r = DecompressLz77(data, std::span<uint8_t>(s.buffer));
    s.valid_length = static_cast<uint32_t>(r.produced);
    if (r.overflow) {
      Warn(hf, kWarnTopicBlockOverflow, static_cast<int64_t>(block),
           static_cast<int64_t>(s.buffer.size()));
    } else if (r.damaged) {
      Warn(hf, kWarnTopicBlockDamaged, static_cast<int64_t>(block));
    }
  } else {
    std::copy(data.begin(), data.end(), s.buffer.begin());
    s.valid_length = static_cast<uint32_t>(data.size());
  }
  s.read_index = 0;
  return true;
}

/// Moves to the start of the record that the next position names, loading blocks up to its
/// block (which skips the filler after the last record of a block). Returns false when the
/// record cannot be located: it lies beyond the data, in a block already passed, or before
/// bytes already delivered (a link that points backwards or loops).
bool EnterRecord(HelpFile& hf, const TopicGeometry& g, uint32_t& base, bool& new_block) {
  TopicStream& s = hf.topic_stream;
  int32_t target = static_cast<int32_t>(s.next_position) >> g.shift;
  if (target < s.block) return false;
  if (static_cast<uint64_t>(target) * g.block_size >= hf.InternalData(Slot::kTopic).size()) {
    return false;
  }
  while (s.block < target) {
    if (!LoadNextBlock(hf, g, base, new_block)) return false;
  }
  uint32_t offset = s.next_position & g.mask;
  if (offset < kTopicBlockHeaderSize) return false;
  uint32_t index = offset - kTopicBlockHeaderSize;
  if (index > s.valid_length || index < s.read_index) return false;
  s.read_index = index;
  s.header_collected = 0;
  s.bytes_left = 0;
  return true;
}

/// Takes the record size and next-record fields from the record's first 16 bytes. Returns
/// false for a record too small to hold its own header.
bool OpenRecord(HelpFile& hf) {
  TopicStream& s = hf.topic_stream;
  ByteReader r(Bytes(s.header_bytes.data(), s.header_bytes.size()));
  r.seek(kRecordSizeField);
  int32_t size = r.i32();
  r.seek(kRecordNextField);
  uint32_t next = r.u32();
  if (size < kMinimumRecordSize) return false;
  s.bytes_left = static_cast<uint32_t>(size) - kRecordFieldsSize;
  // HC30 records give the distance from the record's own position.
  s.next_position = hf.is_hc30 ? s.next_position + next : next;
  return true;
}

}  // namespace

TopicGeometry TopicGeometryOf(const HelpFile& hf) {
  return hf.is_hc30 ? TopicGeometry{2048, 11, 0x7FF} : TopicGeometry{4096, 14, 0x3FFF};
}

size_t ReadTopicBytes(HelpFile& hf, std::span<uint8_t> out, uint32_t& topic_offset_base,
                      bool& new_block) {
  TopicStream& s = hf.topic_stream;
  // Most reads lie in the body of the open record, within the block loaded.
  if (s.header_collected == kRecordFieldsSize && s.bytes_left >= out.size() &&
      s.read_index <= s.valid_length && s.valid_length - s.read_index >= out.size()) {
    if (!out.empty()) std::memcpy(out.data(), s.buffer.data() + s.read_index, out.size());
    s.read_index += static_cast<uint32_t>(out.size());
    s.bytes_left -= static_cast<uint32_t>(out.size());
    return out.size();
  }
  const TopicGeometry g = TopicGeometryOf(hf);
  if (!s.started) {
    s = TopicStream();
    s.started = true;
    s.buffer.assign(
        hf.compressed ? size_t{g.data_size()} * kCompressedBlockExpansion : g.data_size(), 0);
    s.header_collected = kRecordFieldsSize;
    topic_offset_base = 0;
  }
  size_t done = 0;
  auto fail = [&] {
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(done), out.end(), uint8_t{0});
    return size_t{0};
  };
  while (done < out.size()) {
    if (!RecordOpen(s) && !EnterRecord(hf, g, topic_offset_base, new_block)) return fail();
    if (s.read_index >= s.valid_length) {
      if (!LoadNextBlock(hf, g, topic_offset_base, new_block)) return fail();
      continue;
    }
    bool in_header = s.header_collected < kRecordFieldsSize;
    size_t n = std::min<size_t>(out.size() - done, s.valid_length - s.read_index);
    n = std::min<size_t>(n, in_header ? kRecordFieldsSize - s.header_collected : s.bytes_left);
    std::span<const uint8_t> from = std::span<const uint8_t>(s.buffer).subspan(s.read_index, n);
    std::copy(from.begin(), from.end(), out.begin() + static_cast<std::ptrdiff_t>(done));
    if (in_header) {
      std::copy(from.begin(), from.end(), s.header_bytes.begin() + s.header_collected);
      s.header_collected += static_cast<uint32_t>(n);
      if (s.header_collected == kRecordFieldsSize && !OpenRecord(hf)) {
        done += n;
        s.read_index += static_cast<uint32_t>(n);
        return fail();
      }
    } else {
      s.bytes_left -= static_cast<uint32_t>(n);
    }
    s.read_index += static_cast<uint32_t>(n);
    done += n;
  }
  return out.size();
}

void ResetTopicStream(HelpFile& hf) {
  hf.topic_stream = TopicStream();
}

}  // namespace quorvex
