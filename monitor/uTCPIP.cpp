#include "monitor/uTCPIP.h"

#include <algorithm>
#include <array>
#include <functional>
#include <tuple>

#include "monitor/ConfigReports.h"
#include "monitor/Connections.h"
#include "monitor/Ipv6Tables.h"
#include "monitor/Statistics.h"
#include "monitor/Tables.h"
#include "netdata/IPHLPAPI.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "toolkit/Application.h"
#include "toolkit/Thread.h"
#include "workers/Utils_u.h"

TfrmTCPIPMonitor* frmTCPIPMonitor = nullptr;

namespace {

const COLORREF kHeadingBack = RGB(0, 128, 0);
const COLORREF kWhite = RGB(255, 255, 255);
// 8 and 9 point at the usual 96 dots per inch.
const int k8pt = 11;
const int k9pt = 12;

// The worker's pages are ready.
const UINT kPagesRead = WM_APP + 40;
// Time the window gives the memos in one go while it takes the pages in,
// and how soon it goes on: between two goes it answers whatever waits.
const DWORD kPagesBudgetMs = 30;
const int kPagesIntervalMs = 10;

using M = TfrmTCPIPMonitor;

// How a memo looks and what it lets the user do.
enum class MemoStyle {
  Lines,        // read-only, vertical scroll bar, word wrap
  Columns,      // read-only, vertical scroll bar, no wrap
  WideColumns,  // read-only, both scroll bars, no wrap
  Editable,     // editable, vertical scroll bar, no wrap
  EditableAll,  // editable, both scroll bars, no wrap
  Figures,      // read-only, vertical scroll bar (counters)
};

// A place on a page; a zero width means "below the heading, filling the
// rest of the page".
struct Place {
  int left, top, width, height;
};
constexpr Place kRestOfPage{0, 0, 0, 0};

struct HeadingRow {
  const char* name;
  const char* caption;
  Place place;  // kRestOfPage: along the top edge, 17 pixels high
  bool centred = false;
  bool courier = false;  // Courier New instead of Lucida Console
};

struct MemoRow {
  Memo* TfrmTCPIPMonitor::*member;
  const char* name;
  MemoStyle style;
  Place place;
  bool large = false;                // 9 pt instead of 8 pt
  const char* designText = nullptr;  // shown until the first refresh
};

// One page of the monitor: its sheet, caption, headings and memos.
struct PageRow {
  TabSheet* TfrmTCPIPMonitor::*sheet;
  const char* name;
  const char* caption;
  std::vector<HeadingRow> headings;
  std::vector<MemoRow> memos;
};

const std::vector<PageRow>& Pages() {
  static const std::vector<PageRow> pages = {
      {&M::DebugSheet,
       "DebugSheet",
       "Adapters[Debug]",
       {{"StaticText11", "ADAPTERS LIST JUST FOR DEBUG ...", {3, 3, 769, 15}},
        {"StaticText13",
         "   TYPE    |   MAC_ADDRESS   |   IP-ADDRESS   |      DNS       |    GATEWAY     |(Mbps)|   DESCRIPTION",
         {2, 251, 772, 15}}},
       {{&M::AdapterMemo, "AdapterMemo", MemoStyle::Lines, {1, 18, 772, 231}},
        {&M::SelectedAdpMemo, "SelectedAdpMemo", MemoStyle::WideColumns, {1, 267, 771, 226}}}},
      {&M::ConnSheet,
       "ConnSheet",
       "CONNECTIONS TCP",
       {{"StaticText2",
         "   TCP LOCAL IP: PORT        REMOTE IP: PORT    STATE     PROCESS    APPLICATION             CREATED",
         kRestOfPage}},
       {{&M::TCPMemo, "TCPMemo", MemoStyle::Editable, kRestOfPage, true}}},
      {&M::UDPConnSheet,
       "UDPConnSheet",
       "CONNECTIONS UDP",
       {{"StaticText3",
         "  UDP LOCAL IP  :  PORT    PROCESS                        APPLICATION                         CREATED",
         kRestOfPage}},
       {{&M::UDPMemo, "UDPMemo", MemoStyle::Editable, kRestOfPage, true}}},
      {&M::IP1Sheet,
       "IP1Sheet",
       "IP-ADRESS TABLE",
       {{"StaticText6", "INTRFIndx   IP_ADDR       SUBNET_MASK      BCAST_ ADDR    REASM.SIZE", kRestOfPage}},
       {{&M::IPAddrMemo, "IPAddrMemo", MemoStyle::Columns, kRestOfPage}}},
      {&M::IP2Sheet,
       "IP2Sheet",
       "IP-ROUTING TABLE",
       {{"StaticText8",
         " FORW_DEST_IP    FORW_MASK       IP_ NEXT_HOP   IF_INDEX   TYPE   NEXT_AS_NR  FORW_PROTO  FORW_METRIC",
         kRestOfPage, false, true}},
       {{&M::IPForwMemo, "IPForwMemo", MemoStyle::Columns, kRestOfPage}}},
      {&M::AdaptSheet,
       "AdaptSheet",
       "ADAPTER/IF INFO",
       {{"StaticText9",
         "ADAPIdx   Type     MAC_ADDRESS    DHCP   GATEWAY_IP    DHCP_IP     PRIMARY   WINS   CURRENT  DNS   STATUS",
         {3, 3, 769, 15}},
        {"StaticText15",
         "   TYPE        MAC_ADDRESS     MTU(Bs)  SPEED(bps)   STATUS      IN          OUT         DESCRIPTION",
         {3, 200, 772, 15}}},
       {{&M::AdaptMemo, "AdaptMemo", MemoStyle::Lines, {5, 22, 770, 174}},
        {&M::IfMemo, "IfMemo", MemoStyle::WideColumns, {5, 216, 768, 263}}}},
      {&M::ARPSheet,
       "ARPSheet",
       "ARP",
       {{"StaticText1", "ADAPT.INDEX   REMOTE  MAC         REMOTE  IP           TYPE", {5, 4, 491, 17}},
        {"StaticText10", "FIXED NETWORK INFO", {500, 3, 271, 17}, true}},
       {{&M::ARPMemo, "ARPMemo", MemoStyle::Editable, {5, 22, 491, 455}, true},
        {&M::NwMemo, "NwMemo", MemoStyle::EditableAll, {501, 22, 269, 454}}}},
      {&M::StatisticsSheet,
       "StatisticsSheet",
       "STATISTICS",
       {{"StaticText7", "TCP", {5, 4, 340, 17}, true},
        {"StaticText4", "UDP", {365, 4, 405, 17}, true},
        {"StaticText5", "IP", {6, 214, 340, 15}, true},
        {"StaticText12", "ICMP -  INPUT           ICMP - OUTPUT", {364, 214, 404, 15}, true}},
       {{&M::TCPStatMemo, "TCPStatMemo", MemoStyle::Figures, {5, 22, 340, 190}, false, "TCPStatMemo"},
        {&M::UDPStatsMemo, "UDPStatsMemo", MemoStyle::Figures, {364, 22, 404, 190}, false, "UDPStatsMemo"},
        {&M::IPStatsMemo, "IPStatsMemo", MemoStyle::Figures, {5, 232, 340, 244}, false, "IPStatsMemo"},
        {&M::ICMPInMemo, "ICMPInMemo", MemoStyle::Figures, {364, 232, 200, 244}},
        {&M::ICMPOutMemo, "ICMPOutMemo", MemoStyle::Figures, {569, 232, 200, 244}}}},
  };
  return pages;
}

Memo::Options OptionsOf(MemoStyle style) {
  Memo::Options o;
  o.border = true;
  o.vScroll = true;
  switch (style) {
    case MemoStyle::Lines:
    case MemoStyle::Figures: break;
    case MemoStyle::Columns: o.wordWrap = false; break;
    case MemoStyle::WideColumns:
      o.hScroll = true;
      o.wordWrap = false;
      break;
    case MemoStyle::Editable:
      o.readOnly = false;
      o.wordWrap = false;
      break;
    case MemoStyle::EditableAll:
      o.readOnly = false;
      o.wordWrap = false;
      o.hScroll = true;
      break;
  }
  return o;
}

// What a report gets besides its lists: the options stored when the refresh
// started, and the process names both connection reports share.
struct ReportInput {
  bool showAppPath;
  bool useExtendedAdapters;
  TProgramCache& programs;
};

// One report of the refresh: the memos it fills (one, or two for the ICMP
// counters) and how. A report that keeps its last good lines says whether
// its lines are fresh; on a failure its memo shows those lines with one
// message below, not one more message each refresh.
struct ReportRow {
  Memo* TfrmTCPIPMonitor::*memo;
  Memo* TfrmTCPIPMonitor::*second;  // or null
  bool keepsGoodLines;
  bool (*run)(const ReportInput& in, Lines* list, Lines* second);
};

// The refresh's reports, in the order they run (not the order of the pages):
// a report that raises leaves the memos of those after it as they were. A
// report on a memo that an earlier report fills puts its lines after that
// report's lines.
// ("return Report(...), true": a report without good lines to keep.)
const ReportRow kReports[] = {
    {&M::NwMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListFixedInfo(l), true; }},
    {&M::ARPMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListArpCache(l), true; }},
    {&M::TCPMemo, nullptr, false,
     [](const ReportInput& in, Lines* l, Lines*) { return ListTcpConns(l, in.showAppPath, in.programs), true; }},
    {&M::TCPStatMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListTcpStats(l), true; }},
    {&M::UDPMemo, nullptr, false,
     [](const ReportInput& in, Lines* l, Lines*) { return ListUdpConns(l, in.showAppPath, in.programs), true; }},
    {&M::IPStatsMemo, nullptr, true, [](const ReportInput&, Lines* l, Lines*) { return ListIpStats(l); }},
    {&M::IPAddrMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIpAddrTable(l), true; }},
    {&M::IPForwMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListRoutes(l), true; }},
    {&M::UDPStatsMemo, nullptr, true, [](const ReportInput&, Lines* l, Lines*) { return ListUdpStats(l); }},
    {&M::AdaptMemo, nullptr, false,
     [](const ReportInput& in, Lines* l, Lines*) { return ListAdaptorRows(l, in.useExtendedAdapters), true; }},
    {&M::ICMPInMemo, &M::ICMPOutMemo, false,
     [](const ReportInput&, Lines* l, Lines* sent) {
       ListIcmpStats(l, sent);
       return true;
     }},
    {&M::IfMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIfRows(l), true; }},
    {&M::AdapterMemo, nullptr, true, [](const ReportInput&, Lines* l, Lines*) { return ListInterfaceDetails(l); }},
    // The IPv6 parts, each after the IPv4 part of its page.
    {&M::TCPMemo, nullptr, false,
     [](const ReportInput& in, Lines* l, Lines*) { return ListTcp6Conns(l, in.showAppPath, in.programs), true; }},
    {&M::UDPMemo, nullptr, false,
     [](const ReportInput& in, Lines* l, Lines*) { return ListUdp6Conns(l, in.showAppPath, in.programs), true; }},
    {&M::IPAddrMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIp6AddrTable(l), true; }},
    {&M::IPForwMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIp6Routes(l), true; }},
    {&M::AdaptMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIp6Adapters(l), true; }},
    {&M::ARPMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIp6Neighbours(l), true; }},
    {&M::TCPStatMemo, nullptr, false, [](const ReportInput&, Lines* l, Lines*) { return ListIp6Stats(l), true; }},
    {&M::ICMPInMemo, &M::ICMPOutMemo, false,
     [](const ReportInput&, Lines* l, Lines* sent) {
       ListIcmp6Stats(l, sent);
       return true;
     }},
};
constexpr std::size_t kReportCount = sizeof(kReports) / sizeof(kReports[0]);

