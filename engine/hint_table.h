#pragma once

#include <cstdint>
#include <initializer_list>

#include "content_index.h"
#include "text_loading.h"

// Buffer lengths in UTF-16 code units, the zero unit included.
constexpr int kPathLength = 260;          // the result path and the two table paths
constexpr int kAffixLength = 32;          // the final-code prefix and suffix of the dialog
constexpr int kLineBufferLength = 4096;   // one code table line: at most 4095 units
constexpr int kRecordBufferLength = 4096; // one output record in one piece

// One hint table record: word, word, hint, prefix, code, suffix.
inline constexpr char16_t kRecordFormat[] = u"$kesucmd(%s,%s[%s])\t%s%s%s\r\n";

// The hint table's file name, placed in the user's temporary folder.
inline constexpr char16_t kResultFileName[] = u"Lantra_result.txt";

struct OutputStream;

// Writes the result path, the temporary folder then kResultFileName, into `path`
// (kPathLength units). Returns its length, or 0 with an empty path when the folder is too long
// (folder + 17 + 2 units reach kPathLength) or cannot be found.
std::int32_t GetResultPath(char16_t* path);

// Loads the content table at `path` into `content`, which the caller owns and must keep until
// after IndexRelease, cuts it into records in place and inserts the word of each into `*index`.
// A record ends at CR LF; its first TAB divides word and hint; a record without a TAB and the
// text after the last CR LF are left out; the first record of a word wins. The caller tests
// whether the index is empty. The table's bytes stay in a buffer of the process for
// GenerateHintTable to read the code table into, unless the index stays empty.
void BuildContentIndex(LoadedText* content, const char16_t* path, ContentIndex* index);

// Writes the hint table to `resultPath`: FF FE, then one UTF-16LE record by kRecordFormat for
// every line of the code table at `codePath` whose word is in `index`, in line order. Returns
// the number of records written; 0 when the result file cannot be created, the code table
// cannot be loaded, no line matches, or any write or the closing of the file fails. Releases
// the buffer of table bytes that BuildContentIndex kept, on every path.
std::int32_t GenerateHintTable(ContentIndex index, const char16_t* prefix,
                               const char16_t* resultPath, const char16_t* codePath,
                               const char16_t* suffix);

// Copies the next line of a code table into `line` (kLineBufferLength units, zero-terminated).
// Given a text it starts on that text, given null it goes on where the previous call stopped.
// A run of CR and LF units ends a line; a line holds at most 4095 units, and the rest of a
// longer run starts the next line. Returns the units consumed, 0 at the end of the text.
// Keeps one position for the whole process: not re-entrant.
std::int32_t ReadTextLine(char16_t* line, const char16_t* text);

// Formats one record into the process's record buffer, each "%s" of `format` taking the next
// of `args` unchanged, and hands it to `output` as UTF-16LE without the zero unit. A record
// longer than the buffer goes out in pieces. Failures stay in `output` until it is closed.
void WriteFormatted(OutputStream* output, const char16_t* format,
                    std::initializer_list<const char16_t*> args);
