// The |FONT internal file for tests, written from its format.
//
// Layout written by BuildFontFile:
//   0  header, 8 bytes: face-name count u16, descriptor count u16, face-name table offset u16
//      (always 8), descriptor table offset u16
//   8  the face names, each NUL-padded (or cut) to `face_width` bytes
//   .. `gap` zero bytes, then the descriptors back to back (11 or 42 bytes each)
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quorvex::testsupport {

/// The 11-byte descriptor: attributes (bit 0 bold, 1 italic, 2 underline), size in half points,
/// family (1 modern .. 5 decorative), face-name number u16, foreground and background RGB.
struct OldFontSpec {
  uint8_t attributes = 0;
  uint8_t half_points = 20;
  uint8_t family = 3;
  uint16_t face = 0;
  uint8_t red = 0, green = 0, blue = 0;
  uint8_t back_red = 255, back_green = 255, back_blue = 255;
};
std::vector<uint8_t> OldFontDescriptor(const OldFontSpec& spec);

/// The 42-byte descriptor: face-name number u8 at 0, foreground RGB at 6, background RGB at 9,
/// height i32 at 12, weight i32 at 28, italic u32 at 32, pitch-and-family u8 at 39.
struct NewFontSpec {
  uint8_t face = 0;
  uint8_t red = 0, green = 0, blue = 0;
  int32_t height = -10;
  int32_t weight = 400;
  uint32_t italic = 0;
  uint8_t pitch_family = 0x20;
};
std::vector<uint8_t> NewFontDescriptor(const NewFontSpec& spec);

/// A whole |FONT. `descriptor_count` overrides the count in the header (-1: the real count).
std::vector<uint8_t> BuildFontFile(const std::vector<std::string>& faces, size_t face_width,
                                   const std::vector<std::vector<uint8_t>>& descriptors,
                                   size_t gap = 0, int descriptor_count = -1);

}  // namespace quorvex::testsupport
