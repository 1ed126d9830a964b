// Watching the line for hours: every echo, lookup and web request kept with
// its time, drops and slow spells found in them and placed along the path by
// the diagnosis's one rule (PlaceFault), and the finding at the end in the
// diagnosis's words.
//
// Memory stays bounded however long the watch runs: the samples of the
// latest hour are kept whole, every minute before that as one summary per
// link (sent, lost, fastest, median, slowest), and at most kMaxSpells
// spells in detail (their count and time in all stay exact beyond that).
// No platform header here: this folder builds with any C++17 compiler.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "findings/Diagnosis.h"

// Why a sample came back as it did.
enum class SampleStatus : uint8_t {
  Ok,
  TimedOut,
  HostUnreachable,  // an error answer: the host cannot be reached
  NetUnreachable,   // an error answer: its network cannot be reached
  PortUnreachable,  // an error answer: the port (protocol) is closed
  TtlExpired,       // an error answer: the time to live ran out on the way
  OtherError,       // another error answer, or the echo could not be sent
  NoRoute,          // this computer has no route to the target
  LookupFailed,     // the name was not found
  WebFailed,        // the web request got no (good) answer
  Asleep,           // the computer slept: neither an answer nor a loss
};

// "ok", "timeout", "host_unreachable", ...: the status's key in files.
const char* SampleStatusKey(SampleStatus status);
// Lost: no answer, for a reason other than the computer sleeping.
inline bool IsLost(SampleStatus s) { return s != SampleStatus::Ok && s != SampleStatus::Asleep; }

// One echo, name lookup or web request of a round, as the worker hands it.
struct ProbeResult {
  PathLink link = PathLink::Router;
  std::string target;
  int ms = -1;  // its time; -1 when lost
  SampleStatus status = SampleStatus::Ok;
};

// A round as the worker hands it. Times in milliseconds: wall is the
// clock's time (since 1970, UTC) when the round began; mono a clock that
// only goes forward, when it began; sleptMs how long the computer slept
// since the previous round began (0 when it did not).
struct WatchRound {
  int64_t wallMs = 0;
  int64_t monoMs = 0;
  int64_t sleptMs = 0;
  std::vector<ProbeResult> results;
};

// A kept sample.
struct WatchSample {
  int64_t wallMs = 0;
  int64_t monoMs = 0;
  uint32_t round = 0;
  int32_t ms = -1;
  uint16_t target = 0;  // index into Watch::Targets()
  PathLink link = PathLink::Router;
  SampleStatus status = SampleStatus::Ok;
  bool slow = false;  // answered, but slowly for its link
};

// One minute of one link.
struct MinuteSummary {
  int sent = 0;
  int lost = 0;
  int slow = 0;
  int minMs = -1, medianMs = -1, maxMs = -1;  // of the answers; -1 without one
};
struct WatchMinute {
  int64_t wallMs = 0;  // the minute's start
  bool asleep = false;  // the computer slept in it
  std::array<MinuteSummary, kPathLinkCount> links{};
};

enum class SpellKind { Drop, Slow };
const char* SpellKindKey(SpellKind kind);  // "drop", "slow"

struct WatchSpell {
  SpellKind kind = SpellKind::Drop;
  PathLink link = PathLink::Router;
  int64_t startWallMs = 0, endWallMs = 0;  // its first and last bad sample
  int rounds = 0;                          // rounds it spans at its link
  int lost = 0;                            // samples lost at its link
  int worstMs = -1;                        // slowest answer in it; -1 without one
  bool open = false;                       // still going on
};

// A stretch the computer slept through.
struct WatchGap {
  int64_t startWallMs = 0, endWallMs = 0;
};

// Per link, over the whole watch.
struct LinkTotals {
  int sent = 0, lost = 0;
  int minMs = -1, medianMs = -1, maxMs = -1;
};

// One cell of the timeline: what the samples it covers show, the worst
// first (a lost sample inside a summary still shows).
enum class CellState : uint8_t { Empty, Asleep, Working, Slow, Lost };

class Watch {
 public:
  // A round is slower than this to answer, and slower than three times its
  // link's median, to count as slow.
  static constexpr int kSlowFloorMs = 100;
  static constexpr int kDropRounds = 2;  // lost rounds in a row that make a drop
  static constexpr int kSlowRounds = 3;  // slow rounds in a row that make a slow spell
  static constexpr int64_t kRawKeptMs = 60 * 60 * 1000;  // whole samples kept
  static constexpr size_t kMaxSpells = 2000;             // spells kept in detail
  // A round that begins this much later than its pace asked, beyond any
  // reported sleep, is a gap too (a clock that does not report sleep).
  static constexpr int64_t kLateGapMs = 30 * 1000;

  // utcOffsetMin: the local time's offset from UTC, for the files' times.
  Watch(int intervalS, int64_t startWallMs, int64_t startMonoMs, int utcOffsetMin);

  void AddRound(const WatchRound& round);
  // Closes the watch at this time: open spells end, the last minute is
  // summed up. finished is false when it was stopped early.
  void Finish(int64_t wallMs, int64_t monoMs, bool finished);

