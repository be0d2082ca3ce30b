// The running positions of the topic walk, which context names, keywords and the browse
// sequences are looked up by: TopicOffset with picture character counts and block resets, the
// browse identifier, the non-scrolling region and the HC30 record position.
#include "core/topic_walk.h"

#include <gtest/gtest.h>

#include "core/container.h"
#include "tests/support/golden_conversion.h"
#include "tests/support/help_writer.h"

namespace quorvex {
namespace {

using namespace testsupport;
using Kind = TopicRecord::Kind;

struct Seen {
  Kind kind;
  int32_t topic_number;
  uint32_t topic_offset, text_length;
  int32_t browse_topic;
  bool non_scrolling;
  uint32_t position;
  bool operator==(const Seen&) const = default;
};

std::vector<Seen> Walk(const TopicRecords& topics, bool hc30, bool lz77) {
  RecordingDiagnostics diagnostics;
  auto dir = OutputDir::InMemory();
  ConversionSession session(diagnostics, *dir);
  auto hf = OpenHelpFileFromBytes(
      AssembleHelpFile({{"|SYSTEM", hc30 ? BuildHc30SystemFile("T")
                                          : GoldenSystem(kMinorHc31, lz77 ? kFlagsLz77 : 0)},
                        {"|TOPIC", topics.Build()}}),
      "T.HLP", 0, session);
  std::vector<Seen> seen;
  TopicWalk walk(*hf);
  while (const TopicRecord* r = walk.Next())
    seen.push_back({r->kind, r->topic_number, r->topic_offset, r->text_length, r->browse_topic,
                    r->non_scrolling, r->position});
  EXPECT_TRUE(walk.done() && walk.topic_seen());
  return seen;
}

TEST(TopicWalk, RunningPositions) {
  for (const auto& [hc30, lz77] : {std::pair{false, false}, {false, true}, {true, false}}) {
    SCOPED_TRACE(hc30 ? "HC30" : lz77 ? "HC31, LZ77" : "HC31");
    // Built twice: the scroll start is the position of the third record.
    auto build = [hc30, lz77](int32_t scroll_start) {
      TopicRecords t(TopicFileOptions{.hc30 = hc30, .compressed = lz77});
      t.Header({"T"}, {.number = 5, .scroll_start = scroll_start})
          .Paragraph(EndedParagraph().PictureRef(0x86, 1, 3), {"ab", "", ""})
          .Paragraph(EndedParagraph(), {"cd", ""})
          .Header({"U"}, {.number = 9});
      t.writer().FillToBlockEnd();
      t.Paragraph(EndedParagraph(), {"e", ""});
      return t;
    };
    TopicRecords probe = build(0);
    TopicRecords topics = build(int32_t(probe.writer().Position(2)));
    const TopicFileWriter& w = topics.writer();
    // The picture's 3 characters count after its record; the second header's browse value is
    // the offset before that; a new block starts at its base (block << 15, << 12 for HC30).
    // HC30 topic headers have no scroll start: no record is non-scrolling.
    const uint32_t base = hc30 ? 1u << 12 : 1u << 15;
    const int32_t first = hc30 ? 1 : 5, second = hc30 ? 2 : 9;
    const std::vector<Seen> expected = {
        {Kind::kTopicHeader, first, 0, 2, hc30 ? 1 : 0, false, w.Position(0)},
        {Kind::kParagraph, first, 0, 5, hc30 ? 2 : 0, !hc30, w.Position(1)},
        {Kind::kParagraph, first, 8, 4, hc30 ? 2 : 5, false, w.Position(2)},
        {Kind::kTopicHeader, second, 12, 2, hc30 ? 2 : 12, false, w.Position(3)},
        {Kind::kParagraph, second, base, 3, hc30 ? 3 : int32_t(base), false, w.Position(4)},
    };
    EXPECT_EQ(Walk(topics, hc30, lz77), expected);
  }
}

}  // namespace
}  // namespace quorvex
