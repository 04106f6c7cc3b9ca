#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "hint_table.h"
#include "test_files.h"

// The byte-order mark that begins every result file.
inline const std::string kMark = std::string("\xFF\xFE", 2);

struct Outcome {
  std::int32_t count;
  std::string bytes;
};

// A content table and a code table in a fresh folder, and the result file beside them.
class HintTableTest : public ::testing::Test {
 protected:
  ~HintTableTest() override {
    IndexRelease(&m_index);
    ReleaseLoadedText(&m_content);
  }

  // Builds the index from `content` (file bytes) and generates from `code` (file bytes).
  Outcome Run(const std::string& content, const std::string& code, const std::u16string& prefix,
              const std::u16string& suffix) {
    BuildContentIndex(&m_content, EnginePath(m_folder.Write("content.txt", content)).c_str(),
                      &m_index);
    return Generate(code, prefix, suffix);
  }

  Outcome Generate(const std::string& code, const std::u16string& prefix = u"",
                   const std::u16string& suffix = u"") {
    const auto codePath = m_folder.Write("code.txt", code);
    const std::int32_t count = GenerateHintTable(m_index, prefix.c_str(), Result().c_str(),
                                                 EnginePath(codePath).c_str(), suffix.c_str());
    return {count, ReadBytes(m_folder.path() / "result.txt")};
  }

  std::u16string Result() const { return EnginePath(m_folder.path() / "result.txt"); }

  TempFolder m_folder;
  LoadedText m_content;
  ContentIndex m_index = nullptr;
};

// An allocation filter that lets every allocation through and counts them in `context`, an int.
inline bool CountAllocation(std::size_t, void* context) {
  ++*static_cast<int*>(context);
  return true;
}
