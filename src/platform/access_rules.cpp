#include "platform/access_rules.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Rights that change a file or the rules on it.
constexpr uint32_t kFileChange = 0x2 | 0x4 | 0x10000 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;
// Rights on a folder that add, delete or replace what it holds (add file, add subfolder, delete
// child), or change its rules.
constexpr uint32_t kFolderChange = 0x2 | 0x4 | 0x40 | 0x40000 | 0x80000 | 0x10000000 | 0x40000000;

const struct { const char* code; uint32_t mask; } kRights[] = {
    {"GA", 0x10000000}, {"GW", 0x40000000}, {"GR", 0x80000000}, {"GX", 0x20000000}, {"SD", 0x10000},
    {"WD", 0x40000},    {"WO", 0x80000},    {"RC", 0x20000},    {"FA", 0x1F01FF},   {"FW", 0x120116},
    {"FR", 0x120089},   {"FX", 0x1200A0},   {"CC", 0x1},        {"DC", 0x2},        {"LC", 0x4},
    {"SW", 0x8},        {"RP", 0x10},       {"WP", 0x20},       {"DT", 0x40},       {"LO", 0x80},
    {"CR", 0x100},
};

const struct { const char* alias; const char* name; } kAccounts[] = {
    {"WD", "Everyone"}, {"AU", "Authenticated Users"}, {"BU", "Users"}, {"IU", "Interactive"},
    {"BG", "Guests"}, {"AN", "Anonymous"}, {"PU", "Power Users"}, {"S-1-1-0", "Everyone"},
    {"S-1-5-11", "Authenticated Users"}, {"S-1-5-32-545", "Users"}, {"S-1-5-4", "Interactive"},
};

bool isTrusted(const std::string& sid, const std::string& trustedUser) {
    return sid == "SY" || sid == "BA" || sid == "S-1-5-18" || sid == "S-1-5-32-544" ||
           sid == "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464" ||
           (!trustedUser.empty() && sid == trustedUser);
}

std::string accountName(const std::string& sid) {
    for (const auto& account : kAccounts) {
        if (sid == account.alias) return account.name;
    }
    return sid;
}

// The rights field of an ACE: hexadecimal, or two-letter codes. An unknown code counts as every right.
uint32_t rightsOf(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return static_cast<uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    uint32_t mask = 0;
    for (size_t i = 0; i + 1 < text.size(); i += 2) {
        bool known = false;
        for (const auto& right : kRights) {
            if (text.compare(i, 2, right.code) == 0) {
                mask |= right.mask;
                known = true;
            }
        }
        if (!known) return 0xFFFFFFFF;
    }
    return mask;
}

std::vector<std::string> fields(const std::string& ace) {
    std::vector<std::string> parts(1);
    for (char c : ace) {
        if (c == ';') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

void add(std::string& list, const std::string& who, const char* where) {
    const std::string entry = who + " (" + where + ")";
    if (list.find(entry) != std::string::npos) return;
    if (!list.empty()) list += ", ";
    list += entry;
}

// The owner and every allowing ACE that applies to the object itself; deny entries are not
// subtracted, so the judgement errs towards a warning.
void judge(const std::string& sddl, uint32_t changeMask, const std::string& trustedUser, const char* where,
           std::string& writers) {
    const size_t ownerAt = sddl.find("O:");
    if (ownerAt != std::string::npos) {
        size_t end = sddl.size();
        for (const char* next : {"G:", "D:", "S:"}) {
            const size_t at = sddl.find(next, ownerAt + 2);
            if (at < end) end = at;
        }
        const std::string owner = sddl.substr(ownerAt + 2, end - ownerAt - 2);
        if (!isTrusted(owner, trustedUser)) add(writers, accountName(owner) + ", the owner", where);
    }
    const size_t daclAt = sddl.find("D:");
    if (daclAt == std::string::npos || sddl.compare(daclAt, 6, "D:NO_A") == 0) {
        add(writers, "anyone", where);
        return;
    }
    for (size_t open = sddl.find('(', daclAt); open != std::string::npos; open = sddl.find('(', open + 1)) {
        const size_t close = sddl.find(')', open);
        if (close == std::string::npos) break;
        const std::vector<std::string> ace = fields(sddl.substr(open + 1, close - open - 1));
        if (ace.size() < 6 || ace[0] != "A" || ace[1].find("IO") != std::string::npos) continue;
        const std::string& sid = ace[5];
        if (sid == "CO" || sid == "CG" || isTrusted(sid, trustedUser)) continue;  // CREATOR entries only pass on
        if (rightsOf(ace[2]) & changeMask) add(writers, accountName(sid), where);
    }
}

}  // namespace

std::string untrustedWriters(const std::string& fileSddl, const std::string& folderSddl,
                             const std::string& trustedUser) {
    std::string writers;
    judge(fileSddl, kFileChange, trustedUser, "file", writers);
    judge(folderSddl, kFolderChange, trustedUser, "folder", writers);
    return writers;
}
