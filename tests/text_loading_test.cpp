#include "text_loading.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "memory.h"
#include "platform/text_conversion.h"
#include "test_files.h"
#include "test_platform.h"
#include "utf8.h"

using namespace std::literals;  // "..."s keeps embedded zero bytes

namespace {

struct Decoded {
  int status;
  std::u16string units;  // all `length` units, zero units included
};

Decoded Decode(const std::string& bytes) {
  LoadedText text;
  const int status = DecodeText(reinterpret_cast<const unsigned char*>(bytes.data()),
                                static_cast<std::int32_t>(bytes.size()), &text);
  Decoded result{status, {}};
  if (text.text != nullptr) {
    EXPECT_EQ(text.text[text.length], u'\0') << "the text must end with a zero unit";
    result.units.assign(text.text, static_cast<std::size_t>(text.length));
  }
  ReleaseLoadedText(&text);
  return result;
}

bool IsUtf8(const std::string& bytes) {
  return IsUtf8Text(reinterpret_cast<const unsigned char*>(bytes.data()),
                    static_cast<std::int32_t>(bytes.size()));
}

}  // namespace

TEST(DecodeTextTest, DecidesTheEncodingByMarkThenUtf8TestThenAnsi) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;
  };
  const Case kCases[] = {
      {"empty", ""s, u""},
      {"utf-8 mark alone", "\xEF\xBB\xBF"s, u""},
      {"utf-16le mark alone", "\xFF\xFE"s, u""},
      {"utf-16be mark alone", "\xFE\xFF"s, u""},
      {"one byte goes through ansi", "A"s, u"A"},
      {"utf-8 after a mark", "\xEF\xBB\xBF" "\xE4\xB8\xAD\xE6\x96\x87"s, u"中文"},
      {"utf-16le, odd byte count", "\xFF\xFE" "A\0B"s, u"AB"},
      {"utf-16le passes surrogates and marks unchecked",
       "\xFF\xFE" "\x00\xD8\xFF\xFE" "\x00\xDC"s, u"\xD800\xFEFF\xDC00"},
      {"utf-16be, odd byte count", "\xFE\xFF" "\0AB"s, u"A\x4200"},
      {"utf-16be stops swapping at zero", "\xFE\xFF" "\0A\0\0\0B"s, u"A\0\x4200"s},
      {"utf-32le read as utf-16le", "\xFF\xFE\0\0A\0\0\0"s, u"\0A\0"s},
      {"utf-8 without mark", "\xE4\xB8\xAD" "a"s, u"中a"},
      {"4-byte utf-8 gives a surrogate pair", "\xF0\xA0\x80\x80"s, u"\U00020000"},
      {"7-bit text goes through ansi", "word\tcode\r\n"s, u"word\tcode\r\n"},
      {"gbk text", "\xD6\xD0\xCE\xC4"s, u"中文"},
      {"gbk 0x80 is the euro sign", "\x80" "a"s, u"\u20ACa"},
      {"a gbk user-defined pair is a private use character", "\xAA\xA1" "a"s, u"\uE000a"},
      {"a stray continuation byte sends utf-8 to ansi", "\xE4\xB8\xAD\x80"s, u"\u6D93\u74C8"},
      {"zero byte in utf-8 is a zero unit", "\xE4\xB8\xAD\0x"s, u"中\0x"s},
      {"zero byte in ansi is a zero unit", "a\0b"s, u"a\0b"s},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Decoded decoded = Decode(c.bytes);
    EXPECT_EQ(decoded.status, kLoadOk);
    EXPECT_EQ(decoded.units, c.units);
  }
}

// How many replacement units a malformed sequence yields differs between the conversions of the
// platforms, so only a run of at least one is required, with the text around it intact.
TEST(DecodeTextTest, MalformedInputBecomesReplacementTextAndDecodingGoesOn) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string before;
    char16_t replacement;
    std::u16string after;
  };
  const char16_t utf8 = 0xFFFD;
  const char16_t ansi = AnsiReplacementUnit();
  const Case kCases[] = {
      {"overlong form passes the test, then is replaced", "\xC0\x80" "a"s, u"", utf8, u"a"},
      {"encoded surrogate is replaced", "b\xED\xA0\x80"s, u"b", utf8, u""},
      {"8-byte form is replaced", "\xFF\x80\x80\x80\x80\x80\x80\x80" "c"s, u"", utf8, u"c"},
      {"ansi text after a utf-8 mark is replaced", "\xEF\xBB\xBF" "x\xD6\xD0" "a"s, u"x", utf8,
       u"a"},
      {"gbk lead byte cut off at the end", "a\x81"s, u"a", ansi, u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Decoded decoded = Decode(c.bytes);
    EXPECT_EQ(decoded.status, kLoadOk);
    const std::u16string& units = decoded.units;
    ASSERT_GT(units.size(), c.before.size() + c.after.size());
    EXPECT_EQ(units.substr(0, c.before.size()), c.before);
    EXPECT_EQ(units.substr(units.size() - c.after.size()), c.after);
    const std::u16string middle =
        units.substr(c.before.size(), units.size() - c.before.size() - c.after.size());
    EXPECT_EQ(middle, std::u16string(middle.size(), c.replacement));
  }
}

