#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "toolkit/Application.h"
#include "toolkit/Thread.h"

TEST(Application, GuardReportsAnEscapingErrorAndGoesOn) {
  std::vector<std::string> reports;
  Application.OnException = [&](const std::string& m) { reports.push_back(m); };
  Application.Guard([] { throw std::runtime_error("disk on fire"); });
  Application.Guard([] {});
  Application.OnException = nullptr;
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0], "disk on fire");
  EXPECT_EQ(ExceptionClassName(std::runtime_error("x")), "std::runtime_error");
}

namespace {

class SyncWorker : public Thread {
 public:
  explicit SyncWorker(std::vector<std::string>& log) : log_(log) { Start(); }
  ~SyncWorker() override { WaitFor(); }
  std::string error;

 protected:
  void Execute() override {
    for (int i = 0; i < 3; ++i) Synchronize([this, i] { log_.push_back("line " + std::to_string(i)); });
    try {
      Synchronize([] { throw std::runtime_error("append failed"); });
    } catch (const std::exception& e) {
      error = e.what();
    }
  }

 private:
  std::vector<std::string>& log_;  // not owned
};

}  // namespace

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItJoins) {
  std::vector<std::string> log;
  SyncWorker worker(log);
  worker.WaitFor();  // would deadlock if the join did not serve the hand-overs
  EXPECT_EQ(log, (std::vector<std::string>{"line 0", "line 1", "line 2"}));
  EXPECT_EQ(worker.error, "append failed") << "an error on the main thread reaches the worker";
}

TEST(Application, TimersTickUntilStoppedAndATickMayChangeTheTable) {
  const std::size_t before = Application.TimerCount();
  int steady = 0, once = 0, started = 0;
  bool stateAliveAfterItsStop = false;
  const UINT_PTR a = Application.StartTimer(10, [&] { ++steady; });
  // The tick's own state must outlive the stop of its timer inside it.
  bool stateAlive = true;
  std::shared_ptr<int> state(new int(0), [&](int* p) {
    stateAlive = false;
    delete p;
  });
  UINT_PTR b = 0, c = 0;
  b = Application.StartTimer(10, [&, state] {
    ++once;
    Application.StopTimer(b);
    stateAliveAfterItsStop = stateAlive;
    c = Application.StartTimer(10, [&] { ++started; });
  });
  state.reset();
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(Application.TimerCount(), before + 2);

  ASSERT_TRUE(Application.ProcessMessagesUntil([&] { return steady >= 3 && started >= 2; }, 5000));
  EXPECT_EQ(once, 1) << "a timer that stopped itself ticks no more";
  EXPECT_TRUE(stateAliveAfterItsStop);
  EXPECT_NE(c, a);
  EXPECT_NE(c, b) << "an id is not given out again";

  Application.StopTimer(a);
  Application.StopTimer(c);
  Application.StopTimer(c);  // stopping twice is harmless
  EXPECT_EQ(Application.TimerCount(), before);
  const int last = steady;
  Application.ProcessMessagesUntil([] { return false; }, 100);
  EXPECT_EQ(steady, last) << "a stopped timer ticks no more";
}

TEST(Application, ProcessMessagesUntilEndsWhenDoneOrAtItsTimeOut) {
  int ticks = 0;
  const UINT_PTR id = Application.StartTimer(10, [&] { ++ticks; });
  EXPECT_TRUE(Application.ProcessMessagesUntil([&] { return ticks >= 2; }, 5000)) << "messages are served meanwhile";
  Application.StopTimer(id);
  const DWORD start = GetTickCount();
  EXPECT_FALSE(Application.ProcessMessagesUntil([] { return false; }, 100));
  EXPECT_GE(GetTickCount() - start, 90u);
  bool asked = false;
  EXPECT_TRUE(Application.ProcessMessagesUntil(
      [&] {
        asked = true;
        return true;
      },
      0))
      << "done is asked before the time-out counts";
  EXPECT_TRUE(asked);
}
