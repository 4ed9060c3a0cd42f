#include "config/settings_folder_rules.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

const char* const kSettingsFolderRules = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

namespace {

// Add file, add folder, delete child, delete, write rules, take ownership, generic write and all.
constexpr uint32_t kChangingRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000 | 0x40000000 | 0x10000000;

// Right codes as SDDL writes them; an unknown one counts as changing.
uint32_t rightsOf(const std::string& text) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        return static_cast<uint32_t>(std::strtoul(text.c_str() + 2, nullptr, 16));
    }
    static const struct { const char* code; uint32_t mask; } codes[] = {
        {"GA", 0x10000000}, {"GR", 0x80000000}, {"GW", 0x40000000}, {"GX", 0x20000000}, {"RC", 0x20000},
        {"SD", 0x10000},    {"WD", 0x40000},    {"WO", 0x80000},    {"RP", 0x10},       {"WP", 0x20},
        {"CC", 0x1},        {"DC", 0x2},        {"LC", 0x4},        {"SW", 0x8},        {"LO", 0x80},
        {"DT", 0x40},       {"CR", 0x100},      {"FA", 0x1f01ff},   {"FR", 0x120089},   {"FW", 0x120116},
        {"FX", 0x1200a9}};
    if (text.empty() || text.size() % 2 != 0) return kChangingRights;
    uint32_t mask = 0;
    for (size_t i = 0; i < text.size(); i += 2) {
        bool known = false;
        for (const auto& code : codes) {
            if (text.compare(i, 2, code.code) == 0) mask |= code.mask, known = true;
        }
        if (!known) return kChangingRights;
    }
    return mask;
}

bool isSystemOrAdministrators(const std::string& sid) {
    return sid == "SY" || sid == "S-1-5-18" || sid == "BA" || sid == "S-1-5-32-544";
}

// Who may hold changing rights without making the folder unsafe: besides those two, the launcher's
// own account, and the creator or owner of something inside (only admins can create there).
bool isTrusted(const std::string& sid, const std::string& trustedUser) {
    return isSystemOrAdministrators(sid) || (!trustedUser.empty() && sid == trustedUser) || sid == "CO" ||
           sid == "S-1-3-0" || sid == "OW" || sid == "S-1-3-4";
}

std::vector<std::string> fieldsOf(const std::string& ace) {
    std::vector<std::string> fields(1);
    for (char c : ace) {
        if (c == ';') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

// The text of one SDDL part ("O:", "D:") up to the next part; found false when absent.
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

}  // namespace

bool othersMayChangeFolder(const std::string& sddl, const std::string& trustedUser) {
    bool hasOwner = false, hasDacl = false;
    const std::string owner = partOf(sddl, 'O', hasOwner);
    if (!hasOwner || !(isSystemOrAdministrators(owner) || (!trustedUser.empty() && owner == trustedUser))) return true;
    const std::string dacl = partOf(sddl, 'D', hasDacl);
    if (!hasDacl || dacl.find("NO_ACCESS_CONTROL") != std::string::npos) return true;  // no DACL: all may
    for (size_t open = dacl.find('('); open != std::string::npos; open = dacl.find('(', open + 1)) {
        const size_t close = dacl.find(')', open);
        if (close == std::string::npos) return true;
        const std::vector<std::string> fields = fieldsOf(dacl.substr(open + 1, close - open - 1));
        if (fields.size() < 6) return true;
        const std::string& type = fields[0];
        if (type != "A" && type != "OA" && type != "XA" && type != "ZA") continue;  // denials narrow only
        // Inherit-only entries count too: they reach the settings file written inside.
        if ((rightsOf(fields[2]) & kChangingRights) != 0 && !isTrusted(fields[5], trustedUser)) return true;
    }
    return false;
}
