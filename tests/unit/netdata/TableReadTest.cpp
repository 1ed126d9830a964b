// How every reader fetches its table: one call once the size is known, read
// again when the table grew between two calls, and the size query wherever
// the two-call form would have made it. Then the readers of this layer on
// tables that grow under them.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "monitor/ConfigReports.h"
#include "support/ReaderTest.h"
#include "netdata/IPv6.h"
#include "netdata/uAdapterInfo.h"
#include "platform/Sys.h"

namespace {

using Strings = std::vector<std::string>;

// A table of 100-byte rows behind a count. It answers as the platform does
// and reports the size it needs after every call; `change` runs as each call
// comes in, as another program opening sockets between two calls would.
struct ScriptedTable {
  ULONG rows = 10;
  DWORD refuse = NO_ERROR;                       // the answer to a large enough buffer, when not 0
  DWORD sizeAnswer = ERROR_INSUFFICIENT_BUFFER;  // the size query's answer
  std::function<void(ScriptedTable&)> change;
  std::vector<ULONG> calls;  // the buffer size of each call, 0 for the size query

  ULONG Needed() const { return 4 + rows * 100; }
  DWORD Call(void* buffer, ULONG* size) {
    calls.push_back(buffer ? *size : 0);
    if (change) change(*this);
    DWORD answer = NO_ERROR;
    if (!buffer) {
      answer = sizeAnswer;
    } else if (*size < Needed()) {
      answer = ERROR_INSUFFICIENT_BUFFER;
    } else if (refuse != NO_ERROR) {
      answer = refuse;
    } else {
      *static_cast<DWORD*>(buffer) = rows;
    }
    *size = Needed();
    return answer;
  }
  TTableRead Read(TTableSize& known, bool (*goesOn)(DWORD) = nullptr) {
    return ReadTable(
        known, ERROR_INSUFFICIENT_BUFFER, [this](void* buffer, ULONG* size) { return Call(buffer, size); }, goesOn);
  }
};

DWORD RowsRead(const TTableRead& read) { return read.buffer ? *read.buffer->As<DWORD>() : 0; }

class TableReadTest : public FakeIpHelperTest {};

}  // namespace

TEST_F(TableReadTest, OneCallOnceTheSizeIsKnown) {
  ScriptedTable table;
  TTableSize known;
  const TTableRead first = table.Read(known);
  ASSERT_EQ(first.result, 0u);
  EXPECT_EQ(RowsRead(first), 10u);
  ASSERT_EQ(table.calls.size(), 2u);
  EXPECT_EQ(table.calls[0], 0u);              // the size query
  EXPECT_GT(table.calls[1], table.Needed());  // with room to grow

  table.calls.clear();
  table.rows = 12;  // a little growth fits the room
  const TTableRead second = table.Read(known);
  EXPECT_EQ(RowsRead(second), 12u);
  EXPECT_EQ(table.calls.size(), 1u);

  // A new binding forgets every size: the size query comes first again.
  ForgetTableSizes();
  table.calls.clear();
  table.Read(known);
  ASSERT_EQ(table.calls.size(), 2u);
  EXPECT_EQ(table.calls[0], 0u);
}

