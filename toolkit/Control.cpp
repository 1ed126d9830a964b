#include "toolkit/Control.h"

#include <algorithm>

#include "toolkit/Form.h"
#include "toolkit/Windowless.h"

namespace {

HWND ParentWindow(Panel* parent) { return parent ? parent->Handle() : nullptr; }

}  // namespace

std::string WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthA(hwnd);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const int got = GetWindowTextA(hwnd, &s[0], n + 1);
  s.resize(static_cast<size_t>(std::max(got, 0)));
  return s;
}

TShiftState KeyboardShiftState() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
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
  hwnd_ =
      CreateWindowExA(exStyle, className, text, style | WS_CHILD | WS_CLIPSIBLINGS | (visible_ ? WS_VISIBLE : 0), left_,
                      top_, width_, height_, ParentWindow(parent_), nullptr, GetModuleHandleA(nullptr), nullptr);
  SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  TagWindowWithName(hwnd_, Name());
}

void TagWindowWithName(HWND hwnd, const std::string& name) {
  // Support tools and tests outside the process find a control by its
  // component name through this property (a global atom of the name).
  if (hwnd && !name.empty())
    SetPropA(hwnd, kComponentNameProp, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(GlobalAddAtomA(name.c_str()))));
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
