// The one binding of system calls: every library from the system directory,
// each function bound once, the libraries of first use left alone at start,
// and the library loading every binding goes through, on systems with and
// without the loader's newer switches.
#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "platform/Sys.h"

namespace {

std::vector<std::string> calls;

BOOL WINAPI RecordSetDllDirectory(LPCSTR path) {
  calls.push_back(std::string("SetDllDirectoryA(") + (path ? "\"" + std::string(path) + "\"" : "null") + ")");
  return TRUE;
}

BOOL WINAPI RecordSetDefaultDllDirectories(DWORD flags) {
  calls.push_back("SetDefaultDllDirectories(" + std::to_string(flags) + ")");
  return TRUE;
}

BOOL WINAPI RecordSetSearchPathMode(DWORD flags) {
  calls.push_back("SetSearchPathMode(" + std::to_string(flags) + ")");
  return TRUE;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string SystemDirectory() {
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  return system;
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

}  // namespace

TEST(DllSearch, TheLoaderSwitchesAreBoundWhereTheSystemHasThem) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  EXPECT_EQ(reinterpret_cast<void*>(Sys.SetDllDirectoryA),
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDllDirectoryA")));
  EXPECT_EQ(reinterpret_cast<void*>(Sys.SetDefaultDllDirectories),
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
  EXPECT_EQ(reinterpret_cast<void*>(Sys.SetSearchPathMode),
            reinterpret_cast<void*>(GetProcAddress(kernel, "SetSearchPathMode")));
  EXPECT_NE(Sys.SetDllDirectoryA, nullptr);
}

TEST(DllSearch, NewerSystemsAlsoRestrictTheDefaultSearchToTheSystemDirectory) {
  SysSwap a(&SysApi::SetDllDirectoryA, RecordSetDllDirectory);
  SysSwap b(&SysApi::SetSearchPathMode, RecordSetSearchPathMode);
  SysSwap c(&SysApi::SetDefaultDllDirectories, RecordSetDefaultDllDirectories);
  calls.clear();
  RestrictDllSearch();
  EXPECT_EQ(calls, (std::vector<std::string>{
                       "SetDllDirectoryA(\"\")",
                       "SetSearchPathMode(" +
                           std::to_string(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT) + ")",
                       "SetDefaultDllDirectories(" + std::to_string(LOAD_LIBRARY_SEARCH_SYSTEM32) + ")",
                   }));
}

TEST(DllSearch, OnVistaTheCurrentDirectoryStillLeavesTheSearch) {
  // Vista has neither the default-directory switch nor the safe-search one.
  SysSwap a(&SysApi::SetDllDirectoryA, RecordSetDllDirectory);
  SysSwap b(&SysApi::SetSearchPathMode, nullptr);
  SysSwap c(&SysApi::SetDefaultDllDirectories, nullptr);
  calls.clear();
  RestrictDllSearch();
  EXPECT_EQ(calls, std::vector<std::string>{"SetDllDirectoryA(\"\")"});
}

TEST(DllSearch, LibrariesComeFromTheSystemDirectoryByTheirFullPath) {
  // psapi.dll: a library this test program has not loaded before.
  ASSERT_EQ(GetModuleHandleA("psapi.dll"), nullptr);
  HMODULE psapi = LoadSystemLibrary("psapi.dll");
  ASSERT_NE(psapi, nullptr);
  EXPECT_EQ(Lower(ModulePath(psapi)), Lower(SystemDirectory() + "\\psapi.dll"));
  // The same module again, for a library that is loaded already, too.
  HMODULE again = LoadSystemLibrary("PSAPI.DLL");
  EXPECT_EQ(again, psapi);
  FreeLibrary(again);
  FreeLibrary(psapi);
  HMODULE kernel = LoadSystemLibrary("kernel32.dll");
  EXPECT_EQ(kernel, GetModuleHandleA("kernel32.dll"));
  FreeLibrary(kernel);
}

TEST(DllSearch, OnlyBareNamesOfLibrariesThatAreThere) {
  EXPECT_EQ(LoadSystemLibrary("velnor-no-such-library.dll"), nullptr);
  // A name that would lead out of the system directory is refused.
  for (const char* name : {"..\\psapi.dll", "C:\\psapi.dll", "sub/psapi.dll", "C:psapi.dll"}) {
    EXPECT_EQ(LoadSystemLibrary(name), nullptr) << name;
  }
  EXPECT_EQ(LoadSystemLibrary(std::string(MAX_PATH, 'a').c_str()), nullptr);
}

TEST(SystemCalls, EachFunctionIsBoundOnceFromItsLibraryInTheSystemDirectory) {
  struct Slot {
    const char* library;
    const char* name;
    void* bound;
    bool atStart;
  };
  std::vector<Slot> slots;
  enum { AtStart, OnFirstUse };
#define VELNOR_TEST_SLOT(scope, name) slots.push_back({file, #name, reinterpret_cast<void*>(Sys.name), atStart});
#define VELNOR_TEST_LIBRARY(id, library, calls, when) \
  {                                                   \
    const char* file = library;                       \
    const bool atStart = (when) == AtStart;           \
    calls(VELNOR_TEST_SLOT)                           \
  }
  VELNOR_SYSTEM_LIBRARIES(VELNOR_TEST_LIBRARY)
#undef VELNOR_TEST_LIBRARY
#undef VELNOR_TEST_SLOT
  for (const Slot& slot : slots) {
    if (!slot.atStart) continue;
    HMODULE library = GetModuleHandleA(slot.library);
    ASSERT_NE(library, nullptr) << slot.library;
    EXPECT_EQ(Lower(ModulePath(library)), Lower(SystemDirectory() + "\\" + slot.library));
    EXPECT_EQ(slot.bound, reinterpret_cast<void*>(GetProcAddress(library, slot.name))) << slot.name;
  }
  // The start binds no library of first use: the process-status library is
  // not even loaded (the test above loads it by itself).
  EXPECT_EQ(Sys.EnumProcesses, nullptr);
}

TEST(SystemCalls, ALibraryOfFirstUseIsBoundWhenFirstAskedFor) {
  SysSwap scope(SysLibrary::psapi, LoadSystemLibrary);
  EXPECT_EQ(Sys.EnumProcesses, nullptr);
  ASSERT_TRUE(BindSystemLibrary(SysLibrary::psapi));
  HMODULE psapi = GetModuleHandleA("psapi.dll");
  ASSERT_NE(psapi, nullptr);
  EXPECT_EQ(reinterpret_cast<void*>(Sys.EnumProcesses),
            reinterpret_cast<void*>(GetProcAddress(psapi, "EnumProcesses")));
  EXPECT_EQ(reinterpret_cast<void*>(Sys.GetModuleFileNameExW),
            reinterpret_cast<void*>(GetProcAddress(psapi, "GetModuleFileNameExW")));
}

BOOL WINAPI RefuseDirectory(LPCSTR) { return FALSE; }

TEST(SystemCalls, AGuardPutsBackWhatItReplaced) {
  const auto real = Sys.SetDllDirectoryA;
  const auto echo = Sys.IcmpSendEcho;
  {
    SysSwap one(&SysApi::SetDllDirectoryA, RefuseDirectory);
    EXPECT_EQ(Sys.SetDllDirectoryA, RefuseDirectory);
    SysApi fakes{};
    {
      SysSwap library(SysLibrary::iphlpapi, fakes);
      EXPECT_EQ(Sys.IcmpSendEcho, nullptr);
      EXPECT_TRUE(BindSystemLibrary(SysLibrary::iphlpapi));  // fakes count as bound
      EXPECT_EQ(Sys.SetDllDirectoryA, RefuseDirectory);      // other libraries untouched
    }
    EXPECT_EQ(Sys.IcmpSendEcho, echo);
  }
  EXPECT_EQ(Sys.SetDllDirectoryA, real);
}
