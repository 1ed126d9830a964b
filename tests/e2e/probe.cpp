// A console helper for the end-to-end tests. It runs under Wine beside the
// program and reads or drives its windows through the standard controls:
//
//   probe wait <title> <ms>          wait until a visible top-level window has that title
//   probe gone <title> <ms>          wait until no window has that title
//   probe count <title>              number of top-level windows with that title
//   probe text <component>           WM_GETTEXT of the control with that component name
//   probe items <component>          the list box's items, one a line
//   probe toplevel-text <class>      title of the first visible top-level window of a class
//   probe dialog-text                text of every static in every message box (#32770)
//   probe dialog-ok                  presses OK in every message box
//   probe key <title> <vk>           posts a key down and up to that window
//   probe click <component> <x> <y> [<count> <ms>]
//                                    posts a left click at a point of that panel (count times, ms apart)
//   probe close <title>              posts WM_CLOSE
//   probe endsession <title>         sends WM_QUERYENDSESSION, then WM_ENDSESSION (the session ends)
//   probe rect <title>               left top right bottom of the window
//   probe enabled <component>        1 when the window is enabled, else 0
//   probe visible <component>        1 when the window is visible, else 0
//   probe loadlib <dll>              LoadLibraryA(dll) the ordinary way (control for planting tests)
//   probe hwnd <title>               the window handle, in hexadecimal
//   probe clipboard                  the text on the clipboard
//   probe click-closes <component> <x> <y> <title>
//                                    clicks like "click", then prints the milliseconds until the
//                                    window with that title was hidden and until it was gone
//   probe settext <component> <text> WM_SETTEXT: marks a control, so a wait can see it change
//   probe modules <title>            the modules of the window's process, one path a line,
//                                    its exe first
//   probe has-export <dll> <function> 1 when the system's library exports the function, else 0
//   probe file-version <file>        the file version of a file's version resource (a.b.c.d)
//   probe is-admin                   1 when this process's token has the Administrators group
//                                    enabled (the platform's own check), else 0
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kNameProp[] = "VelnorComponent";

std::string Text(HWND h) {
  const LRESULT n = SendMessageA(h, WM_GETTEXTLENGTH, 0, 0);
  std::string s(static_cast<size_t>(n) + 1, '\0');
  const LRESULT got = SendMessageA(h, WM_GETTEXT, n + 1, reinterpret_cast<LPARAM>(&s[0]));
  s.resize(static_cast<size_t>(got));
  return s;
}

std::string ClassOf(HWND h) {
  char cls[128] = {};
  GetClassNameA(h, cls, sizeof(cls));
  return cls;
}

std::string ComponentName(HWND h) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<INT_PTR>(GetPropA(h, kNameProp)));
  if (!atom) return "";
  char name[256] = {};
  GlobalGetAtomNameA(atom, name, sizeof(name));
  return name;
}

// A window callback: a plain function, since the 32-bit system calls it
// with its own calling convention, which a lambda does not have.
BOOL CALLBACK Collect(HWND h, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(h);
  return TRUE;
}

