// The adapter reader (classic adapter query or the adapter-addresses query)
// and the lookups by hardware address.
#include <cstring>
#include <cwchar>
#include <utility>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/TextForms.h"

namespace {

const char kNoAddress[] = "  0.  0.  0.  0";

// The per-adapter record is first tried at the size that holds it and five
// more DNS entries; an adapter with more is read at the size the system asks.
constexpr ULONG kPerAdapterBufferSize = sizeof(IP_PER_ADAPTER_INFO) + 5 * sizeof(IP_ADDR_STRING);

// The adapter-addresses record of the oldest systems that have the query
// ends after FirstPrefix; newer systems append link speeds, gateways, WINS
// servers and more, and say so in the record's Length.
constexpr std::size_t kShortRecordSize = sizeof(IP_ADAPTER_ADDRESSES_XP);
constexpr std::size_t kLongFieldsEnd =
    offsetof(IP_ADAPTER_ADDRESSES_LH, TunnelType) + sizeof(IP_ADAPTER_ADDRESSES_LH::TunnelType);
static_assert(offsetof(IP_ADAPTER_ADDRESSES_LH, FirstPrefix) == offsetof(IP_ADAPTER_ADDRESSES_XP, FirstPrefix),
              "the long record starts with the short one");

// Entry sizes of the oldest form of each list; an entry whose Length is
// below its kind's ends that list.
constexpr std::size_t kUnicastEntrySize = sizeof(IP_ADAPTER_UNICAST_ADDRESS_XP);
constexpr std::size_t kUnicastWithPrefixSize = offsetof(IP_ADAPTER_UNICAST_ADDRESS_LH, OnLinkPrefixLength) +
                                               sizeof(IP_ADAPTER_UNICAST_ADDRESS_LH::OnLinkPrefixLength);
static_assert(offsetof(IP_ADAPTER_UNICAST_ADDRESS_LH, Address) == offsetof(IP_ADAPTER_UNICAST_ADDRESS_XP, Address),
              "the newer address entry starts with the older one");
constexpr std::size_t kPrefixEntrySize = sizeof(IP_ADAPTER_PREFIX_XP);
constexpr std::size_t kAddressEntrySize = sizeof(IP_ADAPTER_DNS_SERVER_ADDRESS_XP);
static_assert(sizeof(IP_ADAPTER_ANYCAST_ADDRESS_XP) == kAddressEntrySize &&
                  sizeof(IP_ADAPTER_MULTICAST_ADDRESS_XP) == kAddressEntrySize &&
                  sizeof(IP_ADAPTER_GATEWAY_ADDRESS_LH) == kAddressEntrySize &&
                  sizeof(IP_ADAPTER_WINS_SERVER_ADDRESS_LH) == kAddressEntrySize,
              "address lists share one entry layout");

std::wstring AnsiToWide(const std::string& text) {
  if (text.empty()) return {};
  const int bytes = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  std::wstring out(n > 0 ? static_cast<std::size_t>(n) : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, &out[0], n);
  return out;
}

// A NUL-terminated text inside the buffer, cut at the buffer's end.
template <class Char>
std::basic_string<Char> TextInBuffer(const TTableBuffer& buffer, const Char* text) {
  if (!buffer.Holds(text, sizeof(Char))) return {};
  const std::size_t room = (buffer.Data() + buffer.Size() - reinterpret_cast<const BYTE*>(text)) / sizeof(Char);
  std::size_t n = 0;
  while (n < room && text[n] != 0) ++n;
  return std::basic_string<Char>(text, n);
}

std::string AddressText(const TTableBuffer& buffer, const SOCKET_ADDRESS& address) {
  if (address.iSockaddrLength <= 0 ||
      !buffer.Holds(address.lpSockaddr, static_cast<std::size_t>(address.iSockaddrLength)))
    return {};
  return SockAddrToStr(address.lpSockaddr, address.iSockaddrLength);
}

// Walks a list of the adapter-addresses record; see the entry sizes above.
template <class Entry, class Visit>
void ForEachSized(const TTableBuffer& buffer, const Entry* first, std::size_t entrySize, Visit visit) {
  std::size_t limit = buffer.Size() / entrySize;
  for (const Entry* e = first; e && limit > 0 && buffer.Holds(e, entrySize) && e->Length >= entrySize;
       e = e->Next, --limit) {
    if (!visit(*e)) break;
  }
}

// Address lists start with two slots and double when full, so entry 0 can
// always be read.
void NewList(std::vector<std::string>& list) { list.assign(2, std::string()); }

void Append(std::vector<std::string>& list, int& count, std::string text) {
  list[static_cast<std::size_t>(count)] = std::move(text);
  ++count;
  if (static_cast<std::size_t>(count) >= list.size()) list.resize(list.size() * 2);
}

// Addresses, masks and prefix addresses are matched by position and grow
// together.
void AppendAddress(TAdaptorInfo& r, std::string address, std::string mask) {
  const int at = r.IpAddressCount;
  Append(r.IpAddresses, r.IpAddressCount, std::move(address));
  r.IpMasks.resize(r.IpAddresses.size());
  r.PrefixAddresses.resize(r.IpAddresses.size());
  r.IpMasks[static_cast<std::size_t>(at)] = std::move(mask);
}

TAdaptorInfo NewRecord() {
  TAdaptorInfo r;
  for (auto* list :
       {&r.IpAddresses, &r.IpMasks, &r.Gateways, &r.DhcpServers, &r.PrimaryWinsServers, &r.SecondaryWinsServers,
        &r.DnsServers, &r.AnycastAddresses, &r.MulticastAddresses, &r.PrefixAddresses}) {
    NewList(*list);
  }
  r.CurrentIpAddress = kNoAddress;
  r.CurrentIpMask = kNoAddress;
  return r;
}

// Each classic address list starts with the entry held in its record, so
// its count is at least 1 even when that entry is empty.
void FillTextList(const TTableBuffer& buffer, const IP_ADDR_STRING& first, std::vector<std::string>& list, int& count) {
  ForEachInChain(buffer, &first, [&](const IP_ADDR_STRING& entry) {
    Append(list, count, FieldText(entry.IpAddress.String));
    return true;
  });
}

void ReadPerAdapterInfo(TAdaptorInfo& r) {
  if (!Sys.GetPerAdapterInfo) return;
  static TTableSize known(kPerAdapterBufferSize);
  const ULONG index = r.Index;
  const TTableRead read = ReadTable(known, ERROR_BUFFER_OVERFLOW, [index](void* buffer, ULONG* size) {
    return Sys.GetPerAdapterInfo(index, static_cast<IP_PER_ADAPTER_INFO*>(buffer), size);
  });
  if (!read.buffer) return;
  const TTableBuffer& buffer = *read.buffer;
  if (!buffer.Holds(buffer.As<IP_PER_ADAPTER_INFO>())) return;
  const auto* info = buffer.As<IP_PER_ADAPTER_INFO>();
  r.AutoconfigEnabled = info->AutoconfigEnabled;
  r.AutoconfigActive = info->AutoconfigActive;
  if (info->CurrentDnsServer && buffer.Holds(info->CurrentDnsServer)) {
    r.CurrentDnsServer = FieldText(info->CurrentDnsServer->IpAddress.String);
  }
  FillTextList(buffer, info->DnsServerList, r.DnsServers, r.DnsServerCount);
}

TAdaptorInfo ClassicRecord(const TTableBuffer& buffer, const IP_ADAPTER_INFO& a) {
  TAdaptorInfo r = NewRecord();
  r.AdapterName = AnsiToWide(TrimmedFieldText(a.AdapterName));
  r.Description = AnsiToWide(TrimmedFieldText(a.Description));
  r.MacAddress = MacAddrToStr(a.Address, a.AddressLength);
  r.Index = a.Index;
  r.IfType = a.Type;
  r.DhcpEnabled = a.DhcpEnabled;
  if (a.CurrentIpAddress && buffer.Holds(a.CurrentIpAddress)) {
    r.CurrentIpAddress = FieldText(a.CurrentIpAddress->IpAddress.String);
    r.CurrentIpMask = FieldText(a.CurrentIpAddress->IpMask.String);
  }
  ForEachInChain(buffer, &a.IpAddressList, [&](const IP_ADDR_STRING& entry) {
    AppendAddress(r, FieldText(entry.IpAddress.String), FieldText(entry.IpMask.String));
    return true;
  });
  FillTextList(buffer, a.GatewayList, r.Gateways, r.GatewayCount);
  FillTextList(buffer, a.DhcpServer, r.DhcpServers, r.DhcpServerCount);
  FillTextList(buffer, a.PrimaryWinsServer, r.PrimaryWinsServers, r.PrimaryWinsCount);
  FillTextList(buffer, a.SecondaryWinsServer, r.SecondaryWinsServers, r.SecondaryWinsCount);
  r.LeaseObtained = static_cast<int64_t>(a.LeaseObtained);
  r.LeaseExpires = static_cast<int64_t>(a.LeaseExpires);
  ReadPerAdapterInfo(r);
  return r;
}

// A mask of prefixLength leading one bits, in network byte order.
DWORD MaskOfPrefix(ULONG prefixLength) {
  DWORD mask = prefixLength == 0 ? 0 : 0xFFFFFFFFu << (32 - prefixLength);
  ReverseBytes(&mask, sizeof(mask));
  return mask;
}

template <class Entry>
void FillAddressList(const TTableBuffer& buffer, const Entry* first, std::vector<std::string>& list, int& count) {
  ForEachSized(buffer, first, kAddressEntrySize, [&](const Entry& entry) {
    Append(list, count, AddressText(buffer, entry.Address));
    return true;
  });
}

TAdaptorInfo ExtendedRecord(const TTableBuffer& buffer, const IP_ADAPTER_ADDRESSES& a) {
  TAdaptorInfo r = NewRecord();
  r.AdapterName = AnsiToWide(TextInBuffer(buffer, a.AdapterName));
  r.Description = TextInBuffer(buffer, a.Description);
  r.FriendlyName = TextInBuffer(buffer, a.FriendlyName);
  r.MacAddress = MacAddrToStr(a.PhysicalAddress, a.PhysicalAddressLength);
  r.Index = a.IfIndex;
  r.IfType = a.IfType;
  r.AddrIfType = a.IfType;
  r.DhcpEnabled = (a.Flags & IP_ADAPTER_DHCP_ENABLED) ? 1 : 0;
  r.Mtu = a.Mtu;
  r.OperStatus = a.OperStatus;

  // Newer systems give each address its own prefix length, and so its mask.
  // On 32-bit systems the older entry has the same length (the prefix
  // length sits in what was its padding), so the system's version decides.
  const bool givesPrefixLengths = SystemGivesPrefixLengths();
  std::vector<bool> ownMask;
  ForEachSized(buffer, a.FirstUnicastAddress, kUnicastEntrySize, [&](const IP_ADAPTER_UNICAST_ADDRESS_LH& entry) {
    const ULONG prefixLength =
        givesPrefixLengths && entry.Length >= kUnicastWithPrefixSize && buffer.Holds(&entry, kUnicastWithPrefixSize)
            ? entry.OnLinkPrefixLength
            : 0;
    const bool own = prefixLength >= 1 && prefixLength <= 32;
    AppendAddress(r, AddressText(buffer, entry.Address),
                  own ? IpAddrToStr(MaskOfPrefix(prefixLength), true) : std::string());
    ownMask.push_back(own);
    return true;
  });
  // Older systems only list the prefixes, matched to the addresses by
  // position. Position count itself is still taken; a host prefix (32)
  // gives no mask.
  std::size_t j = 0;
  ForEachSized(buffer, a.FirstPrefix, kPrefixEntrySize, [&](const IP_ADAPTER_PREFIX& entry) {
    if (j > static_cast<std::size_t>(r.IpAddressCount)) return false;
    const bool hasOwn = j < ownMask.size() && ownMask[j];
    if (entry.PrefixLength < 32 && !hasOwn) r.IpMasks[j] = IpAddrToStr(MaskOfPrefix(entry.PrefixLength), true);
    r.PrefixAddresses[j] = AddressText(buffer, entry.Address);
    ++j;
    return true;
  });
  if (r.IpAddressCount > 0) {
    r.CurrentIpAddress = r.IpAddresses[0];
    r.CurrentIpMask = r.IpMasks[0];
  }

  FillAddressList(buffer, a.FirstAnycastAddress, r.AnycastAddresses, r.AnycastCount);
  FillAddressList(buffer, a.FirstMulticastAddress, r.MulticastAddresses, r.MulticastCount);
  FillAddressList(buffer, a.FirstDnsServerAddress, r.DnsServers, r.DnsServerCount);
  r.CurrentDnsServer = r.DnsServers[0];

  // Only a record long enough for every field read here counts as long.
  if (a.Length > kShortRecordSize && a.Length >= kLongFieldsEnd && buffer.Holds(&a, kLongFieldsEnd)) {
    r.Ipv6IfIndex = a.Ipv6IfIndex;
    r.TransmitLinkSpeed = a.TransmitLinkSpeed;
    r.ReceiveLinkSpeed = a.ReceiveLinkSpeed;
    r.Ipv4Metric = a.Ipv4Metric;
    r.Ipv6Metric = a.Ipv6Metric;
    r.Luid = a.Luid.Value;
    r.CompartmentId = a.CompartmentId;
    r.NetworkGuid = a.NetworkGuid;
    r.ConnectionType = a.ConnectionType;
    r.TunnelType = a.TunnelType;
    FillAddressList(buffer, a.FirstGatewayAddress, r.Gateways, r.GatewayCount);
    FillAddressList(buffer, a.FirstWinsServerAddress, r.PrimaryWinsServers, r.PrimaryWinsCount);
  }
  return r;
}

}  // namespace

