#include "bench/large_help_file.h"

#include <algorithm>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/container.h"
#include "core/tables.h"
#include "core/topic_walk.h"
#include "tests/support/byte_builder.h"
#include "tests/support/help_writer.h"
#include "tests/support/picture_writer.h"
#include "tests/support/topic_writer.h"

namespace quorvex::bench {

namespace {

using namespace testsupport;

constexpr size_t kVocabulary = 2000;
constexpr size_t kPhraseCount = 300;
/// Stream bytes that fit a block even as literals (9 bytes of LZ77 for every 8).
constexpr size_t kLiteralPiece = 3630;
constexpr uint32_t kBlockData = 4096 - 12;
/// Topics in one browse sequence.
constexpr size_t kBrowseSequence = 1000;
/// Where a topic header's format part holds its browse back and forward links.
constexpr size_t kBrowseBackField = 4;
constexpr size_t kBrowseForwardField = 8;

struct Random {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return uint32_t(state >> 33);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
  /// Small numbers far more often than large ones, as words in text.
  uint32_t Skewed(uint32_t n) { return Below(Below(Below(n) + 1) + 1); }
};

/// Words made of syllables, so that they repeat inside one another as words of a language do.
std::vector<std::string> Vocabulary(Random& r) {
  static const char* const kSyllables[] = {
      "con", "ter",  "ing", "tion", "pro", "ex", "re",   "de",  "in",  "com", "al",  "er",   "an",
      "en",  "ed",   "or",  "ar",   "is",  "it", "at",   "on",  "es",  "le",  "set", "file", "win",
      "dow", "help", "top", "ic",   "da",  "ta", "menu", "key", "val", "ue",  "sys", "tem"};
  std::vector<std::string> words;
  while (words.size() < kVocabulary) {
    std::string w;
    for (uint32_t i = 0, n = 1 + r.Below(3); i < n; ++i)
      w += kSyllables[r.Below(std::size(kSyllables))];
    words.push_back(w);
  }
  return words;
}

/// A greedy LZ77 encoder with hash chains: what a help compiler writes, in linear time.
std::vector<uint8_t> PackLz77(std::span<const uint8_t> in) {
  std::vector<uint8_t> out;
  std::vector<int32_t> head(1 << 14, -1), prev(in.size(), -1);
  size_t flag_at = 0, items = 8;
  auto item = [&](bool reference) {
    if (items == 8) {
      flag_at = out.size();
      out.push_back(0);
      items = 0;
    }
    if (reference) out[flag_at] |= uint8_t(1u << items);
    ++items;
  };
  auto hash = [&](size_t i) { return ((in[i] << 8) ^ (in[i + 1] << 4) ^ in[i + 2]) & 0x3FFF; };
  for (size_t i = 0; i < in.size();) {
    size_t best = 0, distance = 0;
    if (i + 3 <= in.size()) {
      int chain = 16;
      for (int32_t j = head[hash(i)]; j >= 0 && i - size_t(j) <= 4096 && chain-- > 0; j = prev[j]) {
        size_t n = 0;
        while (n < 18 && i + n < in.size() && in[size_t(j) + n] == in[i + n]) ++n;
        if (n > best) best = n, distance = i - size_t(j);
      }
    }
    const size_t step = best >= 3 ? best : 1;
    for (size_t k = i; k < i + step && k + 3 <= in.size(); ++k) {
      prev[k] = head[hash(k)];
      head[hash(k)] = int32_t(k);
    }
    if (best >= 3) {
      item(true);
      const uint16_t w = uint16_t(((best - 3) << 12) | (distance - 1));
      out.push_back(uint8_t(w));
      out.push_back(uint8_t(w >> 8));
    } else {
      item(false);
      out.push_back(in[i]);
    }
    i += step;
  }
  return out;
}

/// Topic text in the phrase codes of the help file's compiler.
class PhraseCoder {
 public:
  PhraseCoder(const std::vector<std::string>& phrases, bool hcrtf) : hcrtf_(hcrtf) {
    for (size_t i = 0; i < phrases.size(); ++i) index_.emplace(phrases[i], i);
  }

