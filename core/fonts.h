// The font model: |FONT decoded once per conversion. The RTF writers make the font table, the
// colour table and the font style table from it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quorvex {

struct HelpFile;

// Font families as the 11-byte descriptor numbers them; other values name no family.
inline constexpr uint8_t kFamilyModern = 1;
inline constexpr uint8_t kFamilyRoman = 2;
inline constexpr uint8_t kFamilySwiss = 3;
inline constexpr uint8_t kFamilyScript = 4;
inline constexpr uint8_t kFamilyDecorative = 5;

/// A font descriptor of either form, reduced to what the output needs.
struct FontDescriptor {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  uint8_t half_points = 0;
  uint8_t family = 0;
  std::string face;                 // "Arial" when |FONT does not hold the face it names
  uint8_t charset = 0;              // the 42-byte descriptor's character set; 0 otherwise
  std::array<uint8_t, 3> colour{};  // red, green, blue; white is made black
};

struct FontModel {
  /// |FONT uses the 42-byte descriptors of HCRTF: paragraph measures are then in twips.
  bool new_descriptors = false;
  /// The descriptors that lie wholly inside |FONT, in order; font number n is fonts[n].
  std::vector<FontDescriptor> fonts;
};

/// Decodes |FONT. A missing or damaged |FONT gives the fonts that can be read (perhaps none)
/// and, when `report`, one warning: no usable |FONT, no descriptors, descriptors cut short, or a
/// face name that is not there.
FontModel ReadFontModel(const HelpFile& hf, bool report = true);

}  // namespace quorvex
