// Expansion of phrase-compressed topic text.
#include "core/text_expansion.h"

#include <algorithm>

#include "core/help_file.h"

namespace quorvex {

namespace {

/// HCRTF one-byte phrase codes name the phrases 0 to 127; two-byte codes start after them.
constexpr size_t kHcrtfTwoByteBase = 128;
/// The older scheme's codes run from 1 to 15; each takes the next byte too.
constexpr uint8_t kOldLastCode = 15;

/// Collects the output, cut at the capacity, and remembers which problems it has seen so that
/// each is reported once.
class Expansion {
 public:
  Expansion(const HelpFile& hf, size_t capacity, std::string& out)
      : hf_(hf), capacity_(capacity), out_(out) {
    out_.clear();
  }

  void Append(std::string_view s) {
    size_t room = capacity_ - out_.size();
    if (s.size() > room) {
      out_.append(s.substr(0, room));
      if (!cut_) Warn(kWarnTopicTextCut, static_cast<int64_t>(capacity_));
      cut_ = true;
      return;
    }
    out_.append(s);
  }
  void AppendRepeated(size_t n, char c) {
    size_t room = capacity_ - out_.size();
    if (n > room) {
      out_.append(room, c);
      if (!cut_) Warn(kWarnTopicTextCut, static_cast<int64_t>(capacity_));
      cut_ = true;
      return;
    }
    out_.append(n, c);
  }
  void AppendPhrase(size_t number) {
    std::optional<std::string_view> phrase = GetPhrase(hf_, number);
    if (!phrase) {
      if (!bad_phrase_) Warn(kWarnTopicTextPhrase, static_cast<int64_t>(number));
      bad_phrase_ = true;
      return;
    }
    Append(*phrase);
  }
  void CodeCut() { Warn(kWarnTopicTextCode); }
  /// Once the output is full, nothing more can be appended.
  bool full() const { return cut_; }

 private:
  template <typename... A>
  void Warn(int id, const A&... args) {
    if (hf_.session) hf_.diagnostics().Warning(id, args...);
  }

  const HelpFile& hf_;
  size_t capacity_;
  std::string& out_;
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
      e.Append(std::string_view(reinterpret_cast<const char*>(lit.data()), lit.size()));
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
      e.AppendRepeated(1, static_cast<char>(b));
      continue;
    }
    if (r.at_end()) return e.CodeCut();
    unsigned code = (b - 1u) * 256u + r.u8();
    e.AppendPhrase(code >> 1);
    if (code & 1) e.AppendRepeated(1, ' ');
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

void ExpandTopicTextInto(const HelpFile& hf, Bytes stored, PhraseCodes codes, size_t capacity,
                         std::string& out) {
  Expansion e(hf, capacity, out);
  if (!hf.slot(Slot::kPhrases).present() && !hf.slot(Slot::kPhrIndex).present()) {
    e.Append(std::string_view(reinterpret_cast<const char*>(stored.data()), stored.size()));
  } else if (codes == PhraseCodes::kHcrtf) {
    ExpandHcrtf(stored, e);
  } else {
    ExpandOld(stored, e);
  }
}

std::string ExpandTopicText(const HelpFile& hf, Bytes stored, PhraseCodes codes, size_t capacity) {
  std::string out;
  ExpandTopicTextInto(hf, stored, codes, capacity, out);
  return out;
}

}  // namespace quorvex
