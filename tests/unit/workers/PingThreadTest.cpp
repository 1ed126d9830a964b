// The ping worker against a fake echo and name service, a fake clock and a
// fake Sleep: no packet leaves the process and pacing costs no time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>

#include "platform/Sys.h"
#include "support/FakeMachine.h"
#include "support/TestNetwork.h"
#include "support/WorkerHarness.h"
#include "toolkit/Application.h"
#include "workers/PingThread_u.h"

namespace {

const char kSeparator[] = "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";
const UCHAR kTtl = kScriptedTtl;

Echo R(int ms) { return {true, ms, IP_SUCCESS}; }
Echo Lost(DWORD status = 11010) { return {false, 0, status}; }
Echo Answered(DWORD status) { return {true, 5, status}; }
std::vector<Echo> Times(int n, Echo e) { return std::vector<Echo>(static_cast<size_t>(n), e); }
std::vector<Echo> operator+(std::vector<Echo> a, const std::vector<Echo>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

std::string ReplyLine(const std::string& t, int ms) {
  return "Reply from [" + t + "] bytes=32 time=" + std::to_string(ms) + "ms TTL=" + std::to_string(kTtl);
}
std::vector<std::string> Replies(const std::string& t, int n, int ms) {
  return std::vector<std::string>(static_cast<size_t>(n), ReplyLine(t, ms));
}
std::string FailLine(const std::string& t, const std::string& why) { return "Fail ping[" + t + "]: " + why; }
std::string EventLine(const std::string& t, int percent, int ms) {
  return "Pinging [" + t + "] Passed by " + std::to_string(percent) + "%, Average time: " + std::to_string(ms) + "ms";
}
std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}
std::vector<std::string> L(std::initializer_list<std::string> lines) { return lines; }

class PingThreadTest : public testing::Test {
 protected:
  ~PingThreadTest() override { EXPECT_EQ(output.addsOffMainThread + events.addsOffMainThread, 0); }

  // Starts a worker for target and waits for its message; the worker frees
  // itself. Returns every WM_PING_FINISHED that arrived.
  std::vector<MSG> Ping(const std::string& target, int echoCount = 4, uint8_t index = 3) {
    MessageSink sink;
    TPingItem item;
    item.Target = target;
    item.Index = index;
    new TPingThread(sink.Handle(), &item, echoCount, 2000, Lines());
    EXPECT_TRUE(sink.WaitFor(WM_PING_FINISHED, 1, 10000)) << target;
    sink.Pump(20);  // a second message would show up here
    return sink.Of(WM_PING_FINISHED);
  }

  TPingLines Lines() { return PingLinesOf(&output, &events); }
  RecordingLines output, events;

