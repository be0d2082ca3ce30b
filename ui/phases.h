// The conversion phases of the real program: the driver's steps and the topic writers' services
// bound to the folders that implement them.
#pragma once

#include "core/driver.h"

namespace quorvex {

/// The phases every conversion of the program runs.
class StandardPhases : public ConversionPhases {
 public:
  void WriteSystemSections(HelpFile& hf, OutputSink& project) override;
  void ExtractBaggage(HelpFile& hf, OutputSink& project) override;
  void WriteMapSection(HelpFile& hf, OutputSink& project) override;
  void LoadContextMap(HelpFile& hf) override;
  void LoadKeywordTables(HelpFile& hf) override;
  void WriteBitmapsSection(HelpFile& hf, OutputSink& project) override;
  void BuildFontStyleTable(HelpFile& hf) override;
  void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project,
                     bool main_pass) override;

  std::optional<std::string> BrowseSequenceName(HelpFile& hf, int32_t back, int32_t topic,
                                                int32_t forward) override;
  std::string ContextNameForHash(const HelpFile& hf, uint32_t hash) const override;
  std::optional<std::string> ContextNameInRange(const HelpFile& hf, int32_t low,
                                                uint32_t high) const override;
  std::optional<std::string> KeywordsForTopic(const HelpFile& hf, const KeywordTable& table,
                                              int64_t low, int64_t high,
                                              KeywordEntryMarks* written) const override;
  std::optional<size_t> KeywordsLengthForTopic(const HelpFile& hf, const KeywordTable& table,
                                               int64_t low, int64_t high,
                                               KeywordEntryMarks& written) const override;
  void WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture,
                       char alignment, bool stored) override;
  std::optional<size_t> ExtractStoredPicture(HelpFile& hf, Bytes container) override;
};

}  // namespace quorvex
