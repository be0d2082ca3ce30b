// The command-line entry: "quorvex [-o DIR] [-v] HELPFILE".
//
// Chooses the language, reads the stored options, converts the one help file named and, with
// -v, opens the resulting RTF on the desktop. Progress and warnings go to the terminal. The
// exit status is 2 after a normal run and 1 after a fatal error; --help and --version exit 0.
#pragma once

#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/options.h"
#include "ui/batch.h"
#include "ui/settings.h"

namespace quorvex {

/// Exit status after a normal run (the program has always ended this way).
inline constexpr int kExitNormal = 2;
/// Exit status after a fatal error, a cancelled conversion or a wrong command line.
inline constexpr int kExitFatal = 1;
/// Exit status of --help and --version.
inline constexpr int kExitInfo = 0;

/// What a command line asks for.
struct CommandLine {
  bool help = false;
  bool version = false;
  bool view = false;                      // -v: the printing preset, then open the result
  bool recursive = false;                 // -r: folders with their subfolders
  unsigned jobs = 0;                      // -j N: conversions at a time; 0: one per core
  uint32_t code_page = 0;                 // --codepage N; 0: from the settings or the file
  std::optional<std::string> output_dir;  // -o DIR, --output DIR, --output=DIR
  std::vector<std::string> paths;         // the help files and folders, exactly as given
  int error_id = 0;                       // a string id when the command line is wrong
  std::string error_arg;                  // its argument
};

/// Splits the arguments (without the program name). The options are "--help", "--version",
/// "-v", "-r", "-j N" ("--jobs"), "--codepage N", "-o DIR" ("--output") and "--"; an argument
/// that starts with "-" and holds no ".", "/", "\" or ":" is an unknown option (an error),
/// any other argument a path, so "-vC:\X.HLP" is a path. -v with anything but one path is an
/// error, as are a missing folder or number.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

/// Where the command-line entry reads and writes, so tests can run it in-process.
struct CommandLineContext {
  std::ostream& out;  // --help, --version
  std::ostream& err;  // usage errors and fatal errors
  EnvironmentLookup env;
  /// Draw the live progress bar (stderr is a terminal).
  bool terminal = false;
  /// Opens a finished RTF on the desktop; returns false when it cannot. Empty: never opens.
  std::function<bool(const std::filesystem::path&)> open_document;
  /// Runs the desktop wizard with the adjusted options and returns the exit status; called
  /// without a help file when a display is available (DisplayAvailable of `env`). Otherwise,
  /// and when it is empty (a build without the wizard), a message on `err` names the
  /// command-line form and the exit status is 2.
  std::function<int(ConversionOptions)> run_wizard;
};

/// Runs `body` and returns its exit status. A fatal error, exhausted memory ("Not enough
/// Memory") or any other exception escaping it is handed to `report` (the message without
/// trailing line feeds) and gives kExitFatal; a cancelled conversion gives kExitFatal without
/// a message. The command line and the wizard end their work through it.
int RunReportingFatal(const std::function<int()>& body,
                      const std::function<void(const std::string&)>& report);

/// True when the desktop wizard can be shown: DISPLAY or WAYLAND_DISPLAY is set, or
/// QT_QPA_PLATFORM names a platform that needs no display server (offscreen, minimal, vnc).
bool DisplayAvailable(const EnvironmentLookup& env);

/// The command-line entry over `args` (without the program name). Returns the exit status.
int RunCommandLine(const std::vector<std::string>& args, const CommandLineContext& context);

/// The command-line entry of the process: the real environment, stdout, stderr and the
/// desktop's opener; `run_wizard` as in CommandLineContext.
int RunCommandLine(int argc, char** argv, std::function<int(ConversionOptions)> run_wizard);

/// The options a command-line conversion runs with: the stored options in their canonical set,
/// or exactly the printing preset with -v; ProgressWindow added either way.
ConversionOptions CommandLineOptions(ConversionOptions stored, bool view);

/// The desktop's opener (xdg-open on PATH) when one may be used: a display (DISPLAY or
/// WAYLAND_DISPLAY) is set and QUORVEX_NO_OPEN is unset, empty or "0".
std::optional<std::filesystem::path> FindDesktopOpener(const EnvironmentLookup& env);

/// Starts `opener` on `document` without waiting for it. Returns false when it cannot start.
bool OpenWithDesktop(const std::filesystem::path& opener, const std::filesystem::path& document);

}  // namespace quorvex
