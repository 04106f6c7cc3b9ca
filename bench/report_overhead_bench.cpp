// What the join report costs: the whole generation (content index, hint table) on generated
// tables, with no observer, with an observer that does nothing, and with the join report.
// Built with LANTRA_BENCH_BASELINE it runs the first case only, on the engine of another source
// tree: the engine before the observer existed (bench/report_overhead.sh).
//
//   report_overhead_bench [Google Benchmark flags]
//   report_overhead_bench --once=none|idle|report   one generation, for callgrind
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "hint_table.h"
#ifndef LANTRA_BENCH_BASELINE
#include "generation_observer.h"
#include "join_report.h"
#endif

namespace {

constexpr int kContentRecords = 50'000;
constexpr int kCodeLines = 100'000;

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Tables from a fixed seed, in UTF-8: content words of 1 to 4 ideographs with pinyin-like
// hints, 3% of them repeated; code lines that take a content word 80% of the time.
class Tables {
 public:
  Tables() {
    m_folder = std::filesystem::temp_directory_path() /
               ("lantra-report-overhead-" + std::to_string(getpid()));
    std::filesystem::create_directories(m_folder);
    std::mt19937 random(20240601);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    auto word = [&](char32_t first) {
      std::string text;
      const int length = 1 + pick(4);
      for (int i = 0; i < length; ++i)
        AppendUtf8(first + static_cast<char32_t>(pick(3000)), &text);
      return text;
    };
    std::vector<std::string> words;
    std::string content;
    for (int i = 0; i < kContentRecords; ++i) {
      words.push_back(i > 0 && pick(100) < 3 ? words[static_cast<std::size_t>(pick(i))]
                                             : word(0x4E00));
      content += words.back() + "\t";
      for (int syllables = 1 + pick(4); syllables > 0; --syllables) {
        for (int letters = 2 + pick(4); letters > 0; --letters) {
          content += static_cast<char>('a' + pick(26));
        }
        content += syllables > 1 ? " " : "\r\n";
      }
    }
    std::string code;
    for (int i = 0; i < kCodeLines; ++i) {
      code +=
          pick(100) < 80 ? words[static_cast<std::size_t>(pick(kContentRecords))] : word(0x6000);
      code += "\t";
      for (int letters = 1 + pick(4); letters > 0; --letters) {
        code += static_cast<char>('a' + pick(26));
      }
      code += "\n";
    }
    Write("content.txt", content);
    Write("code.txt", code);
    contentPath = (m_folder / "content.txt").u16string();
    codePath = (m_folder / "code.txt").u16string();
    resultPath = (m_folder / "result.txt").u16string();
  }
  ~Tables() {
    std::error_code ignored;
    std::filesystem::remove_all(m_folder, ignored);
  }
  Tables(const Tables&) = delete;
  Tables& operator=(const Tables&) = delete;

  std::u16string contentPath;
  std::u16string codePath;
  std::u16string resultPath;

 private:
  void Write(const char* name, const std::string& bytes) const {
    std::ofstream(m_folder / name, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  std::filesystem::path m_folder;
};

const Tables& GetTables() {
  static const Tables tables;
  return tables;
}

enum class Observer { kNone, kIdle, kReport };

#ifndef LANTRA_BENCH_BASELINE
// Attached, it makes every call the engine can make, and does nothing with them.
class IdleObserver : public GenerationObserver {};
#endif

// One whole generation, as lantra-cli runs it. Not inlined, so that callgrind can count it alone.
[[gnu::noinline]] std::int32_t GenerateOnce([[maybe_unused]] Observer observer) {
  const Tables& tables = GetTables();
#ifndef LANTRA_BENCH_BASELINE
  IdleObserver idle;
  JoinReport report("content.txt", "code.txt");
  if (observer == Observer::kIdle) SetGenerationObserver(&idle);
  if (observer == Observer::kReport) SetGenerationObserver(&report);
#endif
  LoadedText content;
  ContentIndex index = nullptr;
  BuildContentIndex(&content, tables.contentPath.c_str(), &index);
  const std::int32_t count =
      GenerateHintTable(index, u"[", tables.resultPath.c_str(), tables.codePath.c_str(), u"]");
  IndexRelease(&index);
  ReleaseLoadedText(&content);
#ifndef LANTRA_BENCH_BASELINE
  SetGenerationObserver(nullptr);
  if (observer == Observer::kReport) benchmark::DoNotOptimize(report.Text("done"));
#endif
  return count;
}

void BM_Generation(benchmark::State& state, Observer observer) {
  GetTables();
  for (auto _ : state)
    benchmark::DoNotOptimize(GenerateOnce(observer));
  state.SetItemsProcessed(state.iterations() * (kContentRecords + kCodeLines));
}

#ifdef LANTRA_BENCH_BASELINE
BENCHMARK_CAPTURE(BM_Generation, engine_before_observer, Observer::kNone)
    ->Unit(benchmark::kMillisecond);
#else
BENCHMARK_CAPTURE(BM_Generation, no_observer, Observer::kNone)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Generation, idle_observer, Observer::kIdle)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Generation, join_report, Observer::kReport)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && std::strncmp(argv[1], "--once=", 7) == 0) {
    const std::string mode = argv[1] + 7;
    Observer observer = Observer::kNone;
    if (mode == "idle") observer = Observer::kIdle;
    if (mode == "report") observer = Observer::kReport;
    GetTables();
    std::printf("%d records\n", GenerateOnce(observer));
    return 0;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
