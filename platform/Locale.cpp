#include "platform/Locale.h"

#include <windows.h>

#include <string>

#include "text/Format.h"

namespace {

bool UserDecimalSeparator(std::string& separator) {
  char text[8] = {};
  if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, text, sizeof(text)) <= 0) return false;
  separator = text;
  return true;
}

}  // namespace

void UseUserLocaleInText() { SetDecimalSeparatorSource(&UserDecimalSeparator); }

std::string WideToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int wide = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), wide, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text.data(), wide, &out[0], n, nullptr, nullptr);
  return out;
}
