// The monitor's benchmark harness. tools/bench runs it under Wine inside the
// test network, with the sockets it wants open around it:
//
//   harness refresh <rounds>   the window's first refresh, then <rounds> pairs
//                              of one refresh of the real monitor and one bare
//                              round of table calls, interleaved; during each
//                              refresh another thread asks the window for an
//                              answer every few milliseconds
//   harness soak <refreshes>   kernel handles, GDI and USER objects after
//                              every refresh (tools/bench adds the private
//                              memory: Wine reports none of its own, so it
//                              reads the resident anonymous memory of the
//                              Linux process)
//   harness paint <exe> <class>
//                              start of <exe> to the first paint of its
//                              visible top-level window of <class>
//
// Every figure is one line on standard output: "<what> <value>...".
#include <windows.h>
#include <winternl.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "bench/Clock.h"
#include "monitor/uTCPIP.h"
#include "netdata/IPHLPAPI.h"
#include "platform/Locale.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"

namespace {

// The fewest table calls that give the monitor's pages: one call per table,
// and the per-adapter record of each adapter, each into a buffer of the size
// the table needed the round before with room to grow (a table that
// outgrew it is asked again). Nothing is formatted.
class BareRound {
 public:
  double Run() {
    const double start = NowMs();
    next_ = 0;
    Sized([](void* b, ULONG* n) { return Sys.GetNetworkParams(static_cast<FIXED_INFO*>(b), n); });
    Sized([](void* b, ULONG* n) { return Sys.GetIpNetTable(static_cast<MIB_IPNETTABLE*>(b), n, FALSE); });
    Sized([](void* b, ULONG* n) {
      DWORD length = *n;
      const DWORD r = Sys.GetExtendedTcpTable(b, &length, TRUE, AF_INET, TCP_TABLE_OWNER_MODULE_ALL, 0);
      *n = length;
      return r;
    });
    MIB_TCPSTATS tcp;
    Sys.GetTcpStatistics(&tcp);
    Sized([](void* b, ULONG* n) {
      DWORD length = *n;
      const DWORD r = Sys.GetExtendedUdpTable(b, &length, TRUE, AF_INET, UDP_TABLE_OWNER_MODULE, 0);
      *n = length;
      return r;
    });
    MIB_IPSTATS ip;
    Sys.GetIpStatistics(&ip);
    Sized([](void* b, ULONG* n) { return Sys.GetIpAddrTable(static_cast<MIB_IPADDRTABLE*>(b), n, TRUE); });
    Sized([](void* b, ULONG* n) { return Sys.GetIpForwardTable(static_cast<MIB_IPFORWARDTABLE*>(b), n, TRUE); });
    MIB_UDPSTATS udp;
    Sys.GetUdpStatistics(&udp);
    std::vector<DWORD> adapters;
    const std::vector<BYTE>& info =
        Sized([](void* b, ULONG* n) { return Sys.GetAdaptersInfo(static_cast<IP_ADAPTER_INFO*>(b), n); });
    for (auto* a = reinterpret_cast<const IP_ADAPTER_INFO*>(info.data()); a; a = a->Next) adapters.push_back(a->Index);
    for (DWORD index : adapters) {
      Sized(
          [index](void* b, ULONG* n) { return Sys.GetPerAdapterInfo(index, static_cast<IP_PER_ADAPTER_INFO*>(b), n); });
    }
    MIB_ICMP icmp;
    Sys.GetIcmpStatistics(&icmp);
    Sized([](void* b, ULONG* n) { return Sys.GetIfTable(static_cast<MIB_IFTABLE*>(b), n, FALSE); });
    // The IPv6 parts: connections, listeners, addresses, routes,
    // neighbours and counters, where the system has them.
    Sized([](void* b, ULONG* n) {
      DWORD length = *n;
      const DWORD r = Sys.GetExtendedTcpTable(b, &length, TRUE, AF_INET6, TCP_TABLE_OWNER_MODULE_ALL, 0);
      *n = length;
      return r;
    });
    Sized([](void* b, ULONG* n) {
      DWORD length = *n;
      const DWORD r = Sys.GetExtendedUdpTable(b, &length, TRUE, AF_INET6, UDP_TABLE_OWNER_MODULE, 0);
      *n = length;
      return r;
    });
    Sized([](void* b, ULONG* n) {
      return Sys.GetAdaptersAddresses(AF_INET6, GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST, nullptr,
                                      static_cast<IP_ADAPTER_ADDRESSES*>(b), n);
    });
    if (Sys.FreeMibTable) {
      MIB_IPFORWARD_TABLE2* routes = nullptr;
      if (Sys.GetIpForwardTable2 && Sys.GetIpForwardTable2(AF_INET6, &routes) == NO_ERROR) Sys.FreeMibTable(routes);
      MIB_IPNET_TABLE2* neighbours = nullptr;
      if (Sys.GetIpNetTable2 && Sys.GetIpNetTable2(AF_INET6, &neighbours) == NO_ERROR) Sys.FreeMibTable(neighbours);
    }
    if (Sys.GetTcpStatisticsEx) Sys.GetTcpStatisticsEx(&tcp, AF_INET6);
    if (Sys.GetIpStatisticsEx) Sys.GetIpStatisticsEx(&ip, AF_INET6);
    if (Sys.GetUdpStatisticsEx) Sys.GetUdpStatisticsEx(&udp, AF_INET6);
    MIB_ICMP_EX icmp6;
    if (Sys.GetIcmpStatisticsEx) Sys.GetIcmpStatisticsEx(&icmp6, AF_INET6);
    return NowMs() - start;
  }

