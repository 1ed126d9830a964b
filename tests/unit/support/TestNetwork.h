// For tests that read the real system: whether they run inside the project's
// test network, and the Linux side's own view of it through Wine's Z: drive.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

inline bool InTestNetwork() {
  const char* flag = std::getenv("VELNOR_TESTNET");
  return flag && std::string(flag) == "1";
}

// The content of a Linux file ("/proc/net/route"), empty when unreadable.
inline std::string LinuxFile(std::string path) {
  std::replace(path.begin(), path.end(), '/', '\\');
  std::ifstream file("Z:" + path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}
