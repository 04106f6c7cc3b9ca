#include "lantra_cli.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "hint_table.h"
#include "platform/file_system.h"
#include "utf8.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitUsage = 1;
constexpr int kExitNoContent = 2;
constexpr int kExitNothingGenerated = 3;

// The dialog's own messages, so that both front ends say the same.
constexpr char kNoContentMessage[] = "无法读取提示内容表，请确认提示内容表路径的访问权限。";
constexpr char kNothingGeneratedMessage[] =
    "无法创建提示码表，请检查提示编码表、提示内容表文件格式是否符合kesu码表格式。";

std::u16string ToUtf16(const std::string& text) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
  const auto count = static_cast<std::int32_t>(text.size());
  std::u16string result(static_cast<std::size_t>(DecodeUtf8(bytes, count, nullptr, 0)), u'\0');
  DecodeUtf8(bytes, count, result.data(), static_cast<std::int32_t>(result.size()));
  return result;
}

std::string ToUtf8(const char16_t* text) {
  std::size_t units = 0;
  while (text[units] != 0) ++units;
  std::string result(EncodeUtf8(text, units, nullptr, 0), '\0');
  EncodeUtf8(text, units, result.data(), result.size());
  return result;
}

struct Options {
  std::string prefix;
  std::string suffix;
  std::string output;
  std::string contentTable;
  std::string codeTable;
};

bool HasCrLf(const LoadedText& text) {
  for (const char16_t* unit = text.text; *unit != 0; ++unit) {
    if (unit[0] == u'\r' && unit[1] == u'\n') return true;
  }
  return false;
}

// Why a content table gave no record, found by loading it once more.
std::string ExplainEmptyIndex(const std::string& path) {
  LoadedText text;
  const int status = LoadTextFile(ToUtf16(path).c_str(), &text);
  std::string cause;
  if (status == kLoadCannotOpen) {
    cause = "cannot open the content table " + path;
  } else if (status == kLoadNoMemory) {
    cause = "the content table " + path + " does not fit in memory (or holds 2 GiB or more)";
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
  const bool markAlone = FileSize(file) == 2 && ReadFully(file, bytes, 2) == 2 &&
                         bytes[0] == 0xFF && bytes[1] == 0xFE;
  CloseFile(file);
  return markAlone;
}

// Why a generation wrote no record, found by looking at its result and its code table again.
std::string ExplainNothingGenerated(const char16_t* resultPath,
                                    const std::string& codeTable) {
  if (resultPath[0] == 0) return "the temporary folder's path is too long for the result file";
  if (!HoldsMarkAlone(resultPath)) {
    return "cannot create or write the result file " + ToUtf8(resultPath);
  }
  LoadedText code;
  const int status = LoadTextFile(ToUtf16(codeTable).c_str(), &code);
  if (status == kLoadCannotOpen) return "cannot open the code table " + codeTable;
  if (status == kLoadNoMemory) {
    return "the code table " + codeTable + " does not fit in memory (or holds 2 GiB or more)";
  }
  ReleaseLoadedText(&code);
  return "no word of the code table " + codeTable + " is in the content table";
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
  const std::u16string prefix = ToUtf16(options.prefix);
  const std::u16string suffix = ToUtf16(options.suffix);
  const std::u16string contentPath = ToUtf16(options.contentTable);
  const std::u16string codePath = ToUtf16(options.codeTable);

  LoadedText content;
  ContentIndex index = nullptr;
  BuildContentIndex(&content, contentPath.c_str(), &index);
  int status = kExitOk;
  if (index == nullptr) {
    std::fprintf(stderr, "%s\nlantra-cli: %s\n", kNoContentMessage,
                 ExplainEmptyIndex(options.contentTable).c_str());
    status = kExitNoContent;
  } else {
    const std::int32_t count = GenerateHintTable(index, prefix.c_str(), result, codePath.c_str(),
                                                 suffix.c_str());
    if (count > 0) {
      std::printf("%d record%s written to %s\n", count, count == 1 ? "" : "s",
                  ToUtf8(result).c_str());
    } else {
      std::fprintf(stderr, "%s\nlantra-cli: %s\n", kNothingGeneratedMessage,
                   ExplainNothingGenerated(result, options.codeTable).c_str());
      status = kExitNothingGenerated;
    }
  }
  IndexRelease(&index);
  ReleaseLoadedText(&content);
  return status;
}

// CLI11 takes the argument after an option as its value whatever it looks like, as getopt
// does: "--prefix -z", "--suffix --", an empty argument. It reads "--prefix=" as "--prefix"
// alone, though, and would take the next argument as the value; such an empty value is handed
// over as an argument of its own.
std::vector<std::string> SeparateEmptyValues(int argc, char** argv) {
  static const std::string kValueOptions[] = {"--prefix", "--suffix", "--output", "-o"};
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

// True when the UTF-8 paths `a` and `b` name one existing file, however they are spelled.
bool SameFile(const std::string& a, const std::string& b) {
  const auto path = [](const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
  };
  std::error_code error;
  return std::filesystem::equivalent(path(a), path(b), error);
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
  app.add_option("-o,--output", options.output,
                 "The hint table to write (default: Lantra_result.txt in the temporary folder)")
      ->check(CLI::Validator(
          [](const std::string& name) { return name.empty() ? "the file name is empty" : ""; },
          ""));
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
