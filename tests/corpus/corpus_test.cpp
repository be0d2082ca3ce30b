// Runs the real quorvex program over every help file of the corpus folder, once in printing mode
// (no settings file: the defaults) and once in recompilation mode (a settings file with
// ForPrint=0), each run in fresh folders of its own, and checks what a user would see: the exit
// status, the messages on stderr and the files written.
//
// The corpus folder is QUORVEX_CORPUS_DIR from the environment, else the one compiled in; when it
// is missing the corpus tests are skipped with a message. The program is QUORVEX_BINARY from the
// environment (ctest sets it), else the one compiled in.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// The exit status of a normal run.
constexpr int kNormalExit = 2;
// A run that takes longer is taken as hung: the largest corpus file (4 MB) converts in seconds,
// also under the sanitizers. QUORVEX_CORPUS_TIMEOUT overrides it.
constexpr int kDefaultTimeoutSeconds = 300;
// How much of stderr a failure report shows: enough for the last warnings and a sanitizer report.
constexpr size_t kStderrShown = 8000;

constexpr const char* kFatalCaption = "Quorvex Severe Problem";
constexpr const char* kVersionWarning = "File Created by";
constexpr const char* kRecompilationSettings = "[Options]\nForPrint=0\n";
// What precedes every topic but the first of a file with page breaks (text mode: CR LF).
constexpr const char* kTopicSeparator = "\\page\\pard\r\n";

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return (value != nullptr && *value != '\0') ? value : fallback;
}

std::string CorpusDir() {
  return EnvOr("QUORVEX_CORPUS_DIR", QUORVEX_CORPUS_DIR);
}
std::string BinaryPath() {
  return EnvOr("QUORVEX_BINARY", QUORVEX_BINARY_DEFAULT);
}

int TimeoutSeconds() {
  const int value = std::atoi(EnvOr("QUORVEX_CORPUS_TIMEOUT", "0").c_str());
  return value > 0 ? value : kDefaultTimeoutSeconds;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool IsHelpFileName(const fs::path& path) {
  const std::string ext = Lower(path.extension().string());
  return ext == ".hlp" || ext == ".mvb" || ext == ".m13";
}

// The name the program gives its output files: the text after the last "/", cut at its last ".".
std::string OutputStem(const std::string& path) {
  std::string name = path.substr(path.find_last_of('/') + 1);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) name.resize(dot);
  return name;
}

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// One column of a table of the corpus folder (MANIFEST.tsv, FACTS.tsv: tab-separated, a header
// line naming the columns) by the "file" column; empty when the table or the column is missing.
std::map<std::string, std::string> ReadColumn(const fs::path& table, const std::string& column) {
  std::map<std::string, std::string> values;
  std::ifstream in(table);
  std::string line;
  if (!std::getline(in, line)) return values;
  auto split = [](const std::string& text) {
    std::vector<std::string> fields;
    std::stringstream stream(text);
    std::string field;
    while (std::getline(stream, field, '\t')) fields.push_back(field);
    return fields;
  };
  const std::vector<std::string> header = split(line);
  const auto file_col = std::find(header.begin(), header.end(), "file") - header.begin();
  const auto value_col = std::find(header.begin(), header.end(), column) - header.begin();
  const auto columns = static_cast<std::ptrdiff_t>(header.size());
  if (file_col == columns || value_col == columns) return values;
  while (std::getline(in, line)) {
    const std::vector<std::string> fields = split(line);
    if (static_cast<std::ptrdiff_t>(fields.size()) > std::max(file_col, value_col)) {
      values[fields[file_col]] = fields[value_col];
    }
  }
  return values;
}

enum class VersionWarning { kExpected, kNone, kUnknown };

// HC31 files open silently; files of the other compilers get the "File Created by" warning.
VersionWarning ExpectedVersionWarning(const std::string& compiler) {
  if (compiler == "HC31") return VersionWarning::kNone;
  const std::string lower = Lower(compiler);
  if (lower == "hc30" || lower == "hcrtf" || lower.find("mv") != std::string::npos ||
      lower.find("media viewer") != std::string::npos) {
    return VersionWarning::kExpected;
  }
  return VersionWarning::kUnknown;
}

