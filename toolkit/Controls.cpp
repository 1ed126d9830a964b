#include "toolkit/Controls.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "platform/Sys.h"
#include "toolkit/Application.h"

namespace {

const char kPanelClass[] = "VelnorPanel";
const char kFormClass[] = "VelnorForm";
const char kAppClass[] = "VelnorApplication";

HCURSOR SystemCursor(TCursor cursor) {
  switch (cursor) {
    case TCursor::Hand:
      return LoadCursor(nullptr, IDC_HAND);
    case TCursor::No:
      return LoadCursor(nullptr, IDC_NO);
    default:
      return LoadCursor(nullptr, IDC_ARROW);
  }
}

HWND ParentWindow(Panel* parent) { return parent ? parent->Handle() : nullptr; }

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthA(hwnd);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(hwnd, &s[0], n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

std::map<UINT_PTR, Timer*>& Timers() {
  static std::map<UINT_PTR, Timer*> timers;
  return timers;
}

void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
  auto it = Timers().find(id);
  if (it != Timers().end()) it->second->Tick();
}

LRESULT CALLBACK AppWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_RESTORE) {
        ShowWindow(hwnd, SW_RESTORE);
        if (HWND main = Application.MainWindow()) {
          ShowWindow(main, SW_SHOW);
          SetForegroundWindow(main);
        }
        return 0;
      }
      if ((wp & 0xFFF0) == SC_CLOSE) {
        if (HWND main = Application.MainWindow()) PostMessageA(main, WM_CLOSE, 0, 0);
        return 0;
      }
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE && !IsIconic(hwnd)) {
        if (HWND main = Application.MainWindow()) {
          if (IsWindowVisible(main)) SetActiveWindow(main);
        }
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void InitCommonControlsLibrary() {
  static bool done = false;
  if (done) return;
  done = true;
  if (!BindSystemLibrary(SysLibrary::comctl32) || !Sys.InitCommonControlsEx) return;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_STANDARD_CLASSES | ICC_BAR_CLASSES};
  Sys.InitCommonControlsEx(&icc);
}

void RegisterToolkitClasses() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = Panel::StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = nullptr;  // WM_SETCURSOR decides
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
  wc.lpszClassName = kFormClass;
  wc.hIcon = LoadIconA(wc.hInstance, "MAINICON");
  RegisterClassA(&wc);
  WNDCLASSA app{};
  app.lpfnWndProc = AppWndProc;
  app.hInstance = wc.hInstance;
  app.hIcon = wc.hIcon;
  app.lpszClassName = kAppClass;
  RegisterClassA(&app);
}

