// The watch: a worker that runs rounds paced by a clock that only goes
// forward (one echo each to the gateway, the provider's server and one of
// the backbones in turn; a name lookup every fifth round; the web request at
// the start, every five minutes and at the end) and hands each round to the
// window, which keeps them in one record and writes its files.
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "Endpoints.h"
#include "netdata/IPHelper.h"
#include "text/Format.h"
#include "toolkit/Application.h"
#include "main/Main_u.h"
#include "platform/Sys.h"
#include "toolkit/Graphics.h"
#include "workers/Probes.h"

// What the worker hands to the window: rounds not yet taken, and whether it
// has ended. Shared, so a window gone first leaves the worker nothing
// dangling.
struct TWatchFeed {
  std::mutex lock;
  std::vector<WatchRound> rounds;
  bool ended = false;
  bool finished = false;  // ran its whole length
  std::atomic<bool> stop{false};  // the window asks the worker to end
};

namespace {

const int64_t kWebEveryMs = 5 * 60 * 1000;
const int kWebWaitMs = 5000;
const int kNameEveryRounds = 5;

int64_t WallNowMs() {
  FILETIME ft;
  GetSystemTimeAsFileTime(&ft);
  const int64_t t = (static_cast<int64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return t / 10000 - 11644473600000LL;
}

int UtcOffsetMinutes() {
  TIME_ZONE_INFORMATION tz{};
  const DWORD kind = GetTimeZoneInformation(&tz);
  LONG bias = tz.Bias;
  if (kind == TIME_ZONE_ID_DAYLIGHT) bias += tz.DaylightBias;
  else if (kind == TIME_ZONE_ID_STANDARD) bias += tz.StandardBias;
  return -static_cast<int>(bias);
}

int64_t MonoNowMs() { return static_cast<int64_t>(Sys.GetTickCount64()); }

// The time the computer has slept since it started: the clock that counts
// sleep less the one that does not (0 where the system has no such clock).
int64_t SleptSoFarMs() {
  ULONGLONG unbiased = 0;
  if (!Sys.QueryUnbiasedInterruptTime || !Sys.QueryUnbiasedInterruptTime(&unbiased)) return 0;
  return MonoNowMs() - static_cast<int64_t>(unbiased / 10000);
}

SampleStatus EchoStatus(DWORD status) {
  switch (status) {
    case IP_SUCCESS: return SampleStatus::Ok;
    case IP_REQ_TIMED_OUT: return SampleStatus::TimedOut;
    case IP_DEST_HOST_UNREACHABLE: return SampleStatus::HostUnreachable;
    case IP_DEST_NET_UNREACHABLE: return SampleStatus::NetUnreachable;
    case IP_DEST_PROT_UNREACHABLE:
    case IP_DEST_PORT_UNREACHABLE: return SampleStatus::PortUnreachable;
    case IP_TTL_EXPIRED_TRANSIT:
    case IP_TTL_EXPIRED_REASSEM: return SampleStatus::TtlExpired;
    case ERROR_NETWORK_UNREACHABLE:
    case ERROR_HOST_UNREACHABLE:
    case IP_NO_RESOURCES: return SampleStatus::NoRoute;
    default: return SampleStatus::OtherError;
  }
}

struct TWatchPlan {
  std::string gateway, provider, backbones[2], nameServer, name, webUrl;
  int intervalS = 5;
  int64_t durationMs = 0;
};

class TWatchThread : public Thread {
 public:
  TWatchThread(HWND window, TWatchPlan plan, std::shared_ptr<TWatchFeed> feed)
      : Window(window), Plan(std::move(plan)), Feed(std::move(feed)) {
    SetFreeOnTerminate(true);
    Start();
  }

 protected:
  ~TWatchThread() override = default;

  void Execute() override {
    const int64_t intervalMs = Plan.intervalS * 1000LL;
    // An echo's answer is awaited for most of a round, never longer.
    const int echoWaitMs = static_cast<int>(std::min<int64_t>(2000, std::max<int64_t>(500, intervalMs - 200)));
    const int64_t start = MonoNowMs();
    int64_t nextAt = start, lastWeb = -1, sleptBefore = SleptSoFarMs();
    bool finished = false;
    for (uint32_t round = 0; !Stopped(); ++round) {
      // Waits in short steps, so a stop is taken at once.
      while (!Stopped() && MonoNowMs() < nextAt) Sys.Sleep(static_cast<DWORD>(std::min<int64_t>(50, nextAt - MonoNowMs())));
      if (Stopped()) break;
      const int64_t now = MonoNowMs();
      const bool last = now - start >= Plan.durationMs;
      WatchRound r;
      r.wallMs = WallNowMs();
      r.monoMs = now;
      const bool web = lastWeb < 0 || last || now - lastWeb >= kWebEveryMs;
      if (web) lastWeb = now;
      std::vector<ProbeResult> results(3);
      const std::string targets[3] = {Plan.gateway, Plan.provider, Plan.backbones[round % 2]};
      const PathLink links[3] = {PathLink::Router, PathLink::Provider, PathLink::Internet};
      std::vector<std::thread> jobs;
      for (int i = 0; i < 3; ++i) {
        results[i].link = links[i];
        results[i].target = targets[i];
        jobs.emplace_back([&results, i, echoWaitMs] {
          if (results[i].target.empty()) {
            results[i].status = SampleStatus::NoRoute;
            return;
          }
          const TEchoProbe probe = EchoOnce(results[i].target, echoWaitMs);
          results[i].status = EchoStatus(probe.status);
          results[i].ms = probe.ms;
        });
      }
      ProbeResult names, page;
      const bool askName = round % kNameEveryRounds == 0;
      if (askName) {
        names.link = PathLink::Names;
        names.target = Plan.name;
        jobs.emplace_back([this, &names, echoWaitMs] {
          int ms = -1;
          const bool ok = !Plan.nameServer.empty() && NameServerAnswers(Plan.nameServer, Plan.name, echoWaitMs, ms);
          names.status = ok ? SampleStatus::Ok : SampleStatus::LookupFailed;
          names.ms = ok ? ms : -1;
        });
      }
      if (web) {
        page.link = PathLink::Web;
        page.target = Plan.webUrl;
        jobs.emplace_back([this, &page] {
          const TWebProbe probe = ProbeWebPage(Plan.webUrl, kWebWaitMs);
          const bool sameHost = probe.finalUrl.empty() || UrlHost(probe.finalUrl) == UrlHost(Plan.webUrl);
          const bool ok = probe.status >= 200 && probe.status < 400 && sameHost;
          page.status = ok ? SampleStatus::Ok : SampleStatus::WebFailed;
          page.ms = ok ? probe.timeMs : -1;
        });
      }
      for (std::thread& job : jobs) job.join();
      if (askName) results.push_back(names);
      if (web) results.push_back(page);
      r.results = std::move(results);
      const int64_t slept = SleptSoFarMs();
      r.sleptMs = std::max<int64_t>(0, slept - sleptBefore);
      sleptBefore = slept;
      {
        std::lock_guard<std::mutex> hold(Feed->lock);
        Feed->rounds.push_back(std::move(r));
      }
      PostMessageA(Window, WM_WATCH_ROUNDS, 0, 0);
      if (last) {
        finished = true;
        break;
      }
      // Rounds never overlap: one that ran long moves the next one on.
      nextAt += intervalMs;
      if (nextAt < MonoNowMs()) nextAt = MonoNowMs();
      // The last round comes at the end, not after it.
      nextAt = std::min(nextAt, std::max(start + Plan.durationMs, MonoNowMs()));
    }
    {
      std::lock_guard<std::mutex> hold(Feed->lock);
      Feed->ended = true;
      Feed->finished = finished;
    }
    PostMessageA(Window, WM_WATCH_ROUNDS, 0, 0);
  }

 private:
  bool Stopped() const { return Terminated() || Feed->stop; }
  HWND Window;
  TWatchPlan Plan;
  std::shared_ptr<TWatchFeed> Feed;
};

}  // namespace

// ---------------------------------------------------------------------------
// The timeline: one strip per link, time left to right, drawn in code.

namespace {

const COLORREF kWatchBack = RGB(40, 45, 51);
const COLORREF kWatchText = RGB(225, 230, 235);
const COLORREF kWatchEmpty = RGB(58, 66, 76);
const COLORREF kWatchAsleep = RGB(80, 88, 140);

COLORREF CellColor(CellState c) {
  switch (c) {
    case CellState::Working: return StateColor(LinkState::Working);
    case CellState::Slow: return StateColor(LinkState::Unstable);
    case CellState::Lost: return StateColor(LinkState::Broken);
    case CellState::Asleep: return kWatchAsleep;
    default: return kWatchEmpty;
  }
}

}  // namespace

namespace {

const int kLabelW = 70, kTop = 24, kStripH = 20, kGap = 6, kStrips = 4;

struct TimelineGeometry {
  int left, width;
  int64_t from, to;
  TimelineGeometry(const RECT& r, const Watch& w, int64_t plannedMs)
      : left(r.left + 8 + kLabelW),
        width(std::max<int>(10, static_cast<int>(r.right - r.left) - 16 - kLabelW)),
        from(w.StartWallMs()),
        to(std::max(w.StartWallMs() + std::max<int64_t>(plannedMs, 1000), w.EndWallMs() + 1000)) {}
};

}  // namespace

void PaintWatchTimeline(HDC dc, const RECT& r, const Watch& w, int64_t plannedMs, bool running, int64_t pointedMs) {
  HBRUSH back = CreateSolidBrush(kWatchBack);
  FillRect(dc, &r, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, kWatchText);
  HGDIOBJ oldFont = SelectObject(dc, GetFont("Tahoma", 12, true));
  const TimelineGeometry g(r, w, plannedMs);

  // Elapsed and remaining time, the state now, the spells so far.
  const int64_t elapsed = w.ElapsedMs();
  std::string head = (running ? "Watching: " : "Watch: ") + DurationText(elapsed);
  if (running) head += ", " + DurationText(std::max<int64_t>(0, plannedMs - elapsed)) + " to go";
  head += FormatLine(w.DropCount() == 1 ? ", %d drop" : ", %d drops", w.DropCount());
  head += FormatLine(w.SlowCount() == 1 ? ", %d slow spell" : ", %d slow spells", w.SlowCount());
  if (running && !w.Spells().empty() && w.Spells().back().open)
    head += std::string(", now: ") + SpellKindKey(w.Spells().back().kind) + " at " + LinkKey(w.Spells().back().link);
  else if (running)
    head += ", now: working";
  RECT line{r.left + 8, r.top + 4, r.right - 8, r.top + 20};
  DrawTextA(dc, head.c_str(), -1, &line, DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);

  static const char* const names[kStrips] = {"Router", "Provider", "Internet", "Names"};
  SelectObject(dc, GetFont("Tahoma", 12));
  for (int i = 0; i < kStrips; ++i) {
    const int y = r.top + kTop + i * (kStripH + kGap);
    RECT label{r.left + 8, y, g.left - 4, y + kStripH};
    DrawTextA(dc, names[i], -1, &label, DT_SINGLELINE | DT_LEFT | DT_VCENTER);
    // One cell a pixel: summaries keep a lost sample visible.
    const std::vector<CellState> cells = w.Cells(static_cast<PathLink>(i), g.from, g.to, g.width);
    int run = 0;
    for (int c = 1; c <= g.width; ++c) {
      if (c < g.width && cells[c] == cells[run]) continue;
      HBRUSH b = CreateSolidBrush(CellColor(cells[run]));
      RECT cell{g.left + run, y, g.left + c, y + kStripH};
      FillRect(dc, &cell, b);
      DeleteObject(b);
      run = c;
    }
  }
  // The time axis, labelled in the local clock.
  const int axisY = r.top + kTop + kStrips * (kStripH + kGap);
  HBRUSH tick = CreateSolidBrush(kWatchText);
  for (int k = 0; k <= 4; ++k) {
    const int x = g.left + (g.width - 1) * k / 4;
    RECT t{x, axisY - 4, x + 1, axisY};
    FillRect(dc, &t, tick);
    const std::string at = IsoTime(g.from + (g.to - g.from) * k / 4, w.UtcOffsetMin()).substr(11, 8);
    RECT text{x - 40, axisY, x + 40, axisY + 14};
    DrawTextA(dc, at.c_str(), -1, &text, DT_SINGLELINE | DT_CENTER);
  }
  // The moment pointed at: a mark across the strips and its figures.
  int y = axisY + 18;
  if (pointedMs >= 0) {
    const int x = g.left + static_cast<int>((pointedMs - g.from) * g.width / (g.to - g.from));
    RECT mark{x, r.top + kTop - 2, x + 1, axisY - 4};
    FillRect(dc, &mark, tick);
    RECT text{r.left + 8, y, r.right - 8, y + 30};
    const std::string moment = w.MomentText(pointedMs);
    DrawTextA(dc, moment.c_str(), -1, &text, DT_LEFT | DT_WORDBREAK);
  }
  DeleteObject(tick);
  y += 32;
  // The latest spells.
  const std::vector<WatchSpell>& spells = w.Spells();
  for (size_t k = spells.size() > 4 ? spells.size() - 4 : 0; k < spells.size() && y + 14 <= r.bottom; ++k) {
    const WatchSpell& s = spells[k];
    const std::string text = std::string(s.kind == SpellKind::Drop ? "Drop" : "Slow") + " " + LinkWhere(s.link) + ": " +
                             IsoTime(s.startWallMs, w.UtcOffsetMin()).substr(11, 8) + " to " +
                             IsoTime(s.endWallMs, w.UtcOffsetMin()).substr(11, 8) + FormatLine(", %d rounds", s.rounds) +
                             (s.open ? " (going on)" : "");
    RECT t{r.left + 8, y, r.right - 8, y + 14};
    SetTextColor(dc, StateColor(s.kind == SpellKind::Drop ? LinkState::Broken : LinkState::Unstable));
    DrawTextA(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_LEFT | DT_END_ELLIPSIS);
    y += 15;
  }
  if (!running && w.Ended()) {
    SetTextColor(dc, kWatchText);
    RECT t{r.left + 8, y + 2, r.right - 8, r.bottom};
    const std::string summary = WatchSummary(w);
    DrawTextA(dc, summary.c_str(), -1, &t, DT_LEFT | DT_WORDBREAK);
  }
  SelectObject(dc, oldFont);
}

int64_t WatchTimelineTimeAt(const RECT& r, const Watch& w, int64_t plannedMs, int x) {
  const TimelineGeometry g(r, w, plannedMs);
  if (x < g.left || x >= g.left + g.width) return -1;
  return g.from + (g.to - g.from) * (x - g.left) / g.width;
}

class TWatchView : public Control {
 public:
  TWatchView(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}
  const Watch* watch = nullptr;  // not owned: the form's
  int64_t plannedMs = 0;
  bool running = false;
  int64_t pointedMs = -1;  // the moment pointed at; -1 none

