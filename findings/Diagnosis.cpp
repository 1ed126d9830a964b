// The finding table, the link states and the rule that picks a finding.
#include "findings/Diagnosis.h"

#include <algorithm>

#include "text/Format.h"

namespace {

// Answers slower than this on average make a link unstable (a quiet line
// answers in tens of milliseconds; the stage itself fails above 1500).
const int kSlowMs = 500;

const char kSupport[] = "Call your provider's support and give them the report (Ctrl+S saves it on the desktop).";

int LinkIndex(PathLink link) { return static_cast<int>(link); }

bool UsableGatewayText(const std::string& gateway) {
  std::string plain;
  for (char c : gateway)
    if (c != ' ') plain += c;
  return !plain.empty() && plain != "0.0.0.0";
}

bool IsLoopback(const AdapterEvidence& a) { return a.type == "Loopback" || a.address.compare(0, 4, "127.") == 0; }

// The adapters that could carry the connection.
std::vector<const AdapterEvidence*> RealAdapters(const Evidence& e) {
  std::vector<const AdapterEvidence*> out;
  for (const AdapterEvidence& a : e.adapters)
    if (!IsLoopback(a)) out.push_back(&a);
  return out;
}

int Replies(const StageEvidence& s) {
  int n = 0;
  for (const TargetEvidence& t : s.targets) n += t.replies;
  return n;
}

bool AnyTargetSilent(const StageEvidence& s) {
  for (const TargetEvidence& t : s.targets)
    if (t.sent > 0 && t.replies == 0 && !t.nameFailed) return true;
  return false;
}

bool AnyNameFailed(const StageEvidence& s) {
  for (const TargetEvidence& t : s.targets)
    if (t.nameFailed) return true;
  return false;
}

bool Slow(const StageEvidence& s) {
  for (const TargetEvidence& t : s.targets)
    if (t.averageMs > kSlowMs) return true;
  return false;
}

// Echoes lost on the way; a name not found sent none.
bool Lossy(const StageEvidence& s) {
  for (const TargetEvidence& t : s.targets)
    if (!t.nameFailed && t.sent > 0 && t.replies < t.sent) return true;
  return false;
}

// A ping stage as the state of the link it tests.
LinkState PingLinkState(const StageEvidence& s) {
  switch (s.verdict) {
    case StageVerdict::NotRun: return LinkState::Unknown;
    case StageVerdict::Failed: return LinkState::Broken;
    case StageVerdict::Warning: return LinkState::Unstable;
    case StageVerdict::Passed: return Slow(s) || Lossy(s) ? LinkState::Unstable : LinkState::Working;
  }
  return LinkState::Unknown;
}

LinkState Worse(LinkState a, LinkState b) { return static_cast<int>(a) > static_cast<int>(b) ? a : b; }

bool NoServerAnswers(const Evidence& e) {
  if (e.nameServers.empty()) return false;
  for (const NameServerEvidence& s : e.nameServers)
    if (s.answers != Answer::No) return false;
  return true;
}

bool WebRedirectedAway(const WebEvidence& w) {
  return w.tried && w.status > 0 && !w.finalHost.empty() && w.finalHost != w.host;
}

bool ProxyDown(const Evidence& e) {
  if (!e.proxy.enabled) return false;
  if (e.proxy.answers == Answer::No) return true;
  // Through a proxy, "no connection" is no connection to the proxy.
  return e.proxy.answers == Answer::Unknown && e.web.tried && e.web.status == 0 && e.web.connectFailed;
}

// The hosts beyond the provider that were reached by name or address and
// never answered.
std::string SilentTargets(const Evidence& e) {
  std::string out;
  for (int stage : {4, 5}) {
    for (const TargetEvidence& t : e.stages[stage].targets) {
      if (t.sent == 0 || t.replies > 0 || t.nameFailed) continue;
      if (!out.empty()) out += ", ";
      out += t.target;
    }
  }
  return out;
}

std::string LossText(const TargetEvidence& t) {
  if (t.sent == 0) return t.target + " was not tried";
  if (t.nameFailed) return t.target + ": the name was not found";
  std::string text = FormatLine("%s answered %d of %d", t.target, t.replies, t.sent);
  if (t.averageMs >= 0) text += FormatLine(", %d ms on average", t.averageMs);
  return text;
}

std::string NameServersText(const Evidence& e) {
  if (e.nameServers.empty()) return "No name server (DNS server) is set on this computer.";
  std::string text = "Name servers (DNS servers) set: ";
  for (size_t i = 0; i < e.nameServers.size(); ++i) {
    const NameServerEvidence& s = e.nameServers[i];
    if (i) text += "; ";
    text += s.address;
    text += s.answers == Answer::Yes ? " answers" : s.answers == Answer::No ? " does not answer" : " was not asked";
  }
  return text + ".";
}

}  // namespace

