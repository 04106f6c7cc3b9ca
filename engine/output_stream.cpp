#include "output_stream.h"

#include <bit>
#include <cstring>

namespace {

// One buffer for the process: the result file is written in blocks of this size.
constexpr std::size_t kOutputBufferBytes = 1 << 20;
unsigned char g_buffer[kOutputBufferBytes];

void Flush(OutputStream* output) {
  if (output->used == 0) return;
  if (!output->failed && WriteFully(output->file, g_buffer, output->used) == 0) {
    output->failed = true;
  }
  output->used = 0;
}

}  // namespace

int OpenOutputStream(OutputStream* output, const char16_t* path) {
  output->file = CreateResultFile(path);
  output->used = 0;
  output->failed = false;
  return output->file == kNoFile ? 0 : 1;
}

void WriteBytes(OutputStream* output, const void* bytes, std::size_t count) {
  const auto* from = static_cast<const unsigned char*>(bytes);
  while (count > 0) {
    if (output->used == kOutputBufferBytes) Flush(output);
    std::size_t piece = kOutputBufferBytes - output->used;
    if (piece > count) piece = count;
    std::memcpy(g_buffer + output->used, from, piece);
    output->used += piece;
    from += piece;
    count -= piece;
  }
}

void WriteUnits(OutputStream* output, const char16_t* units, std::size_t count) {
  if constexpr (std::endian::native == std::endian::little) {
    WriteBytes(output, units, count * sizeof(char16_t));
  } else {
    for (std::size_t i = 0; i < count; ++i) {
      const unsigned char pair[2] = {static_cast<unsigned char>(units[i] & 0xFF),
                                     static_cast<unsigned char>(units[i] >> 8)};
      WriteBytes(output, pair, 2);
    }
  }
}

int CloseOutputStream(OutputStream* output) {
  Flush(output);
  const int closed = CloseFile(output->file);
  output->file = kNoFile;
  return closed != 0 && !output->failed ? 1 : 0;
}
