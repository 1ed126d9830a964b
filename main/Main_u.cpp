// The main window's shell: its components, panel switching, dragging,
// hover pictures, the keyboard map, shaking and closing.
#include "main/Main_u.h"

#include <cstdlib>
#include <map>
#include <random>
#include <utility>
#include <vector>

#include "monitor/uTCPIP.h"
#include "netdata/IPHelper.h"
#include "platform/Sys.h"
#include "text/Format.h"
#include "toolkit/Application.h"
#include "workers/ExecThread.h"
#include "workers/Utils_u.h"

TfrmMain* frmMain = nullptr;

namespace {

// Memo and list colours of the skin.
const COLORREF kConsoleBack = 3353896;  // red 40, green 45, blue 51
const COLORREF kEventsBack = 5918276;   // red 68, green 78, blue 90
const COLORREF kLime = RGB(0, 255, 0);

using ClickHandler = void (TfrmMain::*)(Component*);
using MouseHandler = void (TfrmMain::*)(Component*, TMouseButton, TShiftState, int, int);

// Makes one windowless component or panel and keeps it in its member.
using Maker = Control* (*)(TfrmMain& form, Panel* parent, const char* name);
template <class T, T* TfrmMain::*Member>
Control* Make(TfrmMain& form, Panel* parent, const char* name) {
  return form.*Member = form.Make<T>(parent, name);
}

// The member that holds a component of the layout: it gives the component's
// kind and, spelled out, its name.
struct Member {
  Maker make;
  const char* name;
};
#define VELNOR_COMPONENT(Kind, member) \
  Member { &Make<Kind, &TfrmMain::member>, #member }
#define PANEL(member) VELNOR_COMPONENT(Panel, member)
#define PICTURE(member) VELNOR_COMPONENT(Picture, member)
#define BUTTON(member) VELNOR_COMPONENT(FlatButton, member)
#define LABEL(member) VELNOR_COMPONENT(Label, member)

// One row of the window's layout: the component, its parent, its place,
// how it starts and its handlers. Rows come in stacking order: later ones
// lie in front.
struct Row {
  Row(Member c, Panel* TfrmMain::*in, int l, int t, int w, int h)
      : component(c), parent(in), left(l), top(t), width(w), height(h) {}
  Row& Hidden() { return visible = false, *this; }
  // Shows the skin picture of the component's own name.
  Row& Skin() { return skin = true, *this; }
  Row& Hand() { return cursor = TCursor::Hand, *this; }
  Row& NotAllowed() { return cursor = TCursor::No, *this; }
  Row& Sized() { return autoSize = true, *this; }
  Row& Click(ClickHandler h) { return click = h, *this; }
  Row& Move(MouseHandler h) { return move = h, *this; }
  Row& Drag(MouseHandler d, MouseHandler m, MouseHandler u) { return down = d, move = m, up = u, *this; }

  Member component;
  Panel* TfrmMain::*parent;  // null: the form itself
  int left, top, width, height;
  bool visible = true;
  bool skin = false;
  bool autoSize = false;
  TCursor cursor = TCursor::Default;
  ClickHandler click = nullptr;
  MouseHandler down = nullptr, move = nullptr, up = nullptr;
};

using F = TfrmMain;
Panel* TfrmMain::*const kForm = nullptr;

std::vector<Row> Layout() {
  return {
      // Main panel, behind everything.
      Row(PANEL(pnlMain), kForm, 0, 0, 800, 600),
      Row(PICTURE(imgBackground), &F::pnlMain, 0, 0, 800, 600)
          .Skin()
          .Click(&F::imgUtilBackClick)
          .Move(&F::imgBackgroundMouseMove),
      Row(PICTURE(imgSuccess), &F::pnlMain, 66, 71, 18, 18).Hidden().Skin(),
      Row(PICTURE(imgUtilHover), &F::pnlMain, 657, 94, 143, 141).Hidden().Skin(),
      Row(PICTURE(imgAutoHover), &F::pnlMain, 657, 94, 143, 141).Hidden().Skin(),
      Row(BUTTON(btnNetUtil), &F::pnlMain, 657, 93, 143, 71).Click(&F::btnNetUtilClick),
      Row(BUTTON(btnAuto), &F::pnlMain, 657, 163, 143, 71).Click(&F::btnAutoClick),
      Row(PICTURE(imgRefresh), &F::pnlMain, 705, 252, 50, 50)
          .Hand()
          .Click(&F::imgRefreshClick)
          .Move(&F::imgRefreshMouseMove),
      Row(PICTURE(imgRefHover), &F::pnlMain, 697, 380, 50, 50).Hidden().Skin(),
      Row(PICTURE(imgHelp), &F::pnlMain, 707, 478, 40, 40).Hand().Click(&F::imgHelpClick).Move(&F::imgHelpMouseMove),
      Row(PICTURE(imgHelpHover), &F::pnlMain, 702, 385, 40, 40).Hidden().Skin(),
      Row(PICTURE(imgVelnorSite), &F::pnlMain, 685, 524, 86, 45).Hand().Click(&F::btnBrowseVelnorClick),
      Row(LABEL(lblStatus), &F::pnlMain, 10, 579, 640, 17),
      Row(PANEL(pnlUtil), &F::pnlMain, 0, 43, 657, 532).Hidden(),
      Row(PANEL(pnlAuto), &F::pnlMain, 0, 43, 657, 532).Hidden(),

      // Tools panel.
      Row(PICTURE(imgUtilBack), &F::pnlUtil, 0, 0, 657, 532).Skin().Click(&F::imgUtilBackClick),
      Row(BUTTON(btnIpAddr), &F::pnlUtil, 89, 125, 114, 30).Click(&F::btnIpAddrClick),
      Row(BUTTON(btnMacAddr), &F::pnlUtil, 212, 125, 114, 30).Click(&F::btnMacAddrClick),
      Row(BUTTON(btnDnsSrv), &F::pnlUtil, 333, 125, 114, 30).Click(&F::btnDnsSrvClick),
      Row(BUTTON(btnDefGw), &F::pnlUtil, 453, 125, 114, 30).Click(&F::btnDefGwClick),
      Row(LABEL(lblResult), &F::pnlUtil, 329, 70, 8, 29),
      Row(BUTTON(btnNetConn), &F::pnlUtil, 89, 205, 158, 30).Click(&F::btnNetConnClick),
      Row(BUTTON(btnInetOpt), &F::pnlUtil, 250, 205, 158, 30).Click(&F::btnInetOptClick),
      Row(PICTURE(imgFWOff), &F::pnlUtil, 408, 201, 163, 36).Hidden().Skin().Hand().Click(&F::imgHelpClick),
      Row(PICTURE(imgFWDisable), &F::pnlUtil, 408, 201, 162, 36).Hidden().Skin().Hand().Click(&F::imgHelpClick),
      Row(BUTTON(btnFirewall), &F::pnlUtil, 411, 205, 158, 31).Click(&F::btnFirewallClick),
      Row(BUTTON(btnIpConf), &F::pnlUtil, 89, 244, 158, 30).Click(&F::btnIpConfClick),
      Row(BUTTON(btnFlashDNS), &F::pnlUtil, 250, 244, 158, 31).Click(&F::btnFlashDNSClick),
      Row(BUTTON(btnRepair), &F::pnlUtil, 411, 244, 158, 31).Click(&F::btnRepairClick),
      Row(BUTTON(btnPingGateway), &F::pnlUtil, 88, 325, 158, 30).Click(&F::btnPingGatewayClick),
      Row(BUTTON(btnPingVelnor), &F::pnlUtil, 249, 325, 158, 30).Click(&F::btnPingVelnorClick),
      Row(BUTTON(btnPingTehran), &F::pnlUtil, 411, 325, 158, 30).Click(&F::btnPingTehranClick),
      Row(BUTTON(btnPingBackbone), &F::pnlUtil, 89, 365, 158, 30).Click(&F::btnPingBackboneClick),
      Row(BUTTON(btnTracert), &F::pnlUtil, 250, 365, 158, 30).Click(&F::btnTracertClick),
      Row(BUTTON(btnPingGoogle), &F::pnlUtil, 412, 365, 158, 30).Click(&F::btnPingGoogleClick),
      Row(BUTTON(btnBrowseGW), &F::pnlUtil, 89, 443, 158, 30).Click(&F::btnBrowseGWClick),
      Row(BUTTON(btnBrowseVelnor), &F::pnlUtil, 250, 443, 158, 30).Click(&F::btnBrowseVelnorClick),
      Row(BUTTON(btnBrowseGoogle), &F::pnlUtil, 411, 443, 158, 30).Click(&F::btnBrowseGoogleClick),
      Row(PICTURE(imgToolWarn), &F::pnlUtil, 64, 495, 530, 32).Hidden().Skin(),
      Row(PICTURE(imgToolFail), &F::pnlUtil, 64, 495, 530, 32).Hidden().Skin(),
      Row(PICTURE(imgWarnIncomplete), &F::pnlUtil, 64, 494, 530, 32).Hidden().Skin(),
      Row(PICTURE(imgFailGetData), &F::pnlUtil, 64, 494, 530, 32).Hidden().Skin(),
      Row(PICTURE(imgToolSucceed), &F::pnlUtil, 64, 494, 530, 32).Hidden().Skin(),
      Row(LABEL(lblPercent), &F::pnlUtil, 291, 502, 27, 18),
      Row(LABEL(lblAverage), &F::pnlUtil, 149, 502, 31, 18),
      Row(PICTURE(imgLoadingTools), &F::pnlUtil, 307, 8, 30, 30).Hidden().Skin(),
      Row(PICTURE(imgVPN), &F::pnlUtil, 11, 6, 186, 31).Hidden().Skin().NotAllowed(),
      Row(PICTURE(imgProxy), &F::pnlUtil, 445, 7, 203, 31).Hidden().Skin().Hand().Click(&F::imgProxyClick),
      Row(PANEL(pnlOutput), &F::pnlUtil, -599, 48, 616, 438).Click(&F::pnlOutputClick),

      // Output panel.
      Row(PICTURE(imgCascade), &F::pnlOutput, 1, 1, 614, 436).Skin().Click(&F::pnlOutputClick),
      Row(PICTURE(imgKnob), &F::pnlOutput, 598, 1, 18, 435).Hand().Click(&F::pnlOutputClick),

      // Automatic test panel.
      Row(PICTURE(imgAutoBack), &F::pnlAuto, 0, 0, 657, 532).Skin(),
      Row(PICTURE(imgTesting), &F::pnlAuto, 225, 320, 199, 55).Hidden().Skin(),
      Row(PICTURE(imgLoading), &F::pnlAuto, 377, 333, 30, 30).Hidden().Skin(),
      Row(PICTURE(imgStart), &F::pnlAuto, 224, 320, 199, 54).Skin(),
      Row(BUTTON(btnStartAutoTest), &F::pnlAuto, 227, 324, 190, 46).Click(&F::btnStartAutoTestClick),
      Row(PICTURE(Image1), &F::pnlAuto, 271, 381, 19, 19).Sized(),
      Row(PICTURE(Image2), &F::pnlAuto, 271, 401, 19, 19).Sized(),
      Row(PICTURE(Image3), &F::pnlAuto, 271, 422, 19, 19).Sized(),
      Row(PICTURE(Image4), &F::pnlAuto, 271, 443, 19, 19).Sized(),
      Row(PICTURE(Image5), &F::pnlAuto, 271, 464, 19, 19).Sized(),
      Row(PICTURE(Image6), &F::pnlAuto, 271, 485, 19, 19).Sized(),
      Row(PICTURE(Image7), &F::pnlAuto, 271, 506, 19, 19).Sized(),
      Row(PICTURE(imgFail01), &F::pnlAuto, 72, 378, 222, 24).Hidden().Skin(),
      Row(PICTURE(imgFail02), &F::pnlAuto, 72, 401, 222, 22).Hidden().Skin(),
      Row(PICTURE(imgFail03), &F::pnlAuto, 72, 422, 222, 21).Hidden().Skin(),
      Row(PICTURE(imgFail04), &F::pnlAuto, 72, 442, 222, 23).Hidden().Skin(),
      Row(PICTURE(imgFail05), &F::pnlAuto, 72, 464, 222, 22).Hidden().Skin(),
      Row(PICTURE(imgFail06), &F::pnlAuto, 72, 485, 222, 21).Hidden().Skin(),
      Row(PICTURE(imgFail07), &F::pnlAuto, 72, 505, 222, 22).Hidden().Skin(),
      Row(PICTURE(imgWarn04), &F::pnlAuto, 74, 442, 222, 23).Hidden().Skin(),
      Row(PICTURE(imgWarn05), &F::pnlAuto, 73, 464, 222, 22).Hidden().Skin(),

      // Question panel, in front of the main panel.
      Row(PANEL(pnlConfirm), kForm, 179, 280, 350, 117).Hidden(),
      Row(PICTURE(imgConfirm), &F::pnlConfirm, 0, 0, 350, 117)
          .Skin()
          .Drag(&F::imgConfirmMouseDown, &F::imgConfirmMouseMove, &F::imgConfirmMouseUp),
      Row(BUTTON(btnNo), &F::pnlConfirm, 30, 71, 73, 33).Click(&F::btnNoClick),
      Row(BUTTON(btnYes), &F::pnlConfirm, 118, 71, 73, 33).Click(&F::btnYesClick),

      // Header, in front of everything.
      Row(PANEL(pnlHeader), kForm, 0, 0, 800, 43),
      Row(PICTURE(imgHeader), &F::pnlHeader, 0, 0, 800, 43)
          .Skin()
          .Drag(&F::FormMouseDown, &F::FormMouseMove, &F::FormMouseUp),
      Row(BUTTON(btnMinimize), &F::pnlHeader, 748, 15, 17, 16).Click(&F::btnMinimizeClick),
      Row(BUTTON(btnExit), &F::pnlHeader, 770, 15, 17, 16).Click(&F::btnExitClick),
  };
}

#undef PANEL
#undef PICTURE
#undef BUTTON
#undef LABEL
#undef VELNOR_COMPONENT

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
  OnShow = [this](Component* s) { FormShow(s); };
  OnKeyDown = [this](WORD& key, TShiftState shift) { FormKeyDown(key, shift); };
  OnMouseMove = [this](Component* s, TMouseButton b, TShiftState sh, int x, int y) { FormMouseMove(s, b, sh, x, y); };
  OnCloseQuery = [this](bool& canClose) { FormCloseQuery(canClose); };
  OnClose = [this](Component* s) { FormClose(s); };
  FormCreate();
}

TfrmMain::~TfrmMain() {
  if (frmMain == this) frmMain = nullptr;
}

void TfrmMain::CreateComponents() {
  for (const Row& row : Layout()) {
    Panel* parent = row.parent ? this->*row.parent : this;
    Control* c = row.component.make(*this, parent, row.component.name);
    // Hidden before its picture comes: a picture nothing shows is not decoded.
    c->SetVisible(row.visible);
    if (row.skin) static_cast<Picture*>(c)->SetPicture(SkinPicture(row.component.name));
    if (row.autoSize) static_cast<Picture*>(c)->AutoSize = true;
    c->SetBounds(row.left, row.top, row.width, row.height);
    c->SetCursor(row.cursor);
    if (row.click) c->OnClick = [this, h = row.click](Component* s) { (this->*h)(s); };
    for (auto [slot, handler] : {std::pair{&Control::OnMouseDown, row.down}, std::pair{&Control::OnMouseMove, row.move},
                                 std::pair{&Control::OnMouseUp, row.up}}) {
      if (handler) {
        c->*slot = [this, h = handler](Component* s, TMouseButton b, TShiftState sh, int x, int y) {
          (this->*h)(s, b, sh, x, y);
        };
      }
    }
  }

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
  // Over the footer's own line while it has something to say.
  lblStatus->Color = RGB(200, 210, 220);
  lblStatus->BackColor = RGB(23, 27, 34);
  lblStatus->SetFont(GetFont("Tahoma", 11));
  lblPercent->SetFont(GetFont("Arial", 15));
  lblAverage->SetFont(GetFont("Arial", 13, true));
  imgRefresh->SetShowHint(true);
  CreateFindingView();
  CreateWatchView();

  TimerCascade = Make<Timer>("TimerCascade");
  TimerCascade->SetInterval(10);
  TimerCascade->OnTimer = [this](Component* s) { TimerCascadeTimer(s); };

  // Stacking of the form's own panels: header over question over main.
  for (Panel* p : {pnlMain, pnlConfirm, pnlHeader})
    SetWindowPos(p->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmMain::FormCreate() {
  PingQueue = std::queue<TPingItem*>();
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
}

void TfrmMain::FormShow(Component*) {
  // A setting that cannot be read (a proxy value of the wrong kind) is
  // reported, and the window still comes up with its tools panel.
  Application.Guard([this] { imgRefreshClick(imgRefresh); });
  btnNetUtil->Click();
  // An administrator whose rights user account control holds back is
  // offered the switch too: it asks for them through the elevation prompt.
  FirewallAllowed = IsUserAdmin() || IsAdminHeldBack();
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
  // The report keys work in every view.
  const TShiftState mods = shift & (ssShift | ssCtrl | ssAlt);
  if (mods == ssCtrl && key == 'S') {
    SaveReport();
    return;
  }
  if (mods == ssCtrl && key == 'C') {
    // A selection in a memo is copied by the memo itself.
    if (!memOutput->HasSelection() && !memToolsOutput->HasSelection()) CopyReport();
    return;
  }
  // Alt+F4 is the system's own key for closing the window, and an F-key
  // with Alt or Ctrl held is some other program's shortcut: none of them
  // runs a tool. Only the two documented F12 combinations go on.
  const bool functionKey = key >= VK_F1 && key <= VK_F24;
  const bool held = (mods & (ssCtrl | ssAlt)) != 0;
  if (functionKey && held && !(key == VK_F12 && (mods & (ssShift | ssCtrl)) == (ssShift | ssCtrl))) return;
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
      if (HandleFindingKey(key)) break;
      if (HandleWatchKey(key)) break;
      if ((key == VK_RETURN || key == VK_F1) && btnStartAutoTest->Enabled()) press(btnStartAutoTest);
      break;
    case 0:
      if (key == VK_F1) press(btnAuto);
      if (key == VK_F2) press(btnNetUtil);
      break;
    default: break;
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
  // A script's test closed before it ended (the close button, Alt+F4, a
  // WM_CLOSE of another program) has not passed: its report says so.
  // One that had just ended keeps its verdict.
  if (TestRun.active && TestHasRun && !TestBusy)
    FinishTestRun(false);
  else
    AbandonTestRun("the window was closed before it finished.", false);
  // A watch closed early keeps what it gathered: its files are written.
  if (WatchRun.watch) {
    WriteToParentConsole("The watch did not finish: the window was closed.");
    FinishWatchRun(false);
  }
  StopWatch();
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
    if (msg == WM_TEST_RUN_ENDED) {
      FinishTestRun();
      return 0;
    }
    if (msg == WM_ENDSESSION && wp && TestRun.active) {
      // The system ends the process once this returns: the report first,
      // and the script's code is the program's own.
      AbandonTestRun("Windows ended the session before it finished.", false);
      ExitProcess(static_cast<UINT>(Application.ExitCode));
    }
    if (msg == WM_ENDSESSION && wp && WatchRun.watch) {
      WriteToParentConsole("The watch did not finish: Windows ended the session.");
      FinishWatchRun(false);
      ExitProcess(static_cast<UINT>(Application.ExitCode));
    }
    if (msg == WM_WATCH_ROUNDS) {
      HandleWatchRounds();
      return 0;
    }
    if (msg == WM_PROBE_DONE) {
      HandleProbeDone(wp);
      return 0;
    }
    return Form::WndProc(msg, wp, lp);
  } catch (const std::exception& e) {
    AddLog(FormatLine("System Error[%d]: %s", msg, e.what()), true);
  }
  return 0;
}
