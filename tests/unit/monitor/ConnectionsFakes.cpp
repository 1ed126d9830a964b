#include "ConnectionsFakes.h"

#include <algorithm>
#include <cstring>

namespace connfake {

Fakes fakes;

DWORD PortField(DWORD port) { return 0xBEEF0000u | ((port & 0xFF) << 8) | ((port >> 8) & 0xFF); }

namespace {

LARGE_INTEGER Stamp(int64_t ticks) {
  LARGE_INTEGER stamp;
  stamp.QuadPart = ticks;
  return stamp;
}

// A MIB table: the count (which may claim more), then the rows.
template <class Table, class Row, class Fill>
void BuildTable(Arena& a, const std::vector<Conn>& conns, Fill fill) {
  auto* table = static_cast<Table*>(a.Bytes(offsetof(Table, table) + conns.size() * sizeof(Row), alignof(Table)));
  table->dwNumEntries = static_cast<DWORD>(conns.size()) + fakes.extraRowsClaimed;
  for (std::size_t i = 0; i < conns.size(); ++i) fill(table->table[i], conns[i]);
}

void BuildTcpOwnerModule(Arena& a) {
  BuildTable<MIB_TCPTABLE_OWNER_MODULE, MIB_TCPROW_OWNER_MODULE>(a, fakes.tcp, [](auto& row, const Conn& c) {
    row.dwState = c.state;
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
    row.dwRemoteAddr = Ip(c.remote);
    row.dwRemotePort = PortField(c.remotePort);
    row.dwOwningPid = c.pid;
    row.liCreateTimestamp = Stamp(c.created);
  });
}

void BuildUdpOwnerModule(Arena& a) {
  BuildTable<MIB_UDPTABLE_OWNER_MODULE, MIB_UDPROW_OWNER_MODULE>(a, fakes.udp, [](auto& row, const Conn& c) {
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
    row.dwOwningPid = c.pid;
    row.liCreateTimestamp = Stamp(c.created);
  });
}

void BuildPlainTcp(Arena& a) {
  BuildTable<MIB_TCPTABLE, MIB_TCPROW>(a, fakes.tcp, [](auto& row, const Conn& c) {
    row.dwState = c.state;
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
    row.dwRemoteAddr = Ip(c.remote);
    row.dwRemotePort = PortField(c.remotePort);
  });
}

void BuildPlainUdp(Arena& a) {
  BuildTable<MIB_UDPTABLE, MIB_UDPROW>(a, fakes.udp, [](auto& row, const Conn& c) {
    row.dwLocalAddr = Ip(c.local);
    row.dwLocalPort = PortField(c.localPort);
  });
}

DWORD WINAPI FakeGetExtendedTcpTable(PVOID table, PDWORD size, WINBOOL sorted, ULONG family, TCP_TABLE_CLASS tableClass,
                                     ULONG) {
  fakes.queries.push_back({table != nullptr, sorted, family, tableClass});
  return fakes.extendedTcp.Call(table, size);
}

DWORD WINAPI FakeGetExtendedUdpTable(PVOID table, PDWORD size, WINBOOL sorted, ULONG family, UDP_TABLE_CLASS tableClass,
                                     ULONG) {
  fakes.queries.push_back({table != nullptr, sorted, family, tableClass});
  return fakes.extendedUdp.Call(table, size);
}

ULONG WINAPI FakeGetTcpTable(PMIB_TCPTABLE table, PULONG size, WINBOOL sorted) {
  fakes.plainSorted.push_back(sorted);
  return fakes.plainTcp.Call(table, size);
}

ULONG WINAPI FakeGetUdpTable(PMIB_UDPTABLE table, PULONG size, WINBOOL sorted) {
  fakes.plainSorted.push_back(sorted);
  return fakes.plainUdp.Call(table, size);
}

// The basic information first, then its two texts, all in the caller's
// buffer; a buffer too small gets the size it needs.
DWORD OwnerModule(DWORD pid, PVOID buffer, PDWORD size) {
  fakes.ownerLookups.push_back(pid);
  const auto found = fakes.owners.find(pid);
  if (found == fakes.owners.end()) return ERROR_NOT_FOUND;
  static wchar_t outside[] = L"C:\\Elsewhere\\rogue.exe";
  const std::wstring& path = found->second;
  const std::wstring name = path.substr(path.find_last_of(L'\\') + 1);
  const DWORD needed =
      static_cast<DWORD>(sizeof(TCPIP_OWNER_MODULE_BASIC_INFO) + (name.size() + path.size() + 2) * sizeof(wchar_t));
  if (*size < needed) {
    *size = needed;
    return ERROR_INSUFFICIENT_BUFFER;
  }
  Arena a(static_cast<BYTE*>(buffer), *size);
  auto* info = a.New<TCPIP_OWNER_MODULE_BASIC_INFO>();
  info->pModuleName = a.Wide(name);
  info->pModulePath = path == L"<outside>" ? outside : a.Wide(path);
  return NO_ERROR;
}

DWORD WINAPI FakeOwnerFromTcp(PMIB_TCPROW_OWNER_MODULE row, TCPIP_OWNER_MODULE_INFO_CLASS infoClass, PVOID buffer,
                              PDWORD size) {
  if (infoClass != TCPIP_OWNER_MODULE_INFO_BASIC) return ERROR_INVALID_PARAMETER;
  return OwnerModule(row->dwOwningPid, buffer, size);
}

DWORD WINAPI FakeOwnerFromUdp(PMIB_UDPROW_OWNER_MODULE row, TCPIP_OWNER_MODULE_INFO_CLASS infoClass, PVOID buffer,
                              PDWORD size) {
  if (infoClass != TCPIP_OWNER_MODULE_INFO_BASIC) return ERROR_INVALID_PARAMETER;
  return OwnerModule(row->dwOwningPid, buffer, size);
}

// A block on the heap the caller names: a count, then rows of 32-bit values.
DWORD AllocateTable(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family,
                    const std::vector<std::vector<DWORD>>& rows) {
  fakes.allocCalls.push_back({sorted, heap, flags, family});
  *table = nullptr;
  if (!fakes.allocGivesBlock) return fakes.allocAnswer;
  const std::size_t rowBytes = rows.empty() ? 0 : rows[0].size() * sizeof(DWORD);
  auto* block = static_cast<BYTE*>(HeapAlloc(heap, 0, sizeof(DWORD) + rows.size() * rowBytes));
  const DWORD count = static_cast<DWORD>(rows.size()) + fakes.extraRowsClaimed;
  std::memcpy(block, &count, sizeof(count));
  for (std::size_t i = 0; i < rows.size(); ++i)
    std::memcpy(block + sizeof(DWORD) + i * rowBytes, rows[i].data(), rowBytes);
  fakes.blocks.insert(block);
  *table = block;
  return fakes.allocAnswer;
}

DWORD WINAPI FakeAllocateTcp(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family) {
  std::vector<std::vector<DWORD>> rows;
  for (const Conn& c : fakes.tcp) {
    rows.push_back({c.state, Ip(c.local), PortField(c.localPort), Ip(c.remote), PortField(c.remotePort), c.pid});
  }
  return AllocateTable(table, sorted, heap, flags, family, rows);
}

DWORD WINAPI FakeAllocateUdp(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family) {
  std::vector<std::vector<DWORD>> rows;
  for (const Conn& c : fakes.udp) rows.push_back({Ip(c.local), PortField(c.localPort), c.pid});
  return AllocateTable(table, sorted, heap, flags, family, rows);
}

WINBOOL WINAPI FakeHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  fakes.blocks.erase(block);
  return HeapFree(heap, flags, block);
}

SIZE_T WINAPI FakeHeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  return fakes.heapSizeAnswer == 1 ? HeapSize(heap, flags, block) : fakes.heapSizeAnswer;
}

