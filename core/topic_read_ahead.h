// The topic walk on a thread of its own. The reader thread reads, decompresses and expands the
// records ahead of the writer and puts each record's place, FormatPart and text one after the
// other into a ring of bytes; the writer takes them in the same order and decodes each record
// again on its own thread. Decoding again costs less than handing over the decoded structures,
// whose scattered memory would have to move from one core's cache to the other's; the ring is
// read and written in order, which the caches fetch ahead.
//
// Whatever the walk reports is held with the record it belongs to and reported on the writer's
// thread when the writer takes that record, so the messages come in the order of a walk on one
// thread; an exception the walk throws is thrown where that walk would have thrown it.
//
// A walk may keep what it gives (KeptRecords) for a second walk over the same records, which
// then reads nothing from the file: the main pass after the pre-pass. Its second thread, with
// nothing to read, decodes the records ahead of the writer and looks up for each what the
// writer will need (TopicAnswers), handing the answers over in a ring of their own.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/diagnostics.h"
#include "core/topic_walk.h"

namespace quorvex {

/// Bytes of the ring between the reader and the writer (a power of two). A larger ring is not
/// faster: what the writer takes from it would have left the caches.
inline constexpr uint64_t kReadAheadBytes = uint64_t{1} << 19;
inline constexpr uint64_t kMinReadAheadBytes = uint64_t{1} << 12;
/// Bytes a walk started before its writer may read ahead until the writer takes its first
/// record: about what the reader thread reads while the tables of a large help file load.
inline constexpr uint64_t kHeadStartBytes = uint64_t{1} << 23;

/// True when a walk of `hf` is worth reading ahead on a second thread: the session allows it
/// and the machine has a second core.
bool ReadAheadWanted(const HelpFile& hf);

/// What the writer of a walk read ahead will look up for each record, brought towards the
/// caches by the reader thread as it reads the record: the look-ups then find their memory in
/// the cache the cores share. Called on the reader thread (and not at all without one), so it
/// may only read what the writer does not change while the walk runs.
class TopicLookAhead {
 public:
  virtual ~TopicLookAhead() = default;
  virtual void Warm(const TopicRecord& record) = 0;
};

/// What the writer of a walk over kept records would look up for each record, looked up ahead
/// of it on a second thread: Answer puts what it found for a record into `out` (empty when it
/// is called), which the writer gets with the record (TopicReadAhead::answers). Called for the
/// records in their order, on that thread only, so it may change only what the writer then no
/// longer reads.
///
/// Paragraphs and tables are not decoded again for Answer: it gets their place only, with the
/// `note` that Note made of the record decoded, which the walk that kept the records kept with
/// each (or, where it kept none, the thread makes). Note may only read the record.
class TopicAnswers {
 public:
  virtual ~TopicAnswers() = default;
  virtual void Note(const TopicRecord& record, std::vector<uint8_t>& out) const = 0;
  virtual void Answer(const TopicRecord& record, Bytes note, std::vector<uint8_t>& out) = 0;
};

/// The records one walk gave, kept by its writer for a second walk over the same topics (the
/// main pass after the pre-pass), which takes them from here instead of reading, decompressing
/// and expanding them again: each record's place (of its link header only the type, which is
/// all a later walk's writer reads), its FormatPart, its expanded text and, for a paragraph or
/// table, what TopicAnswers::Note made of it, one after the other in pieces of memory. Records
/// are kept only while the walk reports nothing (a damaged file is read again, so that the second
/// walk reports what it meets) and only up to a budget of bytes; a paragraph's or table's problems
/// are reported by the decoding, which each walk does itself.
class KeptRecords {
 public:
  explicit KeptRecords(size_t budget) : budget_(budget) {}
  /// True once a whole walk is kept.
  bool complete() const { return complete_; }
  /// Bytes kept.
  size_t size() const { return size_; }

