#include "project/system_sections.h"

#include <string>
#include <string_view>

#include "core/format.h"
#include "core/system_file.h"
#include "project/context_map.h"

namespace quorvex {

namespace {

// |SYSTEM record types.
constexpr uint16_t kRecordTitle = 1;
constexpr uint16_t kRecordCopyright = 2;
constexpr uint16_t kRecordContents = 3;
constexpr uint16_t kRecordConfig = 4;
constexpr uint16_t kRecordIcon = 5;
constexpr uint16_t kRecordWindow = 6;
constexpr uint16_t kRecordCitation = 8;
constexpr uint16_t kRecordGroup = 13;

/// Copyright texts of 2 characters or fewer ("\xA9 ") are placeholders.
constexpr size_t kMinCopyrightLength = 3;

// The window definition: flags, then the fields they make valid.
constexpr size_t kWindowName = 12, kWindowNameSize = 9;
constexpr size_t kWindowCaption = 21, kWindowCaptionSize = 51;
constexpr size_t kWindowLeft = 72;  // then top, width, height and maximize state, u16 each
constexpr size_t kWindowColour = 82, kWindowNonScrollingColour = 86;
constexpr uint16_t kWindowHasName = 0x0002, kWindowHasCaption = 0x0004;
constexpr uint16_t kWindowHasLeft = 0x0008, kWindowHasMaximize = 0x0080;
constexpr uint16_t kWindowHasColour = 0x0100, kWindowHasNonScrollingColour = 0x0200;
constexpr uint16_t kWindowHasPlacement = 0x0078;  // left, top, width or height

/// A group text's name ends at its first "."; the description starts this far after it.
constexpr size_t kGroupDescriptionAfterDot = 5;

enum class Section { kNone, kConfig, kWindows, kGroups };

/// The record's data as text: up to its first NUL, never beyond the record.
std::string Text(Bytes data) {
  return ByteReader(data).cstring();
}

std::string CompressWord(uint16_t flags) {
  return flags == 0 ? "FALSE" : flags == 4 ? "HIGH" : "MEDIUM";
}

std::string Colour(ByteReader r, size_t at) {
  r.seek(at);
  const uint8_t red = r.u8(), green = r.u8(), blue = r.u8();
  return FormatText("(%d,%d,%d)", {red, green, blue});
}

/// The "[Windows]" line of one window definition; names the window in hf.window_names.
std::string WindowLine(HelpFile& hf, Bytes data) {
  ByteReader r(data);
  const uint16_t flags = r.u16();
  const std::string name = r.sub(kWindowName, kWindowNameSize).cstring();
  if (flags & kWindowHasName) hf.window_names.push_back(name);
  std::string line = name + "=";
  if (flags & kWindowHasCaption)
    line += "\"" + r.sub(kWindowCaption, kWindowCaptionSize).cstring() + "\"";
  line += ",";
  r.seek(kWindowLeft);
  uint16_t place[5];
  for (uint16_t& v : place) v = r.u16();
  if (flags & kWindowHasPlacement) {
    line += "(";
    for (int i = 0; i < 4; ++i) {
      if (i) line += ",";
      if (flags & (kWindowHasLeft << i)) line += std::to_string(place[i]);
    }
    line += ")";
  }
  line += ",";
  if (flags & kWindowHasMaximize) line += std::to_string(place[4]);
  line += ",";
  if (flags & kWindowHasColour) line += Colour(ByteReader(data), kWindowColour);
  line += ",";
  if (flags & kWindowHasNonScrollingColour)
    line += Colour(ByteReader(data), kWindowNonScrollingColour);
  return line + "\n";
}

/// "Group=NAME, description" from "NAME.GRP description".
std::string GroupLine(std::string_view text) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return "Group=" + std::string(text) + "\n";
  const size_t from = dot + kGroupDescriptionAfterDot;
  const std::string_view description = from < text.size() ? text.substr(from) : "";
  return "Group=" + std::string(text.substr(0, dot)) + ", " + std::string(description) + "\n";
}

void WriteIcon(HelpFile& hf, OutputSink& project, Bytes icon) {
  project.Write("ICON=ICON.ICO\n");
  std::unique_ptr<OutputSink> file = hf.session->output.CreateBinary("ICON.ICO");
  if (!file) {
    hf.diagnostics().Warning(kWarnIconNotWritten, "ICON.ICO");
    return;
  }
  file->Write(std::string_view(reinterpret_cast<const char*>(icon.data()), icon.size()));
  file->Close();
}

}  // namespace

void WriteSystemSections(HelpFile& hf, OutputSink& project) {
  project.Write("[options]\nCompress=" + CompressWord(hf.system_header.flags) + "\n");
  if (hf.is_hc30) {
    project.Write("Title=" + ReadSystemStrings(hf).title.value_or("") + "\n");
    return;
  }
  Section section = Section::kNone;
  auto open = [&](Section s, const char* header) {
    if (section != s) project.Write(header);
    section = s;
  };
  for (const SystemRecord& record : ReadSystemRecords(hf)) {
    const std::string text = Text(record.data);
    switch (record.type) {
      case kRecordTitle:
        if (!text.empty()) project.Write("Title=" + text + "\n");
        break;
      case kRecordCopyright:
        if (text.size() >= kMinCopyrightLength) project.Write("CopyRight=" + text + "\n");
        break;
      case kRecordContents:
        if (record.data.size() >= 4) {
          // The contents topic's context starts within 5 of its offset (32-bit arithmetic).
          const uint32_t t = ByteReader(record.data).u32();
          if (auto name = ContextNameInRange(hf, int32_t(t - 5), t + 5))
            project.Write("Contents=" + *name + "\n");
        }
        break;
      case kRecordConfig:
        open(Section::kConfig, "\n[Config]\n");
        project.Write(text + "\n");
        break;
      case kRecordIcon:
        if (!hf.option(kForPrint)) WriteIcon(hf, project, record.data);
        break;
      case kRecordWindow:
        open(Section::kWindows, "\n[Windows]\n");
        project.Write(WindowLine(hf, record.data));
        break;
      case kRecordCitation:
        project.Write("Citation= " + text + "\n");
        break;
      case kRecordGroup:
        open(Section::kGroups, "\n[GROUPS]\n");
        project.Write(GroupLine(text));
        break;
      default:
        break;
    }
  }
}

}  // namespace quorvex
