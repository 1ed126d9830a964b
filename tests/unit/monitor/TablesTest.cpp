// The ARP, routing and interface pages against fakes of the platform tables.
// (The edges every reader shares, a table that grows under it or claims more
// rows than its buffer holds among them: ReaderEdgesTest.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/ReaderTest.h"
#include "monitor/Tables.h"

using TablesTest = MonitorFakeTest;
using Strings = std::vector<std::string>;

namespace {

const std::vector<BYTE> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};

}  // namespace

TEST_F(TablesTest, ArpCacheLines) {
  machine.ipNetTable.build = [](Arena& a) {
    BuildIpNetTable(
        a, {NetRow(11, kMac, "192.168.1.1", MIB_IPNET_TYPE_DYNAMIC),
            NetRow(0x1A2B3C4D, {}, "10.77.0.1", MIB_IPNET_TYPE_STATIC), NetRow(2, {0xAB, 0x01}, "10.0.0.9", 9)});
  };
  StringList list = Stale();
  ListArpCache(&list);
  EXPECT_EQ(LinesOf(list), (Strings{
                               "       B | 00-1A-2B-3C-4D-5E |  192.168.  1.  1|    Dynamic",
                               "1A2B3C4D | 00-00-00-00-00-00 |   10. 77.  0.  1|     Static",
                               // A type beyond the names shows an empty column.
                               "       2 |        AB-01 |   10.  0.  0.  9|           ",
                           }));
  EXPECT_EQ(machine.ipNetOrder, (std::vector<BOOL>{FALSE, FALSE}));
}

TEST_F(TablesTest, ArpCacheEmptyOrFailing) {
  const auto oneRow = [](Arena& a) { BuildIpNetTable(a, {NetRow(1, kMac, "10.77.0.1", 3)}); };
  const auto noRows = [](Arena& a) { BuildIpNetTable(a, {}); };
  const std::string oneLine = "       1 | 00-1A-2B-3C-4D-5E |   10. 77.  0.  1|    Dynamic";
  struct Case {
    DWORD probe;
    DWORD second;
    std::function<void(Arena&)> build;
    Strings lines;
    int calls;
  } cases[] = {
      {ERROR_NO_DATA, NO_ERROR, oneRow, {" ARP-cache empty."}, 1},  // the platform's "empty" answer
      {ERROR_INSUFFICIENT_BUFFER, NO_ERROR, noRows, {" ARP-cache empty."}, 2},
      {ERROR_INSUFFICIENT_BUFFER, ERROR_NOT_ENOUGH_MEMORY, oneRow, {SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)}, 2},
      // Any other probe answer still goes on to the real call.
      {ERROR_INVALID_PARAMETER, NO_ERROR, oneRow, {oneLine}, 2},
  };
  for (const Case& c : cases) {
    machine.Reset();
    ForgetTableSizes();  // each case is a first read, with its size query
    machine.ipNetTable.probeAnswer = c.probe;
    machine.ipNetTable.secondAnswer = c.second;
    machine.ipNetTable.build = c.build;
    StringList list = Stale();
    ListArpCache(&list);
    EXPECT_EQ(LinesOf(list), c.lines) << "probe " << c.probe << ", second " << c.second;
    EXPECT_EQ(machine.ipNetTable.calls, c.calls);
  }
}

TEST_F(TablesTest, RouteLines) {
  machine.ipForwardTable.build = [](Arena& a) {
    BuildIpForwardTable(
        a, {
               Route("0.0.0.0", "0.0.0.0", "10.77.0.1", 11, 4, 3, 0, 5),
               Route("10.77.0.0", "255.255.255.0", "10.77.0.2", 11, 3, 2, 65001, 256),
               // Type and protocol just past their names; numbers printed signed.
               Route("127.0.0.0", "255.0.0.0", "127.0.0.1", 0xFFFFFFFF, 7, 19, 0x80000000, MIB_IPROUTE_METRIC_UNUSED),
               Route("224.0.0.0", "240.0.0.0", "10.77.0.2", 1, 5, 18, 1, 0),
               Route("10.77.1.0", "255.255.255.0", "10.77.0.1", 1, 4, MIB_IPPROTO_NT_STATIC, 0, 1),
           });
  };
  StringList list = Stale();
  ListRoutes(&list);
  EXPECT_EQ(
      LinesOf(list),
      (Strings{
          "  0.  0.  0.  0|  0.  0.  0.  0| 10. 77.  0.  1|0000000B| remote|   00000|    NETMGMT|        05",
          " 10. 77.  0.  0|255.255.255.  0| 10. 77.  0.  2|0000000B|  local|   65001|      LOCAL|        256",
          "127.  0.  0.  0|255.  0.  0.  0|127.  0.  0.  1|FFFFFFFF|       |   -2147483648|           |        -01",
          "224.  0.  0.  0|240.  0.  0.  0| 10. 77.  0.  2|00000001|       |   00001|    NOT_DOD|        00",
          " 10. 77.  1.  0|255.255.255.  0| 10. 77.  0.  1|00000001| remote|   00000|           |        01",
      }));
  EXPECT_EQ(machine.ipForwardOrder, (std::vector<BOOL>{TRUE, TRUE}));  // sorted, both calls
}