  std::vector<uint8_t> Encode(const std::vector<uint8_t>& text) const {
    std::vector<uint8_t> out;
    std::string literal;
    auto flush = [&] {
      for (size_t at = 0; at < literal.size(); at += 32) {
        const std::string piece = literal.substr(at, 32);
        if (hcrtf_) out.push_back(uint8_t(((piece.size() - 1) << 3) | 3));
        out.insert(out.end(), piece.begin(), piece.end());
      }
      literal.clear();
    };
    for (size_t i = 0; i < text.size();) {
      size_t end = i;
      while (end < text.size() && text[end] >= 'a' && text[end] <= 'z') ++end;
      auto it =
          end > i ? index_.find(std::string(text.begin() + i, text.begin() + end)) : index_.end();
      if (it == index_.end()) {
        const uint8_t c = text[i++];
        if (hcrtf_ && (c == ' ' || c == 0)) {
          flush();
          out.push_back(c == ' ' ? 0x07 : 0x0F);  // one space, one NUL
        } else {
          literal += char(c);
        }
        continue;
      }
      flush();
      const size_t p = it->second;
      if (hcrtf_) {
        if (p < 128) {
          out.push_back(uint8_t(2 * p));
        } else {
          out.push_back(uint8_t((((p - 128) >> 8) << 2) | 1));
          out.push_back(uint8_t((p - 128) & 0xFF));
        }
        i = end;
      } else {
        const bool space = end < text.size() && text[end] == ' ';
        const unsigned code = unsigned(2 * p + (space ? 1 : 0));
        out.push_back(uint8_t((code >> 8) + 1));
        out.push_back(uint8_t(code & 0xFF));
        i = end + (space ? 1 : 0);
      }
    }
    flush();
    return out;
  }