// The first report that fills the same memo as report i (i itself when no
// earlier one does).
std::size_t FirstReportOf(std::size_t i) {
  for (std::size_t j = 0; j < i; ++j)
    if (kReports[j].memo == kReports[i].memo) return j;
  return i;
}

// Every memo the refresh fills, once, in the order of the reports.
template <class Visit>
void ForEachReportMemo(Visit visit) {
  for (std::size_t i = 0; i < kReportCount; ++i) {
    if (FirstReportOf(i) != i) continue;
    visit(kReports[i].memo);
    if (kReports[i].second) visit(kReports[i].second);
  }
}

std::vector<std::string> LinesOfMemo(Memo* memo) {
  const Lines& lines = memo->GetLines();
  std::vector<std::string> items;
  items.reserve(static_cast<std::size_t>(lines.Count()));
  for (int i = 0; i < lines.Count(); ++i) items.push_back(lines[i]);
  return items;
}

void Fill(StringList& list, const std::vector<std::string>& items) {
  for (const std::string& item : items) list.Add(item);
}

}  // namespace

// One refresh on its own thread. It starts from what the UI thread took
// from the window (the options, and every page as its memo shows it, or
// for the pages that keep their last good lines, those) and runs the
// reports on free-standing lists; it touches no window and posts one
// message when the pages are ready.
class TfrmTCPIPMonitor::RefreshWorker : public Thread {
 public:
  // One report's lists: its memo's, and its second memo's where it has one.
  struct Pages {
    StringList list;
    StringList second;
    bool fresh = false;  // a report that keeps its last good lines succeeded
  };
  bool showAppPath = false;
  bool useExtendedAdapters = false;
  std::array<Pages, kReportCount> pages;
  std::string failure;  // what a report raised; the pages after it stay as they were
  // By report: the lines (memo, second memo) it put after those of the
  // earlier report it shares its memo with, whose lists then hold both.
  std::array<std::pair<std::size_t, std::size_t>, kReportCount> put{};

