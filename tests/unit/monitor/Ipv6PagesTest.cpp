// The IPv6 parts of the monitor's pages against the fake machine's IPv6
// tables: each part's rows, an empty table, a table the system refuses and
// an entry the library lacks, as one table of cases.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "monitor/Connections.h"
#include "monitor/Ipv6Tables.h"
#include "monitor/Statistics.h"
#include "netdata/IPHelper.h"
#include "support/ReaderTest.h"

namespace {

using Strings = std::vector<std::string>;

class Ipv6PagesTest : public ReaderTest<ScopedFakeMachine::kAdapters | ScopedFakeMachine::kMonitorTables |
                                        ScopedFakeMachine::kConnections | ScopedFakeMachine::kProcesses> {
 protected:
  void TearDown() override {
    EXPECT_EQ(machine.mibTablesLive, 0) << "a table of the library was not handed back";
    ReaderTest::TearDown();
  }
};

const int64_t kFeb19 = Ticks(2012, 2, 19, 13, 45, 30);  // 14:45:30 local

std::string Text(DWORD code) { return SysErrorMessage(code); }

// The two addresses of the test network's client link, and one global.
void ClientAddresses() {
  ExtendedAdapter veth;
  veth.index = 3;
  veth.friendlyName = L"veth";
  veth.unicast = {"fd00:77::2", "fe80::9ca5:74ff:fe9b:ec4d%3", "2001:db8:0:1::2"};
  veth.onLinkPrefixes = {64, 64, 48};
  ExtendedAdapter loopback;
  loopback.index = 1;
  loopback.friendlyName = L"lo";
  loopback.unicast = {"::1"};
  loopback.onLinkPrefixes = {128};
  machine.adaptersAddresses6.probeAnswer = ERROR_BUFFER_OVERFLOW;
  machine.adaptersAddresses6.build = [veth, loopback](Arena& a) { BuildAdaptersAddresses(a, {veth, loopback}); };
}

}  // namespace

