// Every function the program takes from a DLL at run time, one list per DLL.
//
// An entry is (scope of its declaration, name). Its slot in the table is
// typed from that declaration, so a slot whose call does not match the
// platform's declaration fails to compile. The platform's own headers
// declare almost every entry; SysPrototypes holds the few they hide.
#pragma once

#include <winsock2.h>
#include <ws2tcpip.h>  // before iphlpapi.h, which then declares its IPv6 entries
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>
#include <winternl.h>

// The classic names of the process-status entries, not the K32 aliases the
// headers switch to for newer targets: the library is bound by name.
#ifndef PSAPI_VERSION
#define PSAPI_VERSION 1
#endif
#if PSAPI_VERSION != 1
#error "the process-status entries are bound by their classic names"
#endif
#include <psapi.h>

// Prototypes the platform headers hide for a Vista-or-later target (and
// declare without WINAPI where they show them). The library exports them
// with the standard calling convention; declared here only so their slots
// have their exact type. Nothing links against these declarations.
namespace SysPrototypes {
DWORD WINAPI AllocateAndGetTcpExTableFromStack(PVOID* table, BOOL order, HANDLE heap, DWORD flags, DWORD family);
DWORD WINAPI AllocateAndGetUdpExTableFromStack(PVOID* table, BOOL order, HANDLE heap, DWORD flags, DWORD family);
// From Windows 7 on.
BOOL WINAPI QueryUnbiasedInterruptTime(PULONGLONG unbiasedTime);
}  // namespace SysPrototypes

// The loader's own settings come first: SetDefaultDllDirectories exists from
// Windows 8 on (and on a Windows 7 with its 2011 loader update),
// SetSearchPathMode from Windows 7 on; where a system lacks one, its slot
// stays null and the program starts all the same.
#define VELNOR_KERNEL32_CALLS(X)  \
  X(::, SetDllDirectoryA)         \
  X(::, SetDefaultDllDirectories) \
  X(::, SetSearchPathMode)        \
  X(::, CreateMutexA)             \
  X(::, Sleep)                    \
  X(::, GetTickCount64)           \
  X(SysPrototypes::, QueryUnbiasedInterruptTime) \
  X(::, GetLocalTime)             \
  X(::, CreateFileW)              \
  X(::, WriteFile)                \
  X(::, DeleteFileW)              \
  X(::, MoveFileExW)              \
  X(::, CreateThread)             \
  X(::, GetWindowsDirectoryA)     \
  X(::, GetVersionExA)            \
  X(::, CloseHandle)              \
  X(::, CreatePipe)               \
  X(::, CreateProcessA)           \
  X(::, ResumeThread)             \
  X(::, TerminateProcess)         \
  X(::, GetExitCodeProcess)       \
  X(::, CreateJobObjectA)         \
  X(::, SetInformationJobObject)  \
  X(::, AssignProcessToJobObject) \
  X(::, TerminateJobObject)       \
  X(::, ReadFile)                 \
  X(::, WaitForSingleObject)      \
  X(::, GetStdHandle)             \
  X(::, GetFileAttributesA)       \
  X(::, GetCurrentDirectoryA)     \
  X(::, GetCurrentThread)         \
  X(::, GetCurrentProcess)        \
  X(::, OpenProcess)              \
  X(::, GetProcessHeap)           \
  X(::, HeapSize)                 \
  X(::, HeapFree)                 \
  X(::, FileTimeToLocalFileTime)  \
  X(::, GetConsoleOutputCP)       \
  X(::, GetOEMCP)                 \
  X(::, GetACP)                   \
  X(::, CreateNamedPipeA)         \
  X(::, ConnectNamedPipe)         \
  X(::, CreateEventA)             \
  X(::, GetOverlappedResult)      \
  X(::, CancelIo)

#define VELNOR_USER32_CALLS(X) X(::, GetSystemMetrics)

#define VELNOR_ADVAPI32_CALLS(X) \
  X(::, RegOpenKeyExA)           \
  X(::, RegQueryValueExA)        \
  X(::, RegSetValueExA)          \
  X(::, RegCloseKey)             \
  X(::, OpenThreadToken)         \
  X(::, OpenProcessToken)        \
  X(::, GetTokenInformation)

#define VELNOR_SHELL32_CALLS(X) \
  X(::, ShellExecuteA)          \
  X(::, ShellExecuteExA)        \
  X(::, SHGetFolderPathW)

#define VELNOR_WININET_CALLS(X)    \
  X(::, InternetGetConnectedState) \
  X(::, InternetSetOptionA)        \
  X(::, InternetOpenA)             \
  X(::, InternetOpenUrlA)          \
  X(::, HttpQueryInfoA)            \
  X(::, InternetQueryOptionA)      \
  X(::, InternetCloseHandle)

#define VELNOR_WSOCK32_CALLS(X) \
  X(::, WSAStartup)             \
  X(::, WSACleanup)             \
  X(::, gethostbyname)          \
  X(::, inet_ntoa)              \
  X(::, socket)                 \
  X(::, closesocket)            \
  X(::, sendto)                 \
  X(::, recvfrom)               \
  X(::, select)                 \
  X(::, connect)                \
  X(::, ioctlsocket)            \
  X(::, WSAGetLastError)

