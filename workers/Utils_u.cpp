#include "workers/Utils_u.h"

#include <algorithm>
#include <atomic>
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

// A letter of a word in any language: ASCII letters, and every byte of a
// character beyond ASCII in whatever code page the console wrote.
bool WordByte(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u >= 0x80;
}

// A number that follows "=" or "<" on a line of a console ping. Every
// language prints its lines in the same shape, so their place tells them
// apart, not their words: an echo reply writes its fields tight ("bytes=32
// time=1ms TTL=64", "Zeit<1ms", "время=1мс", "temps=1 ms"), the summary
// with blanks around "=" and commas between ("Sent = 4, Received = 4",
// "Minimum = 0ms, Maximum = 1 ms"). A time is a number with a unit after it:
// a word right behind it, or after blanks a word that is not the next
// field's name (which an "=" or "<" follows).
struct MarkedNumber {
  char mark;
  long long value;
  bool tight;  // no blank between the mark and the number
  bool timed;  // a unit follows
};

std::vector<MarkedNumber> MarkedNumbers(const std::string& line) {
  std::vector<MarkedNumber> found;
  const size_t n = line.size();
  for (size_t i = 0; i < n; ++i) {
    if (line[i] != '=' && line[i] != '<') continue;
    size_t j = i + 1;
    while (j < n && line[j] == ' ') ++j;
    if (j >= n || line[j] < '0' || line[j] > '9') continue;
    const bool tight = j == i + 1;
    long long value = 0;
    for (; j < n && line[j] >= '0' && line[j] <= '9'; ++j) value = std::min(value * 10 + (line[j] - '0'), 1LL << 40);
    bool timed = j < n && WordByte(line[j]);
    if (!timed && j < n && line[j] == ' ') {
      size_t k = j;
      while (k < n && line[k] == ' ') ++k;
      size_t end = k;
      while (end < n && WordByte(line[end])) ++end;
      timed = end > k && (end >= n || (line[end] != '=' && line[end] != '<'));
    }
    found.push_back({line[i], value, tight, timed});
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
    // An echo reply, over IPv4 with its TTL or over IPv6 without one. An ICMP
    // error the console counts as received ("Reply from 10.0.0.1: Destination
    // host unreachable.") carries no time, and neither does a time-out.
    const auto time =
        std::find_if(numbers.begin(), numbers.end(), [](const MarkedNumber& m) { return m.tight && m.timed; });
    if (time != numbers.end()) {
      ++r.Replies;
      totalMs += time->mark == '<' ? 0 : time->value;  // "<1ms": under a millisecond
      continue;
    }
    const bool anyTimed = std::any_of(numbers.begin(), numbers.end(), [](const MarkedNumber& m) { return m.timed; });
    if (!haveSent && numbers.size() >= 3 && !anyTimed) {
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

namespace {

enum class AdminGroup { Absent, HeldBack, Held };

// Where the Administrators group stands in this thread's (or process's)
// token: held, held back by user account control (there for deny checks
// only, until the elevation prompt), or not there at all.
AdminGroup AdministratorsGroup() {
  OwnedHandle token;
  if (!Sys.OpenThreadToken(Sys.GetCurrentThread(), TOKEN_QUERY, TRUE, token.Receive())) {
    // Only a thread that impersonates has a token of its own.
    if (GetLastError() != ERROR_NO_TOKEN) return AdminGroup::Absent;
    if (!Sys.OpenProcessToken(Sys.GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return AdminGroup::Absent;
  }

  // Ask for the size first: a user in many groups needs far more than a
  // fixed buffer would hold.
  DWORD needed = 0;
  Sys.GetTokenInformation(token.Get(), TokenGroups, nullptr, 0, &needed);
  if (needed < offsetof(TOKEN_GROUPS, Groups)) return AdminGroup::Absent;
  std::vector<BYTE> buffer(needed);
  if (!Sys.GetTokenInformation(token.Get(), TokenGroups, buffer.data(), needed, &needed)) return AdminGroup::Absent;
  token.Close();

  SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;
  PSID raw = nullptr;
  if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &raw))
    return AdminGroup::Absent;
  std::unique_ptr<void, decltype(&FreeSid)> administrators(raw, &FreeSid);

  const auto* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  // Never walk past what was actually returned, whatever the count says.
  const size_t room = (buffer.size() - offsetof(TOKEN_GROUPS, Groups)) / sizeof(SID_AND_ATTRIBUTES);
  const size_t count = groups->GroupCount < room ? groups->GroupCount : room;
  AdminGroup found = AdminGroup::Absent;
  for (size_t i = 0; i < count; ++i) {
    const SID_AND_ATTRIBUTES& group = groups->Groups[i];
    if (!group.Sid || !EqualSid(administrators.get(), group.Sid)) continue;
    if ((group.Attributes & SE_GROUP_USE_FOR_DENY_ONLY) == 0) return AdminGroup::Held;
    found = AdminGroup::HeldBack;
  }
  return found;
}

}  // namespace

// An administrator without elevation holds the group for deny checks only:
// such a user cannot switch the firewall as is, so that entry does not count.
bool IsUserAdmin() { return AdministratorsGroup() == AdminGroup::Held; }

bool IsAdminHeldBack() { return AdministratorsGroup() == AdminGroup::HeldBack; }

bool NeedsElevation() {
  OwnedHandle token;
  if (!Sys.OpenProcessToken(Sys.GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return false;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  // Systems before user account control know no elevation: nothing to ask.
  if (!Sys.GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size)) return false;
  return elevation.TokenIsElevated == 0;
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
  // The commands write in their console's code page, the window shows,
  // saves and copies the program's own: under a Russian, Greek or German
  // system they differ.
  return ConvertCodePage(result, ConsoleOutputCodePage(), Sys.GetACP ? Sys.GetACP() : CP_ACP);
}

namespace {

// Waits for handle in short slices, so that a request to stop or the end of
// the wait (measured from start) is seen while it is not signalled. True
// when it was signalled.
bool WaitWatching(HANDLE handle, DWORD start, DWORD waitMs, CommandAbort* abort) {
  for (;;) {
    if (Sys.WaitForSingleObject(handle, 100) == WAIT_OBJECT_0) return true;
    if (abort && abort->Requested()) return false;
    if (waitMs != INFINITE && GetTickCount() - start >= waitMs) return false;
  }
}

// Ends an overlapped operation on the pipe that is still pending: its
// record must outlive it.
void CancelPending(HANDLE pipe, OVERLAPPED* pending) {
  Sys.CancelIo(pipe);
  DWORD ignored = 0;
  Sys.GetOverlappedResult(pipe, pending, &ignored, TRUE);
}

}  // namespace

std::string CaptureElevatedCommandOutput(const std::string& command, const std::string& workDir, DWORD waitMs,
                                         HWND owner, DWORD* exitCode, bool* declined, CommandAbort* abort) {
  if (exitCode) *exitCode = STILL_ACTIVE;
  if (declined) *declined = false;
  static std::atomic<unsigned> serial{0};
  const std::string pipeName = FormatLine("\\\\.\\pipe\\VelnorAgent-%u-%u", GetCurrentProcessId(), ++serial);
  // One instance, made here first, and for this machine only: nobody else
  // can be the server, nor a client from the network.
  OwnedHandle pipe(
      Sys.CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_INBOUND | FILE_FLAG_OVERLAPPED | FILE_FLAG_FIRST_PIPE_INSTANCE,
                           PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS, 1, 0, 64 * 1024, 0, nullptr));
  OwnedHandle event(Sys.CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (pipe.Get() == INVALID_HANDLE_VALUE || !pipe.Get() || !event.Get()) return std::string();
  OVERLAPPED connect{};
  connect.hEvent = event.Get();
  bool connected = false;
  if (!Sys.ConnectNamedPipe(pipe.Get(), &connect)) {
    const DWORD error = GetLastError();
    if (error == ERROR_PIPE_CONNECTED)
      connected = true;
    else if (error != ERROR_IO_PENDING)
      return std::string();
  }

  const InterpreterCall call = Interpreter(command);
  // One command, redirected as a whole (a group in parentheses would take
  // compound lines too, but not every command interpreter redirects one).
  const std::string parameters = "/C " + command + " > " + pipeName + " 2>&1";
  SHELLEXECUTEINFOA info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
  info.hwnd = owner;
  info.lpVerb = "runas";
  info.lpFile = call.application.empty() ? "cmd.exe" : call.application.c_str();
  info.lpParameters = parameters.c_str();
  info.lpDirectory = workDir.empty() ? nullptr : workDir.c_str();
  info.nShow = SW_HIDE;
  if (!Sys.ShellExecuteExA(&info) || !info.hProcess) {
    const DWORD error = GetLastError();
    if (declined && error == ERROR_CANCELLED) *declined = true;
    if (!connected) CancelPending(pipe.Get(), &connect);
    if (info.hProcess) Sys.CloseHandle(info.hProcess);
    return std::string();
  }
  OwnedHandle process(info.hProcess);
  const DWORD start = GetTickCount();

  // The command opens the pipe when its redirection starts; one that ends
  // without (a redirection that failed) wrote nothing.
  while (!connected) {
    if (Sys.WaitForSingleObject(event.Get(), 100) == WAIT_OBJECT_0) {
      DWORD ignored = 0;
      connected = Sys.GetOverlappedResult(pipe.Get(), &connect, &ignored, FALSE) != FALSE;
      break;
    }
    const bool ended = Sys.WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0;
    // A quick command may have opened the pipe, written and ended since.
    if (ended && Sys.WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0) continue;
    if (ended || (abort && abort->Requested()) || (waitMs != INFINITE && GetTickCount() - start >= waitMs)) {
      CancelPending(pipe.Get(), &connect);
      break;
    }
  }

  std::string result;
  char chunk[4096];
  while (connected) {
    OVERLAPPED read{};
    read.hEvent = event.Get();
    DWORD got = 0;
    BOOL ok = Sys.ReadFile(pipe.Get(), chunk, sizeof(chunk), &got, &read);
    if (!ok && GetLastError() == ERROR_IO_PENDING) {
      if (!WaitWatching(event.Get(), start, waitMs, abort)) {
        CancelPending(pipe.Get(), &read);
        break;
      }
      ok = Sys.GetOverlappedResult(pipe.Get(), &read, &got, FALSE);
    }
    // The pipe breaks when the command and everything it started have ended.
    if (!ok || got == 0) break;
    result.append(chunk, got);
  }
  if (WaitWatching(process.Get(), start, waitMs, abort) && exitCode && !Sys.GetExitCodeProcess(process.Get(), exitCode))
    *exitCode = STILL_ACTIVE;
  return ConvertCodePage(result, ConsoleOutputCodePage(), Sys.GetACP ? Sys.GetACP() : CP_ACP);
}

UINT ConsoleOutputCodePage() {
  // Without a console of its own the program gets 0 here.
  const UINT own = Sys.GetConsoleOutputCP ? Sys.GetConsoleOutputCP() : 0;
  if (own != 0) return own;
  return Sys.GetOEMCP ? Sys.GetOEMCP() : CP_OEMCP;
}

std::string ConvertCodePage(const std::string& text, UINT from, UINT to) {
  if (text.empty() || from == to) return text;
  // The whole capture at once: a read's chunk may end inside a character of
  // a multi-byte code page, the capture never does.
  if (text.size() > static_cast<size_t>(INT_MAX / 2)) return text;
  const int length = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(from, 0, text.data(), length, nullptr, 0);
  if (wide <= 0) return text;
  std::vector<wchar_t> buffer(static_cast<size_t>(wide));
  MultiByteToWideChar(from, 0, text.data(), length, buffer.data(), wide);
  const int narrow = WideCharToMultiByte(to, 0, buffer.data(), wide, nullptr, 0, nullptr, nullptr);
  if (narrow <= 0) return text;
  std::string result(static_cast<size_t>(narrow), '\0');
  WideCharToMultiByte(to, 0, buffer.data(), wide, &result[0], narrow, nullptr, nullptr);
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
