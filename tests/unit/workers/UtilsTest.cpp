#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>
#include <set>

#include "platform/Sys.h"
#include "support/FakeRegistry.h"
#include "workers/Utils_u.h"

namespace {

// ---- version query ---------------------------------------------------------

struct VersionRow {
  DWORD platform, major, minor;
  const char* servicePack;
  uint8_t code;
};
const VersionRow* CurrentVersion = nullptr;

BOOL WINAPI FakeGetVersionExA(LPOSVERSIONINFOA info) {
  if (!CurrentVersion || info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
  info->dwPlatformId = CurrentVersion->platform;
  info->dwMajorVersion = CurrentVersion->major;
  info->dwMinorVersion = CurrentVersion->minor;
  lstrcpynA(info->szCSDVersion, CurrentVersion->servicePack, sizeof(info->szCSDVersion));
  return TRUE;
}

TEST(GetWindowsVersionCode, MapsEachReleaseAndRejectsTheRest) {
  const VersionRow rows[] = {
      {1, 4, 0, "", 1},     // Windows 95
      {1, 4, 10, "", 2},    // Windows 98
      {1, 4, 10, " B", 2},  // 98 with another service-pack letter
      {1, 4, 10, " A", 3},  // 98 Second Edition
      {1, 4, 90, "", 5},    // Me
      {1, 4, 20, "", 0},    // an unknown 9x
      {2, 3, 51, "", 4},    // NT 3.51
      {2, 4, 0, "SP6", 4},  // NT 4
      {2, 5, 0, "", 6},     // 2000
      {2, 5, 1, "SP3", 7},  // XP
      {2, 5, 2, "", 0},     // Server 2003 / XP x64
      {2, 6, 0, "", 8},     // Vista
      {2, 6, 2, "", 8},     // what 8 and later report without a manifest entry
      {2, 10, 0, "", 0},    // a version above 6
      {3, 4, 0, "", 0},     // neither family
  };
  SysSwap swap(&SysApi::GetVersionExA, &FakeGetVersionExA);
  for (const VersionRow& row : rows) {
    CurrentVersion = &row;
    EXPECT_EQ(GetWindowsVersionCode(), row.code) << row.platform << " " << row.major << "." << row.minor;
  }
  CurrentVersion = nullptr;  // the query fails
  EXPECT_EQ(GetWindowsVersionCode(), 0);
}

// ---- Windows folder and network presence ------------------------------------

UINT WindowsDirResult = 0;
UINT WINAPI FakeGetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (WindowsDirResult > 0 && WindowsDirResult < size) lstrcpynA(buffer, "C:\\WINNT", size);
  return WindowsDirResult;
}

TEST(GetWindowsFolder, GivesTheDirectoryOrNothing) {
  EXPECT_EQ(lstrcmpiA(GetWindowsFolder().c_str(), "C:\\windows"), 0) << GetWindowsFolder();

  SysSwap swap(&SysApi::GetWindowsDirectoryA, &FakeGetWindowsDirectoryA);
  WindowsDirResult = 8;
  EXPECT_EQ(GetWindowsFolder(), "C:\\WINNT");
  WindowsDirResult = 0;  // failed
  EXPECT_EQ(GetWindowsFolder(), "");
  WindowsDirResult = 300;  // did not fit
  EXPECT_EQ(GetWindowsFolder(), "");
}

int NetworkMetric = 0;
int WINAPI FakeGetSystemMetrics(int index) { return index == SM_NETWORK ? NetworkMetric : 0; }

TEST(IsNetworkPresent, ReadsOnlyTheLowestBit) {
  SysSwap swap(&SysApi::GetSystemMetrics, &FakeGetSystemMetrics);
  const std::pair<int, bool> rows[] = {{0, false}, {1, true}, {2, false}, {3, true}};
  for (const auto& row : rows) {
    NetworkMetric = row.first;
    EXPECT_EQ(IsNetworkPresent(), row.second) << row.first;
  }
}

// ---- time stamps -------------------------------------------------------------

SYSTEMTIME FakeNow{};
void WINAPI FakeGetLocalTime(LPSYSTEMTIME t) { *t = FakeNow; }

TEST(TimeStamps, FileNameAndReportTimeInTwoDigitFields) {
  struct Case {
    WORD year, month, day, hour, minute, second;
    const char* fileName;
    const char* text;
  } cases[] = {
      {2026, 3, 7, 5, 9, 4, "velnor-20260307-050904.txt", "2026-03-07 05:09:04"},
      {1999, 12, 31, 23, 59, 0, "velnor-19991231-235900.txt", "1999-12-31 23:59:00"},
      {987, 1, 1, 0, 0, 0, "velnor-9870101-000000.txt", "987-01-01 00:00:00"},  // the year as it is
  };
  SysSwap swap(&SysApi::GetLocalTime, &FakeGetLocalTime);
  for (const Case& c : cases) {
    FakeNow = SYSTEMTIME{c.year, c.month, 0, c.day, c.hour, c.minute, c.second, 0};
    EXPECT_EQ(TimestampedFileName("velnor"), c.fileName);
    EXPECT_EQ(LocalTimeText(), c.text);
  }
}

// ---- console ping summary -------------------------------------------------

struct SummaryRow {
  const char* name;
  std::vector<std::string> lines;
  TPingSummary expected;
};

TEST(ParsePingSummary, ReadsTheEnglishSummaryAndNothingElse) {
  const std::vector<std::string> english = {
      "",
      "Pinging 10.77.1.1 with 32 bytes of data:",
      "Reply from 10.77.1.1: bytes=32 time=148ms TTL=64",
      "Reply from 10.77.1.1: bytes=32 time=152ms TTL=64",
      "Reply from 10.77.1.1: bytes=32 time=150ms TTL=64",
      "Reply from 10.77.1.1: bytes=32 time=150ms TTL=64",
      "",
      "Ping statistics for 10.77.1.1:",
      "    Packets: Sent = 4, Received = 4, Lost = 0 (0% loss),",
      "Approximate round trip times in milli-seconds:",
      "    Minimum = 148ms, Maximum = 152ms, Average = 150ms",
  };
  std::vector<std::string> twoRuns = english;
  twoRuns.push_back("    Packets: Sent = 4, Received = 3, Lost = 1 (25% loss),");
  twoRuns.push_back("    Minimum = 7ms, Maximum = 9ms, Average = 8ms");

  const SummaryRow rows[] = {
      {"english", english, {0, 148, 152, 150}},
      {"a later summary overwrites", twoRuns, {25, 7, 9, 8}},
      {"all lost: no times line",
       {"Ping statistics for 10.77.1.9:", "    Packets: Sent = 4, Received = 0, Lost = 4 (100% loss),"},
       {-1, -1, -1, -1}},
      {"empty", {}, {-1, -1, -1, -1}},
      {"spanish",
       {"    Paquetes: enviados = 4, recibidos = 4, perdidos = 0", "    (0% perdidos),",
        "    M\xEDnimo = 1ms, M\xE1ximo = 2ms, Media = 1ms"},
       {-1, -1, -1, -1}},
      {"minimum without its end marker", {"    Minimum = 5 ms"}, {-1, 0, -1, -1}},
      {"loss without ( starting with a digit", {"  7% loss", "Average = 9ms"}, {7, -1, -1, 9}},
      {"loss without ( starting with a word", {"Lost 7% loss", "Average = 9ms"}, {0, -1, -1, 9}},
      {"digits stop at the first non-digit",
       {"(3x% loss)", "    Maximum = 12 and more ms, Ave", "Average = 4ms"},
       {3, -1, 12, 4}},
  };
  for (const SummaryRow& row : rows) {
    StringList lines;
    for (const auto& l : row.lines) lines.Add(l);
    TPingSummary s{7, 7, 7, 7};
    ParsePingSummary(lines, s);
    EXPECT_EQ(s.LossPercent, row.expected.LossPercent) << row.name;
    EXPECT_EQ(s.MinimumMs, row.expected.MinimumMs) << row.name;
    EXPECT_EQ(s.MaximumMs, row.expected.MaximumMs) << row.name;
    EXPECT_EQ(s.AverageMs, row.expected.AverageMs) << row.name;
  }
}

// ---- proxy settings --------------------------------------------------------

using namespace fakeregistry;

class ProxySettings : public testing::Test {
 protected:
  ScopedFakeRegistry registry_;
};

TEST_F(ProxySettings, ReadsTheThreeValuesOrFailsNamingTheValue) {
  struct Row {
    const char* name;
    std::map<std::string, FakeValue> values;
    std::set<std::string> unreadable;
    bool enabled;
    std::string server, override, error;
  } rows[] = {
      {"all set",
       {{"ProxyServer", Text("proxy.isp:8080")}, {"ProxyOverride", Text("<local>")}, {"ProxyEnable", Number(1)}},
       {},
       true,
       "proxy.isp:8080",
       "<local>",
       ""},
      {"switched off", {{"ProxyServer", Text("p:1")}, {"ProxyEnable", Number(0)}}, {}, false, "p:1", "", ""},
      {"expandable text counts as text",
       {{"ProxyServer", Text("p:2", REG_EXPAND_SZ)}, {"ProxyEnable", Number(7)}},
       {},
       true,
       "p:2",
       "",
       ""},
      {"nothing set at all: no proxy", {}, {}, false, "", "", ""},
      {"ProxyEnable missing: no proxy", {{"ProxyServer", Text("p:3")}}, {}, false, "p:3", "", ""},
      {"ProxyEnable of the wrong kind",
       {{"ProxyServer", Text("p:4")}, {"ProxyEnable", Text("1")}},
       {},
       false,
       "p:4",
       "",
       "Invalid data type for 'ProxyEnable'"},
      {"ProxyEnable stored as bytes",
       {{"ProxyEnable", {REG_BINARY, {1, 0, 0, 0}}}},
       {},
       false,
       "",
       "",
       "Invalid data type for 'ProxyEnable'"},
      {"ProxyServer of the wrong kind",
       {{"ProxyServer", Number(5)}},
       {},
       false,
       "kept",
       "kept",
       "Invalid data type for 'ProxyServer'"},
      {"ProxyOverride of the wrong kind",
       {{"ProxyServer", Text("p:5")}, {"ProxyOverride", Number(5)}},
       {},
       false,
       "p:5",
       "kept",
       "Invalid data type for 'ProxyOverride'"},
      {"ProxyEnable unreadable",
       {{"ProxyEnable", Number(1)}},
       {"ProxyEnable"},
       false,
       "",
       "",
       "Failed to get data for 'ProxyEnable'"},
  };
  for (const Row& row : rows) {
    FakeRegistry::Reset();
    FakeRegistry::values = row.values;
    FakeRegistry::unreadable = row.unreadable;
    TProxyItem p;
    p.Enabled = true;
    p.Server = p.Override = "kept";
    std::string error;
    try {
      ReadProxySettings(p);
    } catch (const ERegistryException& e) {
      error = e.what();
    }
    EXPECT_EQ(error, row.error) << row.name;
    EXPECT_EQ(p.Enabled, row.enabled) << row.name;
    EXPECT_EQ(p.Server, row.server) << row.name;
    EXPECT_EQ(p.Override, row.override) << row.name;
    EXPECT_EQ(FakeRegistry::opens, std::vector<REGSAM>{KEY_READ}) << row.name;
    EXPECT_EQ(FakeRegistry::closes, 1) << row.name << ": the key is closed on every path";
    EXPECT_TRUE(FakeRegistry::writes.empty()) << row.name;
  }
}

TEST_F(ProxySettings, MissingKeyMeansNoProxyAndTouchesNothing) {
  FakeRegistry::keyExists = false;
  TProxyItem p;
  p.Enabled = true;
  p.Server = "s";
  p.Override = "o";
  ReadProxySettings(p);
  EXPECT_FALSE(p.Enabled);
  EXPECT_EQ(p.Server, "s");
  EXPECT_EQ(p.Override, "o");
}

TEST_F(ProxySettings, WritesTheSwitchThenAnnouncesTheChange) {
  const std::vector<DWORD> announced = {INTERNET_OPTION_SETTINGS_CHANGED, INTERNET_OPTION_REFRESH};
  ASSERT_EQ(announced, (std::vector<DWORD>{39, 37}));

  // Switching off (what the proxy question does): only ProxyEnable = 0.
  WriteProxySettings("", false);
  ASSERT_EQ(FakeRegistry::writes.size(), 1u);
  EXPECT_EQ(FakeRegistry::writes[0].first, "ProxyEnable");
  EXPECT_EQ(FakeRegistry::writes[0].second.type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(FakeRegistry::writes[0].second.data, Number(0).data);
  EXPECT_EQ(FakeRegistry::opens, std::vector<REGSAM>{KEY_WRITE});
  EXPECT_EQ(FakeRegistry::closes, 1);
  EXPECT_EQ(FakeRegistry::options, announced);

  // Switching on also stores the server, as zero-terminated text.
  FakeRegistry::Reset();
  WriteProxySettings("proxy.isp:3128", true);
  ASSERT_EQ(FakeRegistry::writes.size(), 2u);
  EXPECT_EQ(FakeRegistry::writes[0].second.data, Number(1).data);
  EXPECT_EQ(FakeRegistry::writes[1].first, "ProxyServer");
  EXPECT_EQ(FakeRegistry::writes[1].second.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(FakeRegistry::writes[1].second.data, Text("proxy.isp:3128").data);
  EXPECT_EQ(FakeRegistry::options, announced);

  // No key to write to: nothing written is no success, and nothing changed
  // is announced.
  FakeRegistry::Reset();
  FakeRegistry::keyExists = false;
  try {
    WriteProxySettings("", false);
    ADD_FAILURE() << "no error";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to set data for 'ProxyEnable'");
  }
  EXPECT_TRUE(FakeRegistry::writes.empty());
  EXPECT_TRUE(FakeRegistry::options.empty());
}

TEST_F(ProxySettings, AFailedWriteNamesTheValueAndAnnouncesNothing) {
  const std::pair<const char*, bool> rows[] = {{"ProxyEnable", false}, {"ProxyServer", true}};
  for (const auto& row : rows) {
    FakeRegistry::Reset();
    FakeRegistry::unwritable = {row.first};
    try {
      WriteProxySettings("p:1", row.second);
      ADD_FAILURE() << row.first << " did not fail";
    } catch (const ERegistryException& e) {
      EXPECT_EQ(std::string(e.what()), std::string("Failed to set data for '") + row.first + "'");
    }
    EXPECT_TRUE(FakeRegistry::options.empty()) << row.first;
    EXPECT_EQ(FakeRegistry::closes, 1) << row.first;
  }
}

// ---- administrator check ----------------------------------------------------

std::vector<BYTE> MakeSid(BYTE authority, std::initializer_list<DWORD> subAuthorities) {
  std::vector<BYTE> sid(GetSidLengthRequired(static_cast<UCHAR>(subAuthorities.size())));
  SID_IDENTIFIER_AUTHORITY a = {{0, 0, 0, 0, 0, authority}};
  InitializeSid(sid.data(), &a, static_cast<BYTE>(subAuthorities.size()));
  DWORD i = 0;
  for (DWORD s : subAuthorities) *GetSidSubAuthority(sid.data(), i++) = s;
  return sid;
}

const HANDLE kThreadToken = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7071));
const HANDLE kProcessToken = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x7072));

