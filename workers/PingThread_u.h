// Pings one entry of the automatic test's queue on a thread of its own,
// logs replies and failures into the main window's lists and posts its
// verdict back.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "text/Lines.h"
#include "toolkit/Thread.h"
#include "workers/WorkerLines.h"

// Posted to the notify window exactly once per run, also after an error.
// WParam: the verdict, 0 failure, 1 warning, 2 success. LParam: the entry's
// Index.
const UINT WM_PING_FINISHED = WM_USER + 102;

// What one target of an entry gave: echoes tried and answered, the times of
// the answers, and the last failure in the worker's words.
struct TPingTargetResult {
  std::string Target;
  int Sent = 0;
  int Replies = 0;
  int AverageMs = -1;  // mean of the replies; -1 without one
  int MaxMs = -1;
  bool NameFailed = false;  // the name did not resolve
  std::string LastError;
};
using TPingResults = std::vector<TPingTargetResult>;

// One queue entry: a host name or dotted IPv4 address, or several joined by
// "|" (all of them are pinged), and the stage number sent back.
struct TPingItem {
  std::string Target;
  uint8_t Index = 0;
  // Where the worker leaves each target's result, all of them before it
  // posts its message; shared, so a window gone before the worker ends
  // leaves it nothing dangling. Null: not kept.
  std::shared_ptr<TPingResults> Results;
};

// Where a ping worker writes: its running log (capped like an output memo)
// and the event list (no cap).
struct TPingLines {
  TLineTarget output;
  TLineTarget events;
};

// The main window's log memo and event list as ping lines.
inline TPingLines PingLinesOf(Lines* output, Lines* events) { return {{output, kOutputCap}, {events, 0}}; }

class TPingThread : public Thread {
 public:
  // Copies the entry and starts at once. The object deletes itself when its
  // run has ended: keep no pointer to it. Throws when no thread can be
  // started (nothing is posted then).
  TPingThread(HWND notifyWindow, const TPingItem* item, int echoCount, int timeoutMs, const TPingLines& lines);

 protected:
  // Only the thread itself deletes the object.
  ~TPingThread() override = default;
  void Execute() override;

 private:
  struct TPingResult {
    uint8_t Percent = 0;
    uint16_t AverageMs = 0;
  };

  TPingResult PingTarget(const std::string& target);
  // Number of replies of one echo; sets LastStatus, LastTtl, ResolveFailed.
  DWORD EchoOnce(const std::string& target, int timeoutMs);
  // The first IPv4 address of the name, as the name service gives it.
  bool ResolveTarget(const std::string& target, ULONG& address);
  bool StopRequested() const;
  void AddOutputLine(const std::string& text) { HandLine(Lines_.output, text); }
  void AddEventLine(const std::string& text) { HandLine(Lines_.events, text); }

  std::string Target;
  std::vector<std::string> TargetList;
  int EchoCount;
  int TimeoutMs;
  HWND NotifyWindow;
  uint8_t ItemIndex;
  DWORD LastStatus = 0;
  UCHAR LastTtl = 0;  // time-to-live of the last echo reply
  bool ResolveFailed = false;
  bool IsList = false;
  TPingLines Lines_;
  std::shared_ptr<TPingResults> Results;
};
