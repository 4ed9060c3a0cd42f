// The Windows log sink, read back from the real file.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <set>
#include <thread>

#include "platform/errors.h"
#include "platform/logger.h"
#include "platform/sysinfo.h"
#include "platform/tstrings.h"
#include "win_test_support.h"

namespace {

using wintest::readFile;
using wintest::scratchFile;

struct Call {
    int32_t level;
    const char* file;
    uint32_t line;
    const char* function;
    std::string message;
};

const std::regex kStampPattern(R"(\[(\d{4})/(\d\d)/(\d\d) (\d\d):(\d\d):(\d\d)\.(\d{3}), )");

// The stamps of the entries in file order.
std::vector<LogStamp> stampsOf(const std::string& text) {
    std::vector<LogStamp> stamps;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), kStampPattern); it != std::sregex_iterator(); ++it) {
        const std::smatch& m = *it;
        auto n = [&](int i) { return static_cast<uint32_t>(std::stoul(m[i].str())); };
        stamps.push_back({n(1), n(2), n(3), n(4), n(5), n(6), n(7), GetCurrentProcessId(), GetCurrentThreadId()});
    }
    return stamps;
}

std::string withCrLf(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

// What the file must hold, byte for byte, given the calls and the times the file shows.
std::string expectedFile(const std::string& text, const std::vector<Call>& calls) {
    const std::vector<LogStamp> stamps = stampsOf(text);
    EXPECT_EQ(calls.size(), stamps.size());
    std::string expected;
    for (size_t i = 0; i < calls.size() && i < stamps.size(); ++i) {
        const Call& c = calls[i];
        expected += composeLogEntry(stamps[i], processName, c.level, c.file, c.line, c.function, c.message);
    }
    return withCrLf(expected);
}

TEST(LogFile, EveryEntryPointWritesByteExactEntriesWithCrLf) {
    const std::string path = scratchFile("exact");
    Logger logger(path);
    std::ostringstream streamed;
    streamed << "streamed " << 42;
    logger.log(WARNING, "C:\\src/platform\\sysinfo.cpp", 214, "SysInfo::getSystem32Dir", std::string("first"));
    logger.log(7, "plain.cpp", 5, "fn", "two\nlines");
    logger.log(-1, "/unix/style.cpp", 6, "fn", streamed);
    {
        ScopeTracer tracer(logger, "C:/src/config\\install_config.cpp", 42, "InstallConfigData::CheckParams",
                           "InstallConfigData::CheckParams");
    }
    {
        wintest::GlobalLogRedirect redirect(path);
        logit("progress");
        logit(std::string("more progress"));
        reportException(std::runtime_error("boom"), SourceLocation{"C:\\src\\app\\wrapper.cpp", "WinMain", 367});
        reportUnknownException(SourceLocation{"wrapper.cpp", "WinMain", 371});
    }
    const char* cfg = "C:/src/config\\install_config.cpp";
    const std::vector<Call> calls = {
        {WARNING, "sysinfo.cpp", 214, "SysInfo::getSystem32Dir", "first"},
        {7, "plain.cpp", 5, "fn", "two\nlines"},
        {-1, "style.cpp", 6, "fn", "streamed 42"},
        {TRACE, cfg, 42, "InstallConfigData::CheckParams", "Entering InstallConfigData::CheckParams"},
        {TRACE, cfg, 0, "InstallConfigData::CheckParams",
         "Exiting InstallConfigData::CheckParams (entered at install_config.cpp:42)"},
        {INFO, "AllUtils", 177, "logit", "progress"},
        {INFO, "AllUtils", 181, "logit", "more progress"},
        {ERROR, "wrapper.cpp", 367, "WinMain", "Exception with message 'boom' caught"},
        {ERROR, "wrapper.cpp", 371, "WinMain", "Unknown exception caught"},
    };
    const std::string text = readFile(path);
    EXPECT_EQ(expectedFile(text, calls), text);
    // Spot checks that do not depend on composeLogEntry.
    EXPECT_NE(std::string::npos, text.find("\r\n\tUNKNOWN: two\r\nlines\r\n"));
    EXPECT_NE(std::string::npos, text.find(", install_config.cpp:0 (InstallConfigData::CheckParams)]\r\n\tTRACE: Exiting"));
    EXPECT_NE(std::string::npos, text.find(processName + " (PID: " + tstrings::toString(uint32_t{GetCurrentProcessId()}) +
                                           ", TID: " + tstrings::toString(uint32_t{GetCurrentThreadId()}) + "), "));
    DeleteFileA(path.c_str());
}

TEST(LogFile, EmptyPathWritesNothingAndGlobalPathIsInTemp) {
    Logger silent;
    silent.log(ERROR, "f.cpp", 1, "fn", "nowhere");  // must simply return
    EXPECT_EQ(joinPath(SysInfo::getTempDir(), "musched.log"), globalLogger.path);
    EXPECT_EQ("musched.log", logFileName);
    EXPECT_EQ(basename(SysInfo::getProcessModulePath()), processName);
}

TEST(LogFile, LineIsDroppedWhileAnotherProcessHoldsTheFile) {
    const std::string path = scratchFile("held");
    const std::string eventName = "plat-held-" + tstrings::toString(uint32_t{GetCurrentProcessId()});
    unique_handle ready(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(ready);
    auto holder = wintest::startHelper("hold_file", {path, "1500", eventName});
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.get(), 30000)) << "holder did not take the file";

    Logger logger(path);
    const auto before = std::chrono::steady_clock::now();
    logger.log(INFO, "f.cpp", 1, "fn", "dropped while held");
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - before);
    EXPECT_EQ(0, wintest::waitExitCode(holder));
    logger.log(INFO, "f.cpp", 2, "fn", "written after release");

    const std::string text = readFile(path);
    EXPECT_EQ(std::string::npos, text.find("dropped while held"));
    EXPECT_NE(std::string::npos, text.find("\tINFO: written after release\r\n"));
    std::printf("[ info ] a write against a held file gave up after %lld ms\n", static_cast<long long>(spent.count()));
    DeleteFileA(path.c_str());
}

