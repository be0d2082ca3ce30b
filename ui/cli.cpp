#include "ui/cli.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <iostream>
#include <new>
#include <system_error>
#include <thread>

#include "core/code_page.h"
#include "core/diagnostics.h"
#include "core/driver.h"
#include "core/format.h"
#include "core/help_file.h"
#include "core/output.h"
#include "core/strings.h"
#include "ui/phases.h"
#include "ui/ui_strings.h"

#ifndef QUORVEX_VERSION
#define QUORVEX_VERSION "0.0.0"
#endif

namespace quorvex {

namespace {

std::string Text(int id, std::string_view arg = {}) {
  return FormatText(LoadText(id), {FormatArg(arg)});
}

std::string UsageText(const std::filesystem::path& ini) {
  std::string where =
      ini.empty() ? std::string("~/.config/quorvex/") + kSettingsFileName : ini.string();
  return Text(kTextUsage, where);
}

/// Shows a fatal message as the terminal's counterpart of the message box: the caption, then
/// the message ending in exactly one line feed.
void ReportFatal(std::ostream& err, std::string_view message) {
  err << LoadText(kTextSevereProblem) << ": " << message << '\n';
  err.flush();
}

/// Opens the RTF of a finished -v conversion, or says where it is.
void ViewResult(const CommandLineContext& context, const OutputDir& output,
                const OutputNames& names) {
  std::error_code ec;
  std::filesystem::path rtf = output.PathOf(RtfFileName(names.base_name, false, 1));
  std::filesystem::path absolute = std::filesystem::absolute(rtf, ec);
  if (!ec) rtf = absolute;
  if (context.open_document && context.open_document(rtf)) return;
  context.err << Text(kTextResultIn, rtf.string()) << '\n';
}

int Convert(const CommandLine& line, const std::filesystem::path& ini,
            const CommandLineContext& context) {
  ConversionJob job;
  job.options = CommandLineOptions(ReadSettings(ini), line.view);
  job.path = line.paths.front();
  job.code_page = line.code_page ? line.code_page : ReadCodePageSetting(ini);

  std::filesystem::path folder = line.output_dir ? std::filesystem::path(*line.output_dir) : ".";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec))
    FatalError(LoadText(kTextCantCreateFolder), folder.string());
  OutputDir output(folder);
  // Pictures embedded in the RTF are written to the TEMP folder when there is one.
  std::unique_ptr<OutputDir> temp;
  if (const char* t = context.env ? context.env("TEMP") : nullptr; t && *t) {
    if (std::filesystem::is_directory(t, ec)) temp = std::make_unique<OutputDir>(t);
  }

  OutputNames names;
  {
    TerminalDiagnostics diagnostics(context.terminal);
    ConversionSession session(diagnostics, output, temp.get());
    // "-j 1" keeps the conversion on one thread.
    session.read_ahead = line.jobs != 1;
    StandardPhases phases;
    names = ConvertHelpFile(job, session, phases);
    diagnostics.Finish();
  }
  if (line.view) ViewResult(context, output, names);
  return kExitNormal;
}

