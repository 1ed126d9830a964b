// The watch: spells found in rounds and placed along the path, sleep gaps,
// the bounded memory, the timeline's cells and the files' texts. Built by
// the cross compiler and by the host's compiler alike.
#include <gtest/gtest.h>

#include "findings/Watch.h"

namespace {

const int64_t kStart = 1765461600000LL;  // 2025-12-11 14:00:00 UTC

// One link's result in a round: 'o' answered fast, 's' answered slowly,
// 'x' lost, '.' not asked.
struct Script {
  const char* router;
  const char* provider;
  const char* internet;
  const char* names;
};

// Feeds a watch one round per character; slowMs is a slow answer's time.
Watch Feed(const Script& s, int slowMs = 400, int64_t sleepAtRound = -1) {
  Watch w(1, kStart, 0, 60);
  const size_t rounds = std::string(s.router).size();
  const char* lines[] = {s.router, s.provider, s.internet, s.names};
  const PathLink links[] = {PathLink::Router, PathLink::Provider, PathLink::Internet, PathLink::Names};
  const char* targets[] = {"10.0.0.1", "10.0.1.1", "10.0.2.1", "web-one.example"};
  int64_t mono = 0, wall = kStart;
  for (size_t r = 0; r < rounds; ++r) {
    WatchRound round;
    round.wallMs = wall;
    round.monoMs = mono;
    if (static_cast<int64_t>(r) == sleepAtRound) round.sleptMs = 600000;
    for (int l = 0; l < 4; ++l) {
      const char c = std::string(lines[l]).size() > r ? lines[l][r] : '.';
      if (c == '.') continue;
      ProbeResult p;
      p.link = links[l];
      p.target = targets[l];
      p.status = c == 'x' ? (l == 3 ? SampleStatus::LookupFailed : SampleStatus::TimedOut) : SampleStatus::Ok;
      p.ms = c == 'o' ? 5 + l : c == 's' ? slowMs : -1;
      round.results.push_back(p);
    }
    w.AddRound(round);
    mono += 1000;
    wall += 1000;
  }
  w.Finish(wall, mono, true);
  return w;
}

std::string SpellList(const Watch& w) {
  std::string out;
  for (const WatchSpell& s : w.Spells()) {
    if (!out.empty()) out += ' ';
    out += std::string(SpellKindKey(s.kind)) + "@" + LinkKey(s.link) + "#" + std::to_string((s.startWallMs - kStart) / 1000) +
           "-" + std::to_string((s.endWallMs - kStart) / 1000);
  }
  return out;
}

// The spell and placement rule, one row a case.
TEST(WatchRule, SpellsArePlacedAtTheFirstLinkThatShowsThem) {
  struct Case {
    const char* what;
    Script script;
    int slowMs;
    std::string spells;
  } cases[] = {
      {"a clean line", {"oooooooooo", "oooooooooo", "oooooooooo", "o....o...."}, 400, ""},
      {"a drop at the router shows at every later link: the router's",
       {"oooxxxxooo", "oooxxxxooo", "oooxxxxooo", "o....x...."}, 400, "drop@router#3-6"},
      {"a lone lost echo is no spell", {"oooooxoooo", "oooooxoooo", "oooooxoooo", ".........."}, 400, ""},
      {"loss only beyond the provider is the internet's",
       {"oooooooooo", "oooooooooo", "ooxxxooooo", ".........."}, 400, "drop@internet#2-4"},
      {"loss from the provider on is the provider's, not the router's",
       {"oooooooooo", "ooxxxxoooo", "ooxxxxoooo", "o....x...."}, 400, "drop@provider#2-5"},
      {"names failing while addresses answer: the names'",
       {"oooooooooooo", "oooooooooooo", "oooooooooooo", "o....x....x."}, 400, "drop@names#5-10"},
      {"slow from the provider on: a slow spell at the provider",
       {"oooooooooo", "oooossssoo", "oooossssoo", ".........."}, 400, "slow@provider#4-7"},
      {"two slow rounds are no spell", {"oooooooooo", "oooossoooo", "oooossoooo", ".........."}, 400, ""},
      {"slow below 100 ms is none", {"oooooooooo", "oooossssoo", "oooossssoo", ".........."}, 90, ""},
      {"a drop at the router and later slow answers beyond: each where it shows",
       {"ooxxoooooooo", "ooxxoooooooo", "ooxxoossssoo", ".........."}, 400, "drop@router#2-3 slow@internet#6-9"},
  };
  for (const Case& c : cases) {
    const Watch w = Feed(c.script, c.slowMs);
    EXPECT_EQ(SpellList(w), c.spells) << c.what;
  }
}

TEST(WatchRule, ASleepIsAGapNeverADrop) {
  // The rounds around a sleep lose their echoes: the computer was asleep.
  const Watch w = Feed({"oooooxxooo", "oooooxxooo", "oooooxxooo", ".........."}, 400, 5);
  EXPECT_EQ(SpellList(w), "");
  ASSERT_EQ(w.Gaps().size(), 1u);
  EXPECT_EQ(w.Totals(PathLink::Router).lost, 1);  // the round after the sleep's end is a real loss
  EXPECT_EQ(WatchExitCode(w), 0);
}

TEST(WatchRule, ARoundFarBehindItsPaceIsAGapToo) {
  Watch w(1, kStart, 0, 0);
  for (int r = 0; r < 6; ++r) {
    WatchRound round;
    // Rounds 0-2 on time, then 10 minutes without a round (a clock that
    // does not report sleep).
    const int64_t at = r < 3 ? r * 1000 : 600000 + r * 1000;
    round.wallMs = kStart + at;
    round.monoMs = at;
    round.results.push_back({PathLink::Router, "10.0.0.1", r == 3 ? -1 : 3,
                             r == 3 ? SampleStatus::TimedOut : SampleStatus::Ok});
    w.AddRound(round);
  }
  w.Finish(kStart + 606000, 606000, true);
  EXPECT_EQ(w.Gaps().size(), 1u);
  EXPECT_EQ(w.Totals(PathLink::Router).lost, 0);
  EXPECT_EQ(w.DropCount(), 0);
}

TEST(WatchRule, EveryOtherEchoLostMakesADropByTheMinute) {
  // One backbone of two drops everything: every other round's internet echo.
  std::string internet;
  for (int i = 0; i < 130; ++i) internet += i % 2 ? 'x' : 'o';
  const std::string clean(130, 'o');
  const Watch w = Feed({clean.c_str(), clean.c_str(), internet.c_str(), ""});
  ASSERT_EQ(w.DropCount(), 1) << SpellList(w);
  EXPECT_EQ(w.Spells()[0].link, PathLink::Internet);
  EXPECT_GE(w.Spells()[0].lost, 60);
  // And a tenth lost is not.
  std::string few;
  for (int i = 0; i < 130; ++i) few += i % 10 == 3 ? 'x' : 'o';
  EXPECT_EQ(Feed({clean.c_str(), clean.c_str(), few.c_str(), ""}).DropCount(), 0);
}

TEST(WatchFindingText, SaysHowManyHowLongWhereAndWhatToDo) {
  const Watch clean = Feed({"oooooooooo", "oooooooooo", "oooooooooo", ""});
  EXPECT_EQ(WatchSummary(clean), "No drop or slow spell in 10 s: the line held.");
  EXPECT_EQ(WatchFinding(clean).code, FindingCode::AllWorking);

  const Watch router = Feed({"ooxxooxxxoo", "ooxxooxxxoo", "ooxxooxxxoo", ""});
  const std::string text = WatchSummary(router);
  EXPECT_EQ(text.find("2 drops, 5 s in all, each between this computer and the router: the local network"), 0u) << text;
  EXPECT_NE(text.find("use a cable"), std::string::npos);
  EXPECT_EQ(WatchExitCode(router), 2);
  const Finding f = WatchFinding(router);
  EXPECT_EQ(f.code, FindingCode::UnstableLine);
  EXPECT_EQ(f.place.link, PathLink::Router);

  const Watch provider = Feed({"oooooooooo", "oooossssoo", "oooossssoo", ""});
  EXPECT_NE(WatchSummary(provider).find("1 slow spell, 4 s in all, between the router and the provider"), std::string::npos)
      << WatchSummary(provider);
  EXPECT_EQ(WatchExitCode(provider), 1);
}

TEST(WatchFiles, ReportJsonAndCsvComeFromTheSameRecords) {
  Watch w(1, kStart, 0, 60);
  const char* odd = "caf\xE9 \"quoted\", comma";
  for (int r = 0; r < 5; ++r) {
    WatchRound round;
    round.wallMs = kStart + r * 1000;
    round.monoMs = r * 1000;
    round.results.push_back({PathLink::Router, odd, r < 3 ? -1 : 4, r < 3 ? SampleStatus::HostUnreachable : SampleStatus::Ok});
    w.AddRound(round);
  }
  w.Finish(kStart + 5000, 5000, false);
  const std::string csv = WatchCsv(w);
  EXPECT_EQ(csv.substr(0, csv.find('\n')), "time,link,target,ms,status\r");
  EXPECT_NE(csv.find("\"2025-12-11T15:00:00+01:00\",\"router\",\"caf\xC3\xA9 \"\"quoted\"\", comma\",\"\",\"host_unreachable\""),
            std::string::npos)
      << csv;
  EXPECT_NE(csv.find(",\"4\",\"ok\""), std::string::npos);

  const std::string json = WatchJson(w);
  EXPECT_EQ(json.find("\"watch\":{\"start\":\"2025-12-11T15:00:00+01:00\""), 0u) << json;
  EXPECT_NE(json.find("{\"kind\":\"drop\",\"link\":\"router\",\"start\":\"2025-12-11T15:00:00+01:00\",\"end\":"
                      "\"2025-12-11T15:00:02+01:00\",\"rounds\":3,\"lost\":3,\"worst_ms\":null}"),
            std::string::npos)
      << json;
  EXPECT_NE(json.find("\"finished\":false"), std::string::npos);
  EXPECT_EQ(WatchExitCode(w), 3);

  const std::vector<std::string> lines = WatchLines(w);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "WATCH");
  bool spellLine = false;
  for (const std::string& l : lines) spellLine = spellLine || l.find("drop at router") != std::string::npos;
  EXPECT_TRUE(spellLine);
}

