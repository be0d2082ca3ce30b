#include "core/format.h"

#include <vector>

namespace quorvex {

namespace {

struct Spec {
  bool left = false, zero = false, plus = false, space = false, alt = false;
  int width = -1;
  int precision = -1;
  int longs = 0;
};

void Pad(std::string& out, std::string_view body, const Spec& s, bool numeric) {
  int pad = s.width > static_cast<int>(body.size()) ? s.width - static_cast<int>(body.size()) : 0;
  if (s.left) {
    out += body;
    out.append(pad, ' ');
  } else if (s.zero && numeric && s.precision < 0) {
    // Zero padding goes after a sign or a 0x prefix.
    size_t prefix = 0;
    if (!body.empty() && (body[0] == '-' || body[0] == '+' || body[0] == ' ')) prefix = 1;
    if (body.size() >= prefix + 2 && body[prefix] == '0' &&
        (body[prefix + 1] == 'x' || body[prefix + 1] == 'X'))
      prefix += 2;
    out += body.substr(0, prefix);
    out.append(pad, '0');
    out += body.substr(prefix);
  } else {
    out.append(pad, ' ');
    out += body;
  }
}

std::string Digits(uint64_t v, unsigned base, bool upper) {
  const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
  std::string s;
  do {
    s.insert(s.begin(), digits[v % base]);
    v /= base;
  } while (v != 0);
  return s;
}

}  // namespace

std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 16);
  const FormatArg* next = args.begin();
  auto take = [&]() -> const FormatArg* { return next != args.end() ? next++ : nullptr; };

  for (size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (++i >= format.size()) break;
    if (format[i] == '%') {
      out += '%';
      continue;
    }
    Spec s;
    for (; i < format.size(); ++i) {
      char f = format[i];
      if (f == '-')
        s.left = true;
      else if (f == '0')
        s.zero = true;
      else if (f == '+')
        s.plus = true;
      else if (f == ' ')
        s.space = true;
      else if (f == '#')
        s.alt = true;
      else
        break;
    }
    if (i < format.size() && format[i] == '*') {
      const FormatArg* a = take();
      s.width = a && !a->is_text() ? static_cast<int>(a->number()) : 0;
      ++i;
    } else {
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        s.width = (s.width < 0 ? 0 : s.width) * 10 + (format[i] - '0');
        if (s.width > 4096) s.width = 4096;
        ++i;
      }
    }
    if (i < format.size() && format[i] == '.') {
      ++i;
      s.precision = 0;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        s.precision = s.precision * 10 + (format[i] - '0');
        if (s.precision > 4096) s.precision = 4096;
        ++i;
      }
    }
    while (i < format.size() && (format[i] == 'l' || format[i] == 'h')) {
      if (format[i] == 'l') ++s.longs;
      ++i;
    }
    if (i >= format.size()) break;
    char conv = format[i];
    const FormatArg* a = take();
    if (!a) continue;  // a missing argument prints nothing
    if (conv == 's') {
      std::string_view t = a->is_text() ? a->text() : std::string_view("(?)");
      if (s.precision >= 0 && t.size() > static_cast<size_t>(s.precision))
        t = t.substr(0, s.precision);
      Pad(out, t, s, false);
      continue;
    }
    if (conv == 'c') {
      char ch = !a->is_text() ? static_cast<char>(a->number()) : '?';
      Pad(out, std::string_view(&ch, 1), s, false);
      continue;
    }
    if (a->is_text()) {
      Pad(out, "(?)", s, false);
      continue;
    }
    int64_t n = a->number();
    std::string body;
    switch (conv) {
      case 'd':
      case 'i': {
        int64_t v = s.longs >= 2 ? n : static_cast<int32_t>(n);
        uint64_t mag = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        std::string d = Digits(mag, 10, false);
        if (s.precision >= 0 && d.size() < static_cast<size_t>(s.precision))
          d.insert(0, s.precision - d.size(), '0');
        body = (v < 0 ? "-" : s.plus ? "+" : s.space ? " " : "") + d;
        break;
      }
      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        uint64_t v = s.longs >= 2 ? static_cast<uint64_t>(n) : static_cast<uint32_t>(n);
        unsigned base = conv == 'u' ? 10 : conv == 'o' ? 8 : 16;
        std::string d = Digits(v, base, conv == 'X');
        if (s.precision >= 0 && d.size() < static_cast<size_t>(s.precision))
          d.insert(0, s.precision - d.size(), '0');
        if (s.alt && v != 0 && base == 16) d.insert(0, conv == 'X' ? "0X" : "0x");
        body = d;
        break;
      }
      default:
        // An unknown conversion is copied as it stands.
        body = std::string("%") + conv;
        break;
    }
    Pad(out, body, s, true);
  }
  return out;
}

}  // namespace quorvex
