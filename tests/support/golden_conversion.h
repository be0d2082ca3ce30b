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

#include "core/container.h"
#include "core/diagnostics.h"
#include "core/driver.h"
#include "core/options.h"
#include "core/output.h"
#include "core/strings.h"
#include "tests/support/help_writer.h"
#include "tests/support/temp_folder.h"
#include "tests/support/topic_writer.h"

namespace quorvex::testsupport {

/// The numbers of `warnings` but those of warning `left_out`.
inline std::vector<int> IdsOf(const std::vector<RecordingDiagnostics::WarningRecord>& warnings,
                              int left_out) {
  std::vector<int> ids;
  for (const auto& w : warnings)
    if (w.id != left_out) ids.push_back(w.id);
  return ids;
}

/// What one conversion left behind.
struct ConversionOutcome {
  /// Every file of the output folder by name, and the files written beside the help file as
  /// "beside/NAME".
  std::map<std::string, std::string> files;
  std::vector<RecordingDiagnostics::WarningRecord> warnings;
  std::optional<std::string> fatal;  // the message of the fatal error that ended it

  /// The bytes of output file `name`; a test failure (and "") when there is none.
  std::string File(const std::string& name) const {
    if (auto it = files.find(name); it != files.end()) return it->second;
    ADD_FAILURE() << "the conversion wrote no file " << name;
    return "";
  }
  std::vector<int> WarningIds() const { return IdsOf(warnings, -1); }
  std::vector<std::string> FileNames() const {  // sorted
    std::vector<std::string> names;
    for (const auto& [name, bytes] : files) names.push_back(name);
    return names;
  }
};

/// Converts `help` (stored as `file_name`) in a new session into a new output folder; without
/// `read_ahead` the session uses one thread.
ConversionOutcome ConvertHelpBytes(const std::vector<uint8_t>& help, ConversionOptions options,
                                   const std::string& file_name = "TEST.HLP",
                                   bool read_ahead = true);

// |SYSTEM minor versions, the flag of LZ77 topic blocks, and the title of the test files.
inline constexpr uint16_t kMinorHc31 = 21;
inline constexpr uint16_t kMinorHcrtf = 33;
inline constexpr uint16_t kFlagsLz77 = 4;
inline constexpr const char* kGoldenTitle = "Golden Sample";

// The canonical recompilation options; without BrowseSeq there is no pre-pass, so the main pass
// starts the character count at 0.
inline constexpr ConversionOptions kRecompile = kBrowseSeq | kPageBreak | kJumps;
inline constexpr ConversionOptions kRecompileOnePass = kPageBreak | kJumps;

/// Converts the help file `help` into the folder `output`: the fatal message, or "".
std::string ConvertInto(const std::filesystem::path& help, const std::filesystem::path& output,
                        RecordingDiagnostics& diagnostics, ConversionOptions options = kRecompile,
                        bool read_ahead = true);

/// `text` as text-mode output files hold it.
inline std::string Crlf(std::string_view text) {
  std::string out;
  for (char c : text) out += c == '\n' ? "\r\n" : std::string(1, c);
  return out;
}
/// Success when the texts are equal (and, for an RTF file, CheckRtf accepts it); else the first
/// differing offset and the texts around it.
::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected);

/// Internal files (name, data), and a help file of them in the order given.
using HelpFiles = std::vector<std::pair<std::string, std::vector<uint8_t>>>;
inline std::vector<uint8_t> AssembleHelpFile(const HelpFiles& files) {
  HelpFileWriter writer;
  for (const auto& [name, data] : files) writer.AddFile(name, data);
  return writer.Build();
}
/// A session of its own with an in-memory output folder, for help files opened from bytes; each
/// open drops the warnings of the one before.
struct InMemorySession {
  RecordingDiagnostics diagnostics;
  std::unique_ptr<OutputDir> dir = OutputDir::InMemory();
  ConversionSession session{diagnostics, *dir};
  std::unique_ptr<HelpFile> Open(const std::vector<uint8_t>& bytes, ConversionOptions options = 0) {
    diagnostics.warnings.clear();
    return OpenHelpFileFromBytes(bytes, "T.HLP", options, session);
  }
  /// The warnings but the compiler's, as numbers and as texts (one a line).
  std::vector<int> Ids() const { return IdsOf(diagnostics.warnings, kWarnCompiledBy); }
  std::string Texts() const {
    std::string texts;
    for (const auto& w : diagnostics.warnings)
      if (w.id != kWarnCompiledBy) texts += (texts.empty() ? "" : "\n") + w.text;
    return texts;
  }
};
/// |SYSTEM of `minor` (not HC30) with `flags` and the title record kGoldenTitle.
inline std::vector<uint8_t> GoldenSystem(uint16_t minor = kMinorHc31, uint16_t flags = 0) {
  return BuildSystemFile(minor, flags, {TextRecord(1, kGoldenTitle)});
}