TEST(LogFile, ConcurrentProcessesAndThreadsNeverSplitAnEntry) {
    constexpr int kLines = 400;  // per thread; two threads here, two in the helper
    const std::string path = scratchFile("shared");
    const std::string eventName = "plat-go-" + tstrings::toString(uint32_t{GetCurrentProcessId()});
    unique_handle go(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(go);
    auto writer = wintest::startHelper("log_writer", {path, std::to_string(kLines), "proc", eventName});
    Logger logger(path);
    auto write = [&](int thread) {
        WaitForSingleObject(go.get(), 30000);
        for (int n = 0; n < kLines; ++n) {
            logger.log(INFO, "self.cpp", 9, "writer",
                       "self-" + std::to_string(thread) + "-" + std::to_string(n) + "-" +
                           std::string(static_cast<size_t>((n * 11 + thread * 17) % 50), 'x'));
        }
    };
    std::thread first(write, 0), second(write, 1);
    Sleep(200);  // let the helper reach its wait
    SetEvent(go.get());
    first.join();
    second.join();
    EXPECT_EQ(0, wintest::waitExitCode(writer));

    // The file must be a gapless sequence of whole, distinct entries.
    const std::string text = readFile(path);
    const std::regex entry(R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}, [^ ]+ \(PID: \d+, TID: \d+\), )"
                           R"((log_writer|self)\.cpp:\d+ \(writer\)\]\r\n\tINFO: ((proc|self)-[01]-\d+)-x*\r\n)");
    std::set<std::string> seen;
    size_t end = 0, entries = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator(); ++it, ++entries) {
        ASSERT_EQ(end, static_cast<size_t>(it->position())) << "damaged text before: " << it->str();
        EXPECT_TRUE(seen.insert((*it)[2].str()).second) << "written twice: " << it->str();
        end = it->position() + it->length();
    }
    EXPECT_EQ(text.size(), end) << "damaged tail";
    EXPECT_LE(entries, 4u * kLines);
    EXPECT_GT(entries, 0u);
    std::printf("[ info ] %zu of %d entries written whole, %zu dropped after the bounded retry\n", entries, 4 * kLines,
                4 * kLines - entries);
    DeleteFileA(path.c_str());
}

}  // namespace
