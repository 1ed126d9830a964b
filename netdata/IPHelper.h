// The network-data layer's report options and table buffers, and the readers
// and lists of the machine's configuration: fixed network parameters, the
// IPv4 address table and the adapters. The text forms, name tables and the
// line formatter the lists use are the text layer's (text/).
//
// Readers never raise for a platform failure: they return the platform's
// result code (0 success, 50 when the IP Helper library is missing) or
// false, and the lists write one line with the system's text for the code.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "netdata/IPHLPAPI.h"
#include "platform/Locale.h"  // WideToAnsi

// ---------------------------------------------------------------------------
// Report options, false at start; the monitor stores its check boxes here
// before each refresh.

extern bool ShowAppPath;
extern bool UseExtAdapterApi;

// ---------------------------------------------------------------------------
// Helpers the reports share

// The system's own text for an error code, as one line without a trailing
// line break. A code the system has no text for gives "System error <code>".
std::string SysErrorMessage(DWORD code);

// A zero-filled buffer for one platform table, released when it goes out of
// scope. Every table the readers fetch lives in one of these, so a test can
// check that no buffer outlives its reader.
class TTableBuffer {
 public:
  explicit TTableBuffer(std::size_t size);
  ~TTableBuffer();
  TTableBuffer(const TTableBuffer&) = delete;
  TTableBuffer& operator=(const TTableBuffer&) = delete;

  BYTE* Data() const { return data_.get(); }
  std::size_t Size() const { return size_; }
  template <class T>
  T* As() const {
    return reinterpret_cast<T*>(data_.get());
  }
  // Whether the bytes [p, p + bytes) lie inside the buffer. Pointers in a
  // table point into its own buffer; anything else is not followed.
  bool Holds(const void* p, std::size_t bytes) const;
  template <class T>
  bool Holds(const T* p) const {
    return Holds(p, sizeof(T));
  }

  // Buffers alive at the moment, and buffers made since the program started.
  static int Live();
  static int Made();

 private:
  std::unique_ptr<BYTE[]> data_;
  std::size_t size_;
};

// ---------------------------------------------------------------------------
// Reading a platform table
//
// Every table reader reads its table the same way. A table that has not
// grown since its last read costs one call, into a buffer of the last read's
// size plus headroom. A table that outgrew that buffer is read again at the
// size the system asks for, plus headroom, a few times at most, so a busy
// machine whose tables grow between two calls still gets its rows. The first
// read of a table, and a read the system refuses for any other reason, starts
// with the size query (no buffer), and its answer counts as it always has.

// The size a table needed at its last read. Readers on any thread share it;
// a size another thread just changed only costs one more call.
class TTableSize {
 public:
  // first: the size to try before any read (0: ask the system).
  explicit TTableSize(ULONG first = 0) : first_(first) {}
  ULONG Get() const;
  void Set(ULONG size);

 private:
  const ULONG first_;
  std::atomic<uint64_t> value_{0};  // the sizes' generation above, the size below
};

// Forgets every table's size. Changing the IP Helper binding does it, so a
// test's fakes start from the size query.
void ForgetTableSizes();

struct TTableRead {
  DWORD result = ERROR_NOT_SUPPORTED;    // the answer that ended the read
  bool fromSizeQuery = false;            // result is the size query's answer
  std::unique_ptr<TTableBuffer> buffer;  // the table; null unless the table was read
};

// query(buffer, &size) calls the entry; a null buffer is the size query.
// growCode is the entry's answer for a buffer that is too small (122, or 111
// for the adapter and parameter queries). The size query's answer lets the
// read go on when it is growCode, or as goesOn(answer) says when given. A
// table that keeps outgrowing every try gives growCode.
using TTableQuery = std::function<DWORD(void* buffer, ULONG* size)>;
TTableRead ReadTable(TTableSize& known, DWORD growCode, const TTableQuery& query,
                     bool (*goesOn)(DWORD answer) = nullptr);

// ---------------------------------------------------------------------------
// Fixed network parameters and the IPv4 address table

struct TNetworkParams {
  std::string HostName;
  std::string DomainName;
  int DnsServerCount = 0;                  // valid entries of DnsServers, 0..10
  std::array<std::string, 10> DnsServers;  // plain dotted text, system's order
  DWORD NodeType = 0;
  std::string ScopeId;
  DWORD EnableRouting = 0;
  DWORD EnableProxy = 0;
  DWORD EnableDns = 0;
};

