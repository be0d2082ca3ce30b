#include "core/topic_read_ahead.h"

#include <sys/mman.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <type_traits>

#include "core/help_file.h"
#include "core/topic_decoder.h"

namespace quorvex {

namespace {

constexpr uint64_t kNotWaiting = UINT64_MAX;
/// A waiting side is woken once the other side has filled or freed an eighth of the ring.
/// Parts larger than an eighth of the ring go beside it. Each side tells the other how far it
/// is in steps of a 32nd of the ring (or at once when the other side waits), so that the
/// counters' cache lines seldom move between the cores.
constexpr uint64_t kWakePart = 8, kMaxPartsPart = 8, kPublishPart = 32;
/// The reader looks at how far the writer is after this many entries at the latest.
constexpr int kEntriesBetweenLooks = 32;

constexpr uint64_t RoundUp8(uint64_t n) {
  return (n + 7) & ~uint64_t{7};
}

/// Paragraphs and tables: the records a walk read ahead leaves to its writer to decode, and
/// the ones kept with a note (TopicAnswers::Note).
bool IsTextRecord(TopicRecord::Kind kind) {
  return kind == TopicRecord::Kind::kParagraph || kind == TopicRecord::Kind::kTable;
}

}  // namespace

/// What one call of TopicWalk::Next gave and what the walk said before and after it; the
/// record's FormatPart and text follow it in the ring.
struct TopicReadAhead::Entry {
  /// Bytes of the ring the entry takes with its parts (a multiple of 8); 0 marks the rest of
  /// the ring as unused, the next entry being at its start.
  uint64_t size = 0;
  TopicRecordPlace place;
  int32_t block_before = 0;
  uint32_t format_size = 0;
  uint32_t text_size = 0;
  bool has_record = false;
  /// The record, a paragraph or table, is left to the writer to decode (see
  /// TopicWalk::FinishNext); whether its place has the counts of the record before it added.
  bool decode_left = false;
  bool adds_previous_adjustment = false;
  bool done_after = false;
  bool topic_seen_after = false;
  /// The text in the ring is the stored text, to be expanded by the writer in `codes`; the
  /// first `warnings_before_text` warnings came before the expansion, the rest after it.
  bool stored = false;
  PhraseCodes codes = PhraseCodes::kOld;
  uint32_t warnings_before_text = 0;
  std::vector<uint8_t>* out_of_line = nullptr;     // the parts, when too large for the ring
  std::vector<WarningRecord>* warnings = nullptr;  // what the walk reported, if anything
};

void TopicReadAheadDeleter::operator()(TopicReadAhead* walk) const {
  delete walk;
}

void KeptRecordsDeleter::operator()(KeptRecords* kept) const {
  delete kept;
}

/// What is kept of one step of a walk: its record's place but for the link header's fields
/// other than the type, which no later pass reads (half the size of the whole place).
struct KeptRecords::Record {
  int32_t topic_number = 0, browse_topic = 0, block_before = 0;
  uint32_t topic_offset = 0, text_length = 0, position = 0, format_size = 0, text_size = 0;
  uint16_t note_size = 0;
  uint8_t kind = 0, type = 0;
  bool non_scrolling : 1 = false, has_text : 1 = false;
  bool has_record : 1 = false, done_after : 1 = false, topic_seen_after : 1 = false;
  bool noted : 1 = false;  // a note follows the text (of at most 64 KB: a larger one is not kept)

