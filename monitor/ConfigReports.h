// The reports of the machine's configuration, for the monitor's pages and
// the main window's lists. Each clears its list and writes it anew; a null
// list does nothing. A failed read gives one line with the system's text.
#pragma once

#include "text/Lines.h"

// The monitor's fixed-information page.
void ListFixedInfo(Lines* list);
// The main window's parameter list; true when it found DNS servers.
bool FillNetworkParamsList(Lines* list);
// The monitor's address-table page. Without the library the list is left
// as it was.
void ListIpAddrTable(Lines* list);
// The main window's address list; true when the table has rows.
bool FillIpAddressList(Lines* list);
// The monitor's adapter page, through the query UseExtAdapterApi chooses or
// the one useExtended chooses.
void ListAdaptorRows(Lines* list);
void ListAdaptorRows(Lines* list, bool useExtended);
// The main window's adapter list; true when adapters were found.
bool FillAdapterList(Lines* list);