HWND CreateApplicationWindow(const std::string& title) {
  // Zero-sized and off to the side: only its taskbar button shows.
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  return CreateWindowExA(0, kAppClass, title.c_str(), WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x,
                         y, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

bool DispatchKeyPreview(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (!msg.hwnd) return false;
  Form* form = Form::FromWindow(GetAncestor(msg.hwnd, GA_ROOT));
  if (!form || !form->KeyPreview) return false;
  WORD key = static_cast<WORD>(msg.wParam);
  form->KeyDown(key, KeyboardShiftState());
  return false;
}

// ---- Component / Control ---------------------------------------------------

Component::Component(Form* owner, const std::string& name) : owner_(owner), name_(name) {
  if (owner_) owner_->Register(this);
}

Control::Control(Form* owner, Panel* parent, const std::string& name) : Component(owner, name), parent_(parent) {
  if (parent_) parent_->AddChild(this);
}

Control::~Control() {
  if (parent_) parent_->RemoveChild(this);
}

void Control::SetBounds(int left, int top, int width, int height) {
  if (left == left_ && top == top_ && width == width_ && height == height_) return;
  if (!Windowed()) Invalidate();
  left_ = left;
  top_ = top;
  width_ = width;
  height_ = height;
  BoundsChanged();
  if (!Windowed()) Invalidate();
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  if (parent_) parent_->ChildChanged(this);
  Invalidate();
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (parent_) parent_->ChildChanged(this);
  Invalidate();
}

void Control::SetHint(const std::string& hint) {
  hint_ = hint;
  if (parent_) parent_->ChildChanged(this);
}

void Control::SetShowHint(bool show) {
  showHint_ = show;
  if (parent_) parent_->ChildChanged(this);
}

void Control::Click() {
  if (OnClick) OnClick(this);
}

void Control::Invalidate() {
  if (parent_ && !Windowed()) parent_->InvalidateRect(BoundsRect());
}

// ---- Picture ----------------------------------------------------------------

Picture::Picture(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}

Picture::~Picture() {
  if (animating_ && parent_) parent_->StopAnimation(this);
  if (visible_ && picture_) picture_->RemoveViewer();
}

void Picture::SetPicture(const ImagePtr& picture) {
  // A shown picture keeps its bitmap; one that nothing shows gives it up.
  if (visible_ && picture) picture->AddViewer();
  if (visible_ && picture_) picture_->RemoveViewer();
  picture_ = picture;
  frame_ = 0;
  if (AutoSize && picture_) SetBounds(left_, top_, picture_->Width(), picture_->Height());
  UpdateAnimation();
  Invalidate();
}

void Picture::SetVisible(bool visible) {
  if (visible != visible_ && picture_) {
    if (visible)
      picture_->AddViewer();
    else
      picture_->RemoveViewer();
  }
  Control::SetVisible(visible);
  UpdateAnimation();
}

void Picture::SetEnabled(bool enabled) {
  Control::SetEnabled(enabled);
  UpdateAnimation();
}

void Picture::UpdateAnimation() {
  // Only a shown picture is asked for its frames: that decodes it.
  const bool want = visible_ && enabled_ && parent_ && picture_ && picture_->MayAnimate() && picture_->FrameCount() > 1;
  if (want == animating_) return;
  animating_ = want;
  if (want)
    parent_->StartAnimation(this, picture_->FrameDelayMs(frame_));
  else if (parent_)
    parent_->StopAnimation(this);
}

void Picture::Animate() {
  if (!picture_ || picture_->FrameCount() < 2) return;
  frame_ = (frame_ + 1) % picture_->FrameCount();
  Invalidate();
}

void Picture::Paint(HDC dc) {
  if (picture_) picture_->Draw(dc, left_, top_, picture_->Width(), picture_->Height(), frame_);
}

// ---- FlatButton -------------------------------------------------------------

FlatButton::FlatButton(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}

void FlatButton::Paint(HDC dc) {
  RECT r = BoundsRect();
  const bool hot = enabled_ && parent_ && parent_->Hovered() == this;
  if (!Caption.empty() || Glyph) {
    int x = r.left + 6;
    if (Glyph) {
      Glyph->Draw(dc, x, r.top + (height_ - Glyph->Height()) / 2, Glyph->Width(), Glyph->Height(), 0);
      x += Glyph->Width() + 4;
    }
    HGDIOBJ old = SelectObject(dc, Font ? Font : GetStockObject(DEFAULT_GUI_FONT));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(enabled_ ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    RECT tr{x, r.top, r.right - 2, r.bottom};
    DrawTextA(dc, Caption.c_str(), -1, &tr, DT_SINGLELINE | DT_VCENTER | DT_CENTER);
    SelectObject(dc, old);
  }
  if (hot) {
    // A flat button shows a thin raised frame while the mouse is over it.
    DrawEdge(dc, &r, BDR_RAISEDINNER, BF_RECT);
  }
}

// ---- Label ------------------------------------------------------------------

Label::Label(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}

void Label::SetCaption(const std::string& caption) {
  caption_ = caption;
  AdjustSize();
  Invalidate();
}

void Label::SetFont(HFONT font) {
  font_ = font;
  AdjustSize();
  Invalidate();
}

void Label::AdjustSize() {
  if (!AutoSize) return;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  // An empty caption is measured as one blank, so the label keeps a size.
  const std::string text = caption_.empty() ? std::string(" ") : caption_;
  SIZE size{};
  GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  SetBounds(left_, top_, size.cx, size.cy);
}

void Label::Paint(HDC dc) {
  if (caption_.empty()) return;
  RECT r = BoundsRect();
  if (BackColor != CLR_INVALID) {
    HBRUSH back = CreateSolidBrush(BackColor);
    FillRect(dc, &r, back);
    DeleteObject(back);
  }
  HGDIOBJ old = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, Color);
  UINT flags = DT_SINGLELINE | DT_TOP | DT_NOPREFIX | (Alignment == TAlignment::Center ? DT_CENTER : DT_LEFT);
  DrawTextA(dc, caption_.c_str(), -1, &r, flags);
  SelectObject(dc, old);
}

// ---- WinControl -------------------------------------------------------------

WinControl::WinControl(Form* owner, Panel* parent, const std::string& name) : Control(owner, parent, name) {}

WinControl::~WinControl() {
  if (hwnd_ && IsWindow(hwnd_)) {
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  if (brush_) DeleteObject(brush_);
}

void WinControl::Create(const char* className, DWORD style, DWORD exStyle, const char* text) {
  hwnd_ = CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0), left_, top_,
                          width_, height_, ParentWindow(parent_), nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  TagWindowWithName(hwnd_, Name());
}

void TagWindowWithName(HWND hwnd, const std::string& name) {
  // Support tools and tests outside the process find a control by its
  // component name through this property (a global atom of the name).
  if (hwnd && !name.empty()) SetPropA(hwnd, kComponentNameProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(GlobalAddAtomA(name.c_str()))));
}

WinControl* WinControl::FromHandle(HWND hwnd) {
  return hwnd ? reinterpret_cast<WinControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA)) : nullptr;
}

