// What every reader of the IP Helper tables does at the edges they all
// share, one table of readers and each edge run over all of them: no list
// given (nothing is asked of the system), the library missing or loaded
// without the reader's entries (each page says so or keeps what it showed),
// a table whose count claims far more rows than its buffer holds (only the
// rows really there are read), and a table that grows between the size
// query and the read (every row shows, and the next read is one call).
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "monitor/ConfigReports.h"
#include "monitor/Connections.h"
#include "monitor/Ipv6Tables.h"
#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "monitor/uTCPIP.h"
#include "support/ReaderTest.h"

namespace {

using Strings = std::vector<std::string>;
using ReaderEdgesTest = ReaderTest<ScopedFakeMachine::kAdapters | ScopedFakeMachine::kMonitorTables |
                                   ScopedFakeMachine::kConnections | ScopedFakeMachine::kProcesses>;

HMODULE NoLibrary(const char*) { return nullptr; }

const std::vector<BYTE> kMac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
constexpr DWORD kClaimed = 100000;  // the count of a table that holds one row
constexpr int kGrown = 400;         // the rows a growing table has right after the size query

// What a page shows once the library is missing.
enum class Without {
  AsWithoutTheLibrary,  // (loaded without its entries) as when the library is missing
  KeepsItsLines,
  IsCleared,
  SaysNotSupported,
  SaysErrorNotSupported,
  SaysIpv6NotSupported,  // "IPv6: " and the text
  AddsAnError,           // its lines, and one error line below them
};

// How a reader's table is laid out on the fake machine: make(rows, claimed)
// gives it `rows` rows behind a count saying `claimed`.
struct Table {
  std::function<void(int rows, DWORD claimed)> make;  // null: the reader reads no table of rows
  // The entries read into a buffer the reader sizes; none where the library
  // allocates the table itself, which therefore cannot grow under the reader.
  std::vector<TableFake*> sized;
  bool counted = false;  // a count says how many rows there are (not a chain)
  // The most rows the buffer of the last read (or the library's block) holds.
  std::function<std::size_t()> holds;
};

// A table of counted rows; row(i) is row i.
template <class MibTable, class Row, class MakeRow>
Table Counted(TableFake& fake, void (*build)(Arena&, const std::vector<Row>&), MakeRow row) {
  return {[&fake, build, row](int rows, DWORD claimed) {
            std::vector<Row> all;
            for (int i = 0; i < rows; ++i) all.push_back(row(i));
            fake.build = [build, all, claimed](Arena& a) {
              build(a, all);
              reinterpret_cast<MibTable*>(a.Base())->dwNumEntries = claimed;
            };
          },
          {&fake},
          true,
          [&fake] { return fake.lastBufferSize / sizeof(Row); }};
}

// A connection table of one generation, every row like conn.
template <class Row>
Table Connections(TableFake& fake, void (*build)(Arena&, const std::vector<Conn>&, DWORD), Conn conn) {
  return {[&fake, build, conn](int rows, DWORD claimed) {
            const std::vector<Conn> all(static_cast<std::size_t>(rows), conn);
            fake.build = [build, all, claimed](Arena& a) { build(a, all, claimed - static_cast<DWORD>(all.size())); };
          },
          {&fake},
          true,
          [&fake] { return fake.lastBufferSize / sizeof(Row); }};
}

// The allocate-and-get tables: a block the library makes at the size it needs.
Table Allocated() {
  return {[](int rows, DWORD claimed) {
            machine.tcp.assign(static_cast<std::size_t>(rows), Conn{});
            machine.udp.assign(static_cast<std::size_t>(rows), Conn{});
            machine.extraRowsClaimed = claimed - static_cast<DWORD>(rows);
          },
          {},
          true,
          [] { return machine.tcp.size(); }};
}

// A chain of records, item(i) the i-th; there is no count to claim more.
template <class Item, class MakeItem>
Table Chain(TableFake& fake, void (*build)(Arena&, const std::vector<Item>&), MakeItem item) {
  return {[&fake, build, item](int rows, DWORD) {
            std::vector<Item> all;
            for (int i = 0; i < rows; ++i) all.push_back(item(i));
            fake.build = [build, all](Arena& a) { build(a, all); };
          },
          {&fake},
          false,
          nullptr};
}

// Two tables a reader reads together, each with the same rows.
Table Both(const Table& first, const Table& second) {
  std::vector<TableFake*> sized = first.sized;
  sized.insert(sized.end(), second.sized.begin(), second.sized.end());
  return {[first, second](int rows, DWORD claimed) {
            first.make(rows, claimed);
            second.make(rows, claimed);
          },
          sized, first.counted && second.counted, first.holds};
}

// The fixed parameters, with one DNS server per row.
Table DnsServers() {
  return {[](int rows, DWORD) {
            const Strings servers(static_cast<std::size_t>(rows), "10.77.0.1");
            machine.networkParams.build = [servers](Arena& a) {
              BuildFixedInfo(a, "testhost", "velnor.test", 8, 0, 0, 0, servers);
            };
          },
          {&machine.networkParams},
          false,
          nullptr};
}

Table Ip6Adapters() {
  Table chain = Chain(machine.adaptersAddresses6, BuildAdaptersAddresses, [](int i) {
    ExtendedAdapter adapter;
    adapter.index = static_cast<DWORD>(i + 3);  // an adapter of its own per row
    adapter.unicast = {"fd00:77::2"};
    adapter.onLinkPrefixes = {64};
    return adapter;
  });
  const auto make = chain.make;
  chain.make = [make](int rows, DWORD claimed) {
    make(rows, claimed);
    machine.adaptersAddresses6.probeAnswer = ERROR_BUFFER_OVERFLOW;  // it has some now
  };
  return chain;
}

Table IpAddresses() {
  return Counted<MIB_IPADDRTABLE>(machine.ipAddrTable, BuildIpAddrTable,
                                  [](int i) { return AddrRow(static_cast<DWORD>(i + 2), "10.0.0.1", "255.0.0.0"); });
}
Table Interfaces() {
  return Counted<MIB_IFTABLE>(machine.ifTable, BuildIfTable,
                              [](int i) { return IfRow(static_cast<DWORD>(i + 11), 6, kMac, "Fake Ethernet"); });
}

const Conn kConn6{MIB_TCP_STATE_ESTAB, "fd00:77::2", 49152, "fd00:77::1", 80, 0, 0};

// The first row of each connection page.
const std::string kTcpRow =
    " 10. 77.  0.  2:1025  | 10. 77.  1.  1:HTTP  |established |     0|                    |                    ";
const std::string kUdpRow = " 10. 77.  0.  2 : 1025   |        0|" + std::string(48, ' ') + "|" + std::string(20, ' ');
const std::string kTcp6Row =
    "[fd00:77::2]:49152            |[fd00:77::1]:HTTP             |established |     0|                    |"
    "                    ";
const std::string kUdp6Row =
    "[fd00:77::2]:49152            |        0|" + std::string(48, ' ') + "|" + std::string(20, ' ');

const TableGenerations kOwnerModule{};
const TableGenerations kAllocateAndGet{false, false, true, true};
const TableGenerations kPlain{false, false, false, true};

// What the Fill lists and the details page answered, when the reader has an answer.
std::optional<bool> answered;

// A second page some readers fill at once: it must stay as it was here.
StringList other;

// One reader, as the edges see it.
struct Reader {
  Reader(const char* name, std::function<void(Lines*)> list, Without without, Table table = {},
         std::function<bool(const std::string&)> isRow = nullptr, std::string firstRow = "")
      : name(name),
        list(std::move(list)),
        without(without),
        table(std::move(table)),
        isRow(std::move(isRow)),
        firstRow(std::move(firstRow)) {}

