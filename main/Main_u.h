// The main window: a frameless 800 x 600 skin with the tools panel, the
// automatic test panel, a sliding output panel and a small question panel.
#pragma once

#include <cstdint>
#include <memory>
#include <queue>
#include <string>

#include "findings/Diagnosis.h"
#include "findings/Watch.h"
#include "netdata/IPv6.h"
#include "toolkit/Controls.h"
#include "workers/PingThread_u.h"
#include "workers/Utils_u.h"

class TExecThread;
class TFindingView;
class TWatchView;
struct TProbeResults;
struct TWatchFeed;

// Posted to the main window when a test started from the command line ends.
const UINT WM_TEST_RUN_ENDED = WM_USER + 103;
// Posted by a check of the diagnosis when it is done; WParam the test's token.
const UINT WM_PROBE_DONE = WM_USER + 118;
// Posted by the watch's worker when it has handed over rounds, or ended.
const UINT WM_WATCH_ROUNDS = WM_USER + 119;

// A link's state in the skin's colours: working, warning, broken, unknown.
COLORREF StateColor(LinkState s);
// The watch's timeline into r: a strip per link, the time axis, the moment
// pointed at (-1: none) and the latest spells.
void PaintWatchTimeline(HDC dc, const RECT& r, const Watch& w, int64_t plannedMs, bool running, int64_t pointedMs);
// The moment under x (in r's coordinates) of that timeline; -1 off its strips.
int64_t WatchTimelineTimeAt(const RECT& r, const Watch& w, int64_t plannedMs, int x);

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
  // Reads the current adapter's IPv6 facts into CurrentIpv6 and the tool tips.
  void ReadIpv6Facts();
  bool AdapterInfoReady();
  void imgRefreshClick(Component* sender);
  // What Refresh reads of the machine: the adapter summary (the recorded
  // adapters, the current adapter, the ready flag) with the VPN indicator,
  // and the proxy indicator (raises when the setting cannot be read). Every
  // automatic test reads both afresh before it starts: the cable may have
  // come back, or the router changed, since the window opened.
  void ReadAdapterState();
  void ReadProxyIndicator();
  void ShowToolSummary();

  // Tools panel and output panel.
  // A command that changes the system gives the line its panel shows when
  // the user refuses it administrator rights; it then runs through the
  // elevation prompt where the program lacks them.
  void RunToolCommand(const std::string& command, bool isPing, const char* declinedLine = nullptr);
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

  // The report a customer hands to support: everything the window shows,
  // the stages' verdicts in words, the last tools command.
  std::string ReportText() const;
  // Ctrl+S: the report onto the desktop, and where it went in the status
  // line. Ctrl+C with nothing selected: the report onto the clipboard.
  void SaveReport();
  void CopyReport();
  // Writes the report to path ("" for a new file on the desktop); on
  // failure says so (a message box unless quiet) and returns false.
  bool WriteReport(const std::wstring& path, bool quiet);
  void ShowStatus(const std::string& text);

  // Run from the command line: start the automatic test once the window is
  // up, write its report, end with its verdict as the exit code.
  struct TTestRun {
    bool active = false;
    std::wstring reportPath;  // empty: the desktop
    std::string error;        // the command line was wrong: why (the program shows the usage and ends)
    std::wstring jsonPath;    // empty: no JSON file
    // A watch instead of the test: its length, interval and CSV file.
    bool watch = false;
    int64_t watchMs = 0;
    int intervalS = 5;
    bool intervalSet = false;
    std::wstring csvPath;
  };
  void StartTestRun(const TTestRun& run);

  // The watch (Main_u_watch.cpp): rounds of echoes, lookups and web
  // requests on a worker, fed into one record on this thread.
  bool StartWatch(int64_t durationMs, int intervalS);
  // Ends a running watch early; what was gathered stays.
  void StopWatch();
  bool WatchRunning() const { return WatchWorkerRunning; }
  void HandleWatchRounds();
  void StartWatchRun(const TTestRun& run);
  // Ends a watch from the command line: writes its files, sets the exit
  // code (3 when it did not finish or a file could not be written).
  void FinishWatchRun(bool closeWindow);
  bool WriteWatchCsv(const std::wstring& path);
  std::string WatchJsonText() const;
  std::vector<std::string> WatchReportLines() const;
  std::unique_ptr<Watch> WatchRecord;
  std::shared_ptr<TWatchFeed> WatchFeedShared;
  bool WatchWorkerRunning = false;
  TTestRun WatchRun;
  // The test panel's timeline, its button (F4) and the CSV button (F6).
  void CreateWatchView();
  void ShowWatchView(bool show);
  void btnWatchClick(Component* sender);
  void btnWatchCsvClick(Component* sender);
  bool HandleWatchKey(WORD key);
  // A tool that would disturb a running watch says so and does not run.
  bool WatchDisturbedBy(const std::string& what);
  TWatchView* WatchView = nullptr;
  FlatButton* btnWatch = nullptr;
  FlatButton* btnWatchCsv = nullptr;
  static const int64_t kPanelWatchMs = 60 * 60 * 1000;
  int64_t WatchPlannedMs = kPanelWatchMs;
  // Ends a run from the command line that has not finished (the window
  // closed, the session ending, the time bound passed, or a start refused):
  // the report is written all the same, saying why and which stage did not
  // finish, and the program ends with 3. Closes the window unless it is
  // already closing.
  void AbandonTestRun(const std::string& why, bool closeWindow);
  // 0 every stage passed, 1 a stage warned, 2 a stage failed.
  int TestVerdict() const;
  // Hands the recorded adapters' table to the monitor, where there is one.
  void ShowSelectedAdapters();

  // The diagnosis (Main_u_diagnosis.cpp): the checks that gather its
  // evidence while a test runs, and the finding shown when it ends.
  void StartEvidence();     // after stage 1: adapters, name servers, proxy
  void StartWebEvidence();  // with stage 6: the web request
  // Every way a test ends comes here: once the checks still running have
  // answered (or their time is up), the finding is made and shown.
  void EndTest();
  Evidence CollectEvidence() const;
  // What the report and the JSON speak from: a test without its finding yet
  // (running, or stopped before its end) is an unfinished one.
  Evidence ReportedEvidence() const;
  std::vector<std::string> DiagnosisReportLines() const;
  std::string DiagnosisJsonText() const;
  // Writes the diagnosis's JSON object to path; false (and the status line
  // says why) when it could not be written.
  bool WriteDiagnosisJson(const std::wstring& path);
  // The finding's repair (F2 on the test panel), then "test again".
  void btnFindingRepairClick(Component* sender);
  // Between the finding and the test log (F3, or a click on either).
  void btnFindingLogClick(Component* sender);
  void ShowFindingView(bool show);
  bool HandleFindingKey(WORD key);

  Finding TestFinding;
  bool RepairRan = false;  // the finding's repair ran: its button now tests again
  Control* FindingView = nullptr;  // the picture of the path and the finding
  FlatButton* btnFindingRepair = nullptr;
  FlatButton* btnFindingLog = nullptr;

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

  // Components (owned by the form). Each is declared here and placed, with
  // its picture and handlers, by its row of the window's layout table.
  Panel* pnlHeader = nullptr;
  Picture* imgHeader = nullptr;
  FlatButton* btnMinimize = nullptr;
  FlatButton* btnExit = nullptr;

  Panel* pnlMain = nullptr;
  Picture* imgBackground = nullptr;
  Picture* imgSuccess = nullptr;
  Picture* imgUtilHover = nullptr;
  Picture* imgAutoHover = nullptr;
  FlatButton* btnNetUtil = nullptr;
  FlatButton* btnAuto = nullptr;
  Picture* imgRefresh = nullptr;
  Picture* imgRefHover = nullptr;
  Picture* imgHelp = nullptr;
  Picture* imgHelpHover = nullptr;
  Picture* imgVelnorSite = nullptr;
  Panel* pnlUtil = nullptr;
  Panel* pnlAuto = nullptr;

  Picture* imgUtilBack = nullptr;
  FlatButton* btnIpAddr = nullptr;
  FlatButton* btnMacAddr = nullptr;
  FlatButton* btnDnsSrv = nullptr;
  FlatButton* btnDefGw = nullptr;
  Label* lblResult = nullptr;
  FlatButton* btnNetConn = nullptr;
  FlatButton* btnInetOpt = nullptr;
  Picture* imgFWOff = nullptr;
  Picture* imgFWDisable = nullptr;
  FlatButton* btnFirewall = nullptr;
  FlatButton* btnIpConf = nullptr;
  FlatButton* btnFlashDNS = nullptr;
  FlatButton* btnRepair = nullptr;
  FlatButton* btnPingGateway = nullptr;
  FlatButton* btnPingVelnor = nullptr;
  FlatButton* btnPingTehran = nullptr;
  FlatButton* btnPingBackbone = nullptr;
  FlatButton* btnTracert = nullptr;
  FlatButton* btnPingGoogle = nullptr;
  FlatButton* btnBrowseGW = nullptr;
  FlatButton* btnBrowseVelnor = nullptr;
  FlatButton* btnBrowseGoogle = nullptr;
  Picture* imgToolWarn = nullptr;
  Picture* imgToolFail = nullptr;
  Picture* imgWarnIncomplete = nullptr;
  Picture* imgFailGetData = nullptr;
  Picture* imgToolSucceed = nullptr;
  Label* lblPercent = nullptr;
  Label* lblAverage = nullptr;
  Picture* imgLoadingTools = nullptr;
  Picture* imgVPN = nullptr;
  Picture* imgProxy = nullptr;
  Panel* pnlOutput = nullptr;

  Picture* imgCascade = nullptr;
  Picture* imgKnob = nullptr;
  Memo* memToolsOutput = nullptr;

  Picture* imgAutoBack = nullptr;
  Memo* memOutput = nullptr;
  Picture* imgTesting = nullptr;
  Picture* imgLoading = nullptr;
  Picture* imgStart = nullptr;
  FlatButton* btnStartAutoTest = nullptr;
  // The stage rows: success marks, failure strips, the two warning strips.
  Picture *Image1 = nullptr, *Image2 = nullptr, *Image3 = nullptr, *Image4 = nullptr, *Image5 = nullptr,
          *Image6 = nullptr, *Image7 = nullptr;
  Picture *imgFail01 = nullptr, *imgFail02 = nullptr, *imgFail03 = nullptr, *imgFail04 = nullptr, *imgFail05 = nullptr,
          *imgFail06 = nullptr, *imgFail07 = nullptr;
  Picture* imgWarn04 = nullptr;
  Picture* imgWarn05 = nullptr;
  ListBox* lstEvents = nullptr;

  Panel* pnlConfirm = nullptr;
  Picture* imgConfirm = nullptr;
  FlatButton* btnNo = nullptr;
  FlatButton* btnYes = nullptr;

  Label* lblStatus = nullptr;  // the status line under the panels
  Timer* TimerCascade = nullptr;

  // The window's working state.
  uint8_t PanelMode = 0;  // 0 help view, 1 tools panel, 2 automatic test panel
  bool DragActive = false;
  POINT DragStart{};
  bool ConfirmDragActive = false;
  POINT ConfirmDragStart{};

  std::queue<TPingItem*> PingQueue;  // references into PingItems
  TPingItem PingItems[4];
  bool TestStopped = false;
  bool TestBusy = false;  // an automatic test runs
  StringList WorkList;

  TLANInfo AdapterSlots[5];  // entries 1 to 4 are used
  TLANInfo CurrentAdapter;
  TIp6Facts CurrentIpv6;  // the current adapter's IPv6 facts, read with the adapter summary
  bool AdapterInfoOK = false;
  bool CurrentAdapterChosen = false;  // the last summary chose CurrentAdapter (it has a usable gateway)

  enum class TStageResult { NotRun, Passed, Warning, Failed };
  TStageResult StageResults[8] = {};  // by stage number, 1 to 7
  bool TestHasRun = false;
  StringList AdapterTable;  // the summary's lines of the recorded adapters
  std::string AdapterReadError;  // why the last summary could not read the adapters; empty when it could
  std::string LastToolCommand;
  TTestRun TestRun;
  // How long a run from the command line may take, start to report.
  DWORD TestRunLimitMs = kTestRunLimitMs;
  static const DWORD kTestRunLimitMs = 120000;
  UINT_PTR TestRunTimer = 0;  // the run's time bound while it runs
  int UnfinishedStage = 0;    // the stage the last test did not finish, if it was abandoned
  std::string TestUnfinished;  // why the last test did not finish; empty when it did
  // What the checks of the running (or last) test found; shared with the
  // workers that fill it.
  std::shared_ptr<TProbeResults> Probes;
  std::shared_ptr<TPingResults> PingResults[8];  // by stage number
  int ProbesPending = 0;
  bool EndPending = false;  // the test is over, its checks are not
  UINT_PTR ProbeGuardTimer = 0;

  TExecThread* CurrentExecThread = nullptr;  // owned while set
  bool OutputPanelOpen = false;
  int FirewallOff = 0;
  bool FirewallAllowed = false;
  bool FirewallSwitchPending = false;  // the running command is a firewall switch

 private:
  void CreateComponents();
  // The seven stages, from the local configuration outwards. A ping stage (2
  // to 5) has a target; its worker's verdict marks it, and a warning shows the
  // stage's warning strip where it has one and leaves the row as it is where
  // it has none. Every failure shows the failure strip and ends the test.
  struct Stage {
    int number;
    const char* name;  // as the report names it
    Picture* TfrmMain::*mark;
    Picture* TfrmMain::*failStrip;
    Picture* TfrmMain::*warnStrip;                // null: a warning shows nothing
    std::string (*target)(const TfrmMain& form);  // null: not a ping stage
  };
  static const Stage& StageOf(int number);
  void WarnStage(int number);
  void FinishTestRun(bool closeWindow = true);
  void MarkStage(int number);
  void FailStage(int number);
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
  void FinishFirewallSwitch(DWORD exitCode, bool declined);
  // AdapterInfoReady, and the current adapter has a gateway to use.
  bool CurrentGatewayReady();
  void HandleExecFinished(WPARAM isPing);
  void HandleProbeDone(WPARAM token);
  void FinishDiagnosis();
  void CreateFindingView();
  bool ListStage(const char* banner, const char* progress, const char* success, const char* failure,
                 bool (*fill)(Lines*));
};

extern TfrmMain* frmMain;

// "/test [/report FILE]" from the program's arguments (without its own
// name); quotes group a path with blanks, switches are read in any case.
// An unknown switch, a switch without its value (nothing, or another
// switch, after it) or /report without /test sets error.
TfrmMain::TTestRun ParseTestRun(const std::wstring& arguments);
// The arguments of a whole command line: without the program's own name.
std::wstring ArgumentsOf(const std::wstring& commandLine);
// What the switches are and do, for a wrong command line.
std::string UsageText();

// An address text without the blanks of its padded form ("10. 77.  0.  1"
// becomes "10.77.0.1"), as it can be pinged or opened.
std::string PlainAddress(const std::string& text);
// The IPv6 facts of an adapter as the report and the tool tips say them:
// "fd00:77::2" or "none", "via fe80::1%3" or "none", or the system's text
// when the adapters could not be read.
std::string Ip6AddressFact(const TIp6Facts& facts);
std::string Ip6RouteFact(const TIp6Facts& facts);
// A gateway that names a router: neither empty nor 0.0.0.0, padded or not.
bool UsableGateway(const std::string& gateway);
