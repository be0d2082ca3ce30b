#include "tests/support/font_writer.h"

#include "tests/support/byte_builder.h"

namespace quorvex::testsupport {

std::vector<uint8_t> OldFontDescriptor(const OldFontSpec& s) {
  ByteBuilder b;
  b.u8(s.attributes).u8(s.half_points).u8(s.family).u16(s.face);
  b.u8(s.red).u8(s.green).u8(s.blue).u8(s.back_red).u8(s.back_green).u8(s.back_blue);
  return b.take();
}

std::vector<uint8_t> NewFontDescriptor(const NewFontSpec& s) {
  ByteBuilder b;
  b.u8(s.face).zeros(5);                                       // 0: face, 1: not used
  b.u8(s.red).u8(s.green).u8(s.blue).u8(255).u8(255).u8(255);  // 6: foreground, 9: background
  b.i32(s.height).zeros(12);                                   // 12: height, 16: not used
  b.i32(s.weight).u32(s.italic);                               // 28: weight, 32: italic
  b.zeros(3).u8(s.pitch_family).zeros(2);                      // 36: not used, 39, 40
  return b.take();
}

std::vector<uint8_t> BuildFontFile(const std::vector<std::string>& faces, size_t face_width,
                                   const std::vector<std::vector<uint8_t>>& descriptors, size_t gap,
                                   int descriptor_count) {
  constexpr uint16_t kHeaderBytes = 8;
  const size_t descriptor_offset = kHeaderBytes + faces.size() * face_width + gap;
  ByteBuilder b;
  b.u16(static_cast<uint16_t>(faces.size()));
  b.u16(static_cast<uint16_t>(descriptor_count < 0 ? descriptors.size() : descriptor_count));
  b.u16(kHeaderBytes).u16(static_cast<uint16_t>(descriptor_offset));
  for (const std::string& face : faces) b.fixed_text(face, face_width);
  b.zeros(gap);
  for (const std::vector<uint8_t>& d : descriptors) b.bytes(d);
  return b.take();
}

}  // namespace quorvex::testsupport
