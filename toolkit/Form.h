// The form (a top-level window that owns its components and finds them by
// name) and the timer component a form's handlers run on.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/Control.h"
#include "toolkit/Windowless.h"

// Runs its handler every Interval milliseconds while enabled, on the
// application's timers.
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
