// The table and statistics pages against the real IP Helper of the platform,
// inside the test network (tools/testnet exec sets VELNOR_TESTNET=1;
// elsewhere these skip, and fail when the two disagree). What the pages must show is read from the kernel's
// own view of the client namespace, which Wine shows as drive Z:.
#include <gtest/gtest.h>

#include "support/TestNetwork.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/NameTables.h"
#include "text/TextForms.h"

namespace {

std::string FirstLine(const std::string& text) { return text.substr(0, text.find_first_of("\r\n")); }

DWORD Hex(const std::string& text) { return static_cast<DWORD>(std::stoul(text, nullptr, 16)); }

// "9e:a5:74:9b:ec:4d" as the reports write it.
std::string MacText(std::string mac) {
  for (char& c : mac) c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return mac;
}

struct KernelRoute {
  std::string iface;
  DWORD destination, gateway, mask;  // in memory order, as the platform's tables hold them
};

std::vector<KernelRoute> KernelRoutes() {
  std::vector<KernelRoute> routes;
  std::istringstream text(LinuxFile("/proc/net/route"));
  std::string line;
  std::getline(text, line);  // heading
  while (std::getline(text, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags, refs, use, metric, mask;
    if (fields >> iface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)
      routes.push_back({iface, Hex(destination), Hex(gateway), Hex(mask)});
  }
  return routes;
}

// /proc/net/snmp: a line of names and a line of values per protocol.
using Snmp = std::map<std::string, long long>;  // "Ip.InReceives" -> value

Snmp KernelCounters() {
  Snmp counters;
  std::istringstream text(LinuxFile("/proc/net/snmp"));
  std::string names, values;
  while (std::getline(text, names) && std::getline(text, values)) {
    std::istringstream n(names), v(values);
    std::string protocol, name, value;
    n >> protocol;
    v >> value;
    protocol.pop_back();  // the colon
    while (n >> name && v >> value) counters[protocol + "." + name] = std::stoll(value);
  }
  return counters;
}

// The text after label on the line that starts with it.
std::string ValueOf(const StringList& list, const std::string& label) {
  for (const std::string& line : list.Items()) {
    if (line.compare(0, label.size(), label) == 0) return line.substr(label.size());
  }
  ADD_FAILURE() << "no line \"" << label << "\" in\n" << list.Text();
  return {};
}

long long NumberOf(const StringList& list, const std::string& label) {
  const std::string value = ValueOf(list, label);
  return value.empty() ? -1 : std::stoll(value);
}

class RealTablesTest : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_TEST_NETWORK();
    routes_ = KernelRoutes();
    for (const KernelRoute& r : routes_) {
      if (r.destination == 0 && r.mask == 0) {
        link_ = r.iface;
        gateway_ = r.gateway;
      }
    }
    ASSERT_FALSE(link_.empty()) << "no default route in /proc/net/route";
    mac_ = MacText(FirstLine(LinuxFile("/sys/class/net/" + link_ + "/address")));
    // The link's index as the platform numbers it: the interface with its
    // hardware address.
    DWORD count = 0;
    ASSERT_EQ(ReadIfRows(count, interfaces_), 0u);
    const auto link = std::find_if(interfaces_.begin(), interfaces_.end(), [&](const MIB_IFROW& row) {
      return MacAddrToStr(row.bPhysAddr, row.dwPhysAddrLen) == mac_;
    });
    ASSERT_NE(link, interfaces_.end()) << "no interface with hardware address " << mac_;
    linkIndex_ = link->dwIndex;
  }
  void TearDown() override { EXPECT_EQ(TTableBuffer::Live(), 0); }

  // One echo to the gateway: its hardware address enters the ARP cache and
  // every counter page has traffic to show.
  void EchoGateway() {
    HANDLE icmp = Sys.IcmpCreateFile();
    ASSERT_NE(icmp, INVALID_HANDLE_VALUE);
    char data[32] = {};
    char reply[sizeof(ICMP_ECHO_REPLY) + sizeof(data) + 8] = {};
    const DWORD replies = Sys.IcmpSendEcho(icmp, gateway_, data, sizeof(data), nullptr, reply, sizeof(reply), 2000);
    Sys.IcmpCloseHandle(icmp);
    ASSERT_EQ(replies, 1u) << "the gateway did not answer";
  }

  static std::string Padded(DWORD address) { return IpAddrToStr(address, true); }

  std::vector<KernelRoute> routes_;
  std::string link_;  // the interface of the default route
  DWORD gateway_ = 0;
  std::string mac_;
  TIfRows interfaces_;
  DWORD linkIndex_ = 0;
};

}  // namespace

TEST_F(RealTablesTest, RoutesAsTheKernelHasThem) {
  StringList list;
  ListRoutes(&list);
  // Every kernel route of the link: destination and mask, the link's index,
  // and "remote" with its gateway as next hop, or "local" for the link's own
  // network.
  int checked = 0;
  for (const KernelRoute& r : routes_) {
    if (r.iface != link_) continue;
    const std::string head = Padded(r.destination) + "|" + Padded(r.mask) + "|";
    const std::string hop = r.gateway != 0 ? Padded(r.gateway) + "|" : "";
    const std::string rest = FormatLine("%8.8x|%7s|", linkIndex_, r.gateway != 0 ? "remote" : "local");
    const bool found = std::any_of(list.Items().begin(), list.Items().end(), [&](const std::string& line) {
      return line.compare(0, head.size(), head) == 0 && line.compare(head.size(), hop.size(), hop) == 0 &&
             line.size() >= 48 + rest.size() && line.compare(48, rest.size(), rest) == 0;
    });
    EXPECT_TRUE(found) << head << hop << "..." << rest << " missing from\n" << list.Text();
    ++checked;
  }
  EXPECT_GE(checked, 2);  // the default route and the link's network
  EXPECT_EQ(IpAddrToStr(gateway_, false), "10.77.0.1");
}