TEST_F(TableReadTest, ATableThatGrewBetweenTwoCallsIsReadAgainAtItsNewSize) {
  ScriptedTable table;
  // Right after the size query, 990 more rows: far more than the room.
  table.change = [](ScriptedTable& t) {
    if (t.calls.size() == 2) t.rows = 1000;
  };
  TTableSize known;
  const TTableRead read = table.Read(known);
  ASSERT_EQ(read.result, 0u);
  EXPECT_EQ(RowsRead(read), 1000u);
  ASSERT_EQ(table.calls.size(), 3u);
  EXPECT_GE(table.calls[2], 4u + 1000u * 100u);

  // It keeps growing faster than every try: the platform's answer, once
  // the tries are spent.
  table.calls.clear();
  table.change = [](ScriptedTable& t) { t.rows *= 4; };
  const TTableRead outgrown = table.Read(known);
  EXPECT_EQ(outgrown.result, static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_FALSE(outgrown.buffer);
  EXPECT_FALSE(outgrown.fromSizeQuery);
  EXPECT_EQ(table.calls.size(), 4u);
}

TEST_F(TableReadTest, ARefusalAtAKnownSizeGoesBackToTheSizeQuery) {
  ScriptedTable table;
  TTableSize known;
  table.Read(known);
  // The table is refused as it now stands: asked afresh, the size query
  // goes on and the table call gives the reason, as in the two-call form.
  table.calls.clear();
  table.refuse = ERROR_NOT_ENOUGH_MEMORY;
  const TTableRead refused = table.Read(known);
  EXPECT_EQ(refused.result, static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_FALSE(refused.fromSizeQuery);
  ASSERT_EQ(table.calls.size(), 3u);
  EXPECT_EQ(table.calls[1], 0u);

  // A reader whose size query has answers of its own (the ARP cache's "no
  // data") hears them from the size query.
  table.calls.clear();
  table.refuse = ERROR_NO_DATA;
  table.sizeAnswer = ERROR_NO_DATA;
  const TTableRead empty = table.Read(known, [](DWORD answer) { return answer != ERROR_NO_DATA; });
  EXPECT_EQ(empty.result, static_cast<DWORD>(ERROR_NO_DATA));
  EXPECT_TRUE(empty.fromSizeQuery);
  EXPECT_EQ(table.calls.size(), 2u);
}

TEST_F(TableReadTest, ATableThatShrankGetsASmallerBuffer) {
  ScriptedTable table;
  table.rows = 1000;
  TTableSize known;
  table.Read(known);
  const ULONG large = table.calls.back();
  table.rows = 1;
  table.Read(known);
  table.calls.clear();
  table.Read(known);
  ASSERT_EQ(table.calls.size(), 1u);
  EXPECT_LT(table.calls[0], large / 10);
}

// ---------------------------------------------------------------------------
// The readers of this layer, each on a table that grows by far more than the
// room right after the size query: every one shows the rows.

TEST_F(TableReadTest, ReadersShowTheRowsOfATableThatGrewUnderThem) {
  const auto grows = [](TableFake& fake, std::function<void(Arena&, int)> build) {
    fake.build = [&fake, build](Arena& a) { build(a, fake.calls <= 1 ? 1 : 300); };
  };
  const auto addresses = [](Arena& a, int n) {
    std::vector<MIB_IPADDRROW> rows;
    for (int i = 0; i < n; ++i) rows.push_back(AddrRow(i + 1, "10.77.0.2", "255.255.255.0"));
    BuildIpAddrTable(a, rows);
  };
  const auto interfaces = [](Arena& a, int n) {
    std::vector<MIB_IFROW> rows;
    for (int i = 0; i < n; ++i) rows.push_back(IfRow(i + 1, 6, {0x02, 0, 0, 0, 0, 1}, "eth"));
    BuildIfTable(a, rows);
  };

  grows(machine.ipAddrTable, addresses);
  StringList list;
  EXPECT_TRUE(FillIpAddressList(&list));
  EXPECT_EQ(list.Count(), 300);

  machine.Reset();
  ForgetTableSizes();
  grows(machine.networkParams, [](Arena& a, int n) {
    BuildFixedInfo(a, "testhost", "velnor.test", 8, 0, 0, 0, Strings(static_cast<std::size_t>(n), "10.77.0.1"));
  });
  TNetworkParams params;
  EXPECT_EQ(ReadNetworkParams(params), 0u);
  EXPECT_EQ(params.DnsServerCount, 10);

  for (bool extended : {false, true}) {
    machine.Reset();
    ForgetTableSizes();
    UseExtAdapterApi = extended;
    grows(machine.adaptersInfo, [](Arena& a, int n) { BuildAdaptersInfo(a, std::vector<ClassicAdapter>(n)); });
    grows(machine.adaptersAddresses,
          [](Arena& a, int n) { BuildAdaptersAddresses(a, std::vector<ExtendedAdapter>(n)); });
    int count = 0;
    TAdaptorRows rows;
    EXPECT_EQ(ReadAdaptorRows(count, rows), 0u) << extended;
    EXPECT_EQ(count, 300) << extended;
  }

  machine.Reset();
  ForgetTableSizes();
  machine.adaptersAddresses6.probeAnswer = ERROR_BUFFER_OVERFLOW;
  grows(machine.adaptersAddresses6, [](Arena& a, int n) {
    ExtendedAdapter adapter;
    adapter.unicast = {"fd00:77::2"};
    BuildAdaptersAddresses(a, std::vector<ExtendedAdapter>(n, adapter));
  });
  std::vector<TIp6Address> ip6;
  EXPECT_EQ(ReadIp6Addresses(ip6), 0u);
  EXPECT_EQ(ip6.size(), 300u);

  machine.Reset();
  ForgetTableSizes();
  grows(machine.ifTable, interfaces);
  grows(machine.ipAddrTable, addresses);
  TAdapterInfo adapters;
  EXPECT_TRUE(ReadAdapterInfo(adapters));
  EXPECT_EQ(adapters.size(), 300u);
}
