// The window layer on plain Win32. Window handles are HWNDs and icon handles HICONs; dialogs are
// made by the system's dialog manager from the templates in the executable's resources.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <string>

#include "ui.h"

namespace {

const wchar_t* Wide(const char16_t* text) {
  return reinterpret_cast<const wchar_t*>(text);
}
wchar_t* Wide(char16_t* text) {
  return reinterpret_cast<wchar_t*>(text);
}
std::u16string FromWide(const wchar_t* text) {
  return reinterpret_cast<const char16_t*>(text);
}

HWND ToHwnd(WindowHandle window) {
  return reinterpret_cast<HWND>(window);
}
HICON ToIcon(IconHandle icon) {
  return reinterpret_cast<HICON>(icon);
}

// Moves a dialog that is about to show to the middle of its owner, or of the work area of its
// screen when it has none, and keeps it inside that work area.
void CentreWindow(HWND window, HWND owner) {
  RECT frame;
  GetWindowRect(window, &frame);
  MONITORINFO monitor = {};
  monitor.cbSize = sizeof monitor;
  GetMonitorInfoW(MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTOPRIMARY),
                  &monitor);
  const RECT area = monitor.rcWork;
  RECT centre = area;
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &centre);
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  LONG x = (centre.left + centre.right - width) / 2;
  LONG y = (centre.top + centre.bottom - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The file dialog of Windows Vista and later. Returns false, having shown nothing, when the
// system has none; otherwise stores the chosen path in `path`, or the empty text after Cancel.
bool ChooseWithItemDialog(HWND owner, const OpenFileRequest& request, std::u16string* path) {
  IFileOpenDialog* dialog = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&dialog)))) {
    return false;
  }
  // The options of the classic dialog's OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT: a typed name is
  // taken even when nothing exists there, and this dialog never shows a read-only box.
  FILEOPENDIALOGOPTIONS options = 0;
  dialog->GetOptions(&options);
  options &= ~static_cast<FILEOPENDIALOGOPTIONS>(FOS_FILEMUSTEXIST | FOS_PATHMUSTEXIST);
  dialog->SetOptions(options | FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM);
  const COMDLG_FILTERSPEC filter = {Wide(request.filterName), Wide(request.filterPattern)};
  dialog->SetFileTypes(1, &filter);
  dialog->SetDefaultExtension(Wide(request.defaultExtension));
  dialog->SetFileName(Wide(request.initialName));
  path->clear();
  IShellItem* item = nullptr;
  if (SUCCEEDED(dialog->Show(owner)) && SUCCEEDED(dialog->GetResult(&item))) {
    PWSTR name = nullptr;
    if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
      *path = FromWide(name);
      CoTaskMemFree(name);
    }
    item->Release();
  }
  dialog->Release();
  return true;
}

// The classic open-file dialog. Returns the chosen path, or the empty text after Cancel.
std::u16string ChooseWithClassicDialog(HWND owner, const OpenFileRequest& request) {
  // Description and pattern, each ended by a zero unit; c_str() adds the closing one.
  const std::u16string filter =
      std::u16string(request.filterName) + u'\0' + request.filterPattern + u'\0';
  wchar_t file[MAX_PATH];
  lstrcpynW(file, Wide(request.initialName), MAX_PATH);
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = Wide(filter.c_str());
  dialog.lpstrFile = file;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = Wide(request.defaultExtension);
  dialog.Flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_EXPLORER | OFN_ENABLESIZING;
  return GetOpenFileNameW(&dialog) ? FromWide(file) : std::u16string();
}

// The shell's "open" and the system's file dialog.
class Win32DesktopShell final : public CShell {
 public:
  void OpenDocument(WindowHandle owner, const char16_t* path) override {
    ShellExecuteW(ToHwnd(owner), L"open", Wide(path), nullptr, nullptr, SW_SHOW);
  }

  std::u16string ChooseFileToOpen(WindowHandle owner, const OpenFileRequest& request) override {
    std::u16string path;
    if (ChooseWithItemDialog(ToHwnd(owner), request, &path)) return path;
    return ChooseWithClassicDialog(ToHwnd(owner), request);
  }
};

}  // namespace

CShell& DesktopShell() {
  static Win32DesktopShell shell;
  return shell;
}

IconHandle LoadAppIcon(int id) {
  return reinterpret_cast<IconHandle>(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id)));
}

UiSize SystemIconSize() {
  return {GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON)};
}

// The dialog while DoModal runs: the system's window, and the dialog procedure that hands its
// messages to the CModalDialog.
struct CModalDialog::Window {
  static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

  // Hands one message to its handler. Returns what the dialog procedure returns: FALSE leaves
  // the message to the system's dialog handling.
  INT_PTR OnMessage(UINT message, WPARAM wParam);

  BOOL OnInitDialog();

  CModalDialog& m_owner;
  HWND m_hWnd = nullptr;
};