/// Several help files, or folders: each into its own subfolder of the output folder.
int ConvertMany(const CommandLine& line, const std::filesystem::path& ini,
                const CommandLineContext& context) {
  BatchRequest request;
  std::vector<std::string> empty;
  request.items = CollectBatch(line.paths, line.recursive, empty);
  for (const std::string& folder : empty) context.err << Text(kTextNoHelpFiles, folder) << '\n';
  if (request.items.empty()) return kExitFatal;
  request.options = CommandLineOptions(ReadSettings(ini), false);
  request.code_page = line.code_page ? line.code_page : ReadCodePageSetting(ini);
  request.output = line.output_dir ? std::filesystem::path(*line.output_dir) : ".";
  std::error_code ec;
  std::filesystem::create_directories(request.output, ec);
  if (!std::filesystem::is_directory(request.output, ec))
    FatalError(LoadText(kTextCantCreateFolder), request.output.string());
  request.jobs = line.jobs ? line.jobs : std::max(1u, std::thread::hardware_concurrency());
  request.terminal = context.terminal;
  request.env = context.env;
  return RunBatch(request, context.err) == kExitNormal && empty.empty() ? kExitNormal : kExitFatal;
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  bool options_end = false;
  auto error = [&line](int id, std::string_view arg) {
    if (!line.error_id) {
      line.error_id = id;
      line.error_arg = arg;
    }
  };
  // The value of an option: the next argument, or what follows "=" in "--name=value".
  auto value = [&](size_t& i, std::string_view name, int missing) -> std::optional<std::string> {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg[name.size()] == '=') {
      if (arg.size() > name.size() + 1) return arg.substr(name.size() + 1);
    } else if (i + 1 < args.size() && !args[i + 1].empty()) {
      return args[++i];
    } else {
      ++i;
    }
    error(missing, name);
    return std::nullopt;
  };
  auto number = [&](size_t& i, std::string_view name) -> unsigned {
    const std::optional<std::string> v = value(i, name, kTextNeedsNumber);
    if (!v) return 0;
    unsigned n = 0;
    for (char c : *v) {
      if (c < '0' || c > '9' || n > 100000) {
        error(kTextNeedsNumber, name);
        return 0;
      }
      n = n * 10 + unsigned(c - '0');
    }
    return n;
  };
  auto is = [](const std::string& arg, std::string_view name) {
    return arg == name || (arg.starts_with(name) && arg.size() > name.size() &&
                           arg[name.size()] == '=' && name.starts_with("--"));
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_end) {
      line.paths.push_back(arg);
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--help") {
      line.help = true;
    } else if (arg == "--version") {
      line.version = true;
    } else if (arg == "-v") {
      line.view = true;
    } else if (arg == "-r") {
      line.recursive = true;
    } else if (arg == "-o" || is(arg, "--output")) {
      if (auto dir = value(i, arg == "-o" ? "-o" : "--output", kTextNeedsFolder))
        line.output_dir = *dir;
    } else if (arg == "-j" || is(arg, "--jobs")) {
      line.jobs = std::max(1u, number(i, arg == "-j" ? "-j" : "--jobs"));
    } else if (is(arg, "--codepage")) {
      const unsigned cp = number(i, "--codepage");
      if (cp && !IsKnownCodePage(cp)) error(kTextBadCodePage, std::to_string(cp));
      line.code_page = cp;
    } else if (arg.size() > 1 && arg[0] == '-' && arg.find_first_of("./\\:") == std::string::npos) {
      error(kTextUnknownOption, arg);
    } else {
      line.paths.push_back(arg);
    }
  }
  if (line.view && line.paths.size() != 1)
    error(line.paths.empty() ? kTextViewNeedsFile : kTextViewOneFile, "");
  return line;
}

ConversionOptions CommandLineOptions(ConversionOptions stored, bool view) {
  ConversionOptions options = view ? kViewPreset : ApplyCanonicalOptions(stored);
  return options | kProgressWindow;
}

int RunReportingFatal(const std::function<int()>& body,
                      const std::function<void(const std::string&)>& report) {
  auto show = [&report](std::string_view message) {
    while (!message.empty() && message.back() == '\n') message.remove_suffix(1);
    report(std::string(message));
  };
  try {
    return body();
  } catch (const FatalException& e) {
    show(e.what());
  } catch (const ConversionCancelled&) {
    // The user chose to stop; nothing more to say.
  } catch (const std::bad_alloc&) {
    show("Not enough Memory\n");
  } catch (const std::exception& e) {
    // Not expected from the conversion; still an orderly end rather than an abort.
    show(e.what());
  }
  return kExitFatal;
}

