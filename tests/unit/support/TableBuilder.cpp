#include "support/TableBuilder.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

void* Arena::Bytes(std::size_t size, std::size_t align) {
  if (align < 8) align = 8;
  used_ = (used_ + align - 1) / align * align;
  if (used_ + size > capacity_) throw std::length_error("fake table does not fit its buffer");
  void* p = base_ + used_;
  std::memset(p, 0, size);
  used_ += size;
  return p;
}

wchar_t* Arena::Wide(const std::wstring& text) {
  auto* p = static_cast<wchar_t*>(Bytes((text.size() + 1) * sizeof(wchar_t)));
  std::memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  return p;
}

char* Arena::Ansi(const std::string& text) {
  auto* p = static_cast<char*>(Bytes(text.size() + 1));
  std::memcpy(p, text.c_str(), text.size() + 1);
  return p;
}

SOCKET_ADDRESS Arena::Inet(const char* dotted) {
  if (std::strchr(dotted, ':')) {
    auto* in6 = New<sockaddr_in6>();
    in6->sin6_family = AF_INET6;
    UCHAR bytes[16];
    in6->sin6_scope_id = Ip6(dotted, bytes);
    std::memcpy(&in6->sin6_addr, bytes, sizeof(bytes));
    SOCKET_ADDRESS address;
    address.lpSockaddr = reinterpret_cast<LPSOCKADDR>(in6);
    address.iSockaddrLength = sizeof(sockaddr_in6);
    return address;
  }
  auto* in = New<sockaddr_in>();
  in->sin_family = AF_INET;
  in->sin_addr.s_addr = Ip(dotted);
  SOCKET_ADDRESS address;
  address.lpSockaddr = reinterpret_cast<LPSOCKADDR>(in);
  address.iSockaddrLength = sizeof(sockaddr_in);
  return address;
}

DWORD Ip(const char* dotted) {
  unsigned b[4] = {};
  if (std::sscanf(dotted, "%u.%u.%u.%u", &b[0], &b[1], &b[2], &b[3]) != 4) throw std::invalid_argument(dotted);
  return b[0] | (b[1] << 8) | (b[2] << 16) | (b[3] << 24);
}

DWORD Ip6(const char* text, UCHAR (&bytes)[16]) {
  std::string address = text;
  DWORD scope = 0;
  const std::size_t percent = address.find('%');
  if (percent != std::string::npos) {
    scope = static_cast<DWORD>(std::stoul(address.substr(percent + 1)));
    address.resize(percent);
  }
  // The groups before and after "::", each side in order.
  const auto groupsOf = [&](const std::string& part) {
    std::vector<unsigned> groups;
    std::size_t at = 0;
    while (at < part.size()) {
      const std::size_t end = std::min(part.find(':', at), part.size());
      groups.push_back(static_cast<unsigned>(std::stoul(part.substr(at, end - at), nullptr, 16)));
      at = end + 1;
    }
    return groups;
  };
  const std::size_t gap = address.find("::");
  std::vector<unsigned> head = groupsOf(gap == std::string::npos ? address : address.substr(0, gap));
  const std::vector<unsigned> tail =
      gap == std::string::npos ? std::vector<unsigned>() : groupsOf(address.substr(gap + 2));
  if (head.size() + tail.size() > 8 || (gap == std::string::npos && head.size() != 8))
    throw std::invalid_argument(text);
  head.resize(8 - tail.size(), 0);
  head.insert(head.end(), tail.begin(), tail.end());
  for (int i = 0; i < 8; ++i) {
    bytes[2 * i] = static_cast<UCHAR>(head[i] >> 8);
    bytes[2 * i + 1] = static_cast<UCHAR>(head[i]);
  }
  return scope;
}

// The size a builder needs, found by running it on scratch memory.
std::size_t Measure(const std::function<void(Arena&)>& build) {
  std::vector<BYTE> scratch(1 << 20);
  Arena measure(scratch.data(), scratch.size());
  build(measure);
  return measure.Used();
}