  const char* name;
  // Runs the reader on a page. A reader of rows writes one line per row it
  // gives, and leaves the page as it was when it leaves its rows as they were.
  std::function<void(Lines*)> list;
  Without without;  // what the page shows without the library
  Table table;
  // Which lines of the page are rows of the table (null: every line), and
  // the first row's line.
  std::function<bool(const std::string&)> isRow;
  std::string firstRow;
  int most = kGrown;              // the most rows the page shows
  TableGenerations offer = {};    // the connection tables the library offers
  bool takesList = true;          // false: a reader of rows, with no list to be given
  bool readsWithoutList = false;  // asks for its table even with no list to show it in
  Without withoutEntries = Without::AsWithoutTheLibrary;

  Reader ShowsAtMost(int rows) const {
    return With([rows](Reader& r) { r.most = rows; });
  }
  Reader Offering(const TableGenerations& generations) const {
    return With([generations](Reader& r) { r.offer = generations; });
  }
  Reader OfRows() const {
    return With([](Reader& r) { r.takesList = false; });
  }
  Reader ReadsWithoutList() const {
    return With([](Reader& r) { r.readsWithoutList = true; });
  }
  Reader WithoutItsEntries(Without shows) const {
    return With([shows](Reader& r) { r.withoutEntries = shows; });
  }

