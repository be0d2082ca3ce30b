// printf-style formatting of the string-table texts with typed arguments.
//
// The texts of warnings and fatal messages are printf formats ("Topic #%ld does not have a
// Context Id"). Arguments are passed as typed values, so a format that asks for a string where a
// number was given prints "(?)" instead of reading garbage.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>

namespace quorvex {

/// One argument of a formatted message: a number or a text.
class FormatArg {
 public:
  template <typename T, typename = std::enable_if_t<std::is_integral_v<T>>>
  FormatArg(T v) : is_text_(false), number_(static_cast<int64_t>(v)) {}  // NOLINT: implicit
  FormatArg(std::string_view s) : is_text_(true), text_(s) {}            // NOLINT: implicit
  FormatArg(const std::string& s) : is_text_(true), text_(s) {}          // NOLINT: implicit
  FormatArg(const char* s) : is_text_(true), text_(s ? s : "") {}        // NOLINT: implicit

  bool is_text() const { return is_text_; }
  int64_t number() const { return number_; }
  std::string_view text() const { return text_; }

 private:
  bool is_text_;
  int64_t number_ = 0;
  std::string_view text_;
};

/// Formats `format` with `args`. Understands %%, flags "-0 +#", a width, a precision, the length
/// modifiers h, l, ll (ignored), and the conversions d i u x X o c s. Numbers given to %u, %x,
/// %X and %o are taken modulo 2^32 unless an "ll" modifier asks for 64 bits, as a 32-bit
/// platform prints them. Missing arguments print nothing.
std::string FormatText(std::string_view format, std::initializer_list<FormatArg> args);

}  // namespace quorvex
