// The main window: a frameless 800 x 600 skin with the tools panel, the
// automatic test panel, a sliding output panel and a small question panel.
#pragma once

#include <cstdint>
#include <queue>
#include <string>

#include "toolkit/Controls.h"
#include "workers/PingThread_u.h"
#include "workers/Utils_u.h"

class TExecThread;

class TfrmMain : public Form {
 public:
  TfrmMain();
  ~TfrmMain() override;

  // Window shell, keyboard and closing.
  void FormCreate();
  void FormShow(Component* sender);
  void FormKeyDown(WORD& key, TShiftState shift);
  void FormMouseDown(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormMouseMove(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void FormMouseUp(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgConfirmMouseDown(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgConfirmMouseMove(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgConfirmMouseUp(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgRefreshMouseMove(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgHelpMouseMove(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void imgBackgroundMouseMove(Component* sender, TMouseButton button, TShiftState shift, int x, int y);
  void btnAutoClick(Component* sender);
  void btnNetUtilClick(Component* sender);
  void imgHelpClick(Component* sender);
  void btnMinimizeClick(Component* sender);
  void btnExitClick(Component* sender);
  void btnNoClick(Component* sender);
  void FormCloseQuery(bool& canClose);
  void FormClose(Component* sender);
  void btnShakeClick(Component* sender);
  void ShakeWindow();

  // Automatic test.
  void btnStartAutoTestClick(Component* sender);
  bool PrepareTest(uint8_t mode);
  void SetTestBusy(bool busy);
  bool BuildPingQueue();
  bool ShellOpen(const std::string& address);
  static std::string ShellErrorText(int code);
  void AddLog(const std::string& text, bool toTestLog);

  // Readings of the local configuration.
  bool ListAdapters();
  bool ListIpAddresses();
  bool ListNetworkParams();
  bool CheckInternetState();
  bool ReadAdapterSummary();
  bool AdapterInfoReady();
  void imgRefreshClick(Component* sender);
  void ShowToolSummary();

  // Tools panel and output panel.
  void RunToolCommand(const std::string& command, bool isPing);
  void ShowResult(const std::string& text);
  void btnNetConnClick(Component* sender);
  void btnInetOptClick(Component* sender);
  void btnFirewallClick(Component* sender);
  void btnIpConfClick(Component* sender);
  void btnFlashDNSClick(Component* sender);
  void btnRepairClick(Component* sender);
  void btnPingGatewayClick(Component* sender);
  void btnPingVelnorClick(Component* sender);
  void btnPingTehranClick(Component* sender);
  void btnPingBackboneClick(Component* sender);
  void btnTracertClick(Component* sender);
  void btnPingGoogleClick(Component* sender);
  void btnBrowseGWClick(Component* sender);
  void btnBrowseVelnorClick(Component* sender);
  void btnBrowseGoogleClick(Component* sender);
  void btnIpAddrClick(Component* sender);
  void btnMacAddrClick(Component* sender);
  void btnDnsSrvClick(Component* sender);
  void btnDefGwClick(Component* sender);
  void imgProxyClick(Component* sender);
  void btnYesClick(Component* sender);
  void TimerCascadeTimer(Component* sender);
  void pnlOutputClick(Component* sender);
  void imgUtilBackClick(Component* sender);

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  // Components (owned by the form).
  Panel* pnlHeader;
  Picture* imgHeader;
  FlatButton* btnMinimize;
  FlatButton* btnExit;

  Panel* pnlMain;
  Picture* imgBackground;
  Picture* imgSuccess;
  Picture* imgUtilHover;
  Picture* imgAutoHover;
  FlatButton* btnNetUtil;
  FlatButton* btnAuto;
  Picture* imgRefresh;
  Picture* imgRefHover;
  Picture* imgHelp;
  Picture* imgHelpHover;
  Picture* imgVelnorSite;
  Panel* pnlUtil;
  Panel* pnlAuto;

  Picture* imgUtilBack;
  FlatButton* btnIpAddr;
  FlatButton* btnMacAddr;
  FlatButton* btnDnsSrv;
  FlatButton* btnDefGw;
  Label* lblResult;
  FlatButton* btnNetConn;
  FlatButton* btnInetOpt;
  Picture* imgFWOff;
  Picture* imgFWDisable;
  FlatButton* btnFirewall;
  FlatButton* btnIpConf;
  FlatButton* btnFlashDNS;
  FlatButton* btnRepair;
  FlatButton* btnPingGateway;
  FlatButton* btnPingVelnor;
  FlatButton* btnPingTehran;
  FlatButton* btnPingBackbone;
  FlatButton* btnTracert;
  FlatButton* btnPingGoogle;
  FlatButton* btnBrowseGW;
  FlatButton* btnBrowseVelnor;
  FlatButton* btnBrowseGoogle;
  Picture* imgToolWarn;
  Picture* imgToolFail;
  Picture* imgWarnIncomplete;
  Picture* imgFailGetData;
  Picture* imgToolSucceed;
  Label* lblPercent;
  Label* lblAverage;
  Picture* imgLoadingTools;
  Picture* imgVPN;
  Picture* imgProxy;
  Panel* pnlOutput;

  Picture* imgCascade;
  Picture* imgKnob;
  Memo* memToolsOutput;

  Picture* imgAutoBack;
  Memo* memOutput;
  Picture* imgTesting;
  Picture* imgLoading;
  Picture* imgStart;
  FlatButton* btnStartAutoTest;
  Picture* imgWarn04;
  Picture* imgWarn05;
  ListBox* lstEvents;

  Panel* pnlConfirm;
  Picture* imgConfirm;
  FlatButton* btnNo;
  FlatButton* btnYes;

  Timer* TimerCascade;

 private:
  void CreateComponents();
  void BindHandlers();
  // A stage picture by composed name ("Image3", "imgFail05", "imgWarn04").
  Picture* StagePicture(const char* prefix, int stage) const;
  void HandlePingFinished(WPARAM verdict, LPARAM index);
  // Ends the running test at a ping stage that failed (or could not start).
  void StopTestAtStage(LPARAM index);
  // The refresh picture is busy while a test or a command runs, for
  // whichever of the two ends last.
  void UpdateRefreshBusy();
  // The gateway stage 2 pings: the first recorded adapter's, else that of
  // the adapter the summary chose; empty when no adapter has a usable one.
  std::string StageTwoGateway() const;
  // Applies a finished firewall command: the switch flips only on success.
  void FinishFirewallSwitch(DWORD exitCode);
  // AdapterInfoReady, and the current adapter has a gateway to use.
  bool CurrentGatewayReady();
  void HandleExecFinished(WPARAM isPing);
  void ListStage(const char* banner, const char* progress, const char* success, const char* failure,
                 bool (*fill)(Lines*), bool& result);
};

extern TfrmMain* frmMain;

// An address text without the blanks of its padded form ("10. 77.  0.  1"
// becomes "10.77.0.1"), as it can be pinged or opened.
std::string PlainAddress(const std::string& text);
// A gateway that names a router: neither empty nor 0.0.0.0, padded or not.
bool UsableGateway(const std::string& gateway);

// The main window's working state, kept at module level as the window's own
// routines share it.
namespace mainstate {
extern uint8_t PanelMode;  // 0 help view, 1 tools panel, 2 automatic test panel
extern bool DragActive;
extern POINT DragStart;
extern bool ConfirmDragActive;
extern POINT ConfirmDragStart;

extern std::queue<TPingItem*>* PingQueue;  // owned; references into PingItems
extern TPingItem PingItems[4];
extern bool TestStopped;
extern StringList* WorkList;  // owned

extern TLANInfo AdapterSlots[5];  // entries 1 to 4 are used
extern TLANInfo CurrentAdapter;
extern bool AdapterInfoOK;
extern bool CurrentAdapterChosen;  // the last summary chose CurrentAdapter (it has a usable gateway)
extern bool TestBusy;              // an automatic test runs

extern TExecThread* CurrentExecThread;  // owned while set
extern bool OutputPanelOpen;
extern int FirewallOff;
extern bool FirewallAllowed;
extern bool FirewallSwitchPending;  // the running command is a firewall switch
}  // namespace mainstate
