#include "ui/profile.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

namespace quorvex {

namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool EqualNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

/// One line of a profile: its text without the line ending, and the ending itself.
struct Line {
  std::string_view text;
  std::string_view ending;  // "\n", "\r\n" or empty for a last line without one

  /// The section name when this is a "[name]" line.
  std::optional<std::string_view> Section() const {
    std::string_view t = Trim(text);
    if (t.empty() || t.front() != '[') return std::nullopt;
    size_t close = t.rfind(']');
    if (close == std::string_view::npos) return std::nullopt;
    return Trim(t.substr(1, close - 1));
  }
  /// The key name: the trimmed text before the first "=" (the whole line without one).
  std::string_view Key() const {
    std::string_view t = Trim(text);
    return Trim(t.substr(0, t.find('=')));
  }
  /// A "key=value" line that is not a comment.
  bool IsEntry() const {
    std::string_view t = Trim(text);
    return !t.empty() && t.front() != ';' && t.front() != '#' &&
           t.find('=') != std::string_view::npos && !Section();
  }
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t lf = text.find('\n', pos);
    if (lf == std::string_view::npos) {
      lines.push_back({text.substr(pos), {}});
      break;
    }
    size_t end = (lf > pos && text[lf - 1] == '\r') ? lf - 1 : lf;
    lines.push_back({text.substr(pos, end - pos), text.substr(end, lf + 1 - end)});
    pos = lf + 1;
  }
  return lines;
}

/// The lines of the first section named `section`: [first, last) after its header line.
struct SectionRange {
  size_t header;
  size_t first;
  size_t last;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    auto name = lines[i].Section();
    if (!name || !EqualNoCase(*name, section)) continue;
    size_t end = i + 1;
    while (end < lines.size() && !lines[end].Section()) ++end;
    return SectionRange{i, i + 1, end};
  }
  return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionRange& range,
                              std::string_view key) {
  for (size_t i = range.first; i < range.last; ++i) {
    if (!lines[i].Section() && EqualNoCase(lines[i].Key(), key)) return i;
  }
  return std::nullopt;
}

std::string_view StripQuotes(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

}  // namespace

std::optional<std::string> FindProfileValue(std::string_view text, std::string_view section,
                                            std::string_view key) {
  std::vector<Line> lines = SplitLines(text);
  auto range = FindSection(lines, section);
  if (!range) return std::nullopt;
  auto at = FindKey(lines, *range, key);
  if (!at) return std::nullopt;
  std::string_view t = Trim(lines[*at].text);
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return std::string();
  return std::string(StripQuotes(Trim(t.substr(eq + 1))));
}

std::string UpdateProfileText(std::string_view text, std::string_view section,
                              const std::vector<ProfileEntry>& entries) {
  std::vector<Line> lines = SplitLines(text);
  // New lines follow the file's own line endings.
  const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  std::vector<std::string> replaced(lines.size());
  std::vector<bool> is_replaced(lines.size(), false);
  std::string added;

  auto range = FindSection(lines, section);
  for (const auto& [key, value] : entries) {
    std::optional<size_t> at;
    if (range) at = FindKey(lines, *range, key);
    if (at) {
      // Keep the file's spelling of the key.
      replaced[*at] = std::string(lines[*at].Key()) + "=" + value;
      is_replaced[*at] = true;
    } else {
      added += key + "=" + value;
      added += eol;
    }
  }

  // Missing keys go after the last key line of the section (so that blank lines and comments
  // in front of the next section stay with it), or right after its header.
  size_t insert_after = lines.size();  // lines.size(): append a new section at the end
  if (range && !added.empty()) {
    insert_after = range->header;
    for (size_t i = range->first; i < range->last; ++i)
      if (lines[i].IsEntry()) insert_after = i;
  }

  std::string out;
  out.reserve(text.size() + added.size() + section.size() + 8);
  for (size_t i = 0; i < lines.size(); ++i) {
    out += is_replaced[i] ? std::string_view(replaced[i]) : lines[i].text;
    std::string_view ending = lines[i].ending;
    // A last line without an ending gets one when something follows it.
    if (ending.empty() && (range ? (!added.empty() && i == insert_after) : !added.empty()))
      ending = eol;
    out += ending;
    if (range && !added.empty() && i == insert_after) out += added;
  }
  if (!range && !added.empty()) {
    if (!lines.empty() && !Trim(lines.back().text).empty()) out += eol;
    out += "[";
    out += section;
    out += "]";
    out += eol;
    out += added;
  }
  return out;
}

int32_t ParseProfileInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  uint32_t value = 0;  // wraps as the platform's 32-bit accumulator does
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10u + static_cast<uint32_t>(text[i] - '0');
  if (negative) value = 0u - value;
  return static_cast<int32_t>(value);
}

std::optional<std::string> ReadProfileFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (file.empty() || !std::filesystem::is_regular_file(file, ec)) return std::nullopt;
  std::uintmax_t size = std::filesystem::file_size(file, ec);
  if (ec || size > kMaxProfileFileSize) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text;
  text.reserve(static_cast<size_t>(size));
  // Read at most the bound even if the file grew since its size was taken.
  char buffer[4096];
  while (in && text.size() <= kMaxProfileFileSize) {
    in.read(buffer, sizeof buffer);
    text.append(buffer, static_cast<size_t>(in.gcount()));
  }
  if (text.size() > kMaxProfileFileSize) return std::nullopt;
  return text;
}

std::string ReadProfileString(const std::filesystem::path& file, std::string_view section,
                              std::string_view key, std::string_view fallback, size_t max_length) {
  std::optional<std::string> value;
  if (auto text = ReadProfileFile(file)) value = FindProfileValue(*text, section, key);
  std::string result = value ? std::move(*value) : std::string(fallback);
  if (result.size() > max_length) result.resize(max_length);
  return result;
}

int32_t ReadProfileInt(const std::filesystem::path& file, std::string_view section,
                       std::string_view key, int32_t fallback) {
  auto text = ReadProfileFile(file);
  if (!text) return fallback;
  auto value = FindProfileValue(*text, section, key);
  if (!value || value->empty()) return fallback;
  return ParseProfileInt(*value);
}

bool WriteProfileStrings(const std::filesystem::path& file, std::string_view section,
                         const std::vector<ProfileEntry>& entries) {
  if (file.empty()) return false;
  std::error_code ec;
  std::filesystem::path target = file;
  // Write through a symbolic link rather than replacing it.
  if (std::filesystem::is_symlink(file, ec)) {
    target = std::filesystem::weakly_canonical(file, ec);
    if (ec) return false;
  }
  std::string old_text;
  if (std::filesystem::exists(target, ec)) {
    auto text = ReadProfileFile(target);
    if (!text) return false;  // unreadable or not a profile: leave it alone
    old_text = std::move(*text);
  } else if (target.has_parent_path()) {
    std::filesystem::create_directories(target.parent_path(), ec);
    if (ec) return false;
  }
  std::string new_text = UpdateProfileText(old_text, section, entries);

  // A new file next to the old one, renamed over it, so a failed write never leaves half a file.
  std::filesystem::path temp = target;
  temp += ".new" + std::to_string(::getpid());
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(new_text.data(), static_cast<std::streamsize>(new_text.size()));
    out.close();
    if (!out) {
      std::filesystem::remove(temp, ec);
      return false;
    }
  }
  std::filesystem::rename(temp, target, ec);
  if (ec) {
    std::filesystem::remove(temp, ec);
    return false;
  }
  return true;
}

}  // namespace quorvex
