// The account's contact list as the server last sent it.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct ContactEntry {
    std::string name;
    std::string secondText;
    int32_t status = 1;
};

// Callers hold the manager's contacts lock. Names are unique (exact bytes);
// contact numbers keep growing across refills.
class ContactTable {
public:
    typedef std::map<int32_t, ContactEntry> Map;
    // Twice what the largest message holds of contacts as the server sends
    // them, with enciphered names; a list packed with shorter names stops
    // here, so that it cannot make the table many times its own size.
    static constexpr size_t kMaxContacts = 65536;

    void Clear()
    {
        entries_.clear();
        numbers_.clear();
    }
    // False, and nothing changes, when an entry of that name exists or the
    // table is full.
    bool Add(const std::string& name, const std::string& secondText, int32_t status);
    bool IsFull() const { return entries_.size() >= kMaxContacts; }
    bool Contains(const std::string& name) const;
    // 1 for an unknown number or name.
    int32_t GetStatus(int32_t number) const;
    int32_t GetStatusByName(const std::string& name) const;

    const Map& Entries() const { return entries_; }
    size_t Size() const { return entries_.size(); }

private:
    const ContactEntry* Find(const std::string& name) const;

    Map entries_;
    // Each name's number: a list is read in a time that grows with its
    // length, not with the square of it.
    std::map<std::string, int32_t> numbers_;
};
