// The readers of the machine's IPv6 state: the addresses of every adapter,
// the routes, the neighbour cache and the protocol counters of the IPv6
// family. (The IPv6 connection tables are read beside the IPv4 ones, in the
// monitor's connection module.)
//
// Like every reader of this layer they never raise for a platform failure:
// they return 0 or the platform's code, ERROR_NOT_SUPPORTED (50) when the
// library or the entry is missing (systems before Vista have no IPv6 route
// or neighbour table; some have no neighbour table at all).
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "netdata/IPHLPAPI.h"

// One IPv6 address of an adapter.
struct TIp6Address {
  DWORD IfIndex = 0;       // the adapter's IPv6 interface index
  std::string Adapter;     // its friendly name, in the ANSI code page
  std::string Address;     // short standard text, with the scope of a link-local address
  int PrefixLength = -1;   // -1: the system does not give it (before Vista)
  std::string Kind;        // "global", "unique-local", "link-local", ...
  std::string MacAddress;  // the adapter's hardware-address text ("00-1A-...")
};
// Every adapter's IPv6 unicast addresses, adapter by adapter in the system's
// order, and where asked for, every adapter's IPv6 default gateways (the
// next hops of its default routes) in records of the same kind. A machine
// without adapters gives 0 and no rows.
DWORD ReadIp6Addresses(std::vector<TIp6Address>& rows, std::vector<TIp6Address>* gateways = nullptr);

// What support asks about the adapter whose hardware-address text is mac:
// its first global IPv6 address and its first IPv6 default gateway, each
// empty when it has none; result is the query's code (0: read).
struct TIp6Facts {
  DWORD result = ERROR_NOT_SUPPORTED;
  std::string GlobalAddress;
  std::string DefaultGateway;
};
TIp6Facts ReadIp6Facts(const std::string& mac);

// One route of the IPv6 routing table.
struct TIp6Route {
  std::string Destination;  // short text
  int PrefixLength = 0;
  std::string NextHop;  // short text; "::" for a route on the link
  DWORD IfIndex = 0;
  ULONG Metric = 0;
  DWORD Protocol = 0;  // the route protocols of the IPv4 table, same numbers
};
DWORD ReadIp6Routes(std::vector<TIp6Route>& rows);

// One entry of the IPv6 neighbour cache.
struct TIp6Neighbour {
  DWORD IfIndex = 0;
  std::string Address;     // short text
  std::string MacAddress;  // "00-1A-2B-..."; empty when the system has none yet
  DWORD State = 0;         // NL_NEIGHBOR_STATE
  bool IsRouter = false;
};
DWORD ReadIp6Neighbours(std::vector<TIp6Neighbour>& rows);

// The IPv6 family's counters, each query filling its record.
DWORD ReadIp6Stats(MIB_IPSTATS& stats);
DWORD ReadIcmp6Stats(MIB_ICMP_EX& stats);
DWORD ReadTcp6Stats(MIB_TCPSTATS& stats);
DWORD ReadUdp6Stats(MIB_UDPSTATS& stats);