void WinControl::BoundsChanged() {
  if (hwnd_) SetWindowPos(hwnd_, nullptr, left_, top_, width_, height_, SWP_NOZORDER | SWP_NOACTIVATE);
}

void WinControl::SetVisible(bool visible) {
  Control::SetVisible(visible);
  if (hwnd_) ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}

void WinControl::SetEnabled(bool enabled) {
  Control::SetEnabled(enabled);
  if (hwnd_) EnableWindow(hwnd_, enabled);
}

void WinControl::SetFont(HFONT font) {
  font_ = font;
  if (hwnd_) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

HBRUSH WinControl::BackBrush() {
  if (BackColor == CLR_INVALID) return nullptr;
  if (!brush_ || brushColor_ != BackColor) {
    if (brush_) DeleteObject(brush_);
    brush_ = CreateSolidBrush(BackColor);
    brushColor_ = BackColor;
  }
  return brush_;
}

// ---- Panel --------------------------------------------------------------------

Panel::Panel(Form* owner, Panel* parent, const std::string& name) : WinControl(owner, parent, name) {
  // A form makes its own top-level window.
  if (parent) CreatePanelWindow(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, parent->Handle(), "");
}

Panel::~Panel() {
  for (Picture* p : animated_) KillTimer(hwnd_, reinterpret_cast<UINT_PTR>(p));
  if (tooltip_) DestroyWindow(tooltip_);
}

void Panel::CreatePanelWindow(DWORD style, DWORD exStyle, HWND parentWindow, const char* text) {
  const char* cls = parentWindow || !dynamic_cast<Form*>(this) ? kPanelClass : kFormClass;
  hwnd_ = CreateWindowExA(exStyle, cls, text, style, left_, top_, width_, height_, parentWindow, nullptr, GetModuleHandleA(nullptr),
                          this);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  TagWindowWithName(hwnd_, Name());
}

void Panel::AddChild(Control* child) { children_.push_back(child); }

void Panel::RemoveChild(Control* child) {
  children_.erase(std::remove(children_.begin(), children_.end(), child), children_.end());
  if (hovered_ == child) hovered_ = nullptr;
  if (pressed_ == child) pressed_ = nullptr;
}

Control* Panel::ControlAt(POINT pt) const {
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    Control* c = *it;
    if (c->Windowed() || !c->Visible() || !c->Enabled()) continue;
    RECT r = c->BoundsRect();
    if (PtInRect(&r, pt)) return c;
  }
  return nullptr;
}

void Panel::ChildChanged(Control* child) {
  if (!child->Visible() || !child->Enabled()) {
    if (hovered_ == child) hovered_ = nullptr;
    if (pressed_ == child) pressed_ = nullptr;
  }
  UpdateTooltip();
}

void Panel::InvalidateRect(const RECT& r) {
  if (hwnd_) ::InvalidateRect(hwnd_, &r, FALSE);
}

void Panel::StartAnimation(Picture* picture, int delayMs) {
  animated_.insert(picture);
  SetTimer(hwnd_, reinterpret_cast<UINT_PTR>(picture), static_cast<UINT>(delayMs), nullptr);
}

void Panel::StopAnimation(Picture* picture) {
  if (animated_.erase(picture)) KillTimer(hwnd_, reinterpret_cast<UINT_PTR>(picture));
}

void Panel::Realign() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  RECT area = client;
  for (Control* c : children_) {
    switch (c->Align) {
      case TAlign::Top:
        c->SetBounds(area.left, area.top, area.right - area.left, c->Height());
        area.top += c->Height();
        break;
      case TAlign::Bottom:
        c->SetBounds(area.left, area.bottom - c->Height(), area.right - area.left, c->Height());
        area.bottom -= c->Height();
        break;
      default:
        break;
    }
  }
  for (Control* c : children_) {
    if (c->Align == TAlign::Client) c->SetBounds(area.left, area.top, area.right - area.left, area.bottom - area.top);
  }
}

