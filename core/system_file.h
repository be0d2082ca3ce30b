// The system file "|SYSTEM": the compiler version, the compression flag and typed records
// (title, copyright, contents topic, macros, icon, windows, citation, groups).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/byte_reader.h"

namespace quorvex {

struct HelpFile;
struct InternalFile;

// Low byte of the minor version: the compiler.
inline constexpr uint8_t kMinorHc30 = 15;
inline constexpr uint8_t kMinorHc31 = 21;
inline constexpr uint8_t kMinorMediaViewer = 27;
inline constexpr uint8_t kMinorHcrtf = 33;

/// System-header flags that mark LZ77-compressed topic blocks (and phrase text).
inline constexpr uint16_t kSystemFlagsCompressed = 0x0004 | 0x0008;

/// Reads the 12-byte header of `system` into the help file, sets the version flags and reports
/// the version: warning 34 for HC30, HCRTF and the Media Viewer compiler, nothing for HC31,
/// fatal for any other version (with kProbeOnly silent: OpenHelpFile then gives nullptr).
void ReadSystemHeader(HelpFile& hf, const InternalFile& system);

/// True when the low byte of the |SYSTEM minor version names a compiler this program reads.
bool IsSupportedMinorVersion(uint16_t minor);

/// Sets hf.compressed from the system header (flags 4 or 8, and not HC30).
void SetCompressed(HelpFile& hf);

/// One typed record of |SYSTEM (not HC30).
struct SystemRecord {
  uint16_t type = 0;
  Bytes data;
};

/// The records of |SYSTEM in file order. A record whose length runs past the end of |SYSTEM is
/// cut to what is there and ends the list (with a warning when `report`).
std::vector<SystemRecord> ReadSystemRecords(const HelpFile& hf, bool report = true);

struct SystemStrings {
  std::optional<std::string> title;
  std::optional<std::string> citation;
  std::optional<std::string> copyright;
};

/// The title (record 1, or the HC30 title line), citation (record 8) and copyright (record 2).
SystemStrings ReadSystemStrings(const HelpFile& hf);

}  // namespace quorvex
