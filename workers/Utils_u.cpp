#include "workers/Utils_u.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/Sys.h"
#include "text/Format.h"

namespace {

const char kProxyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// A kernel handle closed through the system table when it goes away.
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE h) : h_(h) {}
  ~OwnedHandle() { Close(); }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;

  HANDLE* Receive() { return &h_; }
  HANDLE Get() const { return h_; }
  void Close() {
    if (h_ && h_ != INVALID_HANDLE_VALUE) Sys.CloseHandle(h_);
    h_ = nullptr;
  }

 private:
  HANDLE h_ = nullptr;
};

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (h_) Sys.RegCloseKey(h_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  bool Open(REGSAM access) { return Sys.RegOpenKeyExA(HKEY_CURRENT_USER, kProxyKey, 0, access, &h_) == ERROR_SUCCESS; }
  HKEY Get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};

std::string Quoted(const char* name) { return std::string("'") + name + "'"; }

[[noreturn]] void FailGet(const char* name) { throw ERegistryException("Failed to get data for " + Quoted(name)); }
[[noreturn]] void FailType(const char* name) { throw ERegistryException("Invalid data type for " + Quoted(name)); }
[[noreturn]] void FailSet(const char* name) { throw ERegistryException("Failed to set data for " + Quoted(name)); }

// Reads one value whole. False when the value does not exist; any other
// failure throws.
bool QueryValue(HKEY key, const char* name, DWORD& type, std::vector<BYTE>& data) {
  DWORD size = 0;
  LONG r = Sys.RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
  if (r == ERROR_FILE_NOT_FOUND) return false;
  if (r != ERROR_SUCCESS) FailGet(name);
  data.assign(size, 0);
  if (size > 0) {
    r = Sys.RegQueryValueExA(key, name, nullptr, &type, data.data(), &size);
    if (r != ERROR_SUCCESS) FailGet(name);
    data.resize(size);
  }
  return true;
}

std::string ReadText(HKEY key, const char* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryValue(key, name, type, data)) return std::string();
  if (type != REG_SZ && type != REG_EXPAND_SZ) FailType(name);
  // The stored terminator may or may not be counted in the size.
  std::string text(data.begin(), data.end());
  return text.substr(0, text.find('\0'));
}

// A missing value reads as 0, which for ProxyEnable means "no proxy".
DWORD ReadNumber(HKEY key, const char* name) {
  DWORD type = 0;
  std::vector<BYTE> data;
  if (!QueryValue(key, name, type, data)) return 0;
  if (type != REG_DWORD) FailType(name);
  if (data.size() != sizeof(DWORD)) FailGet(name);
  DWORD value = 0;
  memcpy(&value, data.data(), sizeof value);
  return value;
}

// Position (from 1) of the first occurrence of needle in s; 0 when absent.
int Pos(const char* needle, const std::string& s) {
  const size_t p = s.find(needle);
  return p == std::string::npos ? 0 : static_cast<int>(p) + 1;
}

// count characters of s from start (counted from 1); empty for a negative
// count or a start past the end, cut at the end.
std::string Piece(const std::string& s, int start, int count) {
  if (start < 1) start = 1;
  if (count <= 0 || start > static_cast<int>(s.size())) return std::string();
  return s.substr(static_cast<size_t>(start - 1), static_cast<size_t>(count));
}

// Leading blanks, an optional sign, then digits up to the first non-digit.
// Whatever was read so far counts; no digits give 0. Saturates instead of
// overflowing on an absurdly long digit run.
int LeadingNumber(const std::string& s) {
  size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > INT_MAX) {
      value = INT_MAX;
      break;
    }
  }
  return static_cast<int>(negative ? -value : value);
}

}  // namespace

bool IsNetworkPresent() { return (Sys.GetSystemMetrics(SM_NETWORK) & 1) != 0; }

bool IsInternetConnected() {
  try {
    if (!Sys.InternetGetConnectedState) return false;
    DWORD flags = 0;
    return Sys.InternetGetConnectedState(&flags, 0) != FALSE;
  } catch (...) {
    return false;
  }
}

std::string GetWindowsFolder() {
  char buffer[MAX_PATH] = {};
  const UINT n = Sys.GetWindowsDirectoryA(buffer, MAX_PATH);
  // A result at or above the buffer size is the size it would have needed.
  if (n == 0 || n >= MAX_PATH) return std::string();
  return std::string(buffer);
}

