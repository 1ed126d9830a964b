// Connection readers, the process list and the two connection pages against
// fakes of every generation of the system's tables.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "support/ReaderTest.h"
#include "monitor/Connections.h"
#include "netdata/IPHelper.h"

namespace {

// Every test runs on the fake connection tables (all generations offered
// until a test binds others) and processes, and checks afterwards that no
// table buffer, heap block or process handle outlived the reader.
class ConnectionsTest : public ReaderTest<ScopedFakeMachine::kConnections | ScopedFakeMachine::kProcesses> {
 protected:
  void SetUp() override {
    ReaderTest::SetUp();
    ShowAppPath = false;
  }
  void TearDown() override {
    ShowAppPath = false;
    EXPECT_TRUE(machine.blocks.empty()) << "a table block was not freed";
    EXPECT_TRUE(machine.openHandles.empty()) << "a process handle was not closed";
    ReaderTest::TearDown();
  }
};

using Strings = std::vector<std::string>;

const int64_t kFeb19 = Ticks(2012, 2, 19, 13, 45, 30);  // 14:45:30 local, day 40958

const TableGenerations kOwnerModule{};
const TableGenerations kAllocateAndGet{false, false, true, true};
const TableGenerations kPlain{false, false, false, true};

StringList Stale() {
  StringList list;
  list.Add("an earlier refresh");
  return list;
}

std::wstring Path(const TConnInfo& row) { return row.ModulePath; }

// ---------------------------------------------------------------------------
// Readers

TEST_F(ConnectionsTest, ReadersTakeTheNewestGenerationOffered) {
  machine.tcp = {Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1025, "10.77.1.1", 80, 4242, kFeb19}};
  machine.udp = {Conn{0, "10.77.0.2", 1025, "0.0.0.0", 0, 4242, kFeb19}};
  struct Case {
    const char* name;
    TableGenerations offer;
    std::size_t extendedCalls, allocCalls, plainCalls;
    DWORD pid;
    bool created;
  };
  const Case cases[] = {
      {"owner-module", kOwnerModule, 4, 0, 0, 4242, true},
      {"owner-module alone", TableGenerations{true, false, false, false}, 4, 0, 0, 4242, true},
      {"allocate-and-get", kAllocateAndGet, 0, 2, 0, 4242, false},
      {"plain", kPlain, 0, 0, 4, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bind(c.offer);
    machine.queries.clear();
    machine.allocCalls.clear();
    machine.plainSorted.clear();
    TConnRows tcp, udp;
    ReadTcpConnRows(tcp);
    ReadUdpConnRows(udp);
    EXPECT_EQ(machine.queries.size(), c.extendedCalls);
    EXPECT_EQ(machine.allocCalls.size(), c.allocCalls);
    EXPECT_EQ(machine.plainSorted.size(), c.plainCalls);
    ASSERT_EQ(tcp.size(), 1u);
    ASSERT_EQ(udp.size(), 1u);
    for (const TConnInfo* row : {&tcp[0], &udp[0]}) {
      EXPECT_EQ(row->LocalAddr, " 10. 77.  0.  2");
      EXPECT_EQ(row->LocalPort, 1025);
      EXPECT_EQ(row->ProcessId, c.pid);
      EXPECT_EQ(row->Created > 0, c.created);
    }
    EXPECT_EQ(tcp[0].State, MIB_TCP_STATE_ESTAB);
    EXPECT_EQ(tcp[0].RemoteAddr, " 10. 77.  1.  1");
    EXPECT_EQ(tcp[0].RemotePort, 80);
    EXPECT_EQ(udp[0].State, -1);
    EXPECT_EQ(udp[0].RemoteAddr, "");
    EXPECT_EQ(udp[0].RemotePort, 0);
  }
  // The plain tables: probe unsorted, then the sorted table.
  EXPECT_EQ(machine.plainSorted, (std::vector<BOOL>{FALSE, TRUE, FALSE, TRUE}));
}

TEST_F(ConnectionsTest, OwnerModuleRowsCarryTimeAndProgram) {
  machine.tcp = {
      Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 49152, "10.77.1.1", 80, 4242, kFeb19},
      // Listening: the remote port field holds something, the port is still 0.
      Conn{MIB_TCP_STATE_LISTEN, "0.0.0.0", 135, "0.0.0.0", 4660, 868, 0},
      Conn{MIB_TCP_STATE_TIME_WAIT, "127.0.0.1", 5000, "127.0.0.1", 6000, 0, 0},
      Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1026, "10.77.1.2", 443, 999, 0},  // no module known
  };
  machine.udp = {Conn{0, "0.0.0.0", 53, "0.0.0.0", 0, 868, kFeb19}};
  machine.owners = {{4242, L"C:\\Program Files\\Velnor\\agent.exe"}, {868, L"C:\\Windows\\System32\\svchost.exe"}};

  TConnRows tcp;
  ReadTcpConnRows(tcp);
  ASSERT_EQ(tcp.size(), 4u);
  EXPECT_EQ(tcp[0].LocalPort, 49152);
  EXPECT_EQ(tcp[0].RemotePort, 80);
  EXPECT_NEAR(tcp[0].Created, 40958 + (14 * 3600 + 45 * 60 + 30) / 86400.0, 1e-8);  // local time
  EXPECT_EQ(tcp[1].State, MIB_TCP_STATE_LISTEN);
  EXPECT_EQ(tcp[1].RemoteAddr, "  0.  0.  0.  0");
  EXPECT_EQ(tcp[1].RemotePort, 0);
  EXPECT_EQ(tcp[2].RemotePort, 6000);
  EXPECT_EQ(Path(tcp[0]), L"C:\\Program Files\\Velnor\\agent.exe");
  EXPECT_EQ(Path(tcp[1]), L"C:\\Windows\\System32\\svchost.exe");
  EXPECT_EQ(Path(tcp[2]), L"");
  EXPECT_EQ(Path(tcp[3]), L"");
  // Process 0 is never looked up.
  EXPECT_EQ(machine.ownerLookups, (std::vector<DWORD>{4242, 868, 999}));

  TConnRows udp;
  ReadUdpConnRows(udp);
  ASSERT_EQ(udp.size(), 1u);
  EXPECT_EQ(udp[0].LocalPort, 53);
  EXPECT_EQ(Path(udp[0]), L"C:\\Windows\\System32\\svchost.exe");
  EXPECT_GT(udp[0].Created, 40958);

  // A size probe without a buffer, unsorted, then the sorted table; IPv4
  // owner-module tables of all TCP states, and of UDP.
  ASSERT_EQ(machine.queries.size(), 4u);
  const std::pair<bool, BOOL> calls[] = {{false, FALSE}, {true, TRUE}, {false, FALSE}, {true, TRUE}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(machine.queries[i].withBuffer, calls[i].first);
    EXPECT_EQ(machine.queries[i].sorted, calls[i].second);
    EXPECT_EQ(machine.queries[i].family, static_cast<ULONG>(AF_INET));
    EXPECT_EQ(machine.queries[i].tableClass, i < 2 ? int{TCP_TABLE_OWNER_MODULE_ALL} : int{UDP_TABLE_OWNER_MODULE});
  }
}

