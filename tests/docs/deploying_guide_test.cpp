// The administrator's guide (docs/deploying.md) against the code: its example install
// configuration loads through the real loader, and its key and exit-code tables name every key of
// the catalogue and every code of the exit-code header, so a new one fails here until the guide
// says what it is.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <regex>
#include <sstream>

#include "config/config_host.h"
#include "config/install_config.h"
#include "config/key_catalogue.h"
#include "settings/memory_file_system.h"

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

// Splits on blanks, as the system would split a command line without quotes.
class SplittingHost : public IConfigHost {
public:
    bool splitCommandLine(const std::wstring& commandLine, std::vector<std::string>& arguments) override {
        std::istringstream words(std::string(commandLine.begin(), commandLine.end()));
        for (std::string word; words >> word;) arguments.push_back(word);
        return true;
    }
    std::string loadMessage(const void*, unsigned id, size_t) override { return std::to_string(id) + " %s %s"; }
    void showErrorBox(const std::string&, const std::string& text) override { boxes.push_back(text); }
    bool canOpenForReading(const std::string&) override { return true; }
    void deleteFile(const std::string&) override {}
    bool utf8ToAnsi(const std::string& text, std::string& out) override {
        out = text;
        return true;
    }
    std::vector<std::string> boxes;
};

TEST(DeployingGuide, ExampleInstallConfigurationLoadsWithoutError) {
    const std::string example = readSourceFile("docs/examples/install.cfg");
    settings_impl::MemoryFileSystem fs;
    settings_impl::ScopedFileSystem scoped{fs};
    fs.files["C:/Deploy/install.cfg"].content = example;
    SplittingHost host;
    InstallConfigData config(nullptr, host);

    // Not silent, so that any fault would also have shown a box.
    ASSERT_EQ(0, config.LoadConfigSettings(L"setup.exe INSTALLCFG=C:\\Deploy\\install.cfg"));
    EXPECT_TRUE(host.boxes.empty()) << host.boxes.front();
    std::istringstream lines(example);
    int entries = 0;
    for (std::string line; std::getline(lines, line);) {
        if (line.empty() || line[0] == '#') continue;
        const std::string key = line.substr(0, line.find('='));
        EXPECT_TRUE(config.containsKey(key)) << key;
        ++entries;
    }
    EXPECT_GE(entries, 4) << "the example sets the keys a fleet typically sets";
}

TEST(DeployingGuide, KeyTableNamesEveryCatalogueKeyWithItsRuleDefaultAndExport) {
    const std::map<ValueRule, std::string> ruleText = {
        {ValueRule::SwitchValue, "`Enable`, `Disable`, `1`, `0`"},
        {ValueRule::SecurityLevel, "`1`-`4`, `L`, `M`, `H`, `VH`"},
        {ValueRule::Integer, "integer"},
        {ValueRule::String, "text"},
        {ValueRule::DirectoryName, "absolute path with a drive letter"},
        {ValueRule::None, "none (switch)"},
    };
    std::map<std::string, std::string> defaults;
    std::istringstream defaultLines(kDefaultSettingsText);
    for (std::string line; std::getline(defaultLines, line);) {
        defaults[line.substr(0, line.find('='))] = "`" + line.substr(line.find('=') + 1) + "`";
    }

    const auto table = markdownTable(readSourceFile("docs/deploying.md"), "Key");
    std::vector<std::string> documented, expected;
    for (const auto& cells : table) {
        documented.push_back(cells.size() >= 4 ? cells[0] + " | " + cells[1] + " | " + cells[2] + " | " + cells[3]
                                               : cells[0]);
    }
    for (const KeyRecord& record : keyCatalogue()) {
        const auto def = defaults.find(record.name);
        expected.push_back("`" + record.name + "` | " + ruleText.at(record.rule) + " | " +
                           (def == defaults.end() ? "-" : def->second) + " | " + (record.exported ? "yes" : "-"));
    }
    EXPECT_EQ(expected, documented) << "the guide's key table follows the catalogue, row by row";
}

TEST(DeployingGuide, ExitCodeTableNamesEveryCodeOfTheHeader) {
    std::set<int> header;
    const std::string codes = readSourceFile("src/driver/exit_codes.h");
    const std::regex constant(R"(constexpr int \w+ = (-?\d+);)");
    for (std::sregex_iterator it(codes.begin(), codes.end(), constant), end; it != end; ++it) {
        header.insert(std::stoi((*it)[1]));
    }
    ASSERT_GE(header.size(), 9u);

    std::set<int> documented;
    for (const auto& cells : markdownTable(readSourceFile("docs/deploying.md"), "Code")) {
        documented.insert(std::stoi(cells.at(0)));
    }
    for (int code : header) EXPECT_EQ(1u, documented.count(code)) << code << " is not in the guide";
    // The launcher's own codes are the negative ones: the guide names none that the code lacks.
    for (int code : documented) {
        if (code < 0) {
            EXPECT_EQ(1u, header.count(code)) << code << " is in the guide but not in exit_codes.h";
        }
    }
}

}  // namespace