uint8_t GetWindowsVersionCode() {
  OSVERSIONINFOA info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!Sys.GetVersionExA(&info)) return 0;
  const DWORD major = info.dwMajorVersion, minor = info.dwMinorVersion;
  if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
    if (major == 4 && minor == 0) return 1;
    if (major == 4 && minor == 10) return info.szCSDVersion[1] == 'A' ? 3 : 2;
    if (major == 4 && minor == 90) return 5;
    return 0;
  }
  if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
    if (major <= 4) return 4;
    if (major == 5 && minor == 0) return 6;
    if (major == 5 && minor == 1) return 7;
    if (major == 6) return 8;
    return 0;
  }
  return 0;
}

void ParsePingSummary(const Lines& lines, TPingSummary& s) {
  s.LossPercent = s.MinimumMs = s.MaximumMs = s.AverageMs = -1;
  const int n = lines.Count();
  for (int i = 0; i < n; ++i) {
    const std::string line = lines.Get(i);
    if (Pos("% loss", line) > 0) {
      const int start = Pos("(", line) + 1;
      const int stop = Pos("%", line);
      s.LossPercent = LeadingNumber(Piece(line, start, stop - start));
    }
    if (const int at = Pos("Minimum = ", line)) {
      const int start = at + 10;
      s.MinimumMs = LeadingNumber(Piece(line, start, Pos("ms, Max", line) - start));
    }
    if (const int at = Pos("Maximum = ", line)) {
      const int start = at + 10;
      s.MaximumMs = LeadingNumber(Piece(line, start, Pos("ms, Ave", line) - start));
    }
    if (const int at = Pos("Average = ", line)) {
      const int start = at + 10;
      const int stop = static_cast<int>(line.size()) - 1;
      s.AverageMs = LeadingNumber(Piece(line, start, stop - start));
    }
  }
  // A loss figure without a times line is an all-lost run: nothing to show.
  if (s.AverageMs == -1) s.LossPercent = -1;
}

namespace {

// The numbers that follow "=" or "<" (blanks allowed around them) on a line,
// each with whether "ms" follows it.
struct MarkedNumber {
  char mark;
  long long value;
  bool ms;
};

std::vector<MarkedNumber> MarkedNumbers(const std::string& line) {
  std::vector<MarkedNumber> found;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] != '=' && line[i] != '<') continue;
    size_t j = i + 1;
    while (j < line.size() && line[j] == ' ') ++j;
    if (j >= line.size() || line[j] < '0' || line[j] > '9') continue;
    long long value = 0;
    for (; j < line.size() && line[j] >= '0' && line[j] <= '9'; ++j)
      value = std::min(value * 10 + (line[j] - '0'), 1LL << 40);
    size_t k = j;
    while (k < line.size() && line[k] == ' ') ++k;
    const bool ms = line.compare(k, 2, "ms") == 0;
    found.push_back({line[i], value, ms});
  }
  return found;
}

}  // namespace

void CountPingReplies(const Lines& lines, TPingReplies& r) {
  r = TPingReplies{};
  long long totalMs = 0;
  bool haveSent = false;
  const int n = lines.Count();
  for (int i = 0; i < n; ++i) {
    const std::string line = lines.Get(i);
    const std::vector<MarkedNumber> numbers = MarkedNumbers(line);
    const auto time = std::find_if(numbers.begin(), numbers.end(), [](const MarkedNumber& m) { return m.ms; });
    if (time != numbers.end()) {
      if (line.find("TTL=") == std::string::npos) continue;  // a times line, or no echo
      ++r.Replies;
      totalMs += time->mark == '<' ? 0 : time->value;  // "<1ms": under a millisecond
    } else if (!haveSent && numbers.size() >= 3) {
      r.Sent = static_cast<int>(std::min<long long>(numbers[0].value, INT_MAX));
      haveSent = true;
    }
  }
  if (r.Replies > 0) r.AverageMs = static_cast<int>(std::min<long long>(totalMs / r.Replies, INT_MAX));
}

void ReadProxySettings(TProxyItem& p) {
  p.Enabled = false;
  RegKey key;
  if (!key.Open(KEY_READ)) return;
  p.Server = ReadText(key.Get(), "ProxyServer");
  p.Override = ReadText(key.Get(), "ProxyOverride");
  p.Enabled = ReadNumber(key.Get(), "ProxyEnable") != 0;
}

void WriteProxySettings(const std::string& server, bool enable) {
  {
    RegKey key;
    // A key that cannot be opened is a setting not written, never success.
    if (!key.Open(KEY_WRITE)) FailSet("ProxyEnable");
    {
      const DWORD value = enable ? 1 : 0;
      if (Sys.RegSetValueExA(key.Get(), "ProxyEnable", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                             sizeof value) != ERROR_SUCCESS)
        FailSet("ProxyEnable");
      if (enable &&
          Sys.RegSetValueExA(key.Get(), "ProxyServer", 0, REG_SZ, reinterpret_cast<const BYTE*>(server.c_str()),
                             static_cast<DWORD>(server.size() + 1)) != ERROR_SUCCESS)
        FailSet("ProxyServer");
    }
  }
  // Running browsers pick the change up only when told.
  if (Sys.InternetSetOptionA) {
    Sys.InternetSetOptionA(nullptr, INTERNET_OPTION_SETTINGS_CHANGED, nullptr, 0);
    Sys.InternetSetOptionA(nullptr, INTERNET_OPTION_REFRESH, nullptr, 0);
  }
}

