// Speed of the session crypto under this platform: key generation (whose
// safe-prime search varies widely), one chat text each way, taking a peer's
// key offer, and the voice cipher over one packet of 16 frames.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "BenchTiming.h"
#include "crypto/CryptoCore.h"
#include "SafePrimeGroups.h"

int main(int argc, char** argv)
{
    int keyRuns = argc > 1 ? std::atoi(argv[1]) : 40;
    const int kChatRuns = 200;
    const int kVoiceRuns = 200000;
    const double kPacketPeriod = 0.320;

    std::vector<double> times;
    for (int i = 0; i < keyRuns; ++i) {
        CryptoCore c;
        double t = Now();
        if (!c.GenerateKeys())
            return 1;
        times.push_back(Now() - t);
    }
    Figures keys = Summarise(times);
    printf("GenerateKeys, %d runs: median %.1f ms, worst %.1f ms, best %.1f ms\n", keyRuns,
           keys.median * 1e3, keys.worst * 1e3, keys.best * 1e3);

    CryptoCore sender, receiver;
    if (!sender.GenerateKeys() || !receiver.GenerateKeys())
        return 1;
    Buf key, cipher;
    receiver.GetPublicKey(key);
    std::wstring text(255, L'm'), back;
    std::vector<double> enc, dec;
    for (int i = 0; i < kChatRuns; ++i) {
        double t = Now();
        if (!sender.EncryptForPeer(text, key, cipher))
            return 1;
        enc.push_back(Now() - t);
        t = Now();
        if (!receiver.DecryptFromPeer(cipher, back) || back != text)
            return 1;
        dec.push_back(Now() - t);
    }
    Figures e = Summarise(enc), d = Summarise(dec);
    printf("Chat text of 255 characters (%d bytes on the wire), %d runs: encrypt median %.2f ms "
           "(worst %.2f), decrypt median %.2f ms (worst %.2f)\n",
           cipher.GetSize(), kChatRuns, e.median * 1e3, e.worst * 1e3, d.median * 1e3,
           d.worst * 1e3);

    // A key offer is validated and agreed on the connection thread, which
    // reads nothing else meanwhile: the honest peer's 512-bit group, and a
    // group of 4,096 bits.
    CryptoCore taker, offerer;
    if (!taker.GenerateKeys() || !offerer.GenerateKeys())
        return 1;
    BufList honest;
    offerer.MakeKeyOffer(honest);
    const struct {
        const char* what;
        BufList offer;
        int runs;
    } offers[] = {
        {"the protocol's 512-bit group", honest, kChatRuns},
        {"a 4096-bit group", OfferOfGroup(taker, IntegerFromHex(kSafePrime4096Hex), 2), 10},
    };
    for (const auto& o : offers) {
        std::vector<double> taking;
        bool taken = false;
        for (int i = 0; i < o.runs; ++i) {
            double t = Now();
            taken = taker.AcceptKeyOffer(o.offer);
            taking.push_back(Now() - t);
        }
        Figures f = Summarise(taking);
        printf("Key offer of %s, %s, %d runs: median %.2f ms, worst %.2f ms\n", o.what,
               taken ? "taken (validation and agreement)" : "refused", o.runs, f.median * 1e3, f.worst * 1e3);
    }

    unsigned char packet[608];
    for (int i = 0; i < 608; ++i)
        packet[i] = static_cast<unsigned char>(i);
    double t = Now();
    for (int i = 0; i < kVoiceRuns; ++i) {
        sender.EncryptBuffer(packet, sizeof(packet), packet);
        sender.DecryptBuffer(packet, sizeof(packet), packet);
    }
    double perPacket = (Now() - t) / kVoiceRuns / 2;
    printf("Voice cipher, one 608-byte packet: %.2f us each way, %.5f%% of the %.0f ms the packet "
           "carries\n",
           perPacket * 1e6, 100.0 * perPacket / kPacketPeriod, kPacketPeriod * 1e3);
    return 0;
}
