#include "ui/probe.h"

#include <new>
#include <stack>

#include "core/container.h"
#include "core/diagnostics.h"
#include "core/output.h"

namespace quorvex {

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

bool EqualsUpper(std::string_view text, std::string_view upper) {
  if (text.size() != upper.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (AsciiUpper(text[i]) != upper[i]) return false;
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

/// Folders of the system that hold no help files and must not be walked (endless or
/// blocking pseudo-files).
bool IsSystemFolder(const std::filesystem::path& p) {
  return p == "/proc" || p == "/sys" || p == "/dev";
}

}  // namespace

std::optional<SystemStrings> ProbeHelpFile(const std::string& path) {
  NullDiagnostics quiet;
  OutputDir nowhere(".");
  ConversionSession session(quiet, nowhere);
  try {
    std::unique_ptr<HelpFile> hf = OpenHelpFile(path, kProbeOnly, session);
    if (!hf) return std::nullopt;
    SystemStrings strings = ReadSystemStrings(*hf);
    CloseHelpFile(std::move(hf));
    return strings;
  } catch (const FatalException&) {
    // A damaged directory: not a file the user can convert, and no reason to stop a scan.
  } catch (const std::bad_alloc&) {
  }
  return std::nullopt;
}

std::vector<std::string> SplitFileNameField(std::string_view text) {
  std::vector<std::string> names;
  text = Trim(text);
  if (text.size() >= 2 && text.front() == '"') {
    for (size_t open = text.find('"'); open != std::string_view::npos;) {
      size_t close = text.find('"', open + 1);
      if (close == std::string_view::npos) close = text.size();
      std::string_view name = text.substr(open + 1, close - open - 1);
      if (!name.empty()) names.emplace_back(name);
      open = close + 1 < text.size() ? text.find('"', close + 1) : std::string_view::npos;
    }
  } else if (!text.empty()) {
    names.emplace_back(text);
  }
  return names;
}

std::vector<std::string> FileNameFieldPaths(std::string_view text,
                                            const std::filesystem::path& folder) {
  std::vector<std::string> names = SplitFileNameField(text);
  if (names.size() == 1 && names[0].find('.') == std::string::npos) names[0] += ".HLP";
  std::vector<std::string> paths;
  for (const std::string& name : names) {
    std::filesystem::path p(name);
    paths.push_back(p.is_absolute() ? name : (folder / p).string());
  }
  return paths;
}

TitlePreview PreviewHelpFileTitle(const std::vector<std::string>& paths) {
  TitlePreview preview;
  for (const std::string& path : paths) {
    std::optional<SystemStrings> strings = ProbeHelpFile(path);
    if (!strings) return TitlePreview{};
    preview.title = strings->title.value_or("");
  }
  preview.ok = !paths.empty();
  return preview;
}

bool IsListedHelpFileName(std::string_view name) {
  size_t dot = name.find('.');
  if (dot == std::string_view::npos) return false;
  std::string_view extension = name.substr(dot + 1);
  return EqualsUpper(extension, "HLP") || EqualsUpper(extension, "MVB");
}

void ScanForHelpFiles(const std::filesystem::path& root, const ScanCallbacks& callbacks,
                      const std::atomic<bool>& stop) {
  namespace fs = std::filesystem;
  // An explicit stack instead of recursion: a deep tree cannot exhaust the thread's stack.
  struct Level {
    fs::path folder;
    fs::directory_iterator it;
  };
  std::stack<Level> levels;
  auto enter = [&levels](const fs::path& folder) {
    std::error_code ec;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    levels.push({folder, ec ? fs::directory_iterator() : std::move(it)});
  };
  enter(root);
  while (!levels.empty() && !stop.load()) {
    Level& level = levels.top();
    if (level.it == fs::directory_iterator()) {
      fs::path done = level.folder;
      levels.pop();
      if (callbacks.folder_done) callbacks.folder_done(done);
      continue;
    }
    const fs::directory_entry entry = *level.it;
    std::error_code ec;
    level.it.increment(ec);
    if (ec) level.it = fs::directory_iterator();

    const std::string name = entry.path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    if (IsListedHelpFileName(name)) {
      const std::string path = entry.path().string();
      if (std::optional<SystemStrings> s = ProbeHelpFile(path); s && callbacks.found) {
        callbacks.found(
            {s->title && !s->title->empty() ? *s->title : path, s->copyright.value_or("--"), path});
      }
      continue;
    }
    if (entry.is_directory(ec) && !entry.is_symlink(ec) && !IsSystemFolder(entry.path()))
      enter(entry.path());  // `level` is not used after this
  }
}

}  // namespace quorvex
