// The wizard, the progress window and the help-file list, driven through their widgets, and a
// whole wizard conversion that writes what the command line writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <set>

#include "core/strings.h"
#include "tests/support/help_writer.h"
#include "tests/support/run_program.h"
#include "ui/gui/desktop.h"
#include "ui/gui/help_file_list.h"
#include "ui/gui/progress_window.h"

namespace quorvex {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

/// A help file whose |SYSTEM holds `title` and `copyright` (each left out when empty).
std::vector<uint8_t> HelpFileBytes(const std::string& title, const std::string& copyright = "",
                                   uint16_t minor = 21) {
  std::vector<SystemRecordSpec> records;
  if (!title.empty()) records.push_back(TextRecord(1, title));
  if (!copyright.empty()) records.push_back(TextRecord(2, copyright));
  return HelpFileWriter().AddFile("|SYSTEM", BuildSystemFile(minor, 0, records)).Build();
}

template <typename T = QWidget>
T* Find(const QObject* root, int id) {
  return root->findChild<T*>(QString::number(id));
}
void Click(const QObject* root, int id) {
  Find<QAbstractButton>(root, id)->click();
}
QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible()) return w;
  return nullptr;
}

/// Runs `act` from the event loop once `ready` holds, also while a modal dialog runs.
void WhenReady(std::function<bool()> ready, std::function<void()> act) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, ready, act] {
    if (!ready()) return;
    timer->stop();
    timer->deleteLater();
    act();
  });
  timer->start(5);
}
/// Clicks `button` of the message box `box` once it shows.
void Answer(const char* box, QMessageBox::StandardButton button) {
  WhenReady([box] { return TopLevel(box) != nullptr; },
            [box, button] { static_cast<QMessageBox*>(TopLevel(box))->button(button)->click(); });
}

/// Clicks those of the radio buttons `ids` that lie on the panel the wizard shows.
void ClickOnShownPanel(Wizard& w, const std::vector<int>& ids) {
  for (int id : ids)
    if (auto* radio = Find<QRadioButton>(w.panel(kWizardSteps[size_t(w.step())].dialog - 7000), id))
      radio->click();
}
/// Types `text` into the wizard's file-name field as a user does: the field has the focus, so
/// the file dialog's own selection does not rewrite it.
void Type(Wizard& w, const char* text) {
  QApplication::setActiveWindow(&w);
  w.file_name_edit()->setFocus();
  w.file_name_edit()->setText(QString::fromUtf8(text));
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguageOffset(0);
    WriteFile(tmp_ / "A.HLP", HelpFileBytes("Title A", "(c) A"));
    WriteFile(tmp_ / "B.HLP", HelpFileBytes("Title B"));
    WriteFile(tmp_ / "JUNK.HLP", "not a help file");
    WriteFile(tmp_ / "OLDVER.HLP", HelpFileBytes("Old", "", 99));
  }
  std::unique_ptr<Wizard> Make(ConversionOptions stored = DefaultOptions()) {
    auto w = std::make_unique<Wizard>(ApplyCanonicalOptions(stored),
                                      WizardContext{tmp_.path(), tmp_.path(), {}, {}});
    w->show();
    return w;
  }

  TempFolder tmp_;
};

