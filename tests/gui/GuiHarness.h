// Helpers for tests that drive real windows on the test display: pumping
// messages, reading a window's pixels, saving them as PNG screenshots, and
// acting on a modal dialog from inside its own message loop.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace gui {

// Dispatches whatever is queued, then keeps doing so for ms milliseconds.
void PumpMessages(DWORD ms = 0);
// Dispatches messages until done() holds or ms have passed: done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 8000);
// A window's rectangle in the client coordinates of another (its parent).
RECT PlaceIn(HWND child, HWND parent);

// Top-down 32-bit pixels, 0x00RRGGBB.
struct Pixels {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;

    uint32_t At(int x, int y) const { return data[static_cast<size_t>(y) * width + x]; }
    bool Empty() const { return data.empty(); }
};
inline uint32_t Rgb(int r, int g, int b) { return (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b); }
inline int Red(uint32_t p) { return (p >> 16) & 0xFF; }
inline int Green(uint32_t p) { return (p >> 8) & 0xFF; }
inline int Blue(uint32_t p) { return p & 0xFF; }
// True when every channel is within tolerance.
bool Near(uint32_t a, uint32_t b, int tolerance);

// A surface whose every pixel tells where it is, and a top-down 32-bit
// bitmap of it (or of another such surface).
inline uint32_t Pattern(int x, int y) { return Rgb((x * 3) & 0xFF, (y * 5) & 0xFF, (x + y) & 0xFF); }
HBITMAP PatternBitmap(int width, int height, uint32_t (*pixel)(int x, int y) = Pattern);
// A channel and a pixel under the white veil the painted pages lay.
inline int Veil(int c, int alpha = 25) { return c + (255 - c) * alpha / 255; }
inline uint32_t Veiled(uint32_t p, int alpha = 25)
{
    return Rgb(Veil(Red(p), alpha), Veil(Green(p), alpha), Veil(Blue(p), alpha));
}

// Reads width x height pixels from (x, y) of a DC.
Pixels CaptureDC(HDC dc, int x, int y, int width, int height);
// What the window paints into its client area when asked with
// WM_PRINTCLIENT (its own drawing only, no child windows).
Pixels CaptureClient(HWND hWnd);
// The window as it is shown, frame and children included (its popups,
// such as an open menu, are windows of their own).
Pixels CaptureScreen(HWND hWnd);

// What the display shows over the window's rectangle, other windows on top
// of it (an open menu) included.
Pixels CaptureDisplay(HWND hWnd);

// Writes build\screenshots\<name>.png beside the executable's folder (or
// into the folder PELVANE_SCREENSHOTS names); false when it could not be
// written.
bool SavePng(const Pixels& pixels, const std::string& name);

// Runs each step once, in order, on timer ticks of the calling thread, so
// that they run inside whatever modal loop the test enters after Start;
// with waitForDialog, only once a dialog of the thread is shown.
class ModalDriver {
public:
    typedef std::function<void()> Step;
    explicit ModalDriver(std::vector<Step> steps, bool waitForDialog = true, UINT intervalMs = 50);
    ~ModalDriver();
    void Start();
    bool Finished() const { return next_ >= steps_.size(); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
    std::vector<Step> steps_;
    size_t next_ = 0;
    bool waitForDialog_;
    bool running_ = false;
    UINT interval_;
    UINT_PTR timer_ = 0;
};

// The first visible dialog (class #32770) of this thread, or null.
HWND FindThreadDialog();

// The visible popup menu (class #32768) of this thread, or null.
HWND FindThreadPopupMenu();

}  // namespace gui
