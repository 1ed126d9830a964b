#include "text/NameTables.h"

namespace {

const char* const kArpEntryTypeNames[] = {"", "Other", "Invalid", "Dynamic", "Static"};
const char* const kTcpStateNames[] = {"",          "closed",    "listening",  "syn_sent", "syn_rcvd", "established",
                                      "fin_wait1", "fin_wait2", "close_wait", "closing",  "last_ack", "time_wait",
                                      "delete_tcb"};
const char* const kTcpRtoAlgorithmNames[] = {"", "Other", "Const.Timeout", "MIL-STD-1778", "Van Jacobson"};
const char* const kRouteTypeNames[] = {"", "other", "invalid", "local", "remote"};
const char* const kRouteProtocolNames[] = {"",     "OTHER", "LOCAL",     "NETMGMT", "ICMP",   "EGP", "GGP",
                                           "HELO", "RIP",   "IS_IS",     "ES_IS",   "CISCO",  "BBN", "OSPF",
                                           "BGP",  "BOOTP", "AUTO_STAT", "STATIC",  "NOT_DOD"};

const char* const kNeighbourStateNames[] = {"unreachable", "incomplete", "probe",    "delay",
                                            "stale",       "reachable",  "permanent"};

}  // namespace

const TNameTable ArpEntryTypeNames(kArpEntryTypeNames, 0);
const TNameTable TcpStateNames(kTcpStateNames, 0);
const TNameTable TcpRtoAlgorithmNames(kTcpRtoAlgorithmNames, 0);
const TNameTable RouteTypeNames(kRouteTypeNames, 0);
const TNameTable RouteProtocolNames(kRouteProtocolNames, 0);
const TNameTable NeighbourStateNames(kNeighbourStateNames, 0);
