#include "toolkit/Thread.h"

#include <stdexcept>
#include <string>

#include "platform/Sys.h"
#include "toolkit/Application.h"

Thread::~Thread() {
  if (handle_) {
    if (!freeOnTerminate_) WaitFor();
    CloseHandle(handle_);
  }
}

void Thread::Start() {
  DWORD id = 0;
  handle_ = Sys.CreateThread(nullptr, 0, &Thread::ThreadProc, this, 0, &id);
  // A worker that never runs would never post its message, and whoever
  // waits for that message would wait for ever: the creator must know.
  if (!handle_) {
    throw std::runtime_error("The worker thread could not be started (system error " + std::to_string(GetLastError()) +
                             ").");
  }
}

void Thread::WaitFor() {
  if (!handle_ || finished_) {
    if (handle_) WaitForSingleObject(handle_, INFINITE);
    return;
  }
  if (Application.IsMainThread())
    PumpingWait(handle_, INFINITE);
  else
    WaitForSingleObject(handle_, INFINITE);
}

void Thread::Synchronize(const std::function<void()>& fn) { Application.Synchronize(fn); }

DWORD WINAPI Thread::ThreadProc(void* param) {
  auto* self = static_cast<Thread*>(param);
  try {
    self->Execute();
  } catch (...) {
    // A body that lets an error escape ends its thread quietly; the workers
    // report their own errors as lines.
  }
  const bool freeSelf = self->freeOnTerminate_;
  self->finished_ = true;
  if (freeSelf) delete self;
  return 0;
}
