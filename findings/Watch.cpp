// The watch's records: samples by round, minute summaries, spells found and
// placed along the path by the diagnosis's rule, gaps where the computer
// slept.
#include "findings/Watch.h"

#include <algorithm>

namespace {

int Index(PathLink link) { return static_cast<int>(link); }
PathLink LinkAt(int i) { return static_cast<PathLink>(i); }

int MedianOfTimes(std::vector<int>& times) {
  if (times.empty()) return -1;
  auto mid = times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2);
  std::nth_element(times.begin(), mid, times.end());
  return *mid;
}

}  // namespace

const char* SampleStatusKey(SampleStatus status) {
  switch (status) {
    case SampleStatus::Ok: return "ok";
    case SampleStatus::TimedOut: return "timeout";
    case SampleStatus::HostUnreachable: return "host_unreachable";
    case SampleStatus::NetUnreachable: return "net_unreachable";
    case SampleStatus::PortUnreachable: return "port_unreachable";
    case SampleStatus::TtlExpired: return "ttl_expired";
    case SampleStatus::OtherError: return "error";
    case SampleStatus::NoRoute: return "no_route";
    case SampleStatus::LookupFailed: return "lookup_failed";
    case SampleStatus::WebFailed: return "web_failed";
    case SampleStatus::Asleep: return "asleep";
  }
  return "error";
}

const char* SpellKindKey(SpellKind kind) { return kind == SpellKind::Drop ? "drop" : "slow"; }

Watch::Watch(int intervalS, int64_t startWallMs, int64_t startMonoMs, int utcOffsetMin)
    : intervalS_(intervalS),
      startWallMs_(startWallMs),
      startMonoMs_(startMonoMs),
      endWallMs_(startWallMs),
      lastMonoMs_(startMonoMs),
      utcOffsetMin_(utcOffsetMin) {
  for (auto& h : histogram_) h.assign(kHistogramMs + 1, 0);
  minuteStart_ = startWallMs;
}

uint16_t Watch::TargetIndex(const std::string& target) {
  for (size_t i = 0; i < targets_.size(); ++i)
    if (targets_[i] == target) return static_cast<uint16_t>(i);
  // A watch asks a handful of targets; past the index's range every further
  // one shares the last.
  if (targets_.size() >= 0xFFFF) return 0xFFFE;
  targets_.push_back(target);
  return static_cast<uint16_t>(targets_.size() - 1);
}

void Watch::AddToHistogram(int link, int ms) {
  histogram_[link][static_cast<size_t>(std::min(std::max(ms, 0), kHistogramMs))] += 1;
  answers_[link] += 1;
}

int Watch::MedianOf(int link) const {
  const std::vector<uint32_t>& h = histogram_[link];
  const uint64_t count = answers_[link];
  if (count == 0) return -1;
  uint64_t seen = 0;
  for (size_t ms = 0; ms < h.size(); ++ms) {
    seen += h[ms];
    if (seen * 2 > count) return static_cast<int>(ms);
  }
  return kHistogramMs;
}

void Watch::AddSpell(const WatchSpell& spell) {
  if (spell.kind == SpellKind::Drop)
    ++dropCount_;
  else
    ++slowCount_;
  minuteHadSpell_[Index(spell.link)] = minuteHadSpell_[Index(spell.link)] || spell.kind == SpellKind::Drop;
  if (spells_.size() < kMaxSpells) spells_.push_back(spell);
}

void Watch::ExtendRun(Run& run, SpellKind kind, PathLink link, const WatchSample& s, int threshold) {
  if (run.count == 0) {
    run.startWall = s.wallMs;
    run.lost = 0;
    run.worst = -1;
  }
  run.count += 1;
  run.lost += IsLost(s.status) ? 1 : 0;
  run.worst = std::max(run.worst, static_cast<int>(s.ms));
  run.lastWall = s.wallMs;
  if (!run.counted && run.count >= threshold) {
    WatchSpell spell;
    spell.kind = kind;
    spell.link = link;
    spell.open = true;
    run.counted = true;
    run.spell = spells_.size() < kMaxSpells ? static_cast<int>(spells_.size()) : -1;
    AddSpell(spell);
  }
  if (kind == SpellKind::Drop && run.counted) minuteHadSpell_[Index(link)] = true;
  if (run.spell >= 0) {
    WatchSpell& spell = spells_[static_cast<size_t>(run.spell)];
    spell.startWallMs = run.startWall;
    spell.endWallMs = run.lastWall;
    spell.rounds = run.count;
    spell.lost = run.lost;
    spell.worstMs = run.worst;
  }
}