  /// Bytes the step takes with its FormatPart, text and note, which follow it.
  uint64_t size() const {
    return sizeof(Record) + RoundUp8(uint64_t{format_size} + text_size + note_size);
  }
  void SetPlace(const TopicRecordPlace& p) {
    topic_number = p.topic_number;
    browse_topic = p.browse_topic;
    topic_offset = p.topic_offset;
    text_length = p.text_length;
    position = p.position;
    kind = static_cast<uint8_t>(p.kind);
    type = p.link.type;
    non_scrolling = p.non_scrolling;
    has_text = p.has_text;
  }
  TopicRecordPlace Place() const {
    TopicRecordPlace p;
    p.kind = static_cast<TopicRecordPlace::Kind>(kind);
    p.link.type = type;
    p.topic_number = topic_number;
    p.topic_offset = topic_offset;
    p.text_length = text_length;
    p.browse_topic = browse_topic;
    p.position = position;
    p.non_scrolling = non_scrolling;
    p.has_text = has_text;
    return p;
  }
};

namespace {

/// Kept records are written into pieces of memory of this size, a huge page (a larger record
/// gets a piece of a multiple of it).
constexpr size_t kKeptChunkBytes = size_t{2} << 20;

}  // namespace

bool KeptRecords::Add(const Record& record, Bytes format, std::string_view text, Bytes note) {
  static_assert(std::is_trivially_copyable_v<Record>, "records are copied into the chunks");
  static_assert(sizeof(Record) % 8 == 0, "records start at multiples of 8");
  static_assert(sizeof(Record) == 40, "a record's place takes 40 bytes");
  if (dropped_) return false;
  Record r = record;
  r.format_size = static_cast<uint32_t>(format.size());
  r.text_size = static_cast<uint32_t>(text.size());
  r.noted = record.noted && note.size() <= UINT16_MAX;
  if (!r.noted) note = {};
  r.note_size = static_cast<uint16_t>(note.size());
  const size_t size = r.size();
  if (size > budget_ - std::min(budget_, size_)) {
    Drop();
    return false;
  }
  if (chunks_.empty() || chunks_.back().capacity - chunks_.back().used < size) {
    try {
      Chunk chunk;
      // Whole huge pages where the system has them: tens of MB of fresh memory cost far
      // fewer page faults so.
      chunk.capacity = (size + kKeptChunkBytes - 1) & ~(kKeptChunkBytes - 1);
      chunk.bytes.reset(
          static_cast<std::byte*>(std::aligned_alloc(kKeptChunkBytes, chunk.capacity)));
      if (!chunk.bytes) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
      madvise(chunk.bytes.get(), chunk.capacity, MADV_HUGEPAGE);  // (only a hint)
#endif
      chunks_.push_back(std::move(chunk));
    } catch (const std::bad_alloc&) {
      Drop();
      return false;
    }
  }
  Chunk& chunk = chunks_.back();
  std::byte* at = chunk.bytes.get() + chunk.used;
  std::memcpy(at, &r, sizeof r);
  at += sizeof r;
  if (!format.empty()) std::memcpy(at, format.data(), format.size());
  if (!text.empty()) std::memcpy(at + format.size(), text.data(), text.size());
  if (!note.empty()) std::memcpy(at + format.size() + text.size(), note.data(), note.size());
  chunk.used += size;
  size_ += size;
  if (record.done_after) complete_ = true;
  return true;
}

KeptRecords::Record KeptRecords::Read(Cursor& cursor, const uint8_t*& parts) const {
  if (cursor.at == chunks_[cursor.chunk].used) cursor = {cursor.chunk + 1, 0};
  const std::byte* at = chunks_[cursor.chunk].bytes.get() + cursor.at;
  Record r;
  std::memcpy(&r, at, sizeof r);
  cursor.at += r.size();
  parts = reinterpret_cast<const uint8_t*>(at + sizeof r);
  return r;
}

int32_t KeptRecords::BlockBefore(Cursor cursor) const {
  if (cursor.at == chunks_[cursor.chunk].used) cursor = {cursor.chunk + 1, 0};
  int32_t block;
  std::memcpy(&block,
              chunks_[cursor.chunk].bytes.get() + cursor.at + offsetof(Record, block_before),
              sizeof block);
  return block;
}

void KeptRecords::Drop() {
  dropped_ = true;
  complete_ = false;
  size_ = 0;
  std::vector<Chunk>().swap(chunks_);
}

/// The thread that decodes the kept records ahead of the writer and looks up what the writer
/// needs for them (TopicAnswers), and the ring of bytes in which it hands the answers over: for
/// each step of the walk, its size in 8 bytes (kFailed: the thread threw; kWrap: the next one
/// is at the ring's start; kBeside: the address of a vector that holds them follows) and its
/// bytes. The records' memory stays the kept walk's: the thread is done with a step once the
/// writer has taken its answers, before the writer frees the chunk the step lies in.
class TopicReadAhead::KeptAnswers {
 public:
  KeptAnswers(const KeptRecords& kept, TopicAnswers& answers) : kept_(kept), answers_(answers) {
    ring_ = std::make_unique_for_overwrite<uint8_t[]>(kRingBytes);  // before the thread runs
    thread_ = std::thread([this] { Run(); });
  }
  ~KeptAnswers() {
    stop_ = true;
    freed_ = kNotWaiting / 2;  // room for everything: a thread waiting for room wakes and stops
    freed_.notify_one();
    thread_.join();
    // What lies beside the ring for answers the writer has not taken is still owned by them.
    for (const uint64_t end = put_; taken_ < end;) {
      uint64_t size = Header(taken_);
      if (size == kWrap) {
        taken_ += kRingBytes - (taken_ & (kRingBytes - 1));
        continue;
      }
      if (size == kBeside) {
        std::vector<uint8_t>* beside;
        std::memcpy(&beside, ring_.get() + (taken_ & (kRingBytes - 1)) + kHeader, sizeof beside);
        delete beside;
        size = sizeof beside;
      }
      taken_ += kHeader + RoundUp8(size == kFailed ? 0 : size);
    }
  }
  /// The answers of the next step (none for a step without a record), once the thread has
  /// them; valid until the next call.
  /// What the thread threw is thrown here, at the record it threw for.
  Bytes Take() {
    // The answers taken last are handed back now; the counter is seldom written, unless the
    // thread waits for room.
    if (taken_ - handed_back_ >= kRingBytes / kPublishPart || taken_ >= thread_wants_) HandBack();
    if (filled_seen_ <= taken_) filled_seen_ = filled_;
    if (filled_seen_ <= taken_) {
      HandBack();
      writer_waits_ = true;
      for (uint64_t f; (f = filled_) <= taken_;) filled_.wait(f);
      writer_waits_ = false;
      filled_seen_ = filled_;
    }
    uint64_t size = Header(taken_);
    if (size == kWrap) {
      taken_ += kRingBytes - (taken_ & (kRingBytes - 1));
      size = Header(taken_);
    }
    if (size == kFailed) std::rethrow_exception(failure_);
    const uint8_t* at = ring_.get() + (taken_ & (kRingBytes - 1)) + kHeader;
    // The thread wrote the answers ahead on the other core: they are brought over ahead, a
    // line or two for each record (about what one takes).
    const uint8_t* ahead = ring_.get() + ((taken_ + kPrefetchAhead) & (kRingBytes - 1));
    __builtin_prefetch(ahead);
    __builtin_prefetch(ahead + 64);
    if (size == kBeside) {
      std::vector<uint8_t>* beside;
      std::memcpy(&beside, at, sizeof beside);
      beside_.reset(beside);
      taken_ += kHeader + sizeof beside;
      return Bytes(beside_->data(), beside_->size());
    }
    beside_.reset();
    taken_ += kHeader + RoundUp8(size);
    return Bytes(at, size);
  }

