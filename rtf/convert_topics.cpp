#include "rtf/convert_topics.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "core/driver.h"
#include "core/rtf_escape.h"
#include "core/topic_read_ahead.h"
#include "core/topic_walk.h"
#include "rtf/document_frame.h"
#include "rtf/footnotes.h"
#include "rtf/hotspots.h"
#include "rtf/localization.h"
#include "rtf/paragraph_writer.h"
#include "rtf/table_writer.h"

namespace quorvex {

namespace {

/// Keyword texts are at most this long in the keyword B-trees.
constexpr size_t kMaxKeywordLength = 8000;

/// HC30 topic n is named by the context name of hash n + 15.
constexpr uint32_t kHc30TopicHashBase = 15;
/// The index's titles of a keyword with more topics than this are told apart by a set.
constexpr size_t kFewIndexTitles = 16;
/// Keywords are looked up from 2 before a record's TopicOffset to 2 after it at least.
constexpr int64_t kKeywordSlack = 2;

/// Where the keywords of a text record are looked up (not HC30): they may point anywhere into
/// the record, not only near its start.
std::pair<int64_t, int64_t> KeywordRange(const TopicRecord& record) {
  const int64_t t = record.topic_offset;
  return {t - kKeywordSlack, t + std::max<int64_t>(kKeywordSlack, int64_t{record.text_length} - 1)};
}

/// The context mark of a text record is looked up from its TopicOffset to the end of its text;
/// a record without text covers no offset (its end, t - 1, would wrap round to all of them).
std::optional<std::pair<int32_t, uint32_t>> ContextRange(const TopicRecord& record) {
  if (record.text_length == 0) return std::nullopt;
  const uint32_t t = record.topic_offset;
  return std::make_pair(static_cast<int32_t>(t), t + record.text_length - 1);
}

/// Whether the main pass extracts a picture stored in the record's text for the command: that
/// may add context names (those of its hotspots), which the names of later look-ups depend on.
bool StoresPicture(const ParagraphCommand& c) {
  const bool object =
      c.code == kCmdObjectInLine || c.code == kCmdObjectLeft || c.code == kCmdObjectRight;
  return object && c.object.stored_flag != 0 &&
         (c.object.type == kObjectPicture || c.object.type == kObjectPictureHc30);
}

template <typename F>
void ForEachParagraph(const TopicRecord& record, F&& f) {
  if (record.kind == TopicRecord::Kind::kParagraph) f(record.paragraph);
  if (record.kind == TopicRecord::Kind::kTable) {
    for (const CellParagraph& cell : record.table.cells) f(cell.paragraph);
  }
}

/// What was looked up for a record ahead of the writer, in the bytes handed over with the
/// record: a byte of flags, then for a topic header its browse-sequence name (kBrowse); for a
/// text record its context name and its hotspots' hashes and escaped target names (kNames),
/// then its K and A keywords (kKeywords). A text is its length plus one (0: none) and its
/// bytes; numbers are 32-bit, in the machine's order (the bytes never leave the process).
enum AnswerFlags : uint8_t { kNames = 1, kKeywords = 2, kBrowse = 4 };
/// The flag of a text record's note (LookupAnswers::Note) that it stores a picture.
constexpr uint8_t kNoteStoresPicture = 1;

class AnswerWriter {
 public:
  explicit AnswerWriter(std::vector<uint8_t>& out) : out_(out) { out_.push_back(0); }
  void Flag(uint8_t flag) { out_[0] |= flag; }
  void Number(uint32_t n) {
    uint8_t bytes[sizeof n];
    std::memcpy(bytes, &n, sizeof n);
    out_.insert(out_.end(), bytes, bytes + sizeof n);
  }
  void Text(const std::optional<std::string>& text) {
    // (a text of 4 GB cannot come from a help file whose offsets are 32-bit)
    Number(text ? static_cast<uint32_t>(text->size() + 1) : 0);
    if (text) out_.insert(out_.end(), text->begin(), text->end());
  }

