// The rule from evidence to finding, its placement along the path, and the
// two texts made from them. Built by the cross compiler (under Wine) and by
// the host's compiler alike: nothing here needs the platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>

#include "findings/Diagnosis.h"

namespace {

TargetEvidence Target(const std::string& name, int replies, int averageMs = 5, int sent = 4) {
  TargetEvidence t;
  t.target = name;
  t.sent = sent;
  t.replies = replies;
  t.averageMs = replies > 0 ? averageMs : -1;
  t.maxMs = replies > 0 ? averageMs + 2 : -1;
  if (replies < sent) t.lastError = "Request timed out";
  return t;
}

TargetEvidence Unresolved(const std::string& name) {
  TargetEvidence t;
  t.target = name;
  t.sent = 1;
  t.nameFailed = true;
  t.lastError = "Error getting HostName";
  return t;
}

// A test where every stage and check worked.
Evidence GoodPath() {
  Evidence e;
  e.tested = true;
  e.made = "2026-12-11 13:00:00";
  e.program = "1.0";
  e.adaptersRead = true;
  e.adapters = {{"Loopback", "Loopback", true, "127.0.0.1", ""},
                {"Ethernet adapter", "Ethernet", true, "10.77.0.2", "10.77.0.1"}};
  e.nameServers = {{"10.77.0.1", Answered::Yes, 3}};
  e.web.tried = true;
  e.web.url = "http://10.77.1.1/";
  e.web.host = "10.77.1.1";
  e.web.status = 200;
  e.web.finalUrl = "http://10.77.1.1/";
  e.web.finalHost = "10.77.1.1";
  e.web.timeMs = 20;
  const char* names[] = {"",
                         "Local configuration",
                         "Default gateway",
                         "Provider's server",
                         "International backbone",
                         "Public web hosts",
                         "Provider's web page",
                         "Internet connection"};
  for (int n = 1; n <= 7; ++n) {
    e.stages[n].name = names[n];
    e.stages[n].verdict = StageVerdict::Passed;
  }
  e.stages[2].targets = {Target("10.77.0.1", 4)};
  e.stages[3].targets = {Target("10.77.1.1", 4)};
  e.stages[4].targets = {Target("10.77.1.2", 4), Target("10.77.1.3", 4)};
  e.stages[5].targets = {Target("web1.velnor.test", 4), Target("web2.velnor.test", 4)};
  return e;
}

// The test stopped at a stage that failed: nothing after it ran.
void StopAt(Evidence& e, int stage) {
  e.stages[stage].verdict = StageVerdict::Failed;
  for (int n = stage + 1; n <= 7; ++n) {
    e.stages[n].verdict = StageVerdict::NotRun;
    e.stages[n].targets.clear();
  }
  if (stage <= 6) e.web = WebEvidence{};
}

struct Case {
  const char* what;
  std::function<void(Evidence&)> fault;
  FindingCode expected;
  const char* place;  // the link at fault, "" for none
};

const Case kCases[] = {
    {"everything works", [](Evidence&) {}, FindingCode::AllWorking, ""},
    {"not tested", [](Evidence& e) { e = Evidence{}; }, FindingCode::NotTested, ""},
    // Closed while the provider's server did not answer: what was not
    // reached must not read as working.
    {"stopped during stage 3",
     [](Evidence& e) {
       e.finished = false;
       StopAt(e, 3);
       e.stages[3].verdict = StageVerdict::NotRun;
       e.stages[3].targets.clear();
     },
     FindingCode::NotFinished, ""},
    {"adapter tables unreadable",
     [](Evidence& e) {
       e.adaptersRead = false;
       e.adapters.clear();
       StopAt(e, 1);
     },
     FindingCode::AdaptersUnreadable, ""},
    {"cable out: the only adapter is down",
     [](Evidence& e) {
       e.adapters[1].connected = false;
       StopAt(e, 2);
     },
     FindingCode::NoAdapter, "router"},
    {"no adapter at all but the loopback",
     [](Evidence& e) {
       e.adapters.resize(1);
       StopAt(e, 2);
     },
     FindingCode::NoAdapter, "router"},
    {"automatic 169.254 address and no gateway",
     [](Evidence& e) {
       e.adapters[1].address = "169.254.12.7";
       e.adapters[1].gateway = "";
       StopAt(e, 2);
     },
     FindingCode::AutomaticAddress, "router"},
    {"an address but no default gateway",
     [](Evidence& e) {
       e.adapters[1].gateway = "0.0.0.0";
       StopAt(e, 2);
       e.stages[2].targets.clear();
     },
     FindingCode::NoGateway, "router"},
    {"no default route: the router answers on its own network, the provider cannot be reached",
     [](Evidence& e) {
       e.adapters[1].gateway = "";
       StopAt(e, 3);
       e.stages[3].targets = {Target("10.77.1.1", 0)};
     },
     FindingCode::NoGateway, "provider"},
    {"the router silent",
     [](Evidence& e) {
       StopAt(e, 2);
       e.stages[2].targets = {Target("10.77.0.1", 0)};
     },
     FindingCode::RouterSilent, "router"},
    {"the provider silent behind a working router",
     [](Evidence& e) {
       StopAt(e, 3);
       e.stages[3].targets = {Target("10.77.1.1", 0)};
     },
     FindingCode::ProviderSilent, "provider"},
    {"both backbones silent",
     [](Evidence& e) {
       StopAt(e, 4);
       e.stages[4].targets = {Target("10.77.1.2", 0), Target("10.77.1.3", 0)};
     },
     FindingCode::InternetSilent, "internet"},
    {"one backbone silent, the rest works",
     [](Evidence& e) {
       e.stages[4].verdict = StageVerdict::Warning;
       e.stages[4].targets[1] = Target("10.77.1.3", 0);
     },
     FindingCode::InternetPartial, "internet"},
    {"a backbone dropping every other echo",
     [](Evidence& e) {
       e.stages[4].verdict = StageVerdict::Warning;
       e.stages[4].targets[0] = Target("10.77.1.2", 2);
     },
     FindingCode::UnstableLine, "internet"},
    {"slow answers from the provider, every stage passed",
     [](Evidence& e) { e.stages[3].targets[0] = Target("10.77.1.1", 4, 900); }, FindingCode::UnstableLine, "provider"},
    {"names not found while every address answers",
     [](Evidence& e) {
       StopAt(e, 5);
       e.stages[5].targets = {Unresolved("web1.velnor.test"), Unresolved("web2.velnor.test")};
       e.nameServers[0].answers = Answered::No;
       e.nameServers[0].timeMs = -1;
     },
     FindingCode::NamesFail, "names"},
    {"one name of two not found",
     [](Evidence& e) {
       e.stages[5].verdict = StageVerdict::Warning;
       e.stages[5].targets[1] = Unresolved("web2.velnor.test");
     },
     FindingCode::NamesFail, "names"},
    {"names failing with a backbone silent: cannot tell which",
     [](Evidence& e) {
       e.stages[4].verdict = StageVerdict::Warning;
       e.stages[4].targets[1] = Target("10.77.1.3", 0);
       StopAt(e, 5);
       e.stages[5].targets = {Unresolved("web1.velnor.test"), Unresolved("web2.velnor.test")};
     },
     FindingCode::NamesOrInternet, "names"},
    {"names found, their hosts silent, backbone fine",
     [](Evidence& e) {
       StopAt(e, 5);
       e.stages[5].targets = {Target("web1.velnor.test", 0), Target("web2.velnor.test", 0)};
     },
     FindingCode::InternetPartial, "internet"},
    {"the web server's port closed while pings pass",
     [](Evidence& e) {
       e.web.status = 0;
       e.web.finalUrl = e.web.finalHost = "";
       e.web.connectFailed = true;
       e.web.error = "the connection was refused";
     },
     FindingCode::WebFails, "web"},
    {"the web server answers with an error", [](Evidence& e) { e.web.status = 503; }, FindingCode::WebFails, "web"},
    {"the web request redirected to another host",
     [](Evidence& e) {
       e.web.finalUrl = "http://portal.velnor.test/login";
       e.web.finalHost = "portal.velnor.test";
     },
     FindingCode::WebRedirected, "web"},
    {"a proxy set to a closed port",
     [](Evidence& e) {
       e.proxy = {true, "10.77.1.1:3128", Answered::No};
       e.web.status = 0;
       e.web.connectFailed = true;
       e.web.error = "no connection to the server";
     },
     FindingCode::ProxySilent, "web"},
    {"a proxy set, not checked, the web request cannot connect",
     [](Evidence& e) {
       e.proxy = {true, "10.77.1.1:3128", Answered::Unknown};
       e.web.status = 0;
       e.web.connectFailed = true;
     },
     FindingCode::ProxySilent, "web"},
    {"a proxy set that works, the site behind it errs",
     [](Evidence& e) {
       e.proxy = {true, "10.77.1.1:3128", Answered::Yes};
       e.web.status = 502;
     },
     FindingCode::WebFails, "web"},
    {"the browser could not open the page", [](Evidence& e) { e.stages[6].verdict = StageVerdict::Failed; },
     FindingCode::BrowserFails, ""},
    {"Windows says offline after every check passed", [](Evidence& e) { e.stages[7].verdict = StageVerdict::Failed; },
     FindingCode::SystemOffline, ""},
    // Contradictory evidence: the first broken point along the path decides.
    {"a router warning, every later stage passed",
     [](Evidence& e) {
       e.stages[2].verdict = StageVerdict::Warning;
       e.stages[2].targets[0] = Target("10.77.0.1", 3);
     },
     FindingCode::UnstableLine, "router"},
    {"a lossy router before a silent provider: the silent provider decides",
     [](Evidence& e) {
       e.stages[2].verdict = StageVerdict::Warning;
       e.stages[2].targets[0] = Target("10.77.0.1", 3);
       StopAt(e, 3);
       e.stages[3].targets = {Target("10.77.1.1", 0)};
     },
     FindingCode::ProviderSilent, "provider"},
    {"a second adapter unplugged does not matter when the first works",
     [](Evidence& e) {
       e.adapters.push_back({"Wi-Fi", "Wireless", false, "", ""});
     },
     FindingCode::AllWorking, ""},
    {"an automatic address beside a working adapter, the router silent",
     [](Evidence& e) {
       e.adapters.push_back({"Wi-Fi", "Wireless", true, "169.254.3.3", ""});
       StopAt(e, 2);
       e.stages[2].targets = {Target("10.77.0.1", 0)};
     },
     FindingCode::RouterSilent, "router"},
    {"name servers silent but the names were found (a cache)",
     [](Evidence& e) { e.nameServers[0].answers = Answered::No; }, FindingCode::AllWorking, ""},
    {"a lossy backbone and a failing web request: the break decides",
     [](Evidence& e) {
       e.stages[4].verdict = StageVerdict::Warning;
       e.stages[4].targets[0] = Target("10.77.1.2", 2);
       e.web.status = 0;
       e.web.error = "timed out";
       e.web.timedOut = true;
     },
     FindingCode::WebFails, "web"},
};

std::string PlaceOf(const Finding& f) { return f.place.found ? LinkKey(f.place.link) : ""; }

}  // namespace

