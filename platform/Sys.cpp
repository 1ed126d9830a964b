#include "platform/Sys.h"

#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

SysApi Sys;

namespace {

enum When { AtStart, OnFirstUse };

// What binds one library: its file, when, and how to fill and empty its slots.
struct LibraryEntry {
  const char* file;
  When when;
  void (*resolve)(HMODULE library, SysApi& into);
  void (*copy)(const SysApi& from, SysApi& into);
};

template <class Fn>
void Resolve(HMODULE library, const char* name, Fn& slot) {
  slot = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

#define VELNOR_SYS_RESOLVE(scope, name) Resolve(library, #name, into.name);
#define VELNOR_SYS_COPY(scope, name) into.name = from.name;
#define VELNOR_SYS_LIBRARY_ENTRY(id, file, calls, when)                                     \
  LibraryEntry{file, when, [](HMODULE library, SysApi& into) { calls(VELNOR_SYS_RESOLVE) }, \
               [](const SysApi& from, SysApi& into) { calls(VELNOR_SYS_COPY) }},
const LibraryEntry kLibraries[] = {VELNOR_SYSTEM_LIBRARIES(VELNOR_SYS_LIBRARY_ENTRY)};
#undef VELNOR_SYS_LIBRARY_ENTRY
#undef VELNOR_SYS_COPY
#undef VELNOR_SYS_RESOLVE

constexpr std::size_t kLibraryCount = sizeof(kLibraries) / sizeof(kLibraries[0]);

// Everything that binds one library, so a test can swap it as a whole.
struct LibraryState {
  HMODULE module = nullptr;  // owned; null until a load succeeds (and for fakes)
  HMODULE (*loader)(const char* name) = LoadSystemLibrary;
};

// Libraries stay loaded for the life of the process: the table points into
// them, and a worker (a ping inside an echo, a monitor refresh) may still be
// calling into one while the program ends.
LibraryState states[kLibraryCount];
// Slots valid: loaded, or fakes installed. The monitor's refresh binds and
// reads on a worker while the main window does too; the slots are written
// before this is set and never change while it stays set.
std::atomic<bool> bound[kLibraryCount];
// Only one thread loads a library.
std::mutex loading;

std::atomic<uint32_t> generation{0};

std::size_t IndexOf(SysLibrary library) { return static_cast<std::size_t>(library); }

const SysApi kEmpty{};

}  // namespace

uint32_t SysBindingGeneration() { return generation.load(std::memory_order_relaxed); }

bool BindSystemLibrary(SysLibrary library) {
  const std::size_t i = IndexOf(library);
  if (bound[i].load(std::memory_order_acquire)) return true;
  const std::lock_guard<std::mutex> lock(loading);
  if (bound[i].load(std::memory_order_acquire)) return true;
  HMODULE module = states[i].loader(kLibraries[i].file);
  if (!module) return false;
  states[i].module = module;
  kLibraries[i].resolve(module, Sys);
  ++generation;
  bound[i].store(true, std::memory_order_release);
  return true;
}

void BindSystemCalls() {
  // The loader's switches first, so every later load already searches only
  // where it should.
  BindSystemLibrary(SysLibrary::kernel32);
  RestrictDllSearch();
  for (std::size_t i = 0; i < kLibraryCount; ++i) {
    if (kLibraries[i].when == AtStart) BindSystemLibrary(static_cast<SysLibrary>(i));
  }
}

SysSwap::SysSwap(SysLibrary library, const SysApi& calls) {
  const std::size_t i = IndexOf(library);
  auto saved = std::make_shared<SysApi>();
  kLibraries[i].copy(Sys, *saved);
  const LibraryState state = states[i];
  const bool wasBound = bound[i].load();
  states[i] = LibraryState{};
  kLibraries[i].copy(calls, Sys);
  bound[i] = true;
  ++generation;
  restore_ = [i, saved, state, wasBound] {
    kLibraries[i].copy(*saved, Sys);
    states[i] = state;
    bound[i] = wasBound;
    ++generation;
  };
}

SysSwap::SysSwap(SysLibrary library, HMODULE (*loader)(const char* name)) {
  const std::size_t i = IndexOf(library);
  auto saved = std::make_shared<SysApi>();
  kLibraries[i].copy(Sys, *saved);
  const LibraryState state = states[i];
  const bool wasBound = bound[i].load();
  bound[i] = false;
  states[i] = LibraryState{};
  states[i].loader = loader;
  kLibraries[i].copy(kEmpty, Sys);
  ++generation;
  restore_ = [i, saved, state, wasBound] {
    // A library loaded inside the scope is not the saved one.
    if (states[i].module && states[i].module != state.module) FreeLibrary(states[i].module);
    kLibraries[i].copy(*saved, Sys);
    states[i] = state;
    bound[i] = wasBound;
    ++generation;
  };
}

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
