#include "tests/support/phrase_writer.h"

#include <stdexcept>

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

namespace {

constexpr uint16_t kIgnoredWord = 0x0100;  // what the compilers write there
constexpr size_t kLongHeaderFiller = 30;   // bytes between S and the table in the long header

std::string Joined(const std::vector<std::string>& phrases) {
  std::string text;
  for (const std::string& p : phrases) text += p;
  return text;
}

std::span<const uint8_t> AsBytes(const std::string& s) {
  return {reinterpret_cast<const uint8_t*>(s.data()), s.size()};
}

void PutOffsets(ByteBuilder& b, const std::vector<std::string>& phrases) {
  uint32_t at = 2 * (static_cast<uint32_t>(phrases.size()) + 1);
  b.u16(static_cast<uint16_t>(at));
  for (const std::string& p : phrases) {
    at += static_cast<uint32_t>(p.size());
    if (at > 0xFFFF) throw std::invalid_argument("phrase table beyond 16-bit offsets");
    b.u16(static_cast<uint16_t>(at));
  }
}

}  // namespace

std::vector<uint8_t> BuildHc30Phrases(const std::vector<std::string>& phrases) {
  ByteBuilder b;
  b.u16(static_cast<uint16_t>(phrases.size())).u16(kIgnoredWord);
  PutOffsets(b, phrases);
  b.text(Joined(phrases));
  return b.take();
}

std::vector<uint8_t> BuildHc31Phrases(const std::vector<std::string>& phrases, Lz77Mode mode,
                                      int64_t text_size) {
  const std::string text = Joined(phrases);
  ByteBuilder b;
  b.u16(static_cast<uint16_t>(phrases.size())).u16(kIgnoredWord);
  b.i32(static_cast<int32_t>(text_size >= 0 ? text_size : static_cast<int64_t>(text.size())));
  PutOffsets(b, phrases);
  b.bytes(Lz77Encode(AsBytes(text), mode));
  return b.take();
}

std::vector<uint8_t> BuildLongHeaderPhrases(const std::vector<std::string>& phrases,
                                            Lz77Mode mode) {
  const std::string text = Joined(phrases);
  ByteBuilder b;
  b.u16(0).u16(static_cast<uint16_t>(phrases.size())).u16(kIgnoredWord);
  b.i32(static_cast<int32_t>(text.size())).zeros(kLongHeaderFiller);
  PutOffsets(b, phrases);
  b.bytes(Lz77Encode(AsBytes(text), mode));
  return b.take();
}

std::vector<uint8_t> PackPhraseLengths(const std::vector<uint32_t>& lengths, unsigned k) {
  std::vector<uint8_t> out;
  size_t bit = 0;
  auto put = [&](unsigned v) {
    if (bit % 8 == 0) out.push_back(0);
    out.back() |= static_cast<uint8_t>((v & 1u) << (bit % 8));
    ++bit;
  };
  for (uint32_t length : lengths) {
    if (length == 0) throw std::invalid_argument("phrase length 0 cannot be coded");
    const uint32_t v = length - 1;
    for (uint32_t ones = v >> k; ones > 0; --ones) put(1);
    put(0);
    for (unsigned i = 0; i < k; ++i) put((v >> i) & 1u);
  }
  return out;
}

RtfPhraseFiles BuildRtfPhrases(const std::vector<std::string>& phrases, unsigned k, bool compress) {
  std::vector<uint32_t> lengths;
  for (const std::string& p : phrases) lengths.push_back(static_cast<uint32_t>(p.size()));
  const std::vector<uint8_t> bits = PackPhraseLengths(lengths, k);
  const std::string text = Joined(phrases);
  RtfPhraseFiles files;
  files.image = compress ? Lz77Encode(AsBytes(text), Lz77Mode::kGreedy)
                         : std::vector<uint8_t>(text.begin(), text.end());
  ByteBuilder index;
  index.i32(1)
      .i32(static_cast<int32_t>(phrases.size()))
      .i32(static_cast<int32_t>(4 + bits.size()))
      .i32(static_cast<int32_t>(text.size()))
      .i32(static_cast<int32_t>(files.image.size()))
      .i32(0)
      .u8(static_cast<uint8_t>(k))
      .zeros(3)
      .bytes(bits);
  files.index = index.take();
  return files;
}

}  // namespace quorvex::testsupport