// Fills params from the fixed network information. Returns 0, 50 when the
// library is missing, or the platform's code for a failed query.
DWORD ReadNetworkParams(TNetworkParams& params);

// The IPv4 address table. available is false when the library or its entry
// is missing (nothing was asked); fromSizeQuery is true when the size query
// itself gave result.
struct TIpAddrRead {
  bool available = false;
  bool fromSizeQuery = false;
  DWORD result = ERROR_NOT_SUPPORTED;
  std::vector<MIB_IPADDRROW> rows;
};
TIpAddrRead ReadIpAddrRows();

// ---------------------------------------------------------------------------
// Adapters

// One adapter. Every address set is a count and a list of texts with at
// least two slots, so entry 0 can always be read (empty when the count is 0).
struct TAdaptorInfo {
  std::wstring AdapterName;
  std::wstring Description;
  std::string MacAddress;
  DWORD Index = 0;
  DWORD IfType = 0;
  DWORD DhcpEnabled = 0;
  std::string CurrentIpAddress;
  std::string CurrentIpMask;
  int IpAddressCount = 0;
  std::vector<std::string> IpAddresses;
  std::vector<std::string> IpMasks;
  int GatewayCount = 0;
  std::vector<std::string> Gateways;
  int DhcpServerCount = 0;
  std::vector<std::string> DhcpServers;
  int PrimaryWinsCount = 0;
  std::vector<std::string> PrimaryWinsServers;
  int SecondaryWinsCount = 0;
  std::vector<std::string> SecondaryWinsServers;
  int64_t LeaseObtained = 0;  // seconds since 1970-01-01
  int64_t LeaseExpires = 0;
  DWORD AutoconfigEnabled = 0;
  DWORD AutoconfigActive = 0;
  std::string CurrentDnsServer;
  int DnsServerCount = 0;
  std::vector<std::string> DnsServers;
  std::vector<std::string> AnycastAddresses;
  int AnycastCount = 0;
  std::vector<std::string> MulticastAddresses;
  int MulticastCount = 0;
  std::vector<std::string> PrefixAddresses;  // as many slots as IpAddresses
  std::wstring FriendlyName;
  DWORD Mtu = 0;
  DWORD AddrIfType = 0;
  DWORD OperStatus = 0;  // a TIF_OPER_STATUS value
  DWORD Ipv6IfIndex = 0;
  ULONG64 TransmitLinkSpeed = 0;  // bits per second
  ULONG64 ReceiveLinkSpeed = 0;
  DWORD Ipv4Metric = 0;
  DWORD Ipv6Metric = 0;
  ULONG64 Luid = 0;
  DWORD CompartmentId = 0;
  GUID NetworkGuid = {};
  DWORD ConnectionType = 0;
  DWORD TunnelType = 0;
};
using TAdaptorRows = std::vector<TAdaptorInfo>;

// Reads the adapters into rows (its length becomes count) through the
// classic adapter query, or the adapter-addresses query when
// UseExtAdapterApi is set and the library has it. Returns 0, 50 when the
// library is missing (rows and count untouched), or the platform's code.
DWORD ReadAdaptorRows(int& count, TAdaptorRows& rows);
// The same with the query chosen by useExtended instead of the option (the
// monitor's refresh passes the option it stored, from any thread).
DWORD ReadAdaptorRows(int& count, TAdaptorRows& rows, bool useExtended);

// The padded IPv4 text of an IPv4 socket address; empty for anything else.
std::string SockAddrToStr(const SOCKADDR* addr, int length);

// The adapters for one list or lookup, read through the query useExtended
// chooses (by default the one UseExtAdapterApi chooses).
struct TAdapterRead {
  explicit TAdapterRead(bool useExtended = UseExtAdapterApi) : result(ReadAdaptorRows(count, rows, useExtended)) {}
  int count = 0;
  TAdaptorRows rows;
  DWORD result;
};

// The first gateway / DNS server of the adapter whose hardware-address text
// equals mac exactly; empty when none does or the adapters cannot be read.
// Where several adapters share that address, the first of them that has an
// address and a gateway answers (else the first with an address, else the
// first).
std::string GatewayForMac(const std::string& mac);
std::string DnsServerForMac(const std::string& mac);
// The same from adapters read once: a caller with many lookups reads the
// adapter list once for all of them.
std::string GatewayForMac(const TAdapterRead& read, const std::string& mac);
std::string DnsServerForMac(const TAdapterRead& read, const std::string& mac);