void Panel::PaintChildren(HDC dc) {
  RECT client{};
  GetClientRect(hwnd_, &client);
  HBRUSH bg = CreateSolidBrush(Color);
  FillRect(dc, &client, bg);
  DeleteObject(bg);
  if (RaisedBevel) DrawEdge(dc, &client, BDR_RAISEDINNER, BF_RECT);
  for (Control* c : children_) {
    if (c->Windowed() || !c->Visible()) continue;
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height());
    c->Paint(dc);
    RestoreDC(dc, saved);
  }
}

void Panel::UpdateTooltip() {
  if (!hwnd_) return;
  const std::string text = hovered_ && hovered_->ShowHint() ? hovered_->Hint() : std::string();
  if (text == tooltipText_) return;
  tooltipText_ = text;
  if (!tooltip_) {
    if (text.empty()) return;
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!tooltip_) return;
    TOOLINFOA ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_SUBCLASS | TTF_IDISHWND;
    ti.hwnd = hwnd_;
    ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
    ti.lpszText = const_cast<char*>("");
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  }
  TOOLINFOA ti{};
  ti.cbSize = sizeof(ti);
  ti.hwnd = hwnd_;
  ti.uId = reinterpret_cast<UINT_PTR>(hwnd_);
  ti.lpszText = const_cast<char*>(tooltipText_.c_str());
  SendMessageA(tooltip_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
  SendMessageA(tooltip_, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

void Panel::MouseMessage(UINT msg, WPARAM wp, LPARAM lp) {
  POINT pt{GET_X_LPARAM(lp), GET_Y_LPARAM(lp)};
  TShiftState shift = KeyboardShiftState();
  if (wp & MK_LBUTTON) shift |= ssLeft;
  if (wp & MK_RBUTTON) shift |= ssRight;
  if (wp & MK_MBUTTON) shift |= ssMiddle;

  Control* target = capturing_ ? pressed_ : ControlAt(pt);
  if (!capturing_ && target != hovered_) {
    Control* old = hovered_;
    hovered_ = target;
    if (old) old->Invalidate();
    if (hovered_) hovered_->Invalidate();
    UpdateTooltip();
  }
  if (!trackingLeave_) {
    TRACKMOUSEEVENT tme{sizeof(tme), TME_LEAVE, hwnd_, 0};
    trackingLeave_ = TrackMouseEvent(&tme) != FALSE;
  }

  Component* sender = target ? static_cast<Component*>(target) : this;
  Control* handler = target ? target : this;
  const int x = pt.x - (target ? target->Left() : 0);
  const int y = pt.y - (target ? target->Top() : 0);

  auto button = TMouseButton::Left;
  if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP) button = TMouseButton::Right;
  if (msg == WM_MBUTTONDOWN || msg == WM_MBUTTONUP) button = TMouseButton::Middle;

  switch (msg) {
    case WM_MOUSEMOVE:
      if (handler->OnMouseMove) Application.Guard([&] { handler->OnMouseMove(sender, button, shift, x, y); });
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (!capturing_) {
        pressed_ = target;
        capturing_ = true;
        SetCapture(hwnd_);
      }
      if (handler->OnMouseDown) Application.Guard([&] { handler->OnMouseDown(sender, button, shift, x, y); });
      break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (handler->OnMouseUp) Application.Guard([&] { handler->OnMouseUp(sender, button, shift, x, y); });
      const bool anyDown = (wp & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) != 0;
      if (button == TMouseButton::Left && capturing_) {
        // A click is a left press and release on the same control.
        Control* under = ControlAt(pt);
        const bool self = target == nullptr && under == nullptr;
        if ((target && under == target) || self) {
          Control* clicked = target ? target : this;
          if (clicked->Enabled()) Application.Guard([&] { clicked->Click(); });
        }
      }
      if (!anyDown && capturing_) {
        capturing_ = false;
        pressed_ = nullptr;
        if (GetCapture() == hwnd_) ReleaseCapture();
      }
      break;
    }
    default:
      break;
  }
}

