// The IPv6 parts of the monitor's table pages, each shown after the page's
// IPv4 part: the addresses, the adapters' addresses, the routes and the
// neighbour cache.
//
// Every part has the same shape: a caption line ending in ":" and one line
// per row; the caption and "no entries." for an empty table; the caption
// and the system's text, on one line, when the table cannot be read (an
// older system, or one without that table), so the page's IPv4 part is
// never lost over it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "text/Lines.h"

// The list becomes the part: caption, then rows (code 0), or one line.
void ListIp6Part(Lines* list, const std::string& caption, DWORD code, const std::vector<std::string>& rows);

// The address page: interface index, address/prefix length and its kind.
void ListIp6AddrTable(Lines* list);
// The adapter page: one line per adapter with its IPv6 addresses.
void ListIp6Adapters(Lines* list);
// The routing page: destination/prefix, next hop, interface, metric, protocol.
void ListIp6Routes(Lines* list);
// The ARP page: interface, hardware address, address, state.
void ListIp6Neighbours(Lines* list);
