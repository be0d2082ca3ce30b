// The picture files: a bitmap picture becomes a Windows bitmap file, a metafile picture a
// placeable Windows metafile, and a container of which nothing could be converted is copied
// whole into a .SHG file, the form in which the help compiler takes it back.
//
// Bitmap file written (little-endian): the 14-byte file header ("BM", file size, two reserved
// words, offset of the pixels 54 + 4 x palette entries), the 40-byte information header (size
// 40, width, height, planes 1, bit count, compression 0, pixel bytes, pels per metre twice,
// palette entries, 0), the palette, the unpacked pixel rows as stored (bottom row first).
//
// Placeable metafile header (22 bytes) in front of the metafile records: key 0x9AC6CDD7, handle
// 0, left 0, top 0, right width / 10, bottom height / 10, 254 units per inch, reserved 0, and
// the XOR of the ten words before as checksum.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/byte_reader.h"
#include "core/help_file.h"
#include "core/output.h"
#include "graphics/picture_container.h"

namespace quorvex {

/// No picture of a help file unpacks to more than this (a 4096 x 4096 bitmap of 32 bits): more
/// is damage, and unpacking it must not exhaust memory.
inline constexpr size_t kMaxUnpackedPicture = size_t{64} << 20;

inline constexpr size_t kBitmapFileHeaderSize = 14;
inline constexpr size_t kBitmapInfoHeaderSize = 40;
inline constexpr size_t kPlaceableHeaderSize = 22;
inline constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;

/// The bytes `packed` unpacked by `packing`; none when they would exceed `limit` bytes.
std::optional<std::vector<uint8_t>> UnpackPicture(Bytes packed, Packing packing,
                                                  size_t limit = kMaxUnpackedPicture);

/// What a picture writer did: the name to record (none when the picture was not written
/// because its data is unusable; a warning says why).
using WrittenName = std::optional<std::string>;

/// Writes bitmap picture `index` of a container as "<base>[T]<index>.bmp" in `folder` ("T" when
/// colors_important is 1). `palette` holds the picture's palette entries and `packed` its packed
/// pixel rows. Device-dependent bitmaps (one plane of 1, 4, 8 or 24 bits) are written as
/// device-independent ones: rows turned bottom-up and padded to 32 bits, with the black-and-
/// white or 16-colour palette of the display when they carry none. A file that cannot be created
/// gets warning 31 and its name is still returned.
WrittenName WriteBmpPicture(HelpFile& hf, OutputDir& folder, ImageType type,
                            const BitmapPictureHeader& header, Bytes palette, Bytes packed,
                            int index, std::string_view name_base);

/// Writes metafile picture `index` as "<base><index>.WMF": the placeable header, then the
/// unpacked records.
WrittenName WriteWmfPicture(HelpFile& hf, OutputDir& folder, ImageType type,
                            const MetafilePictureHeader& header, Bytes packed, int index,
                            std::string_view name_base);

/// The 22-byte placeable header of a metafile picture.
std::string WritePlaceableHeader(const MetafilePictureHeader& header);

/// Copies `container` byte for byte to "<base>.SHG"; returns the name. A file that cannot be
/// created gets warning 31.
std::string CopyContainerAsShg(HelpFile& hf, OutputDir& folder, Bytes container,
                               std::string_view name_base);

}  // namespace quorvex
