#include "hint_table.h"

#include "generation_observer.h"
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

bool IsLineBreak(char16_t unit) { return unit == kCr || unit == kLf; }

// What became of one code table line: the steps of the generation for one line.
CodeLineOutcome JoinCodeLine(OutputStream* output, ContentIndex index, char16_t* line,
                             const char16_t* prefix, const char16_t* suffix) {
  char16_t* tab = FindTab(line, line + TextLength(line));
  if (tab == nullptr) return CodeLineOutcome::kWithoutTab;
  *tab = 0;
  const char16_t* word = IndexFind(index, line);
  if (word == nullptr) return CodeLineOutcome::kWordNotFound;
  const char16_t* hint = word + TextLength(word) + 1;
  WriteFormatted(output, kRecordFormat, {line, line, hint, prefix, tab + 1, suffix});
  return CodeLineOutcome::kWritten;
}

// Tells the observer what became of a content record. The Note functions run only when an
// observer is set.
void NoteContentRecord(GenerationObserver* observer, const LoadedText& content, ContentIndex index,
                       const char16_t* record, int inserted) {
  const auto offset = static_cast<std::int32_t>(record - content.text);
  if (inserted != 0) {
    observer->OnContentRecord(offset, record, ContentRecordOutcome::kIndexed, -1);
    return;
  }
  // IndexInsert refuses an equal word and a node that cannot be allocated alike; only the
  // first leaves the word findable.
  const char16_t* winner = IndexFind(index, record);
  if (winner == nullptr) {
    observer->OnContentRecord(offset, record, ContentRecordOutcome::kNoMemory, -1);
  } else {
    observer->OnContentRecord(offset, record, ContentRecordOutcome::kDuplicate,
                              static_cast<std::int32_t>(winner - content.text));
  }
}

// Tells the observer what became of a code table line: `start` is the line's first unit in
// the code table text, `consumed` what ReadTextLine took.
void NoteCodeLine(GenerationObserver* observer, const LoadedText& code, std::int32_t start,
                  std::int32_t consumed, const char16_t* line, CodeLineOutcome outcome) {
  // A cut line took exactly the limit, no line break among it, and text goes on behind it.
  const char16_t* end = code.text + start + consumed;
  const bool cut =
      consumed == kLineBufferLength - 1 && !IsLineBreak(end[-1]) && *end != 0 && !IsLineBreak(*end);
  observer->OnCodeLine(start, line, outcome, cut);
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
  GenerationObserver* const observer = GetGenerationObserver();
  if (observer != nullptr) observer->OnTableLoading(TableKind::kContent);
  const int status = LoadTextFile(path, content);
  if (observer != nullptr) observer->OnTableLoaded(status, *content);
  if (status != kLoadOk) return;
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
      const int inserted = IndexInsert(index, record);
      if (observer != nullptr) NoteContentRecord(observer, *content, *index, record, inserted);
    } else if (observer != nullptr) {
      observer->OnContentRecord(static_cast<std::int32_t>(record - content->text), record,
                                ContentRecordOutcome::kWithoutTab, -1);
    }
    scan += 2;
    while (*scan == kCr || *scan == kLf) ++scan;
    record = scan;
  }
  if (observer != nullptr && scan != record) {
    observer->OnContentTail(static_cast<std::int32_t>(record - content->text),
                            static_cast<std::int32_t>(scan - record));
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
  GenerationObserver* const observer = GetGenerationObserver();
  OutputStream output;
  if (OpenOutputStream(&output, resultPath) == 0) return 0;
  WriteBytes(&output, "\xFF\xFE", 2);
  LoadedText code;
  if (observer != nullptr) observer->OnTableLoading(TableKind::kCode);
  const int status = LoadTextFile(codePath, &code);
  if (observer != nullptr) observer->OnTableLoaded(status, code);
  if (status != kLoadOk) {
    CloseOutputStream(&output);
    return 0;
  }
  std::int32_t count = 0;
  char16_t line[kLineBufferLength];
  std::int32_t start = 0;
  std::int32_t consumed;
  for (const char16_t* text = code.text; (consumed = ReadTextLine(line, text)) != 0;
       text = nullptr) {
    const CodeLineOutcome outcome = JoinCodeLine(&output, index, line, prefix, suffix);
    if (outcome == CodeLineOutcome::kWritten) ++count;
    if (observer != nullptr) NoteCodeLine(observer, code, start, consumed, line, outcome);
    start += consumed;
  }
  ReleaseLoadedText(&code);
  // A write or a close that failed leaves a damaged file, which must not count as a result.
  if (CloseOutputStream(&output) == 0) return 0;
  return count;
}
