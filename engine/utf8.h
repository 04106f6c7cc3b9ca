#pragma once

#include <cstddef>
#include <cstdint>

// Decodes `count` bytes of UTF-8 to UTF-16, a surrogate pair for each code point above U+FFFF.
// Each maximal malformed subpart (Unicode's recommended practice: an invalid byte, or the longest
// start of a valid sequence that is cut short) becomes one U+FFFD. A zero byte is a zero unit.
// With `out` null only counts; otherwise writes at most `room` units, and tells the generation
// observer, if one is set, the offset of each U+FFFD (NoteReplacement). Returns the units.
std::int32_t DecodeUtf8(const unsigned char* bytes, std::int32_t count, char16_t* out,
                        std::int32_t room);

// Encodes `count` UTF-16 units as UTF-8, an unpaired surrogate as U+FFFD. Writes at most `room`
// bytes to `out` (which may be null with `room` 0) and returns the bytes the whole text needs.
std::size_t EncodeUtf8(const char16_t* text, std::size_t count, char* out, std::size_t room);
