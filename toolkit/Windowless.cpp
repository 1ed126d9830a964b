#include "toolkit/Windowless.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "toolkit/Application.h"

namespace {

const char kPanelClass[] = "VelnorPanel";

HCURSOR SystemCursor(TCursor cursor) {
  switch (cursor) {
    case TCursor::Hand: return LoadCursor(nullptr, IDC_HAND);
    case TCursor::No: return LoadCursor(nullptr, IDC_NO);
    default: return LoadCursor(nullptr, IDC_ARROW);
  }
}

void RegisterPanelClass() {
  static bool done = false;
  if (done) return;
  done = true;
  // Panels show tool tips, and a page control's tabs are a panel's child.
  InitCommonControlsLibrary();
  WNDCLASSA wc{};
  wc.lpfnWndProc = Panel::StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = nullptr;  // WM_SETCURSOR decides
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
}

}  // namespace

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

// ---- Panel --------------------------------------------------------------------

Panel::Panel(Form* owner, Panel* parent, const std::string& name) : WinControl(owner, parent, name) {
  // A form makes its own top-level window.
  if (parent)
    CreatePanelWindow(kPanelClass, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, parent->Handle(), "");
}

Panel::~Panel() {
  for (const auto& animation : animated_) Application.StopTimer(animation.second);
  if (tooltip_) DestroyWindow(tooltip_);
}

void Panel::CreatePanelWindow(const char* className, DWORD style, DWORD exStyle, HWND parentWindow, const char* text) {
  RegisterPanelClass();
  hwnd_ = CreateWindowExA(exStyle, className, text, style, left_, top_, width_, height_, parentWindow, nullptr,
                          GetModuleHandleA(nullptr), this);
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
  StopAnimation(picture);
  animated_[picture] = Application.StartTimer(static_cast<UINT>(delayMs), [picture] { picture->Animate(); });
}

void Panel::StopAnimation(Picture* picture) {
  auto it = animated_.find(picture);
  if (it == animated_.end()) return;
  Application.StopTimer(it->second);
  animated_.erase(it);
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
      default: break;
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
    tooltip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
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
    default: break;
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
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(hwnd_, &ps);
      RECT client{};
      GetClientRect(hwnd_, &client);
      HDC mem = CreateCompatibleDC(dc);
      // The bitmap the children paint into before it goes to the screen: a
      // section of its own memory (under Wine a compatible bitmap this size
      // comes from the C heap, where each paint would leave megabytes behind).
      const LONG width = std::max<LONG>(client.right, 1), height = std::max<LONG>(client.bottom, 1);
      HBITMAP bmp = NewDibSection(width, height, kPaintBitsPerPixel);
      if (!bmp) bmp = CreateCompatibleBitmap(dc, width, height);
      HGDIOBJ oldBmp = SelectObject(mem, bmp);
      PaintChildren(mem);
      CopyInBands(dc, mem, ps.rcPaint);
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
    case WM_MBUTTONUP: MouseMessage(msg, wp, lp); return 0;
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
    case WM_SIZE: Realign(); break;
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
    default: break;
  }
  return DefWindowProcA(hwnd_, msg, wp, lp);
}