// ---------------------------------------------------------------------------

FaultPlace PlaceFault(const PathStates& states) {
  FaultPlace place;
  for (LinkState wanted : {LinkState::Broken, LinkState::Unstable}) {
    for (int i = 0; i < kPathLinkCount; ++i) {
      if (states[i] == wanted) {
        place.found = true;
        place.link = static_cast<PathLink>(i);
        place.state = wanted;
        return place;
      }
    }
  }
  return place;
}

const char* LinkKey(PathLink link) {
  static const char* const keys[] = {"router", "provider", "internet", "names", "web"};
  return keys[LinkIndex(link)];
}

const char* LinkWhere(PathLink link) {
  static const char* const where[] = {
      "between this computer and the router",
      "between the router and the provider",
      "beyond the provider, out on the internet",
      "in finding names (the name servers, DNS)",
      "in opening web pages",
  };
  return where[LinkIndex(link)];
}

const char* LinkCulprit(PathLink link) {
  static const char* const culprits[] = {
      "the local network (Wi-Fi, cable or router)", "the line to the provider (or the modem)",
      "the provider's link to the internet",        "the name service",
      "the web service or a filter on the way",
  };
  return culprits[LinkIndex(link)];
}

const char* LinkStateKey(LinkState state) {
  switch (state) {
    case LinkState::Working: return "working";
    case LinkState::Unstable: return "warning";
    case LinkState::Broken: return "broken";
    default: return "unknown";
  }
}

bool IsAutomaticAddress(const std::string& address) { return address.compare(0, 8, "169.254.") == 0; }

