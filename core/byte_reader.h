// Bounds-checked little-endian reader over bytes held in memory.
//
// Every reader of the help file goes through this class; nothing else indexes the file's bytes.
// A read past the end of the data does not throw: it yields zeros (or an empty string/span),
// and sets a sticky failure flag, so a sequence of fields can be read and checked once.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>

namespace quorvex {

using Bytes = std::span<const uint8_t>;

class ByteReader {
 public:
  ByteReader() = default;
  /// A reader over `data`; `origin` is the file offset of data[0], used only in messages.
  explicit ByteReader(Bytes data, size_t origin = 0) : data_(data), origin_(origin) {}

  size_t size() const { return data_.size(); }
  size_t position() const { return pos_; }
  size_t remaining() const { return pos_ < data_.size() ? data_.size() - pos_ : 0; }
  bool at_end() const { return pos_ >= data_.size(); }
  /// False once any read or seek went past the end of the data.
  bool ok() const { return ok_; }
  void clear_error() { ok_ = true; }
  /// File offset of the current position, for messages.
  size_t file_offset() const { return origin_ + pos_; }
  Bytes data() const { return data_; }

  /// True when `length` bytes from `offset` lie inside the data (overflow-safe).
  bool contains(size_t offset, size_t length) const {
    return offset <= data_.size() && length <= data_.size() - offset;
  }

  /// Moves to `pos`; a position past the end fails and leaves the reader at the end.
  void seek(size_t pos) {
    if (pos > data_.size()) {
      ok_ = false;
      pos_ = data_.size();
    } else {
      pos_ = pos;
    }
  }
  void skip(size_t n) {
    if (n > remaining()) {
      ok_ = false;
      pos_ = data_.size();
    } else {
      pos_ += n;
    }
  }

  uint8_t u8() {
    if (pos_ >= data_.size()) return fail<uint8_t>();
    return data_[pos_++];
  }
  /// The byte at the current position without moving; 0 at the end (no failure).
  uint8_t peek() const { return pos_ < data_.size() ? data_[pos_] : 0; }
  uint16_t u16() {
    if (remaining() < 2) return fail<uint16_t>();
    uint16_t v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t u32() {
    if (remaining() < 4) return fail<uint32_t>();
    uint32_t v = static_cast<uint32_t>(data_[pos_]) |
                 (static_cast<uint32_t>(data_[pos_ + 1]) << 8) |
                 (static_cast<uint32_t>(data_[pos_ + 2]) << 16) |
                 (static_cast<uint32_t>(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
  }
  int16_t i16() { return static_cast<int16_t>(u16()); }
  int32_t i32() { return static_cast<int32_t>(u32()); }

  /// The next `n` bytes; fewer (what is left) and a failure when the data ends first.
  Bytes bytes(size_t n) {
    if (n > remaining()) {
      ok_ = false;
      n = remaining();
    }
    Bytes out = data_.subspan(pos_, n);
    pos_ += n;
    return out;
  }

  /// A NUL-terminated string of at most `limit` characters. The NUL is consumed. When no NUL
  /// comes within `limit` characters, the string is cut there and the reader stops after it.
  /// A string that runs into the end of the data is returned as far as it goes (a failure).
  std::string_view cstring_view(size_t limit = SIZE_MAX) {
    if (pos_ >= data_.size()) {
      ok_ = false;
      return {};
    }
    const uint8_t* const from = data_.data() + pos_;
    const size_t n = std::min(data_.size() - pos_, limit);
    const void* const nul = std::memchr(from, 0, n);
    const size_t length = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - from) : n;
    pos_ += length;
    if (pos_ < data_.size() && data_[pos_] == 0) {
      ++pos_;
    } else if (pos_ >= data_.size()) {
      ok_ = false;
    }
    return std::string_view(reinterpret_cast<const char*>(from), length);
  }
  /// As cstring_view, a copy.
  std::string cstring(size_t limit = SIZE_MAX) { return std::string(cstring_view(limit)); }

  /// A reader over `length` bytes at `offset` of this one. A range that does not fit is cut to
  /// what is there and the new reader starts in the failed state.
  ByteReader sub(size_t offset, size_t length) const {
    bool fits = contains(offset, length);
    if (offset > data_.size()) offset = data_.size();
    if (length > data_.size() - offset) length = data_.size() - offset;
    ByteReader r(data_.subspan(offset, length), origin_ + offset);
    if (!fits) r.ok_ = false;
    return r;
  }

 private:
  template <typename T>
  T fail() {
    ok_ = false;
    pos_ = data_.size();
    return T{0};
  }

  Bytes data_;
  size_t pos_ = 0;
  size_t origin_ = 0;
  bool ok_ = true;
};

}  // namespace quorvex
