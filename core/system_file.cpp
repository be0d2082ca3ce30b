#include "core/system_file.h"

#include "core/help_file.h"

namespace quorvex {

namespace {

/// Record head: type and data length, two 16-bit words.
constexpr size_t kRecordHeadSize = 4;
/// HC30 keeps the title as one line read into a buffer of this many characters.
constexpr size_t kHc30TitleLimit = 31;
/// Copyright and citation texts of 2 characters or fewer ("\xA9 ") are placeholders.
constexpr size_t kMinMeaningfulTextLength = 3;
// Record types of the strings.
constexpr uint16_t kRecordTitle = 1;
constexpr uint16_t kRecordCopyright = 2;
constexpr uint16_t kRecordCitation = 8;

/// The records of |SYSTEM; with `report`, a record cut by the end of the data is reported.
std::vector<SystemRecord> CollectRecords(const HelpFile& hf, bool report) {
  std::vector<SystemRecord> records;
  if (hf.is_hc30) return records;  // HC30 keeps only a title after the header
  ByteReader r = hf.InternalData(Slot::kSystem);
  if (r.size() <= kSystemHeaderSize) return records;
  r.seek(kSystemHeaderSize);
  while (!r.at_end()) {
    const size_t left = r.remaining();
    const uint16_t type = left >= 2 ? r.u16() : 0;
    if (left < kRecordHeadSize) {
      if (report && hf.session) hf.diagnostics().Warning(kWarnSystemRecordCut, type, left, 4);
      break;
    }
    const uint16_t length = r.u16();
    if (length > r.remaining()) {
      if (report && hf.session)
        hf.diagnostics().Warning(kWarnSystemRecordCut, type, r.remaining(), length);
      records.push_back({type, r.bytes(r.remaining())});
      break;
    }
    records.push_back({type, r.bytes(length)});
  }
  return records;
}

/// The record data as text: up to its first NUL, or all of it when there is none.
std::string RecordText(Bytes data) {
  ByteReader r(data);
  return r.cstring();
}

}  // namespace

void ReadSystemHeader(HelpFile& hf, const InternalFile& system) {
  hf.slot(Slot::kSystem) = SlotEntry{system.data_offset, system.size};
  // A |SYSTEM shorter than its header reads as zeros beyond its end, which no version accepts.
  ByteReader r = hf.InternalData(system);
  SystemHeader& h = hf.system_header;
  h.magic = r.u16();
  h.minor = r.u16();
  h.major = r.u16();
  h.generation_date = r.u32();
  h.flags = r.u16();

  hf.is_hc30 = hf.is_hcrtf = hf.is_media_viewer = false;
  switch (uint8_t(h.minor)) {
    case kMinorHc30:
      hf.is_hc30 = true;
      hf.diagnostics().Warning(kWarnCompiledBy, "HC30");
      break;
    case kMinorHc31:
      break;
    case kMinorMediaViewer:
      hf.is_media_viewer = true;
      hf.diagnostics().Warning(kWarnCompiledBy, "WMVC (Media Viewer)");
      break;
    case kMinorHcrtf:
      hf.is_hcrtf = true;
      hf.diagnostics().Warning(kWarnCompiledBy, "HCRTF (Windows NT/Windows 95)");
      break;
    default:
      if (hf.option(kProbeOnly)) return;
      FatalError("This Program can only Convert HLP-Files created by HC31,HC30 or HCRTF");
  }
}

bool IsSupportedMinorVersion(uint16_t minor) {
  const uint8_t low = uint8_t(minor);
  return low == kMinorHc30 || low == kMinorHc31 || low == kMinorMediaViewer || low == kMinorHcrtf;
}

void SetCompressed(HelpFile& hf) {
  hf.compressed = (hf.system_header.flags & kSystemFlagsCompressed) != 0 && !hf.is_hc30;
}

std::vector<SystemRecord> ReadSystemRecords(const HelpFile& hf, bool report) {
  return CollectRecords(hf, report);
}

SystemStrings ReadSystemStrings(const HelpFile& hf) {
  SystemStrings s;
  if (hf.is_hc30) {
    // One line of at most 31 characters; the line may end early at a line feed (which it
    // keeps) or at the end of |SYSTEM. Reading stays inside |SYSTEM.
    ByteReader r = hf.InternalData(Slot::kSystem);
    if (r.size() <= kSystemHeaderSize) return s;
    r.seek(kSystemHeaderSize);
    std::string line;
    while (line.size() < kHc30TitleLimit && !r.at_end()) {
      const char c = char(r.u8());
      line += c;
      if (c == '\n') break;
    }
    s.title = line.substr(0, line.find('\0'));
    return s;
  }
  for (const SystemRecord& rec : CollectRecords(hf, false)) {
    switch (rec.type) {
      case kRecordTitle:
        if (!rec.data.empty() && rec.data[0] != 0) s.title = RecordText(rec.data);
        break;
      case kRecordCopyright:
        if (std::string t = RecordText(rec.data); t.size() >= kMinMeaningfulTextLength)
          s.copyright = std::move(t);
        break;
      case kRecordCitation:
        if (std::string t = RecordText(rec.data); t.size() >= kMinMeaningfulTextLength)
          s.citation = std::move(t);
        break;
      default:
        break;
    }
  }
  return s;
}

}  // namespace quorvex
