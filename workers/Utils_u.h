// Small system queries and settings the main window needs besides the
// network-data layer: network and internet state, the Windows folder and
// version, the console ping summary, the user's proxy switch, membership of
// the Administrators group, and running a console command for its output.
// Every routine runs on the calling thread and keeps no state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <stdexcept>
#include <string>

#include "text/Lines.h"

// The four address texts of one adapter.
struct TLANInfo {
  std::string IPAddress, MACAddress, DNSServer, Gateway;
};

// The current user's Internet proxy settings.
struct TProxyItem {
  bool Enabled = false;
  std::string Server, Override;
};

// What a console ping printed in its summary; -1 where nothing was found.
struct TPingSummary {
  int LossPercent, MinimumMs, MaximumMs, AverageMs;
};

// Raised by the proxy routines; what() is the text shown to the user.
class ERegistryException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

bool IsNetworkPresent();
bool IsInternetConnected();
// The Windows directory, or an empty text when it cannot be had.
std::string GetWindowsFolder();
// 0 unknown, 1 Windows 95, 2 Windows 98, 3 Windows 98 SE, 4 NT 4 and older,
// 5 Windows Me, 6 Windows 2000, 7 Windows XP, 8 Vista and everything that
// reports 6.x.
uint8_t GetWindowsVersionCode();

// Reads loss and round-trip times from the English summary of a console
// ping; fields not found are -1.
void ParsePingSummary(const Lines& lines, TPingSummary& s);

// What the echo lines of a console ping show, in whatever language it
// speaks, read by the places of its numbers, not by its words: Sent is the
// first number of its statistics line (three or more numbers after "=" and
// no time among them), 0 when there is none; Replies counts the echo
// replies, the lines with a time written tight ("time=12ms", "time<1ms",
// "Zeit=3ms", "temps=3 ms"), over IPv4 and IPv6 alike, so an ICMP error that
// the console counts as received ("Reply from 10.0.0.1: Destination host
// unreachable.") is no reply here; AverageMs is the mean of their times, -1
// without replies.
struct TPingReplies {
  int Sent = 0;
  int Replies = 0;
  int AverageMs = -1;
};
void CountPingReplies(const Lines& lines, TPingReplies& r);

// Throws ERegistryException for a value of the wrong kind or one that
// cannot be read. A missing key leaves Enabled false and the texts as they
// were; a missing value reads as empty text or "proxy off".
void ReadProxySettings(TProxyItem& p);
// Writes ProxyEnable (and ProxyServer when enabling), then tells WinInet the
// settings changed. Throws ERegistryException when the key cannot be opened
// for writing or a value cannot be set.
void WriteProxySettings(const std::string& server, bool enable);

// The user holds administrator rights in this program now.
bool IsUserAdmin();
// The user is an administrator whose rights user account control holds back
// until the system's elevation prompt grants them.
bool IsAdminHeldBack();
// A change to the system needs the elevation prompt first: the system has
// user account control and this program runs without elevation (as an
// administrator held back, or as a standard user).
bool NeedsElevation();

// The user's desktop folder, empty when the system has none for this user.
// Wide: a folder named in characters the ANSI code page lacks still works.
std::wstring DesktopFolder();
// An ASCII text as a wide one.
std::wstring WideOf(const std::string& ascii);
// "<prefix>-YYYYMMDD-HHMMSS.txt" with the local time now.
std::string TimestampedFileName(const std::string& prefix);
// The local time now as "YYYY-MM-DD hh:mm:ss".
std::string LocalTimeText();
// Writes text to path, replacing the file. The text goes into a file beside
// it first, which then takes the name: a write that fails leaves an earlier
// file of that name as it was, and never a half-written one. Returns an
// empty text on success, else why it could not be written (the system's
// words).
std::string WriteTextFile(const std::wstring& path, const std::string& text);

// The code page console commands write in: that of this program's console
// where it has one (the commands share it), else the one every new console
// starts with, the system's OEM code page.
UINT ConsoleOutputCodePage();
// text from one code page to another; a character the target cannot hold
// becomes its default character ("?"). Unchanged when both are the same.
std::string ConvertCodePage(const std::string& text, UINT from, UINT to);

// Runs "cmd.exe /C " + command in workDir, waits for it to end and returns
// everything it wrote to standard output and standard error, converted from
// the console's code page to the program's own (ANSI) text.
std::string RunCommandCapture(const std::string& command, const std::string& workDir);

// Lets another thread end a capture's command (and everything it started)
// while it runs; a request made before the command has started stops it
// from ever running.
class CommandAbort {
 public:
  void Request();
  bool Requested() {
    std::lock_guard<std::mutex> lock(mutex_);
    return requested_;
  }

 private:
  friend std::string CaptureCommandOutput(const std::string&, const std::string&, DWORD, DWORD*, CommandAbort*);
  friend std::string CaptureElevatedCommandOutput(const std::string&, const std::string&, DWORD, HWND, DWORD*, bool*,
                                                  CommandAbort*);

  std::mutex mutex_;
  bool requested_ = false;
  HANDLE process_ = nullptr;  // not owned: the running interpreter, while the capture holds it
};

// The capture behind RunCommandCapture and the command worker (its text
// converted the same way): waits at most
// waitMs for the process once its output has ended (INFINITE for no limit).
// A command that cannot be started gives an empty text. exitCode, when
// given, receives the interpreter's exit code, or STILL_ACTIVE when it did
// not start or had not ended by the time the wait gave up. Every command
// runs in the program's command job, so nothing it starts outlives the
// program.
std::string CaptureCommandOutput(const std::string& command, const std::string& workDir, DWORD waitMs,
                                 DWORD* exitCode = nullptr, CommandAbort* abort = nullptr);

// The same capture for a command that changes the system, run through the
// system's elevation prompt (the "runas" verb, owned by owner) where this
// program lacks the rights. An elevated command cannot inherit a handle of
// ours, so it writes its output into a pipe of this program's by name; the
// command is one command ("ipconfig /renew"), not a line joined by "&".
// declined is set when the user refused the prompt: nothing ran.
std::string CaptureElevatedCommandOutput(const std::string& command, const std::string& workDir, DWORD waitMs,
                                         HWND owner, DWORD* exitCode, bool* declined, CommandAbort* abort = nullptr);

// Starts "cmd.exe /C " + command in workDir and returns at once, without
// capturing anything (the control-panel applets). False when it could not
// be started.
bool StartCommand(const std::string& command, const std::string& workDir);
