#include "utf8.h"

#include "generation_observer.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Puts one code point as one or two units, counting them whether or not there is room.
inline void PutCodePoint(char32_t c, char16_t* out, std::int32_t room, std::int32_t* n) {
  if (c < 0x10000) {
    if (out != nullptr && *n < room) out[*n] = static_cast<char16_t>(c);
    ++*n;
    return;
  }
  c -= 0x10000;
  if (out != nullptr && *n < room) out[*n] = static_cast<char16_t>(0xD800 + (c >> 10));
  ++*n;
  if (out != nullptr && *n < room) out[*n] = static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  ++*n;
}

// The range allowed for the second byte of a sequence led by `lead`; later bytes take 80..BF.
inline void SecondByteRange(unsigned char lead, unsigned char* low, unsigned char* high) {
  *low = 0x80;
  *high = 0xBF;
  if (lead == 0xE0) *low = 0xA0;
  if (lead == 0xED) *high = 0x9F;
  if (lead == 0xF0) *low = 0x90;
  if (lead == 0xF4) *high = 0x8F;
}

// What DecodeSequence gives for malformed input, which becomes U+FFFD: unlike a U+FFFD that the
// input itself encodes, it is a replacement.
constexpr char32_t kMalformed = 0x110000;

// Decodes one sequence at `bytes[*i]` by the careful rules and advances `*i` past it.
char32_t DecodeSequence(const unsigned char* bytes, std::int32_t count, std::int32_t* i) {
  const unsigned char lead = bytes[*i];
  if (lead < 0x80) {
    ++*i;
    return lead;
  }
  int trail;
  char32_t c;
  if (lead >= 0xC2 && lead <= 0xDF) {
    trail = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trail = 2;
    c = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trail = 3;
    c = lead & 0x07;
  } else {
    ++*i;
    return kMalformed;
  }
  unsigned char low;
  unsigned char high;
  SecondByteRange(lead, &low, &high);
  std::int32_t next = *i + 1;
  bool complete = true;
  for (int t = 0; t < trail; ++t) {
    if (next >= count || bytes[next] < low || bytes[next] > high) {
      complete = false;
      break;
    }
    c = (c << 6) | (bytes[next] & 0x3F);
    ++next;
    low = 0x80;
    high = 0xBF;
  }
  // A cut-short sequence is replaced as a whole; reading goes on at the byte that broke it.
  *i = next;
  return complete ? c : kMalformed;
}

// With `kWrite` false it only counts; with `kTellReplacements` it also tells the observer where
// it replaced, an instance of its own, so that the others pay nothing for the observer; with
// `kStopAtMalformed` it returns -1 at the first malformed sequence instead of replacing it. Runs
// of 7-bit bytes and well-formed 3-byte sequences, the bulk of a Chinese table, take a fast path
// while eight bytes and eight units of room are left; everything else, and the end of the input,
// takes DecodeSequence.
template <bool kWrite, bool kTellReplacements, bool kStopAtMalformed>
[[gnu::noinline]] std::int32_t Decode(const unsigned char* bytes, std::int32_t count, char16_t* out,
                                      std::int32_t room) {
  std::int32_t n = 0;
  std::int32_t i = 0;
  while (i < count) {
    while (i + 8 <= count && (!kWrite || n + 8 <= room)) {
      const std::uint64_t eight = LoadEightBytes(bytes + i);
      if ((eight & 0x80) == 0) {
        const int ascii = LeadingAsciiBytes(eight);
        if constexpr (kWrite) {
          for (int k = 0; k < ascii; ++k) {
            out[n + k] = static_cast<char16_t>(eight >> (8 * k) & 0x7F);
          }
        }
        i += ascii;
        n += ascii;
        continue;
      }
      if (!StartsWithThreeByteShape(eight)) break;
      const char16_t c = ThreeByteUnit(eight);
      // Overlong forms and encoded surrogates are left to the careful path.
      if (!IsThreeByteUnit(c)) break;
      // Ideographs come in runs: a second one in the same eight bytes is taken at once.
      const char16_t next = ThreeByteUnit(eight >> 24);
      if (StartsWithThreeByteShape(eight >> 24) && IsThreeByteUnit(next)) {
        if constexpr (kWrite) {
          out[n] = c;
          out[n + 1] = next;
        }
        i += 6;
        n += 2;
        continue;
      }
      if constexpr (kWrite) out[n] = c;
      i += 3;
      ++n;
    }
    if (i == count) break;
    char32_t c = DecodeSequence(bytes, count, &i);
    if (c == kMalformed) {
      if constexpr (kStopAtMalformed) return -1;
      if constexpr (kTellReplacements) NoteReplacement(n);
      c = kReplacement;
    }
    PutCodePoint(c, kWrite ? out : nullptr, room, &n);
  }
  return n;
}

}  // namespace

std::int32_t DecodeUtf8(const unsigned char* bytes, std::int32_t count, char16_t* out,
                        std::int32_t room) {
  if (out == nullptr) return Decode<false, false, false>(bytes, count, nullptr, 0);
  if (GetGenerationObserver() != nullptr) return Decode<true, true, false>(bytes, count, out, room);
  return Decode<true, false, false>(bytes, count, out, room);
}

std::int32_t DecodeWellFormedUtf8(const unsigned char* bytes, std::int32_t count, char16_t* out) {
  return Decode<true, false, true>(bytes, count, out, count);
}

std::size_t EncodeUtf8(const char16_t* text, std::size_t count, char* out, std::size_t room) {
  std::size_t n = 0;
  auto put = [&](unsigned v) {
    if (n < room) out[n] = static_cast<char>(v);
    ++n;
  };
  for (std::size_t i = 0; i < count; ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      put(c);
    } else if (c < 0x800) {
      put(0xC0 | (c >> 6));
      put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      put(0xE0 | (c >> 12));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    } else {
      put(0xF0 | (c >> 18));
      put(0x80 | ((c >> 12) & 0x3F));
      put(0x80 | ((c >> 6) & 0x3F));
      put(0x80 | (c & 0x3F));
    }
  }
  return n;
}