TEST(IsUtf8TextTest, AcceptsOnlyWellShapedMultiByteData) {
  struct Case {
    const char* name;
    std::string bytes;
    bool utf8;
  };
  const Case kCases[] = {
      {"empty", ""s, false},
      {"7-bit only", "abc"s, false},
      {"two-byte sequence", "\xC3\xA9"s, true},
      {"three-byte sequence among ascii", "a\xE4\xB8\xAD" "b"s, true},
      {"lone continuation byte", "a\x80"s, false},
      {"lead byte followed by 7-bit", "\xC3" "a"s, false},
      {"sequence cut off at the end", "a\xE4\xB8"s, false},
      {"overlong form", "\xC0\x80"s, true},
      {"encoded surrogate", "\xED\xA0\x80"s, true},
      {"5-byte form", "\xF8\x88\x80\x80\x80"s, true},
      {"8-byte form", "\xFF\x80\x80\x80\x80\x80\x80\x80"s, true},
      {"8-byte form one short", "\xFF\x80\x80\x80\x80\x80\x80"s, false},
      {"utf-16le text without mark", "a\0b\0"s, false},
      {"gbk text", "\xD6\xD0\xCE\xC4"s, false},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsUtf8(c.bytes), c.utf8);
  }
}

TEST(DecodeUtf8Test, ReplacesEachMaximalMalformedSubpart) {
  struct Case {
    const char* name;
    std::string bytes;
    std::u16string units;
  };
  // The examples of Unicode's recommended practice (chapter 3, U+FFFD substitution).
  const Case kCases[] = {
      {"truncated 3-byte then ascii", "\xE1\x80" "a"s, u"\uFFFDa"},
      {"truncated 4-byte sequences",
       "\xF1\x80\x80\xE1\x80\xC2"s, u"\uFFFD\uFFFD\uFFFD"},
      {"lead byte out of range", "\xF5\x80"s, u"\uFFFD\uFFFD"},
      {"overlong form", "\xC0\x80"s, u"\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80"s, u"\uFFFD\uFFFD\uFFFD"},
      {"second byte out of range for E0", "\xE0\x80\x80"s, u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80"s, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"largest code point", "\xF4\x8F\xBF\xBF"s, u"\U0010FFFF"},
      {"mixed", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64"s,
       u"a\uFFFD\uFFFD\uFFFDb\uFFFDc\uFFFD\uFFFDd"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.bytes.data());
    const auto count = static_cast<std::int32_t>(c.bytes.size());
    const std::int32_t n = DecodeUtf8(bytes, count, nullptr, 0);
    std::u16string units(static_cast<std::size_t>(n), u'?');
    EXPECT_EQ(DecodeUtf8(bytes, count, units.data(), n), n) << "size query and conversion agree";
    EXPECT_EQ(units, c.units);
  }
}

TEST(EncodeUtf8Test, EncodesPairsAndReplacesLoneSurrogates) {
  const std::u16string text = u"a中\U00020000\xD800z";
  std::string bytes(EncodeUtf8(text.data(), text.size(), nullptr, 0), '\0');
  EncodeUtf8(text.data(), text.size(), bytes.data(), bytes.size());
  EXPECT_EQ(bytes, "a\xE4\xB8\xAD\xF0\xA0\x80\x80\xEF\xBF\xBDz"s);
}

class LoadTextFileTest : public ::testing::Test {
 protected:
  int Load(const std::filesystem::path& path, LoadedText* text) {
    return LoadTextFile(EnginePath(path).c_str(), text);
  }
  TempFolder m_folder;
};

TEST_F(LoadTextFileTest, LoadsAndDecodesTheWholeFile) {
  LoadedText text;
  ASSERT_EQ(Load(m_folder.Write("t.txt", "\xEF\xBB\xBF" "词\tci\r\n"s), &text), kLoadOk);
  EXPECT_EQ(std::u16string(text.text, 6), u"词\tci\r\n");
  EXPECT_EQ(text.length, 6);
  ReleaseLoadedText(&text);
  EXPECT_EQ(text.text, nullptr);
}

TEST_F(LoadTextFileTest, EmptyFileGivesAnEmptyTextThatMustStillBeReleased) {
  LoadedText text;
  ASSERT_EQ(Load(m_folder.Write("empty.txt", ""), &text), kLoadOk);
  ASSERT_NE(text.text, nullptr);
  EXPECT_EQ(text.text[0], u'\0');
  EXPECT_EQ(text.length, 0);
  ReleaseLoadedText(&text);
}

TEST_F(LoadTextFileTest, NamesThatAreNoRegularFileCannotBeOpened) {
  std::filesystem::create_directory(m_folder.path() / "folder");
  const std::filesystem::path kPaths[] = {m_folder.path() / "missing.txt",
                                          m_folder.path() / "folder", kNullDevice, ""};
  for (const auto& path : kPaths) {
    SCOPED_TRACE(path);
    LoadedText text{reinterpret_cast<char16_t*>(1), 7};  // must be overwritten
    EXPECT_EQ(Load(path, &text), kLoadCannotOpen);
    EXPECT_EQ(text.text, nullptr);
    EXPECT_EQ(text.length, 0);
  }
}

TEST_F(LoadTextFileTest, ChineseFileNamesReachTheFileSystem) {
  LoadedText text;
  EXPECT_EQ(Load(m_folder.Write("提示内容表.txt", "ab"), &text), kLoadOk);
  EXPECT_EQ(text.length, 2);
  ReleaseLoadedText(&text);
}

TEST_F(LoadTextFileTest, NoMemoryForTheBytesOrTheTextGivesStatus2AndNoText) {
  // Well-formed UTF-8 is decoded into a text for the most units that it can yield, one a byte;
  // without memory for that, into a text of the exact size, counted first.
  const auto path = m_folder.Write("t.txt", "\xE4\xB8\xAD\xE6\x96\x87");
  struct Case {
    const char* name;
    FailNth refused;
    int status;
    std::u16string text;
  };
  const Case kCases[] = {
      {"the byte buffer", {0, 1}, kLoadNoMemory, u""},
      {"the larger text: the exact one instead", {0, 2}, kLoadOk, u"中文"},
      {"both texts", {0, 2, true}, kLoadNoMemory, u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    FailNth state = c.refused;
    SetAllocationFilter(FailOnCall, &state);
    LoadedText text;
    const int status = Load(path, &text);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(status, c.status);
    ASSERT_EQ(text.text == nullptr, c.status != kLoadOk);
    const std::u16string units =
        text.text == nullptr ? u""s : std::u16string(text.text, c.text.size() + 1);
    EXPECT_EQ(units, text.text == nullptr ? u""s : c.text + u'\0');
    EXPECT_EQ(text.length, static_cast<std::int32_t>(c.text.size()));
    ReleaseLoadedText(&text);
  }
}

TEST_F(LoadTextFileTest, AReadBufferServesEveryFileThatFitsAndGrowsForOneThatDoesNot) {
  const auto small = m_folder.Write("small.txt", "ab");
  const auto large = m_folder.Write("large.txt", "0123456789abc");
  const auto larger = m_folder.Write("larger.txt", std::string(20, 'x'));
  struct Case {
    const char* name;
    std::filesystem::path path;
    int failAt;  // the allocation refused, 0 for none
    int status;
    std::u16string text;
    int asked;         // allocations asked for, the text's included
    std::size_t kept;  // the bytes that the buffer holds afterwards
    bool sameBytes;    // the buffer still holds the memory that it held before
  };
  const Case kCases[] = {
      {"the first file", small, 0, kLoadOk, u"ab", 2, 4, false},
      {"a larger one takes a larger buffer", large, 0, kLoadOk, u"0123456789abc", 2, 15, false},
      {"a smaller one reuses it", small, 0, kLoadOk, u"ab", 1, 15, true},
      {"and again", small, 0, kLoadOk, u"ab", 1, 15, true},
      {"no memory for the text: the buffer stays", small, 1, kLoadNoMemory, u"", 1, 15, true},
      {"no memory for a larger one: an empty buffer", larger, 1, kLoadNoMemory, u"", 1, 0, false},
      {"a buffer afresh", small, 0, kLoadOk, u"ab", 2, 4, false},
  };
  ReadBuffer buffer;
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const unsigned char* before = buffer.bytes;
    FailNth state{0, c.failAt};
    SetAllocationFilter(FailOnCall, &state);
    LoadedText text;
    const int status = LoadTextFileInto(EnginePath(c.path).c_str(), &buffer, &text);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(std::u16string(text.text == nullptr ? u"" : text.text), c.text);
    EXPECT_EQ(state.calls, c.asked);
    EXPECT_EQ(buffer.size, c.kept);
    EXPECT_EQ(buffer.bytes == nullptr, c.kept == 0);
    if (c.sameBytes) {
      EXPECT_EQ(buffer.bytes, before);
    }
    ReleaseLoadedText(&text);
  }
  ReleaseReadBuffer(&buffer);
  EXPECT_EQ(buffer.bytes, nullptr);
  EXPECT_EQ(buffer.size, 0u);
}

namespace {

// The obvious UTF-8 decoder, one sequence at a time by the rules of DecodeUtf8's contract.
// `*malformed`, when given, tells whether any sequence was replaced.
std::u16string SlowDecodeUtf8(const std::string& text, bool* malformed = nullptr) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t count = text.size();
  std::u16string out;
  auto put = [&](char32_t c) {
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  };
  std::size_t i = 0;
  while (i < count) {
    const unsigned char lead = bytes[i];
    int trail = -1;
    char32_t c = 0;
    if (lead < 0x80) trail = 0, c = lead;
    if (lead >= 0xC2 && lead <= 0xDF) trail = 1, c = lead & 0x1F;
    if (lead >= 0xE0 && lead <= 0xEF) trail = 2, c = lead & 0x0F;
    if (lead >= 0xF0 && lead <= 0xF4) trail = 3, c = lead & 0x07;
    ++i;
    if (trail < 0) {
      put(0xFFFD);
      if (malformed != nullptr) *malformed = true;
      continue;
    }
    bool complete = true;
    for (int t = 0; t < trail; ++t) {
      unsigned char low = 0x80, high = 0xBF;
      if (t == 0 && lead == 0xE0) low = 0xA0;
      if (t == 0 && lead == 0xED) high = 0x9F;
      if (t == 0 && lead == 0xF0) low = 0x90;
      if (t == 0 && lead == 0xF4) high = 0x8F;
      if (i >= count || bytes[i] < low || bytes[i] > high) {
        complete = false;
        break;
      }
      c = c << 6 | (bytes[i++] & 0x3F);
    }
    put(complete ? c : 0xFFFD);
    if (!complete && malformed != nullptr) *malformed = true;
  }
  return out;
}

// The obvious shape test, byte by byte.
bool SlowIsUtf8(const std::string& text) {
  int expected = 0;
  bool high = false;
  for (const char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b >= 0x80) high = true;
    if (expected > 0) {
      if ((b & 0xC0) != 0x80) return false;
      --expected;
    } else if (b >= 0x80) {
      int ones = 0;
      while (ones < 8 && (b & (0x80 >> ones)) != 0)
        ++ones;
      if (ones == 1) return false;
      expected = ones - 1;
    }
  }
  return expected == 0 && high;
}

