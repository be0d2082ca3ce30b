#include "rtf/paragraph_writer.h"

#include <optional>
#include <string>
#include <string_view>

#include "rtf/hotspots.h"
#include "rtf/localization.h"
#include "rtf/media.h"
#include "rtf/rtf_text.h"

namespace quorvex {

namespace {

// Border flags of a paragraph, in the order their control words are written.
struct BorderWord {
  uint8_t flag;
  std::string_view word;
};
constexpr BorderWord kBorderWords[] = {
    {0x80, "\\brdrl"},   {0x10, "\\brdrr"}, {0x08, "\\brdrb"},
    {0x04, "\\brdrbar"}, {0x02, "\\brdrt"}, {0x01, "\\box"},
};
constexpr uint8_t kBorderThick = 0x20;
constexpr uint16_t kTabPositionMask = 0x3FFF;

/// Paragraph measures are twips in files with 42-byte font descriptors and units of ten twips
/// in the older ones.
long long MeasureScale(const HelpFile& hf) {
  return hf.fonts.new_descriptors ? 1 : 10;
}

/// The hotspot that is open: its hidden text is written at the hotspot end.
struct PendingHotspot {
  std::string hidden_text;
};

/// A picture object (types 3 and 0x22). A picture stored in the text is extracted in the main
/// pass and numbered at the end of the picture list; the pre-pass writes nothing for it.
void WritePictureObject(HelpFile& hf, OutputSink& out, const ObjectData& object, char alignment) {
  const bool stored = object.stored_flag != 0;
  std::optional<size_t> number = object.picture_number;
  if (stored) {
    number.reset();
    if (hf.main_pass) {
      const Bytes container(object.stored_picture.data(), object.stored_picture.size());
      number = hf.topic_services().ExtractStoredPicture(hf, container);
    }
  }
  if (!number) return;
  if (const ExtractedPicture* picture = hf.extracted_pictures.Find(*number)) {
    hf.topic_services().WriteRtfPicture(hf, out, *picture, alignment, stored);
  } else {
    hf.diagnostics().Warning(kWarnIllegalBitmap, *number);
  }
}

void WriteParagraphProperties(HelpFile& hf, OutputSink& out, const ParagraphProperties& p,
                              bool non_scrolling, bool in_table) {
  out.Write(non_scrolling ? "\\pard\\keepn\\s1" : "\\pard\\s0");
  if (in_table) out.Write("\\intbl");
  if (p.bits & kParaKeep) out.Write("\\keep");
  if (p.bits & kParaCenter) {
    out.Write("\\qc");
  } else if (p.bits & kParaRightAlign) {
    out.Write("\\qr");
  } else {
    out.Write("\\ql");
  }

  const long long scale = MeasureScale(hf);
  if (p.bits & kParaSpaceBefore) WriteControlWord(out, "\\sb", p.space_before * scale);
  if (p.bits & kParaSpaceAfter) WriteControlWord(out, "\\sa", p.space_after * scale);
  if (p.bits & kParaLineSpacing) {
    long long spacing = p.line_spacing * scale;
    // Embedded pictures can be taller than an exact line height; a minimum height lets them show.
    if (hf.option(kBmpInRtf) && spacing < 0) spacing = -spacing;
    WriteControlWord(out, "\\sl", spacing);
  }
  if (p.bits & kParaLeftIndent) WriteControlWord(out, "\\li", p.left_indent * scale);
  if (p.bits & kParaRightIndent) WriteControlWord(out, "\\ri", p.right_indent * scale);
  if (p.bits & kParaFirstIndent) WriteControlWord(out, "\\fi", p.first_indent * scale);

  if (p.bits & kParaBorder) {
    for (const BorderWord& b : kBorderWords) {
      if (p.border_flags & b.flag) out.Write(b.word);
    }
    out.Write((p.border_flags & kBorderThick) ? "\\brdrth" : "\\brdrs");
  }
  if (p.bits & kParaTabs) {
    for (const TabStop& tab : p.tabs) {
      if (tab.kind == TabStop::Kind::kRight) out.Write("\\tqr");
      if (tab.kind == TabStop::Kind::kCenter) out.Write("\\tqc");
      // Tab positions are always tenths: the trailing "0" multiplies by 10 whatever the scale.
      WriteControlWord(out, "\\tx", tab.position & kTabPositionMask);
      out.Write("0");
    }
  }
  out.Write(" ");
}

/// An object placed in the text (commands 0x86, 0x87, 0x88) with alignment letter `alignment`.
void WriteObject(HelpFile& hf, OutputSink& out, const ObjectData& object, char alignment) {
  if (object.type == kObjectPictureHc30 || object.type == kObjectPicture) {
    WritePictureObject(hf, out, object, alignment);
    return;
  }
  if (object.type != kObjectEmbedded) return;
  std::string_view text = object.text;
  if (!text.empty() && text.front() == '!') {
    out.Write("\\{button ");
    WriteTextString(hf, out, text.substr(1), kCategoryVerbatim);
    out.Write("\\}");
  } else if (!text.empty() && text.front() == '*') {
    WriteMciObject(hf, out, text.substr(1));
  } else {
    const char head[] = {'\\', '{', 'e', 'w', alignment, ' '};
    out.Write(std::string_view(head, sizeof(head)));
    WriteTextString(hf, out, text, kCategoryVerbatim);
    out.Write("\\}");
  }
}

std::string_view TextAt(const Paragraph& p, size_t i) {
  return i < p.texts.size() ? p.texts[i] : std::string_view();
}

/// WriteParagraph in a pass that only counts (CountsOnly): its texts count, and it warns where
/// the writer warns, in the same order; objects and hotspot starts go through their writers,
/// which count and warn as they do for a null sink.
void CountParagraph(HelpFile& hf, OutputSink& out, const Paragraph& paragraph, bool in_table,
                    bool last_in_cell) {
  uint64_t counted = 0;
  for (size_t i = 0; i <= paragraph.commands.size() && i < paragraph.texts.size(); ++i)
    counted += paragraph.texts[i].size();
  hf.session->rtf_char_count += counted;
  bool pending = false;  // a hotspot is open
  for (const ParagraphCommand& command : paragraph.commands) {
    switch (command.code) {
      case kCmdFont:
        if (command.font >= hf.font_styles.size()) hf.diagnostics().Warning(kWarnIllegalFont);
        break;
      case kCmdParagraphEnd:
        if (!(in_table && command.before_end && last_in_cell)) LocalizationParagraphEnd(hf);
        break;
      case kCmdObjectInLine:
      case kCmdObjectLeft:
      case kCmdObjectRight:
        WriteObject(hf, out, command.object,
                    command.code == kCmdObjectLeft    ? 'l'
                    : command.code == kCmdObjectRight ? 'r'
                                                      : 'c');
        break;
      case kCmdHotspotEnd:
        if (!pending) hf.diagnostics().Warning(kWarnHotspotEnd);
        pending = false;
        break;
      case kCmdMacro:
      case kCmdMacroNoFont:
        if (command.macro_length <= 0) {
          hf.diagnostics().Warning(kWarnIllegalMacro);
        } else {
          pending = true;
        }
        break;
      default:
        if (IsHotspotStart(command.code))
          pending = StartHotspot(hf, out, command, nullptr).has_value();
        break;
    }
  }
}

}  // namespace

void WriteParagraph(HelpFile& hf, OutputSink& out, const Paragraph& paragraph, bool non_scrolling,
                    bool in_table, bool last_in_cell, HotspotNames* names) {
  if (CountsOnly(hf, out)) return CountParagraph(hf, out, paragraph, in_table, last_in_cell);
  WriteParagraphProperties(hf, out, paragraph.properties, non_scrolling, in_table);

  std::optional<PendingHotspot> pending;
  for (size_t i = 0; i < paragraph.commands.size(); ++i) {
    WriteTextPiece(hf, out, TextAt(paragraph, i), kCategoryTopicText);
    const ParagraphCommand& command = paragraph.commands[i];
    switch (command.code) {
      case kCmdFont:
        if (command.font < hf.font_styles.size()) {
          std::string_view style = hf.font_styles[command.font];
          // Inside a hotspot the font change must not switch the hotspot's underline off.
          if (pending) style = style.substr(0, style.find("\\ul"));
          out.WritePlain(style);  // (control words only: no line feed)
          out.Write(" ");
        } else {
          hf.diagnostics().Warning(kWarnIllegalFont);
        }
        break;
      case kCmdLineBreak:
        out.Write("\\line\n");
        break;
      case kCmdParagraphEnd:
        // Every paragraph of a cell ends with 0x82 0xFF; only the cell's last one is ended by
        // the cell mark, the others need their "\par" or the cell's paragraphs run together.
        if (in_table && command.before_end && last_in_cell) break;
        out.Write("\\par\n");
        LocalizationParagraphEnd(hf);
        break;
      case kCmdTab:
        out.Write("\\tab ");
        break;
      case kCmdObjectInLine:
        WriteObject(hf, out, command.object, 'c');
        break;
      case kCmdObjectLeft:
        WriteObject(hf, out, command.object, 'l');
        break;
      case kCmdObjectRight:
        WriteObject(hf, out, command.object, 'r');
        break;
      case kCmdHotspotEnd:
        if (!pending) {
          hf.diagnostics().Warning(kWarnHotspotEnd);
        } else {
          out.Write("\\strike0\\ul0{\\v ");
          out.Write(pending->hidden_text);
          out.Write("}");
          pending.reset();
        }
        break;
      case kCmdMacro:
      case kCmdMacroNoFont:
        if (command.macro_length <= 0) {
          hf.diagnostics().Warning(kWarnIllegalMacro);
          break;
        }
        // The macro goes into a hidden group as it stands; a brace or backslash in it would
        // otherwise break the group (and the compiler reads "\\" back as "\").
        pending =
            PendingHotspot{(command.code == kCmdMacro ? "!" : "%!") + RtfEscaped(command.macro)};
        if (hf.option(kJumps)) out.Write("\\strike ");
        break;
      default:
        if (IsHotspotStart(command.code)) {
          if (std::optional<std::string> hidden = StartHotspot(hf, out, command, names)) {
            pending = PendingHotspot{std::move(*hidden)};
          } else {
            pending.reset();
          }
        }
        // Any other command byte is ignored.
        break;
    }
  }
  WriteTextPiece(hf, out, TextAt(paragraph, paragraph.commands.size()), kCategoryTopicText);
  // A hotspot still open here is dropped: its hidden text is never written.
}

}  // namespace quorvex
