// Buf, BufReader, StreamChunk, the field family and CmdMsg: exact wire bytes
// and the reader's sticky failure.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "wire/Buf.h"
#include "wire/CmdMsg.h"
#include "wire/Fields.h"

namespace {

typedef std::vector<unsigned char> Bytes;

unsigned char* Copy(const Bytes& b)
{
    unsigned char* p = AllocBytes(static_cast<int>(b.size()));
    if (!b.empty())
        std::memcpy(p, b.data(), b.size());
    return p;
}

Bytes Serialised(const FieldList& list)
{
    unsigned char* p = list.Serialise();
    Bytes out(p, p + list.GetTotal());
    FreeBytes(p);
    return out;
}

}  // namespace

TEST(Buf, ResizeAssignAttachAndCopy)
{
    Buf b;
    EXPECT_TRUE(b.Resize(0));
    EXPECT_EQ(nullptr, b.GetData());
    EXPECT_EQ(0, b.GetSize());

    const char text[] = "hello";
    ASSERT_TRUE(b.Assign(text, 5));
    Buf copy(b);
    EXPECT_NE(copy.GetData(), b.GetData());
    EXPECT_TRUE(copy == b);
    EXPECT_TRUE(b.Assign(text, 0));
    EXPECT_EQ(nullptr, b.GetData());
    EXPECT_EQ(5, copy.GetSize());

    unsigned char* p = AllocBytes(3);
    EXPECT_FALSE(b.Attach(p, 0));  // held anyway, released by the Buf
    EXPECT_EQ(p, b.GetData());

    Buf other;
    other.TakeFrom(copy);
    EXPECT_EQ(0, copy.GetSize());
    EXPECT_EQ(nullptr, copy.GetData());
    EXPECT_EQ(0, std::memcmp(other.GetData(), "hello", 5));
    unsigned char* d = other.Detach();
    EXPECT_EQ(nullptr, other.GetData());
    FreeBytes(d);
}

TEST(BufReader, StartsFailedOnNullOrEmptyBody)
{
    BufReader none(nullptr, 0);
    EXPECT_FALSE(none.IsOk());
    BufReader empty(AllocBytes(0), 0);
    EXPECT_FALSE(empty.IsOk());
}

