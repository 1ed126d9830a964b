// The hidden TCP/IP/ARP monitor: eight text pages of the machine's IP state,
// refreshed on demand or by its timer.
#pragma once

#include "toolkit/Controls.h"

class TfrmTCPIPMonitor : public Form {
 public:
  TfrmTCPIPMonitor();

  void FormCreate();
  void RefreshPages();
  void cbTimerClick(Component* sender);
  void Timer1Timer(Component* sender);
  void SpeedButton1Click(Component* sender);

  PageControl* pgCtrlMain;
  TabSheet* DebugSheet;
  TabSheet* ConnSheet;
  TabSheet* UDPConnSheet;
  TabSheet* IP1Sheet;
  TabSheet* IP2Sheet;
  TabSheet* AdaptSheet;
  TabSheet* ARPSheet;
  TabSheet* StatisticsSheet;

  Memo* AdapterMemo;
  Memo* SelectedAdpMemo;
  Memo* TCPMemo;
  Memo* UDPMemo;
  Memo* IPAddrMemo;
  Memo* IPForwMemo;
  Memo* AdaptMemo;
  Memo* IfMemo;
  Memo* ARPMemo;
  Memo* NwMemo;
  Memo* TCPStatMemo;
  Memo* UDPStatsMemo;
  Memo* IPStatsMemo;
  Memo* ICMPInMemo;
  Memo* ICMPOutMemo;

  Panel* Panel1;
  FlatButton* SpeedButton1;
  CheckBox* cbTimer;
  CheckBox* ShowProgPath;
  CheckBox* ExtAdapApi;
  Timer* Timer1;

 private:
  void CreateComponents();
};

extern TfrmTCPIPMonitor* frmTCPIPMonitor;

// One block per interface of the interface table.
void ListInterfaceDetails(Lines* lines);