// Text made of pieces that reach every path of the decoders: runs of 7-bit bytes long enough for
// the word-at-a-time path, well-formed sequences of every length, the edges of the 3-byte range,
// and every kind of malformed or cut-short sequence.
std::string RandomUtf8Text(std::mt19937* random, bool wellShaped) {
  static const std::string kGood[] = {"a",
                                      "\t",
                                      "\r\n",
                                      "\0"s,
                                      "abcdefghijk",
                                      "中文词语",
                                      "\xC3\xA9",
                                      "\xE4\xB8\xAD",
                                      "\xE0\xA0\x80",
                                      "\xED\x9F\xBF",
                                      "\xEF\xBF\xBF",
                                      "\xF0\x9F\x98\x80",
                                      "\xF4\x8F\xBF\xBF",
                                      "\xE0\x80\x80",
                                      "\xED\xA0\x80",
                                      "\xC0\x80",
                                      "\xF4\x90\x80\x80",
                                      "\xF8\x88\x80\x80\x80"};
  static const std::string kBad[] = {"\x80", "\xBF", "\xE4", "\xE4\xB8", "\xF0\x9F",
                                     "\xC1", "\xF5", "\xFF", "\xFE\x80"};
  std::string text;
  for (int n = static_cast<int>((*random)() % 30); n > 0; --n) {
    if (!wellShaped && (*random)() % 6 == 0) {
      text += kBad[(*random)() % std::size(kBad)];
    } else {
      text += kGood[(*random)() % std::size(kGood)];
    }
  }
  return text;
}

}  // namespace