TEST_F(Ipv6PagesTest, EveryPartShowsItsRowsOrOneLine) {
  struct Case {
    const char* name;
    std::function<void()> setUp;
    std::function<void(Lines*)> list;
    Strings lines;
  };
  TProgramCache programs;
  const auto tcp = [&](Lines* l) { ListTcp6Conns(l, false, programs); };
  const auto tcpWithPath = [&](Lines* l) { ListTcp6Conns(l, true, programs); };
  const auto udp = [&](Lines* l) { ListUdp6Conns(l, false, programs); };
  const Case cases[] = {
      {"connections",
       [] {
         machine.tcp6 = {
             Conn{MIB_TCP_STATE_LISTEN, "::", 80, "::", 4711, 0, 0},
             Conn{MIB_TCP_STATE_ESTAB, "fd00:77::2", 49152, "fd00:77::1", 80, 1234, kFeb19},
             Conn{MIB_TCP_STATE_ESTAB, "fe80::1%3", 8080, "fe80::2%3", 50000, 0, 0},
         };
         machine.owners = {{1234, L"C:\\Program Files\\Browser\\browser.exe"}};
       },
       tcp,
       {"IPv6:",
        // A listener has no peer, whatever its remote port field holds.
        "[::]:HTTP                     |[::]:0                        |listening   |     0|                    |"
        "                    ",
        "[fd00:77::2]:49152            |[fd00:77::1]:HTTP             |established |  1234|browser.exe         |" +
            LocalDateText("2012/19/02 14:45:30 "),
        "[fe80::1%3]:8080              |[fe80::2%3]:50000             |established |     0|                    |"
        "                    "}},
      {"connections with the program's path",
       [] {
         machine.tcp6 = {Conn{MIB_TCP_STATE_ESTAB, "fd00:77::2", 49152, "fd00:77::1", 80, 1234, 0}};
         machine.owners = {{1234, L"C:\\Program Files\\Browser\\browser.exe"}};
       },
       tcpWithPath,
       {"IPv6:",
        "[fd00:77::2]:49152            |[fd00:77::1]:HTTP             |established |  1234|"
        "C:\\Program Files\\Browser\\browser.exe|                    "}},
      {"listeners",
       [] {
         machine.udp6 = {Conn{0, "::ffff:a4d:2", 53, "::", 0, 77, 0}};
       },
       udp,
       {"IPv6:", "[::ffff:10.77.0.2]:DNS        |       77|" + std::string(48, ' ') + "|" + std::string(20, ' ')}},
      {"no connections", [] {}, tcp, {"IPv6: no entries."}},
      {"connections refused",
       [] { machine.extendedTcp6.probeAnswer = ERROR_ACCESS_DENIED; },
       tcp,
       {"IPv6: " + Text(ERROR_ACCESS_DENIED)}},
      {"address table",
       ClientAddresses,
       ListIp6AddrTable,
       {"IPv6:", "        3   fd00:77::2/64                                 unique-local",
        "        3   fe80::9ca5:74ff:fe9b:ec4d%3/64                link-local",
        "        3   2001:db8:0:1::2/48                            global",
        "        1   ::1/128                                       loopback"}},
      {"adapters",
       ClientAddresses,
       ListIp6Adapters,
       {"IPv6:",
        "    3  veth: fd00:77::2/64 (unique-local), fe80::9ca5:74ff:fe9b:ec4d%3/64 (link-local), 2001:db8:0:1::2/48 "
        "(global)",
        "    1  lo: ::1/128 (loopback)"}},
      {"no IPv6 address", [] {}, ListIp6AddrTable, {"IPv6: no entries."}},
      {"adapters refused",
       [] { machine.adaptersAddresses6.probeAnswer = ERROR_NOT_ENOUGH_MEMORY; },
       ListIp6Adapters,
       {"IPv6: " + Text(ERROR_NOT_ENOUGH_MEMORY)}},
      {"routes",
       [] {
         machine.routes6 = {Route6("::", 0, "fd00:77::1", 3, 1024, RouteProtocolNetMgmt),
                            Route6("fd00:77::", 64, "::", 3, 256, RouteProtocolLocal),
                            Route6("fe80::", 64, "::", 3, 256, static_cast<NL_ROUTE_PROTOCOL>(10002))};
       },
       ListIp6Routes,
       {"IPv6:",
        "::/0                                         |fd00:77::1                              |00000003|      "
        "1024|NETMGMT",
        "fd00:77::/64                                 |::                                      |00000003|       "
        "256|LOCAL",
        "fe80::/64                                    |::                                      |00000003|       "
        "256|10002"}},
      {"routes refused",
       [] { machine.routes6Answer = ERROR_NOT_SUPPORTED; },
       ListIp6Routes,
       {"IPv6: " + Text(ERROR_NOT_SUPPORTED)}},
      {"neighbours",
       [] {
         machine.neighbours6 = {Neighbour6(3, {0x9e, 0xa5, 0x74, 0x9b, 0xec, 0x4d}, "fd00:77::1", NlnsReachable, true),
                                Neighbour6(3, {}, "fe80::1%3", NlnsIncomplete, false)};
       },
       ListIp6Neighbours,
       {"IPv6:", "       3 | 9E-A5-74-9B-EC-4D | fd00:77::1 | reachable router",
        "       3 |                   | fe80::1%3 | incomplete"}},
      // Empty: the library's "not found".
      {"no neighbours", [] { machine.neighbours6Answer = ERROR_NOT_FOUND; }, ListIp6Neighbours, {"IPv6: no entries."}},
      {"neighbours refused",
       [] { machine.neighbours6Answer = ERROR_NOT_SUPPORTED; },
       ListIp6Neighbours,
       {"IPv6: " + Text(ERROR_NOT_SUPPORTED)}},
  };
  for (const Case& c : cases) {
    machine.Reset();
    ForgetTableSizes();
    c.setUp();
    StringList list = Stale();
    c.list(&list);
    EXPECT_EQ(LinesOf(list), c.lines) << c.name;
  }
}

