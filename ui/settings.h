// The stored options, the language choice and the wizard's page rule.
//
// The options persist in QUORVEX.INI, section "Options", one key per option ("1" or "0"), in
// $XDG_CONFIG_HOME/quorvex/ (default ~/.config/quorvex/). The same section holds "Language",
// which is read but never written. Every function takes the settings file's path, so tests
// never touch the real one.
#pragma once

#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "core/options.h"

namespace quorvex {

/// One stored option: its two radio buttons in the wizard, its bit, its default and its key.
struct SettingsRow {
  int on_control;   // the radio button that means on
  int off_control;  // the radio button that means off; 0: none
  ConversionOptions bit;
  bool default_on;
  const char* key;
};

/// The stored options, in the order they are read, written and shown.
inline constexpr std::array<SettingsRow, 11> kSettingsTable{{
    {7202, 7203, kForPrint, true, "ForPrint"},
    {7302, 7301, kNoShg, false, "NoShg"},
    {7402, 7401, kSplitRtf, false, "SplitRtf"},
    {7502, 7501, kPageBreak, false, "PageBreak"},
    {7602, 7601, kEwSupport, true, "EwSupport"},
    {7701, 0, kJumps, false, "Jumps"},
    {7707, 0, kPageLinks, false, "PageLinks"},
    {7411, 7412, kIndex, true, "Index"},
    {7421, 7422, kToc, true, "Toc"},
    {7813, 7814, kBmpInRtf, true, "BmpInRtf"},
    {7811, 7812, kLocalize, false, "Localize"},
}};

/// The third button of the jumps panel: neither Jumps nor PageLinks.
inline constexpr int kNoJumpsControl = 7702;

inline constexpr const char* kSettingsFileName = "QUORVEX.INI";
inline constexpr const char* kSettingsSection = "Options";
inline constexpr const char* kLanguageKey = "Language";
/// The platform read the language into a 9-character buffer: 8 characters and the terminator.
inline constexpr size_t kLanguageValueLength = 8;

/// The options of a missing settings file: every row's default.
constexpr ConversionOptions DefaultOptions() {
  ConversionOptions o = 0;
  for (const SettingsRow& row : kSettingsTable)
    if (row.default_on) o |= row.bit;
  return o;
}
static_assert(DefaultOptions() == 0x0646);

/// Looks up an environment variable; nullptr when it is not set.
using EnvironmentLookup = std::function<const char*(const char*)>;

/// The process's own environment.
EnvironmentLookup ProcessEnvironment();

/// $XDG_CONFIG_HOME/quorvex/QUORVEX.INI, or ~/.config/quorvex/QUORVEX.INI when XDG_CONFIG_HOME
/// is unset, empty or relative. Empty when neither it nor HOME is set.
std::filesystem::path SettingsFilePath(const EnvironmentLookup& env);

/// The stored options: a row's bit is set when its key reads as a non-zero integer (the row's
/// default when the key is missing). Bits of no row are 0.
ConversionOptions ReadSettings(const std::filesystem::path& ini);

/// Stores all eleven keys as "1" or "0", keeping every other line of the file. Creates the
/// folder and the file as needed. Returns false when the file cannot be written.
bool WriteSettings(const std::filesystem::path& ini, ConversionOptions options);

/// The "Language" value, at most 8 characters; empty when missing.
std::string ReadLanguageSetting(const std::filesystem::path& ini);

/// The "Codepage" value when it names a code page Quorvex knows; 0 (work it out from the help
/// file) otherwise.
uint32_t ReadCodePageSetting(const std::filesystem::path& ini);
/// Stores "Codepage" (0: work it out), keeping every other line of the file.
bool WriteCodePageSetting(const std::filesystem::path& ini, uint32_t code_page);

/// The user's regional language: "DEU" when the POSIX locale (the first set of LC_ALL,
/// LC_MESSAGES, LANG) starts with "de", else "ENG".
std::string RegionalLanguage(const EnvironmentLookup& env);

/// The language offset the settings and the locale select: kGermanOffset for "DEU" (any case),
/// 0 for anything else. An empty "Language" falls back to the regional language.
int ChooseLanguageOffset(const std::filesystem::path& ini, const EnvironmentLookup& env);

/// ChooseLanguageOffset, made the language of the process (SetLanguageOffset). Returns it.
int SelectLanguage(const std::filesystem::path& ini, const EnvironmentLookup& env);

/// The program's own help file in the given language: QUORVEX.HLP or QUORVEXD.HLP.
std::string_view ProgramHelpFileName(int language_offset);

// The wizard's steps, in order. A step's panel sets the options named beside it.
inline constexpr int kStepWelcome = 0;
inline constexpr int kStepSelectFile = 1;
inline constexpr int kStepOutputFormat = 2;     // ForPrint
inline constexpr int kStepSplitting = 3;        // SplitRtf
inline constexpr int kStepHypergraphics = 4;    // NoShg; recompilation only
inline constexpr int kStepPageBreaks = 5;       // PageBreak; printing only
inline constexpr int kStepIndex = 6;            // Index; printing only
inline constexpr int kStepToc = 7;              // Toc; printing only
inline constexpr int kStepEmbeddedWindows = 8;  // EwSupport; printing only
inline constexpr int kStepJumps = 9;            // Jumps, PageLinks; printing only
inline constexpr int kStepGraphicsInRtf = 10;   // BmpInRtf; printing only
inline constexpr int kStepLocalization = 11;    // Localize; recompilation only
inline constexpr int kStepReady = 12;
inline constexpr int kWizardStepCount = 13;

/// One wizard step: its dialog template and the modes it applies to.
struct WizardStep {
  int dialog;
  bool printing;
  bool recompilation;
};

inline constexpr std::array<WizardStep, kWizardStepCount> kWizardSteps{{
    {7001, true, true},   // welcome
    {7000, true, true},   // help-file selection
    {7002, true, true},   // output format
    {7003, true, true},   // splitting
    {7004, false, true},  // segmented hypergraphics
    {7005, true, false},  // page breaks
    {7006, true, false},  // index
    {7007, true, false},  // table of contents
    {7008, true, false},  // embedded windows
    {7009, true, false},  // jumps
    {7011, true, false},  // graphics in the RTF
    {7012, false, true},  // localization
    {7010, true, true},   // ready to convert
}};

/// True when `step` (0 to 12) is shown in the mode of `options` (ForPrint).
constexpr bool WizardStepApplies(int step, ConversionOptions options) {
  if (step < 0 || step >= kWizardStepCount) return false;
  const WizardStep& s = kWizardSteps[static_cast<size_t>(step)];
  return (options & kForPrint) ? s.printing : s.recompilation;
}

/// The page rule: the next step from `step` in `direction` (+1 forward, -1 back) that applies
/// to the mode of `options`. Returns `step` itself when there is none in that direction (or
/// `direction` is neither).
constexpr int StepWizard(int step, int direction, ConversionOptions options) {
  if (direction != 1 && direction != -1) return step;
  for (int s = step + direction; s >= 0 && s < kWizardStepCount; s += direction)
    if (WizardStepApplies(s, options)) return s;
  return step;
}

}  // namespace quorvex