TEST_F(ConnectionsTest, RowsStayWhenTheOwnerModuleCannotBeHad) {
  machine.tcp = {Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1025, "10.77.1.1", 80, 4242, kFeb19}};
  machine.udp = {Conn{0, "0.0.0.0", 53, "0.0.0.0", 0, 4242, 0}};
  machine.owners = {{4242, L"C:\\Apps\\agent.exe"}};

  // A library without the lookup entries (Wine has none).
  Bind(TableGenerations{true, false, true, true});
  TConnRows tcp, udp;
  ReadTcpConnRows(tcp);
  ReadUdpConnRows(udp);
  ASSERT_EQ(tcp.size(), 1u);
  ASSERT_EQ(udp.size(), 1u);
  EXPECT_EQ(Path(tcp[0]), L"");
  EXPECT_EQ(Path(udp[0]), L"");
  EXPECT_TRUE(machine.ownerLookups.empty());

  // An answer whose path points outside the buffer handed over is not followed.
  Bind(kOwnerModule);
  machine.owners = {{4242, L"<outside>"}};
  ReadTcpConnRows(tcp);
  ASSERT_EQ(tcp.size(), 1u);
  EXPECT_EQ(Path(tcp[0]), L"");
  EXPECT_EQ(machine.ownerLookups.size(), 1u);

  // A local time the system cannot give is unknown.
  machine.localTimeFails = true;
  ReadTcpConnRows(tcp);
  ASSERT_EQ(tcp.size(), 1u);
  EXPECT_EQ(tcp[0].Created, 0);
}

