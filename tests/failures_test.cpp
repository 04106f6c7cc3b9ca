// What the engine does when the system fails it: every allocation refused in turn, writes that
// fail part-way, tables that change or vanish while they are read, and paths that name
// something other than a readable file. Each gives its documented result, and under the asan
// preset LeakSanitizer checks that nothing leaks on any of these paths.
#include <fcntl.h>
#include <linux/capability.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <string>

#include "hint_table.h"
#include "memory.h"
#include "test_files.h"

using namespace std::literals;

namespace {

const std::string kMark = "\xFF\xFE"s;

struct Allocations {
  int count = 0;
  int failAt = 0;  // 0: none fails
};

bool CountOrFail(std::size_t, void* context) {
  auto* allocations = static_cast<Allocations*>(context);
  return ++allocations->count != allocations->failAt;
}

bool CountAndRefuse(std::size_t, void* context) {
  ++static_cast<Allocations*>(context)->count;
  return false;
}

// Runs `body` in a child process and returns the number it exits with, or -1 when the child
// did not end by itself. A child keeps limits and capabilities it takes away from the tests.
int InChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) std::_Exit(body());
  int status = 0;
  if (child == -1 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// One generation as a front end runs it: the index, then the hint table when the index holds
// a word, then the release of both.
struct Generation {
  bool indexEmpty = true;
  std::int32_t count = 0;
};

Generation Generate(const std::filesystem::path& content, const std::filesystem::path& code,
                    const std::filesystem::path& result) {
  LoadedText text;
  ContentIndex index = nullptr;
  BuildContentIndex(&text, EnginePath(content).c_str(), &index);
  Generation generation{index == nullptr, 0};
  if (index != nullptr) {
    generation.count =
        GenerateHintTable(index, u"", EnginePath(result).c_str(), EnginePath(code).c_str(), u"");
  }
  IndexRelease(&index);
  ReleaseLoadedText(&text);
  return generation;
}

}  // namespace

TEST(AllocationFailureTest, EveryAllocationOfAGenerationFailsInTurn) {
  TempFolder folder;
  // The second record of a shares the first one's word and costs no node while a is stored.
  const auto content = folder.Write("content.txt", "a\t1\r\nb\t2\r\na\t3\r\n");
  // Longer than the content table, so that its bytes do not fit the content table's buffer.
  const auto code = folder.Write("code.txt", "a\tx\nb\ty\nno such word\tz");
  const auto result = folder.path() / "result.txt";

  Allocations counted;
  SetAllocationFilter(CountOrFail, &counted);
  const Generation whole = Generate(content, code, result);
  SetAllocationFilter(nullptr, nullptr);
  ASSERT_EQ(whole.count, 2);

  struct Case {
    const char* name;
    bool indexEmpty;
    std::u16string records;
  };
  const Case kCases[] = {
      {"the content table's bytes: load status 2, an empty index", true, u""},
      {"the content table's text: load status 2, an empty index", true, u""},
      {"the node of a: a is left out until its second record", false,
       u"$kesucmd(a,a[3])\tx\r\n$kesucmd(b,b[2])\ty\r\n"},
      {"the node of b: a smaller index", false, u"$kesucmd(a,a[1])\tx\r\n"},
      {"the code table's bytes: a count of 0", false, u""},
      {"the code table's text: a count of 0", false, u""},
      {"none fails", false, u"$kesucmd(a,a[1])\tx\r\n$kesucmd(b,b[2])\ty\r\n"},
  };
  ASSERT_EQ(std::size(kCases), static_cast<std::size_t>(counted.count + 1))
      << "one case for every allocation of the generation, and one beyond";
  for (int failAt = 1; failAt <= counted.count + 1; ++failAt) {
    const Case& c = kCases[failAt - 1];
    SCOPED_TRACE(c.name);
    std::filesystem::remove(result);
    Allocations allocations{0, failAt};
    SetAllocationFilter(CountOrFail, &allocations);
    const Generation generation = Generate(content, code, result);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(generation.indexEmpty, c.indexEmpty);
    EXPECT_EQ(generation.count, std::count(c.records.begin(), c.records.end(), u'$'));
    // An empty index ends the command before the result file is made.
    EXPECT_EQ(ReadBytes(result), c.indexEmpty ? "" : kMark + Utf16LeBytes(c.records));
  }
}

