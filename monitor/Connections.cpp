// TCP connections and UDP listeners with their owning programs.
//
// Three generations of the system's connection tables exist: the
// owner-module tables (process number, creation time and, per row, the
// owning module), the older allocate-and-get tables (process number only),
// and the plain tables (addresses and states only). The readers take the
// newest one the IP Helper library offers; for the allocate-and-get tables
// the reports find the program through the process-status library.

#include "monitor/Connections.h"
#include "monitor/Ipv6Tables.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <type_traits>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/NameTables.h"
#include "text/TextForms.h"

// ---------------------------------------------------------------------------
// Table readers

namespace {

enum class Generation { None, OwnerModule, AllocateAndGet, Plain };

// A port field holds the number in network order in its two low bytes;
// whatever the upper bytes hold is not part of it.
int32_t Port(DWORD field) { return static_cast<int32_t>(PortToHostOrder(field & 0xFFFF)); }

TConnInfo TcpConn(DWORD state, DWORD localAddr, DWORD localPort, DWORD remoteAddr, DWORD remotePort, DWORD pid) {
  TConnInfo c;
  c.State = static_cast<int32_t>(state);
  c.LocalAddr = IpAddrToStr(localAddr, true);
  c.LocalPort = Port(localPort);
  c.RemoteAddr = IpAddrToStr(remoteAddr, true);
  // A listening socket has no peer, whatever its remote port field says.
  c.RemotePort = remoteAddr == 0 ? 0 : Port(remotePort);
  c.ProcessId = pid;
  return c;
}

TConnInfo UdpConn(DWORD localAddr, DWORD localPort, DWORD pid) {
  TConnInfo c;
  c.State = -1;
  c.LocalAddr = IpAddrToStr(localAddr, true);
  c.LocalPort = Port(localPort);
  c.ProcessId = pid;
  return c;
}

// A row's creation time stamp (UTC) as a local date-time; 0 when the
// system cannot convert it.
double LocalDateTime(const LARGE_INTEGER& stamp) {
  FILETIME utc;
  utc.dwLowDateTime = stamp.LowPart;
  utc.dwHighDateTime = static_cast<DWORD>(stamp.HighPart);
  FILETIME local;
  if (!Sys.FileTimeToLocalFileTime(&utc, &local)) return 0;
  return FileTimeToDateTime(&local);
}

// The basic owner-module information and room for the two texts it points
// to, each up to 256 characters and its terminator.
struct OwnerModuleBuffer {
  TCPIP_OWNER_MODULE_BASIC_INFO info;
  WCHAR texts[2][257];
};
#ifndef _WIN64
static_assert(sizeof(OwnerModuleBuffer) == 1036, "the owner-module buffer of the 32-bit build");
#endif

// The owning module's path of one owner-module row; empty when the library
// has no lookup, the row names no process, or the lookup fails.
template <class Row>
std::wstring OwnerModulePath(DWORD(WINAPI* lookup)(Row*, TCPIP_OWNER_MODULE_INFO_CLASS, PVOID, PDWORD), Row& row) {
  if (!lookup || row.dwOwningPid == 0) return {};
  OwnerModuleBuffer buffer{};
  DWORD size = sizeof(buffer);
  if (lookup(&row, TCPIP_OWNER_MODULE_INFO_BASIC, &buffer, &size) != NO_ERROR) return {};
  // The path lies in the buffer behind the information; a pointer anywhere
  // else is not followed, and the text ends at the buffer's end at the latest.
  const auto start = reinterpret_cast<std::uintptr_t>(&buffer);
  const auto end = start + sizeof(buffer);
  const auto at = reinterpret_cast<std::uintptr_t>(buffer.info.pModulePath);
  if (at < start + sizeof(buffer.info) || at >= end) return {};
  const auto* bytes = reinterpret_cast<const BYTE*>(&buffer) + (at - start);
  const std::size_t room = (end - at) / sizeof(WCHAR);
  std::wstring path;
  for (std::size_t i = 0; i < room; ++i) {
    WCHAR c;
    std::memcpy(&c, bytes + i * sizeof(WCHAR), sizeof(c));
    if (c == L'\0') break;
    path += c;
  }
  return path;
}

// A table fetched the usual way (see ReadTable): the size query unsorted,
// the table itself sorted. query(buffer, size, sorted) calls the entry;
// convert(row) makes one record. Returns the failing call's code, or 0.
template <class Table, class Query, class Convert>
DWORD ReadSizedTable(TTableSize& known, TConnRows& rows, Query query, Convert convert) {
  const TTableRead read = ReadTable(known, ERROR_INSUFFICIENT_BUFFER, [&](void* buffer, ULONG* size) {
    DWORD length = *size;
    const DWORD result = query(buffer, &length, buffer ? TRUE : FALSE);
    *size = length;
    return result;
  });
  if (!read.buffer) return read.result;
  const TTableBuffer& buffer = *read.buffer;
  Table* table = buffer.As<Table>();
  const DWORD count = RowsInBuffer(buffer, table);
  rows.resize(count);
  for (DWORD i = 0; i < count; ++i) rows[i] = convert(table->table[i]);
  return NO_ERROR;
}

// A table block of the allocate-and-get entries, released on every path.
class HeapBlock {
 public:
  HeapBlock(HANDLE heap, void* block) : heap_(heap), block_(block) {}
  ~HeapBlock() {
    if (block_) Sys.HeapFree(heap_, 0, block_);
  }
  HeapBlock(const HeapBlock&) = delete;
  HeapBlock& operator=(const HeapBlock&) = delete;

