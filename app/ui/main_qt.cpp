// The entry point of the Qt build: prepares Qt, then runs the application object. Arguments are
// Qt's own (-platform, ...); Lantra takes none.
#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("lantra"));
  // Ties the windows to the desktop entry lantra.desktop, and so to its name and icon.
  QApplication::setDesktopFileName(QStringLiteral("lantra"));
  // The buttons of the message box and of the file dialog speak the user's language.
  QTranslator translator;
  if (translator.load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&translator);
  }
  return RunApplication();
}
