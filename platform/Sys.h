// The one table of operating-system calls that tests replace.
//
// Every entry is bound at run time from the system directory, so the program
// never takes a DLL from its own folder or the current directory. Tests swap
// single members with SysSwap and get the original back when it goes out of
// scope.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wininet.h>

// (library, function). Libraries that Windows protects as known DLLs and
// those it does not are treated alike: all are loaded from the system
// directory by name. The echo functions are taken from IPHLPAPI.DLL, which
// exports them on every supported system: ICMP.DLL only forwards to it, and
// resolving that forward would search the program's folder again.
//
// The loader's own settings come first: SetDefaultDllDirectories exists from
// Windows 8 on (and on a Windows 7 with its 2011 loader update),
// SetSearchPathMode from Windows 7 on; where a system lacks one, its member
// stays null and the program starts all the same.
#define VELNOR_SYS_CALLS(X)                      \
  X(kernel32, SetDllDirectoryA)                  \
  X(kernel32, SetDefaultDllDirectories)          \
  X(kernel32, SetSearchPathMode)                 \
  X(kernel32, CreateMutexA)                      \
  X(kernel32, Sleep)                             \
  X(kernel32, GetTickCount64)                    \
  X(kernel32, GetLocalTime)                      \
  X(kernel32, CreateFileA)                       \
  X(kernel32, WriteFile)                         \
  X(kernel32, DeleteFileA)                       \
  X(kernel32, CreateThread)                      \
  X(kernel32, GetWindowsDirectoryA)              \
  X(kernel32, GetVersionExA)                     \
  X(kernel32, CloseHandle)                       \
  X(kernel32, CreatePipe)                        \
  X(kernel32, CreateProcessA)                    \
  X(kernel32, ResumeThread)                      \
  X(kernel32, TerminateProcess)                  \
  X(kernel32, GetExitCodeProcess)                \
  X(kernel32, CreateJobObjectA)                  \
  X(kernel32, SetInformationJobObject)           \
  X(kernel32, AssignProcessToJobObject)          \
  X(kernel32, TerminateJobObject)                \
  X(kernel32, ReadFile)                          \
  X(kernel32, WaitForSingleObject)               \
  X(kernel32, GetStdHandle)                      \
  X(kernel32, GetFileAttributesA)                \
  X(kernel32, GetCurrentDirectoryA)              \
  X(kernel32, GetCurrentThread)                  \
  X(kernel32, GetCurrentProcess)                 \
  X(kernel32, OpenProcess)                       \
  X(kernel32, GetProcessHeap)                    \
  X(kernel32, HeapSize)                          \
  X(kernel32, HeapFree)                          \
  X(kernel32, FileTimeToLocalFileTime)           \
  X(user32, GetSystemMetrics)                    \
  X(advapi32, RegOpenKeyExA)                     \
  X(advapi32, RegQueryValueExA)                  \
  X(advapi32, RegSetValueExA)                    \
  X(advapi32, RegCloseKey)                       \
  X(advapi32, OpenThreadToken)                   \
  X(advapi32, OpenProcessToken)                  \
  X(advapi32, GetTokenInformation)               \
  X(shell32, ShellExecuteA)                      \
  X(shell32, SHGetFolderPathA)                   \
  X(wininet, InternetGetConnectedState)          \
  X(wininet, InternetSetOptionA)                 \
  X(iphlpapi, IcmpCreateFile)                    \
  X(iphlpapi, IcmpSendEcho)                      \
  X(iphlpapi, IcmpCloseHandle)                   \
  X(wsock32, WSAStartup)                         \
  X(wsock32, WSACleanup)                         \
  X(wsock32, gethostbyname)                      \
  X(wsock32, inet_ntoa)                          \
  X(iphlpapi, GetIfTable)                        \
  X(iphlpapi, GetIpAddrTable)

struct SysApi {
#define VELNOR_SYS_MEMBER(lib, name) decltype(&::name) name;
  VELNOR_SYS_CALLS(VELNOR_SYS_MEMBER)
#undef VELNOR_SYS_MEMBER
};

// Bound when the program starts (before main).
extern SysApi Sys;

// Takes the current directory out of this process's DLL search, makes the
// file search safe and, where the system can, restricts the default DLL
// search to the system directory. Harmless to call again.
void RestrictDllSearch();

// Loads a library by name from the system directory only (never the
// program's folder or the current directory): by its full path there, and
// the libraries it needs from its own folder first. Works alike on every
// supported system. Returns null when it is not there. The handle is the
// caller's to free.
HMODULE LoadSystemLibrary(const char* name);

// Replaces one member of Sys for the lifetime of the guard.
template <class Fn>
class SysSwap {
 public:
  SysSwap(Fn SysApi::*member, Fn replacement) : member_(member), saved_(Sys.*member) {
    Sys.*member_ = replacement;
  }
  ~SysSwap() { Sys.*member_ = saved_; }
  SysSwap(const SysSwap&) = delete;
  SysSwap& operator=(const SysSwap&) = delete;

 private:
  Fn SysApi::*member_;
  Fn saved_;
};