 private:
  HANDLE heap_;  // not owned
  void* block_;  // owned
};

// The allocate-and-get tables: a 32-bit row count, then rows of N 32-bit
// values. allocate(&block, sorted, heap, flags, family) calls the entry;
// convert(values) makes one record. Only the rows the block really holds
// are read, whatever its count says.
template <std::size_t N, class Allocate, class Convert>
DWORD ReadAllocatedTable(TConnRows& rows, Allocate allocate, Convert convert) {
  const HANDLE heap = Sys.GetProcessHeap();
  void* block = nullptr;
  const DWORD result = allocate(&block, TRUE, heap, 2, AF_INET);
  const HeapBlock owned(heap, block);
  if (!block) return result != NO_ERROR ? result : ERROR_INVALID_DATA;
  const SIZE_T size = Sys.HeapSize(heap, 0, block);
  if (size < sizeof(DWORD) || size == static_cast<SIZE_T>(-1)) return result != NO_ERROR ? result : ERROR_INVALID_DATA;
  const auto* bytes = static_cast<const BYTE*>(block);
  DWORD count;
  std::memcpy(&count, bytes, sizeof(count));
  const std::size_t rowBytes = N * sizeof(DWORD);
  const DWORD fit = static_cast<DWORD>(std::min<SIZE_T>((size - sizeof(DWORD)) / rowBytes, count));
  rows.resize(fit);
  for (DWORD i = 0; i < fit; ++i) {
    DWORD values[N];
    std::memcpy(values, bytes + sizeof(DWORD) + i * rowBytes, rowBytes);
    rows[i] = convert(values);
  }
  return NO_ERROR;
}

// Library missing: rows untouched. Otherwise rows hold the table, and the
// result is 0 or the code of the call that failed.
DWORD ReadTcp(TConnRows& rows, Generation& used, TProgramCache& programs) {
  used = Generation::None;
  if (!BindSystemLibrary(SysLibrary::iphlpapi)) return ERROR_NOT_SUPPORTED;
  rows.clear();
  if (Sys.GetExtendedTcpTable) {
    used = Generation::OwnerModule;
    static TTableSize known;
    return ReadSizedTable<MIB_TCPTABLE_OWNER_MODULE>(
        known, rows,
        [](void* buffer, DWORD* size, BOOL sorted) {
          return Sys.GetExtendedTcpTable(buffer, size, sorted, AF_INET, TCP_TABLE_OWNER_MODULE_ALL, 0);
        },
        [&](MIB_TCPROW_OWNER_MODULE& row) {
          TConnInfo c = TcpConn(row.dwState, row.dwLocalAddr, row.dwLocalPort, row.dwRemoteAddr, row.dwRemotePort,
                                row.dwOwningPid);
          c.Created = LocalDateTime(row.liCreateTimestamp);
          c.ModulePath =
              programs.Owner(row.dwOwningPid, [&] { return OwnerModulePath(Sys.GetOwnerModuleFromTcpEntry, row); });
          return c;
        });
  }
  if (Sys.AllocateAndGetTcpExTableFromStack) {
    used = Generation::AllocateAndGet;
    return ReadAllocatedTable<6>(rows, Sys.AllocateAndGetTcpExTableFromStack,
                                 [](const DWORD* v) { return TcpConn(v[0], v[1], v[2], v[3], v[4], v[5]); });
  }
  used = Generation::Plain;
  if (!Sys.GetTcpTable) return ERROR_NOT_SUPPORTED;
  static TTableSize known;
  return ReadSizedTable<MIB_TCPTABLE>(
      known, rows,
      [](void* buffer, DWORD* size, BOOL sorted) {
        ULONG length = *size;
        const DWORD result = Sys.GetTcpTable(static_cast<PMIB_TCPTABLE>(buffer), &length, sorted);
        *size = length;
        return result;
      },
      [](const MIB_TCPROW& row) {
        return TcpConn(row.dwState, row.dwLocalAddr, row.dwLocalPort, row.dwRemoteAddr, row.dwRemotePort, 0);
      });
}

DWORD ReadUdp(TConnRows& rows, Generation& used, TProgramCache& programs) {
  used = Generation::None;
  if (!BindSystemLibrary(SysLibrary::iphlpapi)) return ERROR_NOT_SUPPORTED;
  rows.clear();
  if (Sys.GetExtendedUdpTable) {
    used = Generation::OwnerModule;
    static TTableSize known;
    return ReadSizedTable<MIB_UDPTABLE_OWNER_MODULE>(
        known, rows,
        [](void* buffer, DWORD* size, BOOL sorted) {
          return Sys.GetExtendedUdpTable(buffer, size, sorted, AF_INET, UDP_TABLE_OWNER_MODULE, 0);
        },
        [&](MIB_UDPROW_OWNER_MODULE& row) {
          TConnInfo c = UdpConn(row.dwLocalAddr, row.dwLocalPort, row.dwOwningPid);
          c.Created = LocalDateTime(row.liCreateTimestamp);
          c.ModulePath =
              programs.Owner(row.dwOwningPid, [&] { return OwnerModulePath(Sys.GetOwnerModuleFromUdpEntry, row); });
          return c;
        });
  }
  if (Sys.AllocateAndGetUdpExTableFromStack) {
    used = Generation::AllocateAndGet;
    return ReadAllocatedTable<3>(rows, Sys.AllocateAndGetUdpExTableFromStack,
                                 [](const DWORD* v) { return UdpConn(v[0], v[1], v[2]); });
  }
  used = Generation::Plain;
  if (!Sys.GetUdpTable) return ERROR_NOT_SUPPORTED;
  static TTableSize known;
  return ReadSizedTable<MIB_UDPTABLE>(
      known, rows,
      [](void* buffer, DWORD* size, BOOL sorted) {
        ULONG length = *size;
        const DWORD result = Sys.GetUdpTable(static_cast<PMIB_UDPTABLE>(buffer), &length, sorted);
        *size = length;
        return result;
      },
      [](const MIB_UDPROW& row) { return UdpConn(row.dwLocalAddr, row.dwLocalPort, 0); });
}

// The IPv6 connection tables: the owner-module tables of the IPv6 family,
// the only IPv6 tables that name the owning process. Library or entry
// missing: ERROR_NOT_SUPPORTED, and rows left empty.
std::string Ip6Text(const UCHAR (&address)[16], DWORD scope) {
  uint8_t bytes[16];
  std::memcpy(bytes, address, sizeof(bytes));
  return Ip6AddrToStr(bytes, scope);
}

bool Unspecified(const UCHAR (&address)[16]) {
  for (UCHAR b : address)
    if (b != 0) return false;
  return true;
}

DWORD ReadTcp6(TConnRows& rows, Generation& used, TProgramCache& programs) {
  used = Generation::None;
  rows.clear();
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetExtendedTcpTable) return ERROR_NOT_SUPPORTED;
  used = Generation::OwnerModule;
  static TTableSize known;
  return ReadSizedTable<MIB_TCP6TABLE_OWNER_MODULE>(
      known, rows,
      [](void* buffer, DWORD* size, BOOL sorted) {
        return Sys.GetExtendedTcpTable(buffer, size, sorted, AF_INET6, TCP_TABLE_OWNER_MODULE_ALL, 0);
      },
      [&](MIB_TCP6ROW_OWNER_MODULE& row) {
        TConnInfo c;
        c.State = static_cast<int32_t>(row.dwState);
        c.LocalAddr = Ip6Text(row.ucLocalAddr, row.dwLocalScopeId);
        c.LocalPort = Port(row.dwLocalPort);
        c.RemoteAddr = Ip6Text(row.ucRemoteAddr, row.dwRemoteScopeId);
        c.RemotePort = Unspecified(row.ucRemoteAddr) ? 0 : Port(row.dwRemotePort);
        c.ProcessId = row.dwOwningPid;
        c.Created = LocalDateTime(row.liCreateTimestamp);
        c.ModulePath =
            programs.Owner(row.dwOwningPid, [&] { return OwnerModulePath(Sys.GetOwnerModuleFromTcp6Entry, row); });
        return c;
      });
}

