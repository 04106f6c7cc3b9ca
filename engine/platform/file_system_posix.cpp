#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "../utf8.h"
#include "file_system.h"

const char16_t kPathSeparator = u'/';

namespace {

// A UTF-16 path as the UTF-8 name that the file system takes; false when it does not fit.
bool ToNativePath(const char16_t* path, char (&native)[PATH_MAX]) {
  std::size_t units = 0;
  while (path[units] != 0) ++units;
  const std::size_t bytes = EncodeUtf8(path, units, native, sizeof native);
  if (bytes >= sizeof native) return false;
  native[bytes] = '\0';
  return true;
}

}  // namespace

FileHandle OpenForReading(const char16_t* path) {
  char native[PATH_MAX];
  if (!ToNativePath(path, native)) return kNoFile;
  // Non-blocking, so that naming a FIFO cannot hang the open; regular files ignore the flag.
  const int fd = open(native, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return kNoFile;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    close(fd);
    return kNoFile;
  }
  return fd;
}

std::int64_t FileSize(FileHandle file) {
  struct stat info;
  if (fstat(static_cast<int>(file), &info) != 0) return -1;
  return info.st_size;
}

std::int64_t ReadFully(FileHandle file, void* buffer, std::int64_t count) {
  std::int64_t done = 0;
  while (done < count) {
    const ssize_t got = read(static_cast<int>(file), static_cast<char*>(buffer) + done,
                             static_cast<std::size_t>(count - done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += got;
  }
  return done;
}

FileHandle CreateResultFile(const char16_t* path) {
  char native[PATH_MAX];
  if (path[0] == 0 || !ToNativePath(path, native)) return kNoFile;
  // The default result file lives in a folder that every user shares: never follow a link
  // planted there, and never empty a file that another user owns. O_TRUNC would empty it
  // before the owner could be checked, so the file is truncated only after the check.
  const int fd = open(native, O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
  if (fd < 0) return kNoFile;
  struct stat info;
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != geteuid() ||
      fchmod(fd, 0600) != 0 || ftruncate(fd, 0) != 0) {
    close(fd);
    return kNoFile;
  }
  return fd;
}

int WriteFully(FileHandle file, const void* bytes, std::size_t count) {
  const auto* from = static_cast<const char*>(bytes);
  while (count > 0) {
    const ssize_t put = write(static_cast<int>(file), from, count);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return 0;
    from += put;
    count -= static_cast<std::size_t>(put);
  }
  return 1;
}

int CloseFile(FileHandle file) { return close(static_cast<int>(file)) == 0 ? 1 : 0; }

std::int32_t GetTempFolder(char16_t* buffer, std::int32_t room) {
  const char* folder = std::getenv("TMPDIR");
  if (folder == nullptr || folder[0] == '\0') folder = "/tmp";
  const auto bytes = static_cast<std::int32_t>(std::strlen(folder));
  const auto* data = reinterpret_cast<const unsigned char*>(folder);
  const std::int32_t units = DecodeUtf8(data, bytes, nullptr, 0);
  if (units >= room) {
    if (room > 0) buffer[0] = 0;
    return units + 1;
  }
  DecodeUtf8(data, bytes, buffer, room);
  buffer[units] = 0;
  return units;
}

bool PathExists(const char16_t* path) {
  char native[PATH_MAX];
  struct stat info;
  return ToNativePath(path, native) && stat(native, &info) == 0;
}