  // The moment under a point of the control, or -1 off the strips.
  int64_t TimeAt(int x) const { return watch ? WatchTimelineTimeAt(BoundsRect(), *watch, plannedMs, x + left_) : -1; }

  void Paint(HDC dc) override {
    if (watch) {
      PaintWatchTimeline(dc, BoundsRect(), *watch, plannedMs, running, pointedMs);
    } else {
      RECT r = BoundsRect();
      HBRUSH back = CreateSolidBrush(kWatchBack);
      FillRect(dc, &r, back);
      DeleteObject(back);
    }
  }
};

bool TfrmMain::StartWatch(int64_t durationMs, int intervalS) {
  if (WatchWorkerRunning) return false;
  TWatchPlan plan;
  plan.intervalS = intervalS;
  plan.durationMs = durationMs;
  ReadAdapterState();
  plan.gateway = StageTwoGateway();
  plan.provider = endpoints::ProviderServerAddress;
  const std::string backbones = endpoints::BackboneAddresses;
  const std::size_t bar = backbones.find('|');
  plan.backbones[0] = backbones.substr(0, bar);
  plan.backbones[1] = bar == std::string::npos ? plan.backbones[0] : backbones.substr(bar + 1, backbones.find('|', bar + 1) - bar - 1);
  const std::string hosts = endpoints::PublicWebHosts;
  plan.name = hosts.substr(0, hosts.find('|'));
  TNetworkParams params;
  if (ReadNetworkParams(params) == 0 && params.DnsServerCount > 0) plan.nameServer = params.DnsServers[0];
  plan.webUrl = endpoints::ProviderWebPage;

  WatchRecord = std::make_unique<Watch>(intervalS, WallNowMs(), MonoNowMs(), UtcOffsetMinutes());
  WatchFeedShared = std::make_shared<TWatchFeed>();
  try {
    new TWatchThread(Handle(), plan, WatchFeedShared);
  } catch (const std::exception& e) {
    AddLog(std::string("Error: the watch could not start: ") + e.what(), true);
    WatchRecord->Finish(WallNowMs(), MonoNowMs(), false);
    return false;
  }
  WatchWorkerRunning = true;
  AddLog(FormatLine("Watch started: %s, a round every %d s.", DurationText(durationMs), intervalS), true);
  return true;
}

void TfrmMain::StopWatch() {
  if (!WatchWorkerRunning) return;
  if (WatchFeedShared) WatchFeedShared->stop = true;
  WatchWorkerRunning = false;
  // What the worker handed over counts; a round still under way does not.
  HandleWatchRounds();
  if (WatchRecord && !WatchRecord->Ended()) WatchRecord->Finish(WallNowMs(), MonoNowMs(), false);
  WatchFeedShared.reset();
}

void TfrmMain::HandleWatchRounds() {
  if (!WatchFeedShared || !WatchRecord) return;
  std::vector<WatchRound> rounds;
  bool ended = false, finished = false;
  {
    std::lock_guard<std::mutex> hold(WatchFeedShared->lock);
    rounds.swap(WatchFeedShared->rounds);
    ended = WatchFeedShared->ended;
    finished = WatchFeedShared->finished;
  }
  for (const WatchRound& r : rounds) WatchRecord->AddRound(r);
  if (WatchView && WatchView->Visible()) {
    WatchView->running = WatchWorkerRunning && !ended;
    WatchView->Invalidate();
  }
  if (!rounds.empty())
    lblResult->SetCaption(FormatLine("Watching: %s of %s, %d drops, %d slow spells", DurationText(WatchRecord->ElapsedMs()),
                                     DurationText(WatchRun.watch ? WatchRun.watchMs : WatchPlannedMs), WatchRecord->DropCount(), WatchRecord->SlowCount()));
  if (ended && WatchWorkerRunning) {
    WatchWorkerRunning = false;
    WatchRecord->Finish(WallNowMs(), MonoNowMs(), finished);
    AddLog("Watch ended: " + WatchSummary(*WatchRecord), true);
    lblResult->SetCaption(WatchSummary(*WatchRecord));
    WatchFeedShared.reset();
    ShowWatchView(WatchView->Visible());
    if (WatchRun.watch) FinishWatchRun(true);
  }
}

std::vector<std::string> TfrmMain::WatchReportLines() const {
  if (!WatchRecord) return {};
  return WatchLines(*WatchRecord);
}

std::string TfrmMain::WatchJsonText() const {
  if (!WatchRecord) return "{}";
  return "{" + WatchJson(*WatchRecord) + "}";
}

bool TfrmMain::WriteWatchCsv(const std::wstring& path) {
  if (!WatchRecord) return false;
  // A byte-order mark, so that spreadsheet programs read it as UTF-8.
  const std::string why = WriteTextFile(path, "\xEF\xBB\xBF" + WatchCsv(*WatchRecord));
  if (why.empty()) return true;
  ShowStatus("The samples could not be saved to " + WideToAnsi(path) + ": " + why);
  WriteToParentConsole("The samples could not be saved to " + WideToAnsi(path) + ": " + why);
  return false;
}

void TfrmMain::StartWatchRun(const TTestRun& run) {
  WatchRun = run;
  btnAuto->Click();
  if (StartWatch(run.watchMs, run.intervalS)) {
    ShowWatchView(true);
  } else {
    WriteToParentConsole("The watch did not finish: it could not start.");
    FinishWatchRun(true);
  }
}

void TfrmMain::FinishWatchRun(bool closeWindow) {
  if (!WatchRun.watch) return;
  WatchRun.watch = false;
  StopWatch();
  if (!WatchRecord) WatchRecord = std::make_unique<Watch>(WatchRun.intervalS, WallNowMs(), MonoNowMs(), UtcOffsetMinutes());
  if (!WatchRecord->Ended()) WatchRecord->Finish(WallNowMs(), MonoNowMs(), false);
  bool written = WriteReport(WatchRun.reportPath, true);
  if (!WatchRun.jsonPath.empty()) {
    const std::string why = WriteTextFile(WatchRun.jsonPath, WatchJsonText() + "\r\n");
    if (!why.empty()) {
      WriteToParentConsole("The JSON file could not be saved to " + WideToAnsi(WatchRun.jsonPath) + ": " + why);
      written = false;
    }
  }
  if (!WatchRun.csvPath.empty()) written = WriteWatchCsv(WatchRun.csvPath) && written;
  WriteToParentConsole(WatchSummary(*WatchRecord));
  Application.ExitCode = written ? WatchExitCode(*WatchRecord) : 3;
  if (closeWindow) Close();
}

void TfrmMain::CreateWatchView() {
  // Over the test log, like the finding.
  WatchView = Make<TWatchView>(pnlAuto, "WatchView");
  WatchView->SetBounds(25, 17, 607, 288);
  WatchView->SetCursor(TCursor::Hand);
  auto point = [this](Component*, TMouseButton, TShiftState, int x, int) {
    const int64_t at = WatchView->TimeAt(x);
    if (at == WatchView->pointedMs) return;
    WatchView->pointedMs = at;
    if (at >= 0 && WatchRecord) ShowStatus(WatchRecord->MomentText(at));
    WatchView->Invalidate();
  };
  WatchView->OnMouseMove = point;
  WatchView->OnMouseDown = point;
  WatchView->Hide();
  btnWatch = Make<FlatButton>(pnlAuto, "btnWatch");
  btnWatch->SetBounds(25, 306, 190, 14);
  btnWatch->Font = GetFont("Tahoma", 11);
  btnWatch->Caption = "Watch the line for 1 hour (F4)";
  btnWatch->SetCursor(TCursor::Hand);
  btnWatch->OnClick = [this](Component* s) { btnWatchClick(s); };
  btnWatchCsv = Make<FlatButton>(pnlAuto, "btnWatchCsv");
  btnWatchCsv->SetBounds(220, 306, 200, 14);
  btnWatchCsv->Font = GetFont("Tahoma", 11);
  btnWatchCsv->Caption = "Save the samples, CSV (F6)";
  btnWatchCsv->SetCursor(TCursor::Hand);
  btnWatchCsv->OnClick = [this](Component* s) { btnWatchCsvClick(s); };
  btnWatchCsv->Hide();
}

void TfrmMain::ShowWatchView(bool show) {
  const bool has = show && WatchRecord;
  WatchView->watch = WatchRecord.get();
  WatchView->plannedMs = WatchRun.watch ? WatchRun.watchMs : WatchPlannedMs;
  WatchView->running = WatchWorkerRunning;
  if (has) {
    ShowFindingView(false);
    memOutput->Hide();
  } else if (WatchView->Visible()) {
    memOutput->Show();
  }
  WatchView->SetVisible(has);
  btnWatchCsv->SetVisible(WatchRecord != nullptr);
  btnWatch->Caption = WatchWorkerRunning ? "Stop watching (F4)" : "Watch the line for 1 hour (F4)";
  btnWatch->Invalidate();
  btnWatchCsv->Invalidate();
  WatchView->Invalidate();
}

void TfrmMain::btnWatchClick(Component*) {
  if (WatchRun.watch) {
    // A script's watch stopped by hand: its files are written, and it did
    // not finish.
    WriteToParentConsole("The watch did not finish: it was stopped.");
    FinishWatchRun(true);
    return;
  }
  if (WatchWorkerRunning) {
    StopWatch();
    AddLog("Watch stopped: " + WatchSummary(*WatchRecord), true);
  } else {
    WatchPlannedMs = kPanelWatchMs;
    if (!StartWatch(kPanelWatchMs, 5)) return;
  }
  ShowWatchView(true);
}

void TfrmMain::btnWatchCsvClick(Component*) {
  if (!WatchRecord) return;
  const std::wstring folder = DesktopFolder();
  if (folder.empty()) {
    ShowStatus("This user has no desktop folder: the samples were not saved.");
    return;
  }
  std::string name = TimestampedFileName("VelnorAgent-watch");
  name = name.substr(0, name.size() - 4) + ".csv";
  const std::wstring path = folder + L"\\" + WideOf(name);
  if (WriteWatchCsv(path)) ShowStatus("Samples saved: " + WideToAnsi(path));
}

bool TfrmMain::HandleWatchKey(WORD key) {
  if (key == VK_F4) {
    btnWatchClick(btnWatch);
    return true;
  }
  if (key == VK_F6 && btnWatchCsv->Visible()) {
    btnWatchCsvClick(btnWatchCsv);
    return true;
  }
  return false;
}
