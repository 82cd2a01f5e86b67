// Safe-prime Diffie-Hellman groups of sizes no client makes, each with the
// generator 2, and key offers over any group as a peer sends them.
#pragma once

#include <cryptopp/dh.h>
#include <cryptopp/osrng.h>

#include "crypto/CryptoCore.h"
#include "TestBytes.h"
#include "TestHex.h"

// 520 bits: just over the 512 of the protocol's groups.
const char kSafePrime520Hex[] =
    "87E4E87FB4D77D57D3C5F46829AC555D3A20A70FCAA1EFF202C6390A791DA83268FF462194B90AE7BB2A6322901A21F3"
    "11B919A8EAD634AC039FA92AFB7E582277";
// 4,096 bits: the ffdhe4096 group of RFC 7919.
const char kSafePrime4096Hex[] =
    "FFFFFFFFFFFFFFFFADF85458A2BB4A9AAFDC5620273D3CF1D8B9C583CE2D3695A9E13641146433FBCC939DCE249B3EF9"
    "7D2FE363630C75D8F681B202AEC4617AD3DF1ED5D5FD65612433F51F5F066ED0856365553DED1AF3B557135E7F57C935"
    "984F0C70E0E68B77E2A689DAF3EFE8721DF158A136ADE73530ACCA4F483A797ABC0AB182B324FB61D108A94BB2C8E3FB"
    "B96ADAB760D7F4681D4F42A3DE394DF4AE56EDE76372BB190B07A7C8EE0A6D709E02FCE1CDF7E2ECC03404CD28342F61"
    "9172FE9CE98583FF8E4F1232EEF28183C3FE3B1B4C6FAD733BB5FCBC2EC22005C58EF1837D1683B2C6F34A26C1B2EFFA"
    "886B4238611FCFDCDE355B3B6519035BBC34F4DEF99C023861B46FC9D6E6C9077AD91D2691F7F7EE598CB0FAC186D91C"
    "AEFE130985139270B4130C93BC437944F4FD4452E2D74DD364F2E21E71F54BFF5CAE82AB9C9DF69EE86D2BC522363A0D"
    "ABC521979B0DEADA1DBF9A42D5C4484E0ABCD06BFA53DDEF3C1B20EE3FD59D7C25E41D2B669E1EF16E6F52C3164DF4FB"
    "7930E9E4E58857B6AC7D5F42D69F6D187763CF1D5503400487F55BA57E31CC7A7135C886EFB4318AED6A1E012D9E6832"
    "A907600A918130C46DC778F971AD0038092999A333CB8B7A1A1DB93D7140003C2A4ECEA9F98D0ACC0A8291CDCEC97DCF"
    "8EC9B55A7F88A46B4DB5A851F44182E1C68A007E5E655F6AFFFFFFFFFFFFFFFF";

inline CryptoPP::Integer IntegerFromHex(const char* hex)
{
    const Bytes b = FromHex(hex);
    return CryptoPP::Integer(b.data(), b.size());
}

// An offer of the group (p, g) with a fresh public value in it, enciphered
// with the pad key of the side that takes it.
inline BufList OfferOfGroup(const CryptoCore& taker, const CryptoPP::Integer& p, const CryptoPP::Integer& g)
{
    CryptoPP::AutoSeededRandomPool rng;
    CryptoPP::DH group;
    group.AccessGroupParameters().Initialize(p, g);
    CryptoPP::SecByteBlock priv(group.PrivateKeyLength()), pub(group.PublicKeyLength());
    group.GenerateKeyPair(rng, priv, pub);
    Bytes pBytes(p.MinEncodedSize()), gBytes(g.MinEncodedSize());
    p.Encode(pBytes.data(), pBytes.size());
    g.Encode(gBytes.data(), gBytes.size());
    BufList offer;
    for (const Bytes& v : {pBytes, gBytes, Bytes(pub.begin(), pub.end())}) {
        offer.push_back(Buf());
        taker.EncryptWithPadKey(MakeBuf(v), offer.back());
    }
    return offer;
}
