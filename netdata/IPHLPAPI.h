// The name tables that go with the IP Helper library's data (NetBIOS node
// types, interface types, operational states). The library's entries are
// bound with every other system call (platform/Calls.h).
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstddef>

#include "text/NameTables.h"

// NetBIOS node types 0..8 (1 broadcast, 2 peer-to-peer, 4 mixed, 8 hybrid).
extern const TNameTable NodeTypeNames;
// Short names of the standard interface type codes 1..145.
extern const TNameTable IfTypeNames;

// An adapter's operational state as the adapter-addresses query gives it.
enum TIF_OPER_STATUS : DWORD {
  IF_OPER_STATUS_NONE = 0,
  IF_OPER_STATUS_UP = 1,
  IF_OPER_STATUS_DOWN = 2,
  IF_OPER_STATUS_TESTING = 3,
  IF_OPER_STATUS_UNKNOWN = 4,
  IF_OPER_STATUS_DORMANT = 5,
  IF_OPER_STATUS_NOT_PRESENT = 6,
  IF_OPER_STATUS_LOWER_LAYER_DOWN = 7,
};
// The identifier of each TIF_OPER_STATUS value, 0..7.
extern const TNameTable IfOperStatusNames;
