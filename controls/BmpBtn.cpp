#include "BmpBtn.h"

#include <cstdio>
#include <new>
#include <vector>

#include "BackgroundDlg.h"
#include "base/FileHandle.h"
#include "DIBSection.h"

void CBmpBtn::DoPaint(WTL::CDCHandle dc)
{
    if (!m_background.IsNull()) {
        WTL::CRect client;
        GetClientRect(&client);
        CCompatibleDC memory(dc);
        HGDIOBJ old = ::SelectObject(memory, m_background);
        dc.BitBlt(0, 0, client.Width(), client.Height(), memory, 0, 0, SRCCOPY);
        ::SelectObject(memory, old);
    }
    Base::DoPaint(dc);
}

bool CBmpBtnItem::Subclass(HWND item, UINT bitmapId)
{
    m_item = item;
    m_button.SetBitmapButtonExtendedStyle(BMPBTN_HOVER | BMPBTN_AUTOSIZE);
    WTL::CImageList images;
    if (!images.CreateFromImage(bitmapId, 73, 0, RGB(255, 0, 255), IMAGE_BITMAP, LR_CREATEDIBSECTION)) return false;
    m_button.SetImageList(images);
    m_button.SetImages(0, 1, 2, -1);
    return m_button.SubclassWindow(item) != FALSE;
}

uint32_t BlendPixel(uint32_t backdrop, uint32_t source)
{
    const uint32_t alpha = source >> 24;
    if (alpha == 0) return backdrop;
    uint32_t result = source & 0xFF000000u;
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t s = (source >> shift) & 0xFF, b = (backdrop >> shift) & 0xFF;
        // Rounded division by 255, so that an opaque pixel keeps its colour.
        result |= ((s * alpha + b * (255 - alpha) + 127) / 255) << shift;
    }
    return result;
}

CBmpBtnEx::~CBmpBtnEx() = default;

void CBmpBtnEx::ForgetStrip()
{
    m_strip = nullptr;
    m_ownedStrip.reset();
    m_stripWidth = m_stripHeight = 0;
    m_frameWidth = m_frameHeight = 0;
    // A backdrop of the old frame size does not fit a new strip.
    m_backdrop.reset();
    m_backdropCaptured = false;
}

bool CBmpBtnEx::UseStrip(const uint8_t* pixels, size_t bytes, int stripWidth, int stripHeight)
{
    if (stripWidth <= 0 || stripHeight <= 0) return false;
    const int frameWidth = m_horizontal ? stripWidth / 4 : stripWidth;
    const int frameHeight = m_horizontal ? stripHeight : stripHeight / 4;
    // Every frame pixel is read from the strip: a short one would be read
    // past its end.
    if (frameWidth == 0 || frameHeight == 0 || uint64_t(stripWidth) * uint64_t(stripHeight) * 4 > bytes) return false;
    m_strip = pixels;
    m_stripWidth = stripWidth;
    m_stripHeight = stripHeight;
    m_frameWidth = frameWidth;
    m_frameHeight = frameHeight;
    if (m_hWnd) SetWindowPos(nullptr, 0, 0, frameWidth, frameHeight, SWP_NOMOVE | SWP_NOZORDER);
    return true;
}

void CBmpBtnEx::SetOwnerDrawn(bool ownerDrawn)
{
    if (!m_hWnd) return;
    const DWORD low = GetStyle() & 0xFFFF;
    if (ownerDrawn && (low & 0x0F) != BS_OWNERDRAW)
        SendMessage(BM_SETSTYLE, (low & ~0x0FUL) | BS_OWNERDRAW, TRUE);
    else if (!ownerDrawn && (low & 0x0B))
        SendMessage(BM_SETSTYLE, low & ~0x0BUL, TRUE);
}

bool CBmpBtnEx::LoadStripResource(UINT resourceId, int stripWidth, int stripHeight)
{
    SetOwnerDrawn(true);
    ForgetStrip();
    wchar_t name[16];
    std::swprintf(name, sizeof(name) / sizeof(name[0]), L"#%u", resourceId);
    HINSTANCE module = ATL::GetModuleInstance();
    HRSRC found = ::FindResourceW(module, name, L"RAW");
    if (!found) return false;
    HGLOBAL loaded = ::LoadResource(module, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes) return false;
    return UseStrip(static_cast<const uint8_t*>(bytes), ::SizeofResource(module, found), stripWidth, stripHeight);
}