 private:
  Reader With(const std::function<void(Reader&)>& change) const {
    Reader changed = *this;
    change(changed);
    return changed;
  }
};

// A connection reader's rows as a page: the reason for no rows as its
// text; rows left as they were leave the page as it was.
void ConnRowsPage(void (*read)(TConnRows&), Lines* l) {
  TConnRows rows(2);
  SetLastError(ERROR_SUCCESS);
  read(rows);
  const DWORD reason = GetLastError();
  if (rows.size() == 2 && rows[1].LocalAddr.empty()) {
    EXPECT_EQ(reason, static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    return;
  }
  l->Clear();
  if (rows.empty()) l->Add(SysErrorMessage(reason));
  for (const TConnInfo& row : rows) l->Add(row.LocalAddr + ":" + std::to_string(row.LocalPort));
}

// The interface table's rows as a page, one line per interface.
void IfRowsPage(Lines* l) {
  DWORD count = 7;
  TIfRows rows(1);
  const DWORD result = ReadIfRows(count, rows);
  if (result == ERROR_NOT_SUPPORTED && count == 7 && rows.size() == 1) return;  // left as they were
  l->Clear();
  EXPECT_EQ(result, 0u);
  EXPECT_EQ(rows.size(), count);
  for (const MIB_IFROW& row : rows) l->Add("interface " + std::to_string(row.dwIndex));
}

void TcpPage(Lines* l) { ListTcpConns(l); }
void UdpPage(Lines* l) { ListUdpConns(l); }
void TcpRowsPage(Lines* l) { ConnRowsPage(ReadTcpConnRows, l); }
void UdpRowsPage(Lines* l) { ConnRowsPage(ReadUdpConnRows, l); }
void Tcp6Page(Lines* l) {
  TProgramCache programs;
  ListTcp6Conns(l, false, programs);
}
void Udp6Page(Lines* l) {
  TProgramCache programs;
  ListUdp6Conns(l, false, programs);
}

std::function<bool(const std::string&)> StartingWith(const std::string& head) {
  return [head](const std::string& line) { return line.compare(0, head.size(), head) == 0; };
}
bool NotCaption(const std::string& line) { return line != "IPv6:"; }

const Table kClassicAdapters = Chain(machine.adaptersInfo, BuildAdaptersInfo, [](int) { return ClassicAdapter{}; });
const Table kExtendedAdapters =
    Chain(machine.adaptersAddresses, BuildAdaptersAddresses, [](int) { return ExtendedAdapter{}; });
const Table kArpCache = Counted<MIB_IPNETTABLE>(
    machine.ipNetTable, BuildIpNetTable, [](int i) { return NetRow(static_cast<DWORD>(i + 1), kMac, "10.77.0.1", 3); });
const Table kRoutes = Counted<MIB_IPFORWARDTABLE>(machine.ipForwardTable, BuildIpForwardTable, [](int) {
  return Route("0.0.0.0", "0.0.0.0", "10.77.0.1", 1, 4, 3, 0, 1);
});
const Table kOwnerTcp = Connections<MIB_TCPROW_OWNER_MODULE>(machine.extendedTcp, BuildTcpOwnerModule, Conn{});
const Table kOwnerUdp = Connections<MIB_UDPROW_OWNER_MODULE>(machine.extendedUdp, BuildUdpOwnerModule, Conn{});
const Table kPlainTcp = Connections<MIB_TCPROW>(machine.plainTcp, BuildPlainTcp, Conn{});
const Table kPlainUdp = Connections<MIB_UDPROW>(machine.plainUdp, BuildPlainUdp, Conn{});
const Table kOwnerTcp6 = Connections<MIB_TCP6ROW_OWNER_MODULE>(machine.extendedTcp6, BuildTcp6OwnerModule, kConn6);
const Table kOwnerUdp6 = Connections<MIB_UDP6ROW_OWNER_MODULE>(machine.extendedUdp6, BuildUdp6OwnerModule, kConn6);

const Reader kReaders[] = {
    Reader("ListFixedInfo", ListFixedInfo, Without::SaysNotSupported, DnsServers(), StartingWith("DNS SERVER ADDR"))
        .ShowsAtMost(10),
    Reader(
        "FillNetworkParamsList", [](Lines* l) { answered = FillNetworkParamsList(l); }, Without::SaysErrorNotSupported,
        DnsServers(), StartingWith("DNS Server Address ["))
        .ShowsAtMost(10),
    Reader("ListIpAddrTable", ListIpAddrTable, Without::KeepsItsLines, IpAddresses(), nullptr,
           "00000002| 10.  0.  0.  1|255.  0.  0.  0|  1.  0.  0.  0|00065535"),
    Reader(
        "FillIpAddressList", [](Lines* l) { answered = FillIpAddressList(l); }, Without::KeepsItsLines, IpAddresses(),
        nullptr, "IP [1]:  10.  0.  0.  1, Subnet mask: 255.  0.  0.  0"),
    Reader(
        "ListAdaptorRows", [](Lines* l) { ListAdaptorRows(l); }, Without::SaysNotSupported, kClassicAdapters,
        StartingWith("{")),
    Reader(
        "ListAdaptorRows, extended", [](Lines* l) { ListAdaptorRows(l, true); }, Without::SaysNotSupported,
        kExtendedAdapters, StartingWith("{")),
    Reader(
        "FillAdapterList", [](Lines* l) { answered = FillAdapterList(l); }, Without::SaysNotSupported, kClassicAdapters,
        StartingWith("Adapter: ")),
    Reader("ListArpCache", ListArpCache, Without::KeepsItsLines, kArpCache, nullptr,
           "       1 | 00-1A-2B-3C-4D-5E |   10. 77.  0.  1|    Dynamic"),
    Reader("ListRoutes", ListRoutes, Without::KeepsItsLines, kRoutes, nullptr,
           "  0.  0.  0.  0|  0.  0.  0.  0| 10. 77.  0.  1|00000001| remote|   00000|    NETMGMT|        01"),
    Reader("ListIfRows", ListIfRows, Without::SaysNotSupported, Interfaces(), nullptr,
           " Ethernet |00-1A-2B-3C-4D-5E |  1500 |   100000000 | 1 | 5 |         0 |         0 | Fake Ethernet"),
    Reader("ReadIfRows", IfRowsPage, Without::KeepsItsLines, Interfaces(), nullptr, "interface 11").OfRows(),
    Reader(
        "ListInterfaceDetails", [](Lines* l) { answered = ListInterfaceDetails(l); }, Without::AddsAnError,
        Both(Interfaces(), IpAddresses()), StartingWith("**************"), "************** (11) ****************"),
    Reader("ListTcpStats", ListTcpStats, Without::IsCleared),  // cleared before anything else
    Reader("ListIpStats", ListIpStats, Without::KeepsItsLines),
    Reader("ListUdpStats", ListUdpStats, Without::KeepsItsLines),
    Reader(
        "ListIcmpStats, received", [](Lines* l) { ListIcmpStats(l, &other); }, Without::KeepsItsLines),
    Reader(
        "ListIcmpStats, sent", [](Lines* l) { ListIcmpStats(&other, l); }, Without::KeepsItsLines),
    Reader("ListTcpConns, owner-module table", TcpPage, Without::SaysNotSupported, kOwnerTcp, nullptr, kTcpRow),
    Reader("ListTcpConns, allocated table", TcpPage, Without::SaysNotSupported, Allocated(), nullptr, kTcpRow)
        .Offering(kAllocateAndGet),
    Reader("ListTcpConns, plain table", TcpPage, Without::SaysNotSupported, kPlainTcp, nullptr, kTcpRow)
        .Offering(kPlain),
    Reader("ListUdpConns, owner-module table", UdpPage, Without::SaysNotSupported, kOwnerUdp, nullptr, kUdpRow),
    Reader("ListUdpConns, allocated table", UdpPage, Without::SaysNotSupported, Allocated(), nullptr, kUdpRow)
        .Offering(kAllocateAndGet),
    Reader("ListUdpConns, plain table", UdpPage, Without::SaysNotSupported, kPlainUdp, nullptr, kUdpRow)
        .Offering(kPlain),
    // The library missing, the rows stay as they were; loaded without its
    // entries, they are emptied with that reason.
    Reader("ReadTcpConnRows", TcpRowsPage, Without::KeepsItsLines, kOwnerTcp, nullptr, " 10. 77.  0.  2:1025")
        .OfRows()
        .WithoutItsEntries(Without::SaysNotSupported),
    Reader("ReadUdpConnRows", UdpRowsPage, Without::KeepsItsLines, kOwnerUdp, nullptr, " 10. 77.  0.  2:1025")
        .OfRows()
        .WithoutItsEntries(Without::SaysNotSupported),
    // The IPv6 parts read their tables whether or not there is a list.
    Reader("ListTcp6Conns", Tcp6Page, Without::SaysIpv6NotSupported, kOwnerTcp6, NotCaption, kTcp6Row)
        .ReadsWithoutList(),
    Reader("ListUdp6Conns", Udp6Page, Without::SaysIpv6NotSupported, kOwnerUdp6, NotCaption, kUdp6Row)
        .ReadsWithoutList(),
    Reader("ListIp6AddrTable", ListIp6AddrTable, Without::SaysIpv6NotSupported, Ip6Adapters(), NotCaption)
        .ReadsWithoutList(),
    Reader("ListIp6Adapters", ListIp6Adapters, Without::SaysIpv6NotSupported, Ip6Adapters(), NotCaption)
        .ReadsWithoutList(),
    // The library allocates these tables itself: no buffer to size, or to overrun.
    Reader("ListIp6Routes", ListIp6Routes, Without::SaysIpv6NotSupported).ReadsWithoutList(),
    Reader("ListIp6Neighbours", ListIp6Neighbours, Without::SaysIpv6NotSupported).ReadsWithoutList(),
};

int TableCalls() {
  return machine.networkParams.calls + machine.adaptersInfo.calls + machine.adaptersAddresses.calls +
         machine.ipAddrTable.calls + machine.ifTable.calls + machine.ipNetTable.calls + machine.ipForwardTable.calls +
         machine.tcpStats.calls + machine.ipStats.calls + machine.udpStats.calls + machine.icmpStats.calls +
         machine.extendedTcp.calls + machine.extendedUdp.calls + machine.plainTcp.calls + machine.plainUdp.calls +
         static_cast<int>(machine.allocCalls.size()) + machine.extendedTcp6.calls + machine.extendedUdp6.calls +
         machine.adaptersAddresses6.calls;
}

// The lines of the page that are rows of the reader's table.
Strings RowsOf(const Reader& r, const Lines& page) {
  Strings rows;
  for (const std::string& line : LinesOf(page))
    if (!r.isRow || r.isRow(line)) rows.push_back(line);
  return rows;
}

}  // namespace

TEST_F(ReaderEdgesTest, NoListGivenAsksNothingOfTheSystem) {
  for (const Reader& r : kReaders) {
    if (!r.takesList) continue;
    SCOPED_TRACE(r.name);
    machine.Reset();
    other = Stale();
    r.list(nullptr);
    if (!r.readsWithoutList) {
      EXPECT_EQ(TableCalls(), 0);
    }
    EXPECT_EQ(LinesOf(other), LinesOf(Stale()));
    EXPECT_EQ(machine.mibTablesLive, 0);
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
      answered.reset();
      r.list(&page);
      const Without without =
          libraryMissing || r.withoutEntries == Without::AsWithoutTheLibrary ? r.without : r.withoutEntries;
      switch (without) {
        case Without::AsWithoutTheLibrary: ADD_FAILURE() << "a page says what it shows"; break;
        case Without::KeepsItsLines: EXPECT_EQ(LinesOf(page), LinesOf(Stale())); break;
        case Without::IsCleared: EXPECT_EQ(page.Count(), 0); break;
        case Without::SaysNotSupported: EXPECT_EQ(LinesOf(page), Strings{notSupported}); break;
        case Without::SaysErrorNotSupported: EXPECT_EQ(LinesOf(page), Strings{"ERROR: " + notSupported}); break;
        case Without::SaysIpv6NotSupported: EXPECT_EQ(LinesOf(page), Strings{"IPv6: " + notSupported}); break;
        case Without::AddsAnError:
          EXPECT_EQ(LinesOf(page), (Strings{LinesOf(Stale())[0], "\r\n*** Error retrieving adapter information"}));
          break;
      }
      if (answered) {
        EXPECT_FALSE(*answered);
      }
      EXPECT_EQ(LinesOf(other), LinesOf(Stale()));
    }
  }
  EXPECT_EQ(TableCalls(), 0);
}

