#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return m_path; }
  // Writes `bytes` exactly to the file `name` in the folder and returns its path.
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const;

 private:
  std::filesystem::path m_path;
};

// The whole content of a file, or an empty string when it cannot be read.
std::string ReadBytes(const std::filesystem::path& path);

// A path as the zero-terminated UTF-16 text that the engine takes.
std::u16string EnginePath(const std::filesystem::path& path);

// UTF-16 units as UTF-16LE bytes, as the hint table file holds them.
std::string Utf16LeBytes(const std::u16string& units);

// An allocation filter for SetAllocationFilter that fails the `failAt`-th allocation (from 1)
// after it was set, and only that one unless `andLater`. `context` is a FailNth.
struct FailNth {
  int calls = 0;
  int failAt;
  bool andLater = false;
};
bool FailOnCall(std::size_t bytes, void* context);