TEST_F(ConnectionsTest, AllocatedTablesComeFromTheProcessHeapAndGoBack) {
  machine.tcp = {Conn{MIB_TCP_STATE_LISTEN, "0.0.0.0", 135, "0.0.0.0", 4660, 868, kFeb19}};
  machine.udp = {Conn{0, "10.77.0.2", 137, "0.0.0.0", 0, 4, 0}};
  Bind(kAllocateAndGet);
  TConnRows tcp, udp;
  ReadTcpConnRows(tcp);
  ReadUdpConnRows(udp);
  EXPECT_TRUE(machine.blocks.empty());
  ASSERT_EQ(machine.allocCalls.size(), 2u);
  for (const AllocCall& call : machine.allocCalls) {
    EXPECT_TRUE(call.sorted);
    EXPECT_EQ(call.heap, GetProcessHeap());
    EXPECT_EQ(call.flags, 2u);
    EXPECT_EQ(call.family, static_cast<DWORD>(AF_INET));
  }
  ASSERT_EQ(tcp.size(), 1u);
  EXPECT_EQ(tcp[0].State, MIB_TCP_STATE_LISTEN);
  EXPECT_EQ(tcp[0].LocalPort, 135);
  EXPECT_EQ(tcp[0].RemotePort, 0);
  EXPECT_EQ(tcp[0].ProcessId, 868u);
  EXPECT_EQ(tcp[0].Created, 0);
  EXPECT_EQ(Path(tcp[0]), L"");
  ASSERT_EQ(udp.size(), 1u);
  EXPECT_EQ(udp[0].LocalPort, 137);
  EXPECT_EQ(udp[0].ProcessId, 4u);
}

TEST_F(ConnectionsTest, EachProcessIsLookedUpOncePerRefresh) {
  machine.tcp = {Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1025, "10.77.1.1", 80, 4242, 0},
                 Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1026, "10.77.1.1", 80, 4242, 0},
                 Conn{MIB_TCP_STATE_LISTEN, "0.0.0.0", 135, "0.0.0.0", 0, 868, 0}};
  machine.udp = {Conn{0, "0.0.0.0", 53, "0.0.0.0", 0, 868, 0}, Conn{0, "0.0.0.0", 54, "0.0.0.0", 0, 4242, 0}};
  machine.owners = {{4242, L"C:\\Apps\\agent.exe"}, {868, L"C:\\Windows\\System32\\svchost.exe"}};
  TProgramCache programs;  // one refresh: both pages
  StringList tcp, udp;
  ListTcpConns(&tcp, false, programs);
  ListUdpConns(&udp, true, programs);
  EXPECT_EQ(machine.ownerLookups, (std::vector<DWORD>{4242, 868}));
  ASSERT_EQ(tcp.Count(), 3);
  EXPECT_NE(tcp[1].find("|agent.exe "), std::string::npos) << tcp[1];
  ASSERT_EQ(udp.Count(), 2);
  EXPECT_NE(udp[1].find("|C:\\Apps\\agent.exe "), std::string::npos) << udp[1];

  // The older tables: the process list is built once for both pages.
  Bind(kAllocateAndGet);
  machine.processes = {Process{4242, {L"C:\\Apps\\agent.exe"}}, Process{868, {L"C:\\Windows\\svchost.exe"}}};
  TProgramCache next;
  ListTcpConns(&tcp, false, next);
  ListUdpConns(&udp, false, next);
  EXPECT_EQ(machine.enumProcessesCalls, 1);
  EXPECT_NE(tcp[2].find("|svchost.exe "), std::string::npos) << tcp[2];
  EXPECT_NE(udp[1].find("|agent.exe "), std::string::npos) << udp[1];
}

