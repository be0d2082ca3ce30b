// The output folder (text and binary files, names that must not leave the folder, links already
// in it, deletion of its own files only, a disk that fills up) and the conversion driver that
// fills it: which phases run, in which order, under which options, into which streams, and the
// failure to create the project file. (The command line test sees the message for a help file
// that does not open; the golden conversions see the pre-pass.)
#include "core/output.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "core/container.h"
#include "core/driver.h"
#include "tests/support/golden_conversion.h"

namespace quorvex {
namespace {

namespace fs = std::filesystem;
using namespace testsupport;

TEST(OutputDir, UnsafeNamesAreWrittenUnderSafeNamesInside) {
  TempFolder root;
  OutputDir dir(root.path() / "out");
  RecordingDiagnostics diagnostics;
  dir.ReportTo(&diagnostics);
  const std::pair<const char*, const char*> names[] = {{"LOGO.BMP", "LOGO.BMP"},
                                                       {"..\\..\\WIN.INI", "WIN.INI"},
                                                       {"../x", "x"},
                                                       {"C:DATA.BIN", "C_DATA.BIN"},
                                                       {"A\x01"
                                                        "B",
                                                        "A_B"},
                                                       {"dir/..", "_"},
                                                       {"", "__2"},
                                                       {"con.txt", "_con.txt"},
                                                       {"LPT1", "_LPT1"},
                                                       {"COM0", "COM0"},
                                                       {"a/WIN.INI", "WIN_2.INI"}};
  for (const auto& [name, safe] : names) {
    auto sink = dir.CreateBinary(name);
    ASSERT_TRUE(sink) << name;
    EXPECT_EQ(sink->name(), safe);
    sink->Write(name);
    sink->Close();
    EXPECT_EQ(ReadFile(root / "out" / safe), name);
    EXPECT_TRUE(OutputDir::IsPlainName(safe)) << safe;
  }
  // Nothing outside the folder; one warning naming both names for each unsafe name.
  EXPECT_FALSE(fs::exists(root / "x"));
  EXPECT_EQ(diagnostics.Count(kWarnUnsafeName), std::size(names) - 2);
  EXPECT_EQ(diagnostics.warnings[0].text,
            "The name ..\\..\\WIN.INI is not a plain file name in the output folder; the file is "
            "written as WIN.INI");
}

TEST(OutputDir, TextModeLinksDeletionAndAFullDisk) {
  TempFolder root;
  OutputDir dir(root.path());
  auto text = dir.CreateText("A.HPJ");
  text->Write("[Files]\nA.RTF");
  text->Put('\n');
  text->Close();
  auto bin = dir.CreateBinary("A.BMP");
  bin->Write(std::string("B\nM\r\n", 5));
  bin->Close();
  EXPECT_EQ(ReadFile(root / "A.HPJ"), "[Files]\r\nA.RTF\r\n");
  EXPECT_EQ(dir.Read("A.BMP"), std::string("B\nM\r\n", 5));
  // A link in the folder is replaced, its target (outside) left alone, a dangling one too.
  WriteFile(root / "target", "keep");
  ASSERT_EQ(::symlink((root / "target").c_str(), (root / "L.RTF").c_str()), 0);
  ASSERT_EQ(::symlink((root / "nowhere").c_str(), (root / "D.RTF").c_str()), 0);
  for (const char* name : {"L.RTF", "D.RTF"}) {
    auto sink = dir.CreateText(name);
    sink->Write("new");
    sink->Close();
    EXPECT_FALSE(fs::is_symlink(root / name));
    EXPECT_EQ(ReadFile(root / name), "new");
  }
  EXPECT_EQ(ReadFile(root / "target"), "keep");
  EXPECT_FALSE(fs::exists(root / "nowhere"));
  // Only files this folder created are deleted or read back.
  EXPECT_FALSE(dir.Remove("target") || dir.Read("target"));
  EXPECT_TRUE(dir.Remove("A.BMP"));
  EXPECT_FALSE(fs::exists(root / "A.BMP") || dir.Remove("A.BMP"));
  // /dev/full accepts the open and fails every write.
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full here";
  auto full = OutputDir("/dev").CreateBinary("full");
  ASSERT_TRUE(full);
  full->Write("x");
  EXPECT_THROW(full->Close(), FatalException);
}

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
      {ApplyCanonicalOptions(0), "plain/out", {"Can't open File " + help}},
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
    const fs::path path = folder / out;
    EXPECT_EQ(fs::exists(path) ? std::distance(fs::directory_iterator(path), {}) : 0,
              out == std::string_view("recompile"));
    EXPECT_EQ(fs::exists(path / "TEST.HPJ"), out == std::string_view("recompile"));
  }
}

}  // namespace
}  // namespace quorvex