 private:
  ScopedFakeMachine machine_{ScopedFakeMachine::kEcho | ScopedFakeMachine::kSleep | ScopedFakeMachine::kClock};
};

TEST_F(PingThreadTest, JudgesEachEntryFromItsRepliesAndTimes) {
  struct Row {
    const char* name;
    std::string target;
    std::map<std::string, std::vector<Echo>> hosts;
    int echoCount;
    std::vector<std::string> output, events;
    WPARAM verdict;
    std::optional<std::vector<DWORD>> sleeps;
  } rows[] = {
      {"four replies of 20 ms",
       "a",
       {{"a", {R(20)}}},
       4,
       Replies("a", 4, 20) + L({kSeparator}),
       {EventLine("a", 100, 20)},
       2,
       std::vector<DWORD>{500, 100, 500, 100, 500, 100, 500, 100}},
      {"two of 300 ms out of four",
       "a",
       {{"a", Times(2, R(300)) + Times(2, Lost())}},
       4,
       Replies("a", 2, 300) + L({FailLine("a", "Request timed out"), FailLine("a", "Request timed out"), kSeparator}),
       {EventLine("a", 50, 150)},
       1,
       std::nullopt},
      {"average exactly 1500 ms",
       "a",
       {{"a", {R(1500)}}},
       4,
       Replies("a", 4, 1500) + L({kSeparator}),
       {EventLine("a", 100, 1500)},
       2,
       std::vector<DWORD>{100, 100, 100, 100}},
      {"average 1501 ms",
       "a",
       {{"a", {R(1501)}}},
       4,
       Replies("a", 4, 1501) + L({kSeparator}),
       {EventLine("a", 100, 1501)},
       0,
       std::nullopt},
      {"three of 1700 ms out of four",
       "a",
       {{"a", Times(3, R(1700)) + Times(1, Lost())}},
       4,
       Replies("a", 3, 1700) + L({FailLine("a", "Request timed out"), kSeparator}),
       {EventLine("a", 75, 1275)},
       1,
       std::nullopt},
      {"one of four",
       "a",
       {{"a", Times(1, R(20)) + Times(3, Lost())}},
       4,
       Replies("a", 1, 20) + std::vector<std::string>(3, FailLine("a", "Request timed out")) + L({kSeparator}),
       {EventLine("a", 25, 5)},
       0,
       std::nullopt},
      {"unresolvable name: one attempt only",
       "nowhere",
       {},
       4,
       {FailLine("nowhere", "Error getting HostName"), kSeparator},
       {EventLine("nowhere", 0, 0)},
       0,
       std::vector<DWORD>{}},
      {"joined entry, second unresolvable",
       "a|b",
       {{"a", {R(40)}}},
       4,
       Replies("a", 4, 40) + L({kSeparator, FailLine("b", "Error getting HostName"), kSeparator,
                                "Pinging result  = 50%, Average time = 20ms", kSeparator}),
       {EventLine("a", 100, 40), EventLine("b", 0, 0)},
       1,
       std::nullopt},
      {"trailing bar: the empty name is no host, never this machine",
       "a|",
       {{"a", {R(20)}}, {"", {R(10)}}},
       2,
       Replies("a", 2, 20) + L({kSeparator, FailLine("", "Error getting HostName"), kSeparator,
                                "Pinging result  = 50%, Average time = 10ms", kSeparator}),
       {EventLine("a", 100, 20), EventLine("", 0, 0)},
       1,
       std::nullopt},
      {"long averages of a joined entry do not wrap around",
       "a|b",
       {{"a", {R(33000)}}, {"b", {R(33000)}}},
       4,
       Replies("a", 4, 33000) + L({kSeparator}) + Replies("b", 4, 33000) +
           L({kSeparator, "Pinging result  = 100%, Average time = 33000ms", kSeparator}),
       {EventLine("a", 100, 33000), EventLine("b", 100, 33000)},
       0,
       std::nullopt},
      {"no attempts asked for",
       "a",
       {{"a", {R(20)}}},
       0,
       {kSeparator},
       {"Pinging [a] FAIL, (100% loss)!"},
       0,
       std::vector<DWORD>{}},
  };
  for (const Row& row : rows) {
    machine.Reset();
    for (const auto& [name, script] : row.hosts) machine.AddHost(name, script);
    output.Clear();
    events.Clear();
    const auto messages = Ping(row.target, row.echoCount, 4);
    ASSERT_EQ(messages.size(), 1u) << row.name;
    EXPECT_EQ(messages[0].wParam, row.verdict) << row.name;
    EXPECT_EQ(messages[0].lParam, 4) << row.name;
    EXPECT_EQ(output.Items(), row.output) << row.name;
    EXPECT_EQ(events.Items(), row.events) << row.name;
    if (row.sleeps) {
      EXPECT_EQ(machine.sleeps, *row.sleeps) << row.name;
    }
    EXPECT_TRUE(machine.faults.empty()) << row.name << ": " << testing::PrintToString(machine.faults);
    EXPECT_EQ(machine.handlesMade, machine.handlesClosed) << row.name;
    EXPECT_EQ(machine.wsaStarts, machine.wsaCleanups) << row.name;
    EXPECT_EQ(std::count(machine.lookups.begin(), machine.lookups.end(), ""), 0)
        << row.name << ": an empty name was looked up";
  }
}

TEST_F(PingThreadTest, NamesEachFailureAndStopsOnlyWhenTheNameIsBad) {
  struct Row {
    const char* name;
    std::string target;
    std::vector<Echo> script;  // for host "a"
    bool noEchoHandle;
    std::vector<std::string> failures;
  } rows[] = {
      {"no echo handle: attempts go on", "a", {R(20)}, true, {"Unknown Error!", "Unknown Error!"}},
      {"request timed out", "a", {Lost(11010)}, false, {"Request timed out", "Request timed out"}},
      {"TTL expired", "a", {Lost(11013)}, false, {"TTL expired in transit", "TTL expired in transit"}},
      {"general failure", "a", {Lost(11050)}, false, {"General failure", "General failure"}},
      {"a status without a text", "a", {Lost(11022)}, false, {"ICMP error #11022", "ICMP error #11022"}},
      // A router's ICMP error comes back as a record: it is a lost echo.
      {"host unreachable answer",
       "a",
       {Answered(11003)},
       false,
       {"Destination host unreachable", "Destination host unreachable"}},
      {"network unreachable answer",
       "a",
       {Answered(11002)},
       false,
       {"Destination network unreachable", "Destination network unreachable"}},
      {"TTL expired answer", "a", {Answered(11013)}, false, {"TTL expired in transit", "TTL expired in transit"}},
      {"an answer of another status", "a", {Answered(11022)}, false, {"ICMP error #11022", "ICMP error #11022"}},
      {"name without an address: stops", "no-address", {}, false, {"Error getting IP from HostName"}},
      {"name service breaks: attempts go on", "broken", {}, false, {"ICMP error #2184", "ICMP error #2184"}},
  };
  for (const Row& row : rows) {
    machine.Reset();
    if (!row.script.empty()) machine.AddHost("a", row.script);
    machine.noEchoHandle = row.noEchoHandle;
    output.Clear();
    events.Clear();
    const auto messages = Ping(row.target, 2);
    ASSERT_EQ(messages.size(), 1u) << row.name;
    EXPECT_EQ(messages[0].wParam, 0u) << row.name;
    std::vector<std::string> expected;
    for (const auto& why : row.failures) expected.push_back(FailLine(row.target, why));
    expected.push_back(kSeparator);
    EXPECT_EQ(output.Items(), expected) << row.name;
    EXPECT_EQ(events.Items(), L({EventLine(row.target, 0, 0)})) << row.name;
    EXPECT_TRUE(machine.faults.empty()) << row.name << ": " << testing::PrintToString(machine.faults);
    EXPECT_EQ(machine.handlesMade, machine.handlesClosed) << row.name;
    EXPECT_EQ(machine.wsaStarts, machine.wsaCleanups) << row.name;
  }
}

TEST_F(PingThreadTest, AStopRequestLetsTheAttemptInProgressFinish) {
  machine.AddHost("a", {R(20)});
  machine.echoEntered = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  machine.echoRelease = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  MessageSink sink;
  TPingItem item;
  item.Target = "a";
  item.Index = 2;
  // Alive until its run ends, and the run cannot end while the echo blocks.
  TPingThread* worker = new TPingThread(sink.Handle(), &item, 4, 2000, Lines());
  ASSERT_EQ(PumpingWait(machine.echoEntered, 10000), WAIT_OBJECT_0);
  worker->Terminate();
  SetEvent(machine.echoRelease);
  ASSERT_TRUE(sink.WaitFor(WM_PING_FINISHED, 1, 10000));
  sink.Pump(20);
  CloseHandle(machine.echoEntered);
  CloseHandle(machine.echoRelease);

  EXPECT_EQ(machine.echoes, 1);
  EXPECT_EQ(output.Items(), Replies("a", 1, 20) + L({kSeparator}));
  EXPECT_EQ(events.Items(), L({EventLine("a", 100, 20)}));
  ASSERT_EQ(sink.Of(WM_PING_FINISHED).size(), 1u);
  EXPECT_EQ(sink.Of(WM_PING_FINISHED)[0].wParam, 2u);
  EXPECT_EQ(sink.Of(WM_PING_FINISHED)[0].lParam, 2);
}

TEST_F(PingThreadTest, AClosingApplicationGetsNoAttemptAndAFailure) {
  machine.AddHost("a", {R(20)});
  Application.Terminate();
  const auto messages = Ping("a");
  Application.Initialize();  // clears the terminating flag again
  ASSERT_FALSE(Application.Terminated());

  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(machine.echoes, 0);
  EXPECT_EQ(output.Items(), L({kSeparator}));
  EXPECT_EQ(events.Items(), L({"Pinging [a] FAIL, (100% loss)!"}));
}

TEST_F(PingThreadTest, AFailedHandOverEndsTheTargetButNotTheMessage) {
  // The first reply line cannot be shown: the attempts for the target end,
  // and its one reply still counts with its full time (1700 ms: failure).
  machine.AddHost("a", {R(1700)});
  output.failOn = [](const std::string& text) { return text.rfind("Reply", 0) == 0; };
  output.failuresLeft = 1;
  auto messages = Ping("a", 4, 5);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(messages[0].lParam, 5);
  EXPECT_EQ(machine.echoes, 1);
  EXPECT_EQ(output.Items(), L({"Error on PingThread: memo gone", kSeparator}));
  EXPECT_EQ(events.Items(), L({EventLine("a", 100, 1700)}));

  // The output is gone for good, so even the error line fails: the run ends
  // early, and still with exactly one message.
  machine.Reset();
  machine.AddHost("a", {R(20)});
  output.Clear();
  events.Clear();
  output.failOn = [](const std::string&) { return true; };
  output.failuresLeft = -1;
  messages = Ping("a|a", 4, 5);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].wParam, 0u);
  EXPECT_EQ(messages[0].lParam, 5);
  EXPECT_EQ(machine.echoes, 1);
  EXPECT_TRUE(events.Items().empty());
}

