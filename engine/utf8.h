#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Decodes `count` bytes of UTF-8 to UTF-16, a surrogate pair for each code point above U+FFFF.
// Each maximal malformed subpart (Unicode's recommended practice: an invalid byte, or the longest
// start of a valid sequence that is cut short) becomes one U+FFFD. A zero byte is a zero unit.
// With `out` null only counts; otherwise writes at most `room` units, and tells the generation
// observer, if one is set, the offset of each U+FFFD (NoteReplacement). Returns the units.
std::int32_t DecodeUtf8(const unsigned char* bytes, std::int32_t count, char16_t* out,
                        std::int32_t room);

// Decodes `count` bytes of UTF-8 that are well-formed by the standard's rules into `out`, which
// has room for `count` units (no more can come out), as DecodeUtf8 decodes them. Returns the
// units, or -1 as soon as a sequence is not well-formed; what was written is then of no use.
// It never writes U+FFFD for malformed input, so it has nothing to tell an observer.
std::int32_t DecodeWellFormedUtf8(const unsigned char* bytes, std::int32_t count, char16_t* out);

// Encodes `count` UTF-16 units as UTF-8, an unpaired surrogate as U+FFFD. Writes at most `room`
// bytes to `out` (which may be null with `room` 0) and returns the bytes the whole text needs.
std::size_t EncodeUtf8(const char16_t* text, std::size_t count, char* out, std::size_t room);

// Eight bytes as one number, the first byte lowest, so that the decoders take runs of 7-bit bytes
// a word at a time.
inline std::uint64_t LoadEightBytes(const unsigned char* bytes) {
  std::uint64_t eight;
  std::memcpy(&eight, bytes, sizeof eight);
  if constexpr (std::endian::native == std::endian::big) eight = __builtin_bswap64(eight);
  return eight;
}

// How many of the eight bytes of LoadEightBytes are 7-bit before the first that is not.
inline int LeadingAsciiBytes(std::uint64_t eight) {
  const std::uint64_t high = eight & 0x8080808080808080u;
  return high == 0 ? 8 : std::countr_zero(high) / 8;
}

// True when the eight bytes of LoadEightBytes begin with a lead byte E0..EF and two bytes
// 80..BF: the shape of a 3-byte sequence, which most Chinese text is made of.
inline bool StartsWithThreeByteShape(std::uint64_t eight) {
  return (eight & 0xC0C0F0) == 0x8080E0;
}

// The unit of a 3-byte sequence in the lowest three bytes of `bytes`, whose shape is checked.
inline char16_t ThreeByteUnit(std::uint64_t bytes) {
  return static_cast<char16_t>((bytes & 0x0F) << 12 | (bytes >> 2 & 0x0FC0) | (bytes >> 16 & 0x3F));
}

// False for what a 3-byte sequence must not encode: an overlong form or a surrogate.
inline bool IsThreeByteUnit(char16_t unit) {
  return unit >= 0x800 && (unit < 0xD800 || unit > 0xDFFF);
}
