// Runs the real quorvex program over every help file of the corpus folder, once in printing mode
// (no settings file: the defaults) and once in recompilation mode (a settings file with
// ForPrint=0), each run in fresh folders of its own, and checks what a user would see: the exit
// status, the messages on stderr and the files written.
//
// The corpus folder is QUORVEX_CORPUS_DIR from the environment, else the one compiled in; when it
// is missing the corpus tests are skipped with a message. The program is QUORVEX_BINARY from the
// environment (ctest sets it), else the one compiled in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

// This program links no project code: the helpers it shares are header-only.
#include "../support/run_program.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quorvex::testsupport;

// The exit status of a normal run.
constexpr int kNormalExit = 2;
// A run that takes longer is taken as hung: the largest corpus file (4 MB) converts in seconds,
// also under the sanitizers.
constexpr int kTimeoutSeconds = 300;
// How much of stderr a failure report shows: enough for the last warnings and a sanitizer report.
constexpr size_t kStderrShown = 8000;
constexpr const char* kRecompilationSettings = "[Options]\nForPrint=0\n";
// What precedes every topic but the first of a file with page breaks (text mode: CR LF).
constexpr const char* kTopicSeparator = "\\page\\pard\r\n";

std::string EnvOr(const char* name, const char* fallback) {
  const char* value = std::getenv(name);
  return value && *value ? value : fallback;
}
const std::string kCorpusDir = EnvOr("QUORVEX_CORPUS_DIR", QUORVEX_CORPUS_DIR);

// One column of a table of the corpus folder (tab-separated, a header line naming the columns)
// by the "file" column; empty when the table or the column is missing.
std::map<std::string, std::string> ReadColumn(const std::string& table, const std::string& column) {
  std::map<std::string, std::string> values;
  std::ifstream in(fs::path(kCorpusDir) / table);
  std::vector<std::string> header;
  for (std::string line; std::getline(in, line);) {
    std::vector<std::string> fields;
    std::stringstream stream(line);
    for (std::string field; std::getline(stream, field, '\t');) fields.push_back(field);
    if (header.empty()) {
      header = fields;
      continue;
    }
    const size_t file = std::find(header.begin(), header.end(), "file") - header.begin();
    const size_t value = std::find(header.begin(), header.end(), column) - header.begin();
    if (std::max(file, value) < fields.size()) values[fields[file]] = fields[value];
  }
  return values;
}

struct CorpusFile {
  std::string name;       // file name in the corpus folder
  std::string compiler;   // MANIFEST.tsv compiler column, empty when the file is not listed
  int topics = -1;        // FACTS.tsv topic headers counted independently, -1 when not listed
  std::string test_name;  // name as a test name: letters, digits and "_"
  bool printing = false;
};

std::vector<CorpusFile> Corpus(bool printing) {
  std::vector<CorpusFile> files;
  std::error_code ec;
  const auto compilers = ReadColumn("MANIFEST.tsv", "compiler");
  const auto topics = ReadColumn("FACTS.tsv", "topics");
  std::set<std::string> used;
  for (const auto& entry : fs::directory_iterator(kCorpusDir, ec)) {
    std::string ext = entry.path().extension().string();
    for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    if (!entry.is_regular_file(ec) || (ext != ".hlp" && ext != ".mvb" && ext != ".m13")) continue;
    CorpusFile file;
    file.name = entry.path().filename().string();
    file.printing = printing;
    if (compilers.count(file.name)) file.compiler = compilers.at(file.name);
    if (topics.count(file.name)) file.topics = std::atoi(topics.at(file.name).c_str());
    files.push_back(file);
  }
  std::sort(files.begin(), files.end(),
            [](const CorpusFile& a, const CorpusFile& b) { return a.name < b.name; });
  for (auto& file : files) {
    for (unsigned char c : file.name) file.test_name += std::isalnum(c) ? char(c) : '_';
    for (int n = 2; !used.insert(file.test_name).second; ++n) file.test_name += std::to_string(n);
  }
  return files;
}

