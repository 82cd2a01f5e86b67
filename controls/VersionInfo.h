// The version resource of an executable file: its fixed information and
// twelve standard strings, in the language that suits the user best.
#pragma once

#include <windows.h>

#include <string>

class CFileVersionInfo {
public:
    CFileVersionInfo();
    virtual ~CFileVersionInfo();
    virtual void Reset();

    // The module's own file (the program's when null).
    bool Open(HMODULE module);
    // False when the file has no readable version resource; the object is
    // then in its reset state. Missing strings stay empty.
    bool ReadFile(const wchar_t* fileName);

    std::wstring GetCompanyName() const { return strings_[kCompanyName]; }
    std::wstring GetFileDescription() const { return strings_[kFileDescription]; }
    std::wstring GetFileVersion() const { return strings_[kFileVersion]; }
    std::wstring GetInternalName() const { return strings_[kInternalName]; }
    std::wstring GetLegalCopyright() const { return strings_[kLegalCopyright]; }
    std::wstring GetOriginalFileName() const { return strings_[kOriginalFileName]; }
    std::wstring GetProductName() const { return strings_[kProductName]; }
    std::wstring GetProductVersion() const { return strings_[kProductVersion]; }
    std::wstring GetComments() const { return strings_[kComments]; }
    std::wstring GetLegalTrademarks() const { return strings_[kLegalTrademarks]; }
    std::wstring GetPrivateBuild() const { return strings_[kPrivateBuild]; }
    std::wstring GetSpecialBuild() const { return strings_[kSpecialBuild]; }

    // Word 0 is the last number of a.b.c.d, word 3 the first; others give 0.
    WORD GetFileVersionWord(int word) const;
    WORD GetProductVersionWord(int word) const;
    DWORD GetFileFlagsMask() const { return fixed_.dwFileFlagsMask; }
    DWORD GetFileFlags() const { return fixed_.dwFileFlags; }
    DWORD GetFileOS() const { return fixed_.dwFileOS; }
    DWORD GetFileType() const { return fixed_.dwFileType; }
    DWORD GetFileSubtype() const { return fixed_.dwFileSubtype; }

    // The index of the translation entry to read the strings from: the
    // user's language, then a relative of it, then language 0, then
    // English, then the first entry; -1 for an empty table.
    static int FindTranslation(const DWORD* entries, int count, LANGID userLanguage);

private:
    enum {
        kCompanyName,
        kFileDescription,
        kFileVersion,
        kInternalName,
        kLegalCopyright,
        kOriginalFileName,
        kProductName,
        kProductVersion,
        kComments,
        kLegalTrademarks,
        kPrivateBuild,
        kSpecialBuild,
        kStringCount
    };

    VS_FIXEDFILEINFO fixed_;
    std::wstring strings_[kStringCount];
};