 private:
  std::vector<uint8_t>& out_;
};

/// Reads back what AnswerWriter wrote; nothing once it runs out.
class AnswerReader {
 public:
  explicit AnswerReader(Bytes in) : in_(in) {}
  uint8_t Flags() { return in_.empty() ? 0 : in_[at_++]; }
  uint32_t Number() {
    uint32_t n = 0;
    if (in_.size() - at_ >= sizeof n) std::memcpy(&n, in_.data() + at_, sizeof n);
    at_ = std::min(in_.size(), at_ + sizeof n);
    return n;
  }
  std::optional<std::string_view> Text() {
    const uint32_t n = Number();
    if (n == 0) return std::nullopt;
    const size_t size = std::min<size_t>(n - 1, in_.size() - at_);
    const std::string_view text(reinterpret_cast<const char*>(in_.data() + at_), size);
    at_ += size;
    return text;
  }

 private:
  Bytes in_;
  size_t at_ = 0;
};

/// What the writer gets looked up ahead for the record it writes.
struct RecordAnswers {
  uint8_t flags = 0;
  std::optional<std::string_view> context, k, a, browse;
  HotspotNames hotspots;

  void Read(const TopicRecord& record, Bytes bytes) {
    AnswerReader in(bytes);
    flags = in.Flags();
    if (flags == 0) return;  // nothing looked up (the pre-pass, no second thread)
    if (record.kind == TopicRecord::Kind::kTopicHeader) {
      if (flags & kBrowse) browse = in.Text();
      return;
    }
    if (flags & kNames) {
      hotspots.Clear();
      context = in.Text();
      for (uint32_t n = in.Number(); n > 0; --n) {
        const uint32_t hash = in.Number();
        hotspots.Add(hash, in.Text().value_or(""));
      }
    }
    if (flags & kKeywords) {
      k = in.Text();
      a = in.Text();
    }
  }
};

/// Looks up, ahead of the main pass's writer and on another thread, what it writes for each
/// record: the browse-sequence names (this side's alone from then on: they keep the positions
/// they count), the keywords (with marks of its own, as the writer's would be), and, until a
/// record extracts a picture that may add context names, the context names; from that record
/// on the writer looks names up again, on its own. HC30's keywords depend on what the writer
/// found for the records before: the writer looks them up.
class LookupAnswers : public TopicAnswers {
 public:
  explicit LookupAnswers(HelpFile& hf) : hf_(hf) {}
  /// Of a text record: nothing when it has no valid hotspot and stores no picture; else a
  /// byte of flags (kNoteStoresPicture), then the hashes of its valid hotspots (32-bit, in the
  /// machine's order).
  void Note(const TopicRecord& record, std::vector<uint8_t>& note) const override {
    // Gathered in a buffer of its own first, and handed over in one piece: most records have
    // a few hashes, many none.
    constexpr size_t kGathered = 32;
    uint8_t gathered[1 + kGathered * sizeof(uint32_t)];
    gathered[0] = 0;  // the flags, set at the end
    size_t size = 1;
    uint8_t flags = 0;
    ForEachParagraph(record, [&](const Paragraph& p) {
      for (const ParagraphCommand& c : p.commands) {
        if (c.code < kCmdObjectInLine) continue;  // fonts, line breaks, paragraph ends, tabs
        if (IsHotspotStart(c.code)) {
          if (!c.hotspot.valid) continue;
          if (size == sizeof gathered) {
            note.insert(note.end(), gathered + (note.empty() ? 0 : 1), gathered + size);
            size = 1;
          }
          std::memcpy(gathered + size, &c.hotspot.hash, sizeof(uint32_t));
          size += sizeof(uint32_t);
        } else if (StoresPicture(c)) {
          flags |= kNoteStoresPicture;
        }
      }
    });
    if (size > 1 || flags)
      note.insert(note.end(), gathered + (note.empty() ? 0 : 1), gathered + size);
    if (!note.empty()) note[0] = flags;
  }
  void Answer(const TopicRecord& record, Bytes note, std::vector<uint8_t>& answers) override {
    TopicServices& services = hf_.topic_services();
    AnswerWriter out(answers);
    if (record.kind == TopicRecord::Kind::kTopicHeader) {
      if (!hf_.option(kBrowseSeq)) return;
      const TopicHeaderRecord& h = record.header;
      out.Flag(kBrowse);
      out.Text(
          services.BrowseSequenceName(hf_, h.browse_back, record.browse_topic, h.browse_forward));
      return;
    }
    if (record.kind == TopicRecord::Kind::kOther) return;
    AnswerReader noted(note);
    names_stopped_ |= (noted.Flags() & kNoteStoresPicture) != 0;
    if (!names_stopped_) {
      out.Flag(kNames);
      const auto range = ContextRange(record);
      out.Text(range ? services.ContextNameInRange(hf_, range->first, range->second)
                     : std::nullopt);
      const auto hotspots =
          static_cast<uint32_t>(note.empty() ? 0 : (note.size() - 1) / sizeof(uint32_t));
      out.Number(hotspots);
      for (uint32_t i = 0; i < hotspots; ++i) {
        const uint32_t hash = noted.Number();
        out.Number(hash);
        out.Text(RtfEscaped(services.ContextNameForHash(hf_, hash)));
      }
    }
    if (hf_.is_hc30) return;
    out.Flag(kKeywords);
    const auto [low, high] = KeywordRange(record);
    out.Text(hf_.k_keywords ? services.KeywordsForTopic(hf_, *hf_.k_keywords, low, high, &marks_.k)
                            : std::nullopt);
    out.Text(hf_.a_keywords && !hf_.option(kIndex)
                 ? services.KeywordsForTopic(hf_, *hf_.a_keywords, low, high, &marks_.a)
                 : std::nullopt);
  }

