#include "tests/support/rtf_check.h"

#include <cctype>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

namespace quorvex::testing {

namespace {

// Control words of RTF 1.x that the writers may use.
bool Known(std::string_view word) {
  static const std::set<std::string, std::less<>> words = [] {
    std::set<std::string, std::less<>> w;
    std::istringstream list(
        "rtf ansi ansicpg fcharset deff deflang fonttbl f fmodern froman fswiss fscript fdecor "
        "fnil colortbl red green blue stylesheet s snext sbasedon additive cs sb sa keepn keep b i "
        "ul fs lang kerning fi li ri tqr tqc tx brdrt brdrb brdrl brdrr brdrbar box brdrth brdrs "
        "brdrw brsp caps paperw paperh template header pard plain par line tab page qc qr ql sl "
        "intbl cf strike v footnote field fldinst fldedit fldrslt tc tcl xe bkmkstart bkmkend "
        "trowd trqc trgaph trleft cellx cell row emdash pict wmetafile dibitmap wbitmap picw pich "
        "picwgoal pichgoal bin endash lquote rquote ldblquote rdblquote bullet u uc");
    for (std::string word; list >> word;) w.insert(word);
    return w;
  }();
  return words.contains(word);
}

bool IsAlpha(char c) {
  return std::isalpha(static_cast<unsigned char>(c));
}

}  // namespace

RtfCheck CheckRtf(std::string_view rtf) {
  // The text of control words and symbols; destinations whose content is not document text.
  static const std::map<std::string_view, std::string_view> kWordText = {
      {"par", "\n"},  {"line", "\n"}, {"page", "\n"},  {"row", "\n"},
      {"cell", "\n"}, {"tab", "\t"},  {"emdash", "--"}};
  static const std::map<char, std::string_view> kSymbolText = {
      {'\\', "\\"}, {'{', "{"}, {'}', "}"}, {'~', " "}, {'\r', "\n"},
      {'\n', "\n"}, {'-', ""},  {'_', ""},  {':', ""},  {'|', ""}};
  static const std::set<std::string_view> kSkipped = {"fonttbl", "colortbl", "stylesheet", "header",
                                                      "pict"};
  RtfCheck out;
  auto fail = [&](size_t at, const std::string& what) {
    out.error = what + " at byte " + std::to_string(at);
    return out;
  };
  if (!rtf.starts_with("{\\rtf1")) return fail(0, "no {\\rtf1 at the start");
  std::vector<bool> skip_stack;  // per open group: `skipping` to restore at its end
  bool skipping = false, group_start = false, closed = false;
  auto put = [&](std::string_view s) { out.text += skipping ? "" : s; };
  for (size_t i = 0; i < rtf.size();) {
    const char c = rtf[i];
    const bool at_group_start = std::exchange(group_start, false);
    if (closed && c != '\r' && c != '\n' && c != ' ' && c != '\0')
      return fail(i, "text after the document's closing brace");
    if (closed) {
      ++i;
    } else if (c == '{') {
      skip_stack.push_back(skipping);
      group_start = true;
      ++i;
    } else if (c == '}') {
      if (skip_stack.empty()) return fail(i, "unbalanced closing brace");
      skipping = skip_stack.back();
      skip_stack.pop_back();
      closed = skip_stack.empty();
      ++i;
    } else if (skip_stack.empty()) {
      return fail(i, "content outside the document group");
    } else if (c != '\\') {
      if (c != '\r' && c != '\n') put(rtf.substr(i, 1));
      ++i;
    } else if (i + 1 >= rtf.size()) {
      return fail(i, "backslash at the end");
    } else if (const char n = rtf[i + 1]; IsAlpha(n)) {
      size_t j = i + 1;
      while (j < rtf.size() && IsAlpha(rtf[j])) ++j;
      const std::string_view word = rtf.substr(i + 1, j - i - 1);
      if (word.size() > 32) return fail(i, "control word longer than 32 letters");
      if (!Known(word)) return fail(i, "unknown control word \\" + std::string(word));
      if (j < rtf.size() && rtf[j] == '-') ++j;
      const size_t digits = j;
      while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) ++j;
      if (j - digits > 10) return fail(i, "numeric parameter too long");
      if (j < rtf.size() && rtf[j] == ' ') ++j;
      if (at_group_start && kSkipped.contains(word)) skipping = true;
      if (auto t = kWordText.find(word); t != kWordText.end()) put(t->second);
      i = j;
    } else if (n == '\'') {
      const std::string hex(rtf.substr(i + 2, 2));
      if (hex.size() < 2 || !std::isxdigit(uint8_t(hex[0])) || !std::isxdigit(uint8_t(hex[1])))
        return fail(i, "malformed \\' escape");
      put(std::string(1, char(std::stoi(hex, nullptr, 16))));
      i += 4;
    } else if (n == '*') {
      if (!at_group_start) return fail(i, "\\* not at the start of a group");
      skipping = group_start = true;  // an ignorable destination; its word follows
      i += 2;
    } else if (auto s = kSymbolText.find(n); s != kSymbolText.end()) {
      put(s->second);
      i += 2;
    } else {
      return fail(i, std::string("unknown control symbol \\") + n);
    }
  }
  if (!closed) return fail(rtf.size(), "unclosed group");
  out.ok = true;
  return out;
}

std::string CollapseSpace(std::string_view text) {
  std::string out;
  bool space = false;
  for (char c : text)
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
      space = !out.empty();
    else
      out += std::exchange(space, false) ? std::string{' ', c} : std::string(1, c);
  return out;
}

}  // namespace quorvex::testing
