// The watch's benchmark: a 24-hour watch at a 1 s interval fed in fast (a
// line that loses an echo now and then, drops for a while every few hours
// and is slow in the evening), then the timeline painted as the test panel
// paints it. One figure a line on standard output:
//   live_bytes <before> <after 1 h> <after 24 h> <growth>
//       the bytes the program holds from the allocator (every new and
//       delete of this process counted; Wine reports no private bytes)
//   held_bytes <the record's own count>
//   paint_ms <median> <min> <max>   over <n> paints of the 607 x 288 view
//   feed_ms <all 86,400 rounds>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bench/Clock.h"
#include "findings/Watch.h"
#include "main/Main_u.h"
#include "platform/Sys.h"

#include <atomic>
#include <cstdlib>
#include <new>

// Every allocation counted, its size kept in front of it.
static std::atomic<long long> liveBytes{0};
void* operator new(std::size_t size) {
  auto* p = static_cast<std::size_t*>(std::malloc(size + 16));
  if (!p) throw std::bad_alloc();
  *p = size;
  liveBytes += static_cast<long long>(size);
  return reinterpret_cast<char*>(p) + 16;
}
void operator delete(void* q) noexcept {
  if (!q) return;
  auto* p = reinterpret_cast<std::size_t*>(static_cast<char*>(q) - 16);
  liveBytes -= static_cast<long long>(*p);
  std::free(p);
}
void operator delete(void* q, std::size_t) noexcept { operator delete(q); }

namespace {

WatchRound Round(int r, int64_t start) {
  WatchRound round;
  round.wallMs = start + r * 1000LL;
  round.monoMs = r * 1000LL;
  const int hour = r / 3600;
  const bool dropped = r % 10800 >= 600 && r % 10800 < 640;  // 40 s every 3 h
  const bool evening = hour >= 19 && hour < 22 && r % 7 < 4;
  const bool lone = r % 733 == 0;
  auto echo = [&](PathLink link, const char* target, int ms) {
    const bool lost = dropped || (lone && link == PathLink::Internet);
    round.results.push_back({link, target, lost ? -1 : (evening && link != PathLink::Router ? 180 + r % 40 : ms),
                             lost ? SampleStatus::TimedOut : SampleStatus::Ok});
  };
  echo(PathLink::Router, "192.168.1.1", 2 + r % 3);
  echo(PathLink::Provider, "10.77.1.1", 9 + r % 5);
  echo(PathLink::Internet, r % 2 ? "10.77.1.2" : "10.77.1.3", 30 + r % 11);
  if (r % 5 == 0) round.results.push_back({PathLink::Names, "web-one.example", 12, SampleStatus::Ok});
  if (r % 300 == 0) round.results.push_back({PathLink::Web, "http://10.77.1.1/", 80, SampleStatus::Ok});
  return round;
}

}  // namespace

int main() {
  BindSystemCalls();
  const int64_t start = 1765461600000LL;
  const long long liveBefore = liveBytes;
  double feedMs = NowMs();
  long long liveAtHour = -1;
  {
    Watch w(1, start, 0, 0);
    for (int r = 0; r < 24 * 3600; ++r) {
      w.AddRound(Round(r, start));
      if (r == 3600) {
        liveAtHour = liveBytes;
      }
    }
    feedMs = NowMs() - feedMs;
    printf("live_bytes %lld %lld %lld %lld\n", liveBefore, liveAtHour, static_cast<long long>(liveBytes),
           static_cast<long long>(liveBytes) - liveBefore);
    printf("held_bytes %lu\n", static_cast<unsigned long>(w.BytesHeld()));
    printf("feed_ms %.0f\n", feedMs);
    printf("spells %d drops %d slow\n", w.DropCount(), w.SlowCount());

    // The view as the test panel has it, painted into a bitmap of its size.
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 607, 288);
    HGDIOBJ old = SelectObject(dc, bitmap);
    const RECT r{0, 0, 607, 288};
    std::vector<double> times;
    for (int i = 0; i < 21; ++i) {
      const double t = NowMs();
      PaintWatchTimeline(dc, r, w, 24 * 3600 * 1000LL, false, start + (i + 1) * 3600000LL);
      GdiFlush();
      times.push_back(NowMs() - t);
    }
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    std::sort(times.begin(), times.end());
    printf("paint_ms %.2f %.2f %.2f over %d paints\n", times[times.size() / 2], times.front(), times.back(),
           static_cast<int>(times.size()));
  }
  return 0;
}
