// The texts of the front-end, in English and German. They join the program's string table at
// start-up (ids 200 to 299; German at id + 512).
#pragma once

namespace quorvex {

inline constexpr int kTextUsage = 200;          // the --help text; %s: the settings file
inline constexpr int kTextVersion = 201;        // %s: the version
inline constexpr int kTextNeedsFolder = 202;    // %s: the option
inline constexpr int kTextExtraArgument = 203;  // %s: the second help file
inline constexpr int kTextViewNeedsFile = 204;
inline constexpr int kTextTryHelp = 205;
inline constexpr int kTextCantCreateFolder = 206;  // fatal; %s: the folder
inline constexpr int kTextResultIn = 207;          // %s: the RTF file

/// Adds the front-end's texts to the string table. Safe to call more than once.
void RegisterUiTexts();

}  // namespace quorvex
