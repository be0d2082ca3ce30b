// Picture containers into picture files and RTF, then whole conversions with pictures listed,
// referred to, stored and embedded. (The corpus check validates every picture file of the corpus.)
#include "graphics/pictures.h"

#include <gtest/gtest.h>

#include "graphics/picture_container.h"
#include "graphics/picture_export.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;
using Names = std::vector<std::string>;

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
  return AsText(b.bytes(pal).bytes(pixels).take());
}
// Placeable header of a 12700 x 2540 picture: right 1270, bottom 254, 254 units per inch.
const std::string kPlaceable = AsText({0xD7, 0xCD, 0xC6, 0x9A, 0, 0, 0, 0, 0, 0,    0xF6,
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

class Pictures : public ::testing::Test, public InMemorySession {
 protected:
  Pictures() { hf_.session = &session; }
  Names Files() const {
    Names names;
    for (const auto& [name, bytes] : dir->files()) names.push_back(name);
    return names;
  }
  std::string File(const std::string& name) const { return dir->Read(name).value_or("<none>"); }
  Names Known() const {
    Names names;
    for (const auto& e : hf_.known_context_names.entries()) names.push_back(e.name);
    return names;
  }
  void Reset() {
    for (const std::string& n : Files()) dir->Remove(n);
    diagnostics.warnings.clear();
    hf_.known_context_names = {};
  }
  /// Extracts `container` as "bm3" into the emptied output folder; the name recorded.
  std::string Extract(const std::vector<uint8_t>& container, ConversionOptions options = 0) {
    Reset();
    hf_.options = options;
    return ExtractPictureContainer(hf_, container, "bm3", *dir).name;
  }
  std::string Rtf(const ExtractedPicture& p, char align, ConversionOptions options,
                  bool stored = false) {
    hf_.options = options;
    auto sink = OutputSink::Memory(false);
    WriteRtfPicture(hf_, *sink, p, align, stored);
    return sink->contents();
  }
  ExtractedPicture Put(const std::string& name, const std::string& bytes) {
    dir->CreateBinary(name)->Write(bytes);
    return {name, dir.get()};
  }

  HelpFile hf_;
};

TEST_F(Pictures, BitmapOfEachPackingAndMetafileOfEachPacking) {
  // packing, ColorsImportant (1: transparent, "T"), options, Xdpi, the name, the pels per metre
  using Case = std::tuple<uint8_t, uint32_t, ConversionOptions, uint32_t, std::string, uint32_t>;
  for (const auto& [packing, important, options, xdpi, name, pels] :
       {Case{0, 0, 0, 96, "bm30.bmp", 3840}, Case{1, 1, 0, 96, "bm3T0.bmp", 3840},
        Case{2, 2, 0, 0, "bm30.bmp", 0}, Case{3, 0, kBmpInRtf, 0, "bm30.bmp", 3240}}) {
    BitmapSpec spec = Bitmap4(packing);
    spec.colors_important = important;
    spec.xdpi = xdpi;
    EXPECT_EQ(Extract(PictureContainer({BitmapPicture(spec)}), options), name);
    EXPECT_EQ(Files(), Names{name});
    EXPECT_EQ(File(name), Bmp(10, 2, 4, pels, kPalette16, kPixels)) << int(packing);
  }
  EXPECT_EQ(Extract(PictureContainer({MetafilePicture({.packing = 2, .records = kRecords})})),
            "bm30.WMF");
  EXPECT_EQ(File("bm30.WMF"), kPlaceable + AsText(kRecords));
  EXPECT_TRUE(diagnostics.warnings.empty());
}

TEST_F(Pictures, ContainersIntoFilesNamesAndAFileThatCannotBeCreated) {
  const auto bmp = BitmapPicture(Bitmap4()), hot = BitmapPicture(Bitmap4(2, kHotspots));
  const auto wmf_hot = MetafilePicture({.records = kRecords, .hotspots = kHotspots});
  const Names idh = {"IDH_A", "Other", "Beep()"}, shg = {"bm3.SHG"}, bm30 = {"bm30.bmp"};
  // The files written (the last is the name returned), warnings, the context names collected.
  using Case = std::tuple<const char*, std::vector<uint8_t>, ConversionOptions, Names,
                          std::vector<int>, Names>;
  const Case cases[] = {
      {"no pictures", PictureContainer({}), 0, shg, {}, {}},
      {"invalid magic", PictureContainer({bmp}, "XY"), 0, shg, {32}, {}},
      {"metafile of packing 3", PictureContainer({{0x08, 0x03}}), 0, shg, {33}, {}},
      {"hotspots kept in .SHG", PictureContainer({hot}), 0, shg, {}, idh},
      {"hotspots with NoShg", PictureContainer({hot}), kNoShg, bm30, {}, idh},
      // The name is the last picture written, not a metafile that was not.
      {"metafile with hotspots after a bitmap", PictureContainer({bmp, wmf_hot}), 0, bm30, {}, idh},
      {"hotspots cut", Cut(PictureContainer({hot}), 8), kNoShg, bm30, {327}, {"IDH_A", "Other"}},
  };
  for (const auto& [what, container, options, files, warnings, known] : cases) {
    EXPECT_EQ(Extract(container, options), files.back()) << what;
    EXPECT_EQ(Files(), files) << what;
    EXPECT_EQ(Ids(), warnings) << what;
    EXPECT_EQ(Known(), known) << what;
    EXPECT_TRUE(files != shg || File("bm3.SHG") == AsText(container)) << what << ": copied whole";
  }
  Extract(PictureContainer({bmp}, "XY"));
  EXPECT_EQ(diagnostics.warnings.at(0).text, "Invalid .SHG or .MRB file! Type: XY");
  Extract(PictureContainer({{0x08, 0x03}}));
  EXPECT_EQ(diagnostics.warnings.at(0).text, "Unknown sfImageType value 0x308 in file bm3.SHG.");
  // A picture file that cannot be created is named.
  TempFolder tmp;
  fs::create_directory(tmp / "bm30.bmp");  // a folder where the picture file should go
  OutputDir folder(tmp.path());
  Reset();
  EXPECT_EQ(ExtractPictureContainer(hf_, PictureContainer({bmp}), "bm3", folder).name, "bm30.bmp");
  EXPECT_EQ(Texts(), "Can't Create bm30.bmp.");
}

TEST_F(Pictures, DamagedPicturesAreSkippedAndTheContainerKept) {
  auto bad = [](auto change) {
    BitmapSpec s = Bitmap4();
    change(s);
    return PictureContainer({BitmapPicture(s)});
  };
  const std::pair<std::vector<uint8_t>, std::vector<int>> cases[] = {
      {ByteBuilder().text("lp").u16(1).u32(900).take(), {320}},  // offset past the end
      // Room for two offsets: the second is read from the first picture (0x308, not handled).
      {ByteBuilder().text("lp").u16(3).u32(8).u16(0x0308).u16(0).take(), {326, 33, 320}},
      {PictureContainer({{6, 0, 0xC0}}), {321}},                      // header cut
      {bad([](auto& s) { s.colors_used = 0x7FFFFFF0; }), {322}},      // palette
      {bad([](auto& s) { s.compressed_size = 0x7FFFFFF0; }), {323}},  // data
      {bad([](auto& s) { s.width = 0; }), {324}},
      {bad([](auto& s) { s.bit_count = 3; }), {324}},
      {bad([](auto& s) { s.type = 5, s.planes = 4; }), {330}},  // device-dependent, 4 planes
      {bad([](auto& s) { s.type = 5, s.height = 9; }), {331}},  // device-dependent, cut short
  };
  for (const auto& [container, warnings] : cases) {
    EXPECT_EQ(Extract(container), "bm3.SHG") << warnings[0];
    EXPECT_EQ(Files(), Names{"bm3.SHG"}) << warnings[0];
    EXPECT_EQ(Ids(), warnings);
  }
  // Unpacking stops at its limit.
  const std::vector<uint8_t> runs = {0x7F, 0, 0x7F, 0, 0x7F, 0, 0x7F, 0};
  EXPECT_FALSE(UnpackPicture(runs, Packing::kRunLength, 100));
  EXPECT_EQ(UnpackPicture(runs, Packing::kRunLength, 508)->size(), 508u);
}

TEST_F(Pictures, HotspotKindsAndTheMacroArea) {
  const std::vector<uint8_t> files = ByteBuilder().u8(4).u32(0).cstr("x.hlp").take();
  const HotspotSpec odd{0x00E4, "a", "Odd"}, k{0x00E3, "b", "K"};
  // The block, whether it was read to its end, the context names collected.
  const std::tuple<std::vector<uint8_t>, bool, Names> cases[] = {
      // Extended kinds keep window and file names in the macro area, by offset.
      {HotspotBlock({{0x04EF, "a", "J@x.hlp"}, {0x00EA, "b", "P>w"}}, files), true, {"J", "P"}},
      {HotspotBlock({odd, k}), true, {"K"}},        // an unknown kind is skipped,
      {HotspotBlock({odd, k}, {}, 999), true, {}},  // unless the macro area's size is wrong;
      {HotspotBlock({{0x04CC, "", "M()"}, k}, {}, 999), true, {"M()", "K"}},  // macros count
      {Cut(HotspotBlock({{0x00E3, "a", "First"}, k}), 1), false, {"First"}},
  };
  for (const auto& [block, complete, known] : cases) {
    Reset();
    EXPECT_EQ(ReadHotspotBlock(hf_, ByteReader(Bytes(block))), complete) << known.size();
    EXPECT_EQ(Known(), known);
  }
}

TEST_F(Pictures, RtfReferencesImportFieldsAndEmbeddedPictures) {
  const ExtractedPicture shg{"bm1.SHG", dir.get()}, transparent{"bm5T0.bmp", dir.get()};
  const ConversionOptions embed = kForPrint | kBmpInRtf;
  const std::string field = "{\\field {\\*\\fldinst import bm1.SHG \\* Mergeformat}}";
  // The whole conversions below show the other references.
  EXPECT_EQ(Rtf(transparent, 'l', 0), "\\{bmlt bm5T0.bmp\\}");
  EXPECT_EQ(Rtf({"bmw2.SHG", dir.get()}, 'r', kBmpInRtf, true), "\\{bmrwd bmw2.SHG\\}");
  EXPECT_EQ(Rtf(shg, 'c', embed), field);
  EXPECT_EQ(Rtf(shg, 'l', kForPrint), "{\\pvpara " + field + "\\par}");
  EXPECT_EQ(Rtf(shg, 'r', kForPrint), "{\\pvpara\\posxr" + field + "\\par}");
  // A bitmap that cannot be read back is imported instead of embedded.
  EXPECT_EQ(Rtf(transparent, 'c', embed),
            "{\\field {\\*\\fldinst import bm5T0.bmp \\* Mergeformat}}");

  auto hex = [](std::string_view bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
      out += "0123456789ABCDEF"[uint8_t(bytes[i]) >> 4];
      out += "0123456789ABCDEF"[uint8_t(bytes[i]) & 15];
      if (i % 32 == 31 || i + 1 == bytes.size()) out += '\n';
    }
    return out;
  };
  EXPECT_EQ(Rtf(Put("bm0.WMF", kPlaceable + AsText(kRecords)), 'c', embed),
            "{\\pict\\wmetafile8\\picw12700\\pich2540\n" + hex(AsText(kRecords)) + "}");
  // 8 bits, 10 x 3, biSizeImage 0 (becomes 36), 256 colours: record 564 words, file 590 words.
  std::string bmp =
      Bmp(10, 3, 8, 3780, std::vector<uint8_t>(1024, 0x11), std::vector<uint8_t>(36, 0x22));
  bmp.replace(34, 4, std::string(4, '\0'));
  std::string info = bmp.substr(14, 40);
  info.replace(20, 4, AsText({36, 0, 0, 0}));
  EXPECT_EQ(Rtf(Put("bm1.bmp", bmp), 'c', embed),
            "{\\pict\\wmetafile8\\picw264\\pich79\n"
            "0100090000034E0200000000340200000000\n0400000003010800\n050000000B0200000000\n"
            "050000000C0203000A00\n34020000430F2000CC00000003000A000000000003000A0000000000\n" +
                hex(info) + hex(bmp.substr(54)) + "0300000000000000000000000000}");
  // picw and pich in hundredths of a millimetre; 3840 pels per metre when none is stated.
  using Size = std::tuple<int32_t, int32_t, uint32_t, std::string>;
  for (const auto& [w, h, pels, head] : {Size{300, 150, 0, "\\picw7812\\pich3906\n"},
                                         Size{30000, 1, 3780, "\\picw793650\\pich26\n"}}) {
    const std::vector<uint8_t> pixels(size_t((w * 3 + 3) / 4 * 4) * size_t(h));
    EXPECT_EQ(
        Rtf(Put("s.bmp", Bmp(w, h, 24, pels, {}, pixels)), 'c', embed).substr(17, head.size()),
        head);
  }
  // Sides beyond the 16-bit coordinates of a metafile, a bit count whose sizes overflow the
  // metafile's 32-bit fields, pixels missing: imported, not embedded.
  for (const std::string& bad :
       {Bmp(40000, 1, 1, 0, {0, 0, 0, 0, 255, 255, 255, 0}, std::vector<uint8_t>(5000)),
        Bmp(32767, 32767, 65535, 0, {}, {}), Bmp(100, 100, 24, 0, {}, {})})
    EXPECT_EQ(Rtf(Put("w.bmp", bad), 'c', embed).substr(0, 30),
              "{\\field {\\*\\fldinst import w.b");
}

/// A help file whose topic refers to pictures 0, 1 (an empty slot) and 2, and stores one.
std::vector<uint8_t> PictureHelpFile() {
  const auto bitmap = PictureContainer({BitmapPicture(
      {.palette = std::vector<uint8_t>(64, 9), .pixels = std::vector<uint8_t>(16, 0x12)})});
  const auto metafile = PictureContainer({MetafilePicture({.records = kRecords})});
  ParagraphBuilder p;
  p.PictureRef(0x86, 0).PictureRef(0x87, 1).PictureRef(0x88, 2).PictureStored(0x86, bitmap);
  TopicRecords topics;
  topics.Header({"Pictures"}).Paragraph(p.Command(0x82), {"a", "b", "c", "d", "e", ""});
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|FONT", OldStyleFontFile()},
                           {"|bm0", bitmap},
                           {"|bm2", metafile},
                           {"|bm70000", bitmap},
                           {"|TOPIC", topics.Build()}});
}

