#include "workers/WorkerLines.h"

#include "toolkit/Application.h"

const char kWorkerSeparator[] = "*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*-*";

void HandLine(const TLineTarget& target, const std::string& text) {
  Application.Synchronize([&] {
    if (!target.lines) return;
    if (target.cap > 0 && target.lines->Count() > target.cap) target.lines->Clear();
    target.lines->Add(text);
  });
}
