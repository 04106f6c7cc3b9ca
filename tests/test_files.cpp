#include "test_files.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <sstream>

TempFolder::TempFolder() {
  std::random_device random;
  m_path = std::filesystem::temp_directory_path() /
           ("lantra-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(m_path);
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ignored);
  std::filesystem::remove_all(m_path, ignored);
}

std::filesystem::path TempFolder::Write(const std::string& name, const std::string& bytes) const {
  const std::filesystem::path file = m_path / name;
  std::ofstream stream(file, std::ios::binary | std::ios::trunc);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  EXPECT_TRUE(stream.good()) << "cannot write " << file;
  return file;
}

std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << stream.rdbuf();
  return bytes.str();
}

std::u16string EnginePath(const std::filesystem::path& path) { return path.u16string(); }

std::string Utf16LeBytes(const std::u16string& units) {
  std::string bytes;
  for (char16_t unit : units) {
    bytes += static_cast<char>(unit & 0xFF);
    bytes += static_cast<char>(unit >> 8);
  }
  return bytes;
}

bool FailOnCall(std::size_t, void* context) {
  auto* state = static_cast<FailNth*>(context);
  ++state->calls;
  return state->andLater ? state->calls < state->failAt : state->calls != state->failAt;
}