 private:
  HelpFile& hf_;
  KeywordMarks marks_;
  bool names_stopped_ = false;
};

/// Brings what TopicWriter looks up for a record towards the caches, on the reader's thread:
/// the browse-sequence slots of a topic and of the topic it leads to, and the keywords of a text
/// record with their texts, which lie scattered over the file. Only what the writer does not
/// change is read: the keyword tables, and where the browse slots are, which the writer hands
/// over (Follow) each time the table has grown.
class LookupWarmer : public TopicLookAhead {
 public:
  explicit LookupWarmer(const HelpFile& hf) : hf_(hf) { Follow(); }
  /// On the writer's thread, after each record.
  void Follow() {
    if (!hf_.option(kBrowseSeq)) return;
    const BrowseTopicTable::Slots now = hf_.browse_groups.topics.slots();
    if (now.slots == followed_) return;
    followed_ = now.slots;
    // Each place handed over stays as it was until the pass ends: the reader may still read it.
    handed_over_.push_back(std::make_unique<const BrowseTopicTable::Slots>(now));
    browse_.store(handed_over_.back().get(), std::memory_order_release);
  }
  void Warm(const TopicRecord& record) override {
    if (record.kind == TopicRecord::Kind::kTopicHeader) {
      if (const BrowseTopicTable::Slots* slots = browse_.load(std::memory_order_acquire)) {
        __builtin_prefetch(slots->First(record.browse_topic));
        __builtin_prefetch(slots->First(record.header.browse_forward));
      }
      return;
    }
    if (hf_.is_hc30 || record.kind == TopicRecord::Kind::kOther) return;
    const auto [low, high] = KeywordRange(record);
    WarmKeywords(hf_.k_keywords, low, high, k_);
    WarmKeywords(hf_.a_keywords, low, high, a_);
  }

 private:
  /// The reader's place in a keyword table, and the pairs it brought towards the caches for
  /// the record before, whose texts it brings now: the pairs have arrived by then, so that
  /// the reader does not wait for them.
  struct KeywordWarming {
    size_t finger = 0;
    KeywordTable::Places last{0, 0};
  };
  void WarmKeywords(const std::optional<KeywordTable>& table, int64_t low, int64_t high,
                    KeywordWarming& w) {
    if (!table) return;
    table->PrefetchTexts(w.last, hf_.bytes.data(), hf_.bytes.size());
    w.last = table->PrefetchPairs(low, high, w.finger);
  }