TEST(Diagnosis, EachFaultGivesItsFinding) {
  for (const Case& c : kCases) {
    Evidence e = GoodPath();
    c.fault(e);
    const Finding f = Diagnose(e);
    EXPECT_EQ(f.code, c.expected) << c.what << ": got " << InfoOf(f.code).key;
    ASSERT_NE(f.info, nullptr) << c.what;
    EXPECT_EQ(f.info->code, f.code) << c.what;
    if (f.code != FindingCode::NotTested) {
      EXPECT_EQ(PlaceOf(f), c.place) << c.what;
    }
  }
}

TEST(Diagnosis, EveryFindingOfTheTableIsReachedAndComplete) {
  std::set<FindingCode> reached;
  for (const Case& c : kCases) {
    Evidence e = GoodPath();
    c.fault(e);
    reached.insert(Diagnose(e).code);
  }
  std::set<std::string> keys;
  for (const FindingInfo& row : FindingTable()) {
    EXPECT_TRUE(reached.count(row.code)) << row.key << " is never reached";
    EXPECT_TRUE(keys.insert(row.key).second) << row.key << " twice";
    EXPECT_STRNE(row.title, "");
    EXPECT_STRNE(row.cause, "");
    EXPECT_STRNE(row.next, "");
    // A customer's words: a technical term never stands alone.
    for (const char* text : {row.title, row.cause, row.next}) {
      const std::string s = text;
      for (const char* term : {"ICMP", "TTL"}) EXPECT_EQ(s.find(term), std::string::npos) << row.key;
      for (const char* term : {"DNS", "DHCP"}) {
        const size_t at = s.find(term);
        if (at == std::string::npos) continue;
        const size_t open = s.rfind('(', at), close = s.rfind(')', at);
        EXPECT_TRUE(open != std::string::npos && (close == std::string::npos || close < open))
            << row.key << ": " << term << " outside a plain phrase's brackets";
      }
    }
  }
}

