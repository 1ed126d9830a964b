#include "text/Format.h"

#include <atomic>
#include <cstdio>

namespace {
// Set once at start, read by every thread that formats.
std::atomic<TDecimalSeparatorSource> decimalSeparatorSource{nullptr};
}  // namespace

void SetDecimalSeparatorSource(TDecimalSeparatorSource source) { decimalSeparatorSource = source; }
TDecimalSeparatorSource DecimalSeparatorSource() { return decimalSeparatorSource; }

uint64_t FormatArg::bits() const {
  const uint64_t value = static_cast<uint64_t>(value_);
  return bytes_ >= 8 ? value : value & ((uint64_t{1} << (8 * bytes_)) - 1);
}

std::string FormatLineV(const char* format, std::initializer_list<FormatArg> args) {
  std::string out;
  const FormatArg* arg = args.begin();
  const char* p = format;
  while (*p) {
    if (*p != '%') {
      out += *p++;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += *p++;
      continue;
    }
    bool left = false;
    bool zeros = false;
    for (; *p == '-' || *p == '0'; ++p) (*p == '-' ? left : zeros) = true;
    std::size_t width = 0;
    for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + static_cast<std::size_t>(*p - '0');
    bool hasPrecision = false;
    std::size_t precision = 0;
    if (*p == '.') {
      hasPrecision = true;
      for (++p; *p >= '0' && *p <= '9'; ++p) precision = precision * 10 + static_cast<std::size_t>(*p - '0');
    }
    while (*p == 'l' || *p == 'h') ++p;
    const char conversion = *p;
    if (conversion == '\0') break;
    ++p;
    if (arg == args.end()) continue;  // a missing argument prints nothing
    const FormatArg& a = *arg++;

    std::string sign;
    std::string body;
    bool numeric = a.kind() != FormatArg::Kind::Text;
    if (a.kind() == FormatArg::Kind::Float) {
      const double v = a.real();
      if (v < 0) sign = "-";
      char buf[64];
      snprintf(buf, sizeof(buf), "%.*f", static_cast<int>(hasPrecision ? precision : 6), v < 0 ? -v : v);
      body = buf;
      std::string separator;
      const TDecimalSeparatorSource source = decimalSeparatorSource;
      if (source && source(separator)) {
        const std::size_t dot = body.find('.');
        if (dot != std::string::npos) body.replace(dot, 1, separator);
      }
      hasPrecision = false;  // the digits are already there
    } else if (!numeric || conversion == 's') {
      body = numeric ? std::to_string(a.value()) : a.text();
      if (conversion == 's' && hasPrecision && body.size() > precision) body.resize(precision);
      numeric = false;
    } else if (conversion == 'x' || conversion == 'X') {
      static const char kHex[] = "0123456789ABCDEF";
      uint64_t v = a.bits();
      do {
        body.insert(body.begin(), kHex[v & 0xF]);
        v >>= 4;
      } while (v);
    } else if (conversion == 'u') {
      body = std::to_string(a.bits());
    } else {  // d, i and anything else numeric
      if (a.kind() == FormatArg::Kind::Signed && a.value() < 0) {
        sign = "-";
        body = std::to_string(0 - static_cast<uint64_t>(a.value()));
      } else {
        body = a.kind() == FormatArg::Kind::Signed ? std::to_string(a.value()) : std::to_string(a.bits());
      }
    }
    if (numeric && hasPrecision && body.size() < precision) body.insert(0, precision - body.size(), '0');
    std::string field = sign + body;
    if (field.size() < width) {
      const std::size_t pad = width - field.size();
      if (left) {
        field.append(pad, ' ');
      } else if (zeros && numeric && !hasPrecision) {
        field.insert(sign.size(), pad, '0');
      } else {
        field.insert(0, pad, ' ');
      }
    }
    out += field;
  }
  return out;
}
