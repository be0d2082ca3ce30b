// Whole conversions for golden tests (a help file built in memory, converted by the real driver
// with the program's phases into a fresh output folder), and the pieces every RTF file starts
// with, spelled out, so that each expected file reads as "frame, then the topics".
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/diagnostics.h"
#include "core/driver.h"
#include "core/options.h"
#include "tests/support/temp_folder.h"
#include "tests/support/topic_writer.h"

namespace quorvex::testsupport {

/// What one conversion left behind.
struct ConversionOutcome {
  /// Every file of the output folder after the conversion, by name, as bytes.
  std::map<std::string, std::string> files;
  std::vector<RecordingDiagnostics::WarningRecord> warnings;
  /// The message of the fatal error that ended the conversion, if one did.
  std::optional<std::string> fatal;

  /// The bytes of output file `name`; a test failure (and "") when there is no such file.
  std::string File(const std::string& name) const;
  std::vector<int> WarningIds() const;
  std::vector<std::string> FileNames() const;  // sorted
  /// A test failure for each RTF file of the output that CheckRtf rejects.
  void ExpectWellFormed() const;
};

/// Converts `help` (stored as `file_name`) in a new session (the RTF character count starts at
/// 0) into a new output folder; a fatal error is recorded in the outcome.
ConversionOutcome ConvertHelpBytes(const std::vector<uint8_t>& help, ConversionOptions options,
                                   const std::string& file_name = "TEST.HLP");

// |SYSTEM minor versions, the flag that marks LZ77 topic blocks, and the title of the test files.
inline constexpr uint16_t kMinorHc30 = 15;
inline constexpr uint16_t kMinorHc31 = 21;
inline constexpr uint16_t kMinorMediaViewer = 27;
inline constexpr uint16_t kMinorHcrtf = 33;
inline constexpr uint16_t kFlagsLz77 = 4;
inline constexpr const char* kGoldenTitle = "Golden Sample";

// Option sets. The canonical recompilation set is BrowseSeq, PageBreak and Jumps; without
// BrowseSeq there is no pre-pass, so the main pass starts the character count at 0.
inline constexpr ConversionOptions kRecompile = kBrowseSeq | kPageBreak | kJumps;
inline constexpr ConversionOptions kRecompileOnePass = kPageBreak | kJumps;

/// `text` with CR LF for every LF, as text-mode output files hold it.
std::string Crlf(std::string_view text);

/// Success when `actual` equals `expected`; otherwise names the first differing byte and shows
/// both texts around it (long RTF texts are hard to compare by eye).
::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected);

/// A help file of the given internal files (name, data), in the order given.
std::vector<uint8_t> AssembleHelpFile(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files);

/// |FONT with two 11-byte descriptors and 20-byte face names: font 0 Arial (swiss) 10 pt black,
/// font 1 Times New Roman (roman) 12 pt bold red.
std::vector<uint8_t> OldStyleFontFile();
/// The font and colour tables it gives, up to the colour table's closing brace.
inline constexpr std::string_view kOldStyleFontTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\froman Times New Roman}}\n"
    "{\\colortbl\n\\red0\\green0\\blue0;\n\\red255\\green0\\blue0;\n";
/// Its font style entries.
inline constexpr std::string_view kOldStyleFont0 = "\\f0\\cf0\\fs20\\b0\\i0\\ul0";
inline constexpr std::string_view kOldStyleFont1 = "\\f1\\cf1\\fs24\\b\\i0\\ul0";

/// |FONT with two 42-byte descriptors and 32-byte face names: font 0 Arial (pitch and family
/// 0x20, swiss) height -10 weight 400, font 1 Courier New (0x30, modern) height -12 weight 700
/// italic, dark blue.
std::vector<uint8_t> NewStyleFontFile();
inline constexpr std::string_view kNewStyleFontTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\fmodern Courier New}}\n"
    "{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue128;\n";

/// |SYSTEM of `minor` (not HC30) with `flags` and the title record kGoldenTitle.
std::vector<uint8_t> GoldenSystem(uint16_t minor = kMinorHc31, uint16_t flags = 0);

/// The fields of a topic header's FormatPart that the tests vary.
struct TopicHeaderFields {
  int32_t first_field = 0x100;  // HC30: 8 or less marks the last topic
  int32_t browse_back = -1;
  int32_t browse_forward = -1;
  int32_t number = 0;        // not in the 12-byte HC30 header
  int32_t scroll_start = 0;  // not in the HC30 header; 0: no record is non-scrolling
};

/// The records of one |TOPIC, added in stream order, with their text stored as it is expanded
/// (no phrase codes) unless a record is added with Record().
class TopicRecords {
 public:
  explicit TopicRecords(TopicFileOptions options = {}) : writer_(options), hc30_(options.hc30) {}

