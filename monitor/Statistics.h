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
