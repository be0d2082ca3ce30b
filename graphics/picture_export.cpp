#include "graphics/picture_export.h"

#include <array>
#include <limits>

#include "core/decompress.h"

namespace quorvex {

namespace {

constexpr uint16_t kBitmapMagic = 0x4D42;  // "BM"
/// Pels per metre are 40 x dots per inch (a metre is 39.37 inches).
constexpr uint32_t kPelsPerDpi = 40;
/// The resolution taken for a bitmap without one when it is embedded in the RTF.
constexpr uint32_t kEmbeddedDefaultDpi = 81;
/// Placeable metafiles of pictures: one unit is a tenth of a millimetre.
constexpr uint16_t kUnitsPerInch = 254;
constexpr uint16_t kHundredthsPerUnit = 10;

/// The black-and-white palette of a monochrome device-dependent bitmap: a 0 bit is black.
constexpr std::array<uint8_t, 8> kMonochromePalette = {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0};

void PutU16(std::string& s, uint16_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>(v >> 8);
}
void PutU32(std::string& s, uint32_t v) {
  for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void PutBytes(std::string& s, Bytes b) {
  s.append(reinterpret_cast<const char*>(b.data()), b.size());
}

bool ValidBitCount(uint16_t bits) {
  return bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
}

/// Bytes of one pixel row of `width` pixels, padded to `align` bytes; 64 bits do not overflow
/// for any width and bit count a header can hold.
uint64_t RowBytes(uint32_t width, uint16_t bits, uint64_t align) {
  return (uint64_t{width} * bits + 8 * align - 1) / (8 * align) * align;
}

/// Creates `name` in `folder` with `bytes`; warning 31 when it cannot be created. Returns the
/// name the file has (or would have had).
std::string WritePictureFile(HelpFile& hf, OutputDir& folder, const std::string& name,
                             std::string_view bytes) {
  std::unique_ptr<OutputSink> sink = folder.CreateBinary(name);
  if (!sink) {
    hf.diagnostics().Warning(kTextCantCreate, name);
    return OutputDir::SafeName(name);
  }
  sink->Write(bytes);
  sink->Close();
  return sink->name();
}

/// The pixel rows of a device-dependent bitmap (top row first, each padded to 16 bits) as the
/// rows of a device-independent one (bottom row first, padded to 32 bits). `rows` holds at
/// least height rows.
std::string DdbRowsAsDib(const std::vector<uint8_t>& rows, const BitmapPictureHeader& h) {
  const size_t from = static_cast<size_t>(RowBytes(h.width, h.bit_count, 2));
  const size_t to = static_cast<size_t>(RowBytes(h.width, h.bit_count, 4));
  std::string out(to * h.height, '\0');
  for (size_t y = 0; y < h.height; ++y) {
    const size_t source = (h.height - 1 - y) * from;
    out.replace(y * to, from, reinterpret_cast<const char*>(rows.data()) + source, from);
  }
  return out;
}

}  // namespace

std::optional<std::vector<uint8_t>> UnpackPicture(Bytes packed, Packing packing, size_t limit) {
  auto bounded_rle = [limit](Bytes in) -> std::optional<std::vector<uint8_t>> {
    std::vector<uint8_t> out = DecodeRleToVector(in, limit + 1);
    if (out.size() > limit) return std::nullopt;
    return out;
  };
  auto bounded_lz77 = [limit](Bytes in) -> std::optional<std::vector<uint8_t>> {
    if (Lz77DecodedSize(in) > limit) return std::nullopt;
    return DecompressLz77ToVector(in);
  };
  switch (packing) {
    case Packing::kNone:
      if (packed.size() > limit) return std::nullopt;
      return std::vector<uint8_t>(packed.begin(), packed.end());
    case Packing::kRunLength:
      return bounded_rle(packed);
    case Packing::kLz77:
      return bounded_lz77(packed);
    case Packing::kLz77RunLength: {
      std::optional<std::vector<uint8_t>> lz = bounded_lz77(packed);
      if (!lz) return std::nullopt;
      return bounded_rle(Bytes(lz->data(), lz->size()));
    }
  }
  return std::nullopt;
}

WrittenName WriteBmpPicture(HelpFile& hf, OutputDir& folder, ImageType type,
                            const BitmapPictureHeader& h, Bytes palette, Bytes packed, int index,
                            std::string_view name_base) {
  Diagnostics& diag = hf.diagnostics();
  const std::string name = std::string(name_base) + (h.colors_important == 1 ? "T" : "") +
                           std::to_string(index) + ".bmp";
  // Compressed numbers hold at most 2^31 - 1, so the sides fit the signed fields of the file.
  if (h.width == 0 || h.height == 0 || !ValidBitCount(h.bit_count)) {
    diag.Warning(kWarnPictureSize, index, name_base, h.width, h.height, h.bit_count);
    return std::nullopt;
  }
  std::optional<std::vector<uint8_t>> unpacked = UnpackPicture(packed, type.packing);
  if (!unpacked) {
    diag.Warning(kWarnPictureUnpacked, index, name_base, kMaxUnpackedPicture);
    return std::nullopt;
  }

  std::string pixels;
  Bytes colours = palette;
  if (type.picture == kPictureDdb) {
    const bool known_colours = h.bit_count == 1 || h.bit_count == 24 || h.colors_used > 0;
    if (h.planes != 1 || h.bit_count == 16 || h.bit_count == 32 || !known_colours) {
      diag.Warning(kWarnPictureDdbFormat, index, name_base, h.planes, h.bit_count);
      return std::nullopt;
    }
    const uint64_t needed = RowBytes(h.width, h.bit_count, 2) * h.height;
    if (unpacked->size() < needed) {
      diag.Warning(kWarnPicturePixelsShort, index, name_base, unpacked->size(), needed);
      return std::nullopt;
    }
    pixels = DdbRowsAsDib(*unpacked, h);
    if (h.bit_count == 1 && h.colors_used == 0) colours = Bytes(kMonochromePalette);
  } else {
    // Help compilers store every row of a device-independent bitmap: less is damage, and a
    // bitmap file whose sides its data cannot fill would mislead every reader of it.
    const uint64_t needed = RowBytes(h.width, h.bit_count, 4) * h.height;
    if (unpacked->size() < needed) {
      diag.Warning(kWarnPicturePixelsShort, index, name_base, unpacked->size(), needed);
      return std::nullopt;
    }
    pixels.assign(reinterpret_cast<const char*>(unpacked->data()), unpacked->size());
  }
  const uint32_t entries = static_cast<uint32_t>(colours.size() / 4);

  uint32_t dpi = h.xdpi;
  if (dpi == 0 && hf.option(kBmpInRtf)) dpi = kEmbeddedDefaultDpi;
  const uint32_t pels = dpi * kPelsPerDpi;  // wraps as the 32-bit field does

  const size_t offset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + colours.size();
  std::string file;
  file.reserve(offset + pixels.size());
  PutU16(file, kBitmapMagic);
  PutU32(file, static_cast<uint32_t>(offset + pixels.size()));
  PutU32(file, 0);  // two reserved words
  PutU32(file, static_cast<uint32_t>(offset));
  PutU32(file, kBitmapInfoHeaderSize);
  PutU32(file, h.width);
  PutU32(file, h.height);
  PutU16(file, 1);  // planes
  PutU16(file, h.bit_count);
  PutU32(file, 0);  // no compression
  PutU32(file, static_cast<uint32_t>(pixels.size()));
  PutU32(file, pels);
  PutU32(file, pels);
  PutU32(file, entries);
  PutU32(file, 0);  // all colours important
  PutBytes(file, colours);
  file += pixels;
  return WritePictureFile(hf, folder, name, file);
}

std::string WritePlaceableHeader(const MetafilePictureHeader& h) {
  const uint16_t right = h.width / kHundredthsPerUnit;
  const uint16_t bottom = h.height / kHundredthsPerUnit;
  const uint16_t words[10] = {static_cast<uint16_t>(kPlaceableKey & 0xFFFF),
                              static_cast<uint16_t>(kPlaceableKey >> 16),
                              0,  // handle
                              0,  // left
                              0,  // top
                              right,
                              bottom,
                              kUnitsPerInch,
                              0,  // reserved, two words
                              0};
  std::string out;
  uint16_t checksum = 0;
  for (uint16_t w : words) {
    PutU16(out, w);
    checksum ^= w;
  }
  PutU16(out, checksum);
  return out;
}

WrittenName WriteWmfPicture(HelpFile& hf, OutputDir& folder, ImageType type,
                            const MetafilePictureHeader& h, Bytes packed, int index,
                            std::string_view name_base) {
  // Created under the name that is recorded, with the upper-case extension that tells the RTF
  // writer it is a metafile.
  const std::string name = std::string(name_base) + std::to_string(index) + ".WMF";
  std::optional<std::vector<uint8_t>> records = UnpackPicture(packed, type.packing);
  if (!records) {
    hf.diagnostics().Warning(kWarnPictureUnpacked, index, name_base, kMaxUnpackedPicture);
    return std::nullopt;
  }
  std::string file = WritePlaceableHeader(h);
  PutBytes(file, Bytes(records->data(), records->size()));
  return WritePictureFile(hf, folder, name, file);
}

std::string CopyContainerAsShg(HelpFile& hf, OutputDir& folder, Bytes container,
                               std::string_view name_base) {
  const std::string name = std::string(name_base) + ".SHG";
  return WritePictureFile(
      hf, folder, name,
      std::string_view(reinterpret_cast<const char*>(container.data()), container.size()));
}

}  // namespace quorvex
