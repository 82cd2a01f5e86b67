// The two settings and the two pads that save_loop.exe saves in turn, and
// the file images they make: after a cut save the file must be one of them.
#pragma once

#include <string>
#include <vector>

#include "settings/AppConfig.h"
#include "wire/Buf.h"

namespace saveloop {

// Different in every record, the last one above all: a cut there would
// still load, with a cut secondary host.
inline void Choose(AppConfig& c, int which)
{
    c.SetDefaults();
    c.SetServerHost(which ? "second.example" : "first.example");
    c.SetVolumePercent(which ? 40 : 90);
    c.SetUserName(which ? "bob@pelvane.test" : "alice@pelvane.test");
    c.SetPassword(which ? "two" : "one");
    c.SetPort(which ? 12000 : 13000);
    c.SetLanguageIndex(which ? 4 : 2);
    c.SetSoundsEnabled(which ? 0 : 1);
    c.SetBackupServerHost(std::string(1000, which ? 'b' : 'a'));
}

inline std::vector<unsigned char> ConfigImage(int which)
{
    AppConfig c;
    Choose(c, which);
    std::vector<unsigned char> image(AppConfig::kFileSize);
    c.Format(image.data());
    return image;
}

inline Buf Pad(int which)
{
    Buf pad;
    pad.Resize(2048);
    for (int i = 0; i < 2048; ++i)
        pad.GetData()[i] = static_cast<unsigned char>(which ? 255 - i : i * 7);
    return pad;
}

inline std::vector<unsigned char> PadImage(int which)
{
    Buf pad = Pad(which);
    return std::vector<unsigned char>(pad.GetData(), pad.GetData() + pad.GetSize());
}

}  // namespace saveloop
