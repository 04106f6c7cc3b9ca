#include "lantra_cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "hint_table.h"
#include "join_report.h"
#include "messages.h"
#include "platform/file_system.h"
#include "utf8.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNoContent = 2;
constexpr int kExitNothingGenerated = 3;

std::u16string ToUtf16(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto count = static_cast<std::int32_t>(text.size());
  std::u16string result(static_cast<std::size_t>(DecodeUtf8(bytes, count, nullptr, 0)), u'\0');
  DecodeUtf8(bytes, count, result.data(), static_cast<std::int32_t>(result.size()));
  return result;
}

std::string ToUtf8(const char16_t* text) {
  std::size_t units = 0;
  while (text[units] != 0)
    ++units;
  std::string result(EncodeUtf8(text, units, nullptr, 0), '\0');
  EncodeUtf8(text, units, result.data(), result.size());
  return result;
}

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

// True when the UTF-8 paths `a` and `b` name one existing file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return std::filesystem::equivalent(NativePath(a), NativePath(b), error);
}

struct Options {
  std::string prefix;
  std::string suffix;
  std::string output;
  std::string contentTable;
  std::string codeTable;
  std::string report;  // empty: none; "-": standard error
  TextEncoding contentEncoding = TextEncoding::kAuto;
  TextEncoding codeEncoding = TextEncoding::kAuto;
  bool quiet = false;
};

// The encodings that --content-encoding and --code-encoding take.
const std::map<std::string, TextEncoding> kEncodingNames = {
    {"auto", TextEncoding::kAuto},        {"utf-8", TextEncoding::kUtf8},
    {"utf-16le", TextEncoding::kUtf16Le}, {"utf-16be", TextEncoding::kUtf16Be},
    {"gbk", TextEncoding::kGbk},
};

// The encoding forced on each table, by the path that LoadTextFile is given.
struct ForcedEncodings {
  std::u16string contentPath;
  TextEncoding content;
  std::u16string codePath;
  TextEncoding code;
};

// The two paths are different texts unless both tables take the same encoding.
TextEncoding ChooseTableEncoding(const char16_t* path, void* context) {
  const auto* forced = static_cast<const ForcedEncodings*>(context);
  if (path == forced->contentPath) return forced->content;
  if (path == forced->codePath) return forced->code;
  return TextEncoding::kAuto;
}

// A report to write was asked for, and where it goes.
struct ReportOutput {
  bool wanted = false;
  std::ofstream file;  // not open: standard error
};

bool HasCrLf(const LoadedText& text) {
  for (const char16_t* unit = text.text; *unit != 0; ++unit) {
    if (unit[0] == u'\r' && unit[1] == u'\n') return true;
  }
  return false;
}

// Why the table `name` at `path` did not load, by LoadTextFile's status.
std::string LoadFailure(int status, const std::string& name, const std::string& path) {
  if (status == kLoadCannotOpen) return "cannot open the " + name + " " + path;
  return "the " + name + " " + path + " does not fit in memory (or holds 2 GiB or more)";
}

// Why a content table gave no record, found by loading it once more.
std::string ExplainEmptyIndex(const std::string& path) {
  LoadedText text;
  const int status = LoadTextFile(ToUtf16(path).c_str(), &text);
  std::string cause;
  if (status != kLoadOk) {
    cause = LoadFailure(status, "content table", path);
  } else if (text.text[0] == 0) {
    cause = "the content table " + path + " is empty";
  } else if (!HasCrLf(text)) {
    cause = "no line of the content table " + path +
            " ends with CR LF; a record counts only when it does";
  } else {
    cause = "no record of the content table " + path + " has a TAB between word and hint";
  }
  ReleaseLoadedText(&text);
  return cause;
}

// True when the file at `path` holds the byte-order mark alone, as a result file does when it
// was created but got no record.
bool HoldsMarkAlone(const char16_t* path) {
  const FileHandle file = OpenForReading(path);
  if (file == kNoFile) return false;
  unsigned char bytes[3];
  const bool markAlone =
      FileSize(file) == 2 && ReadFully(file, bytes, 2) == 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  CloseFile(file);
  return markAlone;
}

