// Little-endian byte assembly for building test help files.
//
// Test inputs are written from the file formats with this builder, never by copying the
// reader's structs, so that a misread format cannot pass its own test.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex::testsupport {

/// Appends little-endian fields to a growing byte vector.
class ByteBuilder {
 public:
  ByteBuilder() = default;
  explicit ByteBuilder(std::vector<uint8_t> start) : data_(std::move(start)) {}

  ByteBuilder& u8(uint8_t v) {
    data_.push_back(v);
    return *this;
  }
  ByteBuilder& u16(uint16_t v) {
    data_.push_back(static_cast<uint8_t>(v));
    data_.push_back(static_cast<uint8_t>(v >> 8));
    return *this;
  }
  ByteBuilder& u32(uint32_t v) {
    for (int i = 0; i < 4; ++i) data_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    return *this;
  }
  ByteBuilder& i16(int16_t v) { return u16(static_cast<uint16_t>(v)); }
  ByteBuilder& i32(int32_t v) { return u32(static_cast<uint32_t>(v)); }
  ByteBuilder& bytes(std::span<const uint8_t> b) {
    data_.insert(data_.end(), b.begin(), b.end());
    return *this;
  }
  /// The characters of `s` without a terminator.
  ByteBuilder& text(std::string_view s) {
    for (char c : s) data_.push_back(static_cast<uint8_t>(c));
    return *this;
  }
  /// The characters of `s` and a NUL.
  ByteBuilder& cstr(std::string_view s) { return text(s).u8(0); }
  ByteBuilder& zeros(size_t n) {
    data_.insert(data_.end(), n, 0);
    return *this;
  }
  /// `s` padded with NULs (or cut) to exactly `width` bytes.
  ByteBuilder& fixed_text(std::string_view s, size_t width) {
    for (size_t i = 0; i < width; ++i)
      data_.push_back(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    return *this;
  }

  size_t size() const { return data_.size(); }
  const std::vector<uint8_t>& data() const { return data_; }
  std::vector<uint8_t> take() { return std::move(data_); }

 private:
  std::vector<uint8_t> data_;
};

/// Overwrites bytes of `data` at `pos` with a little-endian value (tests corrupt files with it).
inline void PutU16(std::vector<uint8_t>& data, size_t pos, uint16_t v) {
  if (pos + 2 > data.size()) throw std::out_of_range("PutU16 past the end");
  data[pos] = static_cast<uint8_t>(v);
  data[pos + 1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(std::vector<uint8_t>& data, size_t pos, uint32_t v) {
  if (pos + 4 > data.size()) throw std::out_of_range("PutU32 past the end");
  for (int i = 0; i < 4; ++i) data[pos + i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint32_t GetU32(const std::vector<uint8_t>& data, size_t pos) {
  if (pos + 4 > data.size()) throw std::out_of_range("GetU32 past the end");
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | data[pos + i];
  return v;
}

}  // namespace quorvex::testsupport
