// The conversion driver: which phases run, in which order, under which options, with which
// names and output streams; and the failure to open a help file.
#include "core/driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/container.h"
#include "core/options.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;

using testsupport::AssembleHelpFile;
using testsupport::BuildSystemFile;
using testsupport::TempFolder;
using testsupport::TextRecord;

/// Records every phase call as "Phase" or "Phase <project stream>", where the stream is named
/// by the file it was created as ("NUL" for the null sink). Each phase that gets the project
/// stream writes one line into it, so the test can see where its output lands.
class RecordingPhases : public ConversionPhases {
 public:
  std::vector<std::string> calls;
  std::vector<const HelpFile*> help_files;  // the HelpFile each call received

  void LoadContextMap(HelpFile& hf) override { Note(hf, "LoadContextMap"); }
  void WriteSystemSections(HelpFile& hf, OutputSink& project) override {
    Note(hf, "WriteSystemSections " + project.name());
    project.Write("[options]\n");
  }
  void WriteBitmapsSection(HelpFile& hf, OutputSink& project) override {
    Note(hf, "WriteBitmapsSection " + project.name());
    project.Write("[Bitmaps]\n");
  }
  void ExtractBaggage(HelpFile& hf, OutputSink& project) override {
    Note(hf, "ExtractBaggage " + project.name());
    project.Write("[Baggage]\n");
  }
  void WriteMapSection(HelpFile& hf, OutputSink& project) override {
    Note(hf, "WriteMapSection " + project.name());
    project.Write("[Map]\n");
  }
  void LoadKeywordTables(HelpFile& hf) override { Note(hf, "LoadKeywordTables"); }
  void BuildFontStyleTable(HelpFile& hf) override { Note(hf, "BuildFontStyleTable"); }
  void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                     bool main_pass) override {
    Note(hf, "ConvertTopics " + std::string(base_name) + " " + project.name() +
                 (main_pass ? " main" : " pre-pass"));
    if (main_pass) project.Write("\n[Files]\n");
  }

 private:
  void Note(HelpFile& hf, std::string call) {
    calls.push_back(std::move(call));
    help_files.push_back(&hf);
  }
};

