// What the topic writers (rtf/) need from the context code (project/) and the picture code
// (graphics/). The reading core declares it; the front-end implements it over those folders
// and hands it to the driver with the phases, so that no folder includes a sibling's headers.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_reader.h"

namespace quorvex {

struct HelpFile;
struct ExtractedPicture;
class KeywordTable;
struct KeywordEntryMarks;
class OutputSink;

/// Every method has a neutral default: a conversion without contexts or pictures still runs.
class TopicServices {
 public:
  virtual ~TopicServices() = default;

  /// The context name written for `hash`: a name the help file spells out, else one made up to
  /// hash alike, else the hash in hexadecimal. Default: the hexadecimal form "0x%08lX".
  virtual std::string ContextNameForHash(const HelpFile& hf, uint32_t hash) const;

  /// The context name of the first |CONTEXT entry whose topic offset lies in low..high (low
  /// compared as a signed, high as an unsigned 32-bit number) and whose hash is not 0, named by
  /// ContextNameForHash; none when there is no such entry or no context map. Default: none.
  virtual std::optional<std::string> ContextNameInRange(const HelpFile& hf, int32_t low,
                                                        uint32_t high) const;

  /// The keywords of `table` whose topic offsets lie in low..high (signed), joined by ";" in
  /// table order; none when there are none. With `written`, entries marked there are left out
  /// and the ones returned are marked. Default: none.
  virtual std::optional<std::string> KeywordsForTopic(const HelpFile& hf, const KeywordTable& table,
                                                      int64_t low, int64_t high,
                                                      KeywordEntryMarks* written) const;
  /// The length of what KeywordsForTopic gives, marking the entries alike, for a pass that
  /// only counts what it writes. Default: that text's length.
  virtual std::optional<size_t> KeywordsLengthForTopic(const HelpFile& hf,
                                                       const KeywordTable& table, int64_t low,
                                                       int64_t high,
                                                       KeywordEntryMarks& written) const;

  /// The "+" footnote text of a topic with these browse links ("grp%04X:%d"), recording the
  /// topic in the browse groups; none for a topic in no browse sequence. Default: none.
  virtual std::optional<std::string> BrowseSequenceName(HelpFile& hf, int32_t back, int32_t topic,
                                                        int32_t forward);

  /// Writes the RTF of an extracted picture: a picture reference, an import field or the
  /// embedded picture. `alignment` is 'c', 'l' or 'r'; `stored`: the picture was stored in the
  /// topic text. Default: nothing.
  virtual void WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture,
                               char alignment, bool stored);

  /// Extracts a picture container stored in topic text into the extracted-picture list and
  /// returns its picture number; none when nothing was extracted. Default: none.
  virtual std::optional<size_t> ExtractStoredPicture(HelpFile& hf, Bytes container);
};

}  // namespace quorvex
