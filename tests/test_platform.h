#pragma once

// What the tests need to know of the platform they run on. One source file per OS.

// The unit that the ANSI conversion puts in place of bytes it cannot decode: U+FFFD off
// Windows, the code page's default character on Windows.
char16_t AnsiReplacementUnit();

// A device that can be opened by name but is no regular file.
extern const char kNullDevice[];