// Every way to get no rows: the reader leaves the reason as the thread's
// last error, and the page shows the system's text for it and nothing else.
TEST_F(ConnectionsTest, NoRowsGiveOneLineWithTheReason) {
  enum Proto { Tcp, Udp };
  struct Case {
    const char* name;
    Proto proto;
    TableGenerations offer;
    std::function<void()> arrange;
    DWORD reason;
  };
  const Case cases[] = {
      {"size probe answers success", Tcp, kOwnerModule, [] { machine.extendedTcp.probeAnswer = NO_ERROR; }, NO_ERROR},
      {"size probe fails", Udp, kOwnerModule, [] { machine.extendedUdp.probeAnswer = ERROR_INVALID_PARAMETER; },
       ERROR_INVALID_PARAMETER},
      {"table call fails", Tcp, kOwnerModule, [] { machine.extendedTcp.secondAnswer = ERROR_NOT_ENOUGH_MEMORY; },
       ERROR_NOT_ENOUGH_MEMORY},
      {"owner-module table empty", Tcp, kOwnerModule, [] { machine.tcp.clear(); }, NO_ERROR},
      {"no block", Tcp, kAllocateAndGet,
       [] {
         machine.allocGivesBlock = false;
         machine.allocAnswer = ERROR_NOT_ENOUGH_MEMORY;
       },
       ERROR_NOT_ENOUGH_MEMORY},
      {"no block, no reason", Udp, kAllocateAndGet, [] { machine.allocGivesBlock = false; }, ERROR_INVALID_DATA},
      {"block of no size", Tcp, kAllocateAndGet, [] { machine.heapSizeAnswer = 0; }, ERROR_INVALID_DATA},
      {"block size unknown", Udp, kAllocateAndGet, [] { machine.heapSizeAnswer = static_cast<SIZE_T>(-1); },
       ERROR_INVALID_DATA},
      {"allocated table empty", Udp, kAllocateAndGet, [] { machine.udp.clear(); }, NO_ERROR},
      {"plain size probe fails", Udp, kPlain, [] { machine.plainUdp.probeAnswer = ERROR_INVALID_PARAMETER; },
       ERROR_INVALID_PARAMETER},
      {"plain table call fails", Tcp, kPlain, [] { machine.plainTcp.secondAnswer = ERROR_GEN_FAILURE; },
       ERROR_GEN_FAILURE},
      {"no table entry at all", Tcp, TableGenerations{false, false, false, false}, [] {}, ERROR_NOT_SUPPORTED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    machine.Reset();
    machine.tcp = {Conn{}};
    machine.udp = {Conn{}};
    c.arrange();
    Bind(c.offer);
    TConnRows rows(3);
    SetLastError(ERROR_FILE_NOT_FOUND);  // whatever came before must not show
    c.proto == Tcp ? ReadTcpConnRows(rows) : ReadUdpConnRows(rows);
    EXPECT_TRUE(rows.empty());
    EXPECT_EQ(GetLastError(), c.reason);

    StringList page = Stale();
    c.proto == Tcp ? ListTcpConns(&page) : ListUdpConns(&page);
    // An empty table is no failure, and its "success" text would say nothing.
    EXPECT_EQ(page.Items(), Strings{c.reason == NO_ERROR ? "no entries." : SysErrorMessage(c.reason)});
    EXPECT_TRUE(machine.blocks.empty());
  }
}

// ---------------------------------------------------------------------------
// Process list

std::vector<std::pair<DWORD, std::wstring>> Items(const TProcessList& list) {
  std::vector<std::pair<DWORD, std::wstring>> items;
  for (const TProcessObject& p : list) items.emplace_back(p.ProcessId, p.ExePath);
  return items;
}

TEST_F(ConnectionsTest, ProcessListHoldsEveryExeModuleOfEveryProcessItCanOpen) {
  machine.processes = {
      Process{4, {L"C:\\Windows\\System32\\ntoskrnl.exe"}, false},
      Process{868, {L"C:\\Windows\\System32\\svchost.exe", L"C:\\Windows\\System32\\ntdll.dll"}},
      Process{1200,
              {L"C:\\Apps\\Report.EXE", L"C:\\Tools.exe\\helper", L"", L"C:\\Apps\\README", L"C:\\Apps\\child.exe"}},
      Process{1300, {L"C:\\Apps\\hidden.exe"}, true, false},
  };
  TProcessList list;
  BuildProcessList(list);
  EXPECT_EQ(Items(list), (std::vector<std::pair<DWORD, std::wstring>>{{868, L"C:\\Windows\\System32\\svchost.exe"},
                                                                      {1200, L"C:\\Apps\\Report.EXE"},
                                                                      {1200, L"C:\\Apps\\child.exe"}}));
  for (const TProcessObject& p : list) EXPECT_NE(p.ModuleHandle, nullptr);
  EXPECT_EQ(machine.openAccess, std::vector<DWORD>(4, PROCESS_QUERY_INFORMATION | PROCESS_VM_READ));
  EXPECT_TRUE(machine.openHandles.empty());

  FreeProcessList(list);
  EXPECT_TRUE(list.empty());
  FreeProcessList(list);
}

TEST_F(ConnectionsTest, ProcessListLooksAtTheFirst1024ProcessesAndModules) {
  Process crowded{100, {}};
  for (int i = 0; i < 1500; ++i) crowded.modules.push_back(L"C:\\Many\\m" + std::to_wstring(i) + L".exe");
  machine.processes = {crowded};
  for (DWORD pid = 101; pid < 1600; ++pid) machine.processes.push_back(Process{pid, {L"C:\\One\\p.exe"}});
  TProcessList list;
  BuildProcessList(list);
  // Every process number and module handle looked at came from the buffers.
  EXPECT_EQ(machine.openAccess.size(), 1024u);
  EXPECT_EQ(machine.nameLookups, 1024 + 1023);
  ASSERT_EQ(list.size(), 1024u + 1023u);
  EXPECT_EQ(list[1023].ExePath, L"C:\\Many\\m1023.exe");
  EXPECT_EQ(list.back().ProcessId, 1123u);
}

std::vector<std::string> libraryRequests;
HMODULE NoLibrary(const char* name) {
  libraryRequests.push_back(name);
  return nullptr;
}

BOOL WINAPI Windows98(LPOSVERSIONINFOA info) {
  info->dwMajorVersion = 4;
  info->dwMinorVersion = 10;
  info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
  return TRUE;
}

TEST_F(ConnectionsTest, ProcessListStaysEmptyWhenProcessesCannotBeListed) {
  machine.processes = {Process{868, {L"C:\\Windows\\System32\\svchost.exe"}}};
  TProcessList list;
  {
    SysSwap old(&SysApi::GetVersionExA, Windows98);
    BuildProcessList(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(machine.enumProcessesCalls, 0);
  }
  machine.enumProcessesFails = true;
  BuildProcessList(list);
  EXPECT_TRUE(list.empty());
  {
    // The library is asked for by name each time until a load succeeds.
    libraryRequests.clear();
    SysSwap missing(SysLibrary::psapi, NoLibrary);
    BuildProcessList(list);
    BuildProcessList(list);
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(libraryRequests, (Strings{"PSAPI.dll", "PSAPI.dll"}));
  }
  EXPECT_EQ(machine.opened, 0);
}

// ---------------------------------------------------------------------------
// Pages

TEST_F(ConnectionsTest, TcpPageFromOwnerModuleTables) {
  machine.tcp = {
      Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 49152, "10.77.1.1", 80, 4242, kFeb19},
      Conn{MIB_TCP_STATE_LISTEN, "0.0.0.0", 135, "0.0.0.0", 4660, 868, 0},
      Conn{MIB_TCP_STATE_TIME_WAIT, "127.0.0.1", 5000, "127.0.0.1", 6000, 0, 0},
      Conn{13, "10.77.0.2", 20, "10.77.1.1", 21, 999, 0},  // a state past the known ones
  };
  machine.owners = {{4242, L"C:\\Program Files\\Velnor\\agent.exe"}, {868, L"C:\\Windows\\System32\\svchost.exe"}};
  const std::string created = LocalDateText("2012/19/02 14:45:30 ");

  StringList page = Stale();
  ListTcpConns(&page);
  EXPECT_EQ(
      page.Items(),
      (Strings{
          " 10. 77.  0.  2:49152 | 10. 77.  1.  1:HTTP  |established |  4242|agent.exe           |" + created,
          "  0.  0.  0.  0:LOCSVC|  0.  0.  0.  0:   0  |listening   |   868|svchost.exe         |                    ",
          "127.  0.  0.  1:5000  |127.  0.  0.  1:6000  |time_wait   |     0|                    |                    ",
          " 10. 77.  0.  2:FTP   | 10. 77.  1.  1:FTPC  |            |   999|                    |                    ",
      }));

  // The whole path pads nothing and moves the rest of the line.
  ShowAppPath = true;
  ListTcpConns(&page);
  ASSERT_EQ(page.Count(), 4);
  EXPECT_EQ(page[0],
            " 10. 77.  0.  2:49152 | 10. 77.  1.  1:HTTP  |established |  4242|"
            "C:\\Program Files\\Velnor\\agent.exe|" +
                created);
  EXPECT_EQ(page[1].substr(66), "C:\\Windows\\System32\\svchost.exe|                    ");
  // These tables name their programs themselves.
  EXPECT_EQ(machine.enumProcessesCalls, 0);
}

TEST_F(ConnectionsTest, PagesFromAllocatedTablesTakeProgramsFromTheProcessList) {
  machine.tcp = {
      Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1025, "10.77.1.1", 80, 868, kFeb19},
      Conn{MIB_TCP_STATE_ESTAB, "10.77.0.2", 1026, "10.77.1.1", 80, 1200, 0},  // cannot be opened
      Conn{MIB_TCP_STATE_TIME_WAIT, "10.77.0.2", 1027, "10.77.1.1", 80, 0, 0},
  };
  machine.udp = {Conn{0, "0.0.0.0", 53, "0.0.0.0", 0, 868, 0}, Conn{0, "10.77.0.2", 5353, "0.0.0.0", 0, 0, 0}};
  machine.processes = {
      Process{0, {L"C:\\idle.exe"}},  // process 0 on a row means "no process", never this one
      Process{868, {L"C:\\Windows\\System32\\svchost.exe", L"C:\\Windows\\System32\\other.exe"}},
      Process{1200, {L"C:\\Secret\\guarded.exe"}, false},
  };
  Bind(kAllocateAndGet);

  StringList tcp, udp;
  ListTcpConns(&tcp);
  ListUdpConns(&udp);
  EXPECT_EQ(
      tcp.Items(),
      (Strings{
          " 10. 77.  0.  2:1025  | 10. 77.  1.  1:HTTP  |established |   868|svchost.exe         |                    ",
          " 10. 77.  0.  2:1026  | 10. 77.  1.  1:HTTP  |established |  1200|                    |                    ",
          " 10. 77.  0.  2:1027  | 10. 77.  1.  1:HTTP  |time_wait   |     0|                    |                    ",
      }));
  EXPECT_EQ(udp.Items(),
            (Strings{
                "  0.  0.  0.  0 : DNS    |      868|svchost.exe" + std::string(37, ' ') + "|" + std::string(20, ' '),
                " 10. 77.  0.  2 : 5353   |        0|" + std::string(48, ' ') + "|" + std::string(20, ' '),
            }));
  EXPECT_EQ(machine.enumProcessesCalls, 2);  // built anew for each page

  // The plain tables have no process numbers to look up.
  Bind(kPlain);
  ListTcpConns(&tcp);
  EXPECT_EQ(tcp[0], " 10. 77.  0.  2:1025  | 10. 77.  1.  1:HTTP  |established |     0|                    |" +
                        std::string(20, ' '));
  EXPECT_EQ(machine.enumProcessesCalls, 2);
}

