// The dialog on real Qt widgets (offscreen platform): layout, tab order, Generate with its
// messages and marked fields, Browse. The associated-program opener and, except in the test of
// the real file dialog, the open-file dialog are recording stand-ins installed with SetShell.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

#include "lantra_app.h"
#include "lantra_dlg.h"
#include "res/resource.h"

namespace {

QString FromUtf16(const char16_t* text) {
  return QString::fromUtf16(text);
}

// UTF-16 units as the UTF-16LE bytes of a hint table.
QByteArray Utf16Le(const QString& text) {
  QByteArray bytes;
  for (const QChar unit : text) {
    bytes += static_cast<char>(unit.unicode() & 0xFF);
    bytes += static_cast<char>(unit.unicode() >> 8);
  }
  return bytes;
}

QByteArray HintTable(const QString& records) {
  return QByteArray("\xFF\xFE", 2) + Utf16Le(records);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Records what the dialog hands to the desktop, and answers the open-file dialog with `choice`.
class RecordingShell final : public CShell {
 public:
  struct Opened {
    WindowHandle owner;
    QString path;
  };
  struct Asked {
    WindowHandle owner;
    QString filterName, filterPattern, defaultExtension, initialName;
  };

  void OpenDocument(WindowHandle owner, const char16_t* path) override {
    opened.push_back({owner, FromUtf16(path)});
  }
  std::u16string ChooseFileToOpen(WindowHandle owner, const OpenFileRequest& request) override {
    asked.push_back({owner, FromUtf16(request.filterName), FromUtf16(request.filterPattern),
                     FromUtf16(request.defaultExtension), FromUtf16(request.initialName)});
    return choice.toStdU16String();
  }

  std::vector<Opened> opened;
  std::vector<Asked> asked;
  QString choice;
};

// Watches for message boxes while it lives; records each and closes it with its OK button.
class MessageBoxCloser {
 public:
  struct Seen {
    QString text, caption;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
    QWidget* owner;
    bool modal;
  };

  MessageBoxCloser() {
    m_timer.callOnTimeout([this] { Poll(); });
    m_timer.start(10);
  }

  std::vector<Seen> seen;

 private:
  void Poll() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
      auto* box = qobject_cast<QMessageBox*>(widget);
      if (box == nullptr || !box->isVisible()) continue;
      seen.push_back({box->text(), box->windowTitle(), box->icon(), box->standardButtons(),
                      box->parentWidget(), box->isModal()});
      box->button(QMessageBox::Ok)->click();
    }
  }

  QTimer m_timer;
};

QLineEdit* Field(QWidget* dialog, int id) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("control-%1").arg(id));
}

QWidget* Control(QWidget* dialog, int id) {
  return dialog->findChild<QWidget*>(QStringLiteral("control-%1").arg(id));
}

const int kFieldIds[] = {IDC_CODE_TABLE_PATH, IDC_CONTENT_TABLE_PATH, IDC_FINAL_PREFIX,
                         IDC_FINAL_SUFFIX};

}  // namespace

class LantraDialogTest : public QObject {
  Q_OBJECT

 private:
  // Runs `body` with the dialog's window inside DoModal, then presses Escape in the focused
  // control, which must end the dialog with IDCANCEL.
  void RunDialog(CLantraDlg& dialog, const std::function<void(QDialog*)>& body) {
    bool ran = false;
    QTimer::singleShot(0, [&] {
      auto* window = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (window != nullptr && QTest::qWaitForWindowActive(window)) {
        ran = true;
        body(window);
      }
      QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget()
                                                               : QApplication::activeModalWidget();
      QTest::keyClick(target, Qt::Key_Escape);
    });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY2(ran, "the dialog did not become the active modal window");
  }

  // Presses Enter in the field `id`, as a user who typed there.
  static void PressEnterIn(QDialog* window, int id) {
    QLineEdit* field = Field(window, id);
    field->setFocus(Qt::MouseFocusReason);
    QTest::keyClick(field, Qt::Key_Return);
  }

  std::unique_ptr<QTemporaryDir> m_folder;
  QString m_resultPath;
  RecordingShell m_shell;

