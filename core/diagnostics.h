// The conversion's only channel to the user: fatal errors, warnings and progress.
//
// A fatal error throws FatalException; nothing inside the library catches it, the entry point
// shows it and ends the process with status 1. Warnings and progress go to a Diagnostics object
// that the driver receives with the job: the terminal display, the GUI progress window, or a
// recording one in tests.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/code_page.h"
#include "core/format.h"
#include "core/strings.h"

namespace quorvex {

/// Thrown by FatalError; carries the formatted message.
class FatalException : public std::runtime_error {
 public:
  explicit FatalException(const std::string& text) : std::runtime_error(text) {}
};

/// Thrown out of Progress when the user cancels the conversion.
class ConversionCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "conversion cancelled"; }
};

/// `text` with its control characters (below 0x20, and 0x7F) as "\xNN".
std::string WithVisibleControls(std::string_view text);

/// An argument of a fatal message as it is shown: numbers as they are, texts (paths and names,
/// which may hold any byte) with visible control characters, so that none reaches a terminal
/// as an escape sequence.
template <typename T>
auto VisibleArg(const T& v) {
  if constexpr (std::is_arithmetic_v<T>) {
    return v;
  } else if constexpr (std::is_pointer_v<T>) {
    return WithVisibleControls(v ? std::string_view(v) : std::string_view());
  } else {
    return WithVisibleControls(std::string_view(v));
  }
}

/// Formats `format` with `args` and throws a FatalException with the text. Never returns.
template <typename... A>
[[noreturn]] void FatalError(std::string_view format, const A&... args) {
  throw FatalException(FormatText(format, {FormatArg(VisibleArg(args))...}));
}

/// One warning as it was reported.
struct WarningRecord {
  int id;
  std::string text;
};

/// Receiver of warnings and progress reports.
class Diagnostics {
 public:
  virtual ~Diagnostics() = default;

  /// Formats the string-table text of `id` with `args`, cuts it at its first line feed and
  /// reports it.
  /// Text arguments are help-file bytes: they are shown as UTF-8 of the current code page,
  /// control characters as "\xNN", so that no message carries terminal escapes.
  template <typename... A>
  void Warning(int id, const A&... args) {
    std::string text = FormatText(LoadText(id), {FormatArg(Shown(args))...});
    if (size_t lf = text.find('\n'); lf != std::string::npos) text.resize(lf);
    ++warnings_reported_;
    OnWarning(id, text);
  }
  /// `percent` 0 leaves the bar unchanged; `phase` 0 (a string id) leaves the phase unchanged.
  /// May throw ConversionCancelled.
  void Progress(int percent, int phase) { OnProgress(percent, phase); }
  /// Reports a warning another receiver formatted and held back for a while.
  void Forward(int id, const std::string& text) {
    ++warnings_reported_;
    OnWarning(id, text);
  }
  /// How many warnings this receiver has been given so far.
  size_t warnings_reported() const { return warnings_reported_; }

  /// The code page of the help file being converted, for the text arguments of warnings.
  void SetCodePage(uint32_t code_page) { code_page_ = code_page; }
  uint32_t code_page() const { return code_page_; }

 protected:
  virtual void OnWarning(int id, const std::string& text) = 0;
  virtual void OnProgress(int percent, int phase) = 0;

 private:
  template <typename T>
  auto Shown(const T& v) const {
    if constexpr (std::is_integral_v<T>) {
      return v;
    } else if constexpr (std::is_pointer_v<T>) {
      return MessageText(v ? std::string_view(v) : std::string_view(), code_page_);
    } else {
      return MessageText(std::string_view(v), code_page_);
    }
  }
  uint32_t code_page_ = kWesternCodePage;
  size_t warnings_reported_ = 0;
};

/// Drops everything; used where nothing may be shown (probing a file for its title).
class NullDiagnostics : public Diagnostics {
 protected:
  void OnWarning(int, const std::string&) override {}
  void OnProgress(int, int) override {}
};

/// Holds the warnings of one step of work in a list, to be forwarded later in their order.
/// The work reports no progress (a progress report is dropped).
class HeldDiagnostics : public Diagnostics {
 public:
  std::vector<WarningRecord>* into = nullptr;

 protected:
  void OnWarning(int id, const std::string& text) override { into->push_back({id, text}); }
  void OnProgress(int, int) override {}
};

/// Keeps every report, for tests.
class RecordingDiagnostics : public Diagnostics {
 public:
  using WarningRecord = quorvex::WarningRecord;
  std::vector<WarningRecord> warnings;
  std::vector<std::pair<int, int>> progress;  // (percent, phase)

  /// Number of warnings with string id `id`.
  size_t Count(int id) const;
  /// True when some warning text contains `part`.
  bool Saw(std::string_view part) const;

 protected:
  void OnWarning(int id, const std::string& text) override { warnings.push_back({id, text}); }
  void OnProgress(int percent, int phase) override { progress.emplace_back(percent, phase); }
};

/// The terminal display: on a terminal a live progress bar with the phase name on stderr,
/// otherwise one plain line per phase. Warnings are listed as they come.
class TerminalDiagnostics : public Diagnostics {
 public:
  /// `interactive`: draw the live bar (stderr is a terminal).
  explicit TerminalDiagnostics(bool interactive);
  ~TerminalDiagnostics() override;
  /// Ends the live bar line, if one is shown.
  void Finish();
  size_t warning_count() const { return warnings_; }

 protected:
  void OnWarning(int id, const std::string& text) override;
  void OnProgress(int percent, int phase) override;

 private:
  void Draw();
  void ClearLine();
  bool interactive_;
  bool bar_shown_ = false;
  int phase_ = 0;
  int percent_ = 0;
  int drawn_percent_ = -1;
  size_t warnings_ = 0;
};

}  // namespace quorvex
