#include "hint_table.h"

#include "output_stream.h"
#include "platform/file_system.h"

namespace {

constexpr char16_t kTab = u'\t';
constexpr char16_t kLf = u'\n';
constexpr char16_t kCr = u'\r';

// Process-wide, as the generation is: the record buffer and the line reader's position.
char16_t g_record[kRecordBufferLength];
const char16_t* g_linePosition = nullptr;

std::int32_t TextLength(const char16_t* text) {
  std::int32_t n = 0;
  while (text[n] != 0) ++n;
  return n;
}

char16_t* FindTab(char16_t* from, const char16_t* end) {
  for (; from != end; ++from) {
    if (*from == kTab) return from;
  }
  return nullptr;
}

}  // namespace

std::int32_t GetResultPath(char16_t* path) {
  const std::int32_t nameLength = TextLength(kResultFileName);
  std::int32_t n = GetTempFolder(path, kPathLength);
  if (n <= 0 || n >= kPathLength || n + nameLength + 2 >= kPathLength) {
    path[0] = 0;
    return 0;
  }
  if (path[n - 1] != kPathSeparator) path[n++] = kPathSeparator;
  for (std::int32_t i = 0; i <= nameLength; ++i) path[n + i] = kResultFileName[i];
  return n + nameLength;
}

void BuildContentIndex(LoadedText* content, const char16_t* path, ContentIndex* index) {
  if (LoadTextFile(path, content) != kLoadOk) return;
  char16_t* record = content->text;
  char16_t* scan = record;
  while (*scan != 0) {
    if (scan[0] != kCr || scan[1] != kLf) {
      ++scan;
      continue;
    }
    // The CR and the first TAB are overwritten, so the word and the hint become two texts in
    // place, and the hint is found right behind its word.
    *scan = 0;
    if (char16_t* tab = FindTab(record, scan)) {
      *tab = 0;
      IndexInsert(index, record);
    }
    scan += 2;
    while (*scan == kCr || *scan == kLf) ++scan;
    record = scan;
  }
}

std::int32_t ReadTextLine(char16_t* line, const char16_t* text) {
  line[0] = 0;
  const char16_t* position = text != nullptr ? text : g_linePosition;
  if (position == nullptr) return 0;
  const char16_t* start = position;
  std::int32_t copied = 0;
  for (;;) {
    if (copied == kLineBufferLength - 1) break;
    if (*position == kCr || *position == kLf) {
      while (*position == kCr || *position == kLf) ++position;
      break;
    }
    if (*position == 0) break;
    line[copied++] = *position++;
  }
  line[copied] = 0;
  g_linePosition = position;
  return static_cast<std::int32_t>(position - start);
}

void WriteFormatted(OutputStream* output, const char16_t* format,
                    std::initializer_list<const char16_t*> args) {
  const char16_t* const* arg = args.begin();
  std::int32_t used = 0;
  auto put = [&](char16_t unit) {
    // A record that outgrows the buffer goes out in pieces rather than being cut.
    if (used == kRecordBufferLength - 1) {
      WriteUnits(output, g_record, static_cast<std::size_t>(used));
      used = 0;
    }
    g_record[used++] = unit;
  };
  for (const char16_t* f = format; *f != 0; ++f) {
    if (f[0] == u'%' && f[1] == u's' && arg != args.end()) {
      for (const char16_t* s = *arg++; *s != 0; ++s) put(*s);
      ++f;
    } else {
      put(*f);
    }
  }
  g_record[used] = 0;
  WriteUnits(output, g_record, static_cast<std::size_t>(used));
}

std::int32_t GenerateHintTable(ContentIndex index, const char16_t* prefix,
                               const char16_t* resultPath, const char16_t* codePath,
                               const char16_t* suffix) {
  OutputStream output;
  if (OpenOutputStream(&output, resultPath) == 0) return 0;
  WriteBytes(&output, "\xFF\xFE", 2);
  LoadedText code;
  if (LoadTextFile(codePath, &code) != kLoadOk) {
    CloseOutputStream(&output);
    return 0;
  }
  std::int32_t count = 0;
  char16_t line[kLineBufferLength];
  for (const char16_t* text = code.text; ReadTextLine(line, text) != 0; text = nullptr) {
    char16_t* tab = FindTab(line, line + TextLength(line));
    if (tab == nullptr) continue;
    *tab = 0;
    const char16_t* word = IndexFind(index, line);
    if (word == nullptr) continue;
    const char16_t* hint = word + TextLength(word) + 1;
    WriteFormatted(&output, kRecordFormat, {line, line, hint, prefix, tab + 1, suffix});
    ++count;
  }
  ReleaseLoadedText(&code);
  // A write or a close that failed leaves a damaged file, which must not count as a result.
  if (CloseOutputStream(&output) == 0) return 0;
  return count;
}
