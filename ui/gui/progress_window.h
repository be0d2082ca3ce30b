// The progress window: the phase of the conversion, the "Prog" bar, the warning list, Cancel
// with the abort question, and the finished state in which the user confirms the end.
//
// The conversion runs on one worker thread; what it reports reaches the window through the
// window's Diagnostics, which queues the reports for the GUI thread, so the window repaints
// and Cancel answers while a large file converts.
#pragma once

#include <QDialog>
#include <QFrame>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/diagnostics.h"

class QLabel;
class QListWidget;
class QPushButton;

namespace quorvex {

/// The bar: a range (100 at first) and a position (0 at first). The part up to the position is
/// blue with the label in white, the rest white with the label in blue, so the label changes
/// colour exactly where the bar ends.
class ProgBar : public QFrame {
 public:
  explicit ProgBar(QWidget* parent = nullptr);

  void SetRange(int range);        // a repaint only when it changes
  void SetPosition(int position);  // a repaint only when it changes
  void Increment(int by);
  int range() const { return range_; }
  int position() const { return position_; }

  /// The label: the position in percent of the range, to the nearest integer, as "%3d%%". A
  /// range of 0 counts as 1, a position above the range as the range.
  static QString Label(uint16_t range, uint16_t position);
  /// The width of the blue part in a client area `client_width` wide (one pixel at 0, the
  /// width plus one at the end).
  static int FilledWidth(int client_width, uint16_t range, uint16_t position);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  uint16_t range_ = 100;
  uint16_t position_ = 0;
};

class ProgressReports;

class ProgressWindow : public QDialog {
 public:
  explicit ProgressWindow(QWidget* parent = nullptr);
  ~ProgressWindow() override;

  /// Where the conversion reports, from the worker thread. Progress pauses while the abort
  /// question is open and throws ConversionCancelled once the user has confirmed it.
  Diagnostics& diagnostics();
  /// Called on the worker thread before each help file of a selection: the caption names
  /// `path`; with `several`, a line with the file's name heads its warnings.
  void BeginFile(const std::string& path, bool several);
  /// Shows what the conversion has reported so far (GUI thread; also runs by itself).
  void ApplyReports();

  /// The finished state: Cancel becomes the default button "&Ok", View is enabled when
  /// `view_enabled`, the phase line shows `text`, and with `beep` the standard beep sounds.
  void Finish(bool view_enabled, bool beep, const QString& text);
  bool finished() const { return finished_; }
  /// True once OK was pressed in the finished state (or the window closed then).
  bool confirmed() const { return confirmed_; }
  /// True when the user answered Yes to the abort question.
  bool abort_confirmed() const { return abort_confirmed_; }
  /// Called when the user answers the abort question (true: Yes).
  std::function<void(bool)> on_abort_answer;
  /// Called by View in the finished state.
  std::function<void()> on_view;
  /// Called when the finished state is confirmed.
  std::function<void()> on_confirmed;

  ProgBar* bar() const { return bar_; }

 protected:
  void reject() override;  // Escape and the close box act as the Cancel/OK button

 private:
  void OnCancelOrOk();
  void ShowProgress(int percent, int phase);

  QLabel* phase_;
  ProgBar* bar_;
  QListWidget* warnings_;
  QPushButton* cancel_;
  QPushButton* view_;
  std::unique_ptr<ProgressReports> reports_;
  int last_phase_ = 0;
  bool finished_ = false;
  bool confirmed_ = false;
  bool asking_ = false;
  bool abort_confirmed_ = false;
};

/// What a run under the progress window does after the work and how it ends.
struct ProgressRun {
  /// The conversion; runs on a worker thread with the window's diagnostics.
  std::function<void(Diagnostics&)> work;
  /// After a successful work, on the GUI thread, before the finished state (the settings).
  std::function<void()> succeeded;
  bool view_enabled = true;
  bool beep = true;
  QString finished_text;
};

/// Shows `window`, runs the work on a worker thread and, when it succeeds, the finished state
/// until the user confirms it. Returns the exit status: 2 after the confirmation, 1 after a
/// fatal error (shown in a message box with the caption "Quorvex Severe Problem") or a
/// confirmed abort.
int RunUnderProgressWindow(ProgressWindow& window, const ProgressRun& run);

}  // namespace quorvex
