#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "core/format.h"
#include "core/rtf_escape.h"
#include "graphics/picture_export.h"
#include "graphics/pictures.h"

namespace quorvex {

namespace {

constexpr size_t kHexBytesPerLine = 32;
/// Hundredths of a millimetre per inch, the unit of picw and pich.
constexpr int64_t kHundredthsPerInch = 2540;
/// picw and pich of an embedded bitmap are width x 100000 / pels per metre.
constexpr int64_t kHundredthsPerMetre = 100000;
/// The pels per metre taken for a bitmap that states none (96 dots per inch).
constexpr int64_t kDefaultPelsPerMetre = 3840;
/// Metafile coordinates are signed 16-bit: wider bitmaps cannot be drawn by one.
constexpr int32_t kMaxMetafileSide = 32767;

// The metafile around an embedded bitmap: header, three records that set the coordinates, one
// stretch-DIB record, the end record. Sizes are in 16-bit words.
constexpr uint16_t kMetafileHeaderWords = 9;
constexpr uint16_t kMetafileVersion = 0x0300;
constexpr uint16_t kSetMapMode = 0x0103;
constexpr uint16_t kMapModeAnisotropic = 8;
constexpr uint16_t kSetWindowOrg = 0x020B;
constexpr uint16_t kSetWindowExt = 0x020C;
constexpr uint16_t kStretchDib = 0x0F43;
constexpr uint32_t kSourceCopy = 0x00CC0020;
/// The words of the stretch-DIB record before the bitmap: size, function, raster operation,
/// colour usage and eight coordinates.
constexpr uint64_t kStretchDibHeadWords = 14;
/// Header 9, the three small records 4 + 5 + 5, the end record 3.
constexpr uint64_t kFixedMetafileWords = 26;
/// The end record (3 words, function 0) and eight zero bytes.
constexpr std::string_view kMetafileEnd = "0300000000000000000000000000";

void PutU16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
Bytes AsBytes(std::string_view s) {
  return Bytes(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

/// a x b / c rounded to the nearest integer (halves away from zero); -1 when c is 0.
int64_t MulDiv(int64_t a, int64_t b, int64_t c) {
  if (c == 0) return -1;
  const int64_t p = a * b;
  const int64_t q = (std::llabs(p) + std::llabs(c) / 2) / std::llabs(c);
  return (p < 0) != (c < 0) ? -q : q;
}

/// RTF numbers are 32-bit.
long long Clamp32(int64_t v) {
  if (v > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (v < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return v;
}

/// A metafile written by WriteWmfPicture, embedded. False when it is too short to be one.
bool EmbedMetafile(OutputSink& rtf, std::string_view file) {
  if (file.size() < kPlaceableHeaderSize) return false;
  ByteReader r(AsBytes(file));
  r.skip(6);  // key, handle
  const int16_t left = r.i16(), top = r.i16(), right = r.i16(), bottom = r.i16();
  const uint16_t units = r.u16();
  rtf.Write(FormatText("{\\pict\\wmetafile8\\picw%d\\pich%d\n",
                       {Clamp32(MulDiv(int64_t{right} - left, kHundredthsPerInch, units)),
                        Clamp32(MulDiv(int64_t{bottom} - top, kHundredthsPerInch, units))}));
  WriteHexLines(rtf, AsBytes(file.substr(kPlaceableHeaderSize)));
  rtf.Write("}");
  return true;
}

/// A bitmap file written by WriteBmpPicture, embedded as a metafile that draws it. False when
/// the file cannot be drawn that way (too short, sides beyond metafile coordinates, sizes that
/// do not fit the metafile's 32-bit fields, or pixel data missing).
bool EmbedBitmap(OutputSink& rtf, std::string_view file) {
  constexpr size_t kHeaders = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
  if (file.size() < kHeaders) return false;
  ByteReader r(AsBytes(file));
  r.seek(kBitmapFileHeaderSize + 4);
  const int32_t width = r.i32(), height = r.i32();
  r.u16();  // planes
  const uint16_t bits = r.u16();
  r.u32();  // compression
  const uint32_t stated_image = r.u32();
  const int32_t x_pels = r.i32(), y_pels = r.i32();
  if (width <= 0 || height <= 0 || width > kMaxMetafileSide || height > kMaxMetafileSide)
    return false;

  const uint64_t image = stated_image != 0 ? stated_image
                                           : (uint64_t{bits} * static_cast<uint64_t>(width) + 31) /
                                                 32 * 4 * uint64_t(height);
  const uint64_t palette = bits <= 8 ? uint64_t{4} << bits : 0;
  // The bitmap is dumped from its palette on: the palette of 2^bits entries that the metafile
  // expects, which a bitmap with fewer colours lacks (zeros stand in for it), and the pixels.
  // An odd count is padded, so that the records after it stay on 16-bit boundaries.
  const uint64_t dump = (palette + image + 1) & ~uint64_t{1};
  const uint64_t have = file.size() - kHeaders;
  const uint64_t record = (dump + kBitmapInfoHeaderSize) / 2 + kStretchDibHeadWords;
  if (record + kFixedMetafileWords > std::numeric_limits<uint32_t>::max()) return false;
  if (dump > have + palette + 1) return false;

  const int64_t x = x_pels > 0 ? x_pels : kDefaultPelsPerMetre;
  const int64_t y = y_pels > 0 ? y_pels : kDefaultPelsPerMetre;
  rtf.Write(FormatText(
      "{\\pict\\wmetafile8\\picw%ld\\pich%ld\n",
      {Clamp32(width * kHundredthsPerMetre / x), Clamp32(height * kHundredthsPerMetre / y)}));
  const uint16_t w = static_cast<uint16_t>(width), h = static_cast<uint16_t>(height);
  std::string part;
  auto emit = [&] {
    WriteHexLines(rtf, AsBytes(part));
    part.clear();
  };
  PutU16(part, 1);  // in memory
  PutU16(part, kMetafileHeaderWords);
  PutU16(part, kMetafileVersion);
  PutU32(part, static_cast<uint32_t>(record + kFixedMetafileWords));
  PutU16(part, 0);  // objects
  PutU32(part, static_cast<uint32_t>(record));
  PutU16(part, 0);  // parameters
  emit();
  PutU32(part, 4);
  PutU16(part, kSetMapMode);
  PutU16(part, kMapModeAnisotropic);
  emit();
  PutU32(part, 5);
  PutU16(part, kSetWindowOrg);
  PutU16(part, 0);
  PutU16(part, 0);
  emit();
  PutU32(part, 5);
  PutU16(part, kSetWindowExt);
  PutU16(part, h);
  PutU16(part, w);
  emit();
  PutU32(part, static_cast<uint32_t>(record));
  PutU16(part, kStretchDib);
  PutU32(part, kSourceCopy);
  PutU16(part, 0);  // colours are RGB values
  for (uint16_t v : {h, w, uint16_t{0}, uint16_t{0}, h, w, uint16_t{0}, uint16_t{0}})
    PutU16(part, v);
  emit();
  part.assign(file.substr(kBitmapFileHeaderSize, kBitmapInfoHeaderSize));
  if (stated_image == 0) {
    std::string size;
    PutU32(size, static_cast<uint32_t>(image));
    part.replace(20, 4, size);
  }
  emit();
  std::string bitmap(file.substr(kHeaders, static_cast<size_t>(std::min(dump, have))));
  bitmap.resize(static_cast<size_t>(dump), '\0');
  WriteHexLines(rtf, AsBytes(bitmap));
  rtf.Write(kMetafileEnd);
  rtf.Write("}");
  return true;
}

}  // namespace

void WriteHexLines(OutputSink& out, Bytes bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line;
  for (size_t at = 0; at < bytes.size(); at += kHexBytesPerLine) {
    const Bytes chunk = bytes.subspan(at, std::min(kHexBytesPerLine, bytes.size() - at));
    line.clear();
    for (uint8_t b : chunk) {
      line += kDigits[b >> 4];
      line += kDigits[b & 0x0F];
    }
    line += '\n';
    out.Write(line);
  }
}

void WriteRtfPicture(HelpFile& hf, OutputSink& rtf, const ExtractedPicture& picture, char alignment,
                     bool stored) {
  const std::string& name = picture.name;
  const size_t dot = name.rfind('.');
  const char kind = dot == std::string::npos || dot + 1 >= name.size() ? '\0' : name[dot + 1];

  if (hf.option(kBmpInRtf) && kind != 'S' && picture.folder) {
    if (std::optional<std::string> file = picture.folder->Read(name)) {
      if (kind == 'W' ? EmbedMetafile(rtf, *file) : EmbedBitmap(rtf, *file)) return;
    }
  }

  // A file in the TEMP folder is named by its path; the others lie beside the RTF.
  std::string shown = name;
  if (hf.session && picture.folder && picture.folder == hf.session->temp_folder &&
      picture.folder != &hf.session->output)
    shown = picture.folder->PathOf(name).string();
  shown = RtfEscaped(shown);

  if (!hf.option(kForPrint)) {
    const char* infix = stored ? "wd" : name.find('T') != std::string::npos ? "t" : "";
    rtf.Write(FormatText("\\{bm%c%s %s\\}", {alignment, infix, shown}));
    return;
  }
  const std::string field = "{\\field {\\*\\fldinst import " + shown + " \\* Mergeformat}}";
  switch (alignment) {
    case 'c':
      rtf.Write(field);
      break;
    case 'l':
      rtf.Write("{\\pvpara " + field + "\\par}");
      break;
    case 'r':
      rtf.Write("{\\pvpara\\posxr" + field + "\\par}");
      break;
    default:
      break;
  }
}

}  // namespace quorvex
