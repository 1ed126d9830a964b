// Text forms, name tables and the report formatter.
#include <gtest/gtest.h>

#include <cstring>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"

TEST(TextForms, MacAddrToStr) {
  struct Case {
    BYTE bytes[8];
    DWORD length;
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
    DWORD address;  // first octet in the lowest byte
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
    DWORD port;
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
  const BYTE negative[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(FileTimeToInt64(negative), -1);
  const BYTE littleEndian[10] = {0x99, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0x80};  // unaligned; the tenth byte is not read
  EXPECT_EQ(FileTimeToInt64(littleEndian + 1), 0x0201);
}

TEST(NameTables, EdgesAndOutOfRangeCodes) {
  struct Case {
    const TNameTable& table;
    DWORD code;
    const char* name;
  } cases[] = {
      {IfTypeNames, 1, "Other"},
      {IfTypeNames, 6, "Ethernet"},
      {IfTypeNames, 24, "Loopback"},
      {IfTypeNames, 71, "IEEE80211"},
      {IfTypeNames, 86, "ISO88025"},
      {IfTypeNames, 98, "ISO88025"},
      {IfTypeNames, 131, "Tunnel"},
      {IfTypeNames, 145, "TV_RcvOly"},
      {IfTypeNames, 0, ""},
      {IfTypeNames, 146, ""},
      {IfTypeNames, 0xFFFFFFFF, ""},
      {NodeTypeNames, 0, "UNKNOWN"},
      {NodeTypeNames, 3, ""},
      {NodeTypeNames, 8, "HYBRID"},
      {NodeTypeNames, 9, ""},
      {IfOperStatusNames, IF_OPER_STATUS_NONE, "IF_OPER_STATUS_NONE"},
      {IfOperStatusNames, IF_OPER_STATUS_LOWER_LAYER_DOWN, "IF_OPER_STATUS_LOWER_LAYER_DOWN"},
      {IfOperStatusNames, 8, ""},
      {TcpRtoAlgorithmNames, 4, "Van Jacobson"},
      {TcpRtoAlgorithmNames, 1, "Other"},
      {TcpStateNames, 0, ""},
      {TcpStateNames, 5, "established"},
      {TcpStateNames, 12, "delete_tcb"},
      {TcpStateNames, 13, ""},
      {ArpEntryTypeNames, 3, "Dynamic"},
      {RouteTypeNames, 4, "remote"},
      {RouteProtocolNames, 14, "BGP"},
      {RouteProtocolNames, 18, "NOT_DOD"},
      {RouteProtocolNames, 19, ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(c.table[c.code], c.name) << c.code;
  EXPECT_EQ(IfTypeNames.FirstCode(), 1u);
  EXPECT_EQ(IfTypeNames.LastCode(), 145u);
}

TEST(NameTables, InterfaceDisplayNames) {
  EXPECT_EQ(IfTypeToStr(6), "Ethernet");
  EXPECT_EQ(IfTypeToStr(24), "Local loopback");
  EXPECT_EQ(IfTypeToStr(144), "IEEE 1394 (Firewire)");
  EXPECT_EQ(IfTypeToStr(243), "UNKNOWN");
  EXPECT_EQ(AdminStatusToStr(0), "UNKNOWN");
  EXPECT_EQ(AdminStatusToStr(3), "TESTING");
  EXPECT_EQ(OperStatusToStr(0), "NON_OPERATIONAL");
  EXPECT_EQ(OperStatusToStr(5), "OPERATIONAL");
  EXPECT_EQ(OperStatusToStr(6), "UNKNOWN");
}

TEST(FormatLine, PrintfConventions) {
  struct Case {
    std::string got;
    const char* want;
  } cases[] = {
      {FormatLine("%8.8x", 11u), "0000000B"},
      {FormatLine("%x", 0xABCu), "ABC"},
      {FormatLine("%x", -1), "FFFFFFFF"},
      {FormatLine("%8.8x", 0x123456789ULL), "123456789"},  // never cut
      {FormatLine("%8.8d", 65535u), "00065535"},
      {FormatLine("%8.8d", -5), "-00000005"},
      {FormatLine("%2d", 12345), "12345"},
      {FormatLine("%2d", 1), " 1"},
      {FormatLine("%u", 3000000000u), "3000000000"},
      {FormatLine("%.2f", 2500.0), "2500.00"},  // the test locale writes a point
      {FormatLine("[%8.2f]", -1.25), "[   -1.25]"},
      {FormatLine("%.2f|%s", 100000000.0 / 1000 / 1000, "x"), "100.00|x"},
      {FormatLine("%d", 3000000000u), "3000000000"},
      {FormatLine("%15s|", "1.2.3.4"), "        1.2.3.4|"},
      {FormatLine("%-6s|", "PPP"), "PPP   |"},
      {FormatLine("%-6s|", "IEEE80211"), "IEEE80211|"},
      {FormatLine("%05d", 42), "00042"},
      {FormatLine("%-5d|", 42), "42   |"},
      {FormatLine("100%% %s", std::string("done")), "100% done"},
      {FormatLine("IP [%d]: %15s", 1, "x"), "IP [1]:               x"},
      {FormatLine("%s and %d", "one"), "one and "},  // a missing argument prints nothing
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(SysErrorMessage, OneLineOfTheSystemsText) {
  for (DWORD code : {DWORD{ERROR_NOT_SUPPORTED}, DWORD{ERROR_BUFFER_OVERFLOW}, DWORD{ERROR_NO_DATA}}) {
    char raw[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, raw, sizeof(raw),
                   nullptr);
    const std::string text = SysErrorMessage(code);
    ASSERT_FALSE(text.empty()) << code;
    EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << text;
    EXPECT_NE(text.back(), ' ');
    EXPECT_EQ(std::string(raw).rfind(text, 0), 0u) << "the system's own words: " << raw;
  }
  EXPECT_EQ(SysErrorMessage(0x20001234), "System error 536875572");
}
