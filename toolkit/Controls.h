// The least widget layer over Win32 that the program's windows need.
//
// Components keep the names of the window descriptions (Name()) and a form
// finds them by name. Panels are windows that paint their windowless children
// (pictures, flat buttons, labels) in creation order into one off-screen
// bitmap and hit-test them in reverse order, so the topmost one wins.
// Windowed children (memos, list boxes, child panels ...) are real child
// windows and lie in front of every windowless one.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "text/Lines.h"
#include "toolkit/Graphics.h"

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

// Called once by TApplication::Initialize.
void RegisterToolkitClasses();
void InitCommonControlsLibrary();
// Lets the form of msg's window see a key before the focused control does.
// Never consumes the key.
bool DispatchKeyPreview(const MSG& msg);
// The shift state of the keyboard right now.
TShiftState KeyboardShiftState();

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

// ---- windowless controls -------------------------------------------------

class Picture : public Control {
 public:
  Picture(Form* owner, Panel* parent, const std::string& name);
  ~Picture() override;

  const ImagePtr& GetPicture() const { return picture_; }
  // Null removes the picture, so the parent shows through.
  void SetPicture(const ImagePtr& picture);
  bool HasPicture() const { return picture_ != nullptr; }
  bool AutoSize = false;
  int Frame() const { return frame_; }

  void SetVisible(bool visible) override;
  void SetEnabled(bool enabled) override;
  void Paint(HDC dc) override;
  // Next frame of an animated picture; the panel's timer calls it.
  void Animate();

 private:
  void UpdateAnimation();
  ImagePtr picture_;
  int frame_ = 0;
  bool animating_ = false;
};

class FlatButton : public Control {
 public:
  FlatButton(Form* owner, Panel* parent, const std::string& name);
  // Optional caption and glyph (buttons that are not drawn on a skin).
  std::string Caption;
  ImagePtr Glyph;
  HFONT Font = nullptr;
  void Paint(HDC dc) override;
};

class Label : public Control {
 public:
  Label(Form* owner, Panel* parent, const std::string& name);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  void SetFont(HFONT font);
  COLORREF Color = RGB(0, 0, 0);
  // Filled behind a caption when set; otherwise the label is transparent.
  COLORREF BackColor = CLR_INVALID;
  TAlignment Alignment = TAlignment::Left;
  bool AutoSize = false;
  void Paint(HDC dc) override;

 private:
  void AdjustSize();
  std::string caption_;
  HFONT font_ = nullptr;
};

// ---- windowed controls ---------------------------------------------------

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

class Panel : public WinControl {
 public:
  // parent null: a top-level window (see Form).
  Panel(Form* owner, Panel* parent, const std::string& name);
  ~Panel() override;

  COLORREF Color = GetSysColor(COLOR_BTNFACE);
  bool RaisedBevel = false;

  void AddChild(Control* child);
  void RemoveChild(Control* child);
  const std::vector<Control*>& Children() const { return children_; }
  // The topmost visible, enabled windowless child at a point of this panel.
  Control* ControlAt(POINT pt) const;
  Control* Hovered() const { return hovered_; }
  // A child went away or was hidden or disabled: forget it as hovered or
  // pressed.
  void ChildChanged(Control* child);
  void InvalidateRect(const RECT& r);
  void StartAnimation(Picture* picture, int delayMs);
  void StopAnimation(Picture* picture);
  void Realign();

  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

 protected:
  void CreatePanelWindow(DWORD style, DWORD exStyle, HWND parentWindow, const char* text);

 private:
  void PaintChildren(HDC dc);
  void MouseMessage(UINT msg, WPARAM wp, LPARAM lp);
  void UpdateTooltip();

  std::vector<Control*> children_;  // not owned (the form owns them)
  Control* hovered_ = nullptr;      // not owned
  Control* pressed_ = nullptr;      // not owned
  bool capturing_ = false;
  bool trackingLeave_ = false;
  HWND tooltip_ = nullptr;
  std::string tooltipText_;
  std::set<Picture*> animated_;
};

class Memo : public WinControl {
 public:
  struct Options {
    bool readOnly = true;
    bool border = false;
    bool vScroll = false;
    bool hScroll = false;
    bool wordWrap = true;
  };
  Memo(Form* owner, Panel* parent, const std::string& name, const Options& options);
  Lines& GetLines() { return lines_; }
  // What the control holds (part of the text while a replacement goes on).
  std::string Text() const;
  // Some of its text is selected (a copy key then copies that).
  bool HasSelection() const;
  void Command(WORD code) override;

  // Shows lines in place of the memo's text. Only the span that differs is
  // replaced, the first visible line stays where the user left it (unless
  // the text got shorter than that), and nothing is painted until the text
  // is complete. An edit control lays out every line it is given, which
  // takes a while for thousands, so the text goes in by pieces: the lines
  // read back at once, and ContinueReplace completes the control's text.
  void BeginReplace(const std::vector<std::string>& lines);
  // Goes on with the replacement for about budgetMs (INFINITE: to the end);
  // true when the control's text is complete.
  bool ContinueReplace(DWORD budgetMs);
  bool Replacing() const { return replacement_ != nullptr; }

