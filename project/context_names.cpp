#include "project/context_names.h"

#include <array>
#include <iterator>
#include <optional>

#include "core/format.h"

namespace quorvex {

namespace {

constexpr uint32_t kHashBase = 43;
/// Attempts append 0 to 14 characters. Since 43^6 exceeds 2^32, runs longer than 6 characters
/// always need a leading digit 0 and fail: the search stops after 6, with the same answers.
constexpr int kMaxAppended = 6;

/// The character of each base-43 digit below 17; 0 where a digit has none. Digits of 17 and
/// above are the lower-case letters (digit + 80).
constexpr std::array<char, 17> kDigitChars = {0,   '1', '2', '3', '4', '5', '6', '7', '8',
                                              '9', '0', 0,   '.', '_', 0,   0,   0};
constexpr uint32_t kFirstLetterDigit = 17;
constexpr char kLetterDigitOffset = 80;

constexpr std::string_view kNamedPrefixes[] = {"", "Ind", "con", "ID_", "IDH", "KEY", "ID", "cn"};

char DigitChar(uint32_t r) {
  return r < kFirstLetterDigit ? kDigitChars[r] : static_cast<char>(r + kLetterDigitOffset);
}

/// The least number n (at most kMaxAppended) of characters whose base-43 digits, appended to a
/// name of hash `base`, give the hash `target`, written to `appended`; none when no n works.
std::optional<int> AppendedToHash(uint32_t base, uint32_t target, char* appended) {
  uint64_t limit = 1;  // 43^n: n appended characters spell a value below it
  uint32_t power = 1;  // 43^n modulo 2^32
  for (int n = 0; n <= kMaxAppended; ++n, power *= kHashBase, limit *= kHashBase) {
    uint32_t d = target - base * power;
    if (d >= limit) continue;  // would need a leading digit 0
    bool complete = true;
    for (int k = n - 1; k >= 0 && complete; --k, d /= kHashBase) {
      appended[k] = DigitChar(d % kHashBase);
      complete = appended[k] != 0;
    }
    if (complete) return n;
  }
  return std::nullopt;
}

/// The prefixes a made-up name is tried with, in order: the named ones, then "A" to "Z".
constexpr size_t kLetterPrefixes = 26;
constexpr size_t kPrefixCount = std::size(kNamedPrefixes) + kLetterPrefixes;
constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
std::string_view PrefixAt(size_t i) {
  return i < std::size(kNamedPrefixes)
             ? kNamedPrefixes[i]
             : std::string_view(kLetters + (i - std::size(kNamedPrefixes)), 1);
}

std::string MadeUpNameForHash(uint32_t hash);

}  // namespace

std::optional<std::string> ExtendToHash(std::string_view prefix, uint32_t target) {
  char appended[kMaxAppended];
  const std::optional<int> n = AppendedToHash(ContextHash(prefix), target, appended);
  if (!n) return std::nullopt;
  return std::string(prefix) + std::string(appended, static_cast<size_t>(*n));
}

std::string ContextNameForHash(const HelpFile& hf, uint32_t hash) {
  if (const std::string* known = hf.known_context_names.Find(hash)) return *known;
  // With PageLinks the names are bookmark names of page references: the hexadecimal form.
  if (hf.option(kPageLinks)) return FormatText("0x%08lX", {hash});
  return MadeUpNameForHash(hash);
}

namespace {

/// The first prefix whose completion by ExtendToHash hashes back to `hash`, built in a buffer
/// of its own: nothing is allocated for the attempts that fail.
std::string MadeUpNameForHash(uint32_t hash) {
  static const std::array<uint32_t, kPrefixCount> kPrefixHashes = [] {
    std::array<uint32_t, kPrefixCount> hashes{};
    for (size_t i = 0; i < kPrefixCount; ++i) hashes[i] = ContextHash(PrefixAt(i));
    return hashes;
  }();
  constexpr size_t kLongestPrefix = 3;
  char name[kLongestPrefix + kMaxAppended];
  for (size_t i = 0; i < kPrefixCount; ++i) {
    const std::string_view prefix = PrefixAt(i);
    const std::optional<int> n = AppendedToHash(kPrefixHashes[i], hash, name + prefix.size());
    if (!n) continue;
    prefix.copy(name, prefix.size());
    const std::string_view made(name, prefix.size() + static_cast<size_t>(*n));
    if (ContextHash(made) == hash) return std::string(made);
  }
  return FormatText("0x%08lX", {hash});
}

}  // namespace

}  // namespace quorvex
