#include "support/FakeMachine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

FakeMachine machine;

namespace {

// ---- Parameters and adapters

DWORD WINAPI FakeGetAdaptersInfo(PIP_ADAPTER_INFO info, PULONG size) { return machine.adaptersInfo.Call(info, size); }
ULONG WINAPI FakeGetAdaptersAddresses(ULONG family, ULONG flags, PVOID, PIP_ADAPTER_ADDRESSES addresses, PULONG size) {
  if (family == AF_INET6) return machine.adaptersAddresses6.Call(addresses, size);
  machine.addressesQueries.emplace_back(family, flags);
  return machine.adaptersAddresses.Call(addresses, size);
}

// ---- The monitor's tables and counters

DWORD WINAPI FakeGetIpNetTable(PMIB_IPNETTABLE table, PULONG size, WINBOOL order) {
  machine.ipNetOrder.push_back(order);
  return machine.ipNetTable.Call(table, size);
}
DWORD WINAPI FakeGetIpForwardTable(PMIB_IPFORWARDTABLE table, PULONG size, WINBOOL order) {
  machine.ipForwardOrder.push_back(order);
  return machine.ipForwardTable.Call(table, size);
}
ULONG WINAPI FakeGetTcpStatistics(PMIB_TCPSTATS s) { return machine.tcpStats.Call(s); }
ULONG WINAPI FakeGetIpStatistics(PMIB_IPSTATS s) { return machine.ipStats.Call(s); }
ULONG WINAPI FakeGetUdpStatistics(PMIB_UDPSTATS s) { return machine.udpStats.Call(s); }
ULONG WINAPI FakeGetIcmpStatistics(PMIB_ICMP s) { return machine.icmpStats.Call(s); }

// ---- Connections and processes

DWORD WINAPI FakeGetExtendedTcpTable(PVOID table, PDWORD size, WINBOOL sorted, ULONG family, TCP_TABLE_CLASS tableClass,
                                     ULONG) {
  if (family == AF_INET6) return machine.extendedTcp6.Call(table, size);
  machine.queries.push_back({table != nullptr, sorted, family, tableClass});
  return machine.extendedTcp.Call(table, size);
}

DWORD WINAPI FakeGetExtendedUdpTable(PVOID table, PDWORD size, WINBOOL sorted, ULONG family, UDP_TABLE_CLASS tableClass,
                                     ULONG) {
  if (family == AF_INET6) return machine.extendedUdp6.Call(table, size);
  machine.queries.push_back({table != nullptr, sorted, family, tableClass});
  return machine.extendedUdp.Call(table, size);
}

ULONG WINAPI FakeGetTcpTable(PMIB_TCPTABLE table, PULONG size, WINBOOL sorted) {
  machine.plainSorted.push_back(sorted);
  return machine.plainTcp.Call(table, size);
}

ULONG WINAPI FakeGetUdpTable(PMIB_UDPTABLE table, PULONG size, WINBOOL sorted) {
  machine.plainSorted.push_back(sorted);
  return machine.plainUdp.Call(table, size);
}

// The basic information first, then its two texts, all in the caller's
// buffer; a buffer too small gets the size it needs.
DWORD OwnerModule(DWORD pid, PVOID buffer, PDWORD size) {
  machine.ownerLookups.push_back(pid);
  const auto found = machine.owners.find(pid);
  if (found == machine.owners.end()) return ERROR_NOT_FOUND;
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

DWORD WINAPI FakeOwnerFromTcp6(PMIB_TCP6ROW_OWNER_MODULE row, TCPIP_OWNER_MODULE_INFO_CLASS infoClass, PVOID buffer,
                               PDWORD size) {
  if (infoClass != TCPIP_OWNER_MODULE_INFO_BASIC) return ERROR_INVALID_PARAMETER;
  return OwnerModule(row->dwOwningPid, buffer, size);
}

DWORD WINAPI FakeOwnerFromUdp6(PMIB_UDP6ROW_OWNER_MODULE row, TCPIP_OWNER_MODULE_INFO_CLASS infoClass, PVOID buffer,
                               PDWORD size) {
  if (infoClass != TCPIP_OWNER_MODULE_INFO_BASIC) return ERROR_INVALID_PARAMETER;
  return OwnerModule(row->dwOwningPid, buffer, size);
}

// ---- IPv6 routes, neighbours and counters

// A table the library allocates: a count and the rows, in one block that
// only FreeMibTable releases.
template <class T, class Row>
DWORD AllocateMibTable(ADDRESS_FAMILY family, T** table, const std::vector<Row>& rows, DWORD answer) {
  *table = nullptr;
  if (family != AF_INET6) return ERROR_INVALID_PARAMETER;
  if (answer != NO_ERROR) return answer;
  const std::size_t bytes = offsetof(T, Table) + (rows.empty() ? 1 : rows.size()) * sizeof(Row);
  auto* block = static_cast<T*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, bytes));
  block->NumEntries = static_cast<ULONG>(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) block->Table[i] = rows[i];
  ++machine.mibTablesLive;
  *table = block;
  return NO_ERROR;
}

