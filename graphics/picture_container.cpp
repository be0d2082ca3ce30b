#include "graphics/picture_container.h"

#include <vector>

#include "graphics/picture_export.h"

namespace quorvex {

namespace {

constexpr size_t kOffsetSize = 4;
constexpr size_t kImageTypeSize = 2;

// The hotspot block: a 7-byte head (version u8, hotspot count u16, size of the macro area u32),
// one 15-byte record per hotspot (kind u16, one more byte, the rectangle as four u16, and a
// hash or, for the extended kinds, an offset into the macro area), the macro area, then for
// each hotspot its name and its target, both NUL-terminated.
constexpr size_t kHotspotRecordSize = 15;
constexpr size_t kHotspotKindSize = 2;

// Hotspot kinds: the low byte is the command byte of a hotspot in topic text, the high byte 0
// for a visible hotspot and 4 for an invisible one.
constexpr uint16_t kHotspotMacro = 0x00C8;
constexpr uint16_t kHotspotMacroInvisible = 0x04CC;

enum class HotspotKind { kMacro, kJump, kUnknown };

HotspotKind ClassifyHotspot(uint16_t kind) {
  if (kind == kHotspotMacro || kind == kHotspotMacroInvisible) return HotspotKind::kMacro;
  const uint8_t command = static_cast<uint8_t>(kind);
  const uint8_t visibility = static_cast<uint8_t>(kind >> 8);
  // Jumps and popups: 0x00E2, 0x00E3, 0x04E6, 0x04E7, and the extended forms (with a window or
  // a file) 0xEA to 0xEF in both visibilities.
  if (visibility == 0x00 && (command == 0xE2 || command == 0xE3)) return HotspotKind::kJump;
  if (visibility == 0x04 && (command == 0xE6 || command == 0xE7)) return HotspotKind::kJump;
  if ((visibility == 0x00 || visibility == 0x04) && command >= 0xEA && command <= 0xEF)
    return HotspotKind::kJump;
  return HotspotKind::kUnknown;
}

/// The context string of a jump target: a target may name a window after ">" or another help
/// file after "@", neither of which can be part of a context string.
std::string_view ContextOfTarget(std::string_view target) {
  return target.substr(0, target.find_first_of(">@"));
}

/// A character of a container magic as it may stand in a message.
char Printable(uint8_t c) {
  return c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
}

/// One picture of a container, located.
struct PictureWalk {
  PictureWalk(HelpFile& h, OutputDir& f, std::string_view base)
      : hf(h), folder(f), name_base(base) {}
  HelpFile& hf;
  OutputDir& folder;
  std::string_view name_base;
  bool converted = false;
  std::string result;
  std::vector<std::string> written;