LRESULT CALLBACK Panel::StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Panel* self = nullptr;
  if (msg == WM_NCCREATE) {
    auto* cs = reinterpret_cast<CREATESTRUCTA*>(lp);
    self = static_cast<Panel*>(cs->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    if (self) self->hwnd_ = hwnd;
  } else {
    self = static_cast<Panel*>(FromHandle(hwnd));
  }
  if (!self) return DefWindowProcA(hwnd, msg, wp, lp);
  return self->WndProc(msg, wp, lp);
}

LRESULT Panel::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT client{};
      GetClientRect(hwnd_, &client);
      HDC mem = CreateCompatibleDC(dc);
      HBITMAP bmp = CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
      HGDIOBJ oldBmp = SelectObject(mem, bmp);
      PaintChildren(mem);
      BitBlt(dc, ps.rcPaint.left, ps.rcPaint.top, ps.rcPaint.right - ps.rcPaint.left, ps.rcPaint.bottom - ps.rcPaint.top, mem,
             ps.rcPaint.left, ps.rcPaint.top, SRCCOPY);
      SelectObject(mem, oldBmp);
      DeleteObject(bmp);
      DeleteDC(mem);
      EndPaint(hwnd_, &ps);
      return 0;
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
      MouseMessage(msg, wp, lp);
      return 0;
    case WM_LBUTTONDBLCLK:
      // A double click is a second click.
      MouseMessage(WM_LBUTTONDOWN, wp, lp);
      return 0;
    case WM_CAPTURECHANGED:
      if (reinterpret_cast<HWND>(lp) != hwnd_) {
        capturing_ = false;
        pressed_ = nullptr;
      }
      return 0;
    case WM_MOUSELEAVE:
      trackingLeave_ = false;
      if (!capturing_ && hovered_) {
        Control* old = hovered_;
        hovered_ = nullptr;
        old->Invalidate();
        UpdateTooltip();
      }
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lp) == HTCLIENT && reinterpret_cast<HWND>(wp) == hwnd_) {
        ::SetCursor(SystemCursor(hovered_ ? hovered_->Cursor() : Cursor()));
        return TRUE;
      }
      break;
    case WM_TIMER: {
      auto* pic = reinterpret_cast<Picture*>(wp);
      if (animated_.count(pic)) pic->Animate();
      return 0;
    }
    case WM_SIZE:
      Realign();
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN: {
      WinControl* child = FromHandle(reinterpret_cast<HWND>(lp));
      if (child && child->BackColor != CLR_INVALID) {
        HDC dc = reinterpret_cast<HDC>(wp);
        if (child->TextColor != CLR_INVALID) SetTextColor(dc, child->TextColor);
        SetBkColor(dc, child->BackColor);
        return reinterpret_cast<LRESULT>(child->BackBrush());
      }
      if (child && child->TextColor != CLR_INVALID) {
        LRESULT r = DefWindowProcA(hwnd_, msg, wp, lp);
        SetTextColor(reinterpret_cast<HDC>(wp), child->TextColor);
        return r;
      }
      break;
    }
    case WM_COMMAND:
      if (lp) {
        if (WinControl* child = FromHandle(reinterpret_cast<HWND>(lp))) {
          Application.Guard([&] { child->Command(HIWORD(wp)); });
          return 0;
        }
      }
      break;
    case WM_NOTIFY: {
      auto* hdr = reinterpret_cast<NMHDR*>(lp);
      if (WinControl* child = FromHandle(hdr->hwndFrom)) return child->Notify(hdr);
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}

// ---- Memo ---------------------------------------------------------------------

Memo::Memo(Form* owner, Panel* parent, const std::string& name, const Options& o)
    : WinControl(owner, parent, name), lines_(*this) {
  DWORD style = ES_MULTILINE | ES_AUTOVSCROLL | ES_NOHIDESEL;
  if (o.readOnly) style |= ES_READONLY;
  if (o.vScroll) style |= WS_VSCROLL;
  if (o.hScroll) style |= WS_HSCROLL;
  if (!o.wordWrap) style |= ES_AUTOHSCROLL;
  Create("EDIT", style, o.border ? WS_EX_CLIENTEDGE : 0, "");
  SendMessageA(hwnd_, EM_SETLIMITTEXT, 0, 0);
}

std::string Memo::Text() const { return WindowText(hwnd_); }

