// The library loading that every binding goes through: only the system
// directory, on systems with and without the loader's newer switches.
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
  SysSwap<decltype(Sys.SetDllDirectoryA)> a(&SysApi::SetDllDirectoryA, RecordSetDllDirectory);
  SysSwap<decltype(Sys.SetSearchPathMode)> b(&SysApi::SetSearchPathMode, RecordSetSearchPathMode);
  SysSwap<decltype(Sys.SetDefaultDllDirectories)> c(&SysApi::SetDefaultDllDirectories, RecordSetDefaultDllDirectories);
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
  SysSwap<decltype(Sys.SetDllDirectoryA)> a(&SysApi::SetDllDirectoryA, RecordSetDllDirectory);
  SysSwap<decltype(Sys.SetSearchPathMode)> b(&SysApi::SetSearchPathMode, nullptr);
  SysSwap<decltype(Sys.SetDefaultDllDirectories)> c(&SysApi::SetDefaultDllDirectories, nullptr);
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