const std::vector<FindingInfo>& FindingTable() {
  static const std::vector<FindingInfo> table = {
      {FindingCode::NotTested, "not_tested", "No test has run yet",
       "The connection has not been tested since the program started.",
       "Start the automatic test (Enter on the test panel).", Repair::None},
      {FindingCode::AllWorking, "all_working", "Everything works",
       "This computer, the router, the provider, the internet, names and web pages all answered.",
       "Nothing to do. If a program still cannot connect, check that program's own settings.", Repair::None},
      {FindingCode::AdaptersUnreadable, "adapters_unreadable", "The network settings could not be read",
       "Windows did not give out the list of network adapters, so nothing further could be tested.",
       "Restart the computer and test again. If it stays so, call support with the report.", Repair::None},
      {FindingCode::NoAdapter, "no_adapter", "No network connection on this computer",
       "No network adapter is connected: the cable is unplugged, Wi-Fi is off, or the adapter is switched off.",
       "Plug the network cable in firmly or switch Wi-Fi on (and join your network), then test again.", Repair::None},
      {FindingCode::AutomaticAddress, "automatic_address", "The router gave this computer no address",
       "The computer is connected but gave itself an automatic address (169.254.x.x), because the router did not "
       "hand one out (no DHCP answer: the router's address service).",
       "Renew the address. If that does not help, restart the router, wait two minutes and test again.",
       Repair::RenewAddress},
      {FindingCode::NoGateway, "no_gateway", "No way out to the router",
       "The computer has an address but no default gateway (the router's address) is set, so nothing can leave "
       "the local network.",
       "Renew the address. If that does not help, restart the router and test again.", Repair::RenewAddress},
      {FindingCode::RouterSilent, "router_silent", "The router does not answer",
       "This computer is connected, but the router does not answer it.",
       "Restart the router: switch it off, wait 30 seconds, switch it on, wait two minutes and test again.",
       Repair::None},
      {FindingCode::ProviderSilent, "provider_silent", "The router answers, the provider does not",
       "The router is reached, but nothing behind it: the line from the router to the provider (or the modem) "
       "is down, or the provider has a fault.",
       "Check the modem's lights and the cable from the router to the wall, restart the modem and router. If it "
       "stays so, call support with the report.",
       Repair::None},
      {FindingCode::InternetSilent, "internet_silent", "The provider answers, the internet does not",
       "The provider's server answers, but no address beyond it does: the provider's link to the internet has "
       "a fault.",
       "This is not on your side. Call support with the report, or wait and test again later.", Repair::None},
      {FindingCode::InternetPartial, "internet_partial", "Only part of the internet answers",
       "The provider answers, but some of the addresses beyond it do not: part of the provider's link to the "
       "internet has a fault.",
       "Test again in a few minutes. If it stays so, call support with the report.", Repair::None},
      {FindingCode::UnstableLine, "unstable_line", "The connection is unstable",
       "Answers were lost or came slowly on part of the path.",
       "Test again in a few minutes. If it stays so, call support with the report.", Repair::None},
      {FindingCode::NamesFail, "names_fail", "Names are not found, addresses work",
       "The internet answers by address, but names of web sites are not turned into addresses: the name "
       "service (DNS) is failing.",
       "Flush the name cache. If that does not help, restart the router; if it stays so, call support with the "
       "report.",
       Repair::FlushNames},
      {FindingCode::NamesOrInternet, "names_or_internet", "Names fail and the internet answers only partly",
       "Names of web sites are not found, and part of the internet does not answer either: the test cannot tell "
       "whether the name service (DNS) or the provider's link to the internet is at fault.",
       "Test again in a few minutes. If it stays so, call support with the report.", Repair::None},
      {FindingCode::ProxySilent, "proxy_silent", "A proxy is set and does not answer",
       "Web pages go through a proxy server set in the Internet options, and that server does not answer, while "
       "everything else works.",
       "Switch the proxy off (unless your company or school needs it) and test again.", Repair::ProxyOff},
      {FindingCode::WebFails, "web_fails", "Web pages do not load, though the line works",
       "Every address answers, but the provider's web page could not be loaded: a filter (security program, "
       "parental control) blocks web pages, or that web site itself is down.",
       "Try another web site. If none loads, check your security program's web filter, or call support with the "
       "report.",
       Repair::None},
      {FindingCode::WebRedirected, "web_redirected", "Web pages are sent to another site",
       "The provider's web page was answered by another site: usually a login or payment page of the network "
       "you are on, or a filter.",
       "Open any web page in your browser and follow what it asks (log in, accept the terms or pay), then test "
       "again.",
       Repair::None},
      {FindingCode::BrowserFails, "browser_fails", "The web page could not be opened here",
       "The connection works, but Windows could not open the web page: no web browser is set up to open it.",
       "Set a default web browser in Windows' settings and test again.", Repair::None},
      {FindingCode::SystemOffline, "system_offline", "Windows says offline, though every check passed",
       "Every part of the path answered, but Windows reports no internet connection; some programs believe it "
       "and will not connect.",
       "Restart the computer. If programs still say there is no internet, call support with the report.", Repair::None},
  };
  return table;
}

const FindingInfo& InfoOf(FindingCode code) {
  for (const FindingInfo& row : FindingTable())
    if (row.code == code) return row;
  return FindingTable().front();
}

const char* RepairKey(Repair repair) {
  switch (repair) {
    case Repair::RenewAddress: return "renew_address";
    case Repair::FlushNames: return "flush_names";
    case Repair::ProxyOff: return "proxy_off";
    default: return "none";
  }
}

const char* RepairCaption(Repair repair) {
  switch (repair) {
    case Repair::RenewAddress: return "Renew the address";
    case Repair::FlushNames: return "Flush the name cache";
    case Repair::ProxyOff: return "Switch the proxy off";
    default: return "";
  }
}

