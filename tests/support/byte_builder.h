// Little-endian byte assembly for the test help-file writers. They write the file formats field by
// field, never by copying the reader's structs, so that a misread format cannot pass its own test.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex::testsupport {

/// Appends little-endian fields to a growing byte vector.
class ByteBuilder {
 public:
  ByteBuilder() = default;
  explicit ByteBuilder(std::vector<uint8_t> start) : data_(std::move(start)) {}

  ByteBuilder& u8(uint8_t v) { return bytes({&v, 1}); }
  ByteBuilder& u16(uint16_t v) { return u8(uint8_t(v)).u8(uint8_t(v >> 8)); }
  ByteBuilder& u32(uint32_t v) { return u16(uint16_t(v)).u16(uint16_t(v >> 16)); }
  ByteBuilder& i16(int16_t v) { return u16(uint16_t(v)); }
  ByteBuilder& i32(int32_t v) { return u32(uint32_t(v)); }
  ByteBuilder& bytes(std::span<const uint8_t> b) {
    data_.insert(data_.end(), b.begin(), b.end());
    return *this;
  }
  /// The characters of `s` without a terminator; cstr adds a NUL.
  ByteBuilder& text(std::string_view s) {
    return bytes({reinterpret_cast<const uint8_t*>(s.data()), s.size()});
  }
  ByteBuilder& cstr(std::string_view s) { return text(s).u8(0); }
  ByteBuilder& zeros(size_t n) { return bytes(std::vector<uint8_t>(n)); }
  /// `s` padded with NULs (or cut) to exactly `width` bytes.
  ByteBuilder& fixed_text(std::string_view s, size_t width) {
    return text(s.substr(0, width)).zeros(width - std::min(width, s.size()));
  }

  size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t> take() { return std::move(data_); }

 private:
  std::vector<uint8_t> data_;
};

/// Overwrite a little-endian value in `data` at `pos` (tests corrupt files with them);
/// std::out_of_range past the end.
inline void PutU16(std::vector<uint8_t>& data, size_t pos, uint16_t v) {
  for (size_t i = 0; i < 2; ++i) data.at(pos + i) = uint8_t(v >> (8 * i));
}
inline void PutU32(std::vector<uint8_t>& data, size_t pos, uint32_t v) {
  for (size_t i = 0; i < 4; ++i) data.at(pos + i) = uint8_t(v >> (8 * i));
}

inline std::vector<uint8_t> AsBytes(std::string_view s) {
  return {s.begin(), s.end()};
}
inline std::string AsText(const std::vector<uint8_t>& v) {
  return {v.begin(), v.end()};
}

}  // namespace quorvex::testsupport
