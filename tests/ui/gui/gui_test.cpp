// The wizard, the progress window and the help-file list, driven through their widgets: the
// step sequence, the options the radio buttons give, note 7238, the title preview, the
// language, the bar's pixels, the abort question, the scan, and a whole wizard conversion
// that writes what the command line writes.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <map>
#include <regex>
#include <set>

#include "core/strings.h"
#include "tests/support/help_writer.h"
#include "tests/ui/ui_test_util.h"
#include "ui/gui/desktop.h"
#include "ui/gui/help_file_list.h"
#include "ui/gui/progress_window.h"
#include "ui/probe.h"

namespace quorvex {
namespace {

using namespace test;
namespace fs = std::filesystem;

/// A help file whose |SYSTEM holds `title` and `copyright` (each left out when empty).
std::vector<uint8_t> HelpFileBytes(const std::string& title, const std::string& copyright,
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

/// Lets the event loop run until `ready` holds (at most 20 s); false when it never did.
bool Wait(const std::function<bool()>& ready) {
  QElapsedTimer clock;
  clock.start();
  while (!ready()) {
    if (clock.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(2);
  }
  return true;
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

/// Types `text` into the wizard's file-name field as a user does: the field has the focus, so
/// the file dialog's own selection does not rewrite it.
void Type(Wizard& w, const char* text) {
  QApplication::setActiveWindow(&w);
  w.file_name_edit()->setFocus();
  w.file_name_edit()->setText(QString::fromUtf8(text));
}

QWidget* TopLevel(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == name && w->isVisible()) return w;
  return nullptr;
}

void ClickModalButton(const char* box, QMessageBox::StandardButton which) {
  WhenReady([box] { return TopLevel(box) != nullptr; },
            [box, which] { static_cast<QMessageBox*>(TopLevel(box))->button(which)->click(); });
}

class WizardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguageOffset(0);
    WriteFile(tmp_ / "A.HLP", HelpFileBytes("Title A", "(c) A"));
    WriteFile(tmp_ / "B.HLP", HelpFileBytes("Title B", ""));
    WriteFile(tmp_ / "JUNK.HLP", "not a help file");
    WriteFile(tmp_ / "OLDVER.HLP", HelpFileBytes("Old", "", 99));
  }
  std::unique_ptr<Wizard> Make(ConversionOptions stored = DefaultOptions()) {
    WizardContext context{tmp_.path(), tmp_.path(), {}, {}};
    auto w = std::make_unique<Wizard>(ApplyCanonicalOptions(stored), context);
    w->show();
    return w;
  }
  static void Click(Wizard& w, int id) { Find<QAbstractButton>(&w, id)->click(); }

  TempFolder tmp_;
};

TEST_F(WizardTest, StepsForwardAndBackInBothModes) {
  struct Case {
    int format_radio;
    std::vector<int> forward;
  };
  const Case cases[] = {{7202, {0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 12}},
                        {7203, {0, 1, 2, 3, 4, 11, 12}}};
  for (const Case& c : cases) {
    auto w = Make();
    EXPECT_FALSE(Find(w.get(), 7101)->isEnabled()) << "Back on the welcome step";
    Type(*w, "A.HLP");
    std::vector<int> steps{w->step()};
    while (w->step() != kStepReady) {
      if (w->step() == kStepOutputFormat) Click(*w, c.format_radio);
      Click(*w, 7102);
      steps.push_back(w->step());
    }
    EXPECT_EQ(steps, c.forward) << c.format_radio;
    std::vector<int> back{w->step()};
    while (w->step() != kStepWelcome) {
      Click(*w, 7101);
      back.push_back(w->step());
    }
    EXPECT_EQ(back, std::vector<int>(c.forward.rbegin(), c.forward.rend())) << c.format_radio;
    // Each step shows its own panel and nothing of the others.
    w->ShowStep(kStepJumps);
    EXPECT_TRUE(w->panel(9)->isVisible());
    EXPECT_FALSE(w->panel(0)->isVisible());
  }
}

TEST_F(WizardTest, RadioButtonsSetFromAndReadBackIntoTheOptions) {
  // 0x0646 stored: printing, index, contents, pictures in the RTF, EwSupport (which the wizard
  // always clears); no jumps, so "no hotspots" is checked.
  auto w = Make();
  for (int id : {7202, 7401, 7501, 7411, 7421, 7601, 7702, 7813, 7812})
    EXPECT_TRUE(Find<QRadioButton>(w.get(), id)->isChecked()) << id;
  EXPECT_FALSE(Find(w.get(), 7602)->isEnabled());
  EXPECT_EQ(w->options(), kForPrint | kNoShg | kIndex | kToc | kBmpInRtf);

  struct Case {
    std::vector<int> clicks;
    ConversionOptions expected;
  };
  const Case cases[] = {
      // Re-compilation: whatever the printing panels show, their options are cleared.
      {{7203}, kBrowseSeq | kPageBreak | kJumps | kNoShg},
      {{7203, 7301, 7811}, kBrowseSeq | kPageBreak | kJumps | kLocalize},
      {{7402, 7502, 7707, 7814, 7412},
       kForPrint | kNoShg | kSplitRtf | kPageBreak | kPageLinks | kToc},
      {{7701, 7422, 7811}, kForPrint | kNoShg | kJumps | kIndex | kBmpInRtf},
  };
  for (const Case& c : cases) {
    auto wc = Make();
    for (int id : c.clicks) Click(*wc, id);
    Click(*wc, 7102);  // every command reads the buttons first
    EXPECT_EQ(wc->options(), c.expected) << c.clicks.front();
  }
}

TEST_F(WizardTest, NoteForWordShownOnlyWhenAnOptionNeedsIt) {
  const std::pair<ConversionOptions, bool> cases[] = {
      {0x0000, false},                       // re-compilation
      {kForPrint, true},                     // printing, pictures as files
      {kForPrint | kBmpInRtf, false},        // printing, pictures in the RTF
      {kForPrint | kBmpInRtf | kToc, true},  // a table of contents
      {kForPrint | kBmpInRtf | kPageLinks, true},
  };
  for (const auto& [stored, shown] : cases) {
    auto w = Make(stored);
    w->ShowStep(kStepReady);
    EXPECT_EQ(Find(w->panel(10), 7238)->isVisible(), shown) << std::hex << stored;
  }
}

TEST_F(WizardTest, ContinueOnlyForReadableHelpFiles) {
  struct Case {
    const char* field;
    bool ok;
    const char* title;
  };
  const Case cases[] = {
      {"A.HLP", true, "Title A"},
      {"A", true, "Title A"},  // ".HLP" appended
      {"\"A.HLP\" \"B.HLP\"", true, "Title B"},
      {"\"A.HLP\" \"MISSING.HLP\"", false, ""},
      {"MISSING.HLP", false, ""},
      {"JUNK.HLP", false, ""},
      {"OLDVER.HLP", false, ""},  // a compiler version the converter does not read
      {"", false, ""},
  };
  auto w = Make();
  EXPECT_TRUE(Find(w.get(), 7102)->isEnabled()) << "the welcome step needs no file";
  Click(*w, 7102);
  for (const Case& c : cases) {
    Type(*w, c.field);
    EXPECT_EQ(Find(w.get(), 7102)->isEnabled(), c.ok) << c.field;
    EXPECT_EQ(Find(w.get(), 1)->isEnabled(), c.ok) << c.field;
    EXPECT_EQ(Find<QLabel>(w.get(), 7901)->text().toStdString(), c.title) << c.field;
  }
  // The file list's own double-click (the dialog's accept) neither closes nor converts.
  Type(*w, "A.HLP");
  QMetaObject::invokeMethod(w->file_dialog(), "accept");
  EXPECT_TRUE(w->file_dialog()->isVisible());
  EXPECT_TRUE(w->isVisible());
  Click(*w, 1);  // Convert
  EXPECT_EQ(w->result(), QDialog::Accepted);
  EXPECT_EQ(w->selected_paths(), std::vector<std::string>{(tmp_ / "A.HLP").string()});
}

TEST_F(WizardTest, LanguageFromTheSettingsFileAndFromTheLocale) {
  struct Case {
    const char* ini;
    EnvMap env;
    const char* continue_text;
    const char* radio_7203;
  };
  const Case cases[] = {
      {"[Options]\nLanguage=DEU\n",
       {},
       "&Weiter >>",
       "Die Ausgabedateien sollen zur erneuten &Übersetzung vorbereitet werden."},
      {"",
       {{"LANG", "de_DE.UTF-8"}},
       "&Weiter >>",
       "Die Ausgabedateien sollen zur erneuten &Übersetzung vorbereitet werden."},
      {"[Options]\nLanguage=ENG\n",
       {{"LANG", "de_DE.UTF-8"}},
       "&Continue >>",
       "Prepare for re-compilation."},
  };
  for (const Case& c : cases) {
    WriteFile(tmp_ / "QUORVEX.INI", c.ini);
    SelectLanguage(tmp_ / "QUORVEX.INI", LookupIn(c.env));
    auto w = Make();
    EXPECT_EQ(Find<QPushButton>(w.get(), 7102)->text().toStdString(), c.continue_text);
    EXPECT_EQ(Find<QRadioButton>(w.get(), 7203)->text().toStdString(), c.radio_7203);
  }
  SetLanguageOffset(0);
}

TEST(ProgressBar, LabelAndColoursChangeExactlyAtTheBarsEnd) {
  EXPECT_EQ(ProgBar::Label(100, 0), "  0%");
  EXPECT_EQ(ProgBar::Label(100, 42), " 42%");
  EXPECT_EQ(ProgBar::Label(100, 100), "100%");
  EXPECT_EQ(ProgBar::Label(0, 5), "100%");      // a range of 0 counts as 1
  EXPECT_EQ(ProgBar::Label(100, 250), "100%");  // a position above the range as the range
  EXPECT_EQ(ProgBar::Label(3, 2), " 67%");

  ProgBar bar;
  bar.resize(202, 40);  // a client area of 200 x 38 inside the border
  bar.show();
  const QColor blue(0, 0, 255), white(255, 255, 255);
  for (int percent : {0, 42, 100}) {
    bar.SetPosition(percent);
    const QImage image = bar.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const int filled = ProgBar::FilledWidth(200, 100, uint16_t(percent));
    EXPECT_EQ(filled, percent * 2 + 1);
    // The text as it is drawn, black on white, gives each pixel's ink.
    QImage ink(200, 38, QImage::Format_RGB32);
    ink.fill(Qt::white);
    {
      QPainter p(&ink);
      p.setFont(bar.font());
      const QFontMetrics m(bar.font());
      const QString label = ProgBar::Label(100, uint16_t(percent));
      p.drawText((200 - m.horizontalAdvance(label)) / 2, (38 - m.height()) / 2 + m.ascent(), label);
    }
    int inked = 0, wrong = 0;
    for (int y = 0; y < 38; ++y) {
      for (int x = 0; x < 200; ++x) {
        const int coverage = 255 - qRed(ink.pixel(x, y));
        const bool left = x < filled;
        // Blue with white text left of the bar's end, white with blue text right of it.
        const int expected_red = left ? coverage : 255 - coverage;
        const QRgb got = image.pixel(x + 1, y + 1);
        inked += coverage > 128;
        wrong += std::abs(qRed(got) - expected_red) > 24 || qBlue(got) != 255 ||
                 qRed(got) != qGreen(got);
      }
    }
    EXPECT_GT(inked, 20) << percent;
    EXPECT_EQ(wrong, 0) << percent;
    EXPECT_EQ(QColor(image.pixel(1, 1)), blue) << percent;  // one pixel even at 0
    if (filled < 200) {
      EXPECT_EQ(QColor(image.pixel(filled + 1, 1)), white) << percent;
    }
  }
}

TEST(ProgressWindowRun, AbortQuestionFatalErrorsAndTheFinishedState) {
  struct Case {
    const char* name;
    QMessageBox::StandardButton answer;  // NoButton: no Cancel
    bool fatal;
    bool split;
    int status;
    bool completed;
  };
  const Case cases[] = {
      {"Cancel, Yes", QMessageBox::Yes, false, false, 1, false},
      {"Cancel, No", QMessageBox::No, false, false, 2, true},
      {"fatal error", QMessageBox::NoButton, true, false, 1, false},
      {"no Cancel, SplitRtf", QMessageBox::NoButton, false, true, 2, true},
  };
  for (const Case& c : cases) {
    ProgressWindow window;
    std::atomic<int> reports{0}, waiting{0};
    std::atomic<bool> go{false};
    bool succeeded = false;
    ProgressRun run;
    run.work = [&](Diagnostics& d) {
      d.Progress(0, kPhaseReadingTopics);
      d.Warning(kWarnIllegalBitmap, 7);
      while (!go.load()) d.Progress(1, 0), ++waiting;  // until the test has done its part
      if (c.fatal) FatalError("Broken %d\n", 3);
      for (int i = 1; i <= 100; ++i, ++reports) d.Progress(i, 0);
    };
    run.succeeded = [&] { succeeded = true; };
    run.view_enabled = !c.split;
    run.beep = false;
    WhenReady(
        [&] { return window.isVisible(); },
        [&] {
          if (c.answer == QMessageBox::NoButton) {
            go = true;
            return;
          }
          WhenReady(
              [] { return TopLevel("abortQuestion") != nullptr; },
              [&] {
                // The conversion waits while the question is open.
                QThread::msleep(20);
                const int before = waiting.load();
                QThread::msleep(60);
                EXPECT_EQ(waiting.load(), before) << c.name;
                go = true;
                static_cast<QMessageBox*>(TopLevel("abortQuestion"))->button(c.answer)->click();
              });
          Find<QPushButton>(&window, 2)->click();
        });
    if (c.fatal) ClickModalButton("severeProblem", QMessageBox::Ok);
    if (c.status == 2) {
      WhenReady([&] { return window.finished(); },
                [&] {
                  EXPECT_EQ(Find<QPushButton>(&window, 7106)->isEnabled(), !c.split) << c.name;
                  EXPECT_EQ(window.findChild<QListWidget*>("7101")->item(0)->text().toStdString(),
                            "Illegal Bitmap Reference 0x0007");
                  Find<QPushButton>(&window, 1)->click();  // Cancel has become OK
                });
    }
    EXPECT_EQ(RunUnderProgressWindow(window, run), c.status) << c.name;
    EXPECT_EQ(reports.load() == 100, c.completed) << c.name;
    EXPECT_EQ(succeeded, c.status == 2) << c.name;
    if (c.completed) {
      EXPECT_EQ(window.bar()->position(), 100) << c.name;
    }
  }
}

TEST(HelpFileList, ScansAFolderTree) {
  TempFolder tmp;
  WriteFile(tmp / "a/GOOD.HLP", HelpFileBytes("Good", "(c) Somebody"));
  WriteFile(tmp / "a/b/nocopy.hlp", HelpFileBytes("No copyright", ""));
  WriteFile(tmp / "a/NOTITLE.MVB", HelpFileBytes("", "(c) X"));
  WriteFile(tmp / "MANUAL.OLD.HLP", HelpFileBytes("Old manual", ""));  // extension OLD.HLP
  WriteFile(tmp / "DOCS.HLP/INNER.HLP", HelpFileBytes("Inside", ""));  // a folder, not entered
  WriteFile(tmp / "JUNK.HLP", "text");
  WriteFile(tmp / "OLDVER.HLP", HelpFileBytes("Old version", "", 99));
  WriteFile(tmp / ".hidden/H.HLP", HelpFileBytes("Hidden", ""));
  fs::create_directory_symlink(tmp.path(), tmp / "a/loop");  // never followed

  std::vector<QString> chosen, opened;
  HelpFileListDialog list(
      tmp.path(), [&](const QString& p) { chosen.push_back(p); },
      [&](const QString& p) {
        opened.push_back(p);
        return true;
      });
  list.show();
  ASSERT_TRUE(Wait([&] { return !list.scanning(); }));
  std::set<std::string> lines;
  for (int i = 0; i < list.list()->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list.list()->topLevelItem(i);
    lines.insert((item->text(0) + "\t" + item->text(1) + "\t" + item->text(2)).toStdString());
  }
  const std::string root = tmp.path().string();
  EXPECT_EQ(lines, (std::set<std::string>{
                       "Good\t(c) Somebody\t" + root + "/a/GOOD.HLP",
                       "No copyright\t--\t" + root + "/a/b/nocopy.hlp",
                       root + "/a/NOTITLE.MVB\t(c) X\t" + root + "/a/NOTITLE.MVB",
                   }));
  EXPECT_EQ(Find<QLabel>(&list, 8003)->text().toStdString(), root);

  // View opens the selected file and keeps the list; OK takes it and closes.
  list.list()->setCurrentItem(list.list()->topLevelItem(0));
  const QString first = list.list()->topLevelItem(0)->text(2);
  Find<QPushButton>(&list, 9009)->click();
  EXPECT_EQ(opened, std::vector<QString>{first});
  EXPECT_TRUE(list.isVisible());
  Find<QPushButton>(&list, 1)->click();
  EXPECT_EQ(chosen, (std::vector<QString>{first, first}));
  EXPECT_EQ(list.result(), QDialog::Accepted);

  // Cancel stops a running scan; a stopped scan reports nothing.
  HelpFileListDialog cancelled(tmp.path(), {}, {});
  Find<QPushButton>(&cancelled, 2)->click();
  EXPECT_FALSE(cancelled.scanning());
  EXPECT_EQ(cancelled.result(), QDialog::Rejected);
  std::atomic<bool> stop{true};
  int found = 0;
  ScanForHelpFiles(tmp.path(), {[&](const HelpFileListEntry&) { ++found; }, {}}, stop);
  EXPECT_EQ(found, 0);
}

TEST(WizardConversion, WritesWhatTheCommandLineWritesAndKeepsTheSettingsFile) {
  const fs::path source = fs::path(QUORVEX_CORPUS_DIR) / "nominas-DEFAULT.HLP";
  if (!fs::exists(source)) GTEST_SKIP() << "corpus not available";
  struct Case {
    const char* name;
    std::vector<int> clicks;  // on the option panels, in step order
    const char* stored;
  };
  const Case cases[] = {
      {"re-compilation", {7203, 7302}, "ForPrint=0\nJumps=1\nPageBreak=1\n"},
      {"printing, split", {7202, 7402, 7502, 7707, 7814}, "ForPrint=1\nSplitRtf=1\nPageLinks=1\n"},
  };
  SetLanguageOffset(0);
  for (const Case& c : cases) {
    TempFolder tmp;
    fs::copy_file(source, tmp / "DEFAULT.HLP");
    const fs::path ini = tmp / "cfg/quorvex/QUORVEX.INI";
    WriteFile(ini, "[Other]\nX=1\n[Options]\nForPrint=2\nMessageBeep=0\n");
    std::vector<QString> opened;
    DesktopContext context{ini,
                           tmp / "gui",
                           {tmp.path(),
                            tmp.path(),
                            [&](const QString& p) {
                              opened.push_back(p);
                              return true;
                            },
                            {}}};
    WhenReady([] { return TopLevel("7000") != nullptr; },
              [&] {
                auto* w = static_cast<Wizard*>(TopLevel("7000"));
                auto click = [w](int id) { Find<QAbstractButton>(w, id)->click(); };
                EXPECT_TRUE(Find<QRadioButton>(w, 7202)->isChecked()) << "ForPrint=2 counts as on";
                click(7102);
                Type(*w, "DEFAULT");
                while (w->step() != kStepReady) {
                  click(7102);
                  // The radio buttons of the panel now shown.
                  QWidget* panel = w->panel(kWizardSteps[size_t(w->step())].dialog - 7000);
                  for (int id : c.clicks)
                    if (auto* radio = Find<QRadioButton>(panel, id)) radio->click();
                }
                click(7102);  // Continue on the last step converts
              });
    WhenReady(
        [] {
          return TopLevel("1539") && static_cast<ProgressWindow*>(TopLevel("1539"))->finished();
        },
        [] { Find<QPushButton>(TopLevel("1539"), 1)->click(); });
    ASSERT_EQ(RunWizardSession(ApplyCanonicalOptions(ReadSettings(ini)), context), 2) << c.name;

    const std::string settings = ReadFile(ini);
    EXPECT_TRUE(settings.starts_with("[Other]\nX=1\n[Options]\n")) << settings;
    EXPECT_NE(settings.find("MessageBeep=0\n"), std::string::npos) << settings;
    for (std::string_view line = c.stored; !line.empty(); line.remove_prefix(line.find('\n') + 1))
      EXPECT_NE(settings.find(line.substr(0, line.find('\n') + 1)), std::string::npos)
          << c.name << ": " << settings;

    if (!std::getenv("QUORVEX_BINARY")) continue;
    const ProgramRun cli = RunQuorvex(
        {"-o", (tmp / "cli").string(), (tmp / "DEFAULT.HLP").string()},
        {{"XDG_CONFIG_HOME", (tmp / "cfg").string()}, {"HOME", tmp.path().string()}}, tmp.path());
    ASSERT_EQ(cli.status, 2) << cli.err;
    // The template named in printing mode lies beside the program, which differs here, and
    // the RTF writer's line breaks follow the character count that its path shifts.
    auto files = [](const fs::path& folder) {
      std::map<std::string, std::string> contents;
      for (const auto& e : fs::directory_iterator(folder)) {
        std::string text = ReadFile(e.path());
        if (text.find("{\\*\\template ") != std::string::npos)
          text = std::regex_replace(std::regex_replace(text, std::regex("\r\n"), ""),
                                    std::regex(R"(\{\\\*\\template [^}]*\})"), "{template}");
        contents[e.path().filename()] = text;
      }
      return contents;
    };
    const auto gui_files = files(tmp / "gui"), cli_files = files(tmp / "cli");
    EXPECT_FALSE(gui_files.empty());
    EXPECT_EQ(gui_files, cli_files) << c.name;
  }
}

}  // namespace
}  // namespace quorvex
