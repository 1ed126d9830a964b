// Where along the path from this computer to the web a connection breaks,
// and the one thing the customer should do next.
//
// Plain records of what each stage and check saw go in; one finding of a
// fixed table comes out. The report's section and the JSON object are
// written from the same records, so the windows only gather and draw. No
// platform header here: this folder builds with any C++17 compiler.
#pragma once

#include <array>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// The path and the one placement rule

// The links of the path, from this computer outwards. Names and web come
// last: they need every link before them.
enum class PathLink { Router, Provider, Internet, Names, Web };
constexpr int kPathLinkCount = 5;

enum class LinkState { Unknown, Working, Unstable, Broken };

using PathStates = std::array<LinkState, kPathLinkCount>;

// Where a fault sits: the first broken link along the path decides, because
// a break near the computer shows at every link behind it too; without a
// broken link, the first unstable one. found is false when every link that
// was seen works.
struct FaultPlace {
  bool found = false;
  PathLink link = PathLink::Router;
  LinkState state = LinkState::Working;
};
FaultPlace PlaceFault(const PathStates& states);

// "router", "provider", "internet", "names", "web": the link's key in files.
const char* LinkKey(PathLink link);
// Where the link lies, for a customer: "between this computer and the
// router", "between the router and the provider", ...
const char* LinkWhere(PathLink link);
// What is at fault when the link is: "the local network (Wi-Fi, cable or
// router)", "the line to the provider", ...
const char* LinkCulprit(PathLink link);
// "unknown", "working", "warning", "broken".
const char* LinkStateKey(LinkState state);

// ---------------------------------------------------------------------------
// Evidence: what the test and its checks saw

enum class StageVerdict { NotRun, Passed, Warning, Failed };
// A check that could not be made, or was not, is Unknown: never read as yes.
enum class Answer { Unknown, Yes, No };

// One target of a ping stage.
struct TargetEvidence {
  std::string target;
  int sent = 0;             // echoes tried
  int replies = 0;          // real echo replies among them
  int averageMs = -1;       // mean time of the replies; -1 without one
  int maxMs = -1;           // slowest reply; -1 without one
  bool nameFailed = false;  // the host name did not resolve
  std::string lastError;    // the last failure in the worker's words; empty without one
};

struct StageEvidence {
  std::string name;  // as the report names the stage
  StageVerdict verdict = StageVerdict::NotRun;
  std::vector<TargetEvidence> targets;  // ping stages only
};

struct AdapterEvidence {
  std::string description;
  std::string type;        // "Ethernet", "Wireless", ...
  bool connected = false;  // the system reports it operational
  std::string address;     // IPv4, empty without one
  std::string gateway;     // empty or 0.0.0.0 without one
};

struct NameServerEvidence {
  std::string address;
  Answer answers = Answer::Unknown;  // whether it answered a name query
  int timeMs = -1;                   // its answer's time; -1 without one
};

// The web request made alongside the page the browser opens.
struct WebEvidence {
  bool tried = false;
  std::string url;
  std::string host;       // the host the address names
  int status = 0;         // of the final answer; 0 when none came
  std::string finalUrl;   // after redirects
  std::string finalHost;  // the host of finalUrl
  int timeMs = -1;
  bool timedOut = false;
  bool connectFailed = false;  // no connection could be made (to the proxy when one is set)
  std::string error;           // why no answer came; empty when one came
};

struct ProxyEvidence {
  bool enabled = false;
  std::string server;
  Answer answers = Answer::Unknown;  // whether the proxy takes connections
};

struct Evidence {
  bool tested = false;
  std::string made;           // when the test ran, local time
  std::string program;        // the program's version
  bool adaptersRead = false;  // the adapter tables could be read
  std::vector<AdapterEvidence> adapters;
  std::vector<NameServerEvidence> nameServers;
  ProxyEvidence proxy;
  WebEvidence web;
  // By stage number, 1 to 7; [0] is unused.
  std::array<StageEvidence, 8> stages;
};

// "169.254.x.x": an address a computer gives itself when no router did.
bool IsAutomaticAddress(const std::string& address);

// ---------------------------------------------------------------------------
// Findings

enum class FindingCode {
  NotTested,
  AllWorking,
  AdaptersUnreadable,
  NoAdapter,
  AutomaticAddress,
  NoGateway,
  RouterSilent,
  ProviderSilent,
  InternetSilent,
  InternetPartial,
  UnstableLine,
  NamesFail,
  NamesOrInternet,
  ProxySilent,
  WebFails,
  WebRedirected,
  BrowserFails,
  SystemOffline,
};

// The tool of the tools panel that repairs a finding, where there is one.
enum class Repair { None, RenewAddress, FlushNames, ProxyOff };

// One row of the fixed table.
struct FindingInfo {
  FindingCode code;
  const char* key;    // in files: "all_working", "router_silent", ...
  const char* title;  // a short line
  const char* cause;  // one or two plain sentences
  const char* next;   // the one next step
  Repair repair;
};
const std::vector<FindingInfo>& FindingTable();
const FindingInfo& InfoOf(FindingCode code);

// "none", "renew_address", "flush_names", "proxy_off".
const char* RepairKey(Repair repair);
// The button a customer sees for it: "Renew the address", ...
const char* RepairCaption(Repair repair);

struct Finding {
  FindingCode code = FindingCode::NotTested;
  const FindingInfo* info = nullptr;  // not owned: a row of the table
  // What this test saw that led there, in a customer's words (the link at
  // fault, the name servers, the web address it ended at).
  std::vector<std::string> details;
  PathStates path{};
  FaultPlace place;
};

// The rule from evidence to finding.
Finding Diagnose(const Evidence& evidence);

// The links as this test saw them (part of Diagnose, open for the picture
// and the tests).
PathStates LinkStates(const Evidence& evidence);

// ---------------------------------------------------------------------------
// Texts

// The report's DIAGNOSIS section, its heading included, one entry a line.
std::vector<std::string> DiagnosisLines(const Evidence& evidence, const Finding& finding);

// The same facts as one JSON object (ASCII only: every other character is
// escaped from the program's code page, 1252).
std::string DiagnosisJson(const Evidence& evidence, const Finding& finding);

// text as a JSON string, quotes included.
std::string JsonString(const std::string& text);
