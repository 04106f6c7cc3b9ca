// Resource ids of Lantra's dialog and icon. Read by the resource compiler and by the C++ code of
// both window back ends, so it holds plain #defines only.
#pragma once

#define IDD_HINT_TABLE_DIALOG 102
#define IDI_APP_ICON 128

#define IDC_CODE_TABLE_PATH 1000
#define IDC_BROWSE_CODE_TABLE 1001
#define IDC_FINAL_PREFIX 1002
#define IDC_FINAL_SUFFIX 1003
#define IDC_CONTENT_TABLE_PATH 1004
#define IDC_BROWSE_CONTENT_TABLE 1005

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef IDOK
#define IDOK 1
#endif
#ifndef IDCANCEL
#define IDCANCEL 2
#endif
