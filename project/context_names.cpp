#include "project/context_names.h"

#include <array>

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

/// The made-up name with `prefix`, if ExtendToHash completes it and it hashes back to `hash`.
std::optional<std::string> MadeUpName(std::string_view prefix, uint32_t hash) {
  std::optional<std::string> name = ExtendToHash(prefix, hash);
  if (name && ContextHash(*name) == hash) return name;
  return std::nullopt;
}

std::string MadeUpNameForHash(uint32_t hash);

}  // namespace

std::optional<std::string> ExtendToHash(std::string_view prefix, uint32_t target) {
  const uint32_t base = ContextHash(prefix);
  uint64_t limit = 1;  // 43^n: n appended characters spell a value below it
  uint32_t power = 1;  // 43^n modulo 2^32
  char appended[kMaxAppended];
  for (int n = 0; n <= kMaxAppended; ++n, power *= kHashBase, limit *= kHashBase) {
    uint32_t d = target - base * power;
    if (d >= limit) continue;  // would need a leading digit 0
    bool complete = true;
    for (int k = n - 1; k >= 0 && complete; --k, d /= kHashBase) {
      appended[k] = DigitChar(d % kHashBase);
      complete = appended[k] != 0;
    }
    if (complete) return std::string(prefix) + std::string(appended, static_cast<size_t>(n));
  }
  return std::nullopt;
}

std::string ContextNameForHash(const HelpFile& hf, uint32_t hash) {
  if (const std::string* known = hf.known_context_names.Find(hash)) return *known;
  // With PageLinks the names are bookmark names of page references: the hexadecimal form.
  if (hf.option(kPageLinks)) return FormatText("0x%08lX", {hash});
  return MadeUpNameForHash(hash);
}

namespace {

std::string MadeUpNameForHash(uint32_t hash) {
  for (std::string_view prefix : kNamedPrefixes)
    if (std::optional<std::string> name = MadeUpName(prefix, hash)) return *name;
  for (char letter = 'A'; letter <= 'Z'; ++letter)
    if (std::optional<std::string> name = MadeUpName(std::string_view(&letter, 1), hash))
      return *name;
  return FormatText("0x%08lX", {hash});
}

}  // namespace

}  // namespace quorvex
