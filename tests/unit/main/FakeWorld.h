// A whole fake machine for the real main window: adapters and tables
// through the IP Helper fakes, an echo and name service, the shell, the
// network presence and the online check. The window is opened by each test
// once the world is set up.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../netdata/FakeIpHelper.h"
#include "support/FakeCommands.h"
#include "support/FakeRegistry.h"
#include "main/Main_u.h"
#include "monitor/uTCPIP.h"
#include "platform/Sys.h"
#include "toolkit/Application.h"

struct FakeAdapter {
  DWORD index = 11;
  DWORD type = IF_TYPE_ETHERNET_CSMACD;
  std::vector<BYTE> mac = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
  std::string description = "Fake Ethernet Adapter";
  std::string address = "192.168.1.10";
  std::string mask = "255.255.255.0";
  std::string gateway = "192.168.1.1";
  std::string dns = "192.168.1.53";
  DWORD operStatus = 5;
};

// How a fake host answers echoes: a reply, silence, every other one, or a
// router's "host unreachable" record.
enum class Answer { Up, Down, Half, Unreachable };

struct FakeWorld {
  static std::vector<FakeAdapter> adapters;
  static std::map<std::string, std::string> names;  // host name -> dotted address
  static std::map<std::string, Answer> answers;     // dotted address -> answer (default Up)
  static std::map<std::string, int> echoCounts;     // dotted address -> echoes so far
  static INT_PTR shellResult;
  static std::vector<std::string> opened;
  static int network;  // SM_NETWORK
  static BOOL online;
  static HANDLE echoGate;  // when set, every echo waits until it is signalled

  static void Reset();
  static void Install();  // builds the IP Helper fakes from `adapters`
};

class FakeWorldTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Creates and shows the real window on the fake world.
  void Open();
  // Serves messages until the automatic test is idle again.
  bool RunUntilIdle(DWORD timeoutMs = 30000);
  std::vector<std::string> Events() const;
  std::vector<std::string> Output() const;
  bool Marked(int stage) const;
  bool Shown(const std::string& name) const;

  TfrmMain* form = nullptr;

 private:
  std::unique_ptr<SysSwap> binding_;
  std::vector<std::shared_ptr<void>> swaps_;
  // Nothing a test does reaches the machine's proxy settings or firewall.
  std::unique_ptr<fakeregistry::ScopedFakeRegistry> registry_;
  std::unique_ptr<fakecommands::ScopedFakeCommands> commands_;
};
