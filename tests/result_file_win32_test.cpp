// The result file on Windows: no other program can open it while it is written, a result that
// another program holds open is left alone, and the temporary folder comes from GetTempPathW.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "hint_table.h"
#include "hint_table_fixture.h"
#include "memory.h"
#include "test_files.h"

namespace {

const wchar_t* Wide(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}

// What another program gets when it opens the result file, sharing everything it can.
struct OpenAttempt {
  const std::u16string* path;
  bool tried = false;
  DWORD readError = 0;
  DWORD writeError = 0;
};

DWORD OpenError(const std::u16string& path, DWORD access) {
  HANDLE file =
      CreateFileW(Wide(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  CloseHandle(file);
  return ERROR_SUCCESS;
}

// Runs as the generation loads the code table, after it has created the result file.
bool TryOpeningTheResult(std::size_t, void* context) {
  auto* attempt = static_cast<OpenAttempt*>(context);
  if (!attempt->tried) {
    attempt->tried = true;
    attempt->readError = OpenError(*attempt->path, GENERIC_READ);
    attempt->writeError = OpenError(*attempt->path, GENERIC_WRITE);
  }
  return true;
}

}  // namespace

TEST_F(HintTableTest, NoOtherProgramCanOpenTheResultWhileItIsWritten) {
  Run("a\t1\r\n", "a\tx", u"", u"");
  const std::u16string result = Result();
  const auto code = EnginePath(m_folder.Write("code.txt", "a\ty"));
  OpenAttempt attempt{&result};
  SetAllocationFilter(TryOpeningTheResult, &attempt);
  const std::int32_t count = GenerateHintTable(m_index, u"", result.c_str(), code.c_str(), u"");
  SetAllocationFilter(nullptr, nullptr);
  EXPECT_EQ(count, 1);
  ASSERT_TRUE(attempt.tried);
  EXPECT_EQ(attempt.readError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(attempt.writeError, static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  EXPECT_EQ(OpenError(result, GENERIC_READ), static_cast<DWORD>(ERROR_SUCCESS)) << "still locked";
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"),
            kMark + Utf16LeBytes(u"$kesucmd(a,a[1])\ty\r\n"));
}

TEST_F(HintTableTest, AResultHeldOpenByAnotherProgramIsLeftAlone) {
  const Outcome earlier = Run("a\t1\r\n", "a\tx", u"", u"");
  const std::u16string result = Result();
  const auto code = EnginePath(m_folder.Write("code.txt", "a\ty"));
  // A viewer that lets others read and write while it has the file open.
  HANDLE viewer = CreateFileW(Wide(result), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  int allocations = 0;
  SetAllocationFilter(CountAllocation, &allocations);
  const std::int32_t count = GenerateHintTable(m_index, u"", result.c_str(), code.c_str(), u"");
  SetAllocationFilter(nullptr, nullptr);
  CloseHandle(viewer);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(allocations, 0) << "the code table was loaded";
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"), earlier.bytes);
}

class ResultPathTest : public ::testing::Test {
 protected:
  // GetTempPathW takes the folder from TMP first.
  void SetUp() override {
    wchar_t old[32767];
    const DWORD n = GetEnvironmentVariableW(L"TMP", old, 32767);
    m_hadTmp = n > 0 && n < 32767;
    if (m_hadTmp) m_oldTmp = old;
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TMP", m_hadTmp ? m_oldTmp.c_str() : nullptr);
  }

  bool m_hadTmp = false;
  std::wstring m_oldTmp;
};

TEST_F(ResultPathTest, PutsTheNameIntoTheTemporaryFolder) {
  struct Case {
    const char* name;
    std::u16string tmp;
    std::u16string path;
  };
  // GetTempPathW ends the folder with a backslash: 240 units then hold "C:\", 236 more and "\".
  const std::u16string folder240 = u"C:\\" + std::u16string(236, u'd');
  const std::u16string folder241 = folder240 + u"d";
  const Case kCases[] = {
      {"without final backslash", u"C:\\lantra", u"C:\\lantra\\Lantra_result.txt"},
      {"with final backslash", u"C:\\lantra\\", u"C:\\lantra\\Lantra_result.txt"},
      {"240 units fit", folder240, folder240 + u"\\Lantra_result.txt"},
      {"241 units do not", folder241, u""},
      {"longer than a path", u"C:\\" + std::u16string(300, u'd'), u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(SetEnvironmentVariableW(L"TMP", Wide(c.tmp)));
    char16_t path[kPathLength];
    const std::int32_t length = GetResultPath(path);
    EXPECT_EQ(std::u16string(path), c.path);
    EXPECT_EQ(length, static_cast<std::int32_t>(c.path.size()));
  }
}