// The test's environment with the user's settings, language, temporary folder and display
// replaced, so that a run neither reads nor changes anything of the user's.
std::vector<std::string> RunEnvironment(const fs::path& home, const fs::path& temp) {
  static const std::set<std::string> replaced = {"HOME",     "XDG_CONFIG_HOME", "TEMP",
                                                 "TMP",      "TMPDIR",          "LANG",
                                                 "LANGUAGE", "LC_ALL",          "LC_MESSAGES",
                                                 "DISPLAY",  "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
  std::vector<std::string> env;
  for (char** entry = environ; *entry; ++entry) {
    const std::string text = *entry;
    if (!replaced.count(text.substr(0, text.find('=')))) env.push_back(text);
  }
  for (std::string v : {"HOME=" + home.string(), "XDG_CONFIG_HOME=" + (home / ".config").string(),
                        "TEMP=" + temp.string(), "TMPDIR=" + temp.string(), std::string("LANG=C"),
                        std::string("LC_ALL=C"), std::string("QT_QPA_PLATFORM=offscreen")})
    env.push_back(v);
  return env;
}

std::string Entries(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
    names.push_back(fs::relative(entry.path(), dir, ec).string());
  std::sort(names.begin(), names.end());
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

bool Contains(const std::string& text, const char* part) {
  return text.find(part) != std::string::npos;
}

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const CorpusFile& file, std::ostream* os) {
  *os << file.name << (file.printing ? " (printing)" : " (recompilation)");
}

class CorpusRun : public ::testing::TestWithParam<CorpusFile> {};

TEST_P(CorpusRun, Converts) {
  const CorpusFile& file = GetParam();
  const std::string binary = EnvOr("QUORVEX_BINARY", QUORVEX_BINARY_DEFAULT);
  ASSERT_EQ(access(binary.c_str(), X_OK), 0) << "quorvex program not found: " << binary;

  TempFolder tmp;
  const fs::path home = tmp / "home", temp = tmp / "temp", input = tmp / "input", out = tmp / "out";
  const fs::path settings = home / ".config/quorvex/QUORVEX.INI";
  for (const auto& dir : {settings.parent_path(), temp, input, out}) fs::create_directories(dir);
  if (!file.printing) WriteFile(settings, kRecompilationSettings);
  // A copy beside nothing else, so that anything written beside the help file shows.
  fs::copy_file(fs::path(kCorpusDir) / file.name, input / file.name);

  const ProgramRun run = RunProgram({binary, (input / file.name).string()},
                                    RunEnvironment(home, temp), out, kTimeoutSeconds);
  const std::string& err = run.err;
  ASSERT_TRUE(run.started) << "cannot start " << binary;
  EXPECT_FALSE(run.timed_out) << "no end within " << kTimeoutSeconds << " s";
  EXPECT_EQ(run.signal, 0) << "ended by a signal";
  EXPECT_EQ(run.status, kNormalExit);
  EXPECT_FALSE(Contains(err, "Quorvex Severe Problem")) << "fatal error reported";
  for (const char* report : {"runtime error:", "AddressSanitizer", "LeakSanitizer"})
    EXPECT_FALSE(Contains(err, report)) << "sanitizer report: " << report;
  // HC31 files open silently; files of the other compilers get the "File Created by" warning.
  ASSERT_FALSE(file.compiler.empty()) << "no row in MANIFEST.tsv";
  EXPECT_EQ(Contains(err, "File Created by"), file.compiler != "HC31") << file.compiler;

  const std::string stem = file.name.substr(0, file.name.find_last_of('.'));
  const std::string rtf = ReadFile(out / (stem + ".RTF"));
  EXPECT_TRUE(rtf.starts_with("{\\rtf1")) << stem << ".RTF missing or not an RTF document";
  if (file.printing) {
    EXPECT_FALSE(fs::exists(out / (stem + ".HPJ"))) << "project file written in printing mode";
    EXPECT_FALSE(fs::exists(settings)) << "settings file written";
  } else {
    EXPECT_GT(ReadFile(out / (stem + ".HPJ")).size(), 0u) << stem << ".HPJ missing or empty";
    EXPECT_EQ(ReadFile(settings), kRecompilationSettings) << "settings file changed";
    // Recompilation mode separates topics by page breaks: every topic gets one but the first.
    ASSERT_GT(file.topics, 0) << "no topic count in FACTS.tsv";
    size_t separators = 0;
    for (size_t at = rtf.find(kTopicSeparator); at != std::string::npos;
         at = rtf.find(kTopicSeparator, at + 1))
      ++separators;
    EXPECT_EQ(separators + 1, size_t(file.topics)) << "topics differ from the independent count";
  }
  // The null device and the decompression scratch files never reach the disk.
  for (const char* name : {"NUL", "RLE.TMP", "emtmp$"})
    EXPECT_FALSE(fs::exists(out / name)) << name;
  // Pictures extracted for embedding are deleted when the help file is closed.
  EXPECT_EQ(Entries(temp), "") << "left in TEMP";
  // Nothing is written beside the help file (no localization file by default).
  EXPECT_EQ(Entries(input), file.name) << "beside the help file";
  if (HasFailure()) {
    std::cout << "output folder: " << Entries(out) << "\nstderr of quorvex:\n"
              << (err.size() <= kStderrShown ? err : "..." + err.substr(err.size() - kStderrShown))
              << "\n";
  }
}

std::string CaseName(const ::testing::TestParamInfo<CorpusFile>& info) {
  return info.param.test_name;
}

INSTANTIATE_TEST_SUITE_P(Printing, CorpusRun, ::testing::ValuesIn(Corpus(true)), CaseName);
INSTANTIATE_TEST_SUITE_P(Recompilation, CorpusRun, ::testing::ValuesIn(Corpus(false)), CaseName);
// Without a corpus folder there are no cases; CorpusManifest.FolderPresent says why.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(CorpusRun);

TEST(CorpusManifest, FolderPresent) {
  if (!fs::is_directory(kCorpusDir)) {
    GTEST_SKIP() << "corpus folder " << kCorpusDir
                 << " not found: corpus tests skipped (set QUORVEX_CORPUS_DIR to run them)";
  }
  EXPECT_FALSE(Corpus(true).empty()) << "no help files in " << kCorpusDir;
}

}  // namespace
