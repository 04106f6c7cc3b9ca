// The Windows conversion is the system's own; the GBK cases of the tests need its ANSI code page
// to be 936, which a Chinese system locale gives (under Wine: LANG=zh_CN.UTF-8, generated).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text_conversion.h"
#include "told_replacements.h"

using namespace std::literals;

TEST(AnsiCodePageTest, Is936) {
  EXPECT_EQ(GetACP(), 936u) << "the GBK cases need a Chinese system locale";
}

// The system does not say where it replaced: well-formed input tells nothing, and input with
// anything malformed tells every replacement unit, one that the input held included.
TEST(ReplacementTest, TellsEveryReplacementUnitOfInputThatHoldsSomethingMalformed) {
  struct Case {
    const char* name;
    std::uint32_t codePage;
    std::string bytes;
    std::vector<std::int32_t> offsets;
  };
  const Case kCases[] = {
      {"utf-8 with a U+FFFD of its own", kCodePageUtf8, "a\xEF\xBF\xBD"s, {}},
      {"malformed utf-8", kCodePageUtf8, "a\xEF\xBF\xBD\xC0\x80"s, {1, 2, 3}},
      {"gbk with a question mark of its own", kCodePageAnsi, "a?"s, {}},
      {"malformed gbk", kCodePageAnsi, "a?\x81"s, {1, 2}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToldReplacements(c.codePage, c.bytes), c.offsets);
  }
}
