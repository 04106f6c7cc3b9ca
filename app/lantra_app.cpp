#include "lantra_app.h"

#include "lantra_dlg.h"

CLantraApp theApp;

bool CLantraApp::InitInstance() {
  InitControlLibrary();
  CApplication::InitInstance();
  CLantraDlg dialog;
  dialog.DoModal();
  return false;
}
