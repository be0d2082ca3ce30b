#include "ui/batch.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include "core/diagnostics.h"
#include "core/driver.h"
#include "core/format.h"
#include "core/help_file.h"
#include "ui/cli.h"
#include "ui/phases.h"
#include "ui/ui_strings.h"

namespace quorvex {

namespace fs = std::filesystem;

namespace {

bool IsHelpFileName(const fs::path& p) {
  std::string ext = p.extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".hlp" || ext == ".mvb" || ext == ".m13";
}

std::vector<fs::path> HelpFilesIn(const fs::path& folder, bool recursive) {
  std::vector<fs::path> found;
  std::error_code ec;
  auto take = [&](const fs::directory_entry& e) {
    std::error_code e2;
    if (e.is_regular_file(e2) && IsHelpFileName(e.path())) found.push_back(e.path());
  };
  if (recursive) {
    for (auto it = fs::recursive_directory_iterator(
             folder, fs::directory_options::skip_permission_denied, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
      take(*it);
  } else {
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec))
      take(*it);
  }
  std::sort(found.begin(), found.end());
  return found;
}

/// Warnings of one conversion: shown at once with the file's name in front, and counted.
class BatchDiagnostics : public Diagnostics {
 public:
  BatchDiagnostics(std::string name, std::ostream& err, std::mutex& lock)
      : name_(std::move(name)), err_(err), lock_(lock) {}
  size_t warnings = 0;

 protected:
  void OnWarning(int, const std::string& text) override {
    ++warnings;
    std::lock_guard guard(lock_);
    err_ << "\r\033[K" + name_ + ": " + LoadText(kTextWarningPrefix) + " " + text + "\n";
  }
  void OnProgress(int, int) override {}

 private:
  std::string name_;
  std::ostream& err_;
  std::mutex& lock_;
};

struct Outcome {
  bool converted = false;
  size_t warnings = 0;
  std::string fatal;
};

/// `read_ahead`: a core is free beside each conversion (fewer files than jobs).
Outcome ConvertItem(const BatchRequest& request, const BatchItem& item, size_t index,
                    bool read_ahead, std::ostream& err, std::mutex& lock) {
  Outcome outcome;
  BatchDiagnostics diagnostics(item.folder, err, lock);
  // Each conversion gets a TEMP subfolder of its own, so that pictures of two conversions
  // never meet; it goes again afterwards.
  fs::path temp_path;
  if (const char* t = request.env ? request.env("TEMP") : nullptr; t && *t) {
    std::error_code ec;
    if (fs::is_directory(t, ec))
      temp_path =
          fs::path(t) / ("quorvex-" + std::to_string(::getpid()) + "-" + std::to_string(index));
  }
  const int status = RunReportingFatal(
      [&]() -> int {
        OutputDir output(request.output / item.folder);
        std::unique_ptr<OutputDir> temp;
        if (!temp_path.empty()) temp = std::make_unique<OutputDir>(temp_path);
        ConversionSession session(diagnostics, output, temp.get());
        session.read_ahead = read_ahead;
        StandardPhases phases;
        ConversionJob job{request.options, item.help_file.string(), request.code_page};
        ConvertHelpFile(job, session, phases);
        return kExitNormal;
      },
      [&](const std::string& message) { outcome.fatal = message; });
  if (!temp_path.empty()) {
    std::error_code ec;
    fs::remove_all(temp_path, ec);
  }
  outcome.converted = status == kExitNormal;
  outcome.warnings = diagnostics.warnings;
  return outcome;
}

}  // namespace

std::vector<BatchItem> CollectBatch(const std::vector<std::string>& paths, bool recursive,
                                    std::vector<std::string>& empty_folders) {
  std::vector<fs::path> files;
  for (const std::string& p : paths) {
    std::error_code ec;
    if (fs::is_directory(p, ec)) {
      std::vector<fs::path> in = HelpFilesIn(p, recursive);
      if (in.empty()) empty_folders.push_back(p);
      files.insert(files.end(), in.begin(), in.end());
    } else {
      files.emplace_back(p);
    }
  }
  std::vector<BatchItem> items;
  std::set<std::string> used;
  for (const fs::path& f : files) {
    std::string base = OutputDir::SafeName(f.stem().string());
    std::string name = base;
    for (int n = 2; !used.insert(name).second; ++n) name = base + "_" + std::to_string(n);
    items.push_back({f, name});
  }
  return items;
}

int RunBatch(const BatchRequest& request, std::ostream& err) {
  const size_t count = request.items.size();
  std::vector<Outcome> outcomes(count);
  std::atomic<size_t> next{0}, done{0};
  std::mutex lock;
  auto show_progress = [&](const std::string& name) {
    if (!request.terminal) return;
    std::lock_guard guard(lock);
    err << "\r\033[K[" << done.load() << "/" << count << "] " << name << std::flush;
  };
  const unsigned jobs = std::max(1u, std::min<unsigned>(request.jobs, unsigned(count)));
  // Files converted side by side keep the cores busy; a conversion reads its topics on a
  // second thread only when the jobs leave a core free for it.
  const bool read_ahead = 2 * jobs <= request.jobs;
  auto worker = [&] {
    for (size_t i; (i = next++) < count;) {
      show_progress(request.items[i].folder);
      outcomes[i] = ConvertItem(request, request.items[i], i, read_ahead, err, lock);
      ++done;
      show_progress(request.items[i].folder);
    }
  };
  {
    std::vector<std::jthread> threads;
    for (unsigned j = 1; j < jobs; ++j) threads.emplace_back(worker);
    worker();
  }
  if (request.terminal) err << "\r\033[K";
  size_t converted = 0, with_warnings = 0, failed = 0;
  for (size_t i = 0; i < count; ++i) {
    const Outcome& o = outcomes[i];
    const std::string& name = request.items[i].folder;
    if (!o.converted) {
      ++failed;
      err << FormatText(LoadText(kTextBatchFatal), {name, o.fatal}) << "\n";
    } else if (o.warnings > 0) {
      ++with_warnings;
      err << FormatText(LoadText(kTextBatchWarnings), {name, o.warnings}) << "\n";
    } else {
      ++converted;
      err << FormatText(LoadText(kTextBatchConverted), {name}) << "\n";
    }
  }
  err << FormatText(LoadText(kTextBatchTotal), {count, converted, with_warnings, failed}) << "\n";
  err.flush();
  return failed ? kExitFatal : kExitNormal;
}

}  // namespace quorvex
