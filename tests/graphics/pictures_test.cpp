// Picture containers into picture files and RTF: every packing, the file names, hotspots,
// several resolutions, damaged containers, and the RTF forms byte for byte.
#include "graphics/pictures.h"

#include <gtest/gtest.h>

#include "graphics/picture_container.h"
#include "graphics/picture_export.h"
#include "tests/support/byte_builder.h"
#include "tests/support/picture_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using Names = std::vector<std::string>;

std::string Str(const std::vector<uint8_t>& v) {
  return std::string(v.begin(), v.end());
}
std::vector<uint8_t> Cut(std::vector<uint8_t> v, size_t n) {
  v.resize(v.size() - n);
  return v;
}

/// A bitmap file as it must come out: file header, information header, palette, pixels.
std::string Bmp(int32_t w, int32_t h, uint16_t bits, uint32_t pels, const std::vector<uint8_t>& pal,
                const std::vector<uint8_t>& pixels) {
  const uint32_t off = uint32_t(54 + pal.size());
  return Str(ByteBuilder()
                 .u16(0x4D42)
                 .u32(off + uint32_t(pixels.size()))
                 .u32(0)
                 .u32(off)
                 .u32(40)
                 .i32(w)
                 .i32(h)
                 .u16(1)
                 .u16(bits)
                 .u32(0)
                 .u32(uint32_t(pixels.size()))
                 .u32(pels)
                 .u32(pels)
                 .u32(uint32_t(pal.size() / 4))
                 .u32(0)
                 .bytes(pal)
                 .bytes(pixels)
                 .take());
}
// Placeable header of a 12700 x 2540 picture: right 1270, bottom 254, 254 units per inch.
const std::string kPlaceable = Str({0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0,    0xF6,
                                    0x04, 0xFE, 0,    0xFE, 0, 0, 0, 0, 0, 0xE7, 0x53});
// A metafile: header (9 words), Rectangle(0, 0, 100, 50), end record.
const std::vector<uint8_t> kRecords = ByteBuilder()
                                          .u16(1)
                                          .u16(9)
                                          .u16(0x0300)
                                          .u32(19)
                                          .u16(0)
                                          .u32(7)
                                          .u16(0)
                                          .u32(7)
                                          .u16(0x041B)
                                          .u16(50)
                                          .u16(100)
                                          .u16(0)
                                          .u16(0)
                                          .u32(3)
                                          .u16(0)
                                          .take();
// A 4-bit bitmap of 10 x 2 pixels: 16 colours, rows of 5 bytes padded to 8.
const std::vector<uint8_t> kPalette16 = [] {
  ByteBuilder b;
  for (int i = 0; i < 16; ++i) b.u8(uint8_t(i * 16)).u8(uint8_t(i * 16)).u8(uint8_t(i * 16)).u8(0);
  return b.take();
}();
const std::vector<uint8_t> kPixels = {0x01, 0x23, 0x45, 0x67, 0x89, 0, 0, 0,
                                      0x77, 0x77, 0x77, 0x77, 0x77, 0, 0, 0};
BitmapSpec Bitmap4(uint8_t packing = 0, std::vector<uint8_t> hotspots = {}) {
  return {.packing = packing, .palette = kPalette16, .pixels = kPixels, .hotspots = hotspots};
}
const std::vector<uint8_t> kHotspots =
    HotspotBlock({{0x00E3, "h1", "IDH_A"}, {0x04E7, "h2", "Other@x.hlp"}, {0x00C8, "", "Beep()"}});

class Pictures : public ::testing::Test {
 protected:
  Pictures() : out_(OutputDir::InMemory()), session_(diag_, *out_) { hf_.session = &session_; }
  Names Files() const {
    Names n;
    for (const auto& [name, bytes] : out_->files()) n.push_back(name);
    return n;
  }
  void Reset() {
    Names names = Files();
    for (const std::string& n : names) out_->Remove(n);
    diag_.warnings.clear();
    hf_.known_context_names = {};
  }
  std::string File(const std::string& name) const { return out_->Read(name).value_or("<none>"); }
  std::vector<int> Ids() const {
    std::vector<int> ids;
    for (const auto& w : diag_.warnings) ids.push_back(w.id);
    return ids;
  }
  Names Known() const {
    Names n;
    for (const auto& e : hf_.known_context_names.entries()) n.push_back(e.name);
    return n;
  }
  std::string Extract(const std::vector<uint8_t>& container, ConversionOptions options = 0) {
    hf_.options = options;
    return ExtractPictureContainer(hf_, container, "bm3", *out_).name;
  }
  std::string Rtf(const ExtractedPicture& p, char align, bool stored, ConversionOptions options) {
    hf_.options = options;
    auto sink = OutputSink::Memory(false);
    WriteRtfPicture(hf_, *sink, p, align, stored);
    return sink->contents();
  }