DWORD ReadUdp6(TConnRows& rows, Generation& used, TProgramCache& programs) {
  used = Generation::None;
  rows.clear();
  if (!BindSystemLibrary(SysLibrary::iphlpapi) || !Sys.GetExtendedUdpTable) return ERROR_NOT_SUPPORTED;
  used = Generation::OwnerModule;
  static TTableSize known;
  return ReadSizedTable<MIB_UDP6TABLE_OWNER_MODULE>(
      known, rows,
      [](void* buffer, DWORD* size, BOOL sorted) {
        return Sys.GetExtendedUdpTable(buffer, size, sorted, AF_INET6, UDP_TABLE_OWNER_MODULE, 0);
      },
      [&](MIB_UDP6ROW_OWNER_MODULE& row) {
        TConnInfo c;
        c.State = -1;
        c.LocalAddr = Ip6Text(row.ucLocalAddr, row.dwLocalScopeId);
        c.LocalPort = Port(row.dwLocalPort);
        c.ProcessId = row.dwOwningPid;
        c.Created = LocalDateTime(row.liCreateTimestamp);
        c.ModulePath =
            programs.Owner(row.dwOwningPid, [&] { return OwnerModulePath(Sys.GetOwnerModuleFromUdp6Entry, row); });
        return c;
      });
}

