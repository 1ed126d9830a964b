// The message loop, the main-window handle, the general error report and
// the hand-over of work from worker threads to the main thread.
#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

class TApplication {
 public:
  // Registers the classes the toolkit needs, binds the common controls and
  // GDI+, and creates the hidden window that serves Synchronize. Must run on
  // the thread that will own the windows.
  void Initialize();

  // Runs the message loop until the main window is destroyed or Terminate().
  void Run();
  // Handles every message waiting now, then returns.
  void ProcessMessages();
  void Terminate();
  bool Terminated() const { return terminated_; }

  void SetTitle(const std::string& title);
  const std::string& Title() const { return title_; }
  void Minimize();

  // The hidden window that carries the taskbar button and the title;
  // created by CreateAppWindow (the program does, tests need not).
  void CreateAppWindow();
  HWND AppWindow() const { return appWindow_; }

  HWND MainWindow() const { return mainWindow_; }
  void SetMainWindow(HWND hwnd) { mainWindow_ = hwnd; }
  HWND SyncWindow() const { return syncWindow_; }
  bool IsMainThread() const { return GetCurrentThreadId() == mainThreadId_; }

  // Runs fn on the main thread and waits until it ran. An exception thrown
  // by fn is thrown again in the calling thread. On the main thread fn runs
  // at once.
  void Synchronize(const std::function<void()>& fn);

  // Runs one handler under the general error guard: an escaping exception is
  // reported and the program goes on.
  void Guard(const std::function<void()>& handler);
  void ShowException(const std::exception& e);
  void ShowException(const std::string& message);

  // A message box owned by the main window, with the program's title.
  void ShowMessage(const std::string& text, UINT icon);

  // Tests replace the message boxes with recorders. Reset by passing null.
  std::function<void(const std::string&)> OnException;
  std::function<void(const std::string&)> OnMessage;

  // What the process ends with once the loop has ended.
  int ExitCode = 0;

 private:
  HWND mainWindow_ = nullptr;
  HWND appWindow_ = nullptr;
  HWND syncWindow_ = nullptr;
  DWORD mainThreadId_ = 0;
  bool terminated_ = false;
  std::string title_;
};

extern TApplication Application;

// "Type: message" for an exception's class and text, as error lines show it.
std::string ExceptionClassName(const std::exception& e);

// Puts text on the clipboard as ANSI text; false when the clipboard is busy.
bool CopyTextToClipboard(HWND owner, const std::string& text);

// Waits for a kernel object from the main thread while still serving
// Synchronize calls of the thread being waited for (otherwise the two threads
// would wait for each other). Returns what WaitForSingleObject would.
DWORD PumpingWait(HANDLE handle, DWORD timeoutMs);
