#include "generation_observer.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "hint_table.h"
#include "memory.h"
#include "test_files.h"
#include "test_platform.h"
#include "utf8.h"

using namespace std::literals;

namespace {

std::string Utf8(const char16_t* text) {
  std::size_t units = 0;
  while (text[units] != 0)
    ++units;
  std::string bytes(EncodeUtf8(text, units, nullptr, 0), '\0');
  EncodeUtf8(text, units, bytes.data(), bytes.size());
  return bytes;
}

const char* Name(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "utf-8";
    case TextEncoding::kUtf16Le:
      return "utf-16le";
    case TextEncoding::kUtf16Be:
      return "utf-16be";
    case TextEncoding::kAnsi:
      return "ansi";
    case TextEncoding::kGbk:
      return "gbk";
    default:
      return "auto";
  }
}

// Writes down every call as one line of text, so that a test states the whole sequence.
class Recorder : public GenerationObserver {
 public:
  Recorder() { SetGenerationObserver(this); }
  ~Recorder() override { SetGenerationObserver(nullptr); }
  Recorder(const Recorder&) = delete;
  Recorder& operator=(const Recorder&) = delete;

  void OnTableLoading(TableKind table) override {
    events.push_back(table == TableKind::kContent ? "loading content" : "loading code");
  }
  void OnTextDecoded(const TextDecoding& decoding) override {
    std::string event =
        "decoded "s + Name(decoding.encoding) + " " + std::to_string(decoding.bytes);
    if (decoding.forced) event += " forced";
    if (decoding.mark != ByteOrderMark::kNone) event += decoding.markKept ? " mark kept" : " mark";
    events.push_back(event);
  }
  void OnReplacement(std::int32_t offset) override {
    events.push_back("replacement " + std::to_string(offset));
  }
  void OnTableLoaded(int status, const LoadedText& text) override {
    events.push_back("loaded " + std::to_string(status) + " " + std::to_string(text.length));
  }
  void OnContentRecord(std::int32_t offset, const char16_t* word, ContentRecordOutcome outcome,
                       std::int32_t winner) override {
    const char* kOutcomes[] = {"indexed", "duplicate", "no-memory", "without-tab"};
    std::string event = "record " + std::to_string(offset) + " " +
                        kOutcomes[static_cast<int>(outcome)] + " " + Utf8(word);
    if (winner >= 0) event += " of " + std::to_string(winner);
    events.push_back(event);
  }
  void OnContentTail(std::int32_t offset, std::int32_t units) override {
    events.push_back("tail " + std::to_string(offset) + " " + std::to_string(units));
  }
  void OnCodeLine(std::int32_t offset, const char16_t* word, CodeLineOutcome outcome,
                  bool cut) override {
    const char* kOutcomes[] = {"written", "not-found", "without-tab"};
    std::string shown = Utf8(word);
    if (shown.size() > 8) shown = shown.substr(0, 3) + "..." + std::to_string(shown.size());
    events.push_back("line " + std::to_string(offset) + " " + kOutcomes[static_cast<int>(outcome)] +
                     " " + shown + (cut ? " cut" : ""));
  }

  std::vector<std::string> events;
};

class GenerationObserverTest : public ::testing::Test {
 protected:
  ~GenerationObserverTest() override {
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
  }

  void Build(const std::string& content) {
    BuildContentIndex(&m_content, EnginePath(m_folder.Write("content.txt", content)).c_str(),
                      &m_index);
  }

  std::int32_t Generate(const std::string& code) {
    return GenerateHintTable(m_index, u"", Result().c_str(),
                             EnginePath(m_folder.Write("code.txt", code)).c_str(), u"");
  }

  std::u16string Result() const { return EnginePath(m_folder.path() / "result.txt"); }

  TempFolder m_folder;
  LoadedText m_content;
  ContentIndex m_index = nullptr;
};

}  // namespace

TEST_F(GenerationObserverTest, TellsWhatBecameOfEveryContentRecord) {
  Recorder recorder;
  // Offsets: "a\t1\r\n" 0, "x y\r\n" 5, "a\t2\r\n\r\n" 10, "b\nc\t3\r\n" 17, tail "d\t4" 24.
  Build("a\t1\r\nx y\r\na\t2\r\n\r\nb\nc\t3\r\nd\t4");
  const std::vector<std::string> expected = {
      "loading content",
      "decoded ansi 27",
      "loaded 0 27",
      "record 0 indexed a",
      "record 5 without-tab x y",
      "record 10 duplicate a of 0",
      "record 17 indexed b\nc",
      "tail 24 3",
  };
  EXPECT_EQ(recorder.events, expected);
}

