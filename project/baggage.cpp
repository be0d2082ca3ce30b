#include "project/baggage.h"

#include <cctype>
#include <string>

namespace quorvex {

namespace {

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

/// True when `name` is one this conversion writes itself (the project file, the RTF files,
/// the icon), compared without regard to case as the help compiler's file system does.
bool IsOwnOutputName(const HelpFile& hf, std::string_view name) {
  const std::string upper = Upper(name), base = Upper(hf.output_base_name);
  if (upper == Upper(hf.output_project_name) || upper == "ICON.ICO") return true;
  if (!upper.starts_with(base) || !upper.ends_with(".RTF")) return false;
  const std::string_view middle =
      std::string_view(upper).substr(base.size(), upper.size() - base.size() - 4);
  for (char c : middle)
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

}  // namespace

bool IsBaggage(std::string_view internal_name) {
  return !internal_name.starts_with("|") && !internal_name.starts_with("bm");
}

void ExtractBaggage(HelpFile& hf, OutputSink& project) {
  project.Write("\n[Baggage]\n");
  const size_t count = hf.internal_files.size();
  // Many directory entries may name the same data: the budget stops the copies.
  for (size_t i = 0; i < count && !hf.OutputBudgetSpent(); ++i) {
    hf.diagnostics().Progress(int(41 + (i * 3 * 2 + count) / (2 * count)), kPhaseExtractingBaggage);
    const InternalFile& f = hf.internal_files[i];
    if (!IsBaggage(f.name)) continue;
    // The output folder makes an unsafe name safe (and says so); a name that one of this
    // conversion's own files takes gets a prefix, so that neither overwrites the other.
    std::string name = f.name;
    if (const std::string safe = OutputDir::SafeName(name); IsOwnOutputName(hf, safe)) {
      name = "baggage_" + safe;
      hf.diagnostics().Warning(kWarnBaggageRenamed, f.name, name);
    }
    std::unique_ptr<OutputSink> out = hf.session->output.CreateBinary(name);
    if (!out) {
      hf.diagnostics().Warning(kWarnBaggageNotWritten, name);
      continue;
    }
    const Bytes data = hf.InternalData(f).data();
    out->Write(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
    out->Close();
    project.Write(out->name() + "\n");
  }
}

}  // namespace quorvex
