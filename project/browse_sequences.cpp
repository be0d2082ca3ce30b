#include "project/browse_sequences.h"

#include <charconv>
#include <cstddef>
#include <unordered_set>
#include <vector>

namespace quorvex {

namespace {

/// The position count stops here: a chain that loops would otherwise count for ever.
constexpr int kMaxPosition = 0x7FFF;

std::optional<size_t> GroupOf(const BrowseGroups& b, int32_t topic) {
  auto it = b.places.find(topic);
  return it == b.places.end() ? std::nullopt : std::optional<size_t>(it->second.first);
}

/// The position of `topic` in `group`: one for the topic itself and one more for each
/// predecessor found there, up to the cap. Each topic's position is worked out once while the
/// groups stay as they are, so a long chain costs its length, not its length squared.
int Position(BrowseGroups& b, size_t group, int32_t topic) {
  std::vector<int32_t> path;  // topics found in the group, from `topic` backwards
  std::unordered_set<int32_t> on_path;
  int rest = 0;  // what the steps beyond the path's last topic add
  for (int32_t current = topic;;) {
    auto place = b.places.find(current);
    if (place == b.places.end() || place->second.first != group) {
      rest = 1;  // a predecessor that is not there still counts one step
      break;
    }
    if (auto known = b.positions.find(current); known != b.positions.end()) {
      rest = known->second;
      break;
    }
    if (!on_path.insert(current).second) {  // a loop counts on to the cap
      rest = kMaxPosition;
      break;
    }
    path.push_back(current);
    current = b.groups[group][place->second.second].back;
    if (current == -1) break;
  }
  for (size_t i = path.size(); i-- > 0;) {
    rest = rest >= kMaxPosition ? kMaxPosition : rest + 1;
    b.positions[path[i]] = rest;
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
  std::optional<size_t> g = GroupOf(b, topic);
  if (!g) {
    const std::optional<size_t> gb = GroupOf(b, back), gf = GroupOf(b, forward);
    // A position is counted along the predecessors in one group. A new topic changes only
    // those of topics that lead back to it, through a recorded topic that names it as its
    // predecessor; a merge may change any. Otherwise the positions worked out stay right, and
    // a chain met in order costs its length, not its length squared.
    bool positions_change = b.predecessors.count(topic) > 0;
    if (back != -1) b.predecessors.insert(back);
    if (gb && gf && *gb != *gf) {
      positions_change = true;
      // The topic joins two chains: the second moves to the end of the first.
      for (const BrowseTriple& t : b.groups[*gf]) {
        b.places[t.topic] = {*gb, b.groups[*gb].size()};
        b.groups[*gb].push_back(t);
      }
      b.groups[*gf].clear();
      g = gb;
    } else if (gb || gf) {
      g = gf ? gf : gb;
    } else {
      g = b.groups.size();
      b.groups.emplace_back();
    }
    b.places[topic] = {*g, b.groups[*g].size()};
    b.groups[*g].push_back({back, topic, forward});
    if (positions_change) b.positions.clear();
  }
  return GroupName(*g + 1, Position(b, *g, topic));
}

}  // namespace quorvex
