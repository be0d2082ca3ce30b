#include "core/topic_read_ahead.h"

#include <cstring>
#include <type_traits>

#include "core/help_file.h"

namespace quorvex {

namespace {

constexpr uint64_t kNotWaiting = UINT64_MAX;
/// A waiting side is woken once the other side has filled or freed this many bytes.
constexpr uint64_t kWakeBytes = kReadAheadBytes / 8;
/// Parts larger than this go beside the ring.
constexpr uint64_t kMaxPartsInRing = kReadAheadBytes / 8;

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
  bool done_after = false;
  bool topic_seen_after = false;
  std::vector<uint8_t>* out_of_line = nullptr;     // the parts, when too large for the ring
  std::vector<WarningRecord>* warnings = nullptr;  // what the walk reported, if anything
};

TopicReadAhead::TopicReadAhead(HelpFile& hf, bool threaded)
    : hf_(hf), walk_(hf), threaded_(threaded), done_(walk_.done()) {
  static_assert(std::is_trivially_copyable_v<Entry>, "entries are copied into the ring");
  static_assert(sizeof(Entry) % 8 == 0, "entries start at multiples of 8");
  if (!threaded_ || done_) return;
  ring_ = std::make_unique_for_overwrite<std::byte[]>(kReadAheadBytes);
  reader_ = std::thread([this] { Read(); });
}

TopicReadAhead::~TopicReadAhead() {
  if (!reader_.joinable()) return;
  stop_ = true;
  freed_ = kNotWaiting / 2;  // room for everything: a reader waiting for room wakes and stops
  freed_.notify_one();
  reader_.join();
  // The entries the writer has not taken still own what lies beside the ring.
  while (filled_ > taken_) {
    const Entry e = Front();
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
  for (bool more = true; more;) {
    Entry e;
    e.block_before = walk_.block();
    const TopicRecord* r = nullptr;
    try {
      r = walk_.Next();
      e.done_after = walk_.done();
    } catch (...) {
      failure_ = std::current_exception();
      e.done_after = true;
    }
    e.topic_seen_after = walk_.topic_seen();
    if (!warnings.empty()) {
      e.warnings = new std::vector<WarningRecord>(std::move(warnings));
      warnings.clear();
    }
    Bytes format;
    std::string_view text;
    if (r) {
      e.has_record = true;
      e.place = *r;
      format = walk_.format();
      text = walk_.text();
    }
    more = Put(e, format, text) && !e.done_after;
  }
  HelpFile::held_diagnostics = nullptr;
}

bool TopicReadAhead::Put(Entry& e, Bytes format, std::string_view text) {
  const uint64_t parts = format.size() + text.size();
  e.format_size = static_cast<uint32_t>(format.size());
  e.text_size = static_cast<uint32_t>(text.size());
  e.size = sizeof(Entry) + RoundUp8(parts);
  if (parts > kMaxPartsInRing) {
    e.out_of_line = new std::vector<uint8_t>(format.begin(), format.end());
    e.out_of_line->insert(e.out_of_line->end(), text.begin(), text.end());
    e.size = sizeof(Entry);
  }
  // An entry never wraps round the end of the ring: it starts again at the ring's start.
  const uint64_t to_end = kReadAheadBytes - put_ % kReadAheadBytes;
  const uint64_t skip = to_end < e.size ? to_end : 0;
  const uint64_t end = put_ + skip + e.size;
  if (end > freed_ + kReadAheadBytes) {
    reader_wants_ = std::min(end - kReadAheadBytes + kWakeBytes, put_);
    for (uint64_t f; end > (f = freed_) + kReadAheadBytes && !stop_;) freed_.wait(f);
    reader_wants_ = kNotWaiting;
  }
  if (stop_) {
    delete e.out_of_line;
    delete e.warnings;
    return false;
  }
  std::byte* const ring = ring_.get();
  if (skip >= sizeof(Entry)) {
    const Entry wrap;  // size 0
    std::memcpy(ring + put_ % kReadAheadBytes, &wrap, sizeof wrap);
  }
  put_ += skip;
  std::byte* at = ring + put_ % kReadAheadBytes;
  std::memcpy(at, &e, sizeof e);
  if (!e.out_of_line) {
    at += sizeof e;
    if (!format.empty()) std::memcpy(at, format.data(), format.size());
    if (!text.empty()) std::memcpy(at + format.size(), text.data(), text.size());
  }
  put_ += e.size;
  filled_ = put_;
  if (e.done_after || put_ >= writer_wants_) filled_.notify_one();
  return true;
}

TopicReadAhead::Entry TopicReadAhead::Front() {
  if (filled_ <= taken_) {
    writer_wants_ = taken_ + kWakeBytes;
    for (uint64_t f; (f = filled_) <= taken_;) filled_.wait(f);
    writer_wants_ = kNotWaiting;
  }
  Entry e;
  const uint64_t to_end = kReadAheadBytes - taken_ % kReadAheadBytes;
  if (to_end >= sizeof(Entry)) std::memcpy(&e, ring_.get() + taken_ % kReadAheadBytes, sizeof e);
  if (to_end < sizeof(Entry) || e.size == 0) {
    taken_ += to_end;
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
  // The entry taken last is handed back, with what lay beside it.
  freed_ = taken_;
  if (taken_ >= reader_wants_) freed_.notify_one();
  out_of_line_.reset();
  warnings_.reset();

  const Entry e = Front();
  const char* parts =
      reinterpret_cast<const char*>(ring_.get() + taken_ % kReadAheadBytes + sizeof(Entry));
  taken_ += e.size;
  if (e.out_of_line) {
    out_of_line_.reset(e.out_of_line);
    parts = reinterpret_cast<const char*>(out_of_line_->data());
  }
  if (e.warnings) {
    warnings_.reset(e.warnings);
    Diagnostics& diagnostics = hf_.diagnostics();
    for (const WarningRecord& w : *warnings_) diagnostics.Forward(w.id, w.text);
  }
  done_ = e.done_after;
  topic_seen_ = e.topic_seen_after;
  if (done_ && failure_) std::rethrow_exception(failure_);
  if (!e.has_record) return nullptr;
  static_cast<TopicRecordPlace&>(record_) = e.place;
  DecodeRecordAgain(Bytes(reinterpret_cast<const uint8_t*>(parts), e.format_size),
                    std::string_view(parts + e.format_size, e.text_size), record_);
  return &record_;
}

}  // namespace quorvex
