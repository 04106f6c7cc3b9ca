#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "generation_observer.h"

// Editor line numbers of a decoded text: CR LF, a lone CR and a lone LF each end a line.
class LineNumbers {
 public:
  // Takes the `length` units of `text`, zero units included, before any of them is cut.
  void Reset(const char16_t* text, std::int32_t length);
  // The 1-based line that holds the unit at `offset`.
  std::int32_t LineOf(std::int32_t offset) const;

 private:
  std::vector<std::int32_t> m_starts;  // the first offset of line 2, line 3, ...
};

// The join report of one generation: what was read, in which encoding, and what became of
// every content record and code table line, as the engine tells it (GenerationObserver).
// Attach it with SetGenerationObserver around BuildContentIndex and GenerateHintTable; then
// Text gives the report.
class JoinReport : public GenerationObserver {
 public:
  // Lists show this many entries in full, then the count of the rest.
  static constexpr std::size_t kListedEntries = 100;

  // The paths as the user gave them, for the report's headings.
  JoinReport(std::string contentPath, std::string codePath);

  // The report in UTF-8, one finding a line, ending with `result`, the outcome in words.
  std::string Text(const std::string& result) const;

  void OnTableLoading(TableKind table) override;
  void OnTextDecoded(const TextDecoding& decoding) override;
  void OnReplacement(std::int32_t offset) override;
  void OnTableLoaded(int status, const LoadedText& text) override;
  void OnContentRecord(std::int32_t offset, const char16_t* word, ContentRecordOutcome outcome,
                       std::int32_t winner) override;
  void OnContentTail(std::int32_t offset, std::int32_t units) override;
  void OnCodeLine(std::int32_t offset, const char16_t* word, CodeLineOutcome outcome,
                  bool cut) override;

 private:
  // The first kListedEntries entries of a list, and how many there were in all: "N `many`
  // `what`" (or "1 `one` `what`"), one entry a line, then how many were not listed.
  struct List {
    List(const char* singular, const char* plural, const char* description)
        : one(singular), many(plural), what(description) {}
    const char* one;
    const char* many;
    const char* what;
    std::int64_t count = 0;
    std::vector<std::string> entries;
    // Counts one entry; `entry` makes its text, only while the list shows entries in full.
    template <typename MakeEntry>
    void Add(MakeEntry entry) {
      if (entries.size() < kListedEntries) entries.push_back(entry());
      ++count;
    }
    std::string Text(const std::string& lead) const;
  };

  struct Table {
    std::string path;
    bool read = false;
    int status = 0;
    TextDecoding decoding;
    bool decoded = false;
    std::int64_t replacements = 0;
    std::int32_t firstReplacement = -1;  // an offset until the text is loaded, then a line
    std::int32_t zeroLine = 0;           // the line of a zero unit that ends the text early
    std::int32_t unitsAfterZero = 0;
  };

  std::string TableText(const Table& table, const char* name) const;
  std::string Line(std::int32_t offset) const;

  Table m_content;
  Table m_code;
  Table* m_table = nullptr;  // the table being read
  LineNumbers m_lines;       // of the table being read

  std::int64_t m_indexed = 0;
  List m_withoutTab{"record", "records", " without a TAB"};
  List m_duplicates{"record", "records", " whose word was already indexed, left out"};
  List m_noMemory{"record", "records", " left out for lack of memory"};
  List m_breakInWord{"word", "words", " holding a lone CR or LF, which can never match"};
  std::int32_t m_tailLine = 0;
  std::int32_t m_tailUnits = 0;

  std::int64_t m_linesRead = 0;
  std::int64_t m_emptyLines = 0;
  std::int64_t m_written = 0;
  List m_linesWithoutTab{"line", "lines", " without a TAB"};
  List m_cutLines{"line", "lines", " cut at 4095 units, the rest read as a line of its own"};
  List m_notFound{"line", "lines", " whose word is not in the content table"};
};
