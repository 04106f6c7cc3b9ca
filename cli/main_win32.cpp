#include <windows.h>

#include <string>
#include <vector>

#include "lantra_cli.h"

// Windows hands over the command line in UTF-16; the tool takes it as UTF-8, and its messages
// reach the console as UTF-8.
int wmain(int argc, wchar_t** argv) {
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
    std::string argument(bytes > 0 ? bytes - 1 : 0, '\0');
    if (bytes > 1) {
      WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, argument.data(), bytes, nullptr, nullptr);
    }
    arguments.push_back(std::move(argument));
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  return RunLantraCli(argc, pointers.data());
}
