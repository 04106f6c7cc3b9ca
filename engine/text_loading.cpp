#include "text_loading.h"

#include <cstring>
#include <limits>

#include "generation_observer.h"
#include "memory.h"
#include "platform/file_system.h"
#include "platform/text_conversion.h"
#include "utf8.h"

namespace {

EncodingChooser g_encodingChooser = nullptr;
void* g_encodingChooserContext = nullptr;

bool StartsWith(const unsigned char* bytes, std::int32_t count, const char* mark,
                std::int32_t markLength) {
  return count >= markLength && std::memcmp(bytes, mark, markLength) == 0;
}

ByteOrderMark FindMark(const unsigned char* bytes, std::int32_t count) {
  if (StartsWith(bytes, count, "\xEF\xBB\xBF", 3)) return ByteOrderMark::kUtf8;
  if (StartsWith(bytes, count, "\xFF\xFE", 2)) return ByteOrderMark::kUtf16Le;
  if (StartsWith(bytes, count, "\xFE\xFF", 2)) return ByteOrderMark::kUtf16Be;
  return ByteOrderMark::kNone;
}

std::int32_t MarkLength(ByteOrderMark mark) {
  if (mark == ByteOrderMark::kNone) return 0;
  return mark == ByteOrderMark::kUtf8 ? 3 : 2;
}

// The encoding whose mark `mark` is; kAuto for none.
TextEncoding MarkEncoding(ByteOrderMark mark) {
  switch (mark) {
    case ByteOrderMark::kUtf8:
      return TextEncoding::kUtf8;
    case ByteOrderMark::kUtf16Le:
      return TextEncoding::kUtf16Le;
    case ByteOrderMark::kUtf16Be:
      return TextEncoding::kUtf16Be;
    default:
      return TextEncoding::kAuto;
  }
}

// Gets a text of `units` units plus the zero unit; the zero unit is set here.
char16_t* AllocateText(std::int32_t units) {
  auto* text = static_cast<char16_t*>(
      AllocateMemory((static_cast<std::size_t>(units) + 1) * sizeof(char16_t)));
  if (text != nullptr) text[units] = 0;
  return text;
}

// Converts `count` bytes of `codePage` into `out`, counting the units first.
int Convert(std::uint32_t codePage, const unsigned char* bytes, std::int32_t count,
            LoadedText* out) {
  const std::int32_t n = MultiByteToUtf16(codePage, bytes, count, nullptr, 0);
  char16_t* text = AllocateText(n);
  if (text == nullptr) return kLoadNoMemory;
  if (n > 0) MultiByteToUtf16(codePage, bytes, count, text, n + 1);
  out->text = text;
  out->length = n;
  return kLoadOk;
}

// True when a byte of 0x80 or more is among the `count` bytes.
bool HasHighByte(const unsigned char* bytes, std::int32_t count) {
  std::int32_t i = 0;
  for (; i + 8 <= count; i += 8) {
    if ((LoadEightBytes(bytes + i) & 0x8080808080808080u) != 0) return true;
  }
  for (; i < count; ++i) {
    if (bytes[i] >= 0x80) return true;
  }
  return false;
}

// Decodes `count` bytes in one pass when they are well-formed UTF-8 (DecodeWellFormedUtf8), into
// a text allocated for the most units that they can yield, one a byte, whose unused end is then
// given back: every conversion gives these units. False, with `out` untouched and nothing held,
// when they are not well-formed or there is no memory for the larger text (the exact size of the
// two-pass path may still fit).
bool DecodeWellFormed(const unsigned char* bytes, std::int32_t count, LoadedText* out) {
  // Only the units written touch the pages of the text, so the larger size costs no memory.
  char16_t* text = AllocateText(count);
  if (text == nullptr) return false;
  const std::int32_t units = DecodeWellFormedUtf8(bytes, count, text);
  if (units < 0) {
    ReleaseMemory(text);
    return false;
  }
  text[units] = 0;
  out->text = static_cast<char16_t*>(
      ShrinkMemory(text, (static_cast<std::size_t>(units) + 1) * sizeof(char16_t)));
  out->length = units;
  return true;
}

// Takes `count` bytes as UTF-16 units, low byte first; a final odd byte makes a unit of its own
// whose second byte is zero. Big-endian data is swapped up to its first zero unit only, since
// no reader looks beyond it.
int TakeUtf16(const unsigned char* bytes, std::int32_t count, bool bigEndian, LoadedText* out) {
  const std::int32_t units = count / 2 + count % 2;
  char16_t* text = AllocateText(units);
  if (text == nullptr) return kLoadNoMemory;
  for (std::int32_t i = 0; i < count / 2; ++i) {
    text[i] = static_cast<char16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  if (count % 2 != 0) text[units - 1] = bytes[count - 1];
  if (bigEndian) {
    for (char16_t* unit = text; *unit != 0; ++unit) {
      *unit = static_cast<char16_t>(*unit << 8 | *unit >> 8);
    }
  }
  out->text = text;
  out->length = units;
  return kLoadOk;
}

}  // namespace

bool IsUtf8Text(const unsigned char* bytes, std::int32_t count) {
  if (count <= 0) return false;
  int expected = 0;
  bool sawHighByte = false;
  std::int32_t i = 0;
  while (i < count) {
    // Between sequences, runs of 7-bit bytes and whole 3-byte sequences are passed in bulk.
    if (expected == 0 && i + 8 <= count) {
      const std::uint64_t eight = LoadEightBytes(bytes + i);
      if ((eight & 0x80) == 0) {
        i += LeadingAsciiBytes(eight);
        continue;
      }
      if (StartsWithThreeByteShape(eight)) {
        sawHighByte = true;
        i += StartsWithThreeByteShape(eight >> 24) ? 6 : 3;
        continue;
      }
    }
    const unsigned char b = bytes[i++];
    if (b >= 0x80) sawHighByte = true;
    if (expected > 0) {
      if ((b & 0xC0) != 0x80) return false;
      --expected;
    } else if (b >= 0x80) {
      int ones = 0;
      for (unsigned mask = 0x80; mask != 0 && (b & mask) != 0; mask >>= 1)
        ++ones;
      if (ones == 1) return false;
      expected = ones - 1;
    }
  }
  return expected == 0 && sawHighByte;
}

int DecodeText(const unsigned char* bytes, std::int32_t count, LoadedText* out) {
  return DecodeTextAs(bytes, count, TextEncoding::kAuto, out);
}

int DecodeTextAs(const unsigned char* bytes, std::int32_t count, TextEncoding encoding,
                 LoadedText* out) {
  out->text = nullptr;
  out->length = 0;
  // Detection: the mark first, then the UTF-8 test, then the ANSI code page. A forced encoding
  // takes the place of all three and drops only its own mark. Well-formed UTF-8, what most
  // tables hold, passes the test and is decoded in one pass; other data is tested first.
  TextDecoding decoding;
  decoding.bytes = count;
  decoding.mark = FindMark(bytes, count);
  decoding.forced = encoding != TextEncoding::kAuto;
  bool triedWellFormed = false;
  if (decoding.forced) {
    decoding.encoding = encoding;
    decoding.markKept =
        decoding.mark != ByteOrderMark::kNone && MarkEncoding(decoding.mark) != encoding;
  } else if (decoding.mark != ByteOrderMark::kNone) {
    decoding.encoding = MarkEncoding(decoding.mark);
  } else if (!HasHighByte(bytes, count)) {
    // Empty and 7-bit data fail the UTF-8 test, however long its walk would be.
    decoding.encoding = TextEncoding::kAnsi;
  } else {
    // Well-formed data that holds a byte of 0x80 or more passes the test.
    triedWellFormed = true;
    const bool decoded = DecodeWellFormed(bytes, count, out);
    decoding.encoding =
        decoded || IsUtf8Text(bytes, count) ? TextEncoding::kUtf8 : TextEncoding::kAnsi;
    // No U+FFFD came out, so the observer still hears of the choice before any replacement.
    if (decoded) {
      if (GenerationObserver* observer = GetGenerationObserver()) observer->OnTextDecoded(decoding);
      return kLoadOk;
    }
  }
  if (GenerationObserver* observer = GetGenerationObserver()) observer->OnTextDecoded(decoding);
  const std::int32_t skipped = decoding.markKept ? 0 : MarkLength(decoding.mark);
  bytes += skipped;
  count -= skipped;
  switch (decoding.encoding) {
    case TextEncoding::kUtf16Le:
      return TakeUtf16(bytes, count, false, out);
    case TextEncoding::kUtf16Be:
      return TakeUtf16(bytes, count, true, out);
    case TextEncoding::kUtf8:
      // After a mark, or when forced, well-formed data takes the one pass too.
      if (!triedWellFormed && DecodeWellFormed(bytes, count, out)) return kLoadOk;
      return Convert(kCodePageUtf8, bytes, count, out);
    case TextEncoding::kGbk:
      return Convert(kCodePageGbk, bytes, count, out);
    default:
      return Convert(kCodePageAnsi, bytes, count, out);
  }
}

int LoadTextFile(const char16_t* path, LoadedText* out) {
  ReadBuffer buffer;
  const int status = LoadTextFileInto(path, &buffer, out);
  ReleaseReadBuffer(&buffer);
  return status;
}

int LoadTextFileInto(const char16_t* path, ReadBuffer* buffer, LoadedText* out) {
  out->text = nullptr;
  out->length = 0;
  const FileHandle file = OpenForReading(path);
  if (file == kNoFile) return kLoadCannotOpen;
  // The count is a signed 32-bit number: a file of 2 GiB or more, or one whose size cannot be
  // taken, is refused as too large rather than read in part.
  const std::int64_t size = FileSize(file);
  if (size < 0 || size > std::numeric_limits<std::int32_t>::max() - 2) {
    CloseFile(file);
    return kLoadNoMemory;
  }
  const auto needed = static_cast<std::size_t>(size) + 2;
  if (buffer->size < needed) {
    // The old bytes go first, so that the two are never held together.
    ReleaseReadBuffer(buffer);
    buffer->bytes = static_cast<unsigned char*>(AllocateMemory(needed));
    if (buffer->bytes == nullptr) {
      CloseFile(file);
      return kLoadNoMemory;
    }
    buffer->size = needed;
  }
  unsigned char* const bytes = buffer->bytes;
  const auto delivered = static_cast<std::int32_t>(ReadFully(file, bytes, size));
  bytes[delivered] = 0;
  bytes[delivered + 1] = 0;
  CloseFile(file);
  const TextEncoding encoding = g_encodingChooser != nullptr
                                    ? g_encodingChooser(path, g_encodingChooserContext)
                                    : TextEncoding::kAuto;
  return DecodeTextAs(bytes, delivered, encoding, out);
}

void ReleaseReadBuffer(ReadBuffer* buffer) {
  ReleaseMemory(buffer->bytes);
  buffer->bytes = nullptr;
  buffer->size = 0;
}

void SetEncodingChooser(EncodingChooser chooser, void* context) {
  g_encodingChooser = chooser;
  g_encodingChooserContext = context;
}

void ReleaseLoadedText(LoadedText* text) {
  ReleaseMemory(text->text);
  text->text = nullptr;
  text->length = 0;
}
