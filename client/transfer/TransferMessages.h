#pragma once
// Window messages of the file transfer.
#include <windows.h>

// Posted per written block: wParam = bytes of the current file written so far, lParam = its
// expected size.
const UINT WM_APP_TRANSFER_PROGRESS = WM_APP + 4;
