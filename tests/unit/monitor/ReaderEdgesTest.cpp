// What every reader of the IP Helper tables does at the two edges they all
// share: no list given (nothing is asked of the system), and the library
// missing or loaded without the reader's entries (each page says so or
// keeps what it showed, as its table below says).
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "monitor/ConfigReports.h"
#include "monitor/Connections.h"
#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "support/ReaderTest.h"

namespace {

using Strings = std::vector<std::string>;
using ReaderEdgesTest = ReaderTest<ScopedFakeMachine::kAdapters | ScopedFakeMachine::kMonitorTables |
                                   ScopedFakeMachine::kConnections | ScopedFakeMachine::kProcesses>;

HMODULE NoLibrary(const char*) { return nullptr; }

// What a page shows once the library is missing.
enum class Without { KeepsItsLines, IsCleared, SaysNotSupported, SaysErrorNotSupported };

struct Reader {
  const char* name;
  std::function<void(Lines*)> list;
  Without without;
};

// A second page some readers fill at once: it must stay as it was here.
StringList other;

const Reader kReaders[] = {
    {"ListFixedInfo", [](Lines* l) { ListFixedInfo(l); }, Without::SaysNotSupported},
    {"FillNetworkParamsList", [](Lines* l) { EXPECT_FALSE(FillNetworkParamsList(l)); },
     Without::SaysErrorNotSupported},
    {"ListIpAddrTable", [](Lines* l) { ListIpAddrTable(l); }, Without::KeepsItsLines},
    {"FillIpAddressList", [](Lines* l) { EXPECT_FALSE(FillIpAddressList(l)); }, Without::KeepsItsLines},
    {"ListAdaptorRows", [](Lines* l) { ListAdaptorRows(l); }, Without::SaysNotSupported},
    {"FillAdapterList", [](Lines* l) { EXPECT_FALSE(FillAdapterList(l)); }, Without::SaysNotSupported},
    {"ListArpCache", [](Lines* l) { ListArpCache(l); }, Without::KeepsItsLines},
    {"ListRoutes", [](Lines* l) { ListRoutes(l); }, Without::KeepsItsLines},
    {"ListIfRows", [](Lines* l) { ListIfRows(l); }, Without::SaysNotSupported},
    {"ListTcpStats", [](Lines* l) { ListTcpStats(l); }, Without::IsCleared},  // cleared before anything else
    {"ListIpStats", [](Lines* l) { ListIpStats(l); }, Without::KeepsItsLines},
    {"ListUdpStats", [](Lines* l) { ListUdpStats(l); }, Without::KeepsItsLines},
    {"ListIcmpStats, received", [](Lines* l) { ListIcmpStats(l, &other); }, Without::KeepsItsLines},
    {"ListIcmpStats, sent", [](Lines* l) { ListIcmpStats(&other, l); }, Without::KeepsItsLines},
    {"ListTcpConns", [](Lines* l) { ListTcpConns(l); }, Without::SaysNotSupported},
    {"ListUdpConns", [](Lines* l) { ListUdpConns(l); }, Without::SaysNotSupported},
};

int TableCalls() {
  return machine.networkParams.calls + machine.adaptersInfo.calls + machine.adaptersAddresses.calls +
         machine.ipAddrTable.calls + machine.ifTable.calls + machine.ipNetTable.calls + machine.ipForwardTable.calls +
         machine.tcpStats.calls + machine.ipStats.calls + machine.udpStats.calls + machine.icmpStats.calls +
         machine.extendedTcp.calls + machine.extendedUdp.calls + machine.plainTcp.calls + machine.plainUdp.calls;
}

TEST_F(ReaderEdgesTest, NoListGivenAsksNothingOfTheSystem) {
  for (const Reader& r : kReaders) {
    other = Stale();
    r.list(nullptr);
    EXPECT_EQ(TableCalls(), 0) << r.name;
    EXPECT_EQ(LinesOf(other), LinesOf(Stale())) << r.name;
  }
}

TEST_F(ReaderEdgesTest, WithoutTheLibraryOrItsEntriesEachPageSaysSoOrKeepsItsLines) {
  const std::string notSupported = SysErrorMessage(ERROR_NOT_SUPPORTED);
  for (bool libraryMissing : {true, false}) {
    // Either the library cannot be loaded, or it is loaded without these entries.
    const auto binding = libraryMissing ? std::make_unique<SysSwap>(SysLibrary::iphlpapi, NoLibrary)
                                        : std::make_unique<SysSwap>(SysLibrary::iphlpapi, SysApi{});
    for (const Reader& r : kReaders) {
      SCOPED_TRACE(std::string(r.name) + (libraryMissing ? ", library missing" : ", entries missing"));
      StringList page = Stale();
      other = Stale();
      r.list(&page);
      switch (r.without) {
        case Without::KeepsItsLines: EXPECT_EQ(LinesOf(page), LinesOf(Stale())); break;
        case Without::IsCleared: EXPECT_EQ(page.Count(), 0); break;
        case Without::SaysNotSupported: EXPECT_EQ(LinesOf(page), Strings{notSupported}); break;
        case Without::SaysErrorNotSupported: EXPECT_EQ(LinesOf(page), Strings{"ERROR: " + notSupported}); break;
      }
      EXPECT_EQ(LinesOf(other), LinesOf(Stale()));
    }
  }
  EXPECT_EQ(TableCalls(), 0);
}

}  // namespace