struct FakeToken {
  static DWORD threadError;  // 0: the thread has a token of its own
  static bool processTokenOk;
  static bool infoFails;
  static std::vector<std::vector<BYTE>> groups;
  static std::vector<DWORD> attributes;  // per group; enabled when not given
  static std::vector<HANDLE> opened, closed;

  static BOOL WINAPI OpenThread(HANDLE thread, DWORD access, BOOL openAsSelf, PHANDLE token) {
    if (thread != GetCurrentThread() || access != TOKEN_QUERY || !openAsSelf) return FALSE;
    if (threadError) {
      SetLastError(threadError);
      return FALSE;
    }
    opened.push_back(*token = kThreadToken);
    return TRUE;
  }
  static BOOL WINAPI OpenProcess(HANDLE process, DWORD access, PHANDLE token) {
    if (process != GetCurrentProcess() || access != TOKEN_QUERY || !processTokenOk) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
    opened.push_back(*token = kProcessToken);
    return TRUE;
  }
  // Lays the group list out as the system does: the array, then the SIDs.
  static BOOL WINAPI Info(HANDLE token, TOKEN_INFORMATION_CLASS cls, LPVOID buffer, DWORD size, PDWORD needed) {
    if ((token != kThreadToken && token != kProcessToken) || cls != TokenGroups || infoFails) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return FALSE;
    }
    const size_t header = offsetof(TOKEN_GROUPS, Groups) + groups.size() * sizeof(SID_AND_ATTRIBUTES);
    size_t total = header;
    for (const auto& g : groups) total += g.size();
    *needed = static_cast<DWORD>(total);
    if (!buffer || size < total) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return FALSE;
    }
    auto* list = static_cast<TOKEN_GROUPS*>(buffer);
    list->GroupCount = static_cast<DWORD>(groups.size());
    BYTE* sids = static_cast<BYTE*>(buffer) + header;
    for (size_t i = 0; i < groups.size(); ++i) {
      memcpy(sids, groups[i].data(), groups[i].size());
      list->Groups[i].Sid = sids;
      list->Groups[i].Attributes =
          i < attributes.size() ? attributes[i] : SE_GROUP_ENABLED | SE_GROUP_ENABLED_BY_DEFAULT | SE_GROUP_MANDATORY;
      sids += groups[i].size();
    }
    return TRUE;
  }
  static BOOL WINAPI Close(HANDLE h) {
    closed.push_back(h);
    return TRUE;
  }
};
DWORD FakeToken::threadError;
bool FakeToken::processTokenOk;
bool FakeToken::infoFails;
std::vector<std::vector<BYTE>> FakeToken::groups;
std::vector<DWORD> FakeToken::attributes;
std::vector<HANDLE> FakeToken::opened, FakeToken::closed;

