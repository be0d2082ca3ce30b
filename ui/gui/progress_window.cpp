#include "ui/gui/progress_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "core/strings.h"
#include "ui/cli.h"
#include "ui/gui/gui_common.h"
#include "ui/ui_strings.h"

namespace quorvex {

// ---------------------------------------------------------------------------------------------
// The bar.

ProgBar::ProgBar(QWidget* parent) : QFrame(parent) {
  setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  setCursor(Qt::ArrowCursor);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void ProgBar::SetRange(int range) {
  if (uint16_t(range) == range_) return;
  range_ = uint16_t(range);
  repaint();
}

void ProgBar::SetPosition(int position) {
  if (uint16_t(position) == position_) return;
  position_ = uint16_t(position);
  repaint();
}

void ProgBar::Increment(int by) {
  position_ = uint16_t(position_ + by);
  repaint();
}

QString ProgBar::Label(uint16_t range, uint16_t position) {
  const uint32_t r = range ? range : 1;
  const uint32_t p = position > r ? r : position;
  const uint32_t percent = (p * 100 + r / 2) / r;  // to the nearest integer, as MulDiv rounds
  return QString::asprintf("%3u%%", percent);
}

int ProgBar::FilledWidth(int client_width, uint16_t range, uint16_t position) {
  const uint32_t r = range ? range : 1;
  const uint32_t p = position > r ? r : position;
  return int(uint16_t(uint32_t(client_width) * p / r)) + 1;
}

void ProgBar::paintEvent(QPaintEvent* event) {
  QFrame::paintEvent(event);  // the border
  const QRect client = contentsRect();
  const int width = client.width(), height = client.height();
  const int filled = FilledWidth(width, range_, position_);
  const QString label = Label(range_, position_);
  const QFontMetrics metrics(font());
  const int x = (width - metrics.horizontalAdvance(label)) / 2;
  const int y = (height - metrics.height()) / 2 + metrics.ascent();

  QPainter p(this);
  p.translate(client.topLeft());
  p.setFont(font());
  const QColor blue(0, 0, 255), white(255, 255, 255);
  const QRect parts[2] = {QRect(0, 0, filled, height), QRect(filled, 0, width - filled, height)};
  for (int i = 0; i < 2; ++i) {
    if (parts[i].width() <= 0) continue;
    p.setClipRect(parts[i].intersected(QRect(0, 0, width, height)));
    p.fillRect(parts[i], i == 0 ? blue : white);
    p.setPen(i == 0 ? white : blue);
    p.drawText(x, y, label);
  }
}

// ---------------------------------------------------------------------------------------------
// The reports of the worker thread.

class ProgressReports : public Diagnostics {
 public:
  struct Event {
    enum Kind { kFile, kProgress, kWarning } kind;
    int percent = 0;
    int phase = 0;
    std::string text;
    bool several = false;
  };

  explicit ProgressReports(ProgressWindow* window) : window_(window) {}

  void BeginFile(const std::string& path, bool several) {
    Add(Event{Event::kFile, 0, 0, path, several});
  }
  std::vector<Event> Take() {
    pending_.store(false);
    std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
  }
  /// Holds the conversion at its next report (the abort question is open).
  void Pause() {
    std::lock_guard lock(mutex_);
    paused_ = true;
  }
  /// Lets it go on; with `cancel` its next Progress throws ConversionCancelled.
  void Resume(bool cancel) {
    {
      std::lock_guard lock(mutex_);
      paused_ = false;
      cancelled_ = cancelled_ || cancel;
    }
    resumed_.notify_all();
  }

 protected:
  void OnWarning(int, const std::string& text) override {
    Add(Event{Event::kWarning, 0, 0, text, false});
  }
  void OnProgress(int percent, int phase) override {
    {
      std::unique_lock lock(mutex_);
      resumed_.wait(lock, [this] { return !paused_; });
      if (cancelled_) throw ConversionCancelled();
      // Reports come far faster than a window repaints: the progress reports that wait
      // together show as one.
      if (!events_.empty() && events_.back().kind == Event::kProgress) {
        Event& last = events_.back();
        if (percent) last.percent = percent;
        if (phase) last.phase = phase;
      } else {
        events_.push_back(Event{Event::kProgress, percent, phase, {}, false});
      }
    }
    Schedule();
  }

 private:
  void Add(Event event) {
    {
      std::unique_lock lock(mutex_);
      resumed_.wait(lock, [this] { return !paused_; });
      events_.push_back(std::move(event));
    }
    Schedule();
  }
  void Schedule() {
    if (pending_.exchange(true)) return;
    QMetaObject::invokeMethod(
        window_, [w = window_] { w->ApplyReports(); }, Qt::QueuedConnection);
  }

  ProgressWindow* window_;
  std::mutex mutex_;
  std::condition_variable resumed_;
  std::vector<Event> events_;
  bool paused_ = false;
  bool cancelled_ = false;
  std::atomic<bool> pending_{false};
};

// ---------------------------------------------------------------------------------------------
// The window.

ProgressWindow::ProgressWindow(QWidget* parent)
    : QDialog(parent), reports_(std::make_unique<ProgressReports>(this)) {
  setObjectName("1539");
  setWindowTitle(Tr(kTextProgressCaption));
  setWindowFlag(Qt::WindowMinimizeButtonHint);
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);

  phase_ = new QLabel(this);
  phase_->setObjectName("7102");
  bar_ = new ProgBar(this);
  bar_->setObjectName("7100");
  bar_->setMinimumSize(340, 52);
  auto* warnings_label = new QLabel(Tr(kTextWarnings), this);
  warnings_ = new QListWidget(this);
  warnings_->setObjectName("7101");
  warnings_->setMinimumHeight(120);
  warnings_->setWordWrap(true);  // long warnings wrap instead of running off the side
  warnings_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  warnings_label->setBuddy(warnings_);
  cancel_ = new QPushButton(Tr(kTextCancel), this);
  cancel_->setObjectName("2");
  view_ = new QPushButton(Tr(kTextView), this);
  view_->setObjectName("7106");
  view_->setEnabled(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cancel_);
  buttons->addWidget(view_);
  auto* grid = new QGridLayout(this);
  grid->addWidget(phase_, 0, 0, 1, 2);
  grid->addWidget(bar_, 1, 0);
  grid->addLayout(buttons, 1, 1, Qt::AlignBottom);
  grid->addWidget(warnings_label, 2, 0, 1, 2);
  grid->addWidget(warnings_, 3, 0, 1, 2);
  grid->setColumnStretch(0, 1);
  grid->setRowStretch(3, 1);
  resize(600, 320);

  connect(cancel_, &QPushButton::clicked, this, [this] { OnCancelOrOk(); });
  connect(view_, &QPushButton::clicked, this, [this] {
    if (on_view) on_view();
  });
}

ProgressWindow::~ProgressWindow() = default;

Diagnostics& ProgressWindow::diagnostics() {
  return *reports_;
}

void ProgressWindow::BeginFile(const std::string& path, bool several) {
  reports_->BeginFile(path, several);
}

void ProgressWindow::ApplyReports() {
  for (const ProgressReports::Event& e : reports_->Take()) {
    switch (e.kind) {
      case ProgressReports::Event::kFile:
        // Each help file starts as in a window of its own: no phase, an empty bar.
        setWindowTitle(Tr(kTextProgressCaption) + QString::fromStdString(e.text));
        last_phase_ = 0;
        phase_->clear();
        bar_->SetPosition(0);
        if (e.several)
          warnings_->addItem(QFileInfo(QString::fromStdString(e.text)).fileName() + ":");
        break;
      case ProgressReports::Event::kProgress:
        ShowProgress(e.percent, e.phase);
        break;
      case ProgressReports::Event::kWarning:
        warnings_->addItem(QString::fromStdString(e.text));
        warnings_->scrollToBottom();
        break;
    }
  }
}

void ProgressWindow::ShowProgress(int percent, int phase) {
  if (phase != 0 && phase != last_phase_) {
    last_phase_ = phase;
    phase_->setText(Tr(phase));
  }
  if (percent != 0) bar_->SetPosition(percent);
}

void ProgressWindow::Finish(bool view_enabled, bool beep, const QString& text) {
  ApplyReports();
  finished_ = true;
  cancel_->setObjectName("1");
  cancel_->setText(Tr(kTextOk));
  cancel_->setDefault(true);
  cancel_->setFocus();
  view_->setEnabled(view_enabled);
  if (!text.isEmpty()) phase_->setText(text);
  if (beep) QApplication::beep();
}

void ProgressWindow::reject() {
  OnCancelOrOk();
}

void ProgressWindow::OnCancelOrOk() {
  if (finished_) {
    if (confirmed_) return;
    confirmed_ = true;
    hide();
    if (on_confirmed) on_confirmed();
    return;
  }
  if (asking_ || abort_confirmed_) return;
  asking_ = true;
  reports_->Pause();
  QMessageBox question(QMessageBox::Question, Tr(kTextAbortCaption), Tr(kTextAbortQuestion),
                       QMessageBox::Yes | QMessageBox::No, this);
  question.setObjectName("abortQuestion");
  question.button(QMessageBox::Yes)->setText(Tr(kTextYes));
  question.button(QMessageBox::No)->setText(Tr(kTextNo));
  const bool yes = question.exec() == QMessageBox::Yes;
  asking_ = false;
  abort_confirmed_ = yes;
  reports_->Resume(yes);
  if (on_abort_answer) on_abort_answer(yes);
}

// ---------------------------------------------------------------------------------------------
// A run under the window.

int RunUnderProgressWindow(ProgressWindow& window, const ProgressRun& run) {
  window.show();
  CentreWindow(&window);

  QEventLoop loop;
  std::atomic<bool> done{false};
  std::optional<std::string> fatal;
  int status = kExitFatal;
  auto quit_when_over = [&] {
    if (done.load() || window.abort_confirmed()) loop.quit();
  };
  window.on_abort_answer = [&](bool) { quit_when_over(); };
  std::thread worker([&] {
    status = RunReportingFatal(
        [&] {
          run.work(window.diagnostics());
          return kExitNormal;
        },
        [&](const std::string& message) { fatal = message; });
    done.store(true);
    QMetaObject::invokeMethod(&loop, quit_when_over, Qt::QueuedConnection);
  });
  loop.exec();
  // After a confirmed abort the worker stops at its next progress report.
  worker.join();
  window.on_abort_answer = nullptr;

  if (window.abort_confirmed()) return kExitFatal;
  if (fatal) {
    window.hide();
    QMessageBox box(QMessageBox::Critical, Tr(kTextSevereProblem), QString::fromStdString(*fatal),
                    QMessageBox::Ok);
    box.setObjectName("severeProblem");
    box.exec();
    return kExitFatal;
  }
  if (status != kExitNormal) return status;

  if (run.succeeded) run.succeeded();
  QEventLoop confirmation;
  window.on_confirmed = [&confirmation] { confirmation.quit(); };
  window.Finish(run.view_enabled, run.beep, run.finished_text);
  if (!window.confirmed()) confirmation.exec();
  window.on_confirmed = nullptr;
  return kExitNormal;
}

}  // namespace quorvex
