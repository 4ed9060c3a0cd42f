// The shared log file under contention: entries from several processes and threads arrive whole.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <thread>

#include "platform/handles.h"
#include "platform/logger.h"
#include "platform/tstrings.h"
#include "platform/win_test_support.h"

namespace {

TEST(LogFile, ConcurrentProcessesAndThreadsNeverSplitAnEntry) {
    constexpr int kLines = 400;  // per thread; two threads here, two in the helper
    const std::string path = wintest::scratchFile("shared");
    const std::string eventName = "plat-go-" + tstrings::toString(uint32_t{GetCurrentProcessId()});
    unique_handle go(CreateEventA(nullptr, TRUE, FALSE, eventName.c_str()));
    ASSERT_TRUE(go);
    wintest::Process writer;
    ASSERT_TRUE(writer.start(LAUNCHER_HELPER_DIR "\\log_writer.exe",
                             "\"" + path + "\" " + std::to_string(kLines) + " proc " + eventName));
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
    Sleep(200);  // lets the helper reach its wait, so that all four writers start together
    SetEvent(go.get());
    first.join();
    second.join();
    long code = -1;
    EXPECT_TRUE(writer.wait(60000, code) && code == 0) << code;

    // The file must be a gapless sequence of whole, distinct entries.
    const std::string text = wintest::readFile(path);
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
    EXPECT_EQ(4u * kLines, seen.size()) << "entries lost";
    DeleteFileA(path.c_str());
}

}  // namespace