DWORD WINAPI FakeGetIpForwardTable2(ADDRESS_FAMILY family, PMIB_IPFORWARD_TABLE2* table) {
  return AllocateMibTable(family, table, machine.routes6, machine.routes6Answer);
}
DWORD WINAPI FakeGetIpNetTable2(ADDRESS_FAMILY family, PMIB_IPNET_TABLE2* table) {
  return AllocateMibTable(family, table, machine.neighbours6, machine.neighbours6Answer);
}
VOID WINAPI FakeFreeMibTable(PVOID table) {
  if (!table) return;
  --machine.mibTablesLive;
  HeapFree(GetProcessHeap(), 0, table);
}

template <class Record>
ULONG Counters6(CounterFake<Record>& fake, Record* out, ULONG family) {
  machine.statsFamilies.push_back(family);
  if (family != AF_INET6) return ERROR_INVALID_PARAMETER;
  return fake.Call(out);
}
ULONG WINAPI FakeGetIpStatisticsEx(PMIB_IPSTATS s, ULONG family) { return Counters6(machine.ip6Stats, s, family); }
ULONG WINAPI FakeGetTcpStatisticsEx(PMIB_TCPSTATS s, ULONG family) { return Counters6(machine.tcp6Stats, s, family); }
ULONG WINAPI FakeGetUdpStatisticsEx(PMIB_UDPSTATS s, ULONG family) { return Counters6(machine.udp6Stats, s, family); }
ULONG WINAPI FakeGetIcmpStatisticsEx(PMIB_ICMP_EX s, ULONG family) { return Counters6(machine.icmp6Stats, s, family); }

// A block on the heap the caller names: a count, then rows of 32-bit values.
DWORD AllocateTable(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family,
                    const std::vector<std::vector<DWORD>>& rows) {
  machine.allocCalls.push_back({sorted, heap, flags, family});
  *table = nullptr;
  if (!machine.allocGivesBlock) return machine.allocAnswer;
  const std::size_t rowBytes = rows.empty() ? 0 : rows[0].size() * sizeof(DWORD);
  auto* block = static_cast<BYTE*>(HeapAlloc(heap, 0, sizeof(DWORD) + rows.size() * rowBytes));
  const DWORD count = static_cast<DWORD>(rows.size()) + machine.extraRowsClaimed;
  std::memcpy(block, &count, sizeof(count));
  for (std::size_t i = 0; i < rows.size(); ++i)
    std::memcpy(block + sizeof(DWORD) + i * rowBytes, rows[i].data(), rowBytes);
  machine.blocks.insert(block);
  *table = block;
  return machine.allocAnswer;
}

DWORD WINAPI FakeAllocateTcp(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family) {
  std::vector<std::vector<DWORD>> rows;
  for (const Conn& c : machine.tcp) rows.push_back(AllocatedTcpRow(c));
  return AllocateTable(table, sorted, heap, flags, family, rows);
}

DWORD WINAPI FakeAllocateUdp(PVOID* table, BOOL sorted, HANDLE heap, DWORD flags, DWORD family) {
  std::vector<std::vector<DWORD>> rows;
  for (const Conn& c : machine.udp) rows.push_back(AllocatedUdpRow(c));
  return AllocateTable(table, sorted, heap, flags, family, rows);
}

WINBOOL WINAPI FakeHeapFree(HANDLE heap, DWORD flags, LPVOID block) {
  machine.blocks.erase(block);
  return HeapFree(heap, flags, block);
}

SIZE_T WINAPI FakeHeapSize(HANDLE heap, DWORD flags, LPCVOID block) {
  return machine.heapSizeAnswer == 1 ? HeapSize(heap, flags, block) : machine.heapSizeAnswer;
}

