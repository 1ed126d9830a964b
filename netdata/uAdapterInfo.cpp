#include "netdata/uAdapterInfo.h"

#include <exception>

#include "netdata/IPHelper.h"
#include "netdata/IPHelper_internal.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "text/TextForms.h"

namespace {

// Plain dotted text by the platform's own conversion.
std::string DottedText(DWORD address) {
  in_addr in;
  in.s_addr = address;
  const char* text = Sys.inet_ntoa ? Sys.inet_ntoa(in) : nullptr;
  return text ? std::string(text) : IpAddrToStr(address, false);
}

// Upper-case hex pairs joined by "-"; empty for no bytes. The row holds 8
// address bytes; a longer length stops there.
std::string HardwareAddressText(const MIB_IFROW& row) {
  std::string text;
  const DWORD length = row.dwPhysAddrLen < MAXLEN_PHYSADDR ? row.dwPhysAddrLen : MAXLEN_PHYSADDR;
  for (DWORD i = 0; i < length; ++i) text += FormatLine(i == 0 ? "%2.2x" : "-%2.2x", row.bPhysAddr[i]);
  return text;
}

void FillRecord(const MIB_IFROW& row, const MIB_IPADDRTABLE& addresses, DWORD addressRows, TAdapterInfoRec& rec) {
  // Start from an empty record: an array used before keeps no stale text.
  rec = TAdapterInfoRec{};
  rec.Index = row.dwIndex;
  rec.IfType = row.dwType;
  // The first row of the interface in the table's (sorted) order.
  for (DWORD i = 0; i < addressRows; ++i) {
    if (addresses.table[i].dwIndex == row.dwIndex) {
      rec.IpAddress = DottedText(addresses.table[i].dwAddr);
      rec.SubnetMask = DottedText(addresses.table[i].dwMask);
      break;
    }
  }
  rec.Mtu = row.dwMtu;
  rec.Speed = static_cast<double>(row.dwSpeed);
  rec.AdminStatus = row.dwAdminStatus;
  rec.OperStatus = row.dwOperStatus;
  rec.InUcastPkts = row.dwInUcastPkts;
  rec.InNUcastPkts = row.dwInNUcastPkts;
  rec.InDiscards = row.dwInDiscards;
  rec.InErrors = row.dwInErrors;
  rec.InUnknownProtos = row.dwInUnknownProtos;
  rec.OutUcastPkts = row.dwOutUcastPkts;
  rec.OutNUcastPkts = row.dwOutNUcastPkts;
  rec.OutDiscards = row.dwOutDiscards;
  rec.OutErrors = row.dwOutErrors;
  rec.OutQLen = row.dwOutQLen;
  rec.Description = FieldText(reinterpret_cast<const char(&)[MAXLEN_IFDESCR]>(row.bDescr));
  rec.MacAddress = HardwareAddressText(row);
}

// The size query's answer is not looked at: the size it leaves decides.
bool AnyAnswer(DWORD) { return true; }

}  // namespace

bool ReadAdapterInfo(TAdapterInfo& adapters) {
  if (!Sys.GetIfTable || !Sys.GetIpAddrTable) return false;
  static TTableSize knownInterfaces;
  const TTableRead ifRead = ReadTable(
      knownInterfaces, ERROR_INSUFFICIENT_BUFFER,
      [](void* buffer, ULONG* size) { return Sys.GetIfTable(static_cast<MIB_IFTABLE*>(buffer), size, TRUE); },
      AnyAnswer);
  if (!ifRead.buffer) return false;
  static TTableSize knownAddresses;
  const TTableRead addrRead = ReadTable(
      knownAddresses, ERROR_INSUFFICIENT_BUFFER,
      [](void* buffer, ULONG* size) { return Sys.GetIpAddrTable(static_cast<MIB_IPADDRTABLE*>(buffer), size, TRUE); },
      AnyAnswer);
  if (!addrRead.buffer) return false;

  const TTableBuffer& ifBuffer = *ifRead.buffer;
  const TTableBuffer& addrBuffer = *addrRead.buffer;
  const MIB_IFTABLE& interfaces = *ifBuffer.As<MIB_IFTABLE>();
  const MIB_IPADDRTABLE& addresses = *addrBuffer.As<MIB_IPADDRTABLE>();
  const DWORD interfaceRows = RowsInBuffer(ifBuffer, &interfaces);
  const DWORD addressRows = RowsInBuffer(addrBuffer, &addresses);
  // Neither table may be empty: a machine without any IPv4 address gets no
  // interface records at all.
  if (interfaceRows == 0 || addressRows == 0) return false;
  try {
    adapters.resize(interfaceRows);
    for (DWORD i = 0; i < interfaceRows; ++i) FillRecord(interfaces.table[i], addresses, addressRows, adapters[i]);
  } catch (const std::exception&) {
    return false;
  }
  return true;
}

std::string IfTypeToStr(DWORD ifType) {
  switch (ifType) {
    case 1: return "Other";
    case 6: return "Ethernet";
    case 9: return "Tokenring";
    case 15: return "FDDI";
    case 23: return "PPP";
    case 24: return "Local loopback";
    case 28: return "SLIP";
    case 37: return "ATM";
    case 71: return "IEEE 802.11";
    case 131: return "Tunnel";
    case 144: return "IEEE 1394 (Firewire)";
    default: return "UNKNOWN";
  }
}

std::string AdminStatusToStr(DWORD status) {
  switch (status) {
    case 1: return "UP";
    case 2: return "DOWN";
    case 3: return "TESTING";
    default: return "UNKNOWN";
  }
}

std::string OperStatusToStr(DWORD status) {
  switch (status) {
    case 0: return "NON_OPERATIONAL";
    case 1: return "UNREACHABLE";
    case 2: return "DISCONNECTED";
    case 3: return "CONNECTING";
    case 4: return "CONNECTED";
    case 5: return "OPERATIONAL";
    default: return "UNKNOWN";
  }
}
