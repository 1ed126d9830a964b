// The application: its window, the program's one message loop, its timers,
// the main-window handle, the general error report and the hand-over of
// work from worker threads to the main thread. It knows no control: forms
// and controls use it.
#pragma once

#include <windows.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <map>
#include <string>
#include <vector>

class TApplication {
 public:
  // Binds GDI+ and creates the hidden window that serves Synchronize and
  // the timers. Must run on the thread that will own the windows; running
  // it again clears the terminating flag.
  void Initialize();

  // The message loop, and its variants. Each message taken goes by the
  // message filter (the forms' key preview), then is translated and
  // dispatched. A WM_QUIT terminates the application.
  //
  // Runs the loop until Terminate() or a WM_QUIT.
  void Run();
  // Handles every message waiting now, then returns.
  void ProcessMessages();
  // Handles messages as they come until done() holds (true) or timeoutMs
  // have passed (false; INFINITE: never). done() is asked first.
  bool ProcessMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs);
  // The nested loop of a modal form: runs while showing() holds and the
  // application goes on. A WM_QUIT is posted again for the loop outside.
  void RunModal(const std::function<bool()>& showing);
  // Sees each message before it is dispatched; true keeps it from being
  // dispatched. One filter; setting it again replaces it.
  using MessageFilter = bool (*)(const MSG& msg);
  void SetMessageFilter(MessageFilter filter) { messageFilter_ = filter; }
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
  bool IsMainThread() const { return GetCurrentThreadId() == mainThreadId_; }

  // The program's timers, one table: onTick runs on the main thread every
  // intervalMs, from whichever loop is dispatching (a WM_TIMER of the hidden
  // window), until StopTimer. A tick may stop or start timers, its own
  // included. The id is never 0 and not given out again. After Initialize.
  UINT_PTR StartTimer(UINT intervalMs, std::function<void()> onTick);
  void StopTimer(UINT_PTR id);
  // How many timers run now.
  std::size_t TimerCount() const { return timers_.size(); }

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

  // A run nobody watches (a script's test): an error report or message is
  // not shown in a box, which would wait for a person, but kept in Unshown
  // and written to the console the program was started from, if any.
  bool Unattended = false;
  std::vector<std::string> Unshown;

  // Tests replace the message boxes with recorders. Reset by passing null.
  std::function<void(const std::string&)> OnException;
  std::function<void(const std::string&)> OnMessage;

  // What the process ends with once the loop has ended.
  int ExitCode = 0;

 private:
  // The loop itself: takes messages (waiting for them when wait) until
  // done() holds (true), or, without waiting, the queue is empty (true), or
  // a WM_QUIT came (false).
  bool Loop(bool wait, const std::function<bool()>& done);
  static LRESULT CALLBACK HiddenWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void TimerTick(UINT_PTR id);

  HWND mainWindow_ = nullptr;
  HWND appWindow_ = nullptr;
  HWND hiddenWindow_ = nullptr;
  DWORD mainThreadId_ = 0;
  bool terminated_ = false;
  std::string title_;
  MessageFilter messageFilter_ = nullptr;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR lastTimerId_ = 0;
};

extern TApplication Application;

// "Type: message" for an exception's class and text, as error lines show it.
std::string ExceptionClassName(const std::exception& e);

// Writes text (and a line break) to the program's standard error where a
// script gave it one, else to the console of the process that started it;
// false when there is neither.
bool WriteToParentConsole(const std::string& text);

// Puts text on the clipboard as ANSI text; false when the clipboard is busy.
bool CopyTextToClipboard(HWND owner, const std::string& text);

// Waits for a kernel object from the main thread while still serving
// Synchronize calls of the thread being waited for (otherwise the two threads
// would wait for each other). Returns what WaitForSingleObject would.
DWORD PumpingWait(HANDLE handle, DWORD timeoutMs);
