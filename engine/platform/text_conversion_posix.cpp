#include "../generation_observer.h"
#include "../utf8.h"
#include "gbk_table.h"
#include "text_conversion.h"

namespace {

constexpr char16_t kReplacement = 0xFFFD;

// The ANSI code page off Windows is CP936, GBK as Windows maps it (0x80 is U+20AC); kCodePageGbk
// is the same conversion. A byte that starts no character becomes U+FFFD and decoding goes on
// with the next byte, so a broken trail byte costs only its lead byte. With `kWrite` false it
// only counts.
template <bool kWrite>
std::int32_t DecodeAnsi(const unsigned char* bytes, std::int32_t count, char16_t* out,
                        std::int32_t room) {
  std::int32_t n = 0;
  std::int32_t i = 0;
  while (i < count && (!kWrite || n < room)) {
    // Runs of 7-bit bytes, a word at a time while there are eight bytes and room for them.
    if (i + 8 <= count && (!kWrite || n + 8 <= room)) {
      const std::uint64_t eight = LoadEightBytes(bytes + i);
      if ((eight & 0x80) == 0) {
        const int ascii = LeadingAsciiBytes(eight);
        if constexpr (kWrite) {
          for (int k = 0; k < ascii; ++k)
            out[n + k] = static_cast<char16_t>(eight >> (8 * k) & 0x7F);
        }
        i += ascii;
        n += ascii;
        continue;
      }
    }
    const unsigned char lead = bytes[i];
    char16_t unit = lead;
    ++i;
    if (lead >= 0x80) {
      unit = kGbkSingleBytes[lead - 0x80];
      if (unit == 0 && i < count && lead >= kGbkFirstLead && lead < kGbkFirstLead + kGbkLeadCount &&
          bytes[i] >= kGbkFirstTrail && bytes[i] < kGbkFirstTrail + kGbkTrailCount) {
        unit = kGbkPairs[(lead - kGbkFirstLead) * kGbkTrailCount + (bytes[i] - kGbkFirstTrail)];
        if (unit != 0) ++i;
      }
      if (unit == 0) {
        // A conversion that writes tells the observer where it replaced.
        if constexpr (kWrite) NoteReplacement(n);
        unit = kReplacement;
      }
    }
    if constexpr (kWrite) out[n] = unit;
    ++n;
  }
  // Out of room: the rest is only counted.
  if constexpr (kWrite) {
    if (i < count) n += DecodeAnsi<false>(bytes + i, count - i, nullptr, 0);
  }
  return n;
}

}  // namespace

std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room) {
  if (count <= 0) return 0;
  if (codePage == kCodePageUtf8) return DecodeUtf8(bytes, count, room == 0 ? nullptr : out, room);
  return room == 0 ? DecodeAnsi<false>(bytes, count, nullptr, 0)
                   : DecodeAnsi<true>(bytes, count, out, room);
}