PathStates LinkStates(const Evidence& e) {
  PathStates states{};
  states[LinkIndex(PathLink::Router)] = PingLinkState(e.stages[2]);
  states[LinkIndex(PathLink::Provider)] = PingLinkState(e.stages[3]);
  states[LinkIndex(PathLink::Internet)] = PingLinkState(e.stages[4]);

  // Stage 5 tests names and the hosts behind them: a name not found is the
  // names' link; a name found whose host stays silent is the internet's.
  const StageEvidence& hosts = e.stages[5];
  LinkState names = LinkState::Unknown;
  if (hosts.verdict != StageVerdict::NotRun) {
    const bool allNamesFailed =
        !hosts.targets.empty() &&
        std::all_of(hosts.targets.begin(), hosts.targets.end(), [](const TargetEvidence& t) { return t.nameFailed; });
    if (allNamesFailed)
      names = LinkState::Broken;
    else if (AnyNameFailed(hosts))
      names = LinkState::Unstable;
    else
      names = LinkState::Working;
    LinkState internetSeen = LinkState::Unknown;
    if (AnyTargetSilent(hosts) || Slow(hosts) || Lossy(hosts))
      internetSeen = hosts.verdict == StageVerdict::Failed && Replies(hosts) == 0 && !AnyNameFailed(hosts)
                         ? LinkState::Broken
                         : LinkState::Unstable;
    LinkState& internet = states[LinkIndex(PathLink::Internet)];
    if (internetSeen != LinkState::Unknown) internet = Worse(internet, internetSeen);
  }
  // Name servers that answer no query break names even where the test
  // stopped before it looked names up.
  if (NoServerAnswers(e) && names != LinkState::Working) names = LinkState::Broken;
  states[LinkIndex(PathLink::Names)] = names;

  LinkState web = LinkState::Unknown;
  if (e.web.tried) {
    if (e.web.status == 0 || e.web.status >= 400 || WebRedirectedAway(e.web))
      web = LinkState::Broken;
    else if (e.web.timeMs > 3 * kSlowMs)
      web = LinkState::Unstable;
    else
      web = LinkState::Working;
  } else if (e.stages[6].verdict == StageVerdict::Passed) {
    web = LinkState::Working;  // no request made, but the page opened
  }
  states[LinkIndex(PathLink::Web)] = web;
  return states;
}

