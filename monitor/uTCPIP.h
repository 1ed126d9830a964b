// The hidden TCP/IP/ARP monitor: eight text pages of the machine's IP state,
// refreshed on demand or by its timer.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "toolkit/Controls.h"

class TfrmTCPIPMonitor : public Form {
 public:
  TfrmTCPIPMonitor();
  ~TfrmTCPIPMonitor() override;

  void FormCreate();
  // Stores the two report options and refills every page. The tables are
  // read and the pages written on a worker thread, so the window answers
  // throughout; the pages come back into the memos a little later (see
  // Refreshing). Called while a refresh runs, it runs another one after it.
  void RefreshPages();
  void cbTimerClick(Component* sender);
  void Timer1Timer(Component* sender);
  void SpeedButton1Click(Component* sender);

  // A refresh is reading the tables or putting its pages into the memos.
  bool Refreshing() const;
  // Serves messages until no refresh runs, or until timeoutMs has passed
  // (false then). Tests and the benchmark wait with it.
  bool WaitForRefresh(DWORD timeoutMs = INFINITE);

  // The main window's table of the adapters it recorded, for the debug page.
  void ShowSelectedAdapters(const Lines& lines);
  // Every page under its caption, headings and memos in reading order, as
  // one text (CR LF); Ctrl+S saves it on the desktop beside the main
  // window's report.
  std::string PagesText() const;
  void SavePages();

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

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
  Label* lblSaved;  // where the pages were saved

  // Puts the pages into the memos a piece at a time (see Memo::BeginReplace).
  Timer* PageTimer;

 private:
  class RefreshWorker;

  void CreateComponents();
  void StartRefresh();
  void PagesRead();
  void ContinuePages();
  void FinishRefresh();
  void Shown(bool shown);
  void UpdateTimer();

  std::unique_ptr<RefreshWorker> worker_;  // owned; the refresh reading the tables
  bool ipHelperBound_ = false;             // the library was there when the window was made
  bool shown_ = false;
  bool everShown_ = false;
  bool puttingPages_ = false;  // the last refresh's pages are still going into the memos
  bool timerPaused_ = false;   // for the length of a timer refresh
  bool buttonWaits_ = false;   // Force Update stays off until its refresh is done
  bool again_ = false;         // a refresh was asked for while one ran
  std::string failure_;        // what a report raised, shown when the refresh is done
  std::string reportedFailure_;  // the failure last reported, until a refresh succeeds
  bool reporting_ = false;       // its report is on the screen
  // By report: what the pages that keep their last good lines on a failure
  // showed last time their report succeeded (at first: their design texts).
  std::vector<std::vector<std::string>> goodLines_;
  // By report: the lines (memo, second memo) it put after an earlier
  // report's in the memo they share, at the last refresh.
  std::vector<std::pair<std::size_t, std::size_t>> putLines_;
};

extern TfrmTCPIPMonitor* frmTCPIPMonitor;

// One block per interface of the interface table. True when the lines show
// fresh details; a failure adds its error to the lines as they were.
bool ListInterfaceDetails(Lines* lines);
