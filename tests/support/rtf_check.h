// A strict reader of the RTF that Quorvex writes, for tests: checks that the document is well
// formed (one top-level group, balanced braces, only known control words, well-formed escapes)
// and strips it to its text.
#pragma once

#include <string>
#include <string_view>

namespace quorvex::testing {

struct RtfCheck {
  bool ok = false;
  std::string error;  // what is wrong and the byte offset, when !ok
  /// The text: paragraph, line, row and cell ends as "\n", tabs as "\t", \'xx as the byte,
  /// hidden text and footnotes included; font, colour and style tables, the page header, pictures
  /// and ignorable destinations ("{\*\...}") left out.
  std::string text;
};
RtfCheck CheckRtf(std::string_view rtf);

/// `text` with every run of blanks, tabs and line ends made one blank, and trimmed.
std::string CollapseSpace(std::string_view text);

}  // namespace quorvex::testing