 private:
  bool hcrtf_;
  std::map<std::string, size_t> index_;
};

std::string ContextName(size_t n) {
  return "topic_" + std::to_string(n);
}

/// The records of each LZ77 topic block, by number.
using BlockLayout = std::vector<std::vector<size_t>>;

/// Which records go into which LZ77 block: as many whole records as pack into `target` bytes.
BlockLayout LayOutBlocks(const std::vector<TopicRecordSpec>& records, size_t target) {
  BlockLayout blocks(1);
  std::vector<uint8_t> raw;
  for (size_t i = 0; i < records.size(); ++i) {
    // Link fields much like the final ones, so that the packed size is nearly the final one.
    const int32_t here = int32_t(((blocks.size() - 1) << 14) + 12 + raw.size());
    const std::vector<uint8_t> bytes = TopicLinkRecord(records[i], here + 200, here - 200);
    std::vector<uint8_t> candidate = raw;
    candidate.insert(candidate.end(), bytes.begin(), bytes.end());
    const bool fits = candidate.size() <= kLiteralPiece || PackLz77(candidate).size() <= target;
    if (!fits && !blocks.back().empty()) {
      blocks.emplace_back();
      raw = bytes;
    } else {
      raw = std::move(candidate);
    }
    blocks.back().push_back(i);
  }
  return blocks;
}


/// "|TOPIC" of `records`: stored blocks, or LZ77 blocks that each take as many whole records as
/// pack into them (as a help compiler fills its blocks); the rest of a block is filler that
/// the reader skips, since the next record's position names the next block. An empty `blocks`
/// is filled with the layout; a given one is kept (records of the same sizes, other bytes).
std::vector<uint8_t> BuildTopic(const std::vector<TopicRecordSpec>& records, bool lz77,
                                BlockLayout& blocks) {
  if (!lz77) {
    TopicRecords writer;
    for (const TopicRecordSpec& r : records) writer.Record(r);
    return writer.Build();
  }
  // Room kept for the next and previous fields, filled in once the positions are known, and
  // for the browse fields, which the second build fills in.
  constexpr size_t kTarget = kBlockData - 160;
  if (blocks.empty()) blocks = LayOutBlocks(records, kTarget);

  // Positions: block << 14, plus the 12-byte block header, plus the index in the block.
  std::vector<int32_t> position(records.size());
  for (size_t b = 0; b < blocks.size(); ++b) {
    uint32_t index = 12;
    for (size_t i : blocks[b]) {
      position[i] = int32_t((b << 14) + index);
      index += uint32_t(TopicLinkRecord(records[i], 0, 0).size());
    }
  }
  ByteBuilder out;
  for (size_t b = 0; b < blocks.size(); ++b) {
    std::vector<uint8_t> stream;
    for (size_t i : blocks[b]) {
      const std::vector<uint8_t> bytes = TopicLinkRecord(
          records[i], i + 1 < records.size() ? position[i + 1] : -1, i ? position[i - 1] : -1);
      stream.insert(stream.end(), bytes.begin(), bytes.end());
    }
    const std::vector<uint8_t> packed = PackLz77(stream);
    if (packed.size() > kBlockData) throw std::runtime_error("a topic block does not pack");
    out.zeros(12).bytes(packed);
    if (b + 1 < blocks.size()) out.zeros(kBlockData - packed.size());
  }
  return out.take();
}

}  // namespace

std::vector<uint8_t> BuildLargeHelpFile(const LargeHelpFileSpec& spec) {
  Random r{spec.seed * 7919 + 17};
  const std::vector<std::string> words = Vocabulary(r);
  const std::vector<std::string> phrases(words.begin(), words.begin() + kPhraseCount);
  const PhraseCoder coder(phrases, spec.hcrtf);
  const size_t pictures = std::max<size_t>(3, spec.topics / 500);
  const size_t keyword_count = std::max<size_t>(50, spec.topics / 2);

  auto sentence = [&](size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += words[r.Skewed(kVocabulary)] + " ";
    return s;
  };
  std::vector<TopicRecordSpec> records;
  auto add = [&](TopicRecordSpec record, const std::vector<std::string>& texts) {
    const std::vector<uint8_t> text = TextStrings(texts);
    // A record whose codes would not be shorter keeps its text as it is.
    std::vector<uint8_t> coded = spec.phrases ? coder.Encode(text) : text;
    record.text_part = coded.size() < text.size() ? std::move(coded) : text;
    record.expanded_length = int32_t(text.size());
    records.push_back(std::move(record));
  };
  // Topics form browse sequences of kBrowseSequence topics each, in topic order. Their links
  // are TopicOffsets, known once the blocks are laid out: until then each holds a number of the
  // same size, so that the blocks pack as they will with the final links.
  Random links{spec.seed + 1};
  auto has_back = [](size_t n) { return n % kBrowseSequence != 0; };
  auto has_forward = [&](size_t n) { return has_back(n + 1) && n + 1 < spec.topics; };
  auto placeholder = [&](bool linked) { return linked ? int32_t(links.Below(1 << 24)) : -1; };
  std::vector<size_t> header_records;
  for (size_t n = 0; n < spec.topics; ++n) {
    std::vector<std::string> title = {"Topic " + std::to_string(n) + ": " + sentence(3)};
    if (n % 7 == 0) title.push_back("BrowseButtons()");
    header_records.push_back(records.size());
    // first field, browse back and forward, topic number, non-scroll -1, scroll start, next -1
    add({.type = 2,
         .format_part = ByteBuilder()
                            .i32(0x100)
                            .i32(placeholder(has_back(n)))
                            .i32(placeholder(has_forward(n)))
                            .i32(int32_t(n))
                            .i32(-1)
                            .i32(0)
                            .i32(-1)
                            .take()},
        title);
    for (int p = 0; p < 3; ++p) {
      ParagraphBuilder b;
      std::vector<std::string> texts = {sentence(12)};
      b.Font(1);
      texts.push_back(sentence(2));
      b.Font(0);
      texts.push_back(sentence(10));
      b.JumpShort(0xE3, ContextHash(ContextName(r.Below(uint32_t(spec.topics)))));
      texts.push_back(sentence(2));
      b.Command(0x89);
      texts.push_back(sentence(8));
      if (p == 0 && n % 25 == 0) {
        b.PictureRef(0x86, uint16_t(n / 25 % pictures), 1);
        texts.push_back("");
      }
      b.Command(0x82);
      texts.push_back("");
      add({.format_part = ParagraphFormatPart(b.Build())}, texts);
    }
    if (n % 10 == 0) {
      const std::vector<uint8_t> cell = ParagraphBuilder().Command(0x82).Build();
      add({.type = 0x23,
           .format_part = ByteBuilder(ParagraphFormatPart(
                                          TableLayout(1, {{2000, 100}, {2000, 100}, {2000, 100}})))
                              .bytes(TableCell(0, cell))
                              .bytes(TableCell(1, cell))
                              .bytes(TableCell(2, cell))
                              .i16(-1)
                              .take()},
          {sentence(3), "", sentence(3), "", sentence(3), ""});
    }
  }

  const std::vector<uint8_t> system =
      BuildSystemFile(spec.hcrtf ? 33 : 21, spec.lz77 ? 4 : 0, {TextRecord(1, "Large help file")});
  const std::vector<uint8_t> font =
      spec.hcrtf
          ? BuildFontFile(
                {"Arial", "Courier New"}, 32,
                {NewFontDescriptor({.face = 0}), NewFontDescriptor({.face = 1, .weight = 700})})
          : BuildFontFile(
                {"Arial", "Times New Roman"}, 20,
                {OldFontDescriptor({.face = 0}), OldFontDescriptor({.attributes = 1, .face = 1})});
  HelpFileWriter help;
  help.AddFile("|SYSTEM", system).AddFile("|FONT", font);
  if (spec.phrases && spec.hcrtf) {
    const RtfPhraseFiles files = BuildRtfPhrases(phrases, 4, true);
    help.AddFile("|PhrIndex", files.index).AddFile("|PhrImage", files.image);
  } else if (spec.phrases) {
    help.AddFile("|Phrases", BuildHc31Phrases(phrases));
  }
  for (size_t p = 0; p < pictures; ++p) {
    BitmapSpec b{.packing = uint8_t(1 + p % 3), .bit_count = 4, .width = 64, .height = 32};
    for (int i = 0; i < 16; ++i) b.palette.insert(b.palette.end(), {uint8_t(i * 16), 0, 0, 0});
    for (uint32_t y = 0; y < 32; ++y)
      for (uint32_t x = 0; x < 32; ++x)
        b.pixels.push_back(uint8_t((x / 4 + y / 4 + p) % 16 * 0x11));
    help.AddFile("|bm" + std::to_string(p), PictureContainer({BitmapPicture(b)}));
  }

  // Where each topic's text starts and what its browse links name it by, as the topic walk
  // counts them; the second build of |TOPIC, in the same blocks, links the sequences.
  std::vector<uint32_t> starts;
  std::vector<int32_t> browse_values;
  BlockLayout blocks;
  {
    NullDiagnostics quiet;
    auto folder = OutputDir::InMemory();
    ConversionSession session(quiet, *folder);
    HelpFileWriter probe = help;
    probe.AddFile("|TOPIC", BuildTopic(records, spec.lz77, blocks));
    auto hf = OpenHelpFileFromBytes(probe.Build(), "LARGE.HLP", 0, session);
    TopicWalk walk(*hf);
    bool header = false;
    while (const TopicRecord* t = walk.Next()) {
      if (t->kind == TopicRecord::Kind::kTopicHeader) {
        header = true;
        browse_values.push_back(t->browse_topic);
      } else if (header && t->kind != TopicRecord::Kind::kOther) {
        starts.push_back(t->topic_offset);
        header = false;
      }
    }
  }
  for (size_t n = 0; n < header_records.size() && n < browse_values.size(); ++n) {
    std::vector<uint8_t>& fields = records[header_records[n]].format_part;
    const auto link = [&](size_t at, int32_t value) {
      for (int k = 0; k < 4; ++k) fields[at + k] = uint8_t(uint32_t(value) >> (8 * k));
    };
    if (has_back(n)) link(kBrowseBackField, browse_values[n - 1]);
    if (has_forward(n) && n + 1 < browse_values.size())
      link(kBrowseForwardField, browse_values[n + 1]);
  }
  help.AddFile("|TOPIC", BuildTopic(records, spec.lz77, blocks));
  ContextEntries contexts;
  std::map<std::string, std::vector<uint32_t>> keywords;
  ByteBuilder map;
  const size_t map_entries = std::min<size_t>(0xFFFF, (starts.size() + 9) / 10);
  map.u16(uint16_t(map_entries));
  for (size_t n = 0; n < starts.size(); ++n) {
    contexts.push_back({ContextHash(ContextName(n)), starts[n]});
    if (n % 5 == 0) contexts.push_back({ContextHash("alias_" + std::to_string(n)), starts[n]});
    for (int k = 0; k < 3; ++k)
      keywords["keyword " + std::to_string(r.Below(uint32_t(keyword_count)))].push_back(starts[n]);
    if (n % 10 == 0 && n / 10 < map_entries) map.i32(int32_t(1000 + n)).u32(starts[n]);
  }
  std::sort(contexts.begin(), contexts.end());
  help.AddFile("|CONTEXT", BuildContextFile(contexts, {.page_size = 4096}));
  const KeywordFiles k =
      BuildKeywordFiles(KeywordEntries(keywords.begin(), keywords.end()), {.page_size = 4096});
  help.AddFile("|KWBTREE", k.btree).AddFile("|KWDATA", k.data).AddFile("|CTXOMAP", map.take());
  return help.Build();
}

}  // namespace quorvex::bench
