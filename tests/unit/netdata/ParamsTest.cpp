// Fixed network parameters and the IPv4 address table against machine.
#include <gtest/gtest.h>

#include "monitor/ConfigReports.h"
#include "support/ReaderTest.h"

using ParamsTest = FakeIpHelperTest;
using Strings = std::vector<std::string>;

namespace {

void HostWithDns(const Strings& servers, UINT nodeType = 8, UINT routing = 0, UINT proxy = 0, UINT dns = 0) {
  machine.networkParams.build = [=](Arena& a) {
    BuildFixedInfo(a, " workstation \t", "velnor.test", nodeType, routing, proxy, dns, servers);
  };
}

}  // namespace

TEST_F(ParamsTest, ReadsTheRecordAndItsChainedDnsServers) {
  HostWithDns({"10.77.0.1", "10.77.1.2", "10.77.1.3"}, 8, 1, 0, 1);
  TNetworkParams p;
  ASSERT_EQ(ReadNetworkParams(p), 0u);
  EXPECT_EQ(p.HostName, "workstation");  // blanks and control characters trimmed
  EXPECT_EQ(p.DomainName, "velnor.test");
  EXPECT_EQ(p.ScopeId, "");
  EXPECT_EQ(p.NodeType, 8u);
  EXPECT_EQ(p.EnableRouting, 1u);
  EXPECT_EQ(p.EnableDns, 1u);
  EXPECT_EQ(p.DnsServerCount, 3);
  EXPECT_EQ(Strings(p.DnsServers.begin(), p.DnsServers.begin() + 3), (Strings{"10.77.0.1", "10.77.1.2", "10.77.1.3"}));
  EXPECT_EQ(machine.networkParams.calls, 2);  // a size probe and the real call, no retry
}

TEST_F(ParamsTest, KeepsTheFirstTenDnsServers) {
  Strings servers;
  for (int i = 1; i <= 13; ++i) servers.push_back("10.0.0." + std::to_string(i));
  HostWithDns(servers);
  TNetworkParams p;
  ASSERT_EQ(ReadNetworkParams(p), 0u);
  EXPECT_EQ(p.DnsServerCount, 10);
  EXPECT_EQ(p.DnsServers[9], "10.0.0.10");
}

TEST_F(ParamsTest, FixedInfoReportAndParameterList) {
  HostWithDns({"10.77.0.1", "10.77.1.2"});
  StringList report;
  ListFixedInfo(&report);
  EXPECT_EQ(LinesOf(report), (Strings{
                                 "HOSTNAME          : workstation",
                                 "DOMAIN            : velnor.test",
                                 "DHCP SCOPE        : ",
                                 "NETBIOS NODE TYPE : HYBRID",
                                 "ROUTING ENABLED   : 0",
                                 "PROXY   ENABLED   : 0",
                                 "DNS     ENABLED   : 0",
                                 "DNS SERVER ADDR   : 10.77.0.1",
                                 "DNS SERVER ADDR   : 10.77.1.2",
                             }));
  StringList list;
  list.Add("old line");
  EXPECT_TRUE(FillNetworkParamsList(&list));
  EXPECT_EQ(LinesOf(list), (Strings{
                               "Hostname: workstation",
                               "Domain: velnor.test",
                               "DNS Server Address [1]: 10.77.0.1",
                               "DNS Server Address [2]: 10.77.1.2",
                           }));
}

TEST_F(ParamsTest, ParameterListShowsOnlySwitchesThatAreOnAndFailsWithoutDns) {
  HostWithDns({}, 3, 1, 2, 1);
  StringList list;
  EXPECT_FALSE(FillNetworkParamsList(&list));
  EXPECT_EQ(LinesOf(list), (Strings{"Hostname: workstation", "Domain: velnor.test", "Routing Enabled: 1",
                                    "Proxy Enabled: 2", "DNS Enabled: 1"}));
  StringList report;
  ListFixedInfo(&report);
  EXPECT_EQ(report[3], "NETBIOS NODE TYPE : ");  // node type 3 has no name
  EXPECT_EQ(report.Count(), 7);
}

TEST_F(ParamsTest, FailuresOfTheParameterQuery) {
  struct Case {
    DWORD probe;
    DWORD second;
    DWORD result;
  } cases[] = {
      {ERROR_INVALID_PARAMETER, NO_ERROR, ERROR_INVALID_PARAMETER},  // probe answers something else than 111
      {ERROR_BUFFER_OVERFLOW, ERROR_NO_DATA, ERROR_NO_DATA},         // the real call fails
  };
  for (const auto& c : cases) {
    HostWithDns({"10.77.0.1"});
    machine.networkParams.probeAnswer = c.probe;
    machine.networkParams.secondAnswer = c.second;
    TNetworkParams p;
    EXPECT_EQ(ReadNetworkParams(p), c.result);
    EXPECT_EQ(p.DnsServerCount, 0);
    StringList report;
    ListFixedInfo(&report);
    EXPECT_EQ(LinesOf(report), Strings{SysErrorMessage(c.result)});
    StringList list;
    EXPECT_FALSE(FillNetworkParamsList(&list));
    EXPECT_EQ(LinesOf(list), Strings{"ERROR: " + SysErrorMessage(c.result)});
  }
}

TEST_F(ParamsTest, AddressTableLines) {
  machine.ipAddrTable.build = [](Arena& a) {
    BuildIpAddrTable(a, {AddrRow(11, "192.168.1.10", "255.255.255.0"), AddrRow(1, "127.0.0.1", "255.0.0.0")});
  };
  StringList list;
  EXPECT_TRUE(FillIpAddressList(&list));
  EXPECT_EQ(LinesOf(list), (Strings{"IP [1]: 192.168.  1. 10, Subnet mask: 255.255.255.  0",
                                    "IP [2]: 127.  0.  0.  1, Subnet mask: 255.  0.  0.  0"}));
  StringList report;
  ListIpAddrTable(&report);
  EXPECT_EQ(LinesOf(report), (Strings{"0000000B|192.168.  1. 10|255.255.255.  0|  1.  0.  0.  0|00065535",
                                      "00000001|127.  0.  0.  1|255.  0.  0.  0|  1.  0.  0.  0|00065535"}));
  // The size query and the table, then the table alone: its size is known.
  EXPECT_EQ(machine.ipAddrTable.calls, 3);
}

TEST_F(ParamsTest, AddressTableFailuresAndEmptyTable) {
  StringList list;
  StringList report;
  // No rows.
  machine.ipAddrTable.build = [](Arena& a) { BuildIpAddrTable(a, {}); };
  EXPECT_FALSE(FillIpAddressList(&list));
  EXPECT_EQ(LinesOf(list), Strings{"No Entries!"});
  ListIpAddrTable(&report);
  EXPECT_EQ(LinesOf(report), Strings{"no entries."});
  // The real call fails: the system's text for its code.
  machine.ipAddrTable.build = [](Arena& a) { BuildIpAddrTable(a, {AddrRow(2, "10.0.0.1", "255.0.0.0")}); };
  machine.ipAddrTable.secondAnswer = ERROR_NOT_ENOUGH_MEMORY;
  EXPECT_FALSE(FillIpAddressList(&list));
  EXPECT_EQ(LinesOf(list), Strings{SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)});
  // The probe answers something else than 122: the lists end empty.
  machine.ipAddrTable.probeAnswer = ERROR_BUFFER_OVERFLOW;
  EXPECT_FALSE(FillIpAddressList(&list));
  EXPECT_EQ(list.Count(), 0);
  report.Add("stale");
  ListIpAddrTable(&report);
  EXPECT_EQ(report.Count(), 0);
}