TEST_F(Ipv6PagesTest, AnEntryTheLibraryLacksIsOneLineWithTheSystemsText) {
  const std::string missing = "IPv6: " + Text(ERROR_NOT_SUPPORTED);
  TProgramCache programs;
  struct Case {
    const char* name;
    std::function<void()> remove;
    std::function<void(Lines*)> list;
  } cases[] = {
      {"connections", [] { Sys.GetExtendedTcpTable = nullptr; }, [&](Lines* l) { ListTcp6Conns(l, false, programs); }},
      {"listeners", [] { Sys.GetExtendedUdpTable = nullptr; }, [&](Lines* l) { ListUdp6Conns(l, false, programs); }},
      {"addresses", [] { Sys.GetAdaptersAddresses = nullptr; }, ListIp6AddrTable},
      {"adapters", [] { Sys.GetAdaptersAddresses = nullptr; }, ListIp6Adapters},
      {"routes", [] { Sys.GetIpForwardTable2 = nullptr; }, ListIp6Routes},
      {"neighbours", [] { Sys.GetIpNetTable2 = nullptr; }, ListIp6Neighbours},
      {"a table that cannot be handed back", [] { Sys.FreeMibTable = nullptr; }, ListIp6Routes},
  };
  for (const Case& c : cases) {
    // Each case on the library as the fake machine offers it, less one entry.
    Bind(TableGenerations{});
    c.remove();
    StringList list = Stale();
    c.list(&list);
    EXPECT_EQ(LinesOf(list), Strings{missing}) << c.name;
  }
}

TEST_F(Ipv6PagesTest, CountersOfTheFamilyEachBlockOnItsOwn) {
  machine.tcp6Stats.record.dwActiveOpens = 7;
  machine.tcp6Stats.record.dwCurrEstab = 2;
  machine.ip6Stats.answer = ERROR_NOT_SUPPORTED;  // one block fails, the others stand
  machine.udp6Stats.record.dwInDatagrams = 4294967295u;
  machine.icmp6Stats.record.icmpInStats.dwMsgs = 12;
  machine.icmp6Stats.record.icmpInStats.rgdwTypeCount[135] = 5;
  machine.icmp6Stats.record.icmpOutStats.rgdwTypeCount[128] = 3;
  StringList counters = Stale();
  ListIp6Stats(&counters);
  const Strings lines = LinesOf(counters);
  ASSERT_EQ(lines.size(), 1u + 15u + 1u + 1u + 5u) << counters.Text();
  EXPECT_EQ(lines[0], "IPv6 TCP:");
  EXPECT_EQ(lines[5], "Active Opens             :7");
  EXPECT_EQ(lines[9], "Current Established Conn.:2");
  EXPECT_EQ(lines[16], "IPv6 IP: " + Text(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(lines[17], "IPv6 UDP:");
  EXPECT_EQ(lines[18], "Datagrams (In)    : 4294967295");
  for (ULONG family : machine.statsFamilies) EXPECT_EQ(family, static_cast<ULONG>(AF_INET6));

  StringList received = Stale(), sent = Stale();
  ListIcmp6Stats(&received, &sent);
  ASSERT_EQ(received.Count(), 14) << received.Text();
  ASSERT_EQ(sent.Count(), 14) << sent.Text();
  EXPECT_EQ(received[0], "ICMPv6:");
  EXPECT_EQ(received[1], "Messages received    : 12");
  EXPECT_EQ(received[11], "Neighbour Solicits.  : 5");
  EXPECT_EQ(sent[1], "Messages sent        : 0");
  EXPECT_EQ(sent[7], "Echo Requests        : 3");

  machine.icmp6Stats.answer = ERROR_NOT_SUPPORTED;
  ListIcmp6Stats(&received, &sent);
  EXPECT_EQ(LinesOf(received), Strings{"ICMPv6: " + Text(ERROR_NOT_SUPPORTED)});
  EXPECT_EQ(sent.Count(), 0);

  Sys.GetTcpStatisticsEx = nullptr;
  Sys.GetUdpStatisticsEx = nullptr;
  machine.ip6Stats.answer = NO_ERROR;
  ListIp6Stats(&counters);
  ASSERT_EQ(counters.Count(), 1 + 1 + 22 + 1);
  EXPECT_EQ(counters[0], "IPv6 TCP: " + Text(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(counters[1], "IPv6 IP:");
  EXPECT_EQ(counters[24], "IPv6 UDP: " + Text(ERROR_NOT_SUPPORTED));
}