bool SystemGivesPrefixLengths() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  return Sys.GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 6;
}

std::string SockAddrToStr(const SOCKADDR* addr, int length) {
  if (!addr || length != static_cast<int>(sizeof(sockaddr_in)) || addr->sa_family != AF_INET) return {};
  sockaddr_in in;
  std::memcpy(&in, addr, sizeof(in));
  return IpAddrToStr(in.sin_addr.s_addr, true);
}

DWORD ReadAdaptorRows(int& count, TAdaptorRows& rows) { return ReadAdaptorRows(count, rows, UseExtAdapterApi); }

DWORD ReadAdaptorRows(int& count, TAdaptorRows& rows, bool useExtended) {
  if (!BindSystemLibrary(SysLibrary::iphlpapi)) return ERROR_NOT_SUPPORTED;
  const bool extended = useExtended && Sys.GetAdaptersAddresses;
  if (!extended && !Sys.GetAdaptersInfo) return ERROR_NOT_SUPPORTED;
  rows.assign(4, TAdaptorInfo{});
  count = 0;
  const auto add = [&](TAdaptorInfo record) {
    rows[static_cast<std::size_t>(count)] = std::move(record);
    ++count;
    if (static_cast<std::size_t>(count) == rows.size()) rows.resize(rows.size() * 2);
  };

  static TTableSize knownExtended;
  static TTableSize knownClassic;
  const TTableRead read =
      extended ? ReadTable(knownExtended, ERROR_BUFFER_OVERFLOW,
                           [](void* buffer, ULONG* size) {
                             // Prefixes give the masks on older systems. Newer ones fill
                             // the gateway and WINS lists of the long record only when
                             // asked; older ones ignore the two flags.
                             const ULONG flags =
                                 GAA_FLAG_INCLUDE_PREFIX | GAA_FLAG_INCLUDE_WINS_INFO | GAA_FLAG_INCLUDE_GATEWAYS;
                             return Sys.GetAdaptersAddresses(AF_INET, flags, nullptr,
                                                             static_cast<IP_ADAPTER_ADDRESSES*>(buffer), size);
                           })
               : ReadTable(knownClassic, ERROR_BUFFER_OVERFLOW, [](void* buffer, ULONG* size) {
                   return Sys.GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(buffer), size);
                 });
  // The system's answer for a machine without adapters.
  if (read.result == ERROR_NO_DATA) {
    rows.clear();
    return NO_ERROR;
  }
  if (!read.buffer) return read.result;
  const TTableBuffer& buffer = *read.buffer;

  if (extended) {
    std::size_t limit = buffer.Size() / kShortRecordSize;
    for (const IP_ADAPTER_ADDRESSES* a = buffer.As<IP_ADAPTER_ADDRESSES>();
         a && limit > 0 && buffer.Holds(a, kShortRecordSize) && a->Length >= kShortRecordSize; a = a->Next, --limit) {
      add(ExtendedRecord(buffer, *a));
    }
  } else {
    ForEachInChain(buffer, buffer.As<IP_ADAPTER_INFO>(), [&](const IP_ADAPTER_INFO& a) {
      add(ClassicRecord(buffer, a));
      return true;
    });
  }
  rows.resize(static_cast<std::size_t>(count));
  return NO_ERROR;
}

