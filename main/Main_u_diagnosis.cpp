// The diagnosis in the main window: the checks that gather evidence while
// the automatic test runs (the adapters, the name servers, the proxy, one
// real web request), and the finding when it ends, drawn on the test panel
// as a picture of the path with the finding's words beside it. The finding
// itself, the report's section and the JSON object come from findings/.
#include <algorithm>

#include "Endpoints.h"
#include "Version.h"
#include "main/Main_u.h"
#include "monitor/ConfigReports.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "text/Format.h"
#include "toolkit/Application.h"
#include "toolkit/Graphics.h"
#include "workers/Probes.h"

// What the checks running on workers leave for the window. Each field is
// written by one worker only, before it posts; the window reads it after.
struct TProbeResults {
  std::vector<NameServerEvidence> nameServers;
  ProxyEvidence proxy;
  WebEvidence web;
};

namespace {

// How long one name server or the proxy may take to answer, and the web
// request; the window waits a little longer for the workers than that.
const int kNameServerWaitMs = 1500;
const int kProxyWaitMs = 2000;
const int kWebWaitMs = 4000;
const UINT kProbeGuardMs = 7000;
const size_t kNameServersAsked = 3;

// Only messages of the running test's own checks count.
WPARAM probeToken = 0;

// The skin's colours for a link.

const COLORREF kViewBack = RGB(40, 45, 51);
const COLORREF kViewText = RGB(225, 230, 235);

std::string AdapterKind(DWORD ifType) {
  switch (ifType) {
    case 6: return "Ethernet";
    case 71: return "Wireless";
    case 23: return "Dial-up or VPN";
    case 24: return "Loopback";
    default: return IfTypeToStr(ifType);
  }
}

StageVerdict VerdictOf(TfrmMain::TStageResult r) {
  switch (r) {
    case TfrmMain::TStageResult::Passed: return StageVerdict::Passed;
    case TfrmMain::TStageResult::Warning: return StageVerdict::Warning;
    case TfrmMain::TStageResult::Failed: return StageVerdict::Failed;
    default: return StageVerdict::NotRun;
  }
}

std::string FirstPublicHost() {
  const std::string hosts = endpoints::PublicWebHosts;
  return hosts.substr(0, hosts.find('|'));
}

}  // namespace

COLORREF StateColor(LinkState s) {
  switch (s) {
    case LinkState::Working: return RGB(40, 190, 60);
    case LinkState::Unstable: return RGB(240, 170, 20);
    case LinkState::Broken: return RGB(220, 45, 45);
    default: return RGB(110, 116, 124);
  }
}

// The picture of the path and the finding's words, drawn in code.
class TFindingView : public Control {
 public:
  TFindingView(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}
  const Finding* finding = nullptr;  // not owned: the form's

