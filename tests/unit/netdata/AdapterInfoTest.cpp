// The interface table joined with the address table, against fakes of the
// two load-time entries.
#include <gtest/gtest.h>

#include "support/ReaderTest.h"
#include "netdata/uAdapterInfo.h"
#include "platform/Sys.h"

namespace {

class AdapterInfoTest : public FakeIpHelperTest {};

void Interfaces(const std::vector<MIB_IFROW>& rows) {
  machine.ifTable.build = [=](Arena& a) { BuildIfTable(a, rows); };
}

void Addresses(const std::vector<MIB_IPADDRROW>& rows) {
  machine.ipAddrTable.build = [=](Arena& a) { BuildIpAddrTable(a, rows); };
}

MIB_IFROW Loopback() { return IfRow(1, 24, {}, "Loopback Pseudo-Interface"); }
MIB_IFROW Ethernet() { return IfRow(11, 6, {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF}, "Fake Ethernet"); }

}  // namespace

TEST_F(AdapterInfoTest, OneRecordPerInterfaceWithItsFirstAddress) {
  MIB_IFROW eth = Ethernet();
  eth.dwSpeed = 2500000000u;
  eth.dwInUcastPkts = 4000000000u;
  eth.dwOutQLen = 3;
  MIB_IFROW tunnel = IfRow(20, 131, {1, 2, 3, 4, 5, 6, 7, 8}, "Tunnel");
  tunnel.dwPhysAddrLen = 12;  // more than the row's 8 bytes
  Interfaces({Loopback(), eth, tunnel});
  Addresses({AddrRow(1, "127.0.0.1", "255.0.0.0"), AddrRow(11, "192.168.1.10", "255.255.255.0"),
             AddrRow(11, "192.168.1.20", "255.255.0.0")});

  TAdapterInfo adapters(5);
  for (auto& a : adapters) a.MacAddress = "stale";
  ASSERT_TRUE(ReadAdapterInfo(adapters));
  ASSERT_EQ(adapters.size(), 3u);

  EXPECT_EQ(adapters[0].MacAddress, "");  // the loopback has no hardware address
  EXPECT_EQ(adapters[0].IpAddress, "127.0.0.1");
  EXPECT_EQ(adapters[0].IfType, 24u);
  EXPECT_EQ(adapters[0].Description, "Loopback Pseudo-Interface");

  EXPECT_EQ(adapters[1].MacAddress, "00-0C-29-AB-CD-EF");
  EXPECT_EQ(adapters[1].IpAddress, "192.168.1.10");  // the first of its two rows
  EXPECT_EQ(adapters[1].SubnetMask, "255.255.255.0");
  EXPECT_EQ(adapters[1].Speed, 2500000000.0);
  EXPECT_EQ(adapters[1].InUcastPkts, 4000000000u);
  EXPECT_EQ(adapters[1].OutQLen, 3u);
  EXPECT_EQ(adapters[1].Mtu, 1500u);
  EXPECT_EQ(adapters[1].AdminStatus, 1u);
  EXPECT_EQ(adapters[1].OperStatus, 5u);

  EXPECT_EQ(adapters[2].IpAddress, "");  // no address row: still listed
  EXPECT_EQ(adapters[2].SubnetMask, "");
  EXPECT_EQ(adapters[2].MacAddress, "01-02-03-04-05-06-07-08");
  for (const auto& a : adapters) EXPECT_NE(a.IpAddress, "192.168.1.20");
  EXPECT_EQ(machine.ifTable.calls, 2);
  EXPECT_EQ(machine.ipAddrTable.calls, 2);
}

TEST_F(AdapterInfoTest, FailsWhenATableCannotBeRead) {
  struct Case {
    const char* what;
    std::vector<MIB_IFROW> interfaces;
    std::vector<MIB_IPADDRROW> addresses;
    DWORD ifSecond;
    DWORD addrSecond;
  } cases[] = {
      {"no interfaces", {}, {AddrRow(1, "127.0.0.1", "255.0.0.0")}, NO_ERROR, NO_ERROR},
      {"no addresses", {Loopback(), Ethernet()}, {}, NO_ERROR, NO_ERROR},
      {"interface query fails", {Loopback()}, {AddrRow(1, "127.0.0.1", "255.0.0.0")}, ERROR_NOT_SUPPORTED, NO_ERROR},
      {"address query fails", {Loopback()}, {AddrRow(1, "127.0.0.1", "255.0.0.0")}, NO_ERROR, ERROR_NOT_SUPPORTED},
  };
  for (const auto& c : cases) {
    machine.Reset();
    Interfaces(c.interfaces);
    Addresses(c.addresses);
    machine.ifTable.secondAnswer = c.ifSecond;
    machine.ipAddrTable.secondAnswer = c.addrSecond;
    TAdapterInfo adapters;
    EXPECT_FALSE(ReadAdapterInfo(adapters)) << c.what;
    EXPECT_EQ(TTableBuffer::Live(), 0) << c.what;
  }
}

// The main window looks up the gateway of an interface by the hardware
// address text made here; the adapter records must carry the same text.
TEST_F(AdapterInfoTest, HardwareAddressTextMatchesTheAdapterLookups) {
  Interfaces({Loopback(), Ethernet()});
  Addresses({AddrRow(1, "127.0.0.1", "255.0.0.0"), AddrRow(11, "192.168.1.10", "255.255.255.0")});
  ClassicAdapter adapter;
  adapter.mac = {0x00, 0x0C, 0x29, 0xAB, 0xCD, 0xEF};
  machine.adaptersInfo.build = [=](Arena& a) { BuildAdaptersInfo(a, {adapter}); };
  TAdapterInfo adapters;
  ASSERT_TRUE(ReadAdapterInfo(adapters));
  EXPECT_EQ(GatewayForMac(adapters[1].MacAddress), "192.168.1.1");
  EXPECT_EQ(GatewayForMac(adapters[0].MacAddress), "");  // the loopback finds no adapter
}