TEST(BitmapsSection, ListsPicturesTheTopicsReferToThemAndEmbeddedOnesLeaveNoFiles) {
  const ConversionOutcome out = ConvertHelpBytes(PictureHelpFile(), kRecompile);
  EXPECT_EQ(out.FileNames(), (Names{"TEST.HPJ", "TEST.RTF", "bm00.bmp", "bm20.WMF", "bmw30.bmp"}))
      << "bm70000 cannot be referred to; the stored picture is extracted once, in the main pass";
  EXPECT_TRUE(
      SameBytes(out.File("TEST.HPJ"),
                Crlf("[options]\nCompress=FALSE\nTitle=Golden Sample\n\n[Bitmaps]\nbm00.bmp\n"
                     "bm20.WMF\n\n[Baggage]\n\n[Files]\nTEST.RTF\n")));
  // Picture 1 is an empty slot of the list: warning 16 in both passes.
  EXPECT_EQ(out.WarningIds(),
            (std::vector<int>{kWarnPictureNumber, kWarnIllegalBitmap, kWarnIllegalBitmap}));
  EXPECT_EQ(out.warnings.at(1).text, "Illegal Bitmap Reference 0x0001");
  EXPECT_NE(out.File("TEST.RTF")
                .find("a\\{bmc bm00.bmp\\}bc\\{bmr bm20.WMF\\}d\\{bmcwd bmw30.bmp\\}e\\par"),
            std::string::npos);
  EXPECT_EQ(out.File("bmw30.bmp"), out.File("bm00.bmp"));
  // Embedded ones are deleted when the help file closes (the core test and the corpus test see
  // the TEMP folder).
  const ConversionOutcome print =
      ConvertHelpBytes(PictureHelpFile(), kForPrint | kBmpInRtf | kNoShg);
  EXPECT_EQ(print.FileNames(), Names{"TEST.RTF"});
  const std::string rtf = print.File("TEST.RTF");
  size_t pictures = 0;
  for (size_t at = 0; (at = rtf.find("{\\pict\\wmetafile8", at)) != std::string::npos; ++at)
    ++pictures;
  EXPECT_EQ(pictures, 3u);
}

}  // namespace
}  // namespace quorvex