TEST_F(ConnectionsTest, UdpPageCreationColumn) {
  struct Case {
    int64_t created;  // UTC; the page shows local time, one hour later
    std::string shown;
  };
  const Case cases[] = {
      {kFeb19, "2012/19/02 14:45:30 "},
      {Ticks(2024, 2, 29, 8, 5, 9), "2024/29/02 09:05:09 "},
      // A hair before midnight is midnight, not hour 24.
      {Ticks(2012, 12, 31, 22, 59, 59) + 9999999, "2013/01/01 00:00:00 "},
      {Ticks(1899, 12, 29, 12, 0, 0), std::string(20, ' ')},  // before day 0
      {0, std::string(20, ' ')},
  };
  machine.owners = {{868, L"C:\\Windows\\System32\\svchost.exe"}};
  for (const Case& c : cases) {
    machine.udp = {Conn{0, "0.0.0.0", 53, "0.0.0.0", 0, 868, c.created}};
    StringList page;
    ListUdpConns(&page);
    ASSERT_EQ(page.Count(), 1);
    EXPECT_EQ(page[0], "  0.  0.  0.  0 : DNS    |      868|svchost.exe" + std::string(37, ' ') + "|" +
                           (c.shown[0] == ' ' ? c.shown : LocalDateText(c.shown)));
  }
}

}  // namespace
