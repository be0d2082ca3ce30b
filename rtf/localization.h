// The localization reference file: with Localize, topic text, titles and K keywords go into a
// text file beside the help file under numbered keys, and the RTF holds only the keys.
#pragma once

#include <string_view>

#include "core/help_file.h"
#include "core/output.h"
#include "rtf/rtf_text.h"

namespace quorvex {

/// WriteLocalizationReference with Localize on.
bool WriteLocalizedReference(HelpFile& hf, OutputSink& rtf, std::string_view text,
                             TextCategory category);

/// Writes `text` as a reference: "Txt#00012" (or "Ttl", "Key" by category) into the RTF and
/// "Txt#00012=" with the text's bytes unchanged into the localization file, which is created
/// at the first reference (beside the help file: its name with ".TXT"). Returns false, writing
/// nothing, when the text is not localized (Localize off, a category other than topic text,
/// title or keyword, the pre-pass, or an empty text). A file that cannot be created is fatal.
/// Every text string passes here: without Localize it costs one test.
inline bool WriteLocalizationReference(HelpFile& hf, OutputSink& rtf, std::string_view text,
                                       TextCategory category) {
  return hf.option(kLocalize) && WriteLocalizedReference(hf, rtf, text, category);
}

/// A paragraph end: the first one after a reference puts an empty line into the file.
void LocalizationParagraphEnd(HelpFile& hf);

/// A topic separator: the new-topic line, once the file exists.
void LocalizationNewTopic(HelpFile& hf);

/// The name of the localization file of the help file at `help_path`: the path with the
/// extension of its file name replaced by ".TXT".
std::string LocalizationFileName(std::string_view help_path);

}  // namespace quorvex