TEST_F(WizardTest, StoredOptionsSetTheButtonsStepsForwardAndBackAndNote7238) {
  // 0x0646 stored: printing, index, contents, pictures in the RTF, EwSupport (which the wizard
  // always clears); no jumps, so "no hotspots" is checked.
  auto w = Make();
  for (int id : {7202, 7401, 7501, 7411, 7421, 7601, 7702, 7813, 7812})
    EXPECT_TRUE(Find<QRadioButton>(w.get(), id)->isChecked()) << id;
  EXPECT_FALSE(Find(w.get(), 7602)->isEnabled());
  EXPECT_EQ(w->options(), kForPrint | kNoShg | kIndex | kToc | kBmpInRtf);
  // The radio buttons clicked (each where its panel shows), the steps, the options read back.
  const std::tuple<std::vector<int>, std::vector<int>, ConversionOptions> cases[] = {
      {{7202, 7402, 7502, 7412, 7707, 7814},
       {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 12},
       kForPrint | kNoShg | kSplitRtf | kPageBreak | kPageLinks | kToc},
      // Re-compilation: whatever the printing panels show, their options are cleared.
      {{7203, 7301, 7811}, {0, 1, 2, 3, 4, 11, 12}, kBrowseSeq | kPageBreak | kJumps | kLocalize},
  };
  for (const auto& [clicks, forward, options] : cases) {
    w = Make();
    EXPECT_FALSE(Find(w.get(), 7101)->isEnabled()) << "Back on the welcome step";
    Type(*w, "A.HLP");
    std::vector<int> steps{w->step()};
    for (; w->step() != kStepReady; steps.push_back(w->step())) {
      ClickOnShownPanel(*w, clicks);
      Click(w.get(), 7102);
    }
    EXPECT_EQ(steps, forward);
    EXPECT_EQ(w->options(), options);
    std::vector<int> back{w->step()};
    for (; w->step() != kStepWelcome; back.push_back(w->step())) Click(w.get(), 7101);
    EXPECT_EQ(back, std::vector<int>(forward.rbegin(), forward.rend()));
    // Each step shows its own panel and nothing of the others.
    w->ShowStep(kStepJumps);
    EXPECT_TRUE(w->panel(9)->isVisible() && !w->panel(0)->isVisible());
  }
  // The note on the last panel shows only when an option needs Word: printing with pictures
  // as files, a table of contents or page links.
  const std::pair<ConversionOptions, bool> notes[] = {{0x0000, false},
                                                      {kForPrint, true},
                                                      {kForPrint | kBmpInRtf, false},
                                                      {kForPrint | kBmpInRtf | kToc, true},
                                                      {kForPrint | kBmpInRtf | kPageLinks, true}};
  for (const auto& [stored, shown] : notes) {
    w = Make(stored);
    w->ShowStep(kStepReady);
    EXPECT_EQ(Find(w->panel(10), 7238)->isVisible(), shown) << std::hex << stored;
  }
}

TEST_F(WizardTest, ContinueOnlyForReadableHelpFilesAndTheLanguage) {
  // The file-name field, whether Continue and Convert are enabled, the title shown.
  const std::tuple<const char*, bool, const char*> cases[] = {
      {"A.HLP", true, "Title A"},
      {"\"A.HLP\" \"B.HLP\"", true, "Title B"},
      {"\"A.HLP\" \"MISSING.HLP\"", false, ""},
      {"JUNK.HLP", false, ""},
      {"OLDVER.HLP", false, ""},  // a compiler version the converter does not read
      {"", false, ""},
  };
  auto w = Make();
  EXPECT_TRUE(Find(w.get(), 7102)->isEnabled()) << "the welcome step needs no file";
  Click(w.get(), 7102);
  for (const auto& [field, ok, title] : cases) {
    Type(*w, field);
    EXPECT_EQ(Find(w.get(), 7102)->isEnabled(), ok) << field;
    EXPECT_EQ(Find(w.get(), 1)->isEnabled(), ok) << field;
    EXPECT_EQ(Find<QLabel>(w.get(), 7901)->text().toStdString(), title) << field;
  }
  // The file list's own double-click (the dialog's accept) neither closes nor converts.
  Type(*w, "A.HLP");
  QMetaObject::invokeMethod(w->file_dialog(), "accept");
  EXPECT_TRUE(w->file_dialog()->isVisible() && w->isVisible());
  Click(w.get(), 1);  // Convert
  EXPECT_EQ(w->result(), QDialog::Accepted);
  EXPECT_EQ(w->selected_paths(), std::vector<std::string>{(tmp_ / "A.HLP").string()});
  // German from the locale (the other tests see English; the settings test shows which choice
  // wins).
  SelectLanguage(tmp_ / "NONE.INI", LookupIn({{"LANG", "de_DE.UTF-8"}}));
  w = Make();
  EXPECT_EQ(Find<QAbstractButton>(w.get(), 7102)->text().toStdString(), "&Weiter >>");
  EXPECT_EQ(Find<QAbstractButton>(w.get(), 7203)->text().toStdString(),
            "Die Ausgabedateien sollen zur erneuten &Übersetzung vorbereitet werden.");
  SetLanguageOffset(0);
}

