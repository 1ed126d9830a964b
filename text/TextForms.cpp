#include "text/TextForms.h"

#include <cstdio>
#include <utility>

#include "text/Format.h"

std::string MacAddrToStr(const uint8_t (&address)[8], uint32_t length) {
  if (length == 0) return "00-00-00-00-00-00";
  if (length > 8) length = 8;
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (uint32_t i = 0; i < length; ++i) {
    if (i > 0) text += '-';
    text += kHex[address[i] >> 4];
    text += kHex[address[i] & 0x0F];
  }
  return text;
}

std::string IpAddrToStr(uint32_t address, bool padded) {
  char text[16];
  std::snprintf(text, sizeof(text), padded ? "%3u.%3u.%3u.%3u" : "%u.%u.%u.%u", static_cast<unsigned>(address & 0xFF),
                static_cast<unsigned>((address >> 8) & 0xFF), static_cast<unsigned>((address >> 16) & 0xFF),
                static_cast<unsigned>(address >> 24));
  return text;
}

uint32_t PortToHostOrder(uint32_t port) { return ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }

const std::array<TWellKnownPort, 27> WellKnownPorts = {{
    {7, "ECHO"},    {9, "DISCRD"},   {13, "DAYTIM"},  {17, "QOTD"},     {19, "CHARGEN"}, {20, "FTP "},   {21, "FTPC"},
    {23, "TELNET"}, {25, "SMTP"},    {37, "TIME"},    {53, "DNS "},     {67, "BOOTPS"},  {68, "BOOTPC"}, {69, "TFTP"},
    {70, "GOPHER"}, {79, "FING"},    {80, "HTTP"},    {88, "KERB"},     {109, "POP2"},   {110, "POP3"},  {119, "NNTP"},
    {123, "NTP "},  {135, "LOCSVC"}, {137, "NBNAME"}, {138, "NBDGRAM"}, {139, "NBSESS"}, {161, "SNMP"},
}};

std::string PortToServiceName(uint32_t port) {
  for (const TWellKnownPort& row : WellKnownPorts) {
    if (row.Port == port) return row.ServiceName;
  }
  return FormatLine("%4u", port);
}

void ReverseBytes(void* buffer, std::size_t count) {
  uint8_t* bytes = static_cast<uint8_t*>(buffer);
  for (std::size_t i = 0; i < count / 2; ++i) std::swap(bytes[i], bytes[count - 1 - i]);
}

int64_t FileTimeToInt64(const void* place) {
  const uint8_t* b = static_cast<const uint8_t*>(place);
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = (value << 8) | b[i];
  return static_cast<int64_t>(value);
}

double FileTimeToDateTime(const void* place) {
  const double ticksPerDay = 864000000000.0;
  const double daysFrom1601To1899 = 109205.0;
  return static_cast<double>(FileTimeToInt64(place)) / ticksPerDay - daysFrom1601To1899;
}

CivilDate CivilDateOfDays(int64_t daysSince1970) {
  // Counted in eras of 400 years (146097 days), from 0000-03-01 on, so the
  // leap day is the last day of its year.
  const int64_t z = daysSince1970 + 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t dayOfEra = z - era * 146097;
  const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const int64_t mp = (5 * dayOfYear + 2) / 153;
  const int64_t day = dayOfYear - (153 * mp + 2) / 5 + 1;
  const int64_t month = mp < 10 ? mp + 3 : mp - 9;
  const int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
  return CivilDate{static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
}

namespace {

uint32_t Group(const uint8_t (&a)[16], int i) { return static_cast<uint32_t>(a[2 * i] << 8 | a[2 * i + 1]); }

bool ZeroBytes(const uint8_t (&a)[16], int from, int to) {
  for (int i = from; i < to; ++i)
    if (a[i] != 0) return false;
  return true;
}

// How many leading groups are written in hexadecimal; the last four bytes
// of the rest are the dotted IPv4 text (8 when there are none).
int HexGroups(const uint8_t (&a)[16]) {
  const bool mapped = ZeroBytes(a, 0, 10) && a[10] == 0xFF && a[11] == 0xFF;
  const bool translated = ZeroBytes(a, 0, 8) && a[8] == 0xFF && a[9] == 0xFF && a[10] == 0 && a[11] == 0;
  const bool nat64 = a[0] == 0x00 && a[1] == 0x64 && a[2] == 0xFF && a[3] == 0x9B && ZeroBytes(a, 4, 12);
  // ISATAP: an interface identifier of 0000:5efe or 0200:5efe (the local
  // or universal bit), behind any prefix.
  const bool isatap = (a[8] & 0xFD) == 0 && a[9] == 0 && a[10] == 0x5E && a[11] == 0xFE;
  return mapped || translated || nat64 || isatap ? 6 : 8;
}

}  // namespace

std::string Ip6AddrToStr(const uint8_t (&address)[16], uint32_t scopeId) {
  const int groups = HexGroups(address);
  // The longest run of zero groups, at least two long; the first wins a tie.
  int bestStart = -1, bestLength = 1;
  for (int i = 0; i < groups;) {
    if (Group(address, i) != 0) {
      ++i;
      continue;
    }
    int j = i;
    while (j < groups && Group(address, j) == 0) ++j;
    if (j - i > bestLength) {
      bestStart = i;
      bestLength = j - i;
    }
    i = j;
  }
  std::string text;
  for (int i = 0; i < groups; ++i) {
    if (i == bestStart) {
      text += "::";
      i += bestLength - 1;
      continue;
    }
    if (!text.empty() && text.back() != ':') text += ':';
    char group[8];
    std::snprintf(group, sizeof(group), "%x", static_cast<unsigned>(Group(address, i)));
    text += group;
  }
  if (groups == 6) {
    if (!text.empty() && text.back() != ':') text += ':';
    text += FormatLine("%u.%u.%u.%u", address[12], address[13], address[14], address[15]);
  }
  const bool linkLocal = address[0] == 0xFE && (address[1] & 0xC0) == 0x80;
  const bool localMulticast = address[0] == 0xFF && ((address[1] & 0x0F) == 1 || (address[1] & 0x0F) == 2);
  if (scopeId != 0 && (linkLocal || localMulticast)) text += FormatLine("%%%u", scopeId);
  return text;
}

const char* Ip6AddrKind(const uint8_t (&a)[16]) {
  if (a[0] == 0xFF) return "multicast";
  if (a[0] == 0xFE && (a[1] & 0xC0) == 0x80) return "link-local";
  if (a[0] == 0xFE && (a[1] & 0xC0) == 0xC0) return "site-local";
  if ((a[0] & 0xFE) == 0xFC) return "unique-local";
  if (ZeroBytes(a, 0, 15)) return a[15] == 1 ? "loopback" : a[15] == 0 ? "unspecified" : "global";
  if (ZeroBytes(a, 0, 10) && a[10] == 0xFF && a[11] == 0xFF) return "IPv4-mapped";
  return "global";
}
