// log_writer <path> <lines per thread> <tag> <start event name>
// Waits for the start event, then writes the lines from two threads at once through a Logger on
// path: "<tag>-<thread>-<n>-" and a varying number of 'x', so that entries overwriting each other
// would show as damaged ones.
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/logger.h"
#include "platform/win32.h"

int main(int argc, char** argv) {
    if (argc != 5) return 2;
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
    std::thread second(write, 1);
    write(0);
    second.join();
    return 0;
}
