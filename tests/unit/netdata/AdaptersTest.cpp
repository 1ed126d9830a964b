// The adapter reader through both queries, its lists and lookups, against
// fakes that build the platform's adapter records.
#include <gtest/gtest.h>

#include "monitor/ConfigReports.h"
#include "support/ReaderTest.h"
#include "platform/Sys.h"

using AdaptersTest = FakeIpHelperTest;
using Strings = std::vector<std::string>;

namespace {

const std::size_t kPerAdapterBuffer = sizeof(IP_PER_ADAPTER_INFO) + 5 * sizeof(IP_ADDR_STRING);  // 252 on 32-bit

ClassicAdapter First() {
  ClassicAdapter a;
  a.addresses = {{"192.168.1.10", "255.255.255.0"}, {"192.168.1.20", "255.255.0.0"}};
  return a;
}

// No gateway, no DHCP: the system still gives one empty entry per list.
ClassicAdapter Second() {
  ClassicAdapter a;
  a.name = "{22222222-2222-3333-4444-555555555555}";
  a.description = "Second Adapter";
  a.mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x60};
  a.index = 12;
  a.dhcp = 0;
  a.addresses = {{"10.1.1.5", "255.255.255.0"}};
  a.gateways = {""};
  a.dhcpServers = {""};
  return a;
}

void Classic(const std::vector<ClassicAdapter>& adapters) {
  machine.adaptersInfo.build = [=](Arena& a) { BuildAdaptersInfo(a, adapters); };
  machine.perAdapter = [](ULONG index, Arena& a) -> DWORD {
    if (index != 11) return ERROR_NO_DATA;
    BuildPerAdapterInfo(a, 1, {"10.77.0.1", "10.77.1.2"});
    return NO_ERROR;
  };
}

void Extended(const std::vector<ExtendedAdapter>& adapters) {
  UseExtAdapterApi = true;
  machine.adaptersAddresses.build = [=](Arena& a) { BuildAdaptersAddresses(a, adapters); };
}

struct Read {
  int count = -1;
  TAdaptorRows rows;
  DWORD result = ReadAdaptorRows(count, rows);
};

}  // namespace

