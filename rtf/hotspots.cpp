#include "rtf/hotspots.h"

#include "core/rtf_escape.h"
#include "core/strings.h"

namespace quorvex {

namespace {

/// Popups have even command bytes, jumps odd ones.
constexpr uint8_t kJumpBit = 0x01;
/// 0xE6, 0xE7, 0xEE, 0xEF keep the font of the text around them.
constexpr uint8_t kNoFontChangeBit = 0x04;

constexpr uint8_t kTargetWindowNumber = 0x01;
constexpr uint8_t kTargetWindowName = 0x02;
constexpr uint8_t kTargetFileName = 0x04;
constexpr uint8_t kMainWindow = 0xFF;

/// The page reference that follows a short target with PageLinks. Hidden text is switched off
/// inside it, so the printed page shows " » Page 12" after the hotspot; the byte 0xBB is written
/// as it stands.
std::string PageReference(const std::string& name) {
  return "{\\v0  \xBB" + LoadText(kTextPage) + " \\field{\\*\\fldinst PAGEREF B" + name + "}}";
}

}  // namespace

std::optional<std::string> StartHotspot(HelpFile& hf, OutputSink& out,
                                        const ParagraphCommand& command, HotspotNames* names) {
  const HotspotTarget& target = command.hotspot;
  if (!target.valid) {
    hf.diagnostics().Warning(kWarnIllegalHotspot);
    return std::nullopt;
  }
  const bool jumps = hf.option(kJumps);
  if (jumps) out.Write((command.code & kJumpBit) ? "\\strike " : "\\ul ");
  // Names from the help file may hold braces and backslashes: escaped, so that the hidden group
  // stays one group. The hidden text does not count into the line feeds, so a null sink (the
  // pre-pass) is spared the name. It goes into the hidden text at once, after the "%" of the
  // hotspots that keep their font.
  std::string hidden;
  if (command.code & kNoFontChangeBit) hidden += '%';
  const size_t name_start = hidden.size();
  if (!out.is_null()) {
    if (const std::optional<std::string_view> known =
            names ? names->Take(target.hash) : std::nullopt) {
      hidden += *known;
    } else {
      hidden += RtfEscaped(hf.topic_services().ContextNameForHash(hf, target.hash));
    }
  }
  const size_t name_length = hidden.size() - name_start;
  const uint8_t flags = target.extended ? target.flags : 0;
  if (flags & kTargetWindowNumber) {
    const uint8_t w = target.window_number;
    if (w == kMainWindow) {
      hidden += ">main";
    } else if (w < hf.window_names.size()) {
      hidden += ">" + RtfEscaped(hf.window_names[w]);
    } else {
      hf.diagnostics().Warning(kWarnIllegalWindow, w);
    }
  }
  // (a null sink gets nothing of the hidden text: only that the hotspot is open counts)
  if (out.is_null()) return std::string();
  if (flags & kTargetWindowName) hidden += ">" + RtfEscaped(target.window_name);
  if (flags & kTargetFileName) hidden += "@" + RtfEscaped(target.file_name);

  std::string reference;
  if (hf.option(kPageLinks) && !target.extended)
    reference = PageReference(hidden.substr(name_start, name_length));
  if (!jumps) hidden.clear();
  hidden += reference;
  return hidden;
}

}  // namespace quorvex
