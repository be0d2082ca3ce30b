#include "core/topic_read_ahead.h"

#include <algorithm>
#include <bit>
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

TopicReadAhead::~TopicReadAhead() {
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
        e.decode_left = r->kind == TopicRecord::Kind::kParagraph ||
                        r->kind == TopicRecord::Kind::kTable;
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
  if (filled_seen_ <= taken_) filled_seen_ = filled_;
  if (filled_seen_ <= taken_) {
    HandBack();  // the reader gets all the room but the held entry before the writer waits
    writer_wants_ = taken_ + ahead_bytes_ / kWakePart;
    for (uint64_t f; (f = filled_) <= taken_;) filled_.wait(f);
    writer_wants_ = kNotWaiting;
    filled_seen_ = filled_;
  }
  return EntryAt(taken_);
}

TopicReadAhead::Entry TopicReadAhead::EntryAt(uint64_t& at) const {
  Entry e;
  const uint64_t to_end = ring_bytes_ - (at & (ring_bytes_ - 1));
  if (to_end >= sizeof(Entry)) std::memcpy(&e, ring_.get() + (at & (ring_bytes_ - 1)), sizeof e);
  if (to_end < sizeof(Entry) || e.size == 0) {
    at += to_end;
    std::memcpy(&e, ring_.get(), sizeof e);
  }
  return e;
}

int32_t TopicReadAhead::block() {
  // (once the reader has handed over its last entry it no longer touches the walk)
  if (!threaded_ || done_) return walk_.block();
  return Front().block_before;
}

const TopicRecord* TopicReadAhead::Next() {
  if (!threaded_) {
    const TopicRecord* r = walk_.Next();
    done_ = walk_.done();
    topic_seen_ = walk_.topic_seen();
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
  if (e.stored) {
    // The warnings of the expansion come where the walk would have given them.
    if (warnings_) forward(e.warnings_before_text);
    text = ExpandRecordText(hf_, Bytes(parts + e.format_size, e.text_size), e.codes, text_);
  }
  if (warnings_) forward(warnings_->size());
  done_ = e.done_after;
  topic_seen_ = e.topic_seen_after;
  if (done_ && failure_) std::rethrow_exception(failure_);
  if (!e.has_record) return nullptr;
  static_cast<TopicRecordPlace&>(record_) = e.place;
  // The reader adds no counts of pictures in the records it leaves to this side: they are
  // added here, where the walk on one thread adds them (the browse topic is taken before).
  if (!e.adds_previous_adjustment) offset_fix_ = 0;
  if (!hf_.is_hc30)
    record_.browse_topic = static_cast<int32_t>(static_cast<uint32_t>(record_.browse_topic) +
                                                offset_fix_);
  if (e.adds_previous_adjustment) offset_fix_ += previous_adjustment_;
  record_.topic_offset += offset_fix_;
  const int32_t adjustment = DecodeRecordContents(format, text, record_);
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
