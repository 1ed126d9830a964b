// A fresh real main window per test, shown as the program shows it, with
// the monitor window it writes into.
#pragma once

#include <gtest/gtest.h>

#include "main/Main_u.h"
#include "monitor/uTCPIP.h"
#include "toolkit/Application.h"

class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Application.OnException = [](const std::string& message) { ADD_FAILURE() << "error report: " << message; };
    frmMain = form = new TfrmMain();
    if (!frmTCPIPMonitor) frmTCPIPMonitor = new TfrmTCPIPMonitor();
    form->ShowForm();
    Application.ProcessMessages();
  }
  void TearDown() override {
    // The monitor's first refresh runs when a test first shows it.
    if (frmTCPIPMonitor) {
      EXPECT_TRUE(frmTCPIPMonitor->WaitForRefresh(30000));
    }
    Application.ProcessMessages();
    delete form;
    frmMain = nullptr;
    Application.OnException = nullptr;
  }

  TfrmMain* form = nullptr;
};