std::vector<HWND> TopLevel() {
  std::vector<HWND> all;
  EnumWindows(Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

std::vector<HWND> Descendants(HWND parent) {
  std::vector<HWND> all;
  EnumChildWindows(parent, Collect, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND ByTitle(const std::string& title) {
  for (HWND h : TopLevel())
    if (Text(h) == title) return h;
  return nullptr;
}

HWND ByComponent(const std::string& name) {
  for (HWND top : TopLevel()) {
    if (ComponentName(top) == name) return top;
    for (HWND h : Descendants(top))
      if (ComponentName(h) == name) return h;
  }
  return nullptr;
}

// The full paths of a process's modules, its exe first; empty when the
// process cannot be read. Taken from kernel32 (Windows 7 and later), so
// the probe itself loads no process-status library a test may plant.
std::vector<std::string> ModulesOf(DWORD pid) {
  using EnumModules = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD);
  using ModuleName = DWORD(WINAPI*)(HANDLE, HMODULE, LPSTR, DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  const auto enumModules =
      reinterpret_cast<EnumModules>(reinterpret_cast<void*>(GetProcAddress(kernel, "K32EnumProcessModules")));
  const auto moduleName =
      reinterpret_cast<ModuleName>(reinterpret_cast<void*>(GetProcAddress(kernel, "K32GetModuleFileNameExA")));
  std::vector<std::string> paths;
  if (!enumModules || !moduleName) return paths;
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
  if (!process) return paths;
  std::vector<HMODULE> modules(1024);
  DWORD needed = 0;
  if (enumModules(process, modules.data(), static_cast<DWORD>(modules.size() * sizeof(HMODULE)), &needed)) {
    modules.resize(std::min<size_t>(needed / sizeof(HMODULE), modules.size()));
    for (HMODULE m : modules) {
      char path[MAX_PATH] = {};
      if (moduleName(process, m, path, MAX_PATH)) paths.push_back(path);
    }
  }
  CloseHandle(process);
  return paths;
}

int Fail(const char* what) {
  fprintf(stderr, "probe: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Fail("usage: see the comment at the top of probe.cpp");
  const std::string cmd = argv[1];
  auto arg = [&](int i) { return i < argc ? std::string(argv[i]) : std::string(); };

  if (cmd == "wait" || cmd == "gone") {
    const DWORD limit = static_cast<DWORD>(atoi(arg(3).c_str()));
    const DWORD start = GetTickCount();
    for (;;) {
      HWND h = ByTitle(arg(2));
      const bool present = h && IsWindowVisible(h);
      if (cmd == "wait" && present) return 0;
      if (cmd == "gone" && !h) return 0;
      if (GetTickCount() - start > limit) return Fail("timed out");
      Sleep(100);
    }
  }
  if (cmd == "count") {
    int n = 0;
    for (HWND h : TopLevel())
      if (Text(h) == arg(2)) ++n;
    printf("%d\n", n);
    return 0;
  }
  if (cmd == "hwnd") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    printf("%p\n", static_cast<void*>(h));
    return 0;
  }
  if (cmd == "text") {
    HWND h = ByComponent(arg(2));
    if (!h) return Fail("no such component");
    fwrite(Text(h).data(), 1, Text(h).size(), stdout);
    return 0;
  }
  if (cmd == "items") {
    HWND h = ByComponent(arg(2));
    if (!h) return Fail("no such component");
    const LRESULT n = SendMessageA(h, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i) {
      // Wide, then converted: Wine hands a list box's text across
      // processes as UTF-16 whatever the caller asked for.
      const LRESULT len = SendMessageW(h, LB_GETTEXTLEN, i, 0);
      if (len < 0) continue;
      std::vector<wchar_t> wide(static_cast<size_t>(len) + 1, L'\0');
      SendMessageW(h, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide.data()));
      char text[4096] = {};
      WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, text, sizeof(text) - 1, nullptr, nullptr);
      printf("%s\n", text);
    }
    return 0;
  }
  if (cmd == "toplevel-text") {
    for (HWND h : TopLevel())
      if (ClassOf(h) == arg(2) && IsWindowVisible(h)) {
        printf("%s\n", Text(h).c_str());
        return 0;
      }
    return Fail("no such window");
  }
  if (cmd == "dialog-text" || cmd == "dialog-ok") {
    int found = 0;
    for (HWND h : TopLevel()) {
      if (ClassOf(h) != "#32770" || !IsWindowVisible(h)) continue;
      ++found;
      if (cmd == "dialog-ok") {
        PostMessageA(h, WM_COMMAND, IDOK, 0);
        continue;
      }
      for (HWND c : Descendants(h))
        if (ClassOf(c) == "Static" && !Text(c).empty()) printf("%s\n", Text(c).c_str());
    }
    return found ? 0 : Fail("no message box");
  }
  if (cmd == "key") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    const WPARAM vk = static_cast<WPARAM>(strtol(arg(3).c_str(), nullptr, 0));
    PostMessageA(h, WM_KEYDOWN, vk, 1);
    PostMessageA(h, WM_KEYUP, vk, 0xC0000001);
    return 0;
  }
  if (cmd == "click") {
    HWND h = ByComponent(arg(2));
    if (!h) return Fail("no such component");
    const LPARAM at = MAKELPARAM(atoi(arg(3).c_str()), atoi(arg(4).c_str()));
    const int count = argc > 5 ? atoi(arg(5).c_str()) : 1;
    const DWORD pause = argc > 6 ? static_cast<DWORD>(atoi(arg(6).c_str())) : 0;
    for (int i = 0; i < count; ++i) {
      if (i > 0) Sleep(pause);
      PostMessageA(h, WM_MOUSEMOVE, 0, at);
      PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
      PostMessageA(h, WM_LBUTTONUP, 0, at);
    }
    return 0;
  }
  if (cmd == "click-closes") {
    HWND h = ByComponent(arg(2));
    HWND window = ByTitle(arg(5));
    if (!h || !window) return Fail("no such component or window");
    const LPARAM at = MAKELPARAM(atoi(arg(3).c_str()), atoi(arg(4).c_str()));
    const DWORD start = GetTickCount();
    PostMessageA(h, WM_MOUSEMOVE, 0, at);
    PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(h, WM_LBUTTONUP, 0, at);
    DWORD hidden = 0;
    for (;;) {
      const DWORD now = GetTickCount() - start;
      const bool exists = IsWindow(window) != FALSE;
      if (!hidden && (!exists || !IsWindowVisible(window))) hidden = now ? now : 1;
      if (!exists) {
        printf("%lu %lu\n", static_cast<unsigned long>(hidden), static_cast<unsigned long>(now));
        return 0;
      }
      if (now > 60000) return Fail("the window stayed");
      Sleep(5);
    }
  }
  if (cmd == "clipboard") {
    if (!OpenClipboard(nullptr)) return Fail("clipboard busy");
    HANDLE data = GetClipboardData(CF_TEXT);
    const char* text = data ? static_cast<const char*>(GlobalLock(data)) : nullptr;
    if (text) fwrite(text, 1, strlen(text), stdout);
    if (data) GlobalUnlock(data);
    CloseClipboard();
    return text ? 0 : Fail("no text on the clipboard");
  }
  if (cmd == "close") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    PostMessageA(h, WM_CLOSE, 0, 0);
    return 0;
  }
  if (cmd == "endsession") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    // As Windows does at log-off: the window may say no, then learns the end.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(h, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    SendMessageTimeoutA(h, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 5000, &answer);
    return 0;
  }
  if (cmd == "rect") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    RECT r{};
    GetWindowRect(h, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right, r.bottom);
    return 0;
  }
  if (cmd == "enabled" || cmd == "visible") {
    HWND h = ByComponent(arg(2));
    if (!h) return Fail("no such component");
    printf("%d\n", cmd == "enabled" ? (IsWindowEnabled(h) ? 1 : 0) : (IsWindowVisible(h) ? 1 : 0));
    return 0;
  }
  if (cmd == "settext") {
    HWND h = ByComponent(arg(2));
    if (!h) return Fail("no such component");
    SendMessageA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(arg(3).c_str()));
    return 0;
  }
  if (cmd == "modules") {
    HWND h = ByTitle(arg(2));
    if (!h) return Fail("no such window");
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    const std::vector<std::string> paths = ModulesOf(pid);
    if (paths.empty()) return Fail("the window's process cannot be read");
    for (const std::string& p : paths) printf("%s\n", p.c_str());
    return 0;
  }
  if (cmd == "has-export") {
    char path[MAX_PATH] = {};
    GetSystemDirectoryA(path, MAX_PATH);
    const std::string full = std::string(path) + "\\" + arg(2);
    HMODULE m = LoadLibraryExA(full.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!m) return Fail("the library cannot be loaded");
    printf("%d\n", GetProcAddress(m, arg(3).c_str()) ? 1 : 0);
    return 0;
  }
  if (cmd == "file-version") {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(arg(2).c_str(), &ignored);
    std::vector<char> data(size ? size : 1);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!size || !GetFileVersionInfoA(arg(2).c_str(), 0, size, data.data()) ||
        !VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed)
      return Fail("no version resource");
    printf("%lu.%lu.%lu.%lu\n", static_cast<unsigned long>(HIWORD(fixed->dwFileVersionMS)),
           static_cast<unsigned long>(LOWORD(fixed->dwFileVersionMS)),
           static_cast<unsigned long>(HIWORD(fixed->dwFileVersionLS)),
           static_cast<unsigned long>(LOWORD(fixed->dwFileVersionLS)));
    return 0;
  }
  if (cmd == "is-admin") {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    BOOL member = FALSE;
    if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
      return Fail("no SID");
    const BOOL ok = CheckTokenMembership(nullptr, administrators, &member);
    FreeSid(administrators);
    if (!ok) return Fail("CheckTokenMembership failed");
    printf("%d\n", member ? 1 : 0);
    return 0;
  }
  if (cmd == "loadlib") {
    HMODULE m = LoadLibraryA(arg(2).c_str());
    char path[MAX_PATH] = {};
    if (m) GetModuleFileNameA(m, path, MAX_PATH);
    printf("%s\n", m ? path : "(not loaded)");
    return m ? 0 : 1;
  }
  return Fail("unknown command");
}