WINBOOL WINAPI FakeFileTimeToLocalFileTime(const FILETIME* utc, LPFILETIME local) {
  if (machine.localTimeFails) return FALSE;
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
  if (!machine.openHandles.count(handle)) return nullptr;
  return &machine.processes[(reinterpret_cast<uintptr_t>(handle) - 0x10000) / 4];
}
// Module handles: the process's place and the module's place, shaped like an
// aligned address that fits 32 bits for up to 65535 processes of 4095 modules.
HMODULE ModuleOf(std::size_t process, std::size_t module) {
  return reinterpret_cast<HMODULE>(static_cast<uintptr_t>(((process + 1) << 16) | ((module + 1) << 4)));
}

HANDLE WINAPI FakeOpenProcess(DWORD access, WINBOOL, DWORD pid) {
  machine.openAccess.push_back(access);
  for (std::size_t i = 0; i < machine.processes.size(); ++i) {
    if (machine.processes[i].pid != pid) continue;
    if (!machine.processes[i].opens) break;
    machine.openHandles.insert(HandleOf(i));
    ++machine.opened;
    return HandleOf(i);
  }
  SetLastError(ERROR_ACCESS_DENIED);
  return nullptr;
}

WINBOOL WINAPI FakeCloseHandle(HANDLE handle) {
  if (machine.openHandles.erase(handle)) return TRUE;
  return CloseHandle(handle);
}

BOOL WINAPI FakeEnumProcesses(DWORD* ids, DWORD bytes, DWORD* returned) {
  ++machine.enumProcessesCalls;
  if (machine.enumProcessesFails) return FALSE;
  const std::size_t fit = std::min<std::size_t>(bytes / sizeof(DWORD), machine.processes.size());
  for (std::size_t i = 0; i < fit; ++i) ids[i] = machine.processes[i].pid;
  // Says how many there are, not how many it wrote.
  *returned = static_cast<DWORD>(machine.processes.size() * sizeof(DWORD));
  return TRUE;
}

BOOL WINAPI FakeEnumProcessModules(HANDLE handle, HMODULE* modules, DWORD bytes, DWORD* needed) {
  Process* p = ProcessOf(handle);
  if (!p || !p->listsModules) return FALSE;
  const std::size_t place = p - machine.processes.data();
  const std::size_t fit = std::min<std::size_t>(bytes / sizeof(HMODULE), p->modules.size());
  for (std::size_t i = 0; i < fit; ++i) modules[i] = ModuleOf(place, i);
  *needed = static_cast<DWORD>(p->modules.size() * sizeof(HMODULE));
  return TRUE;
}

DWORD WINAPI FakeGetModuleFileNameExW(HANDLE handle, HMODULE module, LPWSTR name, DWORD size) {
  ++machine.nameLookups;
  Process* p = ProcessOf(handle);
  if (!p) return 0;
  const std::size_t place = p - machine.processes.data();
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

// ---- The main window's world

const HANDLE kEchoHandle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x5150));

// The kinds the scope in force installed.
unsigned installed = 0;
bool World() { return (installed & ScopedFakeMachine::kWorld) != 0; }

