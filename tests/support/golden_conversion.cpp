#include "tests/support/golden_conversion.h"

#include "core/output.h"
#include "tests/support/rtf_check.h"
#include "ui/phases.h"

namespace quorvex::testsupport {

namespace fs = std::filesystem;

std::string ConvertInto(const fs::path& help, const fs::path& output,
                        RecordingDiagnostics& diagnostics, ConversionOptions options,
                        bool read_ahead) {
  OutputDir dir(output);
  ConversionSession session(diagnostics, dir);
  session.read_ahead = read_ahead;
  StandardPhases phases;
  try {
    ConvertHelpFile({options, help.string()}, session, phases);
  } catch (const FatalException& e) {
    return e.what();
  }
  return "";
}

ConversionOutcome ConvertHelpBytes(const std::vector<uint8_t>& help, ConversionOptions options,
                                   const std::string& file_name, bool read_ahead) {
  TempFolder folder;
  const fs::path input = folder / "in", output = folder / "out";
  WriteFile(input / file_name, help);
  ConversionOutcome outcome;
  RecordingDiagnostics diagnostics;
  if (std::string fatal = ConvertInto(input / file_name, output, diagnostics, options, read_ahead);
      !fatal.empty())
    outcome.fatal = fatal;
  outcome.warnings = diagnostics.warnings;
  for (const fs::directory_entry& e : fs::directory_iterator(output))
    outcome.files[e.path().filename().string()] = ReadFile(e.path());
  for (const fs::directory_entry& e : fs::directory_iterator(input))
    if (e.path().filename() != file_name)
      outcome.files["beside/" + e.path().filename().string()] = ReadFile(e.path());
  return outcome;
}

::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected && actual.starts_with("{\\rtf1")) {
    const testing::RtfCheck check = testing::CheckRtf(actual);
    if (!check.ok) return ::testing::AssertionFailure() << "not well formed: " << check.error;
  }
  if (actual == expected) return ::testing::AssertionSuccess();
  const size_t at =
      std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
      actual.begin();
  const size_t from = at > 60 ? at - 60 : 0;
  return ::testing::AssertionFailure()
         << "the bytes differ at offset " << at << " (sizes " << actual.size() << " and "
         << expected.size() << ")\n  actual:   ..."
         << ::testing::PrintToString(actual.substr(from, 120)) << "\n  expected: ..."
         << ::testing::PrintToString(expected.substr(from, 120)) << "\n  whole actual text:\n"
         << actual;
}

// Font 0 of each is the descriptor's defaults.
std::vector<uint8_t> OldStyleFontFile() {
  const OldFontSpec bold{.attributes = 1, .half_points = 24, .family = 2, .face = 1, .red = 255};
  return BuildFontFile({"Arial", "Times New Roman"}, 20,
                       {OldFontDescriptor({}), OldFontDescriptor(bold)});
}

std::vector<uint8_t> NewStyleFontFile() {
  const NewFontSpec bold{
      .face = 1, .blue = 128, .height = -12, .weight = 700, .italic = 1, .pitch_family = 0x30};
  return BuildFontFile({"Arial", "Courier New"}, 32,
                       {NewFontDescriptor({}), NewFontDescriptor(bold)});
}

}  // namespace quorvex::testsupport
