// The IPv6 readers: addresses through the adapter-addresses query (read the
// way every table is, see ReadTable), routes and neighbours through the
// tables the library allocates itself, and the counters of the family.
#include "netdata/IPv6.h"

#include <cstring>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/TextForms.h"

namespace {

constexpr std::size_t kShortRecordSize = sizeof(IP_ADAPTER_ADDRESSES_XP);
constexpr std::size_t kUnicastEntrySize = sizeof(IP_ADAPTER_UNICAST_ADDRESS_XP);
constexpr std::size_t kUnicastWithPrefixSize = offsetof(IP_ADAPTER_UNICAST_ADDRESS_LH, OnLinkPrefixLength) +
                                               sizeof(IP_ADAPTER_UNICAST_ADDRESS_LH::OnLinkPrefixLength);

// The adapter-addresses record with the gateway list (Vista and later).
constexpr std::size_t kLongFieldsEnd =
    offsetof(IP_ADAPTER_ADDRESSES_LH, FirstGatewayAddress) + sizeof(IP_ADAPTER_ADDRESSES_LH::FirstGatewayAddress);

using Bytes16 = uint8_t[16];

// The text of an IPv6 socket address inside the buffer; false for anything
// else (an entry of another family, or one that leaves the buffer).
bool Ip6SockAddr(const TTableBuffer& buffer, const SOCKET_ADDRESS& address, sockaddr_in6& out) {
  if (address.iSockaddrLength < static_cast<int>(sizeof(sockaddr_in6)) ||
      !buffer.Holds(address.lpSockaddr, sizeof(sockaddr_in6)))
    return false;
  std::memcpy(&out, address.lpSockaddr, sizeof(out));
  return out.sin6_family == AF_INET6;
}

std::string Text(const IN6_ADDR& address, uint32_t scope = 0) {
  Bytes16 bytes;
  std::memcpy(bytes, &address, sizeof(bytes));
  return Ip6AddrToStr(bytes, scope);
}

// A table the library allocates and the caller hands back with FreeMibTable.
template <class Table>
class MibTable {
 public:
  ~MibTable() {
    if (table_) Sys.FreeMibTable(table_);
  }
  Table** Out() { return &table_; }
  const Table* get() const { return table_; }

 private:
  Table* table_ = nullptr;  // owned
};

// Reads one of the library's allocated tables of the IPv6 family and makes
// a record of each row.
template <class Table, class Get, class Row, class Convert>
DWORD ReadMibTable(Get get, std::vector<Row>& rows, Convert convert) {
  rows.clear();
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !get || !Sys.FreeMibTable) return ERROR_NOT_SUPPORTED;
  MibTable<Table> table;
  const DWORD result = get(AF_INET6, table.Out());
  // "Not found" is how the table says it is empty.
  if (result == ERROR_NOT_FOUND) return NO_ERROR;
  if (result != NO_ERROR) return result;
  if (!table.get()) return NO_ERROR;
  for (ULONG i = 0; i < table.get()->NumEntries; ++i) {
    rows.push_back(convert(table.get()->Table[i]));
  }
  return NO_ERROR;
}

template <class Record>
DWORD ReadCounters(ULONG(WINAPI* query)(Record*, ULONG), Record& stats) {
  stats = Record{};
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !query) return ERROR_NOT_SUPPORTED;
  return query(&stats, AF_INET6);
}

}  // namespace

