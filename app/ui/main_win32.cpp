// The entry point of the Windows build: runs the application object. Lantra takes no arguments,
// so the command line is not looked at.
#include <windows.h>

#include <objbase.h>

#include "ui.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  // The shell's "open" may go through shell extensions, and the file dialog is one: both are
  // COM objects that want a single-threaded apartment on the window's thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  const int status = RunApplication();
  if (SUCCEEDED(com)) CoUninitialize();
  return status;
}