  void Written(const WrittenName& name) {
    if (!name) return;
    converted = true;
    result = *name;
    written.push_back(*name);
  }
  /// The hotspot block after the picture data, at the reader's position.
  void Hotspots(ByteReader& p, uint32_t size, int index) {
    if (size == 0) return;
    const bool complete = size <= p.remaining();
    const size_t there = complete ? size : p.remaining();
    const bool read = ReadHotspotBlock(hf, p.sub(p.position(), there));
    if (!complete || !read) hf.diagnostics().Warning(kWarnHotspotsCut, index, name_base);
  }
};

}  // namespace

std::optional<ImageType> ClassifyImageType(uint16_t word) {
  const uint8_t picture = static_cast<uint8_t>(word);
  const uint8_t packing = static_cast<uint8_t>(word >> 8);
  if ((picture == kPictureDib || picture == kPictureDdb) && packing <= 3)
    return ImageType{picture, static_cast<Packing>(packing)};
  if (picture == kPictureWmf && packing <= 2)
    return ImageType{picture, static_cast<Packing>(packing)};
  return std::nullopt;
}

uint16_t ReadCompressedUShort(ByteReader& r) {
  const uint8_t b0 = r.u8();
  if ((b0 & 1) == 0) return b0 >> 1;
  const uint8_t b1 = r.u8();
  return static_cast<uint16_t>((b0 | (b1 << 8)) >> 1);
}

uint32_t ReadCompressedULong(ByteReader& r) {
  const uint16_t w0 = r.u16();
  if ((w0 & 1) == 0) return w0 >> 1;
  const uint16_t w1 = r.u16();
  return (static_cast<uint32_t>(w0) | (static_cast<uint32_t>(w1) << 16)) >> 1;
}

BitmapPictureHeader ReadBitmapPictureHeader(ByteReader& r) {
  BitmapPictureHeader h;
  h.xdpi = ReadCompressedULong(r);
  h.ydpi = ReadCompressedULong(r);
  h.planes = ReadCompressedUShort(r);
  h.bit_count = ReadCompressedUShort(r);
  h.width = ReadCompressedULong(r);
  h.height = ReadCompressedULong(r);
  h.colors_used = ReadCompressedULong(r);
  h.colors_important = static_cast<uint16_t>(ReadCompressedULong(r));
  h.compressed_size = ReadCompressedULong(r);
  h.hotspot_size = ReadCompressedULong(r);
  r.u32();  // offset of the packed data: the data follows the palette
  r.u32();  // offset of the hotspot block: it follows the data
  return h;
}

MetafilePictureHeader ReadMetafilePictureHeader(ByteReader& r) {
  MetafilePictureHeader h;
  // The mapping mode is a compressed unsigned short that is always written in its 1-byte form.
  h.mapping_mode = r.u8();
  h.width = r.u16();
  h.height = r.u16();
  h.decompressed_size = ReadCompressedULong(r);
  h.compressed_size = ReadCompressedULong(r);
  h.hotspot_size = ReadCompressedULong(r);
  r.u32();  // offset of the packed data
  r.u32();  // offset of the hotspot block
  return h;
}

bool ReadHotspotBlock(HelpFile& hf, ByteReader block) {
  block.u8();  // version, 1
  const uint16_t count = block.u16();
  const uint32_t macro_area = block.u32();
  if (!block.ok()) return false;
  if (size_t{count} * kHotspotRecordSize > block.remaining()) return false;

  std::vector<HotspotKind> kinds(count);
  size_t macros = 0;
  bool unknown = false;
  for (HotspotKind& kind : kinds) {
    kind = ClassifyHotspot(block.u16());
    block.skip(kHotspotRecordSize - kHotspotKindSize);
    if (kind == HotspotKind::kMacro) ++macros;
    if (kind == HotspotKind::kUnknown) unknown = true;
  }

  // The macro area holds one string per macro hotspot, and the window and file names that
  // extended hotspots refer to. Its stated size skips it whatever it holds; only when that size
  // does not fit is it read as one string per macro hotspot, which an unknown kind (perhaps one
  // with a string of its own) would leave uncertain.
  if (macro_area <= block.remaining()) {
    block.skip(macro_area);
  } else if (unknown) {
    return true;
  } else {
    for (size_t i = 0; i < macros; ++i) block.cstring();
  }

  for (HotspotKind kind : kinds) {
    block.cstring();  // the hotspot's own name
    const std::string target = block.cstring();
    if (!block.ok()) return false;  // a string cut by the end of the block is not a name
    std::string_view name = target;
    if (kind == HotspotKind::kJump) name = ContextOfTarget(name);
    if (kind != HotspotKind::kUnknown && !name.empty()) hf.known_context_names.Add(name);
  }
  return true;
}

ExtractedPicture ExtractPictureContainer(HelpFile& hf, Bytes container, std::string_view name_base,
                                         OutputDir& folder) {
  Diagnostics& diag = hf.diagnostics();
  PictureWalk walk(hf, folder, name_base);
  ByteReader r(container);
  const uint8_t m0 = r.u8(), m1 = r.u8();
  const uint16_t declared = r.u16();

  if (!r.ok() || m0 != 'l' || (m1 != 'p' && m1 != 'P')) {
    diag.Warning(kWarnInvalidShg, Printable(m0), Printable(m1));
  } else {
    size_t count = declared;
    if (count * kOffsetSize > r.remaining()) {
      count = r.remaining() / kOffsetSize;
      diag.Warning(kWarnPictureCount, name_base, declared, count);
    }
    std::vector<uint32_t> offsets(count);
    for (uint32_t& offset : offsets) offset = r.u32();

    for (size_t i = 0; i < count && !hf.OutputBudgetSpent(); ++i) {
      const int index = static_cast<int>(i);
      if (offsets[i] >= container.size() || container.size() - offsets[i] < kImageTypeSize) {
        diag.Warning(kWarnPictureOutside, index, name_base);
        continue;
      }
      ByteReader p = r.sub(offsets[i], container.size() - offsets[i]);
      const uint16_t word = p.u16();
      const std::optional<ImageType> type = ClassifyImageType(word);
      if (!type) {
        diag.Warning(kWarnUnknownImageType, word, name_base);
        continue;
      }
      // A picture with hotspots is kept in the .SHG copy unless NoShg asks for plain pictures.
      const bool with_noshg = hf.option(kNoShg);
      if (type->bitmap()) {
        const BitmapPictureHeader h = ReadBitmapPictureHeader(p);
        if (!p.ok()) {
          diag.Warning(kWarnPictureHeaderCut, index, name_base);
          continue;
        }
        if (uint64_t{h.colors_used} * 4 > p.remaining()) {
          diag.Warning(kWarnPicturePalette, index, name_base, h.colors_used);
          continue;
        }
        const Bytes palette = p.bytes(size_t{h.colors_used} * 4);
        if (h.compressed_size > p.remaining()) {
          diag.Warning(kWarnPictureData, index, name_base, h.compressed_size);
          continue;
        }
        const Bytes packed = p.bytes(h.compressed_size);
        if (with_noshg || h.hotspot_size == 0)
          walk.Written(WriteBmpPicture(hf, folder, *type, h, palette, packed, index, name_base));
        walk.Hotspots(p, h.hotspot_size, index);
      } else {
        const MetafilePictureHeader h = ReadMetafilePictureHeader(p);
        if (!p.ok()) {
          diag.Warning(kWarnPictureHeaderCut, index, name_base);
          continue;
        }
        if (h.compressed_size > p.remaining()) {
          diag.Warning(kWarnPictureData, index, name_base, h.compressed_size);
          continue;
        }
        const Bytes packed = p.bytes(h.compressed_size);
        // The result names the last picture written: a metafile that was not written does not
        // take the name from a sibling that was.
        if (with_noshg || h.hotspot_size == 0)
          walk.Written(WriteWmfPicture(hf, folder, *type, h, packed, index, name_base));
        walk.Hotspots(p, h.hotspot_size, index);
      }
    }
  }

  if (!walk.converted) walk.result = CopyContainerAsShg(hf, folder, container, name_base);
  // Embedded pictures use only the file recorded; the other resolutions of a container would be
  // left behind when the recorded files are deleted at the end.
  if (hf.option(kBmpInRtf)) {
    for (const std::string& name : walk.written)
      if (name != walk.result) folder.Remove(name);
  }
  return ExtractedPicture{walk.result, &folder};
}

}  // namespace quorvex
