#include "project/browse_sequences.h"

#include <charconv>
#include <cstddef>
#include <vector>

namespace quorvex {

namespace {

/// The position count stops here: a chain that loops would otherwise count for ever.
constexpr int kMaxPosition = 0x7FFF;

std::optional<uint32_t> GroupOf(const BrowseGroups& b, int32_t topic) {
  const BrowseTopic* t = b.topics.Find(topic);
  return t && t->recorded() ? std::optional<uint32_t>(t->group) : std::nullopt;
}

/// The position of `topic` in `group`: one for the topic itself and one more for each
/// predecessor found there, up to the cap. Each topic's position is worked out once while the
/// groups stay as they are, so a long chain costs its length, not its length squared.
int Position(BrowseGroups& b, uint32_t group, int32_t topic) {
  thread_local std::vector<BrowseTopic*> path;  // topics found in the group, from `topic` back
  path.clear();
  // A path with more steps than the group has topics has met one of them twice: a loop, which
  // counts on to the cap.
  const size_t most = b.groups[group].size();
  int rest = 0;  // what the steps beyond the path's last topic add
  for (int32_t current = topic;;) {
    BrowseTopic* t = b.topics.Find(current);
    if (!t || t->group != group) {
      rest = 1;  // a predecessor that is not there still counts one step
      break;
    }
    if (t->position_epoch == b.topics.epoch()) {
      rest = t->position;
      break;
    }
    if (path.size() >= most) {
      rest = kMaxPosition;
      break;
    }
    path.push_back(t);
    current = b.groups[group][t->index].back;
    if (current == -1) break;
  }
  for (size_t i = path.size(); i-- > 0;) {
    rest = rest >= kMaxPosition ? kMaxPosition : rest + 1;
    path[i]->position = rest;
    path[i]->position_epoch = b.topics.epoch();
  }
  return rest;
}

/// "grp%04X:%d" of the group number (modulo 2^32) and the position, without the general
/// formatter: the name is made for every topic in both passes.
std::string GroupName(size_t group, int position) {
  char name[32] = "grp";
  char* p = name + 3;
  char hex[8];
  const char* const hex_end = std::to_chars(hex, hex + sizeof hex, uint32_t(group), 16).ptr;
  for (std::ptrdiff_t pad = 4 - (hex_end - hex); pad > 0; --pad) *p++ = '0';
  for (const char* c = hex; c != hex_end; ++c) *p++ = *c >= 'a' ? char(*c - 'a' + 'A') : *c;
  *p++ = ':';
  p = std::to_chars(p, name + sizeof name, position).ptr;
  return std::string(name, p);
}

}  // namespace

std::optional<std::string> BrowseSequenceName(HelpFile& hf, int32_t back, int32_t topic,
                                              int32_t forward) {
  if (back == -1 && forward == -1) return std::nullopt;
  BrowseGroups& b = hf.browse_groups;
  std::optional<uint32_t> g = GroupOf(b, topic);
  if (!g) {
    const std::optional<uint32_t> gb = GroupOf(b, back), gf = GroupOf(b, forward);
    // A position is counted along the predecessors in one group. A new topic changes only
    // those of topics that lead back to it, through a recorded topic that names it as its
    // predecessor; a merge may change any. Otherwise the positions worked out stay right, and
    // a chain met in order costs its length, not its length squared.
    const BrowseTopic* known = b.topics.Find(topic);
    bool positions_change = known && known->predecessor;
    if (back != -1) b.topics.Add(back).predecessor = true;
    if (gb && gf && *gb != *gf) {
      positions_change = true;
      // The topic joins two chains: the second moves to the end of the first.
      for (const BrowseTriple& t : b.groups[*gf]) {
        BrowseTopic& moved = *b.topics.Find(t.topic);
        moved.group = *gb;
        moved.index = static_cast<uint32_t>(b.groups[*gb].size());
        b.groups[*gb].push_back(t);
      }
      b.groups[*gf].clear();
      g = gb;
    } else if (gb || gf) {
      g = gf ? gf : gb;
    } else {
      g = static_cast<uint32_t>(b.groups.size());
      b.groups.emplace_back();
    }
    BrowseTopic& mine = b.topics.Add(topic);
    mine.group = *g;
    mine.index = static_cast<uint32_t>(b.groups[*g].size());
    b.groups[*g].push_back({back, topic, forward});
    if (positions_change) b.topics.ForgetPositions();
  }
  return GroupName(*g + 1, Position(b, *g, topic));
}

}  // namespace quorvex