// Why a generation wrote no record, found by looking at its result and its code table again.
std::string ExplainNothingGenerated(const char16_t* resultPath, const std::string& codeTable) {
  if (resultPath[0] == 0) return "the temporary folder's path is too long for the result file";
  if (!HoldsMarkAlone(resultPath)) {
    return "cannot create or write the result file " + ToUtf8(resultPath);
  }
  LoadedText code;
  const int status = LoadTextFile(ToUtf16(codeTable).c_str(), &code);
  if (status != kLoadOk) return LoadFailure(status, "code table", codeTable);
  ReleaseLoadedText(&code);
  return "no word of the code table " + codeTable + " is in the content table";
}

// Checks what cannot work before anything is read or written, and opens the report. `result` is
// the hint table's path. Returns kExitOk or kExitUsage.
int CheckOptions(const Options& options, const std::string& result, ReportOutput* report) {
  if (options.contentTable == options.codeTable &&
      options.contentEncoding != options.codeEncoding) {
    std::fprintf(stderr, "lantra-cli: one file cannot be read as both tables in two encodings\n");
    return kExitUsage;
  }
  if (options.report.empty()) return kExitOk;
  report->wanted = true;
  if (options.report == "-") return kExitOk;
  // Opening the report empties it: it must not be a table or the hint table, which may not
  // exist yet.
  for (const std::string* other : {&options.contentTable, &options.codeTable, &result}) {
    if (options.report == *other || SameFile(options.report, *other)) {
      std::fprintf(stderr, "lantra-cli: the report would overwrite %s\n", other->c_str());
      return kExitUsage;
    }
  }
  report->file.open(NativePath(options.report), std::ios::binary | std::ios::trunc);
  if (!report->file.is_open()) {
    std::fprintf(stderr, "lantra-cli: cannot write the report to %s\n", options.report.c_str());
    return kExitUsage;
  }
  return kExitOk;
}

void WriteReport(const std::string& text, ReportOutput* report, const std::string& path) {
  if (!report->file.is_open()) {
    std::fputs(text.c_str(), stderr);
    return;
  }
  report->file << text;
  report->file.close();
  if (report->file.fail()) {
    std::fprintf(stderr, "lantra-cli: cannot write the report to %s\n", path.c_str());
  }
}

int Generate(const Options& options) {
  char16_t resultPath[kPathLength] = {};
  std::u16string output;
  const char16_t* result = resultPath;
  if (options.output.empty()) {
    GetResultPath(resultPath);
  } else {
    output = ToUtf16(options.output);
    result = output.c_str();
  }
  ReportOutput reportOutput;
  const int usage = CheckOptions(options, ToUtf8(result), &reportOutput);
  if (usage != kExitOk) return usage;
  const std::u16string prefix = ToUtf16(options.prefix);
  const std::u16string suffix = ToUtf16(options.suffix);
  ForcedEncodings forced{ToUtf16(options.contentTable), options.contentEncoding,
                         ToUtf16(options.codeTable), options.codeEncoding};
  // The explanations below load the tables again, so the forced encodings hold to the end.
  SetEncodingChooser(ChooseTableEncoding, &forced);
  JoinReport report(options.contentTable, options.codeTable);
  if (reportOutput.wanted) SetGenerationObserver(&report);

  LoadedText content;
  ContentIndex index = nullptr;
  BuildContentIndex(&content, forced.contentPath.c_str(), &index);
  std::int32_t count = 0;
  if (index != nullptr) {
    count =
        GenerateHintTable(index, prefix.c_str(), result, forced.codePath.c_str(), suffix.c_str());
  }
  SetGenerationObserver(nullptr);

  int status = kExitOk;
  std::string outcome;
  if (index == nullptr) {
    // The explanation loads the table once more; the first copy goes first, so that the peak
    // stays that of one copy.
    ReleaseLoadedText(&content);
    outcome = ExplainEmptyIndex(options.contentTable);
    std::fprintf(stderr, "%s\nlantra-cli: %s\n", ToUtf8(kNoContentMessage).c_str(),
                 outcome.c_str());
    status = kExitNoContent;
  } else if (count > 0) {
    outcome = std::to_string(count) + (count == 1 ? " record" : " records") + " written to " +
              ToUtf8(result);
    if (!options.quiet) std::printf("%s\n", outcome.c_str());
  } else {
    outcome = ExplainNothingGenerated(result, options.codeTable);
    std::fprintf(stderr, "%s\nlantra-cli: %s\n", ToUtf8(kNothingGeneratedMessage).c_str(),
                 outcome.c_str());
    status = kExitNothingGenerated;
  }
  SetEncodingChooser(nullptr, nullptr);
  IndexRelease(&index);
  ReleaseLoadedText(&content);
  if (reportOutput.wanted) WriteReport(report.Text(outcome), &reportOutput, options.report);
  return status;
}

