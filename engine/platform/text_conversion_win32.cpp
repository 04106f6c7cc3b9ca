#include <windows.h>

#include "../generation_observer.h"
#include "text_conversion.h"

namespace {

// The unit that the system writes in place of input that it cannot decode.
char16_t ReplacementUnit(UINT page) {
  if (page == CP_UTF8) return 0xFFFD;
  CPINFOEXW info;
  return GetCPInfoExW(page, 0, &info) ? static_cast<char16_t>(info.UnicodeDefaultChar) : 0xFFFD;
}

// The system does not say where it replaced. When the input holds anything malformed (a
// conversion with MB_ERR_INVALID_CHARS refuses it), every replacement unit of the output is
// told, one that the input itself held included.
void TellReplacements(UINT page, const char* bytes, int count, const char16_t* out, int units) {
  if (MultiByteToWideChar(page, MB_ERR_INVALID_CHARS, bytes, count, nullptr, 0) != 0) return;
  const char16_t replacement = ReplacementUnit(page);
  for (int i = 0; i < units; ++i) {
    if (out[i] == replacement) NoteReplacement(i);
  }
}

}  // namespace

std::int32_t MultiByteToUtf16(std::uint32_t codePage, const unsigned char* bytes,
                              std::int32_t count, char16_t* out, std::int32_t room) {
  // An empty input reports failure here; it yields no units all the same.
  if (count <= 0) return 0;
  UINT page = CP_ACP;
  if (codePage == kCodePageUtf8) page = CP_UTF8;
  if (codePage == kCodePageGbk) page = 936;
  const auto* input = reinterpret_cast<const char*>(bytes);
  const int n = MultiByteToWideChar(page, 0, input, count,
                                    room == 0 ? nullptr : reinterpret_cast<wchar_t*>(out), room);
  if (room > 0 && GetGenerationObserver() != nullptr) {
    TellReplacements(page, input, count, out, n < room ? n : room);
  }
  return n;
}
