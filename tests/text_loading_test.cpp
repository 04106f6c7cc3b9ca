#include "text_loading.h"

#include <gtest/gtest.h>

#include <string>

#include "memory.h"
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
  const auto path = m_folder.Write("t.txt", "\xE4\xB8\xAD\xE6\x96\x87");
  for (int failAt : {1, 2}) {  // the byte buffer, then the decoded text
    SCOPED_TRACE(failAt == 1 ? "byte buffer" : "decoded text");
    FailNth state{0, failAt};
    SetAllocationFilter(FailOnCall, &state);
    LoadedText text;
    const int status = Load(path, &text);
    SetAllocationFilter(nullptr, nullptr);
    EXPECT_EQ(status, kLoadNoMemory);
    EXPECT_EQ(text.text, nullptr);
    EXPECT_EQ(text.length, 0);
  }
}