 private:
  // A replacement under way: the new span, inserted piece by piece.
  struct Replacement {
    std::string text;      // the new span, inserted from done on
    std::size_t done = 0;  // bytes of text in the control already
    WPARAM at = 0;         // where the next piece goes
    LRESULT firstVisible = 0;
    DWORD selStart = 0;
    DWORD selEnd = 0;
    bool redrawOff = false;  // painting is off until the text is complete
  };
  std::unique_ptr<Replacement> replacement_;

  class MemoLines : public Lines {
   public:
    explicit MemoLines(Memo& memo) : memo_(memo) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Add(const std::string& text) override;
    void Clear() override;
    void BeginUpdate() override { ++updating_; }
    void EndUpdate() override;

   private:
    void Sync() const;
    friend class Memo;
    Memo& memo_;
    mutable std::vector<std::string> lines_;
    mutable bool stale_ = false;  // the user typed into the control
    int updating_ = 0;
    bool pending_ = false;
    bool writing_ = false;
  };
  MemoLines lines_;
};

class ListBox : public WinControl {
 public:
  ListBox(Form* owner, Panel* parent, const std::string& name, bool border);
  Lines& GetLines() { return lines_; }
  void SetItemHeight(int height);
  // Scrolls so that the last item is in view.
  void ShowLast();

 private:
  class ListLines : public Lines {
   public:
    explicit ListLines(ListBox& box) : box_(box) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Add(const std::string& text) override;
    void Clear() override;
    void BeginUpdate() override;
    void EndUpdate() override;

   private:
    ListBox& box_;
    int updating_ = 0;
  };
  ListLines lines_;
};

class StaticText : public WinControl {
 public:
  StaticText(Form* owner, Panel* parent, const std::string& name, const std::string& caption, bool centred);
  std::string Caption() const;
};

class CheckBox : public WinControl {
 public:
  CheckBox(Form* owner, Panel* parent, const std::string& name, const std::string& caption);
  bool Checked() const;
  // Changing the state runs the click handler, as a click would.
  void SetChecked(bool checked);
  void Click() override;
  void Command(WORD code) override;
};

class TabSheet : public Panel {
 public:
  TabSheet(Form* owner, class PageControl* control, const std::string& name, const std::string& caption);
  const std::string& Caption() const { return caption_; }

 private:
  std::string caption_;
};

class PageControl : public Panel {
 public:
  PageControl(Form* owner, Panel* parent, const std::string& name);
  void AddSheet(TabSheet* sheet);
  const std::vector<TabSheet*>& Sheets() const { return sheets_; }
  TabSheet* ActivePage() const { return active_; }
  void SetActivePage(TabSheet* sheet);
  // The tab captions take the control's font too.
  void SetFont(HFONT font) override;
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  void LayoutSheets();
  HWND tabs_ = nullptr;
  std::vector<TabSheet*> sheets_;  // not owned
  TabSheet* active_ = nullptr;     // not owned
};

class Timer : public Component {
 public:
  Timer(Form* owner, const std::string& name);
  ~Timer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  int Interval() const { return interval_; }
  void SetInterval(int ms);
  NotifyEvent OnTimer;
  void Tick();

 private:
  void Restart();
  bool enabled_ = false;
  int interval_ = 1000;
  UINT_PTR id_ = 0;
};

// A top-level window. It owns its components; FindComponent finds them by
// name.
class Form : public Panel {
 public:
  struct Style {
    bool frameless = false;
    bool sizable = false;
    bool minimizeBox = true;
    bool maximizeBox = false;
  };
  Form(const std::string& name, const std::string& caption, int clientWidth, int clientHeight, const Style& style);
  ~Form() override;

  std::string Caption() const;
  void SetCaption(const std::string& caption);

  template <class T, class... Args>
  T* Make(Args&&... args) {
    auto owned = std::make_unique<T>(this, std::forward<Args>(args)...);
    T* raw = owned.get();
    owned_.push_back(std::move(owned));
    return raw;
  }
  void Register(Component* component);
  Component* FindComponent(const std::string& name) const;
  template <class T>
  T* Find(const std::string& name) const {
    return dynamic_cast<T*>(FindComponent(name));
  }

  bool KeyPreview = false;
  std::function<void(WORD& key, TShiftState shift)> OnKeyDown;
  NotifyEvent OnShow;
  std::function<void(bool& canClose)> OnCloseQuery;
  NotifyEvent OnClose;
  NotifyEvent OnResize;
  int MinWidth = 0, MinHeight = 0;
  // Closing a form that is the application's main form ends the program;
  // any other form is only hidden.
  bool IsMainForm = false;

  void ShowForm();
  void HideForm();
  // Disables the application's main window and waits, serving messages,
  // until this form is hidden again.
  void ShowModal();
  bool Modal() const { return modal_; }
  void Close();
  void CenterOnScreen();
  void KeyDown(WORD& key, TShiftState shift);

  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;
  static Form* FromWindow(HWND hwnd);

 private:
  std::vector<std::unique_ptr<Component>> owned_;
  std::map<std::string, Component*> byName_;  // not owned
  bool modal_ = false;
  bool closing_ = false;
};

// The hidden window that carries the program's taskbar button and title
// (the main form itself has none), as a classic Windows application has.
HWND CreateApplicationWindow(const std::string& title);