TEST(BufReader, ShortReadsFailStickyAndLeaveDestinations)
{
    struct Case {
        const char* name;
        Bytes body;
        std::function<bool(BufReader&)> reads;  // returns whether the destinations kept their values
        uint32_t position;                      // where the cursor stands afterwards
    };
    const Case cases[] = {
        {"u32 then u32 over 6 bytes", {1, 0, 0, 0, 9, 9},
         [](BufReader& r) {
             uint32_t a = 0, b = 77;
             r.ReadU32(a).ReadU32(b);
             return a == 1 && b == 77;
         },
         4},
        {"string without terminator", {'a', 'b'},
         [](BufReader& r) {
             std::string s = "old";
             r.ReadString(s);
             return s == "old";
         },
         0},
        {"buf longer than the rest", {10, 0, 0, 0, 1, 2, 3, 4, 5, 6},
         [](BufReader& r) {
             Buf b;
             b.Assign("xy", 2);
             r.ReadBuf(b);
             return b.GetSize() == 2 && std::memcmp(b.GetData(), "xy", 2) == 0;
         },
         4},
        {"buf with a 3-byte length", {1, 0, 0},
         [](BufReader& r) {
             Buf b;
             r.ReadBuf(b);
             return b.GetSize() == 0;
         },
         0},
        {"wide string without a terminator", {0x41, 0x00, 0x42, 0x00},
         [](BufReader& r) {
             std::wstring w = L"keep";
             r.ReadWString(w);
             return w == L"keep";
         },
         0},
        {"u16 over one byte", {7},
         [](BufReader& r) {
             uint16_t v = 5;
             r.ReadU16(v);
             return v == 5;
         },
         0},
        {"address over 7 bytes", {1, 2, 3, 4, 5, 6, 7},
         [](BufReader& r) {
             IPv4Address a;
             a.address = 9;
             r.ReadIPv4Address(a);
             return a.address == 9 && a.port == 0;
         },
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BufReader r(Copy(c.body), static_cast<int>(c.body.size()));
        ASSERT_TRUE(r.IsOk());
        EXPECT_TRUE(c.reads(r));
        EXPECT_FALSE(r.IsOk());
        EXPECT_EQ(c.position, r.GetPosition());
    }
}

TEST(BufReader, ReadsThatFitStillAdvanceAfterAFailure)
{
    Bytes body = {0x2A, 0x00, 0x00, 0x00, 0x07};
    BufReader r(Copy(body), 5);
    uint32_t big = 0;
    uint8_t small = 0;
    uint32_t v = 0;
    r.ReadU32(v);
    r.ReadU32(big);  // fails: one byte left
    r.ReadU8(small);
    EXPECT_EQ(42u, v);
    EXPECT_EQ(0u, big);
    EXPECT_EQ(7, small);
    EXPECT_FALSE(r.IsOk());
    EXPECT_EQ(5u, r.GetPosition());
}

TEST(BufReader, TypedReads)
{
    Bytes body = {'a', 'b', 'c', 0, 0x07,                       // string, then a byte
                  0x41, 0, 0x42, 0, 0x43, 0, 0,                  // "ABC" wide
                  3, 0, 0, 0, 'x', 'y', 'z',                     // buf
                  0, 0, 0, 0,                                    // empty buf
                  0x34, 0x12,                                    // u16
                  0xFE, 0xFF, 0xFF, 0xFF,                        // -2
                  0x01, 0x00, 0x00, 0x7F, 0x2C, 0x2D, 0x00, 0x00};  // 127.0.0.1:11564
    BufReader r(Copy(body), static_cast<int>(body.size()));
    std::string s;
    uint8_t b = 0;
    std::wstring w;
    Buf buf, empty;
    empty.Assign("q", 1);
    uint16_t u16 = 0;
    int32_t i32 = 0;
    IPv4Address a;
    r.ReadString(s);
    EXPECT_EQ(4u, r.GetPosition());
    r.ReadU8(b).ReadWString(w).ReadBuf(buf).ReadBuf(empty).ReadU16(u16).ReadU32(i32).ReadIPv4Address(a);
    ASSERT_TRUE(r.IsOk());
    EXPECT_EQ("abc", s);
    EXPECT_EQ(7, b);
    EXPECT_EQ(L"ABC", w);
    ASSERT_EQ(3, buf.GetSize());
    EXPECT_EQ(0, std::memcmp(buf.GetData(), "xyz", 3));
    EXPECT_EQ(0, empty.GetSize());
    EXPECT_EQ(0x1234, u16);
    EXPECT_EQ(-2, i32);
    EXPECT_EQ(0x7F000001u, a.address);
    EXPECT_EQ(11564u, a.port);
    EXPECT_EQ(body.size(), r.GetPosition());
}

TEST(BufReader, WideStringLimitIsTheWorkArea)
{
    for (unsigned units : {BufReader::kMaxWideUnits, BufReader::kMaxWideUnits + 1, 2000u}) {
        SCOPED_TRACE(units);
        Bytes body;
        for (unsigned i = 0; i < units; ++i) {
            body.push_back('a' + i % 26);
            body.push_back(0x01);  // U+01xx: a non-zero low byte, carried
        }
        body.push_back(0);
        BufReader r(Copy(body), static_cast<int>(body.size()));
        std::wstring w = L"old";
        r.ReadWString(w);
        if (units <= BufReader::kMaxWideUnits) {
            EXPECT_TRUE(r.IsOk());
            ASSERT_EQ(units, w.size());
            EXPECT_EQ(static_cast<wchar_t>(0x0161), w[0]);
        } else {
            EXPECT_FALSE(r.IsOk());
            EXPECT_EQ(L"old", w);
            EXPECT_EQ(0u, r.GetPosition());
        }
    }
}

TEST(Fields, WireForms)
{
    struct Case {
        const char* name;
        std::function<void(FieldList&)> append;
        Bytes wire;
    };
    Buf abc;
    abc.Assign("abc", 3);
    const Case cases[] = {
        {"header 13", [](FieldList& l) { AppendCmdHeader(l, 13); }, {0x0D, 0, 0, 0}},
        {"empty string", [](FieldList& l) { AppendString(l, ""); }, {0}},
        {"string PC", [](FieldList& l) { AppendString(l, "PC"); }, {0x50, 0x43, 0}},
        {"wide AB", [](FieldList& l) { AppendWString(l, L"AB"); }, {0x41, 0, 0x42, 0, 0}},
        {"empty wide", [](FieldList& l) { AppendWString(l, L""); }, {0}},
        {"wide U+4E2D", [](FieldList& l) { AppendWString(l, L"\x4E2D"); }, {0x2D, 0x4E, 0}},
        {"empty buf", [](FieldList& l) { AppendBuf(l, Buf()); }, {0, 0, 0, 0}},
        {"buf abc", [&](FieldList& l) { AppendBuf(l, abc); }, {3, 0, 0, 0, 'a', 'b', 'c'}},
        {"caps", [](FieldList& l) { AppendClientCaps(l, MakeDefaultClientCaps()); },
         {1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0}},
        {"ulong", [](FieldList& l) { AppendULong(l, 0xA1B2C3D4u); }, {0xD4, 0xC3, 0xB2, 0xA1}},
        {"int4 -1", [](FieldList& l) { AppendInt4(l, -1); }, {0xFF, 0xFF, 0xFF, 0xFF}},
        {"bool true", [](FieldList& l) { AppendBool(l, true); }, {1}},
        {"bool false", [](FieldList& l) { AppendBool(l, false); }, {0}},
        {"int2", [](FieldList& l) { l.Add(new Int2Field(-2), true); }, {0xFE, 0xFF}},
        {"address", [](FieldList& l) {
             IPv4Address a;
             a.address = 0x7F000001;
             a.port = 20015;
             l.Add(new IPv4AddressField(a), true);
         },
         {0x01, 0, 0, 0x7F, 0x2F, 0x4E, 0, 0}},
        {"real8 1.0", [](FieldList& l) { l.Add(new Real8Field(1.0), true); }, {0, 0, 0, 0, 0, 0, 0xF0, 0x3F}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FieldList list;
        c.append(list);
        EXPECT_EQ(static_cast<int>(c.wire.size()), list.GetTotal());
        EXPECT_EQ(c.wire, Serialised(list));
    }
}

TEST(Fields, HeaderStartsAFreshListAndLengthGoesFirst)
{
    FieldList list;
    AppendString(list, "junk");
    AppendCmdHeader(list, 101);
    AppendULong(list, 5);
    EXPECT_EQ((Bytes{101, 0, 0, 0, 5, 0, 0, 0}), Serialised(list));

    FieldList twelve;
    AppendCmdHeader(twelve, 13);
    AppendULong(twelve, 1);
    AppendULong(twelve, 2);
    ASSERT_EQ(12, twelve.GetTotal());
    AppendStreamMsgHeader(twelve, 12);
    EXPECT_EQ(16, twelve.GetTotal());
    EXPECT_EQ((Bytes{12, 0, 0, 0, 13, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0}), Serialised(twelve));

    FieldList empty;
    unsigned char* p = empty.Serialise();
    EXPECT_NE(nullptr, p);
    FreeBytes(p);
}

TEST(CmdMsg, Constructors)
{
    CmdMsg outgoing(13);
    EXPECT_EQ(13u, outgoing.GetCommand());
    EXPECT_EQ((Bytes{0x0D, 0, 0, 0}), Serialised(outgoing.GetFieldList()));
    EXPECT_FALSE(outgoing.IsOk());  // no received body

    CmdMsg keepAlive;
    EXPECT_EQ(0, keepAlive.GetFieldList().GetTotal());

    Bytes body = {0x12, 0, 0, 0, 'h', 'i', 0};
    CmdMsg incoming(Copy(body), static_cast<int>(body.size()));
    uint32_t type = 0;
    std::string text;
    incoming.GetReader().ReadU32(type).ReadString(text);
    EXPECT_TRUE(incoming.IsOk());
    EXPECT_EQ(18u, type);
    EXPECT_EQ("hi", text);
}

TEST(StreamChunk, AllocAttachDetach)
{
    StreamChunk c;
    EXPECT_FALSE(c.Attach(nullptr, 4));
    ASSERT_TRUE(c.Alloc(4));
    EXPECT_EQ(4, c.Remaining());
    c.Advance(3);
    EXPECT_EQ(1, c.Remaining());
    EXPECT_EQ(c.Data() + 3, c.Cursor());
    unsigned char* p = AllocBytes(8);
    ASSERT_TRUE(c.Attach(p, 8));
    EXPECT_EQ(0, c.GetPosition());
    EXPECT_EQ(8, c.Remaining());
    EXPECT_EQ(p, c.Detach());
    EXPECT_EQ(8, c.GetSize());  // left as it was
    FreeBytes(p);
}
