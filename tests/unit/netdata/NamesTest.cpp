// The name tables of the IP Helper data, the interface display names and the
// system's error texts.
#include <gtest/gtest.h>

#include <string>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"

TEST(NameTables, InterfaceAndNodeCodes) {
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
