#include "wire/Fields.h"

#include <cstring>

#include "wire/CmdMsg.h"

CLIENT_CAPS MakeDefaultClientCaps()
{
    return CLIENT_CAPS();
}

WStringField::WStringField(const std::wstring& w) : FieldTempl<std::u16string>(std::u16string())
{
    value_.reserve(w.size());
    for (wchar_t c : w)
        value_.push_back(static_cast<char16_t>(c));
}

BufField::BufField(const Buf& b) : FieldTempl<Buf>(Buf())
{
    const uint32_t n = static_cast<uint32_t>(b.GetSize());
    if (!image_.Resize(static_cast<int>(n) + 4))
        return;
    unsigned char* p = image_.GetData();
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<unsigned char>(n >> (8 * i));
    if (n > 0)
        std::memcpy(p + 4, b.GetData(), n);
}

void FieldList::Add(Field* field, bool atBack)
{
    if (atBack)
        fields_.push_back(field);
    else
        fields_.push_front(field);
    total_ += field->GetSize();
}

void FieldList::Clear()
{
    total_ = 0;
    for (Field* f : fields_)
        delete f;
    fields_.clear();
}

unsigned char* FieldList::Serialise() const
{
    unsigned char* out = AllocBytes(total_);
    if (!out)
        return nullptr;
    unsigned char* at = out;
    for (const Field* f : fields_) {
        const int n = f->GetSize();
        if (n > 0)
            std::memcpy(at, f->GetData(), n);
        at += n;
    }
    return out;
}

FieldList& AppendCmdHeader(FieldList& list, uint32_t type)
{
    list.Clear();
    CmdHeader h;
    h.type = type;
    list.Add(new CmdHeaderField(h), true);
    return list;
}

FieldList& AppendStreamMsgHeader(FieldList& list, uint32_t length)
{
    Net::StreamMsgHeader h;
    h.length = length;
    list.Add(new StreamMsgField(h), false);
    return list;
}

FieldList& AppendBuf(FieldList& list, const Buf& b)
{
    list.Add(new BufField(b), true);
    return list;
}

FieldList& AppendULong(FieldList& list, uint32_t v)
{
    list.Add(new ULongField(v), true);
    return list;
}

FieldList& AppendInt4(FieldList& list, int32_t v)
{
    list.Add(new Int4Field(v), true);
    return list;
}

FieldList& AppendString(FieldList& list, std::string s)
{
    list.Add(new StringField(std::move(s)), true);
    return list;
}

FieldList& AppendWString(FieldList& list, const std::wstring& w)
{
    list.Add(new WStringField(w), true);
    return list;
}

FieldList& AppendBool(FieldList& list, bool v)
{
    list.Add(new BoolField(v), true);
    return list;
}

FieldList& AppendClientCaps(FieldList& list, const CLIENT_CAPS& c)
{
    list.Add(new ClientCapsField(c), true);
    return list;
}

// ---- CmdMsg ----

CmdMsg::CmdMsg() : command_(0), reader_(nullptr, 0) {}

CmdMsg::CmdMsg(uint32_t type) : command_(type), reader_(nullptr, 0)
{
    AppendCmdHeader(fields_, type);
}

CmdMsg::CmdMsg(unsigned char* body, int size) : command_(0), reader_(body, size) {}
