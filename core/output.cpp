#include "core/output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#include <system_error>
#include <thread>

#include "core/diagnostics.h"

namespace quorvex {

namespace {

/// Names that Windows reserves for devices, with or without an extension: a help compiler
/// there could not read a file under such a name back.
bool IsDeviceName(std::string_view name) {
  std::string stem(name.substr(0, name.find('.')));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) &&
         stem[3] >= '1' && stem[3] <= '9';
}

/// Opens `path` for writing without following a symbolic link: a link that is already there is
/// replaced by the new file, so that its target (perhaps outside the folder) stays untouched.
std::FILE* OpenNoFollow(const std::filesystem::path& path) {
  constexpr int kFlags = O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::open(path.c_str(), kFlags, 0666);
  if (fd < 0 && errno == ELOOP && ::unlink(path.c_str()) == 0)
    fd = ::open(path.c_str(), kFlags | O_EXCL, 0666);
  if (fd < 0) return nullptr;
  std::FILE* f = ::fdopen(fd, "wb");
  if (!f) ::close(fd);
  return f;
}

}  // namespace

OutputSink::OutputSink(Kind kind, bool text, std::string name)
    : kind_(kind), text_(text), name_(std::move(name)) {
  if (kind != Kind::kNull) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferSize);
}

/// The thread of WriteBehind and the piece it is writing; the sink's buffer and this one change
/// places at every flush.
struct OutputSink::Behind {
  static constexpr size_t kStop = SIZE_MAX;
  std::unique_ptr<char[]> buffer;  // kBehindBufferSize bytes
  /// Bytes of `buffer` to be written, 0 while the thread is idle, kStop to end it.
  std::atomic<size_t> handed{0};
  bool failed = false;  // a write failed (read while `handed` is 0)
  std::thread thread;
};

void OutputSink::WriteBehind() {
  if (!file_ || behind_ || failed_) return;
  auto behind = std::make_unique<Behind>();
  behind->buffer = std::make_unique_for_overwrite<char[]>(kBehindBufferSize);
  auto buffer = std::make_unique_for_overwrite<char[]>(kBehindBufferSize);
  Behind& b = *behind;
  std::FILE* const file = file_;
  try {
    b.thread = std::thread([&b, file] {
      for (;;) {
        b.handed.wait(0, std::memory_order_acquire);
        const size_t n = b.handed.load(std::memory_order_acquire);
        if (n == Behind::kStop) return;
        if (std::fwrite(b.buffer.get(), 1, n, file) != n) b.failed = true;
        b.handed.store(0, std::memory_order_release);
        b.handed.notify_all();
      }
    });
  } catch (const std::system_error&) {
    return;  // the writes stay on the writer's thread
  }
  std::memcpy(buffer.get(), buffer_.get(), used_);
  buffer_ = std::move(buffer);
  capacity_ = kBehindBufferSize;
  behind_ = std::move(behind);
}

void OutputSink::WaitBehind() {
  for (size_t n; (n = behind_->handed.load(std::memory_order_acquire)) != 0;)
    behind_->handed.wait(n, std::memory_order_acquire);
  if (behind_->failed && !failed_) {
    failed_ = true;
    FatalError("Can't write. Disk Full?\n");
  }
}

void OutputSink::StopBehind() {
  if (!behind_) return;
  Behind& b = *behind_;
  // The piece it was handed is written first.
  for (size_t n; (n = b.handed.load(std::memory_order_acquire)) != 0;)
    b.handed.wait(n, std::memory_order_acquire);
  b.handed.store(Behind::kStop, std::memory_order_release);
  b.handed.notify_all();
  b.thread.join();
  failed_ = failed_ || b.failed;
  behind_.reset();
}

OutputSink::~OutputSink() {
  StopBehind();
  // Close() reports write failures; a sink dropped during unwinding only releases the file.
  if (file_) {
    if (!failed_ && used_ > 0) std::fwrite(buffer_.get(), 1, used_, file_);
    std::fclose(file_);
  } else if (target_) {
    target_->append(buffer_.get(), used_);
  }
}

std::unique_ptr<OutputSink> OutputSink::Null() {
  return std::unique_ptr<OutputSink>(new OutputSink(Kind::kNull, false, "NUL"));
}

std::unique_ptr<OutputSink> OutputSink::Memory(bool text) {
  return std::unique_ptr<OutputSink>(new OutputSink(Kind::kMemory, text, "memory"));
}

void OutputSink::WriteLong(std::string_view bytes) {
  while (!bytes.empty()) {
    // A piece that fits the buffer's free half even if all of it is LF.
    if (used_ > capacity_ / 2) Flush();
    const std::string_view piece = bytes.substr(0, (capacity_ - used_) / 2);
    bytes.remove_prefix(piece.size());
    char* to = buffer_.get() + used_;
    for (size_t from = 0; from < piece.size();) {
      const size_t lf = text_ ? piece.find('\n', from) : std::string_view::npos;
      const size_t n = (lf == std::string_view::npos ? piece.size() : lf) - from;
      std::memcpy(to, piece.data() + from, n);
      to += n;
      from += n;
      if (lf != std::string_view::npos) {
        *to++ = '\r';
        *to++ = '\n';
        ++from;
      }
    }
    used_ = static_cast<size_t>(to - buffer_.get());
  }
}