  RecordingDiagnostics diag_;
  std::unique_ptr<OutputDir> out_;
  ConversionSession session_;
  HelpFile hf_;
};

TEST_F(Pictures, BitmapOfEachPackingAndItsName) {
  struct Case {
    uint8_t packing;
    uint32_t important;
    ConversionOptions options;
    uint32_t xdpi;
    const char* name;
    uint32_t pels;
  };
  for (const Case& c :
       {Case{0, 0, 0, 96, "bm30.bmp", 3840}, Case{1, 1, 0, 96, "bm3T0.bmp", 3840},
        Case{2, 2, 0, 0, "bm30.bmp", 0}, Case{3, 0, kBmpInRtf, 0, "bm30.bmp", 3240}}) {
    SCOPED_TRACE(c.name + std::to_string(c.packing));
    Reset();
    BitmapSpec spec = Bitmap4(c.packing);
    spec.colors_important = c.important;
    spec.xdpi = c.xdpi;
    EXPECT_EQ(Extract(PictureContainer({BitmapPicture(spec)}), c.options), c.name);
    EXPECT_EQ(Files(), Names{c.name});
    const std::string expected = Bmp(10, 2, 4, c.pels, kPalette16, kPixels);
    EXPECT_EQ(expected.size(), 134u);
    EXPECT_EQ(File(c.name), expected);
  }
  EXPECT_TRUE(diag_.warnings.empty());
}

TEST_F(Pictures, MetafileOfEachPackingWithPlaceableHeader) {
  for (uint8_t packing : {0, 1, 2}) {
    EXPECT_EQ(
        Extract(PictureContainer({MetafilePicture({.packing = packing, .records = kRecords})})),
        "bm30.WMF");
    EXPECT_EQ(File("bm30.WMF"), kPlaceable + Str(kRecords));
  }
}

TEST_F(Pictures, DeviceDependentBitmapTurnsIntoBottomUpRowsOf32Bits) {
  // 12 x 5 pixels of one bit, top row first in rows of 16 bits; no palette: black and white.
  const BitmapSpec ddb{.type = 5,
                       .packing = 1,
                       .xdpi = 72,
                       .bit_count = 1,
                       .width = 12,
                       .height = 5,
                       .pixels = {0xC0, 0x30, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0xF0}};
  EXPECT_EQ(Extract(PictureContainer({BitmapPicture(ddb)})), "bm30.bmp");
  std::vector<uint8_t> rows;
  for (int i = 0; i < 4; ++i) rows.insert(rows.end(), {0xFF, 0xF0, 0, 0});
  rows.insert(rows.end(), {0xC0, 0x30, 0, 0});
  EXPECT_EQ(File("bm30.bmp"), Bmp(12, 5, 1, 2880, {0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0}, rows));
}

