#include "join_report.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "utf8.h"

namespace {

std::string Counted(std::int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// A word as the report shows it: UTF-8 in quotes, line breaks and other control characters
// named, so that every finding stays on one line.
std::string Quoted(const char16_t* word) {
  std::string shown = "\"";
  const char16_t* run = word;
  auto flush = [&](const char16_t* end) {
    const auto units = static_cast<std::size_t>(end - run);
    const std::size_t start = shown.size();
    shown.resize(start + EncodeUtf8(run, units, nullptr, 0));
    EncodeUtf8(run, units, shown.data() + start, shown.size() - start);
  };
  for (const char16_t* unit = word; *unit != 0; ++unit) {
    if (*unit >= 0x20) continue;
    flush(unit);
    run = unit + 1;
    if (*unit == u'\r') {
      shown += "<CR>";
    } else if (*unit == u'\n') {
      shown += "<LF>";
    } else if (*unit == u'\t') {
      shown += "<TAB>";
    } else {
      char name[12];
      std::snprintf(name, sizeof name, "<U+%04X>", static_cast<unsigned>(*unit));
      shown += name;
    }
  }
  const char16_t* end = run;
  while (*end != 0)
    ++end;
  flush(end);
  return shown + "\"";
}

bool HoldsLineBreak(const char16_t* word) {
  for (; *word != 0; ++word) {
    if (*word == u'\r' || *word == u'\n') return true;
  }
  return false;
}

const char* EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::kUtf8:
      return "UTF-8";
    case TextEncoding::kUtf16Le:
      return "UTF-16LE";
    case TextEncoding::kUtf16Be:
      return "UTF-16BE";
    case TextEncoding::kGbk:
      return "GBK";
    default:
      return "the ANSI code page";
  }
}

const char* MarkName(ByteOrderMark mark) {
  switch (mark) {
    case ByteOrderMark::kUtf8:
      return "UTF-8";
    case ByteOrderMark::kUtf16Le:
      return "UTF-16LE";
    default:
      return "UTF-16BE";
  }
}

// Only conversions from UTF-8 and code pages replace anything.
bool CanReplace(TextEncoding encoding) {
  return encoding != TextEncoding::kUtf16Le && encoding != TextEncoding::kUtf16Be;
}

}  // namespace

void LineNumbers::Reset(const char16_t* text, std::int32_t length) {
  m_starts.clear();
  for (std::int32_t i = 0; i < length; ++i) {
    if (text[i] == u'\r' && i + 1 < length && text[i + 1] == u'\n') ++i;
    if (text[i] == u'\r' || text[i] == u'\n') m_starts.push_back(i + 1);
  }
}

std::int32_t LineNumbers::LineOf(std::int32_t offset) const {
  const auto later = std::upper_bound(m_starts.begin(), m_starts.end(), offset);
  return static_cast<std::int32_t>(later - m_starts.begin()) + 1;
}

std::string JoinReport::List::Text(const std::string& lead) const {
  std::string text = lead + Counted(count, one, many) + what + "\n";
  for (const std::string& entry : entries)
    text += entry + "\n";
  const auto listed = static_cast<std::int64_t>(entries.size());
  if (count > listed) {
    text += lead + "not listed: " + std::to_string(count - listed) + " more " + many + what + "\n";
  }
  return text;
}

JoinReport::JoinReport(std::string contentPath, std::string codePath) {
  m_content.path = std::move(contentPath);
  m_code.path = std::move(codePath);
}

std::string JoinReport::Line(std::int32_t offset) const {
  return "line " + std::to_string(m_lines.LineOf(offset));
}

void JoinReport::OnTableLoading(TableKind table) {
  m_table = table == TableKind::kContent ? &m_content : &m_code;
  m_table->read = true;
}

void JoinReport::OnTextDecoded(const TextDecoding& decoding) {
  if (m_table == nullptr) return;
  m_table->decoding = decoding;
  m_table->decoded = true;
}

void JoinReport::OnReplacement(std::int32_t offset) {
  if (m_table == nullptr) return;
  if (m_table->replacements++ == 0) m_table->firstReplacement = offset;
}

void JoinReport::OnTableLoaded(int status, const LoadedText& text) {
  if (m_table == nullptr) return;
  m_table->status = status;
  if (text.text == nullptr) return;
  m_lines.Reset(text.text, text.length);
  if (m_table->firstReplacement >= 0) {
    m_table->firstReplacement = m_lines.LineOf(m_table->firstReplacement);
  }
  const char16_t* zero = std::find(text.text, text.text + text.length, u'\0');
  if (zero != text.text + text.length) {
    const auto offset = static_cast<std::int32_t>(zero - text.text);
    m_table->zeroLine = m_lines.LineOf(offset);
    m_table->unitsAfterZero = text.length - offset - 1;
  }
}

