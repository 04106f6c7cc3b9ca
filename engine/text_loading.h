#pragma once

#include <cstdint>

// A table file decoded to UTF-16.
//
// `text` holds `length` code units followed by one zero unit, or is null when nothing was
// loaded. The text may hold zero units before its end; every reader stops at the first one.
// Whoever holds a LoadedText releases it with ReleaseLoadedText whenever `text` is non-null,
// also for an empty text, and never by looking at `length`.
struct LoadedText {
  char16_t* text = nullptr;
  std::int32_t length = 0;
};

// Results of LoadTextFile and DecodeText.
constexpr int kLoadOk = 0;
constexpr int kLoadCannotOpen = 1;
constexpr int kLoadNoMemory = 2;

// Reads the file named by the zero-terminated UTF-16 `path` whole and decodes it into `out`.
// Returns kLoadOk; kLoadCannotOpen when the file cannot be opened for reading or is not a
// regular file; or kLoadNoMemory when its bytes or its text do not fit in memory, its size
// cannot be taken, or it holds 2 GiB or more. `out` is always written: on any result but
// kLoadOk it holds a null text and length 0. A short read decodes only the bytes delivered.
int LoadTextFile(const char16_t* path, LoadedText* out);

// Decodes `count` bytes (0 or more) into `out`, reading nothing beyond them. The encoding comes
// from the data alone: a byte-order mark (EF BB BF, FF FE, FE FF, tested in this order, and
// never part of the text), else UTF-8 when IsUtf8Text says so, else the ANSI code page.
// Malformed input never fails; it becomes U+FFFD. Returns kLoadOk, or kLoadNoMemory with a
// null text when there is no memory for the text.
int DecodeText(const unsigned char* bytes, std::int32_t count, LoadedText* out);

// True when the `count` bytes hold at least one multi-byte sequence and every sequence has the
// shape that its first byte announces (lead bytes C0 to FF, continuation bytes 80 to BF).
// Overlong forms, encoded surrogates and 5- to 8-byte forms pass; empty and 7-bit data do not.
bool IsUtf8Text(const unsigned char* bytes, std::int32_t count);

// Releases the text of `text`, if any, and leaves it null with length 0.
void ReleaseLoadedText(LoadedText* text);