std::vector<uint8_t> MinimalHelpFile() {
  return AssembleHelpFile({{"|SYSTEM", BuildSystemFile(21, 0, {TextRecord(1, "Driver")})}});
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadFile(const fs::path& path) {
  std::ifstream f(path, std::ios::binary);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

std::vector<std::string> FilesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const fs::directory_entry& e : fs::directory_iterator(folder))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct DriverRun {
  std::vector<std::string> calls;
  OutputNames names;
  std::vector<std::string> output_files;
  std::string project;        // the project file's bytes, when there is one
  bool one_help_file = true;  // every phase got the same HelpFile
};

/// Converts a minimal help file stored as `stored_as` in a fresh folder, naming it `job_name`
/// in the job (the folder is prepended to both).
DriverRun Convert(ConversionOptions options, const std::string& stored_as = "TEST.HLP",
                  const std::string& job_name = "TEST.HLP") {
  TempFolder folder;
  fs::create_directories(folder.path() / "in");
  WriteFile(folder.path() / "in" / stored_as, MinimalHelpFile());
  RecordingDiagnostics diagnostics;
  OutputDir dir(folder.path() / "out");
  ConversionSession session(diagnostics, dir);
  RecordingPhases phases;
  DriverRun run;
  run.names = ConvertHelpFile(ConversionJob{options, (folder.path() / "in" / job_name).string()},
                              session, phases);
  run.calls = phases.calls;
  for (const HelpFile* hf : phases.help_files) run.one_help_file &= hf == phases.help_files[0];
  run.output_files = FilesIn(folder.path() / "out");
  if (run.names.project_name != "NUL") run.project = ReadFile(dir.PathOf(run.names.project_name));
  return run;
}

TEST(ConvertHelpFile, PhasesInOrderUnderTheirOptions) {
  struct Case {
    const char* name;
    ConversionOptions options;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> recompile_prepared = {
      "LoadContextMap",          "WriteSystemSections TEST.HPJ", "WriteBitmapsSection TEST.HPJ",
      "ExtractBaggage TEST.HPJ", "WriteMapSection TEST.HPJ",     "LoadKeywordTables",
      "BuildFontStyleTable",
  };
  auto with = [](std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more);
    return v;
  };
  const Case cases[] = {
      // Recompilation: every phase; the pre-pass with base name "dummy" into the null sink,
      // then the main pass with the project file.
      {"recompilation", ApplyCanonicalOptions(0),
       with(recompile_prepared,
            {"ConvertTopics dummy NUL pre-pass", "ConvertTopics TEST TEST.HPJ main"})},
      {"recompilation without BrowseSeq", kPageBreak | kJumps,
       with(recompile_prepared, {"ConvertTopics TEST TEST.HPJ main"})},
      // Printing: the project sections go to the null sink; no baggage, no map; the context
      // map only with PageLinks, the keywords only with Index.
      {"printing",
       ApplyCanonicalOptions(kForPrint),
       {"WriteSystemSections NUL", "WriteBitmapsSection NUL", "BuildFontStyleTable",
        "ConvertTopics TEST NUL main"}},
      {"printing with PageLinks",
       ApplyCanonicalOptions(kForPrint | kPageLinks),
       {"LoadContextMap", "WriteSystemSections NUL", "WriteBitmapsSection NUL",
        "BuildFontStyleTable", "ConvertTopics TEST NUL main"}},
      {"printing with Index",
       ApplyCanonicalOptions(kForPrint | kIndex),
       {"WriteSystemSections NUL", "WriteBitmapsSection NUL", "LoadKeywordTables",
        "BuildFontStyleTable", "ConvertTopics TEST NUL main"}},
      {"printing with Toc only",
       ApplyCanonicalOptions(kForPrint | kToc),
       {"WriteSystemSections NUL", "WriteBitmapsSection NUL", "BuildFontStyleTable",
        "ConvertTopics TEST NUL main"}},
      {"the -v preset",
       kViewPreset,
       {"LoadContextMap", "WriteSystemSections NUL", "WriteBitmapsSection NUL", "LoadKeywordTables",
        "BuildFontStyleTable", "ConvertTopics TEST NUL main"}},
      // BrowseSeq alone decides the pre-pass, in either mode.
      {"printing with BrowseSeq",
       kForPrint | kBrowseSeq,
       {"WriteSystemSections NUL", "WriteBitmapsSection NUL", "BuildFontStyleTable",
        "ConvertTopics dummy NUL pre-pass", "ConvertTopics TEST NUL main"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DriverRun run = Convert(c.options);
    EXPECT_EQ(run.calls, c.calls);
    EXPECT_TRUE(run.one_help_file);
    if (c.options & kForPrint) {
      // Nothing on disk: the phases above wrote nothing either.
      EXPECT_TRUE(run.output_files.empty()) << ::testing::PrintToString(run.output_files);
    } else {
      // Every project phase wrote into the one project file, in order, with CR LF.
      EXPECT_EQ(run.output_files, std::vector<std::string>{"TEST.HPJ"});
      EXPECT_EQ(run.project,
                testsupport::Crlf("[options]\n[Bitmaps]\n[Baggage]\n[Map]\n\n[Files]\n"));
    }
  }
}

TEST(ConvertHelpFile, OutputNames) {
  struct Case {
    const char* name;
    ConversionOptions options;
    std::string stored_as;
    std::string job_name;
    std::string project;
    std::string base;
    std::string main_pass;  // the main pass's call, with the base name
  };
  const Case cases[] = {
      // No "." in the file name: ".HLP" is appended to find the file.
      {"a path without extension", kPageBreak | kJumps, "SUPERAPP.HLP", "SUPERAPP", "SUPERAPP.HPJ",
       "SUPERAPP", "ConvertTopics SUPERAPP SUPERAPP.HPJ main"},
      {"SplitRtf cuts the base name to 6 characters", kPageBreak | kJumps | kSplitRtf,
       "SUPERAPP.HLP", "SUPERAPP.HLP", "SUPERAPP.HPJ", "SUPERA",
       "ConvertTopics SUPERA SUPERAPP.HPJ main"},
      {"only the last dot ends the base name", kPageBreak | kJumps, "A.B.HLP", "A.B.HLP", "A.B.HPJ",
       "A.B", "ConvertTopics A.B A.B.HPJ main"},
      {"printing", ApplyCanonicalOptions(kForPrint | kSplitRtf), "Manual.hlp", "Manual.hlp", "NUL",
       "Manual", "ConvertTopics Manual NUL main"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DriverRun run = Convert(c.options, c.stored_as, c.job_name);
    EXPECT_EQ(run.names.project_name, c.project);
    EXPECT_EQ(run.names.base_name, c.base);
    ASSERT_FALSE(run.calls.empty());
    EXPECT_EQ(run.calls.back(), c.main_pass);
    if (c.project != "NUL") {
      EXPECT_EQ(run.output_files, std::vector<std::string>{c.project});
    }
  }
}

TEST(ConvertHelpFile, AHelpFileThatCannotBeOpenedCreatesNoProjectFile) {
  TempFolder folder;
  fs::create_directories(folder.path() / "in" / "FOLDER.HLP");
  struct Case {
    const char* name;
    std::string job_path;
    std::string help_path;  // as the message names it
  };
  const std::string in = (folder.path() / "in").string();
  const Case cases[] = {
      {"a missing file", in + "/MISSING.HLP", in + "/MISSING.HLP"},
      {"a missing file named without extension", in + "/MISSING", in + "/MISSING.HLP"},
      {"a folder", in + "/FOLDER.HLP", in + "/FOLDER.HLP"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(c.name);
    RecordingDiagnostics diagnostics;
    OutputDir dir(folder.path() / ("out-" + std::to_string(i)));
    ConversionSession session(diagnostics, dir);
    RecordingPhases phases;
    try {
      ConvertHelpFile(ConversionJob{ApplyCanonicalOptions(0), c.job_path}, session, phases);
      ADD_FAILURE() << "no fatal error";
    } catch (const FatalException& e) {
      EXPECT_EQ(std::string(e.what()), "Can't open File " + c.help_path);
    }
    EXPECT_TRUE(phases.calls.empty());
    EXPECT_TRUE(FilesIn(dir.root()).empty());
  }
}

TEST(ConvertHelpFile, AProjectFileThatCannotBeCreatedIsFatal) {
  TempFolder folder;
  WriteFile(folder.path() / "TEST.HLP", MinimalHelpFile());
  // The output folder lies under a plain file, so nothing can be created in it.
  WriteFile(folder.path() / "plain", {});
  RecordingDiagnostics diagnostics;
  OutputDir dir(folder.path() / "plain" / "out");
  ConversionSession session(diagnostics, dir);
  RecordingPhases phases;
  const std::string help_path = (folder.path() / "TEST.HLP").string();
  try {
    ConvertHelpFile(ConversionJob{ApplyCanonicalOptions(0), help_path}, session, phases);
    ADD_FAILURE() << "no fatal error";
  } catch (const FatalException& e) {
    EXPECT_EQ(std::string(e.what()), "Can't open File " + help_path);
  }
  EXPECT_TRUE(phases.calls.empty());
}

}  // namespace
}  // namespace quorvex
