// Expansion of phrase-compressed topic text.
#include "core/text_expansion.h"

#include <algorithm>
#include <cstring>

#include "core/help_file.h"

namespace quorvex {

namespace {

/// HCRTF one-byte phrase codes name the phrases 0 to 127; two-byte codes start after them.
constexpr size_t kHcrtfTwoByteBase = 128;
/// The older scheme's codes run from 1 to 15; each takes the next byte too.
constexpr uint8_t kOldLastCode = 15;

/// Bytes the output buffer has beyond the capacity, so that a short phrase or run of blanks can
/// be written as one piece of this size.
constexpr size_t kQuickCopy = PhraseTables::kQuickCopy;

/// Collects the output in a buffer that is reused from record to record (only its first size()
/// bytes are the text; it holds the whole capacity, so nothing checks for room), cut at the
/// capacity, and remembers which problems it has seen so that each is reported once.
class Expansion {
 public:
  Expansion(const HelpFile& hf, size_t capacity, std::string& buffer)
      : hf_(hf),
        offsets_(hf.phrases.offsets.data()),
        quick_(hf.phrases.quick.data()),
        quick_count_(hf.phrases.quick.size()),
        phrase_count_(hf.phrases.count()),
        phrase_text_(hf.phrases.text),
        capacity_(std::min(capacity, kTopicTextCapacity)) {
    if (buffer.size() < capacity_ + kQuickCopy) buffer.resize(capacity_ + kQuickCopy);
    out_ = buffer.data();
  }

  void Append(const uint8_t* s, size_t n) { Append(reinterpret_cast<const char*>(s), n); }
  void Append(const char* s, size_t n) {
    n = Fit(n);
    std::memcpy(out_ + size_, s, n);
    size_ += n;
  }
  void AppendRepeated(size_t n, char c) {
    n = Fit(n);
    std::memset(out_ + size_, c, n);
    size_ += n;
  }
  /// Reports that the output is full (once); nothing more is appended.
  void Cut() {
    if (!cut_) Warn(kWarnTopicTextCut, static_cast<int64_t>(capacity_));
    cut_ = true;
  }
  /// The length of phrase `number` when it can be copied as kQuickCopy bytes from QuickText,
  /// else a length beyond any room.
  size_t QuickLength(size_t number) const {
    return number < quick_count_ ? quick_[number].length : SIZE_MAX;
  }
  const char* QuickText(size_t number) const { return phrase_text_.data() + quick_[number].start; }
  void AppendPhraseCarefully(size_t number) {
    if (number < phrase_count_) {
      const size_t start = offsets_[number], end = offsets_[number + 1];
      if (start <= end && end <= phrase_text_.size()) {
        return Append(phrase_text_.data() + start, end - start);
      }
    }
    if (!bad_phrase_) Warn(kWarnTopicTextPhrase, static_cast<int64_t>(number));
    bad_phrase_ = true;
  }
  void CodeCut() { Warn(kWarnTopicTextCode); }
  /// Once the output is full, nothing more can be appended.
  bool full() const { return cut_; }
  char* out() const { return out_; }
  size_t size() const { return size_; }
  void set_size(size_t size) { size_ = size; }
  size_t capacity() const { return capacity_; }
  std::string_view text() const { return std::string_view(out_, size_); }

 private:
  /// `n` cut to the room left before the capacity (a cut is reported once).
  size_t Fit(size_t n) {
    const size_t room = capacity_ - size_;
    if (n <= room) return n;
    Cut();
    return room;
  }
  template <typename... A>
  void Warn(int id, const A&... args) {
    if (hf_.session) hf_.diagnostics().Warning(id, args...);
  }

