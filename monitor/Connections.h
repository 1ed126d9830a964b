// The machine's IPv4 TCP connections and UDP listeners with the program that
// owns each of them: two table readers over every generation of the system's
// connection tables, the process list that maps process numbers to programs
// where a table gives only the number, and the two monitor pages.
#pragma once

#include <windows.h>
#include <winsock2.h>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "text/Lines.h"

// One TCP connection or UDP listener.
struct TConnInfo {
  int32_t State = 0;        // TCP state 1..12 as the system numbers them; -1 for UDP
  std::string LocalAddr;    // padded IPv4 text, 15 characters (IPv6: its short text)
  int32_t LocalPort = 0;    // host order
  std::string RemoteAddr;   // padded IPv4 text; empty for UDP
  int32_t RemotePort = 0;   // host order; 0 for UDP and when the remote address is 0.0.0.0
  DWORD ProcessId = 0;      // 0 when the table gives none
  std::wstring ModulePath;  // the owning program's executable; empty when unknown
  double Created = 0;       // local time, days since 1899-12-30; 0 when unknown
};
using TConnRows = std::vector<TConnInfo>;

// Fill rows from the newest table the IP Helper library offers: the
// owner-module table, else the allocate-and-get table (process numbers, no
// programs), else the plain table. Rows come in the system's sorted order.
// Without the library rows are left as they were; any other failure, or an
// empty table, leaves them empty with the reason as the thread's last error
// code.
void ReadTcpConnRows(TConnRows& rows);
void ReadUdpConnRows(TConnRows& rows);

// One executable module of a running process.
struct TProcessObject {
  DWORD ProcessId = 0;
  HMODULE ModuleHandle = nullptr;  // not owned: a value of the other process
  std::wstring ExePath;            // at most MAX_PATH characters
};
using TProcessList = std::vector<TProcessObject>;

// Appends every ".exe" module of every process this user may open, main
// executable first within each process. Stays empty off the NT family or
// when the process-status library cannot be loaded.
void BuildProcessList(TProcessList& list);
// Releases every item; the list is empty afterwards.
void FreeProcessList(TProcessList& list);

// The owning programs of the processes one refresh meets: each process is
// looked up once, by whichever row of either table meets it first.
class TProgramCache {
 public:
  // The program lookup() finds for pid, asked the first time only; empty
  // for process 0, which is never looked up.
  const std::wstring& Owner(DWORD pid, const std::function<std::wstring()>& lookup);
  // The first executable the process list gives for pid; the list is built
  // the first time it is needed.
  const std::wstring& FromProcessList(DWORD pid);

 private:
  std::map<DWORD, std::wstring> owners_;
  std::map<DWORD, std::wstring> listed_;
  bool listRead_ = false;
};

// The monitor's two connection pages: one line per row, "no entries." for an
// empty table, or one line with the system's text for the failure. No list:
// nothing happens. The short forms read ShowAppPath and look every process
// up afresh; the refresh passes its option and one cache for both pages.
void ListTcpConns(Lines* list);
void ListUdpConns(Lines* list);
void ListTcpConns(Lines* list, bool showAppPath, TProgramCache& programs);
void ListUdpConns(Lines* list, bool showAppPath, TProgramCache& programs);

// The IPv6 parts of the two pages, shown after the IPv4 rows: "IPv6:" and
// one line per row, the addresses in their short text in brackets; "IPv6:
// no entries." for an empty table; one line "IPv6: " and the system's text
// when the table cannot be read (the list then holds nothing else).
void ListTcp6Conns(Lines* list, bool showAppPath, TProgramCache& programs);
void ListUdp6Conns(Lines* list, bool showAppPath, TProgramCache& programs);
