// Conversion options and the request handed to the driver.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvex {

using ConversionOptions = uint32_t;

// Option bits. Eleven of them are stored in the settings file under their names.
inline constexpr ConversionOptions kNoShg = 0x0001;     // pictures with hotspots as plain .bmp/.wmf
inline constexpr ConversionOptions kBmpInRtf = 0x0002;  // pictures embedded in the RTF
inline constexpr ConversionOptions kForPrint = 0x0004;  // printing mode (else recompilation)
inline constexpr ConversionOptions kBrowseSeq = 0x0008;  // browse-sequence footnotes, pre-pass
inline constexpr ConversionOptions kPageBreak = 0x0010;  // page break between topics
inline constexpr ConversionOptions kJumps = 0x0020;      // hotspots shown as in the help viewer
inline constexpr ConversionOptions kEwSupport = 0x0040;  // stored only; nothing acts on it
inline constexpr ConversionOptions kPageLinks = 0x0100;  // jumps as page references
inline constexpr ConversionOptions kToc = 0x0200;        // table of contents
inline constexpr ConversionOptions kIndex = 0x0400;      // book index from the keywords
inline constexpr ConversionOptions kSplitRtf = 0x0800;   // numbered RTF files of 152 topics
inline constexpr ConversionOptions kProgressWindow = 0x1000;  // progress display for the job
inline constexpr ConversionOptions kLocalize = 0x4000;        // localization reference file
inline constexpr ConversionOptions kProbeOnly =
    0x8000;  // open silently, directory and |SYSTEM only

/// The printing preset of "-v PATH": NoShg, BmpInRtf, ForPrint, EwSupport, PageLinks, Toc, Index.
inline constexpr ConversionOptions kViewPreset = 0x0747;

/// The canonical option set of the current mode: printing sets NoShg and ForPrint and clears
/// Localize; recompilation sets BrowseSeq, PageBreak and Jumps and clears BmpInRtf, EwSupport,
/// PageLinks, Toc and Index.
constexpr ConversionOptions ApplyCanonicalOptions(ConversionOptions o) {
  if (o & kForPrint) return (o | kNoShg | kForPrint) & ~kLocalize;
  return (o | kBrowseSeq | kPageBreak | kJumps) &
         ~(kBmpInRtf | kEwSupport | kPageLinks | kToc | kIndex);
}

/// One conversion request: the options and the help-file path as the user gave it.
struct ConversionJob {
  ConversionOptions options = 0;
  std::string path;
  /// The ANSI code page of the help file's text as the user gives it; 0: worked out from the
  /// help file.
  uint32_t code_page = 0;
  /// The help file's bytes when it is already in memory (fuzzing): read instead of the file at
  /// `path`, which then only names it.
  const std::vector<uint8_t>* bytes = nullptr;
};

}  // namespace quorvex
