// Micro-benchmarks of the engine's inner loops, on tables shaped like the ones that
// bench/gen_tables.py writes: 500,000 content records and 1,000,000 code table lines.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "content_index.h"
#include "hint_table.h"
#include "output_stream.h"
#include "text_loading.h"
#include "utf8.h"

namespace {

constexpr int kRecords = 500000;
constexpr int kLines = 1000000;

// Words of 1 to 6 ideographs, the first ones of the block far more often, and hints of ASCII
// letters or ideographs, from a fixed seed.
class TableSource {
 public:
  std::u16string Word() {
    static const int kLengthWeights[] = {8, 46, 18, 16, 7, 5};
    std::discrete_distribution<int> length(std::begin(kLengthWeights), std::end(kLengthWeights));
    std::u16string word;
    for (int n = length(m_random) + 1; n > 0; --n)
      word += Ideograph();
    return word;
  }
  std::u16string Hint() {
    std::u16string hint;
    const bool letters = m_random() % 2 == 0;
    for (int n = 2 + static_cast<int>(m_random() % 29); n > 0; --n) {
      hint += letters ? static_cast<char16_t>(u'a' + m_random() % 26) : Ideograph();
    }
    return hint;
  }
  std::u16string Code() {
    std::u16string code;
    for (int n = 1 + static_cast<int>(m_random() % 4); n > 0; --n) {
      code += static_cast<char16_t>(u'a' + m_random() % 26);
    }
    return code;
  }
  std::mt19937& Random() { return m_random; }

 private:
  char16_t Ideograph() {
    const double x = std::uniform_real_distribution<double>(0, 1)(m_random);
    return static_cast<char16_t>(0x4E00 + static_cast<int>(x * x * x * 20902));
  }
  std::mt19937 m_random{20240601};
};

// The content table's text, cut as BuildContentIndex cuts it: word, zero unit, hint, zero unit.
struct ContentKeys {
  std::u16string text;
  std::vector<const char16_t*> words;
  std::vector<std::u16string> probes;  // code table words: 80% in the table
};

const ContentKeys& Keys() {
  static const ContentKeys keys = [] {
    ContentKeys k;
    TableSource source;
    std::vector<std::size_t> starts;
    for (int i = 0; i < kRecords; ++i) {
      starts.push_back(k.text.size());
      k.text += source.Word() + u'\0' + source.Hint() + u'\0';
    }
    for (std::size_t start : starts)
      k.words.push_back(k.text.c_str() + start);
    for (int i = 0; i < kLines; ++i) {
      k.probes.push_back(source.Random()() % 5 != 0
                             ? std::u16string(k.words[source.Random()() % kRecords])
                             : source.Word() + u'丂');
    }
    return k;
  }();
  return keys;
}

// A table of `lines` lines "word TAB text CR LF" as UTF-16 units.
std::u16string TableText(int lines) {
  TableSource source;
  std::u16string text;
  for (int i = 0; i < lines; ++i)
    text += source.Word() + u'\t' + source.Hint() + u"\r\n";
  return text;
}

std::string Utf8Bytes(const std::u16string& text) {
  std::string bytes(EncodeUtf8(text.data(), text.size(), nullptr, 0), '\0');
  EncodeUtf8(text.data(), text.size(), bytes.data(), bytes.size());
  return bytes;
}

// GBK bytes of the same shape: ASCII, and pairs from the GB2312 ideograph rows.
std::string GbkBytes(const std::u16string& text) {
  std::mt19937 random(7);
  std::string bytes;
  for (char16_t unit : text) {
    if (unit < 0x80) {
      bytes += static_cast<char>(unit);
    } else {
      bytes += static_cast<char>(0xB0 + random() % 0x48);
      bytes += static_cast<char>(0xA1 + random() % 0x5E);
    }
  }
  return bytes;
}

std::string Utf16Bytes(const std::u16string& text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? high : low;
    bytes += bigEndian ? low : high;
  }
  return bytes;
}

const std::u16string& CodeTableText() {
  static const std::u16string text = TableText(kLines / 4);
  return text;
}

