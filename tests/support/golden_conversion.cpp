#include "tests/support/golden_conversion.h"

#include <gtest/gtest.h>

#include "core/output.h"
#include "tests/support/font_writer.h"
#include "tests/support/help_writer.h"
#include "tests/support/rtf_check.h"
#include "ui/phases.h"

namespace quorvex::testsupport {

namespace fs = std::filesystem;

std::string ConversionOutcome::File(const std::string& name) const {
  auto it = files.find(name);
  if (it == files.end()) {
    ADD_FAILURE() << "the conversion wrote no file " << name;
    return "";
  }
  return it->second;
}

std::vector<int> ConversionOutcome::WarningIds() const {
  std::vector<int> ids;
  for (const auto& w : warnings) ids.push_back(w.id);
  return ids;
}

std::vector<std::string> ConversionOutcome::FileNames() const {
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  return names;
}

void ConversionOutcome::ExpectWellFormed() const {
  for (const auto& [name, bytes] : files) {
    if (!name.ends_with(".RTF")) continue;
    const testing::RtfCheck check = testing::CheckRtf(bytes);
    EXPECT_TRUE(check.ok) << name << ": " << check.error;
  }
}

ConversionOutcome ConvertHelpBytes(const std::vector<uint8_t>& help, ConversionOptions options,
                                   const std::string& file_name) {
  TempFolder folder;
  const fs::path input = folder.path() / "in";
  const fs::path output = folder.path() / "out";
  fs::create_directories(input);
  WriteFile(input / file_name, help);

  ConversionOutcome outcome;
  RecordingDiagnostics diagnostics;
  {
    OutputDir dir(output);
    ConversionSession session(diagnostics, dir);
    StandardPhases phases;
    ConversionJob job;
    job.options = options;
    job.path = (input / file_name).string();
    try {
      ConvertHelpFile(job, session, phases);
    } catch (const FatalException& e) {
      outcome.fatal = e.what();
    }
  }
  outcome.warnings = diagnostics.warnings;
  for (const fs::directory_entry& e : fs::directory_iterator(output))
    outcome.files[e.path().filename().string()] = ReadFile(e.path());
  for (const fs::directory_entry& e : fs::directory_iterator(input))
    if (e.path().filename() != file_name)
      outcome.files["beside/" + e.path().filename().string()] = ReadFile(e.path());
  return outcome;
}

std::string Crlf(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

::testing::AssertionResult SameBytes(std::string_view actual, std::string_view expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  constexpr size_t kContext = 60;
  const size_t from = at > kContext ? at - kContext : 0;
  return ::testing::AssertionFailure()
         << "the bytes differ at offset " << at << " (sizes " << actual.size() << " and "
         << expected.size() << ")\n  actual:   ..."
         << ::testing::PrintToString(actual.substr(from, 2 * kContext)) << "\n  expected: ..."
         << ::testing::PrintToString(expected.substr(from, 2 * kContext))
         << "\n  whole actual text:\n"
         << actual;
}

std::vector<uint8_t> AssembleHelpFile(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& files) {
  HelpFileWriter writer;
  for (const auto& [name, data] : files) writer.AddFile(name, data);
  return writer.Build();
}

std::vector<uint8_t> OldStyleFontFile() {
  const OldFontSpec regular{.half_points = 20, .family = 3, .face = 0};  // swiss
  const OldFontSpec bold{.attributes = 0x01, .half_points = 24, .family = 2, .face = 1, .red = 255};
  return BuildFontFile({"Arial", "Times New Roman"}, 20,
                       {OldFontDescriptor(regular), OldFontDescriptor(bold)});
}

std::vector<uint8_t> NewStyleFontFile() {
  const NewFontSpec regular{.face = 0, .height = -10, .weight = 400, .pitch_family = 0x20};
  const NewFontSpec bold{
      .face = 1, .blue = 128, .height = -12, .weight = 700, .italic = 1, .pitch_family = 0x30};
  return BuildFontFile({"Arial", "Courier New"}, 32,
                       {NewFontDescriptor(regular), NewFontDescriptor(bold)});
}

std::vector<uint8_t> GoldenSystem(uint16_t minor, uint16_t flags) {
  return BuildSystemFile(minor, flags, {TextRecord(1, kGoldenTitle)});
}

std::vector<uint8_t> GoldenHelpFile(const TopicRecords& topics, bool hcrtf) {
  return AssembleHelpFile({{"|SYSTEM", GoldenSystem(hcrtf ? kMinorHcrtf : kMinorHc31)},
                           {"|FONT", hcrtf ? NewStyleFontFile() : OldStyleFontFile()},
                           {"|TOPIC", topics.Build()}});
}

ParagraphBuilder EndedParagraph() {
  return std::move(ParagraphBuilder().Command(0x82));
}

std::string Frame(std::string_view font_tables) {
  return std::string(kRtfPrologue) + std::string(font_tables) + std::string(kPaperSize) +
         std::string(kStylesheet);
}

std::string Footnote(char mark, std::string_view text) {
  return std::string("{") + mark + "{\\footnote{" + mark + "} " + std::string(text) + "}} \n";
}

std::string Para(std::string_view body) {
  return "\\pard\\s0\\ql " + std::string(body);
}

std::string ProjectFile(const std::vector<std::string>& rtf_files, std::string_view options) {
  std::string p = "[options]\n" + std::string(options) + "\n[Bitmaps]\n\n[Baggage]\n\n[Files]\n";
  for (const std::string& f : rtf_files) p += f + "\n";
  return Crlf(p);
}

TopicRecords& TopicRecords::Header(const std::vector<std::string>& strings,
                                   TopicHeaderFields fields) {
  TopicRecordSpec spec;
  spec.type = 2;
  spec.format_part = TopicHeaderPart(fields.first_field, fields.browse_back, fields.browse_forward,
                                     fields.number, -1, fields.scroll_start, hc30_);
  spec.text_part = TextStrings(strings);
  return Record(std::move(spec));
}

TopicRecords& TopicRecords::Paragraph(const ParagraphBuilder& paragraph,
                                      const std::vector<std::string>& texts) {
  const uint8_t type = hc30_ ? 1 : 0x20;
  TopicRecordSpec spec;
  spec.type = type;
  spec.format_part = ParagraphFormatPart(paragraph.Build(), type);
  spec.text_part = TextStrings(texts);
  return Record(std::move(spec));
}

TopicRecords& TopicRecords::Table(const std::vector<uint8_t>& layout,
                                  const std::vector<std::vector<uint8_t>>& cells,
                                  const std::vector<std::string>& texts) {
  TopicRecordSpec spec;
  spec.type = 0x23;
  spec.format_part = TableFormatPart(layout, cells);
  spec.text_part = TextStrings(texts);
  return Record(std::move(spec));
}

TopicRecords& TopicRecords::Record(TopicRecordSpec spec) {
  writer_.Add(std::move(spec));
  return *this;
}

}  // namespace quorvex::testsupport