  const HelpFile& hf_;
  const uint32_t* offsets_;
  const PhraseTables::QuickPhrase* quick_;
  size_t quick_count_;
  size_t phrase_count_;
  std::string_view phrase_text_;
  size_t capacity_;
  char* out_;  // the reused buffer's data
  size_t size_ = 0;
  bool cut_ = false;
  bool bad_phrase_ = false;
};

// The usual codes are expanded on local copies of the output's state, which the compiler keeps in
// registers; a code that may not fit, or a phrase that is not quick, goes through the Expansion.
// After a cut nothing more is appended.

/// Sixteen blanks and sixteen NULs: a run of either is copied from here.
constexpr char kRunBytes[2 * kQuickCopy + 1] = "                ";

/// Copies the `k` literal bytes at `p`, of which `left` can be read, to `to`: as one piece of
/// kQuickCopy bytes where that covers them (the buffer has kQuickCopy bytes to spare).
void CopyLiterals(char* to, const uint8_t* p, size_t k, size_t left) {
  if (k <= kQuickCopy && left >= kQuickCopy) {
    std::memcpy(to, p, kQuickCopy);
  } else {
    std::memcpy(to, p, k);
  }
}

/// No code writes more than kQuickCopy bytes for each of its bytes, but a phrase that is not
/// quick: while the room left is kQuickCopy times the codes left, the codes are expanded
/// without a look at the room, and phrases are looked up by number unchecked (the quick table
/// has an entry for every number a code can name). True when the codes are done; false, with
/// `p` on the code, at a phrase that is not quick or a code cut short, or at once where the
/// room is short: the careful loop goes on from there.
bool ExpandHcrtfRoomy(const uint8_t*& place, const uint8_t* end, Expansion& e,
                      const PhraseTables::QuickPhrase* quick, const char* phrase_text) {
  char* const out = e.out();
  size_t size = e.size();
  if (e.capacity() - size < kQuickCopy * static_cast<size_t>(end - place)) return false;
  // The place goes on in a variable of its own: the copies into the output, which might write
  // where `place` lies, would otherwise make the compiler write it and read it back for every
  // code.
  const uint8_t* p = place;
  while (p != end) {
    const uint8_t* const code = p;
    const uint8_t b = *p++;
    size_t number;
    if ((b & 7) == 7) {
      // The most frequent code: a run of blanks (bit 3 clear) or NULs, at most 16.
      std::memcpy(out + size, kRunBytes + (b & 8) * 2u, kQuickCopy);
      size += (b >> 4) + 1u;
      continue;
    }
    if ((b & 1) == 0) {
      number = b / 2u;
    } else if ((b & 3) == 1) {
      if (p == end) return place = code, e.set_size(size), false;
      number = kHcrtfTwoByteBase + (b >> 2) * 256u + *p++;
    } else {
      const size_t k = (b >> 3) + 1u;
      const size_t left = static_cast<size_t>(end - p);
      if (left < k) return place = code, e.set_size(size), false;
      CopyLiterals(out + size, p, k, left);
      size += k;
      p += k;
      continue;
    }
    const PhraseTables::QuickPhrase q = quick[number];
    if (q.length == PhraseTables::kNotQuick) return place = code, e.set_size(size), false;
    std::memcpy(out + size, phrase_text + q.start, kQuickCopy);
    size += q.length;
  }
  place = p;
  e.set_size(size);
  return true;
}

void ExpandHcrtf(Bytes in, Expansion& e, const PhraseTables& phrases) {
  const uint8_t* p = in.data();
  const uint8_t* const end = p + in.size();
  const bool roomy = phrases.quick.size() >= PhraseTables::kCodeNumbers;
  if (roomy && ExpandHcrtfRoomy(p, end, e, phrases.quick.data(), phrases.text.data())) return;
  char* const out = e.out();
  const size_t capacity = e.capacity();
  size_t size = e.size();
  while (p != end) {
    const uint8_t b = *p++;
    size_t number;
    if ((b & 1) == 0) {
      number = b / 2u;
    } else if ((b & 3) == 1) {
      if (p == end) return e.set_size(size), e.CodeCut();
      number = kHcrtfTwoByteBase + (b >> 2) * 256u + *p++;
    } else if ((b & 7) == 3) {
      const size_t k = (b >> 3) + 1u;
      const size_t left = static_cast<size_t>(end - p);
      if (left < k) return e.set_size(size), e.CodeCut();
      if (k > capacity - size) return e.set_size(size), e.Append(p, k);  // cut
      CopyLiterals(out + size, p, k, left);
      size += k;
      p += k;
      continue;
    } else {
      const size_t n = (b >> 4) + 1u;  // at most 16
      const bool blanks = (b & 15) == 7;  // else NULs
      // (a run that does not fit is cut)
      if (n > capacity - size) return e.set_size(size), e.AppendRepeated(n, blanks ? ' ' : '\0');
      std::memcpy(out + size, kRunBytes + (blanks ? 0 : kQuickCopy), kQuickCopy);
      size += n;
      continue;
    }
    if (const size_t length = e.QuickLength(number); length <= capacity - size) {
      std::memcpy(out + size, e.QuickText(number), kQuickCopy);
      size += length;
      continue;
    }
    e.set_size(size);
    e.AppendPhraseCarefully(number);
    if (e.full()) return;
    // After a long phrase the codes that follow may have room enough again.
    if (roomy && ExpandHcrtfRoomy(p, end, e, phrases.quick.data(), phrases.text.data())) return;
    size = e.size();
  }
  e.set_size(size);
}

/// As ExpandHcrtfRoomy for the older codes (a phrase and its blank take at most 17 bytes for
/// the code's two).
bool ExpandOldRoomy(const uint8_t*& place, const uint8_t* end, Expansion& e,
                    const PhraseTables::QuickPhrase* quick, const char* phrase_text) {
  char* const out = e.out();
  size_t size = e.size();
  if (e.capacity() - size < kQuickCopy * static_cast<size_t>(end - place)) return false;
  const uint8_t* p = place;  // (as above)
  while (p != end) {
    const uint8_t b = *p;
    if (b == 0 || b > kOldLastCode) {
      out[size++] = static_cast<char>(b);
      ++p;
      continue;
    }
    if (end - p < 2) return place = p, e.set_size(size), false;
    const unsigned code = (b - 1u) * 256u + p[1];
    const PhraseTables::QuickPhrase q = quick[code >> 1];
    if (q.length == PhraseTables::kNotQuick) return place = p, e.set_size(size), false;
    std::memcpy(out + size, phrase_text + q.start, kQuickCopy);
    size += q.length;
    if (code & 1) out[size++] = ' ';
    p += 2;
  }
  place = p;
  e.set_size(size);
  return true;
}

void ExpandOld(Bytes in, Expansion& e, const PhraseTables& phrases) {
  const uint8_t* p = in.data();
  const uint8_t* const end = p + in.size();
  const bool roomy = phrases.quick.size() >= PhraseTables::kCodeNumbers;
  if (roomy && ExpandOldRoomy(p, end, e, phrases.quick.data(), phrases.text.data())) return;
  char* const out = e.out();
  const size_t capacity = e.capacity();
  size_t size = e.size();
  while (p != end) {
    const uint8_t b = *p++;
    if (b == 0 || b > kOldLastCode) {
      if (size == capacity) return e.set_size(size), e.Cut();
      out[size++] = static_cast<char>(b);
      continue;
    }
    if (p == end) return e.set_size(size), e.CodeCut();
    const unsigned code = (b - 1u) * 256u + *p++;
    const size_t number = code >> 1;
    bool careful = false;
    if (const size_t length = e.QuickLength(number); length <= capacity - size) {
      std::memcpy(out + size, e.QuickText(number), kQuickCopy);
      size += length;
    } else {
      e.set_size(size);
      e.AppendPhraseCarefully(number);
      if (e.full()) return;
      size = e.size();
      careful = true;
    }
    if (code & 1) {
      if (size == capacity) return e.set_size(size), e.Cut();
      out[size++] = ' ';
    }
    if (careful && roomy) {
      // After a long phrase the codes that follow may have room enough again.
      e.set_size(size);
      if (ExpandOldRoomy(p, end, e, phrases.quick.data(), phrases.text.data())) return;
      size = e.size();
    }
  }
  e.set_size(size);
}

}  // namespace

PhraseCodes PhraseCodesFor(const HelpFile& hf, size_t stored_length, size_t expanded_length) {
  // A file with both |Phrases and |PhrIndex has the |Phrases table loaded; its text can only
  // be read with the codes of that table.
  const bool old_table_loaded = hf.phrases.kind == PhraseTables::Kind::kOld;
  return hf.slot(Slot::kPhrIndex).present() && !old_table_loaded && stored_length < expanded_length
             ? PhraseCodes::kHcrtf
             : PhraseCodes::kOld;
}

std::string_view ExpandTopicTextInBuffer(const HelpFile& hf, Bytes stored, PhraseCodes codes,
                                         size_t capacity, std::string& buffer) {
  Expansion e(hf, capacity, buffer);
  if (!hf.slot(Slot::kPhrases).present() && !hf.slot(Slot::kPhrIndex).present()) {
    e.Append(reinterpret_cast<const char*>(stored.data()), stored.size());
  } else if (codes == PhraseCodes::kHcrtf) {
    ExpandHcrtf(stored, e, hf.phrases);
  } else {
    ExpandOld(stored, e, hf.phrases);
  }
  return e.text();
}

std::string ExpandTopicText(const HelpFile& hf, Bytes stored, PhraseCodes codes, size_t capacity) {
  std::string buffer;
  buffer.resize(ExpandTopicTextInBuffer(hf, stored, codes, capacity, buffer).size());
  return buffer;
}

}  // namespace quorvex
