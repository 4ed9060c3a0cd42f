// The Windows log sink, read back from the real file.
#include <gtest/gtest.h>

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

const std::string kPid = tstrings::toString(uint32_t{GetCurrentProcessId()});

TEST(LogFile, EveryEntryPointWritesByteExactEntriesWithCrLf) {
    EXPECT_EQ(joinPath(SysInfo::getTempDir(), "musched.log"), globalLogger.path);
    EXPECT_EQ(basename(SysInfo::getProcessModulePath()), processName);
    Logger().log(ERROR, "f.cpp", 1, "fn", "nowhere");  // no path: must simply return

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
    // Every stamp and process part must have the exact shape; what is left is compared byte for byte.
    const std::regex head(R"(\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}, )" + processName + R"( \(PID: )" + kPid +
                          ", TID: " + tstrings::toString(uint32_t{GetCurrentThreadId()}) + R"(\), )");
    EXPECT_EQ("[sysinfo.cpp:214 (SysInfo::getSystem32Dir)]\r\n\tWARNING: first\r\n"
              "[plain.cpp:5 (fn)]\r\n\tUNKNOWN: two\r\nlines\r\n"
              "[style.cpp:6 (fn)]\r\n\tUNKNOWN: streamed 42\r\n"
              "[install_config.cpp:42 (InstallConfigData::CheckParams)]\r\n"
              "\tTRACE: Entering InstallConfigData::CheckParams\r\n"
              "[install_config.cpp:0 (InstallConfigData::CheckParams)]\r\n"
              "\tTRACE: Exiting InstallConfigData::CheckParams (entered at install_config.cpp:42)\r\n"
              "[AllUtils:177 (logit)]\r\n\tINFO: progress\r\n"
              "[AllUtils:181 (logit)]\r\n\tINFO: more progress\r\n"
              "[wrapper.cpp:367 (WinMain)]\r\n\tERROR: Exception with message 'boom' caught\r\n"
              "[wrapper.cpp:371 (WinMain)]\r\n\tERROR: Unknown exception caught\r\n",
              std::regex_replace(readFile(path), head, "["));
    DeleteFileA(path.c_str());
}

TEST(LogFile, LineIsDroppedWhileAnotherProcessHoldsTheFile) {
    const std::string path = scratchFile("held");
    const std::string eventName = "plat-held-" + kPid;
    unique_handle ready(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(ready);
    auto holder = wintest::startHelper("hold_file", {path, "1500", eventName});
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ready.get(), 30000)) << "holder did not take the file";

    Logger logger(path);
    logger.log(INFO, "f.cpp", 1, "fn", "dropped while held");
    EXPECT_EQ(0, wintest::waitExitCode(holder));
    logger.log(INFO, "f.cpp", 2, "fn", "written after release");

    const std::string text = readFile(path);
    EXPECT_EQ(std::string::npos, text.find("dropped while held"));
    EXPECT_NE(std::string::npos, text.find("\tINFO: written after release\r\n"));
    DeleteFileA(path.c_str());
}

TEST(LogFile, ConcurrentProcessesAndThreadsNeverSplitAnEntry) {
    constexpr int kLines = 400;  // per thread; two threads here, two in the helper
    const std::string path = scratchFile("shared");
    const std::string eventName = "plat-go-" + kPid;
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
    size_t end = 0;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), entry); it != std::sregex_iterator(); ++it) {
        ASSERT_EQ(end, static_cast<size_t>(it->position())) << "damaged text before: " << it->str();
        EXPECT_TRUE(seen.insert((*it)[2].str()).second) << "written twice: " << it->str();
        end = it->position() + it->length();
    }
    EXPECT_EQ(text.size(), end) << "damaged tail";
    EXPECT_GT(seen.size(), 0u);
    std::printf("[ info ] %zu of %d entries written whole, the rest dropped after the bounded retry\n", seen.size(),
                4 * kLines);
    DeleteFileA(path.c_str());
}

}  // namespace
