#include "core/tables.h"

#include <array>

namespace quorvex {

namespace {

constexpr uint32_t kHashBase = 43;

/// The value of each byte in the context hash; 0 for bytes the hash skips.
constexpr std::array<uint8_t, 256> MakeHashValues() {
  std::array<uint8_t, 256> v{};
  for (int c = '1'; c <= '9'; ++c) v[c] = static_cast<uint8_t>(c - '0');
  v['0'] = 10;
  v['.'] = 12;
  v['_'] = 13;
  for (int c = 0; c < 26; ++c) v['A' + c] = v['a' + c] = static_cast<uint8_t>(17 + c);
  return v;
}
constexpr std::array<uint8_t, 256> kHashValues = MakeHashValues();

}  // namespace

uint32_t ContextHash(std::string_view name) {
  uint32_t h = 0;
  for (unsigned char c : name) {
    if (c == 0) break;
    if (const uint8_t v = kHashValues[c]) h = h * kHashBase + v;
  }
  return h;
}

uint32_t KnownContextNames::Add(std::string_view name) {
  const uint32_t hash = ContextHash(name);
  first_.emplace(hash, entries_.size());
  entries_.push_back({hash, std::string(name)});
  return hash;
}

const std::string* KnownContextNames::Find(uint32_t hash) const {
  auto it = first_.find(hash);
  return it == first_.end() ? nullptr : &entries_[it->second].name;
}

bool ExtractedPictureList::Record(size_t number, ExtractedPicture picture) {
  if (number > kMaxPictureNumber) return false;
  if (number >= pictures_.size()) pictures_.resize(number + 1);
  pictures_[number] = std::move(picture);
  return true;
}

const ExtractedPicture* ExtractedPictureList::Find(size_t number) const {
  if (number >= pictures_.size() || pictures_[number].empty()) return nullptr;
  return &pictures_[number];
}

}  // namespace quorvex
