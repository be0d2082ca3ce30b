// Output files. Every file the conversion writes is created through an OutputDir.
//
// Text files get CR LF for every LF, on every platform, so the output is byte-identical to the
// original platform's. A name that is not a plain file name (absolute, with folder parts or
// "..", a drive letter, a control character, a reserved device name) is written under a safe
// name inside the folder, with a warning that names both: nothing is ever written outside it.
// Files are created without following symbolic links, and never over a protected file (the help
// file being converted), whatever its name. Every byte written counts into the conversion's
// output budget.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>

namespace quorvex {

class Diagnostics;

/// The bytes one conversion may write, as far as the help file's size can justify them, and the
/// bytes written so far into the files of the folders that count into it.
struct OutputBudget {
  uint64_t limit = UINT64_MAX;
  uint64_t written = 0;
  bool reported = false;  // the warning that the budget is spent has been given
  bool spent() const { return written > limit; }
};

/// A buffered output file (text or binary), a null sink, or a memory sink.
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
    // Most pieces are a few bytes. One without LF is one copy (for a literal, the compiler
    // finds no LF itself); a long one goes to WriteLong either way. (An empty piece's data may
    // be null, which memchr must not get.)
    if (!text_ || bytes.size() > kShortPiece || bytes.empty() ||
        !std::memchr(bytes.data(), '\n', bytes.size()))
      return WritePlain(bytes);
    // A short piece of a text sink (never the null sink) with LF, copied LF by LF: each byte
    // takes at most two bytes of the buffer (LF becomes CR LF).
    if (budget_) budget_->written += bytes.size();
    if (used_ + 2 * kShortPiece > capacity_) return WriteLong(bytes);
    char* to = buffer_.get() + used_;
    for (const char c : bytes) {
      if (c == '\n') *to++ = '\r';
      *to++ = c;
    }
    used_ = static_cast<size_t>(to - buffer_.get());
  }
  void Put(char c) {
    const std::string_view one(&c, 1);
    return c == '\n' ? Write(one) : WritePlain(one);
  }
  /// Write for a piece that holds no LF (a control word, a number): it is not searched for one.
  void WritePlain(std::string_view bytes) {
    if (kind_ == Kind::kNull) return;
    if (budget_) budget_->written += bytes.size();
    if (bytes.size() > kShortPiece || used_ + 2 * kShortPiece > capacity_)
      return WriteLong(bytes);
    if (bytes.empty()) return;  // (its data may be null, which memcpy must not get)
    std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
  }

  /// For writers that build their bytes in the sink's buffer itself: room for `n` bytes (at
  /// most kMaxReserve) as they go to the file, so a text sink's writer writes each LF as CR LF
  /// itself. Commit takes the end of what was written and the number of bytes it stands for
  /// (each CR LF counted as the one LF it was), which count into the budget. Not for the null
  /// sink.
  static constexpr size_t kMaxReserve = 1 << 12;
  char* Reserve(size_t n) {
    if (used_ + n > capacity_) Flush();
    return buffer_.get() + used_;
  }
  void Commit(const char* end, size_t counted) {
    if (budget_) budget_->written += counted;
    used_ = static_cast<size_t>(end - buffer_.get());
  }
  /// LF goes to the file as CR LF.
  bool crlf() const { return text_; }

  /// Writes the buffer out and closes the file. A failed write is fatal:
  /// "Can't write. Disk Full?\n". Closing twice does nothing.
  void Close();
  /// Hands the writes of a file sink to a thread of its own, in larger pieces, so that the
  /// writer goes on filling the next piece meanwhile (for other sinks, or where no thread can
  /// be started, nothing changes). A failed write is then reported by the flush after it, at
  /// the latest by Close.
  void WriteBehind();

  bool is_null() const { return kind_ == Kind::kNull; }
  Kind kind() const { return kind_; }
  /// The name the sink was created under ("NUL" for the null sink); for a name that had to be
  /// made safe, the safe name.
  const std::string& name() const { return name_; }
  /// What a memory sink of its own holds.
  const std::string& contents() {
    Flush();
    return memory_;
  }

 private:
  static constexpr size_t kBufferSize = 1 << 16;
  /// The pieces a thread that writes behind is handed.
  static constexpr size_t kBehindBufferSize = 1 << 20;
  static constexpr size_t kShortPiece = 32;
  OutputSink(Kind kind, bool text, std::string name);
  void WriteLong(std::string_view bytes);
  struct Behind;
  /// Waits until the piece handed to the thread is written; fatal when a write failed.
  void WaitBehind();
  /// Stops the thread once it has written what it was handed.
  void StopBehind();
  /// Hands the buffer on: to the file, the in-memory folder's file or the sink's own memory.
  void Flush();

  Kind kind_;
  bool text_;
  std::string name_;
  std::FILE* file_ = nullptr;
  std::string* target_ = nullptr;  // the file of an in-memory folder
  OutputBudget* budget_ = nullptr;
  std::unique_ptr<char[]> buffer_;  // capacity_ bytes (none for the null sink)
  size_t capacity_ = kBufferSize;
  size_t used_ = 0;
  std::string memory_;  // what a memory sink of its own holds
  bool failed_ = false;
  std::unique_ptr<Behind> behind_;  // the thread that writes the file, after WriteBehind

  friend class OutputDir;
};

