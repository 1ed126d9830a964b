// The thread class both workers derive from; they replace only Execute.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>

class Thread {
 public:
  Thread() = default;
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // A derived class whose object may be destroyed while running calls
  // WaitFor() in its own destructor, before its members go away.
  virtual ~Thread();

  void Terminate() { terminated_ = true; }
  bool Terminated() const { return terminated_; }
  bool Finished() const { return finished_; }
  // The object deletes itself when Execute returns. Set before Start.
  void SetFreeOnTerminate(bool value) { freeOnTerminate_ = value; }

  // Waits until Execute has returned. From the main thread, pending
  // Synchronize calls are served meanwhile.
  void WaitFor();

 protected:
  // Starts the thread; a derived constructor calls it last. Throws
  // std::runtime_error when the system cannot start it.
  void Start();
  virtual void Execute() = 0;
  void Synchronize(const std::function<void()>& fn);

 private:
  static DWORD WINAPI ThreadProc(void* self);

  HANDLE handle_ = nullptr;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  bool freeOnTerminate_ = false;
};
