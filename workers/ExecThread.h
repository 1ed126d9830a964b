// Runs one console command on a thread of its own and hands its captured
// output, framed by a banner and closing lines, to a list of lines on the
// main thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "text/Lines.h"
#include "toolkit/Thread.h"
#include "workers/Utils_u.h"
#include "workers/WorkerLines.h"

// Posted to the main window once per run. WParam: -1 after a ping command,
// else 0. LParam: 0.
const UINT WM_EXEC_FINISHED = WM_USER + 101;

// A command that changes the system (a lease renewal, the firewall) and
// so runs through the system's elevation prompt where the program lacks
// administrator rights.
struct TElevation {
  HWND owner = nullptr;      // the prompt's owner window
  std::string declinedLine;  // said in the output when the user refuses
};

class TExecThread : public Thread {
 public:
  // Starts at once. workDir is used when it names an existing directory,
  // otherwise the process's current directory at this moment. The creator
  // keeps the object and deletes it after WM_EXEC_FINISHED (deleting a
  // running worker waits for the command to end).
  TExecThread(const std::string& command, Lines* output, uint16_t waitSeconds, const std::string& workDir, bool isPing,
              std::optional<TElevation> elevation = std::nullopt);
  ~TExecThread() override;

  const std::string& WorkDir() const { return WorkDir_; }
  // The command interpreter's exit code once the run has ended; STILL_ACTIVE
  // when the command did not start or had not ended within the wait.
  DWORD ExitCode() const { return ExitCode_; }
  // The user refused the elevation prompt: the command did not run.
  bool Declined() const { return Declined_; }
  // Ends the command and everything it started now (the program is
  // closing); the run then finishes as usual. Any thread.
  void Abort() { Abort_.Request(); }

 protected:
  void Execute() override;

 private:
  // Appends on the main thread and waits until it is done; the output keeps
  // its newest 500 lines.
  void AddLine(const std::string& text) { HandLine(Output_, text); }

  std::string WorkDir_;
  std::string Command_;
  TLineTarget Output_;
  uint16_t WaitSeconds_;
  bool IsPing_;
  std::optional<TElevation> Elevation_;
  std::atomic<DWORD> ExitCode_{STILL_ACTIVE};  // written by the worker, read after its message
  std::atomic<bool> Declined_{false};
  CommandAbort Abort_;
};
