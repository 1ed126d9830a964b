// The program's command line: one table of switches, read from the wide
// command line so that a path in any characters arrives whole.
#include <cwctype>
#include <string>
#include <vector>

#include "main/Main_u.h"
#include "findings/Watch.h"
#include "netdata/IPHelper.h"

namespace {

using Run = TfrmMain::TTestRun;

// One switch: its name, whether a value follows it, what it sets, and its
// line of the usage text.
struct Switch {
  const wchar_t* name;
  const char* value;  // the value's name in the usage text; null: takes none
  void (*apply)(Run& run, const std::wstring& value);
  const char* help;
};

const Switch kSwitches[] = {
    {L"/test", nullptr, [](Run& run, const std::wstring&) { run.active = true; },
     "runs the automatic connection test at once and ends with its verdict"},
    {L"/watch", "DURATION",
     [](Run& run, const std::wstring& value) {
       run.watch = true;
       run.watchMs = ParseWatchDuration(WideToAnsi(value));
       if (run.watchMs < 0) run.error = "/watch needs a DURATION from 30s to 24h: a number with s, m or h (no unit: minutes).";
     },
     "watches the line for DURATION (30s to 24h; 90s, 10m, 2h, or minutes without a unit) and ends with what it found"},
    {L"/interval", "SECONDS",
     [](Run& run, const std::wstring& value) {
       const std::string text = WideToAnsi(value);
       int n = 0;
       bool digits = !text.empty() && text.size() <= 2;
       for (char c : text) digits = digits && c >= '0' && c <= '9';
       if (digits) n = std::stoi(text);
       if (!digits || n < 1 || n > 60)
         run.error = "/interval needs a number of SECONDS from 1 to 60.";
       run.intervalS = n;
       run.intervalSet = true;
     },
     "a watch's round every SECONDS (1 to 60, without it: 5)"},
    {L"/report", "FILE", [](Run& run, const std::wstring& value) { run.reportPath = value; },
     "writes the report to FILE (without it: a new file on the desktop)"},
    {L"/json", "FILE", [](Run& run, const std::wstring& value) { run.jsonPath = value; },
     "also writes the test's diagnosis or the watch as one JSON object to FILE"},
    {L"/csv", "FILE", [](Run& run, const std::wstring& value) { run.csvPath = value; },
     "writes every sample a watch kept to FILE, one a line"},
};

bool SameSwitch(const std::wstring& word, const wchar_t* name) {
  std::wstring lower;
  for (wchar_t c : word) lower += static_cast<wchar_t>(std::towlower(c));
  return lower == name;
}

// Words as the system's own parser splits them: blanks separate, quotes
// group (and are dropped), "" inside quotes is one quote.
std::vector<std::wstring> Words(const std::wstring& text) {
  std::vector<std::wstring> words;
  std::wstring word;
  bool quoted = false, inWord = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'"') {
      if (quoted && i + 1 < text.size() && text[i + 1] == L'"') {
        word += L'"';
        ++i;
      } else {
        quoted = !quoted;
      }
      inWord = true;
    } else if ((c == L' ' || c == L'\t') && !quoted) {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

std::string Shown(const std::wstring& word) { return WideToAnsi(word); }

}  // namespace

std::wstring ArgumentsOf(const std::wstring& commandLine) {
  // The program's own name comes first, quoted or up to the first blank.
  std::size_t at = 0;
  if (!commandLine.empty() && commandLine[0] == L'"') {
    const std::size_t close = commandLine.find(L'"', 1);
    at = close == std::wstring::npos ? commandLine.size() : close + 1;
  } else {
    while (at < commandLine.size() && commandLine[at] != L' ' && commandLine[at] != L'\t') ++at;
  }
  while (at < commandLine.size() && (commandLine[at] == L' ' || commandLine[at] == L'\t')) ++at;
  return commandLine.substr(at);
}

TfrmMain::TTestRun ParseTestRun(const std::wstring& arguments) {
  Run run;
  const std::vector<std::wstring> words = Words(arguments);
  for (std::size_t i = 0; i < words.size() && run.error.empty(); ++i) {
    const Switch* found = nullptr;
    for (const Switch& s : kSwitches)
      if (SameSwitch(words[i], s.name)) found = &s;
    if (!found) {
      run.error = "Unknown switch: " + Shown(words[i]);
      break;
    }
    std::wstring value;
    if (found->value) {
      // A value is never empty and never another switch: "/report /test"
      // is a missing file name, not a file called "/test".
      if (i + 1 >= words.size() || words[i + 1].empty() || words[i + 1][0] == L'/') {
        run.error = Shown(found->name) + " needs a " + found->value + " after it.";
        break;
      }
      value = words[++i];
    }
    found->apply(run, value);
  }
  // The switches beside /test and /watch only change how they report.
  if (run.error.empty() && run.active && run.watch) run.error = "/test and /watch are used one at a time.";
  if (run.error.empty() && !run.active && !run.watch && !words.empty()) {
    const bool watchOnly = SameSwitch(words[0], L"/interval") || SameSwitch(words[0], L"/csv");
    run.error = Shown(words[0]) + (watchOnly ? " is used with /watch." : " is used with /test.");
  }
  if (run.error.empty() && run.active && (run.intervalSet || !run.csvPath.empty()))
    run.error = std::string(run.intervalSet ? "/interval" : "/csv") + " is used with /watch.";
  return run;
}

std::string UsageText() {
  std::string text =
      "Usage: VelnorAgent.exe [/test [/report FILE] [/json FILE]]\r\n"
      "       VelnorAgent.exe [/watch DURATION [/interval SECONDS] [/report FILE] [/json FILE] [/csv FILE]]\r\n";
  for (const Switch& s : kSwitches) {
    std::string left = "  " + Shown(s.name) + (s.value ? std::string(" ") + s.value : std::string());
    if (left.size() < 18) left.resize(18, ' ');
    text += left + s.help + "\r\n";
  }
  text +=
      "Switches may be written in any case. A /test run ends with 0 when every stage passed, 1 when a stage "
      "warned, 2 when a stage failed, 3 when the test could not start or finish, its report could not be "
      "written, or the command line was wrong. A /watch run ends with 0 when no drop or slow spell was found, 1 "
      "when only slow spells were, 2 when a drop was, 3 when it did not finish (closed, ended by Windows, could not "
      "start), a file could not be written, or the command line was wrong.\r\n";
  return text;
}
