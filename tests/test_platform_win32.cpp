#include <windows.h>

#include "test_platform.h"

char16_t AnsiReplacementUnit() {
  CPINFOEXW info;
  if (!GetCPInfoExW(CP_ACP, 0, &info)) return 0;
  return static_cast<char16_t>(info.UnicodeDefaultChar);
}

const char kNullDevice[] = "NUL";
