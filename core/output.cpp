#include "core/output.h"

#include <system_error>

#include "core/diagnostics.h"

namespace quorvex {

OutputSink::OutputSink(Kind kind, std::string name, std::FILE* file)
    : kind_(kind), text_(kind == Kind::kText), name_(std::move(name)), file_(file) {}

OutputSink::~OutputSink() {
  // Close() reports write failures; a sink dropped during unwinding only releases the file.
  if (file_) {
    if (!failed_ && !buffer_.empty()) std::fwrite(buffer_.data(), 1, buffer_.size(), file_);
    std::fclose(file_);
  }
}

std::unique_ptr<OutputSink> OutputSink::Null() {
  return std::unique_ptr<OutputSink>(new OutputSink(Kind::kNull, "NUL", nullptr));
}

std::unique_ptr<OutputSink> OutputSink::Memory(bool text) {
  auto sink = std::unique_ptr<OutputSink>(new OutputSink(Kind::kMemory, "memory", nullptr));
  sink->text_ = text;
  return sink;
}

void OutputSink::Flush() {
  if (!file_ || buffer_.empty()) return;
  if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
    failed_ = true;
    buffer_.clear();
    FatalError("Can't write. Disk Full?\n");
  }
  buffer_.clear();
}

void OutputSink::Close() {
  if (!file_) return;
  Flush();
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

bool OutputDir::IsPlainName(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
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
  return out;
}

bool OutputDir::Remove(std::string_view name) const {
  std::error_code ec;
  return std::filesystem::remove(PathOf(name), ec);
}

std::unique_ptr<OutputSink> OutputDir::Create(std::string_view name, bool text) {
  if (name.size() == 3 && (name[0] | 0x20) == 'n' && (name[1] | 0x20) == 'u' &&
      (name[2] | 0x20) == 'l')
    return OutputSink::Null();
  if (!IsPlainName(name)) return nullptr;
  std::FILE* f = std::fopen(PathOf(name).c_str(), "wb");
  if (!f) return nullptr;
  return std::unique_ptr<OutputSink>(new OutputSink(
      text ? OutputSink::Kind::kText : OutputSink::Kind::kBinary, std::string(name), f));
}

std::unique_ptr<OutputSink> OutputDir::CreateText(std::string_view name) {
  return Create(name, true);
}

std::unique_ptr<OutputSink> OutputDir::CreateBinary(std::string_view name) {
  return Create(name, false);
}

}  // namespace quorvex
