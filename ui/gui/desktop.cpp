#include "ui/gui/desktop.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include "core/driver.h"
#include "core/help_file.h"
#include "core/output.h"
#include "core/strings.h"
#include "ui/cli.h"
#include "ui/gui/pictures.h"
#include "ui/gui/progress_window.h"
#include "ui/phases.h"
#include "ui/profile.h"
#include "ui/ui_strings.h"

namespace quorvex {

DesktopContext DesktopContextFromEnvironment(const EnvironmentLookup& env) {
  DesktopContext context;
  context.ini = SettingsFilePath(env);
  std::error_code ec;
  context.wizard.start_folder = std::filesystem::current_path(ec);
  const char* home = env ? env("HOME") : nullptr;
  context.wizard.scan_root = home && *home ? std::filesystem::path(home)
                                           : std::filesystem::path(QDir::homePath().toStdString());
  context.wizard.open = OpenWithDesktopServices;
  context.wizard.manual = ManualPath(LanguageOffset());
  context.wizard.code_page = ReadCodePageSetting(context.ini);
  return context;
}

QString ManualPath(int language_offset) {
  const QString name = language_offset == kGermanOffset ? "quorvex-de.html" : "quorvex.html";
  const QString program = QCoreApplication::applicationDirPath();
  const QString beside = program + "/manual/" + name;
  if (QFileInfo::exists(beside)) return beside;
  return QFileInfo(program + "/../share/quorvex/manual/" + name).absoluteFilePath();
}

void SetUpApplication(QApplication& app) {
  QApplication::setApplicationName("Quorvex");
  QApplication::setApplicationVersion(QUORVEX_VERSION);
  QApplication::setDesktopFileName("quorvex");
  QApplication::setWindowIcon(ProgramWindowIcon());
  if (LanguageOffset() == kGermanOffset) {
    // The file dialog's own controls in German too, where Qt's translations are installed.
    auto* qt = new QTranslator(&app);
    if (qt->load("qtbase_de", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
      QApplication::installTranslator(qt);
    }
  }
}

int RunWizardSession(ConversionOptions options, const DesktopContext& context) {
  Wizard wizard(options, context.wizard);
  wizard.show();
  CentreWindow(&wizard);
  if (wizard.exec() != QDialog::Accepted || wizard.selected_paths().empty()) return kExitNormal;
  const std::vector<std::string> paths = wizard.selected_paths();
  const ConversionOptions chosen = wizard.options();
  const uint32_t code_page = wizard.code_page();
  wizard.hide();
  return ConvertSelection(paths, chosen, context, code_page);
}

int ConvertSelection(const std::vector<std::string>& paths, ConversionOptions options,
                     const DesktopContext& context, uint32_t code_page) {
  OutputDir output(context.output_folder);
  ProgressWindow window;
  window.on_view = [&] {
    const std::filesystem::path rtf = output.PathOf(
        RtfFileName(DeriveOutputNames(ConversionJob{0, paths.back()}).base_name, false, 1));
    OpenOrComplain(context.wizard.open, QString::fromStdString(rtf.string()), &window);
  };
  ProgressRun run;
  run.work = [&](Diagnostics& diagnostics) {
    ConversionSession session(diagnostics, output);
    StandardPhases phases;
    for (const std::string& path : paths) {
      window.BeginFile(path, paths.size() > 1);
      ConvertHelpFile(ConversionJob{options | kProgressWindow, path, code_page}, session, phases);
    }
  };
  run.succeeded = [&] {
    WriteSettings(context.ini, options);
    if (code_page != ReadCodePageSetting(context.ini)) WriteCodePageSetting(context.ini, code_page);
  };
  run.view_enabled = !(options & kSplitRtf);
  run.beep = ReadProfileInt(context.ini, kSettingsSection, "MessageBeep", 1) != 0;
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(output.root(), ec);
  run.finished_text = Tr(kTextFinished, (ec ? output.root() : folder).lexically_normal().string());
  return RunUnderProgressWindow(window, run);
}

int RunDesktopWizard(int& argc, char** argv, ConversionOptions options) {
  QApplication app(argc, argv);
  SetUpApplication(app);
  return RunWizardSession(options, DesktopContextFromEnvironment(ProcessEnvironment()));
}

}  // namespace quorvex
