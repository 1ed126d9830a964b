// The system's interface table as plain records, each joined with the first
// IPv4 address and mask the address table gives for that interface.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct TAdapterInfoRec {
  DWORD Index = 0;
  DWORD IfType = 0;
  DWORD Mtu = 0;
  double Speed = 0;        // bits per second
  std::string MacAddress;  // "00-1A-2B-3C-4D-5E"; empty without address bytes
  DWORD AdminStatus = 0;
  DWORD OperStatus = 0;
  DWORD InUcastPkts = 0;
  DWORD InNUcastPkts = 0;
  DWORD InDiscards = 0;
  DWORD InErrors = 0;
  DWORD InUnknownProtos = 0;
  DWORD OutUcastPkts = 0;
  DWORD OutNUcastPkts = 0;
  DWORD OutDiscards = 0;
  DWORD OutErrors = 0;
  DWORD OutQLen = 0;
  std::string Description;
  std::string IpAddress;   // plain dotted text; empty when the interface has none
  std::string SubnetMask;  // the mask of that same address row
};
using TAdapterInfo = std::vector<TAdapterInfoRec>;

// Sets the array to one record per interface. False when either table could
// not be read or holds no row (a machine without IPv4 address gets no
// records), or when a record could not be filled; the array is then not to
// be used.
bool ReadAdapterInfo(TAdapterInfo& adapters);

// Display names; any code not named gives "UNKNOWN".
std::string IfTypeToStr(DWORD ifType);
std::string AdminStatusToStr(DWORD status);
std::string OperStatusToStr(DWORD status);
