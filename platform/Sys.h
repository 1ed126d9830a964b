// The one table of operating-system calls that tests replace.
//
// Every entry is bound at run time from the system directory, so the program
// never takes a DLL from its own folder or the current directory. Tests swap
// single members, or a whole library, with SysSwap and get the original back
// when it goes out of scope.
#pragma once

#include <cstdint>
#include <functional>
#include <type_traits>

#include "platform/Calls.h"

// One slot per function of every list in platform/Calls.h; null until its
// library is bound, and null for a function the library lacks.
struct SysApi {
#define VELNOR_SYS_SLOT(scope, name) decltype(&scope name) name = nullptr;
#define VELNOR_SYS_LIBRARY_SLOTS(library, file, calls, when) calls(VELNOR_SYS_SLOT)
  VELNOR_SYSTEM_LIBRARIES(VELNOR_SYS_LIBRARY_SLOTS)
#undef VELNOR_SYS_LIBRARY_SLOTS
#undef VELNOR_SYS_SLOT
};

extern SysApi Sys;

enum class SysLibrary {
#define VELNOR_SYS_LIBRARY_ID(library, file, calls, when) library,
  VELNOR_SYSTEM_LIBRARIES(VELNOR_SYS_LIBRARY_ID)
#undef VELNOR_SYS_LIBRARY_ID
};

// Counts the changes of a library's binding as a whole: a library bound, a
// library swapped by a test and put back. What a caller learnt from the
// slots under one count (the size a table needed) belongs to other tables
// under the next.
uint32_t SysBindingGeneration();

// Restricts the DLL search, then binds every library marked AtStart. The
// program's entry calls it first of all, and so do the test programs and
// the benchmark's harness; nothing is bound before it.
void BindSystemCalls();

// True when the library is bound (loaded and its slots filled); binds it
// first when it is not, which is how a library marked OnFirstUse gets bound.
// A library that cannot be loaded leaves nothing behind, so a later call
// tries again. Any thread may call it.
bool BindSystemLibrary(SysLibrary library);

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

// The one way tests replace system calls: for the lifetime of the guard,
// either one slot of Sys, or every slot of one library. What it replaced
// comes back when it ends. Guards over different slots may end in any order.
class SysSwap {
 public:
  // One call.
  template <class Fn>
  SysSwap(Fn SysApi::*member, std::common_type_t<Fn> replacement) {
    Fn saved = Sys.*member;
    Sys.*member = replacement;
    restore_ = [member, saved] { Sys.*member = saved; };
  }
  // Every call of library as calls has it (null where calls has none); the
  // library counts as bound, and nothing is loaded.
  SysSwap(SysLibrary library, const SysApi& calls);
  // The library unbound, every call of it null: BindSystemLibrary loads it
  // through loader (which returns null for a missing library). A library it
  // loads is released when the scope ends.
  SysSwap(SysLibrary library, HMODULE (*loader)(const char* name));
  ~SysSwap() { restore_(); }
  SysSwap(const SysSwap&) = delete;
  SysSwap& operator=(const SysSwap&) = delete;

 private:
  std::function<void()> restore_;
};