TEST_F(AdaptersTest, ClassicQueryFillsEachRecord) {
  Classic({First(), Second()});
  Read read;
  ASSERT_EQ(read.result, 0u);
  ASSERT_EQ(read.count, 2);
  ASSERT_EQ(read.rows.size(), 2u);
  const TAdaptorInfo& a = read.rows[0];
  EXPECT_EQ(a.AdapterName, L"{11111111-2222-3333-4444-555555555555}");
  EXPECT_EQ(a.Description, L"Fake Ethernet Adapter");
  EXPECT_EQ(a.MacAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(a.Index, 11u);
  EXPECT_EQ(a.IfType, 6u);
  EXPECT_EQ(a.DhcpEnabled, 1u);
  EXPECT_EQ(a.CurrentIpAddress, "  0.  0.  0.  0");  // the record names no current address
  EXPECT_EQ(a.IpAddressCount, 2);
  EXPECT_EQ(Strings(a.IpAddresses.begin(), a.IpAddresses.begin() + 2), (Strings{"192.168.1.10", "192.168.1.20"}));
  EXPECT_EQ(Strings(a.IpMasks.begin(), a.IpMasks.begin() + 2), (Strings{"255.255.255.0", "255.255.0.0"}));
  EXPECT_EQ(a.GatewayCount, 1);
  EXPECT_EQ(a.Gateways[0], "192.168.1.1");
  EXPECT_EQ(a.DhcpServers[0], "192.168.1.1");
  EXPECT_EQ(a.PrimaryWinsCount, 1);
  EXPECT_EQ(a.PrimaryWinsServers[0], "");
  EXPECT_EQ(a.LeaseExpires, 1700086400);
  EXPECT_EQ(a.AutoconfigEnabled, 1u);
  EXPECT_EQ(a.DnsServerCount, 2);
  EXPECT_EQ(a.DnsServers[1], "10.77.1.2");
  EXPECT_EQ(a.CurrentDnsServer, "10.77.0.1");

  const TAdaptorInfo& b = read.rows[1];
  EXPECT_EQ(b.GatewayCount, 1);  // the empty entry held in the record
  EXPECT_EQ(b.Gateways[0], "");
  EXPECT_EQ(b.DnsServerCount, 0);  // its per-adapter query failed; still listed
  EXPECT_EQ(b.DnsServers[0], "");
  EXPECT_EQ(b.AnycastAddresses.size(), 2u);  // every list has its two slots

  EXPECT_EQ(machine.adaptersInfo.calls, 2);
  EXPECT_TRUE(machine.addressesQueries.empty());
  // The record and five DNS servers fit the first try.
  ASSERT_FALSE(machine.perAdapterBufferSizes.empty());
  EXPECT_GE(machine.perAdapterBufferSizes[0], kPerAdapterBuffer);
}

TEST_F(AdaptersTest, AnAdapterWithMoreThanSixDnsServersShowsThemAll) {
  for (int servers : {7, 60}) {
    Strings dns;
    for (int i = 1; i <= servers; ++i) dns.push_back("10.53.0." + std::to_string(i));
    Classic({First()});
    machine.perAdapterBufferSizes.clear();
    machine.perAdapter = [&](ULONG, Arena& a) -> DWORD {
      BuildPerAdapterInfo(a, 1, dns);
      return NO_ERROR;
    };
    Read read;
    ASSERT_EQ(read.count, 1);
    const TAdaptorInfo& r = read.rows[0];
    ASSERT_EQ(r.DnsServerCount, servers);
    EXPECT_EQ(Strings(r.DnsServers.begin(), r.DnsServers.begin() + servers), dns);
    EXPECT_EQ(r.CurrentDnsServer, "10.53.0.1");
    // Sixty do not fit the first try: read again at the size the system asked for.
    ASSERT_EQ(machine.perAdapterBufferSizes.size(), servers > 7 ? 2u : 1u);
  }
}

TEST_F(AdaptersTest, PerAdapterQueryMissingOrFailingLeavesDnsEmpty) {
  for (int variant = 0; variant < 2; ++variant) {
    Classic({First()});
    if (variant == 0) Sys.GetPerAdapterInfo = nullptr;
    if (variant == 1) machine.perAdapter = [](ULONG, Arena&) -> DWORD { return ERROR_NOT_SUPPORTED; };
    Read read;
    ASSERT_EQ(read.count, 1) << variant;
    EXPECT_EQ(read.rows[0].DnsServerCount, 0) << variant;
    EXPECT_EQ(read.rows[0].CurrentDnsServer, "") << variant;
    EXPECT_EQ(read.rows[0].AutoconfigEnabled, 0u) << variant;
    EXPECT_EQ(read.rows[0].IpAddressCount, 2) << variant;
  }
  Sys.GetPerAdapterInfo = FakeGetPerAdapterInfo;
}

TEST_F(AdaptersTest, ChainOfFiveGrowsTheArrayAndEndsAtFive) {
  std::vector<ClassicAdapter> five;
  for (BYTE i = 1; i <= 5; ++i) {
    ClassicAdapter a;
    a.index = i;
    a.mac = {0x02, 0, 0, 0, 0, i};
    five.push_back(a);
  }
  Classic(five);
  Read read;
  ASSERT_EQ(read.result, 0u);
  EXPECT_EQ(read.count, 5);
  ASSERT_EQ(read.rows.size(), 5u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(read.rows[i].Index, static_cast<DWORD>(i + 1));
    EXPECT_EQ(read.rows[i].MacAddress, "02-00-00-00-00-0" + std::to_string(i + 1));
  }
}

TEST_F(AdaptersTest, QueryFailuresInBothQueries) {
  struct Case {
    bool extended;
    DWORD probe;
    DWORD second;
  } cases[] = {
      {false, ERROR_NOT_SUPPORTED, NO_ERROR},                   // probe answers something else than 111
      {false, ERROR_BUFFER_OVERFLOW, ERROR_NOT_ENOUGH_MEMORY},  // the real call fails
      {true, ERROR_INVALID_PARAMETER, NO_ERROR},
      {true, ERROR_BUFFER_OVERFLOW, ERROR_NOT_ENOUGH_MEMORY},
  };
  for (const auto& c : cases) {
    Classic({First()});
    Extended({ExtendedAdapter{}});
    UseExtAdapterApi = c.extended;
    TableFake& query = c.extended ? machine.adaptersAddresses : machine.adaptersInfo;
    query.probeAnswer = c.probe;
    query.secondAnswer = c.second;
    const DWORD code = c.probe != ERROR_BUFFER_OVERFLOW ? c.probe : c.second;
    Read read;
    EXPECT_EQ(read.result, code);
    EXPECT_EQ(read.count, 0);
    // The lists show the system's text for the code the query answered.
    StringList report;
    ListAdaptorRows(&report);
    EXPECT_EQ(LinesOf(report), Strings{SysErrorMessage(code)});
    StringList list;
    EXPECT_FALSE(FillAdapterList(&list));
    EXPECT_EQ(LinesOf(list), Strings{SysErrorMessage(code)});
    EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D-5E"), "");  // an error text is no gateway
    // Four reads, each a probe and, after a good probe, one call: no retry.
    const int callsPerRead = c.probe != ERROR_BUFFER_OVERFLOW ? 1 : 2;
    EXPECT_EQ(machine.adaptersInfo.calls + machine.adaptersAddresses.calls, 4 * callsPerRead);
    machine.Reset();
  }
}

TEST_F(AdaptersTest, NoAdapters) {
  // Both queries answer "no data" (232) on a machine without adapters.
  for (bool extended : {false, true}) {
    machine.adaptersInfo.probeAnswer = ERROR_NO_DATA;
    machine.adaptersAddresses.probeAnswer = ERROR_NO_DATA;
    UseExtAdapterApi = extended;
    Read read;
    EXPECT_EQ(read.result, 0u);
    EXPECT_EQ(read.count, 0);
    EXPECT_TRUE(read.rows.empty());
    StringList report;
    ListAdaptorRows(&report);
    EXPECT_EQ(LinesOf(report), Strings{"no entries."});
    StringList list;
    EXPECT_FALSE(FillAdapterList(&list));
    EXPECT_EQ(LinesOf(list), Strings{"No Entries!"});
    EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D-5E"), "");
    EXPECT_EQ(DnsServerForMac("00-1A-2B-3C-4D-5E"), "");
  }
}

TEST_F(AdaptersTest, MainWindowListAndMonitorReport) {
  Classic({First(), Second()});
  StringList list;
  list.Add("old");
  EXPECT_TRUE(FillAdapterList(&list));
  EXPECT_EQ(LinesOf(list), (Strings{
                               "Adapter: Fake Ethernet Adapter",
                               "Mac Address: 00-1A-2B-3C-4D-5E",
                               "Gateway: 192.168.1.1",
                               "DNS Server: 10.77.0.1",
                               "2: IP Address(es): 192.168.1.10/255.255.255.0 | 192.168.1.20/255.255.0.0 | ",
                               "Adapter: Second Adapter",
                               "Mac Address: 00-1A-2B-3C-4D-60",
                               "Gateway: ",
                               "DNS Server: ",
                               "1: IP Address(es): 10.1.1.5/255.255.255.0 | ",
                           }));
  StringList report;
  ListAdaptorRows(&report);
  EXPECT_EQ(LinesOf(report),
            (Strings{
                "{11111111-2222-3333-4444-555555555555}|Fake Ethernet Adapter|",
                "0000000B|Ethernet|00-1A-2B-3C-4D-5E| 1|     192.168.1.1|     192.168.1.1|                |       "
                "10.77.0.1|IF_OPER_STATUS_NONE           ",
                "2 IP Addresse(s): 192.168.1.10/255.255.255.0 | 192.168.1.20/255.255.0.0 | ",
                "  ",
                "{22222222-2222-3333-4444-555555555555}|Second Adapter|",
                "0000000C|Ethernet|00-1A-2B-3C-4D-60| 0|                |                |                |       "
                "         |IF_OPER_STATUS_NONE           ",
                "1 IP Addresse(s): 10.1.1.5/255.255.255.0 | ",
                "  ",
            }));
  ListAdaptorRows(nullptr);
  EXPECT_FALSE(FillAdapterList(nullptr));
}

TEST_F(AdaptersTest, LookupsByHardwareAddress) {
  ClassicAdapter second = Second();
  second.gateways = {"10.1.1.1", "10.1.1.2"};
  Classic({First(), second});
  EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D-60"), "10.1.1.1");  // the second of two adapters
  EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D-5E"), "192.168.1.1");
  EXPECT_EQ(GatewayForMac("00-1a-2b-3c-4d-5e"), "");  // lower case matches nothing
  EXPECT_EQ(GatewayForMac("00-1A-2B-3C-4D"), "");     // whole text only
  EXPECT_EQ(DnsServerForMac("00-1A-2B-3C-4D-5E"), "10.77.0.1");
  EXPECT_EQ(DnsServerForMac("00-1A-2B-3C-4D-60"), "");
}

TEST_F(AdaptersTest, ExtendedQueryWithLongRecord) {
  ExtendedAdapter wifi;
  wifi.prefixes = {{"10.0.0.0", 24}, {"10.0.0.5", 32}};
  wifi.wins = {"10.0.0.9"};
  Extended({wifi});
  Read read;
  ASSERT_EQ(read.result, 0u);
  ASSERT_EQ(read.count, 1);
  const TAdaptorInfo& r = read.rows[0];
  // IPv4, with prefixes, WINS servers and gateways.
  EXPECT_EQ(machine.addressesQueries, (std::vector<std::pair<ULONG, ULONG>>{{2, 0xD0}, {2, 0xD0}}));
  EXPECT_EQ(machine.adaptersInfo.calls, 0);
  EXPECT_EQ(r.AdapterName, L"{AAAAAAAA-2222-3333-4444-555555555555}");
  EXPECT_EQ(r.Description, L"Fake Wireless Adapter");
  EXPECT_EQ(r.FriendlyName, L"Wi-Fi");
  EXPECT_EQ(r.MacAddress, "00-0C-29-AB-CD-EF");
  EXPECT_EQ(r.Index, 7u);
  EXPECT_EQ(r.IfType, 71u);
  EXPECT_EQ(r.AddrIfType, 71u);
  EXPECT_EQ(r.DhcpEnabled, 1u);
  EXPECT_EQ(r.Mtu, 1500u);
  EXPECT_EQ(r.OperStatus, static_cast<DWORD>(IF_OPER_STATUS_UP));
  EXPECT_EQ(r.IpAddressCount, 1);
  EXPECT_EQ(r.IpAddresses[0], " 10.  0.  0.  5");
  EXPECT_EQ(r.IpMasks[0], "255.255.255.  0");  // prefix length 24
  EXPECT_EQ(r.IpMasks[1], "");                 // prefix length 32 gives no mask
  EXPECT_EQ(r.PrefixAddresses[0], " 10.  0.  0.  0");
  EXPECT_EQ(r.PrefixAddresses[1], " 10.  0.  0.  5");
  EXPECT_EQ(r.CurrentIpAddress, " 10.  0.  0.  5");
  EXPECT_EQ(r.CurrentIpMask, "255.255.255.  0");
  EXPECT_EQ(r.DnsServerCount, 1);
  EXPECT_EQ(r.CurrentDnsServer, " 10.  0.  0. 53");
  EXPECT_EQ(r.GatewayCount, 1);
  EXPECT_EQ(r.Gateways[0], " 10.  0.  0.  1");
  EXPECT_EQ(r.PrimaryWinsServers[0], " 10.  0.  0.  9");
  EXPECT_EQ(r.TransmitLinkSpeed, 54000000u);
  EXPECT_EQ(r.Ipv6IfIndex, 7u);
  EXPECT_EQ(r.Ipv4Metric, 25u);
  EXPECT_EQ(r.Luid, 0x0006000001000007ULL);

  StringList report;
  ListAdaptorRows(&report);
  EXPECT_EQ(LinesOf(report),
            (Strings{
                "{AAAAAAAA-2222-3333-4444-555555555555}|Fake Wireless Adapter|Wi-Fi",
                "00000007|IEEE80211|00-0C-29-AB-CD-EF| 1|  10.  0.  0.  1|                |  10.  0.  0.  "
                "9|  10.  0.  0. 53|IF_OPER_STATUS_UP             ",
                "1 IP Addresse(s):  10.  0.  0.  5/255.255.255.  0 | ",
                "  ",
            }));
  EXPECT_EQ(GatewayForMac("00-0C-29-AB-CD-EF"), " 10.  0.  0.  1");
}

TEST_F(AdaptersTest, ExtendedQueryWithShortRecordHasNoGateways) {
  ExtendedAdapter old;
  old.longRecord = false;
  Extended({old});
  Read read;
  ASSERT_EQ(read.count, 1);
  const TAdaptorInfo& r = read.rows[0];
  EXPECT_EQ(r.GatewayCount, 0);
  EXPECT_EQ(r.Gateways[0], "");
  EXPECT_EQ(r.TransmitLinkSpeed, 0u);
  EXPECT_EQ(r.IpAddresses[0], " 10.  0.  0.  5");
  EXPECT_EQ(r.DnsServers[0], " 10.  0.  0. 53");
  EXPECT_EQ(GatewayForMac("00-0C-29-AB-CD-EF"), "");
  EXPECT_EQ(DnsServerForMac("00-0C-29-AB-CD-EF"), " 10.  0.  0. 53");
}

TEST_F(AdaptersTest, ExtendedMasksFollowPrefixesByPosition) {
  ExtendedAdapter a;
  a.unicast = {"10.0.0.1", "10.0.0.2", "10.0.0.3", "10.0.0.4"};
  a.prefixes = {{"0.0.0.0", 0},   {"10.0.0.0", 8},  {"10.0.0.2", 31},
                {"10.0.0.0", 24}, {"10.0.0.0", 16}, {"10.0.0.0", 12}};
  Extended({a});
  Read read;
  ASSERT_EQ(read.count, 1);
  const TAdaptorInfo& r = read.rows[0];
  EXPECT_EQ(r.IpAddressCount, 4);
  ASSERT_GE(r.IpMasks.size(), 6u);
  EXPECT_EQ(
      Strings(r.IpMasks.begin(), r.IpMasks.begin() + 6),
      (Strings{"  0.  0.  0.  0", "255.  0.  0.  0", "255.255.255.254", "255.255.255.  0", "255.255.  0.  0", ""}));
  EXPECT_EQ(r.IpMasks.size(), r.IpAddresses.size());
  EXPECT_EQ(r.PrefixAddresses.size(), r.IpAddresses.size());
  EXPECT_EQ(r.PrefixAddresses[5], "");  // at most one prefix more than there are addresses
}

namespace {
BOOL WINAPI WindowsXpVersion(LPOSVERSIONINFOA info) {
  info->dwPlatformId = VER_PLATFORM_WIN32_NT;
  info->dwMajorVersion = 5;
  info->dwMinorVersion = 1;
  return TRUE;
}
}  // namespace

TEST_F(AdaptersTest, ExtendedMasksComeFromEachAddressesOwnPrefixLength) {
  ExtendedAdapter a;
  a.unicast = {"10.0.0.1", "172.16.0.1", "192.168.7.1"};
  // The prefix list by position would give 8, 12 and 24, all wrong but the last.
  a.prefixes = {{"10.0.0.0", 8}, {"172.16.0.0", 12}, {"192.168.7.0", 24}};
  a.onLinkPrefixes = {24, 16, 0};  // the third address has none: the position rule
  Extended({a});
  Read read;
  ASSERT_EQ(read.count, 1);
  const TAdaptorInfo& r = read.rows[0];
  EXPECT_EQ(Strings(r.IpMasks.begin(), r.IpMasks.begin() + 3),
            (Strings{"255.255.255.  0", "255.255.  0.  0", "255.255.255.  0"}));
  EXPECT_EQ(r.CurrentIpMask, "255.255.255.  0");
  EXPECT_EQ(r.PrefixAddresses[1], "172. 16.  0.  0");

  // Entries of the oldest systems have no prefix length: whatever lies
  // where newer ones keep it is not taken for one (on 32-bit systems both
  // entries have the same length: only the version tells them apart).
  a.oldUnicastEntries = true;
  Extended({a});
  SysSwap xp(&SysApi::GetVersionExA, &WindowsXpVersion);
  Read old;
  ASSERT_EQ(old.count, 1);
  EXPECT_EQ(Strings(old.rows[0].IpMasks.begin(), old.rows[0].IpMasks.begin() + 3),
            (Strings{"255.  0.  0.  0", "255.240.  0.  0", "255.255.255.  0"}));
}

TEST_F(AdaptersTest, ExtendedListEndsAtAnEntryOfAnotherSize) {
  ExtendedAdapter a;
  a.dnsServers = {"10.0.0.53", "10.0.0.54", "10.0.0.55"};
  UseExtAdapterApi = true;
  machine.adaptersAddresses.build = [=](Arena& arena) {
    BuildAdaptersAddresses(arena, {a});
    auto* record = reinterpret_cast<IP_ADAPTER_ADDRESSES_LH*>(arena.Base());
    record->FirstDnsServerAddress->Next->Length = 4;
  };
  Read read;
  ASSERT_EQ(read.count, 1);
  EXPECT_EQ(read.rows[0].DnsServerCount, 1);
}

TEST_F(AdaptersTest, ExtendedReportNamesOutOfRangeCodesAsEmpty) {
  ExtendedAdapter a;
  a.index = 9;
  a.type = 243;  // beyond the interface type names
  a.mac = {0x02, 0, 0, 0, 0, 0x09};
  a.flags = 0;
  a.operStatus = static_cast<IF_OPER_STATUS>(9);
  a.unicast = {};
  a.prefixes = {};
  a.dnsServers = {};
  a.gateways = {};
  Extended({a});
  StringList report;
  ListAdaptorRows(&report);
  ASSERT_EQ(report.Count(), 3);  // no address line
  EXPECT_EQ(report[1],
            "00000009|      |02-00-00-00-00-09| 0|                |                |                |                |"
            "                              ");
}

TEST_F(AdaptersTest, ExtendedOptionWithoutTheQueryUsesTheClassicOne) {
  Classic({First()});
  Extended({ExtendedAdapter{}});
  Sys.GetAdaptersAddresses = nullptr;
  Read read;
  ASSERT_EQ(read.count, 1);
  EXPECT_EQ(read.rows[0].MacAddress, "00-1A-2B-3C-4D-5E");
  EXPECT_EQ(machine.adaptersAddresses.calls, 0);
}
