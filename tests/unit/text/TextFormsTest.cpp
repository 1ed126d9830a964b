// Text forms and name tables of the platform's table values.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

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