std::string Dotted(IPAddr a) {
  const auto* b = reinterpret_cast<const BYTE*>(&a);
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

// A monotonic clock well past 32 bits, so no time is computed in 32.
ULONGLONG WINAPI FakeGetTickCount64() { return 0x500000000ULL + static_cast<ULONGLONG>(machine.clockMs); }
void WINAPI FakeSleep(DWORD ms) {
  machine.sleeps.push_back(ms);
  machine.clockMs += ms;
}

HANDLE WINAPI FakeIcmpCreateFile() {
  if (machine.noEchoHandle) return INVALID_HANDLE_VALUE;
  ++machine.handlesMade;
  return kEchoHandle;
}

BOOL WINAPI FakeIcmpCloseHandle(HANDLE h) {
  if (h != kEchoHandle) machine.faults.push_back("closed a handle never made");
  ++machine.handlesClosed;
  return TRUE;
}

int WSAAPI FakeWSAStartup(WORD version, LPWSADATA data) {
  if (version != MAKEWORD(1, 1) || !data) machine.faults.push_back("WSAStartup arguments");
  if (data) std::memset(data, 0, sizeof(*data));
  ++machine.wsaStarts;
  return 0;
}

int WSAAPI FakeWSACleanup() {
  ++machine.wsaCleanups;
  return 0;
}

hostent* WSAAPI FakeGethostbyname(const char* name) {
  static hostent entry;
  static char* list[2];
  static ULONG address;
  const std::string asked = name ? name : "";
  machine.lookups.push_back(asked);
  if (machine.wsaStarts != machine.wsaCleanups + 1)
    machine.faults.push_back("lookup outside one WSAStartup/WSACleanup");
  if (asked == machine.lookupThrows) throw std::runtime_error("name service broke");
  entry = hostent{};
  entry.h_addrtype = AF_INET;
  entry.h_length = 4;
  entry.h_addr_list = list;
  list[0] = list[1] = nullptr;
  if (asked == machine.noAddress) return &entry;
  const auto host = machine.hosts.find(asked);
  if (host != machine.hosts.end()) {
    address = host->second.address;
  } else {
    // The world's machine also knows its named hosts and takes any address
    // written out.
    if (!World()) return nullptr;
    std::string dotted = asked;
    const auto named = machine.names.find(dotted);
    if (named != machine.names.end()) dotted = named->second;
    unsigned b0, b1, b2, b3;
    char tail;
    if (std::sscanf(dotted.c_str(), "%u.%u.%u.%u%c", &b0, &b1, &b2, &b3, &tail) != 4) return nullptr;
    address = b0 | (b1 << 8) | (b2 << 16) | (b3 << 24);
  }
  list[0] = reinterpret_cast<char*>(&address);
  return &entry;
}

// The world's answer to an echo to an address no scripted host has.
DWORD WorldEcho(IPAddr to, LPVOID reply, DWORD replySize) {
  const std::string dotted = Dotted(to);
  const int n = ++machine.echoCounts[dotted];
  const auto it = machine.answers.find(dotted);
  const EchoAnswer answer = it == machine.answers.end() ? EchoAnswer::Up : it->second;
  const bool replies = answer == EchoAnswer::Up || answer == EchoAnswer::Unreachable || (answer == EchoAnswer::Half && n % 2 == 1);
  if (!replies) {
    SetLastError(IP_REQ_TIMED_OUT);
    return 0;
  }
  std::memset(reply, 0, replySize);
  auto* r = static_cast<ICMP_ECHO_REPLY*>(reply);
  r->Address = to;
  r->Status = answer == EchoAnswer::Unreachable ? IP_DEST_HOST_UNREACHABLE : IP_SUCCESS;
  r->Options.Ttl = 64;
  SetLastError(IP_SUCCESS);
  return 1;
}

DWORD WINAPI FakeIcmpSendEcho(HANDLE h, IPAddr to, LPVOID data, WORD size, PIP_OPTION_INFORMATION options, LPVOID reply,
                              DWORD replySize, DWORD timeout) {
  ++machine.echoes;
  if (machine.echoEntered) SetEvent(machine.echoEntered);
  if (machine.echoRelease) WaitForSingleObject(machine.echoRelease, 30000);
  FakeMachine::EchoHost* host = nullptr;
  for (auto& [name, candidate] : machine.hosts)
    if (candidate.address == to) host = &candidate;
  if (!host && World()) return WorldEcho(to, reply, replySize);
  // What the ping worker asks for, to the letter.
  if (h != kEchoHandle) machine.faults.push_back("echo on a foreign handle");
  if (size != 32 || std::string(static_cast<const char*>(data), size) != std::string(32, 'X'))
    machine.faults.push_back("request data");
  if (options) machine.faults.push_back("IP options");
  if (timeout != 2000) machine.faults.push_back("time-out " + std::to_string(timeout));
  if (replySize < sizeof(ICMP_ECHO_REPLY) + 32 + 8) machine.faults.push_back("reply buffer too small");
  if (!host) {
    machine.faults.push_back("echo to an address never resolved");
    SetLastError(11003);
    return 0;
  }
  const Echo e = host->echoes[std::min(host->next++, host->echoes.size() - 1)];
  machine.clockMs += e.ms;
  if (!e.reply) {
    SetLastError(e.status);
    return 0;
  }
  std::memset(reply, 0, replySize);
  auto* r = static_cast<ICMP_ECHO_REPLY*>(reply);
  r->Status = e.status;
  r->Address = to;
  // Not what the worker shows: its time covers the whole attempt.
  r->RoundTripTime = static_cast<ULONG>(e.ms / 2 + 1);
  r->DataSize = 32;
  r->Options.Ttl = kScriptedTtl;
  SetLastError(0);
  return 1;
}

HINSTANCE WINAPI FakeShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, INT) {
  machine.shellOpened.push_back(std::string(verb ? verb : "") + " " + (file ? file : ""));
  return reinterpret_cast<HINSTANCE>(machine.shellResult);
}

