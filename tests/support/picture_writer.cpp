#include "tests/support/picture_writer.h"

#include "tests/support/topic_writer.h"

namespace quorvex::testsupport {

namespace {

ByteBuilder& ULong(ByteBuilder& b, uint32_t v) {
  return v < 0x8000 ? b.u16(uint16_t(2 * v)) : b.u32(2 * v + 1);
}

std::vector<uint8_t> RunLength(const std::vector<uint8_t>& d) {
  ByteBuilder out;
  auto run_at = [&](size_t i) {
    size_t n = 1;
    while (i + n < d.size() && n < 0x7F && d[i + n] == d[i]) ++n;
    return n;
  };
  for (size_t i = 0, n; i < d.size(); i += n) {
    if ((n = run_at(i)) >= 3) {
      out.u8(uint8_t(n)).u8(d[i]);
      continue;
    }
    n = 0;
    while (i + n < d.size() && n < 0x7F && run_at(i + n) < 3) ++n;
    out.u8(uint8_t(0x80 + n)).bytes(std::span(d).subspan(i, n));
  }
  return out.take();
}

// The picture after its type and packing: the numbers, the two offsets, the data.
std::vector<uint8_t> Picture(uint8_t type, uint8_t packing, const ByteBuilder& numbers,
                             const std::vector<uint8_t>& palette,
                             const std::vector<uint8_t>& packed,
                             const std::vector<uint8_t>& hotspots) {
  const auto data_at = uint32_t(2 + numbers.size() + 8 + palette.size());
  ByteBuilder b;
  b.u8(type).u8(packing).bytes(numbers.data()).u32(data_at);
  b.u32(hotspots.empty() ? 0 : data_at + uint32_t(packed.size()));
  return b.bytes(palette).bytes(packed).bytes(hotspots).take();
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
  ULong(ULong(n, s.xdpi), s.xdpi).bytes(EncodeUnsignedShort(s.planes));
  n.bytes(EncodeUnsignedShort(s.bit_count));
  for (uint32_t v : {s.width, s.height, s.colors_used.value_or(uint32_t(s.palette.size() / 4)),
                     s.colors_important, s.compressed_size.value_or(uint32_t(packed.size())),
                     uint32_t(s.hotspots.size())})
    ULong(n, v);
  return Picture(s.type, s.packing, n, s.palette, packed, s.hotspots);
}

std::vector<uint8_t> MetafilePicture(const MetafileSpec& s) {
  const std::vector<uint8_t> packed = PackPictureData(s.records, s.packing);
  ByteBuilder n;
  n.u8(0x10).u16(s.width).u16(s.height);
  for (size_t v : {s.records.size(), packed.size(), s.hotspots.size()}) ULong(n, uint32_t(v));
  return Picture(8, s.packing, n, {}, packed, s.hotspots);
}

std::vector<uint8_t> PictureContainer(const std::vector<std::vector<uint8_t>>& pictures,
                                      std::string_view magic) {
  ByteBuilder b;
  b.text(magic).u16(uint16_t(pictures.size()));
  auto at = uint32_t(4 + 4 * pictures.size());
  for (const auto& p : pictures) b.u32(at), at += uint32_t(p.size());
  for (const auto& p : pictures) b.bytes(p);
  return b.take();
}

}  // namespace quorvex::testsupport
