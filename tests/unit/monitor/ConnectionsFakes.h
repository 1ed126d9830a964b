// Fakes behind the connection pages: the three generations of the system's
// connection tables built as the platform builds them (the sized tables in
// the reader's buffer, the allocate-and-get tables as blocks on the heap the
// reader passes), the owner-module lookups, and a small set of processes for
// the process-status library and OpenProcess.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../netdata/FakeIpHelper.h"
#include "monitor/Connections.h"
#include "platform/Sys.h"

namespace connfake {

// One connection as a test describes it; ports in host order.
struct Conn {
  DWORD state = MIB_TCP_STATE_ESTAB;
  const char* local = "10.77.0.2";
  DWORD localPort = 1025;
  const char* remote = "10.77.1.1";
  DWORD remotePort = 80;
  DWORD pid = 0;
  int64_t created = 0;  // 100-ns ticks since 1601, UTC
};

// A port as a table field: network order in the low two bytes, and bytes in
// the upper half that are not part of it (the platform leaves them as they
// happen to be).
DWORD PortField(DWORD port);

struct Process {
  DWORD pid;
  std::vector<std::wstring> modules;  // an empty name: the name lookup fails
  bool opens = true;
  bool listsModules = true;
};

struct Query {
  bool withBuffer;
  BOOL sorted;
  ULONG family;
  int tableClass;
};

struct AllocCall {
  BOOL sorted;
  HANDLE heap;
  DWORD flags;
  DWORD family;
};

struct Fakes {
  std::vector<Conn> tcp;
  std::vector<Conn> udp;
  DWORD extraRowsClaimed = 0;  // every table's count says this many rows more than it holds

  // Owner-module and plain tables.
  TableFake extendedTcp{ERROR_INSUFFICIENT_BUFFER};
  TableFake extendedUdp{ERROR_INSUFFICIENT_BUFFER};
  TableFake plainTcp{ERROR_INSUFFICIENT_BUFFER};
  TableFake plainUdp{ERROR_INSUFFICIENT_BUFFER};
  std::vector<Query> queries;  // of the extended entries, in call order
  std::vector<BOOL> plainSorted;
  // Owner modules by process number; L"<outside>" answers with a path
  // pointer that lies outside the caller's buffer.
  std::map<DWORD, std::wstring> owners;
  std::vector<DWORD> ownerLookups;  // process numbers asked for

  // Allocate-and-get tables.
  DWORD allocAnswer = NO_ERROR;
  bool allocGivesBlock = true;
  std::vector<AllocCall> allocCalls;
  std::set<void*> blocks;     // handed out and not yet freed
  SIZE_T heapSizeAnswer = 1;  // 1: the real size; anything else is answered instead

  // Processes.
  std::vector<Process> processes;
  bool enumProcessesFails = false;
  int enumProcessesCalls = 0;
  std::vector<DWORD> openAccess;
  std::set<HANDLE> openHandles;  // opened and not yet closed
  int opened = 0;
  int nameLookups = 0;
  bool localTimeFails = false;
};
extern Fakes fakes;
// Fresh fakes: no rows, every table answering as the platform does.
void ResetFakes();

// Which generations the library offers.
struct Offer {
  bool extended = true;
  bool ownerLookup = true;
  bool allocate = true;
  bool plain = true;
};
SysApi Slots(const Offer& offer);
SysApi PsapiSlots();

// 100-ns ticks of a UTC time, as a row's creation time stamp.
int64_t Ticks(int year, int month, int day, int hour, int minute, int second);
// What the fake FileTimeToLocalFileTime adds: one hour.
constexpr int64_t kLocalOffset = 36000000000LL;

// A date text written with "/" and ":", in the user's separators.
std::string LocalDateText(const std::string& text);

// Every test runs on the fakes (all generations offered until a test binds
// others) and checks afterwards that no table buffer, heap block or process
// handle outlived the reader.
class ConnectionsTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  void Bind(const Offer& offer);

 private:
  std::unique_ptr<SysSwap> binding_;
  std::unique_ptr<SysSwap> psapi_;
  std::vector<std::shared_ptr<void>> swaps_;
};

}  // namespace connfake
