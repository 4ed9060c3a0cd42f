// log_writer <path> <lines per thread> <tag> <start event name> [threads, default 2]
// Waits for the start event, then writes the lines from the threads at once through a Logger on
// path: "<tag>-<thread>-<n>-" and a varying number of 'x', so that entries overwriting each other
// would show as damaged ones.
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/logger.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc != 5 && argc != 6) return 2;
    const int threads = argc == 6 ? std::atoi(argv[5]) : 2;
    if (threads < 1) return 2;
    Logger logger(argv[1]);
    const int lines = std::atoi(argv[2]);
    const std::string tag = argv[3];
    HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (start == nullptr) return 4;
    WaitForSingleObject(start, 30000);
    CloseHandle(start);
    auto write = [&](int thread) {
        for (int n = 0; n < lines; ++n) {
            logger.log(INFO, __FILE__, __LINE__, "writer",
                       tag + "-" + std::to_string(thread) + "-" + std::to_string(n) + "-" +
                           std::string(static_cast<size_t>((n * 7 + thread * 13) % 50), 'x'));
        }
    };
    std::vector<std::thread> others;
    for (int thread = 1; thread < threads; ++thread) others.emplace_back(write, thread);
    write(0);
    for (std::thread& other : others) other.join();
    return 0;
}
