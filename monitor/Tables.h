// The monitor's table pages: the ARP cache, the IPv4 routing table and the
// interface table, one fixed-format line per row.
#pragma once

#include <vector>

#include "netdata/IPHLPAPI.h"
#include "text/Lines.h"

// The interface table's rows, copied whole; the caller owns them.
using TIfRows = std::vector<MIB_IFROW>;

// Copies the system's interface table into rows and its row count into count
// (both emptied first). Returns 0, 50 when the library or its entry is
// missing (rows and count untouched), or the platform's code for a failed
// query. A table claiming more rows than its buffer holds gives only the
// rows that are really there.
DWORD ReadIfRows(DWORD& count, TIfRows& rows);

// The ARP cache. Without the library the list is left as it was.
void ListArpCache(Lines* list);
// The routing table, sorted. Without the library the list is left as it
// was; a size probe that fails leaves it empty.
void ListRoutes(Lines* list);
// The interfaces whose hardware address has one to six bytes and is not six
// zero bytes; a failed read shows the system's text for its code.
void ListIfRows(Lines* list);