void JoinReport::OnContentRecord(std::int32_t offset, const char16_t* word,
                                 ContentRecordOutcome outcome, std::int32_t winner) {
  const auto at = [&] { return "content table " + Line(offset) + ": "; };
  switch (outcome) {
    case ContentRecordOutcome::kIndexed:
      ++m_indexed;
      if (HoldsLineBreak(word)) {
        m_breakInWord.Add([&] { return at() + "word " + Quoted(word) + " holds a lone CR or LF"; });
      }
      break;
    case ContentRecordOutcome::kDuplicate:
      m_duplicates.Add(
          [&] { return at() + "word " + Quoted(word) + " already indexed from " + Line(winner); });
      break;
    case ContentRecordOutcome::kNoMemory:
      m_noMemory.Add([&] { return at() + "record left out for lack of memory"; });
      break;
    case ContentRecordOutcome::kWithoutTab:
      m_withoutTab.Add([&] { return at() + "record without a TAB"; });
      break;
  }
}

void JoinReport::OnContentTail(std::int32_t offset, std::int32_t units) {
  m_tailLine = m_lines.LineOf(offset);
  m_tailUnits = units;
}

void JoinReport::OnCodeLine(std::int32_t offset, const char16_t* word, CodeLineOutcome outcome,
                            bool cut) {
  ++m_linesRead;
  const auto at = [&] { return "code table " + Line(offset) + ": "; };
  if (cut) m_cutLines.Add([&] { return at() + "line cut at 4095 units"; });
  switch (outcome) {
    case CodeLineOutcome::kWritten:
      ++m_written;
      break;
    case CodeLineOutcome::kWordNotFound:
      m_notFound.Add([&] { return at() + "word " + Quoted(word) + " not in the content table"; });
      break;
    case CodeLineOutcome::kWithoutTab:
      // An empty line is no line that lacks its TAB: a blank first line, or the line break
      // after a line of exactly 4095 units.
      if (word[0] == 0) {
        ++m_emptyLines;
      } else {
        m_linesWithoutTab.Add([&] { return at() + "line without a TAB"; });
      }
      break;
  }
}

std::string JoinReport::TableText(const Table& table, const char* name) const {
  const std::string lead = std::string(name) + ": ";
  std::string text = lead + table.path + "\n";
  if (!table.read) return text + lead + "not read\n";
  if (table.status == kLoadCannotOpen) return text + lead + "cannot be opened\n";
  if (table.status != kLoadOk || !table.decoded) {
    return text + lead + "does not fit in memory (or holds 2 GiB or more)\n";
  }
  const TextDecoding& decoding = table.decoding;
  text += lead + Counted(decoding.bytes, "byte", "bytes") + ", read as " +
          EncodingName(decoding.encoding);
  if (decoding.mark != ByteOrderMark::kNone && !decoding.markKept) {
    text += " with byte-order mark";
  }
  text += decoding.forced ? " (forced)" : " (detected)";
  if (decoding.markKept) {
    text += std::string("; its ") + MarkName(decoding.mark) +
            " byte-order mark does not match and was read as text";
  }
  text += "\n";
  if (CanReplace(decoding.encoding)) {
    text += lead + Counted(table.replacements, "replacement character", "replacement characters") +
            " from decoding";
    if (table.replacements > 0) {
      text += ", the first on line " + std::to_string(table.firstReplacement);
    }
    text += "\n";
  }
  if (table.zeroLine > 0) {
    text += std::string(name) + " line " + std::to_string(table.zeroLine) +
            ": a zero unit ends the text; " + Counted(table.unitsAfterZero, "unit", "units") +
            " after it left unread\n";
  }
  return text;
}

std::string JoinReport::Text(const std::string& result) const {
  std::string text = "lantra-cli join report\n\n";
  text += TableText(m_content, "content table");
  if (m_content.read && m_content.status == kLoadOk) {
    const std::string lead = "content table: ";
    text += lead + Counted(m_indexed, "record", "records") + " indexed\n";
    text += m_withoutTab.Text(lead);
    text += m_duplicates.Text(lead);
    if (m_noMemory.count > 0) text += m_noMemory.Text(lead);
    const std::int64_t records =
        m_indexed + m_withoutTab.count + m_duplicates.count + m_noMemory.count;
    if (m_tailUnits == 0) {
      text += lead + "nothing after the last CR LF\n";
    } else if (records == 0) {
      text += lead + "no CR LF ends a record; all " + Counted(m_tailUnits, "unit", "units") +
              " left unread\n";
    } else {
      text += lead + Counted(m_tailUnits, "unit", "units") +
              " after the last CR LF left unread, from line " + std::to_string(m_tailLine) + "\n";
    }
    text += m_breakInWord.Text(lead);
  }
  text += "\n";
  text += TableText(m_code, "code table");
  if (m_code.read && m_code.status == kLoadOk) {
    const std::string lead = "code table: ";
    text += lead + Counted(m_linesRead, "line", "lines") + " read\n";
    if (m_emptyLines > 0) {
      text += lead + Counted(m_emptyLines, "empty line", "empty lines") + ", ignored\n";
    }
    text += m_linesWithoutTab.Text(lead);
    text += m_cutLines.Text(lead);
    text += m_notFound.Text(lead);
    text += lead + Counted(m_written, "record", "records") + " written\n";
  }
  return text + "\nresult: " + result + "\n";
}
