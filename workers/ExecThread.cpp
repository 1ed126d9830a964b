#include "workers/ExecThread.h"

#include <initializer_list>
#include <utility>
#include <vector>

#include "platform/Sys.h"
#include "toolkit/Application.h"
#include "workers/Utils_u.h"

namespace {

bool DirectoryExists(const std::string& dir) {
  const DWORD attributes = Sys.GetFileAttributesA(dir.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string CurrentDirectory() {
  const DWORD needed = Sys.GetCurrentDirectoryA(0, nullptr);
  if (needed == 0) return std::string();
  std::vector<char> buffer(needed + 1, '\0');
  const DWORD n = Sys.GetCurrentDirectoryA(static_cast<DWORD>(buffer.size()), buffer.data());
  if (n == 0 || n >= buffer.size()) return std::string();
  return std::string(buffer.data(), n);
}

// Between single quotes, every single quote inside doubled.
std::string QuotedCommand(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    quoted += c;
    if (c == '\'') quoted += '\'';
  }
  return quoted + "'";
}

}  // namespace

TExecThread::TExecThread(const std::string& command, Lines* output, uint16_t waitSeconds, const std::string& workDir,
                         bool isPing, std::optional<TElevation> elevation)
    : WorkDir_(DirectoryExists(workDir) ? workDir : CurrentDirectory()),
      Command_(command),
      Output_{output, kOutputCap},
      WaitSeconds_(waitSeconds),
      IsPing_(isPing),
      Elevation_(std::move(elevation)) {
  Start();
}

TExecThread::~TExecThread() { WaitFor(); }

void TExecThread::Execute() {
  try {
    AddLine(kWorkerSeparator);
    AddLine(QuotedCommand(Command_) + " : Start executing, please wait...");
    // The whole output goes over in one piece once the command has ended.
    DWORD exitCode = STILL_ACTIVE;
    const DWORD waitMs = static_cast<DWORD>(WaitSeconds_) * 1000;
    bool declined = false;
    const std::string output = Elevation_ ? CaptureElevatedCommandOutput(Command_, WorkDir_, waitMs, Elevation_->owner,
                                                                         &exitCode, &declined, &Abort_)
                                          : CaptureCommandOutput(Command_, WorkDir_, waitMs, &exitCode, &Abort_);
    ExitCode_ = exitCode;
    Declined_ = declined;
    AddLine(output);
    if (declined) AddLine(Elevation_->declinedLine);
  } catch (...) {
    // The closing lines and the message follow whatever went wrong.
  }
  for (const char* closing : {kWorkerSeparator, "Process Completed."}) {
    try {
      AddLine(closing);
    } catch (...) {
    }
  }
  PostMessageA(Application.MainWindow(), WM_EXEC_FINISHED, IsPing_ ? static_cast<WPARAM>(-1) : 0, 0);
}
