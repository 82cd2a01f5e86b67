// One protocol message: outgoing fields, or a reader over a received body.
#pragma once

#include "wire/Fields.h"

class CmdMsg {
public:
    // A keep-alive: no header, no fields.
    CmdMsg();
    // An outgoing command; its type becomes the first field.
    explicit CmdMsg(uint32_t type);
    // A received body; the reader takes ownership of the array (from AllocBytes).
    CmdMsg(unsigned char* body, int size);
    CmdMsg(const CmdMsg&) = delete;
    CmdMsg& operator=(const CmdMsg&) = delete;

    FieldList& GetFieldList() { return fields_; }
    BufReader& GetReader() { return reader_; }
    bool IsOk() const { return reader_.IsOk(); }
    unsigned char* Serialise() const { return fields_.Serialise(); }
    uint32_t GetCommand() const { return command_; }

private:
    FieldList fields_;
    uint32_t command_;
    BufReader reader_;
};
