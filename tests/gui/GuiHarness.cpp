#include "GuiHarness.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace gui {

void PumpMessages(DWORD ms)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (GetTickCount() - start >= ms) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (!done() && GetTickCount() - start < ms) PumpMessages(10);
    return done();
}

RECT PlaceIn(HWND child, HWND parent)
{
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool Near(uint32_t a, uint32_t b, int tolerance)
{
    return std::abs(Red(a) - Red(b)) <= tolerance && std::abs(Green(a) - Green(b)) <= tolerance &&
           std::abs(Blue(a) - Blue(b)) <= tolerance;
}

namespace {
// A 32-bit top-down DIB section selected into a memory DC.
struct Canvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
    int width, height;

    Canvas(int w, int h) : width(w), height(h)
    {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* p = nullptr;
        bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, bitmap);
    }
    ~Canvas()
    {
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
    Pixels Take()
    {
        GdiFlush();
        Pixels p;
        p.width = width;
        p.height = height;
        p.data.assign(bits, bits + static_cast<size_t>(width) * height);
        for (uint32_t& v : p.data) v &= 0x00FFFFFF;
        return p;
    }
};
}  // namespace

HBITMAP PatternBitmap(int width, int height, uint32_t (*pixel)(int x, int y))
{
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP b = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!b) return nullptr;
    uint32_t* p = static_cast<uint32_t*>(bits);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) p[y * width + x] = pixel(x, y);
    return b;
}

Pixels CaptureDC(HDC dc, int x, int y, int width, int height)
{
    if (width <= 0 || height <= 0) return Pixels();
    Canvas canvas(width, height);
    BitBlt(canvas.dc, 0, 0, width, height, dc, x, y, SRCCOPY);
    return canvas.Take();
}

Pixels CaptureClient(HWND hWnd)
{
    RECT r;
    GetClientRect(hWnd, &r);
    if (r.right <= 0 || r.bottom <= 0) return Pixels();
    Canvas canvas(r.right, r.bottom);
    SendMessageW(hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc), PRF_CLIENT);
    return canvas.Take();
}