struct CorpusFile {
  std::string name;       // file name in the corpus folder
  std::string compiler;   // MANIFEST.tsv compiler column, empty when the file is not listed
  int topics = -1;        // FACTS.tsv topic headers counted independently, -1 when not listed
  std::string test_name;  // name as a test name: letters, digits and "_"
};

std::vector<CorpusFile> ListCorpus() {
  std::vector<CorpusFile> files;
  const fs::path dir = CorpusDir();
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return files;
  const auto compilers = ReadColumn(dir / "MANIFEST.tsv", "compiler");
  const auto topics = ReadColumn(dir / "FACTS.tsv", "topics");
  for (const auto& entry : fs::directory_iterator(dir, ec)) {
    if (!entry.is_regular_file(ec) || !IsHelpFileName(entry.path())) continue;
    CorpusFile file;
    file.name = entry.path().filename().string();
    if (auto it = compilers.find(file.name); it != compilers.end()) file.compiler = it->second;
    if (auto it = topics.find(file.name); it != topics.end() && !it->second.empty()) {
      file.topics = std::atoi(it->second.c_str());
    }
    files.push_back(file);
  }
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  std::set<std::string> used;
  for (auto& file : files) {
    std::string name;
    for (unsigned char c : file.name) name += std::isalnum(c) ? static_cast<char>(c) : '_';
    std::string unique = name;
    for (int n = 2; !used.insert(unique).second; ++n) unique = name + "_" + std::to_string(n);
    file.test_name = unique;
  }
  return files;
}

const std::vector<CorpusFile>& Corpus() {
  static const std::vector<CorpusFile> files = ListCorpus();
  return files;
}

// A fresh folder under the system's temporary folder, removed with everything in it at the end
// (kept when QUORVEX_KEEP_OUTPUT is set, to look at a failure).
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "quorvex-corpus-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~TempDir() {
    if (path_.empty()) return;
    if (std::getenv("QUORVEX_KEEP_OUTPUT") != nullptr) {
      std::cout << "output kept in " << path_ << "\n";
      return;
    }
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

struct RunResult {
  bool started = false;
  bool timed_out = false;
  int wait_status = 0;
};

