#include "core/fonts.h"

#include <algorithm>
#include <optional>

#include "core/help_file.h"

namespace quorvex {

namespace {

// |FONT header: number of face names, number of descriptors, face-name table offset (not
// used), descriptor table offset.
constexpr size_t kFontHeaderSize = 8;
constexpr size_t kFaceNameWide = 32;
constexpr size_t kFaceNameNarrow = 20;
/// Face names are 32 bytes wide when each takes more than this many bytes of the table.
constexpr uint32_t kNarrowFaceLimit = 20;
constexpr size_t kNewDescriptorSize = 42;
constexpr size_t kOldDescriptorSize = 11;
/// Descriptors are the 42-byte form when each takes more than this many bytes.
constexpr long kOldDescriptorLimit = 11;

// Fields of the 11-byte descriptor.
constexpr size_t kOldAttributes = 0;
constexpr size_t kOldHalfPoints = 1;
constexpr size_t kOldFamily = 2;
constexpr size_t kOldFaceName = 3;
constexpr size_t kOldColour = 5;
constexpr uint8_t kOldBold = 0x01;
constexpr uint8_t kOldItalic = 0x02;
constexpr uint8_t kOldUnderline = 0x04;

// Fields of the 42-byte descriptor.
constexpr size_t kNewFaceName = 0;
constexpr size_t kNewColour = 6;
constexpr size_t kNewHeight = 12;
constexpr size_t kNewWeight = 28;
constexpr size_t kNewItalic = 32;
constexpr size_t kNewCharset = 35;
constexpr size_t kNewPitchFamily = 39;
/// Weights above this are bold.
constexpr int32_t kBoldWeight = 500;

/// The face used for a descriptor whose face name |FONT does not hold.
constexpr const char* kDefaultFaceName = "Arial";

/// A descriptor as stored: the face is still a number.
struct StoredDescriptor {
  FontDescriptor font;
  uint8_t face = 0;
};

StoredDescriptor ReadOldDescriptor(ByteReader r) {
  StoredDescriptor d;
  r.seek(kOldAttributes);
  const uint8_t attributes = r.u8();
  d.font.bold = attributes & kOldBold;
  d.font.italic = attributes & kOldItalic;
  d.font.underline = attributes & kOldUnderline;
  r.seek(kOldHalfPoints);
  d.font.half_points = r.u8();
  r.seek(kOldFamily);
  d.font.family = r.u8();
  // The face-name number is 16 bits wide, but only its low byte selects the name.
  r.seek(kOldFaceName);
  d.face = r.u8();
  r.seek(kOldColour);
  for (uint8_t& c : d.font.colour) c = r.u8();
  return d;
}

uint8_t FamilyFromPitchAndFamily(uint8_t pitch_family) {
  switch (pitch_family) {
    case 0x10:
      return kFamilyRoman;
    case 0x20:
      return kFamilySwiss;
    case 0x30:
      return kFamilyModern;
    case 0x40:
      return kFamilyScript;
    case 0x50:
      return kFamilyDecorative;
    default:
      return kFamilyModern;
  }
}

StoredDescriptor ReadNewDescriptor(ByteReader r) {
  StoredDescriptor d;
  r.seek(kNewFaceName);
  d.face = r.u8();
  r.seek(kNewColour);
  for (uint8_t& c : d.font.colour) c = r.u8();
  r.seek(kNewHeight);
  // Height is negative for a character height; the size in half points keeps 8 bits.
  d.font.half_points = static_cast<uint8_t>(-2 * static_cast<int64_t>(r.i32()));
  r.seek(kNewWeight);
  d.font.bold = r.i32() > kBoldWeight;
  r.seek(kNewItalic);
  d.font.italic = r.u32() != 0;
  r.seek(kNewCharset);
  d.font.charset = r.u8();
  r.seek(kNewPitchFamily);
  d.font.family = FamilyFromPitchAndFamily(r.u8());
  return d;
}

/// What the |FONT header says.
struct FontFile {
  ByteReader data;
  bool usable = false;  // the header is there
  uint16_t face_count = 0;
  uint16_t descriptor_count = 0;  // as the header gives it
  size_t descriptor_offset = 0;
  size_t face_width = kFaceNameNarrow;
  size_t descriptor_width = kOldDescriptorSize;
  size_t readable_descriptors = 0;  // descriptors that lie wholly inside |FONT
};

FontFile ReadFontFile(const HelpFile& hf) {
  FontFile f;
  f.data = hf.InternalData(Slot::kFont);
  if (!hf.slot(Slot::kFont).present() || f.data.size() < kFontHeaderSize) return f;
  ByteReader header = f.data;
  f.face_count = header.u16();
  f.descriptor_count = header.u16();
  header.u16();  // face-name table offset: the table is taken to end at the descriptors
  f.descriptor_offset = header.u16();
  f.usable = true;

  if (f.face_count > 0) {
    // Computed in unsigned 32 bits as the face-name table's size per name.
    const uint32_t per_name =
        (static_cast<uint32_t>(f.descriptor_offset) - kFontHeaderSize) / f.face_count;
    f.face_width = per_name > kNarrowFaceLimit ? kFaceNameWide : kFaceNameNarrow;
  }
  if (f.descriptor_count > 0) {
    const long per_descriptor =
        (static_cast<long>(hf.slot(Slot::kFont).size) - static_cast<long>(f.descriptor_offset)) /
        static_cast<long>(f.descriptor_count);
    f.descriptor_width =
        per_descriptor > kOldDescriptorLimit ? kNewDescriptorSize : kOldDescriptorSize;
  }
  const size_t room = f.data.size() > f.descriptor_offset ? f.data.size() - f.descriptor_offset : 0;
  f.readable_descriptors = std::min<size_t>(f.descriptor_count, room / f.descriptor_width);
  return f;
}

/// Face name number `k`, cut at its last ","; none when |FONT does not hold it.
std::optional<std::string> ReadFaceName(const FontFile& f, size_t k) {
  if (k >= f.face_count) return std::nullopt;
  const long long position = static_cast<long long>(f.descriptor_offset) -
                             static_cast<long long>((f.face_count - k) * f.face_width);
  if (position < 0 || !f.data.contains(static_cast<size_t>(position), f.face_width)) {
    return std::nullopt;
  }
  ByteReader field = f.data.sub(static_cast<size_t>(position), f.face_width);
  std::string name = field.cstring(f.face_width);
  if (size_t comma = name.rfind(','); comma != std::string::npos) name.resize(comma);
  return name;
}

}  // namespace

FontModel ReadFontModel(const HelpFile& hf, bool report) {
  NullDiagnostics quiet;
  Diagnostics& warn = report ? hf.diagnostics() : quiet;
  const FontFile f = ReadFontFile(hf);
  if (!f.usable) {
    warn.Warning(kWarnFontMissing);
  } else if (f.descriptor_count == 0) {
    warn.Warning(kWarnFontNoDescriptors);
  } else if (f.readable_descriptors < f.descriptor_count) {
    warn.Warning(kWarnFontCut, f.readable_descriptors, f.descriptor_count);
  }

  FontModel model;
  model.new_descriptors = f.usable && f.descriptor_width == kNewDescriptorSize;
  model.fonts.reserve(f.readable_descriptors);
  bool face_warned = false;
  for (size_t i = 0; i < f.readable_descriptors; ++i) {
    ByteReader r = f.data.sub(f.descriptor_offset + i * f.descriptor_width, f.descriptor_width);
    StoredDescriptor d =
        f.descriptor_width == kNewDescriptorSize ? ReadNewDescriptor(r) : ReadOldDescriptor(r);
    std::optional<std::string> face = ReadFaceName(f, d.face);
    if (!face) {
      if (!face_warned) warn.Warning(kWarnFontFaceMissing, i, d.face, f.face_count);
      face_warned = true;
      face = kDefaultFaceName;
    }
    d.font.face = std::move(*face);
    // White text would vanish on the word processor's white page.
    if (d.font.colour == std::array<uint8_t, 3>{255, 255, 255}) d.font.colour = {0, 0, 0};
    model.fonts.push_back(std::move(d.font));
  }
  return model;
}

}  // namespace quorvex
