// The state of one open help file and of the conversion running on it.
//
// A help file is a container: a 16-byte file header, internal files each behind a 9-byte header,
// and a directory B-tree that maps internal-file names to their positions. The whole file is
// held in memory; every reader works on a ByteReader over it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/byte_reader.h"
#include "core/diagnostics.h"
#include "core/fonts.h"
#include "core/options.h"
#include "core/output.h"
#include "core/phrases.h"
#include "core/services.h"
#include "core/tables.h"
#include "core/topic_stream.h"

namespace quorvex {

/// What every conversion of one process shares: where messages and files go, and the running
/// character count of the RTF writer (which spans all files of a process).
struct ConversionSession {
  ConversionSession(Diagnostics& d, OutputDir& o, OutputDir* temp = nullptr)
      : diagnostics(d), output(o), temp_folder(temp) {
    output.ReportTo(&diagnostics);
    output.CountInto(&budget);
    if (temp_folder) {
      temp_folder->ReportTo(&diagnostics);
      temp_folder->CountInto(&budget);
    }
  }
  /// The folders may outlive the session: they keep no pointer into it.
  ~ConversionSession() {
    output.ReportTo(nullptr);
    output.CountInto(nullptr);
    if (temp_folder) {
      temp_folder->ReportTo(nullptr);
      temp_folder->CountInto(nullptr);
    }
  }
  ConversionSession(const ConversionSession&) = delete;
  ConversionSession& operator=(const ConversionSession&) = delete;
  Diagnostics& diagnostics;
  OutputDir& output;
  /// The folder named by TEMP, for the picture files of pictures embedded in the RTF; none:
  /// they go to `output` too.
  OutputDir* temp_folder;
  uint64_t rtf_char_count = 0;
  /// The topic passes read and decode the topics on a second thread, ahead of the writer. Off
  /// where the cores are busy already (a batch of several jobs).
  bool read_ahead = true;
  /// What the conversion running may still write (the driver sets it for each help file).
  OutputBudget budget;
};

/// The output a help file of `file_size` bytes can justify. The real help files known write at
/// most 34 bytes per byte of help file (printing mode, pictures embedded), and pictures stored
/// compressed can unpack to a few megabytes even in a small file; beyond this budget a file only
/// repeats its data (phrases, pictures, directory entries pointing at the same bytes).
inline uint64_t OutputBudgetFor(uint64_t file_size) {
  constexpr uint64_t kBudgetFloor = uint64_t{16} << 20;
  constexpr uint64_t kBudgetPerByte = 128;
  return kBudgetFloor + kBudgetPerByte * file_size;
}

inline constexpr uint32_t kHelpFileMagic = 0x00035F3F;
inline constexpr size_t kFileHeaderSize = 16;
inline constexpr size_t kInternalFileHeaderSize = 9;
inline constexpr size_t kBTreeHeaderSize = 38;
inline constexpr size_t kBTreePageHeaderSize = 8;
inline constexpr size_t kSystemHeaderSize = 12;
/// Directory names of 59 characters or more are a format error.
inline constexpr size_t kMaxInternalNameLength = 58;

struct FileHeader {
  uint32_t magic = 0;
  int32_t directory_start = 0;
  int32_t first_free_block = 0;
  int32_t file_size = 0;
};

struct BTreeHeader {
  uint16_t magic = 0;
  uint16_t flags = 0;
  uint16_t page_size = 0;
  std::string structure;  // up to 16 characters describing the key and value layout
  int16_t root_page = 0;
  uint16_t total_pages = 0;
  uint16_t levels = 0;
  int32_t total_entries = 0;
};

struct SystemHeader {
  uint16_t magic = 0;
  uint16_t minor = 0;
  uint16_t major = 0;
  uint32_t generation_date = 0;
  uint16_t flags = 0;
};

/// One entry of the internal directory.
struct InternalFile {
  int32_t data_offset = 0;  // file offset of the data: header offset + 9
  int32_t size = 0;         // used space from the internal file's header
  std::string name;
};

/// The well-known internal files, in slot order.
enum class Slot : int {
  kPhrases,   // "|Phrases"
  kPhrImage,  // "|PhrImage"
  kPhrIndex,  // "|PhrIndex"
  kSystem,    // "|SYSTEM"
  kFont,      // "|FONT"
  kTopic,     // "|TOPIC"
  kToMap,     // "|TOMAP"
  kContext,   // "|CONTEXT"
  kKwBtree,   // "|KWBTREE" or "|0KWBTREE"
  kKwData,    // "|KWDATA" or "|0KWDATA"
  kAwBtree,   // "|AWBTREE"
  kAwData,    // "|AWDATA"
  kCtxOMap,   // "|CTXOMAP"
  kCount
};

struct SlotEntry {
  int32_t data_offset = 0;  // 0: the internal file is absent
  int32_t size = 0;
  bool present() const { return data_offset != 0; }
};

/// The RTF character-format string of each font descriptor ("\f0\cf0\fs20\b0\i0\ul0").
using FontStyleTable = std::vector<std::string>;

class TopicReadAhead;
struct TopicReadAheadDeleter {
  void operator()(TopicReadAhead* walk) const;
};
class KeptRecords;
struct KeptRecordsDeleter {
  void operator()(KeptRecords* kept) const;
};

struct HelpFile {
  ConversionOptions options = 0;
  bool compressed = false;  // topic blocks are LZ77-compressed
  std::string path;
  std::vector<uint8_t> bytes;  // the whole help file

