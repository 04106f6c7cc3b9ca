// The stand-in for the ANSI code page off Windows: CP936 by a table of our own, where a byte that
// cannot be decoded becomes one U+FFFD and decoding goes on with the next byte; the table is
// checked against glibc's CP936 converter, and against what Windows' code page 936 decodes beyond
// it. Both conversions off Windows tell the generation observer exactly where they replaced.
#include <gtest/gtest.h>
#include <iconv.h>

#include <cerrno>
#include <map>
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
      {"trail byte 7f costs the lead byte only", "\x81\x7Fz"s, u"\uFFFD\x7Fz"},
      {"a lead byte before ff, which stands alone", "\x81\xFFz"s, u"\uFFFD\uF8F5z"},
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

// The obvious decoder, through iconv, with what Windows' code page 936 decodes beyond glibc's
// CP936: where iconv stops at a byte, that byte or pair is one of Windows' additions, or else
// becomes U+FFFD and decoding goes on with the next byte.
class WindowsGbk {
 public:
  WindowsGbk() : m_converter(iconv_open("UTF-16LE", "CP936")) {
    if (!Works()) return;
    // FF alone, and pairs numbered on from U+E000: the user-defined areas row by row, then in
    // byte order the pairs (trail byte 40..7E or 80..FE) that glibc leaves undecoded.
    m_additions["\xFF"] = u'\uF8F5';
    char16_t next = 0xE000;
    const auto add = [&](int lead, int trail) {
      m_additions[{static_cast<char>(lead), static_cast<char>(trail)}] = next++;
    };
    const int kUserDefinedAreas[][4] = {
        {0xAA, 0xAF, 0xA1, 0xFE}, {0xF8, 0xFE, 0xA1, 0xFE}, {0xA1, 0xA7, 0x40, 0xA0}};
    for (const auto& area : kUserDefinedAreas) {
      for (int lead = area[0]; lead <= area[1]; ++lead) {
        for (int trail = area[2]; trail <= area[3]; ++trail) {
          if (trail != 0x7F) add(lead, trail);
        }
      }
    }
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
      for (int trail = 0x40; trail <= 0xFE; ++trail) {
        const std::string pair{static_cast<char>(lead), static_cast<char>(trail)};
        if (trail != 0x7F && !m_additions.contains(pair) && Iconv(pair).size() != 1) {
          add(lead, trail);
        }
      }
    }
    m_lastAddition = static_cast<char16_t>(next - 1);
  }
  ~WindowsGbk() {
    if (Works()) iconv_close(m_converter);
  }
  bool Works() const { return m_converter != reinterpret_cast<iconv_t>(-1); }
  char16_t LastAddition() const { return m_lastAddition; }

  std::u16string Decode(const std::string& text) {
    std::u16string out;
    std::size_t at = 0;
    while ((at += Iconv(text.substr(at), &out)) < text.size()) {
      std::size_t taken = 2;
      auto addition = m_additions.find(text.substr(at, 2));
      if (at + 2 > text.size() || addition == m_additions.end()) {
        taken = 1;
        addition = m_additions.find(text.substr(at, 1));
      }
      out += addition != m_additions.end() ? addition->second : u'\uFFFD';
      at += taken;
    }
    return out;
  }

 private:
  // Converts `text` until iconv stops; appends the units to `out` and returns the bytes taken.
  std::size_t Iconv(const std::string& text, std::u16string* out) {
    char* in = const_cast<char*>(text.data());
    std::size_t inLeft = text.size();
    iconv(m_converter, nullptr, nullptr, nullptr, nullptr);
    while (inLeft > 0) {
      char16_t chunk[256];
      char* to = reinterpret_cast<char*>(chunk);
      std::size_t toLeft = sizeof chunk;
      const bool failed =
          iconv(m_converter, &in, &inLeft, &to, &toLeft) == static_cast<std::size_t>(-1);
      const bool stopped = failed && errno != E2BIG;
      out->append(chunk, (sizeof chunk - toLeft) / 2);
      if (stopped) break;
    }
    return text.size() - inLeft;
  }
  std::u16string Iconv(const std::string& text) {
    std::u16string out;
    return Iconv(text, &out) == text.size() ? out : u"";
  }

  iconv_t m_converter;
  std::map<std::string, char16_t> m_additions;
  char16_t m_lastAddition = 0;
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

TEST(GbkTableTest, EveryBytePairDecodesAsGlibcOrAsWindowsAddsToIt) {
  WindowsGbk reference;
  if (!reference.Works()) GTEST_SKIP() << "glibc's CP936 converter is not installed";
  // Windows numbers 2149 pairs; another count means that glibc's table has moved.
  ASSERT_EQ(reference.LastAddition(), u'\uE864');
  for (int first = 0; first < 256; ++first) {
    const std::string single(1, static_cast<char>(first));
    ASSERT_EQ(TableDecode(single), reference.Decode(single)) << "byte " << first;
    for (int second = 0; second < 256; ++second) {
      // The pair alone, and followed by a byte that shows how much of it was taken.
      std::string pair = single + static_cast<char>(second);
      ASSERT_EQ(TableDecode(pair), reference.Decode(pair)) << "bytes " << first << " " << second;
      pair += 'z';
      ASSERT_EQ(TableDecode(pair), reference.Decode(pair)) << "bytes " << first << " " << second;
    }
  }
}

TEST(GbkTableTest, RandomTextDecodesAsGlibcOrAsWindowsAddsToIt) {
  WindowsGbk reference;
  if (!reference.Works()) GTEST_SKIP() << "glibc's CP936 converter is not installed";
  std::mt19937 random(36);
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = static_cast<int>(random() % 40); n > 0; --n) {
      switch (random() % 5) {
        case 0:
          text += "plain ascii text";
          break;
        case 1:
          text += "\xD6\xD0\xCE\xC4";
          break;  // 中文
        case 2:
          text += "\xAA\xA1\xFE\xA0\xFF";
          break;  // user-defined, unassigned, FF
        default:
          text += static_cast<char>(random() % 256);
          break;
      }
    }
    SCOPED_TRACE(testing::Message() << "round " << round);
    const std::u16string expected = reference.Decode(text);
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