WINBOOL WINAPI FakeFileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
  if (fakes.localTimeFails) return FALSE;
  ULARGE_INTEGER t;
  t.LowPart = utc->dwLowDateTime;
  t.HighPart = utc->dwHighDateTime;
  t.QuadPart += kLocalOffset;
  local->dwLowDateTime = t.LowPart;
  local->dwHighDateTime = t.HighPart;
  return TRUE;
}

// Process handles of the fakes: 0x10000 plus four times the process's place.
HANDLE HandleOf(std::size_t place) { return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x10000 + 4 * place)); }
Process* ProcessOf(HANDLE handle) {
  if (!fakes.openHandles.count(handle)) return nullptr;
  return &fakes.processes[(reinterpret_cast<uintptr_t>(handle) - 0x10000) / 4];
}
// Module handles: the process's place and the module's place, shaped like an
// aligned address that fits 32 bits for up to 65535 processes of 4095 modules.
HMODULE ModuleOf(std::size_t process, std::size_t module) {
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(((process + 1) << 16) | ((module + 1) << 4)));
}

HANDLE WINAPI FakeOpenProcess(DWORD access, WINBOOL, DWORD pid) {
  fakes.openAccess.push_back(access);
  for (std::size_t i = 0; i < fakes.processes.size(); ++i) {
    if (fakes.processes[i].pid != pid) continue;
    if (!fakes.processes[i].opens) break;
    fakes.openHandles.insert(HandleOf(i));
    ++fakes.opened;
    return HandleOf(i);
  }
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

WINBOOL WINAPI FakeCloseHandle(HANDLE handle) {
  if (fakes.openHandles.erase(handle)) return TRUE;
  return CloseHandle(handle);
}

BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned) {
  ++fakes.enumProcessesCalls;
  if (fakes.enumProcessesFails) return FALSE;
  const std::size_t fit = std::min<std::size_t>(bytes / sizeof(DWORD), fakes.processes.size());
  for (std::size_t i = 0; i < fit; ++i) ids[i] = fakes.processes[i].pid;
  // Says how many there are, not how many it wrote.
  *returned = static_cast<DWORD>(fakes.processes.size() * sizeof(DWORD));
  return TRUE;
}