TEST(IsUserAdmin, FindsAdministratorsAnywhereInTheGroupList) {
  SysSwap s1(&SysApi::OpenThreadToken, &FakeToken::OpenThread);
  SysSwap s2(&SysApi::OpenProcessToken, &FakeToken::OpenProcess);
  SysSwap s3(&SysApi::GetTokenInformation, &FakeToken::Info);
  SysSwap s4(&SysApi::CloseHandle, &FakeToken::Close);

  const std::vector<BYTE> administrators = MakeSid(5, {32, 544});
  auto groupList = [&](int others, int adminAt) {
    std::vector<std::vector<BYTE>> list;
    for (int i = 0; i < others; ++i) list.push_back(MakeSid(5, {21, 1000u + static_cast<DWORD>(i), 513}));
    if (adminAt >= 0) list.insert(list.begin() + adminAt, administrators);
    return list;
  };
  // Users S-1-5-32-545 and a SID of another authority with the same numbers
  // must not be taken for Administrators.
  std::vector<std::vector<BYTE>> lookalikes = {MakeSid(5, {32, 545}), MakeSid(1, {32, 544})};

  struct Row {
    const char* name;
    DWORD threadError;
    bool processTokenOk, infoFails;
    std::vector<std::vector<BYTE>> groups;
    bool expected;
    HANDLE token;  // the one opened (and closed), or null
    std::vector<DWORD> attributes = {};
    bool heldBack = false;  // an administrator whose rights wait for the elevation prompt
  } rows[] = {
      {"2000 groups, Administrators last", ERROR_NO_TOKEN, true, false, groupList(1999, 1999), true, kProcessToken},
      {"2000 groups, no Administrators", ERROR_NO_TOKEN, true, false, groupList(2000, -1), false, kProcessToken},
      {"lookalike SIDs only", ERROR_NO_TOKEN, true, false, lookalikes, false, kProcessToken},
      {"impersonating thread's own token", 0, false, false, groupList(3, 0), true, kThreadToken},
      {"thread token refused otherwise", ERROR_ACCESS_DENIED, true, false, groupList(3, 0), false, nullptr},
      {"no process token", ERROR_NO_TOKEN, false, false, groupList(3, 0), false, nullptr},
      {"group list unreadable", ERROR_NO_TOKEN, true, true, groupList(3, 0), false, kProcessToken},
      // An administrator without elevation under user account control: the
      // group is there for deny checks only, and netsh would be refused.
      {"Administrators for deny only",
       ERROR_NO_TOKEN,
       true,
       false,
       groupList(3, 0),
       false,
       kProcessToken,
       {SE_GROUP_USE_FOR_DENY_ONLY},
       true},
      {"Administrators enabled after a deny-only entry",
       ERROR_NO_TOKEN,
       true,
       false,
       {administrators, MakeSid(5, {32, 545}), administrators},
       true,
       kProcessToken,
       {SE_GROUP_USE_FOR_DENY_ONLY, SE_GROUP_ENABLED, SE_GROUP_ENABLED | SE_GROUP_MANDATORY}},
  };
  for (const Row& row : rows) {
    FakeToken::threadError = row.threadError;
    FakeToken::processTokenOk = row.processTokenOk;
    FakeToken::infoFails = row.infoFails;
    FakeToken::groups = row.groups;
    FakeToken::attributes = row.attributes;
    FakeToken::opened.clear();
    FakeToken::closed.clear();
    EXPECT_EQ(IsUserAdmin(), row.expected) << row.name;
    const std::vector<HANDLE> tokens = row.token ? std::vector<HANDLE>{row.token} : std::vector<HANDLE>{};
    EXPECT_EQ(FakeToken::opened, tokens) << row.name;
    EXPECT_EQ(FakeToken::closed, tokens) << row.name;
    EXPECT_EQ(IsAdminHeldBack(), row.heldBack) << row.name;
  }
}

