// The conversion driver: one whole conversion of one help file.
//
// The driver derives the output names, opens the help file and the project file and runs the
// phases in a fixed order, each switched by the option bits. The phases live in the folders
// that own them (rtf/, project/, graphics/); the front-end hands them to the driver as a
// ConversionPhases object, so that the reading core depends on none of them.
#pragma once

#include <string>
#include <string_view>

#include "core/help_file.h"

namespace quorvex {

/// The phases of a conversion, in the order the driver runs them, and the services its topic
/// writers use. Each does nothing by default.
class ConversionPhases : public TopicServices {
 public:
  /// |CONTEXT into the context map ("Reading Context File").
  virtual void LoadContextMap(HelpFile&) {}
  /// [options], [Config], [Windows], [GROUPS] and the icon; builds the window names.
  virtual void WriteSystemSections(HelpFile&, OutputSink& /*project*/) {}
  /// Every picture of the help file and the [Bitmaps] section ("Converting Bitmaps").
  virtual void WriteBitmapsSection(HelpFile&, OutputSink& /*project*/) {}
  /// The baggage files and the [Baggage] section ("Extracting Baggage").
  virtual void ExtractBaggage(HelpFile&, OutputSink& /*project*/) {}
  /// The [Map] section ("Creating [MAP]").
  virtual void WriteMapSection(HelpFile&, OutputSink& /*project*/) {}
  /// The K and A keyword tables ("Scanning Keywords").
  virtual void LoadKeywordTables(HelpFile&) {}
  /// The font style table from the font model (the driver reads |FONT just before).
  virtual void BuildFontStyleTable(HelpFile&) {}
  /// One pass of the topic walk: the main pass writes the RTF files and the [Files] section,
  /// the pre-pass (main_pass false) only collects browse sequences.
  virtual void ConvertTopics(HelpFile&, std::string_view /*base_name*/, OutputSink& /*project*/,
                             bool /*main_pass*/) {}
};

/// The names the driver derives from the job's path.
struct OutputNames {
  std::string help_path;     // the path, with ".HLP" appended when its file name has no "."
  std::string file_name;     // the part after the last "/" or "\"
  std::string project_name;  // FILE.HPJ, or "NUL" in printing mode
  std::string base_name;     // the file name without its extension; 6 characters with SplitRtf
};

/// Derives the output names of `job`. Both "/" and "\" separate folders.
OutputNames DeriveOutputNames(const ConversionJob& job);

/// The name of RTF file `number` (from 1) of a conversion: "%s%d.RTF" with SplitRtf, "%s.RTF"
/// otherwise.
std::string RtfFileName(std::string_view base_name, bool split, int number);

/// Converts one help file. Returns the names it used. A failure is fatal (FatalException):
/// "Can't open File %s" when the help file cannot be read or the project file cannot be created.
OutputNames ConvertHelpFile(const ConversionJob& job, ConversionSession& session,
                            ConversionPhases& phases);

}  // namespace quorvex
