#include "rtf/media.h"

#include <array>
#include <cstdint>

#include "rtf/rtf_text.h"

namespace quorvex {

namespace {

// Menu flags of a media object.
constexpr uint32_t kMciNoMenu = 0x08;
constexpr uint32_t kMciNoPlaybar = 0x02;
// Play flags.
constexpr uint32_t kMciRepeat = 0x01;
constexpr uint32_t kMciPlay = 0x02;
/// Only the low flag bits matter; digits beyond this many cannot change them and would overflow.
constexpr size_t kMaxFlagDigits = 9;

/// The number made of the leading decimal digits of `field` (0 when it starts with none).
uint32_t LeadingNumber(std::string_view field) {
  uint32_t value = 0;
  for (size_t i = 0; i < field.size() && i < kMaxFlagDigits; ++i) {
    if (field[i] < '0' || field[i] > '9') break;
    value = value * 10 + static_cast<uint32_t>(field[i] - '0');
  }
  return value;
}

}  // namespace

void WriteMciObject(HelpFile& hf, OutputSink& out, std::string_view text) {
  // The first three non-empty comma-separated fields; a fourth and later ones are not used.
  std::array<std::string_view, 3> fields;
  size_t found = 0;
  size_t pos = 0;
  while (found < fields.size() && pos < text.size()) {
    size_t comma = text.find(',', pos);
    if (comma == std::string_view::npos) comma = text.size();
    if (comma > pos) fields[found++] = text.substr(pos, comma - pos);
    pos = comma + 1;
  }
  if (found < fields.size()) return;

  out.Write("\\{mci ");
  const uint32_t menu = LeadingNumber(fields[0]);
  if (menu & kMciNoMenu) out.Write(" nomenu");
  if (menu & kMciNoPlaybar) out.Write(" noplaybar");
  const uint32_t play = LeadingNumber(fields[1]);
  if (play & kMciRepeat) out.Write(" repeat");
  if (play & kMciPlay) out.Write(" play");
  std::string_view file = fields[2];
  if (size_t plus = file.find('+'); plus != std::string_view::npos) {
    file = file.substr(plus + 1);
  } else {
    out.Write(" external");
  }
  out.Write(",");
  WriteTextString(hf, out, file, kCategoryVerbatim);
  out.Write("\\}");
}

}  // namespace quorvex
