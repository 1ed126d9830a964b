// The statistics page against fakes of the four counter queries.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/ReaderTest.h"
#include "monitor/Statistics.h"

using StatisticsTest = MonitorFakeTest;
using Strings = std::vector<std::string>;

namespace {

// Each counter of a record gets its own value, first + its position, so a
// label printed with the wrong field shows.
template <class Record>
Record Numbered(DWORD first) {
  static_assert(sizeof(Record) % sizeof(DWORD) == 0, "a record of counters");
  Record record;
  DWORD* counters = reinterpret_cast<DWORD*>(&record);
  for (std::size_t i = 0; i < sizeof(Record) / sizeof(DWORD); ++i) counters[i] = first + static_cast<DWORD>(i);
  return record;
}

}  // namespace

TEST_F(StatisticsTest, TcpLines) {
  machine.tcpStats.record = Numbered<MIB_TCPSTATS>(100);
  machine.tcpStats.record.dwRtoAlgorithm = MIB_TCP_RTO_VANJ;
  machine.tcpStats.record.dwMaxConn = MIB_TCP_MAXCONN_DYNAMIC;  // all bits set: unsigned, not -1
  StringList list = Stale();
  ListTcpStats(&list);
  EXPECT_EQ(LinesOf(list), (Strings{
                               "Retransmission algorithm :Van Jacobson",
                               "Minimum Time-Out         :101 ms",
                               "Maximum Time-Out         :102 ms",
                               "Maximum Pend.Connections :4294967295",
                               "Active Opens             :104",
                               "Passive Opens            :105",
                               "Failed Open Attempts     :106",
                               "Established conn. Reset  :107",
                               "Current Established Conn.:108",
                               "Segments Received        :109",
                               "Segments Sent            :110",
                               "Segments Retransmitted   :111",
                               "Incoming Errors          :112",
                               "Outgoing Resets          :113",
                               "Cumulative Connections   :114",
                           }));
}

TEST_F(StatisticsTest, RetransmissionAlgorithmNames) {
  const struct {
    DWORD code;
    const char* line;
  } cases[] = {
      {0, "Retransmission algorithm :"},
      {1, "Retransmission algorithm :Other"},
      {2, "Retransmission algorithm :Const.Timeout"},
      {3, "Retransmission algorithm :MIL-STD-1778"},
      {5, "Retransmission algorithm :"},  // beyond the names
      {0xFFFFFFFF, "Retransmission algorithm :"},
  };
  for (const auto& c : cases) {
    machine.tcpStats.record.dwRtoAlgorithm = c.code;
    StringList list;
    ListTcpStats(&list);
    ASSERT_EQ(list.Count(), 15);
    EXPECT_EQ(list[0], c.line) << c.code;
  }
}

TEST_F(StatisticsTest, IpLines) {
  machine.ipStats.record = Numbered<MIB_IPSTATS>(200);
  machine.ipStats.record.dwForwarding = MIB_IP_FORWARDING;
  machine.ipStats.record.dwOutDiscards = 777;  // not shown
  StringList list = Stale();
  ListIpStats(&list);
  EXPECT_EQ(LinesOf(list),
            (Strings{
                "Forwarding Enabled      : Yes", "Default TTL             : 201", "Datagrams Received      : 202",
                "Header Errors     (In)  : 203", "Address Errors    (In)  : 204", "Datagrams Forwarded     : 205",
                "Unknown Protocols (In)  : 206", "Datagrams Discarded     : 207", "Datagrams Delivered     : 208",
                "Requests Out            : 209", "Routings Discarded      : 210", "No Routes          (Out): 212",
                "Reassemble TimeOuts     : 213", "Reassemble Requests     : 214", "Succesfull Reassemblies : 215",
                "Failed Reassemblies     : 216", "Succesful Fragmentations: 217", "Failed Fragmentations   : 218",
                "Datagrams Fragmented    : 219", "Number of Interfaces    : 220", "Number of IP-addresses  : 221",
                "Routes in RoutingTable  : 222",
            }));
  for (DWORD state : {0u, 2u, 0xFFFFFFFFu}) {
    machine.ipStats.record.dwForwarding = state;
    ListIpStats(&list);
    EXPECT_EQ(list[0], "Forwarding Enabled      : No") << state;
  }
}

TEST_F(StatisticsTest, UdpLines) {
  machine.udpStats.record = Numbered<MIB_UDPSTATS>(300);
  machine.udpStats.record.dwNumAddrs = 0xFFFFFFFF;
  StringList list = Stale();
  ListUdpStats(&list);
  EXPECT_EQ(LinesOf(list), (Strings{
                               "Datagrams (In)    : 300",
                               "Datagrams (Out)   : 303",
                               "No Ports          : 301",
                               "Errors    (In)    : 302",
                               "UDP Listen Ports  : 4294967295",
                           }));
}

TEST_F(StatisticsTest, IcmpLinesReceivedAndSent) {
  machine.icmpStats.record = Numbered<MIB_ICMP>(400);  // received 400..412, sent 413..425
  StringList received = Stale(), sent = Stale();
  ListIcmpStats(&received, &sent);
  const Strings labels = {
      "Errors               : ", "Dest. Unreachable    : ", "Time Exceeded        : ", "Param. Problems      : ",
      "Source Quench        : ", "Redirects            : ", "Echo Requests        : ", "Echo Replies         : ",
      "Timestamp Requests   : ", "Timestamp Replies    : ", "Addr. Masks Requests : ", "Addr. Mask Replies   : ",
  };
  Strings wantReceived = {"Messages received    : 400"};
  Strings wantSent = {"Messages sent        : 413"};
  for (std::size_t i = 0; i < labels.size(); ++i) {
    wantReceived.push_back(labels[i] + std::to_string(401 + i));
    wantSent.push_back(labels[i] + std::to_string(414 + i));
  }
  EXPECT_EQ(LinesOf(received), wantReceived);
  EXPECT_EQ(LinesOf(sent), wantSent);
}

TEST_F(StatisticsTest, FailingQueries) {
  const std::string message = SysErrorMessage(ERROR_NOT_SUPPORTED);
  // TCP: the message alone on a cleared page.
  machine.tcpStats.answer = ERROR_NOT_SUPPORTED;
  StringList tcp = Stale();
  ListTcpStats(&tcp);
  EXPECT_EQ(LinesOf(tcp), Strings{message});

  // IP and UDP: the last good counters stay, each failure adds its message.
  StringList ip, udp;
  ListIpStats(&ip);
  ListUdpStats(&udp);
  ASSERT_EQ(ip.Count(), 22);
  ASSERT_EQ(udp.Count(), 5);
  machine.ipStats.answer = ERROR_NOT_SUPPORTED;
  machine.udpStats.answer = ERROR_NOT_ENOUGH_MEMORY;
  ListIpStats(&ip);
  ListIpStats(&ip);
  ListUdpStats(&udp);
  ASSERT_EQ(ip.Count(), 24);
  EXPECT_EQ(ip[0], "Forwarding Enabled      : No");
  EXPECT_EQ(ip[22], message);
  EXPECT_EQ(ip[23], message);
  ASSERT_EQ(udp.Count(), 6);
  EXPECT_EQ(udp[5], SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY));

  // ICMP: the message on the received side, the sent side cleared.
  machine.icmpStats.answer = ERROR_NOT_SUPPORTED;
  StringList received = Stale(), sent = Stale();
  ListIcmpStats(&received, &sent);
  EXPECT_EQ(LinesOf(received), Strings{message});
  EXPECT_EQ(sent.Count(), 0);
}

