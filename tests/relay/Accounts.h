// The relay's accounts, read from small text files of '|'-separated lines:
//   account|e-mail|password or md5:<32 hex digits>|display name
//   contact|owner e-mail|contact e-mail        (the owner's list shows the contact)
//   device|e-mail|device identity|device name (identity * knows every device)
// Blank lines and lines starting with # are skipped.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace relay {

struct Account {
    std::string email;
    std::string digest;  // MD5 of the password, 32 lower-case hex digits
    std::string display;
    std::vector<std::string> contacts;
    std::map<std::string, std::string> devices;  // identity -> device name

    // The enrolled name of that device, or null when it is not enrolled.
    const std::string* DeviceName(const std::string& identity) const;
    bool HasContact(const std::string& email) const;
};

class AccountBook {
public:
    // Adds the lines of one file; false with a message naming the line on a
    // malformed line or a reference to an account not defined before it.
    bool LoadFile(const std::string& path, std::string& error);
    bool LoadText(const std::string& text, const std::string& origin, std::string& error);

    Account* Find(const std::string& email);
    const std::map<std::string, Account>& All() const { return accounts_; }

    // The line that records an enrolment, in the file format above.
    static std::string DeviceLine(const std::string& email, const std::string& identity, const std::string& name);

private:
    std::map<std::string, Account> accounts_;
};

}  // namespace relay
