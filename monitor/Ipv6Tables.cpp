// The IPv6 parts of the table pages.
#include "monitor/Ipv6Tables.h"

#include <map>

#include "netdata/IPHelper.h"
#include "netdata/IPv6.h"
#include "text/Format.h"
#include "text/NameTables.h"

namespace {

std::string WithPrefix(const std::string& address, int prefixLength) {
  return prefixLength < 0 ? address : address + "/" + std::to_string(prefixLength);
}

}  // namespace

void ListIp6Part(Lines* list, const std::string& caption, DWORD code, const std::vector<std::string>& rows) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  if (code != NO_ERROR) {
    list->Add(caption + ": " + SysErrorMessage(code));
  } else if (rows.empty()) {
    list->Add(caption + ": no entries.");
  } else {
    list->Add(caption + ":");
    for (const std::string& row : rows) list->Add(row);
  }
}

void ListIp6AddrTable(Lines* list) {
  std::vector<TIp6Address> addresses;
  const DWORD code = ReadIp6Addresses(addresses);
  std::vector<std::string> rows;
  for (const TIp6Address& a : addresses)
    rows.push_back(FormatLine("%9d   %-45s %s", a.IfIndex, WithPrefix(a.Address, a.PrefixLength), a.Kind));
  ListIp6Part(list, "IPv6", code, rows);
}

void ListIp6Adapters(Lines* list) {
  std::vector<TIp6Address> addresses;
  const DWORD code = ReadIp6Addresses(addresses);
  // One line per adapter, in the system's order of the adapters.
  std::vector<std::string> rows;
  std::map<DWORD, std::size_t> lineOf;
  for (const TIp6Address& a : addresses) {
    const std::string address = WithPrefix(a.Address, a.PrefixLength) + " (" + a.Kind + ")";
    const auto found = lineOf.find(a.IfIndex);
    if (found != lineOf.end()) {
      rows[found->second] += ", " + address;
      continue;
    }
    lineOf[a.IfIndex] = rows.size();
    rows.push_back(FormatLine("%5d  %s: ", a.IfIndex, a.Adapter) + address);
  }
  ListIp6Part(list, "IPv6", code, rows);
}

void ListIp6Routes(Lines* list) {
  std::vector<TIp6Route> routes;
  const DWORD code = ReadIp6Routes(routes);
  std::vector<std::string> rows;
  for (const TIp6Route& r : routes) {
    const char* name = RouteProtocolNames[r.Protocol];
    rows.push_back(FormatLine("%-45s|%-40s|%8.8x|%10u|%s", WithPrefix(r.Destination, r.PrefixLength), r.NextHop,
                              r.IfIndex, r.Metric, *name ? std::string(name) : std::to_string(r.Protocol)));
  }
  ListIp6Part(list, "IPv6", code, rows);
}

void ListIp6Neighbours(Lines* list) {
  std::vector<TIp6Neighbour> neighbours;
  const DWORD code = ReadIp6Neighbours(neighbours);
  std::vector<std::string> rows;
  for (const TIp6Neighbour& n : neighbours)
    rows.push_back(FormatLine("%8x | %17s | %s | %s%s", n.IfIndex, n.MacAddress, n.Address,
                              NeighbourStateNames[n.State], n.IsRouter ? " router" : ""));
  ListIp6Part(list, "IPv6", code, rows);
}