void DecodeBenchmark(benchmark::State& state, const std::string& bytes) {
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (auto _ : state) {
    LoadedText text;
    DecodeText(data, static_cast<std::int32_t>(bytes.size()), &text);
    benchmark::DoNotOptimize(text.text);
    ReleaseLoadedText(&text);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

void BM_DecodeUtf8(benchmark::State& state) {
  static const std::string bytes = Utf8Bytes(CodeTableText());
  DecodeBenchmark(state, bytes);
}
void BM_DecodeGbk(benchmark::State& state) {
  static const std::string bytes = GbkBytes(CodeTableText());
  DecodeBenchmark(state, bytes);
}
void BM_DecodeUtf16Le(benchmark::State& state) {
  static const std::string bytes = Utf16Bytes(CodeTableText(), false);
  DecodeBenchmark(state, bytes);
}
void BM_DecodeUtf16Be(benchmark::State& state) {
  static const std::string bytes = Utf16Bytes(CodeTableText(), true);
  DecodeBenchmark(state, bytes);
}

void BM_IsUtf8Text(benchmark::State& state) {
  static const std::string bytes = Utf8Bytes(CodeTableText());
  const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
  for (auto _ : state) {
    benchmark::DoNotOptimize(IsUtf8Text(data, static_cast<std::int32_t>(bytes.size())));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}

// Every content word into an empty index, in table order, by `insertAll`.
void InsertBenchmark(benchmark::State& state, void (*insertAll)(ContentIndex*)) {
  const ContentKeys& keys = Keys();
  for (auto _ : state) {
    ContentIndex index = nullptr;
    insertAll(&index);
    state.PauseTiming();
    IndexRelease(&index);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keys.words.size()));
}

// One IndexInsert after the other.
void BM_IndexInsert(benchmark::State& state) {
  InsertBenchmark(state, [](ContentIndex* index) {
    for (const char16_t* word : Keys().words)
      IndexInsert(index, word);
  });
}

// A batch at a time, as BuildContentIndex does.
void BM_IndexInsertBatch(benchmark::State& state) {
  InsertBenchmark(state, [](ContentIndex* index) {
    IndexInsertBatch(index, Keys().words.data(), static_cast<int>(Keys().words.size()), nullptr);
  });
}

// Freeing an index of every content word.
void BM_IndexRelease(benchmark::State& state) {
  const ContentKeys& keys = Keys();
  for (auto _ : state) {
    state.PauseTiming();
    ContentIndex index = nullptr;
    IndexInsertBatch(&index, keys.words.data(), static_cast<int>(keys.words.size()), nullptr);
    state.ResumeTiming();
    IndexRelease(&index);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keys.words.size()));
}

ContentIndex FullIndex() {
  static ContentIndex index = [] {
    ContentIndex built = nullptr;
    for (const char16_t* word : Keys().words)
      IndexInsert(&built, word);
    return built;
  }();
  return index;
}

// Every code table word looked up in the full index, one after the other.
void BM_IndexFind(benchmark::State& state) {
  const ContentKeys& keys = Keys();
  const ContentIndex index = FullIndex();
  for (auto _ : state) {
    for (const std::u16string& probe : keys.probes) {
      benchmark::DoNotOptimize(IndexFind(index, probe.c_str()));
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keys.probes.size()));
}

// The same lookups side by side, a batch at a time as GenerateHintTable does.
void BM_IndexFindBatch(benchmark::State& state) {
  const ContentKeys& keys = Keys();
  const ContentIndex index = FullIndex();
  constexpr int kBatch = kIndexBatch;
  for (auto _ : state) {
    for (std::size_t first = 0; first < keys.probes.size(); first += kBatch) {
      const char16_t* probes[kBatch];
      const char16_t* found[kBatch];
      int n = 0;
      for (; n < kBatch && first + n < keys.probes.size(); ++n) {
        probes[n] = keys.probes[first + n].c_str();
      }
      IndexFindBatch(index, probes, n, found);
      benchmark::DoNotOptimize(found);
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * keys.probes.size()));
}

void BM_ReadTextLine(benchmark::State& state) {
  const std::u16string& text = CodeTableText();
  static char16_t line[kLineBufferLength];
  std::int64_t lines = 0;
  for (auto _ : state) {
    for (const char16_t* from = text.c_str(); ReadTextLine(line, from) != 0; from = nullptr) {
      ++lines;
    }
  }
  state.SetItemsProcessed(lines);
  state.SetBytesProcessed(
      static_cast<std::int64_t>(state.iterations() * text.size() * sizeof(char16_t)));
}

void BM_WriteFormatted(benchmark::State& state) {
  TableSource source;
  std::vector<std::u16string> words, hints, codes;
  for (int i = 0; i < 1000; ++i) {
    words.push_back(source.Word());
    hints.push_back(source.Hint());
    codes.push_back(source.Code());
  }
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "lantra-bench-records.txt";
  OutputStream output;
  if (OpenOutputStream(&output, path.u16string().c_str()) == 0) {
    state.SkipWithError("cannot create the output file");
    return;
  }
  std::int64_t records = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < words.size(); ++i) {
      const char16_t* word = words[i].c_str();
      WriteFormatted(&output, kRecordFormat,
                     {word, word, hints[i].c_str(), u"{", codes[i].c_str(), u"}"});
    }
    records += static_cast<std::int64_t>(words.size());
  }
  CloseOutputStream(&output);
  std::filesystem::remove(path);
  state.SetItemsProcessed(records);
}

}  // namespace

BENCHMARK(BM_DecodeUtf8)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeGbk)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeUtf16Le)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeUtf16Be)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsUtf8Text)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexInsert)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexInsertBatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexRelease)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexFind)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IndexFindBatch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadTextLine)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteFormatted)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