 private:
  static constexpr uint64_t kRingBytes = uint64_t{1} << 18;
  static constexpr uint64_t kHeader = 8;
  static constexpr uint64_t kPrefetchAhead = 4096;
  /// Answers larger than this go beside the ring.
  static constexpr uint64_t kMaxAnswers = kRingBytes / kMaxPartsPart;
  static constexpr uint64_t kWrap = UINT64_MAX, kFailed = UINT64_MAX - 1, kBeside = UINT64_MAX - 2;

  uint64_t Header(uint64_t at) const {
    uint64_t size;
    std::memcpy(&size, ring_.get() + (at & (kRingBytes - 1)), sizeof size);
    return size;
  }
  void Run() {
    TopicRecord record;
    std::vector<uint8_t> out, made_note;
    KeptRecords::Cursor next;
    try {
      for (bool done = false; !done && !stop_;) {
        const uint8_t* parts;
        const KeptRecords::Record r = kept_.Read(next, parts);
        done = r.done_after;
        out.clear();
        // Every step gets its answers, none for a step without a record: the writer takes them
        // as it takes the step, and so never frees a chunk this thread still reads.
        if (!r.has_record) {
          if (!Put(out.data(), 0)) return;
          continue;
        }
        static_cast<TopicRecordPlace&>(record) = r.Place();
        const bool text_record = IsTextRecord(record.kind);
        Bytes note(parts + r.format_size + r.text_size, r.note_size);
        if (!text_record || !r.noted) {
          DecodeRecordContents(
              Bytes(parts, r.format_size),
              std::string_view(reinterpret_cast<const char*>(parts) + r.format_size, r.text_size),
              record);
        }
        if (text_record && !r.noted) {
          made_note.clear();
          answers_.Note(record, made_note);
          note = Bytes(made_note.data(), made_note.size());
        }
        answers_.Answer(record, note, out);
        if (out.size() > kMaxAnswers) {
          auto beside = std::make_unique<std::vector<uint8_t>>(std::move(out));
          out = {};
          std::vector<uint8_t>* address = beside.get();
          if (!Put(reinterpret_cast<const uint8_t*>(&address), kBeside)) return;
          beside.release();  // the writer's now
        } else if (!Put(out.data(), out.size())) {
          return;
        }
      }
    } catch (...) {
      failure_ = std::current_exception();
      Put(nullptr, kFailed);
    }
    Publish();
  }
  /// False when the writer has stopped the thread.
  bool Put(const uint8_t* bytes, uint64_t size) {
    const uint64_t stored = size == kFailed ? 0 : size == kBeside ? sizeof(void*) : size;
    const uint64_t need = kHeader + RoundUp8(stored);
    const uint64_t to_end = kRingBytes - (put_ & (kRingBytes - 1));
    const uint64_t skip = to_end < need ? to_end : 0;
    const uint64_t end = put_ + skip + need;
    if (end > freed_seen_ + kRingBytes) freed_seen_ = freed_;
    if (end > freed_seen_ + kRingBytes) {
      Publish();  // a waiting writer gets what there is before this thread waits in turn
      // Woken once a good part of the ring is free again, not for every record.
      thread_wants_ = end - kRingBytes + kRingBytes / kWakePart;
      for (uint64_t f; end > (f = freed_) + kRingBytes && !stop_;) freed_.wait(f);
      thread_wants_ = kNotWaiting;
      freed_seen_ = freed_;
    }
    if (stop_) return false;
    if (skip) {
      std::memcpy(ring_.get() + (put_ & (kRingBytes - 1)), &kWrap, sizeof kWrap);
      put_ += skip;
    }
    uint8_t* to = ring_.get() + (put_ & (kRingBytes - 1));
    std::memcpy(to, &size, sizeof size);
    if (stored > 0) std::memcpy(to + kHeader, bytes, stored);
    put_ += need;
    if (size == kFailed || put_ - published_ >= kRingBytes / kPublishPart || writer_waits_)
      Publish();
    return true;
  }
  void Publish() {
    published_ = put_;
    filled_ = put_;
    if (writer_waits_) filled_.notify_one();
  }
  void HandBack() {
    handed_back_ = taken_;
    freed_ = taken_;
    if (taken_ >= thread_wants_) freed_.notify_one();
  }