TEST_F(GenerationObserverTest, TellsTheTailOnlyWhenTextFollowsTheLastCrLf) {
  struct Case {
    const char* name;
    std::string content;
    std::vector<std::string> records;
  };
  const Case kCases[] = {
      {"no cr lf at all: everything is tail", "a\t1\nb\t2", {"tail 0 7"}},
      {"nothing after the last cr lf", "a\t1\r\n\n", {"record 0 indexed a"}},
      {"the first zero unit ends the tail", "a\t1\r\nbc\0de"s, {"record 0 indexed a", "tail 5 2"}},
      {"an empty table", "", {}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
    Recorder recorder;
    Build(c.content);
    ASSERT_GE(recorder.events.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(recorder.events.begin() + 3, recorder.events.end()),
              c.records);
  }
}

TEST_F(GenerationObserverTest, TellsARecordThatTheIndexHadNoMemoryFor) {
  Recorder recorder;
  FailNth state{0, 4};  // the bytes, the text, the first node, then the second node
  SetAllocationFilter(FailOnCall, &state);
  Build("a\t1\r\nb\t2\r\nc\t3\r\n");
  SetAllocationFilter(nullptr, nullptr);
  const std::vector<std::string> records(recorder.events.begin() + 3, recorder.events.end());
  const std::vector<std::string> expected = {"record 0 indexed a", "record 5 no-memory b",
                                             "record 10 indexed c"};
  EXPECT_EQ(records, expected);
}

TEST_F(GenerationObserverTest, TellsWhatBecameOfEveryCodeLine) {
  Build("a\t1\r\nb\t2\r\n");
  Recorder recorder;
  // Offsets: "\n" 0 (a leading break is an empty line), "a\tx\r\n" 1, "c\ty\n\n" 6,
  // "no tab\r" 11, "b\tz" 18.
  EXPECT_EQ(Generate("\na\tx\r\nc\ty\n\nno tab\rb\tz"), 2);
  const std::vector<std::string> expected = {
      "loading code",
      "decoded ansi 21",
      "loaded 0 21",
      "line 0 without-tab ",
      "line 1 written a",
      "line 6 not-found c",
      "line 11 without-tab no tab",
      "line 18 written b",
  };
  EXPECT_EQ(recorder.events, expected);
}

TEST_F(GenerationObserverTest, TellsWhichCodeLinesWereCutAt4095Units) {
  Build("a\t1\r\n");
  struct Case {
    const char* name;
    std::string code;
    std::vector<std::string> lines;
  };
  const std::string full(4095, 'w');
  const Case kCases[] = {
      {"4095 units and the end of the text", full, {"line 0 without-tab www...4095"}},
      {"4095 units and a line break, which then makes an empty line",
       full + "\r\na\tx",
       {"line 0 without-tab www...4095", "line 4095 without-tab ", "line 4097 written a"}},
      {"more than 4095 units: the rest is the next line",
       full + "a\tx",
       {"line 0 without-tab www...4095 cut", "line 4095 written a"}},
      {"a cut line whose tab came early",
       "a\t" + full,
       {"line 0 written a cut", "line 4095 without-tab ww"}},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    Recorder recorder;
    Generate(c.code);
    ASSERT_GE(recorder.events.size(), 3u);
    EXPECT_EQ(std::vector<std::string>(recorder.events.begin() + 3, recorder.events.end()),
              c.lines);
  }
}

TEST_F(GenerationObserverTest, TablesThatCannotBeReadTellOnlyTheirLoading) {
  Recorder recorder;
  BuildContentIndex(&m_content, EnginePath(m_folder.path() / "missing.txt").c_str(), &m_index);
  Build("a\t1\r\n");
  recorder.events.clear();
  EXPECT_EQ(GenerateHintTable(m_index, u"", Result().c_str(),
                              EnginePath(m_folder.path() / "missing.txt").c_str(), u""),
            0);
  const std::vector<std::string> missingCode = {"loading code", "loaded 1 0"};
  EXPECT_EQ(recorder.events, missingCode);

  // A result file that cannot be created: the code table is not read, and nothing is told.
  recorder.events.clear();
  const auto noFolder = EnginePath(m_folder.path() / "no" / "result.txt");
  EXPECT_EQ(GenerateHintTable(m_index, u"", noFolder.c_str(),
                              EnginePath(m_folder.Write("code.txt", "a\tx")).c_str(), u""),
            0);
  EXPECT_TRUE(recorder.events.empty());
}

TEST_F(GenerationObserverTest, TheHintTableIsTheSameWithAndWithoutAnObserver) {
  const std::string content = "a\t1\r\na\t2\r\nb\n\t3\r\nc\t4\r\nrest";
  const std::string code = "a\tx\nb\ty\nc\tz\nd\tw\n" + std::string(5000, 'q');
  Build(content);
  const std::int32_t plainCount = Generate(code);
  const std::string plain = ReadBytes(m_folder.path() / "result.txt");
  IndexRelease(&m_index);
  ReleaseLoadedText(&m_content);
  Recorder recorder;
  Build(content);
  EXPECT_EQ(Generate(code), plainCount);
  EXPECT_EQ(ReadBytes(m_folder.path() / "result.txt"), plain);
}

namespace {

struct Decoding {
  std::vector<std::string> events;
  std::u16string units;
};

Decoding DecodeAs(const std::string& bytes, TextEncoding encoding) {
  Recorder recorder;
  LoadedText text;
  EXPECT_EQ(DecodeTextAs(reinterpret_cast<const unsigned char*>(bytes.data()),
                         static_cast<std::int32_t>(bytes.size()), encoding, &text),
            kLoadOk);
  Decoding result{recorder.events,
                  std::u16string(text.text, static_cast<std::size_t>(text.length))};
  ReleaseLoadedText(&text);
  return result;
}

}  // namespace

TEST(DecodeTextAsTest, DetectsOrForcesTheEncodingAndTellsWhichAndWhereItReplaced) {
  // 通知 in GBK: bytes that are also well-formed UTF-8 (U+0368 U+05AA).
  const std::string tongzhi = "\xCD\xA8\xD6\xAA"s;
  struct Case {
    const char* name;
    std::string bytes;
    TextEncoding encoding;
    std::vector<std::string> events;
    std::u16string units;
  };
  const Case kCases[] = {
      {"utf-8 mark", "\xEF\xBB\xBFz"s, TextEncoding::kAuto, {"decoded utf-8 4 mark"}, u"z"},
      {"utf-16le mark", "\xFF\xFEz\0"s, TextEncoding::kAuto, {"decoded utf-16le 4 mark"}, u"z"},
      {"utf-16be mark", "\xFE\xFF\0z"s, TextEncoding::kAuto, {"decoded utf-16be 4 mark"}, u"z"},
      {"gbk that passes as utf-8 is detected as utf-8",
       tongzhi,
       TextEncoding::kAuto,
       {"decoded utf-8 4"},
       u"\u0368\u05AA"},
      {"the same bytes forced to gbk",
       tongzhi,
       TextEncoding::kGbk,
       {"decoded gbk 4 forced"},
       u"通知"},
      {"7-bit text goes to ansi", "ab"s, TextEncoding::kAuto, {"decoded ansi 2"}, u"ab"},
      {"a U+FFFD that utf-8 encodes is no replacement",
       "a\xEF\xBF\xBD\xE4\xB8\xAD"s,
       TextEncoding::kAuto,
       {"decoded utf-8 7"},
       u"a\uFFFD中"},
      {"utf-8 replacements are told by offset",
       "a\xC0\x80"
       "b"s,
       TextEncoding::kAuto,
       {"decoded utf-8 4", "replacement 1", "replacement 2"},
       u"a\uFFFD\uFFFDb"},
      {"an ansi replacement is told by offset",
       "ab\x81"s,
       TextEncoding::kAuto,
       {"decoded ansi 3", "replacement 2"},
       u"ab"s + AnsiReplacementUnit()},
      {"forced gbk replaces as the ansi code page does",
       "\x81"s,
       TextEncoding::kGbk,
       {"decoded gbk 1 forced", "replacement 0"},
       std::u16string(1, AnsiReplacementUnit())},
      {"forced utf-8 drops its own mark",
       "\xEF\xBB\xBFz"s,
       TextEncoding::kUtf8,
       {"decoded utf-8 4 forced mark"},
       u"z"},
      {"forced utf-16le drops its own mark",
       "\xFF\xFEz\0"s,
       TextEncoding::kUtf16Le,
       {"decoded utf-16le 4 forced mark"},
       u"z"},
      {"forced utf-16be drops its own mark",
       "\xFE\xFF\0z"s,
       TextEncoding::kUtf16Be,
       {"decoded utf-16be 4 forced mark"},
       u"z"},
      {"forced utf-16le keeps a utf-16be mark as data",
       "\xFE\xFFz\0"s,
       TextEncoding::kUtf16Le,
       {"decoded utf-16le 4 forced mark kept"},
       u"\uFFFEz"},
      {"forced utf-16be keeps a utf-8 mark as data",
       "\xEF\xBB\xBF\0"s,
       TextEncoding::kUtf16Be,
       {"decoded utf-16be 4 forced mark kept"},
       u"\xEFBB\xBF00"},
      {"forced utf-8 keeps a utf-16le mark as data and replaces it",
       "\xFF\xFEz"s,
       TextEncoding::kUtf8,
       {"decoded utf-8 3 forced mark kept", "replacement 0", "replacement 1"},
       u"\uFFFD\uFFFDz"},
      {"forced gbk keeps a utf-8 mark as data",
       "\xEF\xBB\xBF\x61"s,
       TextEncoding::kGbk,
       {"decoded gbk 4 forced mark kept"},
       u"锘縜"},
      {"forced gbk on 7-bit text", "ab"s, TextEncoding::kGbk, {"decoded gbk 2 forced"}, u"ab"},
      {"forced, empty", ""s, TextEncoding::kUtf16Be, {"decoded utf-16be 0 forced"}, u""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Decoding decoding = DecodeAs(c.bytes, c.encoding);
    EXPECT_EQ(decoding.events, c.events);
    EXPECT_EQ(decoding.units, c.units);
  }
}

namespace {

struct Choice {
  std::u16string path;
  TextEncoding encoding;
  int asked = 0;
};

TextEncoding ChooseForPath(const char16_t* path, void* context) {
  auto* choice = static_cast<Choice*>(context);
  ++choice->asked;
  return path == choice->path ? choice->encoding : TextEncoding::kAuto;
}

}  // namespace

TEST(EncodingChooserTest, LoadTextFileDecodesAsTheChooserSays) {
  TempFolder folder;
  const std::u16string gbk = EnginePath(folder.Write("gbk.txt", "\xCD\xA8\xD6\xAA"s));
  const std::u16string other = EnginePath(folder.Write("other.txt", "\xCD\xA8\xD6\xAA"s));
  Choice choice{gbk, TextEncoding::kGbk};
  SetEncodingChooser(ChooseForPath, &choice);
  LoadedText forced;
  LoadedText detected;
  EXPECT_EQ(LoadTextFile(gbk.c_str(), &forced), kLoadOk);
  EXPECT_EQ(LoadTextFile(other.c_str(), &detected), kLoadOk);
  SetEncodingChooser(nullptr, nullptr);
  EXPECT_EQ(choice.asked, 2);
  EXPECT_EQ(std::u16string(forced.text), u"通知");
  EXPECT_EQ(std::u16string(detected.text), u"\u0368\u05AA");
  ReleaseLoadedText(&forced);
  ReleaseLoadedText(&detected);

  LoadedText again;
  EXPECT_EQ(LoadTextFile(gbk.c_str(), &again), kLoadOk);
  EXPECT_EQ(std::u16string(again.text), u"\u0368\u05AA") << "no chooser: detection again";
  EXPECT_EQ(choice.asked, 2);
  ReleaseLoadedText(&again);
}

TEST_F(GenerationObserverTest, TellsRecordsAndLinesInTableOrderAcrossBatches) {
  // Far more records and lines than the engine handles in one batch, with duplicates and lines
  // without a TAB among them; the expected calls come from an obvious model of the rules.
  std::mt19937 random(2026);
  auto word = [&] {
    std::string w;
    for (int n = 1 + static_cast<int>(random() % 3); n > 0; --n) w += "abc"[random() % 3];
    return w;
  };
  std::string content;
  std::vector<std::string> expected;
  std::map<std::string, std::size_t> firstOffset;
  for (int i = 0; i < 500; ++i) {
    const std::string w = word();
    const std::size_t offset = content.size();
    if (random() % 10 == 0) {
      content += w + " h\r\n";
      expected.push_back("record " + std::to_string(offset) + " without-tab " + w + " h");
      continue;
    }
    content += w + "\th\r\n";
    const auto first = firstOffset.emplace(w, offset);
    expected.push_back("record " + std::to_string(offset) +
                       (first.second ? " indexed " + w
                                     : " duplicate " + w + " of " +
                                           std::to_string(first.first->second)));
  }
  std::string code;
  for (int i = 0; i < 700; ++i) {
    const std::string w = word() + (random() % 4 == 0 ? "d" : "");
    const std::size_t offset = code.size();
    if (random() % 10 == 0) {
      code += w + "x\n";
      expected.push_back("line " + std::to_string(offset) + " without-tab " + w + "x");
    } else {
      code += w + "\tx\n";
      expected.push_back("line " + std::to_string(offset) +
                         (firstOffset.count(w) != 0 ? " written " : " not-found ") + w);
    }
  }

  Recorder recorder;
  Build(content);
  Generate(code);
  std::vector<std::string> told;
  for (const std::string& event : recorder.events) {
    if (event.rfind("record ", 0) == 0 || event.rfind("line ", 0) == 0) told.push_back(event);
  }
  EXPECT_EQ(told, expected);
}
