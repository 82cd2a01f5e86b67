// The program's private window messages.
#pragma once

#include <windows.h>

// From the settings dialog to its owner: the language changed, read every
// text again. wParam is the settings dialog's window.
const UINT WM_LANGUAGE_CHANGE_NOTICE = WM_USER + 158;