// The readers leave the reason for an empty result as the thread's last
// error code, set after every buffer is gone so nothing overwrites it.
void LeaveReason(const TConnRows& rows, DWORD code) {
  if (code != NO_ERROR || rows.empty()) SetLastError(code);
}

}  // namespace

void ReadTcpConnRows(TConnRows& rows) {
  Generation used;
  TProgramCache programs;
  const DWORD code = ReadTcp(rows, used, programs);
  LeaveReason(rows, code);
}

void ReadUdpConnRows(TConnRows& rows) {
  Generation used;
  TProgramCache programs;
  const DWORD code = ReadUdp(rows, used, programs);
  LeaveReason(rows, code);
}

// ---------------------------------------------------------------------------
// Process list

namespace {

bool OnNtFamily() {
  OSVERSIONINFOA version{};
  version.dwOSVersionInfoSize = sizeof(version);
  return Sys.GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

class ProcessHandle {
 public:
  explicit ProcessHandle(HANDLE handle) : handle_(handle) {}
  ~ProcessHandle() {
    if (handle_) Sys.CloseHandle(handle_);
  }
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;  // owned
};

// The extension, from the last "." after the last path separator, is
// ".exe" in any letter case. ".exe" holds no separator, so that is the same
// as the path ending in it: a folder named "tools.exe" never counts.
bool HasExeExtension(const std::wstring& path) {
  static const wchar_t kExe[] = L".exe";
  if (path.size() < 4) return false;
  for (std::size_t i = 0; i < 4; ++i) {
    wchar_t c = path[path.size() - 4 + i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != kExe[i]) return false;
  }
  return true;
}

constexpr DWORD kMaxProcesses = 1024;
constexpr DWORD kMaxModules = 1024;

}  // namespace

void BuildProcessList(TProcessList& list) {
  if (!OnNtFamily() || !BindSystemLibrary(SysLibrary::psapi)) return;
  if (!Sys.EnumProcesses || !Sys.EnumProcessModules || !Sys.GetModuleFileNameExW) return;

  std::vector<DWORD> ids(kMaxProcesses);
  DWORD returned = 0;
  if (!Sys.EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &returned)) return;
  const DWORD processes = std::min<DWORD>(returned / sizeof(DWORD), kMaxProcesses);