int WINAPI FakeGetSystemMetrics(int index) { return index == SM_NETWORK ? machine.network : ::GetSystemMetrics(index); }

// The diagnosis's own checks reach nothing from a test with a fake machine:
// no socket opens and no web request is made.
SOCKET WINAPI FakeSocket(int, int, int) { return INVALID_SOCKET; }
HINTERNET WINAPI FakeInternetOpenA(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD) {
  SetLastError(ERROR_INTERNET_CANNOT_CONNECT);
  return nullptr;
}

BOOL WINAPI FakeInternetGetConnectedState(LPDWORD flags, DWORD) {
  if (flags) *flags = 0;
  return machine.online;
}

template <class Fn>
std::shared_ptr<void> Swap(Fn SysApi::*member, Fn fake) {
  return std::make_shared<SysSwap>(member, fake);
}

}  // namespace

DWORD WINAPI FakeGetNetworkParams(PFIXED_INFO info, PULONG size) { return machine.networkParams.Call(info, size); }

DWORD WINAPI FakeGetPerAdapterInfo(ULONG index, PIP_PER_ADAPTER_INFO info, PULONG size) {
  machine.perAdapterBufferSizes.push_back(*size);
  if (!machine.perAdapter) return ERROR_NO_DATA;
  std::vector<BYTE> scratch(1 << 16);
  Arena measure(scratch.data(), scratch.size());
  const DWORD answer = machine.perAdapter(index, measure);
  if (answer != NO_ERROR) return answer;
  if (!info || *size < measure.Used()) {
    *size = static_cast<ULONG>(measure.Used());
    return ERROR_BUFFER_OVERFLOW;
  }
  Arena arena(reinterpret_cast<BYTE*>(info), *size);
  return machine.perAdapter(index, arena);
}

DWORD WINAPI FakeGetIfTable(PMIB_IFTABLE table, PULONG size, WINBOOL order) {
  machine.ifOrder.push_back(order);
  return machine.ifTable.Call(table, size);
}

DWORD WINAPI FakeGetIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, WINBOOL) {
  return machine.ipAddrTable.Call(table, size);
}

DWORD TableFake::Call(void* buffer, PULONG size) {
  ++calls;
  if (buffer) lastBufferSize = *size;
  const std::size_t needed = Measure(build);
  if (!buffer || *size < needed) {
    *size = static_cast<ULONG>(needed);
    return probeAnswer;
  }
  if (secondAnswer != NO_ERROR) return secondAnswer;
  // Bytes no structure covers hold garbage, as they may on the platform.
  std::memset(buffer, 0xCD, *size);
  Arena arena(static_cast<BYTE*>(buffer), *size);
  build(arena);
  return NO_ERROR;
}

void FakeMachine::Reset() {
  *this = FakeMachine{};
  extendedTcp.build = [](Arena& a) { BuildTcpOwnerModule(a, machine.tcp, machine.extraRowsClaimed); };
  extendedUdp.build = [](Arena& a) { BuildUdpOwnerModule(a, machine.udp, machine.extraRowsClaimed); };
  plainTcp.build = [](Arena& a) { BuildPlainTcp(a, machine.tcp, machine.extraRowsClaimed); };
  plainUdp.build = [](Arena& a) { BuildPlainUdp(a, machine.udp, machine.extraRowsClaimed); };
  extendedTcp6.build = [](Arena& a) { BuildTcp6OwnerModule(a, machine.tcp6); };
  extendedUdp6.build = [](Arena& a) { BuildUdp6OwnerModule(a, machine.udp6); };
  names = {
      {"web1.velnor.test", "10.77.1.10"}, {"web2.velnor.test", "10.77.1.11"}, {"search.velnor.test", "10.77.1.12"}};
}

