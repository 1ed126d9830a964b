// Fixed network parameters and the IPv4 address table.
#include <cstring>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/TextForms.h"

DWORD ReadNetworkParams(TNetworkParams& params) {
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetNetworkParams) return ERROR_NOT_SUPPORTED;
  static TTableSize known;
  const TTableRead read = ReadTable(known, ERROR_BUFFER_OVERFLOW, [](void* buffer, ULONG* size) {
    return Sys.GetNetworkParams(static_cast<FIXED_INFO*>(buffer), size);
  });
  if (!read.buffer) return read.result;
  const TTableBuffer& buffer = *read.buffer;
  if (!buffer.Holds(buffer.As<FIXED_INFO>())) return ERROR_INVALID_DATA;

  const FIXED_INFO& info = *buffer.As<FIXED_INFO>();
  params.DnsServerCount = 0;
  params.HostName = TrimmedFieldText(info.HostName);
  params.DomainName = TrimmedFieldText(info.DomainName);
  params.ScopeId = TrimmedFieldText(info.ScopeId);
  params.NodeType = info.NodeType;
  params.EnableRouting = info.EnableRouting;
  params.EnableProxy = info.EnableProxy;
  params.EnableDns = info.EnableDns;

  const int capacity = static_cast<int>(params.DnsServers.size());
  params.DnsServers[0] = FieldText(info.DnsServerList.IpAddress.String);
  if (!params.DnsServers[0].empty()) params.DnsServerCount = 1;
  ForEachInChain(buffer, info.DnsServerList.Next, [&](const IP_ADDR_STRING& entry) {
    if (params.DnsServerCount >= capacity) return false;
    params.DnsServers[params.DnsServerCount++] = FieldText(entry.IpAddress.String);
    return true;
  });
  return NO_ERROR;
}

void ListFixedInfo(Lines* list) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  TNetworkParams params;
  const DWORD result = ReadNetworkParams(params);
  if (result != NO_ERROR) {
    list->Add(SysErrorMessage(result));
    return;
  }
  list->Add("HOSTNAME          : " + params.HostName);
  list->Add("DOMAIN            : " + params.DomainName);
  list->Add("DHCP SCOPE        : " + params.ScopeId);
  list->Add(std::string("NETBIOS NODE TYPE : ") + NodeTypeNames[params.NodeType]);
  list->Add(FormatLine("ROUTING ENABLED   : %u", params.EnableRouting));
  list->Add(FormatLine("PROXY   ENABLED   : %u", params.EnableProxy));
  list->Add(FormatLine("DNS     ENABLED   : %u", params.EnableDns));
  for (int i = 0; i < params.DnsServerCount; ++i) list->Add("DNS SERVER ADDR   : " + params.DnsServers[i]);
}

bool FillNetworkParamsList(Lines* list) {
  if (!list) return false;
  LinesUpdate update(*list);
  list->Clear();
  TNetworkParams params;
  const DWORD result = ReadNetworkParams(params);
  if (result != NO_ERROR) {
    list->Add("ERROR: " + SysErrorMessage(result));
    return false;
  }
  list->Add("Hostname: " + params.HostName);
  list->Add("Domain: " + params.DomainName);
  if (params.EnableRouting != 0) list->Add(FormatLine("Routing Enabled: %u", params.EnableRouting));
  if (params.EnableProxy != 0) list->Add(FormatLine("Proxy Enabled: %u", params.EnableProxy));
  if (params.EnableDns != 0) list->Add(FormatLine("DNS Enabled: %u", params.EnableDns));
  for (int n = 1; n <= params.DnsServerCount; ++n) {
    list->Add(FormatLine("DNS Server Address [%d]: %s", n, params.DnsServers[n - 1]));
  }
  return params.DnsServerCount > 0;
}

namespace {

enum class AddrListStyle { Monitor, MainWindow };

// Both address-table outputs: the same query, different lines.
bool FillAddrTable(Lines* list, AddrListStyle style) {
  if (!list || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIpAddrTable) return false;
  LinesUpdate update(*list);
  list->Clear();
  static TTableSize known;
  const TTableRead read = ReadTable(known, ERROR_INSUFFICIENT_BUFFER, [](void* buffer, ULONG* size) {
    return Sys.GetIpAddrTable(static_cast<MIB_IPADDRTABLE*>(buffer), size, TRUE);
  });
  if (read.fromSizeQuery) return false;
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return false;
  }
  const TTableBuffer& buffer = *read.buffer;
  const MIB_IPADDRTABLE* table = buffer.As<MIB_IPADDRTABLE>();
  const DWORD rows = RowsInBuffer(buffer, table);
  if (rows == 0) {
    list->Add(style == AddrListStyle::Monitor ? "no entries." : "No Entries!");
    return false;
  }
  for (DWORD i = 0; i < rows; ++i) {
    const MIB_IPADDRROW& row = table->table[i];
    if (style == AddrListStyle::Monitor) {
      list->Add(FormatLine("%8.8x|%15s|%15s|%15s|%8.8d", row.dwIndex, IpAddrToStr(row.dwAddr, true),
                           IpAddrToStr(row.dwMask, true), IpAddrToStr(row.dwBCastAddr, true), row.dwReasmSize));
    } else {
      list->Add(FormatLine("IP [%d]: %15s, Subnet mask: %15s", i + 1, IpAddrToStr(row.dwAddr, true),
                           IpAddrToStr(row.dwMask, true)));
    }
  }
  return true;
}

}  // namespace

void ListIpAddrTable(Lines* list) { FillAddrTable(list, AddrListStyle::Monitor); }

bool FillIpAddressList(Lines* list) { return FillAddrTable(list, AddrListStyle::MainWindow); }
