// The Windows conversion is the system's own; the GBK cases of the tests need its ANSI code page
// to be 936, which a Chinese system locale gives (under Wine: LANG=zh_CN.UTF-8, generated). The
// GBK table that other systems decode with is checked here against the system's code page 936.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/gbk_table.h"
#include "platform/text_conversion.h"
#include "test_platform.h"
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

// Every byte and byte pair that the system decodes to a character, the table off Windows decodes
// to the same, and it decodes nothing else: a table in GBK reads alike on both systems. Where the
// system cannot decode, it writes its default character ('?').
TEST(GbkTableTest, DecodesEveryByteAndPairAsTheSystemDoes) {
  const char16_t replacement = AnsiReplacementUnit();
  const auto convert = [](const std::string& bytes) {
    char16_t out[4] = {};
    const std::int32_t n =
        MultiByteToUtf16(kCodePageGbk, reinterpret_cast<const unsigned char*>(bytes.data()),
                         static_cast<std::int32_t>(bytes.size()), out, 4);
    return std::u16string(out, static_cast<std::size_t>(n));
  };
  for (int lead = 0x80; lead <= 0xFF; ++lead) {
    const std::u16string single = convert({static_cast<char>(lead)});
    ASSERT_EQ(single.size(), 1u) << "byte " << lead;
    EXPECT_EQ(kGbkSingleBytes[lead - 0x80], single[0] == replacement ? 0 : single[0])
        << "byte " << lead;
    if (lead < kGbkFirstLead || lead >= kGbkFirstLead + kGbkLeadCount) continue;
    for (int trail = 0; trail <= 0xFF; ++trail) {
      // Followed by a byte that shows whether the system took the pair as one character.
      const std::u16string units =
          convert({static_cast<char>(lead), static_cast<char>(trail), 'z'});
      const bool character = units.size() == 2 && units[0] != replacement;
      const bool inTable = trail >= kGbkFirstTrail && trail < kGbkFirstTrail + kGbkTrailCount;
      ASSERT_TRUE(inTable || !character) << "bytes " << lead << " " << trail;
      if (!inTable) continue;
      EXPECT_EQ(kGbkPairs[(lead - kGbkFirstLead) * kGbkTrailCount + (trail - kGbkFirstTrail)],
                character ? units[0] : 0)
          << "bytes " << lead << " " << trail;
    }
  }
}