BOOL WINAPI FakeEnumProcessModules(HANDLE handle, HMODULE* modules, DWORD bytes, DWORD* needed) {
  Process* p = ProcessOf(handle);
  if (!p || !p->listsModules) return FALSE;
  const std::size_t place = p - fakes.processes.data();
  const std::size_t fit = std::min<std::size_t>(bytes / sizeof(HMODULE), p->modules.size());
  for (std::size_t i = 0; i < fit; ++i) modules[i] = ModuleOf(place, i);
  *needed = static_cast<DWORD>(p->modules.size() * sizeof(HMODULE));
  return TRUE;
}

DWORD WINAPI FakeGetModuleFileNameExW(HANDLE handle, HMODULE module, LPWSTR name, DWORD size) {
  ++fakes.nameLookups;
  Process* p = ProcessOf(handle);
  if (!p) return 0;
  const std::size_t place = p - fakes.processes.data();
  const auto value = reinterpret_cast<uintptr_t>(module);
  if ((value >> 16) != place + 1) return 0;
  const std::size_t index = ((value >> 4) & 0xFFF) - 1;
  if (index >= p->modules.size() || p->modules[index].empty()) return 0;
  const std::wstring& path = p->modules[index];
  // Cut to the buffer, without a terminator when it is full.
  const DWORD copied = static_cast<DWORD>(std::min<std::size_t>(path.size(), size));
  std::memcpy(name, path.data(), copied * sizeof(wchar_t));
  if (copied < size) name[copied] = L'\0';
  return copied;
}

template <class Fn>
std::shared_ptr<void> Swap(Fn SysApi::*member, Fn fake) {
  return std::make_shared<SysSwap>(member, fake);
}

}  // namespace

