#pragma once

#include <cstdint>

// The conversion of Windows' MultiByteToWideChar with flags 0, for the code pages that the
// engine uses. One source file per operating system.
constexpr std::uint32_t kCodePageAnsi = 0;      // the system's ANSI code page (CP936 off Windows)
constexpr std::uint32_t kCodePageGbk = 936;     // GBK, as Windows maps it
constexpr std::uint32_t kCodePageUtf8 = 65001;  // UTF-8

// Converts `count` bytes of `codePage` into UTF-16. With `room` 0 it only counts the units that
// the conversion yields; otherwise it also writes at most `room` of them to `out`. Returns the
// units the conversion yields, the same in both modes, and 0 for empty input. It reads nothing
// beyond `count`, turns a zero byte into a zero unit and never fails: malformed input yields
// U+FFFD and the conversion goes on after it. A conversion that writes tells the generation
// observer, if one is set, the offset of each U+FFFD that it writes for malformed input.
std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room);
