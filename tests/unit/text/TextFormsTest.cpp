// Text forms and name tables of the platform's table values.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <initializer_list>

#include "text/NameTables.h"
#include "text/TextForms.h"

TEST(TextForms, MacAddrToStr) {
  struct Case {
    uint8_t bytes[8];
    uint32_t length;
    const char* text;
  } cases[] = {
      {{0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E}, 6, "00-1A-2B-3C-4D-5E"},
      {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 0, "00-00-00-00-00-00"},  // length 0 ignores the bytes
      {{0x0A}, 1, "0A"},
      {{1, 2, 3, 4, 5, 6, 7, 8}, 8, "01-02-03-04-05-06-07-08"},
      {{1, 2, 3, 4, 5, 6, 7, 8}, 200, "01-02-03-04-05-06-07-08"},  // never past the array
  };
  for (const auto& c : cases) EXPECT_EQ(MacAddrToStr(c.bytes, c.length), c.text) << c.text;
}

TEST(TextForms, IpAddrToStrPlainAndPadded) {
  struct Case {
    uint32_t address;  // first octet in the lowest byte
    const char* plain;
    const char* padded;
  } cases[] = {
      {0x0101A8C0, "192.168.1.1", "192.168.  1.  1"},
      {0x0A01A8C0, "192.168.1.10", "192.168.  1. 10"},
      {0, "0.0.0.0", "  0.  0.  0.  0"},
      {0xFFFFFFFF, "255.255.255.255", "255.255.255.255"},
      {0x0200000A, "10.0.0.2", " 10.  0.  0.  2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IpAddrToStr(c.address, false), c.plain);
    EXPECT_EQ(IpAddrToStr(c.address, true), c.padded);
    EXPECT_EQ(std::strlen(c.padded), 15u);
  }
}

TEST(TextForms, Ports) {
  EXPECT_EQ(PortToHostOrder(0x5000), 80u);
  EXPECT_EQ(PortToHostOrder(0x1600), 22u);
  EXPECT_EQ(PortToHostOrder(0xFFFF), 65535u);
  EXPECT_EQ(PortToHostOrder(0x0100), 1u);
  struct Case {
    uint32_t port;
    const char* name;
  } cases[] = {
      {80, "HTTP"}, {20, "FTP "}, {53, "DNS "},   {123, "NTP "},    {7, "ECHO"},     {161, "SNMP"},
      {22, "  22"}, {0, "   0"},  {8080, "8080"}, {65535, "65535"}, {139, "NBSESS"}, {443, " 443"},
  };
  for (const auto& c : cases) EXPECT_EQ(PortToServiceName(c.port), c.name) << c.port;
  EXPECT_EQ(WellKnownPorts.front().Port, 7u);
  EXPECT_EQ(WellKnownPorts.back().Port, 161u);
}

// Leap days of the 400-year rule (2000 has one, 1900 and 2100 none), days
// before 1970, and the ends of the range the program meets.
TEST(TextForms, CivilDateOfDays) {
  struct Case {
    int64_t days;
    int year, month, day;
  } cases[] = {
      {0, 1970, 1, 1},      {-1, 1969, 12, 31},   {11016, 2000, 2, 29},  {11017, 2000, 3, 1},
      {-25509, 1900, 2, 28}, {-25508, 1900, 3, 1}, {47541, 2100, 3, 1},   {-134774, 1601, 1, 1},
      {2932896, 9999, 12, 31},
  };
  for (const Case& c : cases) {
    const CivilDate d = CivilDateOfDays(c.days);
    EXPECT_EQ(d.year * 10000 + d.month * 100 + d.day, c.year * 10000 + c.month * 100 + c.day) << c.days;
  }
}

TEST(TextForms, ReverseBytes) {
  struct Case {
    std::size_t count;
    const char* after;
  } cases[] = {{0, "abcde"}, {1, "abcde"}, {2, "bacde"}, {4, "dcbae"}, {5, "edcba"}};
  for (const auto& c : cases) {
    char bytes[] = "abcde";
    ReverseBytes(bytes, c.count);
    EXPECT_STREQ(bytes, c.after) << c.count;
  }
}

TEST(TextForms, FileTimes) {
  const int64_t zero = 0;
  const int64_t epoch1899 = 94353120000000000;  // 1899-12-30 00:00
  const int64_t oneDayLater = epoch1899 + 864000000000;
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(&zero), -109205.0);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(&epoch1899), 0.0);
  EXPECT_DOUBLE_EQ(FileTimeToDateTime(&oneDayLater), 1.0);
  const uint8_t negative[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(FileTimeToInt64(negative), -1);
  const uint8_t littleEndian[10] = {0x99, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0x80};  // unaligned; the tenth byte is not read
  EXPECT_EQ(FileTimeToInt64(littleEndian + 1), 0x0201);
}

