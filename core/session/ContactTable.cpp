#include "session/ContactTable.h"

namespace {
// Shared by every table of the process, so that a number never names two
// different contacts over the life of the program.
int32_t g_lastContactNumber = 0;
}

bool ContactTable::Add(const std::string& name, const std::string& secondText, int32_t status)
{
    if (IsFull() || !numbers_.emplace(name, g_lastContactNumber + 1).second)
        return false;
    ContactEntry& e = entries_[++g_lastContactNumber];
    e.name = name;
    e.secondText = secondText;
    e.status = status;
    return true;
}

const ContactEntry* ContactTable::Find(const std::string& name) const
{
    auto number = numbers_.find(name);
    if (number == numbers_.end())
        return nullptr;
    auto entry = entries_.find(number->second);
    return entry == entries_.end() ? nullptr : &entry->second;
}

bool ContactTable::Contains(const std::string& name) const
{
    return Find(name) != nullptr;
}

int32_t ContactTable::GetStatus(int32_t number) const
{
    auto it = entries_.find(number);
    return it == entries_.end() ? 1 : it->second.status;
}

int32_t ContactTable::GetStatusByName(const std::string& name) const
{
    const ContactEntry* e = Find(name);
    return e ? e->status : 1;
}
