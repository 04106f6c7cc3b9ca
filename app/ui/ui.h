// The thin window layer under Lantra's dialog: the application object, a modal dialog made from
// a dialog template with a message map, and the few desktop services that the dialog uses.
// One header; ui.cpp holds what does not depend on the window system, and one source file per
// window system (ui_qt.cpp, ui_win32.cpp) the rest, chosen by CMake.
//
// No type of a window system appears here: windows and icons are opaque handles. No name of a
// Win32 macro (GetDlgItemText, SetWindowText, MessageBox, LoadIcon, ...) is used either, so the
// Win32 back end may include <windows.h> before this header. Every text is UTF-16, as the
// engine's are, and ends at its first zero unit.
#pragma once

#include <span>
#include <string>

// A window: an HWND in the Win32 back end, a QWidget in the Qt one. Never owned by its holder.
struct UiWindow;
using WindowHandle = UiWindow*;

// An icon from the executable's resources: an HICON, or a QIcon that the Qt back end keeps for
// the whole run. Shared: nobody destroys it.
struct UiIcon;
using IconHandle = UiIcon*;

// Pixels.
struct UiPoint {
  int x;
  int y;
};
struct UiSize {
  int width;
  int height;
};

// Loads the icon `id` (IDI_...) at the large icon size. Returns null when there is no such icon.
IconHandle LoadAppIcon(int id);

// The size of a large icon in pixels (SM_CXICON and SM_CYICON on Windows).
UiSize SystemIconSize();

class CModalDialog;

// A member of a dialog that handles one command.
using CommandHandler = void (CModalDialog::*)();

// One entry of a dialog's message map: the command of control `id` runs `handler`. A button's
// command is its click; IDOK also comes from Enter (the default button), IDCANCEL from Escape,
// the close box and the window manager's close.
struct CommandEntry {
  int id;
  CommandHandler handler;
};

// A message map entry for a member of a class derived from CModalDialog.
template <class Dialog>
constexpr CommandEntry OnClicked(int id, void (Dialog::*handler)()) {
  return {id, static_cast<CommandHandler>(handler)};
}

// A modal dialog made from a dialog template of the executable's resources. The window exists
// only while DoModal runs; every operation on the window or its controls is for that time.
class CModalDialog {
 public:
  // `templateId` names the template (IDD_...); `parent` owns the dialog, or null for none.
  CModalDialog(int templateId, CModalDialog* parent);
  virtual ~CModalDialog();
  CModalDialog(const CModalDialog&) = delete;
  CModalDialog& operator=(const CModalDialog&) = delete;

  // Creates the window and its controls from the template, calls OnInitDialog, shows the window
  // centred on the screen and handles its messages until EndDialog. The owner, if any, is
  // disabled meanwhile. Returns the result given to EndDialog, or -1 when the window could not
  // be created (no such template).
  int DoModal();

  // Ends the modal loop with `result` once the current command has been handled.
  void EndDialog(int result);

  // The dialog's window while DoModal runs, otherwise null.
  WindowHandle Handle() const;

 protected:
  // Called once the window and its controls exist, before the window shows. Returns true to
  // give the keyboard focus to the first control with a tab stop, false when it placed the
  // focus itself. The base does nothing and returns true.
  virtual bool OnInitDialog();

  // Paints the dialog. The base leaves the painting to the window system.
  virtual void OnPaint();

  // The icon to show while the minimised dialog is dragged, for window systems that ask
  // (WM_QUERYDRAGICON); Qt does not. The base returns null: the system's own.
  virtual IconHandle OnQueryDragIcon();

  // The dialog's message map, searched before the base's. The base's own map ends the dialog on
  // IDOK with IDOK and on IDCANCEL with IDCANCEL.
  virtual std::span<const CommandEntry> GetMessageMap() const;

  // Copies the text of control `id` into `buffer`, cut to at most `limit` - 1 units, and ends
  // it with a zero unit; nothing is trimmed. Returns the number of units copied. A missing
  // control gives an empty text. `limit` is 1 or more.
  int GetItemText(int id, char16_t* buffer, int limit) const;