TEST(Diagnosis, FindingsNameWhatTheyFound) {
  Evidence names = GoodPath();
  StopAt(names, 5);
  names.stages[5].targets = {Unresolved("web1.velnor.test"), Unresolved("web2.velnor.test")};
  names.nameServers = {{"10.77.0.1", Answered::No, -1}, {"10.77.0.9", Answered::Yes, 4}};
  std::string all;
  for (const std::string& d : Diagnose(names).details) all += d + "\n";
  EXPECT_NE(all.find("10.77.0.1 does not answer"), std::string::npos) << all;
  EXPECT_NE(all.find("10.77.0.9 answers"), std::string::npos) << all;

  Evidence shaky = GoodPath();
  shaky.stages[3].verdict = StageVerdict::Warning;
  shaky.stages[3].targets[0] = Target("10.77.1.1", 2);
  all.clear();
  for (const std::string& d : Diagnose(shaky).details) all += d + "\n";
  EXPECT_NE(all.find("between the router and the provider"), std::string::npos) << all;
  EXPECT_NE(all.find("10.77.1.1 answered 2 of 4"), std::string::npos) << all;

  Evidence redirected = GoodPath();
  redirected.web.finalUrl = "http://portal.velnor.test/login";
  redirected.web.finalHost = "portal.velnor.test";
  EXPECT_NE(Diagnose(redirected).details.at(0).find("http://portal.velnor.test/login"), std::string::npos);
}

