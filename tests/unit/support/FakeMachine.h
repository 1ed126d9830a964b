// The one fake machine of the unit tests. Its state covers everything the
// program asks the system: the IP Helper tables (parameters, adapters,
// address, interface, ARP, route and connection tables, counters), the
// processes behind the connections, echo replies per address, name lookups,
// the shell, the network presence and the online check, the proxy's
// registry values and the console commands. A ScopedFakeMachine resets it
// and installs the kinds a test asks for over the bound system calls for
// its lifetime; the tables are laid out by the table builder, so the
// readers run their real code.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Sys.h"
#include "support/FakeCommands.h"
#include "support/FakeRegistry.h"
#include "support/TableBuilder.h"
#include "toolkit/Lines.h"

// One table entry of the library: answers the size probe with probeAnswer
// and the needed size, then builds the table or answers secondAnswer.
struct TableFake {
  DWORD probeAnswer = ERROR_BUFFER_OVERFLOW;
  DWORD secondAnswer = NO_ERROR;
  std::function<void(Arena&)> build = [](Arena&) {};
  int calls = 0;

  DWORD Call(void* buffer, PULONG size);
};

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

// Which generations of the connection tables the library offers.
struct TableGenerations {
  bool extended = true;
  bool ownerLookup = true;
  bool allocate = true;
  bool plain = true;
};

// An adapter of the main window's machine, from which its adapter list, its
// address and interface tables and its per-adapter records are built.
struct FakeAdapter {
  DWORD index = 11;
  DWORD type = IF_TYPE_ETHERNET_CSMACD;
  std::vector<BYTE> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::string description = "Fake Ethernet Adapter";
  std::string address = "192.168.1.10";
  std::string mask = "255.255.255.0";
  std::string gateway = "192.168.1.1";
  std::string dns = "192.168.1.53";
  DWORD operStatus = 5;
};

// How a fake host answers echoes: a reply, silence, every other one, or a
// router's "host unreachable" record.
enum class Answer { Up, Down, Half, Unreachable };


struct FakeMachine {
  // ---- IP Helper: parameters and adapters
  TableFake networkParams;                                // FIXED_INFO
  TableFake adaptersInfo;                                 // IP_ADAPTER_INFO chain
  TableFake adaptersAddresses;                            // IP_ADAPTER_ADDRESSES chain
  TableFake ipAddrTable{ERROR_INSUFFICIENT_BUFFER};       // MIB_IPADDRTABLE
  TableFake ifTable{ERROR_INSUFFICIENT_BUFFER};           // MIB_IFTABLE
  std::function<DWORD(ULONG index, Arena&)> perAdapter;   // null: answers 232
  std::vector<std::pair<ULONG, ULONG>> addressesQueries;  // (family, flags) per call
  std::vector<ULONG> perAdapterBufferSizes;

  // ---- IP Helper: the monitor's tables and counters
  TableFake ipNetTable{ERROR_INSUFFICIENT_BUFFER};      // MIB_IPNETTABLE
  TableFake ipForwardTable{ERROR_INSUFFICIENT_BUFFER};  // MIB_IPFORWARDTABLE
  std::vector<BOOL> ipNetOrder;                         // sort flag of each call
  std::vector<BOOL> ipForwardOrder;
  std::vector<BOOL> ifOrder;
  CounterFake<MIB_TCPSTATS> tcpStats;
  CounterFake<MIB_IPSTATS> ipStats;
  CounterFake<MIB_UDPSTATS> udpStats;
  CounterFake<MIB_ICMP> icmpStats;

  // ---- IP Helper: connections, and the processes that own them

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

  // ---- The main window's world
  std::vector<FakeAdapter> adapters = {FakeAdapter{}};
  std::map<std::string, std::string> names;  // host name -> dotted address
  std::map<std::string, Answer> answers;     // dotted address -> answer (default Up)
  std::map<std::string, int> echoCounts;     // dotted address -> echoes so far
  HANDLE echoGate = nullptr;                 // when set, every echo waits until it is signalled
  INT_PTR shellResult = 42;
  std::vector<std::string> shellOpened;  // "verb file" of every ShellExecute
  int network = 1;                       // SM_NETWORK
  BOOL online = TRUE;

  // Every fake as a fresh machine has it: no rows, every table answering as
  // the platform does, the world's three public hosts named.
  void Reset();
  // Builds the adapter entries' tables from `adapters`.
  void BuildFromAdapters();
};

// The one fake machine of the test program.
extern FakeMachine machine;

// The machine's IP Helper entries that tests put back after replacing them.
DWORD WINAPI FakeGetNetworkParams(PFIXED_INFO info, PULONG size);
DWORD WINAPI FakeGetPerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size);
DWORD WINAPI FakeGetIfTable(PMIB_IFTABLE table, PULONG size, WINBOOL order);
DWORD WINAPI FakeGetIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, WINBOOL order);

// What the fake FileTimeToLocalFileTime adds: one hour.
constexpr int64_t kLocalOffset = 36000000000LL;

// A date text written with "/" and ":", in the user's separators.
std::string LocalDateText(const std::string& text);

// Resets the machine and installs what a test asks for over the bound
// system calls; everything comes back when it ends.
class ScopedFakeMachine {
 public:
  enum Kind : unsigned {
    kAdapters = 1,       // parameters, adapter lists, address and interface tables
    kMonitorTables = 2,  // ARP cache, routes, counters
    kConnections = 4,    // the connection tables of the offered generations
    kProcesses = 8,      // the process-status library, process handles, heap blocks, local time
    kWorld = 16,         // echo, names, Sleep, shell, metrics, online check, registry, commands
  };
  explicit ScopedFakeMachine(unsigned kinds);
  ~ScopedFakeMachine();
  ScopedFakeMachine(const ScopedFakeMachine&) = delete;
  ScopedFakeMachine& operator=(const ScopedFakeMachine&) = delete;

  // The IP Helper library again, offering these connection generations.
  void Offer(const TableGenerations& generations);

 private:
  void BindIpHelper();

  unsigned kinds_;
  TableGenerations generations_;
  std::unique_ptr<SysSwap> ipHelper_;
  std::unique_ptr<SysSwap> psapi_;
  std::vector<std::shared_ptr<void>> swaps_;
  std::unique_ptr<fakeregistry::ScopedFakeRegistry> registry_;
  std::unique_ptr<fakecommands::ScopedFakeCommands> commands_;
};

// The lines of a list, for comparing.
std::vector<std::string> LinesOf(const Lines& list);