TEST(NameTables, EdgesAndOutOfRangeCodes) {
  struct Case {
    const TNameTable& table;
    uint32_t code;
    const char* name;
  } cases[] = {
      {TcpRtoAlgorithmNames, 4, "Van Jacobson"}, {TcpRtoAlgorithmNames, 1, "Other"}, {TcpStateNames, 0, ""},
      {TcpStateNames, 5, "established"},         {TcpStateNames, 12, "delete_tcb"},  {TcpStateNames, 13, ""},
      {ArpEntryTypeNames, 3, "Dynamic"},         {RouteTypeNames, 4, "remote"},      {RouteProtocolNames, 14, "BGP"},
      {RouteProtocolNames, 18, "NOT_DOD"},       {RouteProtocolNames, 19, ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.table[c.code], c.name) << c.code;
}

namespace {

// "2001:db8::1" written out in full, for building the cases.
struct Ip6 {
  uint8_t bytes[16];
};
Ip6 Groups(std::initializer_list<uint32_t> groups) {
  Ip6 a{};
  int i = 0;
  for (uint32_t g : groups) {
    a.bytes[2 * i] = static_cast<uint8_t>(g >> 8);
    a.bytes[2 * i + 1] = static_cast<uint8_t>(g);
    ++i;
  }
  return a;
}

}  // namespace

TEST(TextForms, Ip6AddrToStrShortStandardForm) {
  struct Case {
    Ip6 address;
    uint32_t scope;
    const char* text;
    const char* kind;
  } cases[] = {
      {Groups({0, 0, 0, 0, 0, 0, 0, 0}), 0, "::", "unspecified"},
      {Groups({0, 0, 0, 0, 0, 0, 0, 1}), 0, "::1", "loopback"},
      {Groups({1, 0, 0, 0, 0, 0, 0, 0}), 0, "1::", "global"},
      {Groups({0x2001, 0xdb8, 0, 0, 0, 0, 0, 1}), 0, "2001:db8::1", "global"},
      // Leading zeros go, hex digits are lower case.
      {Groups({0x2001, 0x0DB8, 0x00AB, 0x000C, 0xABCD, 0x0F00, 0x000E, 0x1}), 0, "2001:db8:ab:c:abcd:f00:e:1",
       "global"},
      // One zero group is written "0", never "::".
      {Groups({0x2001, 0xdb8, 0, 1, 1, 1, 1, 1}), 0, "2001:db8:0:1:1:1:1:1", "global"},
      // The longest run is shortened; of two equal runs, the first.
      {Groups({0x2001, 0, 0, 1, 0, 0, 0, 1}), 0, "2001:0:0:1::1", "global"},
      {Groups({0x2001, 0xdb8, 0, 0, 1, 0, 0, 1}), 0, "2001:db8::1:0:0:1", "global"},
      {Groups({0, 0, 1, 0, 0, 0, 0, 0}), 0, "0:0:1::", "global"},
      {Groups({0xfd00, 0x77, 0, 0, 0, 0, 0, 2}), 0, "fd00:77::2", "unique-local"},
      {Groups({0xfc12, 0, 0, 0, 0, 0, 0, 1}), 9, "fc12::1", "unique-local"},  // a scope shows on link-local only
      // Link-local addresses carry the link's scope id; 0 is none.
      {Groups({0xfe80, 0, 0, 0, 0x9ca5, 0x74ff, 0xfe9b, 0xec4d}), 3, "fe80::9ca5:74ff:fe9b:ec4d%3", "link-local"},
      {Groups({0xfe80, 0, 0, 0, 0, 0, 0, 1}), 0, "fe80::1", "link-local"},
      {Groups({0xfebf, 0, 0, 0, 0, 0, 0, 1}), 12, "febf::1%12", "link-local"},
      {Groups({0xfec0, 0, 0, 0, 0, 0, 0, 1}), 12, "fec0::1", "site-local"},
      {Groups({0xff02, 0, 0, 0, 0, 0, 0, 1}), 2, "ff02::1%2", "multicast"},
      {Groups({0xff05, 0, 0, 0, 0, 0, 0, 2}), 2, "ff05::2", "multicast"},
      // Embedded IPv4 addresses end in their dotted text.
      {Groups({0, 0, 0, 0, 0, 0xffff, 0x0a4d, 0x0002}), 0, "::ffff:10.77.0.2", "IPv4-mapped"},
      {Groups({0, 0, 0, 0, 0xffff, 0, 0xc000, 0x0201}), 0, "::ffff:0:192.0.2.1", "global"},
      {Groups({0x64, 0xff9b, 0, 0, 0, 0, 0xc000, 0x0201}), 0, "64:ff9b::192.0.2.1", "global"},
      {Groups({0xfe80, 0, 0, 0, 0, 0x5efe, 0x0a00, 0x0001}), 4, "fe80::5efe:10.0.0.1%4", "link-local"},
      {Groups({0x2001, 0xdb8, 0, 0, 0x200, 0x5efe, 0xc000, 0x0201}), 0, "2001:db8::200:5efe:192.0.2.1", "global"},
      // Look-alikes stay hexadecimal: not the compatible form, not a mapped prefix elsewhere.
      {Groups({0, 0, 0, 0, 0, 0, 0x0a4d, 0x0002}), 0, "::a4d:2", "global"},
      {Groups({0x2001, 0, 0, 0, 0, 0xffff, 0x0a4d, 0x0002}), 0, "2001::ffff:a4d:2", "global"},
      {Groups({0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff, 0xffff}), 0,
       "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", "multicast"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ip6AddrToStr(c.address.bytes, c.scope), c.text);
    EXPECT_STREQ(Ip6AddrKind(c.address.bytes), c.kind) << c.text;
  }
}
