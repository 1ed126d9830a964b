// The monitor's statistics page.
#include "monitor/Statistics.h"

#include <string>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/IPv6.h"
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

void AddTcpCounters(Lines& list, const MIB_TCPSTATS& s) {
  list.Add(std::string("Retransmission algorithm :") + TcpRtoAlgorithmNames[s.dwRtoAlgorithm]);
  list.Add("Minimum Time-Out         :" + Counter(s.dwRtoMin) + " ms");
  list.Add("Maximum Time-Out         :" + Counter(s.dwRtoMax) + " ms");
  list.Add("Maximum Pend.Connections :" + Counter(s.dwMaxConn));
  list.Add("Active Opens             :" + Counter(s.dwActiveOpens));
  list.Add("Passive Opens            :" + Counter(s.dwPassiveOpens));
  list.Add("Failed Open Attempts     :" + Counter(s.dwAttemptFails));
  list.Add("Established conn. Reset  :" + Counter(s.dwEstabResets));
  list.Add("Current Established Conn.:" + Counter(s.dwCurrEstab));
  list.Add("Segments Received        :" + Counter(s.dwInSegs));
  list.Add("Segments Sent            :" + Counter(s.dwOutSegs));
  list.Add("Segments Retransmitted   :" + Counter(s.dwRetransSegs));
  list.Add("Incoming Errors          :" + Counter(s.dwInErrs));
  list.Add("Outgoing Resets          :" + Counter(s.dwOutRsts));
  list.Add("Cumulative Connections   :" + Counter(s.dwNumConns));
}

void AddIpCounters(Lines& list, const MIB_IPSTATS& s) {
  list.Add(s.dwForwarding == MIB_IP_FORWARDING ? "Forwarding Enabled      : Yes" : "Forwarding Enabled      : No");
  list.Add("Default TTL             : " + Counter(s.dwDefaultTTL));
  list.Add("Datagrams Received      : " + Counter(s.dwInReceives));
  list.Add("Header Errors     (In)  : " + Counter(s.dwInHdrErrors));
  list.Add("Address Errors    (In)  : " + Counter(s.dwInAddrErrors));
  list.Add("Datagrams Forwarded     : " + Counter(s.dwForwDatagrams));
  list.Add("Unknown Protocols (In)  : " + Counter(s.dwInUnknownProtos));
  list.Add("Datagrams Discarded     : " + Counter(s.dwInDiscards));
  list.Add("Datagrams Delivered     : " + Counter(s.dwInDelivers));
  list.Add("Requests Out            : " + Counter(s.dwOutRequests));
  list.Add("Routings Discarded      : " + Counter(s.dwRoutingDiscards));
  list.Add("No Routes          (Out): " + Counter(s.dwOutNoRoutes));
  list.Add("Reassemble TimeOuts     : " + Counter(s.dwReasmTimeout));
  list.Add("Reassemble Requests     : " + Counter(s.dwReasmReqds));
  list.Add("Succesfull Reassemblies : " + Counter(s.dwReasmOks));
  list.Add("Failed Reassemblies     : " + Counter(s.dwReasmFails));
  list.Add("Succesful Fragmentations: " + Counter(s.dwFragOks));
  list.Add("Failed Fragmentations   : " + Counter(s.dwFragFails));
  list.Add("Datagrams Fragmented    : " + Counter(s.dwFragCreates));
  list.Add("Number of Interfaces    : " + Counter(s.dwNumIf));
  list.Add("Number of IP-addresses  : " + Counter(s.dwNumAddr));
  list.Add("Routes in RoutingTable  : " + Counter(s.dwNumRoutes));
}

void AddUdpCounters(Lines& list, const MIB_UDPSTATS& s) {
  list.Add("Datagrams (In)    : " + Counter(s.dwInDatagrams));
  list.Add("Datagrams (Out)   : " + Counter(s.dwOutDatagrams));
  list.Add("No Ports          : " + Counter(s.dwNoPorts));
  list.Add("Errors    (In)    : " + Counter(s.dwInErrors));
  list.Add("UDP Listen Ports  : " + Counter(s.dwNumAddrs));
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
  AddTcpCounters(*list, s);
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
  AddIpCounters(*list, s);
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
  AddUdpCounters(*list, s);
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

// ---------------------------------------------------------------------------
// The IPv6 family's counters, with the labels of the IPv4 ones

namespace {

// The ICMPv6 message types a technician asks about, by type number.
struct Icmp6Type {
  int type;
  const char* label;
};
const Icmp6Type kIcmp6Types[] = {
    {1, "Dest. Unreachable    : "},   {2, "Packet Too Big       : "},   {3, "Time Exceeded        : "},
    {4, "Param. Problems      : "},   {128, "Echo Requests        : "}, {129, "Echo Replies         : "},
    {133, "Router Solicitations : "}, {134, "Router Adverts.      : "}, {135, "Neighbour Solicits.  : "},
    {136, "Neighbour Adverts.   : "}, {137, "Redirects            : "},
};

void AddIcmp6Counters(Lines& list, const MIBICMPSTATS_EX& s, const char* messagesLabel) {
  list.Add("ICMPv6:");
  list.Add(messagesLabel + Counter(s.dwMsgs));
  list.Add("Errors               : " + Counter(s.dwErrors));
  for (const Icmp6Type& t : kIcmp6Types) list.Add(t.label + Counter(s.rgdwTypeCount[t.type]));
}

// One block of IPv6 counters: its caption, then the counters or the
// system's text on the caption's line.
template <class Record>
void AddIp6Block(Lines& list, const char* caption, DWORD (*read)(Record&), void (*add)(Lines&, const Record&)) {
  Record s{};
  const DWORD result = read(s);
  if (result != NO_ERROR) {
    list.Add(std::string(caption) + ": " + SysErrorMessage(result));
    return;
  }
  list.Add(std::string(caption) + ":");
  add(list, s);
}

}  // namespace

void ListIp6Stats(Lines* list) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  AddIp6Block<MIB_TCPSTATS>(*list, "IPv6 TCP", ReadTcp6Stats, AddTcpCounters);
  AddIp6Block<MIB_IPSTATS>(*list, "IPv6 IP", ReadIp6Stats, AddIpCounters);
  AddIp6Block<MIB_UDPSTATS>(*list, "IPv6 UDP", ReadUdp6Stats, AddUdpCounters);
}

void ListIcmp6Stats(Lines* received, Lines* sent) {
  if (!received || !sent) return;
  LinesUpdate updateReceived(*received);
  LinesUpdate updateSent(*sent);
  received->Clear();
  sent->Clear();
  MIB_ICMP_EX s{};
  const DWORD result = ReadIcmp6Stats(s);
  if (result != NO_ERROR) {
    received->Add("ICMPv6: " + SysErrorMessage(result));
    return;
  }
  AddIcmp6Counters(*received, s.icmpInStats, "Messages received    : ");
  AddIcmp6Counters(*sent, s.icmpOutStats, "Messages sent        : ");
}