  explicit RefreshWorker(HWND notify) : notify_(notify) {}
  ~RefreshWorker() override { WaitFor(); }
  void Run() { Start(); }

 protected:
  void Execute() override {
    try {
      RunReports();
    } catch (const std::exception& e) {
      failure = e.what();
    } catch (...) {
      failure = "Unknown error";
    }
    try {
      JoinSharedMemos();
    } catch (const std::exception& e) {
      if (failure.empty()) failure = e.what();
    }
    PostMessageA(notify_, kPagesRead, 0, 0);
  }

 private:
  void RunReports() {
    TProgramCache programs;  // both connection pages look each process up once
    const ReportInput in{showAppPath, useExtendedAdapters, programs};
    for (std::size_t i = 0; i < kReportCount; ++i) {
      if (Terminated()) return;
      pages[i].fresh = kReports[i].run(in, &pages[i].list, kReports[i].second ? &pages[i].second : nullptr);
    }
  }

  // Here, off the window's thread: a memo's lines are all in its first
  // report's lists (a report that did not run still holds what it showed).
  void JoinSharedMemos() {
    for (std::size_t j = 0; j < kReportCount; ++j) {
      const std::size_t first = FirstReportOf(j);
      if (first == j) continue;
      put[j] = {static_cast<std::size_t>(pages[j].list.Count()), static_cast<std::size_t>(pages[j].second.Count())};
      pages[first].list.AddLines(pages[j].list);
      pages[first].second.AddLines(pages[j].second);
    }
  }