Pixels CaptureScreen(HWND hWnd)
{
    // The window's own surface holds its frame and its children's drawing.
    // A window just shown may not have its surface yet (it reads as black):
    // give it a few moments.
    Pixels p;
    for (int attempt = 0; attempt < 20; ++attempt) {
        RedrawWindow(hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        PumpMessages(100);
        RECT r;
        GetWindowRect(hWnd, &r);
        HDC dc = GetWindowDC(hWnd);
        p = CaptureDC(dc, 0, 0, r.right - r.left, r.bottom - r.top);
        ReleaseDC(hWnd, dc);
        for (uint32_t v : p.data)
            if (v != 0) return p;
    }
    return p;
}

Pixels CaptureDisplay(HWND hWnd)
{
    PumpMessages(200);
    RECT r;
    GetWindowRect(hWnd, &r);
    HDC screen = GetDC(nullptr);
    Pixels p = CaptureDC(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    return p;
}

namespace {
uint32_t Crc32(const unsigned char* data, size_t size, uint32_t crc = 0)
{
    static uint32_t table[256];
    if (!table[1]) {
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

void Put32(std::vector<unsigned char>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<unsigned char>(v >> shift));
}

void Chunk(std::vector<unsigned char>& out, const char* type, const std::vector<unsigned char>& body)
{
    Put32(out, static_cast<uint32_t>(body.size()));
    std::vector<unsigned char> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    out.insert(out.end(), typed.begin(), typed.end());
    Put32(out, Crc32(typed.data(), typed.size()));
}

std::wstring ScreenshotFolder()
{
    // A test program in a folder of its own is told where the others save.
    wchar_t given[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"PELVANE_SCREENSHOTS", given, MAX_PATH);
    if (length > 0 && length < MAX_PATH) {
        CreateDirectoryW(given, nullptr);
        return given;
    }
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    dir.resize(dir.find_last_of(L'\\'));
    dir.resize(dir.find_last_of(L'\\') + 1);
    dir += L"screenshots";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}
}  // namespace

bool SavePng(const Pixels& pixels, const std::string& name)
{
    if (pixels.Empty()) return false;
    // Raw scan lines (filter byte 0, then RGB), kept in stored deflate
    // blocks: no compressor needed, any reader takes it.
    std::vector<unsigned char> raw;
    raw.reserve(static_cast<size_t>(pixels.height) * (pixels.width * 3 + 1));
    for (int y = 0; y < pixels.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < pixels.width; ++x) {
            uint32_t p = pixels.At(x, y);
            raw.push_back(static_cast<unsigned char>(Red(p)));
            raw.push_back(static_cast<unsigned char>(Green(p)));
            raw.push_back(static_cast<unsigned char>(Blue(p)));
        }
    }
    std::vector<unsigned char> z = {0x78, 0x01};
    for (size_t pos = 0; pos < raw.size() || pos == 0; pos += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        z.push_back(pos + n >= raw.size() ? 1 : 0);
        z.push_back(static_cast<unsigned char>(n & 0xFF));
        z.push_back(static_cast<unsigned char>(n >> 8));
        z.push_back(static_cast<unsigned char>(~n & 0xFF));
        z.push_back(static_cast<unsigned char>((~n >> 8) & 0xFF));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        if (n == 0) break;
    }
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    Put32(z, (b << 16) | a);

    std::vector<unsigned char> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<unsigned char> header;
    Put32(header, static_cast<uint32_t>(pixels.width));
    Put32(header, static_cast<uint32_t>(pixels.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    Chunk(png, "IHDR", header);
    Chunk(png, "IDAT", z);
    Chunk(png, "IEND", {});

    std::wstring path = ScreenshotFolder() + L"\\" + std::wstring(name.begin(), name.end()) + L".png";
    FILE* f = _wfopen(path.c_str(), L"wb");
    if (!f) return false;
    bool ok = fwrite(png.data(), 1, png.size(), f) == png.size();
    return fclose(f) == 0 && ok;
}

namespace {
std::map<UINT_PTR, ModalDriver*>& Drivers()
{
    static std::map<UINT_PTR, ModalDriver*> drivers;
    return drivers;
}
}  // namespace

ModalDriver::ModalDriver(std::vector<Step> steps, bool waitForDialog, UINT intervalMs)
    : steps_(std::move(steps)), waitForDialog_(waitForDialog), interval_(intervalMs)
{
}

ModalDriver::~ModalDriver()
{
    if (timer_) {
        KillTimer(nullptr, timer_);
        Drivers().erase(timer_);
    }
}

void ModalDriver::Start()
{
    timer_ = SetTimer(nullptr, 0, interval_, Tick);
    Drivers()[timer_] = this;
}

void CALLBACK ModalDriver::Tick(HWND, UINT, UINT_PTR id, DWORD)
{
    auto it = Drivers().find(id);
    if (it == Drivers().end()) return;
    ModalDriver* driver = it->second;
    if (driver->Finished()) {
        KillTimer(nullptr, id);
        Drivers().erase(it);
        driver->timer_ = 0;
        return;
    }
    // A step that pumps messages must not have the next step run inside it.
    if (driver->running_) return;
    // A modal dialog is shown only when its loop first runs idle.
    if (driver->waitForDialog_ && !FindThreadDialog()) return;
    // Take the step before running it: a step may start a nested loop.
    Step step = driver->steps_[driver->next_++];
    driver->running_ = true;
    step();
    driver->running_ = false;
}

namespace {
struct VisibleOfClass {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindVisibleOfClass(HWND hWnd, LPARAM param)
{
    VisibleOfClass* search = reinterpret_cast<VisibleOfClass*>(param);
    wchar_t name[16];
    GetClassNameW(hWnd, name, 16);
    if (IsWindowVisible(hWnd) && lstrcmpW(name, search->className) == 0) {
        search->found = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Only this thread's windows: other test programs share the display.
HWND FindThreadWindow(const wchar_t* className)
{
    VisibleOfClass search = {className, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindVisibleOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
}  // namespace

HWND FindThreadDialog()
{
    return FindThreadWindow(L"#32770");
}

HWND FindThreadPopupMenu()
{
    return FindThreadWindow(L"#32768");
}

}  // namespace gui

namespace {
// Every GUI test executable needs the common control classes registered.
struct CommonControls {
    CommonControls()
    {
        INITCOMMONCONTROLSEX init = {sizeof(init), ICC_WIN95_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
        InitCommonControlsEx(&init);
    }
} g_commonControls;
}  // namespace