void Watch::EndRun(Run& run) {
  if (run.spell >= 0) spells_[static_cast<size_t>(run.spell)].open = false;
  if (run.counted && run.spell < 0) uncountedSpellMs_ += run.lastWall - run.startWall + intervalS_ * 1000LL;
  run = Run{};
}

void Watch::AddRound(const WatchRound& round) {
  if (ended_) return;
  const int64_t intervalMs = intervalS_ * 1000LL;
  const bool late = lastRoundMono_ >= 0 && round.monoMs - lastRoundMono_ > intervalMs + kLateGapMs;
  const bool asleep = round.sleptMs >= 1000 || late;
  CloseMinutes(round.wallMs);
  if (asleep) {
    // Whatever was going on before the sleep ends with it: a sleep is
    // never a drop, and no run goes on across it.
    WatchGap gap;
    gap.startWallMs = lastRoundWall_ >= 0 ? lastRoundWall_ : round.wallMs;
    gap.endWallMs = round.wallMs;
    gaps_.push_back(gap);
    for (Run& run : drops_) EndRun(run);
    for (Run& run : slows_) EndRun(run);
    minuteAsleep_ = true;
  }
  rounds_ += 1;
  lastRoundMono_ = round.monoMs;
  lastRoundWall_ = round.wallMs;
  lastMonoMs_ = std::max(lastMonoMs_, round.monoMs);
  endWallMs_ = std::max(endWallMs_, round.wallMs);

  // The round's samples, and the links as they showed in it: for drops,
  // lost or answered; for slow spells, slow or not among the answers.
  std::vector<WatchSample> samples;
  PathStates dropStates{}, slowStates{};
  for (const ProbeResult& r : round.results) {
    WatchSample s;
    s.wallMs = round.wallMs;
    s.monoMs = round.monoMs;
    s.round = rounds_;
    s.link = r.link;
    s.target = TargetIndex(r.target);
    s.status = asleep && IsLost(r.status) ? SampleStatus::Asleep : r.status;
    s.ms = s.status == SampleStatus::Ok ? std::max(r.ms, 0) : -1;
    const int i = Index(r.link);
    if (s.status == SampleStatus::Ok) {
      const int median = MedianOf(i);
      s.slow = median >= 0 && s.ms > kSlowFloorMs && s.ms > 3 * median;
    }
    LinkState& drop = dropStates[i];
    if (IsLost(s.status))
      drop = LinkState::Broken;
    else if (s.status == SampleStatus::Ok && drop == LinkState::Unknown)
      drop = LinkState::Working;
    LinkState& slow = slowStates[i];
    if (s.status == SampleStatus::Ok) {
      if (s.slow)
        slow = LinkState::Unstable;
      else if (slow == LinkState::Unknown)
        slow = LinkState::Working;
    }
    samples.push_back(s);
  }
  // The one rule: the first link along the path that shows it.
  const FaultPlace dropPlace = PlaceFault(dropStates);
  const FaultPlace slowPlace = PlaceFault(slowStates);

  std::array<bool, kPathLinkCount> dropSeen{}, slowSeen{};
  for (const WatchSample& s : samples) {
    const int i = Index(s.link);
    LinkTotals& t = totals_[i];
    if (s.status != SampleStatus::Asleep) {
      t.sent += 1;
      if (IsLost(s.status)) t.lost += 1;
    }
    if (s.status == SampleStatus::Ok) {
      t.minMs = t.minMs < 0 ? s.ms : std::min(t.minMs, static_cast<int>(s.ms));
      t.maxMs = std::max(t.maxMs, static_cast<int>(s.ms));
    }
    if (s.status == SampleStatus::Asleep) continue;
    // One step of a run per link and round, whatever number of samples.
    if (!dropSeen[i]) {
      dropSeen[i] = true;
      if (dropPlace.found && dropPlace.link == s.link) {
        ExtendRun(drops_[i], SpellKind::Drop, s.link, s, kDropRounds);
        if (minuteLostHere_[i] == 0) minuteFirstLost_[i] = s.wallMs;
        minuteLastLost_[i] = s.wallMs;
        minuteLostHere_[i] += 1;
      } else {
        EndRun(drops_[i]);
      }
    }
    if (!slowSeen[i]) {
      slowSeen[i] = true;
      if (s.status == SampleStatus::Ok && slowPlace.found && slowPlace.link == s.link)
        ExtendRun(slows_[i], SpellKind::Slow, s.link, s, kSlowRounds);
      else
        EndRun(slows_[i]);
    }
  }
  for (const WatchSample& s : samples) {
    if (s.status == SampleStatus::Ok) AddToHistogram(Index(s.link), s.ms);
    samples_.push_back(s);
    minuteSamples_.push_back(s);
  }
  // Whole samples for the latest hour; the minutes keep the rest.
  while (!samples_.empty() && samples_.front().monoMs < round.monoMs - kRawKeptMs) samples_.pop_front();
}

