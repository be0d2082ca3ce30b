// Picture containers: the help compiler's segmented-hypergraphic (.SHG) and multiple-resolution
// (.MRB) format, in which a help file keeps every picture.
//
// Layout (little-endian, offsets from the container's first byte):
//   0  2 bytes   magic "lp" (hypergraphic) or "lP" (multiple resolution); both are read alike
//   2  u16       number of pictures N
//   4  N x u32   offset of each picture
// A picture starts with the u16 sfImageType: low byte the picture type (5 device-dependent
// bitmap, 6 device-independent bitmap, 8 metafile), high byte the packing (0 none, 1 run-length,
// 2 LZ77, 3 LZ77 then run-length; metafiles use 0 to 2). Its header follows (below), then the
// palette (bitmaps), the packed data and, when the header says so, the hotspot block.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/byte_reader.h"
#include "core/help_file.h"
#include "core/output.h"

namespace quorvex {

// Picture types: the low byte of sfImageType.
inline constexpr uint8_t kPictureDdb = 5;  // device-dependent bitmap
inline constexpr uint8_t kPictureDib = 6;  // device-independent bitmap
inline constexpr uint8_t kPictureWmf = 8;  // metafile

/// How a picture's data is packed: the high byte of sfImageType.
enum class Packing : uint8_t { kNone = 0, kRunLength = 1, kLz77 = 2, kLz77RunLength = 3 };

/// What an sfImageType word stands for; none for a word that is not handled.
struct ImageType {
  uint8_t picture = 0;  // kPictureDdb, kPictureDib or kPictureWmf
  Packing packing = Packing::kNone;
  bool bitmap() const { return picture != kPictureWmf; }
};
std::optional<ImageType> ClassifyImageType(uint16_t word);

/// Compressed unsigned short: one byte b (bit 0 clear) gives b >> 1; else two bytes, the
/// 16-bit word >> 1.
uint16_t ReadCompressedUShort(ByteReader& r);
/// Compressed unsigned long: a 16-bit word w (bit 0 clear) gives w >> 1; else two words, the
/// 32-bit value >> 1.
uint32_t ReadCompressedULong(ByteReader& r);

/// The header that follows a bitmap's sfImageType (compressed numbers, then two u32).
struct BitmapPictureHeader {
  uint32_t xdpi = 0;  // becomes both pels-per-metre values of the written bitmap
  uint32_t ydpi = 0;  // not used
  uint16_t planes = 0;
  uint16_t bit_count = 0;
  uint32_t width = 0;
  uint32_t height = 0;
  uint32_t colors_used = 0;       // 4-byte palette entries after the header
  uint16_t colors_important = 0;  // 1 marks a transparent bitmap
  uint32_t compressed_size = 0;   // bytes of packed pixel rows after the palette
  uint32_t hotspot_size = 0;      // bytes of the hotspot block after the pixels; 0: none
};
BitmapPictureHeader ReadBitmapPictureHeader(ByteReader& r);

/// The header that follows a metafile's sfImageType.
struct MetafilePictureHeader {
  uint8_t mapping_mode = 0;  // not used
  uint16_t width = 0;        // hundredths of a millimetre
  uint16_t height = 0;
  uint32_t decompressed_size = 0;  // not used
  uint32_t compressed_size = 0;    // bytes of packed metafile records after the header
  uint32_t hotspot_size = 0;
};
MetafilePictureHeader ReadMetafilePictureHeader(ByteReader& r);

/// Walks the container `container`: every convertible picture becomes a .bmp or .wmf file in
/// `folder`, named from `name_base` and its index; the hotspot targets of every picture are
/// added to hf.known_context_names. When no picture was written (an invalid magic, pictures of
/// unknown types only, or hotspot pictures without NoShg), the whole container is copied to
/// "<name_base>.SHG". Returns the name to record for the picture: the last file written, or the
/// .SHG. Damaged pictures are skipped with a warning; nothing is read outside `container`.
ExtractedPicture ExtractPictureContainer(HelpFile& hf, Bytes container, std::string_view name_base,
                                         OutputDir& folder);

/// Reads the hotspot block `block` and adds the context names its hotspots jump to (and the
/// macro texts of macro hotspots) to hf.known_context_names. Returns false when the block ends
/// before its last hotspot name: what came before the cut is still added.
bool ReadHotspotBlock(HelpFile& hf, ByteReader block);

}  // namespace quorvex