TEST(PlaceFault, FirstBrokenLinkThenFirstUnstable) {
  using S = LinkState;
  struct Row {
    PathStates states;
    bool found;
    PathLink link;
    LinkState state;
  } rows[] = {
      {{S::Working, S::Working, S::Working, S::Working, S::Working}, false, PathLink::Router, S::Working},
      {{S::Unknown, S::Unknown, S::Unknown, S::Unknown, S::Unknown}, false, PathLink::Router, S::Working},
      // A break near the computer shows at every later link: it is placed there.
      {{S::Broken, S::Broken, S::Broken, S::Broken, S::Broken}, true, PathLink::Router, S::Broken},
      {{S::Working, S::Broken, S::Unknown, S::Unknown, S::Unknown}, true, PathLink::Provider, S::Broken},
      // Loss at the router, a break further out: the break decides.
      {{S::Unstable, S::Working, S::Broken, S::Unknown, S::Unknown}, true, PathLink::Internet, S::Broken},
      {{S::Working, S::Unstable, S::Unstable, S::Working, S::Working}, true, PathLink::Provider, S::Unstable},
      {{S::Working, S::Working, S::Working, S::Working, S::Broken}, true, PathLink::Web, S::Broken},
  };
  for (const Row& r : rows) {
    const FaultPlace p = PlaceFault(r.states);
    EXPECT_EQ(p.found, r.found);
    if (!r.found) continue;
    EXPECT_EQ(p.link, r.link);
    EXPECT_EQ(p.state, r.state);
  }
}

TEST(IsAutomaticAddress, OnlyTheLinkLocalRange) {
  EXPECT_TRUE(IsAutomaticAddress("169.254.0.1"));
  EXPECT_FALSE(IsAutomaticAddress("169.25.4.1"));
  EXPECT_FALSE(IsAutomaticAddress("10.169.254.1"));
  EXPECT_FALSE(IsAutomaticAddress(""));
}

