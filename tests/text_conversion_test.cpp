// What the engine relies on of the platform's conversion to UTF-16, whichever it is: the same
// count from the size query as from the conversion, no unit written beyond the room, zero bytes
// kept, and empty input giving nothing.
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
