// Text forms of the values the platform's network tables hold: hardware
// and IPv4 addresses, ports, and the byte orders and times they come in.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

// "00-1A-2B-3C-4D-5E": the first length bytes as two upper-case hex digits
// each, joined by "-". Length 0 gives "00-00-00-00-00-00"; a length above 8
// is taken as 8, the size of the array.
std::string MacAddrToStr(const uint8_t (&address)[8], uint32_t length);

// An IPv4 address as the platform's tables store it (first octet in the
// lowest byte). Plain: "192.168.1.10"; padded: every octet right-aligned in
// three characters, "192.168.  1. 10", always 15 characters.
std::string IpAddrToStr(uint32_t address, bool padded);

// The port field of a platform table (network byte order) as a number.
uint32_t PortToHostOrder(uint32_t port);

struct TWellKnownPort {
  uint32_t Port;
  const char* ServiceName;
};
extern const std::array<TWellKnownPort, 27> WellKnownPorts;

// The service name of a well-known port, else the number right-aligned in
// four characters (" 22", "8080").
std::string PortToServiceName(uint32_t port);

// Reverses count bytes in place.
void ReverseBytes(void* buffer, std::size_t count);

// The 8 bytes at place as a signed little-endian number.
int64_t FileTimeToInt64(const void* place);
// A count of 100-ns ticks since 1601-01-01 as days since 1899-12-30.
double FileTimeToDateTime(const void* place);

// The date in the proleptic Gregorian calendar of a count of days since
// 1970-01-01 (negative: days before it).
struct CivilDate {
  int year, month, day;
};
CivilDate CivilDateOfDays(int64_t daysSince1970);

// An IPv6 address (16 bytes in network order) in its short standard text:
// lower-case groups without leading zeros, the longest run of two or more
// zero groups (the first of equal runs) written "::". IPv4-mapped
// (::ffff:a.b.c.d), IPv4-translated (::ffff:0:a.b.c.d), the well-known
// NAT64 prefix (64:ff9b::a.b.c.d) and ISATAP identifiers (...:5efe:a.b.c.d)
// end in the dotted IPv4 text. A scope id other than 0 is added as "%id" to
// the addresses whose meaning depends on the link: link-local unicast
// (fe80::/10) and interface- or link-local multicast (ff01::/16, ff02::/16).
std::string Ip6AddrToStr(const uint8_t (&address)[16], uint32_t scopeId = 0);

// What kind of unicast address it is, for the pages that list addresses:
// "global", "unique-local" (fc00::/7), "link-local" (fe80::/10),
// "site-local" (fec0::/10, deprecated), "loopback" (::1), "multicast"
// (ff00::/8), "unspecified" (::) or "IPv4-mapped".
const char* Ip6AddrKind(const uint8_t (&address)[16]);
