// Fuzz target: the container and |SYSTEM readers on arbitrary bytes.
//
// Property checked besides memory safety: the per-entry directory scan finds the same entry as
// the table built by one walk of the leaf chain.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "core/container.h"
#include "core/system_file.h"

namespace {

/// Entries compared per input; keeps each run short on large directories.
constexpr size_t kMaxEntriesCompared = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace quorvex;
  static NullDiagnostics diagnostics;
  std::unique_ptr<OutputDir> output = OutputDir::InMemory();
  ConversionSession session(diagnostics, *output);
  // The last byte picks probing or a full open (phrases included).
  const ConversionOptions options = (size > 0 && (data[size - 1] & 1)) ? kProbeOnly : 0;
  try {
    auto hf = OpenHelpFileFromBytes(std::vector<uint8_t>(data, data + size), "FUZZ.HLP", options,
                                    session);
    if (!hf) return 0;
    SystemStrings strings = ReadSystemStrings(*hf);
    (void)strings;
    ReadSystemRecords(*hf);
    for (size_t n = 0; n < hf->internal_files.size() && n < kMaxEntriesCompared; ++n) {
      InternalFile e = ReadInternalFileEntry(*hf, int32_t(n));
      const InternalFile& t = hf->internal_files[n];
      if (e.name != t.name || e.data_offset != t.data_offset || e.size != t.size) std::abort();
    }
    CloseHelpFile(std::move(hf));
  } catch (const FatalException&) {
  }
  return 0;
}
