#include "platform/Sys.h"

#include <cstring>

namespace {

// Library handles stay loaded for the life of the process: the table points
// into them.
FARPROC Bind(const char* library, const char* name) {
  HMODULE h = LoadSystemLibrary(library);
  return h ? GetProcAddress(h, name) : nullptr;
}

SysApi BindAll() {
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
  // picked up by a later load. Systems without the default-directory switch
  // (Vista, a Windows 7 without its 2011 loader update) still search the
  // program's folder for a bare name; the program itself loads nothing by a
  // bare name (LoadSystemLibrary).
  if (Sys.SetDllDirectoryA) Sys.SetDllDirectoryA("");
  if (Sys.SetSearchPathMode)
    Sys.SetSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
  if (Sys.SetDefaultDllDirectories) Sys.SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

HMODULE LoadSystemLibrary(const char* name) {
  // LOAD_LIBRARY_SEARCH_SYSTEM32 would be shorter, but the systems without
  // the 2011 loader update refuse that flag. A full path searches nothing for
  // the library itself, and the altered search path resolves its own
  // libraries from the system directory before anywhere else.
  char path[MAX_PATH];
  const UINT length = GetSystemDirectoryA(path, MAX_PATH);
  const std::size_t nameLength = std::strlen(name);
  if (length == 0 || length + 1 + nameLength >= MAX_PATH || std::strpbrk(name, "\\/:")) return nullptr;
  path[length] = '\\';
  std::memcpy(path + length + 1, name, nameLength + 1);
  return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

SysApi Sys = BindAll();

namespace {

// Before main, and before any other static start-up of the program loads a
// library: the table is bound by now.
const bool searchRestricted = (RestrictDllSearch(), true);

}  // namespace
