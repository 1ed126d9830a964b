// The main window's shell: its components, panel switching, dragging,
// hover pictures, the keyboard map, shaking and closing.
#include "main/Main_u.h"

#include <cstdlib>
#include <random>

#include "monitor/uTCPIP.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"
#include "workers/ExecThread.h"
#include "workers/Utils_u.h"

TfrmMain* frmMain = nullptr;

namespace mainstate {
uint8_t PanelMode = 0;
bool DragActive = false;
POINT DragStart{};
bool ConfirmDragActive = false;
POINT ConfirmDragStart{};

std::queue<TPingItem*>* PingQueue = nullptr;
TPingItem PingItems[4];
bool TestStopped = false;
StringList* WorkList = nullptr;

TLANInfo AdapterSlots[5];
TLANInfo CurrentAdapter;
bool AdapterInfoOK = false;
bool CurrentAdapterChosen = false;
bool TestBusy = false;

TExecThread* CurrentExecThread = nullptr;
bool OutputPanelOpen = false;
int FirewallOff = 0;
bool FirewallAllowed = false;
bool FirewallSwitchPending = false;
}  // namespace mainstate

using namespace mainstate;

namespace {

// Memo and list colours of the skin.
const COLORREF kConsoleBack = 3353896;  // red 40, green 45, blue 51
const COLORREF kEventsBack = 5918276;   // red 68, green 78, blue 90
const COLORREF kLime = RGB(0, 255, 0);

enum class Kind { Picture, Button, Label, Panel };

// The window description: every windowless component and panel with its
// parent, place, start state, picture and cursor, in stacking order (later
// rows lie in front).
struct Row {
  const char* name;
  Kind kind;
  const char* parent;
  int left, top, width, height;
  bool visible;
  const char* picture;  // resource name, or null for none
  TCursor cursor;
};

const TCursor Def = TCursor::Default;
const TCursor Hand = TCursor::Hand;
const TCursor NotAllowed = TCursor::No;

const Row kLayout[] = {
    // Main panel, behind everything.
    {"pnlMain", Kind::Panel, "frmMain", 0, 0, 800, 600, true, nullptr, Def},
    {"imgBackground", Kind::Picture, "pnlMain", 0, 0, 800, 600, true, "imgBackground", Def},
    {"imgSuccess", Kind::Picture, "pnlMain", 66, 71, 18, 18, false, "imgSuccess", Def},
    {"imgUtilHover", Kind::Picture, "pnlMain", 657, 94, 143, 141, false, "imgUtilHover", Def},
    {"imgAutoHover", Kind::Picture, "pnlMain", 657, 94, 143, 141, false, "imgAutoHover", Def},
    {"btnNetUtil", Kind::Button, "pnlMain", 657, 93, 143, 71, true, nullptr, Def},
    {"btnAuto", Kind::Button, "pnlMain", 657, 163, 143, 71, true, nullptr, Def},
    {"imgRefresh", Kind::Picture, "pnlMain", 705, 252, 50, 50, true, nullptr, Hand},
    {"imgRefHover", Kind::Picture, "pnlMain", 697, 380, 50, 50, false, "imgRefHover", Def},
    {"imgHelp", Kind::Picture, "pnlMain", 707, 478, 40, 40, true, nullptr, Hand},
    {"imgHelpHover", Kind::Picture, "pnlMain", 702, 385, 40, 40, false, "imgHelpHover", Def},
    {"imgVelnorSite", Kind::Picture, "pnlMain", 685, 524, 86, 45, true, nullptr, Hand},
    {"pnlUtil", Kind::Panel, "pnlMain", 0, 43, 657, 532, false, nullptr, Def},
    {"pnlAuto", Kind::Panel, "pnlMain", 0, 43, 657, 532, false, nullptr, Def},

    // Tools panel.
    {"imgUtilBack", Kind::Picture, "pnlUtil", 0, 0, 657, 532, true, "imgUtilBack", Def},
    {"btnIpAddr", Kind::Button, "pnlUtil", 89, 125, 114, 30, true, nullptr, Def},
    {"btnMacAddr", Kind::Button, "pnlUtil", 212, 125, 114, 30, true, nullptr, Def},
    {"btnDnsSrv", Kind::Button, "pnlUtil", 333, 125, 114, 30, true, nullptr, Def},
    {"btnDefGw", Kind::Button, "pnlUtil", 453, 125, 114, 30, true, nullptr, Def},
    {"lblResult", Kind::Label, "pnlUtil", 329, 70, 8, 29, true, nullptr, Def},
    {"btnNetConn", Kind::Button, "pnlUtil", 89, 205, 158, 30, true, nullptr, Def},
    {"btnInetOpt", Kind::Button, "pnlUtil", 250, 205, 158, 30, true, nullptr, Def},
    {"imgFWOff", Kind::Picture, "pnlUtil", 408, 201, 163, 36, false, "imgFWOff", Hand},
    {"imgFWDisable", Kind::Picture, "pnlUtil", 408, 201, 162, 36, false, "imgFWDisable", Hand},
    {"btnFirewall", Kind::Button, "pnlUtil", 411, 205, 158, 31, true, nullptr, Def},
    {"btnIpConf", Kind::Button, "pnlUtil", 89, 244, 158, 30, true, nullptr, Def},
    {"btnFlashDNS", Kind::Button, "pnlUtil", 250, 244, 158, 31, true, nullptr, Def},
    {"btnRepair", Kind::Button, "pnlUtil", 411, 244, 158, 31, true, nullptr, Def},
    {"btnPingGateway", Kind::Button, "pnlUtil", 88, 325, 158, 30, true, nullptr, Def},
    {"btnPingVelnor", Kind::Button, "pnlUtil", 249, 325, 158, 30, true, nullptr, Def},
    {"btnPingTehran", Kind::Button, "pnlUtil", 411, 325, 158, 30, true, nullptr, Def},
    {"btnPingBackbone", Kind::Button, "pnlUtil", 89, 365, 158, 30, true, nullptr, Def},
    {"btnTracert", Kind::Button, "pnlUtil", 250, 365, 158, 30, true, nullptr, Def},
    {"btnPingGoogle", Kind::Button, "pnlUtil", 412, 365, 158, 30, true, nullptr, Def},
    {"btnBrowseGW", Kind::Button, "pnlUtil", 89, 443, 158, 30, true, nullptr, Def},
    {"btnBrowseVelnor", Kind::Button, "pnlUtil", 250, 443, 158, 30, true, nullptr, Def},
    {"btnBrowseGoogle", Kind::Button, "pnlUtil", 411, 443, 158, 30, true, nullptr, Def},
    {"imgToolWarn", Kind::Picture, "pnlUtil", 64, 495, 530, 32, false, "imgToolWarn", Def},
    {"imgToolFail", Kind::Picture, "pnlUtil", 64, 495, 530, 32, false, "imgToolFail", Def},
    {"imgWarnIncomplete", Kind::Picture, "pnlUtil", 64, 494, 530, 32, false, "imgWarnIncomplete", Def},
    {"imgFailGetData", Kind::Picture, "pnlUtil", 64, 494, 530, 32, false, "imgFailGetData", Def},
    {"imgToolSucceed", Kind::Picture, "pnlUtil", 64, 494, 530, 32, false, "imgToolSucceed", Def},
    {"lblPercent", Kind::Label, "pnlUtil", 291, 502, 27, 18, true, nullptr, Def},
    {"lblAverage", Kind::Label, "pnlUtil", 149, 502, 31, 18, true, nullptr, Def},
    {"imgLoadingTools", Kind::Picture, "pnlUtil", 307, 8, 30, 30, false, "imgLoadingTools", Def},
    {"imgVPN", Kind::Picture, "pnlUtil", 11, 6, 186, 31, false, "imgVPN", NotAllowed},
    {"imgProxy", Kind::Picture, "pnlUtil", 445, 7, 203, 31, false, "imgProxy", Hand},
    {"pnlOutput", Kind::Panel, "pnlUtil", -599, 48, 616, 438, true, nullptr, Def},

    // Output panel.
    {"imgCascade", Kind::Picture, "pnlOutput", 1, 1, 614, 436, true, "imgCascade", Def},
    {"imgKnob", Kind::Picture, "pnlOutput", 598, 1, 18, 435, true, nullptr, Hand},

    // Automatic test panel.
    {"imgAutoBack", Kind::Picture, "pnlAuto", 0, 0, 657, 532, true, "imgAutoBack", Def},
    {"imgTesting", Kind::Picture, "pnlAuto", 225, 320, 199, 55, false, "imgTesting", Def},
    {"imgLoading", Kind::Picture, "pnlAuto", 377, 333, 30, 30, false, "imgLoading", Def},
    {"imgStart", Kind::Picture, "pnlAuto", 224, 320, 199, 54, true, "imgStart", Def},
    {"btnStartAutoTest", Kind::Button, "pnlAuto", 227, 324, 190, 46, true, nullptr, Def},
    {"Image1", Kind::Picture, "pnlAuto", 271, 381, 19, 19, true, nullptr, Def},
    {"Image2", Kind::Picture, "pnlAuto", 271, 401, 19, 19, true, nullptr, Def},
    {"Image3", Kind::Picture, "pnlAuto", 271, 422, 19, 19, true, nullptr, Def},
    {"Image4", Kind::Picture, "pnlAuto", 271, 443, 19, 19, true, nullptr, Def},
    {"Image5", Kind::Picture, "pnlAuto", 271, 464, 19, 19, true, nullptr, Def},
    {"Image6", Kind::Picture, "pnlAuto", 271, 485, 19, 19, true, nullptr, Def},
    {"Image7", Kind::Picture, "pnlAuto", 271, 506, 19, 19, true, nullptr, Def},
    {"imgFail01", Kind::Picture, "pnlAuto", 72, 378, 222, 24, false, "imgFail01", Def},
    {"imgFail02", Kind::Picture, "pnlAuto", 72, 401, 222, 22, false, "imgFail02", Def},
    {"imgFail03", Kind::Picture, "pnlAuto", 72, 422, 222, 21, false, "imgFail03", Def},
    {"imgFail04", Kind::Picture, "pnlAuto", 72, 442, 222, 23, false, "imgFail04", Def},
    {"imgFail05", Kind::Picture, "pnlAuto", 72, 464, 222, 22, false, "imgFail05", Def},
    {"imgFail06", Kind::Picture, "pnlAuto", 72, 485, 222, 21, false, "imgFail06", Def},
    {"imgFail07", Kind::Picture, "pnlAuto", 72, 505, 222, 22, false, "imgFail07", Def},
    {"imgWarn04", Kind::Picture, "pnlAuto", 74, 442, 222, 23, false, "imgWarn04", Def},
    {"imgWarn05", Kind::Picture, "pnlAuto", 73, 464, 222, 22, false, "imgWarn05", Def},

    // Question panel, in front of the main panel.
    {"pnlConfirm", Kind::Panel, "frmMain", 179, 280, 350, 117, false, nullptr, Def},
    {"imgConfirm", Kind::Picture, "pnlConfirm", 0, 0, 350, 117, true, "imgConfirm", Def},
    {"btnNo", Kind::Button, "pnlConfirm", 30, 71, 73, 33, true, nullptr, Def},
    {"btnYes", Kind::Button, "pnlConfirm", 118, 71, 73, 33, true, nullptr, Def},

    // Header, in front of everything.
    {"pnlHeader", Kind::Panel, "frmMain", 0, 0, 800, 43, true, nullptr, Def},
    {"imgHeader", Kind::Picture, "pnlHeader", 0, 0, 800, 43, true, "imgHeader", Def},
    {"btnMinimize", Kind::Button, "pnlHeader", 748, 15, 17, 16, true, nullptr, Def},
    {"btnExit", Kind::Button, "pnlHeader", 770, 15, 17, 16, true, nullptr, Def},
};

// Pictures are decoded once and shared by every component that shows them.
ImagePtr SkinPicture(const char* name) {
  static std::map<std::string, ImagePtr> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  ImagePtr img = Image::FromResource(name);
  cache[name] = img;
  return img;
}

std::mt19937& ShakeRandom() {
  static std::mt19937 rng{std::random_device{}()};
  return rng;
}

}  // namespace

