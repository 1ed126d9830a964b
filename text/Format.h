// printf-style formatting of report and log lines.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

// One argument of FormatLine: an integer of any width, a floating-point
// number, or text.
class FormatArg {
 public:
  enum class Kind { Signed, Unsigned, Float, Text };

  template <class T, std::enable_if_t<std::is_integral_v<T> || std::is_enum_v<T>, int> = 0>
  FormatArg(T value)
      : kind_(std::is_signed_v<T> ? Kind::Signed : Kind::Unsigned),
        value_(static_cast<int64_t>(value)),
        bytes_(sizeof(T)) {}
  FormatArg(double value) : kind_(Kind::Float), real_(value) {}
  FormatArg(const char* text) : kind_(Kind::Text), text_(text ? text : "") {}
  FormatArg(const std::string& text) : kind_(Kind::Text), text_(text) {}

  Kind kind() const { return kind_; }
  int64_t value() const { return value_; }
  // The bits of the value as an unsigned number of the argument's own width
  // (an int -1 is FFFFFFFF, as printf shows it).
  uint64_t bits() const;
  const std::string& text() const { return text_; }
  double real() const { return real_; }

 private:
  Kind kind_;
  int64_t value_ = 0;
  double real_ = 0;
  std::size_t bytes_ = 0;
  std::string text_;
};

// printf-style formatting for report lines: %d %u %x %f %s and %%, with the
// flags "-" (left-align) and "0", a width and a precision. A width pads but
// never cuts; the precision of an integer is its least count of digits
// ("%8.8x" of 11 is "0000000B"); "%x" prints upper-case digits; "%f" uses
// the decimal separator of the user's locale (see below).
std::string FormatLineV(const char* format, std::initializer_list<FormatArg> args);
template <class... Args>
std::string FormatLine(const char* format, const Args&... args) {
  return FormatLineV(format, {FormatArg(args)...});
}

// Where "%f" gets the decimal separator of the user's locale. The platform
// side installs its source when the program starts (platform/Locale.h); the
// source is asked at every "%f", so a change of the user's settings shows
// from the next line on. A source that answers false, and no source at all,
// leave the point.
using TDecimalSeparatorSource = bool (*)(std::string& separator);
void SetDecimalSeparatorSource(TDecimalSeparatorSource source);
TDecimalSeparatorSource DecimalSeparatorSource();
