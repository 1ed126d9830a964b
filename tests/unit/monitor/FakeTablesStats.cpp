#include "FakeTablesStats.h"

#include <algorithm>

MonitorFakes monitorFakes;

namespace {

DWORD WINAPI FakeGetIpNetTable(PMIB_IPNETTABLE table, PULONG size, WINBOOL order) {
  monitorFakes.ipNetOrder.push_back(order);
  return monitorFakes.ipNetTable.Call(table, size);
}
DWORD WINAPI FakeGetIpForwardTable(PMIB_IPFORWARDTABLE table, PULONG size, WINBOOL order) {
  monitorFakes.ipForwardOrder.push_back(order);
  return monitorFakes.ipForwardTable.Call(table, size);
}
DWORD WINAPI FakeGetIfTableOrder(PMIB_IFTABLE table, PULONG size, WINBOOL order) {
  monitorFakes.ifOrder.push_back(order);
  return FakeGetIfTable(table, size, order);
}
ULONG WINAPI FakeGetTcpStatistics(PMIB_TCPSTATS s) { return monitorFakes.tcp.Call(s); }
ULONG WINAPI FakeGetIpStatistics(PMIB_IPSTATS s) { return monitorFakes.ip.Call(s); }
ULONG WINAPI FakeGetUdpStatistics(PMIB_UDPSTATS s) { return monitorFakes.udp.Call(s); }
ULONG WINAPI FakeGetIcmpStatistics(PMIB_ICMP s) { return monitorFakes.icmp.Call(s); }

template <class Table, class Row>
void BuildTable(Arena& a, const std::vector<Row>& rows) {
  auto* table = static_cast<Table*>(a.Bytes(offsetof(Table, table) + rows.size() * sizeof(Row), alignof(Table)));
  table->dwNumEntries = static_cast<DWORD>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) table->table[i] = rows[i];
}

}  // namespace

SysApi MonitorSlots() {
  SysApi slots = FakeSlots();
  slots.GetIpNetTable = FakeGetIpNetTable;
  slots.GetIpForwardTable = FakeGetIpForwardTable;
  slots.GetIfTable = FakeGetIfTableOrder;
  slots.GetTcpStatistics = FakeGetTcpStatistics;
  slots.GetIpStatistics = FakeGetIpStatistics;
  slots.GetUdpStatistics = FakeGetUdpStatistics;
  slots.GetIcmpStatistics = FakeGetIcmpStatistics;
  return slots;
}

void BuildIpNetTable(Arena& a, const std::vector<MIB_IPNETROW>& rows) { BuildTable<MIB_IPNETTABLE>(a, rows); }

MIB_IPNETROW NetRow(DWORD index, const std::vector<BYTE>& mac, const char* address, DWORD type) {
  MIB_IPNETROW row{};
  row.dwIndex = index;
  row.dwPhysAddrLen = static_cast<DWORD>(mac.size());
  std::copy(mac.begin(), mac.begin() + std::min<std::size_t>(mac.size(), 8), row.bPhysAddr);
  row.dwAddr = Ip(address);
  row.dwType = type;
  return row;
}

void BuildIpForwardTable(Arena& a, const std::vector<MIB_IPFORWARDROW>& rows) {
  BuildTable<MIB_IPFORWARDTABLE>(a, rows);
}

MIB_IPFORWARDROW Route(const char* destination, const char* mask, const char* nextHop, DWORD ifIndex, DWORD type,
                       DWORD proto, DWORD nextHopAs, DWORD metric1) {
  MIB_IPFORWARDROW row{};
  row.dwForwardDest = Ip(destination);
  row.dwForwardMask = Ip(mask);
  row.dwForwardNextHop = Ip(nextHop);
  row.dwForwardIfIndex = ifIndex;
  row.dwForwardType = type;
  row.dwForwardProto = proto;
  row.dwForwardNextHopAS = nextHopAs;
  row.dwForwardMetric1 = metric1;
  row.dwForwardMetric2 = MIB_IPROUTE_METRIC_UNUSED;
  return row;
}

void MonitorFakeTest::SetUp() {
  fakes = IpHelperFakes{};
  monitorFakes = MonitorFakes{};
  binding_ = std::make_unique<SysSwap>(SysLibrary::iphlpapi, MonitorSlots());
}

void MonitorFakeTest::TearDown() {
  binding_.reset();
  EXPECT_EQ(TTableBuffer::Live(), 0) << "a table buffer outlived its report";
}

StringList Stale() {
  StringList list;
  list.Add("line of the last refresh");
  return list;
}
