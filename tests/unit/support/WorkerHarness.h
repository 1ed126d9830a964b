// Helpers shared by the worker tests: a message-only window that collects
// what the workers post, and line lists that record or fail.
#pragma once

#include <windows.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "text/Lines.h"
#include "toolkit/Application.h"

// Collects every WM_USER+ message posted to it. The test thread plays the
// main thread, so while waiting it also serves the workers' Synchronize.
class MessageSink {
 public:
  MessageSink() {
    static const char kClass[] = "VelnorTestSink";
    static bool registered = false;
    if (!registered) {
      WNDCLASSA wc{};
      wc.lpfnWndProc = &MessageSink::Proc;
      wc.hInstance = GetModuleHandleA(nullptr);
      wc.lpszClassName = kClass;
      RegisterClassA(&wc);
      registered = true;
    }
    hwnd_ = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr), nullptr);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
  ~MessageSink() { DestroyWindow(hwnd_); }
  MessageSink(const MessageSink&) = delete;
  MessageSink& operator=(const MessageSink&) = delete;

  HWND Handle() const { return hwnd_; }

  std::vector<MSG> Of(UINT message) const {
    std::vector<MSG> found;
    for (const MSG& m : received_)
      if (m.message == message) found.push_back(m);
    return found;
  }

  // Pumps until `count` messages of the kind arrived; false on time-out.
  bool WaitFor(UINT message, size_t count, DWORD timeoutMs) {
    return PumpUntil([&] { return Of(message).size() >= count; }, timeoutMs);
  }

  // Pumps for a while (to see that nothing more arrives).
  void Pump(DWORD ms) {
    PumpUntil([] { return false; }, ms);
  }

  static bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    Application.ProcessMessages();
    return Application.ProcessMessagesUntil(done, timeoutMs);
  }

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<MessageSink*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (self && message >= WM_USER) {
      MSG m{};
      m.hwnd = hwnd;
      m.message = message;
      m.wParam = wp;
      m.lParam = lp;
      self->received_.push_back(m);
      return 0;
    }
    return DefWindowProcA(hwnd, message, wp, lp);
  }

  HWND hwnd_ = nullptr;
  std::vector<MSG> received_;
};

// Points Application.MainWindow() at a test window for a scope.
class MainWindowSwap {
 public:
  explicit MainWindowSwap(HWND hwnd) : saved_(Application.MainWindow()) { Application.SetMainWindow(hwnd); }
  ~MainWindowSwap() { Application.SetMainWindow(saved_); }
  MainWindowSwap(const MainWindowSwap&) = delete;
  MainWindowSwap& operator=(const MainWindowSwap&) = delete;

 private:
  HWND saved_;
};

// Remembers how many lines it held after every Add, and can be told to fail
// an Add the way a window that has gone away would.
class RecordingLines : public StringList {
 public:
  std::vector<int> countsAfterAdd;
  int addsOffMainThread = 0;  // workers must hand their lines over
  // Add throws for texts for which this answers true.
  std::function<bool(const std::string&)> failOn;
  int failuresLeft = -1;  // -1: every time failOn matches

  void Add(const std::string& text) override {
    if (!Application.IsMainThread()) ++addsOffMainThread;
    if (failOn && failuresLeft != 0 && failOn(text)) {
      if (failuresLeft > 0) --failuresLeft;
      throw std::runtime_error("memo gone");
    }
    StringList::Add(text);
    countsAfterAdd.push_back(Count());
  }

  void Fill(int n) {
    for (int i = 0; i < n; ++i) StringList::Add("old " + std::to_string(i));
  }
};