  HWND notify_;  // not owned: the monitor, which outlives its worker
};

TfrmTCPIPMonitor::TfrmTCPIPMonitor()
    : Form("frmTCPIPMonitor", "TCP/IP/ARP Monitor: ", 800, 600, Style{false, true, true, false}) {
  MinWidth = 800;
  MinHeight = 200;
  CreateComponents();
  FormCreate();
}

TfrmTCPIPMonitor::~TfrmTCPIPMonitor() {
  // The worker stops after the report it is in; the window goes after it.
  if (worker_) worker_->Terminate();
  worker_.reset();
}

void TfrmTCPIPMonitor::CreateComponents() {
  // Window size is 800 x 600 including its frame.
  SetWindowPos(Handle(), nullptr, 0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  CenterOnScreen();
  // The pages are columns of text: whatever the system has in place of
  // Lucida Console must be fixed-pitch too.
  HFONT lucida8 = GetFixedPitchFont("Lucida Console", k8pt);
  HFONT lucida9 = GetFixedPitchFont("Lucida Console", k9pt);
  HFONT courier8 = GetFixedPitchFont("Courier New", k8pt);

  Panel1 = Make<Panel>(this, "Panel1");
  Panel1->Align = TAlign::Bottom;
  Panel1->SetBounds(0, 0, 800, 41);
  pgCtrlMain = Make<PageControl>(this, "pgCtrlMain");
  pgCtrlMain->Align = TAlign::Client;
  pgCtrlMain->SetFont(lucida8);

  for (const PageRow& page : Pages()) {
    TabSheet* sheet = this->*page.sheet = Make<TabSheet>(pgCtrlMain, page.name, page.caption);
    for (const HeadingRow& h : page.headings) {
      StaticText* st = Make<StaticText>(sheet, h.name, h.caption, h.centred);
      st->BackColor = kHeadingBack;
      st->TextColor = kWhite;
      st->SetFont(h.courier ? courier8 : lucida8);
      if (h.place.width == 0) {
        st->SetBounds(0, 0, 0, 17);
        st->Align = TAlign::Top;
      } else {
        st->SetBounds(h.place.left, h.place.top, h.place.width, h.place.height);
      }
    }
    for (const MemoRow& m : page.memos) {
      Memo* memo = this->*m.member = Make<Memo>(sheet, m.name, OptionsOf(m.style));
      memo->BackColor = kWhite;
      memo->SetFont(m.large ? lucida9 : lucida8);
      if (m.place.width == 0)
        memo->Align = TAlign::Client;
      else
        memo->SetBounds(m.place.left, m.place.top, m.place.width, m.place.height);
      if (m.designText) memo->GetLines().Add(m.designText);
    }
  }

  HFONT tahoma = GetFont("Tahoma", k8pt);
  lblSaved = Make<Label>(Panel1, "lblSaved");
  lblSaved->SetBounds(580, 13, 212, 16);
  lblSaved->SetFont(tahoma);
  SpeedButton1 = Make<FlatButton>(Panel1, "SpeedButton1");
  SpeedButton1->SetBounds(13, 7, 122, 28);
  SpeedButton1->Caption = "Force Update";
  SpeedButton1->Font = GetFont("Tahoma", k8pt, true);
  SpeedButton1->Glyph = Image::FromResource("ForceUpdate");
  cbTimer = Make<CheckBox>(Panel1, "cbTimer", "Enable Timer Update");
  cbTimer->SetBounds(158, 11, 122, 19);
  ShowProgPath = Make<CheckBox>(Panel1, "ShowProgPath", "Show Application Path");
  ShowProgPath->SetBounds(286, 11, 145, 19);
  ExtAdapApi = Make<CheckBox>(Panel1, "ExtAdapApi", "Extended Adapter API");
  ExtAdapApi->SetBounds(430, 11, 145, 19);
  for (CheckBox* cb : {cbTimer, ShowProgPath, ExtAdapApi}) {
    cb->SetFont(tahoma);
    cb->OnClick = [this](Component* s) { cbTimerClick(s); };
  }
  SpeedButton1->OnClick = [this](Component* s) { SpeedButton1Click(s); };

  Timer1 = Make<Timer>("Timer1");
  Timer1->SetInterval(5000);
  Timer1->OnTimer = [this](Component* s) { Timer1Timer(s); };
  PageTimer = Make<Timer>("PageTimer");
  PageTimer->SetInterval(kPagesIntervalMs);
  PageTimer->OnTimer = [this](Component*) { ContinuePages(); };
  goodLines_.resize(kReportCount);
  putLines_.assign(kReportCount, {0, 0});
  for (std::size_t i = 0; i < kReportCount; ++i)
    if (kReports[i].keepsGoodLines) goodLines_[i] = LinesOfMemo(this->*kReports[i].memo);
  Realign();
}

void TfrmTCPIPMonitor::FormCreate() {
  KeyPreview = true;
  OnKeyDown = [this](WORD& key, TShiftState shift) {
    if (key == 'S' && (shift & (ssShift | ssCtrl | ssAlt)) == ssCtrl) SavePages();
  };
  pgCtrlMain->SetActivePage(DebugSheet);
  SetCaption(Caption() + " " + "Velnor v1.0.1 - 19 February 2012");
  // Bound here, on the UI thread, before any refresh reads a table. The
  // first refresh waits until the window is first shown, so the program's
  // start never waits for the connection tables.
  ipHelperBound_ = BindSystemLibrary(SysLibrary::iphlpapi);
  if (!ipHelperBound_) {
    // Through the application: a run nobody watches gets no box.
    Application.ShowMessage("Internet Helper DLL Not Available or Not Supported", MB_ICONERROR);
  }
}

void TfrmTCPIPMonitor::RefreshPages() {
  if (Refreshing()) {
    again_ = true;
    return;
  }
  StartRefresh();
}

void TfrmTCPIPMonitor::StartRefresh() {
  ShowAppPath = ShowProgPath->Checked();
  UseExtAdapterApi = ExtAdapApi->Checked();
  failure_.clear();
  auto worker = std::make_unique<RefreshWorker>(Handle());
  worker->showAppPath = ShowAppPath;
  worker->useExtendedAdapters = UseExtAdapterApi;
  // Every report starts from what its memos show; those that keep their
  // last good lines, from those. Where reports share a memo, each starts
  // from the lines it put there, the later ones taking theirs from the end.
  std::vector<std::vector<std::string>> shown(kReportCount), shownSecond(kReportCount);
  for (std::size_t i = 0; i < kReportCount; ++i) {
    if (FirstReportOf(i) != i) continue;
    shown[i] = LinesOfMemo(this->*kReports[i].memo);
    if (kReports[i].second) shownSecond[i] = LinesOfMemo(this->*kReports[i].second);
  }
  for (std::size_t i = kReportCount; i-- > 0;) {
    const std::size_t first = FirstReportOf(i);
    if (first == i) continue;
    const auto takeTail = [](std::vector<std::string>& from, std::size_t count) {
      count = std::min(count, from.size());
      std::vector<std::string> tail(from.end() - static_cast<std::ptrdiff_t>(count), from.end());
      from.resize(from.size() - count);
      return tail;
    };
    shown[i] = takeTail(shown[first], putLines_[i].first);
    shownSecond[i] = takeTail(shownSecond[first], putLines_[i].second);
  }
  for (std::size_t i = 0; i < kReportCount; ++i) {
    const ReportRow& report = kReports[i];
    Fill(worker->pages[i].list, report.keepsGoodLines ? goodLines_[i] : shown[i]);
    if (report.second) Fill(worker->pages[i].second, shownSecond[i]);
  }
  worker_ = std::move(worker);
  try {
    worker_->Run();
  } catch (const std::exception& e) {
    // No thread, so no pages will come: the refresh ends here, and Force
    // Update and the timer are usable again for the next one.
    worker_.reset();
    again_ = false;
    failure_ = e.what();
    FinishRefresh();
  }
}

void TfrmTCPIPMonitor::PagesRead() {
  if (!worker_) return;
  worker_->WaitFor();
  const std::unique_ptr<RefreshWorker> done = std::move(worker_);
  failure_ = done->failure;
  for (std::size_t i = 0; i < kReportCount; ++i) {
    if (!kReports[i].keepsGoodLines || !done->pages[i].fresh) continue;
    // Its own lines, without those of the reports that share its memo.
    std::size_t others = 0;
    for (std::size_t j = i + 1; j < kReportCount; ++j)
      if (FirstReportOf(j) == i) others += done->put[j].first;
    const std::vector<std::string>& items = done->pages[i].list.Items();
    goodLines_[i].assign(items.begin(), items.end() - static_cast<std::ptrdiff_t>(std::min(others, items.size())));
  }
  puttingPages_ = true;
  try {
    for (std::size_t i = 0; i < kReportCount; ++i) {
      if (FirstReportOf(i) != i) {
        putLines_[i] = done->put[i];
        continue;
      }
      (this->*kReports[i].memo)->BeginReplace(done->pages[i].list.Items());
      if (kReports[i].second) (this->*kReports[i].second)->BeginReplace(done->pages[i].second.Items());
    }
  } catch (const std::exception& e) {
    if (failure_.empty()) failure_ = e.what();
  }
  ContinuePages();
}

void TfrmTCPIPMonitor::ContinuePages() {
  bool complete = true;
  try {
    const DWORD start = GetTickCount();
    ForEachReportMemo([&](Memo* TfrmTCPIPMonitor::*memo) {
      if (!complete) return;
      const DWORD spent = GetTickCount() - start;
      if (!(this->*memo)->ContinueReplace(spent < kPagesBudgetMs ? kPagesBudgetMs - spent : 0)) complete = false;
    });
  } catch (const std::exception& e) {
    if (failure_.empty()) failure_ = e.what();
  }
  PageTimer->SetEnabled(!complete);
  if (complete) FinishRefresh();
}

void TfrmTCPIPMonitor::FinishRefresh() {
  puttingPages_ = false;
  timerPaused_ = false;
  if (again_) {
    again_ = false;
    StartRefresh();
  } else if (buttonWaits_) {
    buttonWaits_ = false;
    SpeedButton1->SetEnabled(true);
  }
  UpdateTimer();
  // The timer and the button are back as they were before the report's
  // error reaches the general error report.
  // One report per lasting failure: the same failure again (the timer
  // refreshes every few seconds) is not reported again, and none is
  // reported while the box of another is still open.
  const std::string failure = failure_;
  failure_.clear();
  if (failure.empty()) {
    reportedFailure_.clear();
  } else if (failure != reportedFailure_ && !reporting_) {
    reportedFailure_ = failure;
    reporting_ = true;
    Application.ShowException(failure);
    reporting_ = false;
  }
}

bool TfrmTCPIPMonitor::Refreshing() const { return worker_ != nullptr || puttingPages_; }

bool TfrmTCPIPMonitor::WaitForRefresh(DWORD timeoutMs) {
  return Application.ProcessMessagesUntil([this] { return !Refreshing(); }, timeoutMs);
}

void TfrmTCPIPMonitor::UpdateTimer() { Timer1->SetEnabled(cbTimer->Checked() && shown_ && !timerPaused_); }

void TfrmTCPIPMonitor::Shown(bool shown) {
  shown_ = shown;
  UpdateTimer();
  if (shown && !everShown_) {
    everShown_ = true;
    if (ipHelperBound_) RefreshPages();
  }
}

LRESULT TfrmTCPIPMonitor::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kPagesRead) {
    Application.Guard([&] { PagesRead(); });
    return 0;
  }
  // Shown or hidden by the program, not with its owner.
  if (msg == WM_SHOWWINDOW && lp == 0) Application.Guard([&] { Shown(wp != FALSE); });
  return Form::WndProc(msg, wp, lp);
}