bool DisplayAvailable(const EnvironmentLookup& env) {
  auto set = [&env](const char* name) {
    const char* v = env ? env(name) : nullptr;
    return v && *v;
  };
  if (set("DISPLAY") || set("WAYLAND_DISPLAY")) return true;
  const char* platform = env ? env("QT_QPA_PLATFORM") : nullptr;
  const std::string_view p = platform ? platform : "";
  return p.starts_with("offscreen") || p.starts_with("minimal") || p.starts_with("vnc");
}

int RunCommandLine(const std::vector<std::string>& args, const CommandLineContext& context) {
  RegisterUiTexts();
  return RunReportingFatal(
      [&]() -> int {
        std::filesystem::path ini = SettingsFilePath(context.env);
        SelectLanguage(ini, context.env);
        CommandLine line = ParseCommandLine(args);

        if (line.help) {
          context.out << UsageText(ini);
          context.out.flush();
          return kExitInfo;
        }
        if (line.version) {
          context.out << Text(kTextVersion, QUORVEX_VERSION) << '\n';
          context.out.flush();
          return kExitInfo;
        }
        if (line.error_id) {
          context.err << Text(line.error_id, line.error_arg) << '\n'
                      << LoadText(kTextTryHelp) << '\n';
          return kExitFatal;
        }
        if (line.paths.empty()) {
          if (context.run_wizard && DisplayAvailable(context.env))
            return context.run_wizard(ApplyCanonicalOptions(ReadSettings(ini)));
          context.err << LoadText(context.run_wizard ? kTextNoDisplay : kTextNoWizard)
                      << LoadText(kTextTryHelp) << '\n';
          return kExitNormal;
        }
        std::error_code ec;
        if (line.paths.size() == 1 && !std::filesystem::is_directory(line.paths[0], ec))
          return Convert(line, ini, context);
        return ConvertMany(line, ini, context);
      },
      [&context](const std::string& message) { ReportFatal(context.err, message); });
}

int RunCommandLine(int argc, char** argv, std::function<int(ConversionOptions)> run_wizard) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  EnvironmentLookup env = ProcessEnvironment();
  std::optional<std::filesystem::path> opener = FindDesktopOpener(env);
  CommandLineContext context{
      .out = std::cout,
      .err = std::cerr,
      .env = env,
      .terminal = ::isatty(STDERR_FILENO) != 0,
      .open_document =
          [opener](const std::filesystem::path& document) {
            return opener && OpenWithDesktop(*opener, document);
          },
      .run_wizard = std::move(run_wizard),
  };
  return RunCommandLine(args, context);
}

std::optional<std::filesystem::path> FindDesktopOpener(const EnvironmentLookup& env) {
  auto get = [&env](const char* name) -> std::string_view {
    const char* v = env ? env(name) : nullptr;
    return v ? std::string_view(v) : std::string_view();
  };
  std::string_view no_open = get("QUORVEX_NO_OPEN");
  if (!no_open.empty() && no_open != "0") return std::nullopt;
  if (get("DISPLAY").empty() && get("WAYLAND_DISPLAY").empty()) return std::nullopt;

  std::string_view search = get("PATH");
  while (!search.empty()) {
    size_t colon = search.find(':');
    std::string_view folder = search.substr(0, colon);
    search = colon == std::string_view::npos ? std::string_view() : search.substr(colon + 1);
    if (folder.empty()) continue;  // an empty entry would mean the current directory: skip it
    std::filesystem::path candidate = std::filesystem::path(folder) / "xdg-open";
    std::error_code ec;
    if (std::filesystem::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return std::nullopt;
}

bool OpenWithDesktop(const std::filesystem::path& opener, const std::filesystem::path& document) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::string program = opener.string();
  std::string file = document.string();
  char* const argv[] = {program.data(), file.data(), nullptr};
  pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    // The opener runs in a grandchild of its own session, so it neither waits for this process
    // nor is left behind as a zombie of it.
    ::setsid();
    pid_t grandchild = ::fork();
    if (grandchild == 0) {
      ::execv(argv[0], argv);
      ::_exit(127);
    }
    ::_exit(grandchild < 0 ? 1 : 0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace quorvex
