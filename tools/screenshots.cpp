// Renders every wizard step, the progress window (running and finished, with warnings) and the
// help-file list in English and German to PNG files, for a person to look at.
//
//   quorvex_screenshots OUTDIR HELPFILE
//
// HELPFILE (a small help file) is copied into a temporary folder tree that the file page shows
// and the help-file list scans. Run it with QT_QPA_PLATFORM=offscreen (tools/screenshots.sh).
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QThread>
#include <QTranslator>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/strings.h"
#include "ui/gui/desktop.h"
#include "ui/gui/help_file_list.h"
#include "ui/gui/progress_window.h"
#include "ui/settings.h"
#include "ui/ui_strings.h"

namespace fs = std::filesystem;
using namespace quorvex;

namespace {

void Settle(int milliseconds = 150) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < end) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

bool Save(QWidget& w, const fs::path& file) {
  Settle();
  const bool ok = w.grab().save(QString::fromStdString(file.string()));
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", file.c_str());
  return ok;
}

const char* const kStepNames[] = {"welcome",    "file",     "format", "splitting", "shg",
                                  "pagebreaks", "index",    "toc",    "ewindows",  "jumps",
                                  "graphics",   "localize", "ready"};

bool Render(const fs::path& out, const fs::path& tree, bool german) {
  SetLanguageOffset(german ? kGermanOffset : 0);
  QTranslator qt;
  if (german && qt.load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    QApplication::installTranslator(&qt);
  fs::create_directories(out);
  bool ok = true;
  char name[64];

  WizardContext context;
  context.start_folder = tree / "help";
  context.scan_root = tree;
  context.open = [](const QString&) { return true; };
  for (ConversionOptions mode : {DefaultOptions(), ApplyCanonicalOptions(0)}) {
    Wizard wizard(ApplyCanonicalOptions(mode), context);
    wizard.show();
    wizard.file_name_edit()->setText("onguard.hlp");
    for (int step = 0; step < kWizardStepCount; ++step) {
      // Printing mode shows every step it has; recompilation mode the two of its own.
      if (!WizardStepApplies(step, wizard.options())) continue;
      if (!(mode & kForPrint) && step != kStepHypergraphics && step != kStepLocalization) continue;
      wizard.ShowStep(step);
      std::snprintf(name, sizeof name, "wizard-%02d-%s.png", step, kStepNames[step]);
      ok &= Save(wizard, out / name);
    }
  }

  ProgressWindow progress;
  progress.BeginFile((tree / "help" / "onguard.hlp").string(), false);
  progress.diagnostics().Progress(0, kPhaseLoadingSystem);
  progress.diagnostics().Warning(kWarnCompiledBy, "HCRTF (Windows NT/Windows 95)");
  progress.diagnostics().Warning(kWarnIllegalBitmap, 7);
  progress.diagnostics().Warning(kWarnTopicTextPhrase, 4711);
  progress.diagnostics().Progress(42, kPhaseReadingTopics);
  progress.show();
  progress.ApplyReports();
  ok &= Save(progress, out / "progress-running.png");
  progress.Finish(true, false, Tr(kTextFinished, (tree / "out").string()));
  ok &= Save(progress, out / "progress-finished.png");
  progress.hide();

  HelpFileListDialog list(tree, {}, {});
  list.show();
  for (int i = 0; i < 200 && list.scanning(); ++i) Settle(20);
  ok &= Save(list, out / "helpfile-list.png");
  QApplication::removeTranslator(&qt);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s OUTDIR HELPFILE\n", argv[0]);
    return 2;
  }
  QApplication app(argc, argv);
  RegisterUiTexts();
  SetUpApplication(app);
  const fs::path out = fs::absolute(argv[1]);
  const fs::path tree = fs::temp_directory_path() / ("quorvex-screens-" + std::to_string(getpid()));
  // A small tree: the help file under several names, one not listed, one that is no help file.
  fs::create_directories(tree / "help");
  fs::create_directories(tree / "archive" / "1995");
  fs::copy_file(argv[2], tree / "help" / "onguard.hlp");
  fs::copy_file(argv[2], tree / "archive" / "1995" / "ONGUARD.HLP");
  fs::copy_file(argv[2], tree / "archive" / "MANUAL.OLD.HLP");
  std::FILE* junk = std::fopen((tree / "help" / "README.HLP").c_str(), "w");
  if (junk) std::fclose(junk);
  const bool ok = Render(out / "en", tree, false) && Render(out / "de", tree, true);
  std::error_code ec;
  fs::remove_all(tree, ec);
  return ok ? 0 : 1;
}