  const KeptRecords& kept_;
  TopicAnswers& answers_;
  std::unique_ptr<uint8_t[]> ring_;
  std::exception_ptr failure_;  // set before the entry that says so is handed over
  std::unique_ptr<std::vector<uint8_t>> beside_;  // the writer's: what it took last, if beside
  // The thread's:
  alignas(64) uint64_t put_ = 0;
  uint64_t published_ = 0;
  uint64_t freed_seen_ = 0;
  // The writer's:
  alignas(64) uint64_t taken_ = 0;
  uint64_t filled_seen_ = 0;
  uint64_t handed_back_ = 0;
  // Shared: how far the ring is filled and freed (counted from the start, never wrapped), and
  // which side waits.
  alignas(64) std::atomic<uint64_t> filled_{0};
  alignas(64) std::atomic<uint64_t> freed_{0};
  alignas(64) std::atomic<bool> writer_waits_{false};
  alignas(64) std::atomic<uint64_t> thread_wants_{kNotWaiting};  // what it waits for, if it waits
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

bool ReadAheadWanted(const HelpFile& hf) {
  return hf.session && hf.session->read_ahead && std::thread::hardware_concurrency() > 1;
}

TopicReadAhead::TopicReadAhead(HelpFile& hf, bool threaded, uint64_t ring_bytes,
                               TopicLookAhead* look_ahead, uint64_t head_start_bytes)
    : hf_(hf),
      threaded_(threaded),
      ring_bytes_(std::bit_ceil(std::max({ring_bytes, head_start_bytes, kMinReadAheadBytes}))),
      ahead_bytes_(std::bit_ceil(std::max(ring_bytes, kMinReadAheadBytes))),
      walk_(hf),
      done_(walk_.done()),
      limit_(ring_bytes_),
      look_ahead_(look_ahead) {
  static_assert(std::is_trivially_copyable_v<Entry>, "entries are copied into the ring");
  static_assert(sizeof(Entry) % 8 == 0, "entries start at multiples of 8");
  if (!threaded_ || done_) return;
  ring_ = std::make_unique_for_overwrite<std::byte[]>(ring_bytes_);  // before the reader runs
  try {
    reader_ = std::thread([this] { Read(); });
  } catch (const std::system_error&) {
    threaded_ = false;  // no thread to be had: the walk runs on the caller's thread
    ring_.reset();
  }
}

TopicReadAhead::TopicReadAhead(HelpFile& hf, KeptRecords& kept, TopicAnswers* answers)
    : hf_(hf),
      threaded_(false),
      ring_bytes_(kMinReadAheadBytes),
      ahead_bytes_(kMinReadAheadBytes),
      walk_(hf),
      done_(!kept.complete() || kept.chunks_.empty()),
      limit_(kMinReadAheadBytes),
      look_ahead_(nullptr) {
  kept_ = &kept;
  if (answers && !done_ && ReadAheadWanted(hf)) {
    try {
      kept_answers_ = std::make_unique<KeptAnswers>(kept, *answers);
    } catch (const std::system_error&) {
      // no thread to be had: the writer looks everything up itself
    }
  }
}

TopicReadAhead::~TopicReadAhead() {
  kept_answers_.reset();
  if (!reader_.joinable()) return;
  stop_ = true;
  freed_ = kNotWaiting / 2;  // room for everything: a reader waiting for room wakes and stops
  freed_.notify_one();
  reader_.join();
  // The entries the writer has not taken (handed over or not) still own what lies beside the
  // ring; the reader's own count is safe to read once it has stopped.
  while (put_ > taken_) {
    const Entry e = EntryAt(taken_);
    taken_ += e.size;
    delete e.out_of_line;
    delete e.warnings;
  }
}

void TopicReadAhead::Read() {
  HeldDiagnostics held;
  if (hf_.session) held.SetCodePage(hf_.session->diagnostics.code_page());
  std::vector<WarningRecord> warnings;
  held.into = &warnings;
  HelpFile::held_diagnostics = &held;
  try {
    for (bool more = true; more;) {
      Entry e;
      e.block_before = walk_.block();
      const TopicRecord* r = nullptr;
      try {
        if (walk_.ReadNext()) {
          e.warnings_before_text = static_cast<uint32_t>(warnings.size());
          // The reader expands the text while it is well ahead, and during a head start;
          // when the writer catches up, it leaves the expansion to the writer, so that
          // neither waits for the other long.
          const uint64_t limit = limit_.load(std::memory_order_relaxed);
          e.stored =
              walk_.record().has_text && limit == ahead_bytes_ && put_ - freed_seen_ < limit / 2;
          // Paragraphs and tables are left to the writer to decode: here only their
          // places and the walk's reports count.
          r = walk_.FinishNext(!e.stored, false);
        }
        e.done_after = walk_.done();
      } catch (...) {
        failure_ = std::current_exception();
        e.done_after = true;
      }
      e.topic_seen_after = walk_.topic_seen();
      std::unique_ptr<std::vector<WarningRecord>> reported;
      if (!warnings.empty()) {
        reported = std::make_unique<std::vector<WarningRecord>>(std::move(warnings));
        warnings.clear();
        e.warnings = reported.get();
      }
      Bytes format, text;
      if (r) {
        if (TopicLookAhead* look_ahead = look_ahead_.load(std::memory_order_acquire))
          look_ahead->Warm(*r);
        e.has_record = true;
        e.place = *r;
        e.decode_left = IsTextRecord(r->kind);
        e.adds_previous_adjustment = walk_.adds_previous_adjustment();
        format = walk_.format();
        if (e.stored) {
          e.codes = walk_.phrase_codes();
          text = walk_.stored_text();
        } else {
          text = Bytes(reinterpret_cast<const uint8_t*>(walk_.text().data()), walk_.text().size());
        }
      } else {
        e.stored = false;
      }
      more = Put(e, format, text);
      if (more) reported.release();  // the entry in the ring owns the list now
      more = more && !e.done_after;
    }
  } catch (...) {
    // No memory for an entry's lists: the walk ends there, with the exception, in an entry
    // that needs none.
    failure_ = std::current_exception();
    Entry last;
    last.done_after = true;
    last.topic_seen_after = walk_.topic_seen();
    Put(last, {}, {});
  }
  HelpFile::held_diagnostics = nullptr;
}

bool TopicReadAhead::Put(Entry& e, Bytes format, Bytes text) {
  const uint64_t parts = format.size() + text.size();
  e.format_size = static_cast<uint32_t>(format.size());
  e.text_size = static_cast<uint32_t>(text.size());
  e.size = sizeof(Entry) + RoundUp8(parts);
  std::unique_ptr<std::vector<uint8_t>> beside;
  if (parts > ahead_bytes_ / kMaxPartsPart) {
    beside = std::make_unique<std::vector<uint8_t>>(format.begin(), format.end());
    beside->insert(beside->end(), text.begin(), text.end());
    e.out_of_line = beside.get();
    e.size = sizeof(Entry);
  }
  // An entry never wraps round the end of the ring: it starts again at the ring's start.
  const uint64_t to_end = ring_bytes_ - (put_ & (ring_bytes_ - 1));
  const uint64_t skip = to_end < e.size ? to_end : 0;
  const uint64_t end = put_ + skip + e.size;
  // What the writer has freed is read again only when the ring looks short of room, or now
  // and then for the choice above: the counter's cache line then seldom moves between cores.
  // (The reader may fill the ring only as far as the limit, at most its size.)
  const uint64_t limit = limit_.load(std::memory_order_relaxed);
  if (end > freed_seen_ + limit || ++entries_since_look_ >= kEntriesBetweenLooks) {
    freed_seen_ = freed_;
    entries_since_look_ = 0;
  }
  if (end > freed_seen_ + limit) {
    Publish(false);  // a waiting writer gets what there is before the reader waits in turn
    reader_wants_ = std::min(end - limit + limit / kWakePart, put_);
    for (uint64_t f; end > (f = freed_) + limit && !stop_;) freed_.wait(f);
    reader_wants_ = kNotWaiting;
    freed_seen_ = freed_;
  }
  if (stop_) return false;
  std::byte* const ring = ring_.get();
  if (skip >= sizeof(Entry)) {
    const Entry wrap;  // size 0
    std::memcpy(ring + (put_ & (ring_bytes_ - 1)), &wrap, sizeof wrap);
  }
  put_ += skip;
  std::byte* at = ring + (put_ & (ring_bytes_ - 1));
  std::memcpy(at, &e, sizeof e);
  beside.release();  // the entry in the ring owns it now
  if (!e.out_of_line) {
    at += sizeof e;
    if (!format.empty()) std::memcpy(at, format.data(), format.size());
    if (!text.empty()) std::memcpy(at + format.size(), text.data(), text.size());
  }
  put_ += e.size;
  // The filled count is handed over in pieces, or at once to a writer that waits for it.
  if (e.done_after || put_ - published_ >= ahead_bytes_ / kPublishPart ||
      writer_wants_ != kNotWaiting)
    Publish(e.done_after);
  return true;
}

void TopicReadAhead::Publish(bool last) {
  if (published_ == put_ && !last) return;
  published_ = put_;
  filled_ = put_;
  if (last || put_ >= writer_wants_) filled_.notify_one();
}

void TopicReadAhead::HandBack() {
  handed_back_ = held_;
  freed_ = held_;
  if (held_ >= reader_wants_) freed_.notify_one();
}

TopicReadAhead::Entry TopicReadAhead::Front() {
  Entry e;
  std::memcpy(&e, FrontBytes(), sizeof e);
  return e;
}

const std::byte* TopicReadAhead::FrontBytes() {
  if (filled_seen_ <= taken_) filled_seen_ = filled_;
  if (filled_seen_ <= taken_) {
    HandBack();  // the reader gets all the room but the held entry before the writer waits
    writer_wants_ = taken_ + ahead_bytes_ / kWakePart;
    for (uint64_t f; (f = filled_) <= taken_;) filled_.wait(f);
    writer_wants_ = kNotWaiting;
    filled_seen_ = filled_;
  }
  return EntryStart(taken_);
}

TopicReadAhead::Entry TopicReadAhead::EntryAt(uint64_t& at) const {
  Entry e;
  std::memcpy(&e, EntryStart(at), sizeof e);
  return e;
}

const std::byte* TopicReadAhead::EntryStart(uint64_t& at) const {
  const uint64_t to_end = ring_bytes_ - (at & (ring_bytes_ - 1));
  uint64_t size = 0;
  if (to_end >= sizeof(Entry)) {
    std::memcpy(&size, ring_.get() + (at & (ring_bytes_ - 1)) + offsetof(Entry, size), sizeof size);
  }
  if (to_end < sizeof(Entry) || size == 0) at += to_end;
  return ring_.get() + (at & (ring_bytes_ - 1));
}

int32_t TopicReadAhead::block() {
  if (kept_) return KeptBlock();
  // (once the reader has handed over its last entry it no longer touches the walk)
  if (!threaded_ || done_) return walk_.block();
  // (only the field is read: Next reads the whole entry)
  int32_t block;
  std::memcpy(&block, FrontBytes() + offsetof(Entry, block_before), sizeof block);
  return block;
}

int32_t TopicReadAhead::KeptBlock() {
  if (done_) return last_kept_block_;
  return kept_->BlockBefore(kept_next_);  // (Next reads the whole record)
}

const TopicRecord* TopicReadAhead::NextKept() {
  if (done_) return nullptr;
  const size_t chunk = kept_next_.chunk;
  const uint8_t* parts;
  const KeptRecords::Record r = kept_->Read(kept_next_, parts);
  // A chunk left behind is no longer needed.
  if (kept_next_.chunk != chunk) kept_->chunks_[chunk].bytes.reset();
  last_kept_block_ = r.block_before;
  done_ = r.done_after;
  topic_seen_ = r.topic_seen_after;
  if (kept_answers_) answers_ = kept_answers_->Take();
  if (!r.has_record) return nullptr;
  static_cast<TopicRecordPlace&>(record_) = r.Place();
  DecodeRecordContents(
      Bytes(parts, r.format_size),
      std::string_view(reinterpret_cast<const char*>(parts) + r.format_size, r.text_size), record_);
  if (record_.kind == TopicRecord::Kind::kParagraph) {
    WarnParagraphProblems(hf_.diagnostics(), record_.paragraph);
  } else if (record_.kind == TopicRecord::Kind::kTable) {
    WarnTableProblems(hf_.diagnostics(), record_.table);
  }
  return &record_;
}

void TopicReadAhead::KeepRecord(const TopicRecord* record, int32_t block_before, Bytes format,
                                std::string_view text, size_t reported) {
  if (hf_.diagnostics().warnings_reported() != reported) {
    // What the walk reported is reported again by a walk that reads the file.
    keep_->Drop();
    keep_ = nullptr;
    return;
  }
  KeptRecords::Record r;
  if (record) r.SetPlace(*record);
  r.block_before = block_before;
  r.has_record = record != nullptr;
  r.done_after = done_;
  r.topic_seen_after = topic_seen_;
  // A paragraph or table (decoded by now) is kept with its note.
  Bytes note;
  if (record && notes_ && IsTextRecord(record->kind)) {
    note_.clear();
    notes_->Note(*record, note_);
    note = Bytes(note_.data(), note_.size());
    r.noted = true;
  }
  if (!keep_->Add(r, format, text, note)) keep_ = nullptr;
}

const TopicRecord* TopicReadAhead::Next() {
  if (kept_) return NextKept();
  if (!threaded_) {
    const size_t reported = hf_.diagnostics().warnings_reported();
    const int32_t block_before = walk_.block();
    const TopicRecord* r = walk_.Next();
    done_ = walk_.done();
    topic_seen_ = walk_.topic_seen();
    if (keep_) KeepRecord(r, block_before, walk_.format(), walk_.text(), reported);
    return r;
  }
  if (done_) return nullptr;
  if (!limited_) {
    limited_ = true;  // the writer takes records now: the head start, if any, is over
    limit_.store(ahead_bytes_, std::memory_order_relaxed);
  }
  // The entry taken last is no longer held: it is handed back, with what lay beside it.
  held_ = taken_;
  if (held_ - handed_back_ >= ahead_bytes_ / kPublishPart || reader_wants_ != kNotWaiting)
    HandBack();
  out_of_line_.reset();
  warnings_.reset();

  const Entry e = Front();
  held_ = taken_;  // where the entry starts (Front may have moved on to the ring's start)
  const uint8_t* parts =
      reinterpret_cast<const uint8_t*>(ring_.get() + (taken_ & (ring_bytes_ - 1)) + sizeof(Entry));
  taken_ += e.size;
  if (e.out_of_line) {
    out_of_line_.reset(e.out_of_line);
    parts = out_of_line_->data();
  }
  if (e.warnings) warnings_.reset(e.warnings);
  size_t forwarded = 0;
  auto forward = [&](size_t up_to) {
    Diagnostics& diagnostics = hf_.diagnostics();
    for (; forwarded < up_to; ++forwarded)
      diagnostics.Forward((*warnings_)[forwarded].id, (*warnings_)[forwarded].text);
  };
  const Bytes format(parts, e.format_size);
  std::string_view text(reinterpret_cast<const char*>(parts) + e.format_size, e.text_size);
  // Whatever the walk reports here stops the keeping of its records.
  const size_t reported = e.warnings ? SIZE_MAX : hf_.diagnostics().warnings_reported();
  if (e.stored) {
    // The warnings of the expansion come where the walk would have given them.
    if (warnings_) forward(e.warnings_before_text);
    text = ExpandRecordText(hf_, Bytes(parts + e.format_size, e.text_size), e.codes, text_);
  }
  if (warnings_) forward(warnings_->size());
  done_ = e.done_after;
  topic_seen_ = e.topic_seen_after;
  if (done_ && failure_) {
    if (keep_) keep_->Drop();
    std::rethrow_exception(failure_);
  }
  if (!e.has_record) {
    if (keep_) KeepRecord(nullptr, e.block_before, {}, {}, reported);
    return nullptr;
  }
  static_cast<TopicRecordPlace&>(record_) = e.place;
  // The reader adds no counts of pictures in the records it leaves to this side: they are
  // added here, where the walk on one thread adds them (the browse topic is taken before).
  if (!e.adds_previous_adjustment) offset_fix_ = 0;
  if (!hf_.is_hc30)
    record_.browse_topic =
        static_cast<int32_t>(static_cast<uint32_t>(record_.browse_topic) + offset_fix_);
  if (e.adds_previous_adjustment) offset_fix_ += previous_adjustment_;
  record_.topic_offset += offset_fix_;
  const int32_t adjustment = DecodeRecordContents(format, text, record_);
  // (decoding reports nothing: its problems are reported below)
  if (keep_) KeepRecord(&record_, e.block_before, format, text, reported);
  previous_adjustment_ = 0;
  if (e.decode_left) {
    previous_adjustment_ = static_cast<uint32_t>(adjustment);
    if (record_.kind == TopicRecord::Kind::kParagraph) {
      WarnParagraphProblems(hf_.diagnostics(), record_.paragraph);
    } else {
      WarnTableProblems(hf_.diagnostics(), record_.table);
    }
  }
  return &record_;
}

}  // namespace quorvex
