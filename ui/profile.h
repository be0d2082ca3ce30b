// Private-profile files: the INI format the settings are kept in.
//
// A profile is a text file of "[section]" lines and "key=value" lines. Section and key names are
// compared without regard to case (ASCII); the first section of a name and the first key of a
// name within it count, as the platform's profile functions read them. Writing keeps every
// other line of the file as it stands.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quorvex {

/// The settings file holds a dozen short lines; anything far larger is not ours to read or
/// rewrite.
inline constexpr std::uintmax_t kMaxProfileFileSize = 1 << 20;

/// One key and the value to store under it.
using ProfileEntry = std::pair<std::string, std::string>;

/// The value of `key` in the first `section` of the profile text `text`: blanks around it
/// removed, a pair of matching quotes around it removed. nullopt when the section or the key is
/// missing.
std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key);

/// `text` with each entry stored in `section`: a key that is present has its line replaced in
/// place (keeping the file's spelling of the key and the line's ending); missing keys are added
/// after the section's last key line; a missing section is added at the end. Every other line
/// is kept byte for byte.
std::string UpdateProfileText(std::string_view text, std::string_view section,
                              const std::vector<ProfileEntry>& entries);

/// Reads an integer as the platform does: leading blanks skipped, an optional sign, decimal
/// digits up to the first other character (wrapping modulo 2^32); no digits gives 0.
int32_t ParseProfileInt(std::string_view text);

/// The text of the profile file `file`; nullopt when it is missing, unreadable, or larger than
/// kMaxProfileFileSize.
std::optional<std::string> ReadProfileFile(const std::filesystem::path& file);

/// GetPrivateProfileString: the value cut to `max_length` characters, or `fallback` when the
/// file, the section or the key is missing.
std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback, size_t max_length);

/// GetPrivateProfileInt: the value read by ParseProfileInt, or `fallback` when the file, the
/// section or the key is missing or the value is empty.
int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, int32_t fallback);

/// WritePrivateProfileString for several keys at once: creates the folder, the file and the
/// section as needed and replaces the file in one step. Returns false when the file cannot be
/// written (or is too large to be a profile); the file is then left as it was.
bool WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                         const std::vector<ProfileEntry>& entries);

}  // namespace quorvex
