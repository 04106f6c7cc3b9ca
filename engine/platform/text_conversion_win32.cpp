#include <windows.h>

#include "text_conversion.h"

std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room) {
  // An empty input reports failure here; it yields no units all the same.
  if (count <= 0) return 0;
  const UINT page = codePage == kCodePageUtf8 ? CP_UTF8 : CP_ACP;
  return MultiByteToWideChar(page, 0, reinterpret_cast<const char*>(bytes), count,
                             room == 0 ? nullptr : reinterpret_cast<wchar_t*>(out), room);
}
