// Fuzz target: the whole conversion of arbitrary bytes, by the real driver and the program's
// phases, into an output folder in memory (nothing is written to disk).
//
// The last input byte picks the options: bit 0 printing mode (else recompilation), then
// SplitRtf, BmpInRtf, Localize, Toc with Index, PageLinks and NoShg; the mode's canonical set
// is applied as the program does. Properties: every RTF file written is well formed, and the
// whole output stays within the budget the file's size justifies.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/diagnostics.h"
#include "core/driver.h"
#include "graphics/picture_export.h"
#include "tests/support/rtf_check.h"
#include "ui/phases.h"

namespace {

/// `rtf` as the checker reads it: the picture positions of printing mode (valid RTF that its
/// list of control words leaves out) become a word it knows, and the import field's switch
/// "\\* Mergeformat" (the text the import field has always had) plain text.
std::string KnownWords(std::string rtf) {
  for (const auto& [from, to] : {std::pair{"\\pvpara", "\\keep"}, std::pair{"\\posxr", "\\keep"},
                                 std::pair{"\\* Mergeformat", "Mergeformat"}})
    for (size_t at; (at = rtf.find(from)) != std::string::npos;)
      rtf.replace(at, std::string_view(from).size(), to);
  return rtf;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvex;
  const uint8_t pick = size > 0 ? data[size - 1] : 0;
  ConversionOptions options = pick & 1 ? kForPrint : 0;
  if (pick & 2) options |= kSplitRtf;
  if (pick & 4) options |= kBmpInRtf;
  if (pick & 8) options |= kLocalize;
  if (pick & 16) options |= kToc | kIndex;
  if (pick & 32) options |= kPageLinks;
  if (pick & 64) options |= kNoShg;
  const std::vector<uint8_t> bytes(data, data + size);
  const ConversionJob job{ApplyCanonicalOptions(options), "FUZZ.HLP", 0, &bytes};

  NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  StandardPhases phases;
  try {
    ConvertHelpFile(job, session, phases);
  } catch (const FatalException&) {
    return 0;
  }
  // The budget is checked between pictures and between records: one picture (as a file and
  // embedded in hexadecimal) may still overshoot it.
  uint64_t written = 0;
  for (const auto& [name, contents] : output->files()) {
    if (name.ends_with(".RTF")) {
      const testing::RtfCheck check = testing::CheckRtf(KnownWords(contents));
      if (!check.ok) {
        std::fprintf(stderr, "%s is not well formed: %s\n", name.c_str(), check.error.c_str());
        std::abort();
      }
    }
    written += contents.size();
  }
  if (written > OutputBudgetFor(size) + 3 * kMaxUnpackedPicture) std::abort();
  return 0;
}
