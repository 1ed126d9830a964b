// The tools panel: console commands on the command worker, applets and web
// pages, the address buttons, the firewall switch, the proxy question and the
// sliding output panel.
#include <optional>
#include <utility>

#include "Endpoints.h"
#include "main/Main_u.h"
#include "workers/ExecThread.h"
#include "workers/Utils_u.h"

namespace {

// Last word of the firewall command, by FirewallOff and command form.
const char* const FirewallWords[2][2] = {
    // before NT 6, NT 6.x
    {"disable", "off"},
    {"enable", "on"},
};

std::string FirstOf(const std::string& joined) { return joined.substr(0, joined.find('|')); }

const char kRepairNeedsRights[] =
    "The repair needs administrator rights: the connections were not renewed. Press Repair again and allow it.";
const char kFirewallNeedsRights[] = "The firewall switch needs administrator rights: the firewall was not switched.";

}  // namespace

void TfrmMain::RunToolCommand(const std::string& command, bool isPing, const char* declinedLine) {
  PrepareTest(0);
  try {
    if (CurrentExecThread) {
      imgWarnIncomplete->Show();
      return;
    }
    if (imgWarnIncomplete->Visible()) imgWarnIncomplete->Hide();
    std::optional<TElevation> elevation;
    if (declinedLine && NeedsElevation()) elevation = TElevation{Handle(), declinedLine};
    CurrentExecThread =
        new TExecThread(command, &memToolsOutput->GetLines(), 127, GetWindowsFolder(), isPing, std::move(elevation));
    LastToolCommand = command;
    imgLoadingTools->Show();
    imgLoadingTools->SetEnabled(true);
    UpdateRefreshBusy();
  } catch (const std::exception& e) {
    memToolsOutput->GetLines().Add(std::string("Error: ") + e.what());
  }
}

void TfrmMain::HandleExecFinished(WPARAM isPing) {
  DWORD exitCode = STILL_ACTIVE;
  bool declined = false;
  if (CurrentExecThread) {
    CurrentExecThread->Terminate();
    CurrentExecThread->WaitFor();  // its run has finished; the thread is ending
    exitCode = CurrentExecThread->ExitCode();
    declined = CurrentExecThread->Declined();
    delete CurrentExecThread;
    CurrentExecThread = nullptr;
    if (imgWarnIncomplete->Visible()) imgWarnIncomplete->Hide();
  }
  if (!OutputPanelOpen) TimerCascade->SetEnabled(true);
  imgLoadingTools->SetEnabled(false);
  imgLoadingTools->Hide();
  // A test may still be running: it keeps the refresh picture busy.
  UpdateRefreshBusy();
  if (FirewallSwitchPending) {
    FirewallSwitchPending = false;
    FinishFirewallSwitch(exitCode, declined);
  }
  if (isPing != 0) ShowToolSummary();
}

void TfrmMain::FinishFirewallSwitch(DWORD exitCode, bool declined) {
  // Without elevation, or on a system without the command, netsh fails and
  // says why in its output: the picture must keep telling the truth. A
  // refused prompt has said so already.
  if (declined) return;
  if (exitCode != 0) {
    memToolsOutput->GetLines().Add(exitCode == STILL_ACTIVE
                                       ? std::string("The firewall was not switched: the command did not finish.")
                                       : "The firewall was not switched: the command ended with code " +
                                             std::to_string(exitCode) + ".");
    return;
  }
  FirewallOff = 1 - FirewallOff;
  imgFWOff->SetVisible(FirewallOff == 1);
}

void TfrmMain::TimerCascadeTimer(Component*) {
  const int left = pnlOutput->Left();
  if (!OutputPanelOpen) {
    if (left < -40) {
      pnlOutput->SetLeft(left + 42);
    } else {
      TimerCascade->SetEnabled(false);
      OutputPanelOpen = true;
    }
  } else {
    if (left > -580) {
      pnlOutput->SetLeft(left - 42);
    } else {
      TimerCascade->SetEnabled(false);
      OutputPanelOpen = false;
      imgToolSucceed->Hide();
      imgToolWarn->Hide();
      imgToolFail->Hide();
      lblPercent->SetCaption("");
      lblAverage->SetCaption("");
    }
  }
}

void TfrmMain::pnlOutputClick(Component*) { TimerCascade->SetEnabled(true); }

void TfrmMain::imgUtilBackClick(Component*) {
  if (OutputPanelOpen) TimerCascade->SetEnabled(true);
}

void TfrmMain::ShowResult(const std::string& text) {
  lblResult->SetCaption(text.size() >= 40 ? std::string("!!! Invalid parameter !!!") : text);
  lblResult->SetLeft((imgUtilBack->Width() - lblResult->Width()) / 2);
}

// The applets are started and left to the user: the window never waits for
// another program.
void TfrmMain::btnNetConnClick(Component*) { StartCommand("ncpa.cpl", GetWindowsFolder()); }

