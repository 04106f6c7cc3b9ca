#include <windows.h>

#include "file_system.h"

const char16_t kPathSeparator = u'\\';

namespace {

const wchar_t* Wide(const char16_t* path) { return reinterpret_cast<const wchar_t*>(path); }
HANDLE Handle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

}  // namespace

FileHandle OpenForReading(const char16_t* path) {
  HANDLE file = CreateFileW(Wide(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return kNoFile;
  }
  return reinterpret_cast<FileHandle>(file);
}

std::int64_t FileSize(FileHandle file) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(Handle(file), &size)) return -1;
  return size.QuadPart;
}

std::int64_t ReadFully(FileHandle file, void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const std::int64_t left = count - done;
    const DWORD want = left > (1 << 30) ? (1 << 30) : static_cast<DWORD>(left);
    DWORD got = 0;
    if (!ReadFile(Handle(file), static_cast<char*>(buffer) + done, want, &got, nullptr) ||
        got == 0) {
      break;
    }
    done += got;
  }
  return done;
}

FileHandle CreateResultFile(const char16_t* path) {
  if (path[0] == 0) return kNoFile;
  // No sharing: nobody else can open the result while it is being written.
  HANDLE file = CreateFileW(Wide(path), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  return reinterpret_cast<FileHandle>(file);
}

int WriteFully(FileHandle file, const void* bytes, std::size_t count) {
  const auto* from = static_cast<const char*>(bytes);
  while (count > 0) {
    const DWORD want = count > (1u << 30) ? (1u << 30) : static_cast<DWORD>(count);
    DWORD put = 0;
    if (!WriteFile(Handle(file), from, want, &put, nullptr) || put == 0) return 0;
    from += put;
    count -= put;
  }
  return 1;
}

int CloseFile(FileHandle file) { return CloseHandle(Handle(file)) ? 1 : 0; }

std::int32_t GetTempFolder(char16_t* buffer, std::int32_t room) {
  const DWORD n = GetTempPathW(static_cast<DWORD>(room), reinterpret_cast<wchar_t*>(buffer));
  return static_cast<std::int32_t>(n);
}

bool PathExists(const char16_t* path) {
  return GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES;
}