 private:
  friend class TopicReadAhead;
  struct Record;
  struct Chunk {
    struct Free {
      void operator()(std::byte* p) const { std::free(p); }
    };
    std::unique_ptr<std::byte[], Free> bytes;  // aligned to a huge page
    size_t capacity = 0;
    size_t used = 0;
  };
  /// A place among the records, from the first on.
  struct Cursor {
    size_t chunk = 0;
    uint64_t at = 0;
  };
  /// Keeps a record; false, with everything dropped, beyond the budget or without memory.
  bool Add(const Record& record, Bytes format, std::string_view text, Bytes note);
  /// The record at `cursor` (not past the last), its FormatPart and text starting at `parts`;
  /// the cursor moves past it.
  Record Read(Cursor& cursor, const uint8_t*& parts) const;
  /// The block_before of the record at `cursor` (not past the last), read alone.
  int32_t BlockBefore(Cursor cursor) const;
  /// Drops what is kept: nothing more is kept.
  void Drop();

  size_t budget_;
  size_t size_ = 0;
  bool complete_ = false;
  bool dropped_ = false;
  std::vector<Chunk> chunks_;
};

/// A TopicWalk with the same calls, read ahead on a second thread (with `threaded`) or on the
/// caller's thread (without). Only the caller's thread may call it.
class TopicReadAhead {
 public:
  /// `ring_bytes` is rounded up to a power of two of at least kMinReadAheadBytes; the reader
  /// thread hands each record to `look_ahead`, if given. With `head_start_bytes` (a walk
  /// started before its writer is ready), the reader may read that far ahead until the first
  /// Next, and `ring_bytes` ahead from then on.
  TopicReadAhead(HelpFile& hf, bool threaded, uint64_t ring_bytes = kReadAheadBytes,
                 TopicLookAhead* look_ahead = nullptr, uint64_t head_start_bytes = 0);
  /// A walk that gives the records a whole earlier walk kept (complete), freeing them as it
  /// goes. With `answers` and a second core, a second thread decodes the records ahead of the
  /// writer and has `answers` look up what the writer needs for them.
  TopicReadAhead(HelpFile& hf, KeptRecords& kept, TopicAnswers* answers = nullptr);
  /// Stops the reader where it is and waits for it.
  ~TopicReadAhead();
  TopicReadAhead(const TopicReadAhead&) = delete;
  TopicReadAhead& operator=(const TopicReadAhead&) = delete;

  /// Hands the records the reader thread reads from now on to `look_ahead` (for a walk
  /// started before its writer; before the first Next). It must outlive the walk.
  void LookAhead(TopicLookAhead* look_ahead) { look_ahead_.store(look_ahead); }
  /// Keeps the records this walk gives in `into` from now on (before the first Next); it is
  /// complete once the walk is done, if nothing was dropped. With `notes`, a paragraph or table
  /// is kept with its note (TopicAnswers::Note).
  void Keep(KeptRecords* into, const TopicAnswers* notes = nullptr) {
    keep_ = into;
    notes_ = notes;
  }
  /// As TopicWalk::Next: the record stays valid until the next call.
  const TopicRecord* Next();
  /// As TopicWalk::block, before the next record is read (it may wait for the reader).
  int32_t block();
  bool done() const { return done_; }
  bool topic_seen() const { return topic_seen_; }
  /// True when the records come with answers (a walk over kept records with a second thread).
  bool answering() const { return kept_answers_ != nullptr; }
  /// What TopicAnswers found for the record Next gave last (empty without answers); valid as
  /// long as the record.
  Bytes answers() const { return answers_; }

 private:
  struct Entry;
  class KeptAnswers;