TEST(AllocationFailureTest, ACodeTableThatFitsTheContentTablesBytesAsksForNoBytesOfItsOwn) {
  TempFolder folder;
  const auto content = folder.Write("content.txt", "a\t1\r\nb\t2\r\n");
  const auto code = folder.Write("code.txt", "b\ty");
  const auto result = folder.path() / "result.txt";
  struct Case {
    const char* name;
    int failAt;
    std::int32_t count;
  };
  // The content table's bytes, its text, the nodes of a and b, then the code table's text.
  const Case kCases[] = {{"none fails", 0, 1}, {"the code table's text", 5, 0}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Allocations allocations{0, c.failAt};
    SetAllocationFilter(CountOrFail, &allocations);
    const Generation generation = Generate(content, code, result);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(generation.count, c.count);
    EXPECT_EQ(allocations.count, 5);
    EXPECT_EQ(ReadBytes(result),
              kMark + (c.count == 0 ? "" : Utf16LeBytes(u"$kesucmd(b,b[2])\ty\r\n")));
  }
}

TEST(AllocationFailureTest, EveryDecodingPathGivesStatus2WithoutMemoryForItsText) {
  struct Case {
    const char* name;
    std::string bytes;
    // Bytes of 0x80 or more without a mark, and UTF-8 after one, ask for a text of a unit a byte
    // first, for well-formed UTF-8, then for one of the exact size.
    int asked;
  };
  const Case kCases[] = {
      {"empty", ""s, 1},
      {"utf-8 after a mark", "\xEF\xBB\xBF\x61"s, 2},
      {"utf-16le", "\xFF\xFE\x61\0"s, 1},
      {"utf-16be", "\xFE\xFF\0\x61"s, 1},
      {"utf-8 without a mark", "\xE4\xB8\xAD"s, 2},
      {"malformed utf-8 that passes the test", "\xC0\x80"s, 2},
      {"ansi", "\xD6\xD0"s, 2},
      {"7-bit ansi", "\x61"s, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Allocations allocations{0, 0};
    SetAllocationFilter(CountAndRefuse, &allocations);
    LoadedText text{reinterpret_cast<char16_t*>(1), 7};  // must be overwritten
    const int status = DecodeText(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                  static_cast<std::int32_t>(c.bytes.size()), &text);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(status, kLoadNoMemory);
    EXPECT_EQ(text.text, nullptr);
    EXPECT_EQ(text.length, 0);
    EXPECT_EQ(allocations.count, c.asked);
  }
}

namespace {

// An index of one word whose record in the result file has a hint of `hintUnits` units.
struct LargeOutput {
  explicit LargeOutput(std::size_t units)
      : hintUnits(units),
        content(folder.Write("content.txt", "w\t" + std::string(units, 'h') + "\r\n")),
        code(folder.Write("code.txt", "w\tc")) {
    BuildContentIndex(&text, EnginePath(content).c_str(), &index);
  }
  ~LargeOutput() {
    IndexRelease(&index);
    ReleaseLoadedText(&text);
  }
  // The size of the whole result file: the mark and the one record.
  std::size_t Bytes() const {
    return kMark.size() + 2 * (u"$kesucmd(w,w[])\tc\r\n"s.size() + hintUnits);
  }
  std::int32_t GenerateInto(const std::filesystem::path& result) const {
    return GenerateHintTable(index, u"", EnginePath(result).c_str(), EnginePath(code).c_str(), u"");
  }

  std::size_t hintUnits;
  TempFolder folder;
  std::filesystem::path content;
  std::filesystem::path code;
  LoadedText text;
  ContentIndex index = nullptr;
};

}  // namespace

TEST(WriteFailureTest, AFileSizeLimitAnywhereInTheOutputGivesACountOf0) {
  struct Case {
    const char* name;
    std::size_t hintUnits;
    long limit;  // bytes; 0 or less: the result's size plus this
    int count;
  };
  // The output goes out through a buffer of 1 MiB: small results in the closing flush, large
  // ones in flushes on the way.
  const Case kCases[] = {
      {"not even the mark fits", 10, 1, 0},
      {"the closing flush is cut", 1000, 1000, 0},
      {"the closing flush misses one byte", 1000, -1, 0},
      {"a flush on the way is cut", 1500000, 600000, 0},
      {"the flush after a full buffer is cut", 1500000, 2000000, 0},
      {"a result that fits the limit exactly", 1500000, 0, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const LargeOutput output(c.hintUnits);
    const auto result = output.folder.path() / "result.txt";
    const auto limit = static_cast<rlim_t>(c.limit > 0 ? c.limit : output.Bytes() + c.limit);
    ASSERT_TRUE(c.count == 1 || limit < output.Bytes());
    const int count = InChild([&] {
      std::signal(SIGXFSZ, SIG_IGN);  // a write past the limit then fails with EFBIG
      const rlimit rl{limit, limit};
      setrlimit(RLIMIT_FSIZE, &rl);
      return output.GenerateInto(result);
    });
    EXPECT_EQ(count, c.count);
    EXPECT_LE(std::filesystem::file_size(result), limit);
  }
}

TEST(WriteFailureTest, AFullFileSystemGivesACountOf0) {
  if (geteuid() != 0) GTEST_SKIP() << "mounting a small file system needs root";
  struct Case {
    const char* name;
    std::size_t hintUnits;
    int count;
  };
  const Case kCases[] = {
      {"the closing flush meets a full disk", 100000, 0},
      {"a flush on the way meets a full disk", 1500000, 0},
      {"a result that fits", 1000, 1},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const LargeOutput output(c.hintUnits);
    const auto disk = output.folder.path() / "disk";
    std::filesystem::create_directory(disk);
    // A file system of 64 KiB in a mount namespace of the child's own, gone with the child.
    const int count = InChild([&] {
      if (unshare(CLONE_NEWNS) != 0 ||
          mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
          mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        return 77;
      }
      return output.GenerateInto(disk / "result.txt");
    });
    if (count == 77) GTEST_SKIP() << "this system does not let the test mount a tmpfs";
    EXPECT_EQ(count, c.count);
  }
}

namespace {

// Changes the file at the moment LoadTextFile asks for the buffer of its bytes: after it has
// opened the file and taken its size, before it reads.
struct Change {
  std::function<void()> action;
  bool done = false;
};

bool ChangeBeforeReading(std::size_t, void* context) {
  auto* change = static_cast<Change*>(context);
  if (!change->done) change->action();
  change->done = true;
  return true;
}

}  // namespace

TEST(ChangingTableTest, ATableThatChangesWhileItIsLoadedGivesWhatTheReadDelivered) {
  TempFolder folder;
  const auto path = folder.path() / "table.txt";
  auto resize = [&](std::uintmax_t size) {
    return [&, size] { std::filesystem::resize_file(path, size); };
  };
  struct Case {
    const char* name;
    std::string bytes;
    std::function<void()> action;
    std::u16string text;
  };
  const Case kCases[] = {
      {"cut shorter", "abcdef", resize(3), u"abc"},
      {"cut to nothing", "abcdef", resize(0), u""},
      {"utf-16 cut to an odd byte",
       "\xFF\xFE"
       "a\0b\0"s,
       resize(5), u"ab"},
      {"grown: only the size taken is read", "abc", [&] { folder.Write("table.txt", "abcdef"); },
       u"abc"},
      {"removed: the open file is still read", "abc", [&] { std::filesystem::remove(path); },
       u"abc"},
      {"replaced: the open file is still read", "abc",
       [&] { std::filesystem::rename(folder.Write("other.txt", "xyz"), path); }, u"abc"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    folder.Write("table.txt", c.bytes);
    Change change{c.action};
    SetAllocationFilter(ChangeBeforeReading, &change);
    LoadedText text;
    const int status = LoadTextFile(EnginePath(path).c_str(), &text);
    SetAllocationFilter(nullptr, nullptr);
    ASSERT_TRUE(change.done);
    ASSERT_EQ(status, kLoadOk);
    EXPECT_EQ(std::u16string(text.text, static_cast<std::size_t>(text.length)), c.text);
    EXPECT_EQ(text.text[text.length], u'\0');
    ReleaseLoadedText(&text);
  }
}

TEST(ChangingTableTest, ACodeTableRemovedAfterTheIndexGivesACountOf0) {
  TempFolder folder;
  const auto content = folder.Write("content.txt", "a\t1\r\n");
  const auto code = folder.Write("code.txt", "a\tx");
  LoadedText text;
  ContentIndex index = nullptr;
  BuildContentIndex(&text, EnginePath(content).c_str(), &index);
  std::filesystem::remove(content);  // the index lives on in memory
  std::filesystem::remove(code);
  const auto result = folder.path() / "result.txt";
  EXPECT_EQ(
      GenerateHintTable(index, u"", EnginePath(result).c_str(), EnginePath(code).c_str(), u""), 0);
  EXPECT_EQ(ReadBytes(result), kMark);
  folder.Write("code.txt", "a\tx");
  EXPECT_EQ(
      GenerateHintTable(index, u"", EnginePath(result).c_str(), EnginePath(code).c_str(), u""), 1);
  IndexRelease(&index);
  ReleaseLoadedText(&text);
}

namespace {

// Root reads any file whatever its mode bits; without these two capabilities it is held to
// them like everybody else. Returns false when they cannot be dropped.
bool DropFileAccessOverride() {
  __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct data[2] = {};
  if (syscall(SYS_capget, &header, data) != 0) return false;
  const unsigned mask = 1u << CAP_DAC_OVERRIDE | 1u << CAP_DAC_READ_SEARCH;
  data[0].effective &= ~mask;
  data[0].permitted &= ~mask;
  return syscall(SYS_capset, &header, data) == 0;
}

}  // namespace

TEST(UnusablePathTest, EachTableAndResultPathGivesItsDocumentedResult) {
  TempFolder folder;
  const auto content = folder.Write("content.txt", "a\t1\r\n");
  const auto code = folder.Write("code.txt", "a\tx");
  const auto unreadable = folder.Write("unreadable.txt", "a\t1\r\n");
  std::filesystem::permissions(unreadable, std::filesystem::perms::none);
  const auto fifo = folder.path() / "fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const auto missing = folder.path() / "missing.txt";
  const auto result = folder.path() / "result.txt";
  enum Outcome { kEmptyIndex, kMarkAlone, kNoResult, kOneRecord };
  struct Case {
    const char* name;
    std::filesystem::path content, code, result;
    Outcome outcome;
  };
  const Case kCases[] = {
      {"content table missing", missing, code, result, kEmptyIndex},
      {"content table is a folder", folder.path(), code, result, kEmptyIndex},
      {"content table is unreadable", unreadable, code, result, kEmptyIndex},
      {"content table is a fifo", fifo, code, result, kEmptyIndex},
      {"content table is a device", "/dev/zero", code, result, kEmptyIndex},
      {"code table missing", content, missing, result, kMarkAlone},
      {"code table is a folder", content, folder.path(), result, kMarkAlone},
      {"code table is unreadable", content, unreadable, result, kMarkAlone},
      {"code table is a fifo", content, fifo, result, kMarkAlone},
      {"result folder missing", content, code, folder.path() / "none" / "result.txt", kNoResult},
      {"result is a folder", content, code, folder.path(), kNoResult},
      {"result is a device", content, code, "/dev/full", kNoResult},
      {"all usable", content, code, result, kOneRecord},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(result);
    // In a child without the right to override file modes, so that root too finds the
    // unreadable file unreadable.
    const int outcome = InChild([&]() -> int {
      if (!DropFileAccessOverride() || open(unreadable.c_str(), O_RDONLY) >= 0) return 77;
      const Generation generation = Generate(c.content, c.code, c.result);
      if (generation.indexEmpty) return kEmptyIndex;
      if (generation.count == 1) return kOneRecord;
      if (generation.count != 0) return 99;
      // Never read what is not a file: a device such as /dev/full reads without end.
      const bool markAlone =
          std::filesystem::is_regular_file(c.result) && ReadBytes(c.result) == kMark;
      return markAlone ? kMarkAlone : kNoResult;
    });
    if (outcome == 77) GTEST_SKIP() << "cannot make a file unreadable to this process";
    EXPECT_EQ(outcome, c.outcome);
  }
}