bool IsUserAdmin() {
  OwnedHandle token;
  if (!Sys.OpenThreadToken(Sys.GetCurrentThread(), TOKEN_QUERY, TRUE, token.Receive())) {
    // Only a thread that impersonates has a token of its own.
    if (GetLastError() != ERROR_NO_TOKEN) return false;
    if (!Sys.OpenProcessToken(Sys.GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  }

  // Ask for the size first: a user in many groups needs far more than a
  // fixed buffer would hold.
  DWORD needed = 0;
  Sys.GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &needed);
  if (needed < offsetof(TOKEN_GROUPS, Groups)) return false;
  std::vector<BYTE> buffer(needed);
  if (!Sys.GetTokenInformation(token.Get(), TokenGroups, buffer.data(), needed, &needed)) return false;
  token.Close();

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID raw = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &raw))
    return false;
  std::unique_ptr<void, decltype(&FreeSid)> administrators(raw, &FreeSid);

  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  // Never walk past what was actually returned, whatever the count says.
  const size_t room = (buffer.size() - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
  const size_t count = groups->GroupCount < room ? groups->GroupCount : room;
  // An administrator without elevation holds the group for deny checks
  // only: such a user cannot switch the firewall, so that entry does not
  // count.
  for (size_t i = 0; i < count; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    if ((group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0) continue;
    if (group.Sid && EqualSid(administrators.get(), group.Sid)) return true;
  }
  return false;
}

namespace {

// Every command the tools run, and whatever it starts, lives in one job of
// the program's, so that closing the program can end them all at once (and
// the system ends them when the program goes, the job's last handle with it).
HANDLE CommandJob() {
  static HANDLE job = [] {
    HANDLE h = Sys.CreateJobObjectA ? Sys.CreateJobObjectA(nullptr, nullptr) : nullptr;
    if (h && Sys.SetInformationJobObject) {
      JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
      limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
      Sys.SetInformationJobObject(h, JobObjectExtendedLimitInformation, &limits, sizeof(limits));
    }
    return h;
  }();
  return job;
}

// "cmd.exe /C " + command as a writable command line, and the interpreter by
// its full path in the system directory: a bare "cmd.exe" would first be
// looked for beside the program and in the current directory, where a
// planted one could run instead.
struct InterpreterCall {
  std::string application;
  std::vector<char> commandLine;
};

InterpreterCall Interpreter(const std::string& command) {
  InterpreterCall call;
  char systemDir[MAX_PATH] = {};
  const UINT dirLength = GetSystemDirectoryA(systemDir, MAX_PATH);
  if (dirLength > 0 && dirLength < MAX_PATH) call.application = std::string(systemDir) + "\\cmd.exe";
  const std::string line = "cmd.exe /C " + command;
  call.commandLine.assign(line.begin(), line.end());
  call.commandLine.push_back('\0');
  return call;
}

}  // namespace

void CommandAbort::Request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
    // Where the job could not take it (a program already in a job of its
    // own on older systems), the interpreter at least ends.
    if (process_) Sys.TerminateProcess(process_, 1);
  }
  if (HANDLE job = CommandJob()) Sys.TerminateJobObject(job, 1);
}

