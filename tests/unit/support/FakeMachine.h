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
#include "text/Lines.h"

// One table entry of the library: answers the size probe with probeAnswer
// and the needed size, then builds the table or answers secondAnswer.
struct TableFake {
  DWORD probeAnswer = ERROR_BUFFER_OVERFLOW;
  DWORD secondAnswer = NO_ERROR;
  std::function<void(Arena&)> build = [](Arena&) {};
  int calls = 0;
  ULONG lastBufferSize = 0;  // the size of the last buffer it was handed

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

// One echo of a scripted host: a reply after ms, no reply with an IP
// status, or a record with an error status (a router's ICMP answer, which
// the service returns as one "reply").
struct Echo {
  bool reply;
  int ms;
  DWORD status;
};
// The time to live of a scripted host's replies.
constexpr UCHAR kScriptedTtl = 57;

// How a world's address answers echoes: a reply, silence, every other one, or a
// router's "host unreachable" record.
enum class EchoAnswer { Up, Down, Half, Unreachable };

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

  // ---- IPv6: connections, addresses, routes, neighbours, counters. The
  // connection and address entries answer by the family asked for; the
  // IPv4 fakes above never see a call for IPv6.
  std::vector<Conn> tcp6;  // addresses as IPv6 text
  std::vector<Conn> udp6;
  TableFake extendedTcp6{ERROR_INSUFFICIENT_BUFFER};
  TableFake extendedUdp6{ERROR_INSUFFICIENT_BUFFER};
  TableFake adaptersAddresses6{ERROR_NO_DATA};  // no IPv6 address, until a test builds some
  std::vector<MIB_IPFORWARD_ROW2> routes6;
  DWORD routes6Answer = NO_ERROR;
  std::vector<MIB_IPNET_ROW2> neighbours6;
  DWORD neighbours6Answer = NO_ERROR;
  int mibTablesLive = 0;  // tables the fakes allocated and FreeMibTable did not free yet
  CounterFake<MIB_IPSTATS> ip6Stats;
  CounterFake<MIB_TCPSTATS> tcp6Stats;
  CounterFake<MIB_UDPSTATS> udp6Stats;
  CounterFake<MIB_ICMP_EX> icmp6Stats;
  std::vector<ULONG> statsFamilies;  // the family of every counter query of the IPv6 fakes

  // ---- Echo and names
  // A host the echo service knows by name: an address of its own and its
  // echoes in order (the last one repeats). An echo to any other address is
  // a fault, except on the world's machine, where it answers as `answers`
  // says and `names` and written-out addresses resolve too.
  struct EchoHost {
    std::vector<Echo> echoes;
    size_t next = 0;
    ULONG address = 0;
  };
  std::map<std::string, EchoHost> hosts;
  std::map<std::string, std::string> names;  // host name -> dotted address
  std::map<std::string, EchoAnswer> answers;     // dotted address -> answer (default Up)
  std::map<std::string, int> echoCounts;     // dotted address -> world echoes so far
  std::string noAddress = "no-address";      // resolves without an address
  std::string lookupThrows = "broken";       // the name service breaks
  bool noEchoHandle = false;
  // Set: every echo signals echoEntered (when set), then waits for
  // echoRelease before it answers.
  HANDLE echoEntered = nullptr;
  HANDLE echoRelease = nullptr;
  long long clockMs = 0;  // the fake clock; Sleep and scripted echoes advance it
  std::vector<DWORD> sleeps;
  std::vector<std::string> lookups;
  int echoes = 0, handlesMade = 0, handlesClosed = 0, wsaStarts = 0, wsaCleanups = 0;
  std::vector<std::string> faults;  // arguments the ping worker got wrong

  // ---- The main window's world
  std::vector<FakeAdapter> adapters = {FakeAdapter{}};
  INT_PTR shellResult = 42;
  std::vector<std::string> shellOpened;  // "verb file" of every ShellExecute
  int network = 1;                       // SM_NETWORK
  BOOL online = TRUE;

  // A host by name, at the next address of 10.0.0.x.
  void AddHost(const std::string& name, std::vector<Echo> script);
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
    kEcho = 16,          // the echo service and name lookups
    kSleep = 32,         // Sleep returns at once, advancing the fake clock
    kClock = 64,         // GetTickCount64 reads the fake clock
    kWorld = 128,        // the world's echoes and names, shell, metrics, online check, registry, commands
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
  unsigned saved_;  // the kinds of an enclosing scope
  TableGenerations generations_;
  std::unique_ptr<SysSwap> ipHelper_;
  std::unique_ptr<SysSwap> psapi_;
  std::vector<std::shared_ptr<void>> swaps_;
  std::unique_ptr<fakeregistry::ScopedFakeRegistry> registry_;
  std::unique_ptr<fakecommands::ScopedFakeCommands> commands_;
};

// The lines of a list, for comparing.
std::vector<std::string> LinesOf(const Lines& list);
