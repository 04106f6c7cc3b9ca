#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "join_report.h"
#include "lantra_cli.h"
#include "test_files.h"

using namespace std::literals;
using ::testing::internal::CaptureStderr;
using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStderr;
using ::testing::internal::GetCapturedStdout;

namespace {

const std::string kMark = "\xFF\xFE"s;

// GBK text whose bytes are also well-formed UTF-8, so that the detection takes it for UTF-8:
// every character has a lead byte from C2 to DF and a trail byte from A1 to BF.
// 通知 CD A8 D6 AA, 同学 CD AC D1 A7, 学习 D1 A7 CF B0, 医院 D2 BD D4 BA.
const std::string kGbkContent =
    "\xCD\xA8\xD6\xAA\ttong zhi\r\n"
    "\xCD\xAC\xD1\xA7\ttong xue\r\n"
    "\xD1\xA7\xCF\xB0\txue xi\r\n"
    "\xD2\xBD\xD4\xBA\tyi yuan\r\n"s;
const std::string kUtf8Code = "通知\ttz\n同学\ttx\n学习\txx\n医院\tyy\n";

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);)
    lines.push_back(line);
  return lines;
}

bool HasLine(const std::string& text, const std::string& line) {
  const std::vector<std::string> lines = Lines(text);
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

class CliReportTest : public ::testing::Test {
 protected:
  // Runs lantra-cli with `arguments`, the result going to result.txt in the test's folder.
  CliRun Run(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"lantra-cli", "-o", Path("result.txt")});
    std::vector<char*> argv;
    for (std::string& argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    CaptureStdout();
    CaptureStderr();
    const int status = RunLantraCli(static_cast<int>(arguments.size()), argv.data());
    std::string out = GetCapturedStdout();
    return {status, std::move(out), GetCapturedStderr()};
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    return m_folder.Write(name, bytes).string();
  }
  std::string Path(const std::string& name) const { return (m_folder.path() / name).string(); }
  std::string Report() const { return ReadBytes(m_folder.path() / "report.txt"); }
  std::string Result() const { return ReadBytes(m_folder.path() / "result.txt"); }

  TempFolder m_folder;
};

}  // namespace

TEST(LineNumbersTest, CountLinesAsAnEditorDoes) {
  struct Case {
    const char* name;
    std::u16string text;
    std::int32_t offset;
    std::int32_t line;
  };
  const Case kCases[] = {
      {"first unit", u"ab", 0, 1},
      {"a line break belongs to the line it ends", u"a\r\nb", 2, 1},
      {"cr lf is one break", u"a\r\nb", 3, 2},
      {"a lone lf", u"a\nb", 2, 2},
      {"a lone cr", u"a\rb", 2, 2},
      {"lf cr is two breaks", u"a\n\rb", 3, 3},
      {"cr cr lf is two breaks", u"a\r\r\nb", 4, 3},
      {"a zero unit is no break", u"a\0\nb"s, 3, 2},
      {"the end of the text", u"a\r\n", 3, 2},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    LineNumbers lines;
    lines.Reset(c.text.data(), static_cast<std::int32_t>(c.text.size()));
    EXPECT_EQ(lines.LineOf(c.offset), c.line);
  }
}

TEST_F(CliReportTest, ReportsEveryKindOfProblemWithItsLine) {
  // Editor lines of the content table: 1 你好, 2 a word with an overlong form (two U+FFFD),
  // 3 no TAB, 4 blank, 5 你好 again, 6-7 a record whose word holds a lone CR, 8 no CR LF.
  const std::string content = Write("content.txt",
                                    "你好\tnǐ hǎo\r\n"
                                    "坏\xC0\x80\tbad\r\n"
                                    "no tab here\r\n\r\n"
                                    "你好\tsecond\r\n"
                                    "a\rb\tlone cr\r\n"
                                    "尾巴\ttail"s);
  // Code table lines: 1 matches, 2 no TAB, 3 and 4 unknown words, 5 is cut at 4095 units and
  // its rest has no TAB, 6 matches the word with the overlong form.
  const std::string code = Write("code.txt", "你好\tnh\nnihao\n再见\tzj\na\tx\n" +
                                                 std::string(4100, 'y') + "\n坏\xC0\x80\thuai\n");
  const CliRun run = Run({"--report", Path("report.txt"), content, code});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "2 records written to " + Path("result.txt") + "\n");
  EXPECT_EQ(Report(),
            "lantra-cli join report\n"
            "\n"
            "content table: " +
                content +
                "\n"
                "content table: 82 bytes, read as UTF-8 (detected)\n"
                "content table: 2 replacement characters from decoding, the first on line 2\n"
                "content table: 3 records indexed\n"
                "content table: 1 record without a TAB\n"
                "content table line 3: record without a TAB\n"
                "content table: 1 record whose word was already indexed, left out\n"
                "content table line 5: word \"你好\" already indexed from line 1\n"
                "content table: 7 units after the last CR LF left unread, from line 8\n"
                "content table: 1 word holding a lone CR or LF, which can never match\n"
                "content table line 6: word \"a<CR>b\" holds a lone CR or LF\n"
                "\n"
                "code table: " +
                code +
                "\n"
                "code table: 4142 bytes, read as UTF-8 (detected)\n"
                "code table: 2 replacement characters from decoding, the first on line 6\n"
                "code table: 7 lines read\n"
                "code table: 3 lines without a TAB\n"
                "code table line 2: line without a TAB\n"
                "code table line 5: line without a TAB\n"
                "code table line 5: line without a TAB\n"
                "code table: 1 line cut at 4095 units, the rest read as a line of its own\n"
                "code table line 5: line cut at 4095 units\n"
                "code table: 2 lines whose word is not in the content table\n"
                "code table line 3: word \"再见\" not in the content table\n"
                "code table line 4: word \"a\" not in the content table\n"
                "code table: 2 records written\n"
                "\n"
                "result: 2 records written to " +
                Path("result.txt") + "\n");
}

