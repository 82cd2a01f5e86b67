// Saves pvconf.dat ("config") or conf.dat ("pad") beside itself over and
// over, the two versions of saveloop in turn, until it is killed; the event
// named on its command line is set once the first save is whole.
//
//     save_loop config|pad EVENT
#include <windows.h>

#include <cstring>

#include "crypto/CryptoCore.h"
#include "SaveLoop.h"

int main(int argc, char** argv)
{
    if (argc != 3) return 2;
    const bool pad = !strcmp(argv[1], "pad");
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready) return 2;
    AppConfig config;
    CryptoCore crypto;
    for (unsigned n = 0;; ++n) {
        const int which = n % 2;
        bool saved;
        if (pad) {
            Buf chosen = saveloop::Pad(which);
            saved = crypto.SetPad(chosen) && crypto.SavePad();
        } else {
            saveloop::Choose(config, which);
            saved = config.Save();
        }
        if (!saved) return 1;
        if (n == 0) SetEvent(ready);
    }
}
