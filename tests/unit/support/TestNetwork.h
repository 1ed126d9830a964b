// For tests that read the real system: whether they run inside the project's
// test network, and the Linux side's own view of it through Wine's Z: drive.
#pragma once

#include <algorithm>
#include <cstdio>
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

// Whether the kernel's routing table of this process's network has the
// client's link of the test network.
inline bool TestNetworkLinkSeen() { return LinuxFile("/proc/net/route").find("veth-velnor") != std::string::npos; }

// Empty when the variable tools/testnet exec sets agrees with the network
// this process runs in; otherwise what is wrong. A lost variable must not
// turn the checks of the real system into silent skips.
inline std::string TestNetworkMismatch() {
  const bool flag = InTestNetwork(), link = TestNetworkLinkSeen();
  if (flag && !link) return "VELNOR_TESTNET=1, but the test network's link is not in /proc/net/route";
  if (!flag && link) return "inside the test network, but VELNOR_TESTNET=1 did not reach this process";
  return "";
}

// For the SetUp of a test of the real system: fails when the variable and
// the network disagree, skips outside the test network (tools/test lists
// every skip, and a 64-bit run that skipped one is not green).
#define REQUIRE_TEST_NETWORK()                                                              \
  do {                                                                                      \
    const std::string mismatch = TestNetworkMismatch();                                     \
    if (!mismatch.empty()) FAIL() << mismatch;                                              \
    if (!InTestNetwork()) GTEST_SKIP() << "outside the test network (run through tools/testnet exec)"; \
  } while (0)

// A line in the test's output saying which way a check that depends on
// what the system offers went (tools/test shows these).
inline void NoteBranch(const std::string& test, const std::string& branch) {
  std::printf("branch: %s: %s\n", test.c_str(), branch.c_str());
  std::fflush(stdout);
}
