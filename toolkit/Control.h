// What every component of a window has: a name and an owning form; what
// every control has: bounds, visibility, enabling, cursor, hint and mouse
// handlers; and the base of the controls that are windows of their own.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

class Form;
class Panel;

enum class TCursor { Default, Hand, No };
enum class TMouseButton { Left, Right, Middle };
enum class TAlign { None, Top, Bottom, Client };
enum class TAlignment { Left, Center };

// Shift state as the keyboard and mouse handlers receive it.
enum : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };
using TShiftState = unsigned;

using NotifyEvent = std::function<void(class Component* sender)>;
using MouseEvent = std::function<void(class Component* sender, TMouseButton button, TShiftState shift, int x, int y)>;

// The window property that holds a windowed control's component name as a
// global atom.
constexpr const char kComponentNameProp[] = "VelnorComponent";
void TagWindowWithName(HWND hwnd, const std::string& name);

// Binds the common controls (tool tips, tabs) once; the first panel window
// does, before anything needs them.
void InitCommonControlsLibrary();
// The shift state of the keyboard right now.
TShiftState KeyboardShiftState();
// A window's text.
std::string WindowText(HWND hwnd);

class Component {
 public:
  Component(Form* owner, const std::string& name);
  virtual ~Component() = default;
  Component(const Component&) = delete;
  Component& operator=(const Component&) = delete;

  const std::string& Name() const { return name_; }
  Form* Owner() const { return owner_; }

  // A small state of the component's user's own (hover and busy states).
  int Tag = 0;

 private:
  Form* owner_;  // not owned
  std::string name_;
};

class Control : public Component {
 public:
  Control(Form* owner, Panel* parent, const std::string& name);
  ~Control() override;

  Panel* Parent() const { return parent_; }
  int Left() const { return left_; }
  int Top() const { return top_; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  RECT BoundsRect() const { return RECT{left_, top_, left_ + width_, top_ + height_}; }
  virtual void SetBounds(int left, int top, int width, int height);
  void SetLeft(int left) { SetBounds(left, top_, width_, height_); }
  void SetTop(int top) { SetBounds(left_, top, width_, height_); }

  bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor cursor) { cursor_ = cursor; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint);
  bool ShowHint() const { return showHint_; }
  void SetShowHint(bool show);

  TAlign Align = TAlign::None;

  NotifyEvent OnClick;
  MouseEvent OnMouseDown;
  MouseEvent OnMouseMove;
  MouseEvent OnMouseUp;

  // Runs the click handler with this control as sender.
  virtual void Click();

  virtual HWND Handle() const { return nullptr; }
  bool Windowed() const { return Handle() != nullptr; }
  // Windowless controls draw themselves at their bounds on their parent's
  // surface.
  virtual void Paint(HDC) {}
  // Repaints this control's area of the parent.
  void Invalidate();

 protected:
  virtual void BoundsChanged() {}

  Panel* parent_;  // not owned
  int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  TCursor cursor_ = TCursor::Default;
  std::string hint_;
  bool showHint_ = false;
};

// A control that is a window of its own (a standard control or a panel).
class WinControl : public Control {
 public:
  WinControl(Form* owner, Panel* parent, const std::string& name);
  ~WinControl() override;
  HWND Handle() const override { return hwnd_; }
  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  virtual void SetFont(HFONT font);
  HFONT Font() const { return font_; }
  // Colours for WM_CTLCOLOR*; CLR_INVALID keeps the system's.
  COLORREF BackColor = CLR_INVALID;
  COLORREF TextColor = CLR_INVALID;
  HBRUSH BackBrush();

  // Notifications from the parent (WM_COMMAND codes, WM_NOTIFY).
  virtual void Command(WORD /*code*/) {}
  virtual LRESULT Notify(NMHDR*) { return 0; }

  static WinControl* FromHandle(HWND hwnd);

 protected:
  void Create(const char* className, DWORD style, DWORD exStyle, const char* text);
  void BoundsChanged() override;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  HBRUSH brush_ = nullptr;
  COLORREF brushColor_ = CLR_INVALID;
};
