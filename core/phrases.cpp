#include "core/phrases.h"

#include <algorithm>
#include <limits>

#include "core/decompress.h"
#include "core/help_file.h"
#include "core/system_file.h"

namespace quorvex {

namespace {

// "|Phrases": N (u16), an ignored word, the decompressed text size S (i32).
constexpr size_t kPhrasesHeaderSize = 8;
/// HC30 has no size field: its offset table starts right after N and the ignored word.
constexpr size_t kPhrasesHc30TableStart = 4;
/// Media Viewer titles repeat the header at offset 2 and start the table 30 bytes after it.
constexpr size_t kPhrasesLongHeaderAt = 2;
constexpr size_t kPhrasesLongHeaderSkip = 30;
/// A text size above this in the first header marks the longer (Media Viewer) header.
constexpr int32_t kPhrasesLongHeaderSize = 0x10000;
/// Room the table keeps beyond its announced text size; it absorbs the bytes the decoder reads
/// past the text of a Media Viewer table.
constexpr size_t kPhraseTextSlack = 300;
/// 16-bit offsets, measured from the start of the offset table, end no later than this.
constexpr size_t kOldPhraseAddressable = 0xFFFF;

// "|PhrIndex": the 28-byte header.
constexpr size_t kPhrIndexHeaderSize = 28;
constexpr size_t kPhrIndexCount = 4;
constexpr size_t kPhrIndexBitBytes = 8;  // bytes from kPhrIndexBitBytesFrom on
constexpr size_t kPhrIndexBitBytesFrom = 24;
constexpr size_t kPhrIndexTextSize = 12;
constexpr size_t kPhrIndexStoredSize = 16;
constexpr size_t kPhrIndexBitCount = 24;
/// Room the text keeps beyond its announced size.
constexpr size_t kRtfPhraseTextSlack = 500;
/// A "|PhrImage" text this far from its announced size still passes without a warning.
constexpr int64_t kPhraseSizeTolerance = 10;

const char* const kPhrasesName = "|Phrases";
const char* const kPhrIndexName = "|PhrIndex";
const char* const kPhrImageName = "|PhrImage";

/// The larger of `v` and 0, as a size.
size_t NonNegative(int32_t v) {
  return v > 0 ? static_cast<size_t>(v) : 0;
}

/// Appends what LZ77 `in` decodes to, at most `capacity` bytes, to `text`; warns when the data
/// is damaged or does not fit. Returns the number of bytes appended.
size_t AppendLz77(HelpFile& hf, const char* name, Bytes in, size_t capacity, std::string& text) {
  const size_t start = text.size();
  text.resize(start + std::min(capacity, Lz77DecodedSize(in)));
  const std::span<uint8_t> out =
      std::span<uint8_t>(reinterpret_cast<uint8_t*>(text.data()), text.size()).subspan(start);
  const Lz77Result res = DecompressLz77(in, out);
  text.resize(start + res.produced);
  if (res.damaged) hf.diagnostics().Warning(kWarnPhraseDamaged, name, res.produced);
  if (res.overflow) hf.diagnostics().Warning(kWarnPhraseTextCut, name, capacity);
  return res.produced;
}

void ReadOldPhrases(HelpFile& hf) {
  if (!hf.slot(Slot::kPhrases).present()) return;
  ByteReader r = hf.InternalData(Slot::kPhrases);
  const size_t size = r.size();
  PhraseTables& t = hf.phrases;
  t = PhraseTables{};
  t.kind = PhraseTables::Kind::kOld;

  // Fields that lie beyond the data read as 0; the room check below catches such a table.
  uint32_t n = r.u16();
  r.u16();
  int32_t s = r.i32();
  size_t after_header = kPhrasesHeaderSize;
  if (s > kPhrasesLongHeaderSize && !hf.is_hc30) {
    r.seek(kPhrasesLongHeaderAt);
    n = r.u16();
    r.u16();
    s = r.i32();
    after_header = kPhrasesLongHeaderAt + kPhrasesHeaderSize + kPhrasesLongHeaderSkip;
  }

  const uint32_t rule_size = static_cast<uint32_t>(size) - 2 * n - kPhrasesHeaderSize + 10;
  const bool compressed = !hf.is_hc30 && ((hf.system_header.flags & kSystemFlagsCompressed) != 0 ||
                                          rule_size < static_cast<uint32_t>(s));

  // The stored layout has no size field: its table starts 4 bytes before the compressed one.
  const size_t table_start = compressed ? after_header : after_header - kPhrasesHc30TableStart;
  const size_t room = size > table_start ? size - table_start : 0;
  if (room < 2) {
    hf.diagnostics().Warning(kWarnPhraseHeader, kPhrasesName, size);
    return;
  }
  // N + 1 offsets of 2 bytes each must lie in the data.
  const uint32_t max_n = static_cast<uint32_t>(room / 2 - 1);
  if (n > max_n) {
    hf.diagnostics().Warning(kWarnPhraseCount, kPhrasesName, n, max_n);
    n = max_n;
  }

  r.seek(table_start);
  const Bytes table = r.bytes(2 * (size_t{n} + 1));
  t.offsets.resize(size_t{n} + 1);
  ByteReader offsets(table);
  for (uint32_t& o : t.offsets) o = offsets.u16();

  if (!compressed) {
    // The HC30 layout: the offsets and the text that follows them, as they are stored.
    r.seek(table_start);
    const Bytes all = r.bytes(r.remaining());
    t.text.assign(reinterpret_cast<const char*>(all.data()), all.size());
    return;
  }
  t.text.assign(reinterpret_cast<const char*>(table.data()), table.size());
  // The compressed text runs from behind the offsets to the end of the internal file (the
  // stated count reaches 32 bytes beyond it in the longer header; only what is there is read).
  const int64_t stated = static_cast<int64_t>(size) - 2 * (int64_t{n} + 1) - 8;
  const size_t count =
      static_cast<size_t>(std::clamp<int64_t>(stated, 0, static_cast<int64_t>(r.remaining())));
  const size_t addressable = kOldPhraseAddressable - std::min(kOldPhraseAddressable, table.size());
  AppendLz77(hf, kPhrasesName, r.bytes(count),
             std::min(NonNegative(s) + kPhraseTextSlack, addressable), t.text);
}

void ReadRtfPhrases(HelpFile& hf) {
  if (!hf.slot(Slot::kPhrIndex).present() || !hf.slot(Slot::kPhrImage).present()) return;
  PhraseTables& t = hf.phrases;
  t = PhraseTables{};
  t.kind = PhraseTables::Kind::kRtf;

  ByteReader index = hf.InternalData(Slot::kPhrIndex);
  if (index.size() < kPhrIndexHeaderSize) {
    hf.diagnostics().Warning(kWarnPhraseHeader, kPhrIndexName, index.size());
    return;
  }
  index.seek(kPhrIndexCount);
  const int32_t n = index.i32();
  index.seek(kPhrIndexBitBytes);
  const int32_t bit_bytes = index.i32();
  index.seek(kPhrIndexTextSize);
  const int32_t text_size = index.i32();
  index.seek(kPhrIndexStoredSize);
  const int32_t stored_size = index.i32();
  index.seek(kPhrIndexBitCount);
  const unsigned k = index.u8() & 0x0Fu;

  // The bit area ends where the header says, or at the end of the data when it says more.
  const size_t bits_end = std::min(kPhrIndexBitBytesFrom + NonNegative(bit_bytes), index.size());
  index.seek(kPhrIndexHeaderSize);
  const Bytes bits =
      index.bytes(bits_end > kPhrIndexHeaderSize ? bits_end - kPhrIndexHeaderSize : 0);
  // Every phrase takes at least k + 1 bits.
  const uint64_t max_n = uint64_t{bits.size()} * 8 / (k + 1);
  uint32_t count = static_cast<uint32_t>(std::max(n, 0));
  if (n < 0 || count > max_n) {
    const uint32_t kept = static_cast<uint32_t>(std::min<uint64_t>(count, max_n));
    hf.diagnostics().Warning(kWarnPhraseCount, kPhrIndexName, n, kept);
    count = kept;
  }
  t.offsets = DecodePhraseIndex(count, k, bits);

  ByteReader image = hf.InternalData(Slot::kPhrImage);
  size_t found = 0;
  if (stored_size == text_size) {
    const Bytes stored = image.bytes(NonNegative(text_size));
    t.text.assign(reinterpret_cast<const char*>(stored.data()), stored.size());
    found = stored.size();
  } else {
    const Bytes packed = image.bytes(NonNegative(stored_size));
    found =
        AppendLz77(hf, kPhrImageName, packed, NonNegative(text_size) + kRtfPhraseTextSlack, t.text);
  }
  const int64_t difference = static_cast<int64_t>(found) - text_size;
  if (difference > kPhraseSizeTolerance || difference < -kPhraseSizeTolerance)
    hf.diagnostics().Warning(kWarnPhraseSize, text_size, found);
}

/// The table of quick copies for the phrases that `t` holds.
void IndexQuickPhrases(PhraseTables& t) {
  t.quick.assign(std::max(t.count(), PhraseTables::kCodeNumbers), {});
  for (size_t i = 0; i < t.count(); ++i) {
    const uint64_t start = t.offsets[i], end = t.offsets[i + 1];
    const bool quick = start <= end && end - start <= PhraseTables::kQuickCopy &&
                       start + PhraseTables::kQuickCopy <= t.text.size();
    t.quick[i] = {static_cast<uint32_t>(start),
                  quick ? static_cast<uint32_t>(end - start) : PhraseTables::kNotQuick};
  }
}

}  // namespace

void LoadPhrases(HelpFile& hf) {
  ReadOldPhrases(hf);
  IndexQuickPhrases(hf.phrases);
}

void LoadRtfPhrases(HelpFile& hf) {
  ReadRtfPhrases(hf);
  IndexQuickPhrases(hf.phrases);
}

std::vector<uint32_t> DecodePhraseIndex(uint32_t n, unsigned k, Bytes bits) {
  // Every phrase takes at least k + 1 bits: more phrases than that cannot be in the data.
  n = static_cast<uint32_t>(std::min<uint64_t>(n, uint64_t{bits.size()} * 8 / (k + 1)));
  const uint64_t total_bits = uint64_t{bits.size()} * 8;
  uint64_t at = 0;
  // Bits beyond the data read as 0, which ends a run of 1-bits.
  auto bit = [&]() -> unsigned {
    if (at >= total_bits) return 0;
    const unsigned b = (bits[at >> 3] >> (at & 7)) & 1u;
    ++at;
    return b;
  };
  std::vector<uint32_t> offsets(size_t{n} + 1);
  uint64_t offset = 0;
  for (uint32_t i = 0; i < n; ++i) {
    uint64_t length = 1;
    while (bit()) length += uint64_t{1} << k;
    uint64_t low = 0;
    for (unsigned b = 0; b < k; ++b) low |= uint64_t{bit()} << b;
    length += low;
    offset += length;
    // Offsets past 32 bits point beyond any text; they only need to stay out of range.
    offsets[i + 1] = static_cast<uint32_t>(std::min<uint64_t>(offset, UINT32_MAX));
  }
  return offsets;
}

std::optional<std::string_view> GetPhrase(const HelpFile& hf, size_t i) {
  const PhraseTables& t = hf.phrases;
  if (i >= t.count()) return std::nullopt;
  const size_t start = t.offsets[i];
  const size_t end = t.offsets[i + 1];
  if (start > end || end > t.text.size()) return std::nullopt;
  return std::string_view(t.text).substr(start, end - start);
}

}  // namespace quorvex
