// The result file on POSIX systems: a write that fails part-way, the shared temporary folder's
// dangers (links, other users' files), the file's permissions, and TMPDIR as the folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "hint_table.h"
#include "hint_table_fixture.h"
#include "test_files.h"

namespace {

std::string Utf8(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += static_cast<char>(unit);  // for 7-bit texts only
  return out;
}

}  // namespace

TEST_F(HintTableTest, AFailedWriteIsNotASuccess) {
  Run("a\t1\r\n", "a\tx", u"", u"");
  const std::string hint(300000, 'h');  // about 600 KB of output per record
  m_folder.Write("big.txt", "a\t" + hint + "\r\n");
  IndexRelease(&m_index);
  ReleaseLoadedText(&m_content);
  BuildContentIndex(&m_content, EnginePath(m_folder.path() / "big.txt").c_str(), &m_index);
  const auto code = EnginePath(m_folder.Write("code.txt", "a\tx\na\ty\na\tz\n"));
  const auto result = Result();
  // A child process with a file size limit: the writes fail part-way as on a full disk.
  const pid_t child = fork();
  ASSERT_NE(child, -1);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{100000, 100000};
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::int32_t count =
        GenerateHintTable(m_index, u"", result.c_str(), code.c_str(), u"");
    std::_Exit(count == 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "a partly written result was counted";
  EXPECT_EQ(Generate("a\tx").count, 1) << "without the limit the same index generates";
}

TEST_F(HintTableTest, NeverWritesThroughASymbolicLink) {
  Run("a\t1\r\n", "a\tx", u"", u"");
  const auto target = m_folder.Write("target.txt", "keep");
  std::filesystem::remove(m_folder.path() / "result.txt");
  std::filesystem::create_symlink(target, m_folder.path() / "result.txt");
  EXPECT_EQ(Generate("a\tx").count, 0);
  EXPECT_EQ(ReadBytes(target), "keep");
}

TEST_F(HintTableTest, NeverWritesIntoAnotherUsersFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  Run("a\t1\r\n", "a\tx", u"", u"");
  const auto result = m_folder.path() / "result.txt";
  m_folder.Write("result.txt", "theirs");
  ASSERT_EQ(chown(result.c_str(), 65534, 65534), 0);
  EXPECT_EQ(Generate("a\tx").count, 0);
  EXPECT_EQ(ReadBytes(result), "theirs");
}

TEST_F(HintTableTest, TheResultIsReadableByItsOwnerOnly) {
  m_folder.Write("result.txt", "old");
  std::filesystem::permissions(m_folder.path() / "result.txt", std::filesystem::perms::all);
  Run("a\t1\r\n", "a\tx", u"", u"");
  struct stat info;
  ASSERT_EQ(stat((m_folder.path() / "result.txt").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

class ResultPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("TMPDIR");
    m_hadTmpdir = old != nullptr;
    if (m_hadTmpdir) m_oldTmpdir = old;
  }
  void TearDown() override {
    if (m_hadTmpdir) {
      setenv("TMPDIR", m_oldTmpdir.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }
  bool m_hadTmpdir = false;
  std::string m_oldTmpdir;
};

TEST_F(ResultPathTest, PutsTheNameIntoTheTemporaryFolder) {
  struct Case {
    const char* name;
    const char* tmpdir;  // null: unset
    std::string path;
  };
  const std::string folder240 = "/" + std::string(239, 'd');
  const std::string folder241 = "/" + std::string(240, 'd');
  const std::string folder240Slash = folder240 + "/";
  const Case kCases[] = {
      {"unset", nullptr, "/tmp/Lantra_result.txt"},
      {"empty", "", "/tmp/Lantra_result.txt"},
      {"without final separator", "/var/tmp", "/var/tmp/Lantra_result.txt"},
      {"with final separator", "/var/tmp/", "/var/tmp/Lantra_result.txt"},
      {"240 units fit", folder240.c_str(), folder240 + "/Lantra_result.txt"},
      {"241 units do not", folder241.c_str(), ""},
      {"240 units and a separator do not", folder240Slash.c_str(), ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    if (c.tmpdir == nullptr) {
      unsetenv("TMPDIR");
    } else {
      setenv("TMPDIR", c.tmpdir, 1);
    }
    char16_t path[kPathLength];
    const std::int32_t length = GetResultPath(path);
    EXPECT_EQ(Utf8(path), c.path);
    EXPECT_EQ(length, static_cast<std::int32_t>(c.path.size()));
  }
}