 private:
  template <class Call>
  const std::vector<BYTE>& Sized(Call call) {
    if (next_ == buffers_.size()) buffers_.emplace_back(4096);
    std::vector<BYTE>& buffer = buffers_[next_++];
    for (;;) {
      ULONG size = static_cast<ULONG>(buffer.size());
      const DWORD r = call(buffer.data(), &size);
      if ((r != ERROR_INSUFFICIENT_BUFFER && r != ERROR_BUFFER_OVERFLOW) || size <= buffer.size()) {
        if (r != NO_ERROR) buffer.assign(buffer.size(), 0);
        return buffer;
      }
      buffer.assign(size + size / 4, 0);
    }
  }

  std::vector<std::vector<BYTE>> buffers_;
  std::size_t next_ = 0;
};

// One refresh of the real monitor, timed from the start to the moment its
// last page is in its memo; meanwhile another thread asks the window for an
// answer every 5 ms and keeps the longest wait.
void TimedRefresh(TfrmTCPIPMonitor& monitor, double& ms, double& longestAnswerMs) {
  std::atomic<bool> stop{false}, stopped{false};
  std::atomic<long long> longestUs{0};
  const HWND window = monitor.Handle();
  std::thread asker([&] {
    while (!stop) {
      const double sent = NowMs();
      DWORD_PTR result = 0;
      SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 60000, &result);
      const auto waitedUs = static_cast<long long>((NowMs() - sent) * 1000);
      if (waitedUs > longestUs) longestUs = waitedUs;
      Sleep(5);
    }
    stopped = true;
  });
  const double start = NowMs();
  if (!monitor.Refreshing()) monitor.RefreshPages();
  monitor.WaitForRefresh();
  ms = NowMs() - start;
  stop = true;
  // Answered until the asker has stopped: a question on its way would
  // otherwise wait out its time-out while this thread sits in join, and
  // count as the window's.
  Application.ProcessMessagesUntil([&] { return stopped.load(); }, 60000);
  asker.join();
  longestAnswerMs = static_cast<double>(longestUs) / 1000.0;
}

std::unique_ptr<TfrmTCPIPMonitor> ShownMonitor() {
  Application.Initialize();
  Application.SetTitle("monitor benchmark");
  auto monitor = std::make_unique<TfrmTCPIPMonitor>();
  frmTCPIPMonitor = monitor.get();
  // The page with the most lines, shown: the worst case for putting pages in.
  monitor->pgCtrlMain->SetActivePage(monitor->ConnSheet);
  return monitor;
}

int Refresh(int rounds) {
  auto monitor = ShownMonitor();
  double ms = 0, answer = 0;
  // The first refresh starts when the window is first shown.
  monitor->ShowForm();
  TimedRefresh(*monitor, ms, answer);
  std::printf("first %.1f %.1f %d\n", ms, answer, monitor->TCPMemo->GetLines().Count());
  std::fflush(stdout);
  BareRound bare;
  bare.Run();  // learns the sizes, as the monitor's first refresh did
  for (int i = 0; i < rounds; ++i) {
    TimedRefresh(*monitor, ms, answer);
    std::printf("refresh %.1f %.1f %d\n", ms, answer, monitor->TCPMemo->GetLines().Count());
    std::printf("bare %.1f\n", bare.Run());
    std::fflush(stdout);
  }
  monitor->HideForm();
  return 0;
}

// The system's handle list (Wine answers it; its GetProcessHandleCount
// says 0): the kernel handles of this process.
long KernelHandles() {
  struct Entry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ULONG access;
  };
  struct List {
    ULONG count;
    Entry entries[1];
  };
  static std::vector<BYTE> buffer(32u << 20);
  ULONG length = 0;
  const auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
  if (!BindSystemLibrary(SysLibrary::ntdll) || !Sys.NtQuerySystemInformation ||
      Sys.NtQuerySystemInformation(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                                   &length) != 0)
    return -1;
  const auto* list = reinterpret_cast<const List*>(buffer.data());
  long mine = 0;
  for (ULONG i = 0; i < list->count; ++i) mine += list->entries[i].ownerPid == GetCurrentProcessId();
  return mine;
}

