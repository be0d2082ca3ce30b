#include "tests/support/picture_writer.h"

#include "tests/support/byte_builder.h"
#include "tests/support/lz77_encoder.h"

namespace quorvex::testsupport {

namespace {

ByteBuilder& UShort(ByteBuilder& b, unsigned v) {
  return v < 0x80 ? b.u8(uint8_t(2 * v)) : b.u16(uint16_t(2 * v + 1));
}
ByteBuilder& ULong(ByteBuilder& b, uint32_t v) {
  return v < 0x8000 ? b.u16(uint16_t(2 * v)) : b.u32(2 * v + 1);
}

std::vector<uint8_t> RunLength(const std::vector<uint8_t>& d) {
  std::vector<uint8_t> out;
  auto run_at = [&](size_t i) {
    size_t n = 1;
    while (i + n < d.size() && n < 0x7F && d[i + n] == d[i]) ++n;
    return n;
  };
  for (size_t i = 0; i < d.size();) {
    if (size_t n = run_at(i); n >= 3) {
      out.insert(out.end(), {uint8_t(n), d[i]});
      i += n;
      continue;
    }
    size_t n = 0;
    while (i + n < d.size() && n < 0x7F && run_at(i + n) < 3) ++n;
    out.push_back(uint8_t(0x80 + n));
    out.insert(out.end(), d.begin() + std::ptrdiff_t(i), d.begin() + std::ptrdiff_t(i + n));
    i += n;
  }
  return out;
}

}  // namespace

std::vector<uint8_t> PackPictureData(const std::vector<uint8_t>& data, uint8_t packing) {
  if (packing == 1) return RunLength(data);
  if (packing == 2) return Lz77Encode(data);
  if (packing == 3) return Lz77Encode(RunLength(data));
  return data;
}

std::vector<uint8_t> HotspotBlock(const std::vector<HotspotSpec>& hotspots,
                                  std::optional<std::vector<uint8_t>> macro_area,
                                  std::optional<uint32_t> stated_size) {
  if (!macro_area) {
    ByteBuilder m;
    for (const HotspotSpec& h : hotspots)
      if (h.kind == 0x00C8 || h.kind == 0x04CC) m.cstr(h.target);
    macro_area = m.take();
  }
  ByteBuilder b;
  b.u8(1).u16(uint16_t(hotspots.size())).u32(stated_size.value_or(uint32_t(macro_area->size())));
  for (const HotspotSpec& h : hotspots) b.u16(h.kind).u8(0).u16(0).u16(0).u16(10).u16(10).u32(7);
  b.bytes(*macro_area);
  for (const HotspotSpec& h : hotspots) b.cstr(h.name).cstr(h.target);
  return b.take();
}

std::vector<uint8_t> BitmapPicture(const BitmapSpec& s) {
  const std::vector<uint8_t> packed = PackPictureData(s.pixels, s.packing);
  ByteBuilder n;
  ULong(n, s.xdpi);
  ULong(n, s.xdpi);
  UShort(n, s.planes);
  UShort(n, s.bit_count);
  ULong(n, s.width);
  ULong(n, s.height);
  ULong(n, s.colors_used.value_or(uint32_t(s.palette.size() / 4)));
  ULong(n, s.colors_important);
  ULong(n, s.compressed_size.value_or(uint32_t(packed.size())));
  ULong(n, uint32_t(s.hotspots.size()));
  const uint32_t data_at = uint32_t(2 + n.size() + 8 + s.palette.size());
  const uint32_t hotspots_at = s.hotspots.empty() ? 0 : data_at + uint32_t(packed.size());
  return ByteBuilder()
      .u8(s.type)
      .u8(s.packing)
      .bytes(n.data())
      .u32(data_at)
      .u32(hotspots_at)
      .bytes(s.palette)
      .bytes(packed)
      .bytes(s.hotspots)
      .take();
}

std::vector<uint8_t> MetafilePicture(const MetafileSpec& s) {
  const std::vector<uint8_t> packed = PackPictureData(s.records, s.packing);
  ByteBuilder n;
  n.u8(0x10).u16(s.width).u16(s.height);
  ULong(n, uint32_t(s.records.size()));
  ULong(n, uint32_t(packed.size()));
  ULong(n, uint32_t(s.hotspots.size()));
  const uint32_t data_at = uint32_t(2 + n.size() + 8);
  const uint32_t hotspots_at = s.hotspots.empty() ? 0 : data_at + uint32_t(packed.size());
  return ByteBuilder()
      .u8(8)
      .u8(s.packing)
      .bytes(n.data())
      .u32(data_at)
      .u32(hotspots_at)
      .bytes(packed)
      .bytes(s.hotspots)
      .take();
}

std::vector<uint8_t> PictureContainer(const std::vector<std::vector<uint8_t>>& pictures,
                                      std::string_view magic) {
  ByteBuilder b;
  b.text(magic).u16(uint16_t(pictures.size()));
  uint32_t at = uint32_t(4 + 4 * pictures.size());
  for (const auto& p : pictures) {
    b.u32(at);
    at += uint32_t(p.size());
  }
  for (const auto& p : pictures) b.bytes(p);
  return b.take();
}

}  // namespace quorvex::testsupport
