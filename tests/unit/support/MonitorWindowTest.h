// The one fixture of the monitor window: the real TfrmTCPIPMonitor that
// the main window's fixture opens, its options cleared before and after
// each test, refreshed on its worker on demand.
#pragma once

#include "support/MainWindowTest.h"

class MonitorTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    Open();
    mon = frmTCPIPMonitor;
    for (CheckBox* cb : {mon->cbTimer, mon->ShowProgPath, mon->ExtAdapApi}) cb->SetChecked(false);
  }
  void TearDown() override {
    ASSERT_TRUE(mon->WaitForRefresh(30000));
    mon->HideForm();
    for (CheckBox* cb : {mon->cbTimer, mon->ShowProgPath, mon->ExtAdapApi}) cb->SetChecked(false);
    MainWindowTest::TearDown();
  }
  void Refresh() {
    mon->RefreshPages();
    ASSERT_TRUE(mon->WaitForRefresh(30000));
  }
  TfrmTCPIPMonitor* mon = nullptr;
};
