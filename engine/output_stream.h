#pragma once

#include <cstddef>

#include "platform/file_system.h"

// The buffered byte stream that one generation writes its result file through. There is one
// buffer for the whole process, so only one stream is open at a time.
struct OutputStream {
  FileHandle file = kNoFile;
  std::size_t used = 0;  // bytes waiting in the buffer
  bool failed = false;   // a write has failed; everything after it is dropped
};

// Creates or empties the file at `path` (see CreateResultFile) and opens `output` on it.
// Returns 1 when it is open, 0 when the file cannot be created.
int OpenOutputStream(OutputStream* output, const char16_t* path);

// Appends `count` bytes.
void WriteBytes(OutputStream* output, const void* bytes, std::size_t count);

// Appends `count` code units as UTF-16LE.
void WriteUnits(OutputStream* output, const char16_t* units, std::size_t count);

// Writes what is buffered and closes the file. Returns 1 when every byte reached the file and
// it closed cleanly, 0 otherwise.
int CloseOutputStream(OutputStream* output);
