#include "rtf/footnotes.h"

#include <algorithm>

#include "rtf/rtf_text.h"

namespace quorvex {

namespace {

/// The string at the start of `text`, up to its NUL.
std::string_view FirstString(std::string_view text) {
  return text.substr(0, std::min(text.find('\0'), text.size()));
}

}  // namespace

void WriteFootnote(HelpFile& hf, OutputSink& out, std::string_view text, char mark) {
  if (hf.option(kForPrint)) return;
  out.Write("{");
  out.Put(mark);
  out.Write("{\\footnote{");
  out.Put(mark);
  out.Write("} ");
  WriteTextString(hf, out, text, static_cast<TextCategory>(mark));
  out.Write("}} \n");
}

void WriteTitle(HelpFile& hf, OutputSink& out, std::string_view text, bool has_browse_predecessor) {
  const std::string_view title = FirstString(text);
  if (!title.empty()) {
    if (hf.option(kForPrint) && hf.option(kToc)) {
      out.Write("{\\pard\\plain\\f0\\v\\tc{");
      WriteTextString(hf, out, title, kCategoryTitle);
      out.Write(has_browse_predecessor ? "}\\tcl2}\n" : "}\\tcl1}\n");
    } else {
      WriteFootnote(hf, out, title, '$');
    }
  }
  if (hf.option(kForPrint) || title.size() >= text.size()) return;
  // Only the first macro becomes the entry macro footnote; further strings are not used.
  const std::string_view macro = FirstString(text.substr(title.size() + 1));
  if (!macro.empty()) WriteFootnote(hf, out, macro, '!');
}

}  // namespace quorvex