Finding Diagnose(const Evidence& e) {
  Finding f;
  auto result = [&f](FindingCode code) {
    f.code = code;
    f.info = &InfoOf(code);
    return f;
  };
  if (!e.tested) return result(FindingCode::NotTested);
  f.path = LinkStates(e);
  f.place = PlaceFault(f.path);

  // This computer first: a fault here shows at every link of the path.
  const std::vector<const AdapterEvidence*> adapters = RealAdapters(e);
  const bool stage1Failed = e.stages[1].verdict == StageVerdict::Failed;
  if (!e.adaptersRead && (stage1Failed || e.stages[2].verdict != StageVerdict::Passed))
    return result(FindingCode::AdaptersUnreadable);
  std::vector<const AdapterEvidence*> connected;
  for (const AdapterEvidence* a : adapters)
    if (a->connected) connected.push_back(a);
  bool anyRealAddress = false, anyAutomatic = false, anyGateway = false;
  for (const AdapterEvidence* a : connected) {
    if (IsAutomaticAddress(a->address))
      anyAutomatic = true;
    else if (!a->address.empty())
      anyRealAddress = true;
    if (UsableGatewayText(a->gateway)) anyGateway = true;
  }
  if (e.adaptersRead && e.stages[2].verdict != StageVerdict::Passed) {
    if (connected.empty()) {
      for (const AdapterEvidence* a : adapters)
        f.details.push_back(a->description + (a->type.empty() ? "" : " (" + a->type + ")") + ": not connected");
      if (adapters.empty()) f.details.push_back("Windows lists no network adapter at all.");
      return result(FindingCode::NoAdapter);
    }
    if (anyAutomatic && !anyRealAddress) {
      for (const AdapterEvidence* a : connected)
        if (IsAutomaticAddress(a->address))
          f.details.push_back(a->description + " gave itself the address " + a->address + ".");
      return result(FindingCode::AutomaticAddress);
    }
  }
  // No way out: the router of its own network may still answer, but
  // nothing beyond it can.
  const bool brokenBeforeNames =
      f.place.found && f.place.state == LinkState::Broken &&
      (f.place.link == PathLink::Router || f.place.link == PathLink::Provider || f.place.link == PathLink::Internet);
  if (e.adaptersRead && !connected.empty() && !anyGateway && brokenBeforeNames) {
    for (const AdapterEvidence* a : connected) f.details.push_back(a->description + ": no default gateway.");
    return result(FindingCode::NoGateway);
  }

  if (!f.place.found) {
    if (e.stages[6].verdict == StageVerdict::Failed) return result(FindingCode::BrowserFails);
    if (e.stages[7].verdict == StageVerdict::Failed) return result(FindingCode::SystemOffline);
    return result(FindingCode::AllWorking);
  }

  const PathLink link = f.place.link;
  const bool broken = f.place.state == LinkState::Broken;
  if (!broken) {
    // Loss or slowness somewhere, nothing broken: say where first.
    const StageEvidence* stage = link == PathLink::Router     ? &e.stages[2]
                                 : link == PathLink::Provider ? &e.stages[3]
                                 : link == PathLink::Internet ? &e.stages[4]
                                 : link == PathLink::Names    ? &e.stages[5]
                                                              : nullptr;
    if (link == PathLink::Internet && (AnyTargetSilent(e.stages[4]) || AnyTargetSilent(e.stages[5]))) {
      f.details.push_back("No answer from " + SilentTargets(e) + ".");
      return result(FindingCode::InternetPartial);
    }
    if (link == PathLink::Names) {
      // Some names found, others not.
      f.details.push_back(NameServersText(e));
      for (const TargetEvidence& t : e.stages[5].targets) f.details.push_back(LossText(t) + ".");
      return result(FindingCode::NamesFail);
    }
    f.details.push_back(std::string("Where: ") + LinkWhere(link) + ", that is " + LinkCulprit(link) + ".");
    if (stage)
      for (const TargetEvidence& t : stage->targets) f.details.push_back(LossText(t) + ".");
    if (link == PathLink::Web) f.details.push_back(FormatLine("The web page took %d ms.", e.web.timeMs));
    return result(FindingCode::UnstableLine);
  }

  switch (link) {
    case PathLink::Router:
      for (const TargetEvidence& t : e.stages[2].targets) f.details.push_back(LossText(t) + ".");
      return result(FindingCode::RouterSilent);
    case PathLink::Provider:
      for (const TargetEvidence& t : e.stages[3].targets) f.details.push_back(LossText(t) + ".");
      return result(FindingCode::ProviderSilent);
    case PathLink::Internet: {
      const StageEvidence& backbone = e.stages[4];
      for (const TargetEvidence& t : backbone.targets) f.details.push_back(LossText(t) + ".");
      if (backbone.verdict == StageVerdict::Failed && Replies(backbone) == 0)
        return result(FindingCode::InternetSilent);
      // The backbone answered, the web hosts behind their names did not.
      if (backbone.verdict == StageVerdict::Passed || backbone.verdict == StageVerdict::Warning)
        for (const TargetEvidence& t : e.stages[5].targets) f.details.push_back(LossText(t) + ".");
      return result(FindingCode::InternetPartial);
    }
    case PathLink::Names:
      for (const TargetEvidence& t : e.stages[5].targets) f.details.push_back(LossText(t) + ".");
      f.details.push_back(NameServersText(e));
      // Names failing while part of the internet is silent too: either
      // could be the cause.
      if (f.path[LinkIndex(PathLink::Internet)] != LinkState::Working &&
          f.path[LinkIndex(PathLink::Internet)] != LinkState::Unknown)
        return result(FindingCode::NamesOrInternet);
      return result(FindingCode::NamesFail);
    case PathLink::Web:
      if (ProxyDown(e)) {
        f.details.push_back("Proxy server: " + e.proxy.server + ".");
        if (!e.web.error.empty()) f.details.push_back("The web request: " + e.web.error + ".");
        return result(FindingCode::ProxySilent);
      }
      if (WebRedirectedAway(e.web)) {
        f.details.push_back("Asked for " + e.web.url + ", answered by " + e.web.finalUrl + ".");
        return result(FindingCode::WebRedirected);
      }
      f.details.push_back("Asked for " + e.web.url + ": " +
                          (e.web.status > 0 ? FormatLine("the site answered with error %d", e.web.status)
                                            : (e.web.error.empty() ? std::string("no answer") : e.web.error)) +
                          ".");
      return result(FindingCode::WebFails);
  }
  return result(FindingCode::AllWorking);
}