void TfrmMain::btnInetOptClick(Component*) { StartCommand("inetcpl.cpl", GetWindowsFolder()); }

void TfrmMain::btnFirewallClick(Component*) {
  if (!FirewallAllowed || WatchDisturbedBy("Switching the firewall")) return;
  const bool nt6 = GetWindowsVersionCode() == 8;
  const std::string command =
      std::string(nt6 ? "netsh advfirewall set currentprofile state " : "netsh firewall set opmode ") +
      FirewallWords[FirewallOff][nt6 ? 1 : 0];
  // The state and its picture switch when the command has reported success
  // (WM_EXEC_FINISHED); a click refused because another command runs, or a
  // worker that could not start, switches nothing.
  const bool refused = CurrentExecThread != nullptr;
  RunToolCommand(command, false, kFirewallNeedsRights);
  if (!refused && CurrentExecThread) FirewallSwitchPending = true;
}

void TfrmMain::btnIpConfClick(Component*) { RunToolCommand("ipconfig /all", false); }
void TfrmMain::btnFlashDNSClick(Component*) { RunToolCommand("ipconfig /flushdns", false); }
// Every adapter: the connections' names differ from one Windows version
// and language to the next ("Ethernet", "Wi-Fi", "Подключение..."), so no
// name pattern renews them all. The system renews only with administrator
// rights.
void TfrmMain::btnRepairClick(Component*) {
  if (WatchDisturbedBy("Renewing the address")) return;
  RunToolCommand("ipconfig /renew", false, kRepairNeedsRights);
}

bool TfrmMain::WatchDisturbedBy(const std::string& what) {
  if (!WatchWorkerRunning) return false;
  const std::string text = what + " would break the connection the watch is measuring: stop the watch first (F4 on "
                                  "the test panel), or let it finish.";
  memToolsOutput->GetLines().Add(text);
  ShowStatus(text);
  return true;
}

// A gateway that names no router is never pinged or opened: "ping" of an
// empty name only prints its usage, and of 0.0.0.0 it proves nothing.
bool TfrmMain::CurrentGatewayReady() {
  if (!AdapterInfoReady()) return false;
  if (UsableGateway(CurrentAdapter.Gateway)) return true;
  memToolsOutput->GetLines().Add("No adapter has a default gateway.");
  return false;
}

void TfrmMain::btnPingGatewayClick(Component*) {
  if (CurrentGatewayReady()) RunToolCommand("ping " + PlainAddress(CurrentAdapter.Gateway), true);
}

void TfrmMain::btnPingVelnorClick(Component*) {
  RunToolCommand(std::string("ping ") + endpoints::ProviderServerAddress, true);
}
void TfrmMain::btnPingTehranClick(Component*) {
  RunToolCommand(std::string("ping ") + endpoints::NationalBackboneAddress, true);
}
void TfrmMain::btnPingBackboneClick(Component*) {
  RunToolCommand("ping " + FirstOf(endpoints::BackboneAddresses), true);
}
void TfrmMain::btnTracertClick(Component*) {
  RunToolCommand("tracert -d -w 500 " + FirstOf(endpoints::BackboneAddresses), false);
}
void TfrmMain::btnPingGoogleClick(Component*) {
  RunToolCommand(std::string("ping ") + endpoints::PublicSearchHost, true);
}

void TfrmMain::btnBrowseGWClick(Component*) {
  if (CurrentGatewayReady()) ShellOpen("http://" + PlainAddress(CurrentAdapter.Gateway));
}

void TfrmMain::btnBrowseVelnorClick(Component*) { ShellOpen(endpoints::ProviderWebPage); }
void TfrmMain::btnBrowseGoogleClick(Component*) { ShellOpen(std::string("http://") + endpoints::PublicSearchHost); }

void TfrmMain::btnIpAddrClick(Component*) {
  if (AdapterInfoReady()) ShowResult(CurrentAdapter.IPAddress);
}
void TfrmMain::btnMacAddrClick(Component*) {
  if (AdapterInfoReady()) ShowResult(CurrentAdapter.MACAddress);
}
void TfrmMain::btnDnsSrvClick(Component*) {
  if (AdapterInfoReady()) ShowResult(CurrentAdapter.DNSServer);
}
void TfrmMain::btnDefGwClick(Component*) {
  if (AdapterInfoReady()) ShowResult(CurrentAdapter.Gateway);
}

void TfrmMain::imgProxyClick(Component*) {
  pnlMain->SetEnabled(false);
  pnlConfirm->Show();
}

void TfrmMain::btnYesClick(Component*) {
  pnlMain->SetEnabled(true);
  pnlConfirm->Hide();
  // The indicator goes only with the setting: a proxy still on stays shown.
  try {
    WriteProxySettings("", false);
  } catch (const ERegistryException& e) {
    const std::string why = std::string("The proxy was not switched off: ") + e.what();
    memToolsOutput->GetLines().Add(why);
    ShowStatus(why);
    return;
  }
  imgProxy->Hide();
  imgProxy->SetShowHint(false);
}