struct ElevationRow {
  const char* name;
  bool known;  // the system knows elevation (user account control)
  DWORD elevated;
  bool expected;
};
const ElevationRow* currentElevation;

BOOL WINAPI FakeElevationInfo(HANDLE, TOKEN_INFORMATION_CLASS cls, LPVOID buffer, DWORD size, PDWORD needed) {
  if (cls != TokenElevation || !currentElevation->known || size < sizeof(TOKEN_ELEVATION)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  static_cast<TOKEN_ELEVATION*>(buffer)->TokenIsElevated = currentElevation->elevated;
  *needed = sizeof(TOKEN_ELEVATION);
  return TRUE;
}

TEST(NeedsElevation, AsksOnlyWhereTheSystemHoldsElevationBack) {
  const ElevationRow rows[] = {
      {"not elevated", true, 0, true},
      {"elevated", true, 1, false},
      {"a system before user account control", false, 0, false},
  };
  SysSwap info(&SysApi::GetTokenInformation, &FakeElevationInfo);
  for (const ElevationRow& row : rows) {
    currentElevation = &row;
    EXPECT_EQ(NeedsElevation(), row.expected) << row.name;
  }
}

}  // namespace

namespace {

std::wstring TestFolder(const wchar_t* name) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + name + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

std::string FileText(const std::wstring& path) {
  HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return "<none>";
  std::string text(1 << 16, '\0');
  DWORD got = 0;
  ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
  CloseHandle(h);
  return text.substr(0, got);
}

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (h == INVALID_HANDLE_VALUE) return names;
  do
    if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
  while (FindNextFileW(h, &found));
  FindClose(h);
  return names;
}

