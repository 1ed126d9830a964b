// The watch as words and files: its finding, the report's WATCH section,
// the JSON object and the CSV of every kept sample, all from the same
// records.
#include <algorithm>
#include <cctype>

#include "findings/Watch.h"
#include "text/Format.h"
#include "text/TextForms.h"

namespace {

int Index(PathLink link) { return static_cast<int>(link); }
PathLink LinkAt(int i) { return static_cast<PathLink>(i); }

// What to do when spells keep coming at the link.
const char* WatchNextStep(PathLink link) {
  switch (link) {
    case PathLink::Router: return "move closer to the Wi-Fi or use a cable, restart the router";
    case PathLink::Provider: return "call support and hand them this report";
    case PathLink::Internet: return "not on your side: call support and hand them this report";
    case PathLink::Names: return "restart the router; if it goes on, call support and hand them this report";
    case PathLink::Web: return "try another web site; if it goes on, call support and hand them this report";
  }
  return "call support and hand them this report";
}

std::string Plural(int n, const char* one, const char* many) { return FormatLine("%d %s", n, n == 1 ? one : many); }

// The links as the spells show them: a drop breaks its link, a slow spell
// makes it unstable.
PathStates SpellStates(const Watch& w) {
  PathStates states{};
  for (int i = 0; i < kPathLinkCount; ++i)
    states[i] = w.Totals(LinkAt(i)).sent > 0 ? LinkState::Working : LinkState::Unknown;
  for (const WatchSpell& s : w.Spells()) {
    LinkState& st = states[Index(s.link)];
    const LinkState bad = s.kind == SpellKind::Drop ? LinkState::Broken : LinkState::Unstable;
    if (static_cast<int>(bad) > static_cast<int>(st)) st = bad;
  }
  return states;
}

std::string Field(const std::string& label, const std::string& value) {
  std::string line = label;
  if (line.size() < 24) line.resize(24, ' ');
  return line + ": " + value;
}

std::string MsText(int ms) { return ms < 0 ? std::string("-") : FormatLine("%d ms", ms); }
std::string JsonMs(int ms) { return ms < 0 ? std::string("null") : std::to_string(ms); }

// One byte of code page 1252 as UTF-8.
void AppendUtf8(std::string& out, unsigned char c) {
  static const uint16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  const uint32_t cp = c >= 0x80 && c < 0xA0 ? high[c - 0x80] : c;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// A CSV field: always quoted, quotes doubled, in UTF-8.
std::string CsvField(const std::string& text) {
  std::string out = "\"";
  for (char ch : text) {
    if (ch == '"') out += '"';
    AppendUtf8(out, static_cast<unsigned char>(ch));
  }
  return out + "\"";
}

// The local clock's hours, minutes and seconds of a time.
std::string ClockText(int64_t wallMs, int utcOffsetMin) {
  const std::string iso = IsoTime(wallMs, utcOffsetMin);
  return iso.substr(11, 8);
}

std::vector<const WatchSpell*> SpellsByStart(const Watch& w) {
  std::vector<const WatchSpell*> out;
  for (const WatchSpell& s : w.Spells()) out.push_back(&s);
  std::stable_sort(out.begin(), out.end(),
                   [](const WatchSpell* a, const WatchSpell* b) { return a->startWallMs < b->startWallMs; });
  return out;
}

}  // namespace

std::string IsoTime(int64_t wallMs, int utcOffsetMin) {
  int64_t s = wallMs / 1000 + utcOffsetMin * 60LL;
  if (wallMs % 1000 < 0) s -= 1;
  int64_t days = s / 86400, rest = s % 86400;
  if (rest < 0) {
    rest += 86400;
    days -= 1;
  }
  const CivilDate date = CivilDateOfDays(days);
  const int off = utcOffsetMin < 0 ? -utcOffsetMin : utcOffsetMin;
  return FormatLine("%4.4d-%2.2d-%2.2dT%2.2d:%2.2d:%2.2d%s%2.2d:%2.2d", date.year, date.month, date.day,
                    static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
                    static_cast<int>(rest % 60), utcOffsetMin < 0 ? "-" : "+", off / 60, off % 60);
}

std::string DurationText(int64_t ms) {
  const int64_t s = std::max<int64_t>(ms, 0) / 1000;
  if (s >= 3600) return FormatLine("%d h %d min", static_cast<int>(s / 3600), static_cast<int>(s / 60 % 60));
  if (s >= 60) return FormatLine("%d min %d s", static_cast<int>(s / 60), static_cast<int>(s % 60));
  return FormatLine("%d s", static_cast<int>(s));
}

Finding WatchFinding(const Watch& w) {
  Finding f;
  f.path = SpellStates(w);
  f.place = PlaceFault(f.path);
  f.code = f.place.found ? FindingCode::UnstableLine : FindingCode::AllWorking;
  f.info = &InfoOf(f.code);
  f.details.push_back(WatchSummary(w));
  return f;
}

std::string WatchSummary(const Watch& w) {
  const int drops = w.DropCount(), slows = w.SlowCount();
  const std::string early = w.Ended() && !w.Finished() ? " (The watch was stopped early.)" : "";
  if (drops + slows == 0) return "No drop or slow spell in " + DurationText(w.ElapsedMs()) + ": the line held." + early;
  std::string text;
  if (drops > 0) text += Plural(drops, "drop", "drops");
  if (slows > 0) text += (text.empty() ? "" : " and ") + Plural(slows, "slow spell", "slow spells");
  text += ", " + DurationText(w.SpellMs()) + " in all";
  const FaultPlace place = PlaceFault(SpellStates(w));
  bool oneLink = true;
  for (const WatchSpell& s : w.Spells()) oneLink = oneLink && s.link == place.link;
  text += oneLink ? (drops + slows == 1 ? ", " : ", each ") : ", the first along the path ";
  // The dash in the program's code page, 1252.
  text += std::string(LinkWhere(place.link)) + ": " + LinkCulprit(place.link) + " \x97 " + WatchNextStep(place.link) + ".";
  return text + early;
}

std::string Watch::MomentText(int64_t wallMs) const {
  // The round that covers the moment, where samples are kept whole.
  const int64_t roundMs = intervalS_ * 1000LL;
  const WatchSample* round = nullptr;
  for (auto it = samples_.rbegin(); it != samples_.rend(); ++it)
    if (it->wallMs <= wallMs) {
      if (wallMs - it->wallMs < roundMs + 1000) round = &*it;
      break;
    }
  for (const WatchGap& g : gaps_)
    if (wallMs > g.startWallMs && wallMs < g.endWallMs)
      return ClockText(wallMs, utcOffsetMin_) + ": the computer slept (" + ClockText(g.startWallMs, utcOffsetMin_) +
             " to " + ClockText(g.endWallMs, utcOffsetMin_) + ")";
  if (round) {
    std::string text = ClockText(round->wallMs, utcOffsetMin_);
    for (const WatchSample& s : samples_) {
      if (s.round != round->round) continue;
      text += std::string(", ") + LinkKey(s.link) + " " + targets_[s.target] + " ";
      text += s.status == SampleStatus::Ok ? FormatLine("%d ms%s", static_cast<int>(s.ms), s.slow ? " (slow)" : "")
                                           : std::string(SampleStatusKey(s.status));
    }
    return text;
  }
  for (const WatchMinute& m : minutes_) {
    if (wallMs < m.wallMs || wallMs >= m.wallMs + 60000) continue;
    std::string text = "Minute from " + ClockText(m.wallMs, utcOffsetMin_);
    for (int i = 0; i < kPathLinkCount; ++i) {
      const MinuteSummary& s = m.links[i];
      if (s.sent == 0) continue;
      text += FormatLine(", %s %d/%d lost, %s/%s/%s", LinkKey(LinkAt(i)), s.lost, s.sent, MsText(s.minMs),
                         MsText(s.medianMs), MsText(s.maxMs));
    }
    return text;
  }
  return ClockText(wallMs, utcOffsetMin_) + ": nothing measured";
}

std::vector<std::string> WatchLines(const Watch& w) {
  std::vector<std::string> out;
  const int off = w.UtcOffsetMin();
  out.push_back("WATCH");
  out.push_back(Field("Start", IsoTime(w.StartWallMs(), off)));
  out.push_back(Field("End", IsoTime(w.EndWallMs(), off) + (!w.Ended() ? " (still running)" : w.Finished() ? "" : " (stopped early)")));
  out.push_back(Field("Interval", FormatLine("%d s", w.IntervalS())));
  out.push_back(Field("Rounds", FormatLine("%d", static_cast<int>(w.Rounds()))));
  out.push_back(Field("Finding", WatchSummary(w)));
  for (int i = 0; i < kPathLinkCount; ++i) {
    const LinkTotals t = w.Totals(LinkAt(i));
    if (t.sent == 0) continue;
    out.push_back(Field(std::string("  ") + LinkKey(LinkAt(i)),
                        FormatLine("%d sent, %d lost (%d%%), fastest %s, median %s, slowest %s", t.sent, t.lost,
                                   t.lost * 100 / t.sent, MsText(t.minMs), MsText(t.medianMs), MsText(t.maxMs))));
  }
  for (const WatchGap& g : w.Gaps())
    out.push_back(Field("  Asleep", IsoTime(g.startWallMs, off) + " to " + IsoTime(g.endWallMs, off) +
                                        " (not counted as a drop)"));
  out.push_back(Field("Spells", FormatLine("%d drops, %d slow spells", w.DropCount(), w.SlowCount())));
  for (const WatchSpell* s : SpellsByStart(w))
    out.push_back(Field(std::string("  ") + SpellKindKey(s->kind) + " at " + LinkKey(s->link),
                        IsoTime(s->startWallMs, off) + " to " + IsoTime(s->endWallMs, off) +
                            FormatLine(", %d rounds, %d lost, worst %s", s->rounds, s->lost, MsText(s->worstMs))));
  if (static_cast<int>(w.Spells().size()) < w.DropCount() + w.SlowCount())
    out.push_back(Field("", FormatLine("(the first %d spells are listed)", static_cast<int>(w.Spells().size()))));
  return out;
}

std::string WatchJson(const Watch& w) {
  const int off = w.UtcOffsetMin();
  const Finding f = WatchFinding(w);
  std::string j = "\"watch\":{";
  j += "\"start\":" + JsonString(IsoTime(w.StartWallMs(), off));
  j += ",\"end\":" + JsonString(IsoTime(w.EndWallMs(), off));
  j += ",\"interval_s\":" + std::to_string(w.IntervalS());
  j += ",\"rounds\":" + std::to_string(w.Rounds());
  j += std::string(",\"finished\":") + (w.Finished() ? "true" : "false");
  j += ",\"finding\":{\"code\":" + JsonString(f.info->key) + ",\"summary\":" + JsonString(WatchSummary(w)) +
       ",\"place\":" + JsonString(f.place.found ? LinkKey(f.place.link) : "") + "}";
  j += ",\"links\":{";
  bool first = true;
  for (int i = 0; i < kPathLinkCount; ++i) {
    const LinkTotals t = w.Totals(LinkAt(i));
    if (t.sent == 0) continue;
    j += first ? "" : ",";
    first = false;
    j += JsonString(LinkKey(LinkAt(i))) + FormatLine(":{\"sent\":%d,\"lost\":%d,\"min_ms\":%s,\"median_ms\":%s,\"max_ms\":%s}",
                                                     t.sent, t.lost, JsonMs(t.minMs), JsonMs(t.medianMs), JsonMs(t.maxMs));
  }
  j += "},\"spells\":[";
  first = true;
  for (const WatchSpell* s : SpellsByStart(w)) {
    j += first ? "" : ",";
    first = false;
    j += "{\"kind\":" + JsonString(SpellKindKey(s->kind)) + ",\"link\":" + JsonString(LinkKey(s->link)) +
         ",\"start\":" + JsonString(IsoTime(s->startWallMs, off)) + ",\"end\":" + JsonString(IsoTime(s->endWallMs, off)) +
         FormatLine(",\"rounds\":%d,\"lost\":%d,\"worst_ms\":%s}", s->rounds, s->lost, JsonMs(s->worstMs));
  }
  j += FormatLine("],\"drops\":%d,\"slows\":%d,\"spell_s\":%d", w.DropCount(), w.SlowCount(),
                  static_cast<int>(w.SpellMs() / 1000));
  j += ",\"gaps\":[";
  first = true;
  for (const WatchGap& g : w.Gaps()) {
    j += first ? "" : ",";
    first = false;
    j += "{\"start\":" + JsonString(IsoTime(g.startWallMs, off)) + ",\"end\":" + JsonString(IsoTime(g.endWallMs, off)) + "}";
  }
  j += "],\"minutes\":[";
  first = true;
  for (const WatchMinute& m : w.Minutes()) {
    j += first ? "" : ",";
    first = false;
    j += "{\"start\":" + JsonString(IsoTime(m.wallMs, off)) + ",\"asleep\":" + (m.asleep ? "true" : "false");
    for (int i = 0; i < kPathLinkCount; ++i) {
      const MinuteSummary& s = m.links[i];
      if (s.sent == 0) continue;
      j += "," + JsonString(LinkKey(LinkAt(i))) +
           FormatLine(":{\"sent\":%d,\"lost\":%d,\"slow\":%d,\"min_ms\":%s,\"median_ms\":%s,\"max_ms\":%s}", s.sent, s.lost,
                      s.slow, JsonMs(s.minMs), JsonMs(s.medianMs), JsonMs(s.maxMs));
    }
    j += "}";
  }
  return j + "]}";
}

std::string WatchCsv(const Watch& w) {
  std::string out = "time,link,target,ms,status\r\n";
  for (const WatchSample& s : w.Samples()) {
    out += CsvField(IsoTime(s.wallMs, w.UtcOffsetMin())) + ',' + CsvField(LinkKey(s.link)) + ',' +
           CsvField(w.Targets()[s.target]) + ',' + CsvField(s.status == SampleStatus::Ok ? std::to_string(s.ms) : "") +
           ',' + CsvField(s.status == SampleStatus::Ok && s.slow ? "slow" : SampleStatusKey(s.status)) + "\r\n";
  }
  return out;
}

int WatchExitCode(const Watch& w) {
  if (!w.Finished()) return 3;
  if (w.DropCount() > 0) return 2;
  if (w.SlowCount() > 0) return 1;
  return 0;
}

int64_t ParseWatchDuration(const std::string& text) {
  if (text.empty()) return -1;
  size_t digits = 0;
  while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
  if (digits == 0 || digits > 6) return -1;
  const int64_t n = std::stoll(text.substr(0, digits));
  const std::string unit = text.substr(digits);
  int64_t ms;
  if (unit.empty() || unit == "m" || unit == "M")
    ms = n * 60000;
  else if (unit == "s" || unit == "S")
    ms = n * 1000;
  else if (unit == "h" || unit == "H")
    ms = n * 3600000;
  else
    return -1;
  if (ms < 30000 || ms > 24 * 3600000LL) return -1;
  return ms;
}
