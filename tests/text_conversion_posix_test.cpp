// The stand-in for the ANSI code page off Windows: CP936 by a table of our own, where a byte that
// cannot be decoded becomes one U+FFFD and decoding goes on with the next byte; the table is
// checked against glibc's CP936 converter. Both conversions off Windows tell the generation
// observer exactly where they replaced.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <random>
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

namespace {

// The obvious decoder, through iconv: a byte that starts no character becomes U+FFFD and
// decoding goes on with the next byte.
class IconvGbk {
 public:
  IconvGbk() : m_converter(iconv_open("UTF-16LE", "CP936")) {}
  ~IconvGbk() {
    if (Works()) iconv_close(m_converter);
  }
  bool Works() const { return m_converter != reinterpret_cast<iconv_t>(-1); }

  std::u16string Decode(const std::string& text) {
    std::u16string out;
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    while (inLeft > 0) {
      char16_t chunk[256];
      char* to = reinterpret_cast<char*>(chunk);
      std::size_t toLeft = sizeof chunk;
      iconv(m_converter, nullptr, nullptr, nullptr, nullptr);
      const bool failed =
          iconv(m_converter, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1);
      const int error = failed ? errno : 0;
      out.append(chunk, (sizeof chunk - toLeft) / 2);
      if (error == EILSEQ || error == EINVAL) {
        out += u'\uFFFD';
        ++in;
        --inLeft;
      }
    }
    return out;
  }

 private:
  iconv_t m_converter;
};

std::u16string TableDecode(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto count = static_cast<std::int32_t>(text.size());
  const std::int32_t n = MultiByteToUtf16(kCodePageAnsi, bytes, count, nullptr, 0);
  std::u16string out(static_cast<std::size_t>(n), u'#');
  EXPECT_EQ(MultiByteToUtf16(kCodePageAnsi, bytes, count, out.data(), n), n);
  return out;
}

}  // namespace

TEST(GbkTableTest, EveryBytePairDecodesAsTheSystemConverterDecodesIt) {
  IconvGbk iconv;
  if (!iconv.Works()) GTEST_SKIP() << "glibc's CP936 converter is not installed";
  for (int first = 0; first < 256; ++first) {
    const std::string single(1, static_cast<char>(first));
    ASSERT_EQ(TableDecode(single), iconv.Decode(single)) << "byte " << first;
    for (int second = 0; second < 256; ++second) {
      // The pair alone, and followed by a byte that shows how much of it was taken.
      std::string pair = single + static_cast<char>(second);
      ASSERT_EQ(TableDecode(pair), iconv.Decode(pair)) << "bytes " << first << " " << second;
      pair += 'z';
      ASSERT_EQ(TableDecode(pair), iconv.Decode(pair)) << "bytes " << first << " " << second;
    }
  }
}

TEST(GbkTableTest, RandomTextDecodesAsTheSystemConverterDecodesIt) {
  IconvGbk iconv;
  if (!iconv.Works()) GTEST_SKIP() << "glibc's CP936 converter is not installed";
  std::mt19937 random(36);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 40); n > 0; --n) {
      switch (random() % 4) {
        case 0:
          text += "plain ascii text";
          break;
        case 1:
          text += "\xD6\xD0\xCE\xC4";
          break;  // 中文
        default:
          text += static_cast<char>(random() % 256);
          break;
      }
    }
    SCOPED_TRACE(testing::Message() << "round " << round);
    const std::u16string expected = iconv.Decode(text);
    ASSERT_EQ(TableDecode(text), expected);
    // With room for a part only, the rest is counted, never written.
    const auto n = static_cast<std::int32_t>(expected.size());
    const auto room = static_cast<std::int32_t>(random() % (n + 1));
    std::u16string units(static_cast<std::size_t>(n) + 2, u'#');
    ASSERT_EQ(MultiByteToUtf16(kCodePageAnsi, reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<std::int32_t>(text.size()), units.data(), room),
              n);
    ASSERT_EQ(units.substr(0, room), expected.substr(0, room));
    ASSERT_EQ(units.substr(room), std::u16string(static_cast<std::size_t>(n - room) + 2, u'#'));
  }
}