 private slots:
  void init() {
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    // The result file goes to the temporary folder, which is this test's own.
    qputenv("TMPDIR", QFile::encodeName(m_folder->path()));
    m_resultPath = m_folder->filePath(QStringLiteral("Lantra_result.txt"));
    m_shell.opened.clear();
    m_shell.asked.clear();
    SetShell(&m_shell);
  }

  void cleanup() {
    SetShell(nullptr);
    QDir::setCurrent(QDir::tempPath());
    m_folder.reset();
  }

  void iconPositionCentresWithTruncation_data() {
    QTest::addColumn<int>("clientWidth");
    QTest::addColumn<int>("clientHeight");
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::newRow("client 2 smaller than the icon: 0, not -1") << 30 << 30 << 0 << 0;
    QTest::newRow("client 4 smaller than the icon") << 28 << 29 << -1 << -1;
    QTest::newRow("as large as the icon") << 32 << 32 << 0 << 0;
    QTest::newRow("odd excess rounds up") << 37 << 35 << 3 << 2;
    QTest::newRow("even excess") << 36 << 40 << 2 << 4;
    QTest::newRow("the dialog's size") << 404 << 184 << 186 << 76;
  }
  void iconPositionCentresWithTruncation() {
    QFETCH(int, clientWidth);
    QFETCH(int, clientHeight);
    QFETCH(int, x);
    QFETCH(int, y);
    const UiPoint at = MinimizedIconPosition({clientWidth, clientHeight}, {32, 32});
    QCOMPARE(at.x, x);
    QCOMPARE(at.y, y);
  }

