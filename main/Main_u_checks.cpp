// Readings of the local configuration: the three stage-1 lists, the internet
// state, the adapter summary with its VPN warning, the refresh with the proxy
// indicator, and the summary of a finished ping tool.
#include "main/Main_u.h"

#include <algorithm>
#include <optional>

#include "monitor/ConfigReports.h"
#include "monitor/uTCPIP.h"
#include "netdata/IPHelper.h"
#include "netdata/uAdapterInfo.h"
#include "text/Format.h"
#include "toolkit/Application.h"

namespace {

bool Qualifies(const TAdapterInfoRec& rec) {
  return (rec.IfType == 6 || rec.IfType == 71) && !rec.IpAddress.empty() && !rec.SubnetMask.empty() &&
         rec.Description.find("VMware") == std::string::npos &&
         rec.Description.find("VirtualBox") == std::string::npos && rec.OperStatus > 3;
}

}  // namespace

std::string PlainAddress(const std::string& text) {
  std::string plain;
  for (char c : text)
    if (c != ' ') plain += c;
  return plain;
}

std::string Ip6AddressFact(const TIp6Facts& facts) {
  if (facts.result != NO_ERROR) return SysErrorMessage(facts.result);
  return facts.GlobalAddress.empty() ? "none" : facts.GlobalAddress;
}

std::string Ip6RouteFact(const TIp6Facts& facts) {
  if (facts.result != NO_ERROR) return SysErrorMessage(facts.result);
  return facts.DefaultGateway.empty() ? "none" : "via " + facts.DefaultGateway;
}

bool UsableGateway(const std::string& gateway) {
  const std::string plain = PlainAddress(gateway);
  return !plain.empty() && plain != "0.0.0.0";
}

bool TfrmMain::ListStage(const char* banner, const char* progress, const char* success, const char* failure,
                         bool (*fill)(Lines*)) {
  Lines& events = lstEvents->GetLines();
  events.Add(banner);
  WorkList.Clear();
  AddLog(progress, true);
  const bool result = fill(&WorkList);
  AddLog(result ? success : failure, true);
  // Whatever the list wrote is shown, also after a failure.
  events.AddLines(WorkList);
  return result;
}

bool TfrmMain::ListAdapters() {
  return ListStage("*************** Network Adapter Info ***************", "Getting Adapter Information ...",
                   "Adapter Loaded Successfully", "Adapter Loading FAIL!", &FillAdapterList);
}

bool TfrmMain::ListIpAddresses() {
  return ListStage("****************** IP Address(es) ******************", "Getting IP Address(es) ...",
                   "IP Address(es) Loaded Successfully", "IP Address(es) Loading FAIL!", &FillIpAddressList);
}

bool TfrmMain::ListNetworkParams() {
  return ListStage("**************** Network Patameters ****************", "Getting Network parameters ...",
                   "Network parameters Loaded Successfully", "Network parameters Loading FAIL!",
                   &FillNetworkParamsList);
}

bool TfrmMain::CheckInternetState() {
  Lines& events = lstEvents->GetLines();
  events.Add("******** Primary Internet Connecting Status ********");
  const bool network = IsNetworkPresent();
  if (network && IsInternetConnected()) {
    events.Add("Connected OK");
    return true;
  }
  events.Add(network ? "Connection to Internet FAIL!" : "Connection to Network FAIL!");
  return false;
}

