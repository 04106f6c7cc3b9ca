#include "hint_table.h"

#include "generation_observer.h"
#include "memory.h"
#include "output_stream.h"
#include "platform/file_system.h"

namespace {

constexpr char16_t kTab = u'\t';
constexpr char16_t kLf = u'\n';
constexpr char16_t kCr = u'\r';

// How many content records are cut before their words go into the index together, and how
// many code table lines are read before their words are looked up together.
constexpr int kInsertBatch = kIndexBatch;
constexpr int kLineBatch = kIndexBatch;

// Process-wide, as the generation is: the record buffer, the line reader's position, the
// batch of code table lines, and the bytes of the content table, kept for the code table's.
char16_t g_record[kRecordBufferLength];
const char16_t* g_linePosition = nullptr;
// Each line buffer is followed by one unused cache line: buffers of 8 KiB each would otherwise
// begin in the same cache set, and the beginnings are all that most lines use.
constexpr int kLineStagger = 64 / sizeof(char16_t);
char16_t g_lines[kLineBatch][kLineBufferLength + kLineStagger];
ReadBuffer g_tableBytes;

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
  // first leaves the word findable. The records of a batch are told after all of them went in:
  // a winner behind this record went in after it, so this one found no memory.
  const char16_t* winner = IndexFind(index, record);
  if (winner == nullptr || winner > record) {
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
  const int status = LoadTextFileInto(path, &g_tableBytes, content);
  if (observer != nullptr) observer->OnTableLoaded(status, *content);
  if (status != kLoadOk) {
    ReleaseReadBuffer(&g_tableBytes);
    return;
  }
  // The records are cut a batch at a time; their words go into the index in table order (see
  // IndexInsertBatch), and then the observer hears of each record in table order.
  char16_t* records[kInsertBatch];
  bool hasTab[kInsertBatch];
  int pending = 0;
  auto insertPending = [&] {
    const char16_t* words[kInsertBatch];
    int added[kInsertBatch];
    int count = 0;
    for (int i = 0; i < pending; ++i) {
      if (hasTab[i]) words[count++] = records[i];
    }
    IndexInsertBatch(index, words, count, added);
    if (observer != nullptr) {
      for (int i = 0, word = 0; i < pending; ++i) {
        if (hasTab[i]) {
          NoteContentRecord(observer, *content, *index, records[i], added[word++]);
        } else {
          observer->OnContentRecord(static_cast<std::int32_t>(records[i] - content->text),
                                    records[i], ContentRecordOutcome::kWithoutTab, -1);
        }
      }
    }
    pending = 0;
  };
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
    char16_t* tab = FindTab(record, scan);
    if (tab != nullptr) *tab = 0;
    records[pending] = record;
    hasTab[pending] = tab != nullptr;
    if (++pending == kInsertBatch) insertPending();
    scan += 2;
    while (*scan == kCr || *scan == kLf) ++scan;
    record = scan;
  }
  insertPending();
  if (observer != nullptr && scan != record) {
    observer->OnContentTail(static_cast<std::int32_t>(record - content->text),
                            static_cast<std::int32_t>(scan - record));
  }
  // No code table is read after an empty index.
  if (*index == nullptr) ReleaseReadBuffer(&g_tableBytes);
}

std::int32_t ReadTextLine(char16_t* line, const char16_t* text) {
  line[0] = 0;
  const char16_t* position = text != nullptr ? text : g_linePosition;
  if (position == nullptr) return 0;
  const char16_t* start = position;
  std::int32_t copied = 0;
  for (; copied < kLineBufferLength - 1; ++copied) {
    const char16_t unit = position[copied];
    // One comparison settles nearly every unit: all three that end a line lie below the TAB.
    if (unit <= kCr && (unit == kCr || unit == kLf || unit == 0)) break;
    line[copied] = unit;
  }
  position += copied;
  // A full line stops before the next unit, whatever it is; a line break is consumed whole.
  if (copied < kLineBufferLength - 1) {
    while (*position == kCr || *position == kLf)
      ++position;
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
  if (OpenOutputStream(&output, resultPath) == 0) {
    ReleaseReadBuffer(&g_tableBytes);
    return 0;
  }
  WriteBytes(&output, "\xFF\xFE", 2);
  LoadedText code;
  if (observer != nullptr) observer->OnTableLoading(TableKind::kCode);
  const int status = LoadTextFileInto(codePath, &g_tableBytes, &code);
  ReleaseReadBuffer(&g_tableBytes);
  if (observer != nullptr) observer->OnTableLoaded(status, code);
  if (status != kLoadOk) {
    CloseOutputStream(&output);
    return 0;
  }
  // The lines are read a batch at a time and their words looked up side by side; then, in line
  // order, each line's record is written and the observer hears of the line. Only the batch of
  // lines is held, never the whole table.
  std::int32_t count = 0;
  std::int32_t start = 0;  // where the next line begins in the code table's text
  const char16_t* text = code.text;
  bool more = true;
  while (more) {
    const char16_t* words[kLineBatch];
    const char16_t* codes[kLineBatch];  // null for a line without a TAB
    std::int32_t starts[kLineBatch];
    std::int32_t consumed[kLineBatch];
    int lines = 0;
    for (; lines < kLineBatch; ++lines) {
      char16_t* line = g_lines[lines];
      consumed[lines] = ReadTextLine(line, text);
      if (consumed[lines] == 0) {
        more = false;
        break;
      }
      text = nullptr;
      starts[lines] = start;
      start += consumed[lines];
      char16_t* tab = line;
      while (*tab != kTab && *tab != 0)
        ++tab;
      // A line without a TAB is looked up whole, in vain: rare, and cheaper than a gap.
      codes[lines] = *tab == 0 ? nullptr : tab + 1;
      *tab = 0;
      words[lines] = line;
    }
    const char16_t* found[kLineBatch];
    IndexFindBatch(index, words, lines, found);
    // A found word's text is in the cache already, but a long hint runs on into the next line.
    for (int i = 0; i < lines; ++i) {
      if (found[i] != nullptr) Prefetch(found[i] + 32);
    }
    for (int i = 0; i < lines; ++i) {
      CodeLineOutcome outcome = CodeLineOutcome::kWithoutTab;
      if (codes[i] != nullptr) {
        outcome = found[i] != nullptr ? CodeLineOutcome::kWritten : CodeLineOutcome::kWordNotFound;
      }
      if (outcome == CodeLineOutcome::kWritten) {
        const char16_t* hint = found[i] + TextLength(found[i]) + 1;
        WriteFormatted(&output, kRecordFormat,
                       {words[i], words[i], hint, prefix, codes[i], suffix});
        ++count;
      }
      if (observer != nullptr) {
        NoteCodeLine(observer, code, starts[i], consumed[i], words[i], outcome);
      }
    }
  }
  ReleaseLoadedText(&code);
  // A write or a close that failed leaves a damaged file, which must not count as a result.
  if (CloseOutputStream(&output) == 0) return 0;
  return count;
}
