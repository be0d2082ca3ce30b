#include "rtf/document_frame.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <system_error>
#include <vector>

#include "core/system_file.h"
#include "rtf/rtf_text.h"

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
constexpr size_t kNewPitchFamily = 39;
/// Weights above this are bold.
constexpr int32_t kBoldWeight = 500;

// Font families as the 11-byte descriptor numbers them.
constexpr uint8_t kFamilyModern = 1;
constexpr uint8_t kFamilyRoman = 2;
constexpr uint8_t kFamilySwiss = 3;
constexpr uint8_t kFamilyScript = 4;
constexpr uint8_t kFamilyDecorative = 5;

/// The font written when |FONT gives none, so that the "\f0" of the stylesheet exists.
constexpr std::string_view kDefaultFontEntry = "\\f0\n\\fswiss Arial";
/// The face used for a descriptor whose face name |FONT does not hold.
constexpr std::string_view kDefaultFaceName = "Arial";
constexpr std::string_view kTemplateName = "QUORVEX.DOT";

constexpr std::string_view kStylesheet =
    "{\\stylesheet{\\f0\\fs20\\lang1031 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28\\lang1031\\kerning28 \\sbasedon0\\snext0 heading 1;}\n"
    "{\\s2\\sb240\\sa60\\keepn \\b\\i\\f0\\lang1031 \\sbasedon0\\snext0 heading 2;}\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}\n"
    "{\\s15\\fi-200\\li200\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 1;}\n"
    "{\\s16\\fi-200\\li400\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 2;}\n"
    "{\\s24\\sb360\\sa240\\brdrt\\brdrth\\brdrw15 \\b\\i\\f0\\fs26\\lang1031 \\sbasedon0\\snext15 "
    "index heading;}\n"
    "{\\s25\\sb360\\tqr\\tx9072 \\b\\caps\\f0\\lang1031 \\sbasedon0\\snext0 toc 1;}\n"
    "{\\s26\\li200\\sb240\\tqr\\tx9072 \\b\\f0\\fs20\\lang1031 \\sbasedon0\\snext0 toc 2;}\n"
    "}";

/// A font descriptor of either form, reduced to what the RTF needs.
struct FontDescriptor {
  bool bold = false;
  bool italic = false;
  bool underline = false;
  uint8_t half_points = 0;
  uint8_t family = 0;  // 1 modern to 5 decorative; others have no family name
  uint8_t face = 0;
  std::array<uint8_t, 3> colour{};  // red, green, blue
};

