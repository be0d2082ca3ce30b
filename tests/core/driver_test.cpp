// The conversion driver: which phases run, in which order, under which options, into which
// output streams; and the failure to create the project file. (The command line test sees the
// message for a help file that does not open; the golden conversions see the pre-pass.)
#include "core/driver.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;

/// Records every phase call as "Phase" or "Phase <project stream>", where the stream is named
/// by the file it was created as ("NUL" for the null sink).
class RecordingPhases : public ConversionPhases {
 public:
  std::vector<std::string> calls;

  void LoadContextMap(HelpFile&) override { Note(__func__); }
  void WriteSystemSections(HelpFile&, OutputSink& p) override { Note(__func__, &p); }
  void WriteBitmapsSection(HelpFile&, OutputSink& p) override { Note(__func__, &p); }
  void ExtractBaggage(HelpFile&, OutputSink& p) override { Note(__func__, &p); }
  void WriteMapSection(HelpFile&, OutputSink& p) override { Note(__func__, &p); }
  void LoadKeywordTables(HelpFile&) override { Note(__func__); }
  void BuildFontStyleTable(HelpFile&) override { Note(__func__); }
  void ConvertTopics(HelpFile&, std::string_view base, OutputSink& p, bool main) override {
    Note("ConvertTopics " + std::string(base) + (main ? "" : " pre-pass"), &p);
  }

 private:
  void Note(std::string call, OutputSink* project = nullptr) {
    calls.push_back(project ? call + " " + project->name() : call);
  }
};

TEST(ConvertHelpFile, PhasesInOrderUnderTheirOptionsOrNoneWithoutProjectFile) {
  TempFolder folder;
  const std::string help = (folder / "in/TEST.HLP").string();
  WriteFile(help, AssembleHelpFile({{"|SYSTEM", GoldenSystem()}}));
  WriteFile(folder / "plain", "");
  const std::tuple<ConversionOptions, const char*, std::vector<std::string>> cases[] = {
      // Recompilation: every phase, the pre-pass with base name "dummy" into the null sink.
      {ApplyCanonicalOptions(0),
       "recompile",
       {"LoadContextMap", "WriteSystemSections TEST.HPJ", "WriteBitmapsSection TEST.HPJ",
        "ExtractBaggage TEST.HPJ", "WriteMapSection TEST.HPJ", "LoadKeywordTables",
        "BuildFontStyleTable", "ConvertTopics dummy pre-pass NUL", "ConvertTopics TEST TEST.HPJ"}},
      // Printing: the project sections go to the null sink; no baggage, no map; the context
      // map only with PageLinks, the keywords only with Index.
      {ApplyCanonicalOptions(kForPrint),
       "print",
       {"WriteSystemSections NUL", "WriteBitmapsSection NUL", "BuildFontStyleTable",
        "ConvertTopics TEST NUL"}},
      {kViewPreset,
       "view",
       {"LoadContextMap", "WriteSystemSections NUL", "WriteBitmapsSection NUL", "LoadKeywordTables",
        "BuildFontStyleTable", "ConvertTopics TEST NUL"}},
      // An output folder under a plain file: no project file, so no phase runs.
      {ApplyCanonicalOptions(0),
       "plain/out",
       {FormatText(LoadText(kTextCantCreate), {(folder / "plain/out/TEST.HPJ").string()})}},
  };
  for (const auto& [options, out, calls] : cases) {
    SCOPED_TRACE(out);
    RecordingDiagnostics diagnostics;
    OutputDir dir(folder / out);
    ConversionSession session(diagnostics, dir);
    RecordingPhases phases;
    try {
      ConvertHelpFile(ConversionJob{options, help}, session, phases);
    } catch (const FatalException& e) {
      phases.calls.push_back(e.what());
    }
    EXPECT_EQ(phases.calls, calls);
    // Only the project file of recompilation reaches the disk.
    const fs::path dir_path = folder / out;
    const bool recompile = std::string_view(out) == "recompile";
    EXPECT_EQ(fs::exists(dir_path / "TEST.HPJ"), recompile);
    EXPECT_EQ(fs::exists(dir_path) ? std::distance(fs::directory_iterator(dir_path), {}) : 0,
              recompile ? 1 : 0);
  }
}

}  // namespace
}  // namespace quorvex