TEST_F(ReaderEdgesTest, TableCountsBeyondTheirBuffersAreNotRead) {
  for (const Reader& r : kReaders) {
    if (!r.table.make || !r.table.counted) continue;
    SCOPED_TRACE(r.name);
    machine.Reset();
    Bind(r.offer);
    ForgetTableSizes();
    // The table holds one row and claims 100000: only what its buffer (with
    // the room it gets to grow, where stray bytes may follow the row) or the
    // library's block holds is read.
    r.table.make(1, kClaimed);
    StringList page = Stale();
    answered.reset();
    r.list(&page);
    if (answered) {
      EXPECT_TRUE(*answered);
    }
    const Strings rows = RowsOf(r, page);
    EXPECT_GE(rows.size(), 1u) << page.Text();
    EXPECT_LE(rows.size(), r.table.holds());
    EXPECT_LT(rows.size(), 200u);
    if (!rows.empty()) {
      EXPECT_EQ(rows[0], r.firstRow);
    }
  }
}

TEST_F(ReaderEdgesTest, TablesThatGrowUnderTheReaderShowAllTheirRowsAndAreReadOnceAfterwards) {
  for (const Reader& r : kReaders) {
    if (!r.table.make || r.table.sized.empty()) continue;
    SCOPED_TRACE(r.name);
    machine.Reset();
    Bind(r.offer);
    ForgetTableSizes();
    // Right after the size query each table has far more rows than the
    // buffer made for its first answer holds.
    std::vector<std::function<void(Arena&)>> small, grown;
    r.table.make(1, 1);
    for (TableFake* fake : r.table.sized) small.push_back(fake->build);
    r.table.make(kGrown, kGrown);
    for (TableFake* fake : r.table.sized) grown.push_back(fake->build);
    for (std::size_t i = 0; i < r.table.sized.size(); ++i) {
      TableFake* fake = r.table.sized[i];
      fake->build = [fake, one = small[i], all = grown[i]](Arena& a) { (fake->calls <= 1 ? one : all)(a); };
    }
    const std::size_t shown = static_cast<std::size_t>(std::min(kGrown, r.most));
    StringList page = Stale();
    answered.reset();
    r.list(&page);
    EXPECT_EQ(RowsOf(r, page).size(), shown);
    if (answered) {
      EXPECT_TRUE(*answered);
    }

    // The sizes are known now: one call per table.
    std::vector<int> before;
    for (TableFake* fake : r.table.sized) before.push_back(fake->calls);
    r.list(&page);
    for (std::size_t i = 0; i < r.table.sized.size(); ++i) EXPECT_EQ(r.table.sized[i]->calls, before[i] + 1);
    EXPECT_EQ(RowsOf(r, page).size(), shown);
  }
}