bool CBmpBtnEx::LoadStripFile(const wchar_t* fileName, int stripWidth, int stripHeight)
{
    SetOwnerDrawn(true);
    ForgetStrip();
    std::vector<wchar_t> path(32768, L'\0');
    if (!fileName || !GetModuleDirPath(fileName, path.data(), static_cast<uint32_t>(path.size()))) return false;
    // Opening for reading creates a missing file; ask first.
    if (!FileExists(path.data())) return false;
    CFileHandle file;
    uint32_t size = 0;
    if (!file.OpenRead(path.data()) || !file.GetSize(size) || size == 0) return false;
    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size]);
    if (!bytes) return false;
    for (uint32_t done = 0, got = 0; done < size; done += got)
        if (!file.Read(bytes.get() + done, size - done, &got)) return false;
    if (!UseStrip(bytes.get(), size, stripWidth, stripHeight)) return false;
    m_ownedStrip = std::move(bytes);
    return true;
}

void CBmpBtnEx::SetRegion(HRGN region)
{
    if (!region || m_region.CopyRgn(region) == ERROR) return;
    m_regionSet = true;
    // The window owns the region it is given; it gets a copy of ours.
    WTL::CRgn forWindow;
    if (forWindow.CopyRgn(region) != ERROR && m_hWnd && SetWindowRgn(forWindow, FALSE)) forWindow.Detach();
}

void CBmpBtnEx::CaptureParentBackground(HDC parentDC) { CaptureControlBackground(m_hWnd, m_background, parentDC); }

int CBmpBtnEx::ChooseFrame() const
{
    if (!IsWindowEnabled()) return kDisabledFrame;
    if (m_fPressed) return kPushedFrame;
    if ((!IsHoverMode() && HasFocus()) || (IsHoverMode() && m_fMouseOver)) return kHoverFrame;
    return kNormalFrame;
}

void CBmpBtnEx::DoPaint(WTL::CDCHandle dc)
{
    if (m_frameWidth == 0 || m_frameHeight == 0) {
        SetOwnerDrawn(false);
        return;
    }
    PrepareBackground(dc);
    DrawFrame(dc, ChooseFrame());
}

LRESULT CBmpBtnEx::OnPaintWithoutStrip(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    if (m_frameWidth != 0 && m_frameHeight != 0) {
        bHandled = FALSE;
        return 0;
    }
    // Nothing loaded: the button's own class paints an ordinary button.
    SetOwnerDrawn(false);
    return DefWindowProc(uMsg, wParam, lParam);
}

void CBmpBtnEx::PrepareBackground(HDC dc)
{
    if (!m_strip || !m_stripWidth || !m_stripHeight || m_backdropCaptured) return;
    m_backdrop.reset();
    const size_t count = size_t(m_frameWidth) * size_t(m_frameHeight);
    std::unique_ptr<uint32_t[]> backdrop(new (std::nothrow) uint32_t[count]);
    if (!backdrop) return;
    CCompatibleDC memory(dc);
    WTL::CBitmap copy;
    copy.CreateCompatibleBitmap(dc, m_frameWidth, m_frameHeight);
    HGDIOBJ old = ::SelectObject(memory, copy);
    ::BitBlt(memory, 0, 0, m_frameWidth, m_frameHeight, dc, 0, 0, SRCCOPY);
    for (int i = 0; i < m_frameHeight; ++i) {
        for (int j = 0; j < m_frameWidth; ++j) {
            COLORREF c = ::GetPixel(memory, j, i);
            backdrop[size_t(i) * m_frameWidth + j] =
                0xFF000000u | (uint32_t(GetRValue(c)) << 16) | (uint32_t(GetGValue(c)) << 8) | GetBValue(c);
        }
    }
    ::SelectObject(memory, old);
    m_backdrop = std::move(backdrop);
    m_backdropCaptured = true;
}

void CBmpBtnEx::DrawFrame(HDC dc, int frame)
{
    if (!m_backdropCaptured || !m_backdrop) return;
    const size_t count = size_t(m_frameWidth) * size_t(m_frameHeight);
    std::unique_ptr<uint32_t[]> out(new (std::nothrow) uint32_t[count]);
    if (!out) return;
    for (int i = 0; i < m_frameHeight; ++i) {
        for (int j = 0; j < m_frameWidth; ++j) {
            const size_t row = m_horizontal ? size_t(i) : size_t(frame) * m_frameHeight + i;
            const size_t column = m_horizontal ? size_t(frame) * m_frameWidth + j : size_t(j);
            const uint8_t* p = m_strip + (row * m_stripWidth + column) * 4;
            const uint32_t source = (uint32_t(p[3]) << 24) | (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
            const size_t at = size_t(i) * m_frameWidth + j;
            out[at] = BlendPixel(m_backdrop[at], source);
        }
    }
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = m_frameWidth;
    header.biHeight = -m_frameHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(count * 4);
    header.biXPelsPerMeter = 72;
    header.biYPelsPerMeter = 72;
    CDIBSection section;
    if (section.CreateFromInfo(reinterpret_cast<const BITMAPINFO*>(&header), out.get())) section.Draw(dc, {0, 0});
}