  int IntervalS() const { return intervalS_; }
  int64_t StartWallMs() const { return startWallMs_; }
  int64_t EndWallMs() const { return endWallMs_; }
  int64_t ElapsedMs() const { return lastMonoMs_ - startMonoMs_; }
  int UtcOffsetMin() const { return utcOffsetMin_; }
  uint32_t Rounds() const { return rounds_; }
  bool Finished() const { return finished_; }
  bool Ended() const { return ended_; }

  const std::vector<std::string>& Targets() const { return targets_; }
  const std::deque<WatchSample>& Samples() const { return samples_; }  // the latest hour
  const std::vector<WatchMinute>& Minutes() const { return minutes_; }  // every closed minute
  const std::vector<WatchSpell>& Spells() const { return spells_; }
  const std::vector<WatchGap>& Gaps() const { return gaps_; }
  int DropCount() const { return dropCount_; }
  int SlowCount() const { return slowCount_; }
  int64_t SpellMs() const;  // time in all of every spell
  LinkTotals Totals(PathLink link) const;
  // The earliest sample still kept whole.
  int64_t RawFromWallMs() const { return samples_.empty() ? endWallMs_ : samples_.front().wallMs; }

  // The link's strip between two times, in cells equal parts: raw samples
  // where kept, minute summaries before.
  std::vector<CellState> Cells(PathLink link, int64_t fromWallMs, int64_t toWallMs, int cells) const;
  // What a moment shows: its time and figures, one line.
  std::string MomentText(int64_t wallMs) const;

  // Approximate bytes held (for the benchmark and the README's bound).
  size_t BytesHeld() const;

 private:
  struct Run {  // a link's current run of bad samples
    int count = 0, lost = 0, worst = -1;
    int64_t startWall = 0, lastWall = 0;
    int spell = -1;  // its index in spells_, once it is one; -1 before
    bool counted = false;
  };
  uint16_t TargetIndex(const std::string& target);
  int MedianOf(int link) const;  // of every answer so far at the link
  void AddToHistogram(int link, int ms);
  void ExtendRun(Run& run, SpellKind kind, PathLink link, const WatchSample& s, int threshold);
  void EndRun(Run& run);
  void CloseMinutes(int64_t beforeWallMs);
  void CloseMinute();
  void AddSpell(const WatchSpell& spell);

  int intervalS_;
  int64_t startWallMs_, startMonoMs_, endWallMs_, lastMonoMs_;
  int64_t lastRoundMono_ = -1, lastRoundWall_ = -1;
  int utcOffsetMin_;
  uint32_t rounds_ = 0;
  bool finished_ = false, ended_ = false;

  std::vector<std::string> targets_;
  std::deque<WatchSample> samples_;
  std::vector<WatchMinute> minutes_;
  std::vector<WatchSpell> spells_;
  std::vector<WatchGap> gaps_;
  int dropCount_ = 0, slowCount_ = 0;
  int64_t uncountedSpellMs_ = 0;  // of spells beyond kMaxSpells

  // The minute being gathered: its samples (a minute's worth at most).
  int64_t minuteStart_ = -1;
  bool minuteAsleep_ = false;
  std::vector<WatchSample> minuteSamples_;
  std::array<int, kPathLinkCount> minuteLostHere_{};  // lost and placed at the link
  std::array<int64_t, kPathLinkCount> minuteFirstLost_{}, minuteLastLost_{};
  std::array<bool, kPathLinkCount> minuteHadSpell_{};

  std::array<Run, kPathLinkCount> drops_{}, slows_{};
  // Every answer's time by millisecond (the last cell: slower still), for
  // the medians; bounded whatever the watch's length.
  static constexpr int kHistogramMs = 4000;
  std::array<std::vector<uint32_t>, kPathLinkCount> histogram_;
  std::array<uint64_t, kPathLinkCount> answers_{};
  std::array<LinkTotals, kPathLinkCount> totals_{};
};

// ---------------------------------------------------------------------------
// Texts, all written from the same records

// "2026-12-11T14:05:09+01:00"
std::string IsoTime(int64_t wallMs, int utcOffsetMin);
// "1 h 0 min", "2 min 10 s", "40 s"
std::string DurationText(int64_t ms);

// The end: a finding of the diagnosis's set (AllWorking or UnstableLine)
// with the place of the first link that showed a spell.
Finding WatchFinding(const Watch& watch);
// The finding in one line: "No drop or slow spell in 1 h 0 min: the line
// held." or "4 drops, 2 min 10 s in all, each between ...: ... — next step".
std::string WatchSummary(const Watch& watch);

// The report's WATCH section, its heading included.
std::vector<std::string> WatchLines(const Watch& watch);
// The JSON object "watch": {...} (the key and braces included).
std::string WatchJson(const Watch& watch);
// Every kept sample, one a line, with a heading line; UTF-8, every field
// quoted.
std::string WatchCsv(const Watch& watch);

// The exit code of an unattended watch: 0 no spell, 1 slow spells only,
// 2 a drop, 3 not finished.
int WatchExitCode(const Watch& watch);

// "30s", "5m", "2h", "10" (minutes): milliseconds, or -1 when the text is
// none of these or lies outside 30 s to 24 h.
int64_t ParseWatchDuration(const std::string& text);
