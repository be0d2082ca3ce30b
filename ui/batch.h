// Many help files in one command: every file and folder given (folders searched for help
// files, recursively with -r), each converted into a subfolder of its own, several at a time.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "core/options.h"
#include "ui/settings.h"

namespace quorvex {

/// One help file of a batch and the folder its output goes to.
struct BatchItem {
  std::filesystem::path help_file;
  std::string folder;  // a subfolder of the output folder, named after the help file
};

/// The help files of `paths`: a file as it is given, a folder's help files (.HLP, .MVB, .M13,
/// any case; with `recursive` those of its subfolders too, without following links), each in
/// path order. Each gets a subfolder named after the file; clashes get "_2", "_3", ...
/// `empty_folders` receives the folders without a help file.
std::vector<BatchItem> CollectBatch(const std::vector<std::string>& paths, bool recursive,
                                    std::vector<std::string>& empty_folders);

struct BatchRequest {
  std::vector<BatchItem> items;
  ConversionOptions options = 0;
  uint32_t code_page = 0;
  std::filesystem::path output;  // the output folder
  unsigned jobs = 1;             // conversions at a time
  bool terminal = false;         // draw a live progress line
  EnvironmentLookup env;         // TEMP
};

/// Converts every item, each in its own session (own warnings, own character count, own TEMP
/// subfolder), `jobs` at a time. Warnings go to `err` as they come, prefixed with the file's
/// folder name; at the end one line per file (converted, with N warnings, or the fatal
/// message) and a total. Returns 2 when every file converted, 1 when any failed.
int RunBatch(const BatchRequest& request, std::ostream& err);

}  // namespace quorvex