  std::vector<HMODULE> modules(kMaxModules);
  for (DWORD p = 0; p < processes; ++p) {
    const DWORD id = ids[p];
    const ProcessHandle process(Sys.OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
    if (!process.get()) continue;
    DWORD needed = 0;
    if (!Sys.EnumProcessModules(process.get(), modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)),
                                &needed)) {
      continue;
    }
    // The count says how many the process has; only those that fit were written.
    const DWORD count = std::min<DWORD>(needed / sizeof(HMODULE), kMaxModules);
    for (DWORD m = 0; m < count; ++m) {
      WCHAR name[MAX_PATH];
      const DWORD length = Sys.GetModuleFileNameExW(process.get(), modules[m], name, MAX_PATH);
      if (length == 0) continue;
      std::wstring path(name, std::min<DWORD>(length, MAX_PATH));
      if (HasExeExtension(path)) list.push_back(TProcessObject{id, modules[m], std::move(path)});
    }
  }
}

void FreeProcessList(TProcessList& list) { TProcessList().swap(list); }

const std::wstring& TProgramCache::Owner(DWORD pid, const std::function<std::wstring()>& lookup) {
  static const std::wstring kNone;
  if (pid == 0) return kNone;
  auto found = owners_.find(pid);
  if (found == owners_.end()) found = owners_.emplace(pid, lookup()).first;
  return found->second;
}

const std::wstring& TProgramCache::FromProcessList(DWORD pid) {
  if (!listRead_) {
    listRead_ = true;
    TProcessList processes;
    BuildProcessList(processes);
    // The first item of a process is its main executable.
    for (const TProcessObject& p : processes) listed_.emplace(p.ProcessId, p.ExePath);
    FreeProcessList(processes);
  }
  static const std::wstring kNone;
  const auto found = listed_.find(pid);
  return found == listed_.end() ? kNone : found->second;
}

// ---------------------------------------------------------------------------
// Reports

namespace {

std::string ApplicationText(const std::wstring& path, bool showAppPath) {
  if (showAppPath) return WideToAnsi(path);
  const std::size_t cut = path.find_last_of(L"\\:");
  return WideToAnsi(cut == std::wstring::npos ? path : path.substr(cut + 1));
}

std::string LocaleText(LCTYPE item, const char* fallback) {
  char text[8] = {};
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, item, text, sizeof(text)) > 1 ? text : fallback;
}

// "yyyy/dd/mm hh:nn:ss" with the user's date and time separators; empty for
// an unknown time (0 or less).
std::string CreatedText(double created) {
  if (!(created > 0) || created > 1e8) return {};
  // Whole milliseconds first, so a time a hair before midnight carries into
  // the next day instead of showing 24:00:00.
  const int64_t ms = std::llround(created * 86400000.0);
  const int64_t msPerDay = 86400000;
  const int64_t days = ms / msPerDay;
  const int64_t time = ms % msPerDay / 1000;
  // The days count from 1899-12-30, 25569 days before 1970-01-01.
  const CivilDate civil = CivilDateOfDays(days - 25569);
  const std::string date = LocaleText(LOCALE_SDATE, "/");
  const std::string clock = LocaleText(LOCALE_STIME, ":");
  return FormatLine("%04d%s%02d%s%02d %02d%s%02d%s%02d", civil.year, date, civil.day, date, civil.month, time / 3600, clock,
                    time / 60 % 60, clock, time % 60);
}

