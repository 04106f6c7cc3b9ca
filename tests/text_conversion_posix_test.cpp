// The stand-in for the ANSI code page off Windows: CP936 through iconv, where a byte that cannot
// be decoded becomes one U+FFFD and decoding goes on with the next byte.
#include <gtest/gtest.h>

#include <string>

#include "platform/text_conversion.h"

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
