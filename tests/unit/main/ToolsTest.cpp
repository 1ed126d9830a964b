// The tools panel in the real window: address buttons, console commands on
// the command worker with the sliding output panel and the ping summary, the
// firewall switch and the proxy question.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakeWorld.h"
#include "workers/ExecThread.h"

using namespace mainstate;

namespace {

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 30000) {
  const DWORD start = GetTickCount();
  while (!done()) {
    Application.ProcessMessages();
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

OSVERSIONINFOA fakeVersion;
BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
  *info = fakeVersion;
  info->dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
  return TRUE;
}

}  // namespace

class ToolsTest : public FakeWorldTest {
 protected:
  bool CommandDone() {
    return PumpUntil([] { return CurrentExecThread == nullptr; }) &&
           PumpUntil([this] { return !form->TimerCascade->Enabled(); });
  }
  std::string ToolsText() { return form->memToolsOutput->Text(); }
};

TEST_F(ToolsTest, AddressButtonsShowTheCurrentAdapterCentred) {
  Open();
  struct Case {
    FlatButton* TfrmMain::*button;
    const char* text;
  } cases[] = {{&TfrmMain::btnIpAddr, "192.168.1.10"},
               {&TfrmMain::btnMacAddr, "00-1A-2B-3C-4D-5E"},
               {&TfrmMain::btnDnsSrv, "192.168.1.53"},
               {&TfrmMain::btnDefGw, "192.168.1.1"}};
  for (const Case& c : cases) {
    (form->*c.button)->Click();
    EXPECT_EQ(form->lblResult->Caption(), c.text);
    EXPECT_EQ(form->lblResult->Left(), (657 - form->lblResult->Width()) / 2);
  }
  form->ShowResult(std::string(39, 'x'));
  EXPECT_EQ(form->lblResult->Caption(), std::string(39, 'x'));
  form->ShowResult(std::string(40, 'x'));
  EXPECT_EQ(form->lblResult->Caption(), "!!! Invalid parameter !!!");
}

TEST_F(ToolsTest, WithoutAdapterDataTheAddressButtonsOnlyWarn) {
  FakeWorld::adapters.clear();
  Open();
  form->memOutput->GetLines().Clear();
  form->lblResult->SetCaption("kept");
  form->btnIpAddr->Click();
  form->btnPingGateway->Click();
  EXPECT_EQ(form->lblResult->Caption(), "kept");
  EXPECT_EQ(CurrentExecThread, nullptr) << "no gateway ping without adapter data";
  EXPECT_TRUE(Shown("imgFailGetData"));
  const auto out = LinesOf(form->memOutput->GetLines());
  EXPECT_EQ(std::count(out.begin(), out.end(), "WARNING: Can`t Get Client Adapters Information!"), 2);
}

TEST_F(ToolsTest, ACommandRunsCapturedAndThePanelSlidesOut) {
  Open();
  form->RunToolCommand("echo hello", false);
  EXPECT_TRUE(Shown("imgLoadingTools"));
  EXPECT_EQ(form->imgRefresh->Tag, 2);
  ASSERT_TRUE(CommandDone());
  const std::string text = ToolsText();
  EXPECT_NE(text.find("'echo hello' : Start executing, please wait..."), std::string::npos) << text;
  EXPECT_NE(text.find("hello"), std::string::npos);
  EXPECT_NE(text.find("Process Completed."), std::string::npos);
  EXPECT_FALSE(Shown("imgLoadingTools"));
  EXPECT_EQ(form->imgRefresh->Tag, 0);
  EXPECT_TRUE(OutputPanelOpen);
  EXPECT_EQ(form->pnlOutput->Left(), -11);
  for (const char* strip : {"imgToolSucceed", "imgToolWarn", "imgToolFail"}) EXPECT_FALSE(Shown(strip)) << strip;

  // Esc slides it back in, in 14 moves, and clears the strips.
  WORD esc = VK_ESCAPE;
  form->FormKeyDown(esc, 0);
  int moves = 0;
  int last = form->pnlOutput->Left();
  ASSERT_TRUE(PumpUntil([&] {
    if (form->pnlOutput->Left() != last) {
      ++moves;
      last = form->pnlOutput->Left();
    }
    return !form->TimerCascade->Enabled();
  }));
  EXPECT_EQ(moves, 14);
  EXPECT_EQ(form->pnlOutput->Left(), -599);
  EXPECT_FALSE(OutputPanelOpen);

  // While it is in, Esc and a click beside it do nothing.
  form->FormKeyDown(esc, 0);
  form->imgUtilBack->Click();
  EXPECT_FALSE(form->TimerCascade->Enabled());
}

