#include "DIBSection.h"

#include <cstring>

UINT DibColorCount(UINT bitsPerPixel, DWORD compression, DWORD colorsUsed)
{
    UINT count = 0;
    switch (bitsPerPixel) {
    case 1:
        count = 2;
        break;
    case 4:
        count = 16;
        break;
    case 8:
        count = 256;
        break;
    case 16:
    case 32:
        count = compression == BI_BITFIELDS ? 3 : 0;
        break;
    default:
        break;
    }
    return colorsUsed != 0 && colorsUsed <= count ? colorsUsed : count;
}

DWORD DibRowStride(LONG width, UINT bitsPerPixel)
{
    return ((static_cast<DWORD>(width) * bitsPerPixel + 31) >> 5) * 4;
}

CDIBSection::CDIBSection() : bits_(nullptr), usage_(DIB_RGB_COLORS), colorCount_(0), bitmap_(nullptr) { Reset(); }

CDIBSection::~CDIBSection() { Reset(); }

void CDIBSection::Reset()
{
    if (bitmap_) ::DeleteObject(bitmap_);
    bitmap_ = nullptr;
    bits_ = nullptr;
    std::memset(&info_, 0, sizeof(info_));
    usage_ = 0;
    colorCount_ = 0;
}

bool CDIBSection::CreateSection(HDC dc)
{
    usage_ = DIB_RGB_COLORS;
    bitmap_ = ::CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(&info_), usage_, &bits_, nullptr, 0);
    if (!bitmap_ || !bits_) {
        Reset();
        return false;
    }
    return true;
}

bool CDIBSection::Create(LONG width, LONG height, UINT bitsPerPixel)
{
    Reset();
    BITMAPINFOHEADER& h = info_.header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = width;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = static_cast<WORD>(bitsPerPixel);
    h.biCompression = BI_RGB;
    h.biClrUsed = bitsPerPixel <= 8 ? 1u << bitsPerPixel : 0;
    h.biSizeImage = static_cast<DWORD>(GetHeight()) * DibRowStride(width, bitsPerPixel);
    colorCount_ = h.biClrUsed;
    return CreateSection(nullptr);
}

bool CDIBSection::CreateFromInfo(const BITMAPINFO* info, const void* pixels)
{
    Reset();
    if (!info) return false;
    const BITMAPINFOHEADER& in = info->bmiHeader;
    colorCount_ = DibColorCount(in.biBitCount, in.biCompression, in.biClrUsed);
    info_.header = in;
    info_.header.biSize = sizeof(BITMAPINFOHEADER);
    // The colour table follows the header, whatever its version.
    const BYTE* colors = reinterpret_cast<const BYTE*>(info) + (in.biSize > sizeof(BITMAPINFOHEADER) ? in.biSize : sizeof(BITMAPINFOHEADER));
    std::memcpy(info_.colors, colors, colorCount_ * sizeof(RGBQUAD));
    if (!CreateSection(nullptr)) return false;
    DWORD sectionSize = DibRowStride(info_.header.biWidth, info_.header.biBitCount) * static_cast<DWORD>(GetHeight());
    if (info_.header.biSizeImage == 0) info_.header.biSizeImage = sectionSize;
    ::GdiFlush();
    // The header's size may claim more than the section holds: never
    // write past the section's own memory.
    if (pixels) std::memcpy(bits_, pixels, info_.header.biSizeImage < sectionSize ? info_.header.biSizeImage : sectionSize);
    return true;
}

bool CDIBSection::CopyFromBitmap(HBITMAP bitmap)
{
    Reset();
    BITMAP source = {};
    if (!bitmap || !::GetObjectW(bitmap, sizeof(source), &source)) return false;
    LONG height = source.bmHeight < 0 ? -source.bmHeight : source.bmHeight;
    BITMAPINFOHEADER& h = info_.header;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biWidth = source.bmWidth;
    h.biHeight = height;
    h.biPlanes = 1;
    h.biBitCount = source.bmBitsPixel;
    h.biCompression = BI_RGB;
    h.biSizeImage = DibRowStride(source.bmWidth, source.bmBitsPixel) * static_cast<DWORD>(height);
    colorCount_ = DibColorCount(source.bmBitsPixel, BI_RGB, 0);

    HDC screen = ::GetWindowDC(nullptr);
    ::GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), nullptr, reinterpret_cast<BITMAPINFO*>(&info_),
                DIB_RGB_COLORS);
    if (h.biSizeImage == 0) h.biSizeImage = DibRowStride(h.biWidth, h.biBitCount) * static_cast<DWORD>(GetHeight());
    bool created = CreateSection(screen);
    if (created) {
        HDC from = ::CreateCompatibleDC(screen);
        HDC to = ::CreateCompatibleDC(screen);
        HGDIOBJ oldFrom = ::SelectObject(from, bitmap);
        HGDIOBJ oldTo = ::SelectObject(to, bitmap_);
        ::GdiFlush();
        ::BitBlt(to, 0, 0, GetWidth(), GetHeight(), from, 0, 0, SRCCOPY);
        ::SelectObject(from, oldFrom);
        ::SelectObject(to, oldTo);
        ::DeleteDC(from);
        ::DeleteDC(to);
    }
    ::ReleaseDC(nullptr, screen);
    return created;
}

bool CDIBSection::LoadResource(LPCWSTR name, HINSTANCE module)
{
    Reset();
    HBITMAP loaded = static_cast<HBITMAP>(::LoadImageW(module ? module : ::GetModuleHandleW(nullptr), name,
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!loaded) return false;
    bool copied = CopyFromBitmap(loaded);
    ::DeleteObject(loaded);
    return copied;
}

bool CDIBSection::CopyFrom(const CDIBSection& other)
{
    if (&other == this) return bitmap_ != nullptr;
    if (!CreateFromInfo(other.GetBitmapInfo(), other.bits_)) return false;
    SetColorTable(other.colorCount_, other.info_.colors);
    return true;
}

bool CDIBSection::SetColorTable(UINT count, const RGBQUAD* table)
{
    if (!bitmap_ || colorCount_ == 0 || !table || count < 1 || count > 256) return false;
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bitmap_);
    bool selected = old != nullptr;
    if (selected) {
        ::SetDIBColorTable(dc, 0, count, table);
        ::SelectObject(dc, old);
        std::memcpy(info_.colors, table, (count < colorCount_ ? count : colorCount_) * sizeof(RGBQUAD));
    }
    ::DeleteDC(dc);
    return selected;
}

int CDIBSection::Draw(HDC dc, POINT topLeft) const
{
    if (!bitmap_) return 0;
    return ::SetDIBitsToDevice(dc, topLeft.x, topLeft.y, static_cast<DWORD>(GetWidth()), static_cast<DWORD>(GetHeight()),
                               0, 0, 0, static_cast<UINT>(GetHeight()), bits_, GetBitmapInfo(), DIB_RGB_COLORS);
}

int CDIBSection::Stretch(HDC dc, POINT topLeft, SIZE size) const
{
    if (!bitmap_) return 0;
    ::SetStretchBltMode(dc, COLORONCOLOR);
    return ::StretchDIBits(dc, topLeft.x, topLeft.y, size.cx, size.cy, 0, 0, GetWidth(), GetHeight(), bits_,
                           GetBitmapInfo(), DIB_RGB_COLORS, SRCCOPY);
}