// Runs `argv` in `cwd` with exactly `env`, stdin from /dev/null, stdout and stderr into files.
RunResult RunProgram(const std::vector<std::string>& argv, const fs::path& cwd,
                     const std::vector<std::string>& env, const fs::path& stdout_path,
                     const fs::path& stderr_path, int timeout_seconds) {
  // Everything the child needs is prepared before fork: after it only async-signal-safe calls.
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const auto& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
  envp.push_back(nullptr);
  const std::string cwd_text = cwd.string();
  const std::string out_text = stdout_path.string();
  const std::string err_text = stderr_path.string();

  RunResult result;
  const pid_t pid = fork();
  if (pid < 0) return result;
  if (pid == 0) {
    setpgid(0, 0);  // its own process group, so that a timeout ends its children too
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(out_text.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(err_text.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0 || dup2(in, 0) < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 ||
        chdir(cwd_text.c_str()) != 0) {
      _exit(126);
    }
    execve(args[0], args.data(), envp.data());
    _exit(127);
  }
  result.started = true;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout_seconds);
  for (;;) {
    const pid_t done = waitpid(pid, &result.wait_status, WNOHANG);
    if (done == pid) break;
    if (done < 0 && errno != EINTR) break;
    if (std::chrono::steady_clock::now() > deadline) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      waitpid(pid, &result.wait_status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return result;
}

// The test's environment with the user's settings, language, temporary folder and display
// replaced, so that a run neither reads nor changes anything of the user's.
std::vector<std::string> RunEnvironment(const fs::path& home, const fs::path& temp) {
  static const std::set<std::string> replaced = {"HOME",     "XDG_CONFIG_HOME", "TEMP",
                                                 "TMP",      "TMPDIR",          "LANG",
                                                 "LANGUAGE", "LC_ALL",          "LC_MESSAGES",
                                                 "DISPLAY",  "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::string> env;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    if (replaced.count(text.substr(0, text.find('='))) == 0) env.push_back(text);
  }
  env.push_back("HOME=" + home.string());
  env.push_back("XDG_CONFIG_HOME=" + (home / ".config").string());
  env.push_back("TEMP=" + temp.string());
  env.push_back("TMPDIR=" + temp.string());
  env.push_back("LANG=C");
  env.push_back("LC_ALL=C");
  env.push_back("QT_QPA_PLATFORM=offscreen");
  return env;
}

std::vector<std::string> FolderEntries(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(dir, ec)) {
    names.push_back(fs::relative(entry.path(), dir, ec).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string Join(const std::vector<std::string>& names) {
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text.empty() ? "(nothing)" : text;
}

size_t Count(const std::string& text, const std::string& part) {
  size_t count = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
  return count;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

std::string Tail(const std::string& text, size_t count) {
  return text.size() <= count ? text : "...\n" + text.substr(text.size() - count);
}

enum class Mode { kPrinting, kRecompilation };

struct CorpusCase {
  CorpusFile file;
  Mode mode;
};

std::vector<CorpusCase> Cases(Mode mode) {
  std::vector<CorpusCase> cases;
  for (const auto& file : Corpus()) cases.push_back({file, mode});
  return cases;
}

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const CorpusCase& value, std::ostream* os) {
  *os << value.file.name << (value.mode == Mode::kPrinting ? " (printing)" : " (recompilation)");
}

class CorpusRun : public ::testing::TestWithParam<CorpusCase> {};

TEST_P(CorpusRun, Converts) {
  const CorpusCase& param = GetParam();
  const bool printing = param.mode == Mode::kPrinting;
  const std::string binary = BinaryPath();
  ASSERT_EQ(access(binary.c_str(), X_OK), 0) << "quorvex program not found: " << binary;

  TempDir tmp;
  ASSERT_FALSE(tmp.path().empty()) << "cannot create a temporary folder";
  const fs::path home = tmp.path() / "home";
  const fs::path config = home / ".config" / "quorvex";
  const fs::path temp = tmp.path() / "temp";
  const fs::path input = tmp.path() / "input";
  const fs::path out = tmp.path() / "out";
  for (const auto& dir : {config, temp, input, out}) fs::create_directories(dir);
  const fs::path settings = config / "QUORVEX.INI";
  if (!printing) WriteFile(settings, kRecompilationSettings);

  // A copy beside nothing else, so that anything written beside the help file shows.
  const fs::path help_file = input / param.file.name;
  fs::copy_file(fs::path(CorpusDir()) / param.file.name, help_file);

  const RunResult run =
      RunProgram({binary, help_file.string()}, out, RunEnvironment(home, temp),
                 tmp.path() / "stdout.txt", tmp.path() / "stderr.txt", TimeoutSeconds());
  const std::string err = ReadFile(tmp.path() / "stderr.txt");
  ASSERT_TRUE(run.started) << "cannot start " << binary;

  EXPECT_FALSE(run.timed_out) << "no end within " << TimeoutSeconds() << " s";
  if (!run.timed_out) {
    ASSERT_TRUE(WIFEXITED(run.wait_status))
        << "ended by signal " << WTERMSIG(run.wait_status) << "\nstderr:\n"
        << Tail(err, kStderrShown);
    EXPECT_EQ(WEXITSTATUS(run.wait_status), kNormalExit);
  }
  EXPECT_FALSE(Contains(err, kFatalCaption)) << "fatal error reported";
  for (const char* report : {"runtime error:", "AddressSanitizer", "LeakSanitizer"}) {
    EXPECT_FALSE(Contains(err, report)) << "sanitizer report: " << report;
  }

  switch (ExpectedVersionWarning(param.file.compiler)) {
    case VersionWarning::kExpected:
      EXPECT_TRUE(Contains(err, kVersionWarning))
          << "no version warning for a file made by " << param.file.compiler;
      break;
    case VersionWarning::kNone:
      EXPECT_FALSE(Contains(err, kVersionWarning))
          << "version warning for a file made by " << param.file.compiler;
      break;
    case VersionWarning::kUnknown:
      break;  // CorpusManifest.ListsEveryHelpFile reports the missing row
  }

  const std::string stem = OutputStem(help_file.string());
  const std::string rtf = ReadFile(out / (stem + ".RTF"));
  EXPECT_TRUE(rtf.starts_with("{\\rtf1")) << stem << ".RTF missing or not an RTF document";
  const fs::path project = out / (stem + ".HPJ");
  if (printing) {
    EXPECT_FALSE(fs::exists(project)) << "project file written in printing mode";
  } else {
    EXPECT_GT(ReadFile(project).size(), 0u) << stem << ".HPJ missing or empty";
    // Recompilation mode separates topics by page breaks: every topic gets one but the first.
    if (param.file.topics > 0) {
      EXPECT_EQ(Count(rtf, kTopicSeparator) + 1, static_cast<size_t>(param.file.topics))
          << "topics in " << stem << ".RTF differ from the independent count";
    }
  }
  // The null device and the decompression scratch files never reach the disk.
  for (const char* name : {"NUL", "RLE.TMP", "emtmp$"}) {
    EXPECT_FALSE(fs::exists(out / name)) << name << " written";
  }
  // Pictures extracted for embedding are deleted when the help file is closed.
  EXPECT_TRUE(FolderEntries(temp).empty()) << "left in TEMP: " << Join(FolderEntries(temp));
  // Nothing is written beside the help file (no localization file by default).
  EXPECT_EQ(FolderEntries(input), std::vector<std::string>{param.file.name})
      << "beside the help file: " << Join(FolderEntries(input));
  // A conversion started from the command line leaves the settings as they were.
  if (printing) {
    EXPECT_FALSE(fs::exists(settings)) << "settings file written";
  } else {
    EXPECT_EQ(ReadFile(settings), kRecompilationSettings) << "settings file changed";
  }

  if (HasFailure()) {
    std::cout << "output folder: " << Join(FolderEntries(out)) << "\n"
              << "stderr of quorvex:\n"
              << Tail(err, kStderrShown) << "\n";
  }
}

std::string CaseName(const ::testing::TestParamInfo<CorpusCase>& info) {
  return info.param.file.test_name;
}

INSTANTIATE_TEST_SUITE_P(Printing, CorpusRun, ::testing::ValuesIn(Cases(Mode::kPrinting)),
                         CaseName);
INSTANTIATE_TEST_SUITE_P(Recompilation, CorpusRun, ::testing::ValuesIn(Cases(Mode::kRecompilation)),
                         CaseName);
// Without a corpus folder there are no cases; CorpusManifest.FolderPresent says why.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusRun);

TEST(CorpusManifest, FolderPresent) {
  std::error_code ec;
  if (!fs::is_directory(CorpusDir(), ec)) {
    GTEST_SKIP() << "corpus folder " << CorpusDir()
                 << " not found: corpus tests skipped (set QUORVEX_CORPUS_DIR to run them)";
  }
  EXPECT_FALSE(Corpus().empty()) << "no help files in " << CorpusDir();
}

// Every help file needs its MANIFEST.tsv and FACTS.tsv rows, or some of its checks are skipped.
TEST(CorpusManifest, ListsEveryHelpFile) {
  if (Corpus().empty()) GTEST_SKIP() << "no corpus";
  for (const auto& file : Corpus()) {
    EXPECT_NE(ExpectedVersionWarning(file.compiler), VersionWarning::kUnknown)
        << file.name << ": no usable compiler in MANIFEST.tsv (\"" << file.compiler << "\")";
    EXPECT_GT(file.topics, 0) << file.name << ": no topic count in FACTS.tsv";
  }
}

}  // namespace