bool TfrmMain::ReadAdapterSummary() {
  bool result = false;
  int slot = 0;
  CurrentAdapterChosen = false;
  // Nothing of an earlier summary stays beside a failed one.
  AdapterTable.Clear();
  AdapterReadError.clear();
  try {
    TAdapterInfo table;
    if (!ReadAdapterInfo(table)) {
      AdapterReadError = "the interface and address tables could not be read";
      AddLog("*** Error retrieving adapter information", true);
      ShowSelectedAdapters();
      return false;
    }
    // The adapter list is read once for every lookup of this summary, and
    // only when an adapter qualifies.
    std::optional<TAdapterRead> adapters;
    for (const TAdapterInfoRec& rec : table) {
      if (Qualifies(rec)) {
        ++slot;
        if (!adapters) adapters.emplace();
        TLANInfo found;
        found.IPAddress = rec.IpAddress;
        found.MACAddress = rec.MacAddress;
        found.Gateway = GatewayForMac(*adapters, rec.MacAddress);
        found.DNSServer = DnsServerForMac(*adapters, rec.MacAddress);
        // Four slots are kept; every adapter, the fifth and later ones too,
        // may be the current one: the one with the gateway is often listed
        // after virtual and capture adapters.
        if (slot <= 4) AdapterSlots[slot] = found;
        if (UsableGateway(found.Gateway)) {
          CurrentAdapter = found;
          CurrentAdapterChosen = true;
        }
        AdapterTable.Add(FormatLine("%-11s|%16s|%-16s|%-16s|%-16s|%.2f|%s", IfTypeToStr(rec.IfType), rec.MacAddress,
                                    rec.IpAddress, found.DNSServer, found.Gateway, rec.Speed / 1000 / 1000,
                                    rec.Description));
        result = true;
      } else if (rec.IfType == 23 && !rec.IpAddress.empty()) {
        AddLog("WARNING: You may using VPN connection: " + rec.IpAddress, true);
        imgVPN->Show();
      }
    }
    ShowSelectedAdapters();
    ReadIpv6Facts();
    return result;
  } catch (const std::exception& e) {
    AddLog("Error: " + ExceptionClassName(e) + ": " + e.what(), true);
    if (!result) AdapterReadError = ExceptionClassName(e) + ": " + e.what();
    ShowSelectedAdapters();
    return result;
  }
}

// A fact for support, not a verdict: the tool tips of the address and
// gateway buttons say it, and so does the report.
void TfrmMain::ReadIpv6Facts() {
  CurrentIpv6 = ReadIp6Facts(CurrentAdapter.MACAddress);
  btnIpAddr->SetHint("IPv6 global address: " + Ip6AddressFact(CurrentIpv6));
  btnIpAddr->SetShowHint(true);
  btnDefGw->SetHint("IPv6 default route: " + Ip6RouteFact(CurrentIpv6));
  btnDefGw->SetShowHint(true);
}

void TfrmMain::ShowSelectedAdapters() {
  // The monitor's debug page shows the same table.
  if (frmTCPIPMonitor) frmTCPIPMonitor->ShowSelectedAdapters(AdapterTable);
}

bool TfrmMain::AdapterInfoReady() {
  if (AdapterInfoOK) return true;
  AddLog("WARNING: Can`t Get Client Adapters Information!", true);
  imgFailGetData->Show();
  return false;
}

void TfrmMain::imgRefreshClick(Component*) {
  if (imgRefresh->Tag == 2) return;
  lblResult->SetCaption("");
  memToolsOutput->GetLines().Clear();
  lstEvents->GetLines().Clear();
  memOutput->GetLines().Clear();
  ReadAdapterState();
  AdapterInfoReady();
  // Not caught here: an unreadable proxy setting reaches the error report.
  ReadProxyIndicator();
}

void TfrmMain::ReadAdapterState() {
  imgVPN->Hide();
  AdapterInfoOK = ReadAdapterSummary();
  // A strip from an earlier failure must not outlive the data it missed.
  if (AdapterInfoOK) imgFailGetData->Hide();
}

void TfrmMain::ReadProxyIndicator() {
  TProxyItem proxy;
  ReadProxySettings(proxy);
  if (proxy.Enabled) {
    imgProxy->Show();
    imgProxy->SetShowHint(true);
    imgProxy->SetHint(proxy.Server);
  } else {
    imgProxy->Hide();
    imgProxy->SetShowHint(false);
  }
}

void TfrmMain::ShowToolSummary() {
  // The console counts an ICMP error from a router as a received echo, so
  // its own loss figure can say 0% for a dead target: the result is made
  // from the echo lines that really are replies.
  TPingReplies counted;
  CountPingReplies(memToolsOutput->GetLines(), counted);
  const int replies = std::min(counted.Replies, counted.Sent);
  const int loss = counted.Sent > 0 && replies > 0 ? (counted.Sent - replies) * 100 / counted.Sent : -1;
  lblPercent->SetCaption(FormatLine("%d", 100 - loss));
  lblAverage->SetCaption(FormatLine("%d", counted.AverageMs));
  if (loss >= 75) {
    imgToolFail->Show();
  } else if (loss == 0) {
    imgToolSucceed->Show();
  } else if (loss == -1) {
    imgToolFail->Show();
    lblPercent->SetCaption("---");
    lblAverage->SetCaption("---");
  } else {
    imgToolWarn->Show();
  }
}
