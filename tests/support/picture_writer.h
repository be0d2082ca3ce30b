// Picture containers (the .SHG/.MRB format a help file keeps its pictures in) for tests, written
// from the file format.
//
// Container: "lp" or "lP", count N u16, N u32 offsets from its start, the pictures. A picture:
// type u8 (5 device-dependent bitmap, 6 bitmap, 8 metafile), packing u8 (0 none, 1 run-length,
// 2 LZ77, 3 LZ77 of run-length data), then
//   bitmap:   Xdpi, Ydpi (compressed ulong), Planes, BitCount (compressed ushort), Width,
//             Height, ColorsUsed, ColorsImportant, CompressedSize, HotspotSize (compressed
//             ulong), data offset u32, hotspot offset u32; the palette, packed pixels, hotspots.
//   metafile: mapping mode (0x10), Width, Height (u16, 1/100 mm), DecompressedSize,
//             CompressedSize, HotspotSize (compressed ulong), the two offsets; the packed
//             records, the hotspots.
// Compressed ushort: 1 byte 2v (v < 128) or 2 bytes 2v + 1; ulong: 2 bytes 2v (v < 32768) or 4
// bytes 2v + 1. Hotspot block: 1 u8, count u16, macro-area size u32; 15 bytes per hotspot (kind
// u16, 0, the rectangle's four u16, hash u32); the macro area; per hotspot name and target, each
// with a NUL. Run-length: c >= 0x80 copies c - 0x80 bytes, c < 0x80 repeats the next byte c times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex::testsupport {

/// `data` packed by packing method 0 to 3 (run-length: runs of 3 or more repeated).
std::vector<uint8_t> PackPictureData(const std::vector<uint8_t>& data, uint8_t packing);

struct HotspotSpec {
  uint16_t kind = 0x00E3;
  std::string name;
  std::string target;
};
/// The macro area is `macro_area` when given, else the targets of the macro kinds 0x00C8 and
/// 0x04CC; `stated_size` overrides its size in the head.
std::vector<uint8_t> HotspotBlock(const std::vector<HotspotSpec>& hotspots,
                                  std::optional<std::vector<uint8_t>> macro_area = std::nullopt,
                                  std::optional<uint32_t> stated_size = std::nullopt);

struct BitmapSpec {
  uint8_t type = 6;
  uint8_t packing = 0;
  uint32_t xdpi = 96;
  uint16_t planes = 1;
  uint16_t bit_count = 4;
  uint32_t width = 10;
  uint32_t height = 2;
  std::vector<uint8_t> palette = {};  // 4 bytes an entry
  std::optional<uint32_t> colors_used = {};
  uint32_t colors_important = 0;
  std::vector<uint8_t> pixels = {};  // unpacked
  std::optional<uint32_t> compressed_size = {};
  std::vector<uint8_t> hotspots = {};
};
std::vector<uint8_t> BitmapPicture(const BitmapSpec& spec);

struct MetafileSpec {
  uint8_t packing = 0;
  uint16_t width = 12700;
  uint16_t height = 2540;
  std::vector<uint8_t> records = {};
  std::vector<uint8_t> hotspots = {};
};
std::vector<uint8_t> MetafilePicture(const MetafileSpec& spec);

std::vector<uint8_t> PictureContainer(const std::vector<std::vector<uint8_t>>& pictures,
                                      std::string_view magic = "lp");

}  // namespace quorvex::testsupport