void OutputSink::Flush() {
  const size_t n = std::exchange(used_, 0);
  if (n == 0) return;
  if (target_) {
    target_->append(buffer_.get(), n);
  } else if (file_ && behind_) {
    WaitBehind();
    std::swap(buffer_, behind_->buffer);
    behind_->handed.store(n, std::memory_order_release);
    behind_->handed.notify_all();
  } else if (file_) {
    if (std::fwrite(buffer_.get(), 1, n, file_) != n) {
      failed_ = true;
      FatalError("Can't write. Disk Full?\n");
    }
  } else {
    memory_.append(buffer_.get(), n);
  }
}

void OutputSink::Close() {
  if (target_) {
    Flush();
    target_ = nullptr;
    return;
  }
  if (!file_) return;
  Flush();
  if (behind_) {
    WaitBehind();
    StopBehind();
  }
  std::FILE* f = file_;
  file_ = nullptr;
  if (std::fclose(f) != 0) {
    failed_ = true;
    FatalError("Can't write. Disk Full?\n");
  }
}

OutputDir::OutputDir(std::filesystem::path root) : root_(std::move(root)) {
  std::error_code ec;
  std::filesystem::create_directories(root_, ec);
}

std::unique_ptr<OutputDir> OutputDir::InMemory() {
  auto dir = std::unique_ptr<OutputDir>(new OutputDir(std::filesystem::path()));
  dir->in_memory_ = true;
  return dir;
}

bool OutputDir::IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == ".." || IsDeviceName(name)) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

std::string OutputDir::SafeName(std::string_view name) {
  if (IsPlainName(name)) return std::string(name);
  // Keep the last folder part: "..\..\X.BMP" and "C:\X.BMP" both become "X.BMP".
  size_t cut = name.find_last_of("/\\");
  if (cut != std::string_view::npos) name = name.substr(cut + 1);
  std::string out;
  for (unsigned char c : name) {
    out += (c < 0x20 || c == 0x7F || c == ':') ? '_' : static_cast<char>(c);
  }
  if (out.empty() || out == "." || out == "..") out = "_";
  if (IsDeviceName(out)) out.insert(0, "_");
  return out;
}

std::string OutputDir::UnusedName(const std::string& safe) const {
  std::string chosen = safe;
  const size_t dot = safe.rfind('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? safe : safe.substr(0, dot);
  const std::string extension = stem.size() == safe.size() ? "" : safe.substr(dot);
  for (int n = 2; files_.count(chosen) || IsProtected(chosen); ++n)
    chosen = stem + "_" + std::to_string(n) + extension;
  return chosen;
}

std::string OutputDir::NameFor(std::string_view name) {
  if (IsPlainName(name)) {
    if (!IsProtected(std::string(name))) return std::string(name);
    const std::string chosen = UnusedName(std::string(name));
    if (diagnostics_) diagnostics_->Warning(kWarnOutputIsInput, name, chosen);
    return chosen;
  }
  // Two unsafe names can map to one safe name: later ones get a number, so none overwrites
  // another file of this conversion.
  const std::string chosen = UnusedName(SafeName(name));
  if (diagnostics_) diagnostics_->Warning(kWarnUnsafeName, name, chosen);
  return chosen;
}

void OutputDir::CountInto(OutputBudget* budget) {
  budget_ = budget;
}

void OutputDir::Protect(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) protected_.insert({uint64_t(st.st_dev), uint64_t(st.st_ino)});
}

bool OutputDir::IsProtected(const std::string& name) const {
  if (in_memory_ || protected_.empty()) return false;
  // A link is replaced, never followed, so only a file itself can be the protected one.
  struct stat st {};
  return ::lstat(PathOf(name).c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
         protected_.count({uint64_t(st.st_dev), uint64_t(st.st_ino)});
}

std::unique_ptr<OutputSink> OutputDir::Create(std::string_view name, bool text) {
  const std::string actual = NameFor(name);
  const OutputSink::Kind kind = text ? OutputSink::Kind::kText : OutputSink::Kind::kBinary;
  auto sink = std::unique_ptr<OutputSink>(new OutputSink(kind, text, actual));
  sink->budget_ = budget_;
  if (in_memory_) {
    std::string& contents = files_[actual];
    contents.clear();
    sink->target_ = &contents;
    return sink;
  }
  sink->file_ = OpenNoFollow(PathOf(actual));
  if (!sink->file_) return nullptr;
  files_[actual];
  return sink;
}

std::unique_ptr<OutputSink> OutputDir::CreateText(std::string_view name) {
  return Create(name, true);
}

std::unique_ptr<OutputSink> OutputDir::CreateBinary(std::string_view name) {
  return Create(name, false);
}

std::optional<std::string> OutputDir::Read(std::string_view name) const {
  auto it = files_.find(std::string(name));
  if (it == files_.end()) return std::nullopt;
  if (in_memory_) return it->second;
  std::ifstream in(PathOf(name), std::ios::binary);
  if (!in) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool OutputDir::Remove(std::string_view name) {
  auto it = files_.find(std::string(name));
  if (it == files_.end()) return false;
  files_.erase(it);
  if (in_memory_) return true;
  std::error_code ec;
  return std::filesystem::remove(PathOf(name), ec);
}

}  // namespace quorvex