TEST_F(Pictures, ContainersIntoFilesNamesAndWarnings) {
  const auto bmp = BitmapPicture(Bitmap4());
  const auto hot = BitmapPicture(Bitmap4(2, kHotspots));
  auto with = [](BitmapSpec s, auto set) {
    set(s);
    return BitmapPicture(s);
  };
  const Names kIdh = {"IDH_A", "Other", "Beep()"};
  struct Case {
    const char* what;
    std::vector<uint8_t> container;
    ConversionOptions options;
    Names files;
    std::string result;
    std::vector<int> warnings;
    Names known = {};
  };
  const Case cases[] = {
      {"no pictures", PictureContainer({}), 0, {"bm3.SHG"}, "bm3.SHG", {}},
      {"invalid magic", PictureContainer({bmp}, "XY"), 0, {"bm3.SHG"}, "bm3.SHG", {32}},
      {"metafile packed with method 3",
       PictureContainer({ByteBuilder().u16(0x0308).u32(0).take()}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {33}},
      {"hotspots kept in .SHG", PictureContainer({hot}), 0, {"bm3.SHG"}, "bm3.SHG", {}, kIdh},
      {"hotspots with NoShg", PictureContainer({hot}), kNoShg, {"bm30.bmp"}, "bm30.bmp", {}, kIdh},
      {"three resolutions",
       PictureContainer({bmp, bmp, hot}, "lP"),
       kNoShg,
       {"bm30.bmp", "bm31.bmp", "bm32.bmp"},
       "bm32.bmp",
       {},
       kIdh},
      {"metafile with hotspots after a bitmap",
       PictureContainer({bmp, MetafilePicture({.records = kRecords, .hotspots = kHotspots})}),
       0,
       {"bm30.bmp"},
       "bm30.bmp",
       {},
       kIdh},
      {"offset past the end",
       ByteBuilder().text("lp").u16(1).u32(900).take(),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {320}},
      {"count past the end",
       ByteBuilder().text("lp").u16(3).u32(8).u16(0x0308).u16(0).take(),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {326, 33, 320}},
      {"header cut", PictureContainer({{6, 0, 0xC0}}), 0, {"bm3.SHG"}, "bm3.SHG", {321}},
      {"palette past the data",
       PictureContainer({with(Bitmap4(), [](auto& s) { s.colors_used = 0x7FFFFFF0; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {322}},
      {"data past the container",
       PictureContainer({with(Bitmap4(), [](auto& s) { s.compressed_size = 0x7FFFFFF0; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {323}},
      {"width 0",
       PictureContainer({with(Bitmap4(), [](auto& s) { s.width = 0; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {324}},
      {"3 bits per pixel",
       PictureContainer({with(Bitmap4(), [](auto& s) { s.bit_count = 3; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {324}},
      {"device-dependent bitmap of 4 planes",
       PictureContainer(
           {with(Bitmap4(), [](auto& s) { s.type = 5, s.planes = 4, s.palette = {}; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {330}},
      {"device-dependent bitmap cut short",
       PictureContainer({with(Bitmap4(), [](auto& s) { s.type = 5, s.height = 9; })}),
       0,
       {"bm3.SHG"},
       "bm3.SHG",
       {331}},
      {"hotspots cut",
       Cut(PictureContainer({hot}), 8),
       kNoShg,
       {"bm30.bmp"},
       "bm30.bmp",
       {327},
       {"IDH_A", "Other"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    EXPECT_EQ(Extract(c.container, c.options), c.result);
    EXPECT_EQ(Files(), c.files);
    EXPECT_EQ(Ids(), c.warnings);
    EXPECT_EQ(Known(), c.known);
    if (c.result == "bm3.SHG") {
      EXPECT_EQ(File("bm3.SHG"), Str(c.container)) << "copied byte for byte";
    }
  }
  Reset();
  Extract(PictureContainer({bmp}, "XY"));
  Extract(PictureContainer({ByteBuilder().u16(0x0308).take()}));
  EXPECT_EQ(diag_.warnings.at(0).text, "Invalid .SHG or .MRB file! Type: XY");
  EXPECT_EQ(diag_.warnings.at(1).text, "Unknown sfImageType value 0x308 in file bm3.SHG.");
}

TEST_F(Pictures, HotspotKindsAndTheMacroArea) {
  // Extended hotspots keep window and file names in the macro area, by offset.
  const std::vector<uint8_t> files = ByteBuilder().u8(4).u32(0).cstr("x.hlp").take();
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    bool complete;
    Names known;
  };
  const Case cases[] = {
      {"extended kinds",
       HotspotBlock({{0x04EF, "a", "Jump@x.hlp"}, {0x00EA, "b", "Pop>win"}}, files),
       true,
       {"Jump", "Pop"}},
      {"unknown kind skipped",
       HotspotBlock({{0x00E4, "a", "Odd"}, {0x00E3, "b", "Known"}}),
       true,
       {"Known"}},
      {"unknown kind, macro area size wrong",
       HotspotBlock({{0x00E4, "a", "Odd"}, {0x00E3, "b", "K"}}, {}, 999),
       true,
       {}},
      {"macros counted when the size is wrong",
       HotspotBlock({{0x04CC, "", "M()"}, {0x00E2, "b", "K"}}, {}, 999),
       true,
       {"M()", "K"}},
      {"cut inside a target",
       Cut(HotspotBlock({{0x00E3, "a", "First"}, {0x00E3, "b", "Second"}}), 3),
       false,
       {"First"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Reset();
    EXPECT_EQ(ReadHotspotBlock(hf_, ByteReader(Bytes(c.block))), c.complete);
    EXPECT_EQ(Known(), c.known);
  }
}

TEST_F(Pictures, UnpackingIsBoundedAndNamesStayInTheFolder) {
  const std::vector<uint8_t> runs = {0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0};
  EXPECT_FALSE(UnpackPicture(runs, Packing::kRunLength, 100));
  EXPECT_EQ(UnpackPicture(runs, Packing::kRunLength, 508)->size(), 508u);
  hf_.options = kNoShg;
  EXPECT_EQ(
      ExtractPictureContainer(hf_, PictureContainer({BitmapPicture(Bitmap4())}), "../up", *out_)
          .name,
      "up0.bmp");
  EXPECT_EQ(Files(), Names{"up0.bmp"});
  EXPECT_EQ(Ids(), std::vector<int>{kWarnUnsafeName});
}

TEST_F(Pictures, RtfReferencesAndImportFields) {
  const ExtractedPicture shg{"bm1.SHG", out_.get()}, transparent{"bm5T0.bmp", out_.get()};
  EXPECT_EQ(Rtf(shg, 'c', false, 0), "\\{bmc bm1.SHG\\}");
  EXPECT_EQ(Rtf(transparent, 'l', false, 0), "\\{bmlt bm5T0.bmp\\}");
  EXPECT_EQ(Rtf({"bmw2.SHG", out_.get()}, 'r', true, kBmpInRtf), "\\{bmrwd bmw2.SHG\\}");
  const std::string field = "{\\field {\\*\\fldinst import bm1.SHG \\* Mergeformat}}";
  EXPECT_EQ(Rtf(shg, 'c', false, kForPrint | kBmpInRtf), field);
  EXPECT_EQ(Rtf(shg, 'l', false, kForPrint), "{\\pvpara " + field + "\\par}");
  EXPECT_EQ(Rtf(shg, 'r', false, kForPrint), "{\\pvpara\\posxr" + field + "\\par}");
  // A bitmap that cannot be read back is imported instead of embedded.
  EXPECT_EQ(Rtf(transparent, 'c', false, kForPrint | kBmpInRtf),
            "{\\field {\\*\\fldinst import bm5T0.bmp \\* Mergeformat}}");
}

std::string Hex(std::string_view bytes) {
  std::string out;
  for (size_t i = 0; i < bytes.size(); ++i) {
    out += "0123456789ABCDEF"[uint8_t(bytes[i]) >> 4];
    out += "0123456789ABCDEF"[uint8_t(bytes[i]) & 15];
    if (i % 32 == 31 || i + 1 == bytes.size()) out += '\n';
  }
  return out;
}

TEST_F(Pictures, EmbeddedMetafileAndBitmapByteForByte) {
  auto put = [&](const std::string& name, const std::string& bytes) {
    out_->CreateBinary(name)->Write(bytes);
    return ExtractedPicture{name, out_.get()};
  };
  EXPECT_EQ(Rtf(put("bm0.WMF", kPlaceable + Str(kRecords)), 'c', false, kForPrint | kBmpInRtf),
            "{\\pict\\wmetafile8\\picw12700\\pich2540\n" + Hex(Str(kRecords)) + "}");

  // 8 bits, 10 x 3, biSizeImage 0 (becomes 36), 256 colours: record 564 words, file 590 words.
  std::vector<uint8_t> palette(1024, 0x11), pixels(36, 0x22);
  std::string bmp = Bmp(10, 3, 8, 3780, palette, pixels);
  bmp.replace(34, 4, std::string(4, '\0'));
  std::string info = bmp.substr(14, 40);
  info.replace(20, 4, Str({36, 0, 0, 0}));
  EXPECT_EQ(Rtf(put("bm1.bmp", bmp), 'c', false, kForPrint | kBmpInRtf),
            "{\\pict\\wmetafile8\\picw264\\pich79\n"
            "0100090000034E0200000000340200000000\n0400000003010800\n050000000B0200000000\n"
            "050000000C0203000A00\n34020000430F2000CC00000003000A000000000003000A0000000000\n" +
                Hex(info) + Hex(bmp.substr(54)) + "0300000000000000000000000000}");

  // picw and pich in hundredths of a millimetre; 3840 pels per metre when none is stated.
  struct Size {
    int32_t w, h;
    uint32_t pels;
    const char* head;
  };
  for (const Size& s :
       {Size{300, 150, 3780, "\\picw7936\\pich3968\n"}, Size{300, 150, 0, "\\picw7812\\pich3906\n"},
        Size{30000, 1, 3780, "\\picw793650\\pich26\n"}}) {
    const std::string rtf =
        Rtf(put("s.bmp", Bmp(s.w, s.h, 24, s.pels, {},
                             std::vector<uint8_t>(size_t((s.w * 3 + 3) / 4 * 4) * size_t(s.h)))),
            'c', false, kForPrint | kBmpInRtf);
    EXPECT_EQ(rtf.substr(17, std::string_view(s.head).size()), s.head);
  }
  // Sides beyond the 16-bit coordinates of a metafile, a bit count whose sizes overflow the
  // metafile's 32-bit fields, pixels missing: imported, not embedded.
  for (const std::string& bmp :
       {Bmp(40000, 1, 1, 0, {0, 0, 0, 0, 255, 255, 255, 0}, std::vector<uint8_t>(5000)),
        Bmp(32767, 32767, 65535, 0, {}, {}), Bmp(100, 100, 24, 0, {}, {})})
    EXPECT_EQ(Rtf(put("w.bmp", bmp), 'c', false, kForPrint | kBmpInRtf).substr(0, 30),
              "{\\field {\\*\\fldinst import w.b");
}

}  // namespace
}  // namespace quorvex