TEST_F(CliReportTest, ListsTheFirst100EntriesThenCountsTheRest) {
  std::string code;
  for (int i = 1; i <= 150; ++i) code.append("w").append(std::to_string(i)).append("\tc\r\n");
  const CliRun run = Run(
      {"--report", Path("report.txt"), Write("content.txt", "a\t1\r\n"), Write("code.txt", code)});
  EXPECT_EQ(run.status, 3);
  const std::string report = Report();
  EXPECT_TRUE(HasLine(report, "code table: 150 lines whose word is not in the content table"));
  EXPECT_TRUE(HasLine(report, "code table line 1: word \"w1\" not in the content table"));
  EXPECT_TRUE(HasLine(report, "code table line 100: word \"w100\" not in the content table"));
  EXPECT_FALSE(HasLine(report, "code table line 101: word \"w101\" not in the content table"));
  EXPECT_TRUE(HasLine(
      report, "code table: not listed: 50 more lines whose word is not in the content table"));
  const std::vector<std::string> lines = Lines(report);
  EXPECT_EQ(
      std::count_if(lines.begin(), lines.end(),
                    [](const std::string& line) { return line.starts_with("code table line"); }),
      100);
}

TEST_F(CliReportTest, ReportsEncodingsAndTheEndsOfTheText) {
  struct Case {
    const char* name;
    std::string content;
    std::string code;
    std::vector<std::string> lines;
  };
  const Case kCases[] = {
      {"utf-16 replaces nothing",
       "\xFF\xFE"
       "a\0\t\0001\0\r\0\n\0"s,
       "a\tx",
       {"content table: 12 bytes, read as UTF-16LE with byte-order mark (detected)",
        "content table: 1 record indexed"}},
      {"the ansi code page, with a byte it cannot decode",
       "a\t1\r\n\x81 \t2\r\n"s,
       "a\tx",
       {"content table: 11 bytes, read as the ANSI code page (detected)",
        "content table: 1 replacement character from decoding, the first on line 2"}},
      {"a zero unit ends the text",
       "a\t1\r\n\0b\t2\r\n"s,
       "a\tx\n\0b\ty"s,
       {"content table line 2: a zero unit ends the text; 5 units after it left unread",
        "code table line 2: a zero unit ends the text; 3 units after it left unread",
        "code table: 1 line read"}},
      {"lf-only line ends give no record",
       "a\t1\nb\t2\n",
       "a\tx",
       {"content table: no CR LF ends a record; all 8 units left unread", "code table: not read",
        "result: no line of the content table " + Path("content.txt") +
            " ends with CR LF; a record counts only when it does"}},
      {"a blank first line of the code table",
       "a\t1\r\n",
       "\r\na\tx",
       {"code table: 2 lines read", "code table: 1 empty line, ignored",
        "code table: 0 lines without a TAB"}},
      {"a missing code table",
       "a\t1\r\n",
       "",
       {"code table: cannot be opened",
        "result: cannot open the code table " + Path("missing.txt")}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string code = c.code.empty() ? Path("missing.txt") : Write("code.txt", c.code);
    Run({"--report", Path("report.txt"), Write("content.txt", c.content), code});
    const std::string report = Report();
    for (const std::string& line : c.lines)
      EXPECT_TRUE(HasLine(report, line)) << line << "\n" << report;
  }
}

TEST_F(CliReportTest, ForcedGbkReadsGbkThatPassesAsUtf8) {
  const std::string content = Write("content.txt", kGbkContent);
  const std::string code = Write("code.txt", kUtf8Code);

  CliRun run = Run({"--report", Path("report.txt"), content, code});
  EXPECT_EQ(run.status, 3);
  std::string report = Report();
  EXPECT_TRUE(HasLine(report, "content table: 57 bytes, read as UTF-8 (detected)"));
  EXPECT_TRUE(HasLine(report, "content table: 0 replacement characters from decoding"));
  EXPECT_TRUE(HasLine(report, "code table: 4 lines whose word is not in the content table"));
  EXPECT_TRUE(HasLine(report, "code table line 1: word \"通知\" not in the content table"));

  run = Run({"--report", Path("report.txt"), "--content-encoding", "gbk", content, code});
  EXPECT_EQ(run.status, 0);
  report = Report();
  EXPECT_TRUE(HasLine(report, "content table: 57 bytes, read as GBK (forced)"));
  EXPECT_TRUE(HasLine(report, "code table: 4 records written"));
  EXPECT_EQ(Result(), kMark + Utf16LeBytes(u"$kesucmd(通知,通知[tong zhi])\ttz\r\n"
                                           u"$kesucmd(同学,同学[tong xue])\ttx\r\n"
                                           u"$kesucmd(学习,学习[xue xi])\txx\r\n"
                                           u"$kesucmd(医院,医院[yi yuan])\tyy\r\n"));

  // Both tables in GBK, each forced on its own; the names of the encodings ignore case.
  const std::string gbkCode =
      Write("gbk-code.txt", "\xCD\xA8\xD6\xAA\ttz\n\xD2\xBD\xD4\xBA\tyy\n"s);
  run = Run({"--content-encoding", "GBK", "--code-encoding", "gbk", content, gbkCode});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(Result(), kMark + Utf16LeBytes(u"$kesucmd(通知,通知[tong zhi])\ttz\r\n"
                                           u"$kesucmd(医院,医院[yi yuan])\tyy\r\n"));
  run = Run({"--content-encoding", "gbk", content, gbkCode});
  EXPECT_EQ(run.status, 3) << "the code table alone is still taken for UTF-8";
}

TEST_F(CliReportTest, AMarkThatDoesNotMatchTheForcedEncodingIsReadAsText) {
  // A UTF-8 mark before GBK text, forced to GBK: the mark's bytes join the first word.
  const std::string content = Write("content.txt", "\xEF\xBB\xBF" + kGbkContent);
  const CliRun run = Run({"--report", Path("report.txt"), "--content-encoding", "gbk", content,
                          Write("code.txt", kUtf8Code)});
  EXPECT_EQ(run.status, 0);
  const std::string report = Report();
  EXPECT_TRUE(HasLine(report,
                      "content table: 60 bytes, read as GBK (forced); its UTF-8 byte-order mark "
                      "does not match and was read as text"));
  EXPECT_TRUE(HasLine(report, "code table line 1: word \"通知\" not in the content table"));
  EXPECT_TRUE(HasLine(report, "code table: 3 records written"));

  // A mark that matches the forced encoding is dropped as detection drops it.
  const std::string utf16 = Write("utf16.txt",
                                  "\xFF\xFE"
                                  "a\0\t\0001\0\r\0\n\0"s);
  EXPECT_EQ(Run({"--report", Path("report.txt"), "--content-encoding", "utf-16le", utf16,
                 Write("code.txt", "a\tx")})
                .status,
            0);
  EXPECT_TRUE(
      HasLine(Report(), "content table: 12 bytes, read as UTF-16LE with byte-order mark (forced)"));
}

TEST_F(CliReportTest, QuietPrintsNothingOnSuccessAndKeepsTheExitStatuses) {
  const std::string content = Write("content.txt", "a\t1\r\n");
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
    int status;
    bool silent;
  };
  const Case kCases[] = {
      {"records written", {"--quiet", content, Write("code.txt", "a\tx")}, 0, true},
      {"short form", {"-q", content, Write("code.txt", "a\tx")}, 0, true},
      {"no record in the content table",
       {"-q", Write("empty.txt", ""), Path("code.txt")},
       2,
       false},
      {"nothing generated", {"-q", content, Write("other.txt", "b\tx")}, 3, false},
      {"usage error", {"-q", "--content-encoding", "latin-1", content, Path("code.txt")}, 1, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CliRun run = Run(c.arguments);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.empty(), c.silent) << run.err;
  }
}

