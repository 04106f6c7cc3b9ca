#pragma once

#include <cstddef>
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

// The encodings of table files. kAuto is no encoding but the choice to detect one.
enum class TextEncoding { kAuto, kUtf8, kUtf16Le, kUtf16Be, kAnsi, kGbk };

// The byte-order marks, tested in this order: EF BB BF, FF FE, FE FF.
enum class ByteOrderMark { kNone, kUtf8, kUtf16Le, kUtf16Be };

// How a table's bytes were decoded.
struct TextDecoding {
  TextEncoding encoding = TextEncoding::kAuto;  // never kAuto once chosen
  bool forced = false;                          // chosen by the caller, not detected
  std::int32_t bytes = 0;                       // the bytes decoded, a mark included
  ByteOrderMark mark = ByteOrderMark::kNone;    // the mark that the bytes begin with
  bool markKept = false;  // the mark is not the forced encoding's and was decoded as data
};

// Tells LoadTextFile how to decode the file named `path`: TextEncoding::kAuto to detect the
// encoding, or the encoding to force.
using EncodingChooser = TextEncoding (*)(const char16_t* path, void* context);

// While a chooser is set, LoadTextFile asks it for every file; null removes it. Process-wide.
void SetEncodingChooser(EncodingChooser chooser, void* context);

// Reads the file named by the zero-terminated UTF-16 `path` whole and decodes it into `out`.
// Returns kLoadOk; kLoadCannotOpen when the file cannot be opened for reading or is not a
// regular file; or kLoadNoMemory when its bytes or its text do not fit in memory, its size
// cannot be taken, or it holds 2 GiB or more. `out` is always written: on any result but
// kLoadOk it holds a null text and length 0. A short read decodes only the bytes delivered.
// The encoding is detected as DecodeText detects it, unless an EncodingChooser forces one.
int LoadTextFile(const char16_t* path, LoadedText* out);

// Where LoadTextFileInto reads a file's bytes. A caller that loads several files in a row keeps
// one for all of them: a load whose bytes fit reuses the memory of the one before, whose pages
// the system need not clear again. Whoever holds one releases it with ReleaseReadBuffer.
struct ReadBuffer {
  unsigned char* bytes = nullptr;
  std::size_t size = 0;  // the bytes that `bytes` holds
};

// LoadTextFile, reading the file into `buffer`, which keeps the bytes afterwards. A file that
// does not fit replaces the buffer by a larger one; when there is no memory for that, the buffer
// is left empty and the result is kLoadNoMemory.
int LoadTextFileInto(const char16_t* path, ReadBuffer* buffer, LoadedText* out);

// Releases the bytes of `buffer`, if any, and leaves it empty.
void ReleaseReadBuffer(ReadBuffer* buffer);

// Decodes `count` bytes (0 or more) into `out`, reading nothing beyond them. The encoding comes
// from the data alone: a byte-order mark (EF BB BF, FF FE, FE FF, tested in this order, and
// never part of the text), else UTF-8 when IsUtf8Text says so, else the ANSI code page.
// Malformed input never fails; it becomes U+FFFD. Returns kLoadOk, or kLoadNoMemory with a
// null text when there is no memory for the text.
int DecodeText(const unsigned char* bytes, std::int32_t count, LoadedText* out);

// DecodeText with the encoding given: kAuto detects it as DecodeText does; any other skips the
// detection. A forced encoding still drops its own byte-order mark (EF BB BF for kUtf8, FF FE
// for kUtf16Le, FE FF for kUtf16Be); any other mark is decoded as data. kAnsi is the system's
// ANSI code page, kGbk code page 936 whatever the system's.
int DecodeTextAs(const unsigned char* bytes, std::int32_t count, TextEncoding encoding,
                 LoadedText* out);

// True when the `count` bytes hold at least one multi-byte sequence and every sequence has the
// shape that its first byte announces (lead bytes C0 to FF, continuation bytes 80 to BF).
// Overlong forms, encoded surrogates and 5- to 8-byte forms pass; empty and 7-bit data do not.
bool IsUtf8Text(const unsigned char* bytes, std::int32_t count);

// Releases the text of `text`, if any, and leaves it null with length 0.
void ReleaseLoadedText(LoadedText* text);
