#include "rtf/localization.h"

#include <filesystem>
#include <system_error>

#include "core/format.h"

namespace quorvex {

namespace {

const char* Prefix(TextCategory category) {
  switch (category) {
    case kCategoryKeyword:
      return "Key";
    case kCategoryTitle:
      return "Ttl";
    case kCategoryTopicText:
      return "Txt";
    default:
      return nullptr;
  }
}

/// Creates the file beside the help file (in the output folder when that lives in memory, so
/// that tests and fuzzing never write to disk). A help file that is itself named like its
/// localization file keeps its name: the references then go into "<name>.loc.TXT".
std::unique_ptr<OutputSink> CreateLocalizationFile(HelpFile& hf) {
  namespace fs = std::filesystem;
  const fs::path target = LocalizationFileName(hf.path);
  std::string name = target.filename().string();
  if (hf.session->output.in_memory()) return hf.session->output.CreateText(name);
  std::error_code ec;
  if (fs::equivalent(target, hf.path, ec)) {
    name = target.stem().string() + ".loc.TXT";
    hf.diagnostics().Warning(kWarnLocalizationRenamed, target.string(), name);
  }
  OutputDir beside(target.has_parent_path() ? target.parent_path() : fs::path("."));
  beside.ReportTo(&hf.diagnostics());
  beside.CountInto(&hf.session->budget);
  std::unique_ptr<OutputSink> file = beside.CreateText(name);
  if (!file) FatalError(LoadText(kTextCantCreate), (beside.root() / name).string());
  return file;
}

}  // namespace

std::string LocalizationFileName(std::string_view help_path) {
  const size_t name_start = help_path.find_last_of("/\\") + 1;  // npos + 1 is 0
  const size_t dot = help_path.rfind('.');
  const size_t cut = dot != std::string_view::npos && dot >= name_start ? dot : help_path.size();
  return std::string(help_path.substr(0, cut)) + ".TXT";
}

bool WriteLocalizedReference(HelpFile& hf, OutputSink& rtf, std::string_view text,
                             TextCategory category) {
  const char* prefix = Prefix(category);
  if (!prefix || !hf.main_pass || text.empty()) return false;
  if (!hf.localization) hf.localization = CreateLocalizationFile(hf);
  const std::string key = FormatText("%s#%05d", {prefix, hf.localization_counter});
  rtf.Write(key);
  hf.localization->Write(key + "=");
  hf.localization->Write(text);
  hf.localization->Write("\n");
  ++hf.localization_counter;
  hf.localization_paragraph_line = false;
  return true;
}

void LocalizationParagraphEnd(HelpFile& hf) {
  if (!hf.option(kLocalize) || !hf.localization || hf.localization_paragraph_line) return;
  hf.localization->Write("\n");
  hf.localization_paragraph_line = true;
}

void LocalizationNewTopic(HelpFile& hf) {
  if (hf.option(kLocalize) && hf.localization)
    hf.localization->Write("------------------- New topic -------------------\n");
}

}  // namespace quorvex