namespace {

template <std::size_t N>
void Copy(char (&field)[N], const std::string& text) {
  std::strncpy(field, text.c_str(), N - 1);
}

// A classic address list: the first entry is the one held in the record.
void FillAddrStrings(Arena& a, IP_ADDR_STRING& first, const std::vector<std::pair<std::string, std::string>>& entries) {
  IP_ADDR_STRING* previous = nullptr;
  for (const auto& e : entries) {
    IP_ADDR_STRING* entry = previous ? a.New<IP_ADDR_STRING>() : &first;
    Copy(entry->IpAddress.String, e.first);
    Copy(entry->IpMask.String, e.second);
    if (previous) previous->Next = entry;
    previous = entry;
  }
}

void FillAddrStrings(Arena& a, IP_ADDR_STRING& first, const std::vector<std::string>& texts) {
  std::vector<std::pair<std::string, std::string>> entries;
  for (const auto& t : texts) entries.emplace_back(t, "");
  FillAddrStrings(a, first, entries);
}

// A list of the adapter-addresses record, each entry stating its own size.
template <class Entry, class Fill>
Entry* Chain(Arena& a, std::size_t count, Fill fill) {
  Entry* first = nullptr;
  Entry* previous = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    Entry* entry = a.New<Entry>();
    entry->Length = sizeof(Entry);
    fill(*entry, i);
    (previous ? previous->Next : first) = entry;
    previous = entry;
  }
  return first;
}

template <class Entry>
Entry* AddressChain(Arena& a, const std::vector<std::string>& texts) {
  return Chain<Entry>(a, texts.size(), [&](Entry& e, std::size_t i) { e.Address = a.Inet(texts[i].c_str()); });
}

template <class Table, class Row>
void BuildTable(Arena& a, const std::vector<Row>& rows) {
  auto* table = static_cast<Table*>(a.Bytes(offsetof(Table, table) + rows.size() * sizeof(Row), alignof(Table)));
  table->dwNumEntries = static_cast<DWORD>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) table->table[i] = rows[i];
}

LARGE_INTEGER Stamp(int64_t ticks) {
  LARGE_INTEGER stamp;
  stamp.QuadPart = ticks;
  return stamp;
}

// A MIB table: the count (which may claim more), then the rows.
template <class Table, class Row, class Fill>
void BuildConnTable(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed, Fill fill) {
  auto* table = static_cast<Table*>(a.Bytes(offsetof(Table, table) + conns.size() * sizeof(Row), alignof(Table)));
  table->dwNumEntries = static_cast<DWORD>(conns.size()) + extraRowsClaimed;
  for (std::size_t i = 0; i < conns.size(); ++i) fill(table->table[i], conns[i]);
}

}  // namespace

void BuildFixedInfo(Arena& a, const char* host, const char* domain, UINT nodeType, UINT routing, UINT proxy, UINT dns,
                    const std::vector<std::string>& dnsServers) {
  auto* info = a.New<FIXED_INFO>();
  Copy(info->HostName, host);
  Copy(info->DomainName, domain);
  Copy(info->ScopeId, "");
  info->NodeType = nodeType;
  info->EnableRouting = routing;
  info->EnableProxy = proxy;
  info->EnableDns = dns;
  FillAddrStrings(a, info->DnsServerList, dnsServers);
}

void BuildAdaptersInfo(Arena& a, const std::vector<ClassicAdapter>& adapters) {
  // The records come first, one after another, then the extra list entries.
  std::vector<IP_ADAPTER_INFO*> records;
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    records.push_back(a.New<IP_ADAPTER_INFO>());
    if (i > 0) records[i - 1]->Next = records[i];
  }
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    const ClassicAdapter& shape = adapters[i];
    IP_ADAPTER_INFO& r = *records[i];
    Copy(r.AdapterName, shape.name);
    Copy(r.Description, shape.description);
    r.AddressLength = static_cast<UINT>(shape.mac.size());
    std::memcpy(r.Address, shape.mac.data(), shape.mac.size() < 8 ? shape.mac.size() : 8);
    r.Index = shape.index;
    r.Type = shape.type;
    r.DhcpEnabled = shape.dhcp;
    FillAddrStrings(a, r.IpAddressList, shape.addresses);
    FillAddrStrings(a, r.GatewayList, shape.gateways);
    FillAddrStrings(a, r.DhcpServer, shape.dhcpServers);
    FillAddrStrings(a, r.PrimaryWinsServer, shape.primaryWins);
    FillAddrStrings(a, r.SecondaryWinsServer, shape.secondaryWins);
    r.LeaseObtained = 1700000000;
    r.LeaseExpires = 1700086400;
  }
}