TEST(DecodeUtf8Test, AgreesWithTheObviousDecoderOnRandomText) {
  std::mt19937 random(424242);
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomUtf8Text(&random, round % 2 == 0);
    SCOPED_TRACE(testing::Message() << "round " << round);
    const std::u16string expected = SlowDecodeUtf8(text);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto count = static_cast<std::int32_t>(text.size());
    const auto n = static_cast<std::int32_t>(expected.size());
    ASSERT_EQ(DecodeUtf8(bytes, count, nullptr, 0), n);
    // With room for all of it, and with room for a part: the rest is counted, never written.
    const std::int32_t room = round % 3 == 0 ? static_cast<std::int32_t>(random() % (n + 1)) : n;
    std::u16string units(static_cast<std::size_t>(n) + 4, u'#');
    ASSERT_EQ(DecodeUtf8(bytes, count, units.data(), room), n);
    ASSERT_EQ(units.substr(0, static_cast<std::size_t>(room)), expected.substr(0, room));
    ASSERT_EQ(units.substr(static_cast<std::size_t>(room)),
              std::u16string(static_cast<std::size_t>(n - room) + 4, u'#'));
  }
}

TEST(DecodeWellFormedUtf8Test, DecodesWellFormedTextAsTheObviousDecoderAndStopsAtAnythingElse) {
  std::mt19937 random(434343);
  int wellFormed = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomUtf8Text(&random, round % 2 == 0);
    SCOPED_TRACE(testing::Message() << "round " << round);
    bool malformed = false;
    const std::u16string expected = SlowDecodeUtf8(text, &malformed);
    const auto count = static_cast<std::int32_t>(text.size());
    // Room for a unit a byte and no more: a decoder that wrote beyond it would show in the
    // guard units, and under the sanitizers.
    std::u16string units(static_cast<std::size_t>(count) + 4, u'#');
    const std::int32_t n = DecodeWellFormedUtf8(reinterpret_cast<const unsigned char*>(text.data()),
                                                count, units.data());
    if (malformed) {
      ASSERT_EQ(n, -1);
      continue;
    }
    ++wellFormed;
    ASSERT_EQ(n, static_cast<std::int32_t>(expected.size()));
    ASSERT_EQ(units.substr(0, expected.size()), expected);
    ASSERT_EQ(units.substr(static_cast<std::size_t>(count)), u"####");
  }
  EXPECT_GT(wellFormed, 2000);
  EXPECT_LT(wellFormed, 18000);
}

