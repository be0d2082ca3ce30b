// Whole conversions with pictures: the [Bitmaps] section and the picture list, references from
// topic text, a picture stored in the text, and embedded pictures whose files leave no trace.
#include <gtest/gtest.h>

#include "graphics/picture_container.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/picture_writer.h"
#include "ui/phases.h"

namespace quorvex {
namespace {

using namespace testsupport;
namespace fs = std::filesystem;

std::vector<uint8_t> PictureHelpFile() {
  const auto bitmap = PictureContainer({BitmapPicture(
      {.palette = std::vector<uint8_t>(64, 9), .pixels = std::vector<uint8_t>(16, 0x12)})});
  const auto metafile = PictureContainer({MetafilePicture(
      {.records = {1, 0, 9, 0, 0, 3, 12, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0, 3, 0, 0, 0, 0, 0}})});
  TopicRecords topics;
  topics.Header({"Pictures"})
      .Paragraph(ParagraphBuilder()
                     .PictureRef(0x86, 0)
                     .PictureRef(0x87, 1)
                     .PictureRef(0x88, 2)
                     .PictureStored(0x86, bitmap)
                     .Command(0x82),
                 {"a", "b", "c", "d", "e", ""});
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem()},
                           {"|FONT", OldStyleFontFile()},
                           {"|bm0", bitmap},
                           {"|bm2", metafile},
                           {"|bm70000", bitmap},
                           {"|TOPIC", topics.Build()}});
}

TEST(BitmapsSection, ListsPicturesAndTheTopicsReferToThem) {
  const ConversionOutcome out = ConvertHelpBytes(PictureHelpFile(), kRecompile);
  EXPECT_EQ(out.FileNames(),
            (std::vector<std::string>{"TEST.HPJ", "TEST.RTF", "bm00.bmp", "bm20.WMF", "bmw30.bmp"}))
      << "bm70000 cannot be referred to; the stored picture is extracted once, in the main pass";
  EXPECT_TRUE(SameBytes(out.File("TEST.HPJ"),
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
}

TEST(BitmapsSection, EmbeddedPicturesGoThroughTempAndAreDeleted) {
  TempFolder tmp;
  WriteFile(tmp / "TEST.HLP", PictureHelpFile());
  RecordingDiagnostics diag;
  OutputDir out(tmp / "out"), temp(tmp / "temp");
  ConversionSession session(diag, out, &temp);
  StandardPhases phases;
  ConvertHelpFile({kForPrint | kBmpInRtf | kNoShg, (tmp / "TEST.HLP").string()}, session, phases);

  const std::string rtf = ReadFile(tmp / "out/TEST.RTF");
  size_t pictures = 0;
  for (size_t at = rtf.find("{\\pict\\wmetafile8"); at != std::string::npos;
       at = rtf.find("{\\pict\\wmetafile8", at + 1))
    ++pictures;
  EXPECT_EQ(pictures, 3u);
  EXPECT_TRUE(fs::is_empty(tmp / "temp"));
  EXPECT_EQ(std::distance(fs::directory_iterator(tmp / "out"), fs::directory_iterator()), 1);
  std::vector<int> bitmaps_progress;
  for (auto [percent, phase] : diag.progress)
    if (phase == kPhaseConvertingBitmaps) bitmaps_progress.push_back(percent);
  EXPECT_EQ(bitmaps_progress, (std::vector<int>{0, 7, 13, 20, 27, 33}));
}

TEST(BitmapsSection, AFileThatCannotBeCreatedIsReportedAndStillNamed) {
  TempFolder tmp;
  fs::create_directory(tmp / "bm30.bmp");  // a folder where the picture file should go
  RecordingDiagnostics diag;
  OutputDir out(tmp.path());
  ConversionSession session(diag, out);
  HelpFile hf;
  hf.session = &session;
  const auto bitmap = PictureContainer({BitmapPicture(
      {.palette = std::vector<uint8_t>(64, 9), .pixels = std::vector<uint8_t>(16, 0)})});
  EXPECT_EQ(ExtractPictureContainer(hf, bitmap, "bm3", out).name, "bm30.bmp");
  ASSERT_EQ(diag.warnings.size(), 1u);
  EXPECT_EQ(diag.warnings[0].text, "Can't Create bm30.bmp.");
}

}  // namespace
}  // namespace quorvex
