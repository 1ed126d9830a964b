// Fakes of the IP Helper entries that build the platform's real structures
// in the caller's buffer, the way the library does: a size probe, then the
// records with every entry they point to inside that one buffer.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"

// Places structures one after another in a buffer, zero-filled and aligned.
class Arena {
 public:
  Arena(BYTE* base, std::size_t capacity) : base_(base), capacity_(capacity) {}

  void* Bytes(std::size_t size, std::size_t align = 8);
  template <class T>
  T* New() {
    return static_cast<T*>(Bytes(sizeof(T), alignof(T)));
  }
  wchar_t* Wide(const std::wstring& text);
  char* Ansi(const std::string& text);
  // An IPv4 socket address ("10.77.0.2") as the adapter-addresses lists hold it.
  SOCKET_ADDRESS Inet(const char* dotted);
  std::size_t Used() const { return used_; }
  BYTE* Base() const { return base_; }

 private:
  BYTE* base_;
  std::size_t capacity_;
  std::size_t used_ = 0;
};

DWORD Ip(const char* dotted);  // network byte order, as the tables store it

// One table entry of the library: answers the size probe with probeAnswer
// and the needed size, then builds the table or answers secondAnswer.
struct TableFake {
  DWORD probeAnswer = ERROR_BUFFER_OVERFLOW;
  DWORD secondAnswer = NO_ERROR;
  std::function<void(Arena&)> build = [](Arena&) {};
  int calls = 0;

  DWORD Call(void* buffer, PULONG size);
};

struct IpHelperFakes {
  TableFake networkParams;                                // FIXED_INFO
  TableFake adaptersInfo;                                 // IP_ADAPTER_INFO chain
  TableFake adaptersAddresses;                            // IP_ADAPTER_ADDRESSES chain
  TableFake ipAddrTable{ERROR_INSUFFICIENT_BUFFER};       // MIB_IPADDRTABLE
  TableFake ifTable{ERROR_INSUFFICIENT_BUFFER};           // MIB_IFTABLE
  std::function<DWORD(ULONG index, Arena&)> perAdapter;   // null: answers 232
  std::vector<std::pair<ULONG, ULONG>> addressesQueries;  // (family, flags) per call
  std::vector<ULONG> perAdapterBufferSizes;
};
extern IpHelperFakes fakes;

// Slots that lead to the fakes above.
SysApi FakeSlots();
DWORD WINAPI FakeGetIfTable(PMIB_IFTABLE table, PULONG size, WINBOOL order);
DWORD WINAPI FakeGetIpAddrTable(PMIB_IPADDRTABLE table, PULONG size, WINBOOL order);

// ---- Builders of the platform's structures

void BuildFixedInfo(Arena& a, const char* host, const char* domain, UINT nodeType, UINT routing, UINT proxy, UINT dns,
                    const std::vector<std::string>& dnsServers);

struct ClassicAdapter {
  std::string name = "{11111111-2222-3333-4444-555555555555}";
  std::string description = "Fake Ethernet Adapter";
  std::vector<BYTE> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  DWORD index = 11;
  UINT type = MIB_IF_TYPE_ETHERNET;
  UINT dhcp = 1;
  std::vector<std::pair<std::string, std::string>> addresses = {{"192.168.1.10", "255.255.255.0"}};
  std::vector<std::string> gateways = {"192.168.1.1"};
  std::vector<std::string> dhcpServers = {"192.168.1.1"};
  std::vector<std::string> primaryWins = {""};
  std::vector<std::string> secondaryWins = {""};
};
void BuildAdaptersInfo(Arena& a, const std::vector<ClassicAdapter>& adapters);
void BuildPerAdapterInfo(Arena& a, UINT autoconfigEnabled, const std::vector<std::string>& dnsServers);

struct ExtendedAdapter {
  bool longRecord = true;
  std::string name = "{AAAAAAAA-2222-3333-4444-555555555555}";
  std::wstring description = L"Fake Wireless Adapter";
  std::wstring friendlyName = L"Wi-Fi";
  std::vector<BYTE> mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  DWORD index = 7;
  DWORD type = IF_TYPE_IEEE80211;
  ULONG flags = IP_ADAPTER_DHCP_ENABLED;
  ULONG mtu = 1500;
  IF_OPER_STATUS operStatus = IfOperStatusUp;
  std::vector<std::string> unicast = {"10.0.0.5"};
  std::vector<UINT8> onLinkPrefixes;  // per address, as newer systems give them (0: none)
  bool oldUnicastEntries = false;     // entries of the oldest systems, without a prefix length
  std::vector<std::pair<std::string, ULONG>> prefixes = {{"10.0.0.0", 24}};
  std::vector<std::string> dnsServers = {"10.0.0.53"};
  std::vector<std::string> gateways = {"10.0.0.1"};
  std::vector<std::string> wins;
  ULONG64 linkSpeed = 54000000;
};
void BuildAdaptersAddresses(Arena& a, const std::vector<ExtendedAdapter>& adapters);

void BuildIpAddrTable(Arena& a, const std::vector<MIB_IPADDRROW>& rows);
MIB_IPADDRROW AddrRow(DWORD index, const char* address, const char* mask);
void BuildIfTable(Arena& a, const std::vector<MIB_IFROW>& rows);
MIB_IFROW IfRow(DWORD index, DWORD type, const std::vector<BYTE>& mac, const char* description);

// Every test of the readers runs against the fakes, and checks afterwards
// that no table buffer outlived the reader.
class FakeIpHelperTest : public testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

 private:
  std::unique_ptr<SysSwap> binding_;
};

std::vector<std::string> LinesOf(const Lines& list);
