// Runs the whole generation on arbitrary content and code tables, prefix and suffix, detected or
// forced encodings, with one allocation of the engine failing when the input asks for it, and
// compares the result file byte for byte and the count with a slow reference that applies the
// table rules to std::u16string. An observer checks what the engine tells it and hands it on
// to lantra-cli's join report, whose text must be UTF-8. Input layout:
//   byte 0: prefix length (mod 8), byte 1: suffix length (mod 8),
//   bytes 2-3: content table length (little-endian), byte 4: the allocation to fail (0: none),
//   byte 5: the content table's encoding (mod 6, 0: detected) and, times 6, the code table's,
//   then the prefix and suffix (one unit per byte), the content table, and the code table.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "fuzz_checks.h"
#include "generation_observer.h"
#include "hint_table.h"
#include "join_report.h"
#include "memory.h"

namespace {

constexpr char16_t kTab = u'\t';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The files live in a folder in memory where there is one, made once for the process and
// removed when it exits. A plain array outlives every exit handler.
char g_folder[64];

void RemoveFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(g_folder, ignored);
}

std::string Folder() {
  if (g_folder[0] == 0) {
    std::snprintf(g_folder, sizeof g_folder, "%s/lantra-fuzz-XXXXXX",
                  access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    Require(mkdtemp(g_folder) != nullptr);
    std::atexit(RemoveFolder);
  }
  return g_folder;
}

std::string WriteFile(const char* name, const std::uint8_t* bytes, std::size_t count) {
  const std::string path = Folder() + "/" + name;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  Require(fd >= 0 && write(fd, bytes, count) == static_cast<ssize_t>(count) && close(fd) == 0);
  return path;
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  const int fd = open(path.c_str(), O_RDONLY);
  Require(fd >= 0);
  char chunk[65536];
  for (ssize_t got; (got = read(fd, chunk, sizeof chunk)) > 0;)
    bytes.append(chunk, got);
  close(fd);
  return bytes;
}

std::u16string Utf16(const std::string& path) {
  return std::u16string(path.begin(), path.end());
}

// The decoded table up to its first zero unit, or nothing when it does not load.
std::u16string Decoded(const std::uint8_t* bytes, std::size_t count, TextEncoding encoding) {
  LoadedText text;
  if (DecodeTextAs(bytes, static_cast<std::int32_t>(count), encoding, &text) != kLoadOk) {
    return u"";
  }
  std::u16string units(text.text);
  ReleaseLoadedText(&text);
  return units;
}

struct Allocations {
  int count = 0;
  int failAt = 0;
  bool Next() { return ++count != failAt; }  // false for the allocation that fails
};

bool FailOne(std::size_t, void* context) {
  return static_cast<Allocations*>(context)->Next();
}

struct Encodings {
  const std::u16string* contentPath;
  TextEncoding content;
  TextEncoding code;
};

// Whether the engine has a text for a table of `count` bytes, allocation by allocation as it
// asks for them. Data that can be UTF-8 (by its mark, by force, or without a mark and with a
// byte of 0x80 or more) asks for a text of a unit a byte first, and keeps it when the data is
// well-formed; otherwise, and when that text is refused, it asks for one of the exact size.
bool HasText(const std::uint8_t* bytes, std::size_t count, TextEncoding encoding,
             Allocations* allocations) {
  const bool utf8Mark = count >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
  const bool utf16Mark = count >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) ||
                                        (bytes[0] == 0xFE && bytes[1] == 0xFF));
  bool tryUtf8 = encoding == TextEncoding::kUtf8 || (encoding == TextEncoding::kAuto && utf8Mark);
  if (encoding == TextEncoding::kAuto && !utf8Mark && !utf16Mark) {
    tryUtf8 = std::any_of(bytes, bytes + count, [](std::uint8_t b) { return b >= 0x80; });
  }
  if (tryUtf8) {
    const std::size_t skipped = utf8Mark ? 3 : 0;
    if (allocations->Next() && IsWellFormedUtf8(bytes + skipped, count - skipped)) return true;
  }
  return allocations->Next();
}

// What the engine must write, allocation by allocation as it makes them: each table costs its
// bytes and its text (see HasText), except that the code table's bytes go into the content
// table's buffer when that is kept (the index holds a word) and large enough; each new word
// costs one node.
struct Reference {
  std::int32_t count = 0;
  std::u16string records;
  bool indexEmpty = true;
  int indexed = 0;   // words in the index
  int noMemory = 0;  // records left out for lack of memory

