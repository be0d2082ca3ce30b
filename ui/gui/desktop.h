// The desktop front-end: the wizard, then the conversions of its selection under the progress
// window, then the settings.
#pragma once

#include <QString>
#include <filesystem>
#include <string>
#include <vector>

#include "core/options.h"
#include "ui/gui/wizard.h"
#include "ui/settings.h"

class QApplication;

namespace quorvex {

/// Where a wizard session reads and writes.
struct DesktopContext {
  std::filesystem::path ini;                  // the settings file
  std::filesystem::path output_folder = ".";  // where the conversions write
  WizardContext wizard;
};

/// The context of the process: the settings file of `env`, the current directory for the
/// output and the file page, the home folder for the help-file list, the desktop's opener and
/// the manual in the current language.
DesktopContext DesktopContextFromEnvironment(const EnvironmentLookup& env);

/// The manual in the language of `language_offset`: beside the program (a build tree) or in
/// its share/quorvex/manual folder (an installation); the latter when neither exists.
QString ManualPath(int language_offset);

/// Names, icon and, for German, Qt's own German texts for the application.
void SetUpApplication(QApplication& app);

/// The wizard, then the conversions of its selection. Returns the exit status: 2 after the
/// last conversion or when the wizard was closed, 1 after a fatal error or a confirmed abort.
int RunWizardSession(ConversionOptions options, const DesktopContext& context);

/// Converts `paths` one after another under one progress window, in one conversion session;
/// after the last one writes the settings (and the code page chosen, 0: as each file says) and
/// shows the finished state until OK.
int ConvertSelection(const std::vector<std::string>& paths, ConversionOptions options,
                     const DesktopContext& context, uint32_t code_page = 0);

/// The process's wizard: creates the application over `argc` and `argv`.
int RunDesktopWizard(int& argc, char** argv, ConversionOptions options);

}  // namespace quorvex
