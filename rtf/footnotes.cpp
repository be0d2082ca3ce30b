#include "rtf/footnotes.h"

#include <algorithm>
#include <optional>
#include <string>

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
  // "{#{\footnote{#} " in one piece: a footnote is written for nearly every record.
  const char head[] = {'{', mark, '{', '\\', 'f', 'o', 'o', 't', 'n',
                       'o', 't', 'e', '{', mark, '}', ' '};
  out.WritePlain(std::string_view(head, sizeof head));
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

bool WriteContextMark(HelpFile& hf, OutputSink& out, int32_t low, uint32_t high) {
  const std::optional<std::string> name = hf.topic_services().ContextNameInRange(hf, low, high);
  return WriteContextMarkOf(hf, out, name ? std::optional<std::string_view>(*name) : std::nullopt);
}

bool WriteContextMarkOf(HelpFile& hf, OutputSink& out,
                        const std::optional<std::string_view>& name) {
  if (!name) return false;
  if (hf.option(kPageLinks)) {
    const std::string bookmark = "B" + RtfEscaped(*name);
    out.Write("{\\*\\bkmkstart " + bookmark + "}{\\*\\bkmkend " + bookmark + "}");
  } else {
    WriteFootnote(hf, out, *name, '#');
  }
  return true;
}

namespace {

void WriteKKeywords(HelpFile& hf, OutputSink& out, std::string_view k) {
  if (hf.option(kIndex)) {
    // One index entry per keyword, also for the empty piece after a final ";".
    std::string_view rest = k;
    for (;;) {
      const size_t semicolon = rest.find(';');
      out.Write("{\\pard\\plain\\v\\xe {");
      WriteTextString(hf, out, rest.substr(0, semicolon), kCategoryVerbatim);
      out.Write("}}\n");
      if (semicolon == std::string_view::npos) break;
      rest.remove_prefix(semicolon + 1);
    }
  } else {
    WriteFootnote(hf, out, k, 'K');
  }
}

}  // namespace

void WriteKeywordsOf(HelpFile& hf, OutputSink& out, const std::optional<std::string_view>& k,
                     const std::optional<std::string_view>& a) {
  if (k) WriteKKeywords(hf, out, *k);
  if (a) WriteFootnote(hf, out, *a, 'A');
}

namespace {

/// WriteTopicKeywords in a pass that only counts, where each keyword string would be one
/// footnote: its length counts, its text is not needed.
bool CountTopicKeywords(HelpFile& hf, int64_t low, int64_t high, KeywordMarks& marks) {
  const TopicServices& services = hf.topic_services();
  const bool counted = !hf.option(kForPrint);  // (no footnotes there)
  const std::optional<size_t> k =
      hf.k_keywords ? services.KeywordsLengthForTopic(hf, *hf.k_keywords, low, high, marks.k)
                    : std::nullopt;
  if (k) {
    if (counted) hf.session->rtf_char_count += *k;
    if (hf.is_hc30) return true;
  }
  if (hf.a_keywords) {
    const std::optional<size_t> a =
        services.KeywordsLengthForTopic(hf, *hf.a_keywords, low, high, marks.a);
    if (a && counted) hf.session->rtf_char_count += *a;
  }
  return k.has_value();
}

}  // namespace

bool WriteTopicKeywords(HelpFile& hf, OutputSink& out, int64_t low, int64_t high,
                        KeywordMarks& marks) {
  // (K keywords in an index are written one by one, without their ";")
  if (CountsOnly(hf, out) && !hf.option(kIndex)) return CountTopicKeywords(hf, low, high, marks);
  const TopicServices& services = hf.topic_services();
  const std::optional<std::string> k =
      hf.k_keywords ? services.KeywordsForTopic(hf, *hf.k_keywords, low, high, &marks.k)
                    : std::nullopt;
  if (k) {
    WriteKKeywords(hf, out, *k);
    // HC30 topics take their K keywords only, and stop looking once they have them.
    if (hf.is_hc30) return true;
  }
  if (hf.a_keywords && !hf.option(kIndex)) {
    if (const std::optional<std::string> a =
            services.KeywordsForTopic(hf, *hf.a_keywords, low, high, &marks.a))
      WriteFootnote(hf, out, *a, 'A');
  }
  return k.has_value();
}

}  // namespace quorvex