  Reference(const std::uint8_t* contentBytes, std::size_t contentCount,
            const std::uint8_t* codeBytes, std::size_t codeCount, const Encodings& encodings,
            const std::u16string& prefix, const std::u16string& suffix, Allocations allocations) {
    const std::u16string content = Decoded(contentBytes, contentCount, encodings.content);
    const std::u16string code = Decoded(codeBytes, codeCount, encodings.code);
    if (!allocations.Next() ||
        !HasText(contentBytes, contentCount, encodings.content, &allocations)) {
      return;
    }
    std::map<std::u16string, std::u16string> hints;
    std::size_t record = 0;
    for (std::size_t i = 0; i + 1 < content.size();) {
      if (content[i] != kCr || content[i + 1] != kLf) {
        ++i;
        continue;
      }
      const std::u16string text = content.substr(record, i - record);
      const std::size_t tab = text.find(kTab);
      if (tab != std::u16string::npos && hints.count(text.substr(0, tab)) == 0) {
        if (allocations.Next()) {
          hints.emplace(text.substr(0, tab), text.substr(tab + 1));
        } else {
          ++noMemory;
        }
      }
      for (i += 2; i < content.size() && (content[i] == kCr || content[i] == kLf);)
        ++i;
      record = i;
    }
    indexed = static_cast<int>(hints.size());
    indexEmpty = hints.empty();
    const std::size_t kept = indexEmpty ? 0 : contentCount + 2;
    if ((codeCount + 2 > kept && !allocations.Next()) ||
        !HasText(codeBytes, codeCount, encodings.code, &allocations)) {
      return;
    }
    std::size_t at = 0;
    while (at < code.size()) {
      std::u16string line;
      while (at < code.size() && line.size() < kLineBufferLength - 1) {
        if (code[at] == kCr || code[at] == kLf) {
          while (at < code.size() && (code[at] == kCr || code[at] == kLf))
            ++at;
          break;
        }
        line += code[at++];
      }
      const std::size_t tab = line.find(kTab);
      if (tab == std::u16string::npos) continue;
      const auto hint = hints.find(line.substr(0, tab));
      if (hint == hints.end()) continue;
      const std::u16string& word = hint->first;
      records += u"$kesucmd(" + word + u"," + word + u"[" + hint->second + u"])\t" + prefix +
                 line.substr(tab + 1) + suffix + u"\r\n";
      ++count;
    }
  }
};

// Checks the order and the ranges of what the engine tells, counts the outcomes, and hands
// every call on to the join report.
class CheckingObserver : public GenerationObserver {
 public:
  void OnTableLoading(TableKind table) override {
    m_length = -1;
    m_lastOffset = -1;
    m_report.OnTableLoading(table);
  }
  void OnTextDecoded(const TextDecoding& decoding) override { m_report.OnTextDecoded(decoding); }
  void OnReplacement(std::int32_t offset) override {
    Require(offset > m_lastOffset);
    m_lastOffset = offset;
    m_report.OnReplacement(offset);
  }
  void OnTableLoaded(int status, const LoadedText& text) override {
    m_length = status == kLoadOk ? text.length : -1;
    Require(m_lastOffset < std::max(m_length, 0));
    m_lastOffset = -1;
    m_report.OnTableLoaded(status, text);
  }
  void OnContentRecord(std::int32_t offset, const char16_t* word, ContentRecordOutcome outcome,
                       std::int32_t winner) override {
    Require(InText(offset) && word != nullptr);
    Require(outcome == ContentRecordOutcome::kDuplicate ? winner >= 0 && winner < offset
                                                        : winner == -1);
    if (outcome == ContentRecordOutcome::kIndexed) ++indexed;
    if (outcome == ContentRecordOutcome::kNoMemory) ++noMemory;
    m_report.OnContentRecord(offset, word, outcome, winner);
  }
  void OnContentTail(std::int32_t offset, std::int32_t units) override {
    Require(offset >= 0 && units > 0 && offset + units <= m_length);
    m_report.OnContentTail(offset, units);
  }
  void OnCodeLine(std::int32_t offset, const char16_t* word, CodeLineOutcome outcome,
                  bool cut) override {
    Require(InText(offset) && word != nullptr);
    if (outcome == CodeLineOutcome::kWritten) ++written;
    m_report.OnCodeLine(offset, word, outcome, cut);
  }

