// The sizes of the system's records that the readers and workers rely on,
// checked for the target being built: the 32-bit ones are the sizes a
// 32-bit Windows hands to the released program, the 64-bit ones those of the
// 64-bit build. Every reader writes sizeof of the system's structure, never
// a number; these checks say that the headers give the layouts the system
// has, pointer-sized fields included.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstddef>

namespace {

// Bytes of one record on each target.
constexpr std::size_t OnTarget(std::size_t bytes32, std::size_t bytes64) {
  return sizeof(void*) == 4 ? bytes32 : bytes64;
}

// The owner-module lookup's buffer of the connection pages: the basic
// information and room for its two texts of up to 256 characters each.
struct OwnerModuleBuffer {
  TCPIP_OWNER_MODULE_BASIC_INFO info;
  WCHAR texts[2][257];
};

}  // namespace

// Adapter reader, classic query: one record per adapter in a chain, and the
// per-adapter query's fixed buffer of the record and five more DNS entries.
static_assert(sizeof(IP_ADAPTER_INFO) == OnTarget(640, 704), "classic adapter record");
static_assert(sizeof(IP_ADDR_STRING) == OnTarget(40, 48), "address string entry");
static_assert(sizeof(IP_PER_ADAPTER_INFO) + 5 * sizeof(IP_ADDR_STRING) == OnTarget(252, 304), "per-adapter buffer");
static_assert(sizeof(FIXED_INFO) == OnTarget(584, 600), "network parameters");

// Adapter reader, adapter-addresses query: the short record of the oldest
// systems, the long record's fields up to the tunnel type, and the entries
// of its lists.
static_assert(sizeof(IP_ADAPTER_ADDRESSES_XP) == OnTarget(144, 184), "short adapter-addresses record");
static_assert(offsetof(IP_ADAPTER_ADDRESSES_LH, TunnelType) + sizeof(TUNNEL_TYPE) == OnTarget(220, 276),
              "long adapter-addresses record up to the tunnel type");
static_assert(sizeof(IP_ADAPTER_UNICAST_ADDRESS_XP) == OnTarget(48, 56), "unicast address entry");
static_assert(sizeof(IP_ADAPTER_PREFIX_XP) == OnTarget(24, 40), "prefix entry");
static_assert(sizeof(IP_ADAPTER_DNS_SERVER_ADDRESS_XP) == OnTarget(24, 32), "DNS server entry");

// Connection pages: the owner-module rows carry 64-bit fields and so have
// one size on both targets; the lookup's buffer holds two pointers.
static_assert(sizeof(OwnerModuleBuffer) == OnTarget(1036, 1048), "owner-module buffer");
static_assert(sizeof(TCPIP_OWNER_MODULE_BASIC_INFO) == OnTarget(8, 16), "owner-module information");
static_assert(sizeof(MIB_TCPROW_OWNER_MODULE) == 160 && sizeof(MIB_UDPROW_OWNER_MODULE) == 160, "owner-module rows");
static_assert(offsetof(MIB_TCPTABLE_OWNER_MODULE, table) == 8 && offsetof(MIB_UDPTABLE_OWNER_MODULE, table) == 8,
              "owner-module tables: count, then 8-byte aligned rows");
static_assert(sizeof(MIB_TCPROW) == 20 && sizeof(MIB_UDPROW) == 8, "plain connection rows");

// Monitor tables and counters: no pointers, one size on both targets.
static_assert(sizeof(MIB_IFROW) == 860 && offsetof(MIB_IFTABLE, table) == 4, "interface rows");
static_assert(sizeof(MIB_IPADDRROW) == 24 && sizeof(MIB_IPFORWARDROW) == 56 && sizeof(MIB_IPNETROW) == 24,
              "address, route and ARP rows");
static_assert(sizeof(MIB_IPSTATS) == 92 && sizeof(MIB_ICMP) == 104 && sizeof(MIB_TCPSTATS) == 60 &&
                  sizeof(MIB_UDPSTATS) == 20,
              "protocol counters");

// Ping worker: the echo reply and its options carry a pointer each.
static_assert(sizeof(ICMP_ECHO_REPLY) == OnTarget(28, 40), "echo reply");
static_assert(sizeof(IP_OPTION_INFORMATION) == OnTarget(8, 16), "echo options");

// Command worker and system utilities.
static_assert(sizeof(SECURITY_ATTRIBUTES) == OnTarget(12, 24), "security attributes");
static_assert(sizeof(STARTUPINFOA) == OnTarget(68, 104), "start-up information");
static_assert(sizeof(PROCESS_INFORMATION) == OnTarget(16, 24), "process information");
static_assert(offsetof(TOKEN_GROUPS, Groups) == OnTarget(4, 8) && sizeof(SID_AND_ATTRIBUTES) == OnTarget(8, 16),
              "token groups");
static_assert(sizeof(OSVERSIONINFOA) == 148, "version record");
