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
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
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
  /// Stops the reader where it is and waits for it.
  ~TopicReadAhead();
  TopicReadAhead(const TopicReadAhead&) = delete;
  TopicReadAhead& operator=(const TopicReadAhead&) = delete;

  /// Hands the records the reader thread reads from now on to `look_ahead` (for a walk
  /// started before its writer; before the first Next). It must outlive the walk.
  void LookAhead(TopicLookAhead* look_ahead) { look_ahead_.store(look_ahead); }
  /// As TopicWalk::Next: the record stays valid until the next call.
  const TopicRecord* Next();
  /// As TopicWalk::block, before the next record is read (it may wait for the reader).
  int32_t block();
  bool done() const { return done_; }
  bool topic_seen() const { return topic_seen_; }

 private:
  struct Entry;

  void Read();
  /// Puts one entry and its parts into the ring (waiting for room) and hands it to the writer.
  /// False when the writer has stopped the reader.
  bool Put(Entry& entry, Bytes format, Bytes text);
  /// Tells the writer how far the reader has filled the ring (`last`: the last entry).
  void Publish(bool last);
  /// Tells the reader how far the ring is free again: up to the entry still held.
  void HandBack();
  /// Waits for the next entry; its parts follow it in the ring unless they are `out_of_line`.
  Entry Front();
  /// The entry at `at`, which moves on to the ring's start where the rest of the ring is
  /// unused.
  Entry EntryAt(uint64_t& at) const;

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
