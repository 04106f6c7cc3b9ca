// The stand-in for the ANSI code page off Windows: CP936 through iconv, where a byte that cannot
// be decoded becomes one U+FFFD and decoding goes on with the next byte. Both conversions off
// Windows tell the generation observer exactly where they replaced.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/text_conversion.h"
#include "told_replacements.h"

using namespace std::literals;

TEST(AnsiStandInTest, ReplacesEachUndecodableByte) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;
  };
  const Case kCases[] = {
      {"broken trail byte costs the lead byte only", "\x81\x20z"s, u"\uFFFD z"},
      {"lead byte cut off at the end", "a\x81"s, u"a\uFFFD"},
      {"0xff is no character", "\xFFz"s, u"\uFFFDz"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    const auto count = static_cast<std::int32_t>(c.bytes.size());
    std::u16string units(
        static_cast<std::size_t>(MultiByteToUtf16(kCodePageAnsi, bytes, count, nullptr, 0)), u'#');
    MultiByteToUtf16(kCodePageAnsi, bytes, count, units.data(),
                     static_cast<std::int32_t>(units.size()));
    EXPECT_EQ(units, c.units);
  }
}

TEST(ReplacementTest, TellsWhereEachReplacementWasWrittenAndNothingElse) {
  struct Case {
    const char* name;
    std::uint32_t codePage;
    std::string bytes;
    std::vector<std::int32_t> offsets;
  };
  const Case kCases[] = {
      {"utf-8: a U+FFFD of the input is none, each maximal malformed subpart is one",
       kCodePageUtf8,
       "a\xEF\xBF\xBD\xC0\x80\xED\xA0\x80"
       "b"s,
       {2, 3, 4, 5, 6}},
      {"gbk: a broken trail byte costs the lead byte only",
       kCodePageAnsi,
       "a\x81\x20\xD6\xD0\x81"s,
       {1, 4}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ToldReplacements(c.codePage, c.bytes), c.offsets);
  }
}
