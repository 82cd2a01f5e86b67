#include "Accounts.h"

#include <fstream>
#include <sstream>

#include "RelayCrypto.h"

namespace relay {

namespace {

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(line);
    while (std::getline(in, part, '|')) parts.push_back(part);
    if (!line.empty() && line.back() == '|') parts.push_back("");
    return parts;
}

bool IsDigest(const std::string& s) {
    if (s.size() != 32) return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    return true;
}

}  // namespace

const std::string* Account::DeviceName(const std::string& identity) const {
    auto it = devices.find(identity);
    if (it == devices.end()) it = devices.find("*");
    return it == devices.end() ? nullptr : &it->second;
}

bool Account::HasContact(const std::string& other) const {
    for (const auto& c : contacts)
        if (c == other) return true;
    return false;
}

bool AccountBook::LoadFile(const std::string& path, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = path + ": cannot be read";
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return LoadText(text.str(), path, error);
}

bool AccountBook::LoadText(const std::string& text, const std::string& origin, std::string& error) {
    std::istringstream in(text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> p = Split(line);
        std::string where = origin + ":" + std::to_string(number) + ": ";
        if (p.size() != 4 && !(p.size() == 3 && p[0] == "contact")) {
            error = where + "expected account|..., contact|... or device|... with its fields";
            return false;
        }
        if (p[0] == "account") {
            if (p[1].empty()) {
                error = where + "empty e-mail address";
                return false;
            }
            Account& a = accounts_[p[1]];
            a.email = p[1];
            a.digest = p[2].compare(0, 4, "md5:") == 0 ? p[2].substr(4) : Md5Hex(p[2]);
            if (!IsDigest(a.digest)) {
                error = where + "md5: must be followed by 32 lower-case hex digits";
                return false;
            }
            a.display = p[3];
            continue;
        }
        Account* owner = Find(p[1]);
        if (!owner) {
            error = where + "no account " + p[1] + " defined above";
            return false;
        }
        if (p[0] == "contact") {
            if (!Find(p[2])) {
                error = where + "no account " + p[2] + " defined above";
                return false;
            }
            if (!owner->HasContact(p[2])) owner->contacts.push_back(p[2]);
        } else if (p[0] == "device") {
            owner->devices[p[2]] = p[3];
        } else {
            error = where + "unknown line kind " + p[0];
            return false;
        }
    }
    return true;
}

Account* AccountBook::Find(const std::string& email) {
    auto it = accounts_.find(email);
    return it == accounts_.end() ? nullptr : &it->second;
}

std::string AccountBook::DeviceLine(const std::string& email, const std::string& identity, const std::string& name) {
    return "device|" + email + "|" + identity + "|" + name;
}

}  // namespace relay
