#include "toolkit/Application.h"

#include <cxxabi.h>

#include <cstdlib>
#include <cstring>
#include <memory>

#include "toolkit/Graphics.h"
#include "toolkit/Controls.h"

TApplication Application;

namespace {

const UINT kSyncMessage = WM_APP + 1;
const char kSyncClass[] = "VelnorSync";

struct SyncCall {
  const std::function<void()>* fn;
  std::exception_ptr error;
};

LRESULT CALLBACK SyncProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kSyncMessage) {
    auto* call = reinterpret_cast<SyncCall*>(lp);
    try {
      (*call->fn)();
    } catch (...) {
      call->error = std::current_exception();
    }
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

}  // namespace

void TApplication::Initialize() {
  mainThreadId_ = GetCurrentThreadId();
  terminated_ = false;
  InitCommonControlsLibrary();
  InitGraphics();
  RegisterToolkitClasses();
  if (!syncWindow_) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SyncProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = kSyncClass;
    RegisterClassA(&wc);
    syncWindow_ = CreateWindowExA(0, kSyncClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  }
}

void TApplication::Run() {
  MSG msg;
  while (!terminated_) {
    BOOL r = GetMessageA(&msg, nullptr, 0, 0);
    if (r == 0 || r == -1) {
      terminated_ = true;
      break;
    }
    if (!DispatchKeyPreview(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
}

void TApplication::ProcessMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      terminated_ = true;
      break;
    }
    if (!DispatchKeyPreview(msg)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
  }
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
  if (IsMainThread() || !syncWindow_) {
    fn();
    return;
  }
  SyncCall call{&fn, nullptr};
  SendMessageA(syncWindow_, kSyncMessage, 0, reinterpret_cast<LPARAM>(&call));
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
  MessageBoxA(mainWindow_, message.c_str(), title_.empty() ? "Error" : title_.c_str(), MB_OK | MB_ICONSTOP);
}

void TApplication::ShowMessage(const std::string& text, UINT icon) {
  if (OnMessage) {
    OnMessage(text);
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