// The timer runs while the window is shown and its box is checked.
void TfrmTCPIPMonitor::cbTimerClick(Component*) { UpdateTimer(); }

void TfrmTCPIPMonitor::Timer1Timer(Component*) {
  if (!cbTimer->Checked() || Refreshing()) return;
  timerPaused_ = true;
  UpdateTimer();
  RefreshPages();
}

void TfrmTCPIPMonitor::SpeedButton1Click(Component*) {
  SpeedButton1->SetEnabled(false);
  buttonWaits_ = true;
  RefreshPages();
}

bool ListInterfaceDetails(Lines* lines) {
  if (!lines) return false;
  LinesUpdate update(*lines);
  try {
    TAdapterInfo table;
    if (!ReadAdapterInfo(table)) {
      lines->Add("\r\n*** Error retrieving adapter information");
      return false;
    }
    lines->Clear();
    for (const TAdapterInfoRec& r : table) {
      lines->Add("");
      lines->Add(FormatLine("************** (%d) ****************", static_cast<int32_t>(r.Index)));
      lines->Add("\"" + r.Description + "\"");
      lines->Add("\tLink encap: " + IfTypeToStr(r.IfType) + " ");
      if (!r.MacAddress.empty()) lines->Add("\tHWaddr: " + r.MacAddress);
      lines->Add("\tinet addr:" + r.IpAddress);
      lines->Add(" Mask: " + r.SubnetMask);
      lines->Add(FormatLine("\tMTU: %d Speed:%.2f Mbps", r.Mtu, r.Speed / 1000 / 1000));
      lines->Add("\tAdmin status:" + AdminStatusToStr(r.AdminStatus));
      lines->Add(" Oper status:" + OperStatusToStr(r.OperStatus));
      // Counters and their sums are unsigned; the packet sums are taken in
      // 64 bits, so two counters near their top still add up.
      const uint64_t rx = uint64_t{r.InUcastPkts} + r.InNUcastPkts;
      const uint64_t tx = uint64_t{r.OutUcastPkts} + r.OutNUcastPkts;
      lines->Add("\t" + FormatLine("RX packets:%d dropped:%d errors:%d unkown:%d", rx, r.InDiscards, r.InErrors,
                                   r.InUnknownProtos));
      lines->Add("\t" + FormatLine("TX packets:%d dropped:%d errors:%d txqueuelen:%d", tx, r.OutDiscards, r.OutErrors,
                                   r.OutQLen));
    }
  } catch (const std::exception& e) {
    lines->Add("Error: " + ExceptionClassName(e) + ": " + e.what());
    return false;
  }
  return true;
}

