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
  const uint32_t off = uint32_t(54 + pal.size()), size = uint32_t(pixels.size());
  ByteBuilder b;
  b.u16(0x4D42).u32(off + size).u32(0).u32(off);               // "BM", size, reserved, offset
  b.u32(40).i32(w).i32(h).u16(1).u16(bits).u32(0).u32(size);   // sides, planes, bits, pixels
  b.u32(pels).u32(pels).u32(uint32_t(pal.size() / 4)).u32(0);  // pels per metre, colours
  return Str(b.bytes(pal).bytes(pixels).take());
}
// Placeable header of a 12700 x 2540 picture: right 1270, bottom 254, 254 units per inch.
const std::string kPlaceable = Str({0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0,    0xF6,
                                    0x04, 0xFE, 0,    0xFE, 0, 0, 0, 0, 0, 0xE7, 0x53});
// A metafile: the header (in memory, 9 words, version 3, 19 words, no objects, largest record 7
// words), Rectangle(0, 0, 100, 50), the end record.
const std::vector<uint8_t> kRecords = {
    1, 0, 9, 0, 0,    3,    19, 0, 0,   0, 0, 0, 7, 0, 0, 0, 0, 0,  // header
    7, 0, 0, 0, 0x1B, 0x04, 50, 0, 100, 0, 0, 0, 0, 0,              // rectangle
    3, 0, 0, 0, 0,    0};                                           // end
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
  // packing, ColorsImportant, options, Xdpi, the name, the pels per metre written
  using Case = std::tuple<uint8_t, uint32_t, ConversionOptions, uint32_t, std::string, uint32_t>;
  for (const auto& [packing, important, options, xdpi, name, pels] :
       {Case{0, 0, 0, 96, "bm30.bmp", 3840}, Case{1, 1, 0, 96, "bm3T0.bmp", 3840},
        Case{2, 2, 0, 0, "bm30.bmp", 0}, Case{3, 0, kBmpInRtf, 0, "bm30.bmp", 3240}}) {
    Reset();
    BitmapSpec spec = Bitmap4(packing);
    spec.colors_important = important;
    spec.xdpi = xdpi;
    EXPECT_EQ(Extract(PictureContainer({BitmapPicture(spec)}), options), name);
    EXPECT_EQ(Files(), Names{name});
    EXPECT_EQ(File(name), Bmp(10, 2, 4, pels, kPalette16, kPixels)) << int(packing);
    EXPECT_EQ(File(name).size(), 134u);
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

TEST_F(Pictures, ContainersIntoFilesAndNames) {
  const auto bmp = BitmapPicture(Bitmap4()), hot = BitmapPicture(Bitmap4(2, kHotspots));
  const auto wmf_hot = MetafilePicture({.records = kRecords, .hotspots = kHotspots});
  const Names idh = {"IDH_A", "Other", "Beep()"}, shg = {"bm3.SHG"};
  // The files written (the last is the name returned), warnings, the context names collected.
  using Case = std::tuple<const char*, std::vector<uint8_t>, ConversionOptions, Names,
                          std::vector<int>, Names>;
  const Case cases[] = {
      {"no pictures", PictureContainer({}), 0, shg, {}, {}},
      {"invalid magic", PictureContainer({bmp}, "XY"), 0, shg, {32}, {}},
      {"metafile packed with method 3", PictureContainer({{0x08, 0x03}}), 0, shg, {33}, {}},
      {"hotspots kept in .SHG", PictureContainer({hot}), 0, shg, {}, idh},
      {"hotspots with NoShg", PictureContainer({hot}), kNoShg, {"bm30.bmp"}, {}, idh},
      {"three resolutions",
       PictureContainer({bmp, bmp, hot}, "lP"),
       kNoShg,
       {"bm30.bmp", "bm31.bmp", "bm32.bmp"},
       {},
       idh},
      // The name is the last picture written, not a metafile that was not.
      {"metafile with hotspots after a bitmap",
       PictureContainer({bmp, wmf_hot}),
       0,
       {"bm30.bmp"},
       {},
       idh},
      {"hotspots cut",
       Cut(PictureContainer({hot}), 8),
       kNoShg,
       {"bm30.bmp"},
       {327},
       {"IDH_A", "Other"}},
  };
  for (const auto& [what, container, options, files, warnings, known] : cases) {
    SCOPED_TRACE(what);
    Reset();
    EXPECT_EQ(Extract(container, options), files.back());
    EXPECT_EQ(Files(), files);
    EXPECT_EQ(Ids(), warnings);
    EXPECT_EQ(Known(), known);
    if (files == shg) {
      EXPECT_EQ(File("bm3.SHG"), Str(container)) << "copied byte for byte";
    }
  }
  Reset();
  Extract(PictureContainer({bmp}, "XY"));
  Extract(PictureContainer({{0x08, 0x03}}));
  EXPECT_EQ(diag_.warnings.at(0).text, "Invalid .SHG or .MRB file! Type: XY");
  EXPECT_EQ(diag_.warnings.at(1).text, "Unknown sfImageType value 0x308 in file bm3.SHG.");
}

TEST_F(Pictures, DamagedPicturesAreSkippedAndTheContainerKept) {
  auto bad = [](auto change) {
    BitmapSpec s = Bitmap4();
    change(s);
    return PictureContainer({BitmapPicture(s)});
  };
  using Case = std::tuple<const char*, std::vector<uint8_t>, std::vector<int>>;
  const Case cases[] = {
      {"offset past the end", ByteBuilder().text("lp").u16(1).u32(900).take(), {320}},
      // Room for two offsets: the second is read from the first picture (0x308, not handled).
      {"count past the end",
       ByteBuilder().text("lp").u16(3).u32(8).u16(0x0308).u16(0).take(),
       {326, 33, 320}},
      {"header cut", PictureContainer({{6, 0, 0xC0}}), {321}},
      {"palette past the data", bad([](auto& s) { s.colors_used = 0x7FFFFFF0; }), {322}},
      {"data past the container", bad([](auto& s) { s.compressed_size = 0x7FFFFFF0; }), {323}},
      {"width 0", bad([](auto& s) { s.width = 0; }), {324}},
      {"3 bits per pixel", bad([](auto& s) { s.bit_count = 3; }), {324}},
      {"device-dependent, 4 planes", bad([](auto& s) { s.type = 5, s.planes = 4; }), {330}},
      {"device-dependent, cut short", bad([](auto& s) { s.type = 5, s.height = 9; }), {331}},
  };
  for (const auto& [what, container, warnings] : cases) {
    SCOPED_TRACE(what);
    Reset();
    EXPECT_EQ(Extract(container), "bm3.SHG");
    EXPECT_EQ(Files(), Names{"bm3.SHG"});
    EXPECT_EQ(Ids(), warnings);
  }
}

TEST_F(Pictures, HotspotKindsAndTheMacroArea) {
  // Extended hotspots keep window and file names in the macro area, by offset.
  const std::vector<uint8_t> files = ByteBuilder().u8(4).u32(0).cstr("x.hlp").take();
  using Case = std::tuple<const char*, std::vector<uint8_t>, bool, Names>;
  const Case cases[] = {
      {"extended kinds",
       HotspotBlock({{0x04EF, "a", "Jump@x.hlp"}, {0x00EA, "b", "Pop>w"}}, files),
       true,
       {"Jump", "Pop"}},
      {"unknown kind skipped",
       HotspotBlock({{0x00E4, "a", "Odd"}, {0x00E3, "b", "K"}}),
       true,
       {"K"}},
      {"unknown kind, macro area size wrong",
       HotspotBlock({{0x00E4, "a", "Odd"}, {0x00E3, "b", "K"}}, {}, 999),
       true,
       {}},
      {"macros counted when the size is wrong",
       HotspotBlock({{0x04CC, "", "M()"}, {0x00E2, "b", "K"}}, {}, 999),
       true,
       {"M()", "K"}},
      {"cut inside a target",
       Cut(HotspotBlock({{0x00E3, "a", "First"}, {0x00E3, "b", "Next"}}), 3),
       false,
       {"First"}},
  };
  for (const auto& [what, block, complete, known] : cases) {
    SCOPED_TRACE(what);
    Reset();
    EXPECT_EQ(ReadHotspotBlock(hf_, ByteReader(Bytes(block))), complete);
    EXPECT_EQ(Known(), known);
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
  using Size = std::tuple<int32_t, int32_t, uint32_t, std::string>;
  for (const auto& [w, h, pels, head] :
       {Size{300, 150, 3780, "\\picw7936\\pich3968\n"}, Size{300, 150, 0, "\\picw7812\\pich3906\n"},
        Size{30000, 1, 3780, "\\picw793650\\pich26\n"}}) {
    const std::vector<uint8_t> pixels(size_t((w * 3 + 3) / 4 * 4) * size_t(h));
    const std::string rtf =
        Rtf(put("s.bmp", Bmp(w, h, 24, pels, {}, pixels)), 'c', false, kForPrint | kBmpInRtf);
    EXPECT_EQ(rtf.substr(17, head.size()), head);
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