void BuildPerAdapterInfo(Arena& a, UINT autoconfigEnabled, const std::vector<std::string>& dnsServers) {
  auto* info = a.New<IP_PER_ADAPTER_INFO>();
  info->AutoconfigEnabled = autoconfigEnabled;
  FillAddrStrings(a, info->DnsServerList, dnsServers);
  if (!dnsServers.empty()) info->CurrentDnsServer = &info->DnsServerList;
}

void BuildAdaptersAddresses(Arena& a, const std::vector<ExtendedAdapter>& adapters) {
  std::vector<IP_ADAPTER_ADDRESSES_LH*> records;
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    records.push_back(a.New<IP_ADAPTER_ADDRESSES_LH>());
    if (i > 0) records[i - 1]->Next = records[i];
  }
  for (std::size_t i = 0; i < adapters.size(); ++i) {
    const ExtendedAdapter& shape = adapters[i];
    IP_ADAPTER_ADDRESSES_LH& r = *records[i];
    // A short record still has bytes behind it; whatever they hold must
    // not be taken for gateways.
    r.Length = shape.longRecord ? sizeof(IP_ADAPTER_ADDRESSES_LH) : sizeof(IP_ADAPTER_ADDRESSES_XP);
    r.IfIndex = shape.index;
    r.AdapterName = a.Ansi(shape.name);
    r.Description = a.Wide(shape.description);
    r.FriendlyName = a.Wide(shape.friendlyName);
    r.DnsSuffix = a.Wide(L"");
    r.PhysicalAddressLength = static_cast<ULONG>(shape.mac.size());
    std::memcpy(r.PhysicalAddress, shape.mac.data(), shape.mac.size() < 8 ? shape.mac.size() : 8);
    r.Flags = shape.flags;
    r.Mtu = shape.mtu;
    r.IfType = shape.type;
    r.OperStatus = shape.operStatus;
    r.Ipv6IfIndex = shape.longRecord ? shape.index : 0;
    r.FirstUnicastAddress = AddressChain<IP_ADAPTER_UNICAST_ADDRESS_LH>(a, shape.unicast);
    std::size_t k = 0;
    for (auto* e = r.FirstUnicastAddress; e; e = e->Next, ++k) {
      if (k < shape.onLinkPrefixes.size()) e->OnLinkPrefixLength = shape.onLinkPrefixes[k];
      if (shape.oldUnicastEntries) e->Length = sizeof(IP_ADAPTER_UNICAST_ADDRESS_XP);
    }
    r.FirstPrefix = Chain<IP_ADAPTER_PREFIX_XP>(a, shape.prefixes.size(), [&](IP_ADAPTER_PREFIX_XP& e, std::size_t k) {
      e.Address = a.Inet(shape.prefixes[k].first.c_str());
      e.PrefixLength = shape.prefixes[k].second;
    });
    r.FirstDnsServerAddress = AddressChain<IP_ADAPTER_DNS_SERVER_ADDRESS_XP>(a, shape.dnsServers);
    r.FirstGatewayAddress = AddressChain<IP_ADAPTER_GATEWAY_ADDRESS_LH>(a, shape.gateways);
    r.FirstWinsServerAddress = AddressChain<IP_ADAPTER_WINS_SERVER_ADDRESS_LH>(a, shape.wins);
    r.TransmitLinkSpeed = shape.linkSpeed;
    r.ReceiveLinkSpeed = shape.linkSpeed;
    r.Ipv4Metric = 25;
    r.Luid.Value = 0x0006000001000000ULL + shape.index;
  }
}

void BuildIpAddrTable(Arena& a, const std::vector<MIB_IPADDRROW>& rows) {
  auto* table = static_cast<MIB_IPADDRTABLE*>(
      a.Bytes(offsetof(MIB_IPADDRTABLE, table) + rows.size() * sizeof(MIB_IPADDRROW), alignof(MIB_IPADDRTABLE)));
  table->dwNumEntries = static_cast<DWORD>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) table->table[i] = rows[i];
}

