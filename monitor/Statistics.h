// The monitor's statistics page: the system's IPv4 protocol counters, one
// labelled value per line.
#pragma once

#include "text/Lines.h"

// TCP counters. The list is emptied first, so without the library it stays
// empty; a failed query shows the system's text for its code.
void ListTcpStats(Lines* list);
// IP and UDP counters. Without the library the list keeps what it showed; a
// failed query adds the system's text below the last good counters. True
// when the list shows fresh counters (the monitor keeps those as the last
// good ones, so a lasting failure shows them with one message below).
bool ListIpStats(Lines* list);
bool ListUdpStats(Lines* list);
// ICMP counters, received messages into one list and sent ones into the
// other. Nothing happens unless both lists are given and the library is
// there; a failed query shows its text on the received side alone.
void ListIcmpStats(Lines* received, Lines* sent);

// The IPv6 family's counters, shown after the IPv4 ones: the TCP, IP and UDP
// counters as three blocks under "IPv6 TCP:", "IPv6 IP:" and "IPv6 UDP:"
// (the list is emptied first; a block that cannot be read is its caption
// and the system's text on one line), and the ICMPv6 messages received and
// sent under "ICMPv6:" (a failure: one line on the received side).
void ListIp6Stats(Lines* list);
void ListIcmp6Stats(Lines* received, Lines* sent);
