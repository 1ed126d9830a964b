// Console commands that must not run for real in a test (the firewall
// switch would change the machine's firewall): the interpreter is started
// with a stand-in that prints the scripted output and ends with the scripted
// exit code. Every other command runs as it is.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <map>
#include <string>
#include <vector>

#include "platform/Sys.h"

namespace fakecommands {

struct Script {
  std::string output;  // one line, printed by echo
  DWORD exitCode = 0;
};

struct FakeCommands {
  static inline std::map<std::string, Script> scripts;  // command (after "cmd.exe /C ") -> stand-in
  static inline std::vector<std::string> started;       // every command line asked for, in order

  static BOOL WINAPI CreateProcessA(LPCSTR app, LPSTR cmd, LPSECURITY_ATTRIBUTES pa, LPSECURITY_ATTRIBUTES ta,
                                    BOOL inherit, DWORD flags, LPVOID env, LPCSTR dir, LPSTARTUPINFOA si,
                                    LPPROCESS_INFORMATION pi) {
    const std::string line = cmd ? cmd : "";
    started.push_back(line);
    const std::string prefix = "cmd.exe /C ";
    auto it = line.compare(0, prefix.size(), prefix) == 0 ? scripts.find(line.substr(prefix.size())) : scripts.end();
    if (it == scripts.end()) return ::CreateProcessA(app, cmd, pa, ta, inherit, flags, env, dir, si, pi);
    std::string standIn = prefix + "echo " + it->second.output + "& exit " + std::to_string(it->second.exitCode);
    std::vector<char> buffer(standIn.begin(), standIn.end());
    buffer.push_back('\0');
    return ::CreateProcessA(app, buffer.data(), pa, ta, inherit, flags, env, dir, si, pi);
  }
};

// The system's elevation prompt, answered by the test. The program is
// taken to run without elevation (an administrator under user account
// control) unless `elevated` says otherwise; a prompt answered yes runs the
// command for real through the shell as the program asked for it, a
// scripted command as its stand-in.
struct FakeElevation {
  static inline bool elevated = false;
  static inline bool answerYes = true;
  static inline std::vector<std::string> prompts;  // "verb file parameters" of every prompt

  static BOOL WINAPI GetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID info, DWORD size,
                                         PDWORD needed) {
    if (cls != TokenElevation) return ::GetTokenInformation(token, cls, info, size, needed);
    if (!info || size < sizeof(TOKEN_ELEVATION)) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    static_cast<TOKEN_ELEVATION*>(info)->TokenIsElevated = elevated ? 1 : 0;
    if (needed) *needed = sizeof(TOKEN_ELEVATION);
    return TRUE;
  }

  static BOOL WINAPI ShellExecuteExA(SHELLEXECUTEINFOA* info) {
    std::string parameters = info->lpParameters ? info->lpParameters : "";
    prompts.push_back(std::string(info->lpVerb ? info->lpVerb : "") + " " + (info->lpFile ? info->lpFile : "") + " " +
                      parameters);
    if (!answerYes) {
      SetLastError(ERROR_CANCELLED);
      return FALSE;
    }
    // "/C command > pipe 2>&1": a scripted command runs as its stand-in.
    const std::string redirect = " > \\\\.\\pipe\\";
    const size_t at = parameters.find(redirect);
    if (parameters.rfind("/C ", 0) == 0 && at != std::string::npos) {
      auto it = FakeCommands::scripts.find(parameters.substr(3, at - 3));
      if (it != FakeCommands::scripts.end())
        parameters =
            "/C echo " + it->second.output + parameters.substr(at) + "& exit " + std::to_string(it->second.exitCode);
    }
    SHELLEXECUTEINFOA copy = *info;
    copy.lpParameters = parameters.c_str();
    const BOOL ok = ::ShellExecuteExA(&copy);
    info->hProcess = copy.hProcess;
    info->hInstApp = copy.hInstApp;
    return ok;
  }
};

class ScopedFakeElevation {
 public:
  explicit ScopedFakeElevation(bool answerYes) {
    FakeElevation::elevated = false;
    FakeElevation::answerYes = answerYes;
    FakeElevation::prompts.clear();
  }

 private:
  SysSwap token_{&SysApi::GetTokenInformation, &FakeElevation::GetTokenInformation};
  SysSwap shell_{&SysApi::ShellExecuteExA, &FakeElevation::ShellExecuteExA};
};

class ScopedFakeCommands {
 public:
  ScopedFakeCommands() {
    FakeCommands::scripts.clear();
    FakeCommands::started.clear();
  }

 private:
  SysSwap create_{&SysApi::CreateProcessA, &FakeCommands::CreateProcessA};
};

}  // namespace fakecommands
