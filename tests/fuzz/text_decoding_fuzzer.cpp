// Decodes arbitrary bytes, as detected and in every encoding that a caller can force, and checks
// the text against what the bytes' encoding gives: the zero unit at `length`, the unit count and
// the units of UTF-16 data, UTF-8 that comes back byte for byte, no unpaired surrogate from a
// conversion. ASan catches any read beyond the count, since libFuzzer hands over exactly `size`
// bytes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz_checks.h"
#include "memory.h"
#include "text_loading.h"
#include "utf8.h"

namespace {

// The UTF-8 test as a table of first bytes rather than a count of leading one bits.
bool ReferenceIsUtf8(const unsigned char* bytes, std::size_t count) {
  bool multiByte = false;
  std::size_t i = 0;
  while (i < count) {
    const unsigned char b = bytes[i];
    std::size_t trail = 0;
    if (b < 0x80) {
      ++i;
      continue;
    } else if (b < 0xC0) {
      return false;
    } else if (b < 0xE0) {
      trail = 1;
    } else if (b < 0xF0) {
      trail = 2;
    } else if (b < 0xF8) {
      trail = 3;
    } else if (b < 0xFC) {
      trail = 4;
    } else if (b < 0xFE) {
      trail = 5;
    } else {
      trail = b == 0xFE ? 6 : 7;
    }
    multiByte = true;
    for (std::size_t t = 1; t <= trail; ++t) {
      if (i + t >= count || bytes[i + t] < 0x80 || bytes[i + t] > 0xBF) return false;
    }
    i += trail + 1;
  }
  return multiByte;
}

bool HasUnpairedSurrogate(const char16_t* text, std::int32_t length) {
  for (std::int32_t i = 0; i < length; ++i) {
    if (text[i] >= 0xD800 && text[i] <= 0xDBFF) {
      if (i + 1 == length || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return true;
      ++i;
    } else if (text[i] >= 0xDC00 && text[i] <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

void CheckUtf16(const unsigned char* bytes, std::size_t count, bool bigEndian,
                const LoadedText& out) {
  Require(out.length == static_cast<std::int32_t>((count + 1) / 2));
  bool swapping = bigEndian;
  for (std::size_t i = 0; i < static_cast<std::size_t>(out.length); ++i) {
    const unsigned first = bytes[2 * i];
    const unsigned second = 2 * i + 1 < count ? bytes[2 * i + 1] : 0;
    // Big-endian data is read high byte first up to its first zero unit, which readers stop at.
    if (swapping && first == 0 && second == 0) swapping = false;
    const unsigned unit = swapping ? first << 8 | second : second << 8 | first;
    Require(out.text[i] == unit);
  }
}

void CheckConversion(const unsigned char* bytes, std::size_t count, bool utf8,
                     const LoadedText& out) {
  Require(static_cast<std::size_t>(out.length) <= count);
  if (utf8) {
    Require(!HasUnpairedSurrogate(out.text, out.length));
    if (IsWellFormedUtf8(bytes, count)) {
      const auto units = static_cast<std::size_t>(out.length);
      std::string back(EncodeUtf8(out.text, units, nullptr, 0), '\0');
      EncodeUtf8(out.text, units, back.data(), back.size());
      Require(back == std::string(reinterpret_cast<const char*>(bytes), count));
    }
    return;
  }
  bool sevenBit = true;
  for (std::size_t i = 0; i < count; ++i)
    sevenBit = sevenBit && bytes[i] < 0x80;
  if (!sevenBit) return;
  Require(static_cast<std::size_t>(out.length) == count);
  for (std::size_t i = 0; i < count; ++i)
    Require(out.text[i] == bytes[i]);
}

bool StartsWith(const std::uint8_t* data, std::size_t size, const char* mark, std::size_t n) {
  if (size < n) return false;
  for (std::size_t i = 0; i < n; ++i) {
    if (data[i] != static_cast<unsigned char>(mark[i])) return false;
  }
  return true;
}

// Checks the text that `encoding` gives for the bytes. A mark is dropped only when it is that
// encoding's own.
void CheckDecoded(const std::uint8_t* data, std::size_t size, TextEncoding encoding,
                  const LoadedText& out) {
  Require(out.text != nullptr && out.length >= 0 && out.text[out.length] == 0);
  const bool utf8Mark = StartsWith(data, size, "\xEF\xBB\xBF", 3);
  const bool leMark = StartsWith(data, size, "\xFF\xFE", 2);
  const bool beMark = StartsWith(data, size, "\xFE\xFF", 2);
  switch (encoding) {
    case TextEncoding::kUtf8:
      if (utf8Mark) return CheckConversion(data + 3, size - 3, true, out);
      return CheckConversion(data, size, true, out);
    case TextEncoding::kUtf16Le:
      if (leMark) return CheckUtf16(data + 2, size - 2, false, out);
      return CheckUtf16(data, size, false, out);
    case TextEncoding::kUtf16Be:
      if (beMark) return CheckUtf16(data + 2, size - 2, true, out);
      return CheckUtf16(data, size, true, out);
    default:
      return CheckConversion(data, size, false, out);
  }
}

bool RefuseAll(std::size_t, void*) {
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size > 0x7FFFFFFF) return 0;
  const auto count = static_cast<std::int32_t>(size);
  const bool utf8 = IsUtf8Text(data, count);
  Require(utf8 == ReferenceIsUtf8(data, size));

  // Detected: by the mark, else by the UTF-8 test, else the ANSI code page.
  TextEncoding detected = utf8 ? TextEncoding::kUtf8 : TextEncoding::kAnsi;
  if (StartsWith(data, size, "\xEF\xBB\xBF", 3)) {
    detected = TextEncoding::kUtf8;
  } else if (StartsWith(data, size, "\xFF\xFE", 2)) {
    detected = TextEncoding::kUtf16Le;
  } else if (StartsWith(data, size, "\xFE\xFF", 2)) {
    detected = TextEncoding::kUtf16Be;
  }
  LoadedText out;
  Require(DecodeText(data, count, &out) == kLoadOk);
  CheckDecoded(data, size, detected, out);
  const std::u16string text(out.text, static_cast<std::size_t>(out.length));
  ReleaseLoadedText(&out);

  for (const TextEncoding encoding :
       {TextEncoding::kAuto, TextEncoding::kUtf8, TextEncoding::kUtf16Le, TextEncoding::kUtf16Be,
        TextEncoding::kAnsi, TextEncoding::kGbk}) {
    LoadedText forced;
    Require(DecodeTextAs(data, count, encoding, &forced) == kLoadOk);
    if (encoding == TextEncoding::kAuto) {
      Require(text == std::u16string(forced.text, static_cast<std::size_t>(forced.length)));
    }
    CheckDecoded(data, size, encoding == TextEncoding::kAuto ? detected : encoding, forced);
    ReleaseLoadedText(&forced);
  }

  // Without memory for the text, the result is status 2 and no text.
  SetAllocationFilter(RefuseAll, nullptr);
  LoadedText refused{reinterpret_cast<char16_t*>(&out), 7};
  const int status = DecodeText(data, count, &refused);
  SetAllocationFilter(nullptr, nullptr);
  Require(status == kLoadNoMemory && refused.text == nullptr && refused.length == 0);
  return 0;
}