INT_PTR CALLBACK CModalDialog::Window::DialogProc(HWND hWnd, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* window = reinterpret_cast<Window*>(lParam);
    window->m_hWnd = hWnd;
    SetWindowLongPtrW(hWnd, DWLP_USER, lParam);
  }
  auto* window = reinterpret_cast<Window*>(GetWindowLongPtrW(hWnd, DWLP_USER));
  // The few messages before WM_INITDIALOG (WM_SETFONT) are the system's.
  return window != nullptr ? window->OnMessage(message, wParam) : FALSE;
}

INT_PTR CModalDialog::Window::OnMessage(UINT message, WPARAM wParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      // Clicks, Enter and Escape; the edit fields' notifications are left alone.
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      m_owner.OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_PAINT:
      m_owner.OnPaint();
      return TRUE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(m_owner.OnQueryDragIcon());
    default:
      return FALSE;
  }
}

BOOL CModalDialog::Window::OnInitDialog() {
  const bool focusFirstTabStop = m_owner.OnInitDialog();
  // The template places the dialog at (0, 0) and asks for no centring: it is centred here,
  // before it shows.
  CentreWindow(m_hWnd, GetWindow(m_hWnd, GW_OWNER));
  return focusFirstTabStop ? TRUE : FALSE;
}

int CModalDialog::DoModal() {
  Window window{*this};
  HWND owner = m_pParent != nullptr && m_pParent->m_pWindow != nullptr
                   ? m_pParent->m_pWindow->m_hWnd
                   : nullptr;
  m_pWindow = &window;
  const INT_PTR result =
      DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nTemplateId), owner,
                      &Window::DialogProc, reinterpret_cast<LPARAM>(&window));
  m_pWindow = nullptr;
  return static_cast<int>(result);
}

void CModalDialog::EndDialog(int result) {
  if (m_pWindow != nullptr) ::EndDialog(m_pWindow->m_hWnd, result);
}

WindowHandle CModalDialog::Handle() const {
  return reinterpret_cast<WindowHandle>(m_pWindow != nullptr ? m_pWindow->m_hWnd : nullptr);
}

void CModalDialog::OnPaint() {
  // What the system does by default: the background is erased as painting begins, and the
  // controls paint themselves.
  CPaintContext paint(*this);
}

int CModalDialog::GetItemText(int id, char16_t* buffer, int limit) const {
  buffer[0] = 0;
  if (m_pWindow == nullptr) return 0;
  return static_cast<int>(GetDlgItemTextW(m_pWindow->m_hWnd, id, Wide(buffer), limit));
}

void CModalDialog::SetItemText(int id, const char16_t* text) {
  if (m_pWindow != nullptr) SetDlgItemTextW(m_pWindow->m_hWnd, id, Wide(text));
}

void CModalDialog::FocusItem(int id) {
  if (m_pWindow == nullptr) return;
  HWND control = GetDlgItem(m_pWindow->m_hWnd, id);
  if (control != nullptr) SetFocus(control);
}

void CModalDialog::SelectItemText(int id) {
  if (m_pWindow == nullptr) return;
  HWND field = GetDlgItem(m_pWindow->m_hWnd, id);
  if (field == nullptr) return;
  SendMessageW(field, EM_SETSEL, 0, -1);
  SendMessageW(field, EM_SCROLLCARET, 0, 0);
}

void CModalDialog::ShowErrorBox(const char16_t* text, const char16_t* caption) {
  MessageBoxW(ToHwnd(Handle()), Wide(text), Wide(caption), MB_OK | MB_ICONERROR);
}

void CModalDialog::SetIcon(IconHandle icon, bool big) {
  if (m_pWindow == nullptr) return;
  SendMessageW(m_pWindow->m_hWnd, WM_SETICON, big ? ICON_BIG : ICON_SMALL,
               reinterpret_cast<LPARAM>(ToIcon(icon)));
}

bool CModalDialog::IsMinimized() const {
  return m_pWindow != nullptr && IsIconic(m_pWindow->m_hWnd);
}

UiSize CModalDialog::ClientSize() const {
  RECT client = {};
  if (m_pWindow != nullptr) GetClientRect(m_pWindow->m_hWnd, &client);
  return {client.right - client.left, client.bottom - client.top};
}

struct CPaintContext::State {
  HWND m_hWnd;
  PAINTSTRUCT m_paint;
  HDC m_hDC;
};

CPaintContext::CPaintContext(CModalDialog& dialog)
    : m_pState(new State{dialog.m_pWindow->m_hWnd, {}, nullptr}) {
  m_pState->m_hDC = BeginPaint(m_pState->m_hWnd, &m_pState->m_paint);
}

CPaintContext::~CPaintContext() {
  EndPaint(m_pState->m_hWnd, &m_pState->m_paint);
  delete m_pState;
}

void CPaintContext::EraseIconBackground() {
  SendMessageW(m_pState->m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(m_pState->m_hDC), 0);
}

void CPaintContext::DrawIconAt(UiPoint at, IconHandle icon) {
  if (icon != nullptr) DrawIcon(m_pState->m_hDC, at.x, at.y, ToIcon(icon));
}

void CApplication::InitControlLibrary() {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
}
