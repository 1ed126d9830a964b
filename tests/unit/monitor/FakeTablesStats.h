// Fakes of the IP Helper entries behind the monitor's table and statistics
// pages: the ARP cache and routing table built as the platform's structures
// in the reader's buffer, and counter records handed back whole.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "../netdata/FakeIpHelper.h"

// One counter query: answers `answer`, and fills the record only when that
// is 0.
template <class Record>
struct CounterFake {
  DWORD answer = NO_ERROR;
  Record record = {};
  int calls = 0;

  DWORD Call(Record* out) {
    ++calls;
    if (answer == NO_ERROR) *out = record;
    return answer;
  }
};

struct MonitorFakes {
  TableFake ipNetTable{ERROR_INSUFFICIENT_BUFFER};      // MIB_IPNETTABLE
  TableFake ipForwardTable{ERROR_INSUFFICIENT_BUFFER};  // MIB_IPFORWARDTABLE
  std::vector<BOOL> ipNetOrder;                         // sort flag of each call
  std::vector<BOOL> ipForwardOrder;
  std::vector<BOOL> ifOrder;
  CounterFake<MIB_TCPSTATS> tcp;
  CounterFake<MIB_IPSTATS> ip;
  CounterFake<MIB_UDPSTATS> udp;
  CounterFake<MIB_ICMP> icmp;
};
extern MonitorFakes monitorFakes;

// The slots of FakeSlots() plus the entries above.
SysApi MonitorSlots();

void BuildIpNetTable(Arena& a, const std::vector<MIB_IPNETROW>& rows);
MIB_IPNETROW NetRow(DWORD index, const std::vector<BYTE>& mac, const char* address, DWORD type);

void BuildIpForwardTable(Arena& a, const std::vector<MIB_IPFORWARDROW>& rows);
MIB_IPFORWARDROW Route(const char* destination, const char* mask, const char* nextHop, DWORD ifIndex, DWORD type,
                       DWORD proto, DWORD nextHopAs, DWORD metric1);

// A table whose count claims far more rows than its buffer holds (one row).
template <class Table, class Row>
void BuildOverclaimingTable(Arena& a, const Row& row) {
  auto* table = static_cast<Table*>(a.Bytes(sizeof(Table), alignof(Table)));
  table->dwNumEntries = 100000;
  table->table[0] = row;
}

// Every test runs against the fakes and checks afterwards that no table
// buffer outlived its report.
class MonitorFakeTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::unique_ptr<SysSwap> binding_;
};

// A list already showing an earlier refresh.
StringList Stale();
