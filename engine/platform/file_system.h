#pragma once

#include <cstddef>
#include <cstdint>

// The file operations of the engine, by UTF-16 path. One source file per operating system.

// An open file: a descriptor on POSIX, a HANDLE on Windows.
using FileHandle = std::intptr_t;
constexpr FileHandle kNoFile = -1;

// The separator that joins the temporary folder and a file name.
extern const char16_t kPathSeparator;

// Opens an existing regular file for reading, shared with other programs. Returns kNoFile when
// it cannot be opened or is not a regular file (a folder, a device, a pipe).
FileHandle OpenForReading(const char16_t* path);

// The file's size in bytes, or -1 when it cannot be taken.
std::int64_t FileSize(FileHandle file);

// Reads up to `count` bytes into `buffer`, as many requests as it takes. Returns how many bytes
// were delivered: fewer than `count` at the end of the file or on a read error.
std::int64_t ReadFully(FileHandle file, void* buffer, std::int64_t count);

// Creates the file at `path`, or empties it if it exists, and opens it for writing only.
// On Windows no other program may open it while it is open. On POSIX it is never opened
// through a symbolic link or when another user owns it, and it is readable and writable by
// its owner only. Returns kNoFile on failure, having changed nothing.
FileHandle CreateResultFile(const char16_t* path);

// Writes all `count` bytes. Returns 1 when they were all written, 0 otherwise.
int WriteFully(FileHandle file, const void* bytes, std::size_t count);

// Closes a file. Returns 1 when it closed cleanly, 0 when the system reported an error.
int CloseFile(FileHandle file);

// Stores the user's temporary folder in `buffer` of `room` units, zero-terminated, the way
// GetTempPathW does. Returns its length in units, or a value of `room` or more when it does
// not fit (the buffer then holds no path), or 0 when there is none.
std::int32_t GetTempFolder(char16_t* buffer, std::int32_t room);

// True when a file or a folder exists at `path`.
bool PathExists(const char16_t* path);
