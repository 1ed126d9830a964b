// The readers against the real IP Helper of the platform, inside the test
// network (tools/testnet exec sets VELNOR_TESTNET=1; elsewhere these skip, and fail when the two disagree).
// What they must find is read from the kernel's own view of the client
// namespace, which Wine shows as drive Z:, not from fixed values.
#include <gtest/gtest.h>

#include "monitor/ConfigReports.h"
#include "support/TestNetwork.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "text/Lines.h"
#include "text/TextForms.h"

namespace {

DWORD Hex(const std::string& text) { return static_cast<DWORD>(std::stoul(text, nullptr, 16)); }

// The client's link as the kernel sees it.
struct KernelView {
  std::string iface;  // carries the default route
  std::string mac;    // "9E-A5-74-9B-EC-4D"
  DWORD address = 0;  // stored as the platform's tables store it
  DWORD mask = 0;
  DWORD gateway = 0;
  std::vector<std::string> nameServers;
};

KernelView ReadKernelView() {
  KernelView view;
  // /proc/net/route prints each address as the 32-bit word in memory, the
  // same order the platform's tables use.
  std::istringstream routes(LinuxFile("/proc/net/route"));
  std::string line;
  std::getline(routes, line);  // heading
  struct Route {
    std::string iface;
    DWORD destination, gateway, mask;
  };
  std::vector<Route> table;
  while (std::getline(routes, line)) {
    std::istringstream fields(line);
    std::string iface, destination, gateway, flags, refs, use, metric, mask;
    if (fields >> iface >> destination >> gateway >> flags >> refs >> use >> metric >> mask)
      table.push_back({iface, Hex(destination), Hex(gateway), Hex(mask)});
  }
  for (const Route& r : table) {
    if (r.destination == 0 && r.mask == 0) {
      view.iface = r.iface;
      view.gateway = r.gateway;
    }
  }
  // The link's own subnet, and the local address inside it.
  DWORD subnet = 0;
  for (const Route& r : table) {
    if (r.iface == view.iface && r.gateway == 0 && r.mask != 0) {
      subnet = r.destination;
      view.mask = r.mask;
    }
  }
  std::istringstream trie(LinuxFile("/proc/net/fib_trie"));
  std::string previous;
  while (std::getline(trie, line)) {
    if (line.find("/32 host LOCAL") != std::string::npos) {
      const std::string dotted = previous.substr(previous.find("-- ") + 3);
      unsigned b[4] = {};
      if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]) == 4) {
        const DWORD address = b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24);
        if (view.mask != 0 && (address & view.mask) == subnet) view.address = address;
      }
    }
    previous = line;
  }
  std::string mac = LinuxFile("/sys/class/net/" + view.iface + "/address");
  mac.erase(mac.find_last_not_of("\r\n") + 1);
  for (char& c : mac) c = c == ':' ? '-' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  view.mac = mac;
  std::istringstream resolv(LinuxFile("/etc/resolv.conf"));
  while (std::getline(resolv, line)) {
    std::istringstream fields(line);
    std::string key, value;
    if (fields >> key >> value && key == "nameserver") view.nameServers.push_back(value);
  }
  return view;
}

class RealNetworkTest : public testing::Test {
 protected:
  void SetUp() override {
    REQUIRE_TEST_NETWORK();
    view_ = ReadKernelView();
    ASSERT_FALSE(view_.iface.empty()) << "no default route in /proc/net/route";
    ASSERT_NE(view_.address, 0u) << "no local address on " << view_.iface;
    ASSERT_EQ(view_.mac.size(), 17u) << view_.mac;
    UseExtAdapterApi = false;
  }
  void TearDown() override {
    UseExtAdapterApi = false;
    EXPECT_EQ(TTableBuffer::Live(), 0);
  }

  std::string Plain(DWORD address) const { return IpAddrToStr(address, false); }
  std::string Padded(DWORD address) const { return IpAddrToStr(address, true); }

  KernelView view_;
};

std::vector<std::string> All(const StringList& list) { return list.Items(); }

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace

TEST_F(RealNetworkTest, InterfaceTableShowsTheLinkAndTheLoopback) {
  TAdapterInfo interfaces;
  ASSERT_TRUE(ReadAdapterInfo(interfaces));
  const auto link = std::find_if(interfaces.begin(), interfaces.end(),
                                 [&](const TAdapterInfoRec& r) { return r.MacAddress == view_.mac; });
  ASSERT_NE(link, interfaces.end()) << "no interface with hardware address " << view_.mac;
  EXPECT_EQ(link->IpAddress, Plain(view_.address));
  EXPECT_EQ(link->SubnetMask, Plain(view_.mask));
  EXPECT_EQ(IfTypeToStr(link->IfType), "Ethernet");

  const auto loopback =
      std::find_if(interfaces.begin(), interfaces.end(), [](const TAdapterInfoRec& r) { return r.IfType == 24; });
  ASSERT_NE(loopback, interfaces.end());
  EXPECT_EQ(loopback->MacAddress, "");
  EXPECT_EQ(loopback->IpAddress, "127.0.0.1");

  // The main window's road: interface record, then its gateway and DNS server.
  EXPECT_EQ(GatewayForMac(link->MacAddress), Plain(view_.gateway));
  EXPECT_EQ(GatewayForMac(loopback->MacAddress), "");
}

TEST_F(RealNetworkTest, ClassicAdapterQueryAndItsLists) {
  int count = 0;
  TAdaptorRows rows;
  ASSERT_EQ(ReadAdaptorRows(count, rows), 0u);
  const auto link =
      std::find_if(rows.begin(), rows.end(), [&](const TAdaptorInfo& r) { return r.MacAddress == view_.mac; });
  ASSERT_NE(link, rows.end()) << "no adapter with hardware address " << view_.mac;
  ASSERT_EQ(link->IpAddressCount, 1);
  EXPECT_EQ(link->IpAddresses[0], Plain(view_.address));
  EXPECT_EQ(link->IpMasks[0], Plain(view_.mask));
  EXPECT_EQ(link->Gateways[0], Plain(view_.gateway));

  StringList list;
  EXPECT_TRUE(FillAdapterList(&list));
  EXPECT_TRUE(Has(All(list), "Mac Address: " + view_.mac)) << list.Text();
  EXPECT_TRUE(Has(All(list), "Gateway: " + Plain(view_.gateway))) << list.Text();
  EXPECT_TRUE(Has(All(list), "1: IP Address(es): " + Plain(view_.address) + "/" + Plain(view_.mask) + " | "))
      << list.Text();
  EXPECT_EQ(GatewayForMac(view_.mac), Plain(view_.gateway));
  StringList report;
  ListAdaptorRows(&report);
  EXPECT_TRUE(Has(All(report), "1 IP Addresse(s): " + Plain(view_.address) + "/" + Plain(view_.mask) + " | "))
      << report.Text();
}

TEST_F(RealNetworkTest, ExtendedAdapterQuery) {
  UseExtAdapterApi = true;
  int count = 0;
  TAdaptorRows rows;
  ASSERT_EQ(ReadAdaptorRows(count, rows), 0u);
  const auto link =
      std::find_if(rows.begin(), rows.end(), [&](const TAdaptorInfo& r) { return r.MacAddress == view_.mac; });
  ASSERT_NE(link, rows.end()) << "no adapter with hardware address " << view_.mac;
  ASSERT_GE(link->IpAddressCount, 1);
  EXPECT_EQ(link->IpAddresses[0], Padded(view_.address));
  EXPECT_EQ(link->CurrentIpMask, Padded(view_.mask));
  EXPECT_EQ(link->Gateways[0], Padded(view_.gateway));
  EXPECT_EQ(GatewayForMac(view_.mac), Padded(view_.gateway));
}

TEST_F(RealNetworkTest, AddressTableLists) {
  StringList list;
  EXPECT_TRUE(FillIpAddressList(&list));
  const std::string tail = ": " + Padded(view_.address) + ", Subnet mask: " + Padded(view_.mask);
  EXPECT_TRUE(std::any_of(list.Items().begin(), list.Items().end(), [&](const std::string& line) {
    return line.size() > tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
  })) << list.Text();
  StringList report;
  ListIpAddrTable(&report);
  EXPECT_TRUE(std::any_of(report.Items().begin(), report.Items().end(), [&](const std::string& line) {
    return line.find("|" + Padded(view_.address) + "|" + Padded(view_.mask) + "|") == 8;
  })) << report.Text();
}

TEST_F(RealNetworkTest, NetworkParameters) {
  TNetworkParams params;
  ASSERT_EQ(ReadNetworkParams(params), 0u);
  std::string host = LinuxFile("/proc/sys/kernel/hostname");
  host.erase(host.find_last_not_of("\r\n") + 1);
  EXPECT_EQ(params.HostName, host);
  ASSERT_FALSE(view_.nameServers.empty());
  ASSERT_GE(params.DnsServerCount, 1);
  EXPECT_EQ(params.DnsServers[0], view_.nameServers[0]);
  StringList list;
  EXPECT_TRUE(FillNetworkParamsList(&list));
  EXPECT_TRUE(Has(All(list), "DNS Server Address [1]: " + view_.nameServers[0])) << list.Text();
}
