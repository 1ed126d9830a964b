// The current user's Internet settings key, held in memory: tests read and
// switch the proxy without touching the registry of the machine they run on.
#pragma once

#include <windows.h>
#include <wininet.h>

#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/Sys.h"

namespace fakeregistry {

inline const char kProxyKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
inline const HKEY kFakeKey = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x4242));

struct FakeValue {
  DWORD type;
  std::vector<BYTE> data;
};

inline FakeValue Text(const std::string& s, DWORD type = REG_SZ) {
  return {type, std::vector<BYTE>(s.c_str(), s.c_str() + s.size() + 1)};
}
inline FakeValue Number(DWORD v) {
  const auto* p = reinterpret_cast<const BYTE*>(&v);
  return {REG_DWORD, std::vector<BYTE>(p, p + sizeof v)};
}

struct FakeRegistry {
  static inline bool keyExists = true;
  static inline std::map<std::string, FakeValue> values;
  static inline std::set<std::string> unreadable;  // queries fail with access denied
  static inline std::set<std::string> unwritable;
  static inline std::vector<REGSAM> opens;
  static inline int closes = 0;
  static inline std::vector<std::pair<std::string, FakeValue>> writes;
  static inline std::vector<DWORD> options;

  static void Reset() {
    keyExists = true;
    values.clear();
    unreadable.clear();
    unwritable.clear();
    opens.clear();
    closes = 0;
    writes.clear();
    options.clear();
  }

  static LONG WINAPI Open(HKEY root, LPCSTR sub, DWORD, REGSAM sam, PHKEY out) {
    if (root != HKEY_CURRENT_USER || std::string(sub) != kProxyKey || !keyExists) return ERROR_FILE_NOT_FOUND;
    opens.push_back(sam);
    *out = kFakeKey;
    return ERROR_SUCCESS;
  }
  static LONG WINAPI Close(HKEY key) {
    if (key == kFakeKey) ++closes;
    return ERROR_SUCCESS;
  }
  static LONG WINAPI Query(HKEY key, LPCSTR name, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD size) {
    if (key != kFakeKey) return ERROR_INVALID_HANDLE;
    if (unreadable.count(name)) return ERROR_ACCESS_DENIED;
    auto it = values.find(name);
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    const FakeValue& v = it->second;
    if (type) *type = v.type;
    const DWORD needed = static_cast<DWORD>(v.data.size());
    if (data && *size < needed) {
      *size = needed;
      return ERROR_MORE_DATA;
    }
    if (data) memcpy(data, v.data.data(), needed);
    *size = needed;
    return ERROR_SUCCESS;
  }
  static LONG WINAPI Set(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
    if (key != kFakeKey) return ERROR_INVALID_HANDLE;
    if (unwritable.count(name)) return ERROR_ACCESS_DENIED;
    writes.push_back({name, {type, std::vector<BYTE>(data, data + size)}});
    values[name] = writes.back().second;
    return ERROR_SUCCESS;
  }
  static BOOL WINAPI SetOption(HINTERNET handle, DWORD option, LPVOID buffer, DWORD length) {
    if (handle || buffer || length) return FALSE;
    options.push_back(option);
    return TRUE;
  }
};

// Puts the fake in place of the registry and WinInet calls for its lifetime.
class ScopedFakeRegistry {
 public:
  ScopedFakeRegistry() { FakeRegistry::Reset(); }

 private:
  SysSwap open_{&SysApi::RegOpenKeyExA, &FakeRegistry::Open};
  SysSwap close_{&SysApi::RegCloseKey, &FakeRegistry::Close};
  SysSwap query_{&SysApi::RegQueryValueExA, &FakeRegistry::Query};
  SysSwap set_{&SysApi::RegSetValueExA, &FakeRegistry::Set};
  SysSwap option_{&SysApi::InternetSetOptionA, &FakeRegistry::SetOption};
};

}  // namespace fakeregistry
