#pragma once
// Messages the download sends to the window that shows its progress.
#include <windows.h>

const UINT WM_APP_DOWNLOAD_BEGIN = WM_APP + 2; // wParam entries in the file list, lParam bytes to fetch
const UINT WM_APP_FILE_BEGIN = WM_APP + 3;     // wParam const wchar_t* local path, lParam size
const UINT WM_APP_DOWNLOAD_END = WM_APP + 5;   // wParam 1, lParam entries in the file list