TfrmMain::TfrmMain() : Form("frmMain", "Velnor Network Util", 800, 600, Style{true, false, true, false}) {
  IsMainForm = true;
  KeyPreview = true;
  Color = GetSysColor(COLOR_BTNFACE);
  Application.SetMainWindow(Handle());
  CreateComponents();
  BindHandlers();
  FormCreate();
}

TfrmMain::~TfrmMain() {
  delete PingQueue;
  PingQueue = nullptr;
  delete WorkList;
  WorkList = nullptr;
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::CreateComponents() {
  for (const Row& row : kLayout) {
    Panel* parent = std::string(row.parent) == "frmMain" ? this : Find<Panel>(row.parent);
    Control* c = nullptr;
    switch (row.kind) {
      case Kind::Panel:
        c = Make<Panel>(parent, row.name);
        break;
      case Kind::Picture: {
        auto* pic = Make<Picture>(parent, row.name);
        if (row.picture) pic->SetPicture(SkinPicture(row.picture));
        c = pic;
        break;
      }
      case Kind::Button:
        c = Make<FlatButton>(parent, row.name);
        break;
      case Kind::Label:
        c = Make<Label>(parent, row.name);
        break;
    }
    c->SetBounds(row.left, row.top, row.width, row.height);
    c->SetVisible(row.visible);
    c->SetCursor(row.cursor);
  }

  pnlHeader = Find<Panel>("pnlHeader");
  imgHeader = Find<Picture>("imgHeader");
  btnMinimize = Find<FlatButton>("btnMinimize");
  btnExit = Find<FlatButton>("btnExit");
  pnlMain = Find<Panel>("pnlMain");
  imgBackground = Find<Picture>("imgBackground");
  imgSuccess = Find<Picture>("imgSuccess");
  imgUtilHover = Find<Picture>("imgUtilHover");
  imgAutoHover = Find<Picture>("imgAutoHover");
  btnNetUtil = Find<FlatButton>("btnNetUtil");
  btnAuto = Find<FlatButton>("btnAuto");
  imgRefresh = Find<Picture>("imgRefresh");
  imgRefHover = Find<Picture>("imgRefHover");
  imgHelp = Find<Picture>("imgHelp");
  imgHelpHover = Find<Picture>("imgHelpHover");
  imgVelnorSite = Find<Picture>("imgVelnorSite");
  pnlUtil = Find<Panel>("pnlUtil");
  pnlAuto = Find<Panel>("pnlAuto");
  imgUtilBack = Find<Picture>("imgUtilBack");
  btnIpAddr = Find<FlatButton>("btnIpAddr");
  btnMacAddr = Find<FlatButton>("btnMacAddr");
  btnDnsSrv = Find<FlatButton>("btnDnsSrv");
  btnDefGw = Find<FlatButton>("btnDefGw");
  lblResult = Find<Label>("lblResult");
  btnNetConn = Find<FlatButton>("btnNetConn");
  btnInetOpt = Find<FlatButton>("btnInetOpt");
  imgFWOff = Find<Picture>("imgFWOff");
  imgFWDisable = Find<Picture>("imgFWDisable");
  btnFirewall = Find<FlatButton>("btnFirewall");
  btnIpConf = Find<FlatButton>("btnIpConf");
  btnFlashDNS = Find<FlatButton>("btnFlashDNS");
  btnRepair = Find<FlatButton>("btnRepair");
  btnPingGateway = Find<FlatButton>("btnPingGateway");
  btnPingVelnor = Find<FlatButton>("btnPingVelnor");
  btnPingTehran = Find<FlatButton>("btnPingTehran");
  btnPingBackbone = Find<FlatButton>("btnPingBackbone");
  btnTracert = Find<FlatButton>("btnTracert");
  btnPingGoogle = Find<FlatButton>("btnPingGoogle");
  btnBrowseGW = Find<FlatButton>("btnBrowseGW");
  btnBrowseVelnor = Find<FlatButton>("btnBrowseVelnor");
  btnBrowseGoogle = Find<FlatButton>("btnBrowseGoogle");
  imgToolWarn = Find<Picture>("imgToolWarn");
  imgToolFail = Find<Picture>("imgToolFail");
  imgWarnIncomplete = Find<Picture>("imgWarnIncomplete");
  imgFailGetData = Find<Picture>("imgFailGetData");
  imgToolSucceed = Find<Picture>("imgToolSucceed");
  lblPercent = Find<Label>("lblPercent");
  lblAverage = Find<Label>("lblAverage");
  imgLoadingTools = Find<Picture>("imgLoadingTools");
  imgVPN = Find<Picture>("imgVPN");
  imgProxy = Find<Picture>("imgProxy");
  pnlOutput = Find<Panel>("pnlOutput");
  imgCascade = Find<Picture>("imgCascade");
  imgKnob = Find<Picture>("imgKnob");
  imgAutoBack = Find<Picture>("imgAutoBack");
  imgTesting = Find<Picture>("imgTesting");
  imgLoading = Find<Picture>("imgLoading");
  imgStart = Find<Picture>("imgStart");
  btnStartAutoTest = Find<FlatButton>("btnStartAutoTest");
  imgWarn04 = Find<Picture>("imgWarn04");
  imgWarn05 = Find<Picture>("imgWarn05");
  pnlConfirm = Find<Panel>("pnlConfirm");
  imgConfirm = Find<Picture>("imgConfirm");
  btnNo = Find<FlatButton>("btnNo");
  btnYes = Find<FlatButton>("btnYes");

  for (int i = 1; i <= 7; ++i) StagePicture("Image", i)->AutoSize = true;

  // Windowed controls, which always lie in front of the pictures.
  Memo::Options console;
  console.readOnly = true;
  console.vScroll = true;
  memToolsOutput = Make<Memo>(pnlOutput, "memToolsOutput", console);
  memToolsOutput->SetBounds(24, 16, 566, 404);
  memOutput = Make<Memo>(pnlAuto, "memOutput", Memo::Options{});
  memOutput->SetBounds(25, 17, 607, 288);
  for (Memo* m : {memToolsOutput, memOutput}) {
    m->BackColor = kConsoleBack;
    m->TextColor = kLime;
    m->SetFont(GetFont("Courier New", 11));
  }
  lstEvents = Make<ListBox>(pnlAuto, "lstEvents", false);
  lstEvents->SetBounds(297, 386, 336, 137);
  lstEvents->BackColor = kEventsBack;
  lstEvents->TextColor = kLime;
  lstEvents->SetFont(GetFont("Courier New", 9));
  lstEvents->SetItemHeight(12);
  lstEvents->SetShowHint(true);

  pnlOutput->RaisedBevel = true;
  lblResult->AutoSize = true;
  lblResult->Alignment = TAlignment::Center;
  lblResult->Color = kLime;
  lblResult->SetFont(GetFont("Tahoma", 24));
  lblResult->SetCaption("");
  for (Label* l : {lblPercent, lblAverage}) {
    l->Alignment = TAlignment::Center;
    l->Color = RGB(255, 255, 255);
  }
  lblPercent->SetFont(GetFont("Arial", 15));
  lblAverage->SetFont(GetFont("Arial", 13, true));
  imgRefresh->SetShowHint(true);

  TimerCascade = Make<Timer>("TimerCascade");
  TimerCascade->SetInterval(10);

  // Stacking of the form's own panels: header over question over main.
  for (Panel* p : {pnlMain, pnlConfirm, pnlHeader})
    SetWindowPos(p->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmMain::BindHandlers() {
  auto click = [this](void (TfrmMain::*fn)(Component*)) { return [this, fn](Component* s) { (this->*fn)(s); }; };
  auto mouse = [this](void (TfrmMain::*fn)(Component*, TMouseButton, TShiftState, int, int)) {
    return [this, fn](Component* s, TMouseButton b, TShiftState sh, int x, int y) { (this->*fn)(s, b, sh, x, y); };
  };

  OnShow = click(&TfrmMain::FormShow);
  OnKeyDown = [this](WORD& key, TShiftState shift) { FormKeyDown(key, shift); };
  OnMouseMove = mouse(&TfrmMain::FormMouseMove);
  OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
  OnClose = click(&TfrmMain::FormClose);

  imgHeader->OnMouseDown = mouse(&TfrmMain::FormMouseDown);
  imgHeader->OnMouseMove = mouse(&TfrmMain::FormMouseMove);
  imgHeader->OnMouseUp = mouse(&TfrmMain::FormMouseUp);
  btnMinimize->OnClick = click(&TfrmMain::btnMinimizeClick);
  btnExit->OnClick = click(&TfrmMain::btnExitClick);

  imgBackground->OnClick = click(&TfrmMain::imgUtilBackClick);
  imgBackground->OnMouseMove = mouse(&TfrmMain::imgBackgroundMouseMove);
  btnNetUtil->OnClick = click(&TfrmMain::btnNetUtilClick);
  btnAuto->OnClick = click(&TfrmMain::btnAutoClick);
  imgRefresh->OnClick = click(&TfrmMain::imgRefreshClick);
  imgRefresh->OnMouseMove = mouse(&TfrmMain::imgRefreshMouseMove);
  imgHelp->OnClick = click(&TfrmMain::imgHelpClick);
  imgHelp->OnMouseMove = mouse(&TfrmMain::imgHelpMouseMove);
  imgFWOff->OnClick = click(&TfrmMain::imgHelpClick);
  imgFWDisable->OnClick = click(&TfrmMain::imgHelpClick);
  imgVelnorSite->OnClick = click(&TfrmMain::btnBrowseVelnorClick);

  imgUtilBack->OnClick = click(&TfrmMain::imgUtilBackClick);
  btnIpAddr->OnClick = click(&TfrmMain::btnIpAddrClick);
  btnMacAddr->OnClick = click(&TfrmMain::btnMacAddrClick);
  btnDnsSrv->OnClick = click(&TfrmMain::btnDnsSrvClick);
  btnDefGw->OnClick = click(&TfrmMain::btnDefGwClick);
  btnNetConn->OnClick = click(&TfrmMain::btnNetConnClick);
  btnInetOpt->OnClick = click(&TfrmMain::btnInetOptClick);
  btnFirewall->OnClick = click(&TfrmMain::btnFirewallClick);
  btnIpConf->OnClick = click(&TfrmMain::btnIpConfClick);
  btnFlashDNS->OnClick = click(&TfrmMain::btnFlashDNSClick);
  btnRepair->OnClick = click(&TfrmMain::btnRepairClick);
  btnPingGateway->OnClick = click(&TfrmMain::btnPingGatewayClick);
  btnPingVelnor->OnClick = click(&TfrmMain::btnPingVelnorClick);
  btnPingTehran->OnClick = click(&TfrmMain::btnPingTehranClick);
  btnPingBackbone->OnClick = click(&TfrmMain::btnPingBackboneClick);
  btnTracert->OnClick = click(&TfrmMain::btnTracertClick);
  btnPingGoogle->OnClick = click(&TfrmMain::btnPingGoogleClick);
  btnBrowseGW->OnClick = click(&TfrmMain::btnBrowseGWClick);
  btnBrowseVelnor->OnClick = click(&TfrmMain::btnBrowseVelnorClick);
  btnBrowseGoogle->OnClick = click(&TfrmMain::btnBrowseGoogleClick);
  imgProxy->OnClick = click(&TfrmMain::imgProxyClick);
  pnlOutput->OnClick = click(&TfrmMain::pnlOutputClick);
  imgCascade->OnClick = click(&TfrmMain::pnlOutputClick);
  imgKnob->OnClick = click(&TfrmMain::pnlOutputClick);
  TimerCascade->OnTimer = click(&TfrmMain::TimerCascadeTimer);

  btnStartAutoTest->OnClick = click(&TfrmMain::btnStartAutoTestClick);

  imgConfirm->OnMouseDown = mouse(&TfrmMain::imgConfirmMouseDown);
  imgConfirm->OnMouseMove = mouse(&TfrmMain::imgConfirmMouseMove);
  imgConfirm->OnMouseUp = mouse(&TfrmMain::imgConfirmMouseUp);
  btnNo->OnClick = click(&TfrmMain::btnNoClick);
  btnYes->OnClick = click(&TfrmMain::btnYesClick);
}

Picture* TfrmMain::StagePicture(const char* prefix, int stage) const {
  return Find<Picture>(std::string(prefix) + std::to_string(stage));
}

void TfrmMain::FormCreate() {
  delete PingQueue;
  PingQueue = new std::queue<TPingItem*>();
  OutputPanelOpen = false;
  FirewallOff = 0;
  // The form is already frameless (its style was chosen at creation).
  DragActive = false;
  ConfirmDragActive = false;
  RECT client{};
  GetClientRect(Handle(), &client);
  // The window owns the region from here on.
  SetWindowRgn(Handle(), CreateRoundRectRgn(0, 0, client.right, client.bottom, 5, 5), TRUE);
  PanelMode = 0;
  SetPingLogTargets(&memOutput->GetLines(), &lstEvents->GetLines());
}

void TfrmMain::FormShow(Component*) {
  // A setting that cannot be read (a proxy value of the wrong kind) is
  // reported, and the window still comes up with its tools panel.
  Application.Guard([this] { imgRefreshClick(imgRefresh); });
  btnNetUtil->Click();
  FirewallAllowed = IsUserAdmin();
  if (!FirewallAllowed) {
    imgFWDisable->Show();
    btnFirewall->SetCursor(TCursor::No);
  }
}

// ---- panel switching --------------------------------------------------------

void TfrmMain::btnAutoClick(Component* sender) {
  pnlAuto->Show();
  pnlUtil->Hide();
  btnNetUtil->SetEnabled(true);
  imgUtilHover->Hide();
  imgAutoHover->Show();
  if (auto* c = dynamic_cast<Control*>(sender)) c->SetEnabled(false);
  PanelMode = 2;
}

void TfrmMain::btnNetUtilClick(Component* sender) {
  pnlAuto->Hide();
  pnlUtil->Show();
  btnAuto->SetEnabled(true);
  imgUtilHover->Show();
  imgAutoHover->Hide();
  if (auto* c = dynamic_cast<Control*>(sender)) c->SetEnabled(false);
  PanelMode = 1;
}

void TfrmMain::imgHelpClick(Component*) {
  pnlAuto->Hide();
  pnlUtil->Hide();
  btnNetUtil->SetEnabled(true);
  btnAuto->SetEnabled(true);
  imgUtilHover->Hide();
  imgAutoHover->Hide();
  PanelMode = 0;
}

// ---- dragging -----------------------------------------------------------------

void TfrmMain::FormMouseDown(Component*, TMouseButton button, TShiftState, int x, int y) {
  if (button != TMouseButton::Left) return;
  DragActive = true;
  DragStart = POINT{x, y};
}

void TfrmMain::FormMouseMove(Component*, TMouseButton, TShiftState, int x, int y) {
  if (!DragActive) return;
  RECT wr{};
  GetWindowRect(Handle(), &wr);
  SetWindowPos(Handle(), nullptr, wr.left + x - DragStart.x, wr.top + y - DragStart.y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmMain::FormMouseUp(Component*, TMouseButton, TShiftState, int, int) { DragActive = false; }

void TfrmMain::imgConfirmMouseDown(Component*, TMouseButton button, TShiftState, int x, int y) {
  if (button != TMouseButton::Left) return;
  ConfirmDragActive = true;
  ConfirmDragStart = POINT{x, y};
}

void TfrmMain::imgConfirmMouseMove(Component*, TMouseButton, TShiftState, int x, int y) {
  if (!ConfirmDragActive) return;
  pnlConfirm->SetBounds(pnlConfirm->Left() + x - ConfirmDragStart.x, pnlConfirm->Top() + y - ConfirmDragStart.y,
                        pnlConfirm->Width(), pnlConfirm->Height());
}

void TfrmMain::imgConfirmMouseUp(Component*, TMouseButton, TShiftState, int, int) { ConfirmDragActive = false; }

// ---- hover pictures -----------------------------------------------------------

void TfrmMain::imgRefreshMouseMove(Component*, TMouseButton, TShiftState, int, int) {
  if (imgRefresh->Tag != 0) return;
  imgRefresh->SetPicture(imgRefHover->GetPicture());
  imgRefresh->Tag = 1;
}

void TfrmMain::imgHelpMouseMove(Component*, TMouseButton, TShiftState, int, int) {
  if (imgHelp->Tag != 0) return;
  imgHelp->SetPicture(imgHelpHover->GetPicture());
  imgHelp->Tag = 1;
}

void TfrmMain::imgBackgroundMouseMove(Component*, TMouseButton, TShiftState, int, int) {
  if (imgRefresh->Tag == 1) {
    imgRefresh->SetPicture(nullptr);
    imgRefresh->Tag = 0;
  }
  if (imgHelp->Tag == 1) {
    imgHelp->SetPicture(nullptr);
    imgHelp->Tag = 0;
  }
}

// ---- shake --------------------------------------------------------------------

void TfrmMain::btnShakeClick(Component*) {
  for (int i = 0; i < 26; ++i) ShakeWindow();
}

void TfrmMain::ShakeWindow() {
  RECT wr{};
  GetWindowRect(Handle(), &wr);
  const int left = wr.left, top = wr.top;
  std::uniform_int_distribution<int> offset(0, 24);
  const UINT flags = SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE;
  for (int i = 0; i < 100; ++i) {
    RECT now{};
    GetWindowRect(Handle(), &now);
    SetWindowPos(Handle(), nullptr, left - 10 + offset(ShakeRandom()), now.top, 0, 0, flags);
    GetWindowRect(Handle(), &now);
    SetWindowPos(Handle(), nullptr, now.left, top - 10 + offset(ShakeRandom()), 0, 0, flags);
  }
  SetWindowPos(Handle(), nullptr, left, top, 0, 0, flags);
}

// ---- keyboard -------------------------------------------------------------------

void TfrmMain::FormKeyDown(WORD& key, TShiftState shift) {
  auto press = [](FlatButton* b) { b->Click(); };
  switch (PanelMode) {
    case 1:
      switch (key) {
        case VK_ESCAPE: imgUtilBackClick(imgUtilBack); break;
        case VK_NUMPAD1: press(btnIpAddr); break;
        case VK_NUMPAD2: press(btnMacAddr); break;
        case VK_NUMPAD3: press(btnDnsSrv); break;
        case VK_NUMPAD4: press(btnDefGw); break;
        case VK_F1: press(btnNetConn); break;
        case VK_F2: press(btnInetOpt); break;
        case VK_F3: press(btnFirewall); break;
        case VK_F4: press(btnIpConf); break;
        case VK_F5: press(btnFlashDNS); break;
        case VK_F6: press(btnRepair); break;
        case VK_F7: press(btnPingGateway); break;
        case VK_F8: press(btnPingVelnor); break;
        case VK_F9: press(btnPingTehran); break;
        case VK_F10: press(btnPingBackbone); break;
        case VK_F11: press(btnTracert); break;
        case VK_F12: {
          const TShiftState mods = shift & (ssShift | ssCtrl | ssAlt);
          if (mods == (ssShift | ssCtrl | ssAlt))
            btnShakeClick(this);
          else if (mods == (ssShift | ssCtrl))
            frmTCPIPMonitor->ShowModal();
          else
            press(btnPingGoogle);
          break;
        }
        default: break;
      }
      break;
    case 2:
      if ((key == VK_RETURN || key == VK_F1) && btnStartAutoTest->Enabled()) press(btnStartAutoTest);
      break;
    case 0:
      if (key == VK_F1) press(btnAuto);
      if (key == VK_F2) press(btnNetUtil);
      break;
    default:
      break;
  }
}

// ---- header, question panel, closing -------------------------------------------

void TfrmMain::btnMinimizeClick(Component*) { Application.Minimize(); }

void TfrmMain::btnExitClick(Component*) { Close(); }

void TfrmMain::btnNoClick(Component*) {
  pnlMain->SetEnabled(true);
  pnlConfirm->Hide();
}

void TfrmMain::FormCloseQuery(bool& canClose) {
  // Closing is always allowed, so the window goes at once; what follows is
  // only cleaning up behind it.
  ShowWindow(Handle(), SW_HIDE);
  if (HWND app = Application.AppWindow()) ShowWindow(app, SW_HIDE);
  if (CurrentExecThread) {
    CurrentExecThread->Terminate();
    // A command may run for minutes (or start programs that never end):
    // it and everything it started end now, so the worker's wait is short.
    CurrentExecThread->Abort();
    Sys.Sleep(500);
    if (CurrentExecThread) {
      try {
        // Destroying the worker waits for its command to end.
        delete CurrentExecThread;
      } catch (...) {
      }
      CurrentExecThread = nullptr;
    }
  }
  canClose = true;
}

void TfrmMain::FormClose(Component*) {
  if (TimerCascade->Enabled()) TimerCascade->SetEnabled(false);
}

// ---- window procedure -----------------------------------------------------------

LRESULT TfrmMain::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  try {
    if (msg == WM_PING_FINISHED) {
      HandlePingFinished(wp, lp);
      return 0;
    }
    if (msg == WM_EXEC_FINISHED) {
      HandleExecFinished(wp);
      return 0;
    }
    return Form::WndProc(msg, wp, lp);
  } catch (const std::exception& e) {
    AddLog(FormatLine("System Error[%d]: %s", msg, e.what()), true);
  }
  return 0;
}
