// The monitor's statistics page.
#include "monitor/Statistics.h"

#include <string>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"
#include "text/NameTables.h"

namespace {

// Every counter is unsigned: a counter with all bits set is 4294967295.
std::string Counter(DWORD value) { return std::to_string(value); }

void AddIcmpCounters(Lines& list, const MIBICMPSTATS& s, const char* messagesLabel) {
  list.Add(messagesLabel + Counter(s.dwMsgs));
  list.Add("Errors               : " + Counter(s.dwErrors));
  list.Add("Dest. Unreachable    : " + Counter(s.dwDestUnreachs));
  list.Add("Time Exceeded        : " + Counter(s.dwTimeExcds));
  list.Add("Param. Problems      : " + Counter(s.dwParmProbs));
  list.Add("Source Quench        : " + Counter(s.dwSrcQuenchs));
  list.Add("Redirects            : " + Counter(s.dwRedirects));
  list.Add("Echo Requests        : " + Counter(s.dwEchos));
  list.Add("Echo Replies         : " + Counter(s.dwEchoReps));
  list.Add("Timestamp Requests   : " + Counter(s.dwTimestamps));
  list.Add("Timestamp Replies    : " + Counter(s.dwTimestampReps));
  list.Add("Addr. Masks Requests : " + Counter(s.dwAddrMasks));
  list.Add("Addr. Mask Replies   : " + Counter(s.dwAddrMaskReps));
}

}  // namespace

void ListTcpStats(Lines* list) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetTcpStatistics) return;
  MIB_TCPSTATS s = {};
  const DWORD result = Sys.GetTcpStatistics(&s);
  if (result != NO_ERROR) {
    list->Add(SysErrorMessage(result));
    return;
  }
  list->Add(std::string("Retransmission algorithm :") + TcpRtoAlgorithmNames[s.dwRtoAlgorithm]);
  list->Add("Minimum Time-Out         :" + Counter(s.dwRtoMin) + " ms");
  list->Add("Maximum Time-Out         :" + Counter(s.dwRtoMax) + " ms");
  list->Add("Maximum Pend.Connections :" + Counter(s.dwMaxConn));
  list->Add("Active Opens             :" + Counter(s.dwActiveOpens));
  list->Add("Passive Opens            :" + Counter(s.dwPassiveOpens));
  list->Add("Failed Open Attempts     :" + Counter(s.dwAttemptFails));
  list->Add("Established conn. Reset  :" + Counter(s.dwEstabResets));
  list->Add("Current Established Conn.:" + Counter(s.dwCurrEstab));
  list->Add("Segments Received        :" + Counter(s.dwInSegs));
  list->Add("Segments Sent            :" + Counter(s.dwOutSegs));
  list->Add("Segments Retransmitted   :" + Counter(s.dwRetransSegs));
  list->Add("Incoming Errors          :" + Counter(s.dwInErrs));
  list->Add("Outgoing Resets          :" + Counter(s.dwOutRsts));
  list->Add("Cumulative Connections   :" + Counter(s.dwNumConns));
}

bool ListIpStats(Lines* list) {
  if (!list || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIpStatistics) return false;
  LinesUpdate update(*list);
  MIB_IPSTATS s = {};
  const DWORD result = Sys.GetIpStatistics(&s);
  if (result != NO_ERROR) {
    // Below the last good counters, which stay readable.
    list->Add(SysErrorMessage(result));
    return false;
  }
  list->Clear();
  list->Add(s.dwForwarding == MIB_IP_FORWARDING ? "Forwarding Enabled      : Yes" : "Forwarding Enabled      : No");
  list->Add("Default TTL             : " + Counter(s.dwDefaultTTL));
  list->Add("Datagrams Received      : " + Counter(s.dwInReceives));
  list->Add("Header Errors     (In)  : " + Counter(s.dwInHdrErrors));
  list->Add("Address Errors    (In)  : " + Counter(s.dwInAddrErrors));
  list->Add("Datagrams Forwarded     : " + Counter(s.dwForwDatagrams));
  list->Add("Unknown Protocols (In)  : " + Counter(s.dwInUnknownProtos));
  list->Add("Datagrams Discarded     : " + Counter(s.dwInDiscards));
  list->Add("Datagrams Delivered     : " + Counter(s.dwInDelivers));
  list->Add("Requests Out            : " + Counter(s.dwOutRequests));
  list->Add("Routings Discarded      : " + Counter(s.dwRoutingDiscards));
  list->Add("No Routes          (Out): " + Counter(s.dwOutNoRoutes));
  list->Add("Reassemble TimeOuts     : " + Counter(s.dwReasmTimeout));
  list->Add("Reassemble Requests     : " + Counter(s.dwReasmReqds));
  list->Add("Succesfull Reassemblies : " + Counter(s.dwReasmOks));
  list->Add("Failed Reassemblies     : " + Counter(s.dwReasmFails));
  list->Add("Succesful Fragmentations: " + Counter(s.dwFragOks));
  list->Add("Failed Fragmentations   : " + Counter(s.dwFragFails));
  list->Add("Datagrams Fragmented    : " + Counter(s.dwFragCreates));
  list->Add("Number of Interfaces    : " + Counter(s.dwNumIf));
  list->Add("Number of IP-addresses  : " + Counter(s.dwNumAddr));
  list->Add("Routes in RoutingTable  : " + Counter(s.dwNumRoutes));
  return true;
}

bool ListUdpStats(Lines* list) {
  if (!list || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetUdpStatistics) return false;
  LinesUpdate update(*list);
  MIB_UDPSTATS s = {};
  const DWORD result = Sys.GetUdpStatistics(&s);
  if (result != NO_ERROR) {
    list->Add(SysErrorMessage(result));
    return false;
  }
  list->Clear();
  list->Add("Datagrams (In)    : " + Counter(s.dwInDatagrams));
  list->Add("Datagrams (Out)   : " + Counter(s.dwOutDatagrams));
  list->Add("No Ports          : " + Counter(s.dwNoPorts));
  list->Add("Errors    (In)    : " + Counter(s.dwInErrors));
  list->Add("UDP Listen Ports  : " + Counter(s.dwNumAddrs));
  return true;
}

void ListIcmpStats(Lines* received, Lines* sent) {
  if (!received || !sent || !BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetIcmpStatistics) return;
  LinesUpdate updateReceived(*received);
  LinesUpdate updateSent(*sent);
  received->Clear();
  sent->Clear();
  MIB_ICMP s = {};
  static_assert(sizeof(s) == 104, "two halves of 13 counters");
  const DWORD result = Sys.GetIcmpStatistics(&s);
  if (result != NO_ERROR) {
    received->Add(SysErrorMessage(result));
    return;
  }
  AddIcmpCounters(*received, s.stats.icmpInStats, "Messages received    : ");
  AddIcmpCounters(*sent, s.stats.icmpOutStats, "Messages sent        : ");
}