TEST(JsonString, EscapesEveryCharacterThatNeedsIt) {
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("a\"b\\c/d"), "\"a\\\"b\\\\c/d\"");
  EXPECT_EQ(JsonString("1\r\n2\t3\b\f"), "\"1\\r\\n2\\t3\\b\\f\"");
  EXPECT_EQ(JsonString(std::string("x\x01y\x1f", 4)), "\"x\\u0001y\\u001F\"");
  EXPECT_EQ(JsonString("\x7f"), "\"\\u007F\"");
  // Code page 1252: the euro sign, "e" acute, a byte with no character.
  EXPECT_EQ(JsonString("\x80 caf\xe9 \x81"), "\"\\u20AC caf\\u00E9 \\u0081\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
}

TEST(DiagnosisText, ReportSectionAndJsonCarryTheSameFacts) {
  Evidence e = GoodPath();
  e.adapters[1].description = "Intel \"Pro\" caf\xe9\\1";
  e.stages[4].verdict = StageVerdict::Warning;
  e.stages[4].targets[0] = Target("10.77.1.2", 2, 40);
  const Finding f = Diagnose(e);

  const std::vector<std::string> lines = DiagnosisLines(e, f);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "DIAGNOSIS");
  std::string report;
  for (const std::string& l : lines) report += l + "\n";
  EXPECT_NE(report.find(InfoOf(FindingCode::UnstableLine).title), std::string::npos);
  EXPECT_NE(report.find(InfoOf(FindingCode::UnstableLine).next), std::string::npos);
  EXPECT_NE(report.find("internet warning"), std::string::npos) << report;
  EXPECT_NE(report.find("10.77.1.2 2/4 answers, loss 50%, average 40 ms"), std::string::npos) << report;
  EXPECT_NE(report.find("status 200 from 10.77.1.1, 20 ms"), std::string::npos) << report;

  const std::string json = DiagnosisJson(e, f);
  EXPECT_EQ(json.front(), '{');
  EXPECT_EQ(json.back(), '}');
  for (char c : json) EXPECT_TRUE(c >= 0x20 && c < 0x7f) << "not plain ASCII";
  for (const char* part :
       {"\"code\":\"unstable_line\"", "\"internet\":\"warning\"", "\"place\":\"internet\"",
        "{\"target\":\"10.77.1.2\",\"sent\":4,\"received\":2,\"loss_percent\":50,\"average_ms\":40",
        "\"status\":200,\"final_url\":\"http://10.77.1.1/\",\"final_host\":\"10.77.1.1\",\"time_ms\":20",
        "\"description\":\"Intel \\\"Pro\\\" caf\\u00E9\\\\1\"", "{\"address\":\"10.77.0.1\",\"answers\":true",
        "\"proxy\":{\"enabled\":false"}) {
    EXPECT_NE(json.find(part), std::string::npos) << part << "\n" << json;
  }
  // Nothing unknown is written as a fact.
  Evidence untested;
  const std::string empty = DiagnosisJson(untested, Diagnose(untested));
  EXPECT_NE(empty.find("\"code\":\"not_tested\""), std::string::npos);
  EXPECT_NE(empty.find("\"status\":null"), std::string::npos) << empty;
  EXPECT_NE(empty.find("\"verdict\":\"not run\""), std::string::npos);
}

// Every case's JSON object, one a line, for a real parser to read back
// (tests/host_unit.sh names the file and reads it with Python's json). The
// parser is the host's, so only the host's build of these tests has it.
#ifndef _WIN32
TEST(DiagnosisText, JsonOfEveryCaseForAParser) {
  const char* path = std::getenv("VELNOR_JSON_OUT");
  ASSERT_NE(path, nullptr) << "VELNOR_JSON_OUT names the file the parser reads (tests/host_unit.sh)";
  std::ofstream out(path, std::ios::binary);
  for (const Case& c : kCases) {
    Evidence e = GoodPath();
    c.fault(e);
    if (e.adapters.empty()) e.adapters.resize(1);
    e.adapters[0].description = std::string("odd \"name\"\\ \x01\t caf\xe9 \x80");
    out << DiagnosisJson(e, Diagnose(e)) << "\n";
  }
  EXPECT_TRUE(out.good());
}
#endif
