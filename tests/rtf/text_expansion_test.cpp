// Expansion of phrase-compressed topic text with both code schemes.
#include "rtf/text_expansion.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "core/help_file.h"
#include "tests/support/help_writer.h"
#include "tests/support/phrase_writer.h"

namespace quorvex {
namespace {

/// A HelpFile whose phrase table holds "p0", "p1", ... up to phrase count - 1.
struct PhraseFixture {
  RecordingDiagnostics diagnostics;
  OutputDir output{"."};
  ConversionSession session{diagnostics, output};
  HelpFile hf;

  explicit PhraseFixture(Slot slot, size_t count = 500) {
    hf.session = &session;
    if (count == 0) return;
    hf.slot(slot) = SlotEntry{16, 1};  // only its presence matters here
    hf.phrases.kind = slot == Slot::kPhrIndex ? PhraseTables::Kind::kRtf : PhraseTables::Kind::kOld;
    hf.phrases.offsets.push_back(0);
    for (size_t i = 0; i < count; ++i) {
      hf.phrases.text += "p" + std::to_string(i);
      hf.phrases.offsets.push_back(static_cast<uint32_t>(hf.phrases.text.size()));
    }
  }
  std::string Expand(std::vector<uint8_t> stored, PhraseCodes codes,
                     size_t capacity = kTopicTextCapacity) {
    return ExpandTopicText(hf, Bytes(stored.data(), stored.size()), codes, capacity);
  }
};

using namespace std::string_literals;

TEST(TextExpansion, HcrtfCodes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> stored;
    std::string expanded;
  };
  const Case cases[] = {
      {"phrase, spaces, literals", {0x06, 0x27, 0x0B, 'A', 'B'}, "p3   AB"},
      {"two NULs", {0x1F}, "\0\0"s},
      {"two-byte phrase", {0x05, 0x10}, "p400"},
      {"phrase 0 and 127", {0x00, 0xFE}, "p0p127"},
      {"one space, one NUL", {0x07, 0x0F}, " \0"s},
      {"sixteen spaces", {0xF7}, std::string(16, ' ')},
      {"32 literal bytes",
       [] {
         std::vector<uint8_t> v = {0xFB};
         for (int i = 0; i < 32; ++i) v.push_back(static_cast<uint8_t>('a' + i % 26));
         return v;
       }(),
       "abcdefghijklmnopqrstuvwxyzabcdef"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PhraseFixture f(Slot::kPhrIndex);
    EXPECT_EQ(f.Expand(c.stored, PhraseCodes::kHcrtf), c.expanded);
    EXPECT_TRUE(f.diagnostics.warnings.empty());
  }
}

TEST(TextExpansion, OlderCodes) {
  struct Case {
    const char* name;
    std::vector<uint8_t> stored;
    std::string expanded;
  };
  const Case cases[] = {
      {"odd code adds a space", {0x01, 0x05}, "p2 "},
      {"even code", {0x02, 0x04}, "p130"},
      {"plain byte", {0x41}, "A"},
      {"NUL and high bytes stay", {0x00, 0x10, 0xFF}, "\0\x10\xFF"s},
      {"mixed", {'H', 0x01, 0x00, 'x'}, "Hp0x"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PhraseFixture f(Slot::kPhrases);
    EXPECT_EQ(f.Expand(c.stored, PhraseCodes::kOld), c.expanded);
    EXPECT_TRUE(f.diagnostics.warnings.empty());
  }
}

TEST(TextExpansion, WithoutPhraseFilesTheBytesStay) {
  PhraseFixture f(Slot::kPhrases, 0);
  EXPECT_EQ(f.Expand({0x01, 0x05, 'a'}, PhraseCodes::kOld),
            "\x01\x05"
            "a");
  EXPECT_EQ(f.Expand({0x06, 0x00}, PhraseCodes::kHcrtf), "\x06\0"s);
  EXPECT_EQ(f.Expand({'a', 'b', 'c'}, PhraseCodes::kOld, 2), "ab");
  EXPECT_EQ(f.diagnostics.Count(kWarnTopicTextCut), 1u);
}

TEST(TextExpansion, OutputBeyondTheCapacityIsCut) {
  PhraseFixture f(Slot::kPhrIndex);
  // 0xF7: 16 spaces, ten times; then phrases.
  const std::vector<uint8_t> stored = {0xF7, 0xF7, 0xF7, 0xF7, 0xF7, 0xF7, 0xF7,
                                       0xF7, 0xF7, 0xF7, 0x06, 0x06, 0x06};
  EXPECT_EQ(f.Expand(stored, PhraseCodes::kHcrtf, 50), std::string(50, ' '));
  EXPECT_EQ(f.diagnostics.Count(kWarnTopicTextCut), 1u);

  PhraseFixture g(Slot::kPhrIndex);
  EXPECT_EQ(g.Expand({0x06, 0x06}, PhraseCodes::kHcrtf, 3), "p3p");
  EXPECT_EQ(g.diagnostics.Count(kWarnTopicTextCut), 1u);
}

TEST(TextExpansion, PhraseBeyondTheTableAddsNothing) {
  PhraseFixture f(Slot::kPhrIndex, 10);
  // Phrase 400, phrase 20, then a literal: two unknown phrases, one warning.
  EXPECT_EQ(f.Expand({0x05, 0x10, 0x28, 0x03, 'z'}, PhraseCodes::kHcrtf), "z");
  EXPECT_EQ(f.diagnostics.Count(kWarnTopicTextPhrase), 1u);
  EXPECT_TRUE(f.diagnostics.Saw("400"));

  PhraseFixture g(Slot::kPhrases, 10);
  EXPECT_EQ(g.Expand({0x0F, 0xFF, 'y'}, PhraseCodes::kOld), " y");
  EXPECT_EQ(g.diagnostics.Count(kWarnTopicTextPhrase), 1u);
}

TEST(TextExpansion, CodeCutShortEndsTheExpansion) {
  struct Case {
    std::vector<uint8_t> stored;
    PhraseCodes codes;
    std::string expanded;
  };
  const Case cases[] = {
      {{0x41, 0x01}, PhraseCodes::kOld, "A"},
      {{0x06, 0x05}, PhraseCodes::kHcrtf, "p3"},
      {{0x0B, 'A'}, PhraseCodes::kHcrtf, ""},
  };
  for (const Case& c : cases) {
    PhraseFixture f(c.codes == PhraseCodes::kOld ? Slot::kPhrases : Slot::kPhrIndex);
    EXPECT_EQ(f.Expand(c.stored, c.codes), c.expanded);
    EXPECT_EQ(f.diagnostics.Count(kWarnTopicTextCode), 1u);
  }
}

TEST(TextExpansion, SchemeChoice) {
  PhraseFixture rtf(Slot::kPhrIndex);
  EXPECT_EQ(PhraseCodesFor(rtf.hf, 10, 20), PhraseCodes::kHcrtf);
  EXPECT_EQ(PhraseCodesFor(rtf.hf, 20, 20), PhraseCodes::kOld);
  PhraseFixture old(Slot::kPhrases);
  EXPECT_EQ(PhraseCodesFor(old.hf, 10, 20), PhraseCodes::kOld);
  // With both |Phrases and |PhrIndex the |Phrases table is the one loaded: its codes apply.
  PhraseFixture both(Slot::kPhrases);
  both.hf.slot(Slot::kPhrIndex) = SlotEntry{32, 1};
  EXPECT_EQ(PhraseCodesFor(both.hf, 10, 20), PhraseCodes::kOld);
}

// The phrase loader and the expansion together, on help files built from the file formats.
TEST(TextExpansion, WithLoadedPhraseFiles) {
  std::vector<std::string> phrases = {"the ", "help", "Windows"};
  for (bool rtf : {false, true}) {
    SCOPED_TRACE(rtf ? "HCRTF" : "HC31");
    testsupport::HelpFileWriter w;
    if (rtf) {
      w.AddFile("|SYSTEM", testsupport::BuildSystemFile(33, 0, {}));
      auto files = testsupport::BuildRtfPhrases(phrases, 2, true);
      w.AddFile("|PhrIndex", files.index);
      w.AddFile("|PhrImage", files.image);
    } else {
      w.AddFile("|SYSTEM", testsupport::BuildSystemFile(21, 4, {}));
      w.AddFile("|Phrases", testsupport::BuildHc31Phrases(phrases));
    }
    RecordingDiagnostics d;
    OutputDir o(".");
    ConversionSession session(d, o);
    auto hf = OpenHelpFileFromBytes(w.Build(), "T.HLP", 0, session);
    ASSERT_NE(hf, nullptr);
    std::vector<uint8_t> stored =
        rtf ? std::vector<uint8_t>{0x04, 0x07, 0x00, 0x02, 0x03, '!'}
            // Windows, space, the, help, !
            : std::vector<uint8_t>{0x01, 0x04, 0x01, 0x03, 0x01, 0x00, '!'};
    std::string want = rtf ? "Windows the help!" : "Windowshelp the !";
    EXPECT_EQ(ExpandTopicText(*hf, Bytes(stored.data(), stored.size()),
                              rtf ? PhraseCodes::kHcrtf : PhraseCodes::kOld),
              want);
  }
}

}  // namespace
}  // namespace quorvex
