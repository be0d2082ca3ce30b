// A quick look into help files for their titles: the wizard's title preview and the help-file
// list's scan. Both open files with kProbeOnly, which reads only the directory and |SYSTEM and
// says nothing about files that are not help files.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/system_file.h"

namespace quorvex {

/// The title, copyright and citation of the help file at `path`; nullopt when it is not a help
/// file this program can convert (unreadable, not a help file, a compiler version it does not
/// read, a directory it cannot read). Never throws a FatalException and shows nothing.
std::optional<SystemStrings> ProbeHelpFile(const std::string& path);

/// The names in the wizard's file-name field. The file dialog writes a multiple selection as
/// quoted names ("A.HLP" "B.HLP"); any other text is one name (blanks around it removed), so
/// names with spaces work. No names for an empty field.
std::vector<std::string> SplitFileNameField(std::string_view text);

/// The help-file paths the field names: each name inside `folder` unless it is absolute; a
/// single name without "." gets ".HLP" (typing SUPERAPP means SUPERAPP.HLP).
std::vector<std::string> FileNameFieldPaths(std::string_view text,
                                            const std::filesystem::path& folder);

/// The result of the title preview.
struct TitlePreview {
  bool ok = false;    // every path opened as a help file (false for none)
  std::string title;  // the title of the last one; empty when it has none or one failed
};

/// Probes `paths` in order and stops at the first that does not open.
TitlePreview PreviewHelpFileTitle(const std::vector<std::string>& paths);

/// True when the help-file list takes a file or folder `name` for a help file: the text after
/// its first "." is HLP or MVB in any case (so MANUAL.OLD.HLP is not one).
bool IsListedHelpFileName(std::string_view name);

/// One line of the help-file list.
struct HelpFileListEntry {
  std::string title;      // the path when the file has no title
  std::string copyright;  // "--" when it has none
  std::string path;
};

/// What the scan reports; each callback runs on the scanning thread.
struct ScanCallbacks {
  std::function<void(const HelpFileListEntry&)> found;
  /// A folder whose scan has finished (the start folder last).
  std::function<void(const std::filesystem::path&)> folder_done;
};

/// Searches `root` and its subfolders depth-first, in the order the file system lists them:
/// every entry named as a help file (IsListedHelpFileName) is probed and, when it opens,
/// reported; it is never entered, even when it is a folder. Names beginning with "." are
/// skipped, symbolic links to folders are not followed, /proc, /sys and /dev are not entered
/// and unreadable folders are passed over. Stops soon after `stop` becomes true.
void ScanForHelpFiles(const std::filesystem::path& root, const ScanCallbacks& callbacks,
                      const std::atomic<bool>& stop);

}  // namespace quorvex