  void Paint(HDC dc) override {
    RECT r = BoundsRect();
    HBRUSH back = CreateSolidBrush(kViewBack);
    FillRect(dc, &r, back);
    DeleteObject(back);
    if (!finding || !finding->info) return;
    SetBkMode(dc, TRANSPARENT);

    // The path: this computer, the router, the provider, the internet, then
    // names and web; each link coloured by its state.
    static const char* const nodes[] = {"Computer", "Router", "Provider", "Internet", "Names", "Web"};
    const int count = 6, nodeW = 80, nodeH = 26, top = r.top + 12;
    const int gap = (width_ - 16 - count * nodeW) / (count - 1);
    HGDIOBJ oldFont = SelectObject(dc, GetFont("Tahoma", 12, true));
    for (int i = 0; i < count; ++i) {
      const int x = r.left + 8 + i * (nodeW + gap);
      if (i > 0) {
        const COLORREF c = StateColor(finding->path[i - 1]);
        HBRUSH link = CreateSolidBrush(c);
        RECT line{x - gap, top + nodeH / 2 - 3, x, top + nodeH / 2 + 3};
        FillRect(dc, &line, link);
        DeleteObject(link);
      }
      const COLORREF edge = i == 0 ? StateColor(LinkState::Working) : StateColor(finding->path[i - 1]);
      HPEN pen = CreatePen(PS_SOLID, 2, edge);
      HBRUSH fill = CreateSolidBrush(RGB(58, 66, 76));
      HGDIOBJ oldPen = SelectObject(dc, pen);
      HGDIOBJ oldBrush = SelectObject(dc, fill);
      RoundRect(dc, x, top, x + nodeW, top + nodeH, 8, 8);
      SelectObject(dc, oldBrush);
      SelectObject(dc, oldPen);
      DeleteObject(fill);
      DeleteObject(pen);
      SetTextColor(dc, kViewText);
      RECT label{x, top, x + nodeW, top + nodeH};
      DrawTextA(dc, nodes[i], -1, &label, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    }

    // The finding: its title, why, what this test saw, the next step.
    const FindingInfo& info = *finding->info;
    int y = top + nodeH + 14;
    SelectObject(dc, GetFont("Tahoma", 16, true));
    SetTextColor(dc, finding->place.found ? StateColor(finding->place.state) : StateColor(LinkState::Working));
    y += Text(dc, info.title, y, 0);
    SelectObject(dc, GetFont("Tahoma", 13));
    SetTextColor(dc, kViewText);
    y += Text(dc, info.cause, y, 2);
    for (size_t i = 0; i < finding->details.size() && i < 3; ++i) y += Text(dc, finding->details[i], y, 0);
    SelectObject(dc, GetFont("Tahoma", 13, true));
    y += Text(dc, std::string("Next step: ") + info.next, y, 4);
    SelectObject(dc, oldFont);
  }

 private:
  // Draws wrapped text from y; returns the height used plus the gap.
  int Text(HDC dc, const std::string& text, int y, int gapBefore) {
    RECT box{left_ + 10, y + gapBefore, left_ + width_ - 10, top_ + height_ - 22};
    if (box.top >= box.bottom) return 0;
    RECT measure = box;
    DrawTextA(dc, text.c_str(), -1, &measure, DT_WORDBREAK | DT_CALCRECT | DT_NOPREFIX);
    DrawTextA(dc, text.c_str(), -1, &box, DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
    return gapBefore + (measure.bottom - measure.top) + 3;
  }
};

// A button of the finding, drawn in the view's colours.
class TFindingButton : public FlatButton {
 public:
  using FlatButton::FlatButton;
  void Paint(HDC dc) override {
    RECT r = BoundsRect();
    const bool hot = enabled_ && parent_ && parent_->Hovered() == this;
    HBRUSH fill = CreateSolidBrush(hot ? RGB(78, 90, 104) : RGB(58, 66, 76));
    FillRect(dc, &r, fill);
    DeleteObject(fill);
    HGDIOBJ old = SelectObject(dc, Font ? Font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kViewText);
    DrawTextA(dc, Caption.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    SelectObject(dc, old);
  }
};

void TfrmMain::CreateFindingView() {
  // Over the test log, which a click or F3 brings back.
  auto* view = Make<TFindingView>(pnlAuto, "FindingView");
  view->finding = &TestFinding;
  FindingView = view;
  FindingView->SetBounds(25, 17, 607, 288);
  FindingView->SetCursor(TCursor::Hand);
  FindingView->SetHint("Click or press F3 for the test log");
  FindingView->SetShowHint(true);
  FindingView->OnClick = [this](Component* s) { btnFindingLogClick(s); };
  FindingView->Hide();
  btnFindingRepair = Make<TFindingButton>(pnlAuto, "btnFindingRepair");
  btnFindingRepair->SetBounds(35, 283, 200, 19);
  btnFindingRepair->Font = GetFont("Tahoma", 12, true);
  btnFindingRepair->SetCursor(TCursor::Hand);
  btnFindingRepair->OnClick = [this](Component* s) { btnFindingRepairClick(s); };
  btnFindingRepair->Hide();
  // Below the log's frame, so it stays in reach while the log is shown.
  btnFindingLog = Make<TFindingButton>(pnlAuto, "btnFindingLog");
  btnFindingLog->SetBounds(470, 306, 162, 14);
  btnFindingLog->Font = GetFont("Tahoma", 11);
  btnFindingLog->SetCursor(TCursor::Hand);
  btnFindingLog->OnClick = [this](Component* s) { btnFindingLogClick(s); };
  btnFindingLog->Hide();
}

void TfrmMain::StartEvidence() {
  probeToken += 1;
  // Until this test ends, no finding is current.
  TestFinding = Finding{};
  Probes = std::make_shared<TProbeResults>();
  for (auto& results : PingResults) results = std::make_shared<TPingResults>();
  for (TPingItem& item : PingItems) item.Results.reset();
  ProbesPending = 0;
  EndPending = false;
  RepairRan = false;
  ShowFindingView(false);
  btnFindingLog->Hide();
  ShowWatchView(false);

  // The name servers set and the proxy are read here, asked on a worker.
  TNetworkParams params;
  if (ReadNetworkParams(params) == 0) {
    for (int i = 0; i < params.DnsServerCount; ++i) {
      NameServerEvidence server;
      server.address = params.DnsServers[i];
      Probes->nameServers.push_back(server);
    }
  }
  TProxyItem proxy;
  try {
    ReadProxySettings(proxy);
  } catch (const std::exception&) {
    // An unreadable setting is shown by the proxy indicator's own check.
  }
  Probes->proxy.enabled = proxy.Enabled;
  Probes->proxy.server = proxy.Server;

  std::shared_ptr<TProbeResults> results = Probes;
  const std::string name = FirstPublicHost();
  try {
    TProbeThread::Run(Handle(), WM_PROBE_DONE, probeToken, [results, name] {
      for (size_t i = 0; i < results->nameServers.size() && i < kNameServersAsked; ++i) {
        NameServerEvidence& server = results->nameServers[i];
        int ms = -1;
        server.answers = NameServerAnswers(server.address, name, kNameServerWaitMs, ms) ? Answered::Yes : Answered::No;
        server.timeMs = ms;
      }
      if (results->proxy.enabled)
        results->proxy.answers =
            ProxyTakesConnections(results->proxy.server, kProxyWaitMs) ? Answered::Yes : Answered::No;
    });
    ++ProbesPending;
  } catch (const std::exception& e) {
    AddLog(std::string("Error: ") + e.what(), true);
  }
}

void TfrmMain::StartWebEvidence() {
  if (!Probes) return;
  std::shared_ptr<TProbeResults> results = Probes;
  const std::string url = endpoints::ProviderWebPage;
  results->web.tried = true;
  results->web.url = url;
  results->web.host = UrlHost(url);
  try {
    TProbeThread::Run(Handle(), WM_PROBE_DONE, probeToken, [results, url] {
      const TWebProbe probe = ProbeWebPage(url, kWebWaitMs);
      WebEvidence& web = results->web;
      web.status = probe.status;
      web.finalUrl = probe.finalUrl;
      web.finalHost = probe.finalUrl.empty() ? std::string() : UrlHost(probe.finalUrl);
      web.timeMs = probe.timeMs;
      web.timedOut = probe.timedOut;
      web.connectFailed = probe.connectFailed;
      web.error = probe.error;
    });
    ++ProbesPending;
  } catch (const std::exception& e) {
    results->web.tried = false;
    AddLog(std::string("Error: ") + e.what(), true);
  }
}

void TfrmMain::EndTest() {
  if (ProbesPending > 0) {
    // The test's marks are all there; the finding follows when the checks
    // still running have answered, within a bounded time.
    EndPending = true;
    if (!ProbeGuardTimer) {
      ProbeGuardTimer = Application.StartTimer(kProbeGuardMs, [this] {
        ProbesPending = 0;
        if (Probes && Probes->web.tried && Probes->web.status == 0 && Probes->web.error.empty()) {
          Probes->web.timedOut = true;
          Probes->web.error = "no answer in time";
        }
        FinishDiagnosis();
      });
    }
    return;
  }
  FinishDiagnosis();
}

void TfrmMain::HandleProbeDone(WPARAM token) {
  if (token != probeToken || ProbesPending == 0) return;
  if (--ProbesPending == 0 && EndPending) FinishDiagnosis();
}

void TfrmMain::FinishDiagnosis() {
  if (ProbeGuardTimer) {
    Application.StopTimer(ProbeGuardTimer);
    ProbeGuardTimer = 0;
  }
  EndPending = false;
  // Checks that answer after this belong to no test.
  if (ProbesPending > 0) ++probeToken;
  ProbesPending = 0;
  // A worker still running keeps writing into its own copy.
  if (Probes) Probes = std::make_shared<TProbeResults>(*Probes);
  TestFinding = Diagnose(CollectEvidence());
  ShowFindingView(true);
  SetTestBusy(false);
}

Evidence TfrmMain::CollectEvidence() const {
  Evidence e;
  e.tested = TestHasRun;
  e.made = LocalTimeText();
  e.program = VELNOR_VERSION_TEXT;
  for (int n = 1; n <= 7; ++n) {
    e.stages[n].name = StageOf(n).name;
    e.stages[n].verdict = VerdictOf(StageResults[n]);
    if (!PingResults[n]) continue;
    for (const TPingTargetResult& r : *PingResults[n]) {
      TargetEvidence t;
      t.target = r.Target;
      t.sent = r.Sent;
      t.replies = r.Replies;
      t.averageMs = r.AverageMs;
      t.maxMs = r.MaxMs;
      t.nameFailed = r.NameFailed;
      t.lastError = r.LastError;
      e.stages[n].targets.push_back(t);
    }
  }
  TAdapterInfo table;
  e.adaptersRead = ReadAdapterInfo(table);
  for (const TAdapterInfoRec& rec : table) {
    AdapterEvidence a;
    a.description = rec.Description;
    a.type = AdapterKind(rec.IfType);
    a.connected = rec.OperStatus >= 4;  // connected or operational
    a.address = rec.IpAddress;
    if (!rec.MacAddress.empty()) a.gateway = PlainAddress(GatewayForMac(rec.MacAddress));
    e.adapters.push_back(a);
  }
  if (Probes) {
    e.nameServers = Probes->nameServers;
    e.proxy = Probes->proxy;
    e.web = Probes->web;
  }
  return e;
}

Evidence TfrmMain::ReportedEvidence() const {
  if (!TestHasRun) return Evidence{};
  Evidence e = CollectEvidence();
  // A test with no finding yet is running, or was stopped before its end.
  if (!TestFinding.info) e.finished = false;
  return e;
}

std::vector<std::string> TfrmMain::DiagnosisReportLines() const {
  const Evidence e = ReportedEvidence();
  return DiagnosisLines(e, TestFinding.info ? TestFinding : Diagnose(e));
}

std::string TfrmMain::DiagnosisJsonText() const {
  const Evidence e = ReportedEvidence();
  return DiagnosisJson(e, TestFinding.info ? TestFinding : Diagnose(e));
}

bool TfrmMain::WriteDiagnosisJson(const std::wstring& path) {
  const std::string why = WriteTextFile(path, DiagnosisJsonText() + "\r\n");
  if (why.empty()) return true;
  ShowStatus("The diagnosis could not be saved to " + WideToAnsi(path) + ": " + why);
  return false;
}

void TfrmMain::ShowFindingView(bool show) {
  const bool has = show && TestFinding.info && TestFinding.code != FindingCode::NotTested;
  FindingView->SetVisible(has);
  memOutput->SetVisible(!has);
  const Repair repair = TestFinding.info ? TestFinding.info->repair : Repair::None;
  btnFindingRepair->Caption = RepairRan ? "Test again (F2)" : std::string(RepairCaption(repair)) + " (F2)";
  btnFindingRepair->SetVisible(has && (repair != Repair::None || RepairRan));
  btnFindingLog->Caption = has ? "Test log (F3)" : "Finding (F3)";
  btnFindingLog->SetVisible(TestFinding.info && TestFinding.code != FindingCode::NotTested);
  FindingView->Invalidate();
  btnFindingRepair->Invalidate();
  btnFindingLog->Invalidate();
}

void TfrmMain::btnFindingLogClick(Component*) {
  ShowWatchView(false);
  if (!btnFindingLog->Visible()) return;
  ShowFindingView(!FindingView->Visible());
}

void TfrmMain::btnFindingRepairClick(Component*) {
  if (!btnFindingRepair->Visible() || TestBusy) return;
  if (RepairRan) {
    if (btnStartAutoTest->Enabled()) btnStartAutoTest->Click();
    return;
  }
  // Exactly the tool of the tools panel, as its own button runs it.
  switch (TestFinding.info->repair) {
    case Repair::RenewAddress: btnRepair->Click(); break;
    case Repair::FlushNames: btnFlashDNS->Click(); break;
    case Repair::ProxyOff: imgProxyClick(imgProxy); break;
    default: return;
  }
  RepairRan = true;
  ShowFindingView(true);
}

bool TfrmMain::HandleFindingKey(WORD key) {
  if (key == VK_F2 && btnFindingRepair->Visible()) {
    btnFindingRepairClick(btnFindingRepair);
    return true;
  }
  if (key == VK_F3 && btnFindingLog->Visible()) {
    btnFindingLogClick(btnFindingLog);
    return true;
  }
  return false;
}
