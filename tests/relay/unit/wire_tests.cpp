// The relay's encoder and decoder against the byte vectors of the wire format.
#include <gtest/gtest.h>

#include "Messages.h"
#include "Wire.h"

using namespace relay;

namespace {

Bytes H(const char* hex) {
    Bytes b;
    EXPECT_TRUE(FromHex(hex, b)) << hex;
    return b;
}

}  // namespace

TEST(RelayWire, FieldEncodingsMatchTheVectors) {
    struct Case {
        const char* what;
        Bytes got;
        const char* hex;
    } cases[] = {
        {"empty string", ByteWriter().Str("").Data(), "00"},
        {"string PC", ByteWriter().Str("PC").Data(), "504300"},
        {"wide AB", ByteWriter().WStr(u"AB").Data(), "4100420000"},
        {"wide empty", ByteWriter().WStr(u"").Data(), "00"},
        {"empty buf", ByteWriter().Blob({}).Data(), "00000000"},
        {"u16", ByteWriter().U16(0x1234).Data(), "3412"},
        {"u32", ByteWriter().U32(0x01020304).Data(), "04030201"},
        {"caps", Encode(Message(0).Caps(1, 0, 1)), "00000000" "010000000000000001000000"},
        {"address 127.0.0.1:11500", Encode(Message(9).Addr("peer", 0x7F000001, 11500)), "09000000" "0100007f" "ec2c0000"},
        {"type 13 alone", Encode(Message(13)), "0d000000"},
        {"type 13 framed", Frame(Encode(Message(13))), "04000000" "0d000000"},
        {"keep-alive", KeepAlive(), "ffffffff"},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(c.got), Hex(H(c.hex))) << c.what;
}

TEST(RelayWire, ReaderConsumesExactlyItsField) {
    Bytes wide = H("41004200430000");
    ByteReader w(wide);
    Wide text;
    ASSERT_TRUE(w.WStr(text));
    EXPECT_EQ(text, u"ABC");
    EXPECT_EQ(w.Remaining(), 0u);

    Bytes narrow = H("6162630007");
    ByteReader n(narrow);
    std::string s;
    ASSERT_TRUE(n.Str(s));
    EXPECT_EQ(s, "abc");
    uint8_t next = 0;
    ASSERT_TRUE(n.U8(next));
    EXPECT_EQ(next, 7);
}

TEST(RelayWire, ShortReadsFailAndLeaveThePosition) {
    Bytes six = H("010000000200");
    ByteReader r(six);
    uint32_t a = 0, b = 99;
    EXPECT_TRUE(r.U32(a));
    EXPECT_FALSE(r.U32(b));
    EXPECT_EQ(b, 99u);
    EXPECT_EQ(r.Position(), 4u);

    Bytes blob = H("0a000000" "010203040506");  // says 10, holds 6
    ByteReader rb(blob);
    Bytes got = {9};
    EXPECT_FALSE(rb.Blob(got));
    EXPECT_EQ(got, Bytes{9});
    EXPECT_EQ(rb.Position(), 0u);

    Bytes unterminated = H("4142");
    ByteReader ru(unterminated);
    std::string s = "kept";
    EXPECT_FALSE(ru.Str(s));
    EXPECT_EQ(s, "kept");
    Wide ws;
    EXPECT_FALSE(ByteReader(H("410042")).WStr(ws));
}

TEST(RelayWire, WideTextEndsAtAZeroLowByte) {
    // U+0100 has a zero low byte: the format cannot carry it, the text ends there.
    Bytes b = H("410000014200");
    ByteReader r(b);
    Wide w;
    ASSERT_TRUE(r.WStr(w));
    EXPECT_EQ(w, u"A");
    EXPECT_EQ(r.Position(), 3u);
}

TEST(RelayWire, HexAndUtf8RoundTrip) {
    Bytes b;
    EXPECT_FALSE(FromHex("abc", b));
    EXPECT_FALSE(FromHex("zz", b));
    ASSERT_TRUE(FromHex("00 FF 7f", b));
    EXPECT_EQ(b, (Bytes{0, 255, 127}));
    Wide w = u"K\u00e4se \u4e2d \U0001F600";
    EXPECT_EQ(Utf8ToWide(WideToUtf8(w)), w);
}