/// |FONT with 11-byte descriptors and 20-byte face names: font 0 Arial (swiss) 10 pt black,
/// font 1 Times New Roman (roman) 12 pt bold red; the font and colour tables it gives (up to the
/// colour table's closing brace) and its font styles.
std::vector<uint8_t> OldStyleFontFile();
inline constexpr std::string_view kOldStyleFontTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\froman Times New Roman}}\n"
    "{\\colortbl\n\\red0\\green0\\blue0;\n\\red255\\green0\\blue0;\n";
inline constexpr std::string_view kOldStyleFont0 = "\\f0\\cf0\\fs20\\b0\\i0\\ul0";
inline constexpr std::string_view kOldStyleFont1 = "\\f1\\cf1\\fs24\\b\\i0\\ul0";
/// |FONT with 42-byte descriptors and 32-byte face names: font 0 Arial (pitch and family 0x20,
/// swiss) height -10 weight 400, font 1 Courier New (0x30, modern) height -12 weight 700 italic
/// dark blue.
std::vector<uint8_t> NewStyleFontFile();
inline constexpr std::string_view kNewStyleFontTables =
    "{\\fonttbl{\\f0\n\\fswiss Arial\\f1\n\\fmodern Courier New}}\n"
    "{\\colortbl\n\\red0\\green0\\blue0;\n\\red0\\green0\\blue128;\n";

/// An HC31 help file of GoldenSystem, |FONT and `topics` (HCRTF with NewStyleFontFile when
/// `hcrtf`).
inline std::vector<uint8_t> GoldenHelpFile(const TopicRecords& topics, bool hcrtf = false) {
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem(hcrtf ? kMinorHcrtf : kMinorHc31)},
                           {"|FONT", hcrtf ? NewStyleFontFile() : OldStyleFontFile()},
                           {"|TOPIC", topics.Build()}});
}
/// A paragraph ended by 0x82 0xFF: its text strings are the paragraph's text and the empty
/// string after the 0xFF.
inline ParagraphBuilder EndedParagraph() {
  return std::move(ParagraphBuilder().Command(0x82));
}
/// A paragraph record of EndedParagraph() whose stored text `stored` expands to `expanded` bytes.
inline TopicRecordSpec StoredParagraph(std::vector<uint8_t> stored, int32_t expanded,
                                       uint8_t type = 0x20) {
  return {.type = type,
          .format_part = ParagraphFormatPart(EndedParagraph().Build(), type),
          .text_part = std::move(stored),
          .expanded_length = expanded};
}

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

/// The frame of a recompilation-mode RTF file: prologue, font and colour tables, the paper size
/// (English) and the space that ends the tables, stylesheet; no page header, no template.
inline std::string Frame(std::string_view font_tables = kOldStyleFontTables) {
  return "{\\rtf1\\ansi\\deff0\\deflang1031 " + std::string(font_tables) + "}\n \\paperw11906 " +
         std::string(kStylesheet);
}
inline std::string Footnote(char mark, std::string_view text) {
  return std::string("{") + mark + "{\\footnote{" + mark + "} " + std::string(text) + "}} \n";
}
/// A scrolling paragraph without properties.
inline std::string Para(std::string_view body) {
  return "\\pard\\s0\\ql " + std::string(body);
}
// Topic separators.
inline constexpr std::string_view kPageSeparator = "\\page\\pard\n";
inline constexpr std::string_view kParSeparator = "\\par\\pard\\par\n";
/// The project file of a recompilation run that wrote `rtf_files`, of a help file whose |SYSTEM
/// gives the "[options]" lines `options` and that has no other sections.
inline std::string ProjectFile(const std::vector<std::string>& rtf_files,
                               std::string_view options = "Compress=FALSE\nTitle=Golden Sample\n") {
  std::string p = "[options]\n" + std::string(options) + "\n[Bitmaps]\n\n[Baggage]\n\n[Files]\n";
  for (const std::string& f : rtf_files) p += f + "\n";
  return Crlf(p);
}

}  // namespace quorvex::testsupport
