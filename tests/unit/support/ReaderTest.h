// Tests of the readers and reports on the fake machine: each test runs on a
// fresh machine of the kinds given, and checks afterwards that no table
// buffer outlived its reader.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "netdata/IPHelper.h"
#include "support/FakeMachine.h"
#include "text/Lines.h"

template <unsigned Kinds>
class ReaderTest : public testing::Test {
 protected:
  void SetUp() override {
    UseExtAdapterApi = false;
    machine_ = std::make_unique<ScopedFakeMachine>(Kinds);
  }
  void TearDown() override {
    machine_.reset();
    UseExtAdapterApi = false;
    EXPECT_EQ(TTableBuffer::Live(), 0) << "a table buffer outlived its reader";
  }
  // The IP Helper library again, offering these connection generations.
  void Bind(const TableGenerations& generations) { machine_->Offer(generations); }

 private:
  std::unique_ptr<ScopedFakeMachine> machine_;
};

// The adapter and parameter readers.
using FakeIpHelperTest = ReaderTest<ScopedFakeMachine::kAdapters>;
// The monitor's table and counter pages.
using MonitorFakeTest = ReaderTest<ScopedFakeMachine::kAdapters | ScopedFakeMachine::kMonitorTables>;

// A list already showing an earlier refresh.
inline StringList Stale() {
  StringList list;
  list.Add("line of the last refresh");
  return list;
}