TEST(ProgressBar, LabelAndColoursChangeExactlyAtTheBarsEnd) {
  EXPECT_EQ(ProgBar::Label(0, 5), "100%");      // a range of 0 counts as 1
  EXPECT_EQ(ProgBar::Label(100, 250), "100%");  // a position above the range as the range
  EXPECT_EQ(ProgBar::Label(3, 2), " 67%");      // rounded to the nearest
  ProgBar bar;
  bar.resize(202, 40);  // a client area of 200 x 38 inside the border
  bar.show();
  for (const auto& [percent, label] : {std::pair{0, "  0%"}, {42, " 42%"}, {100, "100%"}}) {
    EXPECT_EQ(ProgBar::Label(100, uint16_t(percent)), label);
    bar.SetPosition(percent);
    const QImage image = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int filled = ProgBar::FilledWidth(200, 100, uint16_t(percent));
    EXPECT_EQ(filled, percent * 2 + 1);  // one pixel even at 0
    // The text as it is drawn, black on white, gives each pixel's ink.
    QImage ink(200, 38, QImage::Format_RGB32);
    ink.fill(Qt::white);
    QPainter p(&ink);
    p.setFont(bar.font());
    const QFontMetrics m(bar.font());
    p.drawText((200 - m.horizontalAdvance(label)) / 2, (38 - m.height()) / 2 + m.ascent(), label);
    p.end();
    // Blue with white text left of the bar's end, white with blue text right of it.
    int inked = 0, wrong = 0;
    for (int i = 0, x = 0; i < 200 * 38; x = ++i % 200) {
      const int coverage = 255 - qRed(ink.pixel(x, i / 200));
      const QRgb got = image.pixel(x + 1, i / 200 + 1);
      inked += coverage > 128;
      wrong += std::abs(qRed(got) - (x < filled ? coverage : 255 - coverage)) > 24 ||
               qBlue(got) != 255 || qRed(got) != qGreen(got);
    }
    EXPECT_TRUE(inked > 20 && wrong == 0) << percent << ": " << inked << " inked, " << wrong;
  }
}

TEST(ProgressWindowRun, AbortQuestionFatalErrorsAndTheFinishedState) {
  // The answer to the abort question (NoButton: Cancel is not clicked), a fatal error, SplitRtf
  // (View disabled), the exit status.
  const std::tuple<const char*, QMessageBox::StandardButton, bool, bool, int> cases[] = {
      {"Cancel, Yes", QMessageBox::Yes, false, false, 1},
      {"Cancel, No", QMessageBox::No, false, false, 2},
      {"fatal error", QMessageBox::NoButton, true, false, 1},
      {"no Cancel, SplitRtf", QMessageBox::NoButton, false, true, 2},
  };
  for (const auto& [name, answer, fatal, split, status] : cases) {
    ProgressWindow window;
    std::atomic<int> waiting{0};
    std::atomic<bool> go{answer == QMessageBox::NoButton};  // else once the question is open
    bool succeeded = false;
    ProgressRun run;
    run.work = [&](Diagnostics& d) {
      d.Progress(0, kPhaseReadingTopics);
      d.Warning(kWarnIllegalBitmap, 7);
      while (!go.load()) d.Progress(1, 0), ++waiting;
      if (fatal) FatalError("Broken %d\n", 3);
      for (int i = 1; i <= 100; ++i) d.Progress(i, 0);
    };
    run.succeeded = [&] { succeeded = true; };
    run.view_enabled = !split;
    run.beep = false;
    if (!go) {
      WhenReady([&] { return window.isVisible(); }, [&] { Click(&window, 2); });
      WhenReady([] { return TopLevel("abortQuestion") != nullptr; },
                [&] {
                  // The conversion waits while the question is open.
                  QThread::msleep(20);
                  const int before = waiting.load();
                  QThread::msleep(60);
                  EXPECT_EQ(waiting.load(), before) << name;
                  go = true;
                  Answer("abortQuestion", answer);
                });
    }
    if (fatal) Answer("severeProblem", QMessageBox::Ok);
    if (status == 2) {
      WhenReady([&] { return window.finished(); },
                [&] {
                  EXPECT_EQ(Find(&window, 7106)->isEnabled(), !split);
                  EXPECT_EQ(Find<QListWidget>(&window, 7101)->item(0)->text().toStdString(),
                            "Illegal Bitmap Reference 0x0007");
                  Click(&window, 1);  // Cancel has become OK
                });
    }
    EXPECT_EQ(RunUnderProgressWindow(window, run), status) << name;
    EXPECT_EQ(succeeded, status == 2) << name;
    EXPECT_TRUE(status != 2 || window.bar()->position() == 100) << name;
  }
}

