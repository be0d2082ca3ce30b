#include "tests/support/rtf_check.h"

#include <cctype>
#include <set>
#include <sstream>
#include <vector>

namespace quorvex::testing {

namespace {

// Control words of RTF 1.x that the writers may use.
const std::set<std::string, std::less<>>& KnownWords() {
  static const std::set<std::string, std::less<>> words = [] {
    std::set<std::string, std::less<>> w;
    std::istringstream list(
        "rtf ansi ansicpg fcharset deff deflang fonttbl f fmodern froman fswiss fscript fdecor fnil colortbl red "
        "green blue stylesheet s snext sbasedon additive cs sb sa keepn keep b i ul fs lang "
        "kerning fi li ri tqr tqc tx brdrt brdrb brdrl brdrr brdrbar box brdrth brdrs brdrw brsp "
        "caps paperw paperh template header pard plain par line tab page qc qr ql sl intbl cf "
        "strike v footnote field fldinst fldedit fldrslt tc tcl xe bkmkstart bkmkend trowd trqc "
        "trgaph trleft cellx cell row emdash pict wmetafile dibitmap wbitmap picw pich picwgoal "
        "pichgoal bin endash lquote rquote ldblquote rdblquote bullet u uc");
    for (std::string word; list >> word;) w.insert(word);
    return w;
  }();
  return words;
}

// Destinations whose content is not document text.
const std::set<std::string, std::less<>>& SkippedDestinations() {
  static const std::set<std::string, std::less<>> d = {"fonttbl", "colortbl", "stylesheet",
                                                       "header", "pict"};
  return d;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

RtfCheck CheckRtf(std::string_view rtf) {
  RtfCheck out;
  auto fail = [&](size_t at, const std::string& what) {
    out.ok = false;
    out.error = what + " at byte " + std::to_string(at);
    return out;
  };
  if (rtf.substr(0, 6) != "{\\rtf1") return fail(0, "no {\\rtf1 at the start");

  // For each open group: does it hide its text from the stripped output?
  std::vector<bool> skip_stack;
  bool skipping = false;
  bool group_start = false;  // the previous token opened a group
  size_t depth_zero_at = std::string_view::npos;

  for (size_t i = 0; i < rtf.size();) {
    char c = rtf[i];
    if (depth_zero_at != std::string_view::npos) {
      if (c == '\r' || c == '\n' || c == ' ' || c == '\0') {
        ++i;
        continue;
      }
      return fail(i, "text after the document's closing brace");
    }
    if (c == '{') {
      skip_stack.push_back(skipping);
      group_start = true;
      ++i;
      continue;
    }
    if (c == '}') {
      if (skip_stack.empty()) return fail(i, "unbalanced closing brace");
      skipping = skip_stack.back();
      skip_stack.pop_back();
      if (skip_stack.empty()) depth_zero_at = i;
      group_start = false;
      ++i;
      continue;
    }
    if (skip_stack.empty()) return fail(i, "content outside the document group");
    if (c == '\\') {
      if (i + 1 >= rtf.size()) return fail(i, "backslash at the end");
      char n = rtf[i + 1];
      if (std::isalpha(static_cast<unsigned char>(n))) {
        size_t j = i + 1;
        while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
        std::string_view word = rtf.substr(i + 1, j - i - 1);
        if (word.size() > 32) return fail(i, "control word longer than 32 letters");
        if (!KnownWords().count(word))
          return fail(i, "unknown control word \\" + std::string(word));
        if (j < rtf.size() && rtf[j] == '-') ++j;
        size_t digits = 0;
        while (j < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[j]))) ++j, ++digits;
        if (digits > 10) return fail(i, "numeric parameter too long");
        if (j < rtf.size() && rtf[j] == ' ') ++j;
        if (group_start && SkippedDestinations().count(word)) skipping = true;
        if (!skipping) {
          if (word == "par" || word == "line" || word == "page" || word == "row" || word == "cell")
            out.text += '\n';
          else if (word == "tab")
            out.text += '\t';
          else if (word == "emdash")
            out.text += "--";
        }
        i = j;
      } else if (n == '\'') {
        if (i + 3 >= rtf.size() + 0 || HexValue(rtf[i + 2]) < 0 || HexValue(rtf[i + 3]) < 0)
          return fail(i, "malformed \\' escape");
        if (!skipping)
          out.text += static_cast<char>(HexValue(rtf[i + 2]) * 16 + HexValue(rtf[i + 3]));
        i += 4;
      } else if (n == '\\' || n == '{' || n == '}') {
        if (!skipping) out.text += n;
        i += 2;
      } else if (n == '*') {
        if (!group_start) return fail(i, "\\* not at the start of a group");
        skipping = true;  // an ignorable destination: never document text here
        i += 2;
        continue;  // still at the start of the group for the destination's word
      } else if (n == '~') {
        if (!skipping) out.text += ' ';
        i += 2;
      } else if (n == '-' || n == '_' || n == ':' || n == '|') {
        i += 2;
      } else if (n == '\r' || n == '\n') {
        if (!skipping) out.text += '\n';
        i += 2;
      } else {
        return fail(i, std::string("unknown control symbol \\") + n);
      }
      group_start = false;
      continue;
    }
    group_start = false;
    if (c != '\r' && c != '\n' && !skipping) out.text += c;
    ++i;
  }
  if (depth_zero_at == std::string_view::npos) return fail(rtf.size(), "unclosed group");
  out.ok = true;
  return out;
}

std::string CollapseSpace(std::string_view text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      space = !out.empty();
    } else {
      if (space) out += ' ';
      space = false;
      out += c;
    }
  }
  return out;
}

}  // namespace quorvex::testing
