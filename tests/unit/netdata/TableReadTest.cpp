// How every reader fetches its table: one call once the size is known, read
// again when the table grew between two calls, and the size query wherever
// the two-call form would have made it. (Every reader on a table that grows
// under it: ReaderEdgesTest, with the monitor's tests.)
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "support/ReaderTest.h"
#include "platform/Sys.h"

namespace {

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
