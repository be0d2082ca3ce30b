// The conversion driver: which phases run, in which order, under which options, into which
// output streams; and the failures to open a help file or create the project file.
#include "core/driver.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "core/container.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;

/// Records every phase call as "Phase" or "Phase <project stream>", where the stream is named
/// by the file it was created as ("NUL" for the null sink). Each phase that gets the project
/// stream writes one line into it, so the test can see where its output lands.
class RecordingPhases : public ConversionPhases {
 public:
  std::vector<std::string> calls;
  std::vector<const HelpFile*> help_files;  // the HelpFile each call received

  void LoadContextMap(HelpFile& hf) override { Note(hf, "LoadContextMap"); }
  void WriteSystemSections(HelpFile& hf, OutputSink& p) override {
    Note(hf, "WriteSystemSections", &p, "[options]");
  }
  void WriteBitmapsSection(HelpFile& hf, OutputSink& p) override {
    Note(hf, "WriteBitmapsSection", &p, "[Bitmaps]");
  }
  void ExtractBaggage(HelpFile& hf, OutputSink& p) override {
    Note(hf, "ExtractBaggage", &p, "[Baggage]");
  }
  void WriteMapSection(HelpFile& hf, OutputSink& p) override {
    Note(hf, "WriteMapSection", &p, "[Map]");
  }
  void LoadKeywordTables(HelpFile& hf) override { Note(hf, "LoadKeywordTables"); }
  void BuildFontStyleTable(HelpFile& hf) override { Note(hf, "BuildFontStyleTable"); }
  void ConvertTopics(HelpFile& hf, std::string_view base, OutputSink& p, bool main_pass) override {
    Note(hf, "ConvertTopics " + std::string(base), &p, main_pass ? "\n[Files]" : nullptr);
    calls.back() += main_pass ? " main" : " pre-pass";
  }

 private:
  void Note(HelpFile& hf, std::string call, OutputSink* project = nullptr,
            const char* line = nullptr) {
    if (project) call += " " + project->name();
    if (line) project->Write(std::string(line) + "\n");
    calls.push_back(std::move(call));
    help_files.push_back(&hf);
  }
};

TEST(ConvertHelpFile, PhasesInOrderUnderTheirOptions) {
  struct Case {
    const char* name;
    ConversionOptions options;
    std::vector<std::string> calls;
  };
  const std::vector<std::string> recompile = {
      "LoadContextMap",          "WriteSystemSections TEST.HPJ", "WriteBitmapsSection TEST.HPJ",
      "ExtractBaggage TEST.HPJ", "WriteMapSection TEST.HPJ",     "LoadKeywordTables",
      "BuildFontStyleTable"};
  auto with = [](std::vector<std::string> v, std::initializer_list<std::string> more) {
    v.insert(v.end(), more);
    return v;
  };
  const std::string print = "WriteSystemSections NUL,WriteBitmapsSection NUL";
  const Case cases[] = {
      // Recompilation: every phase; the pre-pass with base name "dummy" into the null sink,
      // then the main pass with the project file.
      {"recompilation", ApplyCanonicalOptions(0),
       with(recompile, {"ConvertTopics dummy NUL pre-pass", "ConvertTopics TEST TEST.HPJ main"})},
      {"recompilation without BrowseSeq", kPageBreak | kJumps,
       with(recompile, {"ConvertTopics TEST TEST.HPJ main"})},
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
    TempFolder folder;
    WriteFile(folder / "in/TEST.HLP", AssembleHelpFile({{"|SYSTEM", GoldenSystem()}}));
    RecordingDiagnostics diagnostics;
    OutputDir dir(folder / "out");
    ConversionSession session(diagnostics, dir);
    RecordingPhases phases;
    ConvertHelpFile(ConversionJob{c.options, (folder / "in/TEST.HLP").string()}, session, phases);
    EXPECT_EQ(phases.calls, c.calls);
    EXPECT_EQ(std::count(phases.help_files.begin(), phases.help_files.end(), phases.help_files[0]),
              long(c.calls.size()))
        << "every phase gets the same HelpFile";
    if (c.options & kForPrint) {
      // Nothing on disk: the phases above wrote nothing either.
      EXPECT_FALSE(fs::exists(folder / "out") && !fs::is_empty(folder / "out"));
    } else {
      // Every project phase wrote into the one project file, in order, with CR LF.
      EXPECT_EQ(ReadFile(folder / "out/TEST.HPJ"),
                Crlf("[options]\n[Bitmaps]\n[Baggage]\n[Map]\n\n[Files]\n"));
      EXPECT_EQ(std::distance(fs::directory_iterator(folder / "out"), fs::directory_iterator()), 1);
    }
  }
}

TEST(ConvertHelpFile, FailuresToOpenTheHelpFileOrCreateTheProjectFile) {
  TempFolder folder;
  fs::create_directories(folder / "in/FOLDER.HLP");
  WriteFile(folder / "TEST.HLP", AssembleHelpFile({{"|SYSTEM", GoldenSystem()}}));
  WriteFile(folder / "plain", "");
  const std::string in = (folder / "in").string();
  struct Case {
    const char* name;
    std::string job_path, help_path;  // as the job and the message name it
    fs::path output;
  };
  const Case cases[] = {
      {"a missing file", in + "/MISSING.HLP", in + "/MISSING.HLP", folder / "out-1"},
      // No "." in the file name: ".HLP" is appended to find the file.
      {"a missing file named without extension", in + "/MISSING", in + "/MISSING.HLP",
       folder / "out-2"},
      {"a folder", in + "/FOLDER.HLP", in + "/FOLDER.HLP", folder / "out-3"},
      // The output folder lies under a plain file, so nothing can be created in it.
      {"no project file", (folder / "TEST.HLP").string(), (folder / "TEST.HLP").string(),
       folder / "plain/out"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingDiagnostics diagnostics;
    OutputDir dir(c.output);
    ConversionSession session(diagnostics, dir);
    RecordingPhases phases;
    try {
      ConvertHelpFile(ConversionJob{ApplyCanonicalOptions(0), c.job_path}, session, phases);
      ADD_FAILURE() << "no fatal error";
    } catch (const FatalException& e) {
      EXPECT_EQ(std::string(e.what()), "Can't open File " + c.help_path);
    }
    EXPECT_TRUE(phases.calls.empty());
    EXPECT_FALSE(fs::exists(c.output) && !fs::is_empty(c.output));
  }
}

}  // namespace
}  // namespace quorvex
