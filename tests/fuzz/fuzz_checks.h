#pragma once

#include <cstddef>
#include <cstdlib>

// Checks shared by the harnesses. A failed check aborts, which libFuzzer reports as a finding
// and keeps the input that caused it.

inline void Require(bool holds) {
  if (!holds) std::abort();
}

// Well-formed by the Unicode standard: shortest forms, no surrogates, nothing above U+10FFFF.
inline bool IsWellFormedUtf8(const unsigned char* bytes, std::size_t count) {
  std::size_t i = 0;
  while (i < count) {
    const unsigned char b = bytes[i];
    std::size_t trail;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b >= 0xC2 && b <= 0xDF) {
      trail = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
      trail = 2;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      trail = 3;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t t = 1; t <= trail; ++t) {
      if (i + t >= count || bytes[i + t] < low || bytes[i + t] > high) return false;
      low = 0x80;
      high = 0xBF;
    }
    i += trail + 1;
  }
  return true;
}
