// Console commands that must not run for real in a test (the firewall
// switch would change the machine's firewall): the interpreter is started
// with a stand-in that prints the scripted output and ends with the scripted
// exit code. Every other command runs as it is.
#pragma once

#include <windows.h>

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