  void windowFollowsTheTemplate() {
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      QCOMPARE(window->windowTitle(), QStringLiteral("kesu编码提示码表生成工具"));
      QVERIFY(!window->windowIcon().isNull());
      // Fixed size, a close box, no minimise or maximise box, a taskbar entry of its own.
      QCOMPARE(window->minimumSize(), window->maximumSize());
      const QPoint screenCentre = window->screen()->availableGeometry().center();
      QVERIFY(qAbs(window->geometry().center().x() - screenCentre.x()) <= 1);
      QVERIFY(qAbs(window->geometry().center().y() - screenCentre.y()) <= 1);
      const Qt::WindowFlags flags = window->windowFlags();
      QCOMPARE(flags & Qt::WindowType_Mask, Qt::Window);
      QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowMinimizeButtonHint));
      QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));

      struct Expected {
        const char* name;
        const char16_t* text;
        int x, y, width, height;
      };
      // Every control in the template's dialog units, the whole dialog being 231 x 105.
      const Expected expected[] = {
          {"生成", u"生成", 174, 81, 50, 14},
          {"code table label", u"提示编码表：", 16, 26, 42, 8},
          {"code table", u"", 69, 26, 96, 14},
          {"code table browse", u"浏览(&B)", 171, 26, 50, 14},
          {"content table label", u"提示内容表：", 16, 7, 42, 8},
          {"content table", u"", 69, 7, 96, 14},
          {"content table browse", u"浏览(&B)", 171, 7, 50, 14},
          {"formula", u"最终编码 = 前缀     +     提示编码     +     后缀", 9, 84, 148, 8},
          {"prefix", u"", 69, 47, 51, 14},
          {"prefix label", u"最终编码前缀：", 9, 47, 49, 8},
          {"suffix label", u"最终编码后缀：", 9, 65, 49, 8},
          {"suffix", u"", 69, 65, 51, 14},
      };
      const QList<QWidget*> controls =
          window->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
      QCOMPARE(static_cast<std::size_t>(controls.size()), std::size(expected));
      const double unitX = window->width() / 231.0;
      const double unitY = window->height() / 105.0;
      for (qsizetype i = 0; i < controls.size(); ++i) {
        const Expected& e = expected[i];
        const QWidget* control = controls[i];
        const QString text = FromUtf16(e.text);
        if (const auto* label = qobject_cast<const QLabel*>(control)) {
          QCOMPARE(label->text(), text);
          // A label shows its whole text.
          QVERIFY2(label->fontMetrics().horizontalAdvance(text) <= label->width(), e.name);
        } else if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
          QCOMPARE(button->text(), text);
        } else {
          QCOMPARE(qobject_cast<const QLineEdit*>(control)->text(), text);
        }
        const QRect r = control->geometry();
        QVERIFY2(qAbs(r.x() - e.x * unitX) <= 1.5, e.name);
        QVERIFY2(qAbs(r.y() - e.y * unitY) <= 1.5, e.name);
        QVERIFY2(qAbs(r.width() - e.width * unitX) <= 1.5, e.name);
        QVERIFY2(qAbs(r.height() - e.height * unitY) <= 1.5, e.name);
      }
      // Dialog units follow the font: a unit is a quarter of an average character and an
      // eighth of a line.
      const QFontMetrics metrics(window->font());
      QVERIFY(qAbs(window->height() - 105 * metrics.height() / 8.0) <= 1);
      QVERIFY(qobject_cast<QPushButton*>(Control(window, IDOK))->isDefault());
    });
  }

  void tabOrderStartsAtGenerate() {
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      const int order[] = {IDOK,
                           IDC_CODE_TABLE_PATH,
                           IDC_BROWSE_CODE_TABLE,
                           IDC_CONTENT_TABLE_PATH,
                           IDC_BROWSE_CONTENT_TABLE,
                           IDC_FINAL_PREFIX,
                           IDC_FINAL_SUFFIX,
                           IDOK};
      QCOMPARE(QApplication::focusWidget(), Control(window, IDOK));
      for (std::size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(),
                 QStringLiteral("control-%1").arg(order[i]));
      }
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      QCOMPARE(QApplication::focusWidget(), Control(window, IDC_FINAL_SUFFIX));
    });
  }

  void enterInAnyFieldRunsGenerate_data() {
    QTest::addColumn<int>("fieldId");
    QTest::newRow("code table") << IDC_CODE_TABLE_PATH;
    QTest::newRow("content table") << IDC_CONTENT_TABLE_PATH;
    QTest::newRow("prefix") << IDC_FINAL_PREFIX;
    QTest::newRow("suffix") << IDC_FINAL_SUFFIX;
  }
  void enterInAnyFieldRunsGenerate() {
    QFETCH(int, fieldId);
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      MessageBoxCloser boxes;
      PressEnterIn(window, fieldId);
      // With every field empty, Generate asks for the code table.
      QCOMPARE(boxes.seen.size(), std::size_t{1});
      QCOMPARE(boxes.seen[0].text, FromUtf16(kNoCodeTableMessage));
      QCOMPARE(window->focusWidget(), Field(window, IDC_CODE_TABLE_PATH));
      QVERIFY(window->isVisible());
    });
  }

  void failedGenerateShowsItsMessageAndMarksTheField_data() {
    QTest::addColumn<QString>("codeTable");  // a file name in the test's folder, or ""
    QTest::addColumn<QString>("contentTable");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("markedField");  // 0: the focus stays in the prefix field
    const QString noCode = FromUtf16(kNoCodeTableMessage);
    const QString noContent = FromUtf16(kNoContentMessage);
    const QString nothing = FromUtf16(kNothingGeneratedMessage);
    QTest::newRow("every field empty") << ""
                                       << "" << noCode << IDC_CODE_TABLE_PATH;
    QTest::newRow("no code table, content table given")
        << ""
        << "content.txt" << noCode << IDC_CODE_TABLE_PATH;
    QTest::newRow("no content table") << "code.txt"
                                      << "" << noContent << IDC_CONTENT_TABLE_PATH;
    QTest::newRow("content table missing") << "code.txt"
                                           << "missing.txt" << noContent << IDC_CONTENT_TABLE_PATH;
    QTest::newRow("content table with LF line ends")
        << "code.txt"
        << "content-lf.txt" << noContent << IDC_CONTENT_TABLE_PATH;
    QTest::newRow("content table without line break")
        << "code.txt"
        << "content-no-break.txt" << noContent << IDC_CONTENT_TABLE_PATH;
    QTest::newRow("code table missing") << "missing.txt"
                                        << "content.txt" << nothing << 0;
    QTest::newRow("no word in common") << "code-other.txt"
                                       << "content.txt" << nothing << 0;
  }
  void failedGenerateShowsItsMessageAndMarksTheField() {
    QFETCH(QString, codeTable);
    QFETCH(QString, contentTable);
    QFETCH(QString, message);
    QFETCH(int, markedField);
    WriteFile(m_folder->filePath("content.txt"), "ab\tx\r\n");
    WriteFile(m_folder->filePath("content-lf.txt"), "ab\tx\n");
    WriteFile(m_folder->filePath("content-no-break.txt"), "ab\tx");
    WriteFile(m_folder->filePath("code.txt"), "ab\tc\r\n");
    WriteFile(m_folder->filePath("code-other.txt"), "cd\te\r\n");
    const auto pathOf = [&](const QString& name) {
      return name.isEmpty() ? QString() : m_folder->filePath(name);
    };

    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      Field(window, IDC_CODE_TABLE_PATH)->setText(pathOf(codeTable));
      Field(window, IDC_CONTENT_TABLE_PATH)->setText(pathOf(contentTable));
      Field(window, IDC_FINAL_PREFIX)->setText(QStringLiteral("p"));
      MessageBoxCloser boxes;
      PressEnterIn(window, IDC_FINAL_PREFIX);

      QCOMPARE(boxes.seen.size(), std::size_t{1});
      const MessageBoxCloser::Seen& box = boxes.seen[0];
      QCOMPARE(box.text, message);
      QCOMPARE(box.caption, QStringLiteral("生成错误"));
      QCOMPARE(box.icon, QMessageBox::Critical);
      QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
      QCOMPARE(box.owner, static_cast<QWidget*>(window));
      QVERIFY(box.modal);
      QVERIFY(m_shell.opened.empty());

      const int focused = markedField != 0 ? markedField : IDC_FINAL_PREFIX;
      QLineEdit* field = Field(window, focused);
      QCOMPARE(window->focusWidget(), field);
      if (markedField != 0) {
        QCOMPARE(field->selectedText(), field->text());
        QCOMPARE(field->selectionStart(), field->text().isEmpty() ? -1 : 0);
        QCOMPARE(field->cursorPosition(), field->text().size());
      }
      QCOMPARE(Field(window, IDC_CODE_TABLE_PATH)->text(), pathOf(codeTable));
      QCOMPARE(Field(window, IDC_CONTENT_TABLE_PATH)->text(), pathOf(contentTable));
    });
    // A generation that found the code table wanting leaves the mark alone in the file.
    if (message == FromUtf16(kNothingGeneratedMessage)) {
      QCOMPARE(ReadFile(m_resultPath), HintTable(QString()));
    }
  }

  void successfulGenerateOpensTheResult() {
    WriteFile(m_folder->filePath("content.txt"), "ab\tx\r\n");
    WriteFile(m_folder->filePath("code.txt"), "ab\tc");
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      const QString texts[] = {m_folder->filePath("code.txt"), m_folder->filePath("content.txt"),
                               QStringLiteral("p"), QStringLiteral("s")};
      for (int i = 0; i < 4; ++i)
        Field(window, kFieldIds[i])->setText(texts[i]);
      MessageBoxCloser boxes;
      QTest::mouseClick(Control(window, IDOK), Qt::LeftButton);

      QVERIFY(boxes.seen.empty());
      QCOMPARE(m_shell.opened.size(), std::size_t{1});
      QCOMPARE(m_shell.opened[0].path, m_resultPath);
      QCOMPARE(m_shell.opened[0].owner, dialog.Handle());
      QCOMPARE(ReadFile(m_resultPath), HintTable(QStringLiteral("$kesucmd(ab,ab[x])\tpcs\r\n")));
      QVERIFY(window->isVisible());
      for (int i = 0; i < 4; ++i)
        QCOMPARE(Field(window, kFieldIds[i])->text(), texts[i]);

      // The same again writes and opens the same file again.
      QFile::remove(m_resultPath);
      PressEnterIn(window, IDC_FINAL_SUFFIX);
      QCOMPARE(m_shell.opened.size(), std::size_t{2});
      QCOMPARE(ReadFile(m_resultPath).size(), 50);
      QVERIFY(boxes.seen.empty());
    });
  }

  void longAffixesAreCutTo31Units() {
    WriteFile(m_folder->filePath("content.txt"), "ab\tx\r\n");
    WriteFile(m_folder->filePath("code.txt"), "ab\tc\r\nab\td\r\n");
    const QString prefix = QStringLiteral("前缀01234567890123456789012345678901234567");
    const QString suffix = QStringLiteral("abcdefghijklmnopqrstuvwxyz后缀ABCDEFGHIJKL");
    QCOMPARE(prefix.size(), 40);
    QCOMPARE(suffix.size(), 40);
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      Field(window, IDC_CODE_TABLE_PATH)->setText(m_folder->filePath("code.txt"));
      Field(window, IDC_CONTENT_TABLE_PATH)->setText(m_folder->filePath("content.txt"));
      Field(window, IDC_FINAL_PREFIX)->setText(prefix);
      Field(window, IDC_FINAL_SUFFIX)->setText(suffix);
      PressEnterIn(window, IDC_CODE_TABLE_PATH);
      QCOMPARE(m_shell.opened.size(), std::size_t{1});
      QCOMPARE(Field(window, IDC_FINAL_PREFIX)->text(), prefix);
    });
    const QString p = prefix.left(31);
    const QString s = suffix.left(31);
    QCOMPARE(ReadFile(m_resultPath),
             HintTable("$kesucmd(ab,ab[x])\t" + p + "c" + s + "\r\n" +  //
                       "$kesucmd(ab,ab[x])\t" + p + "d" + s + "\r\n"));
  }

  void everyGenerateStartsWithAnEmptyIndex() {
    WriteFile(m_folder->filePath("first.txt"), "ab\tx\r\n");
    WriteFile(m_folder->filePath("second.txt"), "cd\ty\r\n");
    WriteFile(m_folder->filePath("code.txt"), "ab\tc\r\ncd\te\r\n");
    WriteFile(m_folder->filePath("code-cd.txt"), "zz\tq\r\n");
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      MessageBoxCloser boxes;
      Field(window, IDC_CONTENT_TABLE_PATH)->setText(m_folder->filePath("first.txt"));
      Field(window, IDC_CODE_TABLE_PATH)->setText(m_folder->filePath("code-cd.txt"));
      PressEnterIn(window, IDC_CODE_TABLE_PATH);
      QCOMPARE(boxes.seen.size(), std::size_t{1});
      QCOMPARE(boxes.seen[0].text, FromUtf16(kNothingGeneratedMessage));

      Field(window, IDC_CONTENT_TABLE_PATH)->setText(m_folder->filePath("second.txt"));
      Field(window, IDC_CODE_TABLE_PATH)->setText(m_folder->filePath("code.txt"));
      PressEnterIn(window, IDC_CODE_TABLE_PATH);
      QCOMPARE(boxes.seen.size(), std::size_t{1});
      QCOMPARE(m_shell.opened.size(), std::size_t{1});
    });
    QCOMPARE(ReadFile(m_resultPath), HintTable(QStringLiteral("$kesucmd(cd,cd[y])\te\r\n")));
  }

  void browseFillsOnlyWithAnExistingPath_data() {
    QTest::addColumn<int>("button");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("choice");  // "@" stands for the test's folder
    QTest::addColumn<QString>("after");
    struct Row {
      const char* name;
      const char* before;
      const char* choice;
      const char* after;
    };
    const Row rows[] = {
        {"chosen file replaces the text", "old.txt", "@/table.txt", "@/table.txt"},
        {"chosen file fills an empty field", "", "@/table.txt", "@/table.txt"},
        {"a folder exists too", "old.txt", "@", "@"},
        {"typed name of no file", "old.txt", "@/none.txt", "old.txt"},
        {"cancel", "old.txt", "", "old.txt"},
        {"cancel, empty field", "", "", ""},
    };
    const int content[] = {IDC_BROWSE_CONTENT_TABLE, IDC_CONTENT_TABLE_PATH};
    const int code[] = {IDC_BROWSE_CODE_TABLE, IDC_CODE_TABLE_PATH};
    for (const int* ids : {content, code}) {
      for (const Row& row : rows) {
        const char* table = ids == content ? "content" : "code";
        QTest::addRow("%s: %s", table, row.name)
            << ids[0] << ids[1] << QString(row.before) << QString(row.choice) << QString(row.after);
      }
    }
  }
  void browseFillsOnlyWithAnExistingPath() {
    QFETCH(int, button);
    QFETCH(int, field);
    QFETCH(QString, before);
    QFETCH(QString, choice);
    QFETCH(QString, after);
    WriteFile(m_folder->filePath("table.txt"), "ab\tx\r\n");
    m_shell.choice = choice.replace('@', m_folder->path());
    after.replace('@', m_folder->path());
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      Field(window, field)->setText(before);
      const int other = field == IDC_CODE_TABLE_PATH ? IDC_CONTENT_TABLE_PATH : IDC_CODE_TABLE_PATH;
      Field(window, other)->setText(QStringLiteral("other"));
      QTest::mouseClick(Control(window, button), Qt::LeftButton);
      QCOMPARE(Field(window, field)->text(), after);
      QCOMPARE(Field(window, other)->text(), QStringLiteral("other"));
    });
    QCOMPARE(m_shell.asked.size(), std::size_t{1});
    const RecordingShell::Asked& asked = m_shell.asked[0];
    QVERIFY(asked.owner != nullptr);
    QCOMPARE(asked.filterName, QStringLiteral("文本文件(*.txt)"));
    QCOMPARE(asked.filterPattern, QStringLiteral("*.txt"));
    QCOMPARE(asked.defaultExtension, QStringLiteral("txt"));
    QCOMPARE(asked.initialName, QStringLiteral("*.txt"));
  }

  // The system's own file dialog, answered as a user would: a name typed without extension,
  // which gets ".txt", then Cancel, even with a file named like the initial name around.
  void browseWithTheSystemFileDialog() {
    SetShell(nullptr);
    WriteFile(m_folder->filePath("table.txt"), "ab\tx\r\n");
    QVERIFY(QDir::setCurrent(m_folder->path()));
    CLantraDlg dialog;
    RunDialog(dialog, [&](QDialog* window) {
      QFileDialog* seen = nullptr;
      QStringList filters;
      QString suffix;
      QString initialName;
      const auto answer = [&](bool open) {
        QTimer::singleShot(0, [&, open] {
          seen = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
          if (seen == nullptr) return;
          filters = seen->nameFilters();
          suffix = seen->defaultSuffix();
          initialName = seen->findChild<QLineEdit*>("fileNameEdit")->text();
          if (open) {
            seen->setDirectory(m_folder->path());
            QLineEdit* name = seen->findChild<QLineEdit*>("fileNameEdit");
            name->selectAll();
            QTest::keyClicks(name, QStringLiteral("table"));
            QTest::keyClick(name, Qt::Key_Return);
          } else {
            QTest::keyClick(seen, Qt::Key_Escape);
          }
        });
      };
      answer(true);
      QTest::mouseClick(Control(window, IDC_BROWSE_CODE_TABLE), Qt::LeftButton);
      QVERIFY(seen != nullptr);
      QCOMPARE(filters, QStringList{QStringLiteral("文本文件(*.txt)")});
      QCOMPARE(suffix, QStringLiteral("txt"));
      QCOMPARE(initialName, QStringLiteral("*.txt"));
      QCOMPARE(Field(window, IDC_CODE_TABLE_PATH)->text(), m_folder->filePath("table.txt"));

      seen = nullptr;
      WriteFile(m_folder->filePath("*.txt"), "");
      answer(false);
      QTest::mouseClick(Control(window, IDC_BROWSE_CONTENT_TABLE), Qt::LeftButton);
      QVERIFY(seen != nullptr);
      QCOMPARE(Field(window, IDC_CONTENT_TABLE_PATH)->text(), QString());
    });
  }

  void closeBoxEndsTheDialog() {
    CLantraDlg dialog;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    QCOMPARE(dialog.DoModal(), IDCANCEL);
    QVERIFY(dialog.Handle() == nullptr);
  }

  void startUpShowsTheDialogAndEndsWithIt() {
    QString title;
    QString focused;
    QTimer::singleShot(0, [&] {
      QWidget* window = QApplication::activeModalWidget();
      if (window == nullptr) return;
      if (QTest::qWaitForWindowActive(window)) {
        title = window->windowTitle();
        focused = QApplication::focusWidget()->objectName();
      }
      QTest::keyClick(window, Qt::Key_Escape);
    });
    QCOMPARE(theApp.InitInstance(), false);
    QCOMPARE(title, QStringLiteral("kesu编码提示码表生成工具"));
    QCOMPARE(focused, QStringLiteral("control-%1").arg(IDOK));
    for (const QWidget* widget : QApplication::topLevelWidgets())
      QVERIFY(!widget->isVisible());
  }
};

QTEST_MAIN(LantraDialogTest)
#include "lantra_dialog_test.moc"
