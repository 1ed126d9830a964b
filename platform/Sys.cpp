#include "platform/Sys.h"

namespace {

// Library handles stay loaded for the life of the process: the table points
// into them.
FARPROC Bind(const char* library, const char* name) {
  HMODULE h = LoadSystemLibrary(library);
  return h ? GetProcAddress(h, name) : nullptr;
}

SysApi BindAll() {
  RestrictDllSearch();
  SysApi api{};
#define VELNOR_SYS_BIND(lib, name) \
  api.name = reinterpret_cast<decltype(api.name)>(reinterpret_cast<void*>(Bind(#lib ".dll", #name)));
  VELNOR_SYS_CALLS(VELNOR_SYS_BIND)
#undef VELNOR_SYS_BIND
  return api;
}

}  // namespace

void RestrictDllSearch() {
  // Without a current directory in the search path and with only the system
  // directory as default, a DLL planted beside a downloaded exe is never
  // picked up by a later load.
  SetDllDirectoryA("");
  SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
  return LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

SysApi Sys = BindAll();