  FileHeader file_header;
  BTreeHeader directory_header;
  SystemHeader system_header;
  bool is_hc30 = false;
  bool is_hcrtf = false;
  bool is_media_viewer = false;
  uint32_t code_page = 1252;  // the ANSI code page of the help file's text
  int16_t first_leaf = 0;     // page number of the directory's first leaf
  uint32_t page0_offset = 0;  // file offset of the directory's page 0
  std::array<SlotEntry, static_cast<size_t>(Slot::kCount)> slots{};
  std::vector<InternalFile> internal_files;

  PhraseTables phrases;

  // The tables the preparatory phases build; the topic writer changes some of them (look-up
  // fingers, browse sequences), so they start a cache line of their own, away from what a walk
  // read ahead on another thread reads above.
  alignas(64) KnownContextNames known_context_names;
  std::optional<ContextMap> context_map;               // only when the context map was loaded
  std::optional<KeywordTable> k_keywords, a_keywords;  // only when loaded and present
  WindowNames window_names;
  BrowseGroups browse_groups;
  ExtractedPictureList extracted_pictures;
  FontModel fonts;
  FontStyleTable font_styles;

  // The names this conversion writes (the driver sets them), so that no file taken from the
  // help file overwrites them.
  std::string output_project_name;
  std::string output_base_name;

  // The localization reference file, once created, its running key number and whether the
  // blank line after a paragraph end has been written since the last reference.
  std::unique_ptr<OutputSink> localization;
  uint32_t localization_counter = 0;
  bool localization_paragraph_line = false;

  // (in a cache line of its own, away from the localization fields the writer changes)
  alignas(64) bool main_pass = false;  // true during the main topic pass, false during the pre-pass
  /// Set while a walk only looks ahead (the main pass reports what it meets).
  bool quiet = false;

  ConversionSession* session = nullptr;
  /// What the topic writers need from outside the reading core (set by the driver).
  TopicServices* services = nullptr;

  /// The walk's place in |TOPIC, in cache lines of its own: a walk read ahead on another
  /// thread writes it all the time, and the writer's thread reads the fields above.
  alignas(64) TopicStream topic_stream;
  /// The records the pre-pass's walk gave, kept for the main pass (see KeptRecords).
  std::unique_ptr<KeptRecords, KeptRecordsDeleter> kept_records;
  /// The pre-pass's walk, when the driver starts it before the tables load (ConvertTopics
  /// takes it over). Last, so that its reader thread stops before what it reads goes.
  std::unique_ptr<TopicReadAhead, TopicReadAheadDeleter> early_walk;

  bool option(ConversionOptions bit) const { return (options & bit) != 0; }
  Diagnostics& diagnostics() const {
    static thread_local NullDiagnostics silent;
    if (quiet) return silent;
    return held_diagnostics ? *held_diagnostics : session->diagnostics;
  }
  /// Set on a thread that reads topics ahead of the writer: what it reports is held there
  /// until the writer takes the record it belongs to.
  inline static thread_local Diagnostics* held_diagnostics = nullptr;
  /// The services the driver was given, or ones that do nothing.
  TopicServices& topic_services() const {
    static TopicServices none;
    return services ? *services : none;
  }
  const SlotEntry& slot(Slot s) const { return slots[static_cast<size_t>(s)]; }
  SlotEntry& slot(Slot s) { return slots[static_cast<size_t>(s)]; }

  /// A reader over the whole file.
  ByteReader reader() const { return ByteReader(Bytes(bytes.data(), bytes.size())); }
  /// A reader over the data of a well-known internal file: empty when the file is absent, cut
  /// to the bytes the help file really holds.
  ByteReader InternalData(Slot s) const {
    const SlotEntry& e = slot(s);
    if (!e.present()) return ByteReader();
    return reader().sub(static_cast<uint32_t>(e.data_offset), static_cast<uint32_t>(e.size));
  }
  ByteReader InternalData(const InternalFile& f) const {
    return reader().sub(static_cast<uint32_t>(f.data_offset), static_cast<uint32_t>(f.size));
  }

  /// True once the conversion has written more than its output budget: whoever finds it so
  /// first warns (kWarnOutputBudget) and stops, and every later step skips its work.
  bool OutputBudgetSpent() const {
    if (!session) return false;
    OutputBudget& b = session->budget;
    if (!b.spent()) return false;
    if (!b.reported) session->diagnostics.Warning(kWarnOutputBudget, b.written, bytes.size());
    b.reported = true;
    return true;
  }
};

}  // namespace quorvex