  // Replaces the text of control `id`.
  void SetItemText(int id, const char16_t* text);

  // Gives control `id` the keyboard focus.
  void FocusItem(int id);

  // Selects the whole text of the edit field `id` and scrolls its caret into view.
  void SelectItemText(int id);

  // Shows a modal message box owned by the dialog, with `caption`, `text`, one OK button and
  // the error icon (MB_OK | MB_ICONERROR). Returns when the box has been closed.
  void ShowErrorBox(const char16_t* text, const char16_t* caption);

  // Sets the window's large (`big`) or small icon.
  void SetIcon(IconHandle icon, bool big);

  // True while the dialog is minimised.
  bool IsMinimized() const;

  // The size of the dialog's client area in pixels.
  UiSize ClientSize() const;

 private:
  friend class CPaintContext;

  // The back end's window, created by DoModal and destroyed when it returns.
  struct Window;

  // Runs the handler of command `id`: the dialog's message map first, then the base's.
  void OnCommand(int id);

  int m_nTemplateId;
  CModalDialog* m_pParent;
  Window* m_pWindow = nullptr;
};

// Painting inside OnPaint: open for the lifetime of the object, which OnPaint creates on its
// own dialog (a CPaintDC). Only valid while OnPaint runs.
class CPaintContext {
 public:
  explicit CPaintContext(CModalDialog& dialog);
  ~CPaintContext();
  CPaintContext(const CPaintContext&) = delete;
  CPaintContext& operator=(const CPaintContext&) = delete;

  // Fills the background behind a minimised dialog's icon (WM_ICONERASEBKGND).
  void EraseIconBackground();

  // Draws `icon` at the large icon size with its top left corner at `at` (client pixels).
  void DrawIconAt(UiPoint at, IconHandle icon);

 private:
  struct State;
  State* m_pState;
};

// What the open-file dialog offers: one filter, given as its description and its pattern.
struct OpenFileRequest {
  const char16_t* filterName;        // "文本文件(*.txt)"
  const char16_t* filterPattern;     // "*.txt"
  const char16_t* defaultExtension;  // appended to a typed name without extension: "txt"
  const char16_t* initialName;       // the name that the dialog starts with: "*.txt"
};

// The desktop's services that a dialog hands work to. The back end's own serve unless a test
// puts recording stand-ins in their place with SetShell.
class CShell {
 public:
  virtual ~CShell() = default;

  // Hands the file `path` to the program that the desktop associates with it, owned by `owner`,
  // and returns at once. Whether a program started is not reported.
  virtual void OpenDocument(WindowHandle owner, const char16_t* path) = 0;

  // Shows the open-file dialog, owned by `owner`, until the user chooses Open or Cancel.
  // Returns the full path of the chosen file after Open (which need not exist: a typed name is
  // taken as it is, with the default extension added when it has none), and the empty text
  // after Cancel.
  virtual std::u16string ChooseFileToOpen(WindowHandle owner, const OpenFileRequest& request) = 0;
};

// The back end's own services.
CShell& DesktopShell();

// The services in use: DesktopShell(), or the stand-in installed last.
CShell& Shell();

// Installs `shell`, which its caller keeps until it is replaced; null puts DesktopShell() back.
void SetShell(CShell* shell);

// The application object: exactly one exists, a static object that registers itself when it is
// constructed. The back end's entry point runs it with RunApplication.
class CApplication {
 public:
  CApplication();
  virtual ~CApplication();
  CApplication(const CApplication&) = delete;
  CApplication& operator=(const CApplication&) = delete;

  // Called once at start-up. Its result tells whether an application's own message loop should
  // follow; this layer has none, so the process ends once it returns, whatever it returns.
  // The base does nothing and returns true.
  virtual bool InitInstance();

 protected:
  // Prepares the system's controls for the dialogs (InitCommonControlsEx on Windows).
  void InitControlLibrary();
};

// Runs the start-up of the application object: calls its InitInstance and returns the process's
// exit status, 0. Called by the back end's entry point once the window system is initialised;
// returns 1 at once when no application object exists.
int RunApplication();
