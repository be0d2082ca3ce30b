// Picture containers (the .SHG/.MRB format a help file keeps its pictures in), built from the
// file format for test inputs.
//
// Container: "lp" or "lP", u16 count N, N u32 offsets from its start, the pictures. A picture:
// u8 type (5 device-dependent bitmap, 6 bitmap, 8 metafile), u8 packing (0 none, 1 run-length,
// 2 LZ77, 3 LZ77 of run-length data), then
//   bitmap:   Xdpi, Ydpi (compressed ulong), Planes, BitCount (compressed ushort), Width,
//             Height, ColorsUsed, ColorsImportant, CompressedSize, HotspotSize (compressed
//             ulong), u32 data offset, u32 hotspot offset; the palette, packed pixels, hotspots.
//   metafile: mapping mode (byte 0x10), Width, Height (u16, 1/100 mm), DecompressedSize,
//             CompressedSize, HotspotSize (compressed ulong), the two u32 offsets; the packed
//             records, the hotspots.
// Compressed ushort: 1 byte 2v (v < 128) or 2 bytes 2v + 1; ulong: 2 bytes 2v (v < 32768) or 4
// bytes 2v + 1. Hotspot block: u8 1, u16 count, u32 macro-area size; 15 bytes per hotspot (u16
// kind, 0, four u16 of the rectangle, u32 hash); the macro area; per hotspot name and target,
// NUL-terminated. Run-length: c >= 0x80 copies c - 0x80 bytes, c < 0x80 repeats the next byte.
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