bool Memo::HasSelection() const {
  DWORD start = 0, end = 0;
  SendMessageA(hwnd_, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
  return end > start;
}

void Memo::Command(WORD code) {
  if (code == EN_CHANGE && !lines_.writing_) lines_.stale_ = true;
}

void Memo::MemoLines::Sync() const {
  if (!stale_) return;
  stale_ = false;
  const std::string text = WindowText(memo_.hwnd_);
  lines_.clear();
  if (!text.empty()) lines_ = SplitLineBreaks(text);
}

int Memo::MemoLines::Count() const {
  Sync();
  return static_cast<int>(lines_.size());
}

std::string Memo::MemoLines::Get(int index) const {
  Sync();
  if (index < 0 || index >= static_cast<int>(lines_.size()))
    throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  return lines_[static_cast<size_t>(index)];
}

void Memo::MemoLines::Add(const std::string& text) {
  memo_.ContinueReplace(INFINITE);
  Sync();
  const bool wasEmpty = lines_.empty();
  const std::vector<std::string> parts = SplitLineBreaks(text);
  lines_.insert(lines_.end(), parts.begin(), parts.end());
  if (updating_ > 0) {
    pending_ = true;
    return;
  }
  std::string chunk;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i > 0 || !wasEmpty) chunk += "\r\n";
    chunk += parts[i];
  }
  writing_ = true;
  const int end = GetWindowTextLengthA(memo_.hwnd_);
  SendMessageA(memo_.hwnd_, EM_SETSEL, end, end);
  SendMessageA(memo_.hwnd_, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(chunk.c_str()));
  writing_ = false;
}

void Memo::MemoLines::Clear() {
  memo_.ContinueReplace(INFINITE);
  lines_.clear();
  stale_ = false;
  if (updating_ > 0) {
    pending_ = true;
    return;
  }
  writing_ = true;
  SetWindowTextA(memo_.hwnd_, "");
  writing_ = false;
}

void Memo::MemoLines::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0 && pending_) {
    memo_.ContinueReplace(INFINITE);
    pending_ = false;
    std::string text;
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (i) text += "\r\n";
      text += lines_[i];
    }
    writing_ = true;
    SetWindowTextA(memo_.hwnd_, text.c_str());
    writing_ = false;
  }
}

// ---- ListBox ------------------------------------------------------------------

ListBox::ListBox(Form* owner, Panel* parent, const std::string& name, bool border)
    : WinControl(owner, parent, name), lines_(*this) {
  Create("LISTBOX", LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | LBS_HASSTRINGS | WS_VSCROLL, border ? WS_EX_CLIENTEDGE : 0, "");
}

void ListBox::SetItemHeight(int height) { SendMessageA(hwnd_, LB_SETITEMHEIGHT, 0, height); }

int ListBox::ListLines::Count() const { return static_cast<int>(SendMessageA(box_.hwnd_, LB_GETCOUNT, 0, 0)); }