void Watch::CloseMinutes(int64_t beforeWallMs) {
  if (beforeWallMs < minuteStart_ + 60000) return;
  CloseMinute();
  // The minute the time falls in; minutes without a sample (a sleep) are
  // not kept.
  minuteStart_ += (beforeWallMs - minuteStart_) / 60000 * 60000;
}

void Watch::CloseMinute() {
  WatchMinute minute;
  minute.wallMs = minuteStart_;
  minute.asleep = minuteAsleep_;
  std::array<std::vector<int>, kPathLinkCount> times;
  for (const WatchSample& s : minuteSamples_) {
    MinuteSummary& m = minute.links[Index(s.link)];
    if (s.status == SampleStatus::Asleep) continue;
    m.sent += 1;
    if (IsLost(s.status)) m.lost += 1;
    if (s.slow) m.slow += 1;
    if (s.status == SampleStatus::Ok) {
      m.minMs = m.minMs < 0 ? s.ms : std::min(m.minMs, static_cast<int>(s.ms));
      m.maxMs = std::max(m.maxMs, static_cast<int>(s.ms));
      times[Index(s.link)].push_back(s.ms);
    }
  }
  for (int i = 0; i < kPathLinkCount; ++i) {
    minute.links[i].medianMs = MedianOfTimes(times[i]);
    // More than a fifth of a minute's samples lost at a link, though never
    // two in a row, is a drop too (an echo lost every other round).
    const int sent = minute.links[i].sent;
    if (sent >= 5 && minuteLostHere_[i] * 5 > sent && !minuteHadSpell_[i]) {
      WatchSpell* last = nullptr;
      for (auto it = spells_.rbegin(); it != spells_.rend(); ++it)
        if (it->link == LinkAt(i) && it->kind == SpellKind::Drop) {
          last = &*it;
          break;
        }
      if (last && !last->open && last->endWallMs >= minuteStart_ - 60000) {
        // The same spell going on into this minute.
        last->endWallMs = minuteLastLost_[i];
        last->rounds += minuteLostHere_[i];
        last->lost += minuteLostHere_[i];
      } else {
        WatchSpell spell;
        spell.kind = SpellKind::Drop;
        spell.link = LinkAt(i);
        spell.startWallMs = minuteFirstLost_[i];
        spell.endWallMs = minuteLastLost_[i];
        spell.rounds = minuteLostHere_[i];
        spell.lost = minuteLostHere_[i];
        const bool kept = spells_.size() < kMaxSpells;
        AddSpell(spell);
        if (!kept) uncountedSpellMs_ += spell.endWallMs - spell.startWallMs + intervalS_ * 1000LL;
      }
    }
  }
  if (!minuteSamples_.empty() || minute.asleep) minutes_.push_back(minute);
  minuteSamples_.clear();
  minuteAsleep_ = false;
  minuteLostHere_ = {};
  // A drop run that goes on counts as this minute's spell as well.
  for (int i = 0; i < kPathLinkCount; ++i) minuteHadSpell_[i] = drops_[i].counted;
}

void Watch::Finish(int64_t wallMs, int64_t monoMs, bool finished) {
  if (ended_) return;
  for (Run& run : drops_) EndRun(run);
  for (Run& run : slows_) EndRun(run);
  CloseMinute();
  endWallMs_ = std::max(endWallMs_, wallMs);
  lastMonoMs_ = std::max(lastMonoMs_, monoMs);
  finished_ = finished;
  ended_ = true;
}

