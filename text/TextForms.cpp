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