TEST(IsUtf8TextTest, AgreesWithTheObviousTestOnRandomText) {
  std::mt19937 random(515151);
  int utf8 = 0;
  for (int round = 0; round < 20000; ++round) {
    const std::string text = RandomUtf8Text(&random, round % 2 == 0);
    SCOPED_TRACE(testing::Message() << "round " << round);
    ASSERT_EQ(IsUtf8(text), SlowIsUtf8(text));
    utf8 += SlowIsUtf8(text) ? 1 : 0;
  }
  EXPECT_GT(utf8, 5000);
  EXPECT_LT(utf8, 15000);
}

TEST(DecodeTextTest, Utf8TextDecodesAsTheConversionDecodesIt) {
  // Well-formed text is tested and decoded in one pass; anything else is tested, counted and
  // then converted. Both must give what the conversion gives after its own size query.
  std::mt19937 random(616161);
  int checked = 0;
  for (int round = 0; round < 20000; ++round) {
    const bool marked = round % 3 == 0;
    const std::string text = RandomUtf8Text(&random, round % 2 == 0);
    if (!marked && !SlowIsUtf8(text)) continue;  // the ANSI code page's business
    SCOPED_TRACE(testing::Message() << "round " << round);
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const auto count = static_cast<std::int32_t>(text.size());
    std::u16string expected(
        static_cast<std::size_t>(MultiByteToUtf16(kCodePageUtf8, bytes, count, nullptr, 0)), u'#');
    MultiByteToUtf16(kCodePageUtf8, bytes, count, expected.data(),
                     static_cast<std::int32_t>(expected.size()));
    const Decoded decoded = Decode(marked ? "\xEF\xBB\xBF" + text : text);
    ASSERT_EQ(decoded.status, kLoadOk);
    ASSERT_EQ(decoded.units, expected);
    ++checked;
  }
  EXPECT_GT(checked, 8000);
}
