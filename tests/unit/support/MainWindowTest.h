// The one fixture of the real main window: a fresh TfrmMain per test on
// the fake machine (adapters, echo and names, shell, registry, commands),
// with the monitor window it hands its adapters to. A test sets up the
// machine, then opens the window.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "main/Main_u.h"
#include "netdata/IPHelper.h"
#include "monitor/uTCPIP.h"
#include "support/FakeMachine.h"
#include "toolkit/Application.h"
#include "workers/Probes.h"

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Creates and shows the real window on the fake world.
  void Open();
  // Serves messages until the automatic test is idle again.
  bool RunUntilIdle(DWORD timeoutMs = 30000);
  std::vector<std::string> Events() const;
  std::vector<std::string> Output() const;
  bool Marked(int stage) const;
  bool Shown(const std::string& name) const;

  TfrmMain* form = nullptr;

 private:
  std::unique_ptr<ScopedFakeMachine> machine_;
};

// Header only: only the test programs of the windows build it.
inline void MainWindowTest::SetUp() {
  Application.OnException = [](const std::string& message) { ADD_FAILURE() << "error report: " << message; };
  UseExtAdapterApi = false;
  machine_ = std::make_unique<ScopedFakeMachine>(ScopedFakeMachine::kAdapters | ScopedFakeMachine::kEcho |
                                                 ScopedFakeMachine::kSleep | ScopedFakeMachine::kWorld);
}

inline void MainWindowTest::TearDown() {
  // A monitor refresh reads the fakes on its worker until it is done.
  if (frmTCPIPMonitor) {
    EXPECT_TRUE(frmTCPIPMonitor->WaitForRefresh(30000));
  }
  if (form) {
    RunUntilIdle(5000);
    delete form;
    frmMain = form = nullptr;
  }
  // Probes and a refresh started meanwhile read the fakes until they end.
  Application.ProcessMessagesUntil([] { return TProbeThread::Running() == 0; }, 30000);
  if (frmTCPIPMonitor) {
    EXPECT_TRUE(frmTCPIPMonitor->WaitForRefresh(30000));
  }
  machine_.reset();
  Application.OnException = nullptr;
}

inline void MainWindowTest::Open() {
  machine.BuildFromAdapters();
  frmMain = form = new TfrmMain();
  if (!frmTCPIPMonitor) frmTCPIPMonitor = new TfrmTCPIPMonitor();
  form->ShowForm();
  Application.ProcessMessages();
}

inline bool MainWindowTest::RunUntilIdle(DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    Application.ProcessMessages();
    MSG m;
    const bool pending = PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
    if (!pending && form->btnStartAutoTest->Enabled() && form->PingQueue.empty() && form->imgRefresh->Tag != 2) {
      // A worker may still be about to post its message: look once more.
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) return true;
    }
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

inline std::vector<std::string> MainWindowTest::Events() const { return LinesOf(form->lstEvents->GetLines()); }
inline std::vector<std::string> MainWindowTest::Output() const { return LinesOf(form->memOutput->GetLines()); }

inline bool MainWindowTest::Marked(int stage) const {
  return form->Find<Picture>("Image" + std::to_string(stage))->GetPicture() == form->imgSuccess->GetPicture() &&
         form->imgSuccess->HasPicture();
}

inline bool MainWindowTest::Shown(const std::string& name) const { return form->Find<Control>(name)->Visible(); }
