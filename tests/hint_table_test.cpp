#include "hint_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "hint_table_fixture.h"
#include "memory.h"
#include "test_files.h"

using namespace std::literals;

TEST_F(HintTableTest, WritesTheWorkedRecordByteForByte) {
  const Outcome outcome = Run("ab\tx\r\n", "ab\tc", u"p", u"s");
  EXPECT_EQ(outcome.count, 1);
  EXPECT_EQ(outcome.bytes, kMark + Utf16LeBytes(u"$kesucmd(ab,ab[x])\tpcs\r\n"));
  EXPECT_EQ(outcome.bytes.size(), 50u);
}

TEST_F(HintTableTest, ContentTableRules) {
  struct Case {
    const char* name;
    std::string content;
    std::string code;
    std::u16string records;
  };
  const Case kCases[] = {
      {"lf-only line ends give no record", "a\t1\nb\t2\n", "a\tx\nb\ty", u""},
      {"a lone lf merges two records", "a\t1\nb\t2\r\n", "a\tx\nb\ty",
       u"$kesucmd(a,a[1\nb\t2])\tx\r\n"},
      {"the last record needs its cr lf", "a\t1\r\nb\t2", "a\tx\nb\ty",
       u"$kesucmd(a,a[1])\tx\r\n"},
      {"a record without tab is ignored", "a1\r\nb\t2\r\n", "a1\tx\nb\ty",
       u"$kesucmd(b,b[2])\ty\r\n"},
      {"a second tab belongs to the hint", "a\t1\t2\r\n", "a\tx",
       u"$kesucmd(a,a[1\t2])\tx\r\n"},
      {"the first of two equal words wins", "a\tfirst\r\na\tsecond\r\n", "a\tx",
       u"$kesucmd(a,a[first])\tx\r\n"},
      {"blank lines and stray breaks after cr lf vanish", "a\t1\r\n\r\n\n\rb\t2\r\n", "b\ty",
       u"$kesucmd(b,b[2])\ty\r\n"},
      {"a word holding a lone cr never matches", "a\rb\t1\r\nc\t2\r\n", "a\tx\nb\tx\nc\ty",
       u"$kesucmd(c,c[2])\ty\r\n"},
      {"the first zero unit ends the table", "a\t1\r\n\0b\t2\r\n"s, "a\tx\nb\ty",
       u"$kesucmd(a,a[1])\tx\r\n"},
      {"nothing is escaped", "%s,[\t])%\r\n", "%s,[\t%d", u"$kesucmd(%s,[,%s,[[])%])\t%d\r\n"},
      {"an empty hint", "a\t\r\n", "a\tx", u"$kesucmd(a,a[])\tx\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
    const Outcome outcome = Run(c.content, c.code, u"", u"");
    EXPECT_EQ(outcome.bytes, kMark + Utf16LeBytes(c.records));
    EXPECT_EQ(outcome.count, static_cast<std::int32_t>(
                                 std::count(c.records.begin(), c.records.end(), u'$')));
  }
}

TEST_F(HintTableTest, ContentTablesWithoutRecordsLeaveTheIndexEmpty) {
  const std::string kContents[] = {"", "a\t1", "a\t1\n", "a1\r\n", "\0a\t1\r\n"s};
  for (const std::string& content : kContents) {
    SCOPED_TRACE(content);
    BuildContentIndex(&m_content, EnginePath(m_folder.Write("c.txt", content)).c_str(), &m_index);
    EXPECT_EQ(m_index, nullptr);
    ReleaseLoadedText(&m_content);
  }
  std::filesystem::create_directory(m_folder.path() / "folder");
  BuildContentIndex(&m_content, EnginePath(m_folder.path() / "folder").c_str(), &m_index);
  EXPECT_EQ(m_index, nullptr);
  EXPECT_EQ(m_content.text, nullptr);
}

TEST_F(HintTableTest, CodeTableRules) {
  const std::string kContent = "a\t1\r\nb\t2\r\n\tt\r\n";
  struct Case {
    const char* name;
    std::string code;
    std::u16string records;
  };
  const std::u16string ab = u"$kesucmd(a,a[1])\tx\r\n$kesucmd(b,b[2])\ty\r\n";
  const Case kCases[] = {
      {"cr lf", "a\tx\r\nb\ty\r\n", ab},
      {"lf only", "a\tx\nb\ty\n", ab},
      {"cr only", "a\tx\rb\ty\r", ab},
      {"mixed with blank lines", "\r\n\na\tx\r\r\n\n\rb\ty", ab},
      {"a line without tab is ignored", "a x\nb\ty", u"$kesucmd(b,b[2])\ty\r\n"},
      {"an absent word is ignored", "c\tz\nb\ty", u"$kesucmd(b,b[2])\ty\r\n"},
      {"two tabs put the second into the code", "a\tx\tw", u"$kesucmd(a,a[1])\tx\tw\r\n"},
      {"a word on several lines gives one record each", "a\tx\nb\ty\na\tz",
       u"$kesucmd(a,a[1])\tx\r\n$kesucmd(b,b[2])\ty\r\n$kesucmd(a,a[1])\tz\r\n"},
      {"a leading tab is the empty word", "\tq", u"$kesucmd(,[t])\tq\r\n"},
      {"words compare exactly", "A\tx\na \tx\nａ\tx", u""},
      {"the first zero unit ends the table", "a\tx\n\0b\ty"s, u"$kesucmd(a,a[1])\tx\r\n"},
      {"utf-16le code table", "\xFF\xFE" "b\0\t\0y\0"s, u"$kesucmd(b,b[2])\ty\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
    const Outcome outcome = Run(kContent, c.code, u"", u"");
    EXPECT_EQ(outcome.bytes, kMark + Utf16LeBytes(c.records));
  }
}

TEST_F(HintTableTest, PrefixAndSuffixFrameTheCode) {
  const Outcome outcome = Run("词\t提示\r\n"s, "词\tabcd"s, u"前", u"后");
  EXPECT_EQ(outcome.bytes, kMark + Utf16LeBytes(u"$kesucmd(词,词[提示])\t前abcd后\r\n"));
}

TEST_F(HintTableTest, LongCodeLinesAreCutAt4095Units) {
  const std::string word(4094, 'w');
  // 4094 + TAB = 4095 units: one line. One more unit starts a line of its own.
  struct Case {
    const char* name;
    std::string code;
    std::u16string records;
  };
  const std::string content = word + "\t1\r\nc\t2\r\n";
  const std::u16string longWord(word.begin(), word.end());
  const Case kCases[] = {
      {"4095 units", word + "\t", u"$kesucmd(" + longWord + u"," + longWord + u"[1])\t\r\n"},
      {"4096 units", word + "\tc", u"$kesucmd(" + longWord + u"," + longWord + u"[1])\t\r\n"},
      {"4096 units then a line", word + "\t" + "c\tx",
       u"$kesucmd(" + longWord + u"," + longWord + u"[1])\t\r\n$kesucmd(c,c[2])\tx\r\n"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
    EXPECT_EQ(Run(content, c.code, u"", u"").bytes, kMark + Utf16LeBytes(c.records));
  }
}

TEST_F(HintTableTest, RecordsLongerThanTheBufferAreWrittenWhole) {
  const std::string hint(9000, 'h');
  const Outcome outcome = Run("w\t" + hint + "\r\n", "w\tc", u"p", u"s");
  EXPECT_EQ(outcome.count, 1);
  EXPECT_EQ(outcome.bytes, kMark + Utf16LeBytes(u"$kesucmd(w,w[" +
                                                std::u16string(hint.begin(), hint.end()) +
                                                u"])\tpcs\r\n"));
}

TEST_F(HintTableTest, FailuresLeaveTheMarkAloneAndCountZero) {
  Run("a\t1\r\n", "a\tx", u"", u"");  // an earlier result, to be replaced
  const auto missing = EnginePath(m_folder.path() / "missing.txt");
  EXPECT_EQ(GenerateHintTable(m_index, u"", Result().c_str(), missing.c_str(), u""), 0);
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"), kMark);
  EXPECT_EQ(Generate("").count, 0);
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"), kMark);
  EXPECT_EQ(Generate("b\tx").count, 0);
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"), kMark);
}

TEST_F(HintTableTest, AResultThatCannotBeCreatedLeavesTheCodeTableUnread) {
  Run("a\t1\r\n", "a\tx", u"", u"");
  const auto code = EnginePath(m_folder.path() / "code.txt");
  const std::u16string kResults[] = {u"", EnginePath(m_folder.path() / "no" / "result.txt"),
                                     EnginePath(m_folder.path())};
  for (const std::u16string& result : kResults) {
    int allocations = 0;
    SetAllocationFilter(CountAllocation, &allocations);
    EXPECT_EQ(GenerateHintTable(m_index, u"", result.c_str(), code.c_str(), u""), 0);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(allocations, 0) << "the code table was loaded";
  }
}

TEST(ReadTextLineTest, CutsLinesAndKeepsItsPosition) {
  char16_t line[kLineBufferLength];
  const std::u16string text = u"\r\nab\r\r\ncd";
  EXPECT_EQ(ReadTextLine(line, text.c_str()), 2);
  EXPECT_EQ(std::u16string(line), u"");
  EXPECT_EQ(ReadTextLine(line, nullptr), 5);
  EXPECT_EQ(std::u16string(line), u"ab");
  EXPECT_EQ(ReadTextLine(line, nullptr), 2);
  EXPECT_EQ(std::u16string(line), u"cd");
  EXPECT_EQ(ReadTextLine(line, nullptr), 0);
  EXPECT_EQ(ReadTextLine(line, nullptr), 0);
  EXPECT_EQ(std::u16string(line), u"");

  const std::u16string full = std::u16string(4095, u'x') + u"\n";
  EXPECT_EQ(ReadTextLine(line, full.c_str()), 4095);
  EXPECT_EQ(ReadTextLine(line, nullptr), 1) << "the break after a full line is an empty line";
  EXPECT_EQ(std::u16string(line), u"");
}