MIB_IPADDRROW AddrRow(DWORD index, const char* address, const char* mask) {
  MIB_IPADDRROW row{};
  row.dwIndex = index;
  row.dwAddr = Ip(address);
  row.dwMask = Ip(mask);
  row.dwBCastAddr = 1;
  row.dwReasmSize = 65535;
  return row;
}

void BuildIfTable(Arena& a, const std::vector<MIB_IFROW>& rows) {
  auto* table = static_cast<MIB_IFTABLE*>(
      a.Bytes(offsetof(MIB_IFTABLE, table) + rows.size() * sizeof(MIB_IFROW), alignof(MIB_IFTABLE)));
  table->dwNumEntries = static_cast<DWORD>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) table->table[i] = rows[i];
}

MIB_IFROW IfRow(DWORD index, DWORD type, const std::vector<BYTE>& mac, const char* description) {
  MIB_IFROW row{};
  row.dwIndex = index;
  row.dwType = type;
  row.dwMtu = 1500;
  row.dwSpeed = 100000000;
  row.dwPhysAddrLen = static_cast<DWORD>(mac.size());
  std::memcpy(row.bPhysAddr, mac.data(), mac.size() < 8 ? mac.size() : 8);
  row.dwAdminStatus = 1;
  row.dwOperStatus = 5;
  row.dwDescrLen = static_cast<DWORD>(std::strlen(description) + 1);
  std::memcpy(row.bDescr, description, std::strlen(description) + 1);
  return row;
}

void BuildIpNetTable(Arena& a, const std::vector<MIB_IPNETROW>& rows) { BuildTable<MIB_IPNETTABLE>(a, rows); }

MIB_IPNETROW NetRow(DWORD index, const std::vector<BYTE>& mac, const char* address, DWORD type) {
  MIB_IPNETROW row{};
  row.dwIndex = index;
  row.dwPhysAddrLen = static_cast<DWORD>(mac.size());
  std::copy(mac.begin(), mac.begin() + std::min<std::size_t>(mac.size(), 8), row.bPhysAddr);
  row.dwAddr = Ip(address);
  row.dwType = type;
  return row;
}

void BuildIpForwardTable(Arena& a, const std::vector<MIB_IPFORWARDROW>& rows) {
  BuildTable<MIB_IPFORWARDTABLE>(a, rows);
}

MIB_IPFORWARDROW Route(const char* destination, const char* mask, const char* nextHop, DWORD ifIndex, DWORD type,
                       DWORD proto, DWORD nextHopAs, DWORD metric1) {
  MIB_IPFORWARDROW row{};
  row.dwForwardDest = Ip(destination);
  row.dwForwardMask = Ip(mask);
  row.dwForwardNextHop = Ip(nextHop);
  row.dwForwardIfIndex = ifIndex;
  row.dwForwardType = type;
  row.dwForwardProto = proto;
  row.dwForwardNextHopAS = nextHopAs;
  row.dwForwardMetric1 = metric1;
  row.dwForwardMetric2 = MIB_IPROUTE_METRIC_UNUSED;
  return row;
}

DWORD PortField(DWORD port) { return 0xBEEF0000u | ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }

void BuildTcpOwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_TCPTABLE_OWNER_MODULE, MIB_TCPROW_OWNER_MODULE>(a, conns, extraRowsClaimed,
                                                                     [](auto& row, const Conn& c) {
                                                                       row.dwState = c.state;
                                                                       row.dwLocalAddr = Ip(c.local);
                                                                       row.dwLocalPort = PortField(c.localPort);
                                                                       row.dwRemoteAddr = Ip(c.remote);
                                                                       row.dwRemotePort = PortField(c.remotePort);
                                                                       row.dwOwningPid = c.pid;
                                                                       row.liCreateTimestamp = Stamp(c.created);
                                                                     });
}

void BuildUdpOwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_UDPTABLE_OWNER_MODULE, MIB_UDPROW_OWNER_MODULE>(a, conns, extraRowsClaimed,
                                                                     [](auto& row, const Conn& c) {
                                                                       row.dwLocalAddr = Ip(c.local);
                                                                       row.dwLocalPort = PortField(c.localPort);
                                                                       row.dwOwningPid = c.pid;
                                                                       row.liCreateTimestamp = Stamp(c.created);
                                                                     });
}