// GDI objects: the system's count where it keeps one, else the entries in
// use in the process's GDI handle table (which Wine's GetGuiResources does
// not look at).
long GdiObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted > 0) return static_cast<long>(counted);
#ifdef _WIN64
  struct Cell {
    UINT64 object;
    USHORT pid;
    USHORT lock;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 user;
  };
  PROCESS_BASIC_INFORMATION basic{};
  if (!BindSystemLibrary(SysLibrary::ntdll) || !Sys.NtQueryInformationProcess ||
      Sys.NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof(basic), nullptr) != 0)
    return -1;
  const BYTE* peb = reinterpret_cast<const BYTE*>(basic.PebBaseAddress);
  const auto* cells = *reinterpret_cast<const Cell* const*>(peb + 0xF8);  // GdiSharedHandleTable
  if (!cells) return -1;
  long used = 0;
  for (int i = 0; i < 0x10000; ++i) used += cells[i].type != 0;
  return used;
#else
  return -1;
#endif
}

BOOL CALLBACK CountWindow(HWND hwnd, LPARAM param) {
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  auto* count = reinterpret_cast<long*>(param);
  ++*count;
  EnumChildWindows(hwnd, CountWindow, param);
  return TRUE;
}

// USER objects: the system's count where it keeps one, else this process's
// windows.
long UserObjects() {
  const DWORD counted = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  if (counted > 0) return static_cast<long>(counted);
  long windows = 0;
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&windows));
  HWND messageOnly = nullptr;
  while ((messageOnly = FindWindowExA(HWND_MESSAGE, messageOnly, nullptr, nullptr)) != nullptr) {
    CountWindow(messageOnly, reinterpret_cast<LPARAM>(&windows));
  }
  return windows;
}

int Soak(int refreshes) {
  auto monitor = ShownMonitor();
  monitor->ShowForm();
  monitor->WaitForRefresh();
  for (int i = 1; i <= refreshes; ++i) {
    monitor->RefreshPages();
    monitor->WaitForRefresh();
    std::printf("soak %d %ld %ld %ld\n", i, KernelHandles(), GdiObjects(), UserObjects());
    std::fflush(stdout);
  }
  monitor->HideForm();
  return 0;
}

struct Search {
  DWORD process;
  const char* windowClass;
  HWND found;
};

BOOL CALLBACK FindShown(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  char cls[128] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (process == search->process && IsWindowVisible(hwnd) && std::strcmp(cls, search->windowClass) == 0) {
    search->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK AnyUnpainted(HWND hwnd, LPARAM param) {
  if (IsWindowVisible(hwnd) && GetUpdateRect(hwnd, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

// Shown and painted: visible, and neither it nor a visible child window
// waits for a paint any more.
bool Painted(HWND hwnd) {
  if (GetUpdateRect(hwnd, nullptr, FALSE)) return false;
  bool unpainted = false;
  EnumChildWindows(hwnd, AnyUnpainted, reinterpret_cast<LPARAM>(&unpainted));
  return !unpainted;
}

int Paint(const char* exe, const char* windowClass) {
  std::string commandLine = std::string("\"") + exe + "\"";
  std::string folder = exe;
  folder = folder.substr(0, folder.find_last_of("\\/") + 1);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  const double start = NowMs();
  if (!CreateProcessA(exe, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process)) {
    std::printf("paint-failed start %lu\n", GetLastError());
    return 1;
  }
  double painted = -1;
  while (NowMs() - start < 120000) {
    Search search{process.dwProcessId, windowClass, nullptr};
    EnumWindows(FindShown, reinterpret_cast<LPARAM>(&search));
    if (search.found && Painted(search.found)) {
      painted = NowMs() - start;
      break;
    }
    if (WaitForSingleObject(process.hProcess, 1) == WAIT_OBJECT_0) break;
  }
  // Only the process started here is stopped, by its handle.
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (painted < 0) {
    std::printf("paint-failed window\n");
    return 1;
  }
  std::printf("paint %.1f\n", painted);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  BindSystemCalls();
  // The monitor's lines cost what they cost in the program.
  UseUserLocaleInText();
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "refresh" && argc == 3) return Refresh(std::atoi(argv[2]));
  if (mode == "soak" && argc == 3) return Soak(std::atoi(argv[2]));
  if (mode == "paint" && argc == 4) return Paint(argv[2], argv[3]);
  std::fprintf(stderr, "usage: harness refresh <rounds> | soak <refreshes> | paint <exe> <class>\n");
  return 2;
}