  std::string ReportText() const { return m_report.Text("done"); }

  int indexed = 0;
  int noMemory = 0;
  std::int32_t written = 0;

 private:
  // Within the table's text, and after the previous record or line.
  bool InText(std::int32_t offset) {
    const bool inside = offset > m_lastOffset && offset < m_length;
    m_lastOffset = offset;
    return inside;
  }

  JoinReport m_report{"content.txt", "code.txt"};
  std::int32_t m_length = -1;
  std::int32_t m_lastOffset = -1;
};

TextEncoding ChooseEncoding(const char16_t* path, void* context) {
  const auto* encodings = static_cast<Encodings*>(context);
  return *encodings->contentPath == path ? encodings->content : encodings->code;
}

std::u16string Affix(const std::uint8_t* bytes, std::size_t count) {
  std::u16string units(bytes, bytes + count);
  return units.substr(0, units.find(u'\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 6) return 0;
  std::size_t at = 6;
  auto take = [&](std::size_t wanted) {
    const std::size_t n = std::min(wanted, size - at);
    at += n;
    return n;
  };
  const std::size_t prefixCount = take(data[0] % 8);
  const std::size_t suffixCount = take(data[1] % 8);
  const std::size_t contentCount = take(data[2] | data[3] << 8);
  const std::uint8_t* prefixBytes = data + 6;
  const std::uint8_t* suffixBytes = prefixBytes + prefixCount;
  const std::uint8_t* contentBytes = suffixBytes + suffixCount;
  const std::uint8_t* codeBytes = contentBytes + contentCount;
  const std::size_t codeCount = size - at;

  const std::u16string prefix = Affix(prefixBytes, prefixCount);
  const std::u16string suffix = Affix(suffixBytes, suffixCount);
  const std::u16string contentPath = Utf16(WriteFile("content.txt", contentBytes, contentCount));
  const std::u16string codePath = Utf16(WriteFile("code.txt", codeBytes, codeCount));
  const std::string resultPath = Folder() + "/result.txt";

  Encodings encodings{&contentPath, static_cast<TextEncoding>(data[5] % 6),
                      static_cast<TextEncoding>(data[5] / 6 % 6)};
  Allocations allocations;
  allocations.failAt = data[4];
  const Reference expected(contentBytes, contentCount, codeBytes, codeCount, encodings, prefix,
                           suffix, allocations);

  CheckingObserver observer;
  SetGenerationObserver(&observer);
  SetEncodingChooser(ChooseEncoding, &encodings);
  SetAllocationFilter(FailOne, &allocations);
  LoadedText content;
  ContentIndex index = nullptr;
  BuildContentIndex(&content, contentPath.c_str(), &index);
  Require((index == nullptr) == expected.indexEmpty);
  const std::int32_t count = GenerateHintTable(index, prefix.c_str(), Utf16(resultPath).c_str(),
                                               codePath.c_str(), suffix.c_str());
  SetAllocationFilter(nullptr, nullptr);
  SetEncodingChooser(nullptr, nullptr);
  SetGenerationObserver(nullptr);
  IndexRelease(&index);
  ReleaseLoadedText(&content);

  Require(observer.indexed == expected.indexed && observer.noMemory == expected.noMemory &&
          observer.written == count);
  const std::string report = observer.ReportText();
  Require(IsWellFormedUtf8(reinterpret_cast<const unsigned char*>(report.data()), report.size()));

  const std::string result = ReadFile(resultPath);
  Require(result.size() >= 2 && result.size() % 2 == 0 && result.compare(0, 2, "\xFF\xFE") == 0);
  Require(count == expected.count);
  Require(result.size() == 2 + 2 * expected.records.size());
  for (std::size_t i = 0; i < expected.records.size(); ++i) {
    const char16_t unit = expected.records[i];
    Require(static_cast<unsigned char>(result[2 + 2 * i]) == (unit & 0xFF) &&
            static_cast<unsigned char>(result[3 + 2 * i]) == unit >> 8);
  }
  return 0;
}
