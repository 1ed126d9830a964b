// The IPv6 parts of the pages against the platform's real IP Helper, inside
// the test network, whose client has fd00:77::2/64 on its link and an IPv6
// default route via fd00:77::1. What the pages must show is read from the
// kernel's own view of the client namespace (the files `ss -6`, `ip -6 addr`
// and `ip -6 route` read their answers from, and /proc/net/snmp6), which
// Wine shows as drive Z:. These tests need that network: outside it they fail.
#include <gtest/gtest.h>

#include "support/TestNetwork.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "monitor/Connections.h"
#include "monitor/Ipv6Tables.h"
#include "monitor/Statistics.h"
#include "netdata/IPHelper.h"
#include "support/FakeMachine.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/NameTables.h"
#include "text/TextForms.h"

namespace {

// 32 hexadecimal digits as 16 bytes; words32: the digits come as four
// 32-bit words in the kernel's byte order (the socket tables), not in
// network order (the address and route tables).
std::string KernelAddress(const std::string& hex, bool words32, uint32_t scope = 0) {
  uint8_t bytes[16] = {};
  for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16));
  if (words32)
    for (int w = 0; w < 4; ++w) std::reverse(bytes + 4 * w, bytes + 4 * w + 4);
  return Ip6AddrToStr(bytes, scope);
}

std::vector<std::vector<std::string>> Rows(const std::string& path, bool heading) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream text(LinuxFile(path));
  std::string line;
  if (heading) std::getline(text, line);
  while (std::getline(text, line)) {
    std::istringstream fields(line);
    std::vector<std::string> row;
    for (std::string f; fields >> f;) row.push_back(f);
    if (!row.empty()) rows.push_back(row);
  }
  return rows;
}

bool Has(const StringList& page, const std::string& part) {
  return std::any_of(page.Items().begin(), page.Items().end(),
                     [&](const std::string& line) { return line.find(part) != std::string::npos; });
}

std::map<std::string, long long> Snmp6() {
  std::map<std::string, long long> counters;
  for (const auto& row : Rows("/proc/net/snmp6", false))
    if (row.size() == 2) counters[row[0]] = std::stoll(row[1]);
  return counters;
}

// A port between host and network order.
int Swap(int port) { return ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }
u_short Swap(u_short port) { return static_cast<u_short>(Swap(static_cast<int>(port))); }