DWORD ReadIp6Addresses(std::vector<TIp6Address>& rows, std::vector<TIp6Address>* gateways) {
  rows.clear();
  if (gateways) gateways->clear();
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetAdaptersAddresses) return ERROR_NOT_SUPPORTED;
  static TTableSize known;
  const TTableRead read = ReadTable(known, ERROR_BUFFER_OVERFLOW, [](void* buffer, ULONG* size) {
    // Newer systems fill the gateway list of the long record only when asked.
    const ULONG flags =
        GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER | GAA_FLAG_INCLUDE_GATEWAYS;
    return Sys.GetAdaptersAddresses(AF_INET6, flags, nullptr, static_cast<IP_ADAPTER_ADDRESSES*>(buffer), size);
  });
  if (read.result == ERROR_NO_DATA) return NO_ERROR;  // no adapter has an IPv6 address
  if (!read.buffer) return read.result;
  const TTableBuffer& buffer = *read.buffer;
  const bool givesPrefixLengths = SystemGivesPrefixLengths();
  std::size_t adapters = buffer.Size() / kShortRecordSize;
  for (const IP_ADAPTER_ADDRESSES* a = buffer.As<IP_ADAPTER_ADDRESSES>();
       a && adapters > 0 && buffer.Holds(a, kShortRecordSize) && a->Length >= kShortRecordSize;
       a = a->Next, --adapters) {
    std::wstring name;
    if (buffer.Holds(a->FriendlyName, sizeof(WCHAR))) {
      const std::size_t room =
          (buffer.Data() + buffer.Size() - reinterpret_cast<const BYTE*>(a->FriendlyName)) / sizeof(WCHAR);
      for (std::size_t n = 0; n < room && a->FriendlyName[n] != 0; ++n) name += a->FriendlyName[n];
    }
    const std::string mac = MacAddrToStr(a->PhysicalAddress, a->PhysicalAddressLength);
    if (gateways && a->Length >= kLongFieldsEnd && buffer.Holds(a, kLongFieldsEnd)) {
      std::size_t limit = buffer.Size() / sizeof(IP_ADAPTER_GATEWAY_ADDRESS_LH);
      for (const IP_ADAPTER_GATEWAY_ADDRESS_LH* g = a->FirstGatewayAddress;
           g && limit > 0 && buffer.Holds(g, sizeof(*g)) && g->Length >= sizeof(*g); g = g->Next, --limit) {
        sockaddr_in6 address;
        if (!Ip6SockAddr(buffer, g->Address, address)) continue;
        TIp6Address gateway;
        gateway.IfIndex = a->Ipv6IfIndex;
        gateway.Address = Text(address.sin6_addr, address.sin6_scope_id);
        Bytes16 bytes;
        std::memcpy(bytes, &address.sin6_addr, sizeof(bytes));
        gateway.Kind = Ip6AddrKind(bytes);
        gateway.MacAddress = mac;
        gateways->push_back(std::move(gateway));
      }
    }
    std::size_t entries = buffer.Size() / kUnicastEntrySize;
    for (const IP_ADAPTER_UNICAST_ADDRESS* e = a->FirstUnicastAddress;
         e && entries > 0 && buffer.Holds(e, kUnicastEntrySize) && e->Length >= kUnicastEntrySize;
         e = e->Next, --entries) {
      sockaddr_in6 address;
      if (!Ip6SockAddr(buffer, e->Address, address)) continue;
      TIp6Address row;
      row.IfIndex = a->Ipv6IfIndex;
      row.Adapter = WideToAnsi(name);
      row.Address = Text(address.sin6_addr, address.sin6_scope_id);
      Bytes16 bytes;
      std::memcpy(bytes, &address.sin6_addr, sizeof(bytes));
      row.Kind = Ip6AddrKind(bytes);
      row.MacAddress = mac;
      if (givesPrefixLengths && e->Length >= kUnicastWithPrefixSize && buffer.Holds(e, kUnicastWithPrefixSize) &&
          e->OnLinkPrefixLength <= 128)
        row.PrefixLength = e->OnLinkPrefixLength;
      rows.push_back(std::move(row));
    }
  }
  return NO_ERROR;
}

DWORD ReadIp6Routes(std::vector<TIp6Route>& rows) {
  return ReadMibTable<MIB_IPFORWARD_TABLE2>(Sys.GetIpForwardTable2, rows, [](const MIB_IPFORWARD_ROW2& r) {
    TIp6Route route;
    route.Destination = Text(r.DestinationPrefix.Prefix.Ipv6.sin6_addr);
    route.PrefixLength = r.DestinationPrefix.PrefixLength;
    route.NextHop = Text(r.NextHop.Ipv6.sin6_addr, r.NextHop.Ipv6.sin6_scope_id);
    route.IfIndex = r.InterfaceIndex;
    route.Metric = r.Metric;
    route.Protocol = static_cast<DWORD>(r.Protocol);
    return route;
  });
}

DWORD ReadIp6Neighbours(std::vector<TIp6Neighbour>& rows) {
  return ReadMibTable<MIB_IPNET_TABLE2>(Sys.GetIpNetTable2, rows, [](const MIB_IPNET_ROW2& r) {
    TIp6Neighbour n;
    n.IfIndex = r.InterfaceIndex;
    n.Address = Text(r.Address.Ipv6.sin6_addr, r.Address.Ipv6.sin6_scope_id);
    uint8_t mac[8] = {};
    const ULONG length = r.PhysicalAddressLength < sizeof(mac) ? r.PhysicalAddressLength : sizeof(mac);
    std::memcpy(mac, r.PhysicalAddress, length);
    if (length > 0) n.MacAddress = MacAddrToStr(mac, length);
    n.State = static_cast<DWORD>(r.State);
    n.IsRouter = r.IsRouter;
    return n;
  });
}

DWORD ReadIp6Stats(MIB_IPSTATS& stats) { return ReadCounters(Sys.GetIpStatisticsEx, stats); }
DWORD ReadIcmp6Stats(MIB_ICMP_EX& stats) { return ReadCounters(Sys.GetIcmpStatisticsEx, stats); }
DWORD ReadTcp6Stats(MIB_TCPSTATS& stats) { return ReadCounters(Sys.GetTcpStatisticsEx, stats); }
DWORD ReadUdp6Stats(MIB_UDPSTATS& stats) { return ReadCounters(Sys.GetUdpStatisticsEx, stats); }

TIp6Facts ReadIp6Facts(const std::string& mac) {
  TIp6Facts facts;
  std::vector<TIp6Address> addresses, gateways;
  facts.result = ReadIp6Addresses(addresses, &gateways);
  for (const TIp6Address& a : addresses)
    if (a.MacAddress == mac && a.Kind == "global" && facts.GlobalAddress.empty()) facts.GlobalAddress = a.Address;
  for (const TIp6Address& g : gateways)
    if (g.MacAddress == mac && facts.DefaultGateway.empty()) facts.DefaultGateway = g.Address;
  return facts;
}