int64_t Watch::SpellMs() const {
  int64_t ms = uncountedSpellMs_;
  for (const WatchSpell& s : spells_) ms += s.endWallMs - s.startWallMs + intervalS_ * 1000LL;
  return ms;
}

LinkTotals Watch::Totals(PathLink link) const {
  LinkTotals t = totals_[Index(link)];
  t.medianMs = MedianOf(Index(link));
  return t;
}

std::vector<CellState> Watch::Cells(PathLink link, int64_t fromWallMs, int64_t toWallMs, int cells) const {
  std::vector<CellState> out(static_cast<size_t>(std::max(cells, 0)), CellState::Empty);
  if (cells <= 0 || toWallMs <= fromWallMs) return out;
  const int64_t span = toWallMs - fromWallMs;
  auto mark = [&](int64_t a, int64_t b, CellState state) {
    // Every cell the stretch [a, b] touches.
    if (b < fromWallMs || a >= toWallMs) return;
    const int64_t first = std::max<int64_t>(0, (a - fromWallMs) * cells / span);
    const int64_t last = std::min<int64_t>(cells - 1, (std::max(a, b) - fromWallMs) * cells / span);
    for (int64_t c = first; c <= last; ++c) {
      CellState& cell = out[static_cast<size_t>(c)];
      if (state > cell) cell = state;
    }
  };
  const int64_t rawFrom = samples_.empty() ? INT64_MAX : samples_.front().wallMs;
  const int i = Index(link);
  for (const WatchMinute& m : minutes_) {
    if (m.wallMs + 60000 <= fromWallMs || m.wallMs >= rawFrom) continue;
    const MinuteSummary& s = m.links[i];
    const int64_t end = std::min(m.wallMs + 59999, rawFrom - 1);
    if (s.lost > 0)
      mark(m.wallMs, end, CellState::Lost);
    else if (s.slow > 0)
      mark(m.wallMs, end, CellState::Slow);
    else if (s.sent > 0)
      mark(m.wallMs, end, CellState::Working);
    else if (m.asleep)
      mark(m.wallMs, end, CellState::Asleep);
  }
  // Each sample stands for the time until its link's next one (a round for
  // an echo, five for a name lookup), ten rounds at most.
  const int64_t roundMs = intervalS_ * 1000LL;
  auto it = std::lower_bound(samples_.begin(), samples_.end(), fromWallMs - 10 * roundMs,
                             [](const WatchSample& s, int64_t t) { return s.wallMs < t; });
  const WatchSample* previous = nullptr;
  auto stateOf = [](const WatchSample& s) {
    return s.status == SampleStatus::Asleep ? CellState::Asleep
           : IsLost(s.status)               ? CellState::Lost
           : s.slow                         ? CellState::Slow
                                            : CellState::Working;
  };
  int64_t pace = roundMs;  // the link's own, from its latest two samples
  for (; it != samples_.end() && it->wallMs < toWallMs; ++it) {
    if (it->link != link) continue;
    if (previous) {
      pace = std::min(std::max<int64_t>(it->wallMs - previous->wallMs, roundMs), 10 * roundMs);
      mark(previous->wallMs, previous->wallMs + pace - 1, stateOf(*previous));
    }
    previous = &*it;
  }
  if (previous) mark(previous->wallMs, previous->wallMs + pace - 1, stateOf(*previous));
  for (const WatchGap& g : gaps_) mark(g.startWallMs + roundMs, g.endWallMs - 1, CellState::Asleep);
  return out;
}

size_t Watch::BytesHeld() const {
  size_t bytes = sizeof(*this);
  bytes += samples_.size() * sizeof(WatchSample) + minuteSamples_.capacity() * sizeof(WatchSample);
  bytes += minutes_.capacity() * sizeof(WatchMinute) + spells_.capacity() * sizeof(WatchSpell);
  bytes += gaps_.capacity() * sizeof(WatchGap);
  for (const auto& h : histogram_) bytes += h.capacity() * sizeof(uint32_t);
  for (const std::string& t : targets_) bytes += sizeof(t) + t.capacity();
  return bytes;
}