// CLI11 takes the argument after an option as its value whatever it looks like, as getopt
// does: "--prefix -z", "--suffix --", an empty argument. It reads "--prefix=" as "--prefix"
// alone, though, and would take the next argument as the value; such an empty value is handed
// over as an argument of its own.
std::vector<std::string> SeparateEmptyValues(int argc, char** argv) {
  static const std::string kValueOptions[] = {
      "--prefix", "--suffix",           "--output",       "-o",
      "--report", "--content-encoding", "--code-encoding"};
  const auto takesValue = [](const std::string& argument) {
    return std::find(std::begin(kValueOptions), std::end(kValueOptions), argument) !=
           std::end(kValueOptions);
  };
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    std::string argument = argv[i];
    if (argument == "--") {
      arguments.insert(arguments.end(), argv + i, argv + argc);
      break;
    }
    if (takesValue(argument) && i + 1 < argc) {
      arguments.push_back(argument);
      argument = argv[++i];
    } else if (argument.starts_with("--") && argument.ends_with('=') &&
               takesValue(argument.substr(0, argument.size() - 1))) {
      argument.pop_back();
      arguments.push_back(argument);
      argument.clear();
    }
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

}  // namespace

int RunLantraCli(int argc, char** argv) {
  Options options;
  CLI::App app{
      "Writes the kesu hint table: one command entry for every line of the code table whose "
      "word is in the content table, its code framed by the prefix and the suffix.",
      "lantra-cli"};
  app.set_version_flag("--version", "lantra-cli " LANTRA_VERSION);
  app.add_option("--prefix", options.prefix, "Text put before every code (may be empty)");
  app.add_option("--suffix", options.suffix, "Text put after every code (may be empty)");
  const auto nonEmpty = CLI::Validator(
      [](const std::string& name) { return name.empty() ? "the file name is empty" : ""; }, "");
  app.add_option("-o,--output", options.output,
                 "The hint table to write (default: Lantra_result.txt in the temporary folder)")
      ->check(nonEmpty);
  app.add_option("--report", options.report,
                 "Write a report of what joined and what did not to FILE, or with - to standard "
                 "error")
      ->type_name("FILE")
      ->check(nonEmpty);
  const auto encodings = CLI::CheckedTransformer(kEncodingNames, CLI::ignore_case);
  app.add_option("--content-encoding", options.contentEncoding,
                 "Read the content table in this encoding instead of detecting it")
      ->transform(encodings)
      ->option_text("auto|utf-8|utf-16le|utf-16be|gbk");
  app.add_option("--code-encoding", options.codeEncoding,
                 "Read the code table in this encoding instead of detecting it")
      ->transform(encodings)
      ->option_text("auto|utf-8|utf-16le|utf-16be|gbk");
  app.add_flag("-q,--quiet", options.quiet, "Print nothing on success");
  app.add_option("CONTENT_TABLE", options.contentTable, "Lines of word TAB hint, ending in CR LF")
      ->required();
  app.add_option("CODE_TABLE", options.codeTable, "Lines of word TAB code")->required();
  app.footer(
      "Exit status: 0 records written, 1 usage error, 2 no record in the content table, "
      "3 nothing generated.\n");
  app.failure_message(CLI::FailureMessage::help);
  // The result file is emptied before the code table is read: naming a table as the output
  // would destroy it.
  app.callback([&options] {
    if (options.output.empty()) return;
    if (SameFile(options.output, options.contentTable)) {
      throw CLI::ValidationError("--output", "names the content table, which it would replace");
    }
    if (SameFile(options.output, options.codeTable)) {
      throw CLI::ValidationError("--output", "names the code table, which it would replace");
    }
  });
  std::vector<std::string> arguments = SeparateEmptyValues(argc, argv);
  // CLI11 takes the arguments last first.
  std::reverse(arguments.begin(), arguments.end());
  try {
    app.parse(arguments);
  } catch (const CLI::CallForHelp& help) {
    return app.exit(help);
  } catch (const CLI::CallForVersion& version) {
    return app.exit(version);
  } catch (const CLI::ParseError& error) {
    app.exit(error);
    return kExitUsage;
  }
  return Generate(options);
}