SysApi Slots(const Offer& offer) {
  SysApi slots;
  slots.IcmpCreateFile = Sys.IcmpCreateFile;
  slots.IcmpSendEcho = Sys.IcmpSendEcho;
  slots.IcmpCloseHandle = Sys.IcmpCloseHandle;
  if (offer.extended) {
    slots.GetExtendedTcpTable = FakeGetExtendedTcpTable;
    slots.GetExtendedUdpTable = FakeGetExtendedUdpTable;
    if (offer.ownerLookup) {
      slots.GetOwnerModuleFromTcpEntry = FakeOwnerFromTcp;
      slots.GetOwnerModuleFromUdpEntry = FakeOwnerFromUdp;
    }
  }
  if (offer.allocate) {
    slots.AllocateAndGetTcpExTableFromStack = FakeAllocateTcp;
    slots.AllocateAndGetUdpExTableFromStack = FakeAllocateUdp;
  }
  if (offer.plain) {
    slots.GetTcpTable = FakeGetTcpTable;
    slots.GetUdpTable = FakeGetUdpTable;
  }
  return slots;
}

SysApi PsapiSlots() {
  SysApi slots;
  slots.EnumProcesses = FakeEnumProcesses;
  slots.EnumProcessModules = FakeEnumProcessModules;
  slots.GetModuleFileNameExW = FakeGetModuleFileNameExW;
  return slots;
}

int64_t Ticks(int year, int month, int day, int hour, int minute, int second) {
  SYSTEMTIME st{};
  st.wYear = static_cast<WORD>(year);
  st.wMonth = static_cast<WORD>(month);
  st.wDay = static_cast<WORD>(day);
  st.wHour = static_cast<WORD>(hour);
  st.wMinute = static_cast<WORD>(minute);
  st.wSecond = static_cast<WORD>(second);
  FILETIME ft;
  SystemTimeToFileTime(&st, &ft);
  return static_cast<int64_t>((static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime);
}

std::string LocalDateText(const std::string& text) {
  char date[8] = {};
  char time[8] = {};
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDATE, date, sizeof(date));
  GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, time, sizeof(time));
  std::string out;
  for (char c : text) out += c == '/' ? date : c == ':' ? time : std::string(1, c);
  return out;
}

void ResetFakes() {
  fakes = Fakes{};
  fakes.extendedTcp.build = BuildTcpOwnerModule;
  fakes.extendedUdp.build = BuildUdpOwnerModule;
  fakes.plainTcp.build = BuildPlainTcp;
  fakes.plainUdp.build = BuildPlainUdp;
}

void ConnectionsTest::SetUp() {
  ResetFakes();
  ShowAppPath = false;
  swaps_.push_back(Swap(&SysApi::HeapFree, FakeHeapFree));
  swaps_.push_back(Swap(&SysApi::HeapSize, FakeHeapSize));
  swaps_.push_back(Swap(&SysApi::FileTimeToLocalFileTime, FakeFileTimeToLocalFileTime));
  swaps_.push_back(Swap(&SysApi::OpenProcess, FakeOpenProcess));
  swaps_.push_back(Swap(&SysApi::CloseHandle, FakeCloseHandle));
  psapi_ = std::make_unique<SysSwap>(SysLibrary::psapi, PsapiSlots());
  Bind(Offer{});
}

void ConnectionsTest::Bind(const Offer& offer) {
  binding_.reset();  // the previous scope first, so the real binding comes back at the end
  binding_ = std::make_unique<SysSwap>(SysLibrary::iphlpapi, Slots(offer));
}

void ConnectionsTest::TearDown() {
  binding_.reset();
  psapi_.reset();
  swaps_.clear();
  ShowAppPath = false;
  EXPECT_EQ(TTableBuffer::Live(), 0) << "a table buffer outlived its reader";
  EXPECT_TRUE(fakes.blocks.empty()) << "a table block was not freed";
  EXPECT_TRUE(fakes.openHandles.empty()) << "a process handle was not closed";
  for (void* block : fakes.blocks) HeapFree(GetProcessHeap(), 0, block);
}

}  // namespace connfake