void BuildPlainTcp(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_TCPTABLE, MIB_TCPROW>(a, conns, extraRowsClaimed, [](auto& row, const Conn& c) {
    row.dwState = c.state;
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
    row.dwRemoteAddr = Ip(c.remote);
    row.dwRemotePort = PortField(c.remotePort);
  });
}

void BuildPlainUdp(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_UDPTABLE, MIB_UDPROW>(a, conns, extraRowsClaimed, [](auto& row, const Conn& c) {
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
  });
}

std::vector<DWORD> AllocatedTcpRow(const Conn& c) {
  return {c.state, Ip(c.local), PortField(c.localPort), Ip(c.remote), PortField(c.remotePort), c.pid};
}

std::vector<DWORD> AllocatedUdpRow(const Conn& c) { return {Ip(c.local), PortField(c.localPort), c.pid}; }

int64_t Ticks(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

void BuildTcp6OwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_TCP6TABLE_OWNER_MODULE, MIB_TCP6ROW_OWNER_MODULE>(a, conns, extraRowsClaimed, [](auto& row, const Conn& c) {
    row.dwState = c.state;
    row.dwLocalScopeId = Ip6(c.local, row.ucLocalAddr);
    row.dwLocalPort = PortField(c.localPort);
    row.dwRemoteScopeId = Ip6(c.remote, row.ucRemoteAddr);
    row.dwRemotePort = PortField(c.remotePort);
    row.dwOwningPid = c.pid;
    row.liCreateTimestamp = Stamp(c.created);
  });
}

void BuildUdp6OwnerModule(Arena& a, const std::vector<Conn>& conns, DWORD extraRowsClaimed) {
  BuildConnTable<MIB_UDP6TABLE_OWNER_MODULE, MIB_UDP6ROW_OWNER_MODULE>(a, conns, extraRowsClaimed, [](auto& row, const Conn& c) {
    row.dwLocalScopeId = Ip6(c.local, row.ucLocalAddr);
    row.dwLocalPort = PortField(c.localPort);
    row.dwOwningPid = c.pid;
    row.liCreateTimestamp = Stamp(c.created);
  });
}

MIB_IPFORWARD_ROW2 Route6(const char* destination, UINT8 prefixLength, const char* nextHop, DWORD ifIndex, ULONG metric,
                          NL_ROUTE_PROTOCOL protocol) {
  MIB_IPFORWARD_ROW2 row{};
  row.InterfaceIndex = ifIndex;
  row.DestinationPrefix.Prefix.si_family = AF_INET6;
  UCHAR bytes[16];
  row.DestinationPrefix.Prefix.Ipv6.sin6_scope_id = Ip6(destination, bytes);
  std::memcpy(&row.DestinationPrefix.Prefix.Ipv6.sin6_addr, bytes, sizeof(bytes));
  row.DestinationPrefix.PrefixLength = prefixLength;
  row.NextHop.si_family = AF_INET6;
  row.NextHop.Ipv6.sin6_scope_id = Ip6(nextHop, bytes);
  std::memcpy(&row.NextHop.Ipv6.sin6_addr, bytes, sizeof(bytes));
  row.Metric = metric;
  row.Protocol = protocol;
  return row;
}

MIB_IPNET_ROW2 Neighbour6(DWORD ifIndex, const std::vector<BYTE>& mac, const char* address, NL_NEIGHBOR_STATE state,
                          bool router) {
  MIB_IPNET_ROW2 row{};
  row.InterfaceIndex = ifIndex;
  row.Address.si_family = AF_INET6;
  UCHAR bytes[16];
  row.Address.Ipv6.sin6_scope_id = Ip6(address, bytes);
  std::memcpy(&row.Address.Ipv6.sin6_addr, bytes, sizeof(bytes));
  std::copy(mac.begin(), mac.end(), row.PhysicalAddress);
  row.PhysicalAddressLength = static_cast<ULONG>(mac.size());
  row.State = state;
  row.IsRouter = router;
  return row;
}
