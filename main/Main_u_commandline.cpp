// The program's command line: one table of switches, read from the wide
// command line so that a path in any characters arrives whole.
#include <cwctype>
#include <string>
#include <vector>

#include "main/Main_u.h"
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
    {L"/report", "FILE", [](Run& run, const std::wstring& value) { run.reportPath = value; },
     "writes the test's report to FILE (without it: a new file on the desktop)"},
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
  // The switches beside /test only change how the test reports.
  if (run.error.empty() && !run.active && !words.empty()) run.error = Shown(words[0]) + " is used with /test.";
  return run;
}

std::string UsageText() {
  std::string text = "Usage: VelnorAgent.exe [/test [/report FILE]]\r\n";
  for (const Switch& s : kSwitches) {
    std::string left = "  " + Shown(s.name) + (s.value ? std::string(" ") + s.value : std::string());
    if (left.size() < 18) left.resize(18, ' ');
    text += left + s.help + "\r\n";
  }
  text +=
      "Switches may be written in any case. A /test run ends with 0 when every stage passed, 1 when a stage "
      "warned, 2 when a stage failed, 3 when the test could not start or finish, its report could not be "
      "written, or the command line was wrong.\r\n";
  return text;
}
