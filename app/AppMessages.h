// The program's private window messages.
#pragma once

#include <windows.h>

// From the settings dialog to its owner: the language changed, read every
// text again. wParam is the settings dialog's window.
const UINT WM_LANGUAGE_CHANGE_NOTICE = WM_USER + 158;
// From the input panel to its chat page: the typed text to send, wParam a
// NUL-terminated UTF-16 text that lives until the message returns, lParam 1.
const UINT WM_CHAT_SEND_TEXT = WM_USER + 100;