std::string CaptureCommandOutput(const std::string& command, const std::string& workDir, DWORD waitMs, DWORD* exitCode,
                                 CommandAbort* abort) {
  if (exitCode) *exitCode = STILL_ACTIVE;
  std::string result;
  OwnedHandle readEnd, writeEnd;  // the read end is closed last
  SECURITY_ATTRIBUTES sa{};
  sa.nLength = sizeof(sa);
  sa.bInheritHandle = TRUE;
  Sys.CreatePipe(readEnd.Receive(), writeEnd.Receive(), &sa, 0);
  // The command gets the write end only: a read end in its hands (or in
  // anything it starts) would keep the pipe from ever breaking.
  if (readEnd.Get()) SetHandleInformation(readEnd.Get(), HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  si.hStdInput = Sys.GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd.Get();
  si.hStdError = writeEnd.Get();

  InterpreterCall call = Interpreter(command);
  PROCESS_INFORMATION pi{};
  // Suspended until it is in the job, so nothing it starts escapes it.
  const BOOL started = Sys.CreateProcessA(call.application.empty() ? nullptr : call.application.c_str(),
                                          call.commandLine.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
                                          workDir.empty() ? nullptr : workDir.c_str(), &si, &pi);
  // Our copy of the write end must go, or the pipe never breaks.
  writeEnd.Close();
  if (started) {
    OwnedHandle process(pi.hProcess), thread(pi.hThread);
    if (HANDLE job = CommandJob()) Sys.AssignProcessToJobObject(job, process.Get());
    bool stopped = false;
    if (abort) {
      std::lock_guard<std::mutex> lock(abort->mutex_);
      stopped = abort->requested_;
      abort->process_ = process.Get();
    }
    if (stopped)
      Sys.TerminateProcess(process.Get(), 1);
    else
      Sys.ResumeThread(thread.Get());
    char chunk[256];
    for (;;) {
      DWORD got = 0;
      if (!Sys.ReadFile(readEnd.Get(), chunk, sizeof(chunk) - 1, &got, nullptr) || got == 0) break;
      // A zero byte is no end of the output: it is dropped, what follows stays.
      for (DWORD i = 0; i < got; ++i)
        if (chunk[i] != '\0') result += chunk[i];
    }
    Sys.WaitForSingleObject(process.Get(), waitMs);
    if (exitCode && !Sys.GetExitCodeProcess(process.Get(), exitCode)) *exitCode = STILL_ACTIVE;
    if (abort) {
      std::lock_guard<std::mutex> lock(abort->mutex_);
      abort->process_ = nullptr;  // before the handle goes
    }
  }
  return result;
}

std::string RunCommandCapture(const std::string& command, const std::string& workDir) {
  return CaptureCommandOutput(command, workDir, INFINITE);
}

bool StartCommand(const std::string& command, const std::string& workDir) {
  STARTUPINFOA si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  InterpreterCall call = Interpreter(command);
  PROCESS_INFORMATION pi{};
  // Inherits nothing: a pipe end of a command running meanwhile must not be
  // held open by a window the user may keep for hours.
  if (!Sys.CreateProcessA(call.application.empty() ? nullptr : call.application.c_str(), call.commandLine.data(),
                          nullptr, nullptr, FALSE, 0, nullptr, workDir.empty() ? nullptr : workDir.c_str(), &si, &pi))
    return false;
  Sys.CloseHandle(pi.hThread);
  Sys.CloseHandle(pi.hProcess);
  return true;
}

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  if (!Sys.SHGetFolderPathW || FAILED(Sys.SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path)))
    return {};
  return path;
}

std::string PathText(const std::wstring& path) {
  if (path.empty()) return {};
  const int wide = static_cast<int>(path.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, path.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, path.data(), wide, &out[0], n, nullptr, nullptr);
  return out;
}

std::wstring WideOf(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

namespace {

// The system's words for an error code, as one line.
std::string SystemText(DWORD code) {
  char* text = nullptr;
  const DWORD n =
      FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string result = n && text ? std::string(text, n) : FormatLine("System error %u", code);
  if (text) LocalFree(text);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == ' ')) result.pop_back();
  return result;
}

}  // namespace

std::string TimestampedFileName(const std::string& prefix) {
  SYSTEMTIME t{};
  Sys.GetLocalTime(&t);
  // Every field after the year in two digits (its last two, were it ever longer).
  return FormatLine("%s-%u%02u%02u-%02u%02u%02u.txt", prefix, t.wYear, t.wMonth % 100, t.wDay % 100, t.wHour % 100,
                    t.wMinute % 100, t.wSecond % 100);
}

std::string LocalTimeText() {
  SYSTEMTIME t{};
  Sys.GetLocalTime(&t);
  return FormatLine("%u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth % 100, t.wDay % 100, t.wHour % 100,
                    t.wMinute % 100, t.wSecond % 100);
}

std::string WriteTextFile(const std::wstring& path, const std::string& text) {
  if (path.empty()) return "There is no folder to write to.";
  // Beside the file, in its folder, so that taking the name is a rename.
  const std::wstring beside = path + L"." + WideOf(std::to_string(GetCurrentProcessId())) + L".part";
  std::string why;
  {
    OwnedHandle file(
        Sys.CreateFileW(beside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE || !file.Get()) return SystemText(GetLastError());
    size_t done = 0;
    while (done < text.size() && why.empty()) {
      DWORD wrote = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 1 << 20));
      if (!Sys.WriteFile(file.Get(), text.data() + done, chunk, &wrote, nullptr) || wrote == 0)
        why = SystemText(GetLastError());
      done += wrote;
    }
  }
  if (why.empty() && !Sys.MoveFileExW(beside.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    why = SystemText(GetLastError());
  // A half-written report would look whole: the earlier file stays instead.
  if (!why.empty()) Sys.DeleteFileW(beside.c_str());
  return why;
}