TEST(HelpFileList, ScansAFolderTree) {
  TempFolder tmp;
  const std::string root = tmp.path().string();
  WriteFile(tmp / "a/GOOD.HLP", HelpFileBytes("Good", "(c) Somebody"));
  WriteFile(tmp / "a/b/nocopy.hlp", HelpFileBytes("No copyright"));
  WriteFile(tmp / "a/NOTITLE.MVB", HelpFileBytes("", "(c) X"));
  WriteFile(tmp / "MANUAL.OLD.HLP", HelpFileBytes("Old manual"));  // extension OLD.HLP
  WriteFile(tmp / "DOCS.HLP/INNER.HLP", HelpFileBytes("Inside"));  // a folder, not entered
  WriteFile(tmp / "JUNK.HLP", "text");
  WriteFile(tmp / "OLDVER.HLP", HelpFileBytes("Old version", "", 99));
  WriteFile(tmp / ".hidden/H.HLP", HelpFileBytes("Hidden"));
  fs::create_directory_symlink(tmp.path(), tmp / "a/loop");  // never followed
  HelpFileListDialog list(tmp.path(), {}, {});
  list.show();
  QElapsedTimer clock;
  for (clock.start(); list.scanning() && clock.elapsed() < 20000; QThread::msleep(2))
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  ASSERT_FALSE(list.scanning());
  std::set<std::string> lines;
  for (int i = 0; i < list.list()->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list.list()->topLevelItem(i);
    lines.insert((item->text(0) + "\t" + item->text(1) + "\t" + item->text(2)).toStdString());
  }
  EXPECT_EQ(lines, (std::set<std::string>{
                       "Good\t(c) Somebody\t" + root + "/a/GOOD.HLP",
                       "No copyright\t--\t" + root + "/a/b/nocopy.hlp",
                       root + "/a/NOTITLE.MVB\t(c) X\t" + root + "/a/NOTITLE.MVB",
                   }));
  EXPECT_EQ(Find<QLabel>(&list, 8003)->text().toStdString(), root);
  // Cancel stops a running scan.
  HelpFileListDialog cancelled(tmp.path(), {}, {});
  Click(&cancelled, 2);
  EXPECT_TRUE(!cancelled.scanning() && cancelled.result() == QDialog::Rejected);
}

TEST(WizardConversion, WritesWhatTheCommandLineWritesAndKeepsTheSettingsFile) {
  const fs::path source = fs::path(QUORVEX_CORPUS_DIR) / "nominas-DEFAULT.HLP";
  if (!fs::exists(source)) GTEST_SKIP() << "corpus not available";
  SetLanguageOffset(0);
  TempFolder tmp;
  fs::copy_file(source, tmp / "DEFAULT.HLP");
  const fs::path ini = tmp / "cfg/quorvex/QUORVEX.INI";
  WriteFile(ini, "[Other]\nX=1\n[Options]\nForPrint=2\nMessageBeep=0\n");
  const DesktopContext context{
      ini, tmp / "gui", {tmp.path(), tmp.path(), [](const QString&) { return true; }, {}}};
  WhenReady([] { return TopLevel("7000") != nullptr; },
            [&] {
              auto* w = static_cast<Wizard*>(TopLevel("7000"));
              EXPECT_TRUE(Find<QRadioButton>(w, 7202)->isChecked()) << "ForPrint=2 counts as on";
              Click(w, 7102);
              Type(*w, "DEFAULT");
              // Re-compilation, pictures with hotspots as plain pictures, numbered RTF files.
              for (; w->step() != kStepReady; ClickOnShownPanel(*w, {7203, 7302, 7402}))
                Click(w, 7102);
              Click(w, 7102);  // Continue on the last step converts
            });
  WhenReady(
      [] { return TopLevel("1539") && static_cast<ProgressWindow*>(TopLevel("1539"))->finished(); },
      [] { Click(TopLevel("1539"), 1); });
  ASSERT_EQ(RunWizardSession(ApplyCanonicalOptions(ReadSettings(ini)), context), 2);
  // The options in their canonical set, after the keys already there.
  EXPECT_EQ(ReadFile(ini),
            "[Other]\nX=1\n[Options]\nForPrint=0\nMessageBeep=0\nNoShg=1\nSplitRtf=1\nPageBreak=1\n"
            "EwSupport=0\nJumps=1\nPageLinks=0\nIndex=0\nToc=0\nBmpInRtf=0\nLocalize=0\n");
  if (!std::getenv("QUORVEX_BINARY")) return;
  const ProgramRun cli = RunQuorvex(
      {"-o", (tmp / "cli").string(), (tmp / "DEFAULT.HLP").string()},
      {{"XDG_CONFIG_HOME", (tmp / "cfg").string()}, {"HOME", tmp.path().string()}}, tmp.path());
  ASSERT_EQ(cli.status, 2) << cli.err;
  const auto gui_files = FilesBelow(tmp / "gui");
  EXPECT_TRUE(gui_files.count("DEFAULT.HPJ") && gui_files.count("DEFAUL1.RTF"));
  EXPECT_EQ(gui_files, FilesBelow(tmp / "cli"));
}

}  // namespace
}  // namespace quorvex
