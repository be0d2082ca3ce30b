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

/// Collects the output in a buffer that is reused from record to record (only its first size()
/// bytes are the text), cut at the capacity, and remembers which problems it has seen so that
/// each is reported once.
class Expansion {
 public:
  Expansion(const HelpFile& hf, size_t capacity, std::string& buffer)
      : hf_(hf), phrases_(hf.phrases), capacity_(capacity), buffer_(buffer) {}

  void Append(const char* s, size_t n) {
    n = Fit(n);
    std::memcpy(Room(n), s, n);
    size_ += n;
  }
  void AppendRepeated(size_t n, char c) {
    n = Fit(n);
    std::memset(Room(n), c, n);
    size_ += n;
  }
  void Put(char c) {
    if (size_ == capacity_) return Cut();
    *Room(1) = c;
    ++size_;
  }
  void AppendPhrase(size_t number) {
    if (number < phrases_.count()) {
      const size_t start = phrases_.offsets[number], end = phrases_.offsets[number + 1];
      if (start <= end && end <= phrases_.text.size())
        return Append(phrases_.text.data() + start, end - start);
    }
    if (!bad_phrase_) Warn(kWarnTopicTextPhrase, static_cast<int64_t>(number));
    bad_phrase_ = true;
  }
  void CodeCut() { Warn(kWarnTopicTextCode); }
  /// Once the output is full, nothing more can be appended.
  bool full() const { return cut_; }
  std::string_view text() const { return std::string_view(buffer_.data(), size_); }

 private:
  /// `n` cut to the room left before the capacity (a cut is reported once).
  size_t Fit(size_t n) {
    const size_t room = capacity_ - size_;
    if (n <= room) return n;
    Cut();
    return room;
  }
  /// Where the next `n` bytes go; the buffer grows by doubling.
  char* Room(size_t n) {
    if (buffer_.size() - size_ < n) buffer_.resize(std::max(2 * buffer_.size(), size_ + n));
    return buffer_.data() + size_;
  }
  void Cut() {
    if (!cut_) Warn(kWarnTopicTextCut, static_cast<int64_t>(capacity_));
    cut_ = true;
  }
  template <typename... A>
  void Warn(int id, const A&... args) {
    if (hf_.session) hf_.diagnostics().Warning(id, args...);
  }

  const HelpFile& hf_;
  const PhraseTables& phrases_;
  size_t capacity_;
  std::string& buffer_;
  size_t size_ = 0;
  bool cut_ = false;
  bool bad_phrase_ = false;
};

void ExpandHcrtf(Bytes in, Expansion& e) {
  ByteReader r(in);
  while (!r.at_end() && !e.full()) {
    uint8_t b = r.u8();
    if ((b & 1) == 0) {
      e.AppendPhrase(b / 2u);
    } else if ((b & 3) == 1) {
      if (r.at_end()) return e.CodeCut();
      e.AppendPhrase(kHcrtfTwoByteBase + (b >> 2) * 256u + r.u8());
    } else if ((b & 7) == 3) {
      size_t k = (b >> 3) + 1u;
      if (r.remaining() < k) return e.CodeCut();
      Bytes lit = r.bytes(k);
      e.Append(reinterpret_cast<const char*>(lit.data()), lit.size());
    } else if ((b & 15) == 7) {
      e.AppendRepeated((b >> 4) + 1u, ' ');
    } else {
      e.AppendRepeated((b >> 4) + 1u, '\0');
    }
  }
}

void ExpandOld(Bytes in, Expansion& e) {
  ByteReader r(in);
  while (!r.at_end() && !e.full()) {
    uint8_t b = r.u8();
    if (b == 0 || b > kOldLastCode) {
      e.Put(static_cast<char>(b));
      continue;
    }
    if (r.at_end()) return e.CodeCut();
    unsigned code = (b - 1u) * 256u + r.u8();
    e.AppendPhrase(code >> 1);
    if (code & 1) e.Put(' ');
  }
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
    ExpandHcrtf(stored, e);
  } else {
    ExpandOld(stored, e);
  }
  return e.text();
}

std::string ExpandTopicText(const HelpFile& hf, Bytes stored, PhraseCodes codes, size_t capacity) {
  std::string buffer;
  buffer.resize(ExpandTopicTextInBuffer(hf, stored, codes, capacity, buffer).size());
  return buffer;
}

}  // namespace quorvex
