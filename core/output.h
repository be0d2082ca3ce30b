// Output files. Every file the conversion writes is created through one OutputDir.
//
// Text files get CR LF for every LF, on every platform, so the output is byte-identical to the
// original platform's. The name "NUL" is the null sink: nothing is opened on disk.
#pragma once

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace quorvex {

/// A buffered output file (text or binary), a null sink, or a memory sink for tests.
class OutputSink {
 public:
  enum class Kind { kText, kBinary, kNull, kMemory };

  ~OutputSink();
  OutputSink(const OutputSink&) = delete;
  OutputSink& operator=(const OutputSink&) = delete;

  /// A sink that discards everything.
  static std::unique_ptr<OutputSink> Null();
  /// A sink that keeps what is written in memory (`text`: LF becomes CR LF as for files).
  static std::unique_ptr<OutputSink> Memory(bool text);

  void Write(std::string_view bytes) {
    if (kind_ == Kind::kNull) return;
    if (!text_) {
      buffer_.append(bytes);
    } else {
      for (char c : bytes) {
        if (c == '\n') buffer_ += '\r';
        buffer_ += c;
      }
    }
    if (buffer_.size() >= kFlushSize && kind_ != Kind::kMemory) Flush();
  }
  void Put(char c) { Write(std::string_view(&c, 1)); }

  /// Writes the buffer out and closes the file. A failed write is fatal:
  /// "Can't write. Disk Full?\n". Closing twice does nothing.
  void Close();

  bool is_null() const { return kind_ == Kind::kNull; }
  Kind kind() const { return kind_; }
  /// The name the sink was created under ("NUL" for the null sink).
  const std::string& name() const { return name_; }
  /// What a memory sink holds.
  const std::string& contents() const { return buffer_; }

 private:
  static constexpr size_t kFlushSize = 1 << 16;
  OutputSink(Kind kind, std::string name, std::FILE* file);
  void Flush();

  Kind kind_;
  bool text_;
  std::string name_;
  std::FILE* file_ = nullptr;
  std::string buffer_;
  bool failed_ = false;

  friend class OutputDir;
};

/// The folder that receives the output of a conversion.
class OutputDir {
 public:
  /// `root`: the folder; created when missing.
  explicit OutputDir(std::filesystem::path root = ".");

  const std::filesystem::path& root() const { return root_; }

  /// Creates `name` (a plain file name) for writing in text mode. "NUL" (any case) gives the null
  /// sink. Returns nullptr when the file cannot be created or the name is not a plain file name.
  std::unique_ptr<OutputSink> CreateText(std::string_view name);
  /// As CreateText, but bytes are written as they are.
  std::unique_ptr<OutputSink> CreateBinary(std::string_view name);

  /// The path of `name` inside the folder.
  std::filesystem::path PathOf(std::string_view name) const { return root_ / std::string(name); }
  /// Deletes `name` from the folder; false when it was not there.
  bool Remove(std::string_view name) const;

  /// True when `name` can be created in the folder as it stands: not empty, not "." or "..",
  /// no folder separator, no drive letter, no control character.
  static bool IsPlainName(std::string_view name);
  /// Maps a name that comes from the help file to a plain name: folder parts are dropped,
  /// separators, colons and control characters become "_", and an empty result or "."/".."
  /// becomes "_". Returns `name` unchanged when it is plain already.
  static std::string SafeName(std::string_view name);

 private:
  std::unique_ptr<OutputSink> Create(std::string_view name, bool text);
  std::filesystem::path root_;
};

}  // namespace quorvex