std::string ListBox::ListLines::Get(int index) const {
  if (index < 0 || index >= Count()) throw std::out_of_range("List index out of bounds (" + std::to_string(index) + ")");
  const LRESULT len = SendMessageA(box_.hwnd_, LB_GETTEXTLEN, index, 0);
  std::string s(static_cast<size_t>(len) + 1, '\0');
  SendMessageA(box_.hwnd_, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(static_cast<size_t>(len));
  return s;
}

void ListBox::ListLines::Add(const std::string& text) {
  SendMessageA(box_.hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  if (updating_ == 0) box_.ShowLast();
}

void ListBox::ShowLast() {
  // Like a memo, the list follows its newest line (the system stops at the
  // last full page, so a short list does not move).
  const LRESULT count = SendMessageA(hwnd_, LB_GETCOUNT, 0, 0);
  if (count > 0) SendMessageA(hwnd_, LB_SETTOPINDEX, static_cast<WPARAM>(count - 1), 0);
}

void ListBox::ListLines::Clear() { SendMessageA(box_.hwnd_, LB_RESETCONTENT, 0, 0); }

void ListBox::ListLines::BeginUpdate() {
  if (updating_++ == 0) SendMessageA(box_.hwnd_, WM_SETREDRAW, FALSE, 0);
}

void ListBox::ListLines::EndUpdate() {
  if (updating_ > 0 && --updating_ == 0) {
    box_.ShowLast();
    SendMessageA(box_.hwnd_, WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(box_.hwnd_, nullptr, TRUE);
  }
}

// ---- StaticText / CheckBox ----------------------------------------------------

StaticText::StaticText(Form* owner, Panel* parent, const std::string& name, const std::string& caption, bool centred)
    : WinControl(owner, parent, name) {
  Create("STATIC", SS_NOPREFIX | SS_SUNKEN | (centred ? SS_CENTER : SS_LEFT), 0, caption.c_str());
}

std::string StaticText::Caption() const { return WindowText(hwnd_); }

CheckBox::CheckBox(Form* owner, Panel* parent, const std::string& name, const std::string& caption)
    : WinControl(owner, parent, name) {
  Create("BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 0, caption.c_str());
}

bool CheckBox::Checked() const { return SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void CheckBox::SetChecked(bool checked) {
  if (checked == Checked()) return;
  SendMessageA(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
  Control::Click();
}

void CheckBox::Click() { SetChecked(!Checked()); }

void CheckBox::Command(WORD code) {
  // The control has already toggled itself.
  if (code == BN_CLICKED) Control::Click();
}

// ---- PageControl / TabSheet ---------------------------------------------------

TabSheet::TabSheet(Form* owner, PageControl* control, const std::string& name, const std::string& caption)
    : Panel(owner, control, name), caption_(caption) {
  SetWindowTextA(hwnd_, caption.c_str());
  control->AddSheet(this);
}

PageControl::PageControl(Form* owner, Panel* parent, const std::string& name) : Panel(owner, parent, name) {
  tabs_ = CreateWindowExA(0, WC_TABCONTROLA, "", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0, 0, 0, hwnd_, nullptr,
                          GetModuleHandleA(nullptr), nullptr);
}

void PageControl::AddSheet(TabSheet* sheet) {
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = const_cast<char*>(sheet->Caption().c_str());
  SendMessageA(tabs_, TCM_INSERTITEMA, sheets_.size(), reinterpret_cast<LPARAM>(&item));
  sheets_.push_back(sheet);
  if (!active_) SetActivePage(sheet);
  LayoutSheets();
}

void PageControl::SetActivePage(TabSheet* sheet) {
  active_ = sheet;
  for (size_t i = 0; i < sheets_.size(); ++i) {
    sheets_[i]->SetVisible(sheets_[i] == sheet);
    if (sheets_[i] == sheet) SendMessageA(tabs_, TCM_SETCURSEL, i, 0);
  }
  if (sheet) SetWindowPos(sheet->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void PageControl::SetFont(HFONT font) {
  Panel::SetFont(font);
  SendMessageA(tabs_, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  LayoutSheets();
}

void PageControl::LayoutSheets() {
  RECT r{};
  GetClientRect(hwnd_, &r);
  MoveWindow(tabs_, 0, 0, r.right, r.bottom, TRUE);
  SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  for (TabSheet* s : sheets_) s->SetBounds(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

LRESULT PageControl::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) {
    LayoutSheets();
    return 0;
  }
  if (msg == WM_NOTIFY) {
    auto* hdr = reinterpret_cast<NMHDR*>(lp);
    if (hdr->hwndFrom == tabs_ && hdr->code == static_cast<UINT>(TCN_SELCHANGE)) {
      const int sel = static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0));
      if (sel >= 0 && sel < static_cast<int>(sheets_.size())) SetActivePage(sheets_[static_cast<size_t>(sel)]);
      return 0;
    }
  }
  return Panel::WndProc(msg, wp, lp);
}

// ---- Timer ----------------------------------------------------------------------

Timer::Timer(Form* owner, const std::string& name) : Component(owner, name) {}

Timer::~Timer() { SetEnabled(false); }

void Timer::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Restart();
}

void Timer::SetInterval(int ms) {
  interval_ = ms;
  Restart();
}

void Timer::Restart() {
  if (id_) {
    KillTimer(nullptr, id_);
    Timers().erase(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) {
    id_ = SetTimer(nullptr, 0, static_cast<UINT>(interval_), TimerProc);
    Timers()[id_] = this;
  }
}

void Timer::Tick() {
  if (enabled_ && OnTimer) Application.Guard([&] { OnTimer(this); });
}

// ---- Form -----------------------------------------------------------------------

Form::Form(const std::string& name, const std::string& caption, int clientWidth, int clientHeight, const Style& style)
    : Panel(this, nullptr, name) {
  visible_ = false;
  DWORD ws = WS_CLIPCHILDREN;
  if (style.frameless) {
    ws |= WS_POPUP | WS_SYSMENU;
  } else {
    ws |= WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    if (style.sizable) ws |= WS_THICKFRAME;
  }
  if (style.minimizeBox) ws |= WS_MINIMIZEBOX;
  if (style.maximizeBox) ws |= WS_MAXIMIZEBOX;
  RECT r{0, 0, clientWidth, clientHeight};
  AdjustWindowRectEx(&r, ws, FALSE, 0);
  width_ = r.right - r.left;
  height_ = r.bottom - r.top;
  CreatePanelWindow(ws, 0, nullptr, caption.c_str());
  // Owned by the application window, which carries the taskbar button.
  if (HWND app = Application.AppWindow()) SetWindowLongPtrA(hwnd_, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(app));
  CenterOnScreen();
}

Form::~Form() {
  // Children go before the panels they live in: newest first.
  while (!owned_.empty()) owned_.pop_back();
}

std::string Form::Caption() const { return WindowText(hwnd_); }

void Form::SetCaption(const std::string& caption) { SetWindowTextA(hwnd_, caption.c_str()); }

void Form::Register(Component* component) {
  if (component != this) byName_[component->Name()] = component;
}

Component* Form::FindComponent(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

Form* Form::FromWindow(HWND hwnd) {
  if (!hwnd) return nullptr;
  char cls[32] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (strcmp(cls, kFormClass) != 0) return nullptr;
  return static_cast<Form*>(FromHandle(hwnd));
}

void Form::CenterOnScreen() {
  RECT wr{};
  GetWindowRect(hwnd_, &wr);
  const int w = wr.right - wr.left, h = wr.bottom - wr.top;
  const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
  SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  left_ = x;
  top_ = y;
}

void Form::ShowForm() {
  if (visible_ && IsWindowVisible(hwnd_)) {
    SetForegroundWindow(hwnd_);
    return;
  }
  visible_ = true;
  ShowWindow(hwnd_, SW_SHOW);
  SetForegroundWindow(hwnd_);
  SetFocus(hwnd_);
  if (OnShow) Application.Guard([&] { OnShow(this); });
}

void Form::HideForm() {
  visible_ = false;
  ShowWindow(hwnd_, SW_HIDE);
}

void Form::ShowModal() {
  HWND owner = Application.MainWindow();
  const bool disableOwner = owner && owner != hwnd_ && IsWindowEnabled(owner);
  if (disableOwner) EnableWindow(owner, FALSE);
  modal_ = true;
  ShowForm();
  MSG msg;
  while (visible_ && !Application.Terminated()) {
    const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
      Application.Terminate();
      break;
    }
    if (!DispatchKeyPreview(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  modal_ = false;
  if (disableOwner) {
    EnableWindow(owner, TRUE);
    SetForegroundWindow(owner);
  }
  if (visible_) HideForm();
}

void Form::Close() {
  if (closing_) return;
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(canClose);
  if (!canClose) return;
  closing_ = true;
  if (OnClose) OnClose(this);
  closing_ = false;
  if (IsMainForm && !modal_) {
    HideForm();
    Application.Terminate();
  } else {
    HideForm();
  }
}

void Form::KeyDown(WORD& key, TShiftState shift) {
  if (OnKeyDown) Application.Guard([&] { OnKeyDown(key, shift); });
}

LRESULT Form::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_CLOSE:
      Application.Guard([&] { Close(); });
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wp) != WA_INACTIVE) {
        HWND focus = GetFocus();
        if (!focus || GetAncestor(focus, GA_ROOT) != hwnd_) SetFocus(hwnd_);
      }
      return 0;
    case WM_GETMINMAXINFO: {
      auto* mmi = reinterpret_cast<MINMAXINFO*>(lp);
      if (MinWidth) mmi->ptMinTrackSize.x = MinWidth;
      if (MinHeight) mmi->ptMinTrackSize.y = MinHeight;
      return 0;
    }
    case WM_MOVE: {
      RECT wr{};
      GetWindowRect(hwnd_, &wr);
      left_ = wr.left;
      top_ = wr.top;
      break;
    }
    case WM_SIZE: {
      RECT wr{};
      GetWindowRect(hwnd_, &wr);
      width_ = wr.right - wr.left;
      height_ = wr.bottom - wr.top;
      Realign();
      if (OnResize) Application.Guard([&] { OnResize(this); });
      return 0;
    }
    case WM_SYSCOMMAND:
      if ((wp & 0xFFF0) == SC_MINIMIZE && IsMainForm) {
        Application.Minimize();
        return 0;
      }
      // F10 and Alt would otherwise open the (invisible) window menu.
      if ((wp & 0xFFF0) == SC_KEYMENU) return 0;
      break;
    default:
      break;
  }
  return Panel::WndProc(msg, wp, lp);
}