// The echo functions are taken from IPHLPAPI.DLL, which exports them on
// every supported system: ICMP.DLL only forwards to it, and resolving that
// forward would search the program's folder again. The readers that use the
// newer table entries test their slot and fall back to an older query.
#define VELNOR_IPHLPAPI_CALLS(X)                        \
  X(::, IcmpCreateFile)                                 \
  X(::, IcmpSendEcho)                                   \
  X(::, IcmpCloseHandle)                                \
  X(::, GetAdaptersInfo)                                \
  X(::, GetNetworkParams)                               \
  X(::, GetTcpTable)                                    \
  X(::, GetTcpStatistics)                               \
  X(::, GetUdpTable)                                    \
  X(::, GetUdpStatistics)                               \
  X(::, GetIpStatistics)                                \
  X(::, GetIpNetTable)                                  \
  X(::, GetIpAddrTable)                                 \
  X(::, GetIpForwardTable)                              \
  X(::, GetIcmpStatistics)                              \
  X(::, GetIfTable)                                     \
  X(::, GetPerAdapterInfo)                              \
  X(SysPrototypes::, AllocateAndGetTcpExTableFromStack) \
  X(SysPrototypes::, AllocateAndGetUdpExTableFromStack) \
  X(::, GetAdaptersAddresses)                           \
  X(::, GetExtendedTcpTable)                            \
  X(::, GetOwnerModuleFromTcpEntry)                     \
  X(::, GetExtendedUdpTable)                            \
  X(::, GetOwnerModuleFromUdpEntry)                     \
  X(::, GetOwnerModuleFromTcp6Entry)                    \
  X(::, GetOwnerModuleFromUdp6Entry)                    \
  X(::, GetIpForwardTable2)                             \
  X(::, GetIpNetTable2)                                 \
  X(::, FreeMibTable)                                   \
  X(::, GetIpStatisticsEx)                              \
  X(::, GetIcmpStatisticsEx)                            \
  X(::, GetTcpStatisticsEx)                             \
  X(::, GetUdpStatisticsEx)

#define VELNOR_COMCTL32_CALLS(X) X(::, InitCommonControlsEx)

// The flat API under the GDI+ classes: the few entries pictures need.
#define VELNOR_GDIPLUS_CALLS(X)                        \
  X(Gdiplus::, GdiplusStartup)                         \
  X(Gdiplus::DllExports::, GdipCreateBitmapFromStream) \
  X(Gdiplus::DllExports::, GdipDisposeImage)           \
  X(Gdiplus::DllExports::, GdipGetImageWidth)          \
  X(Gdiplus::DllExports::, GdipGetImageHeight)         \
  X(Gdiplus::DllExports::, GdipImageGetFrameCount)     \
  X(Gdiplus::DllExports::, GdipImageSelectActiveFrame) \
  X(Gdiplus::DllExports::, GdipGetPropertyItemSize)    \
  X(Gdiplus::DllExports::, GdipGetPropertyItem)        \
  X(Gdiplus::DllExports::, GdipCreateFromHDC)          \
  X(Gdiplus::DllExports::, GdipDeleteGraphics)         \
  X(Gdiplus::DllExports::, GdipDrawImageRectI)

#define VELNOR_PSAPI_CALLS(X) \
  X(::, EnumProcesses)        \
  X(::, EnumProcessModules)   \
  X(::, GetModuleFileNameExW)

// Only the benchmark's harness counts handles through these.
#define VELNOR_NTDLL_CALLS(X)     \
  X(::, NtQuerySystemInformation) \
  X(::, NtQueryInformationProcess)

// (library, file name, its list, when it is bound). A library bound at start
// is bound by BindSystemCalls; one bound on first use by the first
// BindSystemLibrary that asks for it, so the program's start does not pay
// for it (the process-status library serves only the monitor's older
// connection tables; GDI+ and the common controls are bound when the
// toolkit starts).
#define VELNOR_SYSTEM_LIBRARIES(L)                               \
  L(kernel32, "kernel32.dll", VELNOR_KERNEL32_CALLS, AtStart)    \
  L(user32, "user32.dll", VELNOR_USER32_CALLS, AtStart)          \
  L(advapi32, "advapi32.dll", VELNOR_ADVAPI32_CALLS, AtStart)    \
  L(shell32, "shell32.dll", VELNOR_SHELL32_CALLS, AtStart)       \
  L(wininet, "wininet.dll", VELNOR_WININET_CALLS, AtStart)       \
  L(iphlpapi, "IPHLPAPI.DLL", VELNOR_IPHLPAPI_CALLS, AtStart)    \
  L(wsock32, "wsock32.dll", VELNOR_WSOCK32_CALLS, AtStart)       \
  L(comctl32, "comctl32.dll", VELNOR_COMCTL32_CALLS, OnFirstUse) \
  L(gdiplus, "gdiplus.dll", VELNOR_GDIPLUS_CALLS, OnFirstUse)    \
  L(psapi, "PSAPI.dll", VELNOR_PSAPI_CALLS, OnFirstUse)          \
  L(ntdll, "ntdll.dll", VELNOR_NTDLL_CALLS, OnFirstUse)