BOOL WINAPI FailingWrite(HANDLE, LPCVOID, DWORD, LPDWORD wrote, LPOVERLAPPED) {
  *wrote = 0;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}
BOOL WINAPI FailingMove(LPCWSTR, LPCWSTR, DWORD) {
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}
HANDLE WINAPI FailingCreate(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) {
  SetLastError(ERROR_ACCESS_DENIED);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

TEST(WriteTextFile, AWriteThatFailsLeavesTheEarlierFileAsItWas) {
  // A folder named in characters no ANSI code page holds all of.
  const std::wstring folder = TestFolder(L"velnor-\u041e\u0442\u0447\u0451\u0442-\u0645-");
  const std::wstring path = folder + L"\\report.txt";
  ASSERT_EQ(WriteTextFile(path, "earlier\r\n"), "");
  EXPECT_EQ(FileText(path), "earlier\r\n");

  struct Row {
    const char* name;
    std::function<std::unique_ptr<SysSwap>()> fault;
  } rows[] = {
      {"the file beside cannot be made",
       [] { return std::make_unique<SysSwap>(&SysApi::CreateFileW, &FailingCreate); }},
      {"the disk is full", [] { return std::make_unique<SysSwap>(&SysApi::WriteFile, &FailingWrite); }},
      {"the name cannot be taken", [] { return std::make_unique<SysSwap>(&SysApi::MoveFileExW, &FailingMove); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    {
      const auto fault = row.fault();
      EXPECT_NE(WriteTextFile(path, std::string(100000, 'x')), "");
    }
    EXPECT_EQ(FileText(path), "earlier\r\n");
    EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"report.txt"}) << "nothing left beside it";
  }

  // And a write that succeeds replaces it.
  EXPECT_EQ(WriteTextFile(path, "later\r\n"), "");
  EXPECT_EQ(FileText(path), "later\r\n");
  EXPECT_EQ(FilesIn(folder), std::vector<std::wstring>{L"report.txt"});
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

namespace {
int fakeReads = 0;
BOOL WINAPI ReadWithZeroBytes(HANDLE, LPVOID buffer, DWORD, LPDWORD got, LPOVERLAPPED) {
  static const char bytes[] = "a\0b\r\nafter\0 the zero\r\n";
  if (fakeReads++ > 0) {
    *got = 0;
    return FALSE;
  }
  memcpy(buffer, bytes, sizeof bytes - 1);
  *got = sizeof bytes - 1;
  return TRUE;
}
}  // namespace

TEST(CaptureCommandOutput, AZeroByteIsNotTheEndOfTheOutput) {
  fakeReads = 0;
  SysSwap read(&SysApi::ReadFile, &ReadWithZeroBytes);
  EXPECT_EQ(CaptureCommandOutput("exit 0", "", 10000), "ab\r\nafter the zero\r\n");
}