TEST_F(TablesTest, RoutesEmptyOrFailing) {
  StringList list = Stale();
  // A probe answering anything but "buffer too small" leaves the page empty.
  machine.ipForwardTable.probeAnswer = ERROR_NO_DATA;
  ListRoutes(&list);
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(machine.ipForwardTable.calls, 1);

  machine.Reset();
  machine.ipForwardTable.build = [](Arena& a) { BuildIpForwardTable(a, {}); };
  ListRoutes(&list);
  EXPECT_EQ(LinesOf(list), Strings{"no entries."});

  machine.ipForwardTable.secondAnswer = ERROR_NOT_ENOUGH_MEMORY;
  ListRoutes(&list);
  EXPECT_EQ(LinesOf(list), Strings{SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)});
}

TEST_F(TablesTest, InterfaceLinesOnlyForRealHardwareAddresses) {
  machine.ifTable.build = [](Arena& a) {
    MIB_IFROW ethernet = IfRow(11, IF_TYPE_ETHERNET_CSMACD, kMac, "\t  Fake Ethernet \r\n");
    ethernet.dwInOctets = 3000000000u;  // octet counters are unsigned
    ethernet.dwOutOctets = 42;
    MIB_IFROW odd = IfRow(12, 200, {0x02, 0x00, 0x01}, "");
    odd.dwMtu = 0xFFFFFFFF;  // every number is unsigned: a 3 Gbit/s link is no negative speed
    odd.dwSpeed = 3000000000u;
    odd.dwAdminStatus = 2;
    odd.dwOperStatus = 0xFFFFFFFF;
    odd.dwOutOctets = 0;
    std::fill(std::begin(odd.bDescr), std::end(odd.bDescr), 'x');  // no terminating NUL
    MIB_IFROW longLength = IfRow(16, IF_TYPE_ETHERNET_CSMACD, kMac, "length beyond the array");
    longLength.dwPhysAddrLen = 4000;
    BuildIfTable(a, {ethernet, IfRow(1, IF_TYPE_SOFTWARE_LOOPBACK, {}, "Loopback"),
                     IfRow(14, IF_TYPE_IEEE80211, {0, 0, 0, 0, 0, 0}, "all zero"),
                     IfRow(15, IF_TYPE_ETHERNET_CSMACD, {1, 2, 3, 4, 5, 6, 7}, "seven bytes"), longLength, odd});
  };
  StringList list = Stale();
  ListIfRows(&list);
  EXPECT_EQ(LinesOf(list),
            (Strings{
                " Ethernet |00-1A-2B-3C-4D-5E |  1500 |   100000000 | 1 | 5 |3000000000 |        42 | Fake Ethernet",
                "          |        02-00-01 |4294967295 |  3000000000 | 2 |4294967295 |         0 |         0 | " +
                    std::string(256, 'x'),
            }));
  EXPECT_EQ(machine.ifOrder, (std::vector<BOOL>{FALSE, FALSE}));
}

TEST_F(TablesTest, InterfacePageWithoutPrintableRowsOrRows) {
  machine.ifTable.build = [](Arena& a) {
    BuildIfTable(a, {IfRow(1, IF_TYPE_SOFTWARE_LOOPBACK, {}, "Loopback"), IfRow(2, IF_TYPE_TUNNEL, {}, "Tunnel")});
  };
  StringList list = Stale();
  ListIfRows(&list);
  EXPECT_EQ(list.Count(), 0);  // rows, none printable: an empty page, not "no entries."

  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {}); };
  ListIfRows(&list);
  EXPECT_EQ(LinesOf(list), Strings{"no entries."});
}

TEST_F(TablesTest, ReadIfRowsCopiesTheTable) {
  machine.ifTable.build = [](Arena& a) {
    BuildIfTable(a, {IfRow(1, IF_TYPE_SOFTWARE_LOOPBACK, {}, "Loopback"), IfRow(11, 6, kMac, "Fake Ethernet")});
  };
  DWORD count = 99;
  TIfRows rows(5);
  ASSERT_EQ(ReadIfRows(count, rows), 0u);
  ASSERT_EQ(count, 2u);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].dwIndex, 11u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(rows[1].bDescr)), "Fake Ethernet");
  EXPECT_EQ(machine.ifTable.calls, 2);
}

TEST_F(TablesTest, InterfaceQueryFailures) {
  machine.ifTable.build = [](Arena& a) { BuildIfTable(a, {IfRow(11, 6, kMac, "Fake Ethernet")}); };
  // The probe's own code comes back unchanged, with nothing read.
  machine.ifTable.probeAnswer = ERROR_BUFFER_OVERFLOW;
  DWORD count = 99;
  TIfRows rows(5);
  EXPECT_EQ(ReadIfRows(count, rows), static_cast<DWORD>(ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(count, 0u);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(machine.ifTable.calls, 1);

  // A failing real call: the page explains the call's code, even though
  // the thread's last error still says "success".
  machine.ifTable.probeAnswer = ERROR_INSUFFICIENT_BUFFER;
  machine.ifTable.secondAnswer = ERROR_NOT_ENOUGH_MEMORY;
  EXPECT_EQ(ReadIfRows(count, rows), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_EQ(count, 0u);
  StringList list = Stale();
  SetLastError(ERROR_SUCCESS);
  ListIfRows(&list);
  EXPECT_EQ(LinesOf(list), Strings{SysErrorMessage(ERROR_NOT_ENOUGH_MEMORY)});
  EXPECT_NE(list[0], SysErrorMessage(ERROR_SUCCESS));
}
