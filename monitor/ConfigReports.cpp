// The reports of the machine's configuration: the monitor's pages of the
// fixed parameters, the address table and the adapters, and the main
// window's lists of the same data. They only format what the readers of
// netdata/ return.
#include "monitor/ConfigReports.h"

#include <cstddef>

#include "netdata/IPHelper.h"
#include "text/Format.h"
#include "text/TextForms.h"

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

// Both address-table outputs: the same reader, different lines.
bool FillAddrTable(Lines* list, AddrListStyle style) {
  if (!list) return false;
  const TIpAddrRead read = ReadIpAddrRows();
  if (!read.available) return false;
  LinesUpdate update(*list);
  list->Clear();
  if (read.fromSizeQuery) return false;
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return false;
  }
  if (read.rows.empty()) {
    list->Add(style == AddrListStyle::Monitor ? "no entries." : "No Entries!");
    return false;
  }
  for (std::size_t i = 0; i < read.rows.size(); ++i) {
    const MIB_IPADDRROW& row = read.rows[i];
    if (style == AddrListStyle::Monitor) {
      list->Add(FormatLine("%8.8x|%15s|%15s|%15s|%8.8d", row.dwIndex, IpAddrToStr(row.dwAddr, true),
                           IpAddrToStr(row.dwMask, true), IpAddrToStr(row.dwBCastAddr, true), row.dwReasmSize));
    } else {
      list->Add(FormatLine("IP [%d]: %15s, Subnet mask: %15s", static_cast<int>(i + 1), IpAddrToStr(row.dwAddr, true),
                           IpAddrToStr(row.dwMask, true)));
    }
  }
  return true;
}

}  // namespace

void ListIpAddrTable(Lines* list) { FillAddrTable(list, AddrListStyle::Monitor); }

bool FillIpAddressList(Lines* list) { return FillAddrTable(list, AddrListStyle::MainWindow); }

void ListAdaptorRows(Lines* list) { ListAdaptorRows(list, UseExtAdapterApi); }

void ListAdaptorRows(Lines* list, bool useExtended) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  TAdapterRead read(useExtended);
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return;
  }
  if (read.count == 0) {
    list->Add("no entries.");
    return;
  }
  for (int i = 0; i < read.count; ++i) {
    const TAdaptorInfo& r = read.rows[static_cast<std::size_t>(i)];
    list->Add(WideToAnsi(r.AdapterName) + "|" + WideToAnsi(r.Description) + "|" + WideToAnsi(r.FriendlyName));
    list->Add(FormatLine("%8.8x|%-6s|%16s|%2d|%16s|%16s|%16s|%16s|%-30s", r.Index, IfTypeNames[r.IfType], r.MacAddress,
                         r.DhcpEnabled, r.Gateways[0], r.DhcpServers[0], r.PrimaryWinsServers[0], r.DnsServers[0],
                         IfOperStatusNames[r.OperStatus]));
    if (r.IpAddressCount != 0) {
      std::string line = FormatLine("%d IP Addresse(s): ", r.IpAddressCount);
      for (int k = 0; k < r.IpAddressCount; ++k) line += r.IpAddresses[k] + "/" + r.IpMasks[k] + " | ";
      list->Add(line);
    }
    list->Add("  ");
  }
}

bool FillAdapterList(Lines* list) {
  if (!list) return false;
  LinesUpdate update(*list);
  list->Clear();
  TAdapterRead read;
  if (read.result != NO_ERROR) {
    list->Add(SysErrorMessage(read.result));
    return false;
  }
  if (read.count == 0) {
    list->Add("No Entries!");
    return false;
  }
  for (int i = 0; i < read.count; ++i) {
    const TAdaptorInfo& r = read.rows[static_cast<std::size_t>(i)];
    list->Add("Adapter: " + WideToAnsi(r.Description));
    list->Add("Mac Address: " + r.MacAddress);
    list->Add("Gateway: " + r.Gateways[0]);
    list->Add("DNS Server: " + r.DnsServers[0]);
    if (r.IpAddressCount != 0) {
      std::string line = FormatLine("%d: IP Address(es): ", r.IpAddressCount);
      for (int k = 0; k < r.IpAddressCount; ++k) line += r.IpAddresses[k] + "/" + r.IpMasks[k] + " | ";
      list->Add(line);
    }
  }
  return true;
}
