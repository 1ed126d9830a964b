// The tools panel: console commands on the command worker, applets and web
// pages, the address buttons, the firewall switch, the proxy question and the
// sliding output panel.
#include "Endpoints.h"
#include "main/Main_u.h"
#include "workers/ExecThread.h"

using namespace mainstate;

namespace {

// Last word of the firewall command, by FirewallOff and command form.
const char* const FirewallWords[2][2] = {
    // before NT 6, NT 6.x
    {"disable", "off"},
    {"enable", "on"},
};

std::string FirstOf(const std::string& joined) { return joined.substr(0, joined.find('|')); }

}  // namespace

void TfrmMain::RunToolCommand(const std::string& command, bool isPing) {
  PrepareTest(0);
  try {
    if (CurrentExecThread) {
      imgWarnIncomplete->Show();
      return;
    }
    if (imgWarnIncomplete->Visible()) imgWarnIncomplete->Hide();
    CurrentExecThread = new TExecThread(command, &memToolsOutput->GetLines(), 127, GetWindowsFolder(), isPing);
    imgLoadingTools->Show();
    imgLoadingTools->SetEnabled(true);
    imgRefresh->SetCursor(TCursor::No);
    imgRefresh->Tag = 2;
  } catch (const std::exception& e) {
    memToolsOutput->GetLines().Add(std::string("Error: ") + e.what());
  }
}

void TfrmMain::HandleExecFinished(WPARAM isPing) {
  if (CurrentExecThread) {
    CurrentExecThread->Terminate();
    delete CurrentExecThread;  // waits for its thread, which has finished its run
    CurrentExecThread = nullptr;
    if (imgWarnIncomplete->Visible()) imgWarnIncomplete->Hide();
  }
  if (!OutputPanelOpen) TimerCascade->SetEnabled(true);
  imgLoadingTools->SetEnabled(false);
  imgLoadingTools->Hide();
  imgRefresh->SetCursor(TCursor::Hand);
  imgRefresh->Tag = 0;
  if (isPing != 0) ShowToolSummary();
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

void TfrmMain::btnNetConnClick(Component*) { RunCommandCapture("ncpa.cpl", GetWindowsFolder()); }

void TfrmMain::btnInetOptClick(Component*) { RunCommandCapture("inetcpl.cpl", GetWindowsFolder()); }

void TfrmMain::btnFirewallClick(Component*) {
  if (!FirewallAllowed) return;
  const bool nt6 = GetWindowsVersionCode() == 8;
  const std::string command = std::string(nt6 ? "netsh advfirewall set currentprofile state " : "netsh firewall set opmode ") +
                              FirewallWords[FirewallOff][nt6 ? 1 : 0];
  // A click refused because another command runs switches nothing, so the
  // picture keeps telling what the program last did.
  const bool refused = CurrentExecThread != nullptr;
  RunToolCommand(command, false);
  if (refused) return;
  FirewallOff = 1 - FirewallOff;
  imgFWOff->SetVisible(FirewallOff == 1);
}

void TfrmMain::btnIpConfClick(Component*) { RunToolCommand("ipconfig /all", false); }
void TfrmMain::btnFlashDNSClick(Component*) { RunToolCommand("ipconfig /flushdns", false); }
void TfrmMain::btnRepairClick(Component*) { RunToolCommand("ipconfig /renew *Con*", false); }

void TfrmMain::btnPingGatewayClick(Component*) {
  if (AdapterInfoReady()) RunToolCommand("ping " + CurrentAdapter.Gateway, true);
}

void TfrmMain::btnPingVelnorClick(Component*) { RunToolCommand(std::string("ping ") + endpoints::ProviderServerAddress, true); }
void TfrmMain::btnPingTehranClick(Component*) { RunToolCommand(std::string("ping ") + endpoints::NationalBackboneAddress, true); }
void TfrmMain::btnPingBackboneClick(Component*) { RunToolCommand("ping " + FirstOf(endpoints::BackboneAddresses), true); }
void TfrmMain::btnTracertClick(Component*) { RunToolCommand("tracert -d -w 500 " + FirstOf(endpoints::BackboneAddresses), false); }
void TfrmMain::btnPingGoogleClick(Component*) { RunToolCommand(std::string("ping ") + endpoints::PublicSearchHost, true); }

void TfrmMain::btnBrowseGWClick(Component*) {
  if (AdapterInfoReady()) ShellOpen("http://" + CurrentAdapter.Gateway);
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
  WriteProxySettings("", false);
  imgProxy->Hide();
  pnlMain->SetEnabled(true);
  pnlConfirm->Hide();
}