TEST_F(PingThreadTest, TheOutputKeepsItsNewest500Lines) {
  // One unresolvable attempt writes two lines: the failure and the separator.
  // Whatever the output held, the worker's own lines end it and it never
  // holds more than 500: the oldest lines make room.
  for (int before : {0, 499, 500, 501, 2000}) {
    output.Clear();
    output.Fill(before);
    events.Clear();
    events.Fill(600);
    ASSERT_EQ(Ping("nowhere").size(), 1u);
    const auto& items = output.Items();
    ASSERT_EQ(static_cast<int>(items.size()), std::min(before + 2, 500)) << before;
    EXPECT_EQ(items.back(), kSeparator) << before;
    if (before + 2 > 500) {
      EXPECT_EQ(items.front(), "old " + std::to_string(before + 2 - 500)) << before;
    }
    EXPECT_EQ(events.Count(), 601) << "the event list has no cap";
  }
}

// Once against the platform's own echo and name service, on loopback only:
// the reply buffer is large enough for this target's reply record, and the
// TTL shown is the one in the reply.
TEST(PingThreadLoopback, ShowsTheRealReplysTimeToLive) {
  ScopedFakeMachine noPause(ScopedFakeMachine::kSleep);
  RecordingLines output, events;
  MessageSink sink;
  TPingItem item;
  item.Target = "127.0.0.1";
  item.Index = 2;
  new TPingThread(sink.Handle(), &item, 1, 2000, PingLinesOf(&output, &events));
  ASSERT_TRUE(sink.WaitFor(WM_PING_FINISHED, 1, 10000));

  ASSERT_EQ(output.Count(), 2) << testing::PrintToString(output.Items());
  int ms = -1, ttl = -1;
  ASSERT_EQ(sscanf(output[0].c_str(), "Reply from [127.0.0.1] bytes=32 time=%dms TTL=%d", &ms, &ttl), 2) << output[0];
  EXPECT_GE(ms, 0);
  // The kernel answers a loopback echo with its own default time to live.
  const std::string defaultTtl = LinuxFile("/proc/sys/net/ipv4/ip_default_ttl");
  ASSERT_FALSE(defaultTtl.empty()) << "the kernel's default TTL cannot be read through Z:";
  EXPECT_EQ(ttl, std::stoi(defaultTtl));
  EXPECT_EQ(sink.Of(WM_PING_FINISHED)[0].wParam, 2u);
}

}  // namespace
