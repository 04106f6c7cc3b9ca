// The window layer on Qt 6 Widgets. Window handles are QWidget pointers and icon handles QIcon
// pointers; dialogs are QDialogs laid out from the templates of dialog_template.h.
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontMetrics>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStyle>
#include <QUrl>

#include <algorithm>
#include <map>
#include <vector>

#include "dialog_template.h"
#include "res/resource.h"
#include "ui.h"

namespace {

QString FromUtf16(const char16_t* text) {
  return QString::fromUtf16(text);
}

WindowHandle ToHandle(QWidget* widget) {
  return reinterpret_cast<WindowHandle>(widget);
}
QWidget* ToWidget(WindowHandle window) {
  return reinterpret_cast<QWidget*>(window);
}
QIcon* ToIcon(IconHandle icon) {
  return reinterpret_cast<QIcon*>(icon);
}

// a * b / c rounded to the nearest integer, as Windows' MulDiv does, for a, b >= 0 and c > 0.
int MulDiv(int a, int b, int c) {
  return static_cast<int>((static_cast<long long>(a) * b + c / 2) / c);
}

// The dialog base units of `font`: its average character width, taken over the Latin letters
// as Windows takes it, and its character height, in pixels.
QSize DialogBaseUnits(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

// The template's font on this desktop. "MS Shell Dlg" stands for the system's dialog font, so
// the family is the desktop's own; the size and the style are the template's.
QFont DialogFont(const DialogTemplate& dialog) {
  QFont font = QApplication::font();
  font.setPointSize(dialog.fontPointSize);
  // Qt 6 weighs fonts from 1 to 1000, as Windows does.
  if (dialog.fontWeight != 0) font.setWeight(static_cast<QFont::Weight>(dialog.fontWeight));
  font.setItalic(dialog.fontItalic);
  return font;
}

Qt::WindowFlags DialogWindowFlags(const DialogTemplate& dialog) {
  // A window of its own type gets its own taskbar entry; a plain dialog may not.
  Qt::WindowFlags flags = (dialog.exStyle & kWsExAppWindow) != 0 ? Qt::Window : Qt::Dialog;
  // Only the hints asked for: no minimise or maximise button, since the template has none.
  flags |= Qt::CustomizeWindowHint;
  if ((dialog.style & kWsCaption) == kWsCaption) flags |= Qt::WindowTitleHint;
  if ((dialog.style & kWsSysMenu) != 0) {
    flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
  }
  return flags;
}

QWidget* CreateControl(const ControlTemplate& control, QWidget* parent) {
  const QString text = FromUtf16(control.text);
  QWidget* widget = nullptr;
  switch (control.kind) {
    case ControlClass::kButton: {
      auto* button = new QPushButton(text, parent);
      // The low four bits of a button's style are its type.
      button->setDefault((control.style & 0xF) == kBsDefPushButton);
      widget = button;
      break;
    }
    case ControlClass::kEdit: {
      auto* field = new QLineEdit(text, parent);
      field->setFrame((control.style & kWsBorder) != 0);
      widget = field;
      break;
    }
    case ControlClass::kStatic: {
      auto* label = new QLabel(text, parent);
      label->setTextFormat(Qt::PlainText);
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
      widget = label;
      break;
    }
  }
  widget->setObjectName(QStringLiteral("control-%1").arg(control.id));
  if ((control.style & kWsTabStop) != 0) {
    widget->setFocusPolicy(Qt::StrongFocus);
  } else if (control.kind != ControlClass::kStatic) {
    widget->setFocusPolicy(Qt::ClickFocus);
  }
  return widget;
}

QString ControlText(const QWidget* control) {
  if (const auto* field = qobject_cast<const QLineEdit*>(control)) return field->text();
  if (const auto* button = qobject_cast<const QAbstractButton*>(control)) return button->text();
  if (const auto* label = qobject_cast<const QLabel*>(control)) return label->text();
  return {};
}

// The desktop's own services: the freedesktop way of opening a document (xdg-open, through Qt)
// and the platform's file dialog.
class QtDesktopShell final : public CShell {
 public:
  void OpenDocument(WindowHandle, const char16_t* path) override {
    QDesktopServices::openUrl(QUrl::fromLocalFile(FromUtf16(path)));
  }

  std::u16string ChooseFileToOpen(WindowHandle owner, const OpenFileRequest& request) override {
    QFileDialog dialog(ToWidget(owner));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name is taken even when no such file exists; the caller tests the path.
    dialog.setFileMode(QFileDialog::AnyFile);
    // Qt reads the pattern from the parentheses at the end of a filter.
    const QString pattern = FromUtf16(request.filterPattern);
    QString filter = FromUtf16(request.filterName);
    if (!filter.endsWith(QLatin1Char('(') + pattern + QLatin1Char(')'))) {
      filter += QStringLiteral(" (") + pattern + QLatin1Char(')');
    }
    dialog.setNameFilter(filter);
    dialog.setDefaultSuffix(FromUtf16(request.defaultExtension));
    dialog.selectFile(FromUtf16(request.initialName));
    // A POSIX file may be named like the initial name, so Cancel reports no path at all.
    if (dialog.exec() != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? std::u16string() : files.first().toStdU16String();
  }
};

}  // namespace

CShell& DesktopShell() {
  static QtDesktopShell shell;
  return shell;
}

IconHandle LoadAppIcon(int id) {
  // Shared for the whole run and never destroyed, as the icons of a Windows executable are.
  static auto& icons = *new std::map<int, QIcon*>;
  const auto found = icons.find(id);
  if (found != icons.end()) return reinterpret_cast<IconHandle>(found->second);
  // Each icon is a folder of images in the program's Qt resources, named after its id.
  const QDir folder(QStringLiteral(":/icons/%1").arg(id));
  const QStringList images = folder.entryList(QDir::Files);
  if (images.isEmpty()) return nullptr;
  auto* icon = new QIcon;
  for (const QString& image : images)
    icon->addFile(folder.filePath(image));
  icons.emplace(id, icon);
  return reinterpret_cast<IconHandle>(icon);
}

UiSize SystemIconSize() {
  const int size = QApplication::style()->pixelMetric(QStyle::PM_LargeIconSize);
  return {size, size};
}

// The dialog's window, laid out from its template. Its controls are children, destroyed with it.
struct CModalDialog::Window : QDialog {
  Window(CModalDialog& owner, const DialogTemplate& dialog, QWidget* parent)
      : QDialog(parent, DialogWindowFlags(dialog)), m_owner(owner) {
    setWindowTitle(FromUtf16(dialog.title));
    setFont(DialogFont(dialog));
    const QSize base = DialogBaseUnits(font());
    const auto toX = [&](int units) { return MulDiv(units, base.width(), 4); };
    const auto toY = [&](int units) { return MulDiv(units, base.height(), 8); };
    setFixedSize(toX(dialog.width), toY(dialog.height));
    QWidget* previousTabStop = nullptr;
    for (const ControlTemplate& control : dialog.controls) {
      QWidget* widget = CreateControl(control, this);
      widget->setGeometry(toX(control.x), toY(control.y), toX(control.width), toY(control.height));
      m_controls.push_back({control.id, widget});
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        const int id = control.id;
        QObject::connect(button, &QAbstractButton::clicked, this,
                         [this, id] { m_owner.OnCommand(id); });
      }
      if ((control.style & kWsTabStop) == 0) continue;
      if (previousTabStop == nullptr) {
        m_pFirstTabStop = widget;
      } else {
        QWidget::setTabOrder(previousTabStop, widget);
      }
      previousTabStop = widget;
    }
  }

  // The first control of `window` with the id, as GetDlgItem finds it; null when there is none
  // or no window.
  static QWidget* Control(const Window* window, int id) {
    if (window == nullptr) return nullptr;
    const auto& controls = window->m_controls;
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [id](const auto& control) { return control.first == id; });
    return found == controls.end() ? nullptr : found->second;
  }

