#include "core/diagnostics.h"

#include <cstdio>

namespace quorvex {

std::string WithVisibleControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

size_t RecordingDiagnostics::Count(int id) const {
  size_t n = 0;
  for (const auto& w : warnings) n += w.id == id;
  return n;
}

bool RecordingDiagnostics::Saw(std::string_view part) const {
  for (const auto& w : warnings)
    if (w.text.find(part) != std::string::npos) return true;
  return false;
}

TerminalDiagnostics::TerminalDiagnostics(bool interactive) : interactive_(interactive) {}

TerminalDiagnostics::~TerminalDiagnostics() {
  Finish();
}

void TerminalDiagnostics::Finish() {
  if (bar_shown_) {
    std::fputc('\n', stderr);
    bar_shown_ = false;
  }
  std::fflush(stderr);
}

void TerminalDiagnostics::ClearLine() {
  if (bar_shown_) {
    std::fputs("\r\033[K", stderr);
    bar_shown_ = false;
  }
}

void TerminalDiagnostics::OnWarning(int, const std::string& text) {
  ++warnings_;
  ClearLine();
  std::fprintf(stderr, "%s %s\n", LoadText(kTextWarningPrefix).c_str(), text.c_str());
  if (interactive_) Draw();
}

void TerminalDiagnostics::OnProgress(int percent, int phase) {
  bool new_phase = phase != 0 && phase != phase_;
  if (new_phase) phase_ = phase;
  if (percent != 0) percent_ = percent > 100 ? 100 : percent;
  if (interactive_) {
    if (new_phase || percent_ != drawn_percent_) Draw();
  } else if (new_phase) {
    std::fprintf(stderr, "%s...\n", LoadText(phase_).c_str());
  }
}

void TerminalDiagnostics::Draw() {
  constexpr int kBarWidth = 30;
  int filled = percent_ * kBarWidth / 100;
  std::string bar(filled, '#');
  bar.append(kBarWidth - filled, '.');
  std::fprintf(stderr, "\r\033[K[%s] %3d%% %s", bar.c_str(), percent_,
               phase_ ? LoadText(phase_).c_str() : "");
  std::fflush(stderr);
  bar_shown_ = true;
  drawn_percent_ = percent_;
}

}  // namespace quorvex