void TfrmTCPIPMonitor::ShowSelectedAdapters(const Lines& lines) {
  Lines& selected = SelectedAdpMemo->GetLines();
  LinesUpdate update(selected);
  selected.Clear();
  selected.AddLines(lines);
}

std::string TfrmTCPIPMonitor::PagesText() const {
  std::string text = "Velnor Network Agent - monitor pages\r\nMade: " + LocalTimeText() + "\r\n";
  for (const PageRow& page : Pages()) {
    text += "\r\n== " + std::string(page.caption) + " ==\r\n";
    // Reading order: the left column before the right, each from the top.
    struct Item {
      bool right;
      int top, left;
      const HeadingRow* heading;
      const MemoRow* memo;
    };
    std::vector<Item> items;
    for (const HeadingRow& h : page.headings)
      items.push_back({h.place.left > 360, h.place.top, h.place.left, &h, nullptr});
    for (const MemoRow& m : page.memos) items.push_back({m.place.left > 360, m.place.top, m.place.left, nullptr, &m});
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
      return std::tie(a.right, a.top, a.left) < std::tie(b.right, b.top, b.left);
    });
    for (const Item& item : items) {
      if (item.heading) {
        text += std::string(item.heading->caption) + "\r\n";
        continue;
      }
      const Lines& lines = (this->*item.memo->member)->GetLines();
      for (int i = 0; i < lines.Count(); ++i) text += lines.Get(i) + "\r\n";
    }
  }
  return text;
}

void TfrmTCPIPMonitor::SavePages() {
  const std::wstring folder = DesktopFolder();
  const std::string name = TimestampedFileName("VelnorAgent-monitor");
  const std::wstring path = folder.empty() ? std::wstring() : folder + L"\\" + WideOf(name);
  const std::string why =
      path.empty() ? std::string("This user has no desktop folder.") : WriteTextFile(path, PagesText());
  if (why.empty()) {
    lblSaved->SetCaption("Saved: " + name);
    lblSaved->SetHint(WideToAnsi(path));
    lblSaved->SetShowHint(true);
    return;
  }
  lblSaved->SetCaption("Not saved");
  Application.ShowMessage(
      "The pages could not be saved" + (path.empty() ? std::string() : " to " + WideToAnsi(path)) + ": " + why,
      MB_ICONWARNING);
}
