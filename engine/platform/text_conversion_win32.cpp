#include <windows.h>

#include "../utf8.h"
#include "text_conversion.h"

std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room) {
  // An empty input reports failure here; it yields no units all the same.
  if (count <= 0) return 0;
  if (room == 0) out = nullptr;
  // UTF-8 goes through our own decoder, as on every system, so that malformed input gives the
  // same replacement text everywhere.
  if (codePage == kCodePageUtf8) return DecodeUtf8(bytes, count, out, room);
  return MultiByteToWideChar(CP_ACP, 0, reinterpret_cast<const char*>(bytes), count,
                             reinterpret_cast<wchar_t*>(out), room);
}
