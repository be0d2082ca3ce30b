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

/// The character of each base-43 digit; 0 where a digit has none. The digits from 17 on are
/// the lower-case letters (digit + 80).
constexpr std::array<char, kHashBase> kDigitChars = [] {
  std::array<char, kHashBase> chars = {0,   '1', '2', '3', '4', '5', '6', '7', '8',
                                       '9', '0', 0,   '.', '_', 0,   0,   0};
  constexpr uint32_t kFirstLetterDigit = 17;
  constexpr char kLetterDigitOffset = 80;
  for (uint32_t r = kFirstLetterDigit; r < kHashBase; ++r)
    chars[r] = static_cast<char>(r + kLetterDigitOffset);
  return chars;
}();

constexpr std::string_view kNamedPrefixes[] = {"", "Ind", "con", "ID_", "IDH", "KEY", "ID", "cn"};

/// 43^n: n appended characters spell a value below it (a larger one would need a leading 0).
constexpr std::array<uint64_t, kMaxAppended + 1> kPowers = {1,       43,        1849,      79507,
                                                            3418801, 147008443, 6321363049};

/// The n base-43 digits of `d` (below 43^n) as characters into `appended`; false when one of
/// them has none. Every digit is spelled, so that the outcome, which cannot be foreseen, costs
/// one branch.
bool SpellDigits(uint32_t d, int n, char* appended) {
  bool spelled = true;
  for (int k = n - 1; k >= 0; --k, d /= kHashBase) {
    appended[k] = kDigitChars[d % kHashBase];
    spelled &= appended[k] != 0;
  }
  return spelled;
}

/// The least number n (at most kMaxAppended) of characters whose base-43 digits, appended to a
/// name of hash `base`, give the hash `target`, written to `appended`; none when no n works.
/// `shifted[n]` is base * 43^n (modulo 2^32).
std::optional<int> AppendedToHash(const std::array<uint32_t, kMaxAppended + 1>& shifted,
                                  uint32_t target, char* appended) {
  for (int n = 0; n <= kMaxAppended; ++n) {
    const uint32_t d = target - shifted[static_cast<size_t>(n)];
    if (d < kPowers[static_cast<size_t>(n)] && SpellDigits(d, n, appended)) return n;
  }
  return std::nullopt;
}

/// base * 43^n (modulo 2^32) for each n that AppendedToHash tries.
std::array<uint32_t, kMaxAppended + 1> Shifted(uint32_t base) {
  std::array<uint32_t, kMaxAppended + 1> shifted{};
  for (uint32_t& s : shifted) {
    s = base;
    base *= kHashBase;
  }
  return shifted;
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
  const std::optional<int> n = AppendedToHash(Shifted(ContextHash(prefix)), target, appended);
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
  // Each prefix's hash times the powers of 43, worked out once.
  static const auto kPrefixHashes = [] {
    std::array<std::array<uint32_t, kMaxAppended + 1>, kPrefixCount> hashes{};
    for (size_t i = 0; i < kPrefixCount; ++i) hashes[i] = Shifted(ContextHash(PrefixAt(i)));
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
