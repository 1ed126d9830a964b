// How a worker's lines reach the window: every line is handed to the main
// thread, which appends it to its list while the worker waits, so lines keep
// their order and are all shown before the worker's finish message.
#pragma once

#include <string>

#include "text/Lines.h"

// The line both workers frame their output with: 43 characters, "*" and "-"
// alternating.
extern const char kWorkerSeparator[];

// One list a worker writes to. A capped list keeps its newest cap lines:
// the oldest go to make room (0: no cap).
struct TLineTarget {
  Lines* lines = nullptr;  // not owned; null: the line goes nowhere
  int cap = 0;
};

// The cap of the output memos.
constexpr int kOutputCap = 500;

// Appends text to the target on the main thread and returns once it is
// there. Errors of the list (a window gone) are thrown in the worker.
void HandLine(const TLineTarget& target, const std::string& text);
