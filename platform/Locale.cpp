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
