#pragma once

#include <cstdint>

#include "text_loading.h"

// What one generation did with every record and line, told as it happens, for a report that
// can never disagree with the hint table: the engine's own loops make the calls, right where
// they decide. The observer is process-wide and null by default; while it is null the engine
// does exactly what it does without one, at the cost of a null test per record or line.
//
// Contract (whoever changes the loops of text_loading.cpp, utf8.cpp, the text conversions or
// hint_table.cpp keeps it):
//
// Positions are offsets in code units from the start of a table's decoded text (LoadedText's
// `text`), never line numbers: the observer counts lines itself. All calls come on the thread
// that runs the generation, from within the engine call named below, in this order:
//
// BuildContentIndex, and GenerateHintTable once the result file is open (when it cannot be
// created there is no call at all: the code table is not read):
//   1. OnTableLoading(table).
//   2. Decoding, from DecodeText within LoadTextFile (neither comes when the file cannot be
//      opened, its size cannot be taken or there is no memory for its bytes):
//      OnTextDecoded once, before the conversion; then OnReplacement for every U+FFFD that a
//      conversion from UTF-8 or a code page writes in place of malformed input, in increasing
//      offset order (none when there is no memory for the text). A U+FFFD that the input
//      itself encodes is no replacement and is not told. (Windows converts on its own and does
//      not say where it replaced: there, when the input holds anything malformed, every unit
//      that the system writes for malformed input is told, U+FFFD or the code page's default
//      character, one that the input itself held included.)
//   3. OnTableLoaded(status, text), with LoadTextFile's status and text; `text` is not yet
//      cut into records. When the status is not kLoadOk nothing follows for this table.
//   4. Content table: OnContentRecord for every record that ends in CR LF, in file order, after
//      the record has been cut and its word offered to the index; then OnContentTail once when
//      text (up to the first zero unit) follows the last CR LF, or when there is no CR LF.
//      Code table: OnCodeLine for every line that ReadTextLine yields, in line order, after the
//      line's record, if any, has been handed to the output stream.
//
// Any LoadTextFile or DecodeText call made while an observer is set tells steps 2 and 3 of
// this list, whoever makes it; set the observer only around the generation. Pointers given to
// a call are valid during that call only, except `text` of OnTableLoaded for the content
// table, which lives as long as the caller's LoadedText. The observer must not call the
// engine back.
//
// Cost: with no observer set, a loop pays at most one null test per record or line; a loop
// per unit (the decoders) pays nothing, because the instance that tells is a separate one
// (DecodeUtf8). bench/report_overhead.sh counts the instructions against the engine before
// the observer.

enum class TableKind { kContent, kCode };

enum class ContentRecordOutcome {
  kIndexed,     // its word went into the index
  kDuplicate,   // its word was in the index already; the earlier record wins
  kNoMemory,    // the index had no memory for it: it is left out
  kWithoutTab,  // no TAB divides word and hint: it is ignored
};

enum class CodeLineOutcome {
  kWritten,       // its record was written
  kWordNotFound,  // its word is not in the content index
  kWithoutTab,    // no TAB divides word and code (an empty line included): it is ignored
};

class GenerationObserver {
 public:
  virtual ~GenerationObserver() = default;

  virtual void OnTableLoading(TableKind /*table*/) {}
  virtual void OnTextDecoded(const TextDecoding& /*decoding*/) {}
  // `offset`: where the U+FFFD stands in the decoded text.
  virtual void OnReplacement(std::int32_t /*offset*/) {}
  virtual void OnTableLoaded(int /*status*/, const LoadedText& /*text*/) {}

  // `offset`: the record's first unit. `word`: the record up to its first TAB (the whole record
  // when it has none), zero-terminated. `winner`: for kDuplicate the offset of the record whose
  // word is in the index, otherwise -1.
  virtual void OnContentRecord(std::int32_t /*offset*/, const char16_t* /*word*/,
                               ContentRecordOutcome /*outcome*/, std::int32_t /*winner*/) {}
  // `offset`: the first unit after the last CR LF and the CR and LF units that follow it (0
  // when there is no CR LF); `units`: how many units from there to the first zero unit.
  virtual void OnContentTail(std::int32_t /*offset*/, std::int32_t /*units*/) {}

  // `offset`: the line's first unit. `word`: the line up to its first TAB (the whole line when
  // it has none), zero-terminated. `cut`: the line was ended by the limit of 4095 units with
  // more text before the next line break, which ReadTextLine yields as the next line.
  virtual void OnCodeLine(std::int32_t /*offset*/, const char16_t* /*word*/,
                          CodeLineOutcome /*outcome*/, bool /*cut*/) {}
};

// Sets the observer that the engine tells, or removes it with null. Set it between generations
// only; the engine does not own it.
void SetGenerationObserver(GenerationObserver* observer);

// The observer set, or null.
GenerationObserver* GetGenerationObserver();

// Tells the observer, if one is set, that a conversion wrote U+FFFD at `offset` in place of
// malformed input. For the conversions only.
void NoteReplacement(std::int32_t offset);
