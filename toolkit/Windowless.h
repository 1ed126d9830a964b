// The windowless controls (pictures, flat buttons, labels) and the panel
// that hosts them.
//
// A panel is a window that paints its windowless children in creation order
// into one off-screen bitmap and hit-tests them in reverse order, so the
// topmost one wins. It keeps the hovered and the pressed child, holds the
// mouse while a button is down, shows the hovered child's hint and runs the
// frames of its animated pictures. Windowed children (memos, list boxes,
// child panels ...) are real child windows and lie in front of every
// windowless one.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Graphics.h"

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
  // Next frame of an animated picture; its timer calls it.
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
  // Makes the panel's window, of the panel class or a form's own.
  void CreatePanelWindow(const char* className, DWORD style, DWORD exStyle, HWND parentWindow, const char* text);

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
  std::map<Picture*, UINT_PTR> animated_;  // the application's timer of each
};