template <class Read, class Line>
void ListConns(Lines* list, TProgramCache& programs, Read read, Line line) {
  if (!list) return;
  LinesUpdate update(*list);
  list->Clear();
  TConnRows rows;
  Generation used;
  const DWORD code = read(rows, used, programs);
  if (rows.empty()) {
    // An empty table is no failure; its "success" text would say nothing.
    list->Add(code == NO_ERROR ? "no entries." : SysErrorMessage(code));
    return;
  }
  // Only these tables give a process number without its program.
  if (used == Generation::AllocateAndGet) {
    for (TConnInfo& row : rows) {
      if (row.ProcessId == 0) continue;
      const std::wstring& program = programs.FromProcessList(row.ProcessId);
      if (!program.empty()) row.ModulePath = program;
    }
  }
  for (const TConnInfo& row : rows) list->Add(line(row));
}

}  // namespace

void ListTcpConns(Lines* list) {
  TProgramCache programs;
  ListTcpConns(list, ShowAppPath, programs);
}

void ListTcpConns(Lines* list, bool showAppPath, TProgramCache& programs) {
  ListConns(list, programs, ReadTcp, [&](const TConnInfo& row) {
    return FormatLine("%15s:%-6s|%15s:%-6s|%-12s|%6d|%-20s|%-20s", row.LocalAddr, PortToServiceName(row.LocalPort),
                      row.RemoteAddr, PortToServiceName(row.RemotePort), TcpStateNames[static_cast<DWORD>(row.State)],
                      row.ProcessId, ApplicationText(row.ModulePath, showAppPath), CreatedText(row.Created));
  });
}

void ListUdpConns(Lines* list) {
  TProgramCache programs;
  ListUdpConns(list, ShowAppPath, programs);
}

void ListUdpConns(Lines* list, bool showAppPath, TProgramCache& programs) {
  ListConns(list, programs, ReadUdp, [&](const TConnInfo& row) {
    return FormatLine("%15s : %-7s| %8d|%-48s|%-20s", row.LocalAddr, PortToServiceName(row.LocalPort), row.ProcessId,
                      ApplicationText(row.ModulePath, showAppPath), CreatedText(row.Created));
  });
}

// ---------------------------------------------------------------------------
// The IPv6 parts of the two pages

namespace {

// "[fd00:77::2]:HTTP": the address in brackets, so the port stays apart.
std::string Endpoint(const std::string& address, int32_t port) {
  std::string service = PortToServiceName(static_cast<uint32_t>(port));
  while (!service.empty() && (service.front() == ' ' || service.back() == ' '))
    service.erase(service.front() == ' ' ? service.begin() : service.end() - 1);
  return "[" + address + "]:" + service;
}

template <class Read, class Line>
void ListConns6(Lines* list, TProgramCache& programs, Read read, Line line) {
  TConnRows rows;
  Generation used;
  const DWORD code = read(rows, used, programs);
  std::vector<std::string> lines;
  for (const TConnInfo& row : rows) lines.push_back(line(row));
  ListIp6Part(list, "IPv6", code, lines);
}

}  // namespace

void ListTcp6Conns(Lines* list, bool showAppPath, TProgramCache& programs) {
  ListConns6(list, programs, ReadTcp6, [&](const TConnInfo& row) {
    return FormatLine("%-30s|%-30s|%-12s|%6d|%-20s|%-20s", Endpoint(row.LocalAddr, row.LocalPort),
                      Endpoint(row.RemoteAddr, row.RemotePort), TcpStateNames[static_cast<DWORD>(row.State)],
                      row.ProcessId, ApplicationText(row.ModulePath, showAppPath), CreatedText(row.Created));
  });
}

void ListUdp6Conns(Lines* list, bool showAppPath, TProgramCache& programs) {
  ListConns6(list, programs, ReadUdp6, [&](const TConnInfo& row) {
    return FormatLine("%-30s| %8d|%-48s|%-20s", Endpoint(row.LocalAddr, row.LocalPort), row.ProcessId,
                      ApplicationText(row.ModulePath, showAppPath), CreatedText(row.Created));
  });
}
