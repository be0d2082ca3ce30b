// Context names from context hashes. A compiled help file keeps only the hash of each context
// string; every place that writes a context string (the "#" footnotes and bookmarks of topics,
// jump targets, the project file's contents topic and [Map]) names a hash through
// ContextNameForHash, so that one hash always gets the same name within a conversion.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/help_file.h"

namespace quorvex {

/// `prefix` followed by the shortest run of 0 to 14 characters from "1"-"9", "0", ".", "_" and
/// "a"-"z" that gives the whole string the hash `target`: the run spells the base-43 digits of
/// target - hash(prefix) * 43^n, most significant first. None when no run of that length does
/// (a digit without a character, 11 or 14 to 16, is needed).
std::optional<std::string> ExtendToHash(std::string_view prefix, uint32_t target);

/// The name written for `hash`: the first name the help file spells out with that hash
/// (hf.known_context_names), else, without PageLinks, a name made up from the first of the
/// prefixes "", "Ind", "con", "ID_", "IDH", "KEY", "ID", "cn", "A" to "Z" that ExtendToHash can
/// complete, else the hash as "0x%08lX". Every name but the hexadecimal form hashes to `hash`.
std::string ContextNameForHash(const HelpFile& hf, uint32_t hash);

}  // namespace quorvex
