#include "ui/settings.h"

#include <cstdlib>
#include <vector>

#include "core/code_page.h"
#include "core/strings.h"
#include "ui/profile.h"

namespace quorvex {

namespace {

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsGermanCode(std::string_view code) {
  constexpr std::string_view kGerman = "DEU";
  if (code.size() != kGerman.size()) return false;
  for (size_t i = 0; i < code.size(); ++i)
    if (AsciiUpper(code[i]) != kGerman[i]) return false;
  return true;
}

const char* NonEmpty(const EnvironmentLookup& env, const char* name) {
  const char* v = env ? env(name) : nullptr;
  return (v && *v) ? v : nullptr;
}

}  // namespace

EnvironmentLookup ProcessEnvironment() {
  return [](const char* name) -> const char* { return std::getenv(name); };
}

std::filesystem::path SettingsFilePath(const EnvironmentLookup& env) {
  std::filesystem::path config;
  // A relative XDG_CONFIG_HOME is invalid and is to be ignored.
  if (const char* xdg = NonEmpty(env, "XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    config = xdg;
  } else if (const char* home = NonEmpty(env, "HOME")) {
    config = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return config / "quorvex" / kSettingsFileName;
}

ConversionOptions ReadSettings(const std::filesystem::path& ini) {
  // One read of the file serves all eleven keys.
  std::optional<std::string> text = ReadProfileFile(ini);
  ConversionOptions options = 0;
  for (const SettingsRow& row : kSettingsTable) {
    int32_t value = row.default_on ? 1 : 0;
    if (text) {
      auto v = FindProfileValue(*text, kSettingsSection, row.key);
      if (v && !v->empty()) value = ParseProfileInt(*v);
    }
    if (value != 0) options |= row.bit;
  }
  return options;
}

bool WriteSettings(const std::filesystem::path& ini, ConversionOptions options) {
  std::vector<ProfileEntry> entries;
  for (const SettingsRow& row : kSettingsTable)
    entries.emplace_back(row.key, (options & row.bit) ? "1" : "0");
  return WriteProfileStrings(ini, kSettingsSection, entries);
}

std::string ReadLanguageSetting(const std::filesystem::path& ini) {
  return ReadProfileString(ini, kSettingsSection, kLanguageKey, "", kLanguageValueLength);
}

uint32_t ReadCodePageSetting(const std::filesystem::path& ini) {
  const int32_t cp = ReadProfileInt(ini, kSettingsSection, "Codepage", 0);
  return cp > 0 && IsKnownCodePage(uint32_t(cp)) ? uint32_t(cp) : 0;
}

bool WriteCodePageSetting(const std::filesystem::path& ini, uint32_t code_page) {
  return WriteProfileStrings(ini, kSettingsSection, {{"Codepage", std::to_string(code_page)}});
}

std::string RegionalLanguage(const EnvironmentLookup& env) {
  // POSIX precedence: LC_ALL overrides LC_MESSAGES, which overrides LANG.
  const char* locale = NonEmpty(env, "LC_ALL");
  if (!locale) locale = NonEmpty(env, "LC_MESSAGES");
  if (!locale) locale = NonEmpty(env, "LANG");
  if (locale && locale[0] == 'd' && locale[1] == 'e') return "DEU";
  return "ENG";
}

int ChooseLanguageOffset(const std::filesystem::path& ini, const EnvironmentLookup& env) {
  std::string language = ReadLanguageSetting(ini);
  if (language.empty()) language = RegionalLanguage(env);
  return IsGermanCode(language) ? kGermanOffset : 0;
}

int SelectLanguage(const std::filesystem::path& ini, const EnvironmentLookup& env) {
  int offset = ChooseLanguageOffset(ini, env);
  SetLanguageOffset(offset);
  return offset;
}

std::string_view ProgramHelpFileName(int language_offset) {
  return language_offset == kGermanOffset ? "QUORVEXD.HLP" : "QUORVEX.HLP";
}

}  // namespace quorvex