  // Escape, the close box and the window manager's close all come here.
  void reject() override { m_owner.OnCommand(IDCANCEL); }

  void paintEvent(QPaintEvent*) override { m_owner.OnPaint(); }

  CModalDialog& m_owner;
  std::vector<std::pair<int, QWidget*>> m_controls;
  QWidget* m_pFirstTabStop = nullptr;
  bool m_bEnded = false;
};

int CModalDialog::DoModal() {
  const DialogTemplate* dialog = FindDialogTemplate(m_nTemplateId);
  if (dialog == nullptr) return -1;
  QWidget* parent = m_pParent != nullptr ? m_pParent->m_pWindow : nullptr;
  Window window(*this, *dialog, parent);
  m_pWindow = &window;
  if (OnInitDialog() && window.m_pFirstTabStop != nullptr) {
    window.m_pFirstTabStop->setFocus(Qt::OtherFocusReason);
  }
  // QDialog centres a dialog on its owner, or on the screen when it has none, as it shows.
  const int result = window.m_bEnded ? window.result() : window.exec();
  m_pWindow = nullptr;
  return result;
}

void CModalDialog::EndDialog(int result) {
  if (m_pWindow == nullptr) return;
  m_pWindow->m_bEnded = true;
  m_pWindow->done(result);
}

