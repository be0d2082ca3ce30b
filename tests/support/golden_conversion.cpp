#include "tests/support/golden_conversion.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "core/output.h"
#include "tests/support/font_writer.h"
#include "tests/support/help_writer.h"
#include "ui/phases.h"

namespace quorvex::testsupport {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
  std::string pattern = (fs::temp_directory_path() / "quorvex-golden-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ec;
  fs::remove_all(path_, ec);
}

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

ConversionOutcome ConvertHelpBytes(const std::vector<uint8_t>& help, ConversionOptions options,
                                   const std::string& file_name) {
  TempFolder folder;
  const fs::path input = folder.path() / "in";
  const fs::path output = folder.path() / "out";
  fs::create_directories(input);
  {
    std::ofstream f(input / file_name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(help.data()), static_cast<std::streamsize>(help.size()));
  }

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
      outcome.names = ConvertHelpFile(job, session, phases);
    } catch (const FatalException& e) {
      outcome.fatal = e.what();
    }
  }
  outcome.warnings = diagnostics.warnings;
  outcome.progress = diagnostics.progress;
  for (const fs::directory_entry& e : fs::directory_iterator(output)) {
    std::ifstream f(e.path(), std::ios::binary);
    std::ostringstream bytes;
    bytes << f.rdbuf();
    outcome.files[e.path().filename().string()] = bytes.str();
  }
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
  OldFontSpec regular;
  regular.half_points = 20;
  regular.family = 3;  // swiss
  regular.face = 0;
  OldFontSpec bold;
  bold.attributes = 0x01;
  bold.half_points = 24;
  bold.family = 2;  // roman
  bold.face = 1;
  bold.red = 255;
  return BuildFontFile({"Arial", "Times New Roman"}, 20,
                       {OldFontDescriptor(regular), OldFontDescriptor(bold)});
}

std::vector<uint8_t> NewStyleFontFile() {
  NewFontSpec regular;
  regular.face = 0;
  regular.height = -10;
  regular.weight = 400;
  regular.pitch_family = 0x20;
  NewFontSpec bold;
  bold.face = 1;
  bold.height = -12;
  bold.weight = 700;
  bold.italic = 1;
  bold.pitch_family = 0x30;
  bold.blue = 128;
  return BuildFontFile({"Arial", "Courier New"}, 32,
                       {NewFontDescriptor(regular), NewFontDescriptor(bold)});
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