TEST(WatchMemory, ADayAtOneSecondStaysBounded) {
  Watch w(1, kStart, 0, 0);
  size_t atHour = 0;
  for (int r = 0; r < 24 * 3600; ++r) {
    WatchRound round;
    round.wallMs = kStart + r * 1000LL;
    round.monoMs = r * 1000LL;
    const bool lost = r % 997 == 0;
    round.results.push_back({PathLink::Router, "10.0.0.1", lost ? -1 : 2, lost ? SampleStatus::TimedOut : SampleStatus::Ok});
    round.results.push_back({PathLink::Provider, "10.0.1.1", 5, SampleStatus::Ok});
    round.results.push_back({PathLink::Internet, r % 2 ? "10.0.2.1" : "10.0.2.2", 9, SampleStatus::Ok});
    if (r % 5 == 0) round.results.push_back({PathLink::Names, "web-one.example", 12, SampleStatus::Ok});
    w.AddRound(round);
    if (r == 3600) atHour = w.BytesHeld();
  }
  // Only the latest hour whole; a minute for each of the day's minutes.
  EXPECT_LE(w.Samples().size(), 3601u * 4);
  EXPECT_GE(w.Minutes().size(), 1439u);
  EXPECT_LT(w.BytesHeld(), 2u * 1024 * 1024);
  EXPECT_LT(w.BytesHeld() - atHour, 512u * 1024);
  // A lost echo long summed up still shows on the strip.
  const std::vector<CellState> cells = w.Cells(PathLink::Router, kStart, kStart + 24 * 3600000LL, 300);
  EXPECT_EQ(cells[0], CellState::Lost);  // round 0 was lost, 23 hours ago
  int lostCells = 0;
  for (CellState c : cells) lostCells += c == CellState::Lost;
  EXPECT_GT(lostCells, 50);
  EXPECT_EQ(w.Cells(PathLink::Web, kStart, kStart + 24 * 3600000LL, 300)[10], CellState::Empty);
}