TEST_F(RealTablesTest, ArpCacheHoldsTheGatewayOnceReached) {
  EchoGateway();
  StringList list;
  ListArpCache(&list);
  std::istringstream arp(LinuxFile("/proc/net/arp"));
  std::string line;
  std::getline(arp, line);  // heading
  int complete = 0;
  while (std::getline(arp, line)) {
    std::istringstream fields(line);
    std::string ip, hwType, flags, hw, mask, device;
    if (!(fields >> ip >> hwType >> flags >> hw >> mask >> device) || device != link_ || !(Hex(flags) & 0x2)) continue;
    unsigned b[4] = {};
    ASSERT_EQ(std::sscanf(ip.c_str(), "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]), 4);
    const std::string want = FormatLine("%8x | %12s | %16s| ", linkIndex_, MacText(hw),
                                        Padded(b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24)));
    EXPECT_TRUE(std::any_of(list.Items().begin(), list.Items().end(),
                            [&](const std::string& l) { return l.compare(0, want.size(), want) == 0; }))
        << want << " missing from\n"
        << list.Text();
    ++complete;
  }
  EXPECT_GE(complete, 1) << "the gateway's entry is not in /proc/net/arp";
}

TEST_F(RealTablesTest, InterfacesWithAHardwareAddressOnly) {
  StringList list;
  ListIfRows(&list);
  const int mtu = std::stoi(FirstLine(LinuxFile("/sys/class/net/" + link_ + "/mtu")));
  const std::string want = FormatLine("%9s |%16s |%6d |", "Ethernet", mac_, mtu);
  EXPECT_TRUE(std::any_of(list.Items().begin(), list.Items().end(),
                          [&](const std::string& l) { return l.compare(0, want.size(), want) == 0; }))
      << want << " missing from\n"
      << list.Text();
  // The loopback is in the table, never on the page.
  ASSERT_TRUE(std::any_of(interfaces_.begin(), interfaces_.end(),
                          [](const MIB_IFROW& row) { return row.dwType == IF_TYPE_SOFTWARE_LOOPBACK; }));
  for (const std::string& l : list.Items()) EXPECT_NE(l.compare(0, 10, " Loopback "), 0) << l;
}

TEST_F(RealTablesTest, CountersAreTheKernels) {
  EchoGateway();
  const Snmp before = KernelCounters();
  StringList tcp, ip, udp, received, sent;
  ListTcpStats(&tcp);
  ListIpStats(&ip);
  ListUdpStats(&udp);
  ListIcmpStats(&received, &sent);
  const Snmp after = KernelCounters();
  ASSERT_EQ(tcp.Count(), 15) << tcp.Text();
  ASSERT_EQ(ip.Count(), 22) << ip.Text();
  ASSERT_EQ(udp.Count(), 5) << udp.Text();
  ASSERT_EQ(received.Count(), 13) << received.Text();
  ASSERT_EQ(sent.Count(), 13) << sent.Text();

  // Counters move while we read them: each lies between the two readings.
  const auto between = [&](long long shown, const std::string& name) {
    EXPECT_LE(before.at(name), shown) << name;
    EXPECT_LE(shown, after.at(name)) << name;
  };
  between(NumberOf(ip, "Datagrams Received      : "), "Ip.InReceives");
  between(NumberOf(ip, "Requests Out            : "), "Ip.OutRequests");
  between(NumberOf(received, "Messages received    : "), "Icmp.InMsgs");
  between(NumberOf(sent, "Messages sent        : "), "Icmp.OutMsgs");
  between(NumberOf(udp, "Datagrams (Out)   : "), "Udp.OutDatagrams");
  EXPECT_GE(NumberOf(received, "Echo Replies         : "), 1);

  // Settings do not move.
  EXPECT_EQ(NumberOf(ip, "Default TTL             : "), after.at("Ip.DefaultTTL"));
  EXPECT_EQ(ValueOf(ip, "Forwarding Enabled      : "), after.at("Ip.Forwarding") == 1 ? "Yes" : "No");
  EXPECT_EQ(ValueOf(tcp, "Retransmission algorithm :"),
            TcpRtoAlgorithmNames[static_cast<DWORD>(after.at("Tcp.RtoAlgorithm"))]);
  EXPECT_EQ(ValueOf(tcp, "Minimum Time-Out         :"), std::to_string(after.at("Tcp.RtoMin")) + " ms");
  // The kernel's "no fixed limit" (-1) is a counter with all bits set.
  EXPECT_EQ(ValueOf(tcp, "Maximum Pend.Connections :"), std::to_string(static_cast<DWORD>(after.at("Tcp.MaxConn"))));
}
