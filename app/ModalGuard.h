// A window's own modal boxes and dialogs, while they are open. Their modal
// loops still run the window's timer; a window that takes the core's events
// on it takes none while one is open, so that no second box stacks over the
// first and nothing the open one is about changes under it. The events wait
// in the queue until it closes.
#pragma once

#include <windows.h>

class ModalGuard {
public:
    bool IsOpen() const { return open_ > 0; }

    // Holds the guard open for its life: round a box or dialog, or round a
    // whole exchange of them.
    class Scope {
    public:
        explicit Scope(ModalGuard& guard) : guard_(guard) { ++guard_.open_; }
        ~Scope() { --guard_.open_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        ModalGuard& guard_;
    };

    // MessageBoxW with the guard open.
    int Box(HWND owner, const wchar_t* text, const wchar_t* caption, UINT type)
    {
        Scope open(*this);
        return ::MessageBoxW(owner, text, caption, type);
    }

private:
    int open_ = 0;
};