WindowHandle CModalDialog::Handle() const {
  return ToHandle(m_pWindow);
}

void CModalDialog::OnPaint() {}

int CModalDialog::GetItemText(int id, char16_t* buffer, int limit) const {
  const QString text = ControlText(Window::Control(m_pWindow, id));
  const int count = std::min(static_cast<int>(text.size()), limit - 1);
  std::copy_n(text.utf16(), count, buffer);
  buffer[count] = 0;
  return count;
}

void CModalDialog::SetItemText(int id, const char16_t* text) {
  QWidget* control = Window::Control(m_pWindow, id);
  if (auto* field = qobject_cast<QLineEdit*>(control)) {
    field->setText(FromUtf16(text));
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    button->setText(FromUtf16(text));
  } else if (auto* label = qobject_cast<QLabel*>(control)) {
    label->setText(FromUtf16(text));
  }
}

void CModalDialog::FocusItem(int id) {
  QWidget* control = Window::Control(m_pWindow, id);
  if (control != nullptr) control->setFocus(Qt::OtherFocusReason);
}

void CModalDialog::SelectItemText(int id) {
  // Selecting all leaves the cursor at the end, and a line edit keeps its cursor in view.
  auto* field = qobject_cast<QLineEdit*>(Window::Control(m_pWindow, id));
  if (field != nullptr) field->selectAll();
}

void CModalDialog::ShowErrorBox(const char16_t* text, const char16_t* caption) {
  QMessageBox box(QMessageBox::Critical, FromUtf16(caption), FromUtf16(text), QMessageBox::Ok,
                  m_pWindow);
  box.setTextFormat(Qt::PlainText);
  box.exec();
}

void CModalDialog::SetIcon(IconHandle icon, bool) {
  // A QIcon holds every size: the large and the small icon are one.
  if (m_pWindow != nullptr) m_pWindow->setWindowIcon(icon != nullptr ? *ToIcon(icon) : QIcon());
}

bool CModalDialog::IsMinimized() const {
  return m_pWindow != nullptr && m_pWindow->isMinimized();
}

UiSize CModalDialog::ClientSize() const {
  if (m_pWindow == nullptr) return {0, 0};
  return {m_pWindow->width(), m_pWindow->height()};
}

struct CPaintContext::State {
  explicit State(QWidget* widget) : m_painter(widget), m_pWidget(widget) {}
  QPainter m_painter;
  QWidget* m_pWidget;
};

CPaintContext::CPaintContext(CModalDialog& dialog) : m_pState(new State(dialog.m_pWindow)) {}

CPaintContext::~CPaintContext() {
  delete m_pState;
}

void CPaintContext::EraseIconBackground() {
  m_pState->m_painter.fillRect(m_pState->m_pWidget->rect(),
                               m_pState->m_pWidget->palette().window());
}

void CPaintContext::DrawIconAt(UiPoint at, IconHandle icon) {
  if (icon == nullptr) return;
  const UiSize size = SystemIconSize();
  ToIcon(icon)->paint(&m_pState->m_painter, QRect(at.x, at.y, size.width, size.height));
}

// Qt's widgets need no preparation beyond the QApplication of the entry point.
void CApplication::InitControlLibrary() {}
