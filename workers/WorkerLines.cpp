#include "workers/WorkerLines.h"

#include "toolkit/Application.h"

const char kWorkerSeparator[] = "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";

void HandLine(const TLineTarget& target, const std::string& text) {
  Application.Synchronize([&] {
    if (!target.lines) return;
    target.lines->Add(text);
    // The newest lines stay: a long output keeps its end and its closing
    // lines, and the oldest ones make room.
    if (target.cap > 0 && target.lines->Count() > target.cap)
      target.lines->DeleteFirst(target.lines->Count() - target.cap);
  });
}
