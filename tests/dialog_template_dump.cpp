// Prints Lantra's dialog template data as JSON, for check_resources.py to compare with the
// dialog that the resource compiler made of lantra.rc. The output is ASCII: every other code
// unit is written as a \u escape, so that it passes any console and code page unchanged.
#include <cstdio>

#include "dialog_template.h"

namespace {

void PrintText(const char16_t* text) {
  std::putchar('"');
  for (; *text != 0; ++text) {
    const unsigned unit = *text;
    if (unit >= 0x20 && unit < 0x7F && unit != '"' && unit != '\\') {
      std::putchar(static_cast<int>(unit));
    } else {
      std::printf("\\u%04x", unit);
    }
  }
  std::putchar('"');
}

void PrintControl(const ControlTemplate& control) {
  std::printf("{\"id\": %d, \"class\": %u, \"text\": ", control.id,
              static_cast<unsigned>(control.kind));
  PrintText(control.text);
  std::printf(", \"rect\": [%d, %d, %d, %d], \"style\": %lu}", control.x, control.y, control.width,
              control.height, static_cast<unsigned long>(control.style));
}

void PrintDialog(const DialogTemplate& dialog) {
  std::printf("{\"id\": %d, \"language\": %u, \"title\": ", dialog.id,
              static_cast<unsigned>(dialog.language));
  PrintText(dialog.title);
  std::printf(
      ", \"rect\": [%d, %d, %d, %d], \"style\": %lu, \"exstyle\": %lu, \"font\": [%d, %d, %d, %d, ",
      dialog.x, dialog.y, dialog.width, dialog.height, static_cast<unsigned long>(dialog.style),
      static_cast<unsigned long>(dialog.exStyle), dialog.fontPointSize, dialog.fontWeight,
      dialog.fontItalic ? 1 : 0, dialog.fontCharset);
  PrintText(dialog.fontName);
  std::printf("],\n \"controls\": [");
  const char* separator = "\n  ";
  for (const ControlTemplate& control : dialog.controls) {
    std::printf("%s", separator);
    PrintControl(control);
    separator = ",\n  ";
  }
  std::printf("]}");
}

}  // namespace

int main() {
  PrintDialog(kHintTableDialog);
  std::printf("\n");
  return 0;
}
