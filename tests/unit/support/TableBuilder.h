// The one builder of the platform's table buffers: every structure the
// system's network library hands back (parameters, adapter lists, the
// address, interface, ARP, route and connection tables), laid out in the
// caller's buffer as the library lays it out, so the readers run their real
// code on them.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Places structures one after another in a buffer, zero-filled and aligned.
class Arena {
 public:
  Arena(BYTE* base, std::size_t capacity) : base_(base), capacity_(capacity) {}

  void* Bytes(std::size_t size, std::size_t align = 8);
  template <class T>
  T* New() {
    return static_cast<T*>(Bytes(sizeof(T), alignof(T)));
  }
  wchar_t* Wide(const std::wstring& text);
  char* Ansi(const std::string& text);
  // An IPv4 socket address ("10.77.0.2") as the adapter-addresses lists hold
  // it; IPv6 text ("fd00:77::2", "fe80::1%3" with its scope id) gives an
  // IPv6 socket address.
  SOCKET_ADDRESS Inet(const char* dotted);
  std::size_t Used() const { return used_; }
  BYTE* Base() const { return base_; }

 private:
  BYTE* base_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

DWORD Ip(const char* dotted);  // network byte order, as the tables store it
// IPv6 text ("fd00:77::2", "fe80::1%3") as its 16 bytes; its scope id, 0
// when it has none.
DWORD Ip6(const char* text, UCHAR (&bytes)[16]);

// The size a builder needs, found by running it on scratch memory.
std::size_t Measure(const std::function<void(Arena&)>& build);

// ---- Parameters and adapters

void BuildFixedInfo(Arena& a, const char* host, const char* domain, UINT nodeType, UINT routing, UINT proxy, UINT dns,
                    const std::vector<std::string>& dnsServers);

struct ClassicAdapter {
  std::string name = "{11111111-2222-3333-4444-555555555555}";
  std::string description = "Fake Ethernet Adapter";
  std::vector<BYTE> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  DWORD index = 11;
  UINT type = MIB_IF_TYPE_ETHERNET;
  UINT dhcp = 1;
  std::vector<std::pair<std::string, std::string>> addresses = {{"192.168.1.10", "255.255.255.0"}};
  std::vector<std::string> gateways = {"192.168.1.1"};
  std::vector<std::string> dhcpServers = {"192.168.1.1"};
  std::vector<std::string> primaryWins = {""};
  std::vector<std::string> secondaryWins = {""};
};
void BuildAdaptersInfo(Arena& a, const std::vector<ClassicAdapter>& adapters);
void BuildPerAdapterInfo(Arena& a, UINT autoconfigEnabled, const std::vector<std::string>& dnsServers);

struct ExtendedAdapter {
  bool longRecord = true;
  std::string name = "{AAAAAAAA-2222-3333-4444-555555555555}";
  std::wstring description = L"Fake Wireless Adapter";
  std::wstring friendlyName = L"Wi-Fi";
  std::vector<BYTE> mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  DWORD index = 7;
  DWORD type = IF_TYPE_IEEE80211;
  ULONG flags = IP_ADAPTER_DHCP_ENABLED;
  ULONG mtu = 1500;
  IF_OPER_STATUS operStatus = IfOperStatusUp;
  std::vector<std::string> unicast = {"10.0.0.5"};
  std::vector<UINT8> onLinkPrefixes;  // per address, as newer systems give them (0: none)
  bool oldUnicastEntries = false;     // entries of the oldest systems, without a prefix length
  std::vector<std::pair<std::string, ULONG>> prefixes = {{"10.0.0.0", 24}};
  std::vector<std::string> dnsServers = {"10.0.0.53"};
  std::vector<std::string> gateways = {"10.0.0.1"};
  std::vector<std::string> wins;
  ULONG64 linkSpeed = 54000000;
};
void BuildAdaptersAddresses(Arena& a, const std::vector<ExtendedAdapter>& adapters);

// ---- Address, interface, ARP and route tables

void BuildIpAddrTable(Arena& a, const std::vector<MIB_IPADDRROW>& rows);
MIB_IPADDRROW AddrRow(DWORD index, const char* address, const char* mask);
void BuildIfTable(Arena& a, const std::vector<MIB_IFROW>& rows);
MIB_IFROW IfRow(DWORD index, DWORD type, const std::vector<BYTE>& mac, const char* description);

void BuildIpNetTable(Arena& a, const std::vector<MIB_IPNETROW>& rows);
MIB_IPNETROW NetRow(DWORD index, const std::vector<BYTE>& mac, const char* address, DWORD type);

void BuildIpForwardTable(Arena& a, const std::vector<MIB_IPFORWARDROW>& rows);
MIB_IPFORWARDROW Route(const char* destination, const char* mask, const char* nextHop, DWORD ifIndex, DWORD type,
                       DWORD proto, DWORD nextHopAs, DWORD metric1);

// ---- Connection tables of the three generations

// One connection as a test describes it; ports in host order.
struct Conn {
  DWORD state = MIB_TCP_STATE_ESTAB;
  const char* local = "10.77.0.2";
  DWORD localPort = 1025;
  const char* remote = "10.77.1.1";
  DWORD remotePort = 80;
  DWORD pid = 0;
  int64_t created = 0;  // 100-ns ticks since 1601, UTC
};

// A port as a table field: network order in the low two bytes, and bytes in
// the upper half that are not part of it (the platform leaves them as they
// happen to be).
DWORD PortField(DWORD port);

// The rows of a connection table as each generation lays them out; every
// count claims extraRowsClaimed rows more than the table holds.
void BuildTcpOwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
void BuildUdpOwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
void BuildPlainTcp(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
void BuildPlainUdp(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
// The values of one row of the allocate-and-get tables, in their order.
std::vector<DWORD> AllocatedTcpRow(const Conn& c);
std::vector<DWORD> AllocatedUdpRow(const Conn& c);

// 100-ns ticks of a UTC time, as a row's creation time stamp.
int64_t Ticks(int year, int month, int day, int hour, int minute, int second);

// ---- IPv6 tables (the connection rows take Conn's addresses as IPv6 text)

void BuildTcp6OwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
void BuildUdp6OwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed = 0);
MIB_IPFORWARD_ROW2 Route6(const char* destination, UINT8 prefixLength, const char* nextHop, DWORD ifIndex, ULONG metric,
                          NL_ROUTE_PROTOCOL protocol);
MIB_IPNET_ROW2 Neighbour6(DWORD ifIndex, const std::vector<BYTE>& mac, const char* address, NL_NEIGHBOR_STATE state,
                          bool router);