  const HelpFile& hf_;
  // The writer's:
  const BrowseTopic* followed_ = nullptr;
  std::vector<std::unique_ptr<const BrowseTopicTable::Slots>> handed_over_;
  // Shared, then the reader's:
  std::atomic<const BrowseTopicTable::Slots*> browse_{nullptr};
  alignas(64) KeywordWarming k_, a_;
};

/// Writes the records of one pass as they come from the topic walk.
class TopicWriter {
 public:
  TopicWriter(HelpFile& hf, std::string_view base_name, OutputSink& project, bool main_pass)
      : hf_(hf), base_name_(base_name), project_(project), main_pass_(main_pass) {}

  /// `answers`: what was looked up for the record ahead (TopicReadAhead::answers).
  void Write(const TopicRecord& record, Bytes answers = {});
  /// The index (with Index) and the end of the last file.
  void Finish(bool topic_seen);
  int ProgressPercent(int32_t block) const;
  /// What the contents field shows before a word processor computes it.
  void set_contents(std::string contents) { contents_ = std::move(contents); }

 private:
  void TopicHeader(const TopicRecord& record);
  void TextRecordMarks(const TopicRecord& record);
  void StartFile();
  void EnsureFile();
  std::string IndexResult() const;

  HelpFile& hf_;
  std::string base_name_;
  OutputSink& project_;
  bool main_pass_;

