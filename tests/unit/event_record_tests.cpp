// VoipEvent: the kind-to-record table, payload copies and their destruction.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "events/VoipEvent.h"

namespace {

TEST(VoipEventRecord, KindsCarryTheirRecordShapes)
{
    struct { VoipPayloadShape shape; std::vector<int> kinds; } table[] = {
        {VP_None, {0, 2, 3, 4, 5, 6, 8, 9, 15, 16, 17, 22, 24, 25, 27, 36, 37}},
        {VP_Value, {10, 13}},
        {VP_Byte, {11}},
        {VP_Text, {1, 7, 12, 21, 23, 30, 32, 34}},
        {VP_Pair, {14, 28, 31, 35}},
        {VP_Chat, {18}},
        {VP_TransferAnswer, {26}},
        {VP_FileOffer, {29}},
        {VP_TextBuf, {19}},
        {VP_TextInt, {20}},
        {VP_Progress, {33}},
    };
    int covered = 0;
    for (auto& row : table)
        for (int k : row.kinds) {
            EXPECT_EQ(row.shape, ShapeOfKind(k)) << k;
            ++covered;
        }
    EXPECT_EQ(38, covered);
}

TEST(VoipEventRecord, ANewEventIsOfNoKind)
{
    VoipEvent e;
    EXPECT_EQ(VE_None, e.GetKind());
    EXPECT_EQ(nullptr, e.Payload<VoipEventText>());
}

TEST(VoipEventRecord, ARecordOfAnotherShapeIsRefused)
{
    EXPECT_EQ(nullptr, VoipEvent::Make(VE_CallRequested, VoipEventValue{1}));
    EXPECT_EQ(nullptr, VoipEvent::Make(VE_ChatText, TextPair{"a", "b"}));
    EXPECT_EQ(nullptr, VoipEvent::Make(VE_StartFailed));
    EXPECT_EQ(nullptr, VoipEvent::Make(VE_Connected, VoipEventText{"x"}));
}

TEST(VoipEventRecord, PayloadsAreCopiesReadOnlyAsTheirOwnRecord)
{
    VoipEventChat chat("alice", "Alice A.", L"hello \x4F60\x597D");
    std::unique_ptr<VoipEvent> e(VoipEvent::Make(VE_ChatText, chat));
    ASSERT_TRUE(e);
    chat.first = "changed";
    VoipEventChat* p = e->Payload<VoipEventChat>();
    ASSERT_TRUE(p);
    EXPECT_EQ("alice", p->first);
    EXPECT_EQ("Alice A.", p->second);
    EXPECT_EQ(L"hello \x4F60\x597D", p->wide);
    EXPECT_EQ(nullptr, e->Payload<TextPair>());

    Buf data;
    data.Assign("\x01\x02\x03", 3);
    std::unique_ptr<VoipEvent> b(VoipEvent::Make(VE_TextData, VoipEventTextBuf{"t", data}));
    ASSERT_TRUE(b);
    data.Free();
    ASSERT_EQ(3, b->Payload<VoipEventTextBuf>()->data.GetSize());
    EXPECT_EQ(2, b->Payload<VoipEventTextBuf>()->data.GetData()[1]);

    std::unique_ptr<VoipEvent> f(VoipEvent::Make(
        VE_FileOffer, VoipEventFileOffer{"bob", "Bob", "id-1", L"report.pdf", 12345}));
    ASSERT_TRUE(f);
    EXPECT_EQ(12345, f->Payload<VoipEventFileOffer>()->value);
    EXPECT_EQ("id-1", f->Payload<VoipEventFileOffer>()->third);
}

TEST(VoipEventRecord, ACopyIsOfTheSameKindWithAPayloadOfItsOwn)
{
    Buf data;
    data.Assign("\x07\x08", 2);
    typedef std::function<std::string(const VoipEvent&)> Reader;
    auto text = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
    struct Case {
        VoipEvent* event;
        Reader read;
    } cases[] = {
        {VoipEvent::Make(VE_Connected), [](const VoipEvent&) { return std::string(); }},
        {VoipEvent::Make(VE_CallReply, VoipEventValue{-3}),
         [](const VoipEvent& e) { return std::to_string(e.Payload<VoipEventValue>()->value); }},
        {VoipEvent::Make(VE_CallRequested, VoipEventByte{1}),
         [](const VoipEvent& e) { return std::to_string(e.Payload<VoipEventByte>()->value); }},
        {VoipEvent::Make(VE_LoginFailed, VoipEventText{"refused"}),
         [](const VoipEvent& e) { return e.Payload<VoipEventText>()->text; }},
        {VoipEvent::Make(VE_IncomingCall, TextPair{"carol", "Carol"}),
         [](const VoipEvent& e) { return e.Payload<TextPair>()->first + "|" + e.Payload<TextPair>()->second; }},
        {VoipEvent::Make(VE_ChatText, VoipEventChat("alice", "Alice", L"hi")),
         [text](const VoipEvent& e) {
             const VoipEventChat* c = e.Payload<VoipEventChat>();
             return c->first + "|" + c->second + "|" + text(c->wide);
         }},
        {VoipEvent::Make(VE_FileOfferFailed, VoipEventTransferAnswer{"bob", L"C:\\a.txt", "busy"}),
         [text](const VoipEvent& e) {
             const VoipEventTransferAnswer* a = e.Payload<VoipEventTransferAnswer>();
             return a->first + "|" + text(a->wide) + "|" + a->second;
         }},
        {VoipEvent::Make(VE_FileOffer, VoipEventFileOffer{"bob", "Bob", "id-2", L"b.pdf", 77}),
         [text](const VoipEvent& e) {
             const VoipEventFileOffer* o = e.Payload<VoipEventFileOffer>();
             return o->first + "|" + o->second + "|" + o->third + "|" + text(o->wide) + "|" +
                    std::to_string(o->value);
         }},
        {VoipEvent::Make(VE_TextData, VoipEventTextBuf{"t", data}),
         [](const VoipEvent& e) {
             const VoipEventTextBuf* b = e.Payload<VoipEventTextBuf>();
             return b->text + "|" + std::string(reinterpret_cast<const char*>(b->data.GetData()),
                                                static_cast<size_t>(b->data.GetSize()));
         }},
        {VoipEvent::Make(VE_ContactState, VoipEventTextInt{"dave", 2}),
         [](const VoipEvent& e) {
             return e.Payload<VoipEventTextInt>()->text + "|" + std::to_string(e.Payload<VoipEventTextInt>()->value);
         }},
        {VoipEvent::Make(VE_TransferProgress, VoipEventProgress{"id-3", 100, 40}),
         [](const VoipEvent& e) {
             const VoipEventProgress* p = e.Payload<VoipEventProgress>();
             return p->text + "|" + std::to_string(p->first) + "|" + std::to_string(p->second);
         }},
    };
    for (Case& c : cases) {
        std::unique_ptr<VoipEvent> original(c.event);
        ASSERT_TRUE(original);
        SCOPED_TRACE(original->GetKind());
        const VoipEventKind kind = original->GetKind();
        const std::string expected = c.read(*original);
        std::unique_ptr<VoipEvent> copy(original->Copy());
        ASSERT_TRUE(copy);
        // The copy outlives the original: nothing of it is shared.
        original.reset();
        EXPECT_EQ(kind, copy->GetKind());
        EXPECT_EQ(expected, c.read(*copy));
    }
}

}  // namespace
