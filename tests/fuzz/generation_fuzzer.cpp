// Runs the whole generation on arbitrary content and code tables, prefix and suffix, with one
// allocation of the engine failing when the input asks for it, and compares the result file
// byte for byte and the count with a slow reference that applies the table rules to
// std::u16string. Input layout:
//   byte 0: prefix length (mod 8), byte 1: suffix length (mod 8),
//   bytes 2-3: content table length (little-endian), byte 4: the allocation to fail (0: none),
//   then the prefix and suffix (one unit per byte), the content table, and the code table.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

#include "hint_table.h"
#include "memory.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

constexpr char16_t kTab = u'\t';
constexpr char16_t kCr = u'\r';
constexpr char16_t kLf = u'\n';

// The files live in a folder in memory where there is one, made once for the process.
const std::string& Folder() {
  static const std::string folder = [] {
    std::string pattern =
        (access("/dev/shm", W_OK) == 0 ? std::string("/dev/shm") : std::string("/tmp")) +
        "/lantra-fuzz-XXXXXX";
    Require(mkdtemp(pattern.data()) != nullptr);
    return pattern;
  }();
  return folder;
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
std::u16string Decoded(const std::uint8_t* bytes, std::size_t count) {
  LoadedText text;
  if (DecodeText(bytes, static_cast<std::int32_t>(count), &text) != kLoadOk) return u"";
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

// What the engine must write, allocation by allocation as it makes them: each table costs two
// (its bytes, its text), each new word one node.
struct Reference {
  std::int32_t count = 0;
  std::u16string records;
  bool indexEmpty = true;

  Reference(const std::u16string& content, const std::u16string& code, const std::u16string& prefix,
            const std::u16string& suffix, Allocations allocations) {
    if (!allocations.Next() || !allocations.Next()) return;
    std::map<std::u16string, std::u16string> hints;
    std::size_t record = 0;
    for (std::size_t i = 0; i + 1 < content.size();) {
      if (content[i] != kCr || content[i + 1] != kLf) {
        ++i;
        continue;
      }
      const std::u16string text = content.substr(record, i - record);
      const std::size_t tab = text.find(kTab);
      if (tab != std::u16string::npos && hints.count(text.substr(0, tab)) == 0 &&
          allocations.Next()) {
        hints.emplace(text.substr(0, tab), text.substr(tab + 1));
      }
      for (i += 2; i < content.size() && (content[i] == kCr || content[i] == kLf);)
        ++i;
      record = i;
    }
    indexEmpty = hints.empty();
    if (!allocations.Next() || !allocations.Next()) return;
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

std::u16string Affix(const std::uint8_t* bytes, std::size_t count) {
  std::u16string units(bytes, bytes + count);
  return units.substr(0, units.find(u'\0'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  std::size_t at = 5;
  auto take = [&](std::size_t wanted) {
    const std::size_t n = std::min(wanted, size - at);
    at += n;
    return n;
  };
  const std::size_t prefixCount = take(data[0] % 8);
  const std::size_t suffixCount = take(data[1] % 8);
  const std::size_t contentCount = take(data[2] | data[3] << 8);
  const std::uint8_t* prefixBytes = data + 5;
  const std::uint8_t* suffixBytes = prefixBytes + prefixCount;
  const std::uint8_t* contentBytes = suffixBytes + suffixCount;
  const std::uint8_t* codeBytes = contentBytes + contentCount;
  const std::size_t codeCount = size - at;

  const std::u16string prefix = Affix(prefixBytes, prefixCount);
  const std::u16string suffix = Affix(suffixBytes, suffixCount);
  const std::u16string contentPath = Utf16(WriteFile("content.txt", contentBytes, contentCount));
  const std::u16string codePath = Utf16(WriteFile("code.txt", codeBytes, codeCount));
  const std::string resultPath = Folder() + "/result.txt";

  Allocations allocations;
  allocations.failAt = data[4];
  const Reference expected(Decoded(contentBytes, contentCount), Decoded(codeBytes, codeCount),
                           prefix, suffix, allocations);

  SetAllocationFilter(FailOne, &allocations);
  LoadedText content;
  ContentIndex index = nullptr;
  BuildContentIndex(&content, contentPath.c_str(), &index);
  Require((index == nullptr) == expected.indexEmpty);
  const std::int32_t count = GenerateHintTable(index, prefix.c_str(), Utf16(resultPath).c_str(),
                                               codePath.c_str(), suffix.c_str());
  SetAllocationFilter(nullptr, nullptr);
  IndexRelease(&index);
  ReleaseLoadedText(&content);

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
