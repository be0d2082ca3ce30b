// Decoded topic records: what the topic walk (topic_walk.h) reads out of a TopicLink record.
// The decoder (topic_decoder.h) fills these from the record's bytes; the writers turn them into
// output. Nothing here knows about RTF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvex {

// TopicLink record types.
inline constexpr uint8_t kRecordParagraphHc30 = 1;
inline constexpr uint8_t kRecordTopicHeader = 2;
inline constexpr uint8_t kRecordParagraph = 0x20;
inline constexpr uint8_t kRecordTable = 0x23;

/// The 21 bytes at the start of every record.
struct TopicLinkHeader {
  int32_t record_size = 0;    // header, FormatPart and stored TextPart together
  int32_t text_length = 0;    // length of the expanded TextPart
  int32_t previous = 0;       // TopicPosition of the previous record (not used)
  int32_t next = 0;           // TopicPosition of the next record (HC30: a distance); -1 last
  int32_t format_length = 0;  // header plus FormatPart
  uint8_t type = 0;
};
inline constexpr size_t kTopicLinkHeaderSize = 21;

/// The FormatPart of a topic header (type 2) and its expanded text.
struct TopicHeaderRecord {
  int32_t first_field = 0;   // HC30: 8 or less marks the last topic
  int32_t browse_back = -1;  // predecessor in the browse sequence, -1 if none
  int32_t browse_forward = -1;
  int32_t topic_number = 0;
  int32_t scroll_start = 0;  // TopicPosition where the scrolling region starts
  std::string text;          // title, NUL, entry macros (as expanded)
};

/// The text strings of a record, consumed one NUL-terminated string at a time. A record
/// without text gives empty strings. The count of bytes left goes down by each string's length
/// and its NUL; once it is 0, every further string is empty.
class TextCursor {
 public:
  TextCursor() = default;
  explicit TextCursor(std::string_view text) : text_(text), left_(text.size()) {}
  /// The next string (without its NUL).
  std::string_view Next();
  size_t left() const { return left_; }

 private:
  std::string_view text_;
  size_t pos_ = 0;
  size_t left_ = 0;
};

/// A tab stop of a paragraph.
struct TabStop {
  enum class Kind { kLeft, kRight, kCenter };
  uint16_t position = 0;  // v AND 0x3FFF, in the help file's units
  Kind kind = Kind::kLeft;
};

// ParagraphInfo bits.
inline constexpr uint16_t kParaUnknownPair = 0x0001;
inline constexpr uint16_t kParaSpaceBefore = 0x0002;
inline constexpr uint16_t kParaSpaceAfter = 0x0004;
inline constexpr uint16_t kParaLineSpacing = 0x0008;
inline constexpr uint16_t kParaLeftIndent = 0x0010;
inline constexpr uint16_t kParaRightIndent = 0x0020;
inline constexpr uint16_t kParaFirstIndent = 0x0040;
inline constexpr uint16_t kParaBorder = 0x0100;
inline constexpr uint16_t kParaTabs = 0x0200;
inline constexpr uint16_t kParaRightAlign = 0x0400;
inline constexpr uint16_t kParaCenter = 0x0800;
inline constexpr uint16_t kParaKeep = 0x1000;

/// Paragraph properties as stored (measures not yet scaled).
struct ParagraphProperties {
  uint16_t bits = 0;
  int space_before = 0;  // valid when the bit of the field is set
  int space_after = 0;
  int line_spacing = 0;
  int left_indent = 0;
  int right_indent = 0;
  int first_indent = 0;
  uint8_t border_flags = 0;   // valid with kParaBorder
  std::vector<TabStop> tabs;  // valid with kParaTabs
};

/// Target of a jump or popup hotspot start (0xE0 to 0xEF).
struct HotspotTarget {
  bool valid = false;  // false: fewer formatting bytes left than the target form needs
  bool extended = false;
  uint8_t flags = 0;  // extended form: 0x01 window number, 0x02 window name, 0x04 file name
  uint32_t hash = 0;
  uint8_t window_number = 0;
  std::string_view window_name;  // (see ParagraphCommand)
  std::string_view file_name;
};

// Object types of the commands 0x86, 0x87 and 0x88.
inline constexpr uint8_t kObjectPictureHc30 = 3;  // a picture by number
inline constexpr uint8_t kObjectPicture = 0x22;   // a picture by number, or stored in the text
inline constexpr uint8_t kObjectEmbedded = 5;     // embedded window, button or media object