/// The folder that receives the output of a conversion: a folder on disk, or one in memory
/// (tests, fuzzing).
class OutputDir {
 public:
  /// `root`: the folder on disk; created when missing.
  explicit OutputDir(std::filesystem::path root = ".");
  /// A folder that keeps its files in memory.
  static std::unique_ptr<OutputDir> InMemory();

  const std::filesystem::path& root() const { return root_; }
  bool in_memory() const { return in_memory_; }
  /// Where the warnings about unsafe names go (none: they are not reported).
  void ReportTo(Diagnostics* diagnostics) { diagnostics_ = diagnostics; }
  /// The budget the bytes of the files created from now on count into (none: not counted).
  void CountInto(OutputBudget* budget);
  /// Never writes over the file at `path` (the help file being read): a file to be created
  /// that is that same file, under whatever name or link, is written under another name, with
  /// a warning. A path that does not exist protects nothing.
  void Protect(const std::filesystem::path& path);

  /// Creates `name` for writing in text mode. Returns nullptr only when the file cannot be
  /// created.
  std::unique_ptr<OutputSink> CreateText(std::string_view name);
  /// As CreateText, but bytes are written as they are.
  std::unique_ptr<OutputSink> CreateBinary(std::string_view name);

  /// The path of `name` inside the folder (for messages and for opening a finished file).
  std::filesystem::path PathOf(std::string_view name) const { return root_ / std::string(name); }
  /// The bytes of `name`, a file this folder created; none when it was not created here or
  /// cannot be read.
  std::optional<std::string> Read(std::string_view name) const;
  /// Deletes `name`, but only a file this folder created; false when nothing was deleted.
  bool Remove(std::string_view name);
  /// The files created so far, by name (in memory: with their bytes; on disk: empty bytes).
  const std::map<std::string, std::string>& files() const { return files_; }

  /// True when `name` can be created in the folder as it stands: not empty, not "." or "..",
  /// no folder separator, no drive letter, no control character, no reserved device name.
  static bool IsPlainName(std::string_view name);
  /// Maps a name that is not plain to a plain one: folder parts are dropped, colons and control
  /// characters become "_", a reserved device name gets a "_" in front, and an empty result or
  /// "."/".." becomes "_". Returns `name` unchanged when it is plain already.
  static std::string SafeName(std::string_view name);

 private:
  std::unique_ptr<OutputSink> Create(std::string_view name, bool text);
  /// The name a file is created under: `name` itself when plain, else a safe name not yet
  /// used in this folder.
  std::string NameFor(std::string_view name);
  /// A name like `safe` ("X_2.BMP") that no file of this conversion has taken yet.
  std::string UnusedName(const std::string& safe) const;
  /// True when `name` exists in the folder (not through a link) and is a protected file.
  bool IsProtected(const std::string& name) const;

  std::filesystem::path root_;
  bool in_memory_ = false;
  Diagnostics* diagnostics_ = nullptr;
  OutputBudget* budget_ = nullptr;
  std::set<std::pair<uint64_t, uint64_t>> protected_;  // device and inode
  std::map<std::string, std::string> files_;
};

}  // namespace quorvex
