#include "core/driver.h"

#include <filesystem>
#include <system_error>

#include "core/code_page.h"
#include "core/container.h"
#include "core/topic_read_ahead.h"

namespace quorvex {

namespace {

/// With SplitRtf the base name leaves room for the sequence number the topic walk appends.
constexpr size_t kSplitBaseNameLength = 6;

}  // namespace

OutputNames DeriveOutputNames(const ConversionJob& job) {
  OutputNames n;
  n.help_path = job.path;
  size_t sep = n.help_path.find_last_of("/\\");
  std::string_view file_part = sep == std::string::npos
                                   ? std::string_view(n.help_path)
                                   : std::string_view(n.help_path).substr(sep + 1);
  if (file_part.find('.') == std::string_view::npos) n.help_path += ".HLP";

  sep = n.help_path.find_last_of("/\\");
  n.file_name = sep == std::string::npos ? n.help_path : n.help_path.substr(sep + 1);

  size_t dot = n.file_name.rfind('.');
  std::string stem = dot == std::string::npos ? n.file_name : n.file_name.substr(0, dot);
  n.project_name = (job.options & kForPrint) ? "NUL" : stem + ".HPJ";
  n.base_name = stem;
  if (job.options & kSplitRtf) n.base_name = n.base_name.substr(0, kSplitBaseNameLength);
  return n;
}

std::string RtfFileName(std::string_view base_name, bool split, int number) {
  return std::string(base_name) + (split ? std::to_string(number) : "") + ".RTF";
}

OutputNames ConvertHelpFile(const ConversionJob& job, ConversionSession& session,
                            ConversionPhases& phases) {
  const ConversionOptions options = job.options;
  OutputNames names = DeriveOutputNames(job);

  const bool for_print = (options & kForPrint) != 0;
  std::error_code ec;
  if (!job.bytes && std::filesystem::is_directory(job.path, ec))
    FatalError(LoadText(kTextIsFolder), job.path);
  std::unique_ptr<HelpFile> hf =
      job.bytes ? OpenHelpFileFromBytes(*job.bytes, names.help_path, options, session)
                : OpenHelpFile(names.help_path, options, session);
  if (!hf) FatalError(LoadText(kTextCantOpenFile), names.help_path);
  session.budget = OutputBudget{.limit = OutputBudgetFor(hf->bytes.size())};
  // Nothing the conversion writes may replace the help file, whatever name it has there.
  if (!job.bytes) {
    session.output.Protect(names.help_path);
    if (session.temp_folder) session.temp_folder->Protect(names.help_path);
  }
  // The project file is created only for a help file that opened, so that a mistyped path
  // leaves no empty project file behind. Printing mode writes the project sections nowhere.
  std::unique_ptr<OutputSink> project =
      for_print ? OutputSink::Null() : session.output.CreateText(names.project_name);
  if (!project)
    FatalError(LoadText(kTextCantCreate), session.output.PathOf(names.project_name).string());
  hf->services = &phases;
  hf->code_page = job.code_page ? job.code_page : DetectCodePage(*hf);
  session.diagnostics.SetCodePage(hf->code_page);
  hf->output_project_name = names.project_name;
  hf->output_base_name = names.base_name;
  // Where a second core reads ahead, it starts the pre-pass's walk while this one loads the
  // tables the writer needs: the walk reads only the topics and the phrases.
  if ((options & kBrowseSeq) && ReadAheadWanted(*hf))
    hf->early_walk.reset(new TopicReadAhead(*hf, true, kReadAheadBytes, nullptr, kHeadStartBytes));

  if (!for_print || (options & kPageLinks)) phases.LoadContextMap(*hf);
  phases.WriteSystemSections(*hf, *project);
  phases.WriteBitmapsSection(*hf, *project);
  if (!for_print) {
    phases.ExtractBaggage(*hf, *project);
    phases.WriteMapSection(*hf, *project);
  }
  if (!for_print || (options & kIndex)) phases.LoadKeywordTables(*hf);
  hf->fonts = ReadFontModel(*hf);
  phases.BuildFontStyleTable(*hf);
  if (options & kBrowseSeq) {
    std::unique_ptr<OutputSink> null_sink = OutputSink::Null();
    phases.ConvertTopics(*hf, "dummy", *null_sink, false);
  }
  phases.ConvertTopics(*hf, names.base_name, *project, true);

  CloseHelpFile(std::move(hf));
  project->Close();
  return names;
}

}  // namespace quorvex