  std::unique_ptr<OutputSink> rtf_;
  std::string contents_;  // the result of the contents field
  /// Where each topic starts (HC30: its position) and its title, for the index's result.
  std::vector<std::pair<uint32_t, std::string>> topic_starts_;
  int file_number_ = 1;
  int topics_in_file_ = 0;
  bool first_topic_of_file_ = true;
  int32_t topic_number_ = 0;  // of the topic being written
  bool context_missing_ = false;
  bool after_topic_header_ = true;
  /// HC30: the TopicPosition of the current topic's header, around which its keywords are
  /// looked up at each text record until K keywords are found; none then, and before the first
  /// topic. The other compilers look up around each text record's own TopicOffset.
  std::optional<uint32_t> hc30_keyword_position_;
  KeywordMarks keyword_marks_;
  RecordAnswers answers_;  // of the record being written
};

int TopicWriter::ProgressPercent(int32_t block) const {
  const TopicGeometry g = TopicGeometryOf(hf_);
  const bool for_print = hf_.option(kForPrint);
  const int64_t span = for_print ? 50 : 25;
  const int64_t base = (main_pass_ && !for_print) ? 25 : 0;
  // A |TOPIC smaller than one block would divide by zero.
  const int64_t blocks =
      std::max<int64_t>(1, static_cast<uint32_t>(hf_.slot(Slot::kTopic).size) / g.block_size);
  return static_cast<int>(
      std::min<int64_t>(100, 50 + base + (int64_t{block} * span * 2 + blocks) / (2 * blocks)));
}

void TopicWriter::StartFile() {
  topics_in_file_ = 0;
  if (rtf_) EndRtfFile(hf_, *rtf_);
  const std::string name = RtfFileName(base_name_, hf_.option(kSplitRtf), file_number_);
  const bool first_file = file_number_ == 1;
  ++file_number_;
  if (main_pass_) {
    rtf_ = hf_.session->output.CreateText(name);
    if (!rtf_) FatalError(LoadText(kTextCantCreate), name);
    // Where a second core reads ahead, it also has time to write the file behind the writer.
    if (ReadAheadWanted(hf_)) rtf_->WriteBehind();
    BeginRtfFile(hf_, project_, *rtf_, rtf_->name());
    if (hf_.option(kToc) && first_file) {
      rtf_->Write("{\\b\\f0\\fs40 " + LoadText(kTextContents) +
                  "}\\par {\\field\\fldedit {\\*\\fldinst TOC \\\\f}{\\fldrslt " + contents_ +
                  "}}\\page ");
    }
  } else {
    rtf_ = OutputSink::Null();
  }
  first_topic_of_file_ = true;
}

/// A text record before the first topic header (a damaged file) has no file to go to: it opens
/// the first file, so that its text is kept, and that file counts as holding a topic already.
void TopicWriter::EnsureFile() {
  if (rtf_) return;
  StartFile();
  first_topic_of_file_ = false;
}

void TopicWriter::TopicHeader(const TopicRecord& record) {
  const TopicHeaderRecord& header = record.header;
  if (context_missing_ && !hf_.is_hc30) hf_.diagnostics().Warning(kWarnNoContextId, topic_number_);
  topic_number_ = record.topic_number;

  bool new_file = first_topic_of_file_;
  if (!new_file) {
    const int before = topics_in_file_++;
    new_file = hf_.option(kSplitRtf) && before > kSplitTopicThreshold;
  }
  if (new_file) StartFile();

  if (!first_topic_of_file_) {
    rtf_->Write(hf_.option(kPageBreak) ? "\\page\\pard\n" : "\\par\\pard\\par\n");
    LocalizationNewTopic(hf_);
  }
  first_topic_of_file_ = false;
  if (!hf_.option(kForPrint)) context_missing_ = true;

  if (hf_.is_hc30) {
    // HC30 keeps no context strings: a topic is named after its number, as [Map] names it.
    const uint32_t hash = static_cast<uint32_t>(topic_number_) + kHc30TopicHashBase;
    WriteFootnote(hf_, *rtf_, hf_.topic_services().ContextNameForHash(hf_, hash), '#');
    context_missing_ = false;
    hc30_keyword_position_ = record.position;
  }

  if (!header.text.empty()) WriteTitle(hf_, *rtf_, header.text, header.browse_back != -1);
  if (hf_.option(kIndex))
    topic_starts_.push_back({hf_.is_hc30 ? record.position : record.topic_offset,
                             std::string(TextCursor(header.text).Next())});
  if (hf_.option(kBrowseSeq)) {
    if (answers_.flags & kBrowse) {
      if (answers_.browse) WriteFootnote(hf_, *rtf_, *answers_.browse, '+');
    } else if (auto name = hf_.topic_services().BrowseSequenceName(
                   hf_, header.browse_back, record.browse_topic, header.browse_forward)) {
      WriteFootnote(hf_, *rtf_, *name, '+');
    }
  }
  after_topic_header_ = true;
}

/// The context mark and the keywords that precede a text record's own RTF.
void TopicWriter::TextRecordMarks(const TopicRecord& record) {
  if (const auto range = ContextRange(record)) {
    const bool named = (answers_.flags & kNames)
                           ? WriteContextMarkOf(hf_, *rtf_, answers_.context)
                           : WriteContextMark(hf_, *rtf_, range->first, range->second);
    if (named) context_missing_ = false;
  }

  if (hf_.is_hc30) {
    if (!hc30_keyword_position_) return;
    const int64_t p = *hc30_keyword_position_;
    if (WriteTopicKeywords(hf_, *rtf_, p - kKeywordSlack, p + kKeywordSlack, keyword_marks_))
      hc30_keyword_position_.reset();
    return;
  }
  if (answers_.flags & kKeywords) return WriteKeywordsOf(hf_, *rtf_, answers_.k, answers_.a);
  // The marks keep the overlap with the neighbouring records from writing one twice.
  const auto [low, high] = KeywordRange(record);
  WriteTopicKeywords(hf_, *rtf_, low, high, keyword_marks_);
}

void TopicWriter::Write(const TopicRecord& record, Bytes answers) {
  answers_.Read(record, answers);
  HotspotNames* const names = (answers_.flags & kNames) ? &answers_.hotspots : nullptr;
  switch (record.kind) {
    case TopicRecord::Kind::kParagraph:
      after_topic_header_ = false;
      EnsureFile();
      TextRecordMarks(record);
      WriteParagraph(hf_, *rtf_, record.paragraph, record.non_scrolling, false, false, names);
      break;
    case TopicRecord::Kind::kTable:
      EnsureFile();
      TextRecordMarks(record);
      if (after_topic_header_) rtf_->Write("\\par");
      WriteTable(hf_, *rtf_, record.table, record.non_scrolling, names);
      break;
    case TopicRecord::Kind::kTopicHeader:
      TopicHeader(record);
      break;
    case TopicRecord::Kind::kOther:
      break;
  }
}

/// What the contents field shows before a word processor computes it: every topic title, by
/// level, from a quiet walk over all topics before the pass.
std::string ContentsResult(HelpFile& hf) {
  std::string result;
  hf.quiet = true;
  {
    TopicWalk walk(hf, true);
    while (const TopicRecord* r = walk.Next()) {
      if (r->kind != TopicRecord::Kind::kTopicHeader) continue;
      const std::string_view title = TextCursor(r->header.text).Next();
      if (title.empty()) continue;
      result +=
          r->header.browse_back != -1 ? "\\pard\\plain\\s26\\li200 " : "\\pard\\plain\\s25\\b ";
      result += RtfEscaped(title, hf.code_page) + "\\par\n";
    }
  }
  hf.quiet = false;
  return result;
}

/// What the index field shows before a word processor computes it: each K keyword, in
/// alphabetical order, with the titles of its topics.
std::string TopicWriter::IndexResult() const {
  if (!hf_.k_keywords) return {};
  const std::vector<KeywordPair>& pairs = hf_.k_keywords->pairs();
  const ByteReader file = hf_.reader();
  auto keyword_of = [&file](const KeywordPair& k) {
    ByteReader at = file.sub(k.keyword_position, file.size());
    return at.cstring(kMaxKeywordLength);
  };
  // The lower-case form of every keyword, once for the pairs of one leaf entry (they follow
  // each other and share the text), and every pair with its form and its topic (none: -1);
  // sorted, the pairs of one form follow each other, in table order.
  std::vector<std::string> keys;
  struct Entry {
    uint32_t key;
    uint32_t pair;
    int32_t topic;
  };
  std::vector<Entry> entries;
  entries.reserve(pairs.size());
  for (uint32_t i = 0; i < pairs.size(); ++i) {
    if (i == 0 || pairs[i].keyword_position != pairs[i - 1].keyword_position) {
      std::string key = keyword_of(pairs[i]);
      for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      keys.push_back(std::move(key));
    }
    if (keys.back().empty()) continue;
    // The topic whose start is the last at or before the keyword's offset (2 of slack).
    // (in 64 bits: a damaged offset near 2^32 must not wrap round to the first topic)
    const auto it = std::upper_bound(topic_starts_.begin(), topic_starts_.end(),
                                     uint64_t{pairs[i].topic_offset} + 2,
                                     [](uint64_t v, const auto& t) { return v < t.first; });
    const int32_t topic =
        it == topic_starts_.begin() ? -1 : static_cast<int32_t>(it - topic_starts_.begin() - 1);
    entries.push_back({static_cast<uint32_t>(keys.size() - 1), i, topic});
  }
  std::sort(entries.begin(), entries.end(), [&keys](const Entry& a, const Entry& b) {
    if (a.key != b.key) {
      if (const int c = keys[a.key].compare(keys[b.key]); c != 0) return c < 0;
    }
    return a.pair < b.pair;
  });
  std::string result;
  std::vector<const std::string*> titles;
  for (size_t first = 0, end = 0; first < entries.size(); first = end) {
    end = first + 1;
    while (end < entries.size() && keys[entries[end].key] == keys[entries[first].key]) ++end;
    // A keyword none of whose entries has a topic is not listed; one whose topics have no
    // title is, without titles. Each title once, in table order (looked up in a set for a
    // keyword of many topics, which would otherwise take time by the square of their number).
    bool listed = false;
    titles.clear();
    std::unordered_set<std::string_view> seen;
    const bool many = end - first > kFewIndexTitles;
    for (size_t e = first; e < end; ++e) {
      if (entries[e].topic < 0) continue;
      listed = true;
      const std::string& title = topic_starts_[static_cast<size_t>(entries[e].topic)].second;
      if (title.empty()) continue;
      const bool fresh = many ? seen.insert(title).second
                              : std::find_if(titles.begin(), titles.end(), [&title](auto* t) {
                                  return *t == title;
                                }) == titles.end();
      if (fresh) titles.push_back(&title);
    }
    if (!listed) continue;
    // Spelled as the keyword that comes first in the table.
    result += "\\pard\\plain\\s15 " +
              RtfEscaped(keyword_of(pairs[entries[first].pair]), hf_.code_page) + "\\tab ";
    for (size_t i = 0; i < titles.size(); ++i)
      result += (i ? "; " : "") + RtfEscaped(*titles[i], hf_.code_page);
    result += "\\par\n";
  }
  return result;
}

void TopicWriter::Finish(bool topic_seen) {
  // A help file without a single topic still gets one well-formed RTF file.
  if (!topic_seen && main_pass_) hf_.diagnostics().Warning(kWarnNoTopics);
  if (!rtf_) StartFile();
  if (hf_.option(kIndex)) {
    rtf_->Write("\\page{\\b\\f0\\fs40\\s24 " + LoadText(kTextIndex) +
                "}\\par\\par{\\field{\\*\\fldinst{\\f0\\cf1 INDEX \\\\h \"\\emdash A\\emdash \" "
                "\\\\c \"2\" }}{\\fldrslt " +
                IndexResult() + "}}");
  }
  EndRtfFile(hf_, *rtf_);
}

/// The bytes of records the pre-pass may keep for the main pass: twice the help file and
/// 32 MB. The conversion's other memory is about the file and some tables, so that the whole
/// stays within 64 MB and three times the file.
size_t KeptRecordsBudget(const HelpFile& hf) {
  constexpr size_t kKeptRecordsSlack = size_t{32} << 20;
  return 2 * hf.bytes.size() + kKeptRecordsSlack;
}

}  // namespace

void ConvertTopics(HelpFile& hf, std::string_view base_name, OutputSink& project, bool main_pass) {
  hf.main_pass = main_pass;
  hf.diagnostics().Progress(0, main_pass ? kPhaseReadingTopics : kPhaseScanningBrowse);
  if (main_pass) project.Write("\n[Files]\n");

  TopicWriter writer(hf, base_name, project, main_pass);
  if (main_pass && hf.option(kForPrint) && hf.option(kToc)) writer.set_contents(ContentsResult(hf));
  bool topic_seen = false;
  {
    // A second thread reads ahead where there is a second core for it.
    LookupWarmer warmer(hf);
    // The pre-pass's walk may have started early, while the tables loaded (taken over after
    // the warmer, so that its reader stops first); the main pass reads from the start anew.
    std::unique_ptr<TopicReadAhead, TopicReadAheadDeleter> early = std::move(hf.early_walk);
    if (main_pass) early.reset();
    // The main pass takes the records the pre-pass kept, where it could keep them all.
    std::unique_ptr<KeptRecords, KeptRecordsDeleter> kept = std::move(hf.kept_records);
    if (kept && !(main_pass && kept->complete())) kept.reset();
    // (before the walk, which may hand the records to it on another thread)
    std::optional<LookupAnswers> answers;
    if (kept) answers.emplace(hf);
    // (the pre-pass keeps with each text record the note its answers in the main pass need)
    std::optional<LookupAnswers> notes;
    std::optional<TopicReadAhead> own;
    TopicReadAhead& walk = early  ? *early
                           : kept ? own.emplace(hf, *kept, &*answers)
                                  : own.emplace(hf, ReadAheadWanted(hf), kReadAheadBytes, &warmer);
    if (early) early->LookAhead(&warmer);
    if (!main_pass) {
      hf.kept_records.reset(new KeptRecords(KeptRecordsBudget(hf)));
      walk.Keep(hf.kept_records.get(), ReadAheadWanted(hf) ? &notes.emplace(hf) : nullptr);
    }
    int32_t reported_block = -1;  // progress is reported as a new block starts
    while (!walk.done() && !(main_pass && hf.OutputBudgetSpent())) {
      if (const int32_t block = walk.block(); block != reported_block) {
        hf.diagnostics().Progress(writer.ProgressPercent(block), 0);
        reported_block = block;
      }
      if (const TopicRecord* record = walk.Next()) writer.Write(*record, walk.answers());
      // (answers ahead look the browse sequences up on their own thread: nothing to warm)
      if (!walk.answering()) warmer.Follow();
    }
    topic_seen = walk.topic_seen();
  }
  writer.Finish(topic_seen);
  if (main_pass) hf.diagnostics().Progress(100, 0);
}

}  // namespace quorvex
