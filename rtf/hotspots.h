// Jump and popup hotspots in the help compiler's source form: the hotspot text underlined
// (popup) or struck through (jump), followed by hidden text that names the target.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/help_file.h"
#include "core/output.h"
#include "core/topic_model.h"

namespace quorvex {

/// The target names of a record's hotspots, looked up (and escaped) ahead of the writer, in the
/// order of the hotspots: each with the hash it was looked up for.
class HotspotNames {
 public:
  struct Name {
    uint32_t hash;
    std::string_view escaped;
  };
  void Clear() {
    names_.clear();
    next_ = 0;
  }
  void Add(uint32_t hash, std::string_view escaped) { names_.push_back({hash, escaped}); }
  /// The next name when it was looked up for `hash`, else none (the caller looks it up).
  std::optional<std::string_view> Take(uint32_t hash) {
    if (next_ >= names_.size() || names_[next_].hash != hash) return std::nullopt;
    return names_[next_++].escaped;
  }

 private:
  std::vector<Name> names_;
  size_t next_ = 0;
};

/// Opens the jump or popup hotspot of `command` (0xE0-0xE3, 0xE6, 0xE7, 0xEA, 0xEB, 0xEE,
/// 0xEF): with Jumps writes "\ul " (popup) or "\strike " (jump) and returns the hidden text
/// that the hotspot end writes: the target's context name ("%" before it for the kinds that
/// keep the font), ">" and the window ("main" for 0xFF) and "@" and the help file of an
/// extended target; without Jumps an empty text. With PageLinks a short target adds a page
/// reference to the bookmark "B" + name. None, after warning 11, when the target did not fit in
/// the formatting data; a window number the help file does not define gets warning 12 and no
/// window part.
/// The target's name is taken from `names` where they hold it.
std::optional<std::string> StartHotspot(HelpFile& hf, OutputSink& out,
                                        const ParagraphCommand& command,
                                        HotspotNames* names = nullptr);

}  // namespace quorvex
