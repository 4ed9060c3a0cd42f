// The administrator's guide (docs/deploying.md) against the code: each form of the exit codes (its
// own table, the Intune table, the winget manifest) names every code of the exit-code header in one
// class, so a new code fails here until the guide says what a deployment tool should make of it.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <map>
#include <set>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string readSourceFile(const std::string& relative) {
    std::ifstream in(std::string(LAUNCHER_SOURCE_DIR) + "/" + relative, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    EXPECT_TRUE(in.good() || in.eof()) << relative;
    return text.str();
}

// The first cells after the header row that starts with "| <firstHeader> |", up to the table's end.
std::vector<std::vector<std::string>> markdownTable(const std::string& text, const std::string& firstHeader) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(text);
    std::string line;
    bool inTable = false;
    while (std::getline(lines, line)) {
        if (!inTable) {
            inTable = line.rfind("| " + firstHeader + " |", 0) == 0;
            continue;
        }
        if (line.empty() || line[0] != '|') break;
        if (line.rfind("|---", 0) == 0) continue;
        std::vector<std::string> cells;
        std::istringstream cellStream(line.substr(1));
        std::string cell;
        while (std::getline(cellStream, cell, '|')) {
            cell.erase(0, cell.find_first_not_of(' '));
            cell.erase(cell.find_last_not_of(' ') + 1);
            cells.push_back(cell);
        }
        rows.push_back(cells);
    }
    return rows;
}

// Each form of the exit codes in the guide, as code -> the class a deployment tool gives it, in the
// words of Intune's code types: Success, Soft reboot, Hard reboot, Retry, Failed.
using Classes = std::map<long long, std::string>;

// The guide's own table: the last column starts with the class ("Failure" for Failed).
Classes guideTableClasses(const std::string& guide) {
    Classes classes;
    for (const auto& cells : markdownTable(guide, "Code")) {
        const std::string& action = cells.at(2);
        std::string& named = classes[std::stoll(cells.at(0))] = "no class: " + action;
        for (const char* word : {"Success", "Soft reboot", "Hard reboot", "Retry", "Failure"}) {
            if (action.rfind(word, 0) == 0) named = word == std::string("Failure") ? "Failed" : word;
        }
    }
    return classes;
}

// The guide's winget installer manifest (the yaml block of ManifestType installer): 0 is winget's own success, the
// InstallerSuccessCodes succeed too, the ExpectedReturnCodes take the class winget gives their
// ReturnResponse.
Classes wingetClasses(const std::string& guide) {
    // winget's responses; all but these count as a failed installation.
    static const std::map<std::string, std::string> responseClass = {
        {"rebootRequiredToFinish", "Soft reboot"}, {"installInProgress", "Retry"}, {"rebootInitiated", "Failed"},
        {"invalidParameter", "Failed"}, {"alreadyInstalled", "Failed"}, {"downgrade", "Failed"},
        {"missingDependency", "Failed"}, {"diskFull", "Failed"}, {"fileInUse", "Failed"}, {"contactSupport", "Failed"},
    };
    const size_t begin = guide.rfind("```yaml\n", guide.find("\nManifestType: installer\n"));
    EXPECT_NE(std::string::npos, begin) << "no winget installer manifest";
    if (begin == std::string::npos) return {};
    std::istringstream lines(guide.substr(begin + 8, guide.find("```", begin + 8) - begin - 8));
    Classes classes{{0, "Success"}};
    std::string section;
    long long code = 0;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != ' ') section = line.substr(0, line.find(':'));
        const std::string item = line.substr(std::min(line.find_first_not_of(' '), line.size()));
        const std::string value = item.substr(std::min(item.find(':') + 1, item.size()));
        if (section == "InstallerSuccessCodes" && item.rfind("- ", 0) == 0) {
            classes[std::stoll(item.substr(2))] = "Success";
        } else if (section == "ExpectedReturnCodes" && item.rfind("- InstallerReturnCode:", 0) == 0) {
            code = std::stoll(value);
        } else if (section == "ExpectedReturnCodes" && item.rfind("ReturnResponse:", 0) == 0) {
            const std::string response = value.substr(value.find_first_not_of(' '));
            const auto found = responseClass.find(response);
            classes[code] = found == responseClass.end() ? "not a winget response: " + response : found->second;
        }
    }
    return classes;
}

// Installed, retry or failed: what every tool agrees on (winget has no restart classes of its own).
std::string outcome(const std::string& toolClass) {
    if (toolClass == "Success" || toolClass == "Soft reboot" || toolClass == "Hard reboot") return "installed";
    return toolClass == "Retry" ? "retry" : toolClass;
}

// Each form names every code of the header, as a signed 32-bit number, in the class of the guide's
// own table (winget in the outcome alone).
TEST(DeployingGuide, EachFormOfTheExitCodesGivesEveryCodeOfTheHeaderTheClassOfTheGuidesTable) {
    std::set<long long> header;
    const std::string codes = readSourceFile("src/driver/exit_codes.h");
    const std::regex constant(R"(constexpr int \w+ = (-?\d+);)");
    for (std::sregex_iterator it(codes.begin(), codes.end(), constant), end; it != end; ++it) {
        header.insert(std::stoll((*it)[1]));
    }
    ASSERT_GE(header.size(), 9u);

    const std::string guide = readSourceFile("docs/deploying.md");
    Classes intune;
    for (const auto& cells : markdownTable(guide, "Return code")) intune[std::stoll(cells.at(0))] = cells.at(1);
    const struct {
        const char* name;
        Classes classes;
        bool restartClasses;  // tells a restart from a plain success
    } forms[] = {{"the guide's table", guideTableClasses(guide), true},
                 {"the Intune table", intune, true},
                 {"the winget manifest", wingetClasses(guide), false}};
    // The README's table gives meanings only; its first cells may list several codes ("1618, 1603, ...").
    std::set<long long> readme;
    for (const auto& cells : markdownTable(readSourceFile("README.md"), "code")) {
        std::istringstream listed(cells.at(0));
        for (std::string code; std::getline(listed, code, ',');)
            if (code.find_first_of("0123456789") != std::string::npos) readme.insert(std::stoll(code));
    }
    for (long long code : header) EXPECT_EQ(1u, readme.count(code)) << code << " is missing from the README's table";
    const Classes& reference = forms[0].classes;
    for (const auto& entry : reference) EXPECT_NE(0u, entry.second.rfind("no class", 0)) << entry.second;
    for (const auto& form : forms) {
        SCOPED_TRACE(form.name);
        for (long long code : header) EXPECT_EQ(1u, form.classes.count(code)) << code << " is missing";
        for (const auto& [code, toolClass] : form.classes) {
            // Intune and winget read signed 32-bit numbers: 4294967295 for -1 would not load.
            EXPECT_TRUE(code >= INT32_MIN && code <= INT32_MAX) << code;
            // The launcher's own codes are the negative ones: none that the code lacks.
            if (code < 0) {
                EXPECT_EQ(1u, header.count(code)) << code << " is not in exit_codes.h";
            }
            const auto expected = reference.find(code);
            if (expected == reference.end()) {
                ADD_FAILURE() << code << " is not in the guide's table";
            } else if (form.restartClasses) {
                EXPECT_EQ(expected->second, toolClass) << code;
            } else {
                EXPECT_EQ(outcome(expected->second), outcome(toolClass)) << code;
            }
        }
    }
}

}  // namespace
