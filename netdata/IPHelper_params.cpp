// The readers of the fixed network parameters and the IPv4 address table.
#include <cstring>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"

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

TIpAddrRead ReadIpAddrRows() {
  TIpAddrRead read;
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIpAddrTable) return read;
  read.available = true;
  static TTableSize known;
  const TTableRead table = ReadTable(known, ERROR_INSUFFICIENT_BUFFER, [](void* buffer, ULONG* size) {
    return Sys.GetIpAddrTable(static_cast<MIB_IPADDRTABLE*>(buffer), size, TRUE);
  });
  read.result = table.result;
  read.fromSizeQuery = table.fromSizeQuery;
  if (!table.buffer || table.fromSizeQuery || table.result != NO_ERROR) return read;
  const MIB_IPADDRTABLE* rows = table.buffer->As<MIB_IPADDRTABLE>();
  read.rows.assign(rows->table, rows->table + RowsInBuffer(*table.buffer, rows));
  return read;
}