template <class Fn>
Fn Entry(HMODULE library, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

// IPv6 sockets of this process: a TCP listener on the client's address, a
// connection to it, and a UDP socket bound beside it. Winsock is bound from
// the system directory, as the program binds its libraries. Wine finds a
// socket's owner by the Unix descriptors a process holds, so each socket's
// descriptor is asked for once (nothing of the kind is needed on Windows).
class Ipv6Sockets {
 public:
  Ipv6Sockets() : ws2_(LoadSystemLibrary("ws2_32.dll")) {
    if (!ws2_) return;
    WSADATA data;
    if (Entry<decltype(&::WSAStartup)>(ws2_, "WSAStartup")(MAKEWORD(2, 2), &data) != 0) return;
    started_ = true;
    socket_ = Entry<decltype(&::socket)>(ws2_, "socket");
    close_ = Entry<decltype(&::closesocket)>(ws2_, "closesocket");
    const auto bind = Entry<decltype(&::bind)>(ws2_, "bind");
    const auto listen = Entry<decltype(&::listen)>(ws2_, "listen");
    const auto connect = Entry<decltype(&::connect)>(ws2_, "connect");
    const auto name = Entry<decltype(&::getsockname)>(ws2_, "getsockname");
    const auto sendto = Entry<decltype(&::sendto)>(ws2_, "sendto");
    sockaddr_in6 address = Client(0);
    int length = sizeof(address);
    listener_ = Open(SOCK_STREAM, IPPROTO_TCP);
    if (bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listener_, 4) != 0 ||
        name(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    tcpPort = Swap(address.sin6_port);
    client_ = Open(SOCK_STREAM, IPPROTO_TCP);
    if (connect(client_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
    connected = true;
    address = Client(0);
    length = sizeof(address);
    udp_ = Open(SOCK_DGRAM, IPPROTO_UDP);
    if (bind(udp_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        name(udp_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      return;
    udpPort = Swap(address.sin6_port);
    // One datagram to a closed port of the gateway: its "port unreachable"
    // moves the ICMPv6 counters of both sides.
    sockaddr_in6 gateway = Client(9);
    gateway.sin6_addr.s6_addr[15] = 1;  // fd00:77::1
    sendto(udp_, "x", 1, 0, reinterpret_cast<sockaddr*>(&gateway), sizeof(gateway));
    for (SOCKET s : {listener_, client_, udp_}) HoldOwnDescriptor(s);
  }
  ~Ipv6Sockets() {
    for (SOCKET s : {client_, listener_, udp_})
      if (s != INVALID_SOCKET) close_(s);
    if (started_) Entry<decltype(&::WSACleanup)>(ws2_, "WSACleanup")();
    if (ws2_) FreeLibrary(ws2_);
  }
  Ipv6Sockets(const Ipv6Sockets&) = delete;
  Ipv6Sockets& operator=(const Ipv6Sockets&) = delete;

  int tcpPort = 0;
  int udpPort = 0;
  bool connected = false;

 private:
  static sockaddr_in6 Client(int port) {
    sockaddr_in6 address{};
    address.sin6_family = AF_INET6;
    address.sin6_port = Swap(static_cast<u_short>(port));
    const uint8_t fd00_77_2[16] = {0xfd, 0x00, 0x00, 0x77, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2};
    std::copy(fd00_77_2, fd00_77_2 + 16, address.sin6_addr.s6_addr);
    return address;
  }
  SOCKET Open(int type, int protocol) { return socket_(AF_INET6, type, protocol); }
  static void HoldOwnDescriptor(SOCKET s) {
    using HandleToFd = LONG(CDECL*)(HANDLE handle, unsigned int access, int* unixFd, unsigned int* options);
    const auto handleToFd = Entry<HandleToFd>(GetModuleHandleA("ntdll.dll"), "wine_server_handle_to_fd");
    int fd = -1;
    if (handleToFd && s != INVALID_SOCKET) handleToFd(reinterpret_cast<HANDLE>(s), FILE_READ_DATA, &fd, nullptr);
  }

  HMODULE ws2_;  // owned
  bool started_ = false;
  decltype(&::socket) socket_ = nullptr;
  decltype(&::closesocket) close_ = nullptr;
  SOCKET listener_ = INVALID_SOCKET;
  SOCKET client_ = INVALID_SOCKET;
  SOCKET udp_ = INVALID_SOCKET;
};

class RealIpv6Test : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InTestNetwork()) << "needs the test network (run through tools/testnet exec)";
    ASSERT_TRUE(BindSystemLibrary(SysLibrary::iphlpapi));
    bool clientAddress = false;
    for (const auto& row : Rows("/proc/net/if_inet6", false))
      if (row.size() == 6 && KernelAddress(row[0], false) == "fd00:77::2") clientAddress = true;
    ASSERT_TRUE(clientAddress) << "the test network's client has no fd00:77::2 (tools/testnet up)";
  }
  void TearDown() override { EXPECT_EQ(TTableBuffer::Live(), 0); }
};

}  // namespace

TEST_F(RealIpv6Test, EveryAddressOfTheKernelWithItsPrefixOnBothPages) {
  StringList addresses, adapters;
  ListIp6AddrTable(&addresses);
  ListIp6Adapters(&adapters);
  ASSERT_GT(addresses.Count(), 1) << addresses.Text();
  EXPECT_EQ(addresses[0], "IPv6:");
  int checked = 0;
  for (const auto& row : Rows("/proc/net/if_inet6", false)) {
    ASSERT_EQ(row.size(), 6u);
    const uint32_t index = static_cast<uint32_t>(std::stoul(row[1], nullptr, 16));
    const int prefix = std::stoi(row[2], nullptr, 16);
    const std::string text = KernelAddress(row[0], false, index) + "/" + std::to_string(prefix);
    uint8_t bytes[16] = {};
    for (int i = 0; i < 16; ++i) bytes[i] = static_cast<uint8_t>(std::stoul(row[0].substr(2 * i, 2), nullptr, 16));
    EXPECT_TRUE(Has(addresses, FormatLine("%-45s %s", text, Ip6AddrKind(bytes)))) << text << " missing from\n"
                                                                                  << addresses.Text();
    EXPECT_TRUE(Has(adapters, text + " (" + Ip6AddrKind(bytes) + ")")) << text << " missing from\n" << adapters.Text();
    ++checked;
  }
  EXPECT_GE(checked, 3);  // ::1, fd00:77::2 and the link-local address
  EXPECT_EQ(addresses.Count(), checked + 1) << addresses.Text();
}

TEST_F(RealIpv6Test, RoutesAsTheKernelHasThem) {
  StringList routes;
  ListIp6Routes(&routes);
  ASSERT_GE(routes.Count(), 1);
  // What the platform itself answers: some Wine versions give no IPv6
  // routes at all (an empty table), and the page must say just that.
  ASSERT_TRUE(Sys.GetIpForwardTable2 && Sys.FreeMibTable);
  MIB_IPFORWARD_TABLE2* table = nullptr;
  ASSERT_EQ(Sys.GetIpForwardTable2(AF_INET6, &table), 0u);
  const ULONG given = table ? table->NumEntries : 0;
  Sys.FreeMibTable(table);
  if (given == 0) {
    EXPECT_EQ(LinesOf(routes), std::vector<std::string>{"IPv6: no entries."});
    NoteBranch("RealIpv6Test.RoutesAsTheKernelHasThem",
               "this system's IPv6 route table is empty: the page says so; the kernel's routes are not compared");
    return;
  }
  NoteBranch("RealIpv6Test.RoutesAsTheKernelHasThem", "the system gives IPv6 routes: compared with the kernel's");
  int checked = 0;
  // The main table's routes of the link (`ip -6 route`): the default route
  // via the gateway and the link's two networks.
  for (const auto& row : Rows("/proc/net/ipv6_route", false)) {
    ASSERT_EQ(row.size(), 10u);
    const int length = std::stoi(row[1], nullptr, 16);
    const std::string destination = KernelAddress(row[0], false) + "/" + std::to_string(length);
    if (row[9] != "veth-velnor" || length == 128 || destination == "ff00::/8") continue;  // the local table's
    const std::string line = FormatLine("%-45s|%-40s|", destination, KernelAddress(row[4], false));
    EXPECT_TRUE(Has(routes, line)) << line << " missing from\n" << routes.Text();
    ++checked;
  }
  EXPECT_GE(checked, 3) << routes.Text();
  EXPECT_TRUE(Has(routes, FormatLine("%-45s|%-40s|", "::/0", "fd00:77::1"))) << routes.Text();
}

TEST_F(RealIpv6Test, ConnectionsAndListenersAsTheKernelHasThem) {
  Ipv6Sockets sockets;
  ASSERT_TRUE(sockets.connected) << "no IPv6 connection on fd00:77::2";
  ASSERT_NE(sockets.udpPort, 0);
  TProgramCache programs;
  StringList tcp, udp;
  ListTcp6Conns(&tcp, false, programs);
  ListUdp6Conns(&udp, false, programs);
  ASSERT_EQ(tcp[0], "IPv6:") << tcp.Text();

  // Every socket of the namespace (`ss -6 -tan`): local and remote end,
  // and its state; ports as the page writes them.
  const auto endpoint = [](const std::string& field) {
    const std::size_t colon = field.find(':');
    const uint32_t port = static_cast<uint32_t>(std::stoul(field.substr(colon + 1), nullptr, 16));
    std::string service = PortToServiceName(port);
    service.erase(0, service.find_first_not_of(' '));
    return "[" + KernelAddress(field.substr(0, colon), true) + "]:" + service;
  };
  // The kernel's TCP states, in its numbering, to the platform's names.
  const std::map<int, const char*> states = {{1, "established"}, {2, "syn_sent"},   {3, "syn_rcvd"}, {4, "fin_wait1"},
                                             {5, "fin_wait2"},   {6, "time_wait"},  {7, "closed"},   {8, "close_wait"},
                                             {9, "last_ack"},    {10, "listening"}, {11, "closing"}};
  int checked = 0;
  for (const auto& row : Rows("/proc/net/tcp6", true)) {
    const int state = std::stoi(row[3], nullptr, 16);
    const std::string remote = state == 10 ? "[::]:0" : endpoint(row[2]);
    const std::string line = FormatLine("%-30s|%-30s|%-12s|", endpoint(row[1]), remote, states.at(state));
    EXPECT_TRUE(Has(tcp, line)) << line << " missing from\n" << tcp.Text();
    ++checked;
  }
  EXPECT_GE(checked, 3);  // the listener and both ends of the connection
  // This process's own listener, with the process number the platform's
  // table gives it: this process's, where the platform knows the owner
  // (Wine 8 names no owner of an IPv6 TCP socket, only of IPv6 UDP ones).
  DWORD size = 0;
  Sys.GetExtendedTcpTable(nullptr, &size, FALSE, AF_INET6, TCP_TABLE_OWNER_MODULE_ALL, 0);
  std::vector<BYTE> buffer(size + 4096);
  size = static_cast<DWORD>(buffer.size());
  ASSERT_EQ(Sys.GetExtendedTcpTable(buffer.data(), &size, FALSE, AF_INET6, TCP_TABLE_OWNER_MODULE_ALL, 0), 0u);
  const auto* table = reinterpret_cast<const MIB_TCP6TABLE_OWNER_MODULE*>(buffer.data());
  DWORD owner = ~0u;
  for (DWORD i = 0; i < table->dwNumEntries; ++i) {
    if (table->table[i].dwState == MIB_TCP_STATE_LISTEN &&
        Swap(static_cast<int>(table->table[i].dwLocalPort & 0xFFFF)) == sockets.tcpPort)
      owner = table->table[i].dwOwningPid;
  }
  ASSERT_NE(owner, ~0u) << "the platform's table lacks the listener";
  if (owner != 0) {
    EXPECT_EQ(owner, GetCurrentProcessId());
  }
  const std::string own = FormatLine("%-30s|%-30s|%-12s|%6d|", "[fd00:77::2]:" + std::to_string(sockets.tcpPort),
                                     "[::]:0", "listening", owner);
  EXPECT_TRUE(Has(tcp, own)) << own << " missing from\n" << tcp.Text();

  checked = 0;
  for (const auto& row : Rows("/proc/net/udp6", true)) {
    EXPECT_TRUE(Has(udp, FormatLine("%-30s|", endpoint(row[1])))) << endpoint(row[1]) << " missing from\n"
                                                                  << udp.Text();
    ++checked;
  }
  EXPECT_GE(checked, 1);
  EXPECT_TRUE(
      Has(udp, FormatLine("%-30s| %8d|", "[fd00:77::2]:" + std::to_string(sockets.udpPort), GetCurrentProcessId())))
      << udp.Text();
}

TEST_F(RealIpv6Test, CountersAreTheKernels) {
  Ipv6Sockets traffic;  // a datagram out, an ICMPv6 error back
  Sleep(200);
  const auto before = Snmp6();
  StringList counters, received, sent;
  ListIp6Stats(&counters);
  ListIcmp6Stats(&received, &sent);
  const auto after = Snmp6();
  const auto value = [](const StringList& list, const std::string& caption, const std::string& label) {
    bool in = false;
    for (const std::string& line : list.Items()) {
      if (line.rfind(caption, 0) == 0)
        in = true;
      else if (in && line.rfind(label, 0) == 0)
        return std::stoll(line.substr(label.size()));
    }
    ADD_FAILURE() << label << " missing under " << caption << " in\n" << list.Text();
    return -1LL;
  };
  const auto between = [&](long long shown, const std::string& name) {
    EXPECT_LE(before.at(name), shown) << name;
    EXPECT_LE(shown, after.at(name)) << name;
  };
  between(value(counters, "IPv6 IP:", "Datagrams Received      : "), "Ip6InReceives");
  between(value(counters, "IPv6 IP:", "Requests Out            : "), "Ip6OutRequests");
  between(value(counters, "IPv6 UDP:", "Datagrams (In)    : "), "Udp6InDatagrams");
  between(value(counters, "IPv6 UDP:", "Datagrams (Out)   : "), "Udp6OutDatagrams");
  between(value(received, "ICMPv6:", "Messages received    : "), "Icmp6InMsgs");
  between(value(sent, "ICMPv6:", "Messages sent        : "), "Icmp6OutMsgs");
  between(value(received, "ICMPv6:", "Dest. Unreachable    : "), "Icmp6InDestUnreachs");
  EXPECT_GE(after.at("Icmp6InDestUnreachs"), 1);
  EXPECT_GE(value(counters, "IPv6 UDP:", "Datagrams (Out)   : "), 1);
}

TEST_F(RealIpv6Test, ANeighbourCacheTheSystemLacksIsOneLine) {
  StringList arp;
  ListIp6Neighbours(&arp);
  ASSERT_GE(arp.Count(), 1);
  if (arp[0] == "IPv6:") {
    // A system that has the table: the gateway, once reached, is in it.
    NoteBranch("RealIpv6Test.ANeighbourCacheTheSystemLacksIsOneLine", "the system has the table: the gateway is in it");
    EXPECT_TRUE(Has(arp, "fd00:77::1")) << arp.Text();
  } else {
    NoteBranch("RealIpv6Test.ANeighbourCacheTheSystemLacksIsOneLine", "the system lacks the table: one line says so");
    EXPECT_EQ(arp.Count(), 1) << arp.Text();
    EXPECT_EQ(arp[0].rfind("IPv6: ", 0), 0u) << arp.Text();
  }
}
