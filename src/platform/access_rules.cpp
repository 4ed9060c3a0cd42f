#include "platform/access_rules.h"

#include <cstdlib>
#include <vector>

namespace {

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

// Creator owner and creator group only pass rights on; owner rights follow the (judged) owner.
bool passesOnOnly(const std::string& sid) {
    return sid == "CO" || sid == "CG" || sid == "OW" || sid == "S-1-3-0" || sid == "S-1-3-1" || sid == "S-1-3-4";
}

std::string accountName(const std::string& sid) {
    for (const auto& account : kAccounts) {
        if (sid == account.alias) return account.name;
    }
    return sid;
}

// The rights field of an ACE: hexadecimal, or two-letter codes. What is not understood counts as
// every right.
uint32_t rightsOf(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return static_cast<uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    if (text.empty() || text.size() % 2 != 0) return 0xFFFFFFFF;
    uint32_t mask = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
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

// The text of one part of the descriptor ("O:", "D:") up to the next one, outside parentheses;
// found is false when the part is absent.
std::string partOf(const std::string& sddl, char tag, bool& found) {
    found = false;
    int depth = 0;
    for (size_t i = 0; i + 1 < sddl.size(); ++i) {
        if (sddl[i] == '(') ++depth;
        if (sddl[i] == ')') --depth;
        if (depth != 0 || sddl[i] != tag || sddl[i + 1] != ':') continue;
        found = true;
        size_t end = i + 2;
        for (int inner = 0; end < sddl.size(); ++end) {
            if (sddl[end] == '(') ++inner;
            if (sddl[end] == ')') --inner;
            const bool nextPart = inner == 0 && end + 1 < sddl.size() && sddl[end + 1] == ':' &&
                                  (sddl[end] == 'O' || sddl[end] == 'G' || sddl[end] == 'D' || sddl[end] == 'S');
            if (nextPart) break;
        }
        return sddl.substr(i + 2, end - i - 2);
    }
    return {};
}

void add(std::string& list, const std::string& who, const char* where) {
    const std::string entry = who + " (" + where + ")";
    if (list.find(entry) != std::string::npos) return;
    if (!list.empty()) list += ", ";
    list += entry;
}

}  // namespace

void addUntrustedWriters(std::string& writers, const std::string& sddl, uint32_t changeMask,
                         bool countInheritOnly, const std::string& trustedUser, const char* where) {
    bool hasOwner = false, hasDacl = false;
    const std::string owner = partOf(sddl, 'O', hasOwner);
    if (!hasOwner) add(writers, "anyone", where);
    else if (!isTrusted(owner, trustedUser)) add(writers, accountName(owner) + ", the owner", where);
    const std::string dacl = partOf(sddl, 'D', hasDacl);
    if (!hasDacl || dacl.find("NO_ACCESS_CONTROL") != std::string::npos) {
        add(writers, "anyone", where);
        return;
    }
    for (size_t open = dacl.find('('); open != std::string::npos; open = dacl.find('(', open + 1)) {
        const size_t close = dacl.find(')', open);
        const std::vector<std::string> ace =
            close == std::string::npos ? std::vector<std::string>{} : fields(dacl.substr(open + 1, close - open - 1));
        if (ace.size() < 6) {
            add(writers, "anyone", where);
            return;
        }
        const std::string& type = ace[0];
        if (type != "A" && type != "OA" && type != "XA" && type != "ZA") continue;  // denials narrow only
        if (!countInheritOnly && ace[1].find("IO") != std::string::npos) continue;
        const std::string& sid = ace[5];
        if (passesOnOnly(sid) || isTrusted(sid, trustedUser)) continue;
        if (rightsOf(ace[2]) & changeMask) add(writers, accountName(sid), where);
    }
}

std::string untrustedWriters(const std::string& fileSddl, const std::string& folderSddl,
                             const std::string& trustedUser) {
    std::string writers;
    addUntrustedWriters(writers, fileSddl, kFileChangeRights, false, trustedUser, "file");
    addUntrustedWriters(writers, folderSddl, kFolderChangeRights, false, trustedUser, "folder");
    return writers;
}