void FakeMachine::AddHost(const std::string& name, std::vector<Echo> script) {
  EchoHost h;
  h.echoes = std::move(script);
  h.address = 0x0100000A + (static_cast<ULONG>(hosts.size()) << 24);  // 10.0.0.1, 10.0.0.2, ...
  hosts[name] = h;
}

void FakeMachine::BuildFromAdapters() {
  const std::vector<FakeAdapter> list = adapters;
  ifTable.build = [list](Arena& a) {
    std::vector<MIB_IFROW> rows;
    for (const FakeAdapter& f : list) {
      MIB_IFROW row = IfRow(f.index, f.type, f.mac, f.description.c_str());
      row.dwOperStatus = f.operStatus;
      rows.push_back(row);
    }
    BuildIfTable(a, rows);
  };
  ipAddrTable.build = [list](Arena& a) {
    std::vector<MIB_IPADDRROW> rows;
    for (const FakeAdapter& f : list)
      if (!f.address.empty())
        rows.push_back(AddrRow(f.index, f.address.c_str(), f.mask.empty() ? "0.0.0.0" : f.mask.c_str()));
    BuildIpAddrTable(a, rows);
  };
  adaptersInfo.build = [list](Arena& a) {
    std::vector<ClassicAdapter> classic;
    for (const FakeAdapter& f : list) {
      ClassicAdapter c;
      c.description = f.description;
      c.mac = f.mac;
      c.index = f.index;
      c.type = f.type;
      c.addresses = {{f.address.empty() ? "0.0.0.0" : f.address, f.mask.empty() ? "0.0.0.0" : f.mask}};
      c.gateways = {f.gateway};
      classic.push_back(c);
    }
    BuildAdaptersInfo(a, classic);
  };
  perAdapter = [list](ULONG index, Arena& a) -> DWORD {
    for (const FakeAdapter& f : list)
      if (f.index == index) BuildPerAdapterInfo(a, 0, {f.dns});
    return NO_ERROR;
  };
  networkParams.build = [](Arena& a) { BuildFixedInfo(a, "testhost", "velnor.test", 8, 0, 0, 0, {"192.168.1.53"}); };
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

ScopedFakeMachine::ScopedFakeMachine(unsigned kinds) : kinds_(kinds), saved_(installed) {
  machine.Reset();
  installed = kinds;
  BindIpHelper();
  swaps_.push_back(Swap(&SysApi::socket, &FakeSocket));
  swaps_.push_back(Swap(&SysApi::InternetOpenA, &FakeInternetOpenA));
  if (kinds_ & kProcesses) {
    SysApi processes;
    processes.EnumProcesses = FakeEnumProcesses;
    processes.EnumProcessModules = FakeEnumProcessModules;
    processes.GetModuleFileNameExW = FakeGetModuleFileNameExW;
    psapi_ = std::make_unique<SysSwap>(SysLibrary::psapi, processes);
    swaps_.push_back(Swap(&SysApi::HeapFree, FakeHeapFree));
    swaps_.push_back(Swap(&SysApi::HeapSize, FakeHeapSize));
    swaps_.push_back(Swap(&SysApi::FileTimeToLocalFileTime, FakeFileTimeToLocalFileTime));
    swaps_.push_back(Swap(&SysApi::OpenProcess, FakeOpenProcess));
    swaps_.push_back(Swap(&SysApi::CloseHandle, FakeCloseHandle));
  }
  if (kinds_ & kEcho) {
    swaps_.push_back(Swap(&SysApi::WSAStartup, &FakeWSAStartup));
    swaps_.push_back(Swap(&SysApi::WSACleanup, &FakeWSACleanup));
    swaps_.push_back(Swap(&SysApi::gethostbyname, &FakeGethostbyname));
  }
  if (kinds_ & kSleep) swaps_.push_back(Swap(&SysApi::Sleep, &FakeSleep));
  if (kinds_ & kClock) swaps_.push_back(Swap(&SysApi::GetTickCount64, &FakeGetTickCount64));
  if (kinds_ & kWorld) {
    // Nothing a test does reaches the machine's proxy settings or firewall.
    registry_ = std::make_unique<fakeregistry::ScopedFakeRegistry>();
    commands_ = std::make_unique<fakecommands::ScopedFakeCommands>();
    swaps_.push_back(Swap(&SysApi::ShellExecuteA, &FakeShellExecuteA));
    swaps_.push_back(Swap(&SysApi::GetSystemMetrics, &FakeGetSystemMetrics));
    swaps_.push_back(Swap(&SysApi::InternetGetConnectedState, &FakeInternetGetConnectedState));
  }
}

ScopedFakeMachine::~ScopedFakeMachine() {
  swaps_.clear();
  commands_.reset();
  registry_.reset();
  psapi_.reset();
  ipHelper_.reset();
  for (void* block : machine.blocks) HeapFree(GetProcessHeap(), 0, block);
  machine.blocks.clear();
  installed = saved_;
}

void ScopedFakeMachine::Offer(const TableGenerations& generations) {
  generations_ = generations;
  BindIpHelper();
}

void ScopedFakeMachine::BindIpHelper() {
  ipHelper_.reset();  // the previous scope first, so the real binding comes back at the end
  if (!(kinds_ & (kAdapters | kMonitorTables | kConnections | kEcho))) return;
  SysApi calls;  // every entry the kinds asked for do not cover missing
  if (kinds_ & kEcho) {
    calls.IcmpCreateFile = FakeIcmpCreateFile;
    calls.IcmpSendEcho = FakeIcmpSendEcho;
    calls.IcmpCloseHandle = FakeIcmpCloseHandle;
  } else {
    // The echo functions come from the same library; they stay as they are.
    calls.IcmpCreateFile = Sys.IcmpCreateFile;
    calls.IcmpSendEcho = Sys.IcmpSendEcho;
    calls.IcmpCloseHandle = Sys.IcmpCloseHandle;
  }
  if (kinds_ & kAdapters) {
    calls.GetNetworkParams = FakeGetNetworkParams;
    calls.GetAdaptersInfo = FakeGetAdaptersInfo;
    calls.GetAdaptersAddresses = FakeGetAdaptersAddresses;
    calls.GetPerAdapterInfo = FakeGetPerAdapterInfo;
    calls.GetIpAddrTable = FakeGetIpAddrTable;
    calls.GetIfTable = FakeGetIfTable;
  }
  if (kinds_ & kMonitorTables) {
    calls.GetIpNetTable = FakeGetIpNetTable;
    calls.GetIpForwardTable = FakeGetIpForwardTable;
    calls.GetTcpStatistics = FakeGetTcpStatistics;
    calls.GetIpStatistics = FakeGetIpStatistics;
    calls.GetUdpStatistics = FakeGetUdpStatistics;
    calls.GetIcmpStatistics = FakeGetIcmpStatistics;
    calls.GetIpForwardTable2 = FakeGetIpForwardTable2;
    calls.GetIpNetTable2 = FakeGetIpNetTable2;
    calls.FreeMibTable = FakeFreeMibTable;
    calls.GetIpStatisticsEx = FakeGetIpStatisticsEx;
    calls.GetTcpStatisticsEx = FakeGetTcpStatisticsEx;
    calls.GetUdpStatisticsEx = FakeGetUdpStatisticsEx;
    calls.GetIcmpStatisticsEx = FakeGetIcmpStatisticsEx;
  }
  if (kinds_ & kConnections) {
    if (generations_.extended) {
      calls.GetExtendedTcpTable = FakeGetExtendedTcpTable;
      calls.GetExtendedUdpTable = FakeGetExtendedUdpTable;
      if (generations_.ownerLookup) {
        calls.GetOwnerModuleFromTcpEntry = FakeOwnerFromTcp;
        calls.GetOwnerModuleFromUdpEntry = FakeOwnerFromUdp;
        calls.GetOwnerModuleFromTcp6Entry = FakeOwnerFromTcp6;
        calls.GetOwnerModuleFromUdp6Entry = FakeOwnerFromUdp6;
      }
    }
    if (generations_.allocate) {
      calls.AllocateAndGetTcpExTableFromStack = FakeAllocateTcp;
      calls.AllocateAndGetUdpExTableFromStack = FakeAllocateUdp;
    }
    if (generations_.plain) {
      calls.GetTcpTable = FakeGetTcpTable;
      calls.GetUdpTable = FakeGetUdpTable;
    }
  }
  // A library swapped as a whole also starts the readers' table sizes afresh.
  ipHelper_ = std::make_unique<SysSwap>(SysLibrary::iphlpapi, calls);
}

std::vector<std::string> LinesOf(const Lines& list) {
  std::vector<std::string> lines;
  for (int i = 0; i < list.Count(); ++i) lines.push_back(list[i]);
  return lines;
}