FontDescriptor ReadOldDescriptor(ByteReader r) {
  FontDescriptor d;
  r.seek(kOldAttributes);
  const uint8_t attributes = r.u8();
  d.bold = attributes & kOldBold;
  d.italic = attributes & kOldItalic;
  d.underline = attributes & kOldUnderline;
  r.seek(kOldHalfPoints);
  d.half_points = r.u8();
  r.seek(kOldFamily);
  d.family = r.u8();
  // The face-name number is 16 bits wide, but only its low byte selects the name.
  r.seek(kOldFaceName);
  d.face = r.u8();
  r.seek(kOldColour);
  for (uint8_t& c : d.colour) c = r.u8();
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

FontDescriptor ReadNewDescriptor(ByteReader r) {
  FontDescriptor d;
  r.seek(kNewFaceName);
  d.face = r.u8();
  r.seek(kNewColour);
  for (uint8_t& c : d.colour) c = r.u8();
  r.seek(kNewHeight);
  // Height is negative for a character height; the size in half points keeps 8 bits.
  d.half_points = static_cast<uint8_t>(-2 * static_cast<int64_t>(r.i32()));
  r.seek(kNewWeight);
  d.bold = r.i32() > kBoldWeight;
  r.seek(kNewItalic);
  d.italic = r.u32() != 0;
  r.seek(kNewPitchFamily);
  d.family = FamilyFromPitchAndFamily(r.u8());
  return d;
}

std::string_view FamilyName(uint8_t family) {
  switch (family) {
    case kFamilyModern:
      return "modern";
    case kFamilyRoman:
      return "roman";
    case kFamilySwiss:
      return "swiss";
    case kFamilyScript:
      return "script";
    case kFamilyDecorative:
      return "decor";
    default:
      return " ";
  }
}

std::string FontStyle(size_t index, const FontDescriptor& d) {
  std::string s = "\\f" + std::to_string(index) + "\\cf" + std::to_string(index) + "\\fs" +
                  std::to_string(d.half_points);
  s += d.bold ? "\\b" : "\\b0";
  s += d.italic ? "\\i" : "\\i0";
  s += d.underline ? "\\ul" : "\\ul0";
  return s;
}

/// What |FONT holds, read and checked once per call.
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

/// Face name number `k`, cut at its last ","; empty when |FONT does not hold it.
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

std::string TemplatePath() {
  std::error_code ec;
  std::string path = std::filesystem::canonical("/proc/self/exe", ec).string();
  if (ec) return std::string(kTemplateName);
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return path;
  return path.substr(0, slash + 1) + std::string(kTemplateName);
}

void WriteFontTable(HelpFile& hf, OutputSink* out) {
  const bool building = !hf.font_styles_built;
  Diagnostics* warn = building ? &hf.diagnostics() : nullptr;
  const FontFile f = ReadFontFile(hf);

  if (!f.usable) {
    if (warn) warn->Warning(kWarnFontMissing);
  } else if (f.descriptor_count == 0) {
    if (warn) warn->Warning(kWarnFontNoDescriptors);
  } else if (f.readable_descriptors < f.descriptor_count && warn) {
    warn->Warning(kWarnFontCut, f.readable_descriptors, f.descriptor_count);
  }
  if (f.usable && f.descriptor_width == kNewDescriptorSize) hf.new_font_descriptors = true;

  std::vector<FontDescriptor> descriptors;
  descriptors.reserve(f.readable_descriptors);
  std::string font_entries;
  bool face_warned = false;
  for (size_t i = 0; i < f.readable_descriptors; ++i) {
    ByteReader r = f.data.sub(f.descriptor_offset + i * f.descriptor_width, f.descriptor_width);
    FontDescriptor d =
        f.descriptor_width == kNewDescriptorSize ? ReadNewDescriptor(r) : ReadOldDescriptor(r);
    std::optional<std::string> face = ReadFaceName(f, d.face);
    if (!face) {
      if (warn && !face_warned) warn->Warning(kWarnFontFaceMissing, i, d.face, f.face_count);
      face_warned = true;
      face = std::string(kDefaultFaceName);
    }
    if (out) {
      font_entries += "\\f" + std::to_string(i) + "\n\\f";
      font_entries += FamilyName(d.family);
      font_entries += ' ';
      font_entries += RtfProtected(*face);
    }
    // White text would vanish on the word processor's white page.
    if (d.colour == std::array<uint8_t, 3>{255, 255, 255}) d.colour = {0, 0, 0};
    descriptors.push_back(d);
  }

  if (building) {
    hf.font_styles.clear();
    for (size_t i = 0; i < descriptors.size(); ++i) {
      hf.font_styles.push_back(FontStyle(i, descriptors[i]));
    }
    hf.font_styles_built = true;
  }
  if (!out) return;

  out->Write("{\\fonttbl{");
  out->Write(descriptors.empty() ? kDefaultFontEntry : std::string_view(font_entries));
  out->Write("}}\n{\\colortbl\n");
  if (descriptors.empty()) out->Write("\\red0\\green0\\blue0;\n");
  for (const FontDescriptor& d : descriptors) {
    WriteControlWord(*out, "\\red", d.colour[0]);
    WriteControlWord(*out, "\\green", d.colour[1]);
    WriteControlWord(*out, "\\blue", d.colour[2]);
    out->Write(";\n");
  }
  out->Write("}\n ");
  out->Write(LoadText(kTextPaperSize));
  out->Write(" ");
  if (hf.options & (kPageLinks | kToc | kIndex)) {
    out->Write("{\\*\\template ");
    WriteTextString(hf, *out, TemplatePath(), kCategoryVerbatim);
    out->Write("}");
  }
}

void BeginRtfFile(HelpFile& hf, OutputSink& project, OutputSink& rtf, std::string_view rtf_name) {
  rtf.Write("{\\rtf1\\ansi\\deff0\\deflang1031 ");
  WriteFontTable(hf, &rtf);
  rtf.Write(kStylesheet);
  if (!hf.option(kForPrint)) {
    project.Write(rtf_name);
    project.Write("\n");
    return;
  }
  rtf.Write(
      "{\\header\\pard\\plain\\s243\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252\\tqr\\tx8504"
      "\\f0\\fs20\\lang1031 ");
  rtf.Write(RtfProtected(rtf_name));
  rtf.Write("\\fs15\\tab ");
  std::optional<std::string> title = ReadSystemStrings(hf).title;
  if (!title || title->empty()) {
    // Without a title the header names the help file itself.
    size_t sep = hf.path.find_last_of("/\\");
    title = sep == std::string::npos ? hf.path : hf.path.substr(sep + 1);
  }
  WriteTextString(hf, rtf, *title, kCategoryPageHeader);
  rtf.Write("\\fs20\\tab ");
  rtf.Write(LoadText(kTextPageOf));
  rtf.Write(" \\par}\n");
}

void EndRtfFile(HelpFile& /*hf*/, OutputSink& rtf) {
  rtf.Write("}");
  rtf.Close();
}

}  // namespace quorvex
