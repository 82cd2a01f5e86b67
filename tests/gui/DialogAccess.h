// Finding, reading and working the dialogs and message boxes of the
// calling thread as a user would: for the window tests and the dialog
// driver of the integration tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace dlgtest {

// The visible dialogs (class #32770) of this thread.
std::vector<HWND> ThreadDialogs();
// The visible dialogs (class #32770) of this thread that owner owns; with no
// owner, those that no other dialog of the thread owns.
std::vector<HWND> OwnedDialogs(HWND owner);
// The first of them, or null.
HWND FindOwnedDialog(HWND owner);

// A standard message box as shown.
struct ShownBox {
    std::wstring caption;
    std::wstring text;
    HICON icon = nullptr;
};
ShownBox ReadBox(HWND box);
// The shared system icon that a message box of this style shows.
HICON BoxIcon(UINT style);
std::wstring ItemText(HWND dialog, int id);
bool ItemEnabled(HWND dialog, int id);
bool ItemChecked(HWND dialog, int id);
// Types the text into the control, character by character, after its
// current text.
void TypeText(HWND control, const std::wstring& text);
// A button press as the user makes it, queued (the handler may open a box).
void Click(HWND dialog, int id);

}  // namespace dlgtest
