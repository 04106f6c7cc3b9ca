#include <iconv.h>

#include <cerrno>

#include "../generation_observer.h"
#include "../utf8.h"
#include "text_conversion.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Counts or writes one unit, as DecodeUtf8 does.
inline void Put(char16_t unit, char16_t* out, std::int32_t room, std::int32_t* n) {
  if (out != nullptr && *n < room) out[*n] = unit;
  ++*n;
}

// Puts one U+FFFD in place of malformed input; a conversion that writes tells the observer.
inline void PutReplacement(char16_t* out, std::int32_t room, std::int32_t* n) {
  if (out != nullptr) NoteReplacement(*n);
  Put(kReplacement, out, room, n);
}

// The ANSI code page off Windows is CP936, GBK as Windows maps it (0x80 is U+20AC), through
// glibc's iconv; kCodePageGbk is the same conversion. A byte that cannot be decoded becomes U+FFFD
// and the conversion goes on with the next byte, so a broken trail byte costs only its lead byte.
std::int32_t DecodeAnsi(const unsigned char* bytes, std::int32_t count, char16_t* out,
                        std::int32_t room) {
  iconv_t cd = iconv_open("UTF-16LE", "CP936");
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    // Without the converter, keep ASCII and mark everything else.
    std::int32_t n = 0;
    for (std::int32_t i = 0; i < count; ++i) {
      if (bytes[i] < 0x80) {
        Put(bytes[i], out, room, &n);
      } else {
        PutReplacement(out, room, &n);
      }
    }
    return n;
  }
  std::int32_t n = 0;
  char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(bytes));
  std::size_t inLeft = static_cast<std::size_t>(count);
  unsigned char chunk[4096];
  while (inLeft > 0) {
    char* to = reinterpret_cast<char*>(chunk);
    std::size_t toLeft = sizeof chunk;
    const std::size_t result = iconv(cd, &in, &inLeft, &to, &toLeft);
    const int error = result == static_cast<std::size_t>(-1) ? errno : 0;
    const std::size_t produced = sizeof chunk - toLeft;
    for (std::size_t i = 0; i + 1 < produced; i += 2) {
      Put(static_cast<char16_t>(chunk[i] | chunk[i + 1] << 8), out, room, &n);
    }
    if (error == EILSEQ || error == EINVAL) {
      PutReplacement(out, room, &n);
      ++in;
      --inLeft;
      iconv(cd, nullptr, nullptr, nullptr, nullptr);
    } else if (error != 0 && error != E2BIG) {
      break;
    }
  }
  iconv_close(cd);
  return n;
}

}  // namespace

std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room) {
  if (count <= 0) return 0;
  if (room == 0) out = nullptr;
  if (codePage == kCodePageUtf8) return DecodeUtf8(bytes, count, out, room);
  return DecodeAnsi(bytes, count, out, room);
}
