// The monitor's table pages: ARP cache, routing table and interface table.
#include "monitor/Tables.h"

#include <cstdint>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/NameTables.h"
#include "text/TextForms.h"

DWORD ReadIfRows(DWORD& count, TIfRows& rows) {
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIfTable) return ERROR_NOT_SUPPORTED;
  rows.clear();
  count = 0;
  static TTableSize known;
  const TTableRead read = ReadTable(known, ERROR_INSUFFICIENT_BUFFER, [](void* buffer, ULONG* size) {
    return Sys.GetIfTable(static_cast<MIB_IFTABLE*>(buffer), size, FALSE);
  });
  if (!read.buffer) return read.result;
  const TTableBuffer& buffer = *read.buffer;
  const MIB_IFTABLE* table = buffer.As<MIB_IFTABLE>();
  count = RowsInBuffer(buffer, table);
  rows.assign(table->table, table->table + count);
  return NO_ERROR;
}

void ListIfRows(Lines* list) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  DWORD count = 0;
  TIfRows rows;
  const DWORD result = ReadIfRows(count, rows);
  if (result != NO_ERROR) {
    // The library answers with its code and leaves the thread's last error
    // as it was (often "success"), so the code is what explains the failure.
    list->Add(SysErrorMessage(result));
    return;
  }
  if (count == 0) {
    list->Add("no entries.");
    return;
  }
  for (const MIB_IFROW& row : rows) {
    // Interfaces without a real hardware address (loopback, tunnels) are
    // not adapters the user could look for here.
    const std::string mac = MacAddrToStr(row.bPhysAddr, row.dwPhysAddrLen);
    if (mac.empty() || mac.size() >= 20 || mac.find("00-00-00-00-00-00") != std::string::npos) continue;
    const std::string description = TrimmedFieldText(reinterpret_cast<const char(&)[sizeof(row.bDescr)]>(row.bDescr));
    // Every number is the row's unsigned value: a 2.5 Gbit/s link is 2500000000.
    list->Add(FormatLine("%9s |%16s |%6d |%12d |%2d |%2d |%10d |%10d | %-s", IfTypeNames[row.dwType], mac, row.dwMtu,
                         row.dwSpeed, row.dwAdminStatus, row.dwOperStatus, row.dwInOctets, row.dwOutOctets,
                         description));
  }
}

void ListArpCache(Lines* list) {
  if (!list || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIpNetTable) return;
  LinesUpdate update(*list);
  list->Clear();
  static TTableSize known;
  const TTableRead read = ReadTable(
      known, ERROR_INSUFFICIENT_BUFFER,
      [](void* buffer, ULONG* size) { return Sys.GetIpNetTable(static_cast<MIB_IPNETTABLE*>(buffer), size, FALSE); },
      // The size query says "no data" for an empty cache; any other answer
      // still goes on to the read.
      [](DWORD answer) { return answer != ERROR_NO_DATA; });
  if (read.fromSizeQuery) {
    list->Add(" ARP-cache empty.");
    return;
  }
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return;
  }
  const TTableBuffer& buffer = *read.buffer;
  const MIB_IPNETTABLE* table = buffer.As<MIB_IPNETTABLE>();
  const DWORD rows = RowsInBuffer(buffer, table);
  if (rows == 0) {
    list->Add(" ARP-cache empty.");
    return;
  }
  for (DWORD i = 0; i < rows; ++i) {
    const MIB_IPNETROW& row = table->table[i];
    list->Add(FormatLine("%8x | %12s | %16s| %10s", row.dwIndex, MacAddrToStr(row.bPhysAddr, row.dwPhysAddrLen),
                         IpAddrToStr(row.dwAddr, true), ArpEntryTypeNames[row.dwType]));
  }
}

void ListRoutes(Lines* list) {
  if (!list || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIpForwardTable) return;
  LinesUpdate update(*list);
  list->Clear();
  static TTableSize known;
  const TTableRead read = ReadTable(known, ERROR_INSUFFICIENT_BUFFER, [](void* buffer, ULONG* size) {
    return Sys.GetIpForwardTable(static_cast<MIB_IPFORWARDTABLE*>(buffer), size, TRUE);
  });
  if (read.fromSizeQuery) return;
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return;
  }
  const TTableBuffer& buffer = *read.buffer;
  const MIB_IPFORWARDTABLE* table = buffer.As<MIB_IPFORWARDTABLE>();
  const DWORD rows = RowsInBuffer(buffer, table);
  if (rows == 0) {
    list->Add("no entries.");
    return;
  }
  for (DWORD i = 0; i < rows; ++i) {
    const MIB_IPFORWARDROW& row = table->table[i];
    // Codes beyond the names (the platform's own protocols from 10002 up)
    // show an empty column.
    const DWORD type = row.dwForwardType > 4 ? 0 : row.dwForwardType;
    const DWORD proto = row.dwForwardProto > 18 ? 0 : row.dwForwardProto;
    list->Add(FormatLine("%15s|%15s|%15s|%8.8x|%7s|   %5.5d|    %7s|        %2.2d",
                         IpAddrToStr(row.dwForwardDest, true), IpAddrToStr(row.dwForwardMask, true),
                         IpAddrToStr(row.dwForwardNextHop, true), static_cast<int32_t>(row.dwForwardIfIndex),
                         RouteTypeNames[type], static_cast<int32_t>(row.dwForwardNextHopAS), RouteProtocolNames[proto],
                         static_cast<int32_t>(row.dwForwardMetric1)));
  }
}