TEST_F(CliReportTest, ADashSendsTheReportToStandardError) {
  const CliRun run = Run(
      {"--report", "-", "--quiet", Write("content.txt", "a\t1\r\n"), Write("code.txt", "a\tx")});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "");
  EXPECT_TRUE(HasLine(run.err, "lantra-cli join report"));
  EXPECT_TRUE(HasLine(run.err, "code table: 1 record written"));
}

TEST_F(CliReportTest, RefusesWhatCannotWorkBeforeReadingAnything) {
  const std::string content = Write("content.txt", "a\t1\r\n");
  const std::string code = Write("code.txt", "a\tx");
  struct Case {
    const char* name;
    std::vector<std::string> arguments;
  };
  const Case kCases[] = {
      {"a report over the content table", {"--report", content, content, code}},
      {"a report over the code table", {"--report", code, content, code}},
      {"a report over the hint table", {"--report", Path("result.txt"), content, code}},
      {"a report in a missing folder", {"--report", Path("no/report.txt"), content, code}},
      {"one file in two encodings",
       {"--content-encoding", "gbk", "--code-encoding", "utf-8", content, content}},
      {"an unknown encoding", {"--code-encoding", "big5", content, code}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const CliRun run = Run(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(Result(), "") << "nothing may be generated";
    EXPECT_EQ(ReadBytes(content), "a\t1\r\n");
    EXPECT_EQ(ReadBytes(code), "a\tx");
  }
}
