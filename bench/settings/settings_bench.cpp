// Loading speed of settings files: a 1 MiB file of realistic lines against a bare line split of the
// same bytes, and the 1 MiB load against a 128 KiB load (loading must scale linearly). Each round
// times the three side by side; prints medians of the rounds and the per-round ratios' medians, and
// never fails on timing.
//
//   settings_bench [rounds, default 11]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/bench_row.h"

#include "settings/memory_file_system.h"
#include "settings/settings_api.h"

using namespace settings_impl;

namespace {

using Clock = std::chrono::steady_clock;

const char* const kCatalogue[] = {"INSTALL_SILENT", "STATIC",     "AUTO_UPDATE", "WEB_ANALYTICS", "EULA",
                                  "SPONSORS",       "OEMUPDATE",  "INSTALLDIR",  "REBOOT",        "NOSTARTMENU",
                                  "MSI_CMDLINE",    "SECURITY_LEVEL", "ADDLOCAL", "USERDIR",       "/lang"};

// Realistic lines: catalogue keys in any case, comments, blanks, CR LF and LF, and many distinct keys.
// Numbers start at 100,000 so that a line has the same length in both files: with numbers from 0, the
// small file's keys would all fit in a string's inline buffer and most of the large file's would not.
std::string settingsText(size_t size) {
    std::string text;
    for (unsigned i = 0; text.size() < size; ++i) {
        const std::string n = std::to_string(100000 + i);
        switch (i % 8) {
            case 0: text += "# written by the setup launcher, entry " + n + "\r\n"; break;
            case 1: text += "auto_update=Enable\n"; break;
            case 2: text += "  INSTALLDIR : C:\\Program Files\\Mako\\forge-3.1.0_" + n + "  \r\n"; break;
            case 3: text += "\n"; break;
            default: text += "CUSTOM_KEY_" + n + "=value number " + n + "\n";
        }
    }
    // Cut after the last whole line and fill up with blank lines, so that no entry is cut short.
    text.resize(text.rfind('\n', size - 1) + 1);
    text.resize(size, '\n');
    return text;
}

struct Setup {
    settings::settings_api api;
    settings::ValidatorHandle validator = nullptr;
    settings::KeyMapperHandle mapper = nullptr;
    Setup() {
        settings::initSettingsApi(&api);
        auto vb = api.createValidatorBuilder();
        auto kb = api.createKeyMapperBuilder();
        const settings::FixedValueSpec toggles[] = {{"Enable", 1, 1}, {"Disable", 0, 1}, {"1", 1, 1}, {"0", 0, 1}};
        for (const char* key : kCatalogue) {
            api.addKeyMapping(kb, key, key, 0);
            api.addFixedValues(vb, key, toggles, 4);
        }
        api.addDirnameValidator(vb, "INSTALLDIR", 0);
        api.setAcceptUnknownKeys(vb, 1);
        api.buildValidator(vb, &validator);
        api.buildKeyMapper(kb, &mapper);
        api.destroyValidatorBuilder(vb);
        api.destroyKeyMapperBuilder(kb);
    }
};

template <class F>
double seconds(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double loadSeconds(Setup& s, const std::string& name, size_t* keys) {
    return seconds([&] {
        settings::Handle h = s.api.createContext();
        if (s.api.loadFile(h, name.c_str(), s.validator, s.mapper, 1, 0) != 0) {
            std::fprintf(stderr, "load failed\n");
            std::exit(1);
        }
        uint32_t n = 0;
        s.api.forEach(h, [](settings::Handle, uint32_t count, uint32_t, const char*, void* u) {
            *static_cast<uint32_t*>(u) = count;
        }, &n);
        *keys = n;
        s.api.destroyContext(h);
    });
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    MemoryFileSystem fs;
    ScopedFileSystem scope(fs);
    Setup setup;
    const size_t big = 1024 * 1024 - 1, small = 128 * 1024;  // a file may hold at most 1 MiB - 1 byte
    fs.files["C:/big.cfg"].content = settingsText(big);
    fs.files["C:/small.cfg"].content = settingsText(small);

    const std::string& bytes = fs.files["C:/big.cfg"].content;
    size_t bigKeys = 0, smallKeys = 0, lines = 0;
    std::vector<double> bigLoads, smallLoads, splits, linearity, toSplit;
    for (int round = 0; round < rounds; ++round) {
        bigLoads.push_back(loadSeconds(setup, "C:/big.cfg", &bigKeys));
        smallLoads.push_back(loadSeconds(setup, "C:/small.cfg", &smallKeys));
        splits.push_back(seconds([&] {
            std::vector<std::string> pieces;
            size_t pos = 0;
            for (;;) {
                const size_t brk = bytes.find_first_of("\r\n", pos);
                pieces.emplace_back(bytes, pos, brk == std::string::npos ? std::string::npos : brk - pos);
                if (brk == std::string::npos) break;
                pos = brk + ((bytes[brk] == '\r' && brk + 1 < bytes.size() && bytes[brk + 1] == '\n') ? 2 : 1);
            }
            lines = pieces.size();
        }));
        linearity.push_back(bigLoads.back() / smallLoads.back());
        toSplit.push_back(bigLoads.back() / splits.back());
    }
    const double bigLoad = median(bigLoads), smallLoad = median(smallLoads), split = median(splits);

    std::printf("settings benchmark (%s): medians of %d rounds\n", bench::kBuild, rounds);
    std::printf("1 MiB file: %zu lines, %zu keys; load %.2f ms = %.1f MB/s\n", lines, bigKeys, bigLoad * 1e3,
                big / bigLoad / 1e6);
    std::printf("bare line split of the same bytes: %.2f ms = %.1f MB/s\n", split * 1e3, big / split / 1e6);
    std::printf("load / bare split time ratio: %.1f\n", median(toSplit));
    std::printf("128 KiB file: %zu keys; load %.2f ms\n", smallKeys, smallLoad * 1e3);
    std::printf("1 MiB / 128 KiB load time ratio: %.2f (size ratio %.2f; linear loading stays near it)\n",
                median(linearity), static_cast<double>(big) / small);
    bench::ratioRow("P4", "settings load time, 1 MiB / 128 KiB", rounds,
                    bench::format("%.2f ms / %.2f ms", bigLoad * 1e3, smallLoad * 1e3), median(linearity), 8.8);
    bench::row("P4", "settings load throughput (MB/s), and its time / a bare line split", rounds,
               bench::format("%.1f MB/s; split %.1f MB/s", big / bigLoad / 1e6, big / split / 1e6),
               bench::format("%.1f", median(toSplit)), "-", "-");
    return 0;
}