TEST(WatchCells, EachSampleStandsForItsRound) {
  const Watch w = Feed({"ooooxooooo", "", "", ""});
  const std::vector<CellState> cells = w.Cells(PathLink::Router, kStart, kStart + 10000, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(cells[i], i == 4 ? CellState::Lost : CellState::Working) << i;
  // Fewer cells than rounds: the lost one still shows.
  const std::vector<CellState> few = w.Cells(PathLink::Router, kStart, kStart + 10000, 3);
  EXPECT_EQ(few[1], CellState::Lost);
  EXPECT_NE(w.MomentText(kStart + 4500).find("router 10.0.0.1 timeout"), std::string::npos) << w.MomentText(kStart + 4500);
  // A lookup every fifth round stands for the rounds until the next one.
  const Watch names = Feed({"oooooooooo", "", "", "o....x...."});
  const std::vector<CellState> strip = names.Cells(PathLink::Names, kStart, kStart + 10000, 10);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(strip[i], i < 5 ? CellState::Working : CellState::Lost) << i;
}

TEST(WatchWords, DurationsAndTimes) {
  struct {
    const char* text;
    int64_t ms;
  } durations[] = {{"30s", 30000}, {"29s", -1}, {"5m", 300000}, {"10", 600000}, {"2H", 7200000},
                   {"24h", 86400000}, {"25h", -1}, {"1441", -1}, {"", -1}, {"5x", -1}, {"-5m", -1}, {"1.5h", -1}};
  for (const auto& d : durations) EXPECT_EQ(ParseWatchDuration(d.text), d.ms) << d.text;
  EXPECT_EQ(IsoTime(kStart, 0), "2025-12-11T14:00:00+00:00");
  EXPECT_EQ(IsoTime(kStart, -330), "2025-12-11T08:30:00-05:30");
  EXPECT_EQ(IsoTime(951782400000LL, 0), "2000-02-29T00:00:00+00:00");
  EXPECT_EQ(DurationText(3600000), "1 h 0 min");
  EXPECT_EQ(DurationText(130000), "2 min 10 s");
}

}  // namespace
