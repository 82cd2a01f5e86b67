#include "crypto/Ecies.h"

#include <cryptopp/oids.h>

namespace Ecies {

bool MakeKeyPair(CryptoPP::RandomNumberGenerator& rng, ChatEcies::PrivateKey& priv,
                 ChatEcies::PublicKey& pub)
{
    try {
        priv.Initialize(rng, CryptoPP::ASN1::secp384r1());
        priv.AccessGroupParameters().SetPointCompression(true);
        priv.MakePublicKey(pub);
        pub.AccessGroupParameters().SetPointCompression(true);
    } catch (...) {
        return false;
    }
    return true;
}

bool KeyIsMade(const ChatEcies::PrivateKey& key)
{
    return key.GetPrivateExponent().NotZero();
}

bool ExportPoint(const ChatEcies::PrivateKey& priv, const ChatEcies::PublicKey& pub, Buf& out)
{
    if (!KeyIsMade(priv) || !out.Resize(kPublicKeySize))
        return false;
    try {
        pub.GetGroupParameters().GetCurve().EncodePoint(out.GetData(), pub.GetPublicElement(),
                                                        true);
    } catch (...) {
        out.Free();
        return false;
    }
    return true;
}

bool EncryptTo(const Buf& peerKey, const void* plain, size_t length, Buf& out)
{
    out.Free();
    try {
        ChatEcies::PublicKey peer;
        peer.AccessGroupParameters().Initialize(CryptoPP::ASN1::secp384r1());
        peer.AccessGroupParameters().SetPointCompression(true);
        const CryptoPP::ECP& curve = peer.GetGroupParameters().GetCurve();
        CryptoPP::ECP::Point point;
        if (!curve.DecodePoint(point, peerKey.GetData(), peerKey.GetSize()) || point.identity
            || !curve.VerifyPoint(point))
            return false;
        peer.SetPublicElement(point);

        ChatEcies::Encryptor encryptor(peer);
        encryptor.AccessKey().AccessGroupParameters().SetPointCompression(true);
        size_t n = encryptor.CiphertextLength(length);
        if (n == 0 || !out.Resize(static_cast<int>(n)))
            return false;
        // A pool of its own per call: callers run on more than one thread.
        CryptoPP::AutoSeededRandomPool rng;
        encryptor.Encrypt(rng, static_cast<const CryptoPP::byte*>(plain), length, out.GetData());
    } catch (...) {
        out.Free();
        return false;
    }
    return true;
}

bool DecryptWith(const ChatEcies::PrivateKey& priv, const Buf& cipher, CryptoPP::SecByteBlock& plain,
                 size_t& length)
{
    length = 0;
    if (!KeyIsMade(priv))
        return false;
    try {
        ChatEcies::Decryptor decryptor(priv);
        decryptor.AccessKey().AccessGroupParameters().SetPointCompression(true);
        size_t size = static_cast<size_t>(cipher.GetSize());
        size_t most = decryptor.MaxPlaintextLength(size);
        if (most == 0)
            return false;
        plain.New(most);
        CryptoPP::DecodingResult r =
            decryptor.Decrypt(CryptoPP::NullRNG(), cipher.GetData(), size, plain);
        if (!r.isValidCoding)
            return false;
        length = r.messageLength;
    } catch (...) {
        length = 0;
        return false;
    }
    return true;
}

}  // namespace Ecies