namespace {

// An address text that names an address: not empty, not 0.0.0.0, padded
// or not.
bool NamesAddress(const std::string& text) {
  std::string plain;
  for (char c : text)
    if (c != ' ') plain += c;
  return !plain.empty() && plain != "0.0.0.0";
}

// Entry 0 of one list of the adapter whose hardware-address text is mac;
// empty when no adapter can be read, as when none has that address: the
// caller shows and pings what it gets as an address. Several adapters may
// share one hardware address (a bridge, a VLAN, a virtual switch over the
// card): the first of them with an address and a gateway answers, else the
// first with an address, else the first.
std::string LookupForMac(const TAdapterRead& read, const std::string& mac,
                         const std::vector<std::string> TAdaptorInfo::*field) {
  if (read.result != NO_ERROR) return {};
  const TAdaptorInfo* best = nullptr;
  int bestRank = -1;
  for (int i = 0; i < read.count && i < static_cast<int>(read.rows.size()); ++i) {
    const TAdaptorInfo& r = read.rows[static_cast<std::size_t>(i)];
    if (r.MacAddress != mac) continue;
    const bool address = !r.IpAddresses.empty() && NamesAddress(r.IpAddresses[0]);
    const int rank = address ? (!r.Gateways.empty() && NamesAddress(r.Gateways[0]) ? 2 : 1) : 0;
    if (rank > bestRank) best = &r, bestRank = rank;
  }
  return best && !(best->*field).empty() ? (best->*field)[0] : std::string();
}

}  // namespace

std::string GatewayForMac(const TAdapterRead& read, const std::string& mac) {
  return LookupForMac(read, mac, &TAdaptorInfo::Gateways);
}

std::string DnsServerForMac(const TAdapterRead& read, const std::string& mac) {
  return LookupForMac(read, mac, &TAdaptorInfo::DnsServers);
}

std::string GatewayForMac(const std::string& mac) { return GatewayForMac(TAdapterRead(), mac); }

std::string DnsServerForMac(const std::string& mac) { return DnsServerForMac(TAdapterRead(), mac); }