  void Read();
  /// Next and block of a walk over kept records.
  const TopicRecord* NextKept();
  int32_t KeptBlock();
  /// Keeps what Next gives (see Keep), unless the walk reported something since `reported`.
  void KeepRecord(const TopicRecord* record, int32_t block_before, Bytes format,
                  std::string_view text, size_t reported);
  /// Puts one entry and its parts into the ring (waiting for room) and hands it to the writer.
  /// False when the writer has stopped the reader.
  bool Put(Entry& entry, Bytes format, Bytes text);
  /// Tells the writer how far the reader has filled the ring (`last`: the last entry).
  void Publish(bool last);
  /// Tells the reader how far the ring is free again: up to the entry still held.
  void HandBack();
  /// Waits for the next entry; its parts follow it in the ring unless they are `out_of_line`.
  Entry Front();
  /// Waits for the next entry and gives where it starts in the ring.
  const std::byte* FrontBytes();
  /// The entry at `at`, which moves on to the ring's start where the rest of the ring is
  /// unused; and where it starts.
  Entry EntryAt(uint64_t& at) const;
  const std::byte* EntryStart(uint64_t& at) const;

  // Each side's fields lie in cache lines of their own, so that neither slows the other down
  // by writing next to what the other reads. These do not change once the reader runs:
  HelpFile& hf_;
  bool threaded_;
  uint64_t ring_bytes_;   // the ring's size
  uint64_t ahead_bytes_;  // how far the reader may read ahead once the writer takes records
  std::unique_ptr<std::byte[]> ring_;  // entries start at multiples of 8

  // The reader's: the walk, where its next entry starts, what it has handed over, the freed
  // count it saw last and the entries since it looked; what the walk threw (set before the
  // last entry is handed over).
  alignas(64) TopicWalk walk_;
  uint64_t put_ = 0;
  uint64_t published_ = 0;
  uint64_t freed_seen_ = 0;
  int entries_since_look_ = 0;
  std::exception_ptr failure_;

  // The writer's: where its next entry starts, the filled count it saw last and what it has
  // handed back; its record decoded again from the entry, with its own expansion of a stored
  // text; what lay beside the ring for the entry it took last, and that entry's warnings.
  alignas(64) bool done_;
  bool topic_seen_ = false;
  bool limited_ = false;  // the head start is over
  uint64_t taken_ = 0;
  uint64_t filled_seen_ = 0;
  uint64_t handed_back_ = 0;
  /// Where the entry starts whose record the caller may still hold (block() keeps it).
  uint64_t held_ = 0;
  TopicRecord record_;
  std::string text_;
  KeptRecords* keep_ = nullptr;
  const TopicAnswers* notes_ = nullptr;
  std::vector<uint8_t> note_;
  KeptRecords* kept_ = nullptr;    // the records this walk gives, if kept
  KeptRecords::Cursor kept_next_;  // where the next one is
  int32_t last_kept_block_ = 0;
  std::unique_ptr<KeptAnswers> kept_answers_;
  Bytes answers_;
  /// What the TopicOffsets of the reader lack: the character counts of the pictures in the
  /// records it left to this side since the last block started, and those of the record
  /// taken last.
  uint32_t offset_fix_ = 0;
  uint32_t previous_adjustment_ = 0;
  std::unique_ptr<std::vector<uint8_t>> out_of_line_;
  std::unique_ptr<std::vector<WarningRecord>> warnings_;

  /// Bytes of the ring (counted from the start, never wrapped) the reader has filled, and the
  /// bytes the writer has handed back (an entry is handed back when the writer asks for the
  /// next one).
  alignas(64) std::atomic<uint64_t> filled_{0};
  alignas(64) std::atomic<uint64_t> freed_{0};
  /// The count each side waits for, so that the other side wakes it only once it is reached
  /// (UINT64_MAX: not waiting): a waiting side is woken after a good part of the ring, not
  /// after every entry.
  alignas(64) std::atomic<uint64_t> writer_wants_{UINT64_MAX};
  alignas(64) std::atomic<uint64_t> reader_wants_{UINT64_MAX};
  std::atomic<bool> stop_{false};
  /// How far the reader may read ahead (the head start until the writer's first Next), and
  /// who warms the look-ups (set once, before the writer's first Next).
  alignas(64) std::atomic<uint64_t> limit_;
  std::atomic<TopicLookAhead*> look_ahead_;
  alignas(64) std::thread reader_;
};

}  // namespace quorvex
