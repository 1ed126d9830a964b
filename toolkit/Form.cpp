#include "toolkit/Form.h"

#include <cstring>

#include "toolkit/Application.h"

namespace {

const char kFormClass[] = "VelnorForm";

void RegisterFormClass() {
  static bool done = false;
  if (done) return;
  done = true;
  WNDCLASSA wc{};
  wc.lpfnWndProc = Panel::StaticWndProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = nullptr;  // WM_SETCURSOR decides
  wc.lpszClassName = kFormClass;
  wc.hIcon = LoadIconA(wc.hInstance, "MAINICON");
  RegisterClassA(&wc);
}

// Lets the form of msg's window see a key before the focused control does.
// Never keeps the key from the control.
bool DispatchKeyPreview(const MSG& msg) {
  if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN) return false;
  if (!msg.hwnd) return false;
  Form* form = Form::FromWindow(GetAncestor(msg.hwnd, GA_ROOT));
  if (!form || !form->KeyPreview) return false;
  WORD key = static_cast<WORD>(msg.wParam);
  form->KeyDown(key, KeyboardShiftState());
  return false;
}

}  // namespace

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
    Application.StopTimer(id_);
    id_ = 0;
  }
  if (enabled_ && interval_ > 0) id_ = Application.StartTimer(static_cast<UINT>(interval_), [this] { Tick(); });
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
  // Every form's keys go by its key preview first.
  Application.SetMessageFilter(DispatchKeyPreview);
  RegisterFormClass();
  CreatePanelWindow(kFormClass, ws, 0, nullptr, caption.c_str());
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
  Application.RunModal([this] { return visible_; });
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
    case WM_CLOSE: Application.Guard([&] { Close(); }); return 0;
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
    default: break;
  }
  return Panel::WndProc(msg, wp, lp);
}
