#include "toolkit/Application.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "toolkit/Graphics.h"

TApplication Application;

namespace {

const UINT kSyncMessage = WM_APP + 1;
const char kHiddenClass[] = "VelnorSync";
const char kAppClass[] = "VelnorApplication";

struct SyncCall {
  const std::function<void()>* fn;
  std::exception_ptr error;
};

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
    default: break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// The hidden window that carries the program's taskbar button and title
// (the main form itself has none), as a classic Windows application has.
HWND CreateApplicationWindow(const std::string& title) {
  static bool registered = false;
  if (!registered) {
    registered = true;
    WNDCLASSA app{};
    app.lpfnWndProc = AppWndProc;
    app.hInstance = GetModuleHandleA(nullptr);
    app.hIcon = LoadIconA(app.hInstance, "MAINICON");
    app.lpszClassName = kAppClass;
    RegisterClassA(&app);
  }
  // Zero-sized and off to the side: only its taskbar button shows.
  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  return CreateWindowExA(0, kAppClass, title.c_str(),
                         WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0, nullptr,
                         nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace

LRESULT CALLBACK TApplication::HiddenWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kSyncMessage) {
    auto* call = reinterpret_cast<SyncCall*>(lp);
    try {
      (*call->fn)();
    } catch (...) {
      call->error = std::current_exception();
    }
    return 0;
  }
  if (msg == WM_TIMER) {
    Application.TimerTick(static_cast<UINT_PTR>(wp));
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

void TApplication::Initialize() {
  mainThreadId_ = GetCurrentThreadId();
  terminated_ = false;
  InitGraphics();
  if (!hiddenWindow_) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = HiddenWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kHiddenClass;
    RegisterClassA(&wc);
    hiddenWindow_ = CreateWindowExA(0, kHiddenClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
}

bool TApplication::Loop(bool wait, const std::function<bool()>& done) {
  MSG msg;
  while (!done || !done()) {
    if (wait) {
      const BOOL r = GetMessageA(&msg, nullptr, 0, 0);
      if (r == 0 || r == -1) {
        terminated_ = true;
        return false;
      }
    } else {
      if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
      if (msg.message == WM_QUIT) {
        terminated_ = true;
        return false;
      }
    }
    if (!messageFilter_ || !messageFilter_(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
  return true;
}

void TApplication::Run() {
  Loop(true, [this] { return terminated_; });
}

void TApplication::ProcessMessages() { Loop(false, nullptr); }

bool TApplication::ProcessMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    DWORD slice = 10;
    if (timeoutMs != INFINITE) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= timeoutMs) return false;
      slice = std::min<DWORD>(slice, timeoutMs - spent);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, slice, QS_ALLINPUT);
    ProcessMessages();
  }
}

void TApplication::RunModal(const std::function<bool()>& showing) {
  // A nested loop that took the WM_QUIT hands it on to the loop it runs in.
  if (!Loop(true, [&] { return !showing() || terminated_; })) PostQuitMessage(0);
}

UINT_PTR TApplication::StartTimer(UINT intervalMs, std::function<void()> onTick) {
  const UINT_PTR id = ++lastTimerId_;
  timers_[id] = std::move(onTick);
  SetTimer(hiddenWindow_, id, intervalMs, nullptr);
  return id;
}

void TApplication::StopTimer(UINT_PTR id) {
  if (timers_.erase(id)) KillTimer(hiddenWindow_, id);
}

void TApplication::TimerTick(UINT_PTR id) {
  auto it = timers_.find(id);
  if (it == timers_.end()) return;
  // A copy: the tick may stop its own timer, which lets go of the original.
  const std::function<void()> tick = it->second;
  tick();
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  if (appWindow_) SetWindowTextA(appWindow_, title.c_str());
}

void TApplication::Terminate() {
  terminated_ = true;
  PostQuitMessage(0);
}

void TApplication::CreateAppWindow() {
  if (!appWindow_) appWindow_ = CreateApplicationWindow(title_);
  ShowWindow(appWindow_, SW_SHOWNA);
}

void TApplication::Minimize() {
  if (appWindow_) {
    // As a classic application does: the main window goes away and the
    // taskbar button stays; restoring the button brings the window back.
    if (mainWindow_) ShowWindow(mainWindow_, SW_HIDE);
    ShowWindow(appWindow_, SW_MINIMIZE);
  } else if (mainWindow_) {
    ShowWindow(mainWindow_, SW_MINIMIZE);
  }
}

void TApplication::Synchronize(const std::function<void()>& fn) {
  if (IsMainThread() || !hiddenWindow_) {
    fn();
    return;
  }
  SyncCall call{&fn, nullptr};
  SendMessageA(hiddenWindow_, kSyncMessage, 0, reinterpret_cast<LPARAM>(&call));
  if (call.error) std::rethrow_exception(call.error);
}

void TApplication::Guard(const std::function<void()>& handler) {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowException(e);
  } catch (...) {
    ShowException(std::string("Unknown error"));
  }
}

void TApplication::ShowException(const std::exception& e) { ShowException(std::string(e.what())); }

void TApplication::ShowException(const std::string& message) {
  if (OnException) {
    OnException(message);
    return;
  }
  if (Unattended) {
    Unshown.push_back(message);
    WriteToParentConsole(message);
    return;
  }
  MessageBoxA(mainWindow_, message.c_str(), title_.empty() ? "Error" : title_.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::ShowMessage(const std::string& text, UINT icon) {
  if (OnMessage) {
    OnMessage(text);
    return;
  }
  if (Unattended) {
    Unshown.push_back(text);
    WriteToParentConsole(text);
    return;
  }
  MessageBoxA(mainWindow_, text.c_str(), title_.empty() ? "Message" : title_.c_str(), MB_OK | icon);
}

std::string ExceptionClassName(const std::exception& e) {
  const char* raw = typeid(e).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(raw, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? std::string(demangled.get()) : std::string(raw);
}

DWORD PumpingWait(HANDLE handle, DWORD timeoutMs) {
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD left = INFINITE;
    if (timeoutMs != INFINITE) {
      const DWORD spent = GetTickCount() - start;
      if (spent >= timeoutMs) return WaitForSingleObject(handle, 0);
      left = timeoutMs - spent;
    }
    const DWORD r = MsgWaitForMultipleObjects(1, &handle, FALSE, left, QS_SENDMESSAGE);
    if (r == WAIT_OBJECT_0 + 1) {
      // Dispatches pending sent messages (Synchronize) without taking any
      // posted message out of the queue.
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
      continue;
    }
    return r;
  }
}

bool WriteToParentConsole(const std::string& text) {
  // Found once: a console attached to stays attached.
  static HANDLE out = [] {
    HANDLE given = GetStdHandle(STD_ERROR_HANDLE);
    if (given && given != INVALID_HANDLE_VALUE && GetFileType(given) != FILE_TYPE_UNKNOWN) return given;
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return INVALID_HANDLE_VALUE;
    return CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  }();
  if (out == INVALID_HANDLE_VALUE) return false;
  const std::string line = text + "\r\n";
  DWORD wrote = 0;
  return WriteFile(out, line.data(), static_cast<DWORD>(line.size()), &wrote, nullptr) && wrote == line.size();
}

bool CopyTextToClipboard(HWND owner, const std::string& text) {
  HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
  if (!memory) return false;
  memcpy(GlobalLock(memory), text.c_str(), text.size() + 1);
  GlobalUnlock(memory);
  if (!OpenClipboard(owner)) {
    GlobalFree(memory);
    return false;
  }
  EmptyClipboard();
  // The clipboard owns the memory once it has taken it.
  const bool taken = SetClipboardData(CF_TEXT, memory) != nullptr;
  CloseClipboard();
  if (!taken) GlobalFree(memory);
  return taken;
}
