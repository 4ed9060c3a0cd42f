#pragma once
// A config host that records what the configuration shows and reads, with messages of the form
// "[<id>] <%s> <%s>" so that tests can see which message was used with which arguments.
#include <string>
#include <utility>
#include <vector>

#include "config/config_host.h"

class FakeConfigHost : public IConfigHost {
public:
    bool splitCommandLine(const std::wstring& commandLine, std::vector<std::string>& arguments) override {
        if (failSplit) return false;
        std::string current;
        for (wchar_t c : commandLine) {
            if (c == L' ') {
                if (!current.empty()) arguments.push_back(current);
                current.clear();
            } else {
                current += static_cast<char>(c);
            }
        }
        if (!current.empty()) arguments.push_back(current);
        return true;
    }
    std::string loadMessage(const void*, unsigned id, size_t) override {
        return id == 3073 ? "title" : "[" + std::to_string(id) + "] <%s> <%s>";
    }
    void showErrorBox(const std::string& title, const std::string& text) override { boxes.emplace_back(title, text); }
    bool canOpenForReading(const std::string&) override { return false; }
    void deleteFile(const std::string&) override {}
    std::string utf8ToAnsi(const std::string& text) override { return text; }

    bool failSplit = false;
    std::vector<std::pair<std::string, std::string>> boxes;
};