/// An object placed in the text (0x86, 0x87, 0x88).
struct ObjectData {
  uint8_t type = 0;         // 3 or 0x22 picture; 5 embedded window, button or media object
  int32_t size = 0;         // compressed signed long after the type
  uint16_t char_count = 0;  // added to the PositionAdjustment (pictures of type 0x22)
  int16_t stored_flag = 0;  // pictures: non-zero when the picture's bytes are stored here
  std::optional<uint16_t> picture_number;  // none for a stored 0x22 picture
  Bytes stored_picture;  // the stored picture container (see ParagraphCommand)
  std::string_view text;  // type 5: the object text ("!button", "*media", or an embedded window)
};

/// One command of a paragraph's command list, with its operands. Its texts and bytes (macro,
/// window and file names, object text, stored picture) lie in the FormatPart it was decoded
/// from, which must outlive it: a command owns nothing, so that making and dropping the many
/// commands of each paragraph costs no more than writing their fields.
struct ParagraphCommand {
  // Every member has its initializer: a constructor of its own spares the command, made for
  // each command of each paragraph, the zero-filling of all its bytes before they are set.
  ParagraphCommand() noexcept {}
  uint8_t code = 0;
  uint16_t font = 0;         // 0x80
  bool before_end = false;   // 0x82: the next formatting byte is 0xFF
  int16_t macro_length = 0;  // 0xC8, 0xCC: L; the macro text when L > 0
  std::string_view macro;
  HotspotTarget hotspot;  // 0xE0 to 0xEF
  ObjectData object;      // 0x86, 0x87, 0x88
};

// Command bytes.
inline constexpr uint8_t kCmdFont = 0x80;
inline constexpr uint8_t kCmdLineBreak = 0x81;
inline constexpr uint8_t kCmdParagraphEnd = 0x82;
inline constexpr uint8_t kCmdTab = 0x83;
inline constexpr uint8_t kCmdObjectInLine = 0x86;
inline constexpr uint8_t kCmdObjectLeft = 0x87;
inline constexpr uint8_t kCmdObjectRight = 0x88;
inline constexpr uint8_t kCmdHotspotEnd = 0x89;
inline constexpr uint8_t kCmdMacro = 0xC8;
inline constexpr uint8_t kCmdMacroNoFont = 0xCC;
inline constexpr uint8_t kCmdEnd = 0xFF;

/// True for the jump and popup hotspot starts 0xE0-0xE3, 0xE6, 0xE7, 0xEA, 0xEB, 0xEE, 0xEF.
constexpr bool IsHotspotStart(uint8_t c) {
  return c == 0xE0 || c == 0xE1 || c == 0xE2 || c == 0xE3 || c == 0xE6 || c == 0xE7 || c == 0xEA ||
         c == 0xEB || c == 0xEE || c == 0xEF;
}

/// A paragraph: its properties, then texts[0], commands[0], texts[1], commands[1], ...,
/// texts.back(). texts.size() == commands.size() + 1 always; no text holds a NUL. The texts are
/// views into the record's text, valid as long as the record is.
struct Paragraph {
  ParagraphProperties properties;
  std::vector<std::string_view> texts;
  std::vector<ParagraphCommand> commands;
  /// The formatting data ended before the 0xFF that closes the command list.
  bool missing_end = false;
  /// A command's operands ran past the formatting data; the list was cut there.
  bool truncated = false;
};

/// A column of a table row.
struct TableColumn {
  uint16_t width = 0;
  uint16_t spacing = 0;
};

/// A paragraph of a table cell, with the column it belongs to.
struct CellParagraph {
  uint8_t column = 0;
  Paragraph paragraph;
};

/// A table record (type 35): one table row.
struct TableRow {
  uint8_t column_count = 0;
  uint8_t table_type = 0;            // 0, 1 or 3 supported
  uint16_t width_factor = 32767;     // type 0 only
  std::vector<TableColumn> columns;  // as stored (type 0 scaling is the writer's)
  std::vector<CellParagraph> cells;  // consecutive paragraphs with one column form one cell
  bool truncated = false;            // the layout ran past the formatting data
};

}  // namespace quorvex