  /// A topic header (type 2) whose expanded text is `strings`, each ended by a NUL: the title,
  /// then the entry macros. No strings: no TextPart. HC30 headers are 12 bytes.
  TopicRecords& Header(const std::vector<std::string>& strings, TopicHeaderFields fields = {});
  /// A paragraph record (type 32, type 1 in HC30 files) with the text strings `texts`.
  TopicRecords& Paragraph(const ParagraphBuilder& paragraph, const std::vector<std::string>& texts);
  /// A table record (type 35).
  TopicRecords& Table(const std::vector<uint8_t>& layout,
                      const std::vector<std::vector<uint8_t>>& cells,
                      const std::vector<std::string>& texts);
  /// Any record as given.
  TopicRecords& Record(TopicRecordSpec spec);

  TopicFileWriter& writer() { return writer_; }
  std::vector<uint8_t> Build() const { return writer_.Build(); }

 private:
  TopicFileWriter writer_;
  bool hc30_;
};

/// An HC31 help file of GoldenSystem, |FONT and `topics` (HCRTF with the 42-byte font
/// descriptors when `hcrtf`).
std::vector<uint8_t> GoldenHelpFile(const TopicRecords& topics, bool hcrtf = false);

/// A paragraph ended by 0x82 0xFF: its text strings are the paragraph's text and the empty
/// string after the 0xFF.
ParagraphBuilder EndedParagraph();

// The start of every RTF file, before the font table.
inline constexpr std::string_view kRtfPrologue = "{\\rtf1\\ansi\\deff0\\deflang1031 ";
// After the colour table: the paper size (English) and the space that ends the frame's tables.
inline constexpr std::string_view kPaperSize = "}\n \\paperw11906 ";
// The fixed stylesheet: ten pieces joined by line feeds, none after the last.
inline constexpr std::string_view kStylesheet =
    "{\\stylesheet{\\f0\\fs20\\lang1031 \\snext0 Normal;}\n"
    "{\\s1\\sb240\\sa60\\keepn \\b\\f0\\fs28\\lang1031\\kerning28 \\sbasedon0\\snext0 heading 1;}\n"
    "{\\s2\\sb240\\sa60\\keepn \\b\\i\\f0\\lang1031 \\sbasedon0\\snext0 heading 2;}\n"
    "{\\*\\cs10 \\additive Default Paragraph Font;}\n"
    "{\\s15\\fi-200\\li200\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 1;}\n"
    "{\\s16\\fi-200\\li400\\tqr\\tx4176 \\f0\\fs18\\lang1031 \\sbasedon0\\snext0 index 2;}\n"
    "{\\s24\\sb360\\sa240\\brdrt\\brdrth\\brdrw15 \\b\\i\\f0\\fs26\\lang1031 \\sbasedon0\\snext15 "
    "index heading;}\n"
    "{\\s25\\sb360\\tqr\\tx9072 \\b\\caps\\f0\\lang1031 \\sbasedon0\\snext0 toc 1;}\n"
    "{\\s26\\li200\\sb240\\tqr\\tx9072 \\b\\f0\\fs20\\lang1031 \\sbasedon0\\snext0 toc 2;}\n"
    "}";
// The page header of printing mode, around the RTF file name and the title.
inline constexpr std::string_view kPageHeaderStart =
    "{\\header\\pard\\plain\\s243\\brdrb\\brdrs\\brdrw15\\brsp20\\tqc\\tx4252\\tqr\\tx8504"
    "\\f0\\fs20\\lang1031 ";
inline constexpr std::string_view kPageHeaderEnd =
    "\\fs20\\tab Page {\\field{\\*\\fldinst page }} of {\\field{\\*\\fldinst numpages }} \\par}\n";

/// The frame of a recompilation-mode RTF file: prologue, font and colour tables, paper size,
/// stylesheet. No page header, no template.
std::string Frame(std::string_view font_tables = kOldStyleFontTables);
/// A footnote as the help compiler reads it: "{" mark "{\footnote{" mark "} " text "}} " LF.
std::string Footnote(char mark, std::string_view text);
/// A scrolling paragraph without properties: "\pard\s0\ql " and its body.
std::string Para(std::string_view body);
// Topic separators.
inline constexpr std::string_view kPageSeparator = "\\page\\pard\n";
inline constexpr std::string_view kParSeparator = "\\par\\pard\\par\n";
/// The project file of a recompilation run that wrote `rtf_files`: an empty [Bitmaps] section
/// and the [Files] section (the other sections come from phases these files do not exercise).
std::string ProjectFile(const std::vector<std::string>& rtf_files);

}  // namespace quorvex::testsupport
