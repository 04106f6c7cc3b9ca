// What the engine relies on of the platform's conversion to UTF-16, whichever it is: the same
// count from the size query as from the conversion, no unit written beyond the room, zero bytes
// kept, empty input giving nothing, and GBK decoded as Windows' code page 936 decodes it.
#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <string>

#include "generation_observer.h"
#include "told_replacements.h"

using namespace std::literals;

namespace {

std::int32_t Count(std::uint32_t codePage, const std::string& bytes) {
  return MultiByteToUtf16(codePage, reinterpret_cast<const unsigned char*>(bytes.data()),
                          static_cast<std::int32_t>(bytes.size()), nullptr, 0);
}

std::u16string Convert(std::uint32_t codePage, const std::string& bytes) {
  std::u16string units(static_cast<std::size_t>(Count(codePage, bytes)), u'#');
  MultiByteToUtf16(codePage, reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<std::int32_t>(bytes.size()), units.data(),
                   static_cast<std::int32_t>(units.size()));
  return units;
}

class ReplacementRecorder : public GenerationObserver {
 public:
  ReplacementRecorder() { SetGenerationObserver(this); }
  ~ReplacementRecorder() override { SetGenerationObserver(nullptr); }
  ReplacementRecorder(const ReplacementRecorder&) = delete;
  ReplacementRecorder& operator=(const ReplacementRecorder&) = delete;
  void OnReplacement(std::int32_t offset) override { offsets.push_back(offset); }
  std::vector<std::int32_t> offsets;
};

}  // namespace

std::vector<std::int32_t> ToldReplacements(std::uint32_t codePage, const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  const auto count = static_cast<std::int32_t>(bytes.size());
  ReplacementRecorder recorder;
  const std::int32_t n = MultiByteToUtf16(codePage, data, count, nullptr, 0);
  EXPECT_TRUE(recorder.offsets.empty()) << "the size query tells nothing";
  std::u16string units(static_cast<std::size_t>(n), u'#');
  MultiByteToUtf16(codePage, data, count, units.data(), n);
  return recorder.offsets;
}

TEST(MultiByteToUtf16Test, TheSizeQueryCountsWhatTheConversionWrites) {
  struct Case {
    const char* name;
    std::uint32_t codePage;
    std::string bytes;
  };
  const Case kCases[] = {
      {"utf-8", kCodePageUtf8, "a\xE4\xB8\xAD\xF0\xA0\x80\x80"s},
      {"malformed utf-8", kCodePageUtf8, "\xC0\x80\xED\xA0\x80\xE1\x80z\xFF\x80\xF4\x90\x80\x80"s},
      {"utf-8 with zero bytes", kCodePageUtf8, "\0\xE4\xB8\xAD\0"s},
      {"gbk", kCodePageAnsi, "\xD6\xD0\xCE\xC4\x80z"s},
      {"malformed gbk", kCodePageAnsi, "\x81\x20\x81\x7F\xFF\xAA\xA1z\x81"s},
      {"gbk with zero bytes", kCodePageAnsi, "\0a\0"s},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::int32_t n = Count(c.codePage, c.bytes);
    ASSERT_GT(n, 0);
    // Room for exactly n units, then guards that must stay untouched.
    std::u16string out(static_cast<std::size_t>(n) + 4, u'#');
    EXPECT_EQ(MultiByteToUtf16(c.codePage, reinterpret_cast<const unsigned char*>(c.bytes.data()),
                               static_cast<std::int32_t>(c.bytes.size()), out.data(), n),
              n);
    EXPECT_EQ(out.substr(static_cast<std::size_t>(n)), u"####");
    EXPECT_EQ(out.find(u'#'), static_cast<std::size_t>(n));
  }
}

TEST(MultiByteToUtf16Test, ZeroBytesBecomeZeroUnitsAndEmptyInputGivesNothing) {
  for (std::uint32_t codePage : {kCodePageUtf8, kCodePageAnsi}) {
    SCOPED_TRACE(codePage);
    const std::string bytes = "a\0b"s;
    char16_t out[3] = {u'#', u'#', u'#'};
    EXPECT_EQ(
        MultiByteToUtf16(codePage, reinterpret_cast<const unsigned char*>(bytes.data()), 3, out, 3),
        3);
    EXPECT_EQ(std::u16string(out, 3), u"a\0b"s);
    EXPECT_EQ(Count(codePage, ""), 0);
  }
}

// Where Windows' code page 936 decodes more than GBK assigns: the pairs of GBK's user-defined
// areas and its unassigned pairs become Private Use Area characters, numbered on from U+E000
// (the areas AAA1..AFFE, F8A1..FEFE, A140..A7A0 row by row, then the unassigned pairs in byte
// order), and the bytes 80 and FF stand alone. Off Windows the same, so a table reads alike.
TEST(MultiByteToUtf16Test, GbkIsWindowsCodePage936WithItsPrivateUseAreaCharacters) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;
  };
  const Case kCases[] = {
      {"a gbk character", "\xD6\xD0z"s, u"中z"},
      {"the last gbk character before the unassigned pairs", "\xFE\x4Fz"s, u"\uFA29z"},
      {"80 alone is the euro sign", "\x80z"s, u"\u20ACz"},
      {"ff alone", "\xFFz"s, u"\uF8F5z"},
      {"first user-defined area, first pair", "\xAA\xA1z"s, u"\uE000z"},
      {"first user-defined area, last pair", "\xAF\xFEz"s, u"\uE233z"},
      {"second user-defined area, first pair", "\xF8\xA1z"s, u"\uE234z"},
      {"second user-defined area, last pair", "\xFE\xFEz"s, u"\uE4C5z"},
      {"third user-defined area, first pair", "\xA1\x40z"s, u"\uE4C6z"},
      {"third user-defined area around the trail byte 7f", "\xA1\x7E\xA1\x80"s, u"\uE504\uE505"},
      {"third user-defined area, last pair", "\xA7\xA0z"s, u"\uE765z"},
      {"first unassigned pair", "\xA2\xABz"s, u"\uE766z"},
      {"unassigned pairs after the last gb2312 row", "\xD7\xFA\xD7\xFEz"s, u"\uE810\uE814z"},
      {"last unassigned pair", "\xFE\xA0z"s, u"\uE864z"},
  };
  for (const std::uint32_t codePage : {kCodePageAnsi, kCodePageGbk}) {
    for (const Case& c : kCases) {
      SCOPED_TRACE(testing::Message() << c.name << ", code page " << codePage);
      EXPECT_EQ(Convert(codePage, c.bytes), c.units);
    }
  }
}
