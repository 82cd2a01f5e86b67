// One device-independent section bitmap (pixel memory the program writes
// directly) with its own copy of the bitmap information: the header and up
// to 256 colour-table entries.
#pragma once

#include <windows.h>

// Colour-table entries a DIB of this format carries: 2, 16 or 256 for the
// palette depths, 3 masks for 16 and 32 bits with BI_BITFIELDS, else none; a
// non-zero colours-used value within that number wins.
UINT DibColorCount(UINT bitsPerPixel, DWORD compression, DWORD colorsUsed);
// Bytes of one row, padded to whole 32-bit words.
DWORD DibRowStride(LONG width, UINT bitsPerPixel);

class CDIBSection {
public:
    CDIBSection();
    virtual ~CDIBSection();
    CDIBSection(const CDIBSection&) = delete;
    CDIBSection& operator=(const CDIBSection&) = delete;

    // Deletes the section and clears the bitmap information.
    void Reset();

    // Every creating operation starts from Reset and leaves the object
    // empty when it fails.
    bool Create(LONG width, LONG height, UINT bitsPerPixel);
    // From a header and its colour table; pixels, when given, hold the
    // header's image size in bytes.
    bool CreateFromInfo(const BITMAPINFO* info, const void* pixels = nullptr);
    bool CopyFromBitmap(HBITMAP bitmap);
    // A bitmap resource of module (the program's own when null).
    bool LoadResource(LPCWSTR name, HINSTANCE module = nullptr);
    bool CopyFrom(const CDIBSection& other);

    // Replaces colour-table entries from 0 on, in the section and in this
    // object's copy; only for sections that have a colour table.
    bool SetColorTable(UINT count, const RGBQUAD* table);

    // The whole image at the point; the number of scan lines set, 0 when
    // empty.
    int Draw(HDC dc, POINT topLeft) const;
    int Stretch(HDC dc, POINT topLeft, SIZE size) const;

    void* GetBits() const { return bits_; }
    const BITMAPINFO* GetBitmapInfo() const { return reinterpret_cast<const BITMAPINFO*>(&info_); }
    const RGBQUAD* GetColorTable() const { return info_.colors; }
    UINT GetColorCount() const { return colorCount_; }
    LONG GetWidth() const { return info_.header.biWidth; }
    LONG GetHeight() const { return info_.header.biHeight < 0 ? -info_.header.biHeight : info_.header.biHeight; }
    SIZE GetSize() const { return {GetWidth(), GetHeight()}; }
    HBITMAP GetBitmap() const { return bitmap_; }

private:
    bool CreateSection(HDC dc);

    struct {
        BITMAPINFOHEADER header;
        RGBQUAD colors[256];
    } info_;
    void* bits_;
    UINT usage_;
    UINT colorCount_;
    HBITMAP bitmap_;
};
