// Run-time binding of the IP Helper library, and the name tables that go
// with its data (NetBIOS node types, interface types, operational states).
//
// The library is loaded on first use from the system directory only. An
// entry the library does not export leaves its slot empty; the readers that
// use the newer entries test the slot and fall back to an older query.
#pragma once

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <cstddef>

#include "text/NameTables.h"

// Prototypes the platform headers hide for a Vista-or-later target (and
// declare without WINAPI where they show them). The library exports them
// with the standard calling convention; declared here only so the slots
// below have their exact type. Nothing links against these declarations.
namespace IpHelperPrototypes {
DWORD WINAPI AllocateAndGetTcpExTableFromStack(PVOID* table, BOOL order, HANDLE heap, DWORD flags, DWORD family);
DWORD WINAPI AllocateAndGetUdpExTableFromStack(PVOID* table, BOOL order, HANDLE heap, DWORD flags, DWORD family);
}  // namespace IpHelperPrototypes

// (scope of the prototype, entry name), in the order the entries are looked
// up. Each slot is typed from the prototype, so a slot whose call does not
// match the platform's declaration fails to compile.
#define VELNOR_IPHLPAPI_ENTRIES(X)                           \
  X(::, GetAdaptersInfo)                                     \
  X(::, GetNetworkParams)                                    \
  X(::, GetTcpTable)                                         \
  X(::, GetTcpStatistics)                                    \
  X(::, GetUdpTable)                                         \
  X(::, GetUdpStatistics)                                    \
  X(::, GetIpStatistics)                                     \
  X(::, GetIpNetTable)                                       \
  X(::, GetIpAddrTable)                                      \
  X(::, GetIpForwardTable)                                   \
  X(::, GetIcmpStatistics)                                   \
  X(::, GetIfTable)                                          \
  X(::, GetPerAdapterInfo)                                   \
  X(IpHelperPrototypes::, AllocateAndGetTcpExTableFromStack) \
  X(IpHelperPrototypes::, AllocateAndGetUdpExTableFromStack) \
  X(::, GetAdaptersAddresses)                                \
  X(::, GetExtendedTcpTable)                                 \
  X(::, GetOwnerModuleFromTcpEntry)                          \
  X(::, GetExtendedUdpTable)                                 \
  X(::, GetOwnerModuleFromUdpEntry)

// One slot per entry; empty (null) until bound, and empty for an entry the
// library lacks.
struct TIpHelperSlots {
#define VELNOR_IPHLPAPI_SLOT(scope, name) decltype(&scope name) name = nullptr;
  VELNOR_IPHLPAPI_ENTRIES(VELNOR_IPHLPAPI_SLOT)
#undef VELNOR_IPHLPAPI_SLOT
};

// The slots, valid after LoadIpHelper returned true.
extern TIpHelperSlots IpHlp;

// Loads "IPHLPAPI.DLL" from the system directory and binds every entry.
// Returns true when the library is loaded (at once when it already is);
// false leaves nothing behind, so a later call tries again.
bool LoadIpHelper();

// Releases the library and empties every slot; harmless when nothing is
// loaded. The program's entry calls it at the end, when no table is being
// read any more: it is not left to the end of static objects, which a
// monitor refresh still reading a table on its worker would outlive.
void FreeIpHelper();

// Test seam: replaces the binding state for its lifetime and puts the
// previous state (a loaded library included) back when it ends.
class ScopedIpHelperBinding {
 public:
  // Bound to these slots as if the library were loaded; nothing is loaded.
  explicit ScopedIpHelperBinding(const TIpHelperSlots& fakes);
  // Not bound: LoadIpHelper loads through loader (which returns null for a
  // missing library). A library it loads is released when the scope ends.
  explicit ScopedIpHelperBinding(HMODULE (*loader)(const char* name));
  ~ScopedIpHelperBinding();
  ScopedIpHelperBinding(const ScopedIpHelperBinding&) = delete;
  ScopedIpHelperBinding& operator=(const ScopedIpHelperBinding&) = delete;

 private:
  struct Saved;
  Saved* saved_;  // owned
};

// NetBIOS node types 0..8 (1 broadcast, 2 peer-to-peer, 4 mixed, 8 hybrid).
extern const TNameTable NodeTypeNames;
// Short names of the standard interface type codes 1..145.
extern const TNameTable IfTypeNames;

// An adapter's operational state as the adapter-addresses query gives it.
enum TIF_OPER_STATUS : DWORD {
  IF_OPER_STATUS_NONE = 0,
  IF_OPER_STATUS_UP = 1,
  IF_OPER_STATUS_DOWN = 2,
  IF_OPER_STATUS_TESTING = 3,
  IF_OPER_STATUS_UNKNOWN = 4,
  IF_OPER_STATUS_DORMANT = 5,
  IF_OPER_STATUS_NOT_PRESENT = 6,
  IF_OPER_STATUS_LOWER_LAYER_DOWN = 7,
};
// The identifier of each TIF_OPER_STATUS value, 0..7.
extern const TNameTable IfOperStatusNames;