TEST_F(ToolsTest, APingCommandShowsItsSummaryAndRefusesASecondCommand) {
  Open();
  form->RunToolCommand("ping -n 2 127.0.0.1", true);
  ASSERT_TRUE(PumpUntil([this] { return ToolsText().find("'ping -n 2 127.0.0.1'") != std::string::npos; }));
  form->btnIpConf->Click();
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  EXPECT_NE(ToolsText().find("'ping -n 2 127.0.0.1'"), std::string::npos) << "the running command's output stays";
  ASSERT_TRUE(CommandDone());
  EXPECT_EQ(ToolsText().find("ipconfig"), std::string::npos) << "nothing else started";
  EXPECT_FALSE(Shown("imgWarnIncomplete"));
  EXPECT_EQ(form->lblPercent->Caption(), "100");
  EXPECT_TRUE(Shown("imgToolSucceed"));

  // Sliding the panel in takes the result away.
  form->pnlOutputClick(form->pnlOutput);
  ASSERT_TRUE(PumpUntil([this] { return !form->TimerCascade->Enabled(); }));
  EXPECT_FALSE(Shown("imgToolSucceed"));
  EXPECT_EQ(form->lblPercent->Caption(), "");
  EXPECT_EQ(form->lblAverage->Caption(), "");
}

TEST_F(ToolsTest, FirewallSwitchByVersion) {
  struct Case {
    DWORD major, minor;
    const char* off;
    const char* on;
  } cases[] = {{6, 1, "netsh advfirewall set currentprofile state off", "netsh advfirewall set currentprofile state on"},
               {5, 1, "netsh firewall set opmode disable", "netsh firewall set opmode enable"}};
  SysSwap<decltype(Sys.GetVersionExA)> version(&SysApi::GetVersionExA, &FakeGetVersionExA);
  Open();
  for (const Case& c : cases) {
    fakeVersion = OSVERSIONINFOA{};
    fakeVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
    fakeVersion.dwMajorVersion = c.major;
    fakeVersion.dwMinorVersion = c.minor;
    FirewallAllowed = true;
    FirewallOff = 0;
    form->btnFirewall->Click();
    EXPECT_TRUE(Shown("imgFWOff"));
    ASSERT_TRUE(CommandDone());
    EXPECT_NE(ToolsText().find(std::string("'") + c.off + "'"), std::string::npos) << ToolsText();
    form->btnFirewall->Click();
    EXPECT_FALSE(Shown("imgFWOff"));
    ASSERT_TRUE(CommandDone());
    EXPECT_NE(ToolsText().find(std::string("'") + c.on + "'"), std::string::npos) << ToolsText();
  }
  // Refused while another command runs: nothing flips.
  form->RunToolCommand("ping -n 2 127.0.0.1", true);
  form->btnFirewall->Click();
  EXPECT_EQ(FirewallOff, 0);
  EXPECT_FALSE(Shown("imgFWOff"));
  EXPECT_TRUE(Shown("imgWarnIncomplete"));
  ASSERT_TRUE(CommandDone());

  FirewallAllowed = false;
  form->btnFirewall->Click();
  EXPECT_EQ(CurrentExecThread, nullptr) << "not allowed: nothing runs";
  EXPECT_EQ(FirewallOff, 0);
}

TEST_F(ToolsTest, AnsweringYesSwitchesTheProxyOff) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  const DWORD on = 1;
  const char server[] = "10.77.0.9:3128";
  RegSetValueExA(key, "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server), sizeof(server));
  RegSetValueExA(key, "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof(on));
  Open();
  ASSERT_TRUE(Shown("imgProxy"));
  form->imgProxy->Click();
  EXPECT_TRUE(Shown("pnlConfirm"));
  EXPECT_FALSE(form->pnlMain->Enabled());
  form->btnYes->Click();
  EXPECT_FALSE(Shown("imgProxy"));
  EXPECT_FALSE(Shown("pnlConfirm"));
  EXPECT_TRUE(form->pnlMain->Enabled());
  DWORD value = 7, size = sizeof(value), type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "ProxyEnable", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
  EXPECT_EQ(value, 0u);
  char kept[64] = {};
  DWORD keptSize = sizeof(kept);
  RegQueryValueExA(key, "ProxyServer", nullptr, &type, reinterpret_cast<BYTE*>(kept), &keptSize);
  EXPECT_STREQ(kept, server) << "switching off leaves the server text";
  RegDeleteValueA(key, "ProxyServer");
  RegDeleteValueA(key, "ProxyEnable");
  RegCloseKey(key);
}
