#include "test_platform.h"

char16_t AnsiReplacementUnit() {
  return 0xFFFD;
}

const char kNullDevice[] = "/dev/null";
